#include "pictures/wmf_records.h"

#include <cstdint>
#include <vector>

#include "pictures/byte_order.h"

namespace vs {

namespace {

constexpr size_t kPlaceableBytes = 22;
constexpr size_t kHeaderBytes = 18;
// libwmf keeps a buffer of the header's largest record: one over this cannot
// be had in the Linux edition's decoder process.
constexpr uint64_t kLargestRecordBytes = uint64_t{1} << 30;

enum Record : uint16_t {
  kEof = 0x0000,
  kSetPalEntries = 0x0037,
  kCreatePalette = 0x00F7,
  kSelectClipRegion = 0x012C,
  kSelectObject = 0x012D,
  kDibCreatePatternBrush = 0x0142,
  kDeleteObject = 0x01F0,
  kCreatePatternBrush = 0x01F9,
  kSelectPalette = 0x0234,
  kCreatePenIndirect = 0x02FA,
  kCreateFontIndirect = 0x02FB,
  kCreateBrushIndirect = 0x02FC,
  kCreateBitmapIndirect = 0x02FD,
  kPolygon = 0x0324,
  kPolyline = 0x0325,
  kAnimatePalette = 0x0436,
  kTextOut = 0x0521,
  kPolyPolygon = 0x0538,
  kEscape = 0x0626,
  kCreateBitmap = 0x06FE,
  kCreateRegion = 0x06FF,
  kBitBlt = 0x0922,
  kDibBitBlt = 0x0940,
  kExtTextOut = 0x0A32,
  kStretchBlt = 0x0B23,
  kDibStretchBlt = 0x0B41,
  kSetDibToDevice = 0x0D33,
  kStretchDib = 0x0F43,
};

bool valid_header(const unsigned char* h) {
  uint16_t type = le16(h), words = le16(h + 2), version = le16(h + 4);
  return (type == 1 || type == 2) && words == 9 && (version == 0x0300 || version == 0x0100);
}

// The parameter words of one record.
class Params {
 public:
  Params(const unsigned char* p, uint64_t words) : p_(p), words_(words) {}
  uint64_t words() const { return words_; }
  bool has(uint64_t n) const { return n <= words_; }
  unsigned operator[](uint64_t i) const { return i < words_ ? le16(p_ + 2 * i) : 0; }
  const unsigned char* at(uint64_t i) const { return p_ + 2 * i; }

 private:
  const unsigned char* p_;
  uint64_t words_;
};

// A device-independent bitmap at parameter word `first`: its header, colours
// (two-byte palette indices when `palette_indices`) and pixels all inside the
// record.
bool holds_dib(const Params& params, uint64_t first, bool palette_indices) {
  if (!params.has(first + 2)) return false;
  const unsigned char* b = params.at(first);
  const uint64_t bytes = (params.words() - first) * 2;
  const uint32_t header = le32(b);
  int64_t width = 0, height = 0;
  uint32_t bits = 0, compression = 0, image_size = 0, used = 0;
  uint64_t entry = palette_indices ? 2 : 4;
  if (header == 12) {
    if (bytes < 12) return false;
    width = le16(b + 4), height = le16(b + 6), bits = le16(b + 10);
    if (!palette_indices) entry = 3;
  } else if (header >= 40 && header <= bytes) {
    width = static_cast<int32_t>(le32(b + 4));
    height = static_cast<int32_t>(le32(b + 8));
    bits = le16(b + 14), compression = le32(b + 16), image_size = le32(b + 20);
    used = le32(b + 32);
  } else {
    return false;
  }
  if (width <= 0 || height == 0 || bits == 0 || bits > 32 || used > 256) return false;
  uint64_t colours = used != 0 ? used : bits <= 8 ? uint64_t{1} << bits : 0;
  uint64_t total = header + colours * entry;
  if (compression == 3 && header == 40) total += 12;  // the colour masks
  const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
  if (compression == 0 || compression == 3) {
    total += (static_cast<uint64_t>(width) * bits + 31) / 32 * 4 * rows;
  } else if (compression == 1 || compression == 2) {
    if (image_size == 0) return false;
    total += image_size;
  } else {
    return false;  // JPEG or PNG inside a metafile: not for a metafile player
  }
  return total <= bytes;
}

// A Windows 2 bitmap: width, height, bytes per row, planes and bits at the
// words given, the pixels from word `pixels` on.
bool holds_old_bitmap(const Params& p, uint64_t width, uint64_t pixels) {
  if (!p.has(pixels)) return false;
  const uint64_t row = (uint64_t{p[width]} * p[width + 4] + 15) / 16 * 2;
  return row * p[width + 1] * p[width + 3] <= (p.words() - pixels) * 2;
}

// Whether a record holds the points, text, palette entries, region bands or
// bitmap its own words claim: players take those counts as they come.
bool holds_what_it_claims(uint16_t function, const Params& p) {
  switch (function) {
    case kPolygon:
    case kPolyline:
      return p.has(1) && p.has(1 + 2 * uint64_t{p[0]});
    case kPolyPolygon: {
      if (!p.has(1) || !p.has(1 + uint64_t{p[0]})) return false;
      uint64_t points = 0;
      for (uint64_t i = 1; i <= p[0]; ++i) points += p[i];
      return p.has(1 + p[0] + 2 * points);
    }
    case kTextOut:
      return p.has(1) && p.has(1 + (uint64_t{p[0]} + 1) / 2 + 2);
    case kExtTextOut: {
      if (!p.has(4)) return false;
      const uint64_t rectangle = (p[3] & 0x0006) ? 4 : 0;  // opaque or clipped
      return p.has(4 + rectangle + (uint64_t{p[2]} + 1) / 2);
    }
    case kCreatePalette:
    case kSetPalEntries:
    case kAnimatePalette:
      return p.has(2) && p.has(2 + 2 * uint64_t{p[1]});
    case kEscape:
      return p.has(2) && p.has(2 + (uint64_t{p[1]} + 1) / 2);
    case kCreateRegion: {
      if (!p.has(11)) return false;
      uint64_t at = 11;
      for (unsigned band = 0; band < p[5]; ++band) {
        if (!p.has(at + 1)) return false;
        const uint64_t end = at + p[at] + 3;  // the band's closing count
        if (!p.has(end + 1)) return false;
        at = end + 1;
      }
      return true;
    }
    case kDibBitBlt:
      return p.words() == 9 || holds_dib(p, 8, false);  // 9: no bitmap
    case kDibStretchBlt:
      return p.words() == 11 || holds_dib(p, 10, false);
    case kStretchDib:
      return holds_dib(p, 11, p[2] == 1);
    case kSetDibToDevice:
      return holds_dib(p, 9, p[0] == 1);
    case kDibCreatePatternBrush:
    case kCreatePatternBrush:
      return holds_dib(p, 2, p[1] == 1);
    case kBitBlt:
      return holds_old_bitmap(p, 7, 12);
    case kStretchBlt:
      return holds_old_bitmap(p, 10, 15);
    default:
      return true;
  }
}

// The object table the records fill: a record that makes an object takes
// the first free slot, one that uses or deletes an object names a slot of
// the table. Players index the table with that number as it comes.
class ObjectTable {
 public:
  explicit ObjectTable(unsigned slots) : used_(slots, false) {}

  bool play(uint16_t function, const Params& p) {
    switch (function) {
      case kCreatePenIndirect:
      case kCreateFontIndirect:
      case kCreateBrushIndirect:
      case kCreateBitmapIndirect:
      case kCreateBitmap:
      case kCreatePalette:
      case kCreateRegion:
      case kCreatePatternBrush:
      case kDibCreatePatternBrush:
        for (size_t i = 0; i < used_.size(); ++i) {
          if (!used_[i]) return used_[i] = true;
        }
        return false;
      case kSelectObject:
      case kSelectPalette:
      case kSelectClipRegion:
        return p.has(1) && p[0] < used_.size();
      case kDeleteObject:
        if (!p.has(1) || p[0] >= used_.size()) return false;
        used_[p[0]] = false;
        return true;
      default:
        return true;
    }
  }

 private:
  std::vector<bool> used_;
};

// The parameter words a record of a fixed size needs: players read them
// without looking at the record's size. 0 for records of any size.
unsigned fixed_params(uint16_t function) {
  switch (function) {
    case 0x0102:
    case 0x0103:
    case 0x0104:
    case 0x0106:
    case 0x0107:
    case 0x0108:
    case 0x0127:
    case 0x012A:
    case 0x012B:
    case 0x012C:
    case 0x012D:
    case 0x012E:
    case 0x0139:
    case 0x01F0:
    case 0x0234:
      return 1;
    case 0x0201:
    case 0x0209:
    case 0x020A:
    case 0x020B:
    case 0x020C:
    case 0x020D:
    case 0x020E:
    case 0x020F:
    case 0x0211:
    case 0x0213:
    case 0x0214:
    case 0x0220:
    case 0x0228:
    case 0x0231:
      return 2;
    case 0x0410:
    case 0x0412:
    case 0x0415:
    case 0x0416:
    case 0x0418:
    case 0x0419:
    case 0x041B:
    case 0x041F:
    case 0x0429:
    case 0x02FC:
      return 4;
    case 0x02FA:
    case 0x0548:
      return 5;
    case 0x061C:
    case 0x061D:
      return 6;
    case 0x0817:
    case 0x081A:
    case 0x0830:
      return 8;
    case 0x02FB:  // a font: 9 words, then its face name
      return 9;
    default:
      return 0;
  }
}

// A font's face name ends within the record (or fills the 32 bytes a name
// may have): players copy it up to its end.
bool face_name_ends(const Params& p) {
  const uint64_t bytes = (p.words() - 9) * 2;
  if (bytes >= 32) return true;
  const unsigned char* name = p.at(9);
  for (uint64_t i = 0; i < bytes; ++i) {
    if (name[i] == 0) return true;
  }
  return false;
}

}  // namespace

// libwmf reads a record's size, then its function, then its parameters. A
// size it cannot read whole, or one below 3 words or above the header's
// largest record, is a bad format, and so is a record that names an object
// outside the header's table or makes one when the table is full;
// parameters past the end are the end of the file. Only a file that ends
// right after its header is cut short before any size.
std::string checked_wmf_records(std::string_view bytes, std::string& records) {
  const std::string bad = "corrupt metafile (libwmf error 3)";
  const unsigned char* p = bytes_of(bytes);
  const size_t size = bytes.size();
  const bool placeable = size >= 4 && le32(p) == 0x9AC6CDD7u;
  const size_t header_at = placeable ? kPlaceableBytes : 0;
  if (!in_range(size, header_at, kHeaderBytes)) return "truncated metafile";
  if (!valid_header(p + header_at)) return "bad metafile header";
  const uint64_t largest = le32(p + header_at + 12);
  if (largest * 2 > kLargestRecordBytes) return "out of memory for the metafile";
  ObjectTable objects(le16(p + header_at + 10));
  size_t at = header_at + kHeaderBytes;
  for (bool first = true;; first = false) {
    if (at == size) return first ? "truncated metafile" : bad;
    if (!in_range(size, at, 4)) return bad;
    const uint64_t words = le32(p + at);
    if (words < 3 || words > largest) return bad;
    if (!in_range(size, at, words * 2)) return "truncated metafile";
    const uint16_t function = le16(p + at + 4);
    const Params params(p + at + 6, words - 3);
    if (!params.has(fixed_params(function)) || !holds_what_it_claims(function, params) ||
        (function == kCreateFontIndirect && !face_name_ends(params)) ||
        !objects.play(function, params)) {
      return bad;
    }
    at += static_cast<size_t>(words * 2);
    if (function == kEof) break;
  }
  records.assign(bytes.substr(header_at, at - header_at));
  // The size word (in words, at byte 6) is what players go by.
  const uint32_t total = static_cast<uint32_t>(records.size() / 2);
  for (int i = 0; i < 4; ++i) records[6 + i] = static_cast<char>((total >> (8 * i)) & 0xFF);
  return {};
}

}  // namespace vs
