#include "saver/render_tool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "saver/saver_fakes.h"

namespace vs {
namespace {

using Action = RenderArgs::Action;

class RenderToolTest : public ::testing::Test {
 protected:
  int run(std::vector<std::string> args) {
    out.str(""), err.str("");
    return run_render_tool(
        args,
        [this](const std::string& path, const PictureView&) {
          loaded.push_back(path);
          auto it = pictures.find(path);
          if (it == pictures.end()) return PictureResult::failure(path + ": file not found");
          return PictureResult::success(it->second);
        },
        [this](const Surface& s, const std::string& path) {
          if (path == "/full/disk.png") return WriteResult{false, "No space left on device"};
          written[path] = s;
          return WriteResult{true, {}};
        },
        out, err);
  }
  std::map<std::string, Surface> pictures;
  std::map<std::string, Surface> written;
  std::vector<std::string> loaded;
  std::ostringstream out, err;
};

TEST(RenderArgs, DefaultsAreTheSaversOwn) {
  RenderArgs a = parse_render_args({"in.bmp", "out.png"});
  ASSERT_EQ(a.action, Action::Render);
  EXPECT_EQ(a.options.screen_width, 1024);
  EXPECT_EQ(a.options.screen_height, 768);
  EXPECT_EQ(a.options.size, 0);
  EXPECT_EQ(a.options.way, 0);
  EXPECT_FALSE(a.options.master_only);
  EXPECT_EQ(a.options.picture, "in.bmp");
  EXPECT_EQ(a.options.output, "out.png");
}

TEST(RenderArgs, OptionsInEitherFormAndPlace) {
  RenderArgs a = parse_render_args({"--screen", "1920x1080", "in.jpg", "--size=full", "--way",
                                    "lines", "out.png", "--stage=master"});
  ASSERT_EQ(a.action, Action::Render) << a.error;
  EXPECT_EQ(a.options.screen_width, 1920);
  EXPECT_EQ(a.options.screen_height, 1080);
  EXPECT_EQ(a.options.size, 1);
  EXPECT_EQ(a.options.way, 1);
  EXPECT_TRUE(a.options.master_only);
  RenderArgs b = parse_render_args({"--", "-odd name.gif", "out.png"});
  ASSERT_EQ(b.action, Action::Render);
  EXPECT_EQ(b.options.picture, "-odd name.gif");
  EXPECT_EQ(parse_render_args({"x", "--help", "--bogus"}).action, Action::Help);
}

TEST(RenderArgs, WrongArgumentsSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  for (const Case& c : std::vector<Case>{
           {{}, "PICTURE"},
           {{"in.bmp"}, "OUT.png"},
           {{"a", "b", "c"}, "'c'"},
           {{"--colour", "red", "a", "b"}, "'--colour'"},
           {{"a", "b", "--way"}, "--way needs a value"},
           {{"--way", "dot", "a", "b"}, "'dot'"},
           {{"--size", "big", "a", "b"}, "'big'"},
           {{"--stage", "final", "a", "b"}, "'final'"},
           {{"--screen", "1920", "a", "b"}, "1920x1080"},
           {{"--screen", "1920x", "a", "b"}, "1920x1080"},
           {{"--screen", "-5x10", "a", "b"}, "from 1 to"},
           {{"--screen", "0x10", "a", "b"}, "from 1 to"},
           {{"--screen", "99999999999x2", "a", "b"}, "1920x1080"},
           {{"--screen", "16384x16384", "a", "b"}, "too many pixels"},
       }) {
    RenderArgs a = parse_render_args(c.args);
    EXPECT_EQ(a.action, Action::Usage) << c.says;
    EXPECT_NE(a.error.find(c.says), std::string::npos) << a.error;
  }
}

TEST_F(RenderToolTest, HelpGoesToStandardOutput) {
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_NE(out.str().find("Usage: varnoscape-render"), std::string::npos);
  EXPECT_NE(out.str().find("Example:"), std::string::npos);
  EXPECT_TRUE(err.str().empty());
}

TEST_F(RenderToolTest, BadArgumentsGiveUsageAndStatus64) {
  EXPECT_EQ(run({"--way", "dashes", "a.bmp", "b.png"}), 64);
  EXPECT_EQ(err.str().rfind("varnoscape-render: --way must be", 0), 0u) << err.str();
  EXPECT_NE(err.str().find("Usage:"), std::string::npos);
  EXPECT_TRUE(loaded.empty());
  EXPECT_TRUE(written.empty());
}

TEST_F(RenderToolTest, UnreadablePictureIsOneLineAndStatus2) {
  EXPECT_EQ(run({"/pics/missing.bmp", "out.png"}), 2);
  EXPECT_EQ(err.str(), "varnoscape-render: /pics/missing.bmp: file not found\n");
  EXPECT_TRUE(written.empty());
  pictures["/pics/empty.bmp"] = Surface();
  EXPECT_EQ(run({"/pics/empty.bmp", "out.png"}), 2);
  EXPECT_EQ(err.str(), "varnoscape-render: /pics/empty.bmp: the picture has no pixels\n");
}

TEST_F(RenderToolTest, UnwritableOutputIsStatus1) {
  pictures["a.bmp"] = Surface(10, 10, 0xFFFFFF);
  EXPECT_EQ(run({"a.bmp", "/full/disk.png"}), 1);
  EXPECT_EQ(err.str(),
            "varnoscape-render: /full/disk.png: cannot be written (No space left on device)\n");
}

TEST_F(RenderToolTest, ReliefIsTheScreenAndMasterTheFittedPicture) {
  pictures["a.bmp"] = Surface(300, 200, pixel_rgb(255, 0, 0));
  ASSERT_EQ(run({"--screen", "640x480", "a.bmp", "relief.png"}), 0) << err.str();
  ASSERT_EQ(run({"--screen", "640x480", "--stage", "master", "a.bmp", "own.png"}), 0);
  ASSERT_EQ(run({"--screen=640x480", "--stage=master", "--size=full", "a.bmp", "full.png"}), 0);
  EXPECT_EQ(loaded, (std::vector<std::string>(3, "a.bmp"))) << "read once per run";
  const Surface& relief = written["relief.png"];
  ASSERT_EQ(relief.width(), 640);
  ASSERT_EQ(relief.height(), 480);
  // Red is lifted by 24 from the centred place (170, 140).
  EXPECT_EQ(relief.at(170, 116), pixel_rgb(255, 0, 0));
  EXPECT_EQ(relief.at(469, 315), pixel_rgb(255, 0, 0));
  EXPECT_EQ(relief.at(170, 316), 0u);
  EXPECT_EQ(written["own.png"].width(), 300);
  EXPECT_EQ(written["own.png"].height(), 200);
  const Surface& full = written["full.png"];
  ASSERT_EQ(full.width(), 640);
  ASSERT_EQ(full.height(), 480);
  // 300 x 200 fills the width: 426.7 rows at row 53 \ 2 = 26.
  EXPECT_EQ(full.at(0, 25), 0u);
  EXPECT_EQ(full.at(0, 26), pixel_rgb(255, 0, 0));
  EXPECT_EQ(full.at(639, 452), pixel_rgb(255, 0, 0));
  EXPECT_EQ(full.at(639, 453), 0u);
}

TEST_F(RenderToolTest, LinesDrawConnectedRows) {
  Surface pic(20, 1);
  for (int x = 0; x < 20; ++x) pic.set_pixel(x, 0, x % 2 ? 0xFFFFFF : pixel_rgb(255, 0, 0));
  pictures["zigzag.gif"] = pic;
  ASSERT_EQ(run({"--screen", "40x101", "zigzag.gif", "dots.png"}), 0);
  ASSERT_EQ(run({"--screen", "40x101", "--way", "lines", "zigzag.gif", "lines.png"}), 0);
  auto count = [](const Surface& s) {
    int n = 0;
    for (int y = 0; y < s.height(); ++y) {
      for (int x = 0; x < s.width(); ++x) n += s.at(x, y) != 0;
    }
    return n;
  };
  EXPECT_EQ(count(written["dots.png"]), 20);
  EXPECT_GT(count(written["lines.png"]), 20 * 10);  // each joint spans 24 rows
}

}  // namespace
}  // namespace vs
