// The preview: the clicked picture's size, and a copy of it whose longer side
// is 100 pixels, dropped rows and columns rather than blended ones.
#include "dialog/varnoscape_p.h"
#include "core/picture_fit.h"
#include "saver/background_load.h"

namespace vs {

namespace {

constexpr int kPreviewSide = 100;
// How often the dialog is repainted while a picture loads.
constexpr int kLoadPollMs = 15;

}  // namespace

void Varnoscape_P::List_1_Click() {
  const int selected = List_1.selected();
  if (selected < 0) return;
  p_.set_busy(true);
  if (form_) form_->set_busy(true);
  Pic_K.visible = false;

  const std::string path =
      Folder_Path.caption() + p_.path_style().separator + List_1.entry(selected);
  const PictureView view{kPreviewSide, kPreviewSide, FitMode::Thumbnail};
  // A large or slow picture loads on its own thread while the dialog stays
  // painted; its input waits behind the hourglass.
  BackgroundLoad load;
  load.start(
      [this, &path, &view](std::stop_token stop) { return p_.load_picture(path, view, stop); });
  while (!load.wait_for(kLoadPollMs)) {
    if (form_ && !form_->do_events()) break;
  }
  PictureResult loaded = load.take();
  // A picture that cannot be loaded leaves the work box as it was.
  if (loaded.ok) Pic_F = std::move(loaded);

  const int w = Pic_F.width(), h = Pic_F.height();
  lbl_PreSize.set_caption(std::to_string(w) + " * " + std::to_string(h));
  const FitPlan plan = plan_fit(w, h, kPreviewSide, kPreviewSide, FitMode::Thumbnail);
  Pic_K.set_size(plan.width, plan.height);
  Pic_K.image.clear(Pic_K.background);
  apply_fit(plan, Pic_F.picture, Pic_F.kept, Pic_K.image);
  forms::draw_edge(Pic_K.image, Rect{0, 0, plan.width, plan.height}, forms::Edge::Raised);
  Pic_K.visible = true;
  Pic_K.invalidate();

  if (form_) form_->set_busy(false);
  p_.set_busy(false);
}

}  // namespace vs
