#pragma once
// Where an install keeps its work inside the add-on directory. Each install has one staging folder,
// ".qv-staging-" and 16 hex digits, beside the add-ons (the same volume, so every move is a rename):
//   new/      the archive unpacked, then each add-on folder completed into the folder it will become
//   old/      what the commit moved out of the add-on directory, until the commit is done
//   journal   the plan of the commit and how far it got (install_journal.h)
// A relative path names the same thing under the add-on directory, under new/ and under old/.
#include <string>
#include <string_view>

#include "common/path.h"

namespace qv::install {

inline constexpr std::string_view kStagingPrefix = ".qv-staging-";

// A fresh name for a staging folder, as isStagingName recognises it.
std::string newStagingName();
// True for the name of a staging folder (never a name the catalogue can own for long: it is removed).
bool isStagingName(std::string_view name);
// True for a name no archive may put into the add-on directory: anything the file system could take
// for a staging folder's name.
bool isReservedName(std::string_view name);

struct StagingLayout {
  std::string addonDirectory;  // with its separator
  std::string folder;          // the staging folder, without a separator

  std::string newTree() const { return folder + path::kSep + "new"; }
  std::string oldTree() const { return folder + path::kSep + "old"; }
  std::string journal() const { return folder + path::kSep + "journal"; }
  std::string live(std::string_view relative) const { return addonDirectory + std::string(relative); }
  std::string staged(std::string_view relative) const {
    return newTree() + path::kSep + std::string(relative);
  }
  std::string aside(std::string_view relative) const {
    return oldTree() + path::kSep + std::string(relative);
  }
};

}  // namespace qv::install
