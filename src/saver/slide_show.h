// One step of the slide show: the next picture of the play order is loaded
// and fitted to the screen, or kept at its own size.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/picture.h"
#include "core/picture_fit.h"
#include "core/surface.h"
#include "settings/catalogue.h"
#include "settings/play_order.h"
#include "settings/settings.h"

namespace vs {

// The pictures of the saver between two drawings.
struct SlideShow {
  Surface loaded;  // the picture as loaded
  // Which of its pixels `loaded` holds: a picture much larger than the
  // screen keeps only those the fit reads.
  PixelSubset loaded_kept;
  Surface fitted;  // what the relief draws: the picture fitted to the screen
  int16_t screen_width = 0;
  int16_t screen_height = 0;
  // The play order, and the position in it of the picture shown: 1..count
  // after a load, 0 before the first and after the last.
  PlayOrder play_order;
  int16_t position = 0;
};

using PictureLoader =
    std::function<PictureResult(const std::string& path, const PictureView& view)>;

// The first half of a step: advances the position, clears the fitted
// picture and names the file to load (nothing when the play order has no
// such entry).
std::optional<std::string> begin_next_picture(SlideShow& show, const Catalogue& catalogue);
// The second half, once the load has answered: a picture that could not be
// loaded leaves `loaded` as it was, so the previous picture is fitted again
// (and under the own-size rule for pictures within the screen the fitted
// picture stays black). After the last position the play order is rebuilt
// (when there is more than one picture) and the position goes back to 0.
void finish_next_picture(SlideShow& show, const Settings& settings, const Catalogue& catalogue,
                         PictureResult loaded, RandomSource& rng);
// Both halves with the load in between, for callers that may wait for it.
void next_picture(SlideShow& show, const Settings& settings, const Catalogue& catalogue,
                  const PictureLoader& load, RandomSource& rng);

// What the fit will read of the pictures: decoders keep no more of them.
PictureView saver_view(const SlideShow& show, const Settings& settings);

}  // namespace vs
