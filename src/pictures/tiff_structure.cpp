#include "pictures/tiff_structure.h"

#include <algorithm>
#include <optional>
#include <string>

#include "pictures/byte_order.h"
#include "pictures/decoders.h"

namespace vs {

namespace {

constexpr char kTruncated[] = "truncated TIFF data";
// libtiff's own bound: a directory of more entries is taken for garbage.
constexpr uint64_t kMaxEntries = 4096;

enum Tag : uint16_t {
  kImageWidth = 256,
  kImageLength = 257,
  kCompression = 259,
  kStripOffsets = 273,
  kStripByteCounts = 279,
  kTileOffsets = 324,
  kTileByteCounts = 325,
};

struct Stop {
  std::string reason;
};

[[noreturn]] void corrupt(const std::string& what) {
  throw Stop{"corrupt TIFF data (" + what + ")"};
}

int type_size(int type) {
  switch (type) {
    case 1:  // BYTE
    case 2:  // ASCII
    case 6:  // SBYTE
    case 7:  // UNDEFINED
      return 1;
    case 3:  // SHORT
    case 8:  // SSHORT
      return 2;
    case 4:   // LONG
    case 9:   // SLONG
    case 11:  // FLOAT
    case 13:  // IFD
      return 4;
    case 5:   // RATIONAL
    case 10:  // SRATIONAL
    case 12:  // DOUBLE
    case 16:  // LONG8
    case 17:  // SLONG8
    case 18:  // IFD8
      return 8;
    default:
      return 0;
  }
}

const char* compression_name(int compression) {
  switch (compression) {
    case 6:
      return "old-style JPEG";
    case 32766:
      return "NeXT";
    case 32771:
      return "CCITT RLEW";
    case 32809:
      return "ThunderScan";
    case 32908:
    case 32909:
      return "PixarLog";
    case 34661:
      return "JBIG";
    case 34676:
    case 34677:
      return "SGI LogLuv";
    case 34712:
      return "JPEG 2000";
    case 34887:
      return "LERC";
    case 34925:
      return "LZMA";
    case 50000:
      return "Zstandard";
    case 50001:
      return "WebP";
    case 52546:
      return "JPEG XL";
    default:
      return nullptr;
  }
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : p_(bytes_of(bytes)), size_(bytes.size()) {}

  TiffStructure read() {
    TiffStructure out;
    const uint64_t directory = read_header(out);
    read_directory(directory, out);
    return out;
  }

 private:
  // One directory entry: its tag, type and count, and where its values are
  // (inside the entry when they fit).
  struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint64_t count = 0;
    uint64_t values = 0;  // offset of the first value in the file
  };

  uint16_t u16(uint64_t at) const { return little_ ? le16(p_ + at) : be16(p_ + at); }
  uint32_t u32(uint64_t at) const { return little_ ? le32(p_ + at) : be32(p_ + at); }
  uint64_t u64(uint64_t at) const {
    const uint64_t a = u32(at), b = u32(at + 4);
    return little_ ? a | b << 32 : a << 32 | b;
  }
  uint64_t offset(uint64_t at) const { return big_ ? u64(at) : u32(at); }

  uint64_t read_header(TiffStructure& out) {
    const std::string_view start(reinterpret_cast<const char*>(p_), size_ < 4 ? size_ : 4);
    for (std::string_view mark : {std::string_view("II*\0", 4), std::string_view("MM\0*", 4),
                                  std::string_view("II+\0", 4), std::string_view("MM\0+", 4)}) {
      if (mark.substr(0, start.size()) != start) continue;
      if (size_ < 4) throw Stop{kTruncated};
      little_ = p_[0] == 'I';
      big_ = mark[2] == '+' || mark[3] == '+';
      out.big = big_;
      const uint64_t header = big_ ? 16 : 8;
      if (size_ < header) throw Stop{kTruncated};
      if (big_ && (u16(4) != 8 || u16(6) != 0)) corrupt("BigTIFF header");
      const uint64_t first = offset(big_ ? 8 : 4);
      if (first == 0) throw Stop{"TIFF file holds no picture"};
      if (first < header) corrupt("first directory inside the header");
      return first;
    }
    throw Stop{"not a TIFF file"};
  }

  Entry entry_at(uint64_t at) const {
    Entry e;
    e.tag = u16(at);
    e.type = u16(at + 2);
    e.count = big_ ? u64(at + 4) : u32(at + 4);
    const uint64_t inside = big_ ? 8 : 4;
    const uint64_t value_field = at + (big_ ? 12 : 8);
    const int size = type_size(e.type);
    // An unknown type's values are never read: leave them where they are.
    if (size == 0 || e.count > inside / static_cast<uint64_t>(size)) {
      e.values = offset(value_field);
    } else {
      e.values = value_field;
    }
    return e;
  }

  // The index-th value of an integer entry; its values must be in the file.
  uint64_t value(const Entry& e, uint64_t index) const {
    const int size = type_size(e.type);
    const uint64_t at = e.values + index * static_cast<uint64_t>(size);
    switch (e.type) {
      case 1:
        return p_[at];
      case 3:
        return u16(at);
      case 4:
      case 13:
        return u32(at);
      case 16:
      case 18:
        return u64(at);
      default:
        corrupt("tag " + std::to_string(e.tag) + " of type " + std::to_string(e.type));
    }
  }

  bool integer_type(uint16_t type) const {
    return type == 1 || type == 3 || type == 4 || type == 13 || type == 16 || type == 18;
  }

  // Checks an entry's values lie in the file before any is read.
  void check_values(const Entry& e) const {
    if (!integer_type(e.type)) {
      corrupt("tag " + std::to_string(e.tag) + " of type " + std::to_string(e.type));
    }
    if (e.count == 0) corrupt("tag " + std::to_string(e.tag) + " without a value");
    const uint64_t size = static_cast<uint64_t>(type_size(e.type));
    if (e.count > size_ / size || !in_range(size_, e.values, e.count * size)) {
      throw Stop{kTruncated};
    }
  }

  std::optional<uint64_t> single(const std::optional<Entry>& e) const {
    if (!e) return std::nullopt;
    check_values(*e);
    return value(*e, 0);
  }

  // Every strip or tile the offsets name must be in the file, as long as
  // the byte counts the writer gave.
  void check_picture_data(const std::optional<Entry>& offsets,
                          const std::optional<Entry>& byte_counts) const {
    if (!offsets) corrupt("no picture data");
    check_values(*offsets);
    if (!byte_counts) return;  // libtiff estimates them
    check_values(*byte_counts);
    if (byte_counts->count < offsets->count) corrupt("fewer byte counts than strips");
    for (uint64_t i = 0; i < offsets->count; ++i) {
      const uint64_t length = value(*byte_counts, i);
      if (length != 0 && !in_range(size_, value(*offsets, i), length)) throw Stop{kTruncated};
    }
  }

  void read_directory(uint64_t at, TiffStructure& out) const {
    const uint64_t count_size = big_ ? 8 : 2, entry_size = big_ ? 20 : 12;
    if (!in_range(size_, at, count_size)) throw Stop{kTruncated};
    const uint64_t entries = big_ ? u64(at) : u16(at);
    if (entries == 0) corrupt("empty directory");
    if (entries > kMaxEntries) corrupt("too many directory entries");
    if (!in_range(size_, at + count_size, entries * entry_size)) throw Stop{kTruncated};
    std::optional<Entry> width, height, compression, strips, strip_counts, tiles, tile_counts;
    for (uint64_t i = 0; i < entries; ++i) {
      const Entry e = entry_at(at + count_size + i * entry_size);
      // A tag given twice counts the first time, as libtiff takes it.
      switch (e.tag) {
        case kImageWidth:
          if (!width) width = e;
          break;
        case kImageLength:
          if (!height) height = e;
          break;
        case kCompression:
          if (!compression) compression = e;
          break;
        case kStripOffsets:
          if (!strips) strips = e;
          break;
        case kStripByteCounts:
          if (!strip_counts) strip_counts = e;
          break;
        case kTileOffsets:
          if (!tiles) tiles = e;
          break;
        case kTileByteCounts:
          if (!tile_counts) tile_counts = e;
          break;
        default:
          break;
      }
    }
    const std::optional<uint64_t> w = single(width), h = single(height);
    if (!w || !h) corrupt("no picture size");
    out.width = static_cast<int64_t>(std::min<uint64_t>(*w, uint64_t{1} << 32));
    out.height = static_cast<int64_t>(std::min<uint64_t>(*h, uint64_t{1} << 32));
    if (std::string why = picture_size_problem(out.width, out.height); !why.empty()) {
      throw Stop{why};
    }
    out.compression = static_cast<int>(std::min<uint64_t>(single(compression).value_or(1), 65535));
    if (!tiff_compression_allowed(out.compression)) {
      const char* name = compression_name(out.compression);
      throw Stop{"unsupported TIFF compression (" +
                 (name ? std::string(name) : std::to_string(out.compression)) + ")"};
    }
    if (tiles) {
      check_picture_data(tiles, tile_counts);
    } else {
      check_picture_data(strips, strip_counts);
    }
  }

  const unsigned char* p_;
  uint64_t size_;
  bool little_ = true;
  bool big_ = false;
};

}  // namespace

bool tiff_compression_allowed(int compression) {
  switch (compression) {
    case 1:      // none
    case 2:      // CCITT modified Huffman
    case 3:      // CCITT group 3 fax
    case 4:      // CCITT group 4 fax
    case 5:      // LZW
    case 7:      // JPEG
    case 8:      // Deflate
    case 32946:  // Deflate, its older code
    case 32773:  // PackBits
      return true;
    default:
      return false;
  }
}

TiffStructure read_tiff_structure(std::string_view bytes) {
  try {
    return Reader(bytes).read();
  } catch (const Stop& stop) {
    TiffStructure out;
    out.problem = stop.reason;
    return out;
  }
}

}  // namespace vs
