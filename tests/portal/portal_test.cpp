// The portal strip and the links: the page requested once at creation, each completed document
// trimmed to a banner, right clicks inside the strip dropped while the rest of the window keeps them,
// and the separate browser window placed beside the main window, property by property.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "platform/headless/headless_web_browser.h"

namespace qv::test {
namespace {

using platform::AutomationValue;
using platform::headless::AutomationRecord;
using platform::headless::HeadlessLoopMessage;
using platform::headless::HeadlessWebBrowser;
using platform::headless::ShownBox;
using Step = AutomationRecord::Step;

class PortalTest : public ::testing::Test, public AppFixture {
 protected:
  PortalTest() : AppFixture(download::ServerResources{"http://portal.test:8080"}) {}
  void SetUp() override { ASSERT_TRUE(start()); }

  HeadlessWebBrowser& browser() { return form1().get<HeadlessWebBrowser>("WebBrowser1"); }
  const std::vector<std::shared_ptr<AutomationRecord>>& browserWindows() {
    return platform.headlessAutomation().created();
  }
  // A queued message for the window of the first control (inside the others); true when dispatched.
  bool dispatched(unsigned id, std::vector<const platform::Control*> targetAndAncestors) {
    return platform.loop().deliver(HeadlessLoopMessage(id, std::move(targetAndAncestors)));
  }
};

TEST_F(PortalTest, TheBrowserFillsTheTopStripAndAsksForThePortalPageOnce) {
  auto& panel = form1().get<platform::Panel>("Panel1");
  EXPECT_EQ(panel.bounds(), (platform::Rect{0, 0, 582, 62}));
  EXPECT_EQ(browser().bounds(), (platform::Rect{0, 0, 582, 62}));
  EXPECT_EQ(browser().navigations(), std::vector<std::string>{"http://portal.test:8080/ui.php"});
  // Neither a restore from the tray nor the start-up pass loads it again.
  form1().hide();
  form1().show();
  platform.loop().advance(10000);
  EXPECT_EQ(browser().navigations().size(), 1u);
  // Hiding the strip hides the browser with it (the page stays loaded).
  form1().clickButton("Button2");
  EXPECT_FALSE(panel.visible());
  EXPECT_EQ(browser().navigations().size(), 1u);
}

TEST_F(PortalTest, ACompletedDocumentLosesItsBorderAndScrollBars) {
  browser().loadDocument(true);
  browser().completeDocument();
  AutomationRecord& body = browser().body();
  EXPECT_EQ(body.object("style").property("borderStyle"), AutomationValue(std::string("none")));
  EXPECT_EQ(body.property("Scroll"), AutomationValue(std::string("no")));
  // The scroll attribute is reached by name from the control's own object: Document, then body.
  EXPECT_EQ(browser().record().steps, (std::vector<Step>{{Step::Kind::Get, "Document", {}}}));
  EXPECT_EQ(body.steps, (std::vector<Step>{{Step::Kind::Get, "style", {}},
                                           {Step::Kind::Put, "Scroll", {std::string("no")}}}));
  EXPECT_TRUE(boxes().empty());
}

TEST_F(PortalTest, EveryFrameThatCompletesTrimsTheTopLevelDocumentAgain) {
  browser().loadDocument(true);
  for (int frame = 0; frame < 3; ++frame) browser().completeDocument();
  EXPECT_EQ(browser().body().object("style").putNames(), (std::vector<std::string>(3, "borderStyle")));
  EXPECT_EQ(browser().body().putNames(), (std::vector<std::string>(3, "Scroll")));
}

TEST_F(PortalTest, WithoutADocumentOrABodyNothingIsTouched) {
  browser().clearDocument();
  browser().completeDocument();
  EXPECT_TRUE(browser().record().steps.empty());
  browser().loadDocument(false);
  browser().completeDocument();
  EXPECT_TRUE(browser().record().steps.empty()) << "no late-bound step either";
  EXPECT_TRUE(boxes().empty());
}

TEST_F(PortalTest, AFailingLateBoundCallReachesTheErrorBox) {
  browser().loadDocument(true);
  browser().body().failing["Scroll"] = "Member not found";
  browser().completeDocument();
  const auto shown = boxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Member not found.");
  EXPECT_EQ(shown[0].caption, "Quorvane");
  EXPECT_EQ(shown[0].icon, platform::BoxIcon::Error);
  EXPECT_EQ(browser().body().object("style").property("borderStyle"), AutomationValue(std::string("none")))
      << "the border step before it stays done";
}

TEST_F(PortalTest, RightClicksInsideThePortalAreDroppedAndEverywhereElseTheyPass) {
  const platform::Control& list = form1().get<platform::ListView>("ListView1");
  const platform::Control& strip = form1().get<platform::Panel>("Panel1");
  for (unsigned id : {0x0204u, 0x0205u, 0x0206u}) {
    EXPECT_FALSE(dispatched(id, {&browser(), &strip})) << std::hex << id;
    EXPECT_TRUE(dispatched(id, {&list})) << std::hex << id;
    EXPECT_TRUE(dispatched(id, {&strip})) << "the strip around the browser";
  }
  // Left and middle buttons, mouse moves and keys reach the page.
  for (unsigned id : {0x0201u, 0x0202u, 0x0203u, 0x0200u, 0x0207u, 0x0100u, 0x007Bu})
    EXPECT_TRUE(dispatched(id, {&browser(), &strip})) << std::hex << id;
}

TEST_F(PortalTest, TheLinkOpensABrowserWindowBesideTheMainWindowPropertyByProperty) {
  platform.headlessScreen().setSize(1024, 768);
  form1().menuItem("N5").click();
  EXPECT_EQ(form1().outerBounds(), (platform::Rect{436, 246, 588, 557})) << "moved to the right edge first";
  ASSERT_EQ(browserWindows().size(), 1u);
  const std::vector<Step> expected = {
      {Step::Kind::Put, "Visible", {true}},
      {Step::Kind::Put, "left", {int32_t{0}}},
      {Step::Kind::Put, "top", {int32_t{0}}},
      {Step::Kind::Put, "height", {int32_t{738}}},
      {Step::Kind::Put, "width", {int32_t{436}}},
      {Step::Kind::Put, "menubar", {int32_t{0}}},
      {Step::Kind::Put, "addressbar", {int32_t{0}}},
      {Step::Kind::Put, "toolbar", {int32_t{0}}},
      {Step::Kind::Put, "statusbar", {int32_t{0}}},
      {Step::Kind::Put, "resizable", {int32_t{0}}},
      {Step::Kind::Call, "Navigate", {mainwindow::LinkAddresses::builtIn().area}},
  };
  EXPECT_EQ(browserWindows()[0]->steps, expected);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(PortalTest, EachClickOpensOneMoreWindowAndTheItemsFlipTheirMarks) {
  platform.headlessScreen().setSize(1280, 1024);
  auto& n5 = form1().menuItem("N5");
  ASSERT_FALSE(n5.checked());
  n5.click();
  EXPECT_TRUE(n5.checked());
  n5.click();
  EXPECT_FALSE(n5.checked()) << "unchecked again after two clicks";
  form1().menuItem("N9").click();
  form1().menuItem("N6").click();
  EXPECT_FALSE(form1().menuItem("N9").checked()) << "N9 starts checked";
  const auto links = mainwindow::LinkAddresses::builtIn();
  const std::vector<std::string> targets = {links.area, links.area, links.home, links.forum};
  ASSERT_EQ(browserWindows().size(), targets.size());
  for (size_t i = 0; i < targets.size(); ++i) {
    EXPECT_EQ(browserWindows()[i]->steps.back(), (Step{Step::Kind::Call, "Navigate", {targets[i]}}));
    EXPECT_EQ(browserWindows()[i]->property("width"), AutomationValue(int32_t{1280 - 588}));
    EXPECT_EQ(browserWindows()[i]->property("height"), AutomationValue(int32_t{1024 - 30}));
  }
  EXPECT_EQ(form1().outerBounds().left, 1280 - 588);
}

TEST_F(PortalTest, WithoutTheAutomationClassTheErrorBoxSaysSoAfterTheWindowHasMoved) {
  platform.headlessAutomation().unregister("InternetExplorer.Application");
  form1().menuItem("N9").click();
  const auto shown = boxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Class not registered.");
  EXPECT_EQ(shown[0].icon, platform::BoxIcon::Error);
  EXPECT_EQ(form1().outerBounds().left, 1024 - 588);
  EXPECT_TRUE(browserWindows().empty());
}

TEST_F(PortalTest, AFailingPropertyStopsThereAndLeavesTheShownWindowOpen) {
  platform.headlessAutomation().failMember("addressbar", "Not implemented");
  form1().menuItem("N6").click();
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].text, "Not implemented.");
  ASSERT_EQ(browserWindows().size(), 1u);
  EXPECT_EQ(browserWindows()[0]->putNames(),
            (std::vector<std::string>{"Visible", "left", "top", "height", "width", "menubar", "addressbar"}));
  EXPECT_EQ(browserWindows()[0]->property("Visible"), AutomationValue(true));
}

}  // namespace
}  // namespace qv::test
