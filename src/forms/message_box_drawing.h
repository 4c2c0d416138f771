// What the message box looks like: its layout for a measured text, and its
// icons, drawn by code.
#pragma once

#include <string>
#include <vector>

#include "forms/paint.h"
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
// the OK button, at the screen scale; the box is never wider or higher than
// the screen.
MessageBoxLayout layout_message_box(int text_width, int text_height, int screen_width,
                                    int screen_height, bool with_icon = true, double scale = 1);

// The icon, size x size (32 at 96 dots per inch), with its top-left corner
// at (x, y), blended over what the surface holds.
void draw_message_icon(Surface& s, int x, int y, MessageIcon icon, int size = 32);

}  // namespace vs::forms
