// The pace of a drawing: picture rows appear at a fixed rate, whatever the
// speed of the machine, and the screen is presented at most once a frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vs {

class Pacer {
 public:
  static constexpr int64_t kFrameIntervalUs = 16667;  // presents at most ~60 times a second
  static constexpr int kDefaultRowsPerSecond = 60;

  // rows_per_second 0 draws as fast as possible.
  explicit Pacer(int rows_per_second = kDefaultRowsPerSecond) : rows_per_second_(rows_per_second) {}

  // The pace named by the environment variable's value: a number of rows per
  // second ("0" = as fast as possible); unset, empty or unreadable values
  // give the default.
  static int rows_per_second_from(const std::optional<std::string>& value);

  int rows_per_second() const { return rows_per_second_; }
  bool paced() const { return rows_per_second_ > 0; }

  // A new drawing starts at this time.
  void start_drawing(int64_t now_us) { drawing_start_us_ = now_us; }
  // The time at which picture row `row` may be drawn (the start when
  // unpaced).
  int64_t row_due_us(int row) const;

 private:
  int rows_per_second_;
  int64_t drawing_start_us_ = 0;
};

}  // namespace vs
