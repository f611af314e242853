#include "driver/addon_road.h"

#include <algorithm>

#include "driver/files.h"
#include "driver/list_view.h"
#include "driver/server_log.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"
#include "mainwindow/form1_ids.h"

namespace qv::e2e {

namespace form1 = ids::form1;

bool AddonRoadTest::startProgram(const std::vector<std::string>& archives) {
  const int catalogueRequests = requestsFor("/Data.xml");
  std::vector<int> archiveRequests;
  for (const std::string& name : archives) archiveRequests.push_back(requestsFor("/zip/" + name + ".zip"));
  program_ = &start();
  main_ = waitForMainWindow(*program_);
  if (!main_) return false;
  list_ = findControl(main_, form1::ListView1);
  if (!list_) return false;
  const auto boxes = letStartUpPassRun(*program_, main_, catalogueRequests);
  EXPECT_TRUE(boxes.empty()) << "the start-up pass showed " << utf8(boxes.front());
  // The pass runs the download-all road twice; the second asks the server nothing about an archive
  // the first has just fetched or confirmed, so each archive is asked for once. Its transfer has ended
  // once the archive lies in the archive folder as the server has it, or no partial body of it is
  // left (one the program refused goes); a cut one stays to be continued, and the wait ends at its limit.
  for (size_t i = 0; i < archives.size(); ++i) {
    const std::string path = "/zip/" + archives[i] + ".zip";
    EXPECT_TRUE(pollUntil([&] { return requestsFor(path) >= archiveRequests[i] + 1; }, kWindowTimeoutMs))
        << path << " was not asked for by the start-up pass";
    const std::wstring name = L"zip\\" + wide(archives[i]) + L".zip";
    static_cast<void>(pollUntil(
        [&] {
          return readBytes(programFile(name)) == readBytes(siteDirectory() + L"\\" + name) ||
                 !pathExists(programFile(name + L".partial"));
        },
        kWindowTimeoutMs));
  }
  return !::testing::Test::HasFailure();
}

std::string AddonRoadTest::label(int id) {
  HWND control = findControl(main_, id);
  return control ? utf8(windowText(control)) : "<no control>";
}

void AddonRoadTest::press(int id) {
  HWND button = findControl(main_, id);
  ASSERT_TRUE(button) << "no button " << id;
  click(button);
}

int AddonRoadTest::rowOf(const std::string& name) {
  const auto names = columnTexts(list_, 0);
  const auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

std::string AddonRoadTest::status(const std::string& name) {
  return utf8(cellText(list_, rowOf(name), 1));
}

void AddonRoadTest::tick(const std::string& name) {
  const int row = rowOf(name);
  ASSERT_GE(row, 0) << name;
  setRowChecked(list_, row, true);
  ASSERT_TRUE(pollUntil([&] { return isRowChecked(list_, row); }, kReactionTimeoutMs));
}

bool AddonRoadTest::installAndWait() {
  // The status line may still say how the previous install ended; it is emptied first, so only this
  // install's own end can satisfy the wait (the button's click reaches the program later than this).
  if (HWND line = findControl(main_, form1::Label6)) SendMessageW(line, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  press(form1::Button1);
  return pollUntil(
      [&] {
        const std::string line = label(form1::Label6);
        return line == "勾選的UI 已經安裝完畢" || line.find("安裝失敗") != std::string::npos;
      },
      kReactionTimeoutMs);
}

}  // namespace qv::e2e
