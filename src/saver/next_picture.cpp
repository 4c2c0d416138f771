#include "saver/next_picture.h"

#include <cstdint>
#include <optional>

#include "platform/numeric.h"

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

// The path at the given play position, or nothing when the play order or
// the catalogue has no such entry (a load that cannot happen).
const std::string* picture_path(const Varnoscape_B& m, int16_t pos) {
  if (pos < 0 || static_cast<size_t>(pos) >= m.Play_Order.size()) return nullptr;
  const int16_t index = m.Play_Order[static_cast<size_t>(pos)];
  if (index < 0 || static_cast<size_t>(index) >= m.File_List.size()) return nullptr;
  return &m.File_List[static_cast<size_t>(index)];
}

// Scaled to the screen by the picture's own orientation: landscape pictures
// fill the width, portrait and square ones the height; centred, the rest
// black, rows or columns beyond the screen falling away equally.
void fit_full_screen(SaverForm& f, float pw, float ph) {
  const double scr_w = f.Scr_W, scr_h = f.Scr_H;
  double new_w = 0, new_h = 0;
  if (pw > ph) {
    new_w = scr_w;
    new_h = static_cast<double>(ph) * scr_w / pw;
  } else {
    // An empty Pic_Orgn (nothing loaded yet) would divide 0 by 0: that
    // statement is skipped and the width stays 0, so nothing is stretched.
    if (ph != 0) new_w = static_cast<double>(pw) * scr_h / ph;
    new_h = scr_h;
  }
  f.Master.resize(f.Scr_W, f.Scr_H);
  f.Master.stretch_from(f.Pic_Orgn, 0, 0, to_pixels(pw), to_pixels(ph), half_of(scr_w - new_w),
                        half_of(scr_h - new_h), to_pixels(new_w), to_pixels(new_h));
}

// At the picture's own size, cut down to the screen's middle where it is
// larger.
void fit_own_size(SaverForm& f, float pw, float ph, bool loaded) {
  const double scr_w = f.Scr_W, scr_h = f.Scr_H;
  int sx = 0, sy = 0;
  if (pw <= scr_w && ph <= scr_h) {
    // The picture goes into Master as it is. When the load failed, loading
    // the same file again would fail too: Master stays cleared.
    if (loaded) {
      f.Master = f.Pic_Orgn;
      f.Master.mark_all_dirty();
    }
    return;
  }
  if (pw > scr_w && ph > scr_h) {
    f.Master.resize(f.Scr_W, f.Scr_H);
    sx = half_of(pw - scr_w);
    sy = half_of(ph - scr_h);
  } else if (pw <= scr_w) {
    f.Master.resize(to_pixels(pw), f.Scr_H);
    sy = half_of(ph - scr_h);
  } else {
    f.Master.resize(f.Scr_W, to_pixels(ph));
    sx = half_of(pw - scr_w);
  }
  f.Master.copy_from(f.Pic_Orgn, sx, sy, f.Master.width(), f.Master.height(), 0, 0);
}

}  // namespace

void Next_Picture(SaverForm& f, Varnoscape_B& m, const PictureLoader& load, RandomSource& rng) {
  if (std::optional<int16_t> next = to_int16(int64_t{f.Play_Pos} + 1)) f.Play_Pos = *next;

  f.Master.fill_rect(0, 0, f.Master.width(), f.Master.height(), 0);

  bool loaded = false;
  if (const std::string* path = picture_path(m, f.Play_Pos)) {
    PictureResult r = load(*path);
    if (r.ok) {
      f.Pic_Orgn = std::move(r.picture);
      loaded = true;
    }
  }

  const float pw = static_cast<float>(f.Pic_Orgn.width());
  const float ph = static_cast<float>(f.Pic_Orgn.height());
  if (m.Set_Size != 0) {
    fit_full_screen(f, pw, ph);
  } else {
    fit_own_size(f, pw, ph, loaded);
  }

  if (f.Play_Pos == m.File_Count) {
    if (m.File_Count > 1) {
      // The order needs a slot per picture; make sure it has them.
      const size_t slots = static_cast<size_t>(m.File_Count) + 1;
      if (m.Play_Order.size() < slots) m.Play_Order.resize(slots, 0);
      Make_Play_Order(m, rng);
    }
    f.Play_Pos = 0;
  }
}

void Next_Picture(SaverForm& f, Varnoscape_B& m, Platform& p, RandomSource& rng) {
  Next_Picture(
      f, m, [&p](const std::string& path) { return p.load_picture(path); }, rng);
}

}  // namespace vs
