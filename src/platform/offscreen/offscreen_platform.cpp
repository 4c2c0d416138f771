#include "platform/offscreen/offscreen_platform.h"

#include <algorithm>

namespace vs {

OffscreenPlatform::OffscreenPlatform(std::vector<std::string> args)
    : PosixPlatform(std::move(args)) {}

void OffscreenPlatform::set_env(const std::string& name, std::optional<std::string> value) {
  env_[name] = std::move(value);
}

std::optional<std::string> OffscreenPlatform::environment(const std::string& name) const {
  auto it = env_.find(name);
  if (it != env_.end()) return it->second;
  return PosixPlatform::environment(name);
}

std::string OffscreenPlatform::program_folder() const {
  return program_folder_ ? *program_folder_ : PosixPlatform::program_folder();
}

std::string OffscreenPlatform::user_config_folder() const {
  return user_config_folder_ ? *user_config_folder_ : PosixPlatform::user_config_folder();
}

PictureResult OffscreenPlatform::load_picture(const std::string& path, const PictureView& view,
                                              std::stop_token stop) {
  loads.push_back(path);
  if (failing_pictures.count(path)) return PictureResult::failure(path + ": made to fail");
  return PosixPlatform::load_picture(path, view, stop);
}

bool OffscreenPlatform::claim_single_copy() {
  claimed = !other_copy;
  return claimed;
}

std::optional<ScreenInfo> OffscreenPlatform::use_host_window(ForeignWindow window) {
  auto it = preview_parents_.find(window);
  if (it == preview_parents_.end()) return std::nullopt;
  hosted = true;
  screen_ = it->second;
  frame = Surface(screen_.width, screen_.height);
  return screen_;
}

void OffscreenPlatform::sleep_ms(int ms) {
  if (ms > 0) {
    now_ += static_cast<int64_t>(ms) * 1000;
    slept_ms += ms;
  }
}

void OffscreenPlatform::add_preview_parent(ForeignWindow id, int width, int height) {
  preview_parents_[id] =
      ScreenInfo{width, height, screen_.twips_per_pixel_x, screen_.twips_per_pixel_y};
}

void OffscreenPlatform::destroy_preview_parent(ForeignWindow id) {
  preview_parents_.erase(id);
  if (preview_window && preview_parent == id) {
    preview_window = false;
    script_.push_front({now_, Event{Event::Kind::WindowGone, 0, 0}});
  }
}

bool OffscreenPlatform::window_exists(const std::string& title) {
  if (foreign_titles_.count(title)) return true;
  return saver_window && saver_title == title;
}

bool OffscreenPlatform::create_saver_window(const std::string& title) {
  saver_window = true;
  saver_shown = false;
  saver_title = title;
  frame = Surface(screen_.width, screen_.height);
  return true;
}

std::optional<ScreenInfo> OffscreenPlatform::create_preview_window(ForeignWindow parent) {
  auto it = preview_parents_.find(parent);
  if (it == preview_parents_.end()) return std::nullopt;
  preview_window = true;
  preview_parent = parent;
  frame = Surface(it->second.width, it->second.height);
  return it->second;
}

void OffscreenPlatform::destroy_window() {
  saver_window = false;
  saver_shown = false;
  preview_window = false;
}

void OffscreenPlatform::present(const Surface& surface, int top, int bottom) {
  ++presents;
  top = std::max(top, 0);
  bottom = std::min({bottom, surface.height(), frame.height()});
  for (int y = top; y < bottom; ++y) {
    int w = std::min(surface.width(), frame.width());
    std::copy(surface.row(y), surface.row(y) + w, frame.row(y));
  }
}

std::optional<Event> OffscreenPlatform::next_event(int timeout_ms) {
  if (on_poll) on_poll();
  if (script_.empty()) {
    if (timeout_ms > 0) now_ += static_cast<int64_t>(timeout_ms) * 1000;
    return std::nullopt;
  }
  ScriptedEvent& next = script_.front();
  int64_t deadline = now_ + static_cast<int64_t>(std::max(timeout_ms, 0)) * 1000;
  if (next.at_us > deadline) {
    now_ = deadline;
    return std::nullopt;
  }
  now_ = std::max(now_, next.at_us);
  Event e = next.event;
  script_.pop_front();
  return e;
}

int OffscreenPlatform::show_cursor(bool show) {
  cursor_counter += show ? 1 : -1;
  return cursor_counter;
}

void OffscreenPlatform::message_box(const std::string& text, const std::string& title,
                                    MessageIcon icon) {
  message_boxes.push_back({text, title, icon, cursor_counter});
}

}  // namespace vs
