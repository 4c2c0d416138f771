#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "x11/x11_test_support.h"

namespace vs::testing {
namespace {

using Kind = Event::Kind;
using Clock = std::chrono::steady_clock;
using std::chrono::seconds;

// Write calls this process has made (a request to the X server is one).
long long writes_so_far() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = -1;
  while (io >> key >> value) {
    if (key == "syscw:") return value;
  }
  return -1;
}

class X11Events : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.running()) << server.error();
    ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
    p.show_window(p.window_id());
    drain();
  }
  void drain() {
    while (p.next_event(20)) {
    }
  }
  void xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    ASSERT_EQ(run(args, server.display()).status, 0);
  }
  // The next event of that kind, skipping others, within the time.
  std::optional<Event> next_of(Kind kind, std::chrono::milliseconds within = seconds(10)) {
    auto deadline = Clock::now() + within;
    while (Clock::now() < deadline) {
      auto e = p.next_event(50);
      if (e && e->kind == kind) return e;
    }
    return std::nullopt;
  }
  pid_t start_key(const std::string& key) {
    return start({"xdotool", "sleep", "0.2", "key", key}, server.display());
  }
  Xvfb& server = shared_server();
  X11Platform p{{}, options_for(server)};
};

TEST_F(X11Events, MovesClicksAndKeysArriveInWindowCoordinates) {
  // Xvfb may report a motion at the old place first; what counts is that
  // the new place arrives, in window coordinates.
  auto moved_to = [&](int x, int y) {
    for (auto e = next_of(Kind::MouseMove); e; e = next_of(Kind::MouseMove)) {
      if (e->x == x && e->y == y) return true;
    }
    return false;
  };
  xdotool({"mousemove", "100", "120"});
  EXPECT_TRUE(moved_to(100, 120));
  xdotool({"mousemove", "300", "200"});
  EXPECT_TRUE(moved_to(300, 200));

  for (const char* button : {"1", "2", "3"}) {
    xdotool({"click", button});
    auto e = next_of(Kind::MouseDown);
    ASSERT_TRUE(e) << "button " << button;
    EXPECT_EQ(e->x, 300);
    EXPECT_EQ(e->y, 200);
  }
  // The wheel is not a click: a step up, a step down.
  xdotool({"click", "4"});
  auto wheel = next_of(Kind::Wheel);
  ASSERT_TRUE(wheel);
  EXPECT_EQ(wheel->y, -1);
  xdotool({"click", "5"});
  wheel = next_of(Kind::Wheel);
  ASSERT_TRUE(wheel);
  EXPECT_EQ(wheel->y, 1);
  EXPECT_FALSE(next_of(Kind::MouseDown, std::chrono::milliseconds(300)));

  // The next key of that kind that is not a modifier alone.
  auto next_key = [&](Kind kind, std::chrono::milliseconds within = seconds(10)) {
    for (auto e = next_of(kind, within); e; e = next_of(kind, within)) {
      if (e->key != Key::Other) return e;
    }
    return std::optional<Event>();
  };
  struct Pressed {
    const char* name;
    Key key;
    bool shift;
  };
  for (const Pressed& k :
       {Pressed{"Return", Key::Enter, false}, Pressed{"shift+Tab", Key::Tab, true},
        Pressed{"Next", Key::PageDown, false}}) {
    xdotool({"key", k.name});
    auto down = next_key(Kind::KeyDown);
    ASSERT_TRUE(down) << k.name;
    EXPECT_EQ(down->key, k.key) << k.name;
    EXPECT_EQ(down->shift, k.shift) << k.name;
    // One press, one key down; its release comes as a key up.
    auto up = next_key(Kind::KeyUp);
    ASSERT_TRUE(up) << k.name;
    EXPECT_EQ(up->key, k.key) << k.name;
    EXPECT_FALSE(next_key(Kind::KeyDown, std::chrono::milliseconds(200))) << k.name;
  }
}

TEST(X11EventsOnShow, NoMovementIsReportedUntilThePointerMoves) {
  Xvfb& server = shared_server();
  ASSERT_TRUE(server.running()) << server.error();
  ASSERT_EQ(run({"xdotool", "mousemove", "50", "60"}, server.display()).status, 0);
  X11Platform p({}, options_for(server));
  ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
  p.show_window(p.window_id());
  EXPECT_FALSE(p.next_event(100));
  ASSERT_EQ(run({"xdotool", "mousemove", "70", "60"}, server.display()).status, 0);
  bool moved = false;
  for (auto e = p.next_event(2000); e && !moved; e = p.next_event(2000)) {
    EXPECT_EQ(e->kind, Kind::MouseMove);
    moved = e->x == 70 && e->y == 60;
  }
  EXPECT_TRUE(moved);
}

// The upper bounds only tell "woke" from "slept the whole timeout": they
// stay far from both ends so that a loaded machine cannot tip them.
TEST_F(X11Events, WaitsUpToTheTimeoutAndWakesForInput) {
  auto start = Clock::now();
  EXPECT_FALSE(p.next_event(80));
  auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(79));
  EXPECT_LT(waited, seconds(5));

  pid_t child = start_key("a");
  start = Clock::now();
  auto e = p.next_event(30000);
  waited = Clock::now() - start;
  finish(child);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->kind, Kind::KeyDown);
  EXPECT_LT(waited, seconds(15));
}

TEST_F(X11Events, InputThatArrivedBeforeTheCallIsReportedWithoutWaiting) {
  xdotool({"key", "a"});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  auto start = Clock::now();
  auto e = p.next_event(30000);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->kind, Kind::KeyDown);
  EXPECT_LT(Clock::now() - start, seconds(15));
}

TEST_F(X11Events, InputReadWhilePresentingIsReportedAtOnce) {
  Surface frame = noise_surface(640, 480, 11);
  xdotool({"key", "a"});
  // Presenting waits for the server, which reads the key event off the
  // connection along the way: it must still count as pending.
  present_rows(p, frame, 0, 480);
  present_rows(p, frame, 0, 480);
  present_rows(p, frame, 0, 1);
  auto e = p.next_event(0);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->kind, Kind::KeyDown);
}

// A poll with nothing pending is one or two non-blocking reads and sends
// the server nothing: a round trip per call would make the loop's polling
// cost a hundred microseconds or more. Counted in requests written, not in
// time, so that a busy machine cannot tip it.
TEST_F(X11Events, PollingWithNothingPendingSendsTheServerNothing) {
  Peer peer(server.display());
  ASSERT_TRUE(peer.ok());
  // The count must see a round trip at all, or the check below means nothing.
  long long before = writes_so_far();
  ASSERT_GE(before, 0) << "no /proc/self/io";
  for (int i = 0; i < 100; ++i) peer.sync();
  ASSERT_GE(writes_so_far() - before, 100) << "round trips do not show as writes";

  before = writes_so_far();
  for (int i = 0; i < 10000; ++i) p.next_event(0);
  EXPECT_LT(writes_so_far() - before, 10) << "10000 polls wrote to the server";
}

TEST(X11EventsWithoutWindow, InputIsNotReportedWithoutOurWindow) {
  Xvfb& server = shared_server();
  ASSERT_TRUE(server.running()) << server.error();
  X11Platform p({}, options_for(server));
  run({"xdotool", "mousemove", "10", "10", "click", "1", "key", "a"}, server.display());
  EXPECT_FALSE(p.next_event(100));
}

}  // namespace
}  // namespace vs::testing
