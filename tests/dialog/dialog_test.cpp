// The settings dialog on the offscreen backend: its state after loading, its
// handlers, and a whole session driven by scripted clicks.
#include "dialog/varnoscape_p.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../../tools/bmp_writer.h"
#include "platform/offscreen/offscreen_platform.h"
#include "settings/settings.h"
#include "startup/startup.h"
#include "support/temp_folder.h"

namespace vs {
namespace {

namespace fs = std::filesystem;

// Where controls sit in the window (their panel's place plus their own).
constexpr Point kRandomLabel{336 + 124 + 10, 12 + 40 + 5};
constexpr Point kFullScreenLabel{336 + 124 + 10, 12 + 100 + 5};
constexpr Point kLinesLabel{336 + 124 + 10, 12 + 160 + 5};
constexpr Point kSelectedMark[2] = {{336 + 24 + 6, 12 + 40 + 6}, {336 + 108 + 6, 12 + 40 + 6}};
constexpr Point kGifCheck{12 + 208 + 6, 12 + 188 + 16 + 6};
constexpr Point kSaveButton{336 + 50, 320 + 10};
constexpr Point kCancelButton{440 + 48, 320 + 10};

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool reddish(uint32_t p) {
  const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return r > g + 80 && r > b + 80;
}
bool bluish(uint32_t p) {
  const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return b > r + 60 && b > g + 30;
}

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() {
    p.set_env("VARNOSCAPE_INI", ini);
    fs::create_directory(pics);
  }
  // A picture file of the given size.
  std::string picture(const std::string& name, int w, int h) {
    samples::BmpSpec spec;
    spec.width = w, spec.height = h;
    spec.data = samples::encode_rows(w, h, 24, false, [](int x, int y) {
      return static_cast<uint32_t>(pixel_rgb(x % 256, y % 256, 128));
    });
    const std::string path = pics + "/" + name;
    std::ofstream(path, std::ios::binary) << samples::write_bmp(spec);
    return path;
  }
  // The settings as the program loads them, the dialog loaded over them.
  Varnoscape_P& load(int16_t change = 0, int16_t size = 0, int16_t way = 0,
                     std::array<int16_t, 4> kinds = {1, 1, 1, 1}, std::string folder = "") {
    Varnoscape_B seed;
    seed.Set_Change = change, seed.Set_Size = size, seed.Set_Way = way, seed.Set_Kind = kinds;
    Save_Settings(seed, p, folder.empty() ? pics : folder);
    Load_Settings(m, p);
    // Hand-edited values beyond 0 and 1 reach the record as they are.
    m.Set_Change = change, m.Set_Size = size, m.Set_Way = way, m.Set_Kind = kinds;
    dialog = std::make_unique<Varnoscape_P>(m, p);
    dialog->Form_Load();
    return *dialog;
  }
  uint32_t pixel(Point at) {
    dialog->form()->paint_now();
    return dialog->form()->pixels().at(at.x, at.y);
  }
  static Event mouse(Event::Kind kind, Point at, MouseButton b = MouseButton::Left) {
    Event e;
    e.kind = kind;
    e.x = at.x, e.y = at.y;
    e.button = b;
    return e;
  }
  // A click at a point of the dialog, from the script.
  void click(int64_t at_us, Point at) {
    p.script(at_us, mouse(Event::Kind::MouseDown, at));
    p.script(at_us + 1000, mouse(Event::Kind::MouseUp, at));
  }
  forms::MouseArgs button(MouseButton b) { return forms::MouseArgs{b, false, 1, 1}; }

  testing::TempFolder dir;
  std::string ini = dir / "Varnoscape.ini";
  std::string pics = dir / "pics";
  OffscreenPlatform p;
  Varnoscape_B m;
  std::unique_ptr<Varnoscape_P> dialog;
};

// The window, its place, the marks, the list and the labels after loading.
TEST_F(DialogTest, LoadingShowsTheSettingsAndTheCatalogue) {
  picture("b_Second.bmp", 4, 4);
  picture("a_first.bmp", 4, 4);
  picture("C_third.bmp", 4, 4);
  Varnoscape_P& d = load(1, 0, 1, {1, 0, 1, 0});
  const WindowId w = p.window_of(OffscreenPlatform::WindowKind::Dialog);
  ASSERT_NE(w, 0u);
  const auto& window = p.windows.at(w);
  EXPECT_EQ(window.title, "Varnoscapeの設定");
  EXPECT_EQ(window.spec.client_width, 549);
  EXPECT_EQ(window.spec.client_height, 385);
  // 555 x 410 outside, centred on the 1024 x 768 screen.
  EXPECT_EQ(window.spec.position, (Point{234, 179}));
  EXPECT_EQ(d.horizontal_extent(), 311);
  // "ﾗﾝﾀﾞﾑ" selected, "ｼｰｹﾝｼｬﾙ" not; the kinds as set.
  EXPECT_TRUE(reddish(pixel(kSelectedMark[1])));
  EXPECT_FALSE(reddish(pixel(kSelectedMark[0])));
  EXPECT_TRUE(bluish(pixel({12 + 208 + 6, 12 + 188 + 6})));  // *.bmp
  EXPECT_FALSE(bluish(pixel(kGifCheck)));                    // *.gif
  // Sorted without regard to case; the count beside it; the folder below.
  ASSERT_EQ(d.list().count(), 3);
  EXPECT_EQ(d.list().entry(0), "a_first.bmp");
  EXPECT_EQ(d.list().entry(1), "b_Second.bmp");
  EXPECT_EQ(d.list().entry(2), "C_third.bmp");
  EXPECT_EQ(d.count_label(), "3");
  EXPECT_EQ(d.folder_label(), pics);
  EXPECT_EQ(d.size_label(), "");
  // The opening grows from where the pointer was.
  ASSERT_FALSE(p.animations.empty());
  EXPECT_EQ(p.animations.front().first, (Rect{0, 0, 0, 0}));
}

TEST_F(DialogTest, AnEmptyCatalogueAndOutOfRangeSettingsLeaveThingsBlank) {
  Varnoscape_P& d = load(2, 0, 0, {1, 1, 1, 1}, dir / "empty");
  EXPECT_EQ(d.list().count(), 0);
  EXPECT_EQ(d.count_label(), "");  // not 0
  EXPECT_FALSE(reddish(pixel(kSelectedMark[0])));
  EXPECT_FALSE(reddish(pixel(kSelectedMark[1])));
  // A press on either member shows the marks and stores a valid value; a
  // right press as well as a left one; pressing the selected one again
  // changes nothing (a press, not a flip).
  d.lbl_RS_MouseDown(0, button(MouseButton::Right));
  EXPECT_EQ(m.Set_Change, 0);
  EXPECT_TRUE(reddish(pixel(kSelectedMark[0])));
  d.Img_SR_MouseDown(1, button(MouseButton::Middle));
  d.Img_SR_MouseDown(1, button(MouseButton::Left));
  EXPECT_EQ(m.Set_Change, 1);
  EXPECT_TRUE(reddish(pixel(kSelectedMark[1])));
  EXPECT_FALSE(reddish(pixel(kSelectedMark[0])));
}

// A kind toggle rebuilds the catalogue from the folder label, and stops
// where the folder has gone.
TEST_F(DialogTest, KindTogglesRebuildTheListUnlessTheFolderIsGone) {
  picture("a.bmp", 4, 4), picture("b.bmp", 4, 4);
  std::ofstream(pics + "/c.gif") << "GIF89a";
  Varnoscape_P& d = load(0, 0, 0, {1, 0, 0, 0});
  EXPECT_EQ(d.list().count(), 2);
  d.lbl_Kind_MouseDown(1, button(MouseButton::Right));
  EXPECT_EQ(m.Set_Kind[1], 1);
  EXPECT_EQ(d.list().count(), 3);
  EXPECT_EQ(d.count_label(), "3");
  d.Img_Kind_MouseDown(0, button(MouseButton::Left));
  d.Img_Kind_MouseDown(1, button(MouseButton::Left));
  EXPECT_EQ(d.list().count(), 0);
  EXPECT_EQ(d.count_label(), "");
  fs::remove_all(pics);
  d.Img_Kind_MouseDown(0, button(MouseButton::Left));
  EXPECT_EQ(m.Set_Kind[0], 1);
  EXPECT_EQ(d.count_label(), "");  // as it was: nothing listed anew
}

TEST_F(DialogTest, PreviewsHaveTheirLongerSideAt100) {
  struct Case {
    int w, h, pw, ph;
  };
  const Case cases[] = {
      {640, 480, 100, 75}, {480, 640, 75, 100}, {50, 20, 100, 40}, {300, 300, 100, 100}};
  for (const Case& c : cases)
    picture(std::to_string(c.w) + "x" + std::to_string(c.h) + ".bmp", c.w, c.h);
  Varnoscape_P& d = load();
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + ".bmp";
    int index = -1;
    for (int i = 0; i < d.list().count(); ++i) {
      if (d.list().entry(i) == name) index = i;
    }
    ASSERT_GE(index, 0) << name;
    const_cast<forms::ListBox&>(d.list()).select(index);
    EXPECT_EQ(d.size_label(), std::to_string(c.w) + " * " + std::to_string(c.h));
    EXPECT_EQ(d.preview().bounds.width, c.pw) << name;
    EXPECT_EQ(d.preview().bounds.height, c.ph) << name;
    EXPECT_EQ(d.preview().bounds.x, 192);  // the corner stays
  }
  EXPECT_FALSE(p.busy);
  // A file deleted since the list was filled: the last preview stays.
  fs::remove(pics + "/640x480.bmp");
  const_cast<forms::ListBox&>(d.list()).select(3);
  ASSERT_EQ(d.list().entry(3), "640x480.bmp");
  EXPECT_EQ(d.size_label(), "300 * 300");
  EXPECT_EQ(d.preview().bounds.width, 100);
  EXPECT_TRUE(p.message_boxes.empty());
}

// Clicks through the real runtime, and what reaches the file: exactly the
// chosen values, every other byte as it was; cancel and the close box
// leave the file alone.
TEST_F(DialogTest, ClicksSaveExactlyTheChoicesAndCancelSavesNothing) {
  picture("a.bmp", 4, 4);
  const std::string other = "; kept\r\n[Other]\r\nx=1\r\n";
  for (const char* way_out : {"save", "cancel", "close box"}) {
    Varnoscape_B seed;
    seed.Set_Kind = {1, 0, 1, 1};
    std::ofstream(ini, std::ios::binary | std::ios::trunc) << other;
    Save_Settings(seed, p, pics);
    const std::string before = read_file(ini);
    click(100000, kRandomLabel);
    click(200000, kFullScreenLabel);
    click(300000, kLinesLabel);
    click(400000, kGifCheck);
    if (std::string(way_out) == "save") {
      click(500000, kSaveButton);
    } else if (std::string(way_out) == "cancel") {
      click(500000, kCancelButton);
    } else {
      Event close;
      close.kind = Event::Kind::CloseRequest;
      p.script(500000, close);
    }
    p.set_arguments({"/c"});
    Main(p, [](Varnoscape_B& mm, Platform& pp) { Varnoscape_P(mm, pp).Show_Modal(); });
    EXPECT_EQ(p.scripted_left(), 0u) << way_out;
    Varnoscape_B want;
    want.Set_Change = 1, want.Set_Size = 1, want.Set_Way = 1, want.Set_Kind = {1, 1, 1, 1};
    std::ofstream(dir / "want.ini", std::ios::binary) << other;
    p.set_env("VARNOSCAPE_INI", dir / "want.ini");
    Save_Settings(want, p, pics);
    p.set_env("VARNOSCAPE_INI", ini);
    const std::string expected =
        std::string(way_out) == "save" ? read_file(dir / "want.ini") : before;
    EXPECT_EQ(read_file(ini), expected) << way_out;
    // The dialog closed with its animation back to the opening point.
    EXPECT_EQ(p.window_of(OffscreenPlatform::WindowKind::Dialog), 0u) << way_out;
    EXPECT_EQ(p.animations.back().second, (Rect{0, 0, 0, 0})) << way_out;
  }
}

TEST_F(DialogTest, ClearThenCancelOrSaveAndAFailedSave) {
  picture("a.bmp", 4, 4);
  Varnoscape_P& d = load();
  d.Cmd_Button_Click(1);
  EXPECT_EQ(d.list().count(), 0);
  EXPECT_EQ(d.folder_label(), "");
  EXPECT_EQ(d.count_label(), "");
  const std::string before = read_file(ini);
  d.Cmd_Button_Click(3);  // cancel
  EXPECT_EQ(read_file(ini), before);

  // Clear, then save: an empty folder is stored.
  Varnoscape_P& again = load();
  again.Cmd_Button_Click(1);
  again.Cmd_Button_Click(2);
  Varnoscape_B stored;
  Load_Settings(stored, p);
  EXPECT_EQ(stored.Set_Folder, "");
  EXPECT_TRUE(again.form()->closed());

  // A save that fails says where and why, and the dialog stays open with
  // the choices.
  Varnoscape_P& failing = load();
  failing.Img_Way_MouseDown(1, button(MouseButton::Left));
  fs::remove(ini);
  fs::create_directory(ini);  // a folder where the file should go
  failing.Cmd_Button_Click(2);
  EXPECT_FALSE(failing.form()->closed());
  ASSERT_EQ(p.message_boxes.size(), 1u);
  EXPECT_NE(p.message_boxes[0].text.find(ini), std::string::npos);
  EXPECT_EQ(p.message_boxes[0].icon, MessageIcon::Error);
  EXPECT_EQ(m.Set_Way, 1);
}

// The folder chooser: a cancel changes nothing; a folder that the settings
// file cannot hold is refused at once; a good one is listed, with its count.
TEST_F(DialogTest, FolderChoices) {
  picture("a.bmp", 4, 4);
  Varnoscape_P& d = load();
  const std::string other = dir / "other";
  fs::create_directory(other);
  for (const char* n : {"x.bmp", "y.bmp", "z.jpg"}) std::ofstream(other + "/" + n) << "x";

  p.folder_answers = {std::nullopt};
  d.Cmd_Button_Click(0);
  ASSERT_EQ(p.folder_choices.size(), 1u);
  EXPECT_EQ(p.folder_choices[0].title, "ﾌｫﾙﾀﾞをｸﾘｯｸして選択状態にしてから ＯＫ を押してください");
  EXPECT_EQ(d.folder_label(), pics);
  EXPECT_EQ(d.list().count(), 1);
  EXPECT_EQ(d.count_label(), "1");

  p.folder_answers = {std::string(dir / "한국")};
  d.Cmd_Button_Click(0);
  EXPECT_EQ(d.folder_label(), pics);
  ASSERT_EQ(p.message_boxes.size(), 1u);

  p.folder_answers = {other};
  d.Cmd_Button_Click(0);
  EXPECT_EQ(d.folder_label(), other);
  EXPECT_EQ(d.list().count(), 3);
  EXPECT_EQ(d.count_label(), "3");
  EXPECT_EQ(m.Set_Folder, pics);  // the record follows only at a save or a toggle
}

}  // namespace
}  // namespace vs
