#pragma once
// Deriving every row's status from the game's add-on directory.
#include <string>

#include "catalogue/addon_list.h"

namespace qv::catalogue {

struct StatusCounts {
  int installed = 0;
  int notInstalled = 0;
};

// `addonDirectory` ends with a separator. A single-folder row is installed when a directory named after
// the row's name exists there; a comma list takes the status of its last folder and counts in neither.
StatusCounts checkStatuses(AddonList& list, const std::string& addonDirectory);

// The game directory of a game client path: its directory part without a trailing separator.
std::string gameDirectoryOf(const std::string& gamePath);
// The add-on directory: game directory + "\Interface\".
std::string addonDirectoryOf(const std::string& gamePath);

}  // namespace qv::catalogue
