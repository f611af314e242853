// The time bounds both downloaders keep through TransferPace, on a clock the test moves by hand.
#include "platform/transfer_pace.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using namespace std::chrono_literals;
using platform::TransferPace;
using Verdict = TransferPace::Verdict;

class TransferPaceTest : public ::testing::Test {
 protected:
  TransferPaceTest() {
    bounds.minBytesPerSecond = 1000;
    bounds.rateWindow = 10s;
    bounds.deadline = 100s;
  }
  TransferPace::Clock::time_point at(std::chrono::milliseconds since) const { return t0 + since; }

  platform::TransferBounds bounds;
  const TransferPace::Clock::time_point t0 = TransferPace::Clock::now();
};

TEST_F(TransferPaceTest, NoRateIsAskedBeforeTheServerAnswers) {
  TransferPace pace(bounds, t0);
  // A slow connection is the connect limit's business, not the rate floor's.
  EXPECT_EQ(pace.check(0, at(50s)), Verdict::Keeping);
  pace.answered(at(50s));
  EXPECT_EQ(pace.check(0, at(59s)), Verdict::Keeping) << "the first window has not passed";
  EXPECT_EQ(pace.check(0, at(60s)), Verdict::TooSlow);
}

TEST_F(TransferPaceTest, EachWindowMustBringTheRateTimesItsLength) {
  TransferPace pace(bounds, t0);
  pace.answered(t0);
  EXPECT_EQ(pace.check(10000, at(10s)), Verdict::Keeping) << "exactly the floor";
  EXPECT_EQ(pace.check(10000, at(15s)), Verdict::Keeping) << "mid-window nothing is decided";
  // The second window brought 9,999 bytes: one short.
  EXPECT_EQ(pace.check(19999, at(20s)), Verdict::TooSlow);
}

TEST_F(TransferPaceTest, BytesFromEarlierWindowsDoNotPayForALaterOne) {
  TransferPace pace(bounds, t0);
  pace.answered(t0);
  EXPECT_EQ(pace.check(1'000'000, at(10s)), Verdict::Keeping);  // a fast start
  EXPECT_EQ(pace.check(1'000'001, at(20s)), Verdict::TooSlow) << "then a drip";
}

TEST_F(TransferPaceTest, ALateReportIsMeasuredAgainstTheSpanItCloses) {
  TransferPace pace(bounds, t0);
  pace.answered(t0);
  // 25 s passed before anybody looked: 25,000 bytes are needed, not 10,000.
  EXPECT_EQ(pace.check(24000, at(25s)), Verdict::TooSlow);
  TransferPace other(bounds, t0);
  other.answered(t0);
  EXPECT_EQ(other.check(25000, at(25s)), Verdict::Keeping);
}

TEST_F(TransferPaceTest, TheDeadlineCountsFromTheStartWhateverTheRate) {
  TransferPace pace(bounds, t0);
  pace.answered(t0);
  uint64_t bytes = 0;
  for (int s = 10; s < 100; s += 10) {
    bytes += 100000;
    ASSERT_EQ(pace.check(bytes, at(std::chrono::seconds(s))), Verdict::Keeping) << s;
  }
  EXPECT_EQ(pace.check(bytes + 100000, at(100s)), Verdict::PastDeadline);
  EXPECT_TRUE(pace.broken());
}

TEST_F(TransferPaceTest, AVerdictStays) {
  TransferPace pace(bounds, t0);
  pace.answered(t0);
  EXPECT_EQ(pace.check(0, at(10s)), Verdict::TooSlow);
  EXPECT_EQ(pace.check(1'000'000'000, at(11s)), Verdict::TooSlow);
  EXPECT_EQ(pace.verdict(), Verdict::TooSlow);
}

TEST_F(TransferPaceTest, ACountThatGoesBackIsIgnored) {
  TransferPace pace(bounds, t0);
  pace.answered(t0);
  EXPECT_EQ(pace.check(10000, at(5s)), Verdict::Keeping);
  // A report with a smaller figure (another status, say) does not undo what arrived.
  EXPECT_EQ(pace.check(0, at(10s)), Verdict::Keeping);
}

TEST_F(TransferPaceTest, AZeroRateOrWindowChecksOnlyTheDeadline) {
  for (const bool zeroRate : {true, false}) {
    platform::TransferBounds b = bounds;
    if (zeroRate)
      b.minBytesPerSecond = 0;
    else
      b.rateWindow = 0ms;
    TransferPace pace(b, t0);
    pace.answered(t0);
    EXPECT_EQ(pace.check(0, at(99s)), Verdict::Keeping);
    EXPECT_EQ(pace.nextDecision(), at(100s));
    EXPECT_EQ(pace.check(0, at(100s)), Verdict::PastDeadline);
  }
}

TEST_F(TransferPaceTest, TheNextDecisionIsTheWindowsEndOrTheDeadline) {
  TransferPace pace(bounds, t0);
  EXPECT_EQ(pace.nextDecision(), at(100s)) << "before the answer only the deadline is due";
  pace.answered(at(3s));
  EXPECT_EQ(pace.nextDecision(), at(13s));
  EXPECT_EQ(pace.check(20000, at(14s)), Verdict::Keeping);
  EXPECT_EQ(pace.nextDecision(), at(24s)) << "the next window starts where the last one was closed";
  pace.check(200000, at(94s));
  EXPECT_EQ(pace.nextDecision(), at(100s)) << "a window that would end past the deadline";
}

}  // namespace
}  // namespace qv::test
