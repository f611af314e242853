// Quorvane.exe ended by force while it installs a large archive (over an installed add-on folder that
// holds a file of the player's own), once while it unpacks and once while it commits, then started
// again: its show step leaves Interface exactly as it was before that install or as it is after it,
// with nothing of the install's own work left, and the status check reads the row accordingly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "driver/files.h"
#include "driver/list_view.h"
#include "driver/quorvane_test.h"
#include "driver/server_log.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"
#include "mainwindow/form1_ids.h"
#include "driver/addon_archives.h"

namespace qv::e2e {
namespace {

namespace form1 = ids::form1;

constexpr int kReplaced = 1000;
constexpr int kAdded = 200;

// The row is named after the folder the archive adds, so it reads "未安裝" before and "已安裝" after.
constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<plug>
  <Item plugName="BigPackData" plugCName="大型套件" plugfolder="BigPackData" plugdescribe="一千個檔案。"/>
</plug>
)";

// The file's identity on its volume: the same for two names of one file (a hard link), another for a copy.
std::string body(const std::string& what, int i) {
  return "-- " + what + " " + std::to_string(i) + "\n" + std::string(600 + (i * 37) % 900, 'x') + "\n";
}

enum class Moment { Unpacking, Committing };

class InterruptedInstallTest : public QuorvaneTest, public ::testing::WithParamInterface<Moment> {
 protected:
  void SetUp() override {
    if (!setUpWithServedSite()) return;
    publishCatalogueAndArchiveFolder(kCatalogue);
    NamedEntries entries;
    for (int i = 0; i < kReplaced; ++i)
      entries.push_back({"BigPack/f" + std::to_string(i) + ".lua", body("new", i)});
    for (int i = 0; i < kAdded; ++i)
      entries.push_back({"BigPackData/d" + std::to_string(i) + ".dat", body("data", i)});
    writeBytes(siteDirectory() + L"\\zip\\BigPackData.zip", addonArchive(entries, kStored));
    makeEmptyGame("[updata]\r\nautoupdata=0\r\nnum=1\r\n");
    makeDirectory(interfaceDirectory() + L"\\BigPack");
    for (int i = 0; i < kReplaced; ++i)
      writeBytes(interfaceDirectory() + L"\\BigPack\\f" + std::to_wstring(i) + L".lua", body("old", i));
    writeBytes(interfaceDirectory() + L"\\BigPack\\mine.txt", "the player's own notes");
    before_ = treePicture(interfaceDirectory());
    after_ = before_;
    for (std::string& line : after_) {
      const size_t old = line.find(" = -- old ");
      if (old != std::string::npos)
        line = line.substr(0, old) + " = " + body("new", std::stoi(line.substr(old + 10)));
    }
    after_.push_back("\\BigPackData <dir>");
    for (int i = 0; i < kAdded; ++i)
      after_.push_back("\\BigPackData\\d" + std::to_string(i) + ".dat = " + body("data", i));
    std::sort(after_.begin(), after_.end());
  }
  void TearDown() override {
    withdrawCatalogue();
    removeTree(siteDirectory() + L"\\zip");
    QuorvaneTest::TearDown();
  }

  std::wstring interfaceDirectory() const { return caseRoot() + L"\\game\\Interface"; }

  // The staging folder of the install under way, or empty.
  std::wstring stagingFolder() const {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((interfaceDirectory() + L"\\.qv-staging-*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return {};
    FindClose(find);
    return interfaceDirectory() + L"\\" + data.cFileName;
  }
  bool reached(Moment moment) const {
    const std::wstring staging = stagingFolder();
    if (staging.empty()) return false;
    if (moment == Moment::Committing) return isFile(staging + L"\\journal");
    return entryCount(staging + L"\\new\\BigPack") >= 100;
  }

  // Starts the program, lets its start-up pass fetch the archive and read the row as "未安裝", and
  // ticks the row; the main window, or null with a failure recorded.
  HWND startWithTheRowTicked(Process*& program) {
    const int catalogueRequests = requestsFor("/Data.xml");
    program = &start();
    HWND main = waitForMainWindow(*program);
    if (!main) return nullptr;
    letStartUpPassRun(*program, main, catalogueRequests);
    HWND list = findControl(main, form1::ListView1);
    const bool ready = list && pollUntil(
                                   [&] {
                                     return isFile(programFile(L"zip\\BigPackData.zip")) &&
                                            rowCount(list) == 1 && utf8(cellText(list, 0, 1)) == "未安裝";
                                   },
                                   kWindowTimeoutMs);
    if (!ready) {
      ADD_FAILURE() << "the row never read 未安裝 with its archive fetched";
      return nullptr;
    }
    setRowChecked(list, 0, true);
    if (!pollUntil([&] { return isRowChecked(list, 0); }, kReactionTimeoutMs)) {
      ADD_FAILURE() << "the row did not take its check mark";
      return nullptr;
    }
    return main;
  }

  std::vector<std::string> before_, after_;
};

TEST_P(InterruptedInstallTest, TheNextStartLeavesInterfaceAsItWasOrAsTheInstallLeavesIt) {
  const Moment moment = GetParam();
  const std::optional<uint64_t> mineBefore = fileIndexOf(interfaceDirectory() + L"\\BigPack\\mine.txt");
  ASSERT_TRUE(mineBefore);
  Process* first = nullptr;
  HWND main = startWithTheRowTicked(first);
  ASSERT_TRUE(main);
  click(findControl(main, form1::Button1));
  ASSERT_TRUE(pollUntil([&] { return reached(moment); }, kWindowTimeoutMs * 3))
      << "the install never reached that point; status line: "
      << utf8(windowText(findControl(main, form1::Label6)));
  first->terminate();
  ASSERT_TRUE(first->waitForExit(kWindowTimeoutMs));
  EXPECT_FALSE(stagingFolder().empty()) << "killed in the middle: the staging folder is there";

  const int catalogueRequests = requestsFor("/Data.xml");
  Process& second = start();
  main = waitForMainWindow(second);
  ASSERT_TRUE(main);
  EXPECT_TRUE(pollUntil([&] { return stagingFolder().empty(); }, kReactionTimeoutMs))
      << "the show step recovers";
  const std::vector<std::string> now = treePicture(interfaceDirectory());
  for (const std::string& line : now) {
    EXPECT_EQ(line.find(".qv-staging-"), std::string::npos) << line;
    EXPECT_EQ(line.find(".qv-old"), std::string::npos) << line;
    EXPECT_EQ(line.find(".qv-partial"), std::string::npos) << line;
  }
  // Killed while unpacking, nothing had moved yet; killed once the plan was on disk, the commit is
  // finished.
  const std::vector<std::string>& expected = moment == Moment::Unpacking ? before_ : after_;
  EXPECT_TRUE(now == expected) << "Interface is neither as before nor as after: " << now.size() << " entries";
  // The player's own file went along as itself: Wine makes hard links on its Unix drives.
  EXPECT_EQ(fileIndexOf(interfaceDirectory() + L"\\BigPack\\mine.txt"), mineBefore);
  letStartUpPassRun(second, main, catalogueRequests);
  HWND list = findControl(main, form1::ListView1);
  const std::string status = moment == Moment::Unpacking ? "未安裝" : "已安裝";
  EXPECT_TRUE(pollUntil([&] { return rowCount(list) == 1 && utf8(cellText(list, 0, 1)) == status; },
                        kReactionTimeoutMs))
      << utf8(cellText(list, 0, 1));
}

// A file the running game holds open in a folder that an update replaces almost whole: moving the folder
// would take the file along (Windows refuses that; Wine allows it), so the folder is entered instead,
// and the held file, which the archive does not carry, stays where the game has it.
class HeldFileInstallTest : public InterruptedInstallTest {};

TEST_F(HeldFileInstallTest, AFileTheGameHoldsOpenThatTheArchiveDoesNotCarryStaysWhereItIs) {
  const std::wstring held = interfaceDirectory() + L"\\BigPack\\mine.txt";
  Process* program = nullptr;
  HWND main = startWithTheRowTicked(program);
  ASSERT_TRUE(main);
  HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  click(findControl(main, form1::Button1));
  HWND line = findControl(main, form1::Label6);
  const bool ended = pollUntil(
      [&] {
        const std::string text = utf8(windowText(line));
        return text == "勾選的UI 已經安裝完畢" || text.find("安裝失敗") != std::string::npos;
      },
      kWindowTimeoutMs * 3);
  CloseHandle(file);
  ASSERT_TRUE(ended);
  EXPECT_EQ(utf8(windowText(line)), "勾選的UI 已經安裝完畢");
  EXPECT_TRUE(pollUntil([&] { return stagingFolder().empty(); }, kWindowTimeoutMs))
      << "the old files are removed";
  EXPECT_TRUE(treePicture(interfaceDirectory()) == after_);
}

INSTANTIATE_TEST_SUITE_P(Moments, InterruptedInstallTest,
                         ::testing::Values(Moment::Unpacking, Moment::Committing), [](const auto& info) {
                           return info.param == Moment::Unpacking ? "Unpacking" : "Committing";
                         });

}  // namespace
}  // namespace qv::e2e
