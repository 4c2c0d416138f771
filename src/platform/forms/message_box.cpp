#include "platform/forms/message_box.h"

#include <algorithm>

#include "platform/forms/message_box_drawing.h"

namespace vs::forms {

namespace {

constexpr double kTextPoints = 10.5;  // 14 pixels

}  // namespace

const std::vector<std::string>& message_font_families() {
  static const std::vector<std::string> families = {"MS PGothic", "IPAPGothic", "VL PGothic",
                                                    "Noto Sans CJK JP"};
  return families;
}

void run_message_box(Platform& p, WindowId owner, const std::string& text, const std::string& title,
                     MessageIcon icon) {
  std::vector<std::string> lines = split_lines(text);
  std::unique_ptr<Font> font = p.open_font(message_font_families(), kTextPoints, text + "OK");
  int text_width = 0, text_height = 0;
  if (font) {
    for (const std::string& line : lines) text_width = std::max(text_width, font->width(line));
    text_height = font->line_height() * static_cast<int>(lines.size());
  } else {
    p.report(title + ": " + text);
  }
  const ScreenInfo monitor = p.screen();
  MessageBoxLayout l = layout_message_box(text_width, text_height, monitor.width, monitor.height,
                                          icon != MessageIcon::None);
  DialogSpec spec;
  spec.title = title;
  spec.client_width = l.width;
  spec.client_height = l.height;
  spec.position = {monitor.left + (monitor.width - l.width) / 2,
                   monitor.top + (monitor.height - l.height) / 2};
  spec.owner = owner;
  const WindowId box = p.create_dialog_window(spec);
  if (box == 0) {
    if (font) p.report(title + ": " + text);  // else it is there already
    return;
  }
  Surface pixels(l.width, l.height);
  bool pressed = false;
  draw_message_box(pixels, l, font.get(), lines, icon, pressed);
  p.present(box, pixels, Rect{0, 0, l.width, l.height});
  p.show_window(box);
  bool open = true;
  Key armed = Key::Other;
  while (open) {
    std::optional<Event> e = p.next_event(-1);
    if (!e) break;                   // nothing can come any more
    if (e->window != box) continue;  // the box is modal: other input waits
    const bool was_pressed = pressed;
    switch (e->kind) {
      // Closed when the key comes up again: a key pressed before the box
      // came does not close it, and nothing is left to reach a window that
      // is gone.
      case Event::Kind::KeyDown:
        if (e->key == Key::Enter || e->key == Key::Space || e->key == Key::Escape) armed = e->key;
        break;
      case Event::Kind::KeyUp:
        if (armed != Key::Other && e->key == armed) open = false;
        break;
      case Event::Kind::MouseDown:
        if (e->button == MouseButton::Left) pressed = l.button.contains(e->x, e->y);
        break;
      case Event::Kind::MouseUp:
        if (e->button == MouseButton::Left) {
          if (pressed && l.button.contains(e->x, e->y)) open = false;
          pressed = false;
        }
        break;
      case Event::Kind::CloseRequest:
      case Event::Kind::WindowGone:
        open = false;
        break;
      default:
        break;
    }
    if (open && pressed != was_pressed) {
      draw_message_box(pixels, l, font.get(), lines, icon, pressed);
      p.present(box, pixels, l.button);
    }
  }
  p.destroy_window(box);
}

}  // namespace vs::forms
