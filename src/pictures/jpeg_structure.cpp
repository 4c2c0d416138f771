#include "pictures/jpeg_structure.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "core/surface.h"
#include "pictures/decoders.h"
#include "pictures/exif.h"
#include "pictures/jpeg_huffman.h"

namespace vs {

namespace {

enum Marker : int {
  kTem = 0x01,
  kSof0 = 0xC0,
  kSof1 = 0xC1,
  kSof2 = 0xC2,
  kDht = 0xC4,
  kSof9 = 0xC9,
  kSof10 = 0xCA,
  kDac = 0xCC,
  kRst0 = 0xD0,
  kRst7 = 0xD7,
  kSoi = 0xD8,
  kEoi = 0xD9,
  kSos = 0xDA,
  kDqt = 0xDB,
  kDnl = 0xDC,
  kDri = 0xDD,
  kApp0 = 0xE0,
  kApp1 = 0xE1,
  kApp14 = 0xEE,
  kApp15 = 0xEF,
  kCom = 0xFE,
};

// libjpeg's limits.
constexpr int kMaxDimension = 65500;
constexpr int kMaxComponents = 10;
constexpr int kMaxComponentsInScan = 4;
constexpr int kMaxBlocksInMcu = 10;

// How a scan ends: where its data ran out, or at a marker.
struct Truncated {};
struct Corrupt {
  std::string message;  // libjpeg's words
};
struct Refused {
  std::string reason;  // the whole reason
};

[[noreturn]] void corrupt(const char* message) {
  throw Corrupt{message};
}

template <class... Args>
[[noreturn]] void corrupt(const char* format, Args... args) {
  char text[120];
  std::snprintf(text, sizeof text, format, args...);
  throw Corrupt{text};
}

struct Component {
  int id = 0;
  int h = 1, v = 1;
  int quant = 0;
  int dc = 0, ac = 0;  // Huffman tables of the scan
  int64_t width_in_blocks = 0, height_in_blocks = 0;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes)
      : p_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()) {}

  std::string read(JpegStructure& out);

 private:
  // Past the end, libjpeg's memory source hands out end markers (FF D9)
  // for ever, with a warning; while the scans are read, we do the same.
  int byte() {
    if (at_ < size_) return p_[at_++];
    if (!fake_end_) throw Truncated{};
    end_read();
    return fake_at_++ % 2 == 0 ? 0xFF : kEoi;
  }
  int word() {
    const int high = byte();
    return (high << 8) | byte();
  }
  void skip(int64_t n) {
    if (n <= 0) return;
    const uint64_t real = std::min<uint64_t>(static_cast<uint64_t>(n), size_ - at_);
    if (real < static_cast<uint64_t>(n)) {
      if (!fake_end_) throw Truncated{};
      end_read();
      fake_at_ += static_cast<uint64_t>(n) - real;
    }
    at_ += static_cast<size_t>(real);
  }
  void end_read() {
    if (!ended_) scans_at_end_ = scans_;
    ended_ = true;
  }
  // The next marker: whatever is not one is skipped, as libjpeg does.
  int next_marker() {
    for (;;) {
      int c = byte();
      while (c != 0xFF) c = byte();
      do {
        c = byte();
      } while (c == 0xFF);
      if (c != 0) return c;
    }
  }
  void read_marker(int marker);
  void read_sof(bool progressive, bool arithmetic);
  void read_sos();
  void read_dht();
  void read_dqt();
  void read_dri();
  void read_dac();
  void read_app(int marker);
  void skip_variable() { skip(word() - 2); }

  void check_frame();
  void check_first_scan();
  void check_scan();
  bool multi_scan() const { return progressive_ || scan_.size() < components_.size(); }
  bool may_hold_all_blocks() const;
  int64_t coefficient_bytes() const;
  bool single_scan_cut_short(size_t data_start);

  const unsigned char* p_;
  size_t size_;
  size_t at_ = 0;
  bool fake_end_ = false;  // the end of the data reads as end markers
  bool ended_ = false;     // and has been read so
  uint64_t fake_at_ = 0;
  int scans_at_end_ = 0;  // the scans begun when the end was read

  bool saw_sof_ = false;
  bool progressive_ = false;
  bool arithmetic_ = false;
  int precision_ = 0;
  int width_ = 0, height_ = 0;
  int max_h_ = 1, max_v_ = 1;
  std::vector<Component> components_;
  std::vector<size_t> scan_;  // the components of the scan read last
  int scan_start_ = 0, scan_end_ = 0, scan_high_ = 0, scan_low_ = 0;
  int scans_ = 0;
  int restart_interval_ = 0;
  std::array<JpegHuffmanTable, 4> dc_{}, ac_{};
  std::array<bool, 4> quant_{};
  bool adobe_ = false;
  int orientation_ = 1;
};

void Reader::read_sof(bool progressive, bool arithmetic) {
  if (saw_sof_) corrupt("Invalid JPEG file structure: two SOF markers");
  progressive_ = progressive;
  arithmetic_ = arithmetic;
  const int length = word();
  precision_ = byte();
  height_ = word();
  width_ = word();
  const int count = byte();
  if (height_ <= 0 || width_ <= 0 || count <= 0) corrupt("Empty JPEG image (DNL not supported)");
  if (length - 8 != count * 3) corrupt("Bogus marker length");
  components_.assign(static_cast<size_t>(count), {});
  for (Component& c : components_) {
    c.id = byte();
    const int sampling = byte();
    c.h = (sampling >> 4) & 15;
    c.v = sampling & 15;
    c.quant = byte();
  }
  saw_sof_ = true;
}

void Reader::read_sos() {
  if (!saw_sof_) corrupt("Invalid JPEG file structure: SOS before SOF");
  const int length = word();
  const int count = byte();
  if (length != count * 2 + 6 || count < 1 || count > kMaxComponentsInScan) {
    corrupt("Bogus marker length");
  }
  scan_.clear();
  for (int i = 0; i < count; ++i) {
    const int id = byte();
    const int tables = byte();
    auto it = std::find_if(components_.begin(), components_.end(), [&](const Component& c) {
      return c.id == id && std::find(scan_.begin(), scan_.end(),
                                     static_cast<size_t>(&c - components_.data())) == scan_.end();
    });
    if (it == components_.end()) corrupt("Invalid component ID %d in SOS", id);
    it->dc = (tables >> 4) & 15;
    it->ac = tables & 15;
    scan_.push_back(static_cast<size_t>(it - components_.begin()));
  }
  scan_start_ = byte();
  scan_end_ = byte();
  const int approximation = byte();
  scan_high_ = (approximation >> 4) & 15;
  scan_low_ = approximation & 15;
  ++scans_;
}

void Reader::read_dht() {
  int64_t length = word() - 2;
  while (length > 16) {
    int index = byte();
    JpegHuffmanTable table;
    table.defined = true;
    int count = 0;
    for (int i = 1; i <= 16; ++i) count += table.counts[static_cast<size_t>(i)] = byte();
    length -= 1 + 16;
    if (count > 256 || count > length) corrupt("Bogus Huffman table definition");
    table.values.resize(static_cast<size_t>(count));
    for (uint8_t& v : table.values) v = static_cast<uint8_t>(byte());
    length -= count;
    const bool ac = index & 0x10;
    if (ac) index -= 0x10;
    if (index < 0 || index >= 4) corrupt("Bogus DHT index %d", index);
    (ac ? ac_ : dc_)[static_cast<size_t>(index)] = std::move(table);
  }
  if (length != 0) corrupt("Bogus marker length");
}

void Reader::read_dqt() {
  int64_t length = word() - 2;
  while (length > 0) {
    --length;
    const int n = byte();
    const int precision = n >> 4, index = n & 0x0F;
    if (index >= 4) corrupt("Bogus DQT index %d", index);
    const int64_t count = std::min<int64_t>(64, precision ? length / 2 : length);
    skip(precision ? 2 * count : count);
    length -= precision ? 2 * count : count;
    quant_[static_cast<size_t>(index)] = true;
  }
  if (length != 0) corrupt("Bogus marker length");
}

void Reader::read_dri() {
  if (word() != 4) corrupt("Bogus marker length");
  restart_interval_ = word();
}

void Reader::read_dac() {
  int64_t length = word() - 2;
  while (length > 0) {
    const int index = byte();
    const int value = byte();
    length -= 2;
    if (index >= 32) corrupt("Bogus DAC index %d", index);
    if (index < 16 && (value & 0x0F) > (value >> 4)) corrupt("Bogus DAC value 0x%x", value);
  }
  if (length != 0) corrupt("Bogus marker length");
}

// APP1 may hold the EXIF orientation (only those before the picture count,
// as libjpeg has seen no others when the picture is set up), APP14 Adobe's
// colour transform. A length below 2 skips nothing, as in libjpeg.
void Reader::read_app(int marker) {
  const int64_t length = word() - 2;
  if (length <= 0) return;
  const size_t at = at_;
  skip(length);
  const std::string_view payload(reinterpret_cast<const char*>(p_ + at),
                                 std::min(static_cast<size_t>(length), size_ - at));
  if (marker == kApp1 && scans_ == 0 && orientation_ == 1) {
    orientation_ = exif_orientation(payload);
  } else if (marker == kApp14 && length >= 12 && payload.substr(0, 5) == "Adobe") {
    adobe_ = true;
  }
}

void Reader::read_marker(int marker) {
  switch (marker) {
    case kSof0:
    case kSof1:
      return read_sof(false, false);
    case kSof2:
      return read_sof(true, false);
    case kSof9:
      return read_sof(false, true);
    case kSof10:
      return read_sof(true, true);
    case 0xC3:
    case 0xC5:
    case 0xC6:
    case 0xC7:
    case 0xC8:
    case 0xCB:
    case 0xCD:
    case 0xCE:
    case 0xCF:
      corrupt("Unsupported JPEG process: SOF type 0x%02x", marker);
    case kSoi:
      corrupt("Invalid JPEG file structure: two SOI markers");
    case kSos:
      return read_sos();
    case kDht:
      return read_dht();
    case kDqt:
      return read_dqt();
    case kDri:
      return read_dri();
    case kDac:
      return read_dac();
    case kDnl:
    case kCom:
      return skip_variable();
    case kTem:
      return;
    default:
      if (marker >= kApp0 && marker <= kApp15) return read_app(marker);
      if (marker >= kRst0 && marker <= kRst7) return;
      corrupt("Unsupported marker type 0x%02x", marker);
  }
}

// libjpeg's checks of the frame once its header is read.
void Reader::check_frame() {
  if (height_ > kMaxDimension || width_ > kMaxDimension) {
    corrupt("Maximum supported image dimension is %u pixels", unsigned{kMaxDimension});
  }
  if (precision_ != 8) corrupt("Unsupported JPEG data precision %d", precision_);
  if (static_cast<int>(components_.size()) > kMaxComponents) {
    corrupt("Too many color components: %d, max %d", static_cast<int>(components_.size()),
            kMaxComponents);
  }
  max_h_ = max_v_ = 1;
  for (const Component& c : components_) {
    if (c.h <= 0 || c.h > 4 || c.v <= 0 || c.v > 4) corrupt("Bogus sampling factors");
    max_h_ = std::max(max_h_, c.h);
    max_v_ = std::max(max_v_, c.v);
  }
  for (Component& c : components_) {
    c.width_in_blocks = (int64_t{width_} * c.h + 8 * max_h_ - 1) / (8 * max_h_);
    c.height_in_blocks = (int64_t{height_} * c.v + 8 * max_v_ - 1) / (8 * max_v_);
  }
}

// Huffman-coded sequential data needs at least two bits per 8 x 8 block (a DC
// code and an end of block), so a file shorter than that is cut off.
bool Reader::may_hold_all_blocks() const {
  if (progressive_ || arithmetic_) return true;
  uint64_t blocks = 0;
  for (const Component& c : components_) {
    blocks += static_cast<uint64_t>(c.width_in_blocks * c.height_in_blocks);
  }
  return blocks * 2 <= uint64_t{size_} * 8;
}

// What a picture decoded whole before its rows (all its scans first) keeps:
// every coefficient, in rows and columns of whole MCUs.
int64_t Reader::coefficient_bytes() const {
  int64_t total = 0;
  for (const Component& c : components_) {
    const int64_t w = (c.width_in_blocks + c.h - 1) / c.h * c.h;
    const int64_t h = (c.height_in_blocks + c.v - 1) / c.v * c.v;
    total += w * h * 64 * 2;
  }
  return total;
}

// libjpeg's checks when the first scan starts.
void Reader::check_first_scan() {
  if (scan_.size() > 1) {
    int blocks = 0;
    for (size_t i : scan_) blocks += components_[i].h * components_[i].v;
    if (blocks > kMaxBlocksInMcu) corrupt("Sampling factors too large for interleaved scan");
  }
  for (size_t i : scan_) {
    const int q = components_[i].quant;
    if (q < 0 || q >= 4 || !quant_[static_cast<size_t>(q)]) {
      corrupt("Quantization table 0x%02x was not defined", q);
    }
  }
  check_scan();
}

// A scan's parameters and Huffman tables, as libjpeg checks them when the
// scan starts.
void Reader::check_scan() {
  if (progressive_) {
    const bool dc_band = scan_start_ == 0;
    bool bad =
        dc_band ? scan_end_ != 0 : scan_start_ > scan_end_ || scan_end_ >= 64 || scan_.size() != 1;
    bad |= scan_high_ != 0 && scan_low_ != scan_high_ - 1;
    bad |= scan_low_ > 13;
    if (bad) {
      corrupt("Invalid progressive parameters Ss=%d Se=%d Ah=%d Al=%d", scan_start_, scan_end_,
              scan_high_, scan_low_);
    }
  }
  if (arithmetic_) return;
  // Sequential scans take libjpeg's standard tables 0 and 1 when the file
  // gives none; progressive ones do not.
  auto check = [this](int number, std::array<JpegHuffmanTable, 4>& tables, bool dc) {
    if (number >= 4 ||
        ((progressive_ || number >= 2) && !tables[static_cast<size_t>(number)].defined)) {
      corrupt("Huffman table 0x%02x was not defined", number);
    }
    JpegHuffmanTable& t = tables[static_cast<size_t>(number)];
    if (t.defined && !t.prepare(dc)) corrupt("Bogus Huffman table definition");
  };
  const bool dc = !progressive_ || (scan_start_ == 0 && scan_high_ == 0);
  const bool ac = !progressive_ || scan_start_ > 0;
  for (size_t i : scan_) {
    if (dc) check(components_[i].dc, dc_, true);
    if (ac) check(components_[i].ac, ac_, false);
  }
}

// A picture in one scan is decoded row by row. When its data runs out (no
// marker follows it), libjpeg meets the end a little ahead of the rows it
// hands out, and calls the data cut short unless the end is within two MCU
// rows of the bottom (as it is for a file that only lost its end marker).
// The MCU where the data ends is found by decoding the Huffman codes; data
// that cannot be decoded so (arithmetic coding, libjpeg's standard tables)
// counts as cut short.
bool Reader::single_scan_cut_short(size_t data_start) {
  const int mcu_height = 8 * max_v_;
  const int64_t mcu_rows = (height_ + mcu_height - 1) / mcu_height;
  const bool interleaved = scan_.size() > 1;
  const Component& only = components_[scan_.front()];
  const int64_t per_row =
      interleaved ? (width_ + 8 * max_h_ - 1) / (8 * max_h_) : only.width_in_blocks;
  const int64_t total = interleaved ? per_row * mcu_rows : per_row * only.height_in_blocks;
  // The rows above the MCU row being decoded are out when the end is met,
  // but for the last few when colour that is subsampled vertically needs
  // the next MCU row to be upsampled (libjpeg's "context" rows).
  bool context = false;
  for (const Component& c : components_) {
    context |= max_v_ == 2 * c.v && (max_h_ == c.h || max_h_ == 2 * c.h);
  }
  auto cut_short_at = [&](int64_t mcu) {
    const int64_t block_row = mcu / std::max<int64_t>(per_row, 1);
    const int64_t mcu_row = interleaved ? block_row : block_row / only.v;
    const int64_t out = mcu_row == 0 ? 0 : mcu_row * mcu_height - (context ? max_v_ : 0);
    return out + 2 * mcu_height < height_;
  };
  // A marker after the data: libjpeg reads zeros from there on, not the end.
  for (size_t at = data_start; at + 1 < size_; ++at) {
    if (p_[at] == 0xFF && p_[at + 1] != 0 && p_[at + 1] != 0xFF &&
        (p_[at + 1] < kRst0 || p_[at + 1] > kRst7)) {
      return false;
    }
  }
  if (arithmetic_) return cut_short_at(0);
  JpegScanCoding coding;
  coding.mcus = total;
  coding.restart_interval = restart_interval_;
  for (size_t i : scan_) {
    const Component& c = components_[i];
    const JpegHuffmanTable& dc = dc_[static_cast<size_t>(c.dc)];
    const JpegHuffmanTable& ac = ac_[static_cast<size_t>(c.ac)];
    if (!dc.defined || !ac.defined) return cut_short_at(0);
    for (int k = 0; k < (interleaved ? c.h * c.v : 1); ++k) coding.blocks.push_back({&dc, &ac});
  }
  const int64_t mcu = jpeg_mcu_at_end(p_, size_, data_start, coding);
  return mcu >= 0 && cut_short_at(mcu);
}

std::string Reader::read(JpegStructure& out) {
  if (size_ < 2 || p_[0] != 0xFF || p_[1] != kSoi) {
    corrupt("Not a JPEG file: starts with 0x%02x 0x%02x", size_ > 0 ? p_[0] : 0,
            size_ > 1 ? p_[1] : 0);
  }
  at_ = 2;
  // The headers, up to the first scan.
  for (;;) {
    const int marker = next_marker();
    if (marker == kEoi && saw_sof_) corrupt("Invalid JPEG file structure: missing SOS marker");
    if (marker == kEoi) corrupt("JPEG datastream contains no image");
    read_marker(marker);
    if (marker == kSos) break;
  }
  check_frame();
  if (std::string why = picture_size_problem(width_, height_); !why.empty()) throw Refused{why};
  if (!may_hold_all_blocks()) throw Truncated{};
  const int count = static_cast<int>(components_.size());
  if (count != 1 && count != 3 && count != 4) throw Refused{"unsupported JPEG colour space"};
  const bool buffered = multi_scan();
  if (buffered && coefficient_bytes() > kMaxJpegDecoderMemory) {
    throw Refused{"JPEG picture needs more than " + std::to_string(kMaxJpegDecoderMemory >> 20) +
                  " MB to decode"};
  }
  check_first_scan();
  out.width = width_;
  out.height = height_;
  out.components = count;
  out.orientation = orientation_;
  out.progressive = progressive_;
  if (!buffered) {
    if (single_scan_cut_short(at_)) throw Truncated{};
    out.adobe = adobe_;
    return {};
  }
  // A picture of several scans is read to its end before any row comes
  // out. One whose data ends after its first scan shows, less sharp,
  // without the rest (libjpeg reads the end as an end marker); any failure
  // after the end is the end's.
  fake_end_ = true;
  try {
    // In a scan with restart markers libjpeg passes over other markers
    // below SOF0 in the data as it looks for the next restart marker.
    bool in_scan = true;
    for (;;) {
      const int marker = next_marker();
      if (in_scan && restart_interval_ > 0 && marker < kSof0) continue;
      if (marker == kEoi) break;
      read_marker(marker);
      in_scan = marker == kSos || (in_scan && marker >= kRst0 && marker <= kRst7);
      if (marker == kSos && scans_ > kMaxJpegScans) throw Refused{"too many JPEG scans"};
      if (marker == kSos) check_scan();
    }
  } catch (...) {
    if (ended_) throw Truncated{};
    throw;
  }
  if (ended_ && scans_at_end_ <= 1) throw Truncated{};
  out.adobe = adobe_;
  return {};
}

}  // namespace

std::string read_jpeg_structure(std::string_view bytes, JpegStructure& out) {
  out = JpegStructure{};
  try {
    return Reader(bytes).read(out);
  } catch (const Truncated&) {
    return "truncated JPEG data";
  } catch (const Corrupt& e) {
    return "corrupt JPEG data (" + e.message + ")";
  } catch (const Refused& e) {
    return e.reason;
  }
}

void convert_cmyk_row(const unsigned char* in, uint32_t* out, int width, bool inverted) {
  for (int x = 0; x < width; ++x, in += 4) {
    unsigned c = in[0], m = in[1], y = in[2], k = in[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    out[x] = pixel_rgb((c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
  }
}

}  // namespace vs
