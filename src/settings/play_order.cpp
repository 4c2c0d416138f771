#include "settings/play_order.h"

#include <cmath>
#include <vector>

namespace vs {

namespace {

// The free catalogue positions 1..n as a Fenwick tree of 0/1 marks, so the
// r-th free position is found in O(log n) rather than by walking every mark
// - the same position the walk would reach, for a catalogue of up to 32767
// pictures refilled between two of them.
class FreePositions {
 public:
  explicit FreePositions(int n) : tree_(static_cast<size_t>(n) + 1), top_(1) {
    for (int i = 1; i <= n; ++i) tree_[static_cast<size_t>(i)] = i & -i;  // all free
    while (top_ * 2 <= n) top_ *= 2;
  }

  // Takes the r-th free position (1 <= r <= number still free) and returns it.
  int take(int r) {
    int pos = 0;
    for (int step = top_; step > 0; step /= 2) {
      int next = pos + step;
      if (next < static_cast<int>(tree_.size()) && tree_[static_cast<size_t>(next)] < r) {
        pos = next;
        r -= tree_[static_cast<size_t>(next)];
      }
    }
    int found = pos + 1;
    for (int i = found; i < static_cast<int>(tree_.size()); i += i & -i) {
      --tree_[static_cast<size_t>(i)];
    }
    return found;
  }

 private:
  std::vector<int> tree_;
  int top_;
};

// r = floor(u * remaining) + 1, kept within 1..remaining even when rounding
// lifts u * remaining to remaining or the generator strays outside [0, 1).
int draw_rank(double u, int remaining) {
  double scaled = std::floor(u * remaining);
  if (!(scaled >= 0)) return 1;  // also NaN
  if (scaled >= remaining) return remaining;
  return static_cast<int>(scaled) + 1;
}

}  // namespace

void make_play_order(PlayOrder& order, int count, int16_t picture_order, RandomSource& rng) {
  if (count < 1) return;
  if (order.size() < static_cast<size_t>(count) + 1) order.resize(static_cast<size_t>(count) + 1);
  if (picture_order == 0) {
    for (int k = 1; k <= count; ++k) order[static_cast<size_t>(k)] = static_cast<int16_t>(k);
    return;
  }
  FreePositions free(count);
  int filled = 0;
  for (int remaining = count; remaining > 0; --remaining) {
    rng.reseed_from_clock();
    int r = draw_rank(rng.next_unit(), remaining);
    order[static_cast<size_t>(++filled)] = static_cast<int16_t>(free.take(r));
  }
}

}  // namespace vs
