#include "platform/offscreen/offscreen_platform.h"

#include "platform/background_load.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace vs {

namespace {

// The frame a window manager puts around a dialog, as the classic one does:
// 3 pixels on each side, a 22-pixel title bar.
constexpr int kFrameWidth = 6;
constexpr int kFrameHeight = 25;

}  // namespace

OffscreenPlatform::OffscreenPlatform(std::vector<std::string> args)
    : NativeSystem(std::move(args)) {
  // A Japanese desktop, whatever the machine running the tests has.
  env_["LC_ALL"] = env_["LC_MESSAGES"] = env_["LANGUAGE"] = std::nullopt;
  env_["LANG"] = "ja_JP.UTF-8";
}

void OffscreenPlatform::set_env(const std::string& name, std::optional<std::string> value) {
  env_[name] = std::move(value);
}

std::optional<std::string> OffscreenPlatform::environment(const std::string& name) const {
  auto it = env_.find(name);
  if (it != env_.end()) return it->second;
  return NativeSystem::environment(name);
}

std::string OffscreenPlatform::program_folder() const {
  return program_folder_ ? *program_folder_ : NativeSystem::program_folder();
}

std::string OffscreenPlatform::user_config_folder() const {
  return user_config_folder_ ? *user_config_folder_ : NativeSystem::user_config_folder();
}

PictureResult OffscreenPlatform::load_picture(const std::string& path, const PictureView& view,
                                              std::stop_token stop) {
  return picture_for(path, view, stop);
}

std::unique_ptr<BackgroundLoad> OffscreenPlatform::start_picture_load(const std::string& path,
                                                                      const PictureView& view) {
  // Counted from the start, before its thread runs: the clock waits for it.
  {
    std::lock_guard lock(loading_mutex_);
    ++loading_;
  }
  auto load = std::make_unique<BackgroundLoad>();
  load->start([this, path, view](std::stop_token stop) { return load_picture(path, view, stop); },
              [this] {
                {
                  std::lock_guard lock(loading_mutex_);
                  --loading_;
                  ++loads_ended_;
                }
                wake();
              });
  return load;
}

PictureResult OffscreenPlatform::picture_for(const std::string& path, const PictureView& view,
                                             std::stop_token stop) {
  loads.push_back(path);
  if (failing_pictures.count(path)) return PictureResult::failure(path + ": made to fail");
  return NativeSystem::load_picture(path, view, stop);
}

bool OffscreenPlatform::wait_for_loads() {
  std::unique_lock lock(loading_mutex_);
  // A load that never ends is a fault of the test, not a reason to hang.
  loading_done_.wait_for(lock, std::chrono::seconds(30), [this] { return loading_ == 0; });
  // A load that ended since the program last waited wakes it, as a
  // completion does, before any time passes.
  const bool ended = std::exchange(loads_ended_, 0) > 0;
  return std::exchange(woken_, false) || ended;
}

bool OffscreenPlatform::events_may_come() {
  std::lock_guard lock(loading_mutex_);
  return !script_.empty() || loading_ > 0 || woken_;
}

void OffscreenPlatform::wake() {
  std::lock_guard lock(loading_mutex_);
  ++wakes_;
  woken_ = true;
  loading_done_.notify_all();
}

void OffscreenPlatform::sleep_ms(int ms) {
  if (ms > 0) {
    now_ += static_cast<int64_t>(ms) * 1000;
    slept_ms += ms;
  }
}

bool OffscreenPlatform::claim_single_copy() {
  claimed = !other_copy;
  return claimed;
}

void OffscreenPlatform::add_preview_parent(ForeignWindow id, int width, int height) {
  preview_parents_[id] =
      ScreenInfo{width, height, screen_.twips_per_pixel_x, screen_.twips_per_pixel_y};
}

void OffscreenPlatform::destroy_preview_parent(ForeignWindow id) {
  preview_parents_.erase(id);
  for (auto it = windows.begin(); it != windows.end(); ++it) {
    const bool held = (it->second.kind == WindowKind::Preview && preview_parent == id) ||
                      (it->second.kind == WindowKind::Hosted && host_parent_ == id);
    if (!held) continue;
    Event gone;
    gone.kind = Event::Kind::WindowGone;
    gone.window = it->first;
    script_.push_front({now_, gone});
    windows.erase(it);
    break;
  }
  update_flags();
}

WindowId OffscreenPlatform::add_window(Window w) {
  const WindowId id = next_id_++;
  windows[id] = std::move(w);
  update_flags();
  return id;
}

WindowId OffscreenPlatform::window_of(WindowKind kind) const {
  for (const auto& [id, w] : windows) {
    if (w.kind == kind) return id;
  }
  return 0;
}

WindowId OffscreenPlatform::main_window() const {
  WindowId newest_dialog = 0;
  for (const auto& [id, w] : windows) {
    if (w.kind != WindowKind::Dialog) return id;
    newest_dialog = id;
  }
  return newest_dialog;
}

void OffscreenPlatform::update_flags() {
  const WindowId saver = window_of(WindowKind::Saver);
  saver_window = saver != 0;
  saver_shown = saver != 0 && windows.at(saver).shown;
  preview_window = window_of(WindowKind::Preview) != 0;
  hosted = window_of(WindowKind::Hosted) != 0;
}

bool OffscreenPlatform::window_exists(const std::string& title) {
  if (foreign_titles_.count(title)) return true;
  return std::any_of(windows.begin(), windows.end(),
                     [&](const auto& w) { return w.second.title == title; });
}

ChildWindow OffscreenPlatform::use_host_window(ForeignWindow window) {
  auto it = preview_parents_.find(window);
  if (it == preview_parents_.end()) return {};
  host_parent_ = window;
  screen_ = it->second;
  Window w;
  w.kind = WindowKind::Hosted;
  w.shown = true;
  w.frame = frame = Surface(screen_.width, screen_.height);
  w.outer = {0, 0, screen_.width, screen_.height};
  return {add_window(std::move(w)), screen_.width, screen_.height};
}

WindowId OffscreenPlatform::create_saver_window(const std::string& title) {
  Window w;
  w.kind = WindowKind::Saver;
  w.title = saver_title = title;
  w.frame = frame = Surface(screen_.width, screen_.height);
  w.outer = {screen_.left, screen_.top, screen_.width, screen_.height};
  return add_window(std::move(w));
}

ChildWindow OffscreenPlatform::create_preview_window(ForeignWindow parent) {
  auto it = preview_parents_.find(parent);
  if (it == preview_parents_.end()) return {};
  preview_parent = parent;
  Window w;
  w.kind = WindowKind::Preview;
  w.shown = true;
  w.frame = frame = Surface(it->second.width, it->second.height);
  w.outer = {0, 0, it->second.width, it->second.height};
  return {add_window(std::move(w)), it->second.width, it->second.height};
}

WindowId OffscreenPlatform::create_dialog_window(const DialogSpec& spec) {
  Window w;
  w.kind = WindowKind::Dialog;
  w.title = spec.title;
  w.spec = spec;
  w.spec.icon = nullptr;  // not kept beyond the call
  w.frame = Surface(spec.client_width, spec.client_height);
  w.outer = {spec.position.x, spec.position.y, spec.client_width + kFrameWidth,
             spec.client_height + kFrameHeight};
  return add_window(std::move(w));
}

void OffscreenPlatform::resize_dialog(WindowId window, int client_width, int client_height) {
  auto it = windows.find(window);
  if (it == windows.end()) return;
  it->second.spec.client_width = client_width;
  it->second.spec.client_height = client_height;
  it->second.frame = Surface(client_width, client_height);
  it->second.outer.width = client_width + kFrameWidth;
  it->second.outer.height = client_height + kFrameHeight;
}

void OffscreenPlatform::show_window(WindowId window) {
  auto it = windows.find(window);
  if (it != windows.end()) it->second.shown = true;
  update_flags();
}

void OffscreenPlatform::destroy_window(WindowId window) {
  windows.erase(window);
  update_flags();
}

std::optional<Rect> OffscreenPlatform::window_rect(WindowId window) {
  auto it = windows.find(window);
  if (it == windows.end()) return std::nullopt;
  return it->second.outer;
}

void OffscreenPlatform::present(WindowId window, const Surface& surface, const Rect& area) {
  auto it = windows.find(window);
  if (it == windows.end()) return;
  ++presents;
  Surface& to = it->second.frame;
  to.copy_from(surface, area.x, area.y, area.width, area.height, area.x, area.y);
  if (it->second.kind != WindowKind::Dialog) frame = to;
}

std::optional<Event> OffscreenPlatform::next_event(int timeout_ms) {
  if (on_poll) on_poll();
  // Before the clock moves on, the loads in flight end: they take no fake
  // time.
  // (Waiting without end, the next event is due only when it needs no time
  // to pass: else a load in flight would seem to take that time.)
  const bool event_due =
      !script_.empty() &&
      script_.front().at_us <= now_ + static_cast<int64_t>(std::max(timeout_ms, 0)) * 1000;
  if (!event_due && timeout_ms != 0 && wait_for_loads()) return std::nullopt;
  if (script_.empty()) {
    // Nothing will ever come: a wait without end would never return.
    if (timeout_ms > 0) now_ += static_cast<int64_t>(timeout_ms) * 1000;
    return std::nullopt;
  }
  ScriptedEvent& next = script_.front();
  if (timeout_ms >= 0) {
    const int64_t deadline = now_ + static_cast<int64_t>(timeout_ms) * 1000;
    if (next.at_us > deadline) {
      now_ = deadline;
      return std::nullopt;
    }
  }
  now_ = std::max(now_, next.at_us);
  Event e = std::move(next.event);
  script_.pop_front();
  if (e.window == 0) e.window = main_window();
  return e;
}

int OffscreenPlatform::show_cursor(bool show) {
  cursor_counter += show ? 1 : -1;
  return cursor_counter;
}

void OffscreenPlatform::set_pointer_shapes(
    WindowId window, const std::vector<std::pair<Rect, PointerShape>>& regions) {
  auto it = windows.find(window);
  if (it != windows.end()) it->second.pointer_shapes = regions;
}

void OffscreenPlatform::set_busy(bool on) {
  if (on != busy) ++busy_changes;
  busy = on;
}

std::unique_ptr<FolderChooser> OffscreenPlatform::choose_folder(WindowId owner,
                                                                const std::string& title,
                                                                const std::string& start) {
  folder_choices.push_back({owner, title, start});
  std::optional<std::string> answer;
  if (!folder_answers.empty()) {
    answer = folder_answers.front();
    folder_answers.pop_front();
  }
  return std::make_unique<AnsweredChooser>(std::move(answer));
}

bool OffscreenPlatform::verify_saver_password(WindowId) {
  password_checks.push_back(cursor_counter);
  if (password_answers.empty()) return true;
  const bool ok = password_answers.front();
  password_answers.pop_front();
  return ok;
}

bool OffscreenPlatform::open_url(const std::string& url) {
  opened_urls.push_back(url);
  return true;
}

void OffscreenPlatform::message_box(WindowId owner, const std::string& text,
                                    const std::string& title, MessageIcon icon) {
  message_boxes.push_back({text, title, icon, cursor_counter, owner});
}

}  // namespace vs
