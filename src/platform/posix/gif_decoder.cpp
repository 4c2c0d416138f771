// GIF by giflib: the first frame only, drawn at its place on the logical
// screen. Frames are read record by record rather than with DGifSlurp, which
// would allocate every frame of the file at its declared size first.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "pictures/picture_sink.h"
#include "platform/posix/library_decoders.h"

namespace vs {

namespace {

struct MemoryInput {
  const unsigned char* next;
  size_t left;
};

int read_memory(GifFileType* gif, GifByteType* buffer, int wanted) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  size_t n = std::min(in->left, static_cast<size_t>(std::max(wanted, 0)));
  std::memcpy(buffer, in->next, n);
  in->next += n;
  in->left -= n;
  return static_cast<int>(n);
}

std::string gif_error(int code) {
  switch (code) {
    // giflib reports a descriptor cut off by the end of the data as missing.
    case D_GIF_ERR_READ_FAILED:
    case D_GIF_ERR_EOF_TOO_SOON:
    case D_GIF_ERR_NO_SCRN_DSCR:
    case D_GIF_ERR_NO_IMAG_DSCR:
      return "truncated GIF data";
    case D_GIF_ERR_NOT_GIF_FILE:
      return "not a GIF file";
    case D_GIF_ERR_NOT_ENOUGH_MEM:
      return "out of memory for the GIF picture";
    default: {
      const char* text = GifErrorString(code);
      return std::string("corrupt GIF data (") + (text ? text : "unknown error") + ")";
    }
  }
}

class GifFile {
 public:
  explicit GifFile(GifFileType* gif) : gif_(gif) {}
  ~GifFile() {
    int error = 0;
    DGifCloseFile(gif_, &error);
  }
  GifFile(const GifFile&) = delete;
  GifFile& operator=(const GifFile&) = delete;
  GifFileType* operator->() const { return gif_; }
  GifFileType* get() const { return gif_; }

 private:
  GifFileType* gif_;
};

// Skips an extension block, noting the transparent colour of a graphics
// control extension.
bool read_extension(GifFileType* gif, int& transparent) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
    GraphicsControlBlock gcb;
    if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
      transparent = gcb.TransparentColor;
    }
  }
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

// The frame row that comes n-th in the file: interlaced frames store every
// 8th row from 0, every 8th from 4, every 4th from 2, then every 2nd from 1.
int frame_row(int n, int height, bool interlaced) {
  if (!interlaced) return n;
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    int rows = (height - kStart[pass] + kStep[pass] - 1) / kStep[pass];
    if (rows < 0) rows = 0;
    if (n < rows) return kStart[pass] + n * kStep[pass];
    n -= rows;
  }
  return height;  // not reached for n < height
}

PictureResult draw_first_frame(GifFileType* gif, int transparent, const PictureView& view) {
  if (DGifGetImageDesc(gif) == GIF_ERROR) return PictureResult::failure(gif_error(gif->Error));
  const GifImageDesc& frame = gif->Image;
  const int64_t left = frame.Left, top = frame.Top, fw = frame.Width, fh = frame.Height;
  if (std::string why = picture_size_problem(fw, fh); !why.empty()) {
    return PictureResult::failure(why);
  }
  // Some writers leave the screen size 0: the frame then decides.
  int64_t sw = gif->SWidth, sh = gif->SHeight;
  if (sw <= 0 || sh <= 0) sw = left + fw, sh = top + fh;
  if (std::string why = picture_size_problem(sw, sh); !why.empty()) {
    return PictureResult::failure(why);
  }
  const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (map == nullptr || map->Colors == nullptr) {
    return PictureResult::failure("GIF picture has no colour table");
  }
  std::vector<uint32_t> colours(256, 0);
  for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
    const GifColorType& c = map->Colors[i];
    colours[static_cast<size_t>(i)] = pixel_rgb(c.Red, c.Green, c.Blue);
  }
  if (transparent >= 0 && transparent < 256) colours[static_cast<size_t>(transparent)] = 0;

  PictureSink picture(view);
  if (std::string why = picture.begin(sw, sh); !why.empty()) return PictureResult::failure(why);
  std::vector<GifPixelType> line(static_cast<size_t>(fw));
  const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min(left + fw, sw);
  for (int n = 0; n < fh; ++n) {
    if (DGifGetLine(gif, line.data(), static_cast<int>(fw)) == GIF_ERROR) {
      return PictureResult::failure(gif_error(gif->Error));
    }
    const int64_t y = top + frame_row(n, static_cast<int>(fh), frame.Interlace);
    if (y >= sh) {
      if (!frame.Interlace) break;  // every later row is off the screen too
      continue;
    }
    if (x0 >= x1) continue;
    picture.put_run(static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1 - x0),
                    [&](int k) { return colours[line[static_cast<size_t>(x0 + k - left)]]; });
  }
  return picture.finish();
}

}  // namespace

PictureResult decode_gif(std::string_view bytes, const PictureView& view) {
  MemoryInput input{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()};
  int error = 0;
  GifFileType* opened = DGifOpen(&input, read_memory, &error);
  if (opened == nullptr) return PictureResult::failure(gif_error(error));
  GifFile gif(opened);
  if (gif->SWidth > 0 && gif->SHeight > 0) {
    if (std::string why = picture_size_problem(gif->SWidth, gif->SHeight); !why.empty()) {
      return PictureResult::failure(why);
    }
  }
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) {
      return PictureResult::failure(gif_error(gif->Error));
    }
    switch (record) {
      case IMAGE_DESC_RECORD_TYPE:
        return draw_first_frame(gif.get(), transparent, view);
      case EXTENSION_RECORD_TYPE:
        if (!read_extension(gif.get(), transparent)) {
          return PictureResult::failure(gif_error(gif->Error));
        }
        break;
      case TERMINATE_RECORD_TYPE:
        return PictureResult::failure("GIF file holds no picture");
      default:
        return PictureResult::failure("corrupt GIF data (unknown record)");
    }
  }
}

}  // namespace vs
