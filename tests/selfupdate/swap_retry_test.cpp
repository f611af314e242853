// The swap's retry while the settings cannot be written: Timer3 stays armed, but while the "contact
// Tarvik" box is open (the player takes half a minute to read it, and the timer ticks on behind it)
// no second box opens inside the first. Once it is closed the retry goes on, and the swap happens
// when the write succeeds.
#include "self_update_fixture.h"

namespace qv::test {
namespace {

using SwapRetryTest = SelfUpdateFixture;

TEST_F(SwapRetryTest, NoBoxOpensWhileThePreviousOneIsStillOpen) {
  serve(5, kNewProgram);
  startProgram();
  runStartUpPass();
  ASSERT_TRUE(timer("Timer3").enabled());
  fs::remove(file("Config.ini"));
  fs::create_directory(file("Config.ini"));

  int open = 0;
  int mostOpenAtOnce = 0;
  int opened = 0;
  auto& dialogs = app->platform.headlessDialogs();
  dialogs.whileOpen = [&](const ShownBox&) {
    ++opened;
    mostOpenAtOnce = std::max(mostOpenAtOnce, ++open);
    if (open == 1) loop().advance(30000);  // five ticks of Timer3 behind the box
    --open;
  };
  loop().advance(6000);
  EXPECT_EQ(opened, 1) << "one box, however often the timer ticked behind it";
  EXPECT_EQ(mostOpenAtOnce, 1);
  EXPECT_TRUE(timer("Timer3").enabled()) << "the retry is kept";
  EXPECT_EQ(readAll(file("Quorvane.exe")), kOldProgram);

  // Closed: a later tick tries again, and that one opens the next box.
  dialogs.whileOpen = nullptr;
  loop().advance(40000);
  const auto boxes = app->boxes();
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "contact Tarvik.");
  EXPECT_EQ(boxes[1].icon, platform::BoxIcon::Error);

  fs::remove(file("Config.ini"));
  loop().advance(6000);
  EXPECT_EQ(installedVersion(), "5");
  EXPECT_EQ(readAll(file("Quorvane.exe")), kNewProgram);
  EXPECT_TRUE(window().exitFlag());
}

TEST_F(SwapRetryTest, AReadOnlyProgramIsReplacedAndItsOldFileCanGo) {
  serve(5, kNewProgram);
  makeProgram();
  ASSERT_TRUE(app->platform.fileStamps().setAttributes(file("Quorvane.exe"), platform::attr::kReadOnly));
  ASSERT_TRUE(app->start());
  runStartUpPass();
  loop().advance(6000);
  ASSERT_TRUE(window().exitFlag());
  EXPECT_EQ(readAll(file("Quorvane.exe")), kNewProgram);
  EXPECT_EQ(app->platform.fileStamps().attributes(file("Quorvane.old")) & platform::attr::kReadOnly, 0u)
      << "the script's del would refuse a read-only file";
}

}  // namespace
}  // namespace qv::test
