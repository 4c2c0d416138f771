#include "saver/slide_show.h"

#include "core/numeric.h"

namespace vs {

namespace {

FitMode fit_mode(const Settings& settings) {
  return settings.picture_size != 0 ? FitMode::FullScreen : FitMode::OwnSize;
}

}  // namespace

PictureView saver_view(const SlideShow& show, const Settings& settings) {
  return PictureView{show.screen_width, show.screen_height, fit_mode(settings)};
}

std::optional<std::string> begin_next_picture(SlideShow& show, const Catalogue& catalogue) {
  if (std::optional<int16_t> next = to_int16(int64_t{show.position} + 1)) show.position = *next;
  show.fitted.fill_rect(0, 0, show.fitted.width(), show.fitted.height(), 0);
  const size_t pos = static_cast<size_t>(show.position);
  if (show.position < 0 || pos >= show.play_order.size()) return std::nullopt;
  if (const std::string* path = catalogue.at(show.play_order[pos])) return *path;
  return std::nullopt;
}

void finish_next_picture(SlideShow& show, const Settings& settings, const Catalogue& catalogue,
                         PictureResult loaded, RandomSource& rng) {
  if (loaded.ok) {
    show.loaded = std::move(loaded.picture);
    show.loaded_kept = std::move(loaded.kept);
  }
  const bool whole = show.loaded_kept.whole();
  const int pw = whole ? show.loaded.width() : show.loaded_kept.width;
  const int ph = whole ? show.loaded.height() : show.loaded_kept.height;
  const FitPlan plan = plan_fit(pw, ph, show.screen_width, show.screen_height, fit_mode(settings));
  // A picture within the screen is taken as it is. When the load failed,
  // loading the same file again would fail too: the fitted picture stays
  // cleared.
  if (!plan.whole || loaded.ok) apply_fit(plan, show.loaded, show.loaded_kept, show.fitted);

  if (show.position == catalogue.count) {
    if (catalogue.count > 1) {
      make_play_order(show.play_order, catalogue.count, settings.picture_order, rng);
    }
    show.position = 0;
  }
}

void next_picture(SlideShow& show, const Settings& settings, const Catalogue& catalogue,
                  const PictureLoader& load, RandomSource& rng) {
  std::optional<std::string> path = begin_next_picture(show, catalogue);
  PictureResult loaded =
      path ? load(*path, saver_view(show, settings)) : PictureResult::failure("no picture");
  finish_next_picture(show, settings, catalogue, std::move(loaded), rng);
}

}  // namespace vs
