#pragma once
// Under Wine the recycle bin is the freedesktop.org trash of the Unix user ($XDG_DATA_HOME/Trash, else
// ~/.local/share/Trash). Wine moves an item there by renaming it; where the rename cannot work (the
// item lies on another file system than the trash, or the trash cannot be written) it deletes the
// item for good and still reports success, and SHQueryRecycleBinW cannot tell, because it answers for
// the trash, not for the item. So before an item is handed over, the same rename is tried with an
// empty folder made beside the item.
#include <string>

namespace qv::platform::win32 {

bool runningOnWine();

// Wine's trash folder as a Windows path; empty when the environment does not say where it is.
std::wstring wineTrashDirectory();

enum class WineTrashCheck {
  Takes,             // an item from that folder can be renamed into the trash
  DoesNotTake,       // it cannot: Wine would delete the item for good
  FolderNotWritable  // nothing can be made or moved in the item's folder: the removal would fail too
};

// `item` is a full Windows path; its folder is where the probe is made.
WineTrashCheck checkWineTrash(const std::wstring& item);

}  // namespace qv::platform::win32
