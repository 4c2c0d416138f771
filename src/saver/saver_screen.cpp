#include "saver/saver_screen.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/numeric.h"
#include "settings/mode_letter.h"

namespace vs {

namespace {

constexpr const char* kNoPicturesTitle = "Varnoscape (Saver Screen)";
// How long an ended saver waits for a load to stop before it ends the
// program around it.
constexpr int kLoadStopMs = 20;
// The most picture pixels one step of a drawing draws: well under a
// millisecond of work, so input is answered between any two steps even when
// the drawing runs unpaced or has fallen behind its pace.
constexpr int kPixelsPerStep = 1 << 16;
// Names a step of a folder walk looks at: a few milliseconds at most.
constexpr int kWalkNamesPerStep = 1024;

// Screen size in pixels the way the screen is measured: twips divided by
// twips per pixel, narrowed to 16 bits (a failed step leaves 0).
int16_t screen_pixels(int pixels, int twips_per_pixel) {
  std::optional<int64_t> q =
      int_div(static_cast<double>(pixels) * twips_per_pixel, twips_per_pixel);
  if (!q) return 0;
  return to_int16(*q).value_or(0);
}

}  // namespace

int32_t show_cursor(Platform& p, int32_t show) {
  return p.window_system().show_cursor(show != 0);
}

SaverScreen::SaverScreen(Platform& p, const Settings& settings, Catalogue& catalogue,
                         PlayOrder play_order, RandomSource& rng,
                         std::optional<int32_t> cursor_count, std::optional<ForeignWindow> host)
    : p_(p),
      settings_(settings),
      catalogue_(catalogue),
      rng_(rng),
      cursor_count_(cursor_count),
      host_(host),
      loop_(p),
      pacer_(Pacer::rows_per_second_from(p.system().environment("VARNOSCAPE_PACE"))) {
  show_.play_order = std::move(play_order);
}

char SaverScreen::mode() const {
  return mode_letter(p_.system().argument_string());
}

int SaverScreen::run() {
  const bool walk = catalogue_walk_pending(settings_);
  if (host_) {
    // A host's window: its size, no window of ours, no grab.
    window_ = p_.saver_host() ? p_.saver_host()->use_host_window(*host_).id : 0;
    if (window_ == 0) return 1;
  } else if (!walk && catalogue_.count == 0) {
    no_pictures();
    return 0;
  } else {
    // Without a window the saver would run on unseen and could never be
    // ended.
    window_ = p_.window_system().create_saver_window(kSaverTitle);
    if (window_ == 0) return 1;
  }
  follow_screen();
  show_.position = 0;
  if (walk) {
    walk_catalogue();
  } else if (catalogue_.count == 0) {
    no_pictures();  // a host's: the saver waits for its host to end it
  } else {
    start_loading();
  }
  const int status = loop_.run([this](const Event& e) { handle(e); });
  // Ending means ending at once: a decoder that does not stop soon (the
  // system's own cannot be interrupted) is not waited for. The end
  // procedure has already restored what the system needs back.
  if (load_ && !load_->stop_within(kLoadStopMs)) p_.system().end_program_now(status);
  return status;
}

void SaverScreen::no_pictures() {
  const char* text = texts_for(p_.system().language()).no_pictures;
  if (host_) {
    // No message box over the host's screen: the reason goes to the log.
    p_.system().report(std::string(kNoPicturesTitle) + ": " + text);
    return;
  }
  if (window_ != 0) {
    p_.window_system().destroy_window(window_);
    window_ = 0;
  }
  if (mode() == 'S') cursor_count_ = show_cursor(p_, cursor_count_.value_or(0));
  p_.desktop().message_box(0, text, kNoPicturesTitle, MessageIcon::Warning);
  loop_.quit(0);
}

void SaverScreen::walk_catalogue() {
  // The black screen shows while the folders are walked, so that a key ends
  // the saver already.
  if (!host_) {
    shown_ = true;
    p_.window_system().show_window(window_);
  }
  struct Walk {
    PictureWalk walk;
    std::vector<std::string> found;
    bool first_shown = false;
  };
  auto state = std::make_shared<Walk>(
      Walk{PictureWalk(p_.system(), settings_.folder, settings_.kinds, true), {}, false});
  loop_.add(p_.system().now_us(), [this, state](int64_t now) -> std::optional<int64_t> {
    const bool done = state->walk.step(
        kWalkNamesPerStep, [&](const std::string& path) { state->found.push_back(path); });
    if (!done) {
      // The walk finds the pictures in path order, so the first found is the
      // first of the catalogue: it shows while the walk goes on.
      if (!state->first_shown && !state->found.empty()) {
        state->first_shown = true;
        fill_catalogue(catalogue_, {state->found.front()});
        make_play_order(show_.play_order, 1, 0, rng_);
        start_loading();
      }
      return now;  // on after a look at the input
    }
    fill_catalogue(catalogue_, std::move(state->found));
    if (catalogue_.count == 0) {
      no_pictures();
      return std::nullopt;
    }
    make_play_order(show_.play_order, catalogue_.count, settings_.picture_order, rng_);
    if (!state->first_shown) {
      start_loading();
      return std::nullopt;
    }
    // In name order the picture shown was the first: the show goes on after
    // it. In random order the new order starts from its beginning.
    show_.position = settings_.picture_order == 0 ? 1 : 0;
    // Drawn, or in its pause: the next picture is made ready meanwhile.
    if (!load_ && !next_ && catalogue_.count > 1) prepare_next_picture();
    return std::nullopt;
  });
}

void SaverScreen::start_loading() {
  prepare_next_picture();
  take_next_picture_when_ready();
}

void SaverScreen::prepare_next_picture() {
  next_ = plan_next_picture(show_, settings_, catalogue_);
  if (!next_->path) {
    next_fitted_ = fit_next_picture(*next_, PictureResult::failure("no picture"), show_);
    return;
  }
  // The load runs off the loop and so does the fit, into a picture of its
  // own: the drawing reads the one shown meanwhile.
  load_ = p_.start_picture_load(*next_->path, next_->view);
  load_->then([this](const PictureResult& loaded) {
    next_fitted_ = fit_next_picture(*next_, loaded, show_);
  });
}

void SaverScreen::take_next_picture_when_ready() {
  // A load that ended during the drawing has woken the loop already.
  if (!load_ || load_->finished()) {
    take_next_picture();
    return;
  }
  // The load's end wakes the loop, which takes it.
  loop_.watch([this] {
    if (!load_->finished()) return false;
    take_next_picture();
    return true;
  });
}

void SaverScreen::take_next_picture() {
  PictureResult loaded = load_ ? load_->take() : PictureResult::failure("no picture");
  load_.reset();
  const NextPicture next = *std::exchange(next_, std::nullopt);
  Surface fitted = std::exchange(next_fitted_, Surface());
  if (next.view.box_width != show_.screen_width || next.view.box_height != show_.screen_height) {
    // Made for a screen that has changed since: loaded and fitted anew.
    start_loading();
    return;
  }
  show_next_picture(show_, next, std::move(loaded), std::move(fitted), settings_, catalogue_, rng_);
  start_drawing();
}

void SaverScreen::start_drawing() {
  // The first picture is loaded and fitted before the window shows.
  if (!shown_) {
    shown_ = true;
    if (!host_) p_.window_system().show_window(window_);
  }
  drawing_.emplace(show_.fitted, display_, settings_.drawing_method);
  display_.mark_all_dirty();
  const int64_t now = p_.system().now_us();
  pacer_.start_drawing(now);
  loop_.add(now, [this](int64_t at) { return draw_step(at); });
  // The next picture is read while this one is drawn; the one picture is
  // drawn again as it is.
  if (catalogue_.count > 1) prepare_next_picture();
}

std::optional<int64_t> SaverScreen::draw_step(int64_t now) {
  const int max_rows = std::max(1, kPixelsPerStep / std::max(1, show_.fitted.width()));
  int rows = 0;
  while (rows < max_rows && drawing_->next_row() + rows < drawing_->rows() &&
         pacer_.row_due_us(drawing_->next_row() + rows) <= now) {
    ++rows;
  }
  const bool finished = drawing_->draw_rows(rows);
  if (finished || now - last_present_us_ >= Pacer::kFrameIntervalUs) {
    present_changes();
    last_present_us_ = now;
  }
  if (finished) {
    start_pause();
    return std::nullopt;
  }
  // Unpaced, or behind the pace: at once (after a look at the input).
  return std::max(now, pacer_.row_due_us(drawing_->next_row()));
}

void SaverScreen::start_pause() {
  loop_.add(p_.system().now_us() + int64_t{kPauseMs} * 1000,
            [this](int64_t) -> std::optional<int64_t> {
              // A changed screen (a monitor plugged in, the host's window resized)
              // needs the picture fitted anew, even the only one.
              const bool screen_changed = follow_screen();
              if (next_) {
                // Read for the screen as it was: it is read again once it ends.
                if (screen_changed && load_) load_->request_stop();
                take_next_picture_when_ready();
              } else if (catalogue_.count > 1 || screen_changed) {
                start_loading();
              } else {
                start_drawing();  // the one picture, drawn again without a reload
              }
              return std::nullopt;
            });
}

bool SaverScreen::follow_screen() {
  ScreenInfo screen = p_.window_system().screen();
  const int16_t w = screen_pixels(screen.width, screen.twips_per_pixel_x);
  const int16_t h = screen_pixels(screen.height, screen.twips_per_pixel_y);
  if (w == show_.screen_width && h == show_.screen_height && !display_.empty()) return false;
  show_.screen_width = w;
  show_.screen_height = h;
  display_ = Surface(w, h);
  return true;
}

void SaverScreen::present_changes() {
  RowRange rows = display_.take_dirty();
  if (!rows.empty()) {
    p_.window_system().present(window_, display_,
                               Rect{0, rows.top, display_.width(), rows.bottom - rows.top});
  }
}

void SaverScreen::handle(const Event& e) {
  // Under a host, input belongs to the host, which ends us with a signal.
  const bool input = e.kind == Event::Kind::KeyDown || e.kind == Event::Kind::MouseDown ||
                     e.kind == Event::Kind::MouseMove;
  if (host_ && input) return;
  switch (e.kind) {
    case Event::Kind::KeyDown:
    case Event::Kind::MouseDown:
      end_saver();
      break;
    case Event::Kind::MouseMove:
      on_mouse_move(static_cast<float>(e.x), static_cast<float>(e.y));
      break;
    case Event::Kind::WindowGone:
      // Someone else destroyed the saver window: nothing could end an
      // invisible saver any more, so end now.
      loop_.quit(0);
      break;
    case Event::Kind::Resized:  // followed at the next picture
    case Event::Kind::KeyUp:
    case Event::Kind::MouseUp:
    case Event::Kind::Wheel:
    case Event::Kind::CloseRequest:
    case Event::Kind::ScaleChanged:  // the saver draws in the screen's own pixels
      break;
  }
}

void SaverScreen::on_mouse_move(float x, float y) {
  // Without a switch, movement never ends the saver.
  if (p_.system().argument_string().empty()) return;
  if (!first_pointer_) {
    // The first movement (the window coming up under the pointer) only
    // records where the pointer is.
    first_pointer_ = Point{static_cast<int>(x), static_cast<int>(y)};
    return;
  }
  // Both coordinates must differ from the first position: a purely
  // horizontal or vertical movement does not end the saver.
  if (x == static_cast<float>(first_pointer_->x) || y == static_cast<float>(first_pointer_->y)) {
    return;
  }
  end_saver();
  if (!loop_.quitting()) first_pointer_.reset();
}

void SaverScreen::end_saver() {
  // The older Windows family asks for the saver's password first; a refusal
  // returns into the saver with the pointer hidden again.
  SaverHost* host = p_.saver_host();
  if (mode() == 'S' && host && !host->is_nt_family()) {
    cursor_count_ = show_cursor(p_, cursor_count_.value_or(0));
    if (!host->verify_saver_password(window_)) {
      cursor_count_ = show_cursor(p_, 0);
      return;
    }
  }
  if (mode() == 'S') {
    // Tells the system that no screen saver runs any more.
    if (host) host->set_saver_running(false);
    cursor_count_ = show_cursor(p_, cursor_count_.value_or(0));
  }
  if (host) host->set_saver_active();
  p_.window_system().destroy_window(window_);
  loop_.quit(0);
}

}  // namespace vs
