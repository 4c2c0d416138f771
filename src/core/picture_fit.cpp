#include "core/picture_fit.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/numeric.h"

namespace vs {

namespace {

// Sizes and positions handed to a copy: rounded half to even, kept within an
// int (nothing of that size fits on a surface anyway).
int to_pixels(double v) {
  const int64_t r = round_half_even(v);
  if (r > INT32_MAX) return INT32_MAX;
  if (r < INT32_MIN) return INT32_MIN;
  return static_cast<int>(r);
}

int half_of(double v) {
  std::optional<int64_t> q = int_div(v, 2);  // a divisor of 2 never fails
  return to_pixels(static_cast<double>(q.value_or(0)));
}

// Scaled to the box by the picture's own orientation: landscape pictures
// fill the width, portrait and square ones the height; centred, the rest
// black, rows or columns beyond the box falling away equally.
FitPlan full_screen(float pw, float ph, int box_w, int box_h) {
  const double bw = box_w, bh = box_h;
  double new_w = 0, new_h = 0;
  if (pw > ph) {
    new_w = bw;
    new_h = static_cast<double>(ph) * bw / pw;
  } else {
    // An empty picture would divide 0 by 0: that statement is skipped and
    // the width stays 0, so nothing is stretched.
    if (ph != 0) new_w = static_cast<double>(pw) * bh / ph;
    new_h = bh;
  }
  FitPlan plan;
  plan.width = box_w;
  plan.height = box_h;
  plan.x = {0, to_pixels(pw), half_of(bw - new_w), to_pixels(new_w)};
  plan.y = {0, to_pixels(ph), half_of(bh - new_h), to_pixels(new_h)};
  return plan;
}

// At the picture's own size, cut down to the box's middle where it is
// larger.
FitPlan own_size(float pw, float ph, int box_w, int box_h) {
  const double bw = box_w, bh = box_h;
  FitPlan plan;
  if (pw <= bw && ph <= bh) {
    plan.whole = true;
    plan.width = to_pixels(pw);
    plan.height = to_pixels(ph);
    return plan;
  }
  int sx = 0, sy = 0;
  if (pw > bw && ph > bh) {
    plan.width = box_w, plan.height = box_h;
    sx = half_of(pw - bw);
    sy = half_of(ph - bh);
  } else if (pw <= bw) {
    plan.width = to_pixels(pw), plan.height = box_h;
    sy = half_of(ph - bh);
  } else {
    plan.width = box_w, plan.height = to_pixels(ph);
    sx = half_of(pw - bw);
  }
  // A same-size copy is a stretch whose source and result lengths agree.
  plan.x = {sx, plan.width, 0, plan.width};
  plan.y = {sy, plan.height, 0, plan.height};
  return plan;
}

// The longer side made `side` long, the other in proportion; the rounding
// of the scaled size is halves to even.
FitPlan thumbnail(float pw, float ph, int side) {
  float tw = 0, th = 0;
  if (pw > ph) {
    tw = static_cast<float>(side);
    th = static_cast<float>(side) * ph / pw;
  } else {
    // An empty picture (nothing loaded) would divide 0 by 0: the statement
    // is skipped and the width stays 0.
    if (ph != 0) tw = static_cast<float>(side) * pw / ph;
    th = static_cast<float>(side);
  }
  FitPlan plan;
  plan.width = to_pixels(tw);
  plan.height = to_pixels(th);
  plan.x = {0, to_pixels(pw), 0, plan.width};
  plan.y = {0, to_pixels(ph), 0, plan.height};
  return plan;
}

// For each result pixel along one axis, the picture pixel it shows, or -1
// where the picture has none (outside it, or outside the stretch).
std::vector<int64_t> axis_sources(const AxisFit& a, int result_len, int pic_len) {
  std::vector<int64_t> out(static_cast<size_t>(std::max(result_len, 0)), -1);
  if (a.src_len <= 0 || a.dst_len <= 0) return out;
  const int64_t first = std::max<int64_t>(a.dst, 0);
  const int64_t last = std::min<int64_t>(int64_t{a.dst} + a.dst_len, result_len);
  for (int64_t i = first; i < last; ++i) {
    const int64_t s = a.source(static_cast<int>(i));
    if (s >= 0 && s < pic_len) out[static_cast<size_t>(i)] = s;
  }
  return out;
}

// The distinct picture pixels an axis reads, ascending (sources never go
// back as the result pixel grows).
std::vector<int> distinct(const std::vector<int64_t>& sources) {
  std::vector<int> out;
  for (int64_t s : sources) {
    if (s >= 0 && (out.empty() || out.back() != s)) out.push_back(static_cast<int>(s));
  }
  return out;
}

// Where picture pixel s lies in a kept list; the nearest kept one when the
// list lacks it.
int64_t position_in(const std::vector<int>& kept, int64_t s) {
  if (kept.empty()) return -1;
  auto it = std::lower_bound(kept.begin(), kept.end(), s);
  if (it == kept.end()) return static_cast<int64_t>(kept.size()) - 1;
  if (*it != s && it != kept.begin() && s - *(it - 1) <= *it - s) --it;
  return it - kept.begin();
}

std::vector<int64_t> to_positions(std::vector<int64_t> sources, const std::vector<int>& kept,
                                  bool whole) {
  if (whole) return sources;
  for (int64_t& s : sources) {
    if (s >= 0) s = position_in(kept, s);
  }
  return sources;
}

}  // namespace

FitPlan plan_fit(int pic_w, int pic_h, int box_w, int box_h, FitMode mode) {
  const float pw = static_cast<float>(pic_w), ph = static_cast<float>(pic_h);
  switch (mode) {
    case FitMode::FullScreen:
      return full_screen(pw, ph, box_w, box_h);
    case FitMode::Thumbnail:
      return thumbnail(pw, ph, box_w);
    case FitMode::OwnSize:
      break;
  }
  return own_size(pw, ph, box_w, box_h);
}

PixelSubset needed_pixels(const PictureView& view, int pic_w, int pic_h) {
  if (view.whole_picture()) return {};
  const FitPlan plan = plan_fit(pic_w, pic_h, view.box_width, view.box_height, view.mode);
  if (plan.whole) return {};
  PixelSubset kept;
  kept.cols = distinct(axis_sources(plan.x, plan.width, pic_w));
  kept.rows = distinct(axis_sources(plan.y, plan.height, pic_h));
  // A fit that shows nothing of the picture (a 1 x 100000 strip scaled to
  // less than a pixel) still keeps one pixel, so the picture is there.
  if (kept.cols.empty()) kept.cols.push_back(0);
  if (kept.rows.empty()) kept.rows.push_back(0);
  if (kept.cols.size() == static_cast<size_t>(pic_w) &&
      kept.rows.size() == static_cast<size_t>(pic_h)) {
    return {};
  }
  kept.width = pic_w;
  kept.height = pic_h;
  return kept;
}

void apply_fit(const FitPlan& plan, const Surface& picture, const PixelSubset& kept, Surface& out) {
  if (plan.whole) {
    out = picture;
    out.mark_all_dirty();
    return;
  }
  out.resize(plan.width, plan.height);
  const bool whole = kept.whole();
  const int pic_w = whole ? picture.width() : kept.width;
  const int pic_h = whole ? picture.height() : kept.height;
  const std::vector<int64_t> cols =
      to_positions(axis_sources(plan.x, out.width(), pic_w), kept.cols, whole);
  const std::vector<int64_t> rows =
      to_positions(axis_sources(plan.y, out.height(), pic_h), kept.rows, whole);
  int top = out.height(), bottom = 0;
  for (int y = 0; y < out.height(); ++y) {
    const int64_t r = rows[static_cast<size_t>(y)];
    if (r < 0 || r >= picture.height()) continue;
    const uint32_t* in = picture.row(static_cast<int>(r));
    uint32_t* row = out.row(y);
    for (int x = 0; x < out.width(); ++x) {
      const int64_t c = cols[static_cast<size_t>(x)];
      if (c >= 0 && c < picture.width()) row[x] = in[c];
    }
    top = std::min(top, y);
    bottom = y + 1;
  }
  out.mark_dirty(top, bottom);
}

}  // namespace vs
