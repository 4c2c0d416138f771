#include "saver/saver_screen.h"

#include <string>

#include "core/numeric.h"
#include "saver/next_picture.h"
#include "saver/relief.h"
#include "settings/mode_letter.h"
#include "settings/system_family.h"

namespace vs {

namespace {

constexpr const char* kNoPicturesText = "画像ﾌｧｲﾙを指定して下さい ！";
constexpr const char* kNoPicturesTitle = "Varnoscape (Saver Screen)";
// How often input is looked at while a picture loads.
constexpr int kLoadPollMs = 5;
// How long an ended saver waits for a load to stop before it ends the
// program around it.
constexpr int kLoadStopMs = 20;

// Screen size in pixels the way the form computes it: twips divided by twips
// per pixel, narrowed to 16 bits (a failed step leaves 0).
int16_t screen_pixels(int pixels, int twips_per_pixel) {
  std::optional<int64_t> q =
      int_div(static_cast<double>(pixels) * twips_per_pixel, twips_per_pixel);
  if (!q) return 0;
  return to_int16(*q).value_or(0);
}

}  // namespace

int32_t ShowCursor(Platform& p, int32_t show) {
  return p.show_cursor(show != 0);
}

Varnoscape_S::Varnoscape_S(Varnoscape_B& m, Platform& p, RandomSource& rng,
                           std::optional<ForeignWindow> host)
    : EventHook(kPixelsPerDoEvents),
      m_(m),
      p_(p),
      rng_(rng),
      pacer_(Pacer::rows_per_second_from(p.environment("VARNOSCAPE_PACE"))),
      host_(host) {}

char Varnoscape_S::mode() const {
  return mode_letter(p_.argument_string());
}

int Varnoscape_S::Form_Load() {
  if (host_) {
    // A host's window: its size, no window of ours, no grab.
    window_ = p_.use_host_window(*host_).id;
    if (window_ == 0) return 1;
    if (m_.File_Count == 0) return wait_without_pictures();
  } else {
    if (m_.File_Count == 0) {
      if (mode() == 'S') m_.Cursor_Count = ShowCursor(p_, m_.Cursor_Count.value_or(0));
      p_.message_box(0, kNoPicturesText, kNoPicturesTitle, MessageIcon::Warning);
      return 0;
    }
    // Without a window the saver would run on unseen and could never be
    // ended.
    window_ = p_.create_saver_window(kSaverTitle);
    if (window_ == 0) return 1;
  }
  follow_screen();
  f_.Play_Pos = 0;
  if (!next_picture()) return exit_status_;
  if (!host_) p_.show_window(window_);
  f_.Display.mark_all_dirty();
  present_changes();
  Saver_Loop();
  return exit_status_;
}

int Varnoscape_S::wait_without_pictures() {
  // No message box over the host's screen: the reason goes to the log.
  p_.report(std::string(kNoPicturesTitle) + ": " + kNoPicturesText);
  while (!ended_) {
    std::optional<Event> e = p_.next_event(-1);
    if (!e) break;
    handle(*e);
  }
  return exit_status_;
}

void Varnoscape_S::Saver_Loop() {
  while (!ended_) {
    pacer_.start_drawing(p_.now_us());
    paced_row_ = 0;
    Draw_Relief(f_, m_, *this);
    if (ended_) break;
    present_changes();
    pause(kPauseMs);
    if (ended_) break;
    // A changed screen (a monitor plugged in, the host's window resized)
    // needs the picture fitted anew, even the only one.
    const bool screen_changed = follow_screen();
    if ((m_.File_Count > 1 || screen_changed) && !next_picture()) break;
    run_pending_events();
  }
}

void Varnoscape_S::pause(int ms) {
  const int64_t end = p_.now_us() + int64_t{ms} * 1000;
  while (!ended_) {
    const int64_t left = end - p_.now_us();
    if (left <= 0) return;
    if (std::optional<Event> e = p_.next_event(static_cast<int>((left + 999) / 1000))) handle(*e);
  }
}

bool Varnoscape_S::next_picture() {
  PictureResult loaded = PictureResult::failure("no picture");
  if (std::optional<std::string> path = begin_next_picture(f_, m_)) {
    load_.start([this, path = *path, view = saver_view(f_, m_)](std::stop_token stop) {
      return p_.load_picture(path, view, stop);
    });
    while (!load_.wait_for(kLoadPollMs)) {
      if (!run_pending_events()) {
        // Ending means ending at once: a decoder that does not stop soon
        // (the system's own cannot be interrupted) is not waited for. The
        // end procedure has already restored what the system needs back.
        if (!load_.stop_within(kLoadStopMs)) p_.end_program_now(exit_status_);
        return false;
      }
    }
    loaded = load_.take();
  }
  finish_next_picture(f_, m_, std::move(loaded), rng_);
  return true;
}

bool Varnoscape_S::follow_screen() {
  ScreenInfo screen = p_.screen();
  const int16_t w = screen_pixels(screen.width, screen.twips_per_pixel_x);
  const int16_t h = screen_pixels(screen.height, screen.twips_per_pixel_y);
  if (w == f_.Scr_W && h == f_.Scr_H && !f_.Display.empty()) return false;
  f_.Scr_W = w;
  f_.Scr_H = h;
  f_.Display = Surface(w, h);
  return true;
}

bool Varnoscape_S::DoEvents() {
  if (ended_) return false;
  int64_t now = p_.now_us();
  if (f_.Pos_Y != paced_row_) {
    paced_row_ = f_.Pos_Y;
    std::optional<int64_t> due = pacer_.row_due_us(paced_row_);
    if (due && now < *due) {
      // Ahead of the pace: show what is drawn, then wait for the row's time
      // with the input handled as it comes.
      present_changes();
      last_present_us_ = now;
      while (now < *due) {
        int wait_ms = static_cast<int>((*due - now + 999) / 1000);
        if (std::optional<Event> e = p_.next_event(wait_ms)) {
          handle(*e);
          if (ended_) return false;
        }
        now = p_.now_us();
      }
      last_poll_us_ = now;
    }
  }
  if (now - last_poll_us_ >= Pacer::kPollIntervalUs) {
    last_poll_us_ = now;
    if (!run_pending_events()) return false;
  }
  if (now - last_present_us_ >= Pacer::kFrameIntervalUs) {
    last_present_us_ = now;
    present_changes();
  }
  return true;
}

bool Varnoscape_S::run_pending_events() {
  while (!ended_) {
    std::optional<Event> e = p_.next_event(0);
    if (!e) break;
    handle(*e);
  }
  return !ended_;
}

void Varnoscape_S::present_changes() {
  RowRange rows = f_.Display.take_dirty();
  if (!rows.empty()) {
    p_.present(window_, f_.Display, Rect{0, rows.top, f_.Display.width(), rows.bottom - rows.top});
  }
}

void Varnoscape_S::handle(const Event& e) {
  // Under a host, input belongs to the host, which ends us with a signal.
  const bool input = e.kind == Event::Kind::KeyDown || e.kind == Event::Kind::MouseDown ||
                     e.kind == Event::Kind::MouseMove;
  if (host_ && input) return;
  switch (e.kind) {
    case Event::Kind::KeyDown:
      Form_KeyDown();
      break;
    case Event::Kind::MouseDown:
      Display_MouseDown();
      break;
    case Event::Kind::MouseMove:
      Display_MouseMove(static_cast<float>(e.x), static_cast<float>(e.y));
      break;
    case Event::Kind::WindowGone:
      // Someone else destroyed the saver window: nothing could end an
      // invisible saver any more, so end now.
      ended_ = true;
      break;
    case Event::Kind::Resized:  // followed at the next picture
    case Event::Kind::KeyUp:
    case Event::Kind::MouseUp:
    case Event::Kind::Wheel:
    case Event::Kind::CloseRequest:
      break;
  }
}

void Varnoscape_S::Form_KeyDown() {
  Saver_End();
}

void Varnoscape_S::Display_MouseDown() {
  Saver_End();
}

void Varnoscape_S::Display_MouseMove(float x, float y) {
  // Without a switch, movement never ends the saver.
  if (p_.argument_string().empty()) return;
  if (!Mouse_Set) {
    // The first movement (the window coming up under the pointer) only
    // records where the pointer is.
    Mouse_X = x;
    Mouse_Y = y;
    Mouse_Set = -1;
    return;
  }
  // Both coordinates must differ from the first position: a purely
  // horizontal or vertical movement does not end the saver.
  if (x == Mouse_X || y == Mouse_Y) return;
  Saver_End();
  if (!ended_) Mouse_Set = 0;
}

void Varnoscape_S::Saver_End() {
  // The older Windows family asks for the saver's password first; a refusal
  // returns into the saver with the pointer hidden again.
  if (mode() == 'S' && !Is_WinNT(p_)) {
    m_.Cursor_Count = ShowCursor(p_, m_.Cursor_Count.value_or(0));
    if (!p_.verify_saver_password(window_)) {
      m_.Cursor_Count = ShowCursor(p_, 0);
      return;
    }
  }
  if (mode() == 'S') {
    Saver_Running(p_, true);
    m_.Cursor_Count = ShowCursor(p_, m_.Cursor_Count.value_or(0));
  }
  p_.set_saver_active();
  p_.destroy_window(window_);
  ended_ = true;
  exit_status_ = 0;
}

}  // namespace vs
