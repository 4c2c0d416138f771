#include "forms/forms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/utf8.h"
#include "forms/message_box.h"
#include "forms/paint.h"
#include "platform/offscreen/offscreen_platform.h"

namespace vs::forms {
namespace {

constexpr uint32_t kWhite = pixel_rgb(255, 255, 255);
constexpr uint32_t kNavy = pixel_rgb(0, 0, 128);
constexpr uint32_t kLight = pixel_rgb(223, 223, 223);   // a raised edge's outer top-left
constexpr uint32_t kShadow = pixel_rgb(128, 128, 128);  // a sunken edge's outer top-left

// A form of the given client size with the dialog's font, on the offscreen
// backend.
struct Rig {
  explicit Rig(int width = 200, int height = 150)
      : form(p, spec(width, height),
             p.open_font({"MS PGothic", "IPAPGothic", "VL PGothic", "Noto Sans CJK JP"}, 9.75,
                         "ﾌｧｲﾙ名")) {}
  static DialogSpec spec(int width, int height) {
    DialogSpec s;
    s.title = "forms";
    s.client_width = width;
    s.client_height = height;
    return s;
  }
  Event event(Event::Kind kind, int x = 0, int y = 0,
              MouseButton button = MouseButton::Left) const {
    Event e;
    e.kind = kind;
    e.window = form.window();
    e.x = x;
    e.y = y;
    e.button = button;
    return e;
  }
  Event key(Key k, bool shift = false) const {
    Event e = event(Event::Kind::KeyDown);
    e.key = k;
    e.shift = shift;
    return e;
  }
  void click(int x, int y) {
    form.dispatch(event(Event::Kind::MouseDown, x, y));
    form.dispatch(event(Event::Kind::MouseUp, x, y));
  }
  const Surface& frame() { return p.windows.at(form.window()).frame; }
  int row_height() const { return form.font()->line_height(); }

  OffscreenPlatform p;
  Form form;
};

TEST(FormsListBox, KeepsEntriesSortedWithoutRegardToCaseEqualOnesInTheOrderTheyCame) {
  const struct {
    std::vector<std::string> added;
    std::vector<std::string> listed;
  } cases[] = {
      {{"b", "A", "a", "B", "_x", "Z1", "z0", "10", "9"},
       {"10", "9", "_x", "A", "a", "b", "B", "z0", "Z1"}},
      // UTF-8 bytes come after ASCII and compare as they are.
      {{"画像.jpg", "abc.jpg", "ｱ.bmp", "ABC.jpg", "あ.gif"},
       {"abc.jpg", "ABC.jpg", "あ.gif", "画像.jpg", "ｱ.bmp"}},
      // Files gone since the listing leave empty entries.
      {{"x", "", "X", "", "ab", "a", "abc", "A"}, {"", "", "a", "A", "ab", "abc", "x", "X"}},
  };
  for (const auto& c : cases) {
    ListBox list;
    for (const std::string& e : c.added) list.add(e);
    std::vector<std::string> listed;
    for (int i = 0; i < list.count(); ++i) listed.push_back(list.entry(i));
    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(list.entry(list.count()), "");
  }
  // The selection stays with its entry as others come before it.
  ListBox list;
  int selections = 0;
  list.on_select = [&] { ++selections; };
  for (const char* e : {"m", "n"}) list.add(e);
  list.select(1);
  list.add("A");
  list.add("z");
  EXPECT_EQ(list.selected(), 2);
  EXPECT_EQ(list.entry(list.selected()), "n");
  EXPECT_EQ(selections, 1);
  list.select(7);  // out of range
  EXPECT_EQ(list.selected(), 2);
  list.select(-1);
  EXPECT_EQ(list.selected(), -1);
  EXPECT_EQ(selections, 2);
}

TEST(FormsListBox, KeysClicksAndTheWheelMoveTheSelectionAndKeepItInView) {
  Rig r;
  ListBox list;
  const int row = r.row_height();
  list.bounds = {10, 10, 100, 4 + 5 * row};  // five rows, no horizontal bar
  r.form.client().add(list);
  for (int i = 19; i >= 0; --i) list.add("e" + std::to_string(100 + i));
  int selections = 0;
  list.on_select = [&] { ++selections; };
  r.form.set_focus(&list);
  const struct {
    Key key;
    int selected, top, selections;
  } steps[] = {
      {Key::Down, 0, 0, 1},     {Key::Down, 1, 0, 2},     {Key::End, 19, 15, 3},
      {Key::End, 19, 15, 3},    {Key::PageUp, 15, 15, 4}, {Key::PageUp, 11, 11, 5},
      {Key::Up, 10, 10, 6},     {Key::Home, 0, 0, 7},     {Key::Up, 0, 0, 7},
      {Key::PageDown, 4, 0, 8}, {Key::PageDown, 8, 4, 9}, {Key::Left, 8, 4, 9},
  };
  for (const auto& s : steps) {
    r.form.dispatch(r.key(s.key));
    EXPECT_EQ(list.selected(), s.selected) << static_cast<int>(s.key);
    EXPECT_EQ(list.top_index(), s.top) << static_cast<int>(s.key);
    EXPECT_EQ(selections, s.selections) << static_cast<int>(s.key);
  }
  // The wheel scrolls three rows a step towards the user, as far as there is.
  Event wheel = r.event(Event::Kind::Wheel, 0, 2);
  r.form.dispatch(wheel);
  EXPECT_EQ(list.top_index(), 10);
  r.form.dispatch(wheel);
  EXPECT_EQ(list.top_index(), 15);
  EXPECT_EQ(list.selected(), 8);
  // A click picks the row under it; below the last entry nothing.
  r.click(30, 12 + 2 * row + row / 2);
  EXPECT_EQ(list.selected(), 17);
  EXPECT_EQ(selections, 10);
  list.clear();
  for (const char* e : {"a", "b"}) list.add(e);
  r.click(30, 12 + 3 * row + row / 2);
  EXPECT_EQ(list.selected(), -1);
  EXPECT_EQ(selections, 10);
}

TEST(FormsListBox, ScrollBarsComeWhenNeededAndScrollByArrowTrackAndThumb) {
  Rig r;
  ListBox list;
  const int row = r.row_height();
  list.bounds = {0, 0, 100, 4 + 5 * row + 16};  // five rows over a horizontal bar
  r.form.client().add(list);
  for (int i = 0; i < 20; ++i) list.add("e" + std::to_string(100 + i));
  // No horizontal bar until the extent is wider than the rows, which are
  // 100 - 4 - 16 = 80 wide.
  const int hbar = list.bounds.height - 2 - 8, right_arrow = 100 - 2 - 16 - 8;
  r.click(right_arrow, hbar);
  EXPECT_EQ(list.left_offset(), 0);
  list.set_horizontal_extent(300);
  r.click(right_arrow, hbar);
  EXPECT_EQ(list.left_offset(), 8);
  r.click(right_arrow - 17, hbar);  // the track right of the thumb: a page
  EXPECT_EQ(list.left_offset(), 88);
  for (int i = 0; i < 5; ++i) r.click(right_arrow - 17, hbar);
  EXPECT_EQ(list.left_offset(), 220);  // no further than the extent
  r.click(2 + 8, hbar);
  EXPECT_EQ(list.left_offset(), 212);

  const int right = list.bounds.width - 2 - 8;  // the vertical bar's middle
  const int bar_bottom = 2 + 5 * row;           // where the vertical bar ends
  const int down_arrow = bar_bottom - 8, up_arrow = 10;
  const struct {
    const char* what;
    int x, y, top;
  } vertical[] = {
      {"down arrow", right, down_arrow, 1},
      {"up arrow", right, up_arrow, 0},
      {"track under the thumb", right, down_arrow - 17, 5},
      {"track above the thumb", right, 2 + 17, 0},
  };
  for (const auto& v : vertical) {
    r.click(v.x, v.y);
    EXPECT_EQ(list.top_index(), v.top) << v.what;
  }
  // The thumb dragged to the bottom shows the last page.
  r.form.dispatch(r.event(Event::Kind::MouseDown, right, 2 + 16 + 2));
  r.form.dispatch(r.event(Event::Kind::MouseMove, right, 400));
  r.form.dispatch(r.event(Event::Kind::MouseUp, right, 400));
  EXPECT_EQ(list.top_index(), 15);
}

TEST(FormsCommandButton, ClicksOnAPressAndReleaseOverItOrEnterAndSpaceWithTheFocus) {
  using K = Event::Kind;
  struct Input {
    K kind;
    int x = 0, y = 0;
    MouseButton button = MouseButton::Left;
    Key key = Key::Other;
    bool shift = false;
  };
  const struct {
    const char* what;
    std::vector<Input> inputs;
    int a_clicks, b_clicks;
  } cases[] = {
      {"press and release over it", {{K::MouseDown, 20, 20}, {K::MouseUp, 80, 30}}, 1, 0},
      {"released beside it", {{K::MouseDown, 20, 20}, {K::MouseUp, 95, 20}}, 0, 0},
      {"moved off and back while held",
       {{K::MouseDown, 20, 20},
        {K::MouseMove, 150, 100},
        {K::MouseMove, 30, 20},
        {K::MouseUp, 30, 20}},
       1,
       0},
      {"pressed elsewhere", {{K::MouseDown, 95, 5}, {K::MouseUp, 20, 20}}, 0, 0},
      {"right button",
       {{K::MouseDown, 20, 20, MouseButton::Right}, {K::MouseUp, 20, 20, MouseButton::Right}},
       0,
       0},
      {"Enter", {{K::KeyDown, 0, 0, {}, Key::Enter}}, 1, 0},
      {"Space", {{K::KeyDown, 0, 0, {}, Key::Space}}, 1, 0},
      {"Escape", {{K::KeyDown, 0, 0, {}, Key::Escape}}, 0, 0},
      {"Tab, then Enter",
       {{K::KeyDown, 0, 0, {}, Key::Tab}, {K::KeyDown, 0, 0, {}, Key::Enter}},
       0,
       1},
      {"Shift+Tab round to the last, then Space",
       {{K::KeyDown, 0, 0, {}, Key::Tab, true}, {K::KeyDown, 0, 0, {}, Key::Space}},
       0,
       1},
      {"Tab twice round to the first",
       {{K::KeyDown, 0, 0, {}, Key::Tab},
        {K::KeyDown, 0, 0, {}, Key::Tab},
        {K::KeyDown, 0, 0, {}, Key::Enter}},
       1,
       0},
      {"a click gives the focus",
       {{K::MouseDown, 110, 20}, {K::MouseUp, 200, 20}, {K::KeyDown, 0, 0, {}, Key::Enter}},
       0,
       1},
  };
  for (const auto& c : cases) {
    Rig r;
    CommandButton a, b;
    a.bounds = {10, 10, 80, 24};
    b.bounds = {100, 10, 80, 24};
    int a_clicks = 0, b_clicks = 0;
    a.on_click = [&] { ++a_clicks; };
    b.on_click = [&] { ++b_clicks; };
    r.form.client().add(a);
    r.form.client().add(b);
    r.form.set_tab_order({&a, &b});
    r.form.show();  // the first in the tab order takes the focus
    for (const Input& in : c.inputs) {
      Event e = r.event(in.kind, in.x, in.y, in.button);
      e.key = in.key;
      e.shift = in.shift;
      r.form.dispatch(e);
    }
    EXPECT_EQ(a_clicks, c.a_clicks) << c.what;
    EXPECT_EQ(b_clicks, c.b_clicks) << c.what;
  }

  // Held down it looks sunk; moved off while held it comes up again. The
  // press gives it the focus, and with it the dark frame of the button that
  // Return presses: its edge lies inside the frame.
  Rig r;
  CommandButton a;
  a.bounds = {10, 10, 80, 24};
  r.form.client().add(a);
  r.form.show();
  EXPECT_EQ(r.frame().at(10, 10), kLight);
  const struct {
    K kind;
    int x;
    uint32_t corner;
  } looks[] = {{K::MouseDown, 20, kShadow},
               {K::MouseMove, 150, kLight},
               {K::MouseMove, 20, kShadow},
               {K::MouseUp, 20, kLight}};
  for (const auto& l : looks) {
    r.form.dispatch(r.event(l.kind, l.x, 20));
    r.form.paint_now();
    EXPECT_EQ(r.frame().at(10, 10), kText);
    EXPECT_EQ(r.frame().at(11, 11), l.corner) << static_cast<int>(l.kind) << " at " << l.x;
  }
}

bool dark(uint32_t p) {
  return ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)) < 200;
}

// How many dark pixels the rectangle holds.
int dark_pixels(const Surface& s, const Rect& r) {
  int n = 0;
  for (int y = r.y; y < r.y + r.height; ++y) {
    for (int x = r.x; x < r.x + r.width; ++x) n += dark(s.at(x, y));
  }
  return n;
}

TEST(FormsForm, PaintsEachControlAtItsPlaceClippedKeyedAndGivesThePointerShapes) {
  Rig r(220, 160);
  const uint32_t texture = pixel_rgb(40, 160, 40), red = pixel_rgb(220, 0, 0);
  const uint32_t blue = pixel_rgb(0, 0, 220), grey = pixel_rgb(224, 224, 224);
  Panel& client = r.form.client();
  client.image.fill_rect(0, 0, 220, 160, texture);

  ImageControl ring;  // a blue square open in the middle
  ring.bounds = {10, 10, 20, 20};
  Surface picture(20, 20, blue);
  picture.fill_rect(5, 5, 10, 10, kTransparentKey);
  ring.set_picture(picture);
  ring.pointer = PointerShape::Hand;

  Label clipped;  // far wider text than the label
  clipped.bounds = {10, 40, 60, 16};
  clipped.set_caption("WWWWWWWWWWWWWWWWWWWW");
  Label right;
  right.bounds = {80, 40, 60, 16};
  right.align = Align::Right;
  right.underline = true;
  right.set_caption("ab");
  Label over_ring;  // a plain control over one with a hand
  over_ring.bounds = {25, 25, 10, 10};

  ListBox list;
  list.bounds = {10, 70, 90, 60};
  for (const char* e : {"c", "a", "b"}) list.add(e);
  list.select(1);

  Panel panel;  // red, with an image control reaching out of it
  panel.bounds = {150, 10, 0, 0};
  panel.background = red;
  panel.set_size(50, 50);
  ImageControl out;
  out.bounds = {30, 30, 40, 40};
  out.set_picture(Surface(40, 40, blue));
  panel.add(out);

  PictureBox box;
  box.bounds = {150, 100, 0, 0};
  box.background = grey;
  box.set_size(30, 30);
  box.image.fill_rect(0, 0, 10, 10, red);
  box.set_size(40, 40);  // keeps its top-left part

  for (Control* c :
       std::initializer_list<Control*>{&ring, &clipped, &right, &over_ring, &list, &panel, &box}) {
    client.add(*c);
  }
  r.form.show();
  const Surface& f = r.frame();
  ASSERT_EQ(f.width(), 220);
  EXPECT_EQ(f.at(0, 0), texture);
  EXPECT_EQ(f.at(10, 10), blue);
  EXPECT_EQ(f.at(20, 20), texture);  // key pixels let the texture through
  // Text stays inside its label.
  EXPECT_GT(dark_pixels(f, clipped.bounds), 100);
  EXPECT_EQ(dark_pixels(f, Rect{70, 30, 10, 30}), 0);
  EXPECT_EQ(dark_pixels(f, Rect{10, 56, 60, 4}), 0);
  // Right-aligned and underlined: ink up to the right side, and a line.
  const int baseline = 40 + r.form.font()->ascent();
  EXPECT_GT(dark_pixels(f, Rect{136, 40, 4, 16}), 0);
  EXPECT_EQ(dark_pixels(f, Rect{80, 40, 30, 16}), 0);
  EXPECT_EQ(
      dark_pixels(f, Rect{140 - r.form.text_width("ab"), baseline + 1, r.form.text_width("ab"), 1}),
      r.form.text_width("ab"));
  // The list: its sunken edge, white rows, the second one selected.
  const int row = r.row_height();
  EXPECT_EQ(f.at(10, 70), kShadow);
  EXPECT_EQ(f.at(90, 72 + row / 2), kWhite);
  EXPECT_EQ(f.at(90, 72 + row + row / 2), kNavy);
  EXPECT_EQ(f.at(90, 72 + 3 * row + row / 2), kWhite);  // below the entries
  // The panel and its child, clipped to it.
  EXPECT_EQ(f.at(155, 15), red);
  EXPECT_EQ(f.at(190, 50), blue);
  EXPECT_EQ(f.at(205, 50), texture);
  EXPECT_EQ(f.at(190, 65), texture);
  // The picture box: its image, then its background.
  EXPECT_EQ(f.at(155, 105), red);
  EXPECT_EQ(f.at(175, 135), grey);
  EXPECT_EQ(f.at(185, 135), grey);
  const std::vector<std::pair<Rect, PointerShape>> shapes = {
      {ring.bounds, PointerShape::Hand}, {over_ring.bounds, PointerShape::Normal}};
  EXPECT_EQ(r.p.windows.at(r.form.window()).pointer_shapes, shapes);
}

TEST(FormsForm, TheLoopPresentsAtMostSixtyTimesASecondAndBusyDropsInputButPaints) {
  Rig r;
  ListBox list;
  list.bounds = {10, 10, 100, 100};
  CommandButton button;
  button.bounds = {120, 10, 60, 24};
  int clicks = 0;
  button.on_click = [&] { ++clicks; };
  r.form.client().add(list);
  r.form.client().add(button);
  r.form.show();
  // Two seconds of filling the list as a job of the form's loop, a file
  // every millisecond; the busy form drops the click that comes meanwhile.
  r.form.set_busy(true);
  EXPECT_TRUE(r.p.busy);
  const int64_t start = r.p.now_us();
  r.p.script(start + 500'000, r.event(Event::Kind::MouseDown, 130, 20));
  r.p.script(start + 500'000, r.event(Event::Kind::MouseUp, 130, 20));
  const int presents = r.p.presents;
  int added = 0;
  r.form.loop().add(start, [&](int64_t now) -> std::optional<int64_t> {
    list.add("file" + std::to_string(added));
    if (++added == 2000) return std::nullopt;
    return now + 1000;
  });
  r.form.run_modal();  // returns once nothing is left to do
  EXPECT_EQ(added, 2000);
  EXPECT_LE(r.p.presents - presents, 2 * 63 + 1);
  EXPECT_GE(r.p.presents - presents, 2 * 55);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(r.p.scripted_left(), 0u);
  r.form.set_busy(false);

  // Modal: events of other windows are not the form's; the close box runs
  // the handler when there is one, else closes; with nothing left to come
  // run_modal returns.
  int close_requests = 0;
  r.form.on_close_request = [&] { ++close_requests; };
  Event elsewhere = r.event(Event::Kind::MouseDown, 130, 20);
  elsewhere.window = r.form.window() + 1;
  r.p.script(0, elsewhere);
  r.p.script(0, r.event(Event::Kind::MouseUp, 130, 20));
  r.p.script(0, r.event(Event::Kind::CloseRequest));
  r.form.run_modal();
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(close_requests, 1);
  EXPECT_FALSE(r.form.closed());
  r.form.on_close_request = nullptr;
  r.p.script(0, r.event(Event::Kind::CloseRequest));
  r.form.run_modal();
  EXPECT_TRUE(r.form.closed());
  EXPECT_EQ(r.p.windows.count(r.form.window()), 0u);
}

// A message box over a form takes the form's input while it is up: a press
// held on the form when the box comes ends there, without acting, wherever
// its release goes; afterwards the next press goes where it is made.
TEST(FormsMessageBox, APressHeldOnItsOwnerEndsAsTheBoxComes) {
  using K = Event::Kind;
  const struct {
    const char* what;
    int pressed_x;  // on button a or on the list
    bool released_while_up;
    bool release_after;
  } cases[] = {
      {"button released over it while the box is up", 20, true, false},
      {"button released over it after the box", 20, false, true},
      {"button held through the box", 20, false, false},
      {"list row released while the box is up", 130, true, false},
  };
  for (const auto& c : cases) {
    Rig r;
    CommandButton a, b;
    a.bounds = {10, 10, 80, 24};
    b.bounds = {10, 50, 80, 24};
    ListBox list;
    list.bounds = {100, 10, 90, 120};
    for (const char* e : {"e0", "e1", "e2", "e3", "e4"}) list.add(e);
    int a_clicks = 0, b_clicks = 0;
    a.on_click = [&] { ++a_clicks; };
    b.on_click = [&] { ++b_clicks; };
    for (Control* control : std::initializer_list<Control*>{&a, &b, &list}) {
      r.form.client().add(*control);
    }
    r.form.show();
    r.form.dispatch(r.event(K::MouseDown, c.pressed_x, 15));
    // The box closes when Enter comes up (events of window 0 go to the
    // newest dialog, the box).
    if (c.released_while_up) r.p.script(0, r.event(K::MouseUp, c.pressed_x, 15));
    Event enter = r.event(K::KeyDown);
    enter.window = 0;
    enter.key = Key::Enter;
    r.p.script(0, enter);
    enter.kind = K::KeyUp;
    r.p.script(0, enter);
    run_message_box(r.p, r.form.window(), "text", "title", MessageIcon::None);
    ASSERT_EQ(r.p.scripted_left(), 0u) << c.what;
    if (c.release_after) r.form.dispatch(r.event(K::MouseUp, c.pressed_x, 15));

    // Nothing is held: a looks raised, the list's selection stays as the
    // pointer moves over it, and a click on b is b's.
    r.form.set_focus(&a);  // framed, its edge's corner at (11, 11)
    r.form.paint_now();
    EXPECT_EQ(r.frame().at(11, 11), kLight) << c.what;
    const int selected = list.selected();
    r.form.dispatch(r.event(K::MouseMove, 130, 100));
    EXPECT_EQ(list.selected(), selected) << c.what;
    r.click(20, 60);
    EXPECT_EQ(a_clicks, 0) << c.what;
    EXPECT_EQ(b_clicks, 1) << c.what;
  }
}

}  // namespace
}  // namespace vs::forms

namespace vs::forms {
namespace {

// A long path wraps at separators, and beyond its lines shows its end.
TEST(WrapPath, BreaksAtSeparatorsAndElidesTheMiddle) {
  // Every character 1 wide, whatever its bytes.
  auto measure = [](const std::string& t) { return static_cast<int>(decode_utf8(t).size()); };
  struct Case {
    const char* path;
    int width, max_lines;
    std::vector<std::string> lines;
  };
  for (const Case& c : {
           Case{"/a/b", 10, 2, {"/a/b"}},
           Case{"/pics/holiday/day", 10, 3, {"/pics/", "holiday/", "day"}},
           Case{"/pics/holiday/day", 10, 2, {"/pics/", "\u2026liday/day"}},
           Case{"/pics/holiday/day", 14, 2, {"/pics/holiday/", "day"}},
           Case{"C:\\Pics\\Summer", 9, 2, {"C:\\Pics\\", "Summer"}},
           Case{"abcdefghij", 4, 3, {"abcd", "efgh", "ij"}},  // no separator: between characters
           Case{"/one/two/three/four/five", 10, 2, {"/one/two/", "\u2026four/five"}},
           Case{"/写真/夏/北海道の湖", 5, 3, {"/写真/", "夏/", "北海道の湖"}},
           Case{"/写真/夏/北海道の湖と山", 5, 2, {"/写真/", "\u2026の湖と山"}},
           Case{"", 10, 2, {""}},
       }) {
    EXPECT_EQ(wrap_path(c.path, c.width, c.max_lines, measure), c.lines)
        << c.path << " in " << c.width;
  }
}

}  // namespace
}  // namespace vs::forms
