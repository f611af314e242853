// Config.ini files the program did not write: each must leave the program starting normally with the
// defaults, and the file exactly as it was (the program never rewrites what it was not asked to).
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "mainwindow/form1_ids.h"
#include "settings/form2_ids.h"
#include "driver/files.h"
#include "driver/quorvane_test.h"
#include "driver/settings_dialog.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"

namespace qv::e2e {
namespace {

enum class Shape { Bytes, Directory };

struct BadConfig {
  const char* name;
  Shape shape;
  std::string bytes;
  std::wstring expectedPath;
  bool expectedAutoUpdate;
};

// Failure messages name the case rather than dumping 100 KB of bytes.
void PrintTo(const BadConfig& bad, std::ostream* out) { *out << bad.name; }

// Deterministic noise over every byte value, NUL, lone CR/LF and EOF marks included; no "[" so that it
// cannot open a section by chance.
std::string garbage() {
  std::string out;
  std::uint32_t state = 0x2545F491u;
  for (int i = 0; i < 8192; ++i) {
    state = state * 1664525u + 1013904223u;
    char c = static_cast<char>(state >> 24);
    out.push_back(c == '[' ? '\0' : c);
  }
  return out;
}

std::vector<BadConfig> badConfigs() {
  const std::string longValue(100 * 1024, 'A');
  return {
      // The file exists but holds no key, so each key reads its default: empty path, update off.
      {"BinaryGarbage", Shape::Bytes, garbage(), L"", false},
      // Keys before any section belong to no section.
      {"NoSections", Shape::Bytes, "gamepath=C:\\x\\JX3Client.exe\r\nautoupdata=1\r\nnum=3\r\n", L"", false},
      // A value is read up to 2047 characters, and the lines after the long one still count.
      {"HundredKilobyteLine", Shape::Bytes,
       "[game]\r\ngamepath=" + longValue + "\r\n[updata]\r\nautoupdata=1\r\n", std::wstring(2047, L'A'), true},
      // Not a file at all: as if there were no settings file, so the new dialog's own defaults.
      {"Directory", Shape::Directory, "", L"", true},
  };
}

class BadConfigTest : public QuorvaneTest, public ::testing::WithParamInterface<BadConfig> {};

TEST_P(BadConfigTest, ProgramStartsWithDefaultsAndLeavesTheFileAlone) {
  const BadConfig& bad = GetParam();
  if (bad.shape == Shape::Directory) {
    makeDirectory(configPath());
  } else {
    writeBytes(configPath(), bad.bytes);
  }

  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);
  HWND window = openSettings(program, main);
  ASSERT_TRUE(window);
  std::string missing;
  auto dialog = SettingsDialog::find(window, missing);
  ASSERT_TRUE(dialog) << missing;
  EXPECT_EQ(utf8(windowText(dialog->path)), utf8(bad.expectedPath));
  EXPECT_EQ(isChecked(dialog->autoUpdate), bad.expectedAutoUpdate);

  click(dialog->cancel);
  EXPECT_TRUE(waitUntilGone(program.id(), wide(ids::form2::kClass), kReactionTimeoutMs));
  EXPECT_TRUE(program.running());
  EXPECT_TRUE(messageBoxes(program.id()).empty()) << describeMessageBoxes(program.id());

  if (bad.shape == Shape::Directory) {
    EXPECT_TRUE(isDirectory(configPath()));
    EXPECT_EQ(entryCount(configPath()), 0u);
  } else {
    EXPECT_TRUE(readBytes(configPath()) == bad.bytes) << "Config.ini was rewritten";
  }
}

INSTANTIATE_TEST_SUITE_P(Config, BadConfigTest, ::testing::ValuesIn(badConfigs()),
                         [](const ::testing::TestParamInfo<BadConfig>& info) { return info.param.name; });

}  // namespace
}  // namespace qv::e2e
