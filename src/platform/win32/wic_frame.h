// One picture frame as the Windows Imaging Component decodes it, shared by
// every kind WIC decodes for us. Our own readers look at a file before WIC
// does (its size, checked before anything is allocated; damage; where the
// picture sits); WIC then decodes the first frame from memory in bands of
// rows, and only the rows a view keeps are kept. Rows come out as the saver
// shows them: transparent parts over black, 16-bit samples rounded to 8.
#pragma once

#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/picture.h"
#include "core/picture_fit.h"
#include "pictures/decoders.h"

namespace vs {

// COM on the calling thread while a picture is decoded (loads run on a
// thread of their own). A thread that already uses COM in the other
// apartment model keeps it; WIC works in either.
class ComScope {
 public:
  ComScope();
  ~ComScope();
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  HRESULT result() const { return result_; }

 private:
  bool owned_ = false;
  HRESULT result_ = S_OK;
};

// A few words for WIC's failures, or its number.
std::string wic_error(HRESULT hr);

// A picture kind as WIC decodes it.
struct WicKind {
  PictureKind kind;
  const GUID* container;  // the container format its decoder is registered for
  const char* install;    // what to install where the system has no decoder for it, or ""
};

// The first frame of a file held in memory: a TIFF's first page, an
// animation's first frame, a HEIF file's primary picture. Members go in the
// order they are released in reverse: COM itself last.
class WicFrame {
 public:
  WicFrame();
  ~WicFrame();
  WicFrame(const WicFrame&) = delete;
  WicFrame& operator=(const WicFrame&) = delete;

  // The system's decoder for the kind, made before any byte of the file is
  // shown to it: "" or the reason (missing_decoder_reason when there is
  // none).
  std::string find_decoder(const WicKind& kind);

  // Opens the first frame for reading. width x height is the size our own
  // reader found in the file, which the decoder must agree with (or with
  // height x width, where `turned` allows: a picture the file says to turn a
  // quarter). "" or the reason.
  std::string open(std::string_view bytes, int64_t width, int64_t height, bool turned = false);

  // The reason for a failed step, in the words of the kind.
  std::string failed(HRESULT hr) const;

  int width() const { return width_; }
  int height() const { return height_; }

  // The EXIF orientation (1 to 8) the frame's metadata holds at a query
  // path ("/ifd/{ushort=274}"); 1 without one.
  int orientation_at(const wchar_t* query) const;
  // The orientation WIC's HEIF decoder reports for the picture, in EXIF's
  // numbering; 1 without one.
  int heif_orientation() const;

  // The ICC profile the frame's colours are in, as the file embeds it;
  // empty for none (and for one too large to be a picture's).
  std::string colour_profile() const;

  // Calls take(y, row) for each row y of the frame that wanted(y) asks for,
  // top to bottom, with the row's width() pixels as the saver shows them
  // (0x00RRGGBB); reads bands of rows that hold at least one of them.
  HRESULT read_rows(const std::function<bool(int)>& wanted,
                    const std::function<void(int, const uint32_t*)>& take);

 private:
  // How the pixels handed over lie: WIC's 32-bit BGRA by its converter,
  // or as the frame stores them where converting would lose something
  // (16-bit samples, colours already over black, CMYK ink).
  enum class Layout {
    Bgra8,
    Pbgra8,
    Prgba8,
    Cmyk8,
    Rgba16,
    Bgra16,
    Prgba16,
    Pbgra16,
    Rgb16,
    Bgr16,
    Grey16
  };

  HRESULT start_reading();
  void convert_row(const unsigned char* in, uint32_t* out) const;

  ComScope com_;
  Microsoft::WRL::ComPtr<IWICImagingFactory> factory_;
  Microsoft::WRL::ComPtr<IWICBitmapDecoder> decoder_;
  Microsoft::WRL::ComPtr<IWICStream> stream_;
  Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> frame_;
  Microsoft::WRL::ComPtr<IWICFormatConverter> converter_;
  IWICBitmapSource* source_ = nullptr;
  WicKind kind_{PictureKind::Unknown, nullptr, ""};
  int width_ = 0, height_ = 0;
  GUID format_{};
  Layout layout_ = Layout::Bgra8;
  int bytes_per_pixel_ = 4;
};

// The opened frame's picture: decoded whole and turned upright by an EXIF
// orientation (1 as stored) before the view keeps its part, or only the
// rows the view keeps when it needs no turn; the colour profile the frame
// embeds goes with it.
PictureResult read_frame_picture(WicFrame& frame, int orientation, const PictureView& view);

}  // namespace vs
