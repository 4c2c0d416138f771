// The settings dialog's stock pictures, drawn by code rather than shipped as
// resources: the option and check marks, the heading plate, the command
// buttons' face, the background strip, the hand pointer and the window icon.
#pragma once

#include <cstdint>

#include "core/surface.h"
#include "forms/forms.h"
#include "platform/platform.h"

namespace vs {

// Round shapes leave the pixels they miss at forms::kTransparentKey, which
// image controls leave out, so the dialog's background shows around them.
// Their edge pixels are blended against the background's mid grey instead of
// being half transparent.

// Sizes are at 96 dots per inch; at another screen scale the pictures are
// drawn at that scale (not stretched), their sizes times the scale.

// 13 x 13: a round, sunken option mark; selected, it carries a red dot.
Surface stock_option_mark(bool selected, double scale = 1);

// 12 x 12: a square, sunken check box; checked, it is filled blue.
Surface stock_check_mark(bool checked, double scale = 1);

// 95 x 22: a grey plate with rounded ends that a heading is centred on.
Surface stock_heading_plate(double scale = 1);

// 103 x 37: light grey brushed metal for the command buttons, which show its
// top-left part; it has no edges of its own, so any cut of it looks whole.
Surface stock_button_face(double scale = 1);

// 563 x 21: grey brushed metal for the panels' background, stacked in one
// column; its pattern repeats every 21 rows, so the copies join without a
// seam.
Surface stock_background_strip();

// 32 x 32: a pointing hand, the fingertip at the hot spot (12, 1); pixels
// are black or white, the mask non-zero where the pointer is opaque.
PointerImage stock_hand_pointer(double scale = 1);

// 32 x 32: the program's icon, a small landscape drawn as a relief of
// coloured lines on black, as the saver draws pictures.
Surface stock_window_icon();

}  // namespace vs
