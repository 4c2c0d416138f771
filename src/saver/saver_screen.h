// The saver screen: a black, topmost, full-screen window that draws the
// pictures of the play order as reliefs, one after another, until a key, a
// click or (with the saver switch) a mouse movement ends the program.
//
// One loop owns time. A turn of it runs whichever of these is due: the
// picture load (a completion, polled), the drawing (a step of rows at the
// pace), the one-second pause; then it waits for input or the next due
// time. Input ends the loop, and with it the saver. The next picture is
// loaded and fitted off the loop while the one before it is drawn, so that
// it is ready when the pause ends, however long it takes to decode.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/background_load.h"
#include "platform/event_loop.h"
#include "platform/platform.h"
#include "saver/pacer.h"
#include "saver/relief.h"
#include "saver/slide_show.h"
#include "settings/catalogue.h"
#include "settings/settings.h"
#include "settings/window_titles.h"

namespace vs {

// The pause after each finished drawing.
inline constexpr int kPauseMs = 1000;

// The cursor display counter as the system returns it: `show` 0 hides, any
// other value shows.
int32_t show_cursor(Platform& p, int32_t show);

class SaverScreen {
 public:
  // With a host window (a screen-saver host's), the saver draws into it and
  // leaves input to the host. cursor_count is the display counter the
  // start-up left when it hid the pointer (nothing: it did not).
  // A catalogue still to be walked (see catalogue_walk_pending) is walked
  // by the saver's loop, over a black screen that a key already ends.
  SaverScreen(Platform& p, const Settings& settings, Catalogue& catalogue, PlayOrder play_order,
              RandomSource& rng, std::optional<int32_t> cursor_count,
              std::optional<ForeignWindow> host = std::nullopt);

  // Opens the screen and runs the saver until it ends; returns the process
  // exit status.
  int run();

  const SlideShow& slide_show() const { return show_; }
  const Surface& display() const { return display_; }
  std::optional<int32_t> cursor_count() const { return cursor_count_; }

 private:
  // The loop's work, each a job of its own.
  void walk_catalogue();
  // Says that there is nothing to show; the program ends unless a host
  // holds the saver.
  void no_pictures();
  void start_loading();
  // Names the next picture and starts its load, which fits it too.
  void prepare_next_picture();
  // Takes the prepared picture once its load has ended, and draws it.
  void take_next_picture_when_ready();
  void take_next_picture();
  void start_drawing();
  std::optional<int64_t> draw_step(int64_t now);
  void start_pause();

  // Takes the drawing area's size anew; true when it changed.
  bool follow_screen();
  void present_changes();
  void handle(const Event& e);
  void on_mouse_move(float x, float y);
  // The end procedure: restores what the system needs back and ends the
  // loop, unless the older Windows family's password is refused.
  void end_saver();
  char mode() const;

  Platform& p_;
  const Settings& settings_;
  Catalogue& catalogue_;
  RandomSource& rng_;
  std::optional<int32_t> cursor_count_;
  std::optional<ForeignWindow> host_;
  EventLoop loop_;
  SlideShow show_;
  Surface display_;
  Pacer pacer_;
  // The next picture while it is made ready: named by the loop, loaded and
  // fitted (into next_fitted_) on the load's thread. Neither it nor the
  // show's loaded picture, which a failed load fits again, changes while
  // load_ runs.
  std::optional<NextPicture> next_;
  Surface next_fitted_;
  std::unique_ptr<BackgroundLoad> load_;
  std::optional<ReliefDrawing> drawing_;
  WindowId window_ = 0;
  bool shown_ = false;
  int64_t last_present_us_ = 0;

  // Movement is measured from the first position the pointer was seen at.
  std::optional<Point> first_pointer_;
};

}  // namespace vs
