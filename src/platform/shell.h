#pragma once
// Shell operations: the recycle bin, opening a document or program, starting a command line.
#include <string>

namespace qv::platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // Sends a file or directory to the recycle bin without questions or progress window. True on success.
  virtual bool deleteToRecycleBin(const std::string& path) = 0;
  // Asks the shell to "open" a file or URL; the result is not reported.
  virtual void open(const std::string& target) = 0;
  // Starts a command line without waiting for it.
  virtual void execute(const std::string& commandLine) = 0;
};

}  // namespace qv::platform
