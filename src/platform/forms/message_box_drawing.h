// What the message box looks like: its layout for a measured text, and its
// pixels. Drawn into a Surface and presented like every other window, on
// systems that have no message box of their own.
#pragma once

#include <string>
#include <vector>

#include "platform/forms/paint.h"
#include "platform/platform.h"

namespace vs::forms {

struct MessageBoxLayout {
  int width = 0;
  int height = 0;
  Rect icon;
  Rect text;  // the text block; lines start at its top
  Rect button;
  int strip_top = 0;  // where the grey button strip starts
};

// Places the icon (when there is one), a text block of the given size and
// the OK button; the box is never wider or higher than the screen.
MessageBoxLayout layout_message_box(int text_width, int text_height, int screen_width,
                                    int screen_height, bool with_icon = true);

// The 32 x 32 icon with its top-left corner at (x, y).
void draw_message_icon(Surface& s, int x, int y, MessageIcon icon);

// The whole box; font may be null (no font found): the text is left out and
// the button keeps a drawn "OK".
void draw_message_box(Surface& s, const MessageBoxLayout& layout, Font* font,
                      const std::vector<std::string>& lines, MessageIcon icon, bool pressed);

}  // namespace vs::forms
