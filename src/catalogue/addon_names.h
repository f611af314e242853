#pragma once
// Names from the server that become file names, URL parts and deletion paths. The catalogue is written
// by whoever runs the server, so a name is trusted only when it is one plain folder or file name that
// stays inside the folder it is put in, on Windows as well as elsewhere.
#include <string>
#include <string_view>
#include <vector>

namespace qv::catalogue {

// True for a single name that is safe to join to a folder: not empty, no path separator, not "." or
// "..", no drive colon, none of the characters Windows forbids in names (< > : " / \ | ? * and codes
// 0 to 31), not ending in a dot or a blank (Windows drops those and would name another folder), and
// not a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an extension).
bool isSafeName(std::string_view name);
// A safe name that also stays one path element on the server: "%" and "#" would be read there as an
// escape or as the end of the path.
bool isSafeUrlName(std::string_view name);

// Names refused during one command, in the order met, each once; shown in the status line.
class RefusedNames {
 public:
  void add(std::string_view name);
  bool empty() const { return names_.empty(); }
  size_t size() const { return names_.size(); }
  // "已拒絕不安全的名稱: a, b" (the status line's text), or empty.
  std::string statusText() const;

 private:
  std::vector<std::string> names_;
};

}  // namespace qv::catalogue
