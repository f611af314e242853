#pragma once
// The main window started on the headless platform with a catalogue of two add-ons on the loopback
// server: its tray icon, its menus' captions and the settings dialog's shows, for the cases of the
// window shell (bottom panel, menus, tray and closing, starting the game).
#include <string>
#include <vector>

#include "install_fixture.h"
#include "mainwindow/form1_ids.h"

namespace qv::test {

using platform::headless::HeadlessForm;
using platform::headless::HeadlessMenu;
using platform::headless::HeadlessTrayIcon;

class ShellTest : public InstallFixture {
 protected:
  void SetUp() override {
    serveCatalogue({{"Raid", "團隊", "Raid"}, {"Map", "地圖", "Map"}});
    startProgram();
  }
  HeadlessTrayIcon& tray() { return *form().trayIconIfAny(); }
  bool loopEnded() {
    // The main loop has been asked to end when run() returns at once.
    app->platform.loop().run();
    return true;
  }
  std::vector<std::string> captions(const HeadlessMenu& menu) {
    std::vector<std::string> out;
    for (const auto& item : menu.items()) out.push_back(item->caption());
    return out;
  }
  // Counts settings-dialog shows through the modal script.
  int settingsShows = 0;
  void countSettingsShows() {
    app->platform.headlessUi().modalScript = [this](HeadlessForm& f) {
      if (f.name() == "TForm2") ++settingsShows;
    };
  }
};

}  // namespace qv::test
