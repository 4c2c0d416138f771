// The preview: the clicked picture's size, and a copy of it whose longer side
// is 100 pixels, dropped rows and columns rather than blended ones. The
// picture loads off the loop; a newer click replaces a load under way.
#include "core/picture_fit.h"
#include "dialog/settings_dialog.h"

#include <cctype>

#include "pictures/decoders.h"

namespace vs {

namespace {

constexpr int kPreviewSide = 100;

}  // namespace

void SettingsDialog::show_preview() {
  const int selected = file_list_.selected();
  if (selected < 0 || !form_) return;
  p_.window_system().set_busy(true);
  preview_box_.visible = false;
  preview_box_.invalidate();

  const std::string path =
      folder_label_.caption() + p_.system().path_style().separator + file_list_.entry(selected);
  // The thumbnail at the dialog's scale.
  const int side = px(kPreviewSide);
  const PictureView view{side, side, FitMode::Thumbnail};
  // The latest click wins: a load under way is stopped for this one.
  stop_preview_load();
  preview_load_ = p_.start_picture_load(path, view);
  if (preview_job_ && form_->loop().has(*preview_job_)) return;
  preview_job_ = form_->loop().watch([this, side] {
    std::erase_if(stopping_loads_, [](const auto& load) { return load->finished(); });
    if (!preview_load_) {  // stopped for the closing
      p_.window_system().set_busy(false);
      preview_job_.reset();
      return true;
    }
    if (!preview_load_->finished()) return false;
    PictureResult loaded = preview_load_->take();
    preview_load_.reset();
    // A picture that cannot be loaded leaves the last one as it was. One
    // that this system has no decoder for is not the file's fault: the user
    // is told, once a kind, what to install.
    if (loaded.ok) {
      preview_picture_ = std::move(loaded);
    } else if (is_missing_decoder_reason(loaded.reason) &&
               missing_decoders_told_.insert(loaded.reason).second) {
      std::string text = loaded.reason;
      text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
      p_.desktop().message_box(form_->window(), text + ".", kApplicationTitle,
                               MessageIcon::Information);
    }

    const int w = preview_picture_.width(), h = preview_picture_.height();
    preview_size_label_.set_caption(std::to_string(w) + " * " + std::to_string(h));
    const FitPlan plan = plan_fit(w, h, side, side, FitMode::Thumbnail);
    preview_box_.set_size(plan.width, plan.height);
    preview_box_.image.clear(preview_box_.background);
    apply_fit(plan, preview_picture_.picture, preview_picture_.kept, preview_box_.image);
    forms::draw_edge(preview_box_.image, Rect{0, 0, plan.width, plan.height}, forms::Edge::Raised,
                     form_->line());
    preview_box_.visible = true;
    preview_box_.invalidate();
    p_.window_system().set_busy(false);
    preview_job_.reset();
    return true;
  });
}

void SettingsDialog::stop_preview_load() {
  // Its thread ends on its own and wakes the loop; the watch above (or the
  // dialog's end) joins it.
  if (!preview_load_) return;
  preview_load_->request_stop();
  stopping_loads_.push_back(std::move(preview_load_));
}

}  // namespace vs
