// The next picture is loaded and fitted while the one before it is drawn:
// however long its load takes, the next drawing begins when the pause ends
// (or when the load does, should it take longer than drawing and pause).
#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <stop_token>
#include <thread>

#include "platform/background_load.h"
#include "saver/relief.h"
#include "saver/saver_fakes.h"
#include "saver/saver_screen.h"

namespace vs {
namespace {

using testing::FixedRandom;
using testing::PicturePlatform;
using testing::position_picture;

constexpr int64_t kMs = 1000;

Event key() {
  Event e;
  e.kind = Event::Kind::KeyDown;
  e.key = Key::Space;
  return e;
}

// Picture loads that take fake time: each ends once the fake clock has come
// load_ms past its start, and the clock goes no further until it has ended
// (its fit included). Loads of `deaf` paths ignore the clock and their stop
// and take deaf_ms of real time instead, as the system's decoders on
// Windows may.
class SlowLoadPlatform : public PicturePlatform {
 public:
  int load_ms = 0;
  std::set<std::string> deaf;
  int deaf_ms = 0;
  std::vector<int64_t> presents_at;
  std::vector<Surface> presented;  // the screen after each present

  struct EndedNow {
    int status;
  };
  [[noreturn]] void end_program_now(int status) override { throw EndedNow{status}; }

  std::unique_ptr<BackgroundLoad> start_picture_load(const std::string& path,
                                                     const PictureView& view) override {
    auto load = std::make_unique<BackgroundLoad>();
    if (deaf.count(path)) {
      load->start(
          [this, path, view](std::stop_token) {
            std::this_thread::sleep_for(std::chrono::milliseconds(deaf_ms));
            return load_picture(path, view);
          },
          [this] { wake(); });
      return load;
    }
    const int64_t due = now_us() + load_ms * kMs;
    {
      std::lock_guard lock(mutex_);
      pending_.insert(due);
    }
    load->start(
        [this, path, view, due](std::stop_token stop) {
          {
            std::unique_lock lock(mutex_);
            clock_moved_.wait(lock, stop, [&] { return released_until_ >= due; });
          }
          if (stop.stop_requested()) return PictureResult::failure("stopped");
          return load_picture(path, view, stop);
        },
        [this, due] {
          {
            std::lock_guard lock(mutex_);
            pending_.erase(pending_.find(due));
          }
          clock_moved_.notify_all();
          wake();
        });
    return load;
  }

  std::optional<Event> next_event(int timeout_ms) override {
    std::optional<int64_t> due;
    {
      std::lock_guard lock(mutex_);
      if (!pending_.empty()) due = *pending_.begin();
    }
    if (!due || (timeout_ms >= 0 && now_us() + timeout_ms * kMs <= *due)) {
      return PicturePlatform::next_event(timeout_ms);
    }
    // The clock stops at the first load's end, and that load ends.
    const int until_due = static_cast<int>((*due - now_us() + kMs - 1) / kMs);
    if (std::optional<Event> e = PicturePlatform::next_event(until_due)) return e;
    if (now_us() >= *due) {
      std::unique_lock lock(mutex_);
      released_until_ = now_us();
      clock_moved_.notify_all();
      clock_moved_.wait(lock, [&] { return pending_.empty() || *pending_.begin() > now_us(); });
    }
    return std::nullopt;
  }

  bool events_may_come() override {
    std::lock_guard lock(mutex_);
    return !pending_.empty() || PicturePlatform::events_may_come();
  }

  void present(WindowId window, const Surface& surface, const Rect& area) override {
    PicturePlatform::present(window, surface, area);
    presents_at.push_back(now_us());
    presented.push_back(frame);
  }

 private:
  std::mutex mutex_;
  std::condition_variable_any clock_moved_;
  std::multiset<int64_t> pending_;  // when the loads in flight end
  int64_t released_until_ = -1;
};

// A saver on the slow loads, pictures /p/1 ... /p/n at 160 x 120, drawn as
// fast as possible: each drawing is then one present.
struct SaverRun {
  explicit SaverRun(int pictures, int16_t picture_size = 0) {
    p.set_arguments({"/s"});
    p.set_env("VARNOSCAPE_PACE", "0");
    p.set_screen(160, 120);
    settings.picture_size = picture_size;
    catalogue.count = static_cast<int16_t>(pictures);
    for (int i = 1; i <= pictures; ++i) catalogue.files.push_back("/p/" + std::to_string(i));
    make_play_order(order, catalogue.count, settings.picture_order, rng);
  }
  void picture(int i, Surface pixels) { p.pictures["/p/" + std::to_string(i)] = std::move(pixels); }
  int run() {
    // As the start leaves it: the pointer hidden.
    const int32_t hidden = p.show_cursor(false);
    SaverScreen saver(p, settings, catalogue, order, rng, hidden);
    const int status = saver.run();
    shown = saver.slide_show();
    return status;
  }
  // The screens the saver should have shown, one per picture shown, from
  // the show stepped here picture by picture.
  std::vector<Surface> expected_screens(size_t n) {
    SlideShow show;
    show.screen_width = 160;
    show.screen_height = 120;
    show.play_order = order;
    FixedRandom same;
    std::vector<Surface> screens;
    for (size_t i = 0; i < n; ++i) {
      next_picture(
          show, settings, catalogue,
          [&](const std::string& path, const PictureView&) {
            auto it = p.pictures.find(path);
            return it == p.pictures.end() ? PictureResult::failure("none")
                                          : PictureResult::success(it->second);
          },
          same);
      Surface screen(160, 120);
      ReliefDrawing(show.fitted, screen, settings.drawing_method).draw_rows(show.fitted.height());
      screens.push_back(std::move(screen));
    }
    return screens;
  }

  SlowLoadPlatform p;
  Settings settings;
  Catalogue catalogue;
  PlayOrder order;
  FixedRandom rng;
  SlideShow shown;
};

bool same_pixels(const Surface& a, const Surface& b) {
  return a.width() == b.width() && a.height() == b.height() &&
         std::equal(a.data(), a.data() + size_t{1} * a.width() * a.height(), b.data());
}

// However long a load takes, the next drawing starts when the pause after
// the last one ends, or when the load ends if that is later (it started
// with the drawing before); and each shows the right picture, a failed load
// the previous one fitted again (full screen) or nothing (own size).
TEST(NextPicture, TheNextDrawingStartsWhenThePauseEnds) {
  struct Case {
    int load_ms;
    int16_t picture_size;
    int64_t gap_ms;  // from the end of one drawing to the start of the next
  };
  for (const Case& c : {Case{0, 0, 1000}, Case{400, 0, 1000}, Case{999, 1, 1000},
                        Case{2500, 1, 2500}, Case{2500, 0, 2500}}) {
    SaverRun r(4, c.picture_size);
    r.picture(1, position_picture(200, 90));
    r.picture(2, position_picture(50, 100));  // within the screen
    // 3 cannot be loaded
    r.picture(4, position_picture(100, 60));
    r.p.load_ms = c.load_ms;
    const int64_t first = c.load_ms * kMs;
    const int64_t key_at = first + 5 * c.gap_ms * kMs + 500 * kMs;
    r.p.script(key_at, key());
    EXPECT_EQ(r.run(), 0);
    EXPECT_EQ(r.p.now_us(), key_at) << "the key ends the saver at once";
    ASSERT_EQ(r.p.presents_at.size(), 6u) << c.load_ms;
    for (size_t i = 0; i < r.p.presents_at.size(); ++i) {
      EXPECT_EQ(r.p.presents_at[i], first + static_cast<int64_t>(i) * c.gap_ms * kMs)
          << "drawing " << i << ", loads of " << c.load_ms << " ms";
    }
    ASSERT_GE(r.p.asked.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(r.p.asked.begin(), r.p.asked.begin() + 6),
              (std::vector<std::string>{"/p/1", "/p/2", "/p/3", "/p/4", "/p/1", "/p/2"}))
        << "in the play order";
    const std::vector<Surface> want = r.expected_screens(6);
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_TRUE(same_pixels(r.p.presented[i], want[i]))
          << "drawing " << i << ", size setting " << c.picture_size;
    }
  }
}

// A screen that changes while a prepared picture waits has it loaded and
// fitted again for the new screen.
TEST(NextPicture, AChangedScreenHasThePreparedPictureLoadedAgain) {
  SaverRun r(2, 1);
  r.picture(1, position_picture(200, 90));
  r.picture(2, position_picture(50, 140));
  r.p.load_ms = 300;
  r.p.on_poll = [&] {
    if (r.p.now_us() >= 500 * kMs) r.p.set_screen(200, 100);
  };
  r.p.script(1800 * kMs, key());
  EXPECT_EQ(r.run(), 0);
  EXPECT_EQ(r.p.asked, (std::vector<std::string>{"/p/1", "/p/2", "/p/2"}));
  ASSERT_EQ(r.p.presents_at.size(), 2u);
  EXPECT_EQ(r.p.presents_at[1], r.p.presents_at[0] + 1300 * kMs) << "a second load";
  EXPECT_TRUE(same_pixels(r.shown.fitted,
                          [&] {
                            SlideShow show;
                            show.screen_width = 200;
                            show.screen_height = 100;
                            show.play_order = r.order;
                            FixedRandom same;
                            next_picture(
                                show, r.settings, r.catalogue,
                                [&](const std::string&, const PictureView&) {
                                  return PictureResult::success(r.p.pictures["/p/2"]);
                                },
                                same);
                            return show.fitted;
                          }()))
      << "fitted to the new screen";
}

// A key while the next picture loads ends the saver at once: a load that
// stops is stopped, one that does not is not waited for (the program ends
// around it).
TEST(NextPicture, AKeyDuringThePreparedLoadEndsAtOnce) {
  for (bool stops : {true, false}) {
    SaverRun r(2);
    r.picture(1, position_picture(40, 30));
    r.picture(2, position_picture(30, 40));
    if (stops) {
      r.p.load_ms = 5000;
    } else {
      r.p.deaf = {"/p/2"};
      r.p.deaf_ms = 500;
    }
    const int64_t key_at = (stops ? 5000 : 0) * kMs + 300 * kMs;
    r.p.script(key_at, key());
    bool ended_now = false;
    try {
      EXPECT_EQ(r.run(), 0);
    } catch (const SlowLoadPlatform::EndedNow& e) {
      ended_now = true;
      EXPECT_EQ(e.status, 0);
    }
    EXPECT_EQ(ended_now, !stops) << "a load that stops is ended, not the program";
    EXPECT_EQ(r.p.now_us(), key_at);
    EXPECT_EQ(r.p.presents_at.size(), 1u);
    EXPECT_EQ(r.p.cursor_counter, 0) << "the end procedure ran";
    EXPECT_FALSE(r.p.saver_window);
    if (stops) {
      EXPECT_EQ(r.p.asked, (std::vector<std::string>{"/p/1"})) << "the load was stopped";
    }
  }
}

// Work after a load runs on the load's thread before its result can be
// taken; given after the load has ended, it runs at once on the caller's;
// a stopped load skips it.
TEST(NextPicture, WorkAfterALoadRunsOnItsThread) {
  enum class When { BeforeTheEnd, AfterTheEnd, AfterAStop };
  for (When when : {When::BeforeTheEnd, When::AfterTheEnd, When::AfterAStop}) {
    std::promise<void> go;
    std::shared_future<void> released = go.get_future().share();
    BackgroundLoad load;
    load.start([released](std::stop_token stop) {
      while (!stop.stop_requested() &&
             released.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
      }
      return PictureResult::success(Surface(2, 2, 7));
    });
    if (when == When::AfterTheEnd) {
      go.set_value();
      ASSERT_TRUE(load.wait_for(10000));
    }
    std::thread::id ran_on;
    uint32_t seen = 0;
    load.then([&](const PictureResult& r) {
      ran_on = std::this_thread::get_id();
      seen = r.ok ? r.picture.at(1, 1) : 0;
    });
    if (when == When::AfterTheEnd) {
      EXPECT_EQ(ran_on, std::this_thread::get_id());
    } else if (when == When::BeforeTheEnd) {
      EXPECT_EQ(ran_on, std::thread::id()) << "not before the load has ended";
      go.set_value();
      ASSERT_TRUE(load.wait_for(10000));
      EXPECT_NE(ran_on, std::thread::id());
      EXPECT_NE(ran_on, std::this_thread::get_id());
    } else {
      load.stop();
      EXPECT_EQ(ran_on, std::thread::id());
      continue;
    }
    EXPECT_EQ(seen, 7u);
    EXPECT_TRUE(load.take().ok);
  }
}

}  // namespace
}  // namespace vs
