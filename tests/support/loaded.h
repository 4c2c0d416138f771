// What a start of the program holds after reading its settings: the
// settings, the catalogue of their folder and a play order, kept together
// for tests that set up or look at all of them.
#pragma once

#include <algorithm>
#include <array>

#include "settings/catalogue.h"
#include "settings/play_order.h"
#include "settings/settings.h"

namespace vs::testing {

// Kind switches with the first four kinds given and the later ones shown,
// as a settings file holding only the first four kinds' keys gives them.
inline KindSwitches first_kinds(const std::array<int16_t, kFirstKinds>& first) {
  KindSwitches kinds;
  kinds.fill(1);
  std::copy(first.begin(), first.end(), kinds.begin());
  return kinds;
}

struct Loaded {
  Settings settings;
  Catalogue catalogue;
  PlayOrder play_order;
};

}  // namespace vs::testing
