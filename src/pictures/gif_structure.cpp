#include "pictures/gif_structure.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pictures/byte_order.h"
#include "pictures/decoders.h"

namespace vs {

namespace {

constexpr unsigned char kImage = ',';
constexpr unsigned char kExtension = '!';
constexpr unsigned char kTrailer = ';';
constexpr unsigned char kGraphicsControl = 0xF9;

struct Stop {
  std::string reason;
};

const char* const kTruncated = "truncated GIF data";
const char* const kDefective = "corrupt GIF data (Image is defective, decoding aborted)";

class Reader {
 public:
  explicit Reader(std::string_view bytes) : p_(bytes_of(bytes)), size_(bytes.size()) {}

  int byte() {
    if (at_ >= size_) throw Stop{kTruncated};
    return p_[at_++];
  }
  int word() {
    const int low = byte();
    return low | (byte() << 8);
  }
  void skip(size_t n) {
    if (n > size_ - at_) throw Stop{kTruncated};
    at_ += n;
  }
  // n bytes from here on, which must be there.
  const unsigned char* take(size_t n) {
    const unsigned char* here = p_ + at_;
    skip(n);
    return here;
  }
  // A colour table of 2^(bits + 1) entries when the flags say there is one.
  bool colour_table(int flags) {
    if (!(flags & 0x80)) return false;
    skip(size_t{3} << ((flags & 7) + 1));
    return true;
  }
  const unsigned char* here() const { return p_ + at_; }

 private:
  const unsigned char* p_;
  size_t size_;
  size_t at_ = 0;
};

// giflib's LZW decoding of a frame, reduced to what decides whether it
// fails: how many pixels the codes give, when a table entry is missing,
// and where the data blocks run out. Pixel values play no part in that and
// are not kept.
class LzwCheck {
 public:
  LzwCheck(Reader& in, int code_size)
      : in_(in),
        bits_per_pixel_(code_size),
        clear_(1 << code_size),
        end_(clear_ + 1),
        prefix_(kMaxCode + 1, kNoCode) {
    restart();
  }

  // The codes of `pixels` pixels, as giflib reads them row by row.
  void decode(int64_t pixels) {
    int64_t out = 0;
    while (out < pixels) {
      if (stack_ > 0) {
        const int64_t n = std::min<int64_t>(stack_, pixels - out);
        stack_ -= static_cast<int>(n);
        out += n;
        continue;
      }
      const int code = next_code();
      if (code == end_) throw Stop{kTruncated};  // the end before the last pixel
      if (code == clear_) {
        std::fill(prefix_.begin(), prefix_.end(), kNoCode);
        restart();
        continue;
      }
      if (code < clear_) {
        ++out;
      } else {
        int from = code;
        if (prefix_[static_cast<size_t>(code)] == kNoCode) {
          from = last_;
          ++stack_;  // the code being defined ends in its own first pixel
        }
        while (stack_ < kMaxCode && from > clear_ && from <= kMaxCode) {
          ++stack_;
          from = prefix_[static_cast<size_t>(from)];
        }
        if (stack_ >= kMaxCode || from > kMaxCode) throw Stop{kDefective};
        ++stack_;
      }
      if (last_ != kNoCode && running_ - 2 <= kMaxCode &&
          prefix_[static_cast<size_t>(running_ - 2)] == kNoCode) {
        prefix_[static_cast<size_t>(running_ - 2)] = last_;
      }
      last_ = code;
    }
  }

 private:
  static constexpr int kMaxCode = 4095;
  static constexpr int kNoCode = 4098;

  void restart() {
    running_ = end_ + 1;
    running_bits_ = bits_per_pixel_ + 1;
    max_code_ = 1 << running_bits_;
    last_ = kNoCode;
  }

  // The data comes in blocks, each read whole when its first byte is
  // needed; an empty block before the end code is a defect.
  int next_byte() {
    if (block_left_ == 0) {
      const int length = in_.byte();
      if (length == 0) throw Stop{kDefective};
      block_ = in_.take(static_cast<size_t>(length));
      block_left_ = length;
    }
    --block_left_;
    return *block_++;
  }

  int next_code() {
    if (running_bits_ > 12) throw Stop{kDefective};
    while (shift_bits_ < running_bits_) {
      shift_ |= static_cast<uint32_t>(next_byte()) << shift_bits_;
      shift_bits_ += 8;
    }
    const int code = static_cast<int>(shift_ & ((1u << running_bits_) - 1));
    shift_ >>= running_bits_;
    shift_bits_ -= running_bits_;
    if (running_ < kMaxCode + 2 && ++running_ > max_code_ && running_bits_ < 12) {
      max_code_ <<= 1;
      ++running_bits_;
    }
    return code;
  }

  Reader& in_;
  const int bits_per_pixel_, clear_, end_;
  int running_ = 0, running_bits_ = 0, max_code_ = 0, last_ = kNoCode;
  int stack_ = 0;  // pixels traced but not yet handed out
  std::vector<int> prefix_;
  const unsigned char* block_ = nullptr;
  int block_left_ = 0;
  uint32_t shift_ = 0;
  int shift_bits_ = 0;
};

// The steps of giflib as the Linux decoder takes them, each failing where
// giflib fails.
void read(Reader& in, GifStructure& out) {
  const unsigned char* signature = in.take(6);  // "GIF" and the version
  if (signature[0] != 'G' || signature[1] != 'I' || signature[2] != 'F') {
    throw Stop{"not a GIF file"};
  }
  const int64_t screen_w = in.word(), screen_h = in.word();
  const int screen_flags = in.byte();
  in.skip(2);  // background colour and aspect ratio
  const bool global_colours = in.colour_table(screen_flags);
  if (screen_w > 0 && screen_h > 0) {
    if (std::string why = picture_size_problem(screen_w, screen_h); !why.empty()) throw Stop{why};
  }
  int transparent = -1;
  for (;;) {
    const int record = in.byte();
    if (record == kImage) break;
    if (record == kTrailer) throw Stop{"GIF file holds no picture"};
    if (record != kExtension) throw Stop{"corrupt GIF data (Wrong record type detected)"};
    const int code = in.byte();
    bool first = true;
    for (int length = in.byte(); length > 0; length = in.byte()) {
      const unsigned char* block = in.here();
      in.skip(static_cast<size_t>(length));
      // A graphics control block names the transparent colour, or that
      // there is none; the last one before the picture counts.
      if (first && code == kGraphicsControl && length == 4) {
        transparent = (block[0] & 1) ? block[3] : -1;
      }
      first = false;
    }
  }
  const int64_t left = in.word(), top = in.word(), frame_w = in.word(), frame_h = in.word();
  const int frame_flags = in.byte();
  const bool interlaced = frame_flags & 0x40;
  const bool local_colours = in.colour_table(frame_flags);
  // giflib leaves no error code when the code size is missing, and calls a
  // code size over 8 a failed read.
  int code_size = 0;
  try {
    code_size = in.byte();
  } catch (const Stop&) {
    throw Stop{"corrupt GIF data (unknown error)"};
  }
  if (code_size > 8) throw Stop{kTruncated};
  if (std::string why = picture_size_problem(frame_w, frame_h); !why.empty()) throw Stop{why};
  // Some writers leave the screen size 0: the frame then decides.
  int64_t w = screen_w, h = screen_h;
  if (w <= 0 || h <= 0) w = left + frame_w, h = top + frame_h;
  if (std::string why = picture_size_problem(w, h); !why.empty()) throw Stop{why};
  if (!global_colours && !local_colours) throw Stop{"GIF picture has no colour table"};
  // The Linux decoder reads the frame's rows until one falls below the
  // screen (all of them when interlaced); giflib reads the rest of the data
  // blocks after the last row.
  int64_t rows = frame_h;
  if (!interlaced && top + frame_h > h) rows = std::min(frame_h, std::max<int64_t>(h - top, 0) + 1);
  LzwCheck(in, code_size).decode(frame_w * rows);
  if (rows == frame_h) {
    for (int length = in.byte(); length > 0; length = in.byte())
      in.skip(static_cast<size_t>(length));
  }
  out.width = static_cast<int>(w);
  out.height = static_cast<int>(h);
  out.left = static_cast<int>(left);
  out.top = static_cast<int>(top);
  out.frame_width = static_cast<int>(frame_w);
  out.frame_height = static_cast<int>(frame_h);
  out.transparent = transparent;
}

}  // namespace

std::string read_gif_structure(std::string_view bytes, GifStructure& out) {
  out = GifStructure{};
  Reader in(bytes);
  try {
    read(in, out);
  } catch (const Stop& stop) {
    out = GifStructure{};
    return stop.reason;
  }
  return {};
}

}  // namespace vs
