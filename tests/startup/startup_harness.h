// A whole program run on the offscreen backend: a temporary picture folder,
// a settings file pointing at it, pictures prepared in memory, and a record
// of what the program did over (fake) time.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/offscreen/offscreen_platform.h"
#include "saver/saver_screen.h"
#include "settings/settings.h"
#include "startup/startup.h"
#include "support/loaded.h"
#include "support/temp_folder.h"

namespace vs::testing {

class RunPlatform : public OffscreenPlatform {
 public:
  std::map<std::string, Surface> pictures;
  std::vector<int64_t> pauses_at;  // fake time at each one-second pause
  int lowest_cursor = 0;
  // Real time each load takes without looking at its stop, as the system's
  // decoders on Windows do.
  int load_ms = 0;
  std::atomic<int> loads_ended{0};
  int folders_listed = 0;
  int folders_listed_at_first_load = -1;

  // The program's immediate end, which a test catches.
  struct EndedNow {
    int status;
    int loads_ended;  // loads that had ended when the program did
  };
  [[noreturn]] void end_program_now(int status) override { throw EndedNow{status, loads_ended}; }

  PictureResult picture_for(const std::string& path, const PictureView&, std::stop_token) override {
    if (load_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(load_ms));
    ++loads_ended;
    if (loads.empty()) folders_listed_at_first_load = folders_listed;
    loads.push_back(path);
    auto it = pictures.find(path);
    if (it == pictures.end()) return PictureResult::failure("cannot be read");
    return PictureResult::success(it->second);
  }
  // The pause after a drawing is the one wait for input of a whole second
  // (a wait the loop takes up again after a wake counts once).
  std::optional<Event> next_event(int timeout_ms) override {
    if (timeout_ms == kPauseMs && (pauses_at.empty() || pauses_at.back() != now_us())) {
      pauses_at.push_back(now_us());
    }
    return OffscreenPlatform::next_event(timeout_ms);
  }
  std::optional<std::vector<FolderEntry>> list_folder(const std::string& folder) override {
    ++folders_listed;
    return OffscreenPlatform::list_folder(folder);
  }
  int show_cursor(bool show) override {
    int c = OffscreenPlatform::show_cursor(show);
    lowest_cursor = std::min(lowest_cursor, c);
    return c;
  }
};

class ProgramRun {
 public:
  ProgramRun() {
    pics_ = dir_ / "pics";
    std::filesystem::create_directory(TempFolder::from_utf8(pics_));
    p.set_env("VARNOSCAPE_INI", dir_ / "Varnoscape.ini");
    p.set_env("VARNOSCAPE_PACE", std::nullopt);
    p.set_screen(160, 120);
  }

  const std::string& folder() const { return pics_; }
  std::string pics_path(const std::string& name) const {
    return pics_ + p.path_style().separator + name;
  }

  // A picture file in the folder whose pixels are `pixels`.
  std::string add_picture(const std::string& name, Surface pixels) {
    std::string path = pics_path(name);
    std::ofstream(TempFolder::from_utf8(path)) << "picture";
    p.pictures[path] = std::move(pixels);
    return path;
  }

  void settings(int16_t size = 0, int16_t way = 0, int16_t change = 0, int16_t subfolders = 0) {
    Loaded m;
    m.settings.subfolders = subfolders;
    m.settings.picture_size = size;
    m.settings.drawing_method = way;
    m.settings.picture_order = change;
    m.settings.kinds = testing::first_kinds({1, 1, 1, 1});
    save_settings(p, m.settings, pics_);
  }

  int run(std::vector<std::string> args) {
    p.set_arguments(std::move(args));
    return run_program(p);
  }

  RunPlatform p;

 private:
  TempFolder dir_{"vs-run"};
  std::string pics_;
};

// Events for the saver's (or the preview's) window.
inline Event event(Event::Kind kind, int x = 0, int y = 0) {
  Event e;
  e.kind = kind;
  e.x = x;
  e.y = y;
  return e;
}
inline Event key() {
  Event e = event(Event::Kind::KeyDown);
  e.key = Key::Space;
  return e;
}
inline Event click(int x = 5, int y = 5) {
  Event e = event(Event::Kind::MouseDown, x, y);
  e.button = MouseButton::Left;
  return e;
}
inline Event move(int x, int y) {
  return event(Event::Kind::MouseMove, x, y);
}
constexpr int64_t kSecond = 1000000;

}  // namespace vs::testing
