// The play order: the order in which the saver shows the catalogue.
#pragma once

#include <cstdint>
#include <vector>

namespace vs {

// The random draw's generator, behind an interface so tests can fix it.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // Called before every draw.
  virtual void reseed_from_clock() = 0;
  // Uniform in [0, 1).
  virtual double next_unit() = 0;
};

// The order in which the saver shows the catalogue: slots 1..count hold
// catalogue positions (slot 0 is unused).
using PlayOrder = std::vector<int16_t>;

// Refills slots 1..count: 1..count in order when picture_order is 0,
// otherwise a random permutation (the generator is re-seeded before every
// draw). The order grows to count + 1 slots when it is shorter; an empty
// catalogue leaves it as it is.
void make_play_order(PlayOrder& order, int count, int16_t picture_order, RandomSource& rng);

}  // namespace vs
