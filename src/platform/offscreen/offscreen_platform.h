// The in-memory backend for tests: the screen is a Surface, input comes from
// a script, time is a fake clock that only moves when the program sleeps or
// waits, and message boxes are recorded. Files, listings and pictures are the
// real POSIX ones, so tests run against real temporary folders.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/posix_platform.h"

namespace vs {

class OffscreenPlatform : public PosixPlatform {
 public:
  struct MessageBoxCall {
    std::string text;
    std::string title;
    MessageIcon icon;
    int cursor_counter;  // the display counter while the box was up
  };
  struct ScriptedEvent {
    int64_t at_us;  // delivered once the fake clock reaches this time
    Event event;
  };

  explicit OffscreenPlatform(std::vector<std::string> args = {});

  // --- Test set-up --------------------------------------------------------
  void set_arguments(std::vector<std::string> args) { args_ = std::move(args); }
  void set_env(const std::string& name, std::optional<std::string> value);
  void set_program_folder(std::string folder) { program_folder_ = std::move(folder); }
  void set_user_config_folder(std::string folder) { user_config_folder_ = std::move(folder); }
  void set_screen(int width, int height) { screen_.width = width, screen_.height = height; }
  void add_foreign_window(const std::string& title) { foreign_titles_.insert(title); }
  // A foreign window that can hold the preview, of the given size.
  void add_preview_parent(ForeignWindow id, int width, int height);
  void destroy_preview_parent(ForeignWindow id);
  void script(int64_t at_us, Event e) { script_.push_back({at_us, e}); }
  // Scripted events not yet delivered.
  size_t scripted_left() const { return script_.size(); }
  // Called whenever the program polls or waits for events: lets a test act
  // in the middle of a drawing.
  std::function<void()> on_poll;
  // Every picture load, in order.
  std::vector<std::string> loads;
  // Paths that fail to load even when the file is fine.
  std::set<std::string> failing_pictures;
  // Another copy holds the desktop: claim_single_copy answers false.
  bool other_copy = false;
  // The window a screen-saver host hands over (see host_window).
  std::optional<ForeignWindow> host;

  // --- What the program did ----------------------------------------------
  Surface frame;  // what is on "screen": our window's presented pixels
  bool saver_window = false;
  bool saver_shown = false;
  std::string saver_title;
  bool preview_window = false;
  ForeignWindow preview_parent = 0;
  int cursor_counter = 0;
  std::vector<MessageBoxCall> message_boxes;
  std::vector<std::string> reports;
  bool claimed = false;
  bool hosted = false;  // drawing into the host's window
  int presents = 0;
  int64_t slept_ms = 0;
  void advance_us(int64_t us) { now_ += us; }

  // --- Platform -------------------------------------------------------------
  std::optional<std::string> environment(const std::string& name) const override;
  std::string program_folder() const override;
  std::string user_config_folder() const override;
  PictureResult load_picture(const std::string& path, const PictureView& view = {},
                             std::stop_token stop = {}) override;
  void report(const std::string& line) override { reports.push_back(line); }
  int64_t now_us() override { return now_; }
  void sleep_ms(int ms) override;
  uint64_t clock_seed() override { return static_cast<uint64_t>(now_); }
  ScreenInfo screen() override { return screen_; }
  bool window_exists(const std::string& title) override;
  bool claim_single_copy() override;
  std::optional<ForeignWindow> host_window() const override { return host; }
  std::optional<ScreenInfo> use_host_window(ForeignWindow window) override;
  bool create_saver_window(const std::string& title) override;
  void show_saver_window() override { saver_shown = saver_window; }
  std::optional<ScreenInfo> create_preview_window(ForeignWindow parent) override;
  void destroy_window() override;
  void present(const Surface& surface, int top, int bottom) override;
  std::optional<Event> next_event(int timeout_ms) override;
  int show_cursor(bool show) override;
  void message_box(const std::string& text, const std::string& title, MessageIcon icon) override;

 private:
  int64_t now_ = 0;
  ScreenInfo screen_{1024, 768, 15, 15};
  std::map<std::string, std::optional<std::string>> env_;
  std::optional<std::string> program_folder_;
  std::optional<std::string> user_config_folder_;
  std::set<std::string> foreign_titles_;
  std::map<ForeignWindow, ScreenInfo> preview_parents_;
  std::deque<ScriptedEvent> script_;
};

}  // namespace vs
