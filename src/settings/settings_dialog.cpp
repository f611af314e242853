#include "settings/settings_dialog.h"

#include "settings/form2_ids.h"
#include "common/text.h"
#include "settings/private_profile.h"

namespace qv::settings {

namespace ids = qv::ids::form2;
using platform::ControlSpec;

namespace {

// The characters of a path (each once, in order) that the system's code page has no code for, so the
// settings file could not hold them; empty when it holds the whole path.
std::string charactersTheCodePageLacks(const platform::Codec& codec, std::string_view path) {
  if (codec.ansiHolds(path)) return {};
  std::string lacking;
  for (const char32_t c : text::utf8ToUtf32(path)) {
    const std::string one = text::utf32ToUtf8(std::u32string(1, c));
    if (!codec.ansiHolds(one) && lacking.find(one) == std::string::npos) lacking += one;
  }
  return lacking;
}

std::string pathNotStorableMessage(std::string_view characters) {
  return "遊戲位置含有設定檔無法儲存的字元「" + std::string(characters) + "」。\n請改用不含這些字元的路徑。";
}

}  // namespace

TForm2::TForm2(platform::Platform& platform, ProgramFiles files)
    : platform_(platform), files_(std::move(files)) {}

void TForm2::build() {
  if (form_) return;
  const std::string path = gamePath_;  // the controls start from the defaults
  const bool autoUpdate = autoUpdate_;
  form_ = platform_.ui().createForm({.name = ids::kClass, .caption = "設置",
                                     .outer = {397, 233, 554, 380},
                                     .minimizeBox = false, .maximizeBox = false, .topmost = false});
  buildControls();
  FormCreate();
  setGamePath(path);
  setAutoUpdate(autoUpdate);
}

void TForm2::setGamePath(const std::string& path) {
  gamePath_ = path;
  if (Edit1 != nullptr) Edit1->setText(path);
}

void TForm2::setAutoUpdate(bool on) {
  autoUpdate_ = on;
  if (CheckBox1 != nullptr) CheckBox1->setChecked(on);
}

void TForm2::buildControls() {
  PageControl1 = &form_->addPageControl({"PageControl1", ids::PageControl1, {8, 8, 513, 297}, ""});

  platform::Container& page1 = PageControl1->addPage("TabSheet1", "啟動方式");
  page1.addLabel({"Label2", ids::Label2, {24, 8, 200, 13}, "請選擇遊戲主程式存放位置"});
  platform::GroupBox& frame1 = page1.addGroupBox({"GroupBox1", ids::GroupBox1, {8, 32, 489, 169}, "選項"});
  RadioButton1 = &frame1.addRadioButton({"RadioButton1", ids::RadioButton1, {16, 32, 161, 17}, "手動指定所在位置"});
  RadioButton1->setChecked(true);
  frame1.addLabel({"Label3", ids::Label3, {16, 84, 36, 13}, "位置"});
  Edit1 = &frame1.addEdit({"Edit1", ids::Edit1, {56, 81, 337, 19}, ""});
  frame1.addButton({"Button3", ids::Button3, {408, 79, 75, 25}, "瀏覽"}).setOnClick([this] { Button3Click(); });
  frame1.addWrappingLabel({"Label4", ids::Label4, {28, 124, 455, 30},
                           "設定遊戲 JX3Client.exe 安裝時存放的位置，找到啟動主程式,設定后，本次記定保存"});

  platform::Container& page2 = PageControl1->addPage("TabSheet2", "更新設置");
  platform::GroupBox& frame2 = page2.addGroupBox({"GroupBox2", ids::GroupBox2, {8, 40, 489, 209}, "自動更新UI"});
  CheckBox1 = &frame2.addCheckBox({"CheckBox1", ids::CheckBox1, {32, 32, 200, 17}, "開啟時自動更新"});
  frame2.addWrappingLabel({"Label9", ids::Label9, {49, 67, 379, 30},
                           "啟動劍俠3時會自動到伺服器檢測更新狀態，如果發現有最新的UI，會自動為您更新。"});

  form_->addButton({"Button1", ids::Button1, {288, 316, 75, 25}, "确定"}).setOnClick([this] { Button1Click(); });
  form_->addButton({"Button2", ids::Button2, {416, 315, 75, 25}, "取消"}).setOnClick([this] { Button2Click(); });
  resetToDefaults();
}

// The border is single from creation on; the platform makes every form non-resizable.
void TForm2::FormCreate() {}

void TForm2::resetToDefaults() {
  gamePath_.clear();
  autoUpdate_ = true;
  if (!form_) return;  // the window is made with page 1 in front
  PageControl1->setActivePage(0);
  Edit1->setText("");
  CheckBox1->setChecked(true);
}

void TForm2::showModal() {
  build();
  form_->showModal();
}

void TForm2::Button1Click() {
  const std::string path = text::trim(Edit1->text());
  if (path.empty()) {
    platform_.dialogs().message("不可以設為空");
    return;
  }
  // The settings file holds the path in the system's code page. A character it lacks would be saved
  // as "?", naming a folder that does not exist, and every add-on would read as not installed from
  // then on; so such a path is refused, and the user learns which characters are at fault.
  const std::string lost = charactersTheCodePageLacks(platform_.codec(), path);
  if (!lost.empty()) {
    platform_.dialogs().message(pathNotStorableMessage(lost));
    return;
  }
  try {
    PrivateProfile ini(files_.config(), platform_.codec(), platform_.fileStamps());
    ini.writeString("game", "gamepath", path);
    ini.writeBool("updata", "autoupdata", CheckBox1->checked());
  } catch (const std::exception&) {
    // Whatever went wrong, the user is told one thing; the dialog stays open with its fields.
    throw qv::Error("contact Tarvik");
  }
  form_->close();
}

// Nothing is written and nothing undone: what was typed stays in the dialog until the next show of
// the main window reloads it.
void TForm2::Button2Click() { form_->close(); }

void TForm2::Button3Click() {
  const auto chosen = platform_.dialogs().openFile({"exe文件(*.exe)", "*.exe", "JX3Client.exe", "JX3Client.exe"});
  if (chosen) Edit1->setText(*chosen);
}

}  // namespace qv::settings
