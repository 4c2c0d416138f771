#include "settings/play_order.h"

#include <gtest/gtest.h>

#include "support/loaded.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/offscreen/offscreen_platform.h"
#include "settings/random_source.h"

namespace vs {
namespace {

// Returns the given values in turn (the last one forever) and records the
// calls, so a test can see that every draw is re-seeded first.
class ScriptedSource : public RandomSource {
 public:
  explicit ScriptedSource(std::vector<double> values) : values_(std::move(values)) {}
  void reseed_from_clock() override { calls += 'R'; }
  double next_unit() override {
    calls += 'D';
    double v = values_[std::min(next_, values_.size() - 1)];
    ++next_;
    return v;
  }
  std::string calls;

 private:
  std::vector<double> values_;
  size_t next_ = 0;
};

testing::Loaded with_files(int count, int16_t change) {
  testing::Loaded m;
  m.catalogue.count = static_cast<int16_t>(count);
  m.settings.picture_order = change;
  m.play_order.assign(static_cast<size_t>(count) + 1, 0);
  return m;
}

std::vector<int16_t> order(const testing::Loaded& m) {
  return {m.play_order.begin() + 1, m.play_order.begin() + 1 + m.catalogue.count};
}

bool is_permutation_of_1_to(const std::vector<int16_t>& v) {
  std::vector<int16_t> sorted = v;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < sorted.size(); ++i)
    if (sorted[i] != static_cast<int16_t>(i + 1)) return false;
  return true;
}

// The draw-and-walk as written: place the r-th still free entry, counted by
// walking the marks from the start.
std::vector<int16_t> walk_reference(int count, const std::vector<double>& draws) {
  std::vector<int> used(static_cast<size_t>(count) + 1, 0);
  std::vector<int16_t> out;
  int remaining = count;
  for (size_t d = 0; remaining > 0; ++d, --remaining) {
    int r = static_cast<int>(std::floor(draws[d] * remaining)) + 1;
    int seen = 0;
    for (int j = 1; j <= count; ++j) {
      if (used[static_cast<size_t>(j)] == 0 && ++seen == r) {
        used[static_cast<size_t>(j)] = 1;
        out.push_back(static_cast<int16_t>(j));
        break;
      }
    }
  }
  return out;
}

const double kJustBelowOne = std::nextafter(1.0, 0.0);

TEST(PlayOrder, SequentialIsCatalogueOrderEveryCycle) {
  testing::Loaded m = with_files(5, 0);
  ScriptedSource rng({0.7});
  for (int cycle = 0; cycle < 3; ++cycle) {
    make_play_order(m.play_order, m.catalogue.count, m.settings.picture_order, rng);
    EXPECT_EQ(order(m), (std::vector<int16_t>{1, 2, 3, 4, 5}));
  }
  EXPECT_EQ(rng.calls, "");  // no draws in sequential order
  EXPECT_EQ(m.play_order[0], 0);
}

TEST(PlayOrder, FixedGeneratorsGiveTheTwoExtremeOrders) {
  for (int16_t change : {1, 7, -1}) {  // any value but 0 means random
    testing::Loaded low = with_files(5, change);
    ScriptedSource zero({0.0});
    make_play_order(low.play_order, low.catalogue.count, low.settings.picture_order, zero);
    EXPECT_EQ(order(low), (std::vector<int16_t>{1, 2, 3, 4, 5})) << change;
    EXPECT_EQ(zero.calls, "RDRDRDRDRD");

    testing::Loaded high = with_files(5, change);
    ScriptedSource top({kJustBelowOne});
    make_play_order(high.play_order, high.catalogue.count, high.settings.picture_order, top);
    EXPECT_EQ(order(high), (std::vector<int16_t>{5, 4, 3, 2, 1})) << change;
  }
}

TEST(PlayOrder, OutOfRangeDrawsStayInsideTheFreeEntries) {
  // Values a faulty generator (or rounding of u * Remaining) could give.
  for (double bad : {1.0, 1.5, -0.25, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
    testing::Loaded m = with_files(6, 1);
    ScriptedSource rng({bad});
    make_play_order(m.play_order, m.catalogue.count, m.settings.picture_order, rng);
    EXPECT_TRUE(is_permutation_of_1_to(order(m))) << bad;
  }
  // The largest count with the largest draw: always the last free entry.
  testing::Loaded m = with_files(32767, 1);
  ScriptedSource rng({kJustBelowOne});
  make_play_order(m.play_order, m.catalogue.count, m.settings.picture_order, rng);
  std::vector<int16_t> descending(32767);
  std::iota(descending.rbegin(), descending.rend(), int16_t{1});
  EXPECT_EQ(order(m), descending);
}

TEST(PlayOrder, OneFileIsAlwaysSlotOne) {
  for (int16_t change : {0, 1}) {
    testing::Loaded m = with_files(1, change);
    ScriptedSource rng({0.99});
    make_play_order(m.play_order, m.catalogue.count, m.settings.picture_order, rng);
    EXPECT_EQ(order(m), std::vector<int16_t>{1});
  }
}

TEST(PlayOrder, BadSizesAreHandled) {
  // An order array that is too short grows; an empty catalogue is left alone.
  testing::Loaded m = with_files(4, 1);
  m.play_order.clear();
  ScriptedSource rng({0.5});
  make_play_order(m.play_order, m.catalogue.count, m.settings.picture_order, rng);
  ASSERT_EQ(m.play_order.size(), 5u);
  EXPECT_TRUE(is_permutation_of_1_to(order(m)));

  testing::Loaded empty = with_files(0, 1);
  empty.play_order = {9, 9};
  make_play_order(empty.play_order, empty.catalogue.count, empty.settings.picture_order, rng);
  EXPECT_EQ(empty.play_order, (std::vector<int16_t>{9, 9}));
}

TEST(PlayOrder, PlacesTheSameEntriesAsTheWalk) {
  std::mt19937_64 gen(2024);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int count : {2, 3, 7, 16, 17, 100, 1000}) {
    std::vector<double> draws(static_cast<size_t>(count));
    for (double& d : draws) d = unit(gen);
    testing::Loaded m = with_files(count, 1);
    ScriptedSource rng(draws);
    make_play_order(m.play_order, m.catalogue.count, m.settings.picture_order, rng);
    EXPECT_EQ(order(m), walk_reference(count, draws)) << count;
  }
}

TEST(PlayOrder, EveryPermutationAndPositionComesEvenly) {
  // A fixed seed and a clock that never moves: the same figures each run.
  ClockRandomSource rng([] { return uint64_t{42}; }, 7);
  constexpr int kRuns = 24000;
  std::map<std::vector<int16_t>, int> seen;
  int at[6][6] = {};
  for (int run = 0; run < kRuns; ++run) {
    testing::Loaded m = with_files(5, 1);
    make_play_order(m.play_order, m.catalogue.count, m.settings.picture_order, rng);
    std::vector<int16_t> o = order(m);
    ASSERT_TRUE(is_permutation_of_1_to(o));
    ++seen[o];
    for (int k = 0; k < 5; ++k) ++at[k + 1][o[static_cast<size_t>(k)]];
  }
  ASSERT_EQ(seen.size(), 120u);
  // Expected 200 per permutation (sd ~14) and 4800 per slot and entry
  // (sd ~62): the bounds are over six deviations wide.
  for (const auto& [perm, n] : seen) {
    EXPECT_GT(n, 110);
    EXPECT_LT(n, 290);
  }
  for (int k = 1; k <= 5; ++k) {
    for (int e = 1; e <= 5; ++e) {
      EXPECT_GT(at[k][e], 4400) << "slot " << k << " entry " << e;
      EXPECT_LT(at[k][e], 5200) << "slot " << k << " entry " << e;
    }
  }
}

TEST(PlayOrder, AStoppedClockStillGivesFreshDraws) {
  // The offscreen clock only moves when the program sleeps: every re-seed
  // sees the same reading.
  OffscreenPlatform p;
  ClockRandomSource rng([&p] { return p.clock_seed(); });
  std::set<double> draws;
  for (int i = 0; i < 1000; ++i) {
    rng.reseed_from_clock();
    draws.insert(rng.next_unit());
  }
  EXPECT_EQ(draws.size(), 1000u);
  for (double u : draws) {
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
  }

  std::set<std::vector<int16_t>> orders;
  for (int cycle = 0; cycle < 50; ++cycle) {
    testing::Loaded m = with_files(8, 1);
    make_play_order(m.play_order, m.catalogue.count, m.settings.picture_order, rng);
    ASSERT_TRUE(is_permutation_of_1_to(order(m)));
    orders.insert(order(m));
  }
  EXPECT_GT(orders.size(), 45u);  // 8! orders: repeats among 50 are rare
}

TEST(PlayOrder, TheClockChangesTheDraws) {
  uint64_t now = 1000;
  ClockRandomSource a([&now] { return now; }, 5);
  ClockRandomSource b([] { return uint64_t{1000}; }, 5);
  a.reseed_from_clock();
  b.reseed_from_clock();
  EXPECT_EQ(a.next_unit(), b.next_unit());  // same seed, same clock
  now = 1001;
  a.reseed_from_clock();
  b.reseed_from_clock();
  EXPECT_NE(a.next_unit(), b.next_unit());
}

TEST(PlayOrder, LargestCatalogueIsAPermutation) {
  testing::Loaded m = with_files(32767, 1);
  OffscreenPlatform p;
  ClockRandomSource rng([&p] { return p.clock_seed(); });
  make_play_order(m.play_order, m.catalogue.count, m.settings.picture_order, rng);
  EXPECT_TRUE(is_permutation_of_1_to(order(m)));
}

}  // namespace
}  // namespace vs
