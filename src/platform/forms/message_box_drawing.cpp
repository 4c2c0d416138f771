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

}  // namespace vs::forms
