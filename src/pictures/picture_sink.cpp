#include "pictures/picture_sink.h"

#include <algorithm>

#include "pictures/decoders.h"

namespace vs {

std::string PictureSink::begin(int64_t width, int64_t height) {
  if (std::string why = picture_size_problem(width, height); !why.empty()) return why;
  width_ = static_cast<int>(width);
  height_ = static_cast<int>(height);
  kept_ = needed_pixels(view_, width_, height_);
  if (kept_.whole()) {
    picture_ = Surface(width_, height_);
  } else {
    picture_ = Surface(static_cast<int>(kept_.cols.size()), static_cast<int>(kept_.rows.size()));
  }
  return {};
}

int64_t PictureSink::slot_of_row(int y) const {
  if (y < 0 || y >= height_) return -1;
  if (kept_.whole()) return y;
  auto it = std::lower_bound(kept_.rows.begin(), kept_.rows.end(), y);
  return it != kept_.rows.end() && *it == y ? it - kept_.rows.begin() : -1;
}

size_t PictureSink::first_col_at_or_after(int x) const {
  return static_cast<size_t>(std::lower_bound(kept_.cols.begin(), kept_.cols.end(), x) -
                             kept_.cols.begin());
}

uint32_t* PictureSink::row(int y) {
  if (kept_.whole()) return picture_.row(y);
  // Decoders that give runs never ask for a row: allocate it on first use.
  if (scratch_.empty()) scratch_.assign(static_cast<size_t>(width_), 0);
  return scratch_.data();
}

void PictureSink::row_done(int y) {
  if (kept_.whole()) return;
  const int64_t r = slot_of_row(y);
  if (r < 0) return;
  uint32_t* out = picture_.row(static_cast<int>(r));
  for (size_t i = 0; i < kept_.cols.size(); ++i)
    out[i] = scratch_[static_cast<size_t>(kept_.cols[i])];
}

PictureResult PictureSink::finish() {
  PictureResult r = PictureResult::success(std::move(picture_));
  r.kept = std::move(kept_);
  scratch_ = {};
  return r;
}

}  // namespace vs
