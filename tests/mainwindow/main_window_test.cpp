// The bottom panel's buttons (the hidden entry points included) and the timers the show step arms.
#include "shell_fixture.h"

namespace qv::test {
namespace {

TEST_F(ShellTest, TheBottomPanelHasItsButtonsAndTheHiddenEntryPoints) {
  struct Expect {
    const char* name;
    const char* caption;
    platform::Rect rect;
    bool visible;
  };
  for (const Expect& e : {Expect{"Button1", "安裝選中UI", {13, 39, 170, 40}, true},
                          Expect{"Button8", "  移除選中 UI", {189, 39, 170, 40}, true},
                          Expect{"BitBtn3", "", {372, 43, 189, 61}, true},
                          Expect{"Button10", "INI", {504, 9, 75, 25}, false},
                          Expect{"Button4", "down", {8, 16, 41, 25}, false},
                          Expect{"GroupBox1", "更新列錶內UI", {432, 48, 57, 49}, true}}) {
    platform::Control* c = form().find(e.name);
    ASSERT_NE(c, nullptr) << e.name;
    EXPECT_EQ(c->text(), e.caption) << e.name;
    EXPECT_EQ(c->bounds(), e.rect) << e.name;
    EXPECT_EQ(c->visible(), e.visible) << e.name;
  }
  EXPECT_EQ(form().timer("Timer1").interval(), 3000);
  EXPECT_TRUE(form().timer("Timer1").enabled()) << "the show step arms the start-up pass";
  EXPECT_EQ(form().timer("Timer3").interval(), 15000);
  EXPECT_FALSE(form().timer("Timer3").enabled());
}

}  // namespace
}  // namespace qv::test
