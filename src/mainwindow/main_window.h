#pragma once
// The main window TForm1: the portal strip, the add-on list with its counters, the command buttons,
// the status line and the progress bar, the menu bar, the tray icon with its menu, and two timers. Its
// show step runs at every show of the window; its close box hides it to the tray.
//
// Its handlers live in this folder, a file per concern: the layout, show step and list commands here,
// the start-up pass in start_up_pass.cpp, menus in main_menus.cpp, tray and closing in
// tray_and_closing.cpp, the start-game command in start_game.cpp, the add-on commands in
// install_commands.cpp, the self-update in self_update.cpp and the portal in portal_strip.cpp. Each
// calls its subsystem (src/install/, src/selfupdate/, src/portal/), which knows no window: it gets
// the list, the program's files, the platform's services and a CommandFeedback for the status line
// and progress bar.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/addon_list.h"
#include "catalogue/status_check.h"
#include "common/program_files.h"
#include "download/download_workers.h"
#include "download/revalidating_downloader.h"
#include "download/server_resources.h"
#include "install/install_recovery.h"
#include "install/staging_sweeper.h"
#include "mainwindow/window_feedback.h"
#include "platform/platform.h"
#include "platform/resource_bounds.h"
#include "platform/web_browser.h"
#include "selfupdate/release_signature.h"
#include "settings/settings_dialog.h"

namespace qv::mainwindow {

// The menus' link targets (a build setting).
struct LinkAddresses {
  std::string home;   // N9 "Pellmoor"
  std::string area;   // N5 "劍俠3專區"
  std::string forum;  // N6 "幫助(&H)"
  static LinkAddresses builtIn();
};

// What a build sets for the window: its caption, the menus' link targets and the public key that
// signs the program's updates (hexadecimal, as the version file's signature lines expect it).
struct WindowSettings {
  std::string caption;
  LinkAddresses links;
  std::string updateKey = builtInUpdateKey();
  static std::string builtInUpdateKey();
  static WindowSettings builtIn();
};

class TForm1 {
 public:
  TForm1(platform::Platform& platform, ProgramFiles files, download::ServerResources server,
         WindowSettings settings = WindowSettings::builtIn());
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // The settings dialog is created after the main window (its creation step runs then).
  void attachSettingsDialog(settings::TForm2& dialog) { form2_ = &dialog; }

  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void FormQueryEndSession();

  // Timers: the start-up pass, 3000 ms after every show, and the executable swap.
  void Timer1Timer();
  void Timer3Timer();

  // The portal strip: trims every completed document to a banner.
  void WebBrowser1DocumentComplete();
  // Sees every message of the program's loops first; true drops it (right clicks on the portal).
  bool ApplicationEvents1Message(const platform::LoopMessage& Msg);

  // Buttons.
  void Button1Click();   // install the checked add-ons
  void Button2Click();   // enlarge / restore the list
  void Button3Click();   // catalogue refresh
  void Button4Click();   // download-all road (hidden "down")
  void Button7Click();   // settings
  void Button8Click();   // remove the checked add-ons
  void Button10Click();  // settings-save action (hidden "INI")
  void BitBtn1Click();   // check all
  void BitBtn2Click();   // uncheck all
  void BitBtn3Click();   // start the game
  void BitBtn4Click();   // status check (hidden "check")

  // Menu bar MainMenu1.
  void UI1Click() { Button3Click(); }
  void N17Click() { BitBtn3Click(); }
  void N14Click();  // exit
  void N9Click();   // the maker's home page
  void N5Click();   // the game's add-on area
  void StopTaskMClick() { Button7Click(); }
  void N4Click() { Button2Click(); }
  void ApplyFaceMClick() {}  // the menu keeps an item that does nothing
  void N13Click() { Button3Click(); }
  void N6Click();  // the maker's forum
  void N7Click();  // about

  // Tray pop-up menu PopupMenu1 and the tray icon.
  void RestoreMClick();
  void N11Click() { Button7Click(); }
  void N12Click() { RestoreMClick(); }
  void N3Click() { N14Click(); }
  void TrayIcon1Click();
  void TrayIcon1DblClick();

  // Download handlers given to every worker the window starts. Progress runs on the main thread,
  // completion and failure on the worker's thread (they post their updates to the main thread).
  void DownLoadProgress(uint32_t progress, uint32_t progressMax);
  void DownLoadComplete(download::TFileDownLoadThread& Sender);
  void DownLoadError(download::TFileDownLoadThread& Sender, int32_t ErrorCode);
  // Completion of the new executable's download (worker thread): arms the swap.
  void SelfUpdateComplete(download::TFileDownLoadThread& Sender);

  // Opens an address in a separate browser window.
  void OpenInBrowserWindow(const std::string& address);
  // Sends one folder to the recycle bin. Where the bin cannot take it the folder stays, and the answer
  // says so (the remove command then tells the user).
  platform::Shell::Recycled DeleteToRecycleBin(const std::string& path);

  const ProgramFiles& programFiles() const { return files_; }
  int32_t storedAddonCount() const { return storedAddonCount_; }
  int32_t installedVersion() const { return installedVersion_; }
  int32_t serverVersion() const { return serverVersion_; }
  int32_t downLoadedCount() const { return DownLoadedCount; }
  bool exitFlag() const { return exitFlag_; }

  platform::Form& form() { return *form_; }
  catalogue::AddonList& addonList() { return *list_; }
  download::DownloadWorkers& downloads() { return *workers_; }
  install::StagingSweeper& stagingSweeper() { return stagingSweeper_; }

 private:
  void buildControls();
  void buildCounterStrip();
  void buildBottomPanel();
  void buildMainMenu();
  void buildTray();
  settings::TForm2& settingsDialog() { return *form2_; }
  // The game path trimmed; when empty the user is asked to set it and the settings dialog opens.
  bool requireGamePath();
  void showCounters(int rows, int installed, int notInstalled);
  // Runs a call on the main thread later, unless the window is gone by then.
  void postToWindow(std::function<void()> call);
  // The tray operations "hide main window" and "show main window".
  void hideMainWindow();
  void showMainWindow();
  // Starts a transfer with the window's progress and failure handlers; its completion goes to
  // `onComplete`, or to DownLoadComplete when none is given.
  void startDownload(platform::DownloadRequest request, download::TDownLoadCompleteEvent onComplete = {});
  // The start-up pass's last step: fetches the new executable when the server's version differs.
  void checkVersion();
  // Ends the program and leaves the rest of the swap to the replacement script; `program` is the new
  // program's checked bytes.
  void swapExecutable(const std::string& program);
  // Finishes or undoes the installs an earlier run did not live to end; what the status line must
  // say about any it could not settle.
  std::string recoverInterruptedInstalls();

  platform::Platform& platform_;
  settings::TForm2* form2_ = nullptr;
  std::unique_ptr<platform::Form> form_;

  platform::Panel* Panel1 = nullptr;  // portal strip
  platform::WebBrowser* WebBrowser1 = nullptr;
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
  // Label6 and ProgressBar1 as the subsystems' commands report to them.
  std::optional<WindowFeedback> feedback_;
  platform::MenuItem* N9 = nullptr;
  platform::MenuItem* N5 = nullptr;
  platform::TrayIcon* TrayIcon1 = nullptr;
  platform::Menu* PopupMenu1 = nullptr;
  platform::Timer* Timer1 = nullptr;  // start-up pass, 3000 ms
  platform::Timer* Timer3 = nullptr;  // executable swap, 15000 ms as stored
  std::unique_ptr<catalogue::AddonList> list_;
  ProgramFiles files_;
  download::ServerResources server_;
  LinkAddresses links_;
  // A status check started from within a refresh never starts another refresh, which ends the cycle
  // an empty catalogue would otherwise make.
  int refreshDepth_ = 0;
  // The add-on directory's listing made while a refresh fetches the catalogue (null outside one).
  std::unique_ptr<catalogue::DirectoryListingAhead> listingAhead_;
  bool exitFlag_ = false;
  // The staging folders the install command is working in (recovery leaves them alone), and the
  // thread that removes what finished installs moved aside.
  install::StagingInUse stagingInUse_;
  install::StagingSweeper stagingSweeper_{stagingInUse_};

  int32_t storedAddonCount_ = 0;
  int32_t installedVersion_ = 0;
  // The version file's number read by the last version check; the swap records it as installed.
  int32_t serverVersion_ = 0;
  // Whose signature an update must carry, and what the last version check found signed for
  // serverVersion_ (nothing when it found no valid signature): the downloaded program must be that.
  std::string updateKey_;
  std::optional<selfupdate::SignedRelease> awaitedRelease_;
  // The swap's "contact Tarvik" box is open; Timer3 keeps ticking inside it and must not open another.
  bool swapErrorOpen_ = false;
  // Completions of every download since the program started (one window per process, so the window
  // holds the process's count). Raised on the main thread only.
  int32_t DownLoadedCount = 0;

  // Calls posted by workers check it, so none reaches a window that is gone.
  std::shared_ptr<TForm1*> self_;
  // The start-up pass under way (0: none): an archive its first road fetched or confirmed costs its
  // second road nothing. Numbered so that no pass is taken for another.
  uint64_t startUpPass_ = 0;
  uint64_t startUpPasses_ = 0;
  // What the workers download through: the archives ask the server what changed, the rest is whole.
  download::RevalidatingDownloader transfers_;
  // Last: its workers' handlers touch the members above, so it goes first.
  std::unique_ptr<download::DownloadWorkers> workers_;
};

}  // namespace qv::mainwindow
