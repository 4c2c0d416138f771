// Picture files made in the Windows edition's tests, where neither the Linux
// edition's libraries nor their tools are at hand: by WIC's own encoders, or
// byte by byte from the formats' rules (PNG with stored deflate blocks, TIFF
// with LZW strips, ICC matrix profiles), so that every sample in them is
// known to the test.
#pragma once

#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/surface.h"

namespace vs::testing {

class ComThread {
 public:
  ComThread() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
  ~ComThread() { CoUninitialize(); }
  ComThread(const ComThread&) = delete;
  ComThread& operator=(const ComThread&) = delete;
};

inline uint32_t pattern(int x, int y) {
  return pixel_rgb(static_cast<uint32_t>(x * 7 % 256), static_cast<uint32_t>(y * 5 % 256),
                   static_cast<uint32_t>((x + y) % 256));
}

// A picture file written by WIC's encoder for `container`: JPEG from
// 24-bit colour, GIF from 8-bit indices into a palette of 256 greys.
inline std::string encode(const GUID& container, int w, int h) {
  using Microsoft::WRL::ComPtr;
  ComThread com;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  ComPtr<IWICPalette> palette;
  const bool gif = container == GUID_ContainerFormatGif;
  std::vector<BYTE> pixels;
  UINT stride = 0;
  WICPixelFormatGUID format = gif ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat24bppBGR;
  if (gif) {
    stride = static_cast<UINT>(w);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) pixels.push_back(static_cast<BYTE>((x * 3 + y) % 256));
    }
  } else {
    stride = static_cast<UINT>((w * 3 + 3) / 4 * 4);
    pixels.resize(static_cast<size_t>(stride) * h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t p = pattern(x, y);
        BYTE* out = pixels.data() + static_cast<size_t>(y) * stride + 3 * x;
        out[0] = p & 0xFF, out[1] = (p >> 8) & 0xFF, out[2] = (p >> 16) & 0xFF;
      }
    }
  }
  bool ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_PPV_ARGS(&factory))) &&
            SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
            SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
            SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
            SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) &&
            SUCCEEDED(frame->Initialize(options.Get())) &&
            SUCCEEDED(frame->SetSize(static_cast<UINT>(w), static_cast<UINT>(h))) &&
            SUCCEEDED(frame->SetPixelFormat(&format));
  if (ok && gif) {
    std::vector<WICColor> greys;
    for (UINT i = 0; i < 256; ++i) greys.push_back(0xFF000000u | i * 0x010101u);
    ok = SUCCEEDED(factory->CreatePalette(&palette)) &&
         SUCCEEDED(palette->InitializeCustom(greys.data(), 256)) &&
         SUCCEEDED(frame->SetPalette(palette.Get()));
  }
  ok = ok &&
       SUCCEEDED(frame->WritePixels(static_cast<UINT>(h), stride, static_cast<UINT>(pixels.size()),
                                    pixels.data())) &&
       SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  if (!ok) return {};
  HGLOBAL memory = nullptr;
  if (FAILED(GetHGlobalFromStream(stream.Get(), &memory))) return {};
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  const auto* bytes = static_cast<const char*>(GlobalLock(memory));
  std::string file(bytes, static_cast<size_t>(stat.cbSize.QuadPart));
  GlobalUnlock(memory);
  return file;
}

inline void put_le16(std::string& b, unsigned v) {
  b += static_cast<char>(v & 0xFF), b += static_cast<char>((v >> 8) & 0xFF);
}
inline void put_le32(std::string& b, uint32_t v) {
  put_le16(b, v & 0xFFFF), put_le16(b, v >> 16);
}

// A placeable metafile of w x h pixels at 96 dpi: two coloured rectangles.
inline std::string metafile(int w, int h) {
  std::string records;
  auto record = [&](unsigned function, std::vector<unsigned> params) {
    put_le32(records, 3 + static_cast<uint32_t>(params.size())), put_le16(records, function);
    for (unsigned p : params) put_le16(records, p);
  };
  record(0x02FC, {0, 0x00FF, 0x00, 0});  // solid red brush
  record(0x012D, {0});
  record(0x041B, {static_cast<unsigned>(h / 2), static_cast<unsigned>(w), 0, 0});
  record(0x02FC, {0, 0xFF00, 0xFF, 0});  // solid cyan
  record(0x012D, {1});
  record(0x041B,
         {static_cast<unsigned>(h), static_cast<unsigned>(w / 2), static_cast<unsigned>(h / 2), 0});
  put_le32(records, 3), put_le16(records, 0);
  std::string file;
  put_le32(file, 0x9AC6CDD7), put_le16(file, 0), put_le16(file, 0), put_le16(file, 0);
  put_le16(file, static_cast<unsigned>(w)), put_le16(file, static_cast<unsigned>(h)),
      put_le16(file, 96);
  put_le32(file, 0);
  unsigned sum = 0;
  for (size_t i = 0; i < 20; i += 2) {
    sum ^= static_cast<unsigned char>(file[i]) | (static_cast<unsigned char>(file[i + 1]) << 8);
  }
  put_le16(file, sum);
  put_le16(file, 1), put_le16(file, 9), put_le16(file, 0x0300);
  put_le32(file, static_cast<uint32_t>(9 + records.size() / 2));
  put_le16(file, 2), put_le32(file, 7), put_le16(file, 0);
  return file + records;
}

inline void put_be16(std::string& b, unsigned v) {
  b += static_cast<char>((v >> 8) & 0xFF), b += static_cast<char>(v & 0xFF);
}
inline void put_be32(std::string& b, uint32_t v) {
  put_be16(b, v >> 16), put_be16(b, v & 0xFFFF);
}

// ---- PNG ----

inline uint32_t crc32_of(const std::string& bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    c ^= byte;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

// A zlib stream holding `data` in stored (uncompressed) deflate blocks.
inline std::string zlib_stored(const std::string& data) {
  std::string z("\x78\x01", 2);
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(65535, data.size() - at);
    z += static_cast<char>(at + n == data.size() ? 1 : 0);
    z += static_cast<char>(n & 0xFF), z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xFF), z += static_cast<char>((~n >> 8) & 0xFF);
    z.append(data, at, n);
    at += n;
  } while (at < data.size());
  uint32_t a = 1, b = 0;
  for (unsigned char byte : data) a = (a + byte) % 65521, b = (b + a) % 65521;
  put_be32(z, b << 16 | a);
  return z;
}

inline std::string png_chunk(const std::string& type, const std::string& data) {
  std::string chunk;
  put_be32(chunk, static_cast<uint32_t>(data.size()));
  chunk += type + data;
  put_be32(chunk, crc32_of(type + data));
  return chunk;
}

struct PngSpec {
  int width = 0;
  int height = 0;
  int bit_depth = 8;
  int colour_type = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  bool interlaced = false;
  // The samples of pixel (x, y): its channels, or its palette index.
  std::function<std::vector<unsigned>(int, int)> samples;
  std::vector<uint32_t> palette;   // 0xAARRGGBB; alpha below 255 goes to tRNS
  std::string chunks_before_data;  // iCCP, eXIf, ... as png_chunk made them
};

inline std::string write_png(const PngSpec& s) {
  const int channels = s.colour_type == 2 ? 3 : s.colour_type == 4 ? 2 : s.colour_type == 6 ? 4 : 1;
  // Rows of one pass, each with filter byte 0 and its samples packed.
  auto pass_rows = [&](int x0, int y0, int dx, int dy) {
    std::string raw;
    if (x0 >= s.width || y0 >= s.height) return raw;
    for (int y = y0; y < s.height; y += dy) {
      raw += '\0';
      unsigned bits = 0, filled = 0;
      for (int x = x0; x < s.width; x += dx) {
        for (unsigned v : s.samples(x, y)) {
          if (s.bit_depth == 16) {
            raw += static_cast<char>(v >> 8), raw += static_cast<char>(v & 0xFF);
          } else if (s.bit_depth == 8) {
            raw += static_cast<char>(v);
          } else {
            bits = bits << s.bit_depth | v, filled += s.bit_depth;
            if (filled == 8) raw += static_cast<char>(bits), bits = filled = 0;
          }
        }
      }
      if (filled > 0) raw += static_cast<char>(bits << (8 - filled));
    }
    return raw;
  };
  std::string raw;
  if (s.interlaced) {
    static const int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                      {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& p : kPasses) raw += pass_rows(p[0], p[1], p[2], p[3]);
  } else {
    raw = pass_rows(0, 0, 1, 1);
  }
  (void)channels;
  std::string header;
  put_be32(header, static_cast<uint32_t>(s.width)),
      put_be32(header, static_cast<uint32_t>(s.height));
  header += static_cast<char>(s.bit_depth), header += static_cast<char>(s.colour_type);
  header += std::string("\0\0", 2), header += static_cast<char>(s.interlaced ? 1 : 0);
  std::string file("\x89PNG\r\n\x1a\n", 8);
  file += png_chunk("IHDR", header);
  if (!s.palette.empty()) {
    std::string colours, alphas;
    for (uint32_t c : s.palette) {
      colours += static_cast<char>(c >> 16), colours += static_cast<char>(c >> 8);
      colours += static_cast<char>(c);
      alphas += static_cast<char>(c >> 24);
    }
    file += png_chunk("PLTE", colours);
    while (!alphas.empty() && static_cast<unsigned char>(alphas.back()) == 255) alphas.pop_back();
    if (!alphas.empty()) file += png_chunk("tRNS", alphas);
  }
  file += s.chunks_before_data;
  const std::string data = zlib_stored(raw);
  // Picture data in several chunks, as encoders write it.
  for (size_t at = 0; at < data.size(); at += 8192)
    file += png_chunk("IDAT", data.substr(at, 8192));
  return file + png_chunk("IEND", "");
}

// A PNG file of w x h pixels of a bit depth and colour type.
inline std::string make_png(int width, int height, int bit_depth, int colour_type,
                            std::function<std::vector<unsigned>(int, int)> samples,
                            bool interlaced = false, std::vector<uint32_t> palette = {},
                            std::string chunks_before_data = {}) {
  PngSpec spec;
  spec.width = width, spec.height = height, spec.bit_depth = bit_depth;
  spec.colour_type = colour_type, spec.interlaced = interlaced;
  spec.samples = std::move(samples);
  spec.palette = std::move(palette);
  spec.chunks_before_data = std::move(chunks_before_data);
  return write_png(spec);
}

inline std::string iccp_chunk(const std::string& profile) {
  return png_chunk("iCCP", std::string("made here\0\0", 11) + zlib_stored(profile));
}

// ---- TIFF ----

// TIFF's LZW, as libtiff writes it: codes most significant bit first,
// 9 to 12 bits, the width growing one code early for the reader's sake.
inline std::string lzw_compress(const std::string& data) {
  constexpr unsigned kClear = 256, kEnd = 257, kFirst = 258, kFull = 4094;
  std::string out;
  uint32_t bits = 0;
  int filled = 0, width = 9;
  auto put = [&](unsigned code) {
    bits = bits << width | code, filled += width;
    while (filled >= 8) out += static_cast<char>(bits >> (filled - 8)), filled -= 8;
    bits &= (1u << filled) - 1;
  };
  std::map<std::pair<unsigned, unsigned char>, unsigned> table;
  unsigned next = kFirst;
  auto added = [&] {
    if (++next == kFull) {
      put(kClear);
      table.clear(), next = kFirst, width = 9;
    } else if (next > (1u << width) - 1) {
      ++width;
    }
  };
  put(kClear);
  if (data.empty()) {
    put(kEnd);
  } else {
    unsigned current = static_cast<unsigned char>(data[0]);
    for (size_t i = 1; i < data.size(); ++i) {
      const auto byte = static_cast<unsigned char>(data[i]);
      if (auto found = table.find({current, byte}); found != table.end()) {
        current = found->second;
        continue;
      }
      put(current);
      table[{current, byte}] = next;
      added();
      current = byte;
    }
    put(current);
    added();
    put(kEnd);
  }
  if (filled > 0) out += static_cast<char>(bits << (8 - filled));
  return out;
}

struct TiffPage {
  int width = 0;
  int height = 0;
  int bits = 8;                // 8 or 16 a sample
  int channels = 3;            // 1 grey, 3 RGB, 4 RGB + unassociated alpha
  int orientation = 0;         // 0: no tag
  std::string colour_profile;  // the ICC tag's bytes, if any
  std::function<std::vector<unsigned>(int, int)> samples;
};

inline TiffPage tiff_page(int width, int height,
                          std::function<std::vector<unsigned>(int, int)> samples, int bits = 8,
                          int channels = 3, int orientation = 0, std::string colour_profile = {}) {
  TiffPage page;
  page.width = width, page.height = height, page.bits = bits, page.channels = channels;
  page.orientation = orientation;
  page.colour_profile = std::move(colour_profile);
  page.samples = std::move(samples);
  return page;
}

// Pages in one LZW strip each, in either byte order.
inline std::string write_tiff(const std::vector<TiffPage>& pages, bool big_endian = false) {
  std::string file = big_endian ? std::string("MM\0*", 4) : std::string("II*\0", 4);
  auto u16 = [&](std::string& b, unsigned v) {
    if (big_endian) return put_be16(b, v);
    b += static_cast<char>(v & 0xFF), b += static_cast<char>((v >> 8) & 0xFF);
  };
  auto u32 = [&](std::string& b, uint32_t v) {
    if (big_endian) return put_be32(b, v);
    u16(b, v & 0xFFFF), u16(b, v >> 16);
  };
  auto patch32 = [&](size_t at, uint32_t v) {
    std::string b;
    u32(b, v);
    file.replace(at, 4, b);
  };
  size_t link = file.size();  // where the next directory's offset goes
  u32(file, 0);
  for (const TiffPage& page : pages) {
    std::string raw;
    for (int y = 0; y < page.height; ++y) {
      for (int x = 0; x < page.width; ++x) {
        for (unsigned v : page.samples(x, y)) {
          if (page.bits == 16) {
            u16(raw, v);
          } else {
            raw += static_cast<char>(v);
          }
        }
      }
    }
    const std::string strip = lzw_compress(raw);
    const size_t strip_at = file.size();
    file += strip;
    if (file.size() % 2) file += '\0';
    const size_t depths_at = file.size();
    for (int c = 0; c < page.channels; ++c) u16(file, static_cast<unsigned>(page.bits));
    const size_t profile_at = file.size();
    file += page.colour_profile;
    if (file.size() % 2) file += '\0';
    struct Entry {
      unsigned tag, type;
      uint32_t count, value;
    };
    std::vector<Entry> entries = {
        {256, 4, 1, static_cast<uint32_t>(page.width)},
        {257, 4, 1, static_cast<uint32_t>(page.height)},
        {258, 3, static_cast<uint32_t>(page.channels),
         page.channels <= 2 ? static_cast<uint32_t>(page.bits) : static_cast<uint32_t>(depths_at)},
        {259, 3, 1, 5},
        {262, 3, 1, page.channels == 1 ? 1u : 2u},
        {273, 4, 1, static_cast<uint32_t>(strip_at)},
        {277, 3, 1, static_cast<uint32_t>(page.channels)},
        {278, 4, 1, static_cast<uint32_t>(page.height)},
        {279, 4, 1, static_cast<uint32_t>(strip.size())},
        {284, 3, 1, 1},
    };
    if (page.orientation != 0)
      entries.push_back({274, 3, 1, static_cast<uint32_t>(page.orientation)});
    if (page.channels == 4) entries.push_back({338, 3, 1, 2});
    if (!page.colour_profile.empty()) {
      entries.push_back({34675, 7, static_cast<uint32_t>(page.colour_profile.size()),
                         static_cast<uint32_t>(profile_at)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    patch32(link, static_cast<uint32_t>(file.size()));
    u16(file, static_cast<unsigned>(entries.size()));
    for (const Entry& e : entries) {
      u16(file, e.tag), u16(file, e.type), u32(file, e.count);
      // A SHORT value sits in the first two bytes of the value field.
      if (e.type == 3 && e.count == 1) {
        u16(file, e.value), u16(file, 0);
      } else {
        u32(file, e.value);
      }
    }
    link = file.size();
    u32(file, 0);
  }
  return file;
}

// ---- ICC ----

// An RGB display profile (ICC 2.1) by its colorants (the red, green and blue
// primaries' XYZ, adapted to D50) and sRGB's tone curve.
inline std::string rgb_profile(const std::array<std::array<double, 3>, 3>& colorants) {
  auto s15 = [](std::string& b, double v) {
    put_be32(b, static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 65536))));
  };
  auto xyz = [&](double x, double y, double z) {
    std::string t("XYZ \0\0\0\0", 8);
    s15(t, x), s15(t, y), s15(t, z);
    return t;
  };
  std::string curve("curv\0\0\0\0", 8);
  put_be32(curve, 1024);
  for (int i = 0; i < 1024; ++i) {
    const double v = i / 1023.0;
    const double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    put_be16(curve, static_cast<unsigned>(std::lround(linear * 65535)));
  }
  const std::string name = "Varnoscape test profile";
  std::string desc("desc\0\0\0\0", 8);
  put_be32(desc, static_cast<uint32_t>(name.size() + 1));
  desc += name + '\0';
  desc += std::string(4 + 4 + 2 + 1 + 67, '\0');
  const std::string text = std::string("text\0\0\0\0", 8) + "No copyright" + '\0';
  const std::vector<std::pair<std::string, std::string>> tags = {
      {"desc", desc},
      {"cprt", text},
      {"wtpt", xyz(0.9642, 1.0, 0.8249)},
      {"rXYZ", xyz(colorants[0][0], colorants[0][1], colorants[0][2])},
      {"gXYZ", xyz(colorants[1][0], colorants[1][1], colorants[1][2])},
      {"bXYZ", xyz(colorants[2][0], colorants[2][1], colorants[2][2])},
      {"rTRC", curve},
      {"gTRC", curve},
      {"bTRC", curve},
  };
  std::string table, data;
  const size_t data_at = 128 + 4 + 12 * tags.size();
  for (const auto& [signature, body] : tags) {
    size_t at = data_at + data.size();
    if (signature == "gTRC" || signature == "bTRC") {
      at = data_at + data.find(curve);  // the three curves share their bytes
    } else {
      data += body;
      while (data.size() % 4) data += '\0';
    }
    table += signature;
    put_be32(table, static_cast<uint32_t>(at));
    put_be32(table, static_cast<uint32_t>(body.size()));
  }
  std::string header;
  put_be32(header, static_cast<uint32_t>(data_at + data.size()));
  header += std::string(4, '\0');            // no preferred engine
  header += std::string("\x02\x10\0\0", 4);  // version 2.1
  header += "mntrRGB XYZ ";                  // display, RGB, XYZ
  header += std::string(12, '\0');           // date
  header += "acspMSFT";
  header += std::string(4 + 4 + 4 + 8 + 4, '\0');  // flags, maker, model, attributes, intent
  s15(header, 0.9642), s15(header, 1.0), s15(header, 0.8249);
  header += std::string(4 + 16 + 28, '\0');  // creator, ID, reserved
  std::string count;
  put_be32(count, static_cast<uint32_t>(tags.size()));
  return header + count + table + data;
}

// sRGB's primaries adapted to D50, as the ICC's own sRGB profile gives them.
inline constexpr std::array<std::array<double, 3>, 3> kSrgbColorants = {
    {{0.4361, 0.2225, 0.0139}, {0.3851, 0.7169, 0.0971}, {0.1431, 0.0606, 0.7141}}};

// A profile whose red is sRGB's green and whose green is sRGB's red: a
// picture in it shows its red and green swapped.
inline std::string swapping_profile() {
  return rgb_profile({kSrgbColorants[1], kSrgbColorants[0], kSrgbColorants[2]});
}

}  // namespace vs::testing
