#include "saver/slide_show.h"

#include "core/numeric.h"

namespace vs {

namespace {

FitMode fit_mode(const Settings& settings) {
  return settings.picture_size != 0 ? FitMode::FullScreen : FitMode::OwnSize;
}

int16_t position_after(const SlideShow& show) {
  return to_int16(int64_t{show.position} + 1).value_or(show.position);
}

std::optional<std::string> path_at(const SlideShow& show, const Catalogue& catalogue,
                                   int16_t position) {
  const size_t pos = static_cast<size_t>(position);
  if (position < 0 || pos >= show.play_order.size()) return std::nullopt;
  if (const std::string* path = catalogue.at(show.play_order[pos])) return *path;
  return std::nullopt;
}

}  // namespace

PictureView saver_view(const SlideShow& show, const Settings& settings) {
  return PictureView{show.screen_width, show.screen_height, fit_mode(settings)};
}

NextPicture plan_next_picture(const SlideShow& show, const Settings& settings,
                              const Catalogue& catalogue) {
  NextPicture next;
  next.position = position_after(show);
  next.path = path_at(show, catalogue, next.position);
  next.view = saver_view(show, settings);
  next.shown_width = show.fitted.width();
  next.shown_height = show.fitted.height();
  return next;
}

Surface fit_next_picture(const NextPicture& next, const PictureResult& loaded,
                         const SlideShow& show) {
  const Surface& picture = loaded.ok ? loaded.picture : show.loaded;
  const PixelSubset& kept = loaded.ok ? loaded.kept : show.loaded_kept;
  const int pw = kept.whole() ? picture.width() : kept.width;
  const int ph = kept.whole() ? picture.height() : kept.height;
  const FitPlan plan = plan_fit(pw, ph, next.view.box_width, next.view.box_height, next.view.mode);
  // A picture within the screen is taken as it is. When the load failed,
  // loading the same file again would fail too: the fitted picture stays
  // black, at the size of the one shown.
  if (plan.whole && !loaded.ok) return Surface(next.shown_width, next.shown_height);
  Surface fitted;  // black where the fit leaves bands
  apply_fit(plan, picture, kept, fitted);
  return fitted;
}

void show_next_picture(SlideShow& show, const NextPicture& next, PictureResult loaded,
                       Surface fitted, const Settings& settings, const Catalogue& catalogue,
                       RandomSource& rng) {
  show.position = next.position;
  if (loaded.ok) {
    show.loaded = std::move(loaded.picture);
    show.loaded_kept = std::move(loaded.kept);
  }
  show.fitted = std::move(fitted);
  if (show.position == catalogue.count) {
    if (catalogue.count > 1) {
      make_play_order(show.play_order, catalogue.count, settings.picture_order, rng);
    }
    show.position = 0;
  }
}

void next_picture(SlideShow& show, const Settings& settings, const Catalogue& catalogue,
                  const PictureLoader& load, RandomSource& rng) {
  const NextPicture next = plan_next_picture(show, settings, catalogue);
  PictureResult loaded =
      next.path ? load(*next.path, next.view) : PictureResult::failure("no picture");
  Surface fitted = fit_next_picture(next, loaded, show);
  show_next_picture(show, next, std::move(loaded), std::move(fitted), settings, catalogue, rng);
}

}  // namespace vs
