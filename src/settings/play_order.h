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
// is 0, otherwise a random permutation. Play_Order must have File_Count + 1
// slots and File_Count must be at least 1.
void Make_Play_Order(Varnoscape_B& m, RandomSource& rng);

}  // namespace vs
