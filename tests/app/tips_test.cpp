#include "core/tips.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace keldro {
namespace {

TEST(Tips, TwentyFourDistinctTextsThatFitTheirLabel) {
  std::set<std::string_view> seen;
  for (int n = 1; n <= kTipCount; ++n) {
    EXPECT_LE(TipText(n).size(), 130u) << n;
    EXPECT_FALSE(TipText(n).empty()) << n;
    seen.insert(TipText(n));
  }
  EXPECT_EQ(seen.size(), 24u);
  EXPECT_EQ(TipText(1), "You can rename database fields to your liking.");
  EXPECT_EQ(TipText(24), "A \"Browse Mode\" is available where a user has access to the data, but cannot change it.");
  EXPECT_EQ(TipText(0), TipText(1));
  EXPECT_EQ(TipText(25), TipText(1));
}

TEST(Tips, NextTipTwentyFourTimesComesBackToTheStart) {
  for (int start = 1; start <= kTipCount; ++start) {
    int n = start;
    std::set<int> visited;
    for (int i = 0; i < kTipCount; ++i) {
      visited.insert(n);
      n = NextTip(n);
    }
    EXPECT_EQ(n, start);
    EXPECT_EQ(visited.size(), 24u) << start;
  }
  EXPECT_EQ(NextTip(24), 1);
}

TEST(Tips, TheRandomTipIsOneOfTheTwentyFourAndEachCanCome) {
  std::set<int> chosen;
  for (uint64_t seed = 0; seed < 2000; ++seed) {
    const int n = RandomTip(seed);
    ASSERT_GE(n, 1);
    ASSERT_LE(n, kTipCount);
    chosen.insert(n);
  }
  EXPECT_EQ(chosen.size(), 24u);
}

}  // namespace
}  // namespace keldro
