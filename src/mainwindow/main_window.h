#pragma once
// The main window TForm1: the portal strip, the add-on list with its counters, the command buttons,
// the status line and the progress bar. Its show step runs at every show of the window.
#include <cstdint>
#include <memory>
#include <string>

#include "catalogue/addon_list.h"
#include "common/program_files.h"
#include "download/server_resources.h"
#include "platform/platform.h"
#include "settings/settings_dialog.h"

namespace qv::mainwindow {

class TForm1 {
 public:
  TForm1(platform::Platform& platform, ProgramFiles files, download::ServerResources server);
  ~TForm1();

  // The settings dialog is created after the main window (its creation step runs then).
  void attachSettingsDialog(settings::TForm2& dialog) { form2_ = &dialog; }

  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void Button7Click();   // settings
  void Button3Click();   // catalogue refresh
  void BitBtn4Click();   // status check
  void BitBtn1Click();   // check all
  void BitBtn2Click();   // uncheck all
  void Button2Click();   // enlarge / restore the list
  void DownLoadProgress(uint32_t progress, uint32_t progressMax);

  const ProgramFiles& programFiles() const { return files_; }

  int32_t storedAddonCount() const { return storedAddonCount_; }
  int32_t installedVersion() const { return installedVersion_; }

  platform::Form& form() { return *form_; }
  catalogue::AddonList& addonList() { return *list_; }

 private:
  void buildControls();
  void buildCounterStrip();
  void buildBottomPanel();
  settings::TForm2& settingsDialog() { return *form2_; }
  // The game path trimmed; when empty the user is asked to set it and the settings dialog opens.
  bool requireGamePath();
  void showCounters(int rows, int installed, int notInstalled);

  platform::Platform& platform_;
  settings::TForm2* form2_ = nullptr;
  std::unique_ptr<platform::Form> form_;

  platform::Panel* Panel1 = nullptr;  // portal strip
  platform::Panel* Panel5 = nullptr;  // list area
  platform::Panel* Panel6 = nullptr;  // counter strip
  platform::Panel* Panel2 = nullptr;  // buttons, status line, progress bar
  platform::ListView* ListView1 = nullptr;
  platform::Label* Label6 = nullptr;
  platform::Label* Label10 = nullptr;
  platform::Label* Label12 = nullptr;
  platform::Label* Label14 = nullptr;
  platform::Label* Label15 = nullptr;
  platform::Button* Button2 = nullptr;
  platform::ProgressBar* ProgressBar1 = nullptr;
  std::unique_ptr<catalogue::AddonList> list_;
  ProgramFiles files_;
  download::ServerResources server_;
  // A status check started from within a refresh never starts another refresh, which ends the cycle
  // an empty catalogue would otherwise make.
  int refreshDepth_ = 0;

  int32_t storedAddonCount_ = 0;
  int32_t installedVersion_ = 0;
};

}  // namespace qv::mainwindow
