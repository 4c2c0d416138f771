#include "pictures/jpeg_huffman.h"

#include <algorithm>

namespace vs {

namespace {

constexpr unsigned kRst0 = 0xD0;
constexpr unsigned kRst7 = 0xD7;

struct DataEnds {};

// The bits of a scan's entropy-coded data, as libjpeg's Huffman decoder
// reads them: stuffed zeros dropped, zeros supplied once a marker is met.
class BitReader {
 public:
  BitReader(const unsigned char* p, size_t size, size_t at) : p_(p), size_(size), at_(at) {}

  int bit() {
    if (bits_ == 0) {
      if (marker_) return 0;
      if (at_ >= size_) throw DataEnds{};
      unsigned c = p_[at_];
      if (c == 0xFF) {
        size_t next = at_ + 1;
        while (next < size_ && p_[next] == 0xFF) ++next;
        if (next >= size_) throw DataEnds{};
        if (p_[next] != 0) {
          marker_ = true;
          return 0;
        }
        at_ = next + 1;
      } else {
        ++at_;
      }
      byte_ = c;
      bits_ = 8;
    }
    return static_cast<int>((byte_ >> --bits_) & 1);
  }

  int bits(int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | bit();
    return v;
  }

  // A bad code decodes as 0, as libjpeg does (with a warning).
  int symbol(const JpegHuffmanTable& t) {
    int32_t code = bit();
    for (int length = 1; length <= 16; ++length) {
      if (code <= t.last[length]) {
        const size_t at = static_cast<size_t>(t.start[length] + code - t.first[length]);
        return at < t.values.size() ? t.values[at] : 0;
      }
      code = (code << 1) | bit();
    }
    return 0;
  }

  // At a restart: the rest of the byte is dropped and the restart marker
  // read. False when something else comes (libjpeg resynchronises there).
  bool restart() {
    bits_ = 0;
    if (marker_) return false;
    size_t at = at_;
    if (at >= size_) throw DataEnds{};
    if (p_[at] != 0xFF) return false;
    while (at < size_ && p_[at] == 0xFF) ++at;
    if (at >= size_) throw DataEnds{};
    if (p_[at] < kRst0 || p_[at] > kRst7) return false;
    at_ = at + 1;
    return true;
  }

 private:
  const unsigned char* p_;
  size_t size_;
  size_t at_;
  unsigned byte_ = 0;
  int bits_ = 0;
  bool marker_ = false;
};

}  // namespace

bool JpegHuffmanTable::prepare(bool dc) {
  int32_t code = 0;
  int k = 0;
  for (int length = 1; length <= 16; ++length) {
    first[length] = code;
    start[length] = k;
    code += counts[length];
    k += counts[length];
    if (code > (int32_t{1} << length)) return false;
    last[length] = counts[length] ? code - 1 : -1;
    code <<= 1;
  }
  if (dc && std::any_of(values.begin(), values.end(), [](uint8_t v) { return v > 15; })) {
    return false;
  }
  return true;
}
int64_t jpeg_mcu_at_end(const unsigned char* p, size_t size, size_t at,
                        const JpegScanCoding& coding) {
  BitReader in(p, size, at);
  int64_t mcu = 0;
  try {
    for (; mcu < coding.mcus; ++mcu) {
      const int interval = coding.restart_interval;
      if (interval > 0 && mcu > 0 && mcu % interval == 0 && !in.restart()) return -1;
      for (const JpegScanCoding::Block& block : coding.blocks) {
        in.bits(in.symbol(*block.dc));
        for (int k = 1; k < 64; ++k) {
          const int rs = in.symbol(*block.ac);
          const int run = rs >> 4, bits = rs & 15;
          if (bits != 0) {
            k += run;
            in.bits(bits);
          } else if (run == 15) {
            k += 15;
          } else {
            break;  // the end of the block
          }
        }
      }
    }
  } catch (const DataEnds&) {
    return mcu;
  }
  return -1;
}

}  // namespace vs
