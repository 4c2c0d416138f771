#include "settings/random_source.h"

#include <utility>

namespace vs {

namespace {

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ULL;

// SplitMix64's finaliser: a bijection that spreads every input bit over the
// whole word.
uint64_t mix64(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

ClockRandomSource::ClockRandomSource(std::function<uint64_t()> clock, uint64_t seed)
    : clock_(std::move(clock)), counter_(seed), pool_(mix64(seed ^ kGolden)) {}

void ClockRandomSource::reseed_from_clock() {
  if (!clock_) return;
  // Chained, so equal clock readings still walk the pool onwards.
  pool_ = mix64(pool_ ^ mix64(clock_() + kGolden));
}

double ClockRandomSource::next_unit() {
  counter_ += kGolden;
  uint64_t z = mix64(counter_ + pool_);
  // The top 53 bits as a fraction: exactly representable, below 1.
  return static_cast<double>(z >> 11) * 0x1.0p-53;
}

}  // namespace vs
