// Colour profiles applied by WIC's colour transform: a picture's colours
// from the ICC profile its file embeds to sRGB, the colours the saver's
// screen is taken to show. Our pixels go through it in bands, each made a
// WIC bitmap of its own, so that a large picture never needs a second copy
// of itself. A grid of colours goes first: a profile that gives them back
// (sRGB by another maker, or a system whose transform changes nothing)
// leaves the picture exactly as decoded.
#include <algorithm>
#include <string>
#include <vector>

#include "pictures/colour_check.h"
#include "platform/win32/wic_frame.h"
#include "platform/win32/windows_decoders.h"

namespace vs {

namespace {

using Microsoft::WRL::ComPtr;

constexpr size_t kBandBytes = size_t{4} << 20;
// EXIF's number for the sRGB colour space.
constexpr UINT kExifSrgb = 1;

std::string failed(const char* step, HRESULT hr) {
  return std::string("colour profile could not be applied (") + step + ": " + wic_error(hr) + ")";
}

class ColourTransform {
 public:
  // "" or why the profile cannot be applied here.
  std::string start(std::string_view icc_profile, bool grey) {
    grey_ = grey;
    if (FAILED(com_.result())) return failed("COM", com_.result());
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&factory_));
    if (FAILED(hr)) return failed("factory", hr);
    if (FAILED(hr = factory_->CreateColorContext(&from_)) ||
        FAILED(hr = from_->InitializeFromMemory(reinterpret_cast<const BYTE*>(icc_profile.data()),
                                                static_cast<UINT>(icc_profile.size())))) {
      return failed("profile", hr);
    }
    if (FAILED(hr = factory_->CreateColorContext(&to_)) ||
        FAILED(hr = to_->InitializeFromExifColorSpace(kExifSrgb))) {
      return failed("sRGB", hr);
    }
    return {};
  }

  // width x rows pixels (0x00RRGGBB; a grey picture's read by their blue
  // byte) converted in place.
  HRESULT convert(uint32_t* pixels, int width, int rows) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(rows);
    ComPtr<IWICBitmap> bitmap;
    HRESULT hr;
    if (grey_) {
      std::vector<BYTE> levels(count);
      for (size_t i = 0; i < count; ++i) levels[i] = static_cast<BYTE>(pixels[i] & 0xFF);
      hr = factory_->CreateBitmapFromMemory(static_cast<UINT>(width), static_cast<UINT>(rows),
                                            GUID_WICPixelFormat8bppGray, static_cast<UINT>(width),
                                            static_cast<UINT>(count), levels.data(), &bitmap);
    } else {
      // WIC copies the pixels into the bitmap, so they may be overwritten.
      hr = factory_->CreateBitmapFromMemory(
          static_cast<UINT>(width), static_cast<UINT>(rows), GUID_WICPixelFormat32bppBGR,
          static_cast<UINT>(width) * 4, static_cast<UINT>(count * 4),
          reinterpret_cast<BYTE*>(pixels), &bitmap);
    }
    if (FAILED(hr)) return hr;
    ComPtr<IWICColorTransform> transform;
    if (FAILED(hr = factory_->CreateColorTransformer(&transform))) return hr;
    hr = transform->Initialize(bitmap.Get(), from_.Get(), to_.Get(), GUID_WICPixelFormat32bppBGR);
    if (FAILED(hr)) return hr;
    hr = transform->CopyPixels(nullptr, static_cast<UINT>(width) * 4, static_cast<UINT>(count * 4),
                               reinterpret_cast<BYTE*>(pixels));
    if (FAILED(hr)) return hr;
    // The fourth byte stays 0, whatever the transform put there.
    for (size_t i = 0; i < count; ++i) pixels[i] &= 0xFFFFFF;
    return S_OK;
  }

 private:
  ComScope com_;
  ComPtr<IWICImagingFactory> factory_;
  ComPtr<IWICColorContext> from_;
  ComPtr<IWICColorContext> to_;
  bool grey_ = false;
};

}  // namespace

std::string convert_profile_to_srgb(std::string_view icc_profile, Surface& pixels) {
  const ColourProfileHeader header = read_colour_profile_header(icc_profile);
  if (!header.problem.empty()) return header.problem;
  // A grey picture's pixels came out of its decoder as RGB greys.
  if (header.grey && !all_grey(pixels)) return "grey colour profile on a colour picture";
  ColourTransform transform;
  if (std::string why = transform.start(icc_profile, header.grey); !why.empty()) return why;
  const std::vector<uint32_t> grid = colour_check_grid(header.grey);
  std::vector<uint32_t> converted = grid;
  if (HRESULT hr = transform.convert(converted.data(), static_cast<int>(converted.size()), 1);
      FAILED(hr)) {
    return failed("transform", hr);
  }
  if (colours_came_back(grid, converted) || pixels.empty()) return {};
  const size_t row_bytes = static_cast<size_t>(pixels.width()) * 4;
  const int band = static_cast<int>(std::max<size_t>(kBandBytes / row_bytes, 1));
  for (int top = 0; top < pixels.height(); top += band) {
    const int rows = std::min(band, pixels.height() - top);
    // Once the grid went through, only a lack of memory stops a band.
    if (HRESULT hr = transform.convert(pixels.row(top), pixels.width(), rows); FAILED(hr)) {
      return failed("transform", hr);
    }
  }
  return {};
}

}  // namespace vs
