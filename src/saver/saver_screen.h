// The saver screen form: a black, topmost, full-screen window that draws the
// pictures of the play order as reliefs, one after another, until a key, a
// click or (with the saver switch) a mouse movement ends the program.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "saver/background_load.h"
#include "saver/pacer.h"
#include "saver/saver_form.h"
#include "settings/module_state.h"
#include "settings/play_order.h"
#include "settings/window_titles.h"

namespace vs {

// The pause after each finished drawing.
inline constexpr int kPauseMs = 1000;

// The cursor display counter as the system returns it.
int32_t ShowCursor(Platform& p, int32_t show);

class Varnoscape_S : public EventHook {
 public:
  // With a host window (a screen-saver host's), the saver draws into it and
  // leaves input to the host.
  Varnoscape_S(Varnoscape_B& m, Platform& p, RandomSource& rng,
               std::optional<ForeignWindow> host = std::nullopt);

  // Loads the form and runs the saver until the program ends; returns the
  // process exit status.
  int Form_Load();

  // Called by the renderer every few pixels: runs pending input, presents
  // what changed, and keeps the drawing to its pace.
  bool DoEvents() override;

  const SaverForm& form() const { return f_; }

 private:
  void Saver_Loop();
  void Saver_End();
  // The hosted saver with nothing to show waits for its host to end it.
  int wait_without_pictures();
  // Waits ms milliseconds, answering input as it comes.
  void pause(int ms);
  // Next_Picture with the load on its own thread and input answered
  // meanwhile; false once the program has ended.
  bool next_picture();
  // Takes the drawing area's size anew; true when it changed.
  bool follow_screen();
  void Display_MouseDown();
  void Form_KeyDown();
  void Display_MouseMove(float x, float y);
  void handle(const Event& e);
  // Runs every queued event; false once the program has ended.
  bool run_pending_events();
  void present_changes();
  char mode() const;

  Varnoscape_B& m_;
  Platform& p_;
  RandomSource& rng_;
  SaverForm f_;
  Pacer pacer_;
  BackgroundLoad load_;
  std::optional<ForeignWindow> host_;
  WindowId window_ = 0;
  bool ended_ = false;
  int exit_status_ = 0;

  // DoEvents bookkeeping.
  int16_t paced_row_ = 0;
  int64_t last_poll_us_ = 0;
  int64_t last_present_us_ = 0;

  // Static values of the mouse-movement handler.
  float Mouse_X = 0;
  float Mouse_Y = 0;
  int16_t Mouse_Set = 0;
};

}  // namespace vs
