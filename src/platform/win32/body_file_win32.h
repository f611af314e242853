#pragma once
// The file a fetched body is written to: an existing file, opened only as the plain file its name
// holds and never through a link (a reparse point at the name, or in its place by the time it is
// open, is refused), then emptied or written on at its end.
//
// What Wine cannot show: a Unix symbolic link to a file looks to Windows programs like the file it
// points at (plain attributes, no reparse tag, and FILE_FLAG_OPEN_REPARSE_POINT opens the target;
// tried under Wine 8.0). Only a link to a folder shows as a reparse point there.
//
// The bytes go straight to the system with each write (nothing is buffered here), so a full disk
// shows at the write; the close is checked for the rest. Nothing is pushed to the disk itself: a
// body cut by a crash is found short by whoever checks it, as any cut body is.
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/win32/win32_handles.h"

namespace qv::platform::win32 {

class BodyFile {
 public:
  // Opens `utf8Path` to write; false when it is not there, is not a plain file or cannot be opened.
  bool open(const std::string& utf8Path);
  // What the file holds now.
  uint64_t size() const { return size_; }
  // Empties the file, or goes to its end.
  bool restart();
  bool toEnd();
  bool write(const char* data, size_t size);
  // False when the file did not close cleanly. Closing a closed file is true.
  bool close();

 private:
  UniqueHandle file_;
  uint64_t size_ = 0;
};

}  // namespace qv::platform::win32
