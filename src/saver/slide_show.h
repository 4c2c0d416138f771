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

// The picture that follows the one shown, made ready while that one is drawn:
// which it is, and the screen it is loaded and fitted for.
struct NextPicture {
  // Its position in the play order: the one after the picture shown.
  int16_t position = 0;
  std::optional<std::string> path;  // nothing: the play order has no such entry
  PictureView view;                 // the screen, as saver_view gave it
  // The size of the fitted picture shown now, which a failed load of a
  // picture within the screen leaves black.
  int shown_width = 0;
  int shown_height = 0;
};

// Names the picture after the one shown, leaving the show as it is: its
// drawing goes on meanwhile.
NextPicture plan_next_picture(const SlideShow& show, const Settings& settings,
                              const Catalogue& catalogue);
// The next picture fitted to its screen, from its load's outcome: a picture
// that could not be loaded gives the previous one (show.loaded) fitted again,
// and under the own-size rule for pictures within the screen a black one.
// Reads only show.loaded and show.loaded_kept, so it may run on a thread of
// its own while the show's owner draws, as long as the owner changes neither.
Surface fit_next_picture(const NextPicture& next, const PictureResult& loaded,
                         const SlideShow& show);
// Makes it the picture shown: its position, the loaded picture (a failed
// load keeps the previous one), its fit; after the last position the play
// order is rebuilt (when there is more than one picture) and the position
// goes back to 0.
void show_next_picture(SlideShow& show, const NextPicture& next, PictureResult loaded,
                       Surface fitted, const Settings& settings, const Catalogue& catalogue,
                       RandomSource& rng);

// The three with the load in between, for callers that may wait for it.
void next_picture(SlideShow& show, const Settings& settings, const Catalogue& catalogue,
                  const PictureLoader& load, RandomSource& rng);

// What the fit will read of the pictures: decoders keep no more of them.
PictureView saver_view(const SlideShow& show, const Settings& settings);

}  // namespace vs
