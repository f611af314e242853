#pragma once
// Names from the server that become file names, URL parts and deletion paths. The catalogue is written
// by whoever runs the server, so a name is trusted only when it is one plain folder or file name that
// stays inside the folder it is put in, on Windows as well as elsewhere.
#include <string>
#include <string_view>
#include <unordered_set>
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

// Names refused during one command, in the order met, each once; shown in the status line. A
// catalogue may hold any number of them, so each costs the same to add however many came before.
class RefusedNames {
 public:
  void add(std::string_view name);
  bool empty() const { return names_.empty(); }
  size_t size() const { return names_.size(); }
  // "已拒絕不安全的名稱: a, b" (the status line's text), or empty; past a handful of names, the rest
  // are counted (see namesForStatusLine).
  std::string statusText() const;

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<std::string> names_;
  std::unordered_set<std::string, Hash, std::equal_to<>> seen_;
};

// How many names a status line lists before it only counts the rest.
inline constexpr size_t kNamesShown = 5;
// The names as a status line shows them: the first kNamesShown joined by ", ", each cut short when
// very long, then " … 及其他 N 個" for the N left over; a name of nothing but blanks shows in quotes.
std::string namesForStatusLine(const std::vector<std::string>& names);

}  // namespace qv::catalogue
