#include "saver/next_picture.h"

#include <cstdint>
#include <optional>

#include "core/numeric.h"

namespace vs {

namespace {

// The path at the given play position, or nothing when the play order or
// the catalogue has no such entry (a load that cannot happen).
const std::string* picture_path(const Varnoscape_B& m, int16_t pos) {
  if (pos < 0 || static_cast<size_t>(pos) >= m.Play_Order.size()) return nullptr;
  const int16_t index = m.Play_Order[static_cast<size_t>(pos)];
  if (index < 0 || static_cast<size_t>(index) >= m.File_List.size()) return nullptr;
  return &m.File_List[static_cast<size_t>(index)];
}

FitMode fit_mode(const Varnoscape_B& m) {
  return m.Set_Size != 0 ? FitMode::FullScreen : FitMode::OwnSize;
}

}  // namespace

PictureView saver_view(const SaverForm& f, const Varnoscape_B& m) {
  return PictureView{f.Scr_W, f.Scr_H, fit_mode(m)};
}

std::optional<std::string> begin_next_picture(SaverForm& f, const Varnoscape_B& m) {
  if (std::optional<int16_t> next = to_int16(int64_t{f.Play_Pos} + 1)) f.Play_Pos = *next;
  f.Master.fill_rect(0, 0, f.Master.width(), f.Master.height(), 0);
  if (const std::string* path = picture_path(m, f.Play_Pos)) return *path;
  return std::nullopt;
}

void finish_next_picture(SaverForm& f, Varnoscape_B& m, PictureResult loaded, RandomSource& rng) {
  if (loaded.ok) {
    f.Pic_Orgn = std::move(loaded.picture);
    f.Pic_Orgn_Kept = std::move(loaded.kept);
  }
  const bool whole = f.Pic_Orgn_Kept.whole();
  const int pw = whole ? f.Pic_Orgn.width() : f.Pic_Orgn_Kept.width;
  const int ph = whole ? f.Pic_Orgn.height() : f.Pic_Orgn_Kept.height;
  const FitPlan plan = plan_fit(pw, ph, f.Scr_W, f.Scr_H, fit_mode(m));
  // A picture within the screen goes into Master as it is. When the load
  // failed, loading the same file again would fail too: Master stays
  // cleared.
  if (!plan.whole || loaded.ok) apply_fit(plan, f.Pic_Orgn, f.Pic_Orgn_Kept, f.Master);

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

void Next_Picture(SaverForm& f, Varnoscape_B& m, const PictureLoader& load, RandomSource& rng) {
  std::optional<std::string> path = begin_next_picture(f, m);
  PictureResult loaded =
      path ? load(*path, saver_view(f, m)) : PictureResult::failure("no picture");
  finish_next_picture(f, m, std::move(loaded), rng);
}

void Next_Picture(SaverForm& f, Varnoscape_B& m, Platform& p, RandomSource& rng) {
  Next_Picture(
      f, m,
      [&p](const std::string& path, const PictureView& view) { return p.load_picture(path, view); },
      rng);
}

}  // namespace vs
