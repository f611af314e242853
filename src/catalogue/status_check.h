#pragma once
// Deriving every row's status from the game's add-on directory.
#include <future>
#include <memory>
#include <string>

#include "catalogue/addon_list.h"
#include "common/file_system.h"

namespace qv::catalogue {

struct StatusCounts {
  int installed = 0;
  int notInstalled = 0;
};

// `addonDirectory` ends with a separator. A single-folder row is installed when a directory named after
// the row's name exists there; a comma list takes the status of its last folder and counts in neither.
StatusCounts checkStatuses(AddonList& list, const std::string& addonDirectory);
// The same against a listing of the add-on directory made beforehand.
StatusCounts checkStatuses(AddonList& list, const files::DirectoryProbe& addonDirectory);

// The add-on directory, listed on a thread of its own while the main thread fetches and reads the
// catalogue: a refresh ends with the status check, and listing a large directory is a good part of
// it, which would otherwise wait for the catalogue. Nothing this program does writes the directory
// in between (the refresh holds the main thread, which alone installs and removes).
class DirectoryListingAhead {
 public:
  explicit DirectoryListingAhead(std::string addonDirectory);
  ~DirectoryListingAhead();
  DirectoryListingAhead(const DirectoryListingAhead&) = delete;
  DirectoryListingAhead& operator=(const DirectoryListingAhead&) = delete;
  // The listing, once, when it was made of `addonDirectory`; null otherwise (another directory, taken
  // already, or no thread could be started), and the caller lists the directory itself.
  std::unique_ptr<files::DirectoryProbe> take(const std::string& addonDirectory);

 private:
  std::string directory_;
  std::future<std::unique_ptr<files::DirectoryProbe>> listing_;
};

// The game directory of a game client path: its directory part without a trailing separator.
std::string gameDirectoryOf(const std::string& gamePath);
// The add-on directory: game directory + "\Interface\".
std::string addonDirectoryOf(const std::string& gamePath);

}  // namespace qv::catalogue
