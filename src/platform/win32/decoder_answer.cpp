#include "platform/win32/decoder_answer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vs {

namespace {

constexpr uint32_t kAnswerMagic = 0x41445356;  // "VSDA"
constexpr uint32_t kMaxReason = 1024;

// What the decoder writes first; the reason, or the kept columns, rows and
// pixels follow it.
struct AnswerHeader {
  uint32_t magic = kAnswerMagic;
  uint32_t ok = 0;
  int32_t width = 0;  // the whole picture's size
  int32_t height = 0;
  uint32_t cols = 0;  // kept columns and rows; both 0 for a whole picture
  uint32_t rows = 0;
  uint32_t reason_bytes = 0;
};

template <class T>
void append(std::string& out, const T* data, size_t count) {
  out.append(reinterpret_cast<const char*>(data), count * sizeof(T));
}

// Reads `count` values of T at `at`, moving on; false when the answer ends
// before them.
template <class T>
bool take(std::string_view answer, size_t& at, T* out, size_t count) {
  const size_t bytes = count * sizeof(T);
  if (answer.size() - at < bytes) return false;
  std::memcpy(out, answer.data() + at, bytes);
  at += bytes;
  return true;
}

bool ascending_within(const std::vector<int>& v, int limit) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] < 0 || v[i] >= limit || (i > 0 && v[i] <= v[i - 1])) return false;
  }
  return true;
}

}  // namespace

std::string decoder_answer_head(const PictureResult& r) {
  AnswerHeader h;
  std::string out;
  if (!r.ok) {
    const std::string reason = r.reason.substr(0, kMaxReason);
    h.reason_bytes = static_cast<uint32_t>(reason.size());
    append(out, &h, 1);
    return out + reason;
  }
  h.ok = 1;
  h.width = r.width();
  h.height = r.height();
  h.cols = static_cast<uint32_t>(r.kept.cols.size());
  h.rows = static_cast<uint32_t>(r.kept.rows.size());
  append(out, &h, 1);
  append(out, r.kept.cols.data(), r.kept.cols.size());
  append(out, r.kept.rows.data(), r.kept.rows.size());
  return out;
}

std::string_view decoder_answer_pixels(const PictureResult& r) {
  if (!r.ok) return {};
  return {reinterpret_cast<const char*>(r.picture.data()),
          4 * static_cast<size_t>(r.picture.width()) * static_cast<size_t>(r.picture.height())};
}

std::string encode_decoder_answer(const PictureResult& r) {
  return decoder_answer_head(r) + std::string(decoder_answer_pixels(r));
}

size_t largest_decoder_answer(const PictureView& view) {
  const uint64_t pixels = view.whole_picture()
                              ? static_cast<uint64_t>(kMaxPicturePixels)
                              : static_cast<uint64_t>(view.box_width) * view.box_height;
  const uint64_t lists =
      view.whole_picture() ? 0 : uint64_t{4} * (view.box_width + view.box_height);
  return static_cast<size_t>(sizeof(AnswerHeader) + kMaxReason + lists + pixels * 4);
}

PictureResult read_decoder_answer(std::string_view answer, const PictureView& view) {
  const PictureResult damaged = PictureResult::failure("picture decoder sent a damaged answer");
  AnswerHeader h;
  size_t at = 0;
  if (!take(answer, at, &h, 1) || h.magic != kAnswerMagic) return damaged;
  if (h.ok == 0) {
    if (h.reason_bytes == 0 || h.reason_bytes > kMaxReason ||
        answer.size() - at != h.reason_bytes) {
      return damaged;
    }
    return PictureResult::failure(std::string(answer.substr(at)));
  }
  // Everything the decoder says is checked before anything is allocated.
  const int64_t w = h.width, hh = h.height;
  if (w <= 0 || hh <= 0 || w * hh > kMaxPicturePixels) return damaged;
  const bool whole = h.cols == 0 && h.rows == 0;
  if (!whole && (h.cols == 0 || h.rows == 0 || h.cols > w || h.rows > hh)) return damaged;
  const int64_t surface_w = whole ? w : h.cols, surface_h = whole ? hh : h.rows;
  const uint64_t expected =
      sizeof h + 4 * (uint64_t{h.cols} + h.rows) + 4 * static_cast<uint64_t>(surface_w * surface_h);
  if (answer.size() != expected) return damaged;
  PictureResult r = PictureResult::success({});
  if (!whole) {
    r.kept.width = static_cast<int>(w);
    r.kept.height = static_cast<int>(hh);
    r.kept.cols.resize(h.cols);
    r.kept.rows.resize(h.rows);
    take(answer, at, r.kept.cols.data(), h.cols);
    take(answer, at, r.kept.rows.data(), h.rows);
    if (!ascending_within(r.kept.cols, r.kept.width) ||
        !ascending_within(r.kept.rows, r.kept.height)) {
      return damaged;
    }
  } else if (!view.whole_picture() &&
             !needed_pixels(view, static_cast<int>(w), static_cast<int>(hh)).whole()) {
    // A picture the view reads only in part comes back in part.
    return damaged;
  }
  r.picture = Surface(static_cast<int>(surface_w), static_cast<int>(surface_h));
  for (int y = 0; y < r.picture.height(); ++y) {
    uint32_t* row = r.picture.row(y);
    take(answer, at, row, static_cast<size_t>(surface_w));
    for (int x = 0; x < r.picture.width(); ++x) row[x] &= 0xFFFFFF;
  }
  return r;
}

std::string view_argument(const PictureView& view) {
  const char* mode = view.mode == FitMode::FullScreen  ? ":full"
                     : view.mode == FitMode::Thumbnail ? ":thumbnail"
                                                       : ":own";
  return "--view=" + std::to_string(view.box_width) + "x" + std::to_string(view.box_height) + mode;
}

PictureView parse_view_argument(std::string_view text) {
  PictureView view;
  if (!text.starts_with("--view=")) return view;
  text.remove_prefix(7);
  const size_t cross = text.find('x'), colon = text.find(':');
  if (cross == std::string_view::npos || colon == std::string_view::npos || colon < cross) {
    return view;
  }
  const std::string w(text.substr(0, cross)), h(text.substr(cross + 1, colon - cross - 1));
  const std::string_view mode = text.substr(colon + 1);
  char* end = nullptr;
  const long bw = std::strtol(w.c_str(), &end, 10);
  if (*end != '\0') return view;
  const long bh = std::strtol(h.c_str(), &end, 10);
  if (*end != '\0' || bw <= 0 || bh <= 0 || bw > 65535 || bh > 65535) return view;
  if (mode != "full" && mode != "own" && mode != "thumbnail") return view;
  view.box_width = static_cast<int>(bw);
  view.box_height = static_cast<int>(bh);
  view.mode = mode == "full"        ? FitMode::FullScreen
              : mode == "thumbnail" ? FitMode::Thumbnail
                                    : FitMode::OwnSize;
  return view;
}

}  // namespace vs
