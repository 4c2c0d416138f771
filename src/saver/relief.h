// The relief renderer: draws the fitted picture of Master on Display, every
// pixel lifted by a height that grows with its lightness, as dots or as one
// connected line per row, with the event hook run after every pixel.
#pragma once

#include <cstdint>

#include "core/surface.h"
#include "saver/saver_form.h"
#include "settings/module_state.h"

namespace vs {

// The tallest lift, for white.
constexpr int kMaxReliefHeight = 48;

// Clears Display and draws Master on it as a relief, centred, rows top to
// bottom. Stops at once when the hook reports that the program has ended.
// When the hook runs, Pos_X and Pos_Y already name the next pixel (so the
// row under way is known); the other working values are left as the last
// pixel walked left them when the drawing returns.
void Draw_Relief(SaverForm& f, Varnoscape_B& m, EventHook& hook);

// Copies pic's pixels into grid, which the caller has sized: grid(x, y)
// becomes pic(x, y) wherever both have that pixel. True when there was
// nothing to read (an empty picture); grid is then left untouched.
bool Get_Pixels(const Surface& pic, Surface& grid);

// Lightness of (Col_R, Col_G, Col_B) into Lightness: the HLS lightness on a
// scale of 0 to 240, plus 0.5.
void Get_Lightness(Varnoscape_B& m);

int16_t Max_Of(int16_t a, int16_t b);
int16_t Min_Of(int16_t a, int16_t b);

// Draw_Relief with another pixel reader in place of Get_Pixels, so that a
// failing read can be tried.
using PixelReader = bool (*)(const Surface& pic, Surface& grid);
void draw_relief_with(SaverForm& f, Varnoscape_B& m, EventHook& hook, PixelReader read);

}  // namespace vs
