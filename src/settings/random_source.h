// The generator behind the random play order.
#pragma once

#include <cstdint>
#include <functional>

#include "settings/play_order.h"

namespace vs {

// A counter-based generator (SplitMix64 output over a Weyl sequence) with an
// entropy pool. Re-seeding mixes the clock into the pool instead of
// replacing the state: a clock that has not moved since the last draw
// changes nothing but cannot make a draw repeat, because the counter always
// moves on.
class ClockRandomSource : public RandomSource {
 public:
  // clock supplies the entropy at each re-seed (System::clock_seed in the
  // program, a fixed value in tests); seed sets the starting state.
  explicit ClockRandomSource(std::function<uint64_t()> clock, uint64_t seed = 0);

  void reseed_from_clock() override;
  double next_unit() override;

 private:
  std::function<uint64_t()> clock_;
  uint64_t counter_;
  uint64_t pool_;
};

}  // namespace vs
