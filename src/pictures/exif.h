// The EXIF orientation of a photo and the turn that puts it upright.
#pragma once

#include <string_view>

#include "core/picture.h"
#include "core/picture_fit.h"
#include "core/surface.h"

namespace vs {

// The orientation (1 to 8) stored in an APP1 segment's payload ("Exif\0\0"
// followed by a TIFF header), read from IFD0's tag 0x0112. 1 (as stored)
// when the payload is not EXIF, has no such tag, or is damaged.
int exif_orientation(std::string_view app1_payload);

// The same of an EXIF block as PNG's eXIf and WebP's EXIF chunks hold it:
// the TIFF header first, with or without the "Exif\0\0" mark before it.
int exif_block_orientation(std::string_view block);

// The picture as it is meant to be seen, for an EXIF orientation:
// 1 as stored, 2 mirrored left-right, 3 turned half round, 4 mirrored
// top-bottom, 5 mirrored along the main diagonal, 6 turned a quarter
// clockwise, 7 mirrored along the other diagonal, 8 turned a quarter
// anticlockwise. Other values leave it as stored.
Surface orient_picture(Surface picture, int orientation);

// A photo decoded whole as stored, turned upright and then kept in part as
// the view asks (a turned picture's kept rows are only known once upright),
// with the colour profile its file embeds, if any.
PictureResult upright_picture(PictureResult decoded, int orientation, const PictureView& view,
                              std::string colour_profile = {});

}  // namespace vs
