#include "mainwindow/main_window.h"

#include "mainwindow/form1_ids.h"
#include "catalogue/catalogue_reader.h"
#include "catalogue/progress_display.h"
#include "catalogue/status_check.h"
#include "common/error.h"
#include "common/file_system.h"
#include "common/path.h"
#include "common/scope_exit.h"
#include "common/text.h"
#include "selfupdate/program_replacement.h"
#include "settings/private_profile.h"

namespace qv::mainwindow {

namespace ids = qv::ids::form1;
using platform::Align;

LinkAddresses LinkAddresses::builtIn() { return {QUORVANE_LINK_HOME, QUORVANE_LINK_AREA, QUORVANE_LINK_FORUM}; }

std::string WindowSettings::builtInUpdateKey() { return QUORVANE_UPDATE_PUBLIC_KEY; }

WindowSettings WindowSettings::builtIn() { return {QUORVANE_CAPTION, LinkAddresses::builtIn()}; }

TForm1::TForm1(platform::Platform& platform, ProgramFiles files, download::ServerResources server,
               WindowSettings settings)
    : platform_(platform),
      files_(std::move(files)),
      server_(std::move(server)),
      links_(std::move(settings.links)),
      updateKey_(std::move(settings.updateKey)),
      self_(std::make_shared<TForm1*>(this)),
      transfers_(platform.downloader(), platform.bodyFetcher()),
      workers_(std::make_unique<download::DownloadWorkers>(transfers_, platform.mainLoop())) {
  // Single border, system menu and minimise box, no maximise box, always on top.
  form_ = platform_.ui().createForm({.name = ids::kClass, .caption = settings.caption,
                                     .outer = {439, 246, 588, 557},
                                     .minimizeBox = true, .maximizeBox = false, .topmost = true});
  // The menu bar first: attaching it shrinks the client area, which lays out again every control
  // already there.
  buildMainMenu();
  buildControls();
  buildTray();
  // The start-up pass and the executable swap; both wait until something arms them.
  Timer1 = &form_->addTimer("Timer1", 3000, false);
  Timer1->setOnTimer([this] { Timer1Timer(); });
  Timer3 = &form_->addTimer("Timer3", 15000, false);
  Timer3->setOnTimer([this] { Timer3Timer(); });
  platform_.mainLoop().setMessageFilter(
      [this](const platform::LoopMessage& message) { return ApplicationEvents1Message(message); });
  form_->setOnShow([this] { FormShow(); });
  form_->setOnCloseQuery([this] { return FormCloseQuery(); });
  form_->setOnQueryEndSession([this] { FormQueryEndSession(); });
  FormCreate();
}

TForm1::~TForm1() {
  platform_.mainLoop().setMessageFilter({});
  // Transfers still running are ended while the window they report to still exists.
  workers_.reset();
  *self_ = nullptr;
}

void TForm1::postToWindow(std::function<void()> call) {
  std::weak_ptr<TForm1*> window = self_;
  platform_.mainLoop().post([window, call = std::move(call)] {
    if (auto w = window.lock(); w && *w != nullptr) call();
  });
}

void TForm1::buildControls() {
  Panel1 = &form_->addPanel({"Panel1", ids::Panel1, {0, 0, 580, 62}, "", Align::Top});
  WebBrowser1 = &Panel1->addWebBrowser({"WebBrowser1", ids::WebBrowser1, {0, 0, 580, 60}, "", Align::Client});
  WebBrowser1->setOnDocumentComplete([this] { WebBrowser1DocumentComplete(); });
  Panel2 = &form_->addPanel({"Panel2", ids::Panel2, {0, 0, 580, 119}, "", Align::Bottom});
  Panel5 = &form_->addPanel({"Panel5", ids::Panel5, {0, 0, 580, 0}, "", Align::Client});
  Panel6 = &Panel5->addPanel({"Panel6", ids::Panel6, {0, 0, 580, 17}, "", Align::Top});
  ListView1 = &Panel5->addListView({"ListView1", ids::ListView1, {0, 0, 580, 0}, "", Align::Client});
  list_ = std::make_unique<catalogue::AddonList>(*ListView1, platform_.collation(), platform_.codec());
  buildCounterStrip();
  buildBottomPanel();
}

void TForm1::buildCounterStrip() {
  Panel6->addLabel({"Label8", ids::Label8, {2, 0, 70, 13}, "UI 列錶"});
  Panel6->addLabel({"Label9", ids::Label9, {80, 0, 90, 13}, "噹前UI 個數:"});
  Label10 = &Panel6->addLabel({"Label10", ids::Label10, {176, 0, 36, 13}, "0"});
  Panel6->addLabel({"Label11", ids::Label11, {214, 0, 70, 13}, "安裝個數"});
  Label12 = &Panel6->addLabel({"Label12", ids::Label12, {292, 0, 40, 13}, "0"});
  Panel6->addLabel({"Label13", ids::Label13, {336, -1, 50, 13}, "未安裝"});
  Label14 = &Panel6->addLabel({"Label14", ids::Label14, {392, 0, 44, 13}, "0"});
  Label15 = &Panel6->addLabel({"Label15", ids::Label15, {440, 0, 136, 13}, "0"});
}

void TForm1::buildBottomPanel() {
  Panel2->addButton({"BitBtn1", ids::BitBtn1, {10, 6, 92, 24}, "全部選擇"}).setOnClick([this] { BitBtn1Click(); });
  Panel2->addButton({"BitBtn2", ids::BitBtn2, {108, 6, 92, 24}, "全部取消"}).setOnClick([this] { BitBtn2Click(); });
  Panel2->addButton({"Button3", ids::Button3, {207, 6, 92, 24}, "更新 UI"}).setOnClick([this] { Button3Click(); });
  Panel2->addButton({"Button7", ids::Button7, {306, 6, 92, 24}, " 操作設置"}).setOnClick([this] { Button7Click(); });
  // "列表" here and "列錶" once toggled (and in "UI 列錶"): both spellings are deliberate, as users know them.
  Button2 = &Panel2->addButton({"Button2", ids::Button2, {404, 6, 92, 24}, "放大列表"});
  Button2->setOnClick([this] { Button2Click(); });
  Panel2->addButton({"Button1", ids::Button1, {13, 39, 170, 40}, "安裝選中UI"}).setOnClick([this] { Button1Click(); });
  Panel2->addButton({"Button8", ids::Button8, {189, 39, 170, 40}, "  移除選中 UI"}).setOnClick([this] {
    Button8Click();
  });
  // The frame lies behind the start-game picture; it holds only the hidden download-all button.
  platform::GroupBox& group = Panel2->addGroupBox({"GroupBox1", ids::GroupBox1, {432, 48, 57, 49}, "更新列錶內UI"});
  group.addButton({.name = "Button4", .id = ids::Button4, .rect = {8, 16, 41, 25}, .text = "down",
                   .visible = false})
      .setOnClick([this] { Button4Click(); });
  Panel2->addPictureButton({"BitBtn3", ids::BitBtn3, {372, 43, 189, 61}, ""}).setOnClick([this] { BitBtn3Click(); });
  Label6 = &Panel2->addLabel({"Label6", ids::Label6, {8, 87, 52, 13}, "正常"});
  ProgressBar1 = &Panel2->addProgressBar({"ProgressBar1", ids::ProgressBar1, {64, 86, 296, 16}, ""});
  feedback_.emplace(*Label6, *ProgressBar1);
  // Only run by code: the status check's and the settings-save action's internal entry points.
  Panel2->addButton({.name = "BitBtn4", .id = ids::BitBtn4, .rect = {496, 8, 75, 25}, .text = "check",
                     .visible = false})
      .setOnClick([this] { BitBtn4Click(); });
  Panel2->addButton({.name = "Button10", .id = ids::Button10, .rect = {504, 9, 75, 25}, .text = "INI",
                     .visible = false})
      .setOnClick([this] { Button10Click(); });
}

// Creation step. The skin has no look of its own (the native look is the look), so switching it on
// does nothing; the list gets its columns, check boxes and whole-row selection from the platform.
void TForm1::FormCreate() {
  list_->configureColumns();
  ListView1->setColumnCaption(0, "名稱");
  ListView1->setColumnCaption(1, "狀態");
  ListView1->setColumnCaption(2, "中文名");
  ListView1->setColumnCaption(3, "描述");
  // Loading runs inside the control; nothing reloads the page later.
  WebBrowser1->navigate(server_.portal());
}

void TForm1::FormShow() {
  // 1. Whatever was typed into the dialog and not saved is dropped.
  settingsDialog().resetToDefaults();

  // 2-3. The version file is fetched anew at every show.
  const std::string config = files_.config();
  const std::string localVersion = files_.localVersion();
  if (files::isFile(localVersion)) files::removeFile(localVersion);

  // 4. Settings, only when the file exists; otherwise the dialog keeps its defaults and the two
  //    numbers keep their values.
  if (files::isFile(config)) {
    const settings::PrivateProfile ini(config, platform_.codec(), platform_.fileStamps());
    settingsDialog().setGamePath(ini.readString("game", "gamepath", ""));
    settingsDialog().setAutoUpdate(ini.readBool("updata", "autoupdata", false));
    storedAddonCount_ = ini.readInteger("updata", "num", 0);
    installedVersion_ = ini.readInteger("updataver", "ver", 0);
  }
  // Before anything reads Interface: an install an earlier run did not live to end is finished or undone.
  const std::string unsettled = recoverInterruptedInstalls();

  // 5. The version file is fetched in the background; the start-up pass looks for it later.
  try {
    startDownload({server_.versionFile(), localVersion, {platform::resource_bounds::kVersionFile, {}}});
  } catch (...) {
    throw Error("更新");
  }
  if (settingsDialog().autoUpdate()) {
    Label6->setText("正在檢查是否有新版本中,請稍候...");
    Timer1->setInterval(3000);
    Timer1->setEnabled(true);
  }

  if (!unsettled.empty()) Label6->setText(unsettled);

  // 6. The skin is always "active": there is nothing to switch on again.

  // 7. What an earlier self-update left behind.
  selfupdate::tidyAfterSwap(files_, platform_.fileStamps());

  // 8. The start-up pass runs after every show, whatever the automatic-update flag says.
  Timer1->setEnabled(true);
}

void TForm1::Button7Click() { settingsDialog().showModal(); }

bool TForm1::requireGamePath() {
  if (!text::trim(settingsDialog().gamePath()).empty()) return true;
  platform_.dialogs().message("請設定遊戲安裝位置");
  settingsDialog().showModal();
  return false;
}

void TForm1::Button3Click() {
  if (!requireGamePath()) return;
  ++refreshDepth_;
  const ScopeExit depth([this] { --refreshDepth_; });
  // The status check at the road's end uses the listing; it is gone when the refresh ends, either way.
  const ScopeExit dropListing([this] { listingAhead_.reset(); });
  listingAhead_ = std::make_unique<catalogue::DirectoryListingAhead>(
      catalogue::addonDirectoryOf(settingsDialog().gamePath()));

  {
    // Emptied and refilled in one batch: the window shows the outcome once, and keeps the rows it had
    // rather than deleting and re-making each one.
    const catalogue::AddonList::Batch batch(*list_);
    list_->clear();
    catalogue::readCatalogue(server_.catalogue(), platform_.xml(), *list_);
  }
  // The download-all road fetches every archive and ends with the status check.
  Button4Click();
}

void TForm1::BitBtn4Click() {
  if (list_->count() == 0 && refreshDepth_ == 0) Button3Click();
  const std::string addonDir = catalogue::addonDirectoryOf(settingsDialog().gamePath());
  catalogue::StatusCounts counts;
  {
    // Every row's status changes: the list repaints once, after the last.
    ListView1->beginUpdate();
    const ScopeExit endUpdate([&view = *ListView1] { view.endUpdate(); });
    const std::unique_ptr<files::DirectoryProbe> listing =
        listingAhead_ ? listingAhead_->take(addonDir) : nullptr;
    counts =
        listing ? catalogue::checkStatuses(*list_, *listing) : catalogue::checkStatuses(*list_, addonDir);
  }
  showCounters(list_->count(), counts.installed, counts.notInstalled);
}

void TForm1::showCounters(int rows, int installed, int notInstalled) {
  Label10->setText(std::to_string(rows));
  Label12->setText(std::to_string(installed));
  Label14->setText(std::to_string(notInstalled));
  Label15->setText("最近更新個數" + std::to_string(static_cast<long long>(rows) - storedAddonCount_));
}

void TForm1::BitBtn1Click() { list_->checkAll(true); }
void TForm1::BitBtn2Click() { list_->checkAll(false); }

void TForm1::Button2Click() {
  if (Button2->text() != "恢復列錶") {
    Panel1->setVisible(false);
    Button2->setText("恢復列錶");
  } else {
    Button2->setText("放大列錶");
    Panel1->setVisible(true);
  }
}

void TForm1::startDownload(platform::DownloadRequest request, download::TDownLoadCompleteEvent onComplete) {
  if (!onComplete) onComplete = [this](download::TFileDownLoadThread& sender) { DownLoadComplete(sender); };
  workers_->start(
      std::move(request),
      [this](download::TFileDownLoadThread&, uint32_t progress, uint32_t progressMax) {
        DownLoadProgress(progress, progressMax);
      },
      std::move(onComplete),
      [this](download::TFileDownLoadThread& sender, int32_t code) { DownLoadError(sender, code); });
}

void TForm1::DownLoadProgress(uint32_t progress, uint32_t progressMax) {
  ProgressBar1->setMax(catalogue::kibRoundedHalfEven(progressMax));
  ProgressBar1->setPosition(catalogue::kibRoundedHalfEven(progress));
  if (ProgressBar1->position() == ProgressBar1->max()) Label6->setText("檢查完成");
}

}  // namespace qv::mainwindow
