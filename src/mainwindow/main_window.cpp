#include "mainwindow/main_window.h"

#include "app/control_ids.h"
#include "common/path.h"
#include "settings/private_profile.h"

namespace qv::mainwindow {

namespace ids = qv::ids::form1;
using platform::Align;

TForm1::TForm1(platform::Platform& platform) : platform_(platform) {
  // Single border, system menu and minimise box, no maximise box, always on top.
  form_ = platform_.ui().createForm({ids::kClass, "QuorvaneTW Ver1.0", {439, 246, 588, 557}, true, false, true});
  buildControls();
  form_->setOnShow([this] { FormShow(); });
  form_->setOnCloseQuery([this] { return FormCloseQuery(); });
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildControls() {
  Panel1 = &form_->addPanel({"Panel1", ids::Panel1, {0, 0, 580, 62}, "", Align::Top});
  Panel2 = &form_->addPanel({"Panel2", ids::Panel2, {0, 0, 580, 119}, "", Align::Bottom});
  Panel5 = &form_->addPanel({"Panel5", ids::Panel5, {0, 0, 580, 0}, "", Align::Client});
  Panel6 = &Panel5->addPanel({"Panel6", ids::Panel6, {0, 0, 580, 17}, "", Align::Top});

  Panel2->addButton({"Button7", ids::Button7, {306, 6, 92, 24}, " 操作設置"}).setOnClick([this] { Button7Click(); });
  Label6 = &Panel2->addLabel({"Label6", ids::Label6, {8, 87, 52, 13}, "正常"});
}

// Creation step. The border style is the platform's single border; the skin has no look of its own
// (the native look is the look), so switching it on does nothing.
void TForm1::FormCreate() {}

std::string TForm1::programDirectory() const { return path::directoryWithSeparator(platform_.programPath()); }
std::string TForm1::configPath() const { return programDirectory() + "Config.ini"; }
std::string TForm1::localVersionPath() const { return programDirectory() + "UPdate.ini"; }

void TForm1::FormShow() {
  // 1. Whatever was typed into the dialog and not saved is dropped.
  settingsDialog().resetToDefaults();

  // 2-3. The version file is fetched anew at every show.
  const std::string config = configPath();
  const std::string localVersion = localVersionPath();
  if (path::isFile(localVersion)) path::removeFile(localVersion);

  // 4. Settings, only when the file exists; otherwise the dialog keeps its defaults and the two
  //    numbers keep their values.
  if (path::isFile(config)) {
    const settings::PrivateProfile ini(config, platform_.codec(), platform_.fileStamps());
    settingsDialog().setGamePath(ini.readString("game", "gamepath", ""));
    settingsDialog().setAutoUpdate(ini.readBool("updata", "autoupdata", false));
    storedAddonCount_ = ini.readInteger("updata", "num", 0);
    installedVersion_ = ini.readInteger("updataver", "ver", 0);
  }

  // 5. (start-up pass) the version-file download and the checking message come here.

  // 6. The skin is always "active": there is nothing to switch on again.

  // 7. What an earlier self-update left behind.
  path::removeFile(programDirectory() + "Quorvane.old");
  path::removeFile(programDirectory() + "delme.bat");

  // 8. (start-up pass) arming the start-up timer comes here.
}

// Until the tray exists the close box really closes the program.
bool TForm1::FormCloseQuery() { return true; }

void TForm1::Button7Click() { settingsDialog().showModal(); }

}  // namespace qv::mainwindow
