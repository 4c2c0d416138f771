#include "platform/wayland/presented_rows.h"

#include <algorithm>
#include <cstring>

namespace vs::wayland {

namespace {

RowRange joined(RowRange a, RowRange b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return {std::min(a.top, b.top), std::max(a.bottom, b.bottom)};
}

bool holds(RowRange r, int y) {
  return y >= r.top && y < r.bottom;
}

bool covers(RowRange outer, RowRange inner) {
  return inner.empty() || (outer.top <= inner.top && inner.bottom <= outer.bottom);
}

RowRange clipped(RowRange r, int height) {
  return {std::clamp(r.top, 0, height), std::clamp(r.bottom, 0, height)};
}

uint32_t* row_of(const BufferRows& b, int y) {
  return b.pixels + static_cast<size_t>(y) * static_cast<size_t>(b.width);
}

// Row y of a drawing into the same row of a buffer: cut or filled out with
// black to the buffer's width, black below the drawing.
void copy_row(const Surface& drawn, const BufferRows& b, int y) {
  uint32_t* row = row_of(b, y);
  const int width = std::min(b.width, drawn.width());
  if (y < drawn.height() && width > 0) {
    std::memcpy(row, drawn.row(y), static_cast<size_t>(width) * 4);
    if (width < b.width) std::memset(row + width, 0, static_cast<size_t>(b.width - width) * 4);
  } else {
    std::memset(row, 0, static_cast<size_t>(b.width) * 4);
  }
}

}  // namespace

void PresentedRows::keep(const Surface& drawn, RowRange rows) {
  // Drawn at another size, every row kept comes from the new drawing.
  RowRange kept = waiting_rows_;
  if (waiting_.width() != drawn.width() || waiting_.height() != drawn.height()) {
    waiting_ = Surface(drawn.width(), drawn.height());
    kept = {};
  }
  const RowRange all = joined(waiting_rows_, rows);
  const RowRange copied = clipped(all, drawn.height());
  const size_t row_bytes = static_cast<size_t>(drawn.width()) * 4;
  for (int y = copied.top; y < copied.bottom; ++y) {
    if (!holds(kept, y) || holds(rows, y)) std::memcpy(waiting_.row(y), drawn.row(y), row_bytes);
  }
  waiting_rows_ = all;
}

RowRange PresentedRows::fill(const std::vector<BufferRows*>& buffers, size_t to,
                             std::optional<size_t> last, const Surface* drawn, RowRange presented) {
  BufferRows& b = *buffers[to];
  const RowRange fresh = clipped(joined(waiting_rows_, presented), b.height);
  const RowRange rows = clipped(joined(b.stale, fresh), b.height);
  RowRange unsure;  // rows that may still differ from the newest pixels
  if (drawn) {
    for (int y = rows.top; y < rows.bottom; ++y) copy_row(*drawn, b, y);
  } else {
    // Outside the waiting rows the newest pixels are the last buffer's, but
    // for its own stale rows.
    const BufferRows* from = last ? buffers[*last] : nullptr;
    unsure = from ? from->stale : RowRange{0, b.height};
    for (int y = rows.top; y < rows.bottom; ++y) {
      if (holds(waiting_rows_, y)) {
        copy_row(waiting_, b, y);
      } else if (!from) {
        std::memset(row_of(b, y), 0, static_cast<size_t>(b.width) * 4);
      } else if (from != &b) {
        std::memcpy(row_of(b, y), row_of(*from, y), static_cast<size_t>(b.width) * 4);
      }
    }
    if (covers(waiting_rows_, unsure)) unsure = {};
  }
  b.stale = unsure;
  for (BufferRows* other : buffers) {
    if (other != &b) other->stale = joined(other->stale, fresh);
  }
  waiting_rows_ = {};
  return fresh;
}

}  // namespace vs::wayland
