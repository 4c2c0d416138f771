// GIF and JPEG by the Windows Imaging Component (wic_frame.h). Our own
// readers look at the file first (gif_structure.h, jpeg_structure.h): its
// size, checked before anything is allocated, where a GIF's first frame sits
// and which colour is transparent, a photo's EXIF orientation, and whether
// the file is damaged or cut short, so that both editions agree on the
// pixels and the reasons.
#include <algorithm>
#include <string>

#include "pictures/gif_structure.h"
#include "pictures/jpeg_structure.h"
#include "pictures/picture_sink.h"
#include "platform/win32/wic_frame.h"
#include "platform/win32/windows_decoders.h"

namespace vs {

namespace {

constexpr WicKind kGif{PictureKind::Gif, &GUID_ContainerFormatGif, ""};
constexpr WicKind kJpeg{PictureKind::Jpeg, &GUID_ContainerFormatJpeg, ""};

}  // namespace

PictureResult decode_gif(std::string_view bytes, const PictureView& view) {
  GifStructure gif;
  if (std::string why = read_gif_structure(bytes, gif); !why.empty()) {
    return PictureResult::failure(why);
  }
  WicFrame frame;
  if (std::string why = frame.find_decoder(kGif); !why.empty()) return PictureResult::failure(why);
  if (std::string why = frame.open(bytes, gif.frame_width, gif.frame_height); !why.empty()) {
    return PictureResult::failure(why);
  }
  PictureSink picture(view);
  if (std::string why = picture.begin(gif.width, gif.height); !why.empty()) {
    return PictureResult::failure(why);
  }
  // The frame at its place on the screen, cut at the screen's edges; the
  // rest of the screen, and the transparent colour, stay black.
  const int64_t x0 = std::max(gif.left, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{gif.left} + gif.frame_width, gif.width);
  auto wanted = [&](int fy) {
    const int64_t y = int64_t{gif.top} + fy;
    return x0 < x1 && y < gif.height && picture.keeps_row(static_cast<int>(y));
  };
  auto take = [&](int fy, const uint32_t* row) {
    picture.put_run(gif.top + fy, static_cast<int>(x0), static_cast<int>(x1 - x0),
                    [&](int k) { return row[x0 + k - gif.left]; });
  };
  if (HRESULT hr = frame.read_rows(wanted, take); FAILED(hr)) {
    return PictureResult::failure(frame.failed(hr));
  }
  return picture.finish();
}

PictureResult decode_jpeg(std::string_view bytes, const PictureView& view) {
  JpegStructure jpeg;
  if (std::string why = read_jpeg_structure(bytes, jpeg); !why.empty()) {
    return PictureResult::failure(why);
  }
  WicFrame frame;
  if (std::string why = frame.find_decoder(kJpeg); !why.empty()) return PictureResult::failure(why);
  if (std::string why = frame.open(bytes, jpeg.width, jpeg.height); !why.empty()) {
    return PictureResult::failure(why);
  }
  return read_frame_picture(frame, jpeg.orientation, view);
}

}  // namespace vs
