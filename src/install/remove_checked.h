#pragma once
// The remove command: the folders of every checked row go to the recycle bin. Only folders directly
// inside the add-on directory are ever touched, never the add-on directory itself, and nothing is
// deleted that the bin cannot take back. A folder that is a link (a junction to a folder the player
// keeps elsewhere) is never handed to the shell, which may move or delete what it points at (Wine's bin
// does move it): the link itself is removed, and what it points at stays where it is.
#include <functional>
#include <string>

#include "catalogue/addon_list.h"
#include "platform/shell.h"

namespace qv::install {

struct RemoveCommand {
  catalogue::AddonList& list;
  // The game's add-on directory, ending with a separator.
  std::string addonDirectory;
  // Sends one folder to the bin, and says whether the bin took it.
  std::function<platform::Shell::Recycled(const std::string& path)> recycle;
  // The list's status check, run after each row that removed something.
  std::function<void()> statusCheck;
};

// Unchecks every checked row after removing its folders. The answer is what the status line must say
// about what could not be done as asked (folders kept, links kept, refused names); empty when all went.
std::string removeChecked(const RemoveCommand& command);

}  // namespace qv::install
