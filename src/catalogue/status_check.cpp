#include "catalogue/status_check.h"

#include <system_error>
#include <utility>

#include "catalogue/addon_names.h"
#include "catalogue/folder_list.h"
#include "common/file_system.h"
#include "common/path.h"
#include "common/text.h"

namespace qv::catalogue {

std::string gameDirectoryOf(const std::string& gamePath) { return path::directoryOf(gamePath); }

std::string addonDirectoryOf(const std::string& gamePath) {
  return gameDirectoryOf(gamePath) + path::kSep + "Interface" + path::kSep;
}

StatusCounts checkStatuses(AddonList& list, const std::string& addonDirectory) {
  const files::DirectoryProbe probe(addonDirectory);
  return checkStatuses(list, probe);
}

StatusCounts checkStatuses(AddonList& list, const files::DirectoryProbe& probe) {
  StatusCounts counts;
  // Every row's status changes: the list repaints once at the end rather than row by row.
  const AddonList::Batch batch(list);
  for (int i = 0; i < list.count(); ++i) {
    const std::string_view folders = text::trimView(list.subItem(i, kFolderList));
    if (folders.find(',') == std::string_view::npos) {
      // The row's name, not its folder list, names the directory here. A name that would reach out of
      // the add-on directory (or name it itself) names no add-on.
      const std::string_view name = text::trimView(list.name(i));
      const bool installed = isSafeName(name) && probe.hasDirectory(name);
      list.setStatus(i, installed ? kStatusInstalled : kStatusNotInstalled);
      ++(installed ? counts.installed : counts.notInstalled);
    } else {
      for (const std::string& folder : splitFolderList(folders))
        list.setStatus(i, isSafeName(folder) && probe.hasDirectory(folder) ? kStatusInstalled : kStatusNotInstalled);
    }
  }
  return counts;
}

DirectoryListingAhead::DirectoryListingAhead(std::string addonDirectory)
    : directory_(std::move(addonDirectory)) {
  try {
    listing_ = std::async(std::launch::async, [directory = directory_] {
      return std::make_unique<files::DirectoryProbe>(directory);
    });
  } catch (const std::system_error&) {
    // No thread to spare: the status check lists the directory itself.
  }
}

// A listing still running is waited for: it reads only its own copy of the directory's name.
DirectoryListingAhead::~DirectoryListingAhead() = default;

std::unique_ptr<files::DirectoryProbe> DirectoryListingAhead::take(const std::string& addonDirectory) {
  if (!listing_.valid() || addonDirectory != directory_) return nullptr;
  return listing_.get();
}

}  // namespace qv::catalogue
