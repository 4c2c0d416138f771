// The outcome of loading a picture file: the pixels, or why there are none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/surface.h"

namespace vs {

// Which pixels of a picture were kept. A picture larger than what its user
// looks at (a 16384-pixel-wide bitmap fitted to a 1920-pixel screen) keeps
// only the rows and columns that the fit reads: its Surface then holds
// cols.size() x rows.size() pixels, pixel (i, j) being the picture's pixel
// (cols[i], rows[j]). Both lists ascend. Empty lists: the Surface is the
// whole picture.
struct PixelSubset {
  int width = 0;  // the whole picture's size
  int height = 0;
  std::vector<int> cols;
  std::vector<int> rows;

  bool whole() const { return cols.empty() && rows.empty(); }
};

struct PictureResult {
  bool ok = false;
  Surface picture;     // valid when ok: the whole picture or the kept pixels
  std::string reason;  // a short, user-readable reason when !ok ("not a picture file", ...)
  PixelSubset kept;    // which pixels `picture` holds; whole unless a view left some out
  // The ICC profile the pixels' colours are in, as the file embeds it; empty
  // for sRGB. Pictures leave the decoding in sRGB, with this empty.
  std::string colour_profile;

  // The picture's own size, whether or not all of it was kept.
  int width() const { return kept.whole() ? picture.width() : kept.width; }
  int height() const { return kept.whole() ? picture.height() : kept.height; }

  static PictureResult success(Surface s) { return {true, std::move(s), {}, {}, {}}; }
  static PictureResult failure(std::string why) { return {false, {}, std::move(why), {}, {}}; }
};

// No picture may need more pixels than this: larger declared sizes are a
// picture that cannot be loaded, checked before anything is allocated.
constexpr long long kMaxPicturePixels = 1LL << 28;

// Picture files larger than this are not read at all, on either edition.
constexpr int64_t kMaxPictureFileBytes = int64_t{256} << 20;

// What the process that decodes one picture may take, on either edition:
// its wall-clock time before it is ended, and its memory (the file, the
// decoder's working memory and a picture of the largest size that may be
// decoded whole).
constexpr int kDecoderWallMs = 5000;
constexpr uint64_t kDecoderMemoryBytes = uint64_t{1280} << 20;

}  // namespace vs
