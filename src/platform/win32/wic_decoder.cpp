// GIF and JPEG by the Windows Imaging Component. Our own readers look at the
// file first (gif_structure.h, jpeg_structure.h): its size, checked before
// anything is allocated, where a GIF's first frame sits and which colour is
// transparent, a photo's EXIF orientation, and whether the file is damaged
// or cut short, so that both editions agree on the pixels and the reasons.
// WIC then decodes the first frame from memory as 32-bit BGRA, in bands of
// rows, and only the rows a view keeps are kept.
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "pictures/exif.h"
#include "pictures/gif_structure.h"
#include "pictures/jpeg_structure.h"
#include "pictures/picture_sink.h"
#include "platform/win32/windows_decoders.h"

namespace vs {

namespace {

using Microsoft::WRL::ComPtr;

// A band of rows is read from WIC at a time: a few megabytes at most.
constexpr size_t kBandBytes = size_t{4} << 20;
constexpr int kMaxBandRows = 64;

// COM on the calling thread while a picture is decoded (loads run on a
// thread of their own). A thread that already uses COM in the other
// apartment model keeps it; WIC works in either.
class ComScope {
 public:
  ComScope() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    owned_ = SUCCEEDED(hr);
    result_ = owned_ || hr == RPC_E_CHANGED_MODE ? S_OK : hr;
  }
  ~ComScope() {
    if (owned_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  HRESULT result() const { return result_; }

 private:
  bool owned_ = false;
  HRESULT result_ = S_OK;
};

std::string wic_error(HRESULT hr) {
  switch (hr) {
    case WINCODEC_ERR_BADIMAGE:
      return "the system's decoder found the picture damaged";
    case WINCODEC_ERR_BADHEADER:
      return "the system's decoder found the header damaged";
    case WINCODEC_ERR_FRAMEMISSING:
      return "the system's decoder found no picture";
    case WINCODEC_ERR_COMPONENTNOTFOUND:
      return "the system has no decoder for it";
    default: {
      char text[48];
      std::snprintf(text, sizeof text, "WIC error 0x%08lX", static_cast<unsigned long>(hr));
      return text;
    }
  }
}

// The first frame of a file held in memory, as WIC decodes it. Members go
// in the order they are released in reverse: COM itself last.
class WicFrame {
 public:
  // Opens the first frame, which our own reader found to be w x h, for
  // reading. "" or the reason, in the words of the kind ("GIF", "JPEG").
  std::string open(std::string_view bytes, const GUID& container, const std::string& kind,
                   int64_t w, int64_t h) {
    kind_ = kind;
    std::string why = open_frame(bytes, container);
    if (!why.empty()) return why;
    if (width_ != w || height_ != h) {
      return "corrupt " + kind + " data (the system's decoder sees " + std::to_string(width_) +
             " x " + std::to_string(height_) + ", the file says " + std::to_string(w) + " x " +
             std::to_string(h) + ")";
    }
    if (HRESULT hr = start_reading(); FAILED(hr)) return failed(hr);
    return {};
  }

  // The reason for a failed step, in the words of the kind.
  std::string failed(HRESULT hr) const {
    if (hr == E_OUTOFMEMORY) return "out of memory for the " + kind_ + " picture";
    return "corrupt " + kind_ + " data (" + wic_error(hr) + ")";
  }

  int width() const { return width_; }
  int height() const { return height_; }
  bool cmyk() const { return format_ == GUID_WICPixelFormat32bppCMYK; }

 private:
  std::string open_frame(std::string_view bytes, const GUID& container) {
    if (FAILED(com_.result())) {
      return "picture decoder could not start (" + wic_error(com_.result()) + ")";
    }
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&factory_));
    if (FAILED(hr)) return "picture decoder could not start (" + wic_error(hr) + ")";
    if (FAILED(hr = factory_->CreateStream(&stream_))) return failed(hr);
    // WIC only reads the memory; the file is at most 256 MB.
    hr = stream_->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                       static_cast<DWORD>(bytes.size()));
    if (FAILED(hr)) return failed(hr);
    hr = factory_->CreateDecoderFromStream(stream_.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                           &decoder_);
    if (FAILED(hr)) return failed(hr);
    GUID found{};
    if (FAILED(hr = decoder_->GetContainerFormat(&found))) return failed(hr);
    if (found != container) return failed(WINCODEC_ERR_COMPONENTNOTFOUND);
    if (FAILED(hr = decoder_->GetFrame(0, &frame_))) return failed(hr);
    UINT w = 0, h = 0;
    if (FAILED(hr = frame_->GetSize(&w, &h))) return failed(hr);
    width_ = static_cast<int>(w);
    height_ = static_cast<int>(h);
    if (FAILED(hr = frame_->GetPixelFormat(&format_))) return failed(hr);
    return {};
  }

  // The frame as 32-bit BGRA, or as stored when it is CMYK (which we turn
  // into colours ourselves, as the Linux edition does).
  HRESULT start_reading() {
    if (cmyk()) {
      source_ = frame_.Get();
      return S_OK;
    }
    HRESULT hr = factory_->CreateFormatConverter(&converter_);
    if (FAILED(hr)) return hr;
    hr = converter_->Initialize(frame_.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                nullptr, 0.0, WICBitmapPaletteTypeCustom);
    if (FAILED(hr)) return hr;
    source_ = converter_.Get();
    return S_OK;
  }

 public:
  // Calls take(y, row) for each row y of the frame that wanted(y) asks for,
  // top to bottom, reading bands of rows that hold at least one of them.
  template <class Wanted, class Take>
  HRESULT read_rows(Wanted wanted, Take take) {
    const size_t row_pixels = static_cast<size_t>(width_);
    const int band = static_cast<int>(
        std::clamp<size_t>(kBandBytes / (row_pixels * 4), 1, static_cast<size_t>(kMaxBandRows)));
    std::vector<uint32_t> pixels;
    for (int top = 0; top < height_; top += band) {
      const int rows = std::min(band, height_ - top);
      bool any = false;
      for (int y = top; y < top + rows && !any; ++y) any = wanted(y);
      if (!any) continue;
      pixels.resize(row_pixels * static_cast<size_t>(rows));
      const WICRect rect{0, top, width_, rows};
      const UINT stride = static_cast<UINT>(row_pixels * 4);
      const HRESULT hr = source_->CopyPixels(&rect, stride, stride * static_cast<UINT>(rows),
                                             reinterpret_cast<BYTE*>(pixels.data()));
      if (FAILED(hr)) return hr;
      for (int y = top; y < top + rows; ++y) {
        if (wanted(y)) take(y, pixels.data() + row_pixels * static_cast<size_t>(y - top));
      }
    }
    return S_OK;
  }

 private:
  ComScope com_;
  ComPtr<IWICImagingFactory> factory_;
  ComPtr<IWICStream> stream_;
  ComPtr<IWICBitmapDecoder> decoder_;
  ComPtr<IWICBitmapFrameDecode> frame_;
  ComPtr<IWICFormatConverter> converter_;
  IWICBitmapSource* source_ = nullptr;
  int width_ = 0, height_ = 0;
  GUID format_{};
  std::string kind_;
};

}  // namespace

PictureResult decode_gif(std::string_view bytes, const PictureView& view) {
  GifStructure gif;
  if (std::string why = read_gif_structure(bytes, gif); !why.empty()) {
    return PictureResult::failure(why);
  }
  WicFrame frame;
  if (std::string why =
          frame.open(bytes, GUID_ContainerFormatGif, "GIF", gif.frame_width, gif.frame_height);
      !why.empty()) {
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
    picture.put_run(gif.top + fy, static_cast<int>(x0), static_cast<int>(x1 - x0), [&](int k) {
      const uint32_t p = row[x0 + k - gif.left];
      return (p >> 24) == 0 ? 0u : p & 0xFFFFFF;
    });
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
  if (std::string why =
          frame.open(bytes, GUID_ContainerFormatJpeg, "JPEG", jpeg.width, jpeg.height);
      !why.empty()) {
    return PictureResult::failure(why);
  }
  // A turned picture is decoded whole and kept in part once it is upright.
  PictureSink picture(jpeg.orientation == 1 ? view : PictureView{});
  if (std::string why = picture.begin(jpeg.width, jpeg.height); !why.empty()) {
    return PictureResult::failure(why);
  }
  const bool cmyk = frame.cmyk();
  auto wanted = [&](int y) { return picture.keeps_row(y); };
  auto take = [&](int y, const uint32_t* row) {
    uint32_t* out = picture.row(y);
    if (cmyk) {
      // WIC hands CMYK over as ink (0 is none), whatever the file stores.
      convert_cmyk_row(reinterpret_cast<const unsigned char*>(row), out, jpeg.width, false);
    } else {
      for (int x = 0; x < jpeg.width; ++x) out[x] = row[x] & 0xFFFFFF;
    }
    picture.row_done(y);
  };
  if (HRESULT hr = frame.read_rows(wanted, take); FAILED(hr)) {
    return PictureResult::failure(frame.failed(hr));
  }
  return upright_picture(picture.finish(), jpeg.orientation, view);
}

}  // namespace vs
