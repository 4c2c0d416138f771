#include "pictures/webp_structure.h"

#include <cstdint>
#include <string>

#include "pictures/byte_order.h"
#include "pictures/decoders.h"

namespace vs {

namespace {

constexpr size_t kChunkHeader = 8;
constexpr size_t kVp8xPayload = 10;
constexpr size_t kFrameHeader = 16;  // an ANMF chunk's own fields, before its chunks
constexpr unsigned kAnimationFlag = 0x02;
constexpr unsigned char kVp8lSignature = 0x2F;

const char kTruncated[] = "truncated WebP data";

std::string corrupt(const char* what) {
  return std::string("corrupt WebP data (") + what + ")";
}

uint32_t le24(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16;
}

struct Chunk {
  std::string_view tag;
  std::string_view payload;
};

// The chunks of a run of them, one at a time. A chunk that reaches past the
// run is the end of a cut file where the run reaches the file's end, and
// damage otherwise; a chunk's odd length is padded by one byte, which the
// last chunk may lack.
class ChunkWalk {
 public:
  ChunkWalk(std::string_view run, bool reaches_file_end)
      : run_(run), reaches_file_end_(reaches_file_end) {}

  // False at the end of the run, or when the next chunk does not fit (then
  // problem says why).
  bool next(Chunk& out, std::string& problem) {
    const size_t left = run_.size() - at_;
    if (left == 0) return false;
    if (left < kChunkHeader) {
      problem = reaches_file_end_ ? kTruncated : corrupt("chunk header cut short");
      return false;
    }
    const unsigned char* p = bytes_of(run_) + at_;
    const uint64_t size = le32(p + 4);
    if (!in_range(run_.size(), at_ + kChunkHeader, size)) {
      problem = reaches_file_end_ ? kTruncated : corrupt("chunk larger than what holds it");
      return false;
    }
    out.tag = run_.substr(at_, 4);
    out.payload = run_.substr(at_ + kChunkHeader, static_cast<size_t>(size));
    at_ += kChunkHeader + static_cast<size_t>(size);
    if ((size & 1) != 0 && at_ < run_.size()) ++at_;
    return true;
  }

 private:
  std::string_view run_;
  bool reaches_file_end_;
  size_t at_ = 0;
};

bool is_bitstream(const Chunk& c) {
  return c.tag == "VP8 " || c.tag == "VP8L";
}

// The size a lossy (VP8) or lossless (VP8L) bitstream declares, checked as
// libwebp checks it before it decodes anything.
std::string read_bitstream_header(const Chunk& c, int64_t& width, int64_t& height, bool& lossless) {
  const unsigned char* p = bytes_of(c.payload);
  const size_t n = c.payload.size();
  lossless = c.tag == "VP8L";
  if (lossless) {
    if (n < 5) return corrupt("VP8L header cut short");
    if (p[0] != kVp8lSignature) return corrupt("bad VP8L signature");
    const uint32_t bits = le32(p + 1);
    if ((bits >> 29) != 0) return corrupt("unknown VP8L version");
    width = (bits & 0x3FFF) + 1;
    height = ((bits >> 14) & 0x3FFF) + 1;
    return {};
  }
  if (n < 10) return corrupt("VP8 frame header cut short");
  const uint32_t tag = le24(p);
  if ((tag & 1) != 0) return corrupt("VP8 frame is not a key frame");
  if (((tag >> 1) & 7) > 3) return corrupt("unknown VP8 version");
  if (((tag >> 4) & 1) == 0) return corrupt("VP8 frame is not shown");
  if ((tag >> 5) >= n) return corrupt("VP8 partition larger than its chunk");
  if (p[3] != 0x9D || p[4] != 0x01 || p[5] != 0x2A) return corrupt("bad VP8 signature");
  width = le16(p + 6) & 0x3FFF;
  height = le16(p + 8) & 0x3FFF;
  if (width == 0 || height == 0) return corrupt("VP8 frame of no size");
  return {};
}

// The first frame of an animation: its place on the canvas, and its picture
// inside it (after an optional ALPH chunk).
std::string read_first_frame(const Chunk& frame, const WebpStructure& canvas, bool& lossless) {
  if (frame.payload.size() < kFrameHeader) return corrupt("frame header cut short");
  const unsigned char* p = bytes_of(frame.payload);
  const int64_t left = int64_t{2} * le24(p), top = int64_t{2} * le24(p + 3);
  ChunkWalk walk(frame.payload.substr(kFrameHeader), false);
  Chunk c;
  std::string problem;
  while (walk.next(c, problem)) {
    if (!is_bitstream(c)) continue;
    int64_t width = 0, height = 0;
    problem = read_bitstream_header(c, width, height, lossless);
    if (!problem.empty()) return problem;
    if (left + width > canvas.width || top + height > canvas.height) {
      return corrupt("frame outside the canvas");
    }
    return {};
  }
  return problem.empty() ? corrupt("frame without a picture") : problem;
}

// The chunks after a VP8X chunk: the profile, the animation's first frame or
// the still picture, and EXIF. Damage after the picture's chunk is left to
// the libraries: libwebp stops reading a still picture there.
void read_extended(ChunkWalk& walk, WebpStructure& out) {
  bool animation_seen = false, picture_seen = false;
  Chunk c;
  std::string problem;
  // The VP8X chunk is the first.
  for (int count = 2; walk.next(c, problem); ++count) {
    if (count > kMaxWebpChunks) {
      out.problem = "too many WebP chunks";
      return;
    }
    if (c.tag == "ICCP" && out.icc_profile.empty()) {
      out.icc_profile = c.payload;
    } else if (c.tag == "EXIF" && out.exif.empty()) {
      out.exif = c.payload;
    } else if (c.tag == "ANIM") {
      animation_seen = true;
    } else if (c.tag == "ANMF" && out.animated && !picture_seen) {
      if (!animation_seen) {
        out.problem = corrupt("frame before the ANIM chunk");
        return;
      }
      out.problem = read_first_frame(c, out, out.lossless);
      if (!out.problem.empty()) return;
      picture_seen = true;
    } else if (is_bitstream(c) && !out.animated && !picture_seen) {
      int64_t width = 0, height = 0;
      out.problem = read_bitstream_header(c, width, height, out.lossless);
      if (!out.problem.empty()) return;
      if (width != out.width || height != out.height) {
        out.problem = corrupt("picture size differs from the canvas");
        return;
      }
      picture_seen = true;
    }
  }
  if (!picture_seen) out.problem = problem.empty() ? "WebP file holds no picture" : problem;
}

}  // namespace

WebpStructure read_webp_structure(std::string_view bytes) {
  WebpStructure out;
  const unsigned char* p = bytes_of(bytes);
  if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WEBP") {
    out.problem = "not a WebP file";
    return out;
  }
  // The RIFF size counts what follows its own field: "WEBP" and the chunks.
  const uint64_t riff_size = le32(p + 4);
  if (riff_size < 4 + kChunkHeader) {
    out.problem = corrupt("RIFF size too small");
    return out;
  }
  if (riff_size + 8 > bytes.size()) {
    out.problem = kTruncated;
    return out;
  }
  const std::string_view chunks = bytes.substr(12, static_cast<size_t>(riff_size - 4));
  ChunkWalk walk(chunks, riff_size + 8 == bytes.size());
  Chunk first;
  if (!walk.next(first, out.problem)) {
    if (out.problem.empty()) out.problem = "WebP file holds no picture";
    return out;
  }
  if (is_bitstream(first)) {
    // A simple file: the one bitstream is the picture.
    out.problem = read_bitstream_header(first, out.width, out.height, out.lossless);
  } else if (first.tag == "VP8X") {
    if (first.payload.size() != kVp8xPayload) {
      out.problem = corrupt("VP8X chunk of the wrong size");
      return out;
    }
    const unsigned char* x = bytes_of(first.payload);
    out.animated = (x[0] & kAnimationFlag) != 0;
    out.width = int64_t{le24(x + 4)} + 1;
    out.height = int64_t{le24(x + 7)} + 1;
    // The canvas is what the decoders allocate: checked before anything
    // else is read.
    out.problem = picture_size_problem(out.width, out.height);
    if (out.problem.empty()) read_extended(walk, out);
  } else {
    out.problem = corrupt("no VP8X, VP8 or VP8L chunk first");
  }
  if (out.problem.empty()) out.problem = picture_size_problem(out.width, out.height);
  return out;
}

}  // namespace vs
