// The bookkeeping of presenting without waiting, kept apart from the system
// so that it can be tested: which rows of each buffer of a surface lack the
// newest pixels, and the rows presented while no buffer could take them
// (the compositor held every one, or the surface had not been configured),
// kept with their pixels until one can.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/surface.h"

namespace vs::wayland {

// A buffer's memory as the bookkeeping sees it: rows of `width` pixels.
struct BufferRows {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  // Rows that may differ from the newest pixels (all of a new buffer).
  RowRange stale;
};

class PresentedRows {
 public:
  // Rows waiting for a buffer; empty when none.
  RowRange waiting() const { return waiting_rows_; }

  // Keeps rows of `drawn`, which holds the newest pixels of every row, until
  // a buffer can take them. The rows kept are one range: those between the
  // earlier ones and these are taken too.
  void keep(const Surface& drawn, RowRange rows);

  // Brings buffers[to] up to the newest pixels before it is committed, and
  // marks the rows new to the other buffers stale in them. Where `drawn` is
  // given (a present: the newest pixels of every row, `presented` its new
  // rows), every row comes from it; otherwise the waiting rows come from
  // what was kept and the others from buffers[last], the buffer committed
  // last, or are black where none was (right for a surface's first frame;
  // after a new size, wait for a drawing). Rows below the drawing and
  // beyond its width are black. Returns the rows that differ from what
  // buffers[last] shows: the damage.
  RowRange fill(const std::vector<BufferRows*>& buffers, size_t to, std::optional<size_t> last,
                const Surface* drawn, RowRange presented);

 private:
  Surface waiting_;  // at the size drawn; rows outside waiting_rows_ are not kept
  RowRange waiting_rows_;
};

}  // namespace vs::wayland
