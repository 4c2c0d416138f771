#include <algorithm>

#include "platform/forms/message_box_drawing.h"

namespace vs::forms {
namespace {

constexpr int kMargin = 24;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kStripHeight = 44;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kMinWidth = 240;

// "OK" for when no font could be found: 5 x 7 cells, one string per row.
constexpr const char* kOkGlyphs[7] = {
    ".###. #...#", "#...# #..#.", "#...# #.#..", "#...# ##...",
    "#...# #.#..", "#...# #..#.", ".###. #...#",
};

void frame_rect(Surface& s, const Rect& r, uint32_t pixel) {
  s.fill_rect(r.x, r.y, r.width, 1, pixel);
  s.fill_rect(r.x, r.y + r.height - 1, r.width, 1, pixel);
  s.fill_rect(r.x, r.y, 1, r.height, pixel);
  s.fill_rect(r.x + r.width - 1, r.y, 1, r.height, pixel);
}

}  // namespace

MessageBoxLayout layout_message_box(int text_width, int text_height, int screen_width,
                                    int screen_height, bool with_icon) {
  MessageBoxLayout l;
  const int icon = with_icon ? kIconSize : 0, gap = with_icon ? kIconGap : 0;
  int content = std::max(icon, text_height);
  l.width = std::max(kMinWidth, kMargin + icon + gap + text_width + kMargin);
  l.height = kMargin + content + kMargin + kStripHeight;
  if (screen_width > 0) l.width = std::min(l.width, screen_width);
  if (screen_height > 0) l.height = std::min(l.height, screen_height);
  l.icon = {kMargin, kMargin + (content - icon) / 2, icon, icon};
  l.text = {kMargin + icon + gap, kMargin + (content - text_height) / 2, text_width, text_height};
  l.strip_top = l.height - kStripHeight;
  l.button = {l.width - kMargin / 2 - kButtonWidth,
              l.strip_top + (kStripHeight - kButtonHeight) / 2, kButtonWidth, kButtonHeight};
  return l;
}

void draw_message_box(Surface& s, const MessageBoxLayout& l, Font* font,
                      const std::vector<std::string>& lines, MessageIcon icon, bool pressed) {
  const uint32_t black = 0;
  s.fill_rect(0, 0, l.width, l.strip_top, pixel_rgb(255, 255, 255));
  s.fill_rect(0, l.strip_top, l.width, l.height - l.strip_top, pixel_rgb(240, 240, 240));
  // Our own edge: without a window manager nobody else draws one.
  frame_rect(s, Rect{0, 0, l.width, l.height}, pixel_rgb(128, 128, 128));
  draw_message_icon(s, l.icon.x, l.icon.y, icon);

  const Rect& b = l.button;
  s.fill_rect(b.x, b.y, b.width, b.height,
              pressed ? pixel_rgb(204, 228, 247) : pixel_rgb(225, 225, 225));
  // The default button's blue frame, as the system draws it.
  frame_rect(s, b, pressed ? pixel_rgb(0, 84, 153) : pixel_rgb(0, 120, 215));

  if (font) {
    for (size_t i = 0; i < lines.size(); ++i) {
      int baseline = l.text.y + font->ascent() + static_cast<int>(i) * font->line_height();
      font->draw(s, l.text.x, baseline, lines[i], black);
    }
    int label = font->width("OK");
    int baseline = b.y + (b.height - font->line_height()) / 2 + font->ascent();
    font->draw(s, b.x + (b.width - label) / 2, baseline, "OK", black);
  } else {
    int left = b.x + (b.width - 11) / 2, top = b.y + (b.height - 7) / 2;
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 11; ++x) {
        if (kOkGlyphs[y][x] == '#') s.set_pixel(left + x, top + y, black);
      }
    }
  }
}

}  // namespace vs::forms
