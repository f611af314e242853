// Start game (the picture button): the game's launcher is opened, the number of rows is remembered in
// the settings file, and the window goes to the tray while the game runs.
#include "common/path.h"
#include "mainwindow/main_window.h"
#include "settings/private_profile.h"

namespace qv::mainwindow {

void TForm1::BitBtn3Click() {
  if (!requireGamePath()) return;
  // The launcher sits beside the game client; whether it started is not looked at.
  const std::string launcher = path::directoryOf(settingsDialog().gamePath()) + path::kSep + "gameupdater.exe";
  platform_.shell().open(launcher);
  // A settings file that cannot be written stops the command here, before the window hides.
  Button10Click();
  form_->close();
}

void TForm1::Button10Click() {
  settings::PrivateProfile ini(files_.config(), platform_.codec(), platform_.fileStamps());
  ini.writeInteger("updata", "num", list_->count());
}

}  // namespace qv::mainwindow
