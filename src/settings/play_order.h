// The play order: the order in which the saver shows the catalogue.
#pragma once

#include <cstdint>

#include "settings/module_state.h"

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

// Refills Play_Order(1..File_Count): 1..File_Count in order when Set_Change
// is 0, otherwise a random permutation (the generator is re-seeded before
// every draw). Play_Order grows to File_Count + 1 slots when it is shorter;
// an empty catalogue leaves it as it is.
void Make_Play_Order(Varnoscape_B& m, RandomSource& rng);

}  // namespace vs
