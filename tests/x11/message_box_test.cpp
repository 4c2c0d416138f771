#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "x11/x11_test_support.h"

namespace vs::testing {
namespace {

const std::string kText = "画像ﾌｧｲﾙを指定して下さい ！";
const std::string kTitle = "Varnoscape (Saver Screen)";

class X11MessageBox : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.running()) << server.error(); }

  // Shows the box on this thread while driver acts from another one, with
  // its own connection, once the box is up and has the keyboard.
  void show_box(X11Platform& p, const std::function<void(Peer&, uint64_t box)>& driver,
                WindowId owner = 0) {
    Watchdog watchdog(server, std::chrono::seconds(8), "the message box");
    std::thread helper([&] {
      Peer peer(server.display());
      uint64_t box = 0;
      bool up = wait_until([&] {
        box = peer.find_by_net_name(kTitle);
        auto g = box ? peer.geometry(box) : std::nullopt;
        return g && g->mapped && peer.focus() == box;
      });
      if (up) {
        driver(peer, box);
      } else {
        ADD_FAILURE() << "the box did not come up with the focus";
        // Closed by a sent key, which needs no focus, so the run goes on.
        if (box)
          run({"xdotool", "key", "--window", std::to_string(box), "Escape"}, server.display());
      }
    });
    p.message_box(owner, kText, kTitle, MessageIcon::Warning);
    helper.join();
    Peer peer(server.display());
    EXPECT_EQ(peer.find_by_net_name(kTitle), 0u) << "the box is still there";
  }
  // The box's pixels once they show its warning triangle (nothing if they
  // never do): it is painted when the server exposes it, which may come a
  // moment after it has the focus.
  static std::optional<Surface> drawn_box(Peer& peer, uint64_t box, const Peer::Geometry& g) {
    std::optional<Surface> pixels;
    bool drawn = wait_until([&] {
      pixels = peer.read_pixels(box, 0, 0, g.width, g.height);
      int yellow = 0;
      for (int y = 0; pixels && y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) yellow += pixels->at(x, y) == pixel_rgb(255, 204, 0);
      }
      return yellow > 100;
    });
    return drawn ? pixels : std::nullopt;
  }
  void xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    EXPECT_EQ(run(args, server.display()).status, 0);
  }

  Xvfb& server = shared_server();
};

TEST_F(X11MessageBox, ReturnEscapeAndSpaceCloseIt) {
  X11Platform p({}, options_for(server));
  for (const char* key : {"Return", "Escape", "space", "KP_Enter"}) {
    SCOPED_TRACE(key);
    show_box(p, [&](Peer&, uint64_t) { xdotool({"key", key}); });
  }
}

TEST_F(X11MessageBox, ClosesWhenTheKeyComesUpSoAKeySentToItCompletes) {
  X11Platform p({}, options_for(server));
  show_box(p, [&](Peer&, uint64_t box) {
    // Press and release both reach the box: the release finds it still there.
    xdotool({"key", "--window", std::to_string(box), "Return"});
  });
}

TEST_F(X11MessageBox, AKeyPressedBeforeTheBoxCameDoesNotCloseIt) {
  X11Platform p({}, options_for(server));
  xdotool({"keydown", "Return"});
  std::atomic<bool> closed_by_release = false;
  show_box(p, [&](Peer& peer, uint64_t) {
    xdotool({"keyup", "Return"});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    closed_by_release = peer.find_by_net_name(kTitle) == 0;
    xdotool({"key", "Escape"});
  });
  EXPECT_FALSE(closed_by_release);
}

TEST_F(X11MessageBox, IsACentredTitledBoxWithIconTextAndAnOkButtonThatAClickCloses) {
  X11Platform p({}, options_for(server));
  std::atomic<bool> closed_early = false;
  show_box(p, [&](Peer& peer, uint64_t box) {
    auto g = peer.geometry(box);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->x, (640 - g->width) / 2);
    EXPECT_EQ(g->y, (480 - g->height) / 2);
    EXPECT_EQ(peer.wm_name(box), kTitle);
    auto pixels = drawn_box(peer, box, *g);
    ASSERT_TRUE(pixels);
    int yellow = 0, dark_right_of_icon = 0;
    int left = g->width, top = g->height, right = -1, bottom = -1;  // the button's frame
    for (int y = 0; y < g->height; ++y) {
      for (int x = 0; x < g->width; ++x) {
        uint32_t v = pixels->at(x, y);
        if (v == pixel_rgb(255, 204, 0)) ++yellow;
        int r = (v >> 16) & 255, gr = (v >> 8) & 255, b = v & 255;
        if (x > 64 && r + gr + b < 200 && y < g->height - 44) ++dark_right_of_icon;
        if (v == pixel_rgb(0, 120, 215)) {
          left = std::min(left, x), top = std::min(top, y);
          right = std::max(right, x), bottom = std::max(bottom, y);
        }
      }
    }
    EXPECT_GT(yellow, 100);              // the warning triangle
    EXPECT_GT(dark_right_of_icon, 200);  // the text
    ASSERT_GT(right - left, 40);         // the button
    ASSERT_GT(bottom - top, 15);
    EXPECT_GT(top, g->height / 2);

    // A click beside the button does nothing.
    xdotool({"mousemove", std::to_string(g->x + left - 20), std::to_string(g->y + top + 5), "click",
             "1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    closed_early = peer.find_by_net_name(kTitle) == 0;
    xdotool({"mousemove", std::to_string(g->x + (left + right) / 2),
             std::to_string(g->y + (top + bottom) / 2), "click", "1"});
  });
  EXPECT_FALSE(closed_early);
}

// A box owned by the saver screen comes above it, unmanaged as the saver
// screen is, and gets the input the saver holds; afterwards the saver takes
// it back.
TEST_F(X11MessageBox, OverTheSaverScreenItGetsTheInputWhichTheSaverTakesBack) {
  X11Platform p({}, options_for(server));
  ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
  p.show_window(p.window_id());
  while (p.next_event(20)) {
  }
  show_box(
      p,
      [&](Peer& peer, uint64_t box) {
        auto g = peer.geometry(box);
        ASSERT_TRUE(g);
        EXPECT_TRUE(g->override_redirect);
        EXPECT_EQ(peer.children(peer.root()).back(), box);
        xdotool({"key", "Return"});
      },
      p.window_id());
  Peer peer(server.display());
  EXPECT_FALSE(peer.keyboard_free());  // the saver screen took it back
}

// A desktop without any font that has the message's characters.
class WithoutFonts : public X11Platform {
 public:
  using X11Platform::X11Platform;
  std::unique_ptr<Font> open_font(const std::vector<std::string>&, double,
                                  const std::string&) override {
    return nullptr;
  }
};

TEST_F(X11MessageBox, WithoutAFontTheBoxStillShowsAndTheTextGoesToStderr) {
  WithoutFonts p({}, options_for(server));
  ::testing::internal::CaptureStderr();
  show_box(p, [&](Peer& peer, uint64_t box) {
    auto g = peer.geometry(box);
    ASSERT_TRUE(g);
    EXPECT_TRUE(drawn_box(peer, box, *g));
    xdotool({"key", "Escape"});
  });
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "varnoscape: " + kTitle + ": " + kText + "\n");
}

}  // namespace
}  // namespace vs::testing
