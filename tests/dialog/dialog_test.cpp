// The settings dialog on the offscreen backend, driven by scripted input
// through its one loop: its state after loading, its controls, and what
// each control does while a listing or a preview load runs.
#include "dialog/settings_dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "../../tools/bmp_writer.h"
#include "forms/paint.h"
#include "platform/offscreen/offscreen_platform.h"
#include "settings/settings.h"
#include "startup/startup.h"
#include "support/loaded.h"
#include "support/temp_folder.h"

namespace vs {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

// Where controls sit in the window (their panel's place plus their own).
constexpr Point kRandomLabel{336 + 124 + 10, 12 + 40 + 5};
constexpr Point kFullScreenLabel{336 + 124 + 10, 12 + 100 + 5};
constexpr Point kLinesLabel{336 + 124 + 10, 12 + 160 + 5};
constexpr Point kSelectedMark[2] = {{336 + 24 + 6, 12 + 40 + 6}, {336 + 108 + 6, 12 + 40 + 6}};
constexpr Point kBmpCheck{12 + 208 + 6, 12 + 188 + 6};
constexpr Point kGifCheck{12 + 208 + 6, 12 + 188 + 16 + 6};
constexpr Point kSequentialLabel{336 + 40 + 10, 12 + 40 + 5};
constexpr Point kSubfoldersCheck{336 + 108 + 6, 206 + 66 + 6};
constexpr Point kFolderButton{12 + 12 + 48, 12 + 40 + 10};
constexpr Point kSaveButton{336 + 50, 320 + 10};
constexpr Point kCancelButton{440 + 48, 320 + 10};
constexpr Point kFirstName{12 + 12 + 40, 12 + 68 + 8};

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

// The offscreen platform, whose picture loads can be held until they are
// stopped: work that is certainly still under way.
class HoldingPlatform : public OffscreenPlatform {
 public:
  std::atomic<bool> hold_loads{false};

 protected:
  PictureResult picture_for(const std::string& path, const PictureView& view,
                            std::stop_token stop) override {
    while (hold_loads && !stop.stop_requested()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return OffscreenPlatform::picture_for(path, view, stop);
  }
};

class DialogTest : public ::testing::Test {
 protected:
  using Button = SettingsDialog::Button;

  DialogTest() {
    p.set_env("VARNOSCAPE_INI", ini);
    fs::create_directory(pics);
  }
  // A picture file of the given size.
  std::string picture(const std::string& name, int w, int h, const std::string& folder = "") {
    samples::BmpSpec spec;
    spec.width = w, spec.height = h;
    spec.data = samples::encode_rows(w, h, 24, false, [](int x, int y) {
      return static_cast<uint32_t>(pixel_rgb(x % 256, y % 256, 128));
    });
    const std::string path = (folder.empty() ? pics : folder) + "/" + name;
    std::ofstream(path, std::ios::binary) << samples::write_bmp(spec);
    return path;
  }
  // A folder of n small files of the given extension (their contents are
  // never read by a listing).
  std::string many_files(const std::string& name, int n, const std::string& ext) {
    const std::string folder = dir / name;
    fs::create_directories(folder);
    for (int i = 0; i < n; ++i)
      std::ofstream(folder + "/" + std::to_string(10000 + i) + ext) << "x";
    return folder;
  }
  // The settings as the program loads them, the dialog loaded over them.
  SettingsDialog& load(int16_t change = 0, int16_t size = 0, int16_t way = 0,
                       std::array<int16_t, 4> kinds = {1, 1, 1, 1}, std::string folder = "") {
    Settings seed;
    seed.picture_order = change, seed.picture_size = size, seed.drawing_method = way;
    seed.kinds = testing::first_kinds(kinds);
    save_settings(p, seed, folder.empty() ? pics : folder);
    load_settings(p, settings, catalogue);
    // Hand-edited values beyond 0 and 1 reach the settings as they are.
    settings.picture_order = change, settings.picture_size = size;
    settings.drawing_method = way, settings.kinds = testing::first_kinds(kinds);
    dialog = std::make_unique<SettingsDialog>(p, settings, catalogue);
    dialog->load();
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
  // A click at a point of the dialog, from the script: the press, and the
  // release a moment later.
  void click(int64_t at_us, Point at, MouseButton b = MouseButton::Left) {
    p.script(at_us, mouse(Event::Kind::MouseDown, at, b));
    p.script(at_us + 1, mouse(Event::Kind::MouseUp, at, b));
  }
  // Clicks that come at once, one after the other: the loop takes one event
  // a turn, between steps of whatever work runs, as a quick user's clicks.
  void clicks_now(std::initializer_list<Point> points) {
    for (Point at : points) {
      p.script(p.now_us(), mouse(Event::Kind::MouseDown, at));
      p.script(p.now_us(), mouse(Event::Kind::MouseUp, at));
    }
  }
  void close_box(int64_t at_us) {
    Event close;
    close.kind = Event::Kind::CloseRequest;
    p.script(at_us, close);
  }
  // Runs the dialog's loop until the script has run out and no work is left
  // (or the dialog has closed).
  void run() { dialog->run(); }
  std::vector<std::string> entries() const {
    std::vector<std::string> out;
    for (int i = 0; i < dialog->file_list().count(); ++i)
      out.push_back(dialog->file_list().entry(i));
    return out;
  }
  bool closed() const { return dialog->form()->closed(); }

  testing::TempFolder dir;
  std::string ini = dir / "Varnoscape.ini";
  std::string pics = dir / "pics";
  HoldingPlatform p;
  Settings settings;
  Catalogue catalogue;
  std::unique_ptr<SettingsDialog> dialog;
};

// The window, its place, the marks, the list and the labels after loading.
TEST_F(DialogTest, LoadingShowsTheSettingsAndTheCatalogue) {
  picture("b_Second.bmp", 4, 4);
  picture("a_first.bmp", 4, 4);
  picture("C_third.bmp", 4, 4);
  SettingsDialog& d = load(1, 0, 1, {1, 0, 1, 0});
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
  EXPECT_TRUE(bluish(pixel(kBmpCheck)));
  EXPECT_FALSE(bluish(pixel(kGifCheck)));
  // Sorted without regard to case; the count beside it; the folder below.
  EXPECT_EQ(entries(), (std::vector<std::string>{"a_first.bmp", "b_Second.bmp", "C_third.bmp"}));
  EXPECT_EQ(d.count_label(), "3");
  EXPECT_EQ(d.folder_label(), pics);
  EXPECT_EQ(d.preview_size_label(), "");
  // The opening grows from where the pointer was to the window, which
  // shows once the outline has reached it.
  EXPECT_FALSE(window.shown);
  run();
  EXPECT_TRUE(p.windows.at(w).shown);
  ASSERT_GE(p.outlines.size(), 3u);
  EXPECT_EQ(p.outlines.front(), (Rect{0, 0, 0, 0}));
  EXPECT_EQ(p.outlines[p.outlines.size() - 2], p.windows.at(w).outer);
  EXPECT_EQ(p.outlines.back(), std::nullopt);
}

TEST_F(DialogTest, AnEmptyCatalogueAndOutOfRangeSettingsLeaveThingsBlank) {
  SettingsDialog& d = load(2, 0, 0, {1, 1, 1, 1}, dir / "empty");
  EXPECT_EQ(d.file_list().count(), 0);
  EXPECT_EQ(d.count_label(), "");  // not 0
  EXPECT_FALSE(reddish(pixel(kSelectedMark[0])));
  EXPECT_FALSE(reddish(pixel(kSelectedMark[1])));
  // A press on either member shows the marks and stores a valid value; a
  // right press as well as a left one; pressing the selected one again
  // changes nothing (a press, not a flip).
  click(0, kSequentialLabel, MouseButton::Right);
  run();
  EXPECT_EQ(settings.picture_order, 0);
  EXPECT_TRUE(reddish(pixel(kSelectedMark[0])));
  click(10, kSelectedMark[1], MouseButton::Middle);
  click(20, kSelectedMark[1]);
  run();
  EXPECT_EQ(settings.picture_order, 1);
  EXPECT_TRUE(reddish(pixel(kSelectedMark[1])));
  EXPECT_FALSE(reddish(pixel(kSelectedMark[0])));
}

// A kind toggle rebuilds the catalogue from the folder label, and stops
// where the folder has gone.
TEST_F(DialogTest, KindTogglesRebuildTheListUnlessTheFolderIsGone) {
  picture("a.bmp", 4, 4), picture("b.bmp", 4, 4);
  std::ofstream(pics + "/c.gif") << "GIF89a";
  SettingsDialog& d = load(0, 0, 0, {1, 0, 0, 0});
  EXPECT_EQ(d.file_list().count(), 2);
  click(0, {kGifCheck.x + 20, kGifCheck.y}, MouseButton::Right);  // its label
  run();
  EXPECT_EQ(settings.kinds[1], 1);
  EXPECT_EQ(d.file_list().count(), 3);
  EXPECT_EQ(d.count_label(), "3");
  EXPECT_EQ(catalogue.count, 3);
  click(10, kBmpCheck);
  click(20, kGifCheck);
  run();
  EXPECT_EQ(d.file_list().count(), 0);
  EXPECT_EQ(d.count_label(), "");
  fs::remove_all(pics);
  click(30, kBmpCheck);
  run();
  EXPECT_EQ(settings.kinds[0], 1);
  EXPECT_EQ(d.count_label(), "");  // as it was: nothing listed anew
}

// The subfolders check: the list then holds the pictures of the folders
// below, by their paths below the folder, a hidden folder and a link back up
// left out; saved, the dialog opens on them again, walked by its loop; a
// picture two folders down previews.
TEST_F(DialogTest, SubfoldersAreListedByTheirPathsBelowTheFolder) {
  picture("a.bmp", 4, 4);
  fs::create_directories(pics + "/2019/summer");
  fs::create_directories(pics + "/.hidden");
  picture("beach.bmp", 6, 3, pics + "/2019/summer");
  picture("secret.bmp", 4, 4, pics + "/.hidden");
  std::error_code no_links;
  fs::create_directory_symlink(pics, pics + "/up", no_links);
  SettingsDialog& d = load();
  EXPECT_EQ(entries(), std::vector<std::string>{"a.bmp"});
  click(0, kSubfoldersCheck);
  run();
  const std::vector<std::string> both = {std::string("2019") + kSep + "summer" + kSep + "beach.bmp",
                                         "a.bmp"};
  EXPECT_EQ(settings.subfolders, 1);
  EXPECT_EQ(entries(), both);
  EXPECT_EQ(d.count_label(), "2");
  EXPECT_EQ(catalogue.count, 2);
  const_cast<forms::ListBox&>(d.file_list()).select(0);
  run();
  EXPECT_EQ(d.preview_size_label(), "6 * 3");
  d.press(Button::Save);
  run();

  Settings stored;
  Catalogue walked_later;
  load_settings(p, stored, walked_later);
  EXPECT_EQ(stored.subfolders, 1);
  EXPECT_EQ(walked_later.count, 0);
  dialog = std::make_unique<SettingsDialog>(p, stored, walked_later);
  dialog->load();
  run();
  EXPECT_EQ(entries(), both);
  EXPECT_EQ(dialog->count_label(), "2");
  click(p.now_us(), kSubfoldersCheck);
  run();
  EXPECT_EQ(entries(), std::vector<std::string>{"a.bmp"});
}

TEST_F(DialogTest, PreviewsHaveTheirLongerSideAt100) {
  struct Case {
    int w, h, pw, ph;
  };
  const Case cases[] = {
      {640, 480, 100, 75}, {480, 640, 75, 100}, {50, 20, 100, 40}, {300, 300, 100, 100}};
  for (const Case& c : cases)
    picture(std::to_string(c.w) + "x" + std::to_string(c.h) + ".bmp", c.w, c.h);
  SettingsDialog& d = load();
  auto& list = const_cast<forms::ListBox&>(d.file_list());
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + ".bmp";
    const auto all = entries();
    const int index = static_cast<int>(std::find(all.begin(), all.end(), name) - all.begin());
    list.select(index);
    run();
    EXPECT_EQ(d.preview_size_label(), std::to_string(c.w) + " * " + std::to_string(c.h));
    EXPECT_EQ(d.preview_box().bounds.width, c.pw) << name;
    EXPECT_EQ(d.preview_box().bounds.height, c.ph) << name;
    EXPECT_EQ(d.preview_box().bounds.x, 192);  // the corner stays
    EXPECT_TRUE(d.preview_box().visible);
  }
  EXPECT_FALSE(p.busy);
  // A file deleted since the list was filled: the last preview stays.
  fs::remove(pics + "/640x480.bmp");
  ASSERT_EQ(d.file_list().entry(3), "640x480.bmp");
  list.select(3);
  run();
  EXPECT_EQ(d.preview_size_label(), "300 * 300");
  EXPECT_EQ(d.preview_box().bounds.width, 100);
  EXPECT_TRUE(p.message_boxes.empty());
}

// A later kind is listed and previewed; where the system has no decoder for
// it (WebP under Wine), the preview says once what to install and keeps the
// last picture.
TEST_F(DialogTest, ALaterKindIsPreviewedOrSaysWhatToInstall) {
  // A 2 x 2 lossless WebP, as cwebp made it.
  const unsigned char webp[] = {0x52, 0x49, 0x46, 0x46, 0x22, 0x00, 0x00, 0x00, 0x57, 0x45, 0x42,
                                0x50, 0x56, 0x50, 0x38, 0x4c, 0x16, 0x00, 0x00, 0x00, 0x2f, 0x01,
                                0x40, 0x00, 0x00, 0x0f, 0x10, 0xf3, 0xbf, 0xff, 0xf3, 0x1f, 0x0e,
                                0x14, 0x02, 0x08, 0x80, 0x82, 0x26, 0xa2, 0xff, 0xb1};
  picture("a.bmp", 4, 4);
  for (const char* name : {"/b.webp", "/c.WEBP"})
    std::ofstream(pics + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(webp), sizeof webp);
  SettingsDialog& d = load();
  ASSERT_EQ(entries(), (std::vector<std::string>{"a.bmp", "b.webp", "c.WEBP"}));
  auto& list = const_cast<forms::ListBox&>(d.file_list());
  for (int i : {0, 1, 2}) {
    list.select(i);
    run();
  }
  if (p.message_boxes.empty()) {
    EXPECT_EQ(d.preview_size_label(), "2 * 2");
  } else {
    ASSERT_EQ(p.message_boxes.size(), 1u);
    EXPECT_TRUE(
        p.message_boxes[0].text.starts_with("No decoder for WebP pictures on this system (install"))
        << p.message_boxes[0].text;
    EXPECT_EQ(d.preview_size_label(), "4 * 4");
  }
#ifndef _WIN32
  EXPECT_TRUE(p.message_boxes.empty());
#endif
}

// Every caption's measured text fits its control and no two controls
// overlap (a heading lies on its plate), at each common screen scale and in
// both languages; the window and the preview grow with the scale.
TEST_F(DialogTest, TheLayoutFitsEveryScaleAndLanguage) {
  picture("wide.bmp", 640, 480);
  for (const char* lang : {"ja_JP.UTF-8", "en_US.UTF-8"}) {
    for (double scale : {1.0, 1.25, 1.5, 1.75, 2.0}) {
      const std::string where = std::string(lang) + " at " + std::to_string(scale);
      p.set_env("LANG", lang);
      p.scale = scale;
      SettingsDialog& d = load();
      forms::Form& form = *d.form();
      const auto& window = p.windows.at(p.window_of(OffscreenPlatform::WindowKind::Dialog));
      EXPECT_EQ(window.spec.client_width, std::lround(549 * scale)) << where;
      EXPECT_EQ(window.spec.client_height, std::lround(385 * scale)) << where;
      EXPECT_EQ(window.title,
                std::string(lang).starts_with("ja") ? "Varnoscapeの設定" : "Varnoscape Settings");
      ASSERT_NE(form.font(), nullptr);
      const int line_height = form.font()->line_height();

      // Each control in window coordinates, with the text it must hold:
      // its caption, or the widest it will show (the count, a picture size).
      struct Placed {
        const forms::Control* control;
        Rect at;
      };
      std::vector<Placed> placed;
      auto walk = [&](auto& self, const forms::Control& c) -> void {
        placed.push_back({&c, c.window_bounds()});
        if (const auto* panel = dynamic_cast<const forms::Panel*>(&c)) {
          for (const forms::Control* child : panel->children()) {
            const Rect r = child->bounds;
            EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.width <= c.bounds.width &&
                        r.y + r.height <= c.bounds.height)
                << where << ": a control sticks out of its panel at " << r.x << "," << r.y;
            self(self, *child);
          }
        }
      };
      walk(walk, form.client());
      for (const Placed& c : placed) {
        std::string text;
        int room = c.at.width, rows = 1;
        if (const auto* l = dynamic_cast<const forms::Label*>(c.control)) {
          text = l->caption();
          if (l == &d.count_label_control()) text = "32767";
          if (l == &d.preview_size_control()) text = "9999 * 9999";
          if (l->border) room -= 2 * form.px(2);
          if (l->wraps_path) continue;  // wraps within its lines
          rows = std::max(1, static_cast<int>(forms::split_lines(text).size()));
          EXPECT_GE(c.at.height, rows * line_height) << where << ": " << text;
        } else if (const auto* b = dynamic_cast<const forms::CommandButton*>(c.control)) {
          text = b->caption;
          room -= 2 * form.px(3);  // inside the frame and the edge
          EXPECT_GE(c.at.height, line_height) << where << ": " << text;
        }
        for (const std::string& one : forms::split_lines(text))
          EXPECT_LE(form.text_width(one), room) << where << ": \"" << one << "\" is cut";
      }
      // Siblings apart; only a heading may lie on its plate.
      for (size_t i = 0; i < placed.size(); ++i) {
        for (size_t j = i + 1; j < placed.size(); ++j) {
          const forms::Control *a = placed[i].control, *b = placed[j].control;
          if (a->parent() != b->parent()) continue;
          const Rect both = forms::intersect(placed[i].at, placed[j].at);
          if (both.empty()) continue;
          const bool heading_on_plate = dynamic_cast<const forms::ImageControl*>(a) &&
                                        dynamic_cast<const forms::Label*>(b) &&
                                        both == placed[j].at;
          EXPECT_TRUE(heading_on_plate) << where << ": controls overlap at " << both.x << ","
                                        << both.y << " " << both.width << "x" << both.height;
        }
      }
      // The thumbnail at the scale: 640 x 480 shows 100 x 75 at 100 %.
      const_cast<forms::ListBox&>(d.file_list()).select(0);
      run();
      EXPECT_EQ(d.preview_box().bounds.width, std::lround(100 * scale)) << where;
      EXPECT_NEAR(d.preview_box().bounds.height, 75 * scale, 1) << where;
      d.press(Button::Cancel);
      run();
    }
  }
}

// Moved to a monitor of another scale (WM_DPICHANGED), the dialog is laid
// out again there, keeping what it shows.
TEST_F(DialogTest, AScaleChangeLaysTheDialogOutAgain) {
  picture("wide.bmp", 640, 480);
  SettingsDialog& d = load();
  const_cast<forms::ListBox&>(d.file_list()).select(0);
  run();
  const WindowId w = p.window_of(OffscreenPlatform::WindowKind::Dialog);
  Event moved;
  moved.kind = Event::Kind::ScaleChanged;
  moved.window = w;
  moved.x = 144;
  p.script(p.now_us(), moved);
  run();
  EXPECT_EQ(p.windows.at(w).spec.client_width, 824);
  EXPECT_EQ(p.windows.at(w).spec.client_height, 578);
  EXPECT_EQ(d.form()->pixels().width(), 824);
  EXPECT_EQ(d.file_list().selected(), 0);
  EXPECT_EQ(d.preview_box().bounds.width, 150);
  EXPECT_EQ(d.folder_label(), pics);
  EXPECT_EQ(d.count_label(), "1");
  // The list is where it is at 150 %: a click there still picks a name.
  EXPECT_TRUE(d.form()->pixels().at(std::lround(kFirstName.x * 1.5),
                                    std::lround(kFirstName.y * 1.5)) == forms::kSelection);
}

// Clicks through the real program, and what reaches the file: exactly the
// chosen values, every other byte as it was; cancel and the close box
// leave the file alone.
TEST_F(DialogTest, ClicksSaveExactlyTheChoicesAndCancelSavesNothing) {
  picture("a.bmp", 4, 4);
  const std::string other = "; kept\r\n[Other]\r\nx=1\r\n";
  for (const char* way_out : {"save", "cancel", "close box"}) {
    Settings seed;
    seed.kinds = testing::first_kinds({1, 0, 1, 1});
    std::ofstream(ini, std::ios::binary | std::ios::trunc) << other;
    save_settings(p, seed, pics);
    const std::string before = read_file(ini);
    const int64_t t = p.now_us();
    click(t + 400000, kRandomLabel);
    click(t + 500000, kFullScreenLabel);
    click(t + 600000, kLinesLabel);
    click(t + 700000, kGifCheck);
    if (std::string(way_out) == "save") {
      click(t + 800000, kSaveButton);
    } else if (std::string(way_out) == "cancel") {
      click(t + 800000, kCancelButton);
    } else {
      close_box(t + 800000);
    }
    p.set_arguments({"/c"});
    run_program(
        p, [](Settings& s, Catalogue& c, Platform& pp) { SettingsDialog(pp, s, c).show_modal(); });
    EXPECT_EQ(p.scripted_left(), 0u) << way_out;
    Settings want;
    want.picture_order = 1, want.picture_size = 1, want.drawing_method = 1;
    want.kinds = testing::first_kinds({1, 1, 1, 1});
    std::ofstream(dir / "want.ini", std::ios::binary) << other;
    p.set_env("VARNOSCAPE_INI", dir / "want.ini");
    save_settings(p, want, pics);
    p.set_env("VARNOSCAPE_INI", ini);
    const std::string expected =
        std::string(way_out) == "save" ? read_file(dir / "want.ini") : before;
    EXPECT_EQ(read_file(ini), expected) << way_out;
    // The dialog closed with its outline back to the opening point.
    EXPECT_EQ(p.window_of(OffscreenPlatform::WindowKind::Dialog), 0u) << way_out;
    ASSERT_GE(p.outlines.size(), 2u);
    EXPECT_EQ(p.outlines[p.outlines.size() - 2], (Rect{0, 0, 0, 0})) << way_out;
  }
}

// Escape cancels wherever the focus is; Return saves, or presses the button
// that has the focus.
TEST_F(DialogTest, EscapeCancelsAndReturnSavesOrPressesTheFocusedButton) {
  picture("a.bmp", 4, 4);
  struct Case {
    Key key;
    std::optional<Point> focus;  // clicked before the key
    bool saved;
  };
  for (const Case& c :
       {Case{Key::Escape, std::nullopt, false}, Case{Key::Escape, kFirstName, false},
        Case{Key::Enter, kFirstName, true}, Case{Key::Enter, std::nullopt, true},
        Case{Key::Enter, kCancelButton, false}}) {
    SettingsDialog& d = load();
    const std::string before = read_file(ini);
    clicks_now({kLinesLabel});
    if (c.focus) {
      // A press without its release: the focus moves, the button is not
      // clicked.
      p.script(p.now_us(), mouse(Event::Kind::MouseDown, *c.focus));
    }
    Event key;
    key.kind = Event::Kind::KeyDown;
    key.key = c.key;
    p.script(p.now_us() + 1000, key);
    run();
    const std::string what = std::to_string(static_cast<int>(c.key)) + (c.focus ? " focused" : "");
    EXPECT_TRUE(closed()) << what;
    EXPECT_EQ(read_file(ini) != before, c.saved) << what;
    EXPECT_EQ(d.file_list().count(), 1) << what;
  }
}

// The keyboard alone: Tab and Shift+Tab go round in reading order, a pair
// being one stop; Space toggles a kind, the arrows select in a pair.
TEST_F(DialogTest, TheKeyboardAloneReachesAndChangesEveryChoice) {
  picture("a.bmp", 4, 4);
  struct Case {
    const char* keys;  // t: Tab, T: Shift+Tab, s: Space, > and v: arrows
    KindSwitches kinds;
    int16_t order, size, method;
    int16_t subfolders = 0;
  };
  // From 設定: Tab goes to ｷｬﾝｾﾙ, the address, the folder button, the list,
  // then the kinds, the later ones after the first four, then the
  // subfolders; Shift+Tab to the method, size and order pairs, the preview
  // button, the subfolders, then the kinds from the last.
  for (const Case& c : {
           Case{"ttttts", {0, 1, 1, 1, 1, 1, 1, 1, 1}, 0, 0, 0},
           Case{"tttttttts", {1, 1, 1, 0, 1, 1, 1, 1, 1}, 0, 0, 0},
           Case{"ttttttttts", {1, 1, 1, 1, 0, 1, 1, 1, 1}, 0, 0, 0},
           Case{"T>", {1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, 0, 1},
           Case{"TTv", {1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, 1, 0},
           Case{"TTTvv", {1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, 0, 0},
           Case{"TTT>t>", {1, 1, 1, 1, 1, 1, 1, 1, 1}, 1, 1, 0},
           Case{"TTTTTs", {1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, 0, 0, 1},
           Case{"TTTTTss", {1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, 0, 0, 0},
           Case{"TTTTTTs", {1, 1, 1, 1, 1, 1, 1, 1, 0}, 0, 0, 0},
           Case{"TTTTTTTTTTTs", {1, 1, 1, 0, 1, 1, 1, 1, 1}, 0, 0, 0},
       }) {
    load();
    int64_t at = p.now_us() + 300000;  // once the opening outline is done
    for (const char* k = c.keys;; ++k) {
      Event e;
      e.kind = Event::Kind::KeyDown;
      e.key = *k == 't' || *k == 'T' ? Key::Tab
              : *k == 's'            ? Key::Space
              : *k == '>'            ? Key::Right
              : *k == 'v'            ? Key::Down
                                     : Key::Enter;
      e.shift = *k == 'T';
      p.script(at += 1000, e);
      if (!*k) break;  // Return to end
    }
    run();
    ASSERT_TRUE(closed()) << c.keys;
    Settings stored;
    Catalogue unused;
    load_settings(p, stored, unused);
    EXPECT_EQ(stored.kinds, c.kinds) << c.keys;
    EXPECT_EQ(stored.picture_order, c.order) << c.keys;
    EXPECT_EQ(stored.picture_size, c.size) << c.keys;
    EXPECT_EQ(stored.drawing_method, c.method) << c.keys;
    EXPECT_EQ(stored.subfolders, c.subfolders) << c.keys;
  }
}

TEST_F(DialogTest, ClearThenCancelOrSaveAndAFailedSave) {
  picture("a.bmp", 4, 4);
  SettingsDialog& d = load();
  d.press(Button::Clear);
  EXPECT_EQ(d.file_list().count(), 0);
  EXPECT_EQ(d.folder_label(), "");
  EXPECT_EQ(d.count_label(), "");
  const std::string before = read_file(ini);
  d.press(Button::Cancel);
  EXPECT_EQ(read_file(ini), before);

  // Clear, then save: an empty folder is stored.
  SettingsDialog& again = load();
  again.press(Button::Clear);
  again.press(Button::Save);
  run();
  Settings stored;
  Catalogue unused;
  load_settings(p, stored, unused);
  EXPECT_EQ(stored.folder, "");
  EXPECT_TRUE(closed());

  // A save that fails says where and why, and the dialog stays open with
  // the choices.
  SettingsDialog& failing = load();
  click(0, kLinesLabel);
  run();
  fs::remove(ini);
  fs::create_directory(ini);  // a folder where the file should go
  failing.press(Button::Save);
  EXPECT_FALSE(closed());
  ASSERT_EQ(p.message_boxes.size(), 1u);
  EXPECT_NE(p.message_boxes[0].text.find(ini), std::string::npos);
  EXPECT_EQ(p.message_boxes[0].icon, MessageIcon::Error);
  EXPECT_EQ(settings.drawing_method, 1);
}

// The folder chooser: a cancel changes nothing; a folder that the settings
// file cannot hold (a line break) is refused at once; a good one, in any
// script, is listed, with its count.
TEST_F(DialogTest, FolderChoices) {
  picture("a.bmp", 4, 4);
  SettingsDialog& d = load();
  const std::string other = dir / "other";
  fs::create_directory(other);
  for (const char* n : {"x.bmp", "y.bmp", "z.jpg"}) std::ofstream(other + "/" + n) << "x";

  p.folder_answers = {std::nullopt};
  click(0, kFolderButton);
  run();
  ASSERT_EQ(p.folder_choices.size(), 1u);
  EXPECT_EQ(p.folder_choices[0].title, "ﾌｫﾙﾀﾞをｸﾘｯｸして選択状態にしてから ＯＫ を押してください");
  EXPECT_EQ(d.folder_label(), pics);
  EXPECT_EQ(d.file_list().count(), 1);
  EXPECT_EQ(d.count_label(), "1");

  p.folder_answers = {std::string(dir / "a\nb")};
  d.press(Button::ChooseFolder);
  run();
  EXPECT_EQ(d.folder_label(), pics);
  ASSERT_EQ(p.message_boxes.size(), 1u);

  // Any script: the settings file keeps what code page 932 cannot spell.
  const std::string korean = dir / "한국";
  fs::create_directory(testing::TempFolder::from_utf8(korean));
  std::ofstream(testing::TempFolder::from_utf8(korean + "/가.bmp")) << "x";
  p.folder_answers = {korean};
  d.press(Button::ChooseFolder);
  run();
  EXPECT_EQ(d.folder_label(), korean);
  EXPECT_EQ(entries(), std::vector<std::string>{"가.bmp"});

  p.folder_answers = {other};
  d.press(Button::ChooseFolder);
  run();
  EXPECT_EQ(d.folder_label(), other);
  EXPECT_EQ(entries(), (std::vector<std::string>{"x.bmp", "y.bmp", "z.jpg"}));
  EXPECT_EQ(d.count_label(), "3");
  EXPECT_EQ(settings.folder, pics);  // the settings follow only at a save or a toggle
}

// The folder button pressed again while a large folder is being listed: the
// new choice replaces the listing, and the list ends up with the chosen
// folder's files once, its count matching. The first listing was under way
// (its count had climbed) when it was replaced.
TEST_F(DialogTest, AFolderChosenDuringAListingReplacesIt) {
  const std::string large = many_files("large", 6000, ".bmp");
  const std::string small = many_files("small", 700, ".jpg");
  SettingsDialog& d = load();
  p.folder_answers = {large, small};
  clicks_now({kFolderButton});
  // The button again once the count has started to climb.
  std::vector<int> counts;
  bool again = false;
  p.on_poll = [&] {
    if (d.count_label().empty()) return;
    counts.push_back(std::stoi(d.count_label()));
    if (!again) clicks_now({kFolderButton});
    again = true;
  };
  run();
  p.on_poll = nullptr;
  EXPECT_EQ(p.folder_choices.size(), 2u);
  EXPECT_EQ(d.folder_label(), small);
  const std::vector<std::string> listed = entries();
  ASSERT_EQ(listed.size(), 700u);
  EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()).size(), 700u);
  EXPECT_EQ(listed.front(), "10000.jpg");
  EXPECT_EQ(d.count_label(), "700");
  EXPECT_TRUE(std::any_of(counts.begin(), counts.end(), [](int c) { return c > 700 && c < 6000; }));
  EXPECT_FALSE(d.listing());
}

// A kind toggled while a listing runs: the listing starts again with the
// new kinds.
TEST_F(DialogTest, AKindToggledDuringAListingStartsItAgain) {
  const std::string mixed = many_files("mixed", 3000, ".gif");
  for (int i = 0; i < 5; ++i) picture("p" + std::to_string(i) + ".bmp", 3, 3, mixed);
  SettingsDialog& d = load();
  p.folder_answers = {mixed};
  clicks_now({kFolderButton, kGifCheck});  // GIF off, while the folder is read
  run();
  EXPECT_EQ(settings.kinds[1], 0);
  EXPECT_EQ(entries(),
            (std::vector<std::string>{"p0.bmp", "p1.bmp", "p2.bmp", "p3.bmp", "p4.bmp"}));
  EXPECT_EQ(d.count_label(), "5");
  EXPECT_EQ(catalogue.count, 5);
}

// Two list clicks while the first picture still loads: the latest wins.
TEST_F(DialogTest, TheLatestPreviewClickWins) {
  picture("a.bmp", 640, 480);
  picture("b.bmp", 20, 50);
  SettingsDialog& d = load();
  auto& list = const_cast<forms::ListBox&>(d.file_list());
  list.select(0);
  list.select(1);
  run();
  EXPECT_EQ(d.preview_size_label(), "20 * 50");
  EXPECT_EQ(d.preview_box().bounds.width, 40);
  EXPECT_FALSE(p.busy);
}

// "設定", "ｷｬﾝｾﾙ" and the close box act at once while a listing or a preview
// load runs: the dialog closes, and only "設定" writes the file.
TEST_F(DialogTest, SaveCancelAndTheCloseBoxActAtOnceDuringWork) {
  picture("a.bmp", 2000, 1500);
  const std::string large = many_files("large", 6000, ".bmp");
  for (const char* work : {"listing", "preview"}) {
    for (const char* way_out : {"save", "cancel", "close box"}) {
      SettingsDialog& d = load(0, 0, 0);
      const std::string before = read_file(ini);
      if (std::string(work) == "listing") {
        p.folder_answers = {large};
        clicks_now({kFolderButton});
      } else {
        p.hold_loads = true;
        const_cast<forms::ListBox&>(d.file_list()).select(0);
      }
      if (std::string(way_out) == "save") {
        clicks_now({kLinesLabel, kSaveButton});
      } else if (std::string(way_out) == "cancel") {
        clicks_now({kLinesLabel, kCancelButton});
      } else {
        clicks_now({kLinesLabel});
        close_box(p.now_us());
      }
      run();
      p.hold_loads = false;
      EXPECT_TRUE(closed()) << work << ", " << way_out;
      const bool saved = std::string(way_out) == "save";
      EXPECT_EQ(read_file(ini) != before, saved) << work << ", " << way_out;
      if (std::string(work) == "listing") {
        EXPECT_LT(d.file_list().count(), 6000) << "closed before the listing ended: " << way_out;
      } else {
        EXPECT_EQ(d.preview_size_label(), "") << "closed before the load ended: " << way_out;
      }
    }
  }
}

}  // namespace
}  // namespace vs
