// The blocks of a GIF file up to the end of its first picture, walked by our
// own bounds-checked reader: the logical screen, where the first frame sits
// on it, its transparent colour, and whether the file is damaged or cut
// short. The Linux edition's giflib decides these as it decodes; the Windows
// edition's decoder (the Windows Imaging Component) gives the frame without
// its place and reports damage in its own words. So the walk follows
// giflib's reading and uses the Linux edition's words: the same file fails
// for the same reason on both.
#pragma once

#include <string>
#include <string_view>

namespace vs {

struct GifStructure {
  // The picture's size: the logical screen, or where a writer left that 0,
  // the first frame's right and bottom edges.
  int width = 0;
  int height = 0;
  // The first frame on it (it may reach past the screen's edges).
  int left = 0, top = 0, frame_width = 0, frame_height = 0;
  int transparent = -1;  // the colour index shown as black, or -1
};

// Returns the reason the Linux edition gives for such a file ("truncated GIF
// data", "corrupt GIF data (Wrong record type detected)", "picture too large
// (65535 x 65535)", ...), or "" when its first frame may be decoded.
std::string read_gif_structure(std::string_view bytes, GifStructure& out);

}  // namespace vs
