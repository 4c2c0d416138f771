#include "saver/pacer.h"

#include "core/numeric.h"

namespace vs {

int Pacer::rows_per_second_from(const std::optional<std::string>& value) {
  if (!value || value->empty()) return kDefaultRowsPerSecond;
  std::optional<double> v = parse_number(*value);
  if (!v || *v < 0 || *v > 100000) return kDefaultRowsPerSecond;
  return static_cast<int>(round_half_even(*v));
}

int64_t Pacer::row_due_us(int row) const {
  if (!paced()) return drawing_start_us_;
  return drawing_start_us_ + static_cast<int64_t>(row) * 1000000 / rows_per_second_;
}

}  // namespace vs
