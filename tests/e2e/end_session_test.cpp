// Log-off and shutdown seen from outside: the program answers the system's question with yes at once,
// without its closing rule (no hiding, no balloon, no box), stays as it was while the session might
// still go on, and ends when the session does.
#include <gtest/gtest.h>

#include "driver/quorvane_test.h"
#include "driver/ui.h"
#include "driver/wait.h"

namespace qv::e2e {
namespace {

using EndSessionTest = QuorvaneTest;

TEST_F(EndSessionTest, QueryIsAnsweredYesAtOnceAndTheEndOfTheSessionEndsTheProgram) {
  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);

  EXPECT_EQ(sendChecked(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  EXPECT_TRUE(settle(main));
  EXPECT_TRUE(IsWindow(main) && IsWindowVisible(main)) << "the question ran the closing rule";
  EXPECT_TRUE(program.running());
  EXPECT_TRUE(messageBoxes(program.id()).empty()) << describeMessageBoxes(program.id());

  // The session went on after all: nothing changes.
  sendChecked(main, WM_ENDSESSION, FALSE, 0);
  EXPECT_TRUE(settle(main));
  EXPECT_TRUE(IsWindow(main) && IsWindowVisible(main));

  sendChecked(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  const auto code = program.waitForExit(kReactionTimeoutMs);
  ASSERT_TRUE(code) << "the program kept running after the session ended";
  EXPECT_EQ(*code, 0u);
}

}  // namespace
}  // namespace qv::e2e
