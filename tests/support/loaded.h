// What a start of the program holds after reading its settings: the
// settings, the catalogue of their folder and a play order, kept together
// for tests that set up or look at all of them.
#pragma once

#include "settings/catalogue.h"
#include "settings/play_order.h"
#include "settings/settings.h"

namespace vs::testing {

struct Loaded {
  Settings settings;
  Catalogue catalogue;
  PlayOrder play_order;
};

}  // namespace vs::testing
