#include "forms/message_box.h"

#include <algorithm>

#include "forms/forms.h"
#include "forms/message_box_drawing.h"

namespace vs::forms {

namespace {

constexpr double kTextPoints = 10.5;  // 14 pixels
constexpr uint32_t kPaper = pixel_rgb(255, 255, 255);
constexpr uint32_t kStrip = pixel_rgb(240, 240, 240);
constexpr uint32_t kOutline = pixel_rgb(128, 128, 128);
constexpr uint32_t kButtonFace = pixel_rgb(225, 225, 225);
// The default button's blue frame, as the system draws it.
constexpr uint32_t kDefaultFrame = pixel_rgb(0, 120, 215);

// "OK" for when no font could be found: 5 x 7 cells, one string per row.
constexpr const char* kOkGlyphs[7] = {
    ".###. #...#", "#...# #..#.", "#...# #.#..", "#...# ##...",
    "#...# #.#..", "#...# #..#.", ".###. #...#",
};

void outline(Surface& s, const Rect& r, uint32_t pixel, int line) {
  s.fill_rect(r.x, r.y, r.width, line, pixel);
  s.fill_rect(r.x, r.y + r.height - line, r.width, line, pixel);
  s.fill_rect(r.x, r.y, line, r.height, pixel);
  s.fill_rect(r.x + r.width - line, r.y, line, r.height, pixel);
}

// The button's plain face; without a font the caption is part of it.
Surface button_face(int width, int height, bool drawn_caption, int cell) {
  Surface face(width, height, kButtonFace);
  if (drawn_caption) {
    const int left = (width - 11 * cell) / 2, top = (height - 7 * cell) / 2;
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 11; ++x) {
        if (kOkGlyphs[y][x] == '#')
          face.fill_rect(left + x * cell, top + y * cell, cell, cell, kText);
      }
    }
  }
  return face;
}

}  // namespace

const std::vector<std::string>& message_font_families() {
  static const std::vector<std::string> families = {"MS PGothic", "IPAPGothic", "VL PGothic",
                                                    "Noto Sans CJK JP"};
  return families;
}

void run_message_box(Platform& p, WindowId owner, const std::string& text, const std::string& title,
                     MessageIcon icon) {
  const double scale = p.window_system().dialog_scale();
  std::unique_ptr<Font> font =
      p.system().open_font(message_font_families(), kTextPoints * scale, text + "OK");
  const bool with_font = font != nullptr;
  int text_width = 0, text_height = 0;
  if (with_font) {
    const std::vector<std::string> lines = split_lines(text);
    for (const std::string& line : lines) text_width = std::max(text_width, font->width(line));
    text_height = font->line_height() * static_cast<int>(lines.size());
  } else {
    p.system().report(title + ": " + text);
  }
  const ScreenInfo monitor = p.window_system().screen();
  const MessageBoxLayout l = layout_message_box(text_width, text_height, monitor.width,
                                                monitor.height, icon != MessageIcon::None, scale);
  DialogSpec spec;
  spec.title = title;
  spec.client_width = l.width;
  spec.client_height = l.height;
  spec.position = {monitor.left + (monitor.width - l.width) / 2,
                   monitor.top + (monitor.height - l.height) / 2};
  spec.owner = owner;
  spec.scale = scale;
  Form form(p, spec, std::move(font));
  if (!form.made()) {
    if (with_font) p.system().report(title + ": " + text);  // else it is there already
    return;
  }

  Surface& paper = form.client().image;
  paper.fill_rect(0, 0, l.width, l.strip_top, kPaper);
  paper.fill_rect(0, l.strip_top, l.width, l.height - l.strip_top, kStrip);
  // Our own edge: without a window manager nobody else draws one.
  outline(paper, Rect{0, 0, l.width, l.height}, kOutline, form.line());

  ImageControl picture;
  picture.bounds = l.icon;
  Surface drawn(l.icon.width, l.icon.height, kPaper);
  draw_message_icon(drawn, 0, 0, icon, l.icon.width);
  picture.set_picture(drawn);

  Label message;
  message.bounds = l.text;
  message.set_caption(text);

  // The frame round the default button lies under it, open in the middle.
  ImageControl frame;
  frame.bounds = inset(l.button, -form.line());
  Surface ring(frame.bounds.width, frame.bounds.height, kTransparentKey);
  outline(ring, Rect{0, 0, ring.width(), ring.height()}, kDefaultFrame, form.line());
  frame.set_picture(ring);

  CommandButton ok;
  ok.bounds = l.button;
  ok.caption = with_font ? "OK" : "";
  ok.face = button_face(l.button.width, l.button.height, !with_font, form.line());
  ok.on_click = [&form] { form.close(); };

  for (Control* c : std::initializer_list<Control*>{&picture, &message, &frame, &ok}) {
    form.client().add(*c);
  }
  form.set_tab_order({&ok});
  // Enter, Space and Escape close the box when they come up again: a key
  // pressed before the box came does not close it, and nothing is left to
  // reach a window that is gone.
  Key armed = Key::Other;
  form.on_key = [&](const Event& e) {
    if (e.key != Key::Enter && e.key != Key::Space && e.key != Key::Escape) return false;
    if (e.kind == Event::Kind::KeyDown) {
      armed = e.key;
    } else if (e.key == armed) {
      form.close();
    }
    return true;
  };
  form.show();
  form.run_modal();
}

}  // namespace vs::forms
