#include <algorithm>
#include <cmath>

#include "core/scale.h"
#include "forms/message_box_drawing.h"

namespace vs::forms {
namespace {

constexpr int kMargin = 24;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kStripHeight = 44;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kMinWidth = 240;

}  // namespace

MessageBoxLayout layout_message_box(int text_width, int text_height, int screen_width,
                                    int screen_height, bool with_icon, double scale) {
  auto px = [scale](int length) { return scaled_length(length, scale); };
  const int margin = px(kMargin), strip = px(kStripHeight);
  const int button_width = px(kButtonWidth), button_height = px(kButtonHeight);
  MessageBoxLayout l;
  const int icon = with_icon ? px(kIconSize) : 0, gap = with_icon ? px(kIconGap) : 0;
  int content = std::max(icon, text_height);
  l.width = std::max(px(kMinWidth), margin + icon + gap + text_width + margin);
  l.height = margin + content + margin + strip;
  if (screen_width > 0) l.width = std::min(l.width, screen_width);
  if (screen_height > 0) l.height = std::min(l.height, screen_height);
  l.icon = {margin, margin + (content - icon) / 2, icon, icon};
  l.text = {margin + icon + gap, margin + (content - text_height) / 2, text_width, text_height};
  l.strip_top = l.height - strip;
  l.button = {l.width - margin / 2 - button_width, l.strip_top + (strip - button_height) / 2,
              button_width, button_height};
  return l;
}

}  // namespace vs::forms
