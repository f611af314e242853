#pragma once
// Shell operations of the native build: the recycle bin is a trash folder the removed items are moved
// into (so they can be restored), and open/execute requests are recorded for tests.
#include <mutex>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace qv::platform::headless {

class HeadlessShell : public Shell {
 public:
  explicit HeadlessShell(std::string trashDirectory = {});
  bool deleteToRecycleBin(const std::string& path) override;
  void open(const std::string& target) override;
  void execute(const std::string& commandLine) override;

  std::vector<std::string> recycled() const;
  std::vector<std::string> opened() const;
  std::vector<std::string> executed() const;

 private:
  std::string trash_;
  mutable std::mutex mutex_;
  std::vector<std::string> recycled_;
  std::vector<std::string> opened_;
  std::vector<std::string> executed_;
};

}  // namespace qv::platform::headless
