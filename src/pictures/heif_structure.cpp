#include "pictures/heif_structure.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pictures/byte_order.h"
#include "pictures/decoders.h"

namespace vs {

namespace {

struct Box {
  std::string_view type;
  std::string_view payload;
};

// What a walk over the file has found and what has gone wrong, shared by
// every box walk so that the cap on boxes holds for the whole file.
struct Reading {
  std::string_view file;
  std::string kind;
  std::string problem;
  int boxes = 0;

  std::string corrupt(const std::string& what) const {
    return "corrupt " + kind + " data (" + what + ")";
  }
  std::string truncated() const { return "truncated " + kind + " data"; }
};

uint64_t be64(const unsigned char* p) {
  return uint64_t{be32(p)} << 32 | be32(p + 4);
}

// Reads a big-endian field of 0, 1, 2, 4 or 8 bytes at `at`, moving on;
// false when the payload ends before it.
bool take(std::string_view payload, size_t& at, int bytes, uint64_t& value) {
  if (!in_range(payload.size(), at, static_cast<uint64_t>(bytes))) return false;
  const unsigned char* p = bytes_of(payload) + at;
  switch (bytes) {
    case 0:
      value = 0;
      break;
    case 1:
      value = p[0];
      break;
    case 2:
      value = be16(p);
      break;
    case 4:
      value = be32(p);
      break;
    default:
      value = be64(p);
      break;
  }
  at += static_cast<size_t>(bytes);
  return true;
}

// The boxes of a run of them, one at a time. A box that reaches past the
// file is the end of a cut file; one that reaches past the box holding it
// is damage.
class BoxWalk {
 public:
  BoxWalk(std::string_view run, bool top_level, Reading& reading)
      : run_(run), top_level_(top_level), reading_(reading) {}

  // False at the end of the run, or when the next box does not fit (then
  // the reading's problem says why).
  bool next(Box& out) {
    const uint64_t left = run_.size() - at_;
    if (left == 0) return false;
    const unsigned char* p = bytes_of(run_) + at_;
    uint64_t header = 8;
    if (left < header) return fail("box header cut short");
    uint64_t size = be32(p);
    if (size == 1) {
      header = 16;
      if (left < header) return fail("box header cut short");
      size = be64(p + 8);
    } else if (size == 0) {
      size = left;  // to the end of what holds it
    }
    const std::string_view type = run_.substr(at_ + 4, 4);
    if (type == "uuid") header += 16;
    if (left < header) return fail("box header cut short");
    if (size < header) {
      reading_.problem = reading_.corrupt("box smaller than its header");
      return false;
    }
    if (size > left) return fail("box larger than what holds it");
    if (++reading_.boxes > kMaxHeifBoxes) {
      reading_.problem = "too many " + reading_.kind + " boxes";
      return false;
    }
    out.type = type;
    out.payload = run_.substr(at_ + header, static_cast<size_t>(size - header));
    at_ += static_cast<size_t>(size);
    return true;
  }

 private:
  bool fail(const char* what) {
    reading_.problem = top_level_ ? reading_.truncated() : reading_.corrupt(what);
    return false;
  }

  std::string_view run_;
  bool top_level_;
  Reading& reading_;
  size_t at_ = 0;
};

// A full box's version and flags come before its own fields.
bool full_box(const Box& box, Reading& reading, unsigned& version, uint32_t& flags) {
  if (box.payload.size() < 4) {
    reading.problem = reading.corrupt(std::string(box.type) + " box cut short");
    return false;
  }
  const unsigned char* p = bytes_of(box.payload);
  version = p[0];
  flags = static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
  return true;
}

bool too_many_items(uint64_t count, Reading& reading) {
  if (count <= static_cast<uint64_t>(kMaxHeifItems)) return false;
  reading.problem = "too many " + reading.kind + " items";
  return true;
}

// Where every item's data lies: data in this file (construction method 0)
// must be in it, or the file was cut short. libheif would find that out
// only while decoding, and not always.
void check_item_locations(const Box& iloc, Reading& reading) {
  unsigned version = 0;
  uint32_t flags = 0;
  if (!full_box(iloc, reading, version, flags)) return;
  const std::string cut_short = reading.corrupt("iloc box cut short");
  if (version > 2) {
    reading.problem = reading.corrupt("unknown iloc version");
    return;
  }
  const std::string_view p = iloc.payload;
  size_t at = 4;
  uint64_t sizes = 0, count = 0;
  if (!take(p, at, 2, sizes)) {
    reading.problem = cut_short;
    return;
  }
  const int offset_size = static_cast<int>(sizes >> 12), length_size = (sizes >> 8) & 15;
  const int base_size = (sizes >> 4) & 15, index_size = version >= 1 ? sizes & 15 : 0;
  for (int size : {offset_size, length_size, base_size, index_size}) {
    if (size != 0 && size != 4 && size != 8) {
      reading.problem = reading.corrupt("iloc field of " + std::to_string(size) + " bytes");
      return;
    }
  }
  if (!take(p, at, version < 2 ? 2 : 4, count)) {
    reading.problem = cut_short;
    return;
  }
  if (too_many_items(count, reading)) return;
  const uint64_t file_size = reading.file.size();
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t id = 0, method = 0, reference = 0, base = 0, extents = 0;
    if (!take(p, at, version < 2 ? 2 : 4, id) || (version >= 1 && !take(p, at, 2, method)) ||
        !take(p, at, 2, reference) || !take(p, at, base_size, base) || !take(p, at, 2, extents)) {
      reading.problem = cut_short;
      return;
    }
    const bool in_this_file = (method & 15) == 0 && reference == 0;
    for (uint64_t e = 0; e < extents; ++e) {
      uint64_t index = 0, offset = 0, length = 0;
      if (!take(p, at, index_size, index) || !take(p, at, offset_size, offset) ||
          !take(p, at, length_size, length)) {
        reading.problem = cut_short;
        return;
      }
      if (!in_this_file) continue;
      // A length of 0 runs to the end of the file.
      const bool inside =
          offset <= UINT64_MAX - base &&
          (length == 0 ? base + offset <= file_size : in_range(file_size, base + offset, length));
      if (!inside) {
        reading.problem = reading.truncated();
        return;
      }
    }
  }
}

// The properties associated with one item, as 1-based places in ipco.
void read_associations(const Box& ipma, uint32_t item, Reading& reading,
                       std::vector<uint32_t>& properties) {
  unsigned version = 0;
  uint32_t flags = 0;
  if (!full_box(ipma, reading, version, flags)) return;
  const std::string_view p = ipma.payload;
  const std::string cut_short = reading.corrupt("ipma box cut short");
  size_t at = 4;
  uint64_t entries = 0;
  if (!take(p, at, 4, entries)) {
    reading.problem = cut_short;
    return;
  }
  if (too_many_items(entries, reading)) return;
  for (uint64_t i = 0; i < entries; ++i) {
    uint64_t id = 0, count = 0;
    if (!take(p, at, version < 1 ? 2 : 4, id) || !take(p, at, 1, count)) {
      reading.problem = cut_short;
      return;
    }
    for (uint64_t k = 0; k < count; ++k) {
      uint64_t association = 0;
      const bool wide = (flags & 1) != 0;
      if (!take(p, at, wide ? 2 : 1, association)) {
        reading.problem = cut_short;
        return;
      }
      const uint32_t index = static_cast<uint32_t>(association & (wide ? 0x7FFF : 0x7F));
      if (id == item && index != 0) properties.push_back(index);
    }
  }
}

// A size a library would allocate: within our picture limit, and within
// the side libheif is told to allow.
std::string size_problem(uint64_t width, uint64_t height) {
  if (width > static_cast<uint64_t>(kMaxHeifSide) || height > static_cast<uint64_t>(kMaxHeifSide)) {
    if (width > 0 && height > 0) {
      return "picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    }
  }
  return picture_size_problem(static_cast<int64_t>(width), static_cast<int64_t>(height));
}

bool read_size(const Box& ispe, Reading& reading, uint64_t& width, uint64_t& height) {
  if (ispe.payload.size() < 12) {
    reading.problem = reading.corrupt("ispe box cut short");
    return false;
  }
  width = be32(bytes_of(ispe.payload) + 4);
  height = be32(bytes_of(ispe.payload) + 8);
  return true;
}

struct MetaBoxes {
  bool has_primary = false;
  std::vector<Box> properties;    // ipco's, in order
  std::vector<Box> associations;  // every ipma
};

void read_meta(const Box& meta, Reading& reading, MetaBoxes& found, HeifStructure& out) {
  unsigned version = 0;
  uint32_t flags = 0;
  if (!full_box(meta, reading, version, flags)) return;
  BoxWalk walk(meta.payload.substr(4), false, reading);
  Box box;
  while (walk.next(box)) {
    if (box.type == "pitm" && !found.has_primary) {
      if (!full_box(box, reading, version, flags)) return;
      size_t at = 4;
      uint64_t id = 0;
      if (!take(box.payload, at, version == 0 ? 2 : 4, id)) {
        reading.problem = reading.corrupt("pitm box cut short");
        return;
      }
      found.has_primary = true;
      out.primary_item = static_cast<uint32_t>(id);
    } else if (box.type == "iloc") {
      check_item_locations(box, reading);
    } else if (box.type == "iinf") {
      if (!full_box(box, reading, version, flags)) return;
      size_t at = 4;
      uint64_t count = 0;
      if (!take(box.payload, at, version == 0 ? 2 : 4, count)) {
        reading.problem = reading.corrupt("iinf box cut short");
        return;
      }
      if (too_many_items(count, reading)) return;
    } else if (box.type == "iprp") {
      BoxWalk inner(box.payload, false, reading);
      Box child;
      while (inner.next(child)) {
        if (child.type == "ipco" && found.properties.empty()) {
          BoxWalk properties(child.payload, false, reading);
          Box property;
          while (properties.next(property)) found.properties.push_back(property);
        } else if (child.type == "ipma") {
          found.associations.push_back(child);
        }
      }
    }
    if (!reading.problem.empty()) return;
  }
}

}  // namespace

HeifStructure read_heif_structure(std::string_view bytes) {
  HeifStructure out;
  if (detect_picture_kind(bytes) == PictureKind::Avif) out.kind = "AVIF";
  Reading reading{bytes, out.kind, {}, 0};
  if (bytes.size() < 8 || bytes.substr(4, 4) != "ftyp") {
    out.problem = "not a " + reading.kind + " file";
    return out;
  }
  BoxWalk top(bytes, true, reading);
  Box box, meta;
  bool has_meta = false;
  while (top.next(box)) {
    if (box.type == "meta" && !has_meta) {
      meta = box;
      has_meta = true;
    }
  }
  MetaBoxes found;
  if (reading.problem.empty() && has_meta) read_meta(meta, reading, found, out);
  if (!reading.problem.empty()) {
    out.problem = reading.problem;
    return out;
  }
  if (!found.has_primary) {
    out.problem = reading.kind + " file holds no picture";
    return out;
  }
  // Every size in the file is one libheif may allocate: the primary
  // picture's, a grid's tiles', a thumbnail's, an alpha plane's.
  for (const Box& property : found.properties) {
    uint64_t width = 0, height = 0;
    if (property.type != "ispe") continue;
    if (!read_size(property, reading, width, height)) break;
    if (std::string why = size_problem(width, height); !why.empty()) {
      out.problem = why;
      return out;
    }
  }
  std::vector<uint32_t> primary;
  for (const Box& ipma : found.associations) {
    if (reading.problem.empty()) read_associations(ipma, out.primary_item, reading, primary);
  }
  bool sized = false;
  for (uint32_t index : primary) {
    if (!reading.problem.empty()) break;
    if (index > found.properties.size()) {
      reading.problem = reading.corrupt("a property that is not there");
      break;
    }
    const Box& property = found.properties[index - 1];
    uint64_t width = 0, height = 0;
    if (property.type == "ispe" && !sized && read_size(property, reading, width, height)) {
      out.width = static_cast<int64_t>(width), out.height = static_cast<int64_t>(height);
      sized = true;
    } else if (property.type == "irot" && !property.payload.empty()) {
      out.quarter_turns = bytes_of(property.payload)[0] & 3;
    }
  }
  if (!reading.problem.empty()) {
    out.problem = reading.problem;
    return out;
  }
  if (!sized) {
    out.problem = reading.corrupt("no size for the primary picture");
    return out;
  }
  if (out.quarter_turns % 2 == 1) std::swap(out.width, out.height);
  out.problem = size_problem(static_cast<uint64_t>(out.width), static_cast<uint64_t>(out.height));
  return out;
}

}  // namespace vs
