// Calls queued for after the paint: they wait until no window of the thread is left to paint, keep
// their order, and a failing one is reported without holding up the rest.
#include <stdexcept>
#include <vector>

#include "gui_test.h"

namespace qv::in_process {
namespace {

class MainLoopTest : public GuiTest {};

TEST_F(MainLoopTest, CallsForAfterThePaintRunOnceNoWindowIsLeftToPaintAndInOrder) {
  auto form = makeForm("PaintForm");
  form->show();
  pumpFor(200);
  HWND window = windowOf(*form);
  ASSERT_NE(window, nullptr);

  ::InvalidateRect(window, nullptr, TRUE);
  std::vector<int> order;
  bool paintOwed = true;
  loop_.post([&] { order.push_back(1); });
  loop_.postAfterPaint([&] {
    paintOwed = ::GetUpdateRect(window, nullptr, FALSE) != FALSE;
    order.push_back(3);
    // Queued by a call of the same round: it waits for the next paint, and runs.
    ::InvalidateRect(window, nullptr, TRUE);
    loop_.postAfterPaint([&] {
      if (::GetUpdateRect(window, nullptr, FALSE)) paintOwed = true;
      order.push_back(5);
    });
  });
  loop_.postAfterPaint([&] { order.push_back(4); });
  loop_.post([&] { order.push_back(2); });
  ASSERT_TRUE(pumpUntil([&] { return order.size() == 5; }, 5000)) << "only " << order.size() << " calls ran";
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5})) << "posted calls go before the paint, these after it";
  EXPECT_FALSE(paintOwed) << "a call ran while the window still had to paint";
}

TEST_F(MainLoopTest, AFailingCallForAfterThePaintIsReportedAndTheNextStillRuns) {
  auto form = makeForm("PaintForm");
  bool nextRan = false;
  loop_.postAfterPaint([] { throw std::runtime_error("after the paint"); });
  loop_.postAfterPaint([&] { nextRan = true; });
  ASSERT_TRUE(pumpUntil([&] { return nextRan; }, 5000));
  EXPECT_EQ(dialogs_.shown.size(), 1u);
}

}  // namespace
}  // namespace qv::in_process
