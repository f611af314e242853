#pragma once
// Shell operations of the native build. The recycle bin is the freedesktop.org trash of the user's home
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash): the item moves to files/ and a .trashinfo file
// in info/ tells where it came from and when, so the desktop's trash can restore it. Open and execute
// requests are recorded for tests (nothing is started).
#include <mutex>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace qv::platform::headless {

class HeadlessShell : public Shell {
 public:
  // `trashDirectory` is the trash's root (holding files/ and info/); empty takes the user's.
  explicit HeadlessShell(std::string trashDirectory = {});
  void setTrashDirectory(std::string trashDirectory);
  const std::string& trashDirectory() const { return trash_; }

  Recycled recycle(const std::string& path) override;
  void open(const std::string& target) override;
  bool execute(const std::string& commandLine, const StartOptions& options) override;

  // Paths that went to the trash, in order.
  std::vector<std::string> recycled() const;
  std::vector<std::string> opened() const;
  struct Started {
    std::string commandLine;
    StartOptions options;
  };
  std::vector<Started> executed() const;
  // Makes every later start fail (as when the command interpreter is missing).
  void failStarts(bool fail) { failStarts_ = fail; }

 private:
  std::string trash_;
  mutable std::mutex mutex_;
  std::vector<std::string> recycled_;
  std::vector<std::string> opened_;
  std::vector<Started> executed_;
  bool failStarts_ = false;
};

}  // namespace qv::platform::headless
