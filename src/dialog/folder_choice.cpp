// The picture folder and the kinds: the folder chooser, the dialog's own
// listing with its count climbing, and the kind checks. Listings are jobs of
// the form's loop: a bounded number of names a step.
#include "dialog/settings_dialog.h"

namespace vs {

namespace {

// The run-time's own words for the problems a listing meets.
constexpr const char* kPathNotFound = "Path not found";
constexpr const char* kFileNotFound = "File not found";
constexpr const char* kOverflow = "Overflow";

// Names looked at, and then list rows added, per step: about a millisecond
// of work, so the dialog answers between any two steps.
constexpr int kNamesPerStep = 1024;

// Why a folder cannot be kept in the settings file as it is, or "".
std::string unstorable(const std::string& folder, const Texts& t) {
  if (folder.find_first_of("\r\n") != std::string::npos) return t.name_has_line_break;
  return {};
}

}  // namespace

std::string SettingsDialog::name_on_disk(const std::string& path, const std::string& prefix) {
  std::optional<int> attr = p_.system().file_attributes(path);
  if (!attr || (*attr & (kAttrHidden | kAttrSystem)) != 0) return {};
  if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) {
    return path.substr(prefix.size());
  }
  const size_t slash = path.find_last_of(p_.system().path_style().separator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SettingsDialog::choose_folder() {
  if (!form_ || chooser_) return;
  chooser_ =
      p_.desktop().choose_folder(form_->window(), texts_.chooser_title, folder_label_.caption());
  // The chooser owns the input until it closes; the loop goes on meanwhile
  // (a listing under way keeps counting).
  form_->set_busy(true);
  form_->loop().watch([this] {
    if (!chooser_->finished()) return false;
    std::optional<std::string> chosen = chooser_->folder();
    chooser_.reset();
    form_->set_busy(false);
    take_chosen_folder(chosen);
    return true;
  });
}

void SettingsDialog::take_chosen_folder(const std::optional<std::string>& chosen) {
  // Cancelled, or no folder: everything stays as it was.
  if (!chosen || chosen->empty()) return;
  // Refused now rather than at the save, where it could not be kept.
  if (std::string why = unstorable(*chosen, texts_); !why.empty()) {
    p_.desktop().message_box(form_->window(), filled(texts_.folder_unusable, {why, *chosen}),
                             texts_.dialog_title, MessageIcon::Warning);
    return;
  }
  folder_label_.set_caption(*chosen);
  // The new choice replaces a listing under way.
  start_listing(*chosen, Listing::ChosenFolder);
}

bool SettingsDialog::listing() const {
  return listing_job_ && form_ && form_->loop().has(*listing_job_);
}

void SettingsDialog::stop_listing() {
  if (listing_job_ && form_) form_->loop().cancel(*listing_job_);
  listing_job_.reset();
}

void SettingsDialog::listing_error(PictureWalk::Problem problem) {
  // One message per listing: a problem that comes back for every file must
  // not bring the box up without end.
  if (listing_error_shown_ || problem == PictureWalk::Problem::None) return;
  listing_error_shown_ = true;
  const char* text = problem == PictureWalk::Problem::FolderUnreadable ? kPathNotFound
                     : problem == PictureWalk::Problem::TooMany        ? kOverflow
                                                                       : kFileNotFound;
  p_.desktop().message_box(form_->window(), text, kApplicationTitle, MessageIcon::None);
}

void SettingsDialog::start_listing(const std::string& folder, Listing kind) {
  stop_listing();
  listing_error_shown_ = false;
  if (kind == Listing::ChosenFolder) listed_files_.clear();
  // The job walks the folder, then fills the list, a step at a time.
  struct State {
    PictureWalk walk;
    std::vector<std::string> found;
    size_t filled = 0;
    bool walked = false;
  };
  auto state = std::make_shared<State>(State{
      PictureWalk(p_.system(), folder, settings_.kinds, settings_.subfolders == 1), {}, 0, false});
  const std::string prefix = pictures_prefix(folder, p_.system().path_style());
  listing_job_ = form_->loop().add(
      p_.system().now_us(), [this, state, kind, prefix](int64_t now) -> std::optional<int64_t> {
        State& s = *state;
        if (!s.walked) {
          s.walk.step(kNamesPerStep, [&](const std::string& path) {
            s.found.push_back(path);
            // The count climbs on the screen while a large folder is read.
            if (kind == Listing::ChosenFolder)
              count_label_.set_caption(std::to_string(s.found.size()));
          });
          if (kind == Listing::ChosenFolder) listing_error(s.walk.problem());
          if (!s.walk.done()) return now;
          s.walked = true;
          if (kind == Listing::ChosenFolder) {
            listed_files_ = s.found;
          } else {
            // The catalogue now matches the dialog.
            fill_catalogue(catalogue_, std::move(s.found));
            s.found = catalogue_.paths();
          }
          file_list_.clear();
        }
        const size_t end = std::min(s.found.size(), s.filled + kNamesPerStep);
        for (; s.filled < end; ++s.filled) file_list_.add(name_on_disk(s.found[s.filled], prefix));
        if (s.filled < s.found.size()) return now;
        // A rebuilt catalogue without files leaves the count blank.
        if (kind == Listing::ChosenFolder || !s.found.empty()) {
          count_label_.set_caption(std::to_string(file_list_.count()));
        }
        listing_job_.reset();
        return std::nullopt;
      });
}

void SettingsDialog::toggle_kind(int16_t index) {
  if (index < 0 || static_cast<size_t>(index) >= settings_.kinds.size()) return;
  int16_t& kind = settings_.kinds[static_cast<size_t>(index)];
  kind = static_cast<int16_t>(kind ^ 1);
  if (kind == 0 || kind == 1) {
    kind_checks_[static_cast<size_t>(index)].set_picture(
        check_mark_images_[static_cast<size_t>(kind)]);
  }
  // The new mark shows before the folder is read again.
  if (form_) form_->paint_now();
  rebuild_catalogue();
}

void SettingsDialog::toggle_subfolders() {
  int16_t& subfolders = settings_.subfolders;
  subfolders = subfolders == 1 ? 0 : 1;
  subfolders_check_.set_picture(check_mark_images_[static_cast<size_t>(subfolders)]);
  if (form_) form_->paint_now();
  rebuild_catalogue();
}

void SettingsDialog::rebuild_catalogue() {
  settings_.folder = folder_label_.caption();
  if (settings_.folder.empty() || !folder_exists(p_.system(), settings_.folder)) return;
  count_label_.set_caption("");
  // A listing under way starts again, with the new kinds.
  start_listing(settings_.folder, Listing::Catalogue);
}

}  // namespace vs
