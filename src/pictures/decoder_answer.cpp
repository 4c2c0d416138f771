#include "pictures/decoder_answer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vs {

namespace {

constexpr uint32_t kMaxReason = 1024;
constexpr char kDamagedAnswer[] = "picture decoder sent a damaged answer";

template <class T>
void append(std::string& out, const T* data, size_t count) {
  out.append(reinterpret_cast<const char*>(data), count * sizeof(T));
}

template <class T>
std::span<char> bytes_of(T* data, size_t count) {
  return {reinterpret_cast<char*>(data), count * sizeof(T)};
}

bool ascending_within(const std::vector<int>& v, int limit) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] < 0 || v[i] >= limit || (i > 0 && v[i] <= v[i - 1])) return false;
  }
  return true;
}

}  // namespace

std::string decoder_answer_head(const PictureResult& r) {
  DecoderAnswerHeader h;
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
  return static_cast<size_t>(sizeof(DecoderAnswerHeader) + kMaxReason + lists + pixels * 4);
}

void DecoderAnswerReader::took(size_t bytes) {
  got_ += bytes;
  if (stage_ == Stage::Pixels) clear_fourth_bytes();
  if (got_ == part().size()) next_stage();
}

PictureResult DecoderAnswerReader::finish() {
  if (stage_ != Stage::Done) return PictureResult::failure(kDamagedAnswer);
  return std::move(result_);
}

size_t DecoderAnswerReader::pixel_count() const {
  return static_cast<size_t>(result_.picture.width()) *
         static_cast<size_t>(result_.picture.height());
}

std::span<char> DecoderAnswerReader::part() {
  switch (stage_) {
    case Stage::Header:
      return bytes_of(&header_, 1);
    case Stage::Reason:
      return bytes_of(reason_.data(), reason_.size());
    case Stage::Lists:
      return bytes_of(lists_.data(), lists_.size());
    case Stage::Pixels:
      return bytes_of(result_.picture.data(), pixel_count());
    case Stage::Done:
      break;
  }
  return {};
}

// Pixels as they come, while they are in the cache: the fourth byte is ours
// to keep 0.
void DecoderAnswerReader::clear_fourth_bytes() {
  uint32_t* pixels = result_.picture.data();
  for (const size_t whole = got_ / 4; cleared_ < whole; ++cleared_) pixels[cleared_] &= 0xFFFFFF;
}

// Nothing more is wanted from a damaged answer.
void DecoderAnswerReader::damaged() {
  stage_ = Stage::Done;
  result_ = PictureResult::failure(kDamagedAnswer);
  got_ = 0;
}

void DecoderAnswerReader::next_stage() {
  got_ = 0;
  switch (stage_) {
    case Stage::Header:
      return read_header();
    case Stage::Reason:
      result_ = PictureResult::failure(std::string(reason_.data(), reason_.size()));
      stage_ = Stage::Done;
      return;
    case Stage::Lists:
      return read_lists();
    case Stage::Pixels:
      stage_ = Stage::Done;
      return;
    case Stage::Done:
      return;
  }
}

void DecoderAnswerReader::read_header() {
  const DecoderAnswerHeader& h = header_;
  if (h.magic != DecoderAnswerHeader::kMagic) return damaged();
  if (h.ok == 0) {
    if (h.reason_bytes == 0 || h.reason_bytes > kMaxReason) return damaged();
    reason_.resize(h.reason_bytes);
    stage_ = Stage::Reason;
    return;
  }
  const int64_t w = h.width, hh = h.height;
  if (w <= 0 || hh <= 0 || w * hh > kMaxPicturePixels) return damaged();
  const bool whole = h.cols == 0 && h.rows == 0;
  if (!whole && (h.cols == 0 || h.rows == 0 || h.cols > w || h.rows > hh)) return damaged();
  const uint64_t pixels = whole ? static_cast<uint64_t>(w * hh) : uint64_t{h.cols} * h.rows;
  if (sizeof h + 4 * (uint64_t{h.cols} + h.rows) + 4 * pixels > largest_decoder_answer(view_)) {
    return damaged();
  }
  result_ = PictureResult::success({});
  if (whole) {
    // A picture the view reads only in part comes back in part.
    if (!view_.whole_picture() &&
        !needed_pixels(view_, static_cast<int>(w), static_cast<int>(hh)).whole()) {
      return damaged();
    }
    return start_pixels(static_cast<int>(w), static_cast<int>(hh));
  }
  result_.kept.width = static_cast<int>(w);
  result_.kept.height = static_cast<int>(hh);
  lists_.resize(size_t{h.cols} + h.rows);
  stage_ = Stage::Lists;
}

void DecoderAnswerReader::read_lists() {
  PixelSubset& kept = result_.kept;
  kept.cols.assign(lists_.begin(), lists_.begin() + header_.cols);
  kept.rows.assign(lists_.begin() + header_.cols, lists_.end());
  if (!ascending_within(kept.cols, kept.width) || !ascending_within(kept.rows, kept.height)) {
    return damaged();
  }
  start_pixels(static_cast<int>(header_.cols), static_cast<int>(header_.rows));
}

void DecoderAnswerReader::start_pixels(int width, int height) {
  result_.picture = Surface(width, height);
  stage_ = Stage::Pixels;
}

PictureResult read_decoder_answer(std::string_view answer, const PictureView& view) {
  DecoderAnswerReader reader(view);
  while (!answer.empty()) {
    const std::span<char> room = reader.room();
    if (room.empty()) return PictureResult::failure(kDamagedAnswer);
    const size_t n = std::min(room.size(), answer.size());
    std::memcpy(room.data(), answer.data(), n);
    reader.took(n);
    answer.remove_prefix(n);
  }
  return reader.finish();
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
