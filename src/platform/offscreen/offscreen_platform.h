// The in-memory backend for tests: windows are Surfaces, input comes from a
// script, time is a fake clock that only moves when the program sleeps or
// waits, and message boxes, folder choices and opened addresses are
// recorded. Files, listings, pictures and text are the system's real ones,
// so tests run against real temporary folders and real fonts.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/native_platform.h"

namespace vs {

class OffscreenPlatform : public Platform,
                          public NativeSystem,
                          public WindowSystem,
                          public Desktop,
                          public SaverHost {
 public:
  System& system() override { return *this; }
  WindowSystem& window_system() override { return *this; }
  Desktop& desktop() override { return *this; }
  SaverHost* saver_host() override { return this; }
  struct MessageBoxCall {
    std::string text;
    std::string title;
    MessageIcon icon;
    int cursor_counter;  // the display counter while the box was up
    WindowId owner;
  };
  struct ScriptedEvent {
    int64_t at_us;  // delivered once the fake clock reaches this time
    Event event;
  };
  enum class WindowKind { Saver, Preview, Hosted, Dialog };
  struct Window {
    WindowKind kind = WindowKind::Saver;
    std::string title;
    bool shown = false;
    Surface frame;  // what is on "screen": the window's presented pixels
    Rect outer;     // on the screen
    DialogSpec spec;
    std::vector<std::pair<Rect, PointerShape>> pointer_shapes;
  };
  struct FolderChoice {
    WindowId owner;
    std::string title;
    std::string start;
  };

  explicit OffscreenPlatform(std::vector<std::string> args = {});

  // --- Test set-up --------------------------------------------------------
  void set_arguments(std::vector<std::string> args) { args_ = std::move(args); }
  void set_env(const std::string& name, std::optional<std::string> value);
  void set_program_folder(std::string folder) { program_folder_ = std::move(folder); }
  void set_user_config_folder(std::string folder) { user_config_folder_ = std::move(folder); }
  void set_screen(int width, int height) { screen_.width = width, screen_.height = height; }
  void set_screen(ScreenInfo screen) { screen_ = screen; }
  // The desktop's scale for dialogs (1 at 96 dots per inch).
  double scale = 1;
  void add_foreign_window(const std::string& title) { foreign_titles_.insert(title); }
  // A foreign window that can hold the preview (or host the saver), of the
  // given size.
  void add_preview_parent(ForeignWindow id, int width, int height);
  void destroy_preview_parent(ForeignWindow id);
  // Events for window 0 go to the saver, preview or host window, else to
  // the newest dialog.
  void script(int64_t at_us, Event e) { script_.push_back({at_us, std::move(e)}); }
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
  // Where the pointer is; nothing: the system cannot tell.
  std::optional<Point> pointer{Point{0, 0}};
  // The older Windows family: its password checks answer in turn (nothing
  // left: accepted), and each check sees the cursor counter.
  bool nt_family = true;
  std::deque<bool> password_answers;
  std::vector<int> password_checks;
  std::vector<ForeignWindow> password_changes;
  // What the folder chooser answers, in turn; nothing left: cancelled.
  std::deque<std::optional<std::string>> folder_answers;

  // --- What the program did ----------------------------------------------
  std::map<WindowId, Window> windows;  // the windows alive now
  Surface frame;                       // the saver's, preview's or host's presented pixels
  bool saver_window = false;
  bool saver_shown = false;
  std::string saver_title;
  bool preview_window = false;
  ForeignWindow preview_parent = 0;
  bool hosted = false;  // drawing into the host's window
  int cursor_counter = 0;
  std::vector<MessageBoxCall> message_boxes;
  std::vector<std::string> reports;
  std::vector<FolderChoice> folder_choices;
  std::vector<std::string> opened_urls;
  // Every outline drawn, and nothing where the last was taken away.
  std::vector<std::optional<Rect>> outlines;
  std::optional<PointerImage> hand_pointer;
  int busy_changes = 0;
  bool busy = false;
  bool claimed = false;
  int presents = 0;
  int64_t slept_ms = 0;
  void advance_us(int64_t us) { now_ += us; }
  // The window of that kind alive now, or 0.
  WindowId window_of(WindowKind kind) const;

  // --- Platform -------------------------------------------------------------
  std::optional<std::string> environment(const std::string& name) const override;
  std::string program_folder() const override;
  std::string user_config_folder() const override;
  PictureResult load_picture(const std::string& path, const PictureView& view = {},
                             std::stop_token stop = {}) final;
  // Counts the load from its start to its end: the fake clock waits for
  // loads on other threads, so a load takes no fake time however long it
  // really takes.
  std::unique_ptr<BackgroundLoad> start_picture_load(const std::string& path,
                                                     const PictureView& view) override;
  void report(const std::string& line) override { reports.push_back(line); }
  int64_t now_us() override { return now_; }
  void sleep_ms(int ms) override;
  uint64_t clock_seed() override { return static_cast<uint64_t>(now_); }
  ScreenInfo screen() override { return screen_; }
  double dialog_scale() override { return scale; }
  void resize_dialog(WindowId window, int client_width, int client_height) override;
  bool window_exists(const std::string& title) override;
  bool claim_single_copy() override;
  std::optional<ForeignWindow> host_window() const override { return host; }
  ChildWindow use_host_window(ForeignWindow window) override;
  WindowId create_saver_window(const std::string& title) override;
  ChildWindow create_preview_window(ForeignWindow parent) override;
  WindowId create_dialog_window(const DialogSpec& spec) override;
  void show_window(WindowId window) override;
  void destroy_window(WindowId window) override;
  std::optional<Rect> window_rect(WindowId window) override;
  void present(WindowId window, const Surface& surface, const Rect& area) override;
  std::optional<Event> next_event(int timeout_ms) override;
  void wake() override;
  bool events_may_come() override;
  // How often wake() was called.
  int wakes() const { return wakes_; }
  int show_cursor(bool show) override;
  std::optional<Point> pointer_position() override { return pointer; }
  void set_hand_pointer(const PointerImage& image) override { hand_pointer = image; }
  void set_pointer_shapes(WindowId window,
                          const std::vector<std::pair<Rect, PointerShape>>& regions) override;
  void set_busy(bool on) override;
  std::unique_ptr<FolderChooser> choose_folder(WindowId owner, const std::string& title,
                                               const std::string& start) override;
  bool open_url(const std::string& url) override;
  void draw_outline(const std::optional<Rect>& rect) override { outlines.push_back(rect); }
  void message_box(WindowId owner, const std::string& text, const std::string& title,
                   MessageIcon icon) override;
  bool is_nt_family() override { return nt_family; }
  void change_saver_password(ForeignWindow owner) override { password_changes.push_back(owner); }
  bool verify_saver_password(WindowId window) override;

 protected:
  // The load itself: the system's decoders; fakes give their own pictures.
  virtual PictureResult picture_for(const std::string& path, const PictureView& view,
                                    std::stop_token stop);

 private:
  // Waits (really) for the loads in flight; true when any has ended since
  // the last wait.
  bool wait_for_loads();
  WindowId add_window(Window w);
  // Where events for window 0 go.
  WindowId main_window() const;
  void update_flags();

  int64_t now_ = 0;
  WindowId next_id_ = 1;
  ScreenInfo screen_{1024, 768, 15, 15};
  std::map<std::string, std::optional<std::string>> env_;
  std::optional<std::string> program_folder_;
  std::optional<std::string> user_config_folder_;
  std::set<std::string> foreign_titles_;
  std::map<ForeignWindow, ScreenInfo> preview_parents_;
  ForeignWindow host_parent_ = 0;
  std::deque<ScriptedEvent> script_;
  std::mutex loading_mutex_;
  std::condition_variable loading_done_;
  int loading_ = 0;
  int loads_ended_ = 0;
  int wakes_ = 0;
  bool woken_ = false;
};

}  // namespace vs
