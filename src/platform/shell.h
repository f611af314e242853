#pragma once
// Shell operations: the recycle bin, opening a document or program, starting a command line.
#include <string>

namespace qv::platform {

class Shell {
 public:
  virtual ~Shell() = default;
  enum class Recycled {
    Yes,           // the item is in the recycle bin, from where the user can restore it
    NoRecycleBin,  // the bin does not serve that place (or cannot take the item): nothing was touched
    Failed,        // the bin serves it but the move failed; the item stays where it was
  };
  // Sends a file or directory to the recycle bin without questions or progress window. It never
  // deletes for good: where the bin cannot take the item, the item stays and the answer says why.
  virtual Recycled recycle(const std::string& path) = 0;
  // Asks the shell to "open" a file or URL; the result is not reported.
  virtual void open(const std::string& target) = 0;
  struct StartOptions {
    // The started program's current directory; empty keeps ours.
    std::string workingDirectory;
    // No window shows for it (a command script runs invisibly).
    bool hidden = false;
  };
  // Starts a command line without waiting for it; a command script (.bat) runs in the system's command
  // interpreter. False when it could not be started.
  virtual bool execute(const std::string& commandLine, const StartOptions& options) = 0;
};

}  // namespace qv::platform
