#include "platform/win32/wic_frame.h"

#include <mferror.h>
#include <propidl.h>
#include <wincodecsdk.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "pictures/colour_check.h"
#include "pictures/decoders.h"
#include "pictures/exif.h"
#include "pictures/jpeg_structure.h"
#include "pictures/picture_sink.h"
#include "pictures/sample_rounding.h"

namespace vs {

namespace {

using Microsoft::WRL::ComPtr;

// A band of rows is read from WIC at a time: a few megabytes at most.
constexpr size_t kBandBytes = size_t{4} << 20;
constexpr int kMaxBandRows = 64;

// WICHeifOrientation: the HEIF decoder's metadata item for the picture's
// orientation (Windows 10 1809's SDK names it; MinGW's headers do not yet).
constexpr USHORT kHeifOrientationItem = 1;

// {817EF3E1-1288-45F4-A852-260D9E7CCE83}: GUID_MetadataFormatHeif, which
// MinGW declares but its uuid library does not hold.
constexpr GUID kHeifMetadataFormat = {
    0x817ef3e1, 0x1288, 0x45f4, {0xa8, 0x52, 0x26, 0x0d, 0x9e, 0x7c, 0xce, 0x83}};

// A 16-bit sample as WIC hands it over: in the machine's order.
uint32_t sample16(const unsigned char* p, int i) {
  return static_cast<uint32_t>(p[2 * i]) | static_cast<uint32_t>(p[2 * i + 1]) << 8;
}

int exif_orientation_of(const PROPVARIANT& value) {
  int orientation = 1;
  if (value.vt == VT_UI2) orientation = value.uiVal;
  if (value.vt == VT_UI4) orientation = static_cast<int>(value.ulVal);
  return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

}  // namespace

ComScope::ComScope() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  owned_ = SUCCEEDED(hr);
  result_ = owned_ || hr == RPC_E_CHANGED_MODE ? S_OK : hr;
}

ComScope::~ComScope() {
  if (owned_) CoUninitialize();
}

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

WicFrame::WicFrame() = default;
WicFrame::~WicFrame() = default;

std::string WicFrame::find_decoder(const WicKind& kind) {
  kind_ = kind;
  if (FAILED(com_.result())) {
    return "picture decoder could not start (" + wic_error(com_.result()) + ")";
  }
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory_));
  if (FAILED(hr)) return "picture decoder could not start (" + wic_error(hr) + ")";
  // Only the decoder for the kind our own reading found ever sees the
  // bytes, never one that merely recognises them.
  if (FAILED(hr = factory_->CreateDecoder(*kind.container, nullptr, &decoder_))) return failed(hr);
  return {};
}

std::string WicFrame::open(std::string_view bytes, int64_t width, int64_t height, bool turned) {
  if (!decoder_) return failed(WINCODEC_ERR_NOTINITIALIZED);
  HRESULT hr = factory_->CreateStream(&stream_);
  if (FAILED(hr)) return failed(hr);
  // WIC only reads the memory; the file is at most 256 MB.
  hr = stream_->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                     static_cast<DWORD>(bytes.size()));
  if (FAILED(hr)) return failed(hr);
  if (FAILED(hr = decoder_->Initialize(stream_.Get(), WICDecodeMetadataCacheOnDemand))) {
    return failed(hr);
  }
  if (FAILED(hr = decoder_->GetFrame(0, &frame_))) return failed(hr);
  UINT w = 0, h = 0;
  if (FAILED(hr = frame_->GetSize(&w, &h))) return failed(hr);
  if ((w != width || h != height) && !(turned && w == height && h == width)) {
    return "corrupt " + std::string(picture_kind_name(kind_.kind)) +
           " data (the system's decoder sees " + std::to_string(w) + " x " + std::to_string(h) +
           ", the file says " + std::to_string(width) + " x " + std::to_string(height) + ")";
  }
  width_ = static_cast<int>(w);
  height_ = static_cast<int>(h);
  if (FAILED(hr = frame_->GetPixelFormat(&format_))) return failed(hr);
  if (FAILED(hr = start_reading())) return failed(hr);
  return {};
}

std::string WicFrame::failed(HRESULT hr) const {
  const std::string kind = picture_kind_name(kind_.kind);
  if (hr == E_OUTOFMEMORY) return "out of memory for the " + kind + " picture";
  // An extension's decoder that is there without the video codec it
  // decodes with (HEIF without HEVC, AVIF without AV1) fails this way.
  if (hr == WINCODEC_ERR_COMPONENTNOTFOUND || hr == MF_E_TOPO_CODEC_NOT_FOUND) {
    return missing_decoder_reason(kind_.kind, kind_.install);
  }
  return "corrupt " + kind + " data (" + wic_error(hr) + ")";
}

// Formats read as stored: converting them to 32-bit BGRA would cut 16-bit
// samples rather than round them, or take colours already laid over black
// apart again. CMYK becomes colours by our own rule, as on Linux. Anything
// else WIC converts to 32-bit BGRA with its alpha apart.
HRESULT WicFrame::start_reading() {
  static const struct {
    const GUID* format;
    Layout layout;
    int bytes_per_pixel;
  } kStored[] = {
      {&GUID_WICPixelFormat32bppPBGRA, Layout::Pbgra8, 4},
      {&GUID_WICPixelFormat32bppPRGBA, Layout::Prgba8, 4},
      {&GUID_WICPixelFormat32bppCMYK, Layout::Cmyk8, 4},
      {&GUID_WICPixelFormat64bppRGBA, Layout::Rgba16, 8},
      {&GUID_WICPixelFormat64bppBGRA, Layout::Bgra16, 8},
      {&GUID_WICPixelFormat64bppPRGBA, Layout::Prgba16, 8},
      {&GUID_WICPixelFormat64bppPBGRA, Layout::Pbgra16, 8},
      {&GUID_WICPixelFormat48bppRGB, Layout::Rgb16, 6},
      {&GUID_WICPixelFormat48bppBGR, Layout::Bgr16, 6},
      {&GUID_WICPixelFormat16bppGray, Layout::Grey16, 2},
  };
  for (const auto& stored : kStored) {
    if (format_ == *stored.format) {
      layout_ = stored.layout;
      bytes_per_pixel_ = stored.bytes_per_pixel;
      source_ = frame_.Get();
      return S_OK;
    }
  }
  HRESULT hr = factory_->CreateFormatConverter(&converter_);
  if (FAILED(hr)) return hr;
  hr = converter_->Initialize(frame_.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                              nullptr, 0.0, WICBitmapPaletteTypeCustom);
  if (FAILED(hr)) return hr;
  layout_ = Layout::Bgra8;
  bytes_per_pixel_ = 4;
  source_ = converter_.Get();
  return S_OK;
}

void WicFrame::convert_row(const unsigned char* in, uint32_t* out) const {
  const int n = width_;
  switch (layout_) {
    case Layout::Bgra8:
      for (int x = 0; x < n; ++x, in += 4) {
        out[x] = pixel_rgb(over_black_8(in[2], in[3]), over_black_8(in[1], in[3]),
                           over_black_8(in[0], in[3]));
      }
      return;
    case Layout::Pbgra8:
      for (int x = 0; x < n; ++x, in += 4) out[x] = pixel_rgb(in[2], in[1], in[0]);
      return;
    case Layout::Prgba8:
      for (int x = 0; x < n; ++x, in += 4) out[x] = pixel_rgb(in[0], in[1], in[2]);
      return;
    case Layout::Cmyk8:
      // WIC hands CMYK over as ink (0 is none), whatever the file stores.
      convert_cmyk_row(in, out, n, false);
      return;
    case Layout::Rgba16:
    case Layout::Bgra16:
      for (int x = 0; x < n; ++x, in += 8) {
        const uint32_t a = sample16(in, 3);
        const uint32_t r = over_black_16(sample16(in, 0), a), g = over_black_16(sample16(in, 1), a),
                       b = over_black_16(sample16(in, 2), a);
        out[x] = layout_ == Layout::Rgba16 ? pixel_rgb(r, g, b) : pixel_rgb(b, g, r);
      }
      return;
    case Layout::Prgba16:
    case Layout::Pbgra16:
    case Layout::Rgb16:
    case Layout::Bgr16: {
      const bool red_first = layout_ == Layout::Prgba16 || layout_ == Layout::Rgb16;
      for (int x = 0; x < n; ++x, in += bytes_per_pixel_) {
        const uint32_t first = round_16_to_8(sample16(in, 0)), g = round_16_to_8(sample16(in, 1)),
                       last = round_16_to_8(sample16(in, 2));
        out[x] = red_first ? pixel_rgb(first, g, last) : pixel_rgb(last, g, first);
      }
      return;
    }
    case Layout::Grey16:
      for (int x = 0; x < n; ++x, in += 2) {
        const uint32_t v = round_16_to_8(sample16(in, 0));
        out[x] = pixel_rgb(v, v, v);
      }
      return;
  }
}

HRESULT WicFrame::read_rows(const std::function<bool(int)>& wanted,
                            const std::function<void(int, const uint32_t*)>& take) {
  const size_t row_pixels = static_cast<size_t>(width_);
  // Whole 32-bit words a row, as every WIC decoder takes them.
  const size_t stride = (row_pixels * static_cast<size_t>(bytes_per_pixel_) + 3) / 4 * 4;
  const int band = static_cast<int>(
      std::clamp<size_t>(kBandBytes / stride, 1, static_cast<size_t>(kMaxBandRows)));
  std::vector<unsigned char> bytes;
  std::vector<uint32_t> row(row_pixels);
  for (int top = 0; top < height_; top += band) {
    const int rows = std::min(band, height_ - top);
    bool any = false;
    for (int y = top; y < top + rows && !any; ++y) any = wanted(y);
    if (!any) continue;
    bytes.resize(stride * static_cast<size_t>(rows));
    const WICRect rect{0, top, width_, rows};
    const HRESULT hr = source_->CopyPixels(&rect, static_cast<UINT>(stride),
                                           static_cast<UINT>(bytes.size()), bytes.data());
    if (FAILED(hr)) return hr;
    for (int y = top; y < top + rows; ++y) {
      if (!wanted(y)) continue;
      convert_row(bytes.data() + stride * static_cast<size_t>(y - top), row.data());
      take(y, row.data());
    }
  }
  return S_OK;
}

int WicFrame::orientation_at(const wchar_t* query) const {
  ComPtr<IWICMetadataQueryReader> reader;
  if (!frame_ || FAILED(frame_->GetMetadataQueryReader(&reader))) return 1;
  PROPVARIANT value;
  PropVariantInit(&value);
  int orientation = 1;
  if (SUCCEEDED(reader->GetMetadataByName(query, &value))) {
    orientation = exif_orientation_of(value);
  }
  PropVariantClear(&value);
  return orientation;
}

int WicFrame::heif_orientation() const {
  ComPtr<IWICMetadataBlockReader> blocks;
  UINT count = 0;
  if (!frame_ || FAILED(frame_.As(&blocks)) || FAILED(blocks->GetCount(&count))) return 1;
  for (UINT i = 0; i < count; ++i) {
    ComPtr<IWICMetadataReader> reader;
    GUID format{};
    if (FAILED(blocks->GetReaderByIndex(i, &reader)) ||
        FAILED(reader->GetMetadataFormat(&format)) || format != kHeifMetadataFormat) {
      continue;
    }
    PROPVARIANT id, value;
    PropVariantInit(&id);
    PropVariantInit(&value);
    id.vt = VT_UI2;
    id.uiVal = kHeifOrientationItem;
    int orientation = 1;
    if (SUCCEEDED(reader->GetValue(nullptr, &id, &value))) orientation = exif_orientation_of(value);
    PropVariantClear(&value);
    return orientation;
  }
  return 1;
}

std::string WicFrame::colour_profile() const {
  UINT count = 0;
  if (!frame_ || FAILED(frame_->GetColorContexts(0, nullptr, &count)) || count == 0) return {};
  std::vector<ComPtr<IWICColorContext>> contexts(count);
  std::vector<IWICColorContext*> given;
  for (auto& context : contexts) {
    if (FAILED(factory_->CreateColorContext(&context))) return {};
    given.push_back(context.Get());
  }
  if (FAILED(frame_->GetColorContexts(count, given.data(), &count))) return {};
  // A context by EXIF's colour space number names sRGB (or a space with
  // no profile to convert by): the pixels stay as decoded.
  for (UINT i = 0; i < count && i < given.size(); ++i) {
    WICColorContextType type{};
    UINT size = 0;
    if (FAILED(given[i]->GetType(&type)) || type != WICColorContextProfile ||
        FAILED(given[i]->GetProfileBytes(0, nullptr, &size)) || size == 0 ||
        size > kMaxColourProfileBytes) {
      continue;
    }
    std::string profile(size, '\0');
    if (SUCCEEDED(
            given[i]->GetProfileBytes(size, reinterpret_cast<BYTE*>(profile.data()), &size))) {
      profile.resize(size);
      return profile;
    }
  }
  return {};
}

PictureResult read_frame_picture(WicFrame& frame, int orientation, const PictureView& view) {
  PictureSink picture(orientation == 1 ? view : PictureView{});
  if (std::string why = picture.begin(frame.width(), frame.height()); !why.empty()) {
    return PictureResult::failure(why);
  }
  const HRESULT hr = frame.read_rows([&](int y) { return picture.keeps_row(y); },
                                     [&](int y, const uint32_t* row) {
                                       std::copy(row, row + frame.width(), picture.row(y));
                                       picture.row_done(y);
                                     });
  if (FAILED(hr)) return PictureResult::failure(frame.failed(hr));
  return upright_picture(picture.finish(), orientation, view, frame.colour_profile());
}

}  // namespace vs
