// The settings dialog: the user chooses the picture folder and kinds, the
// order, the size and the drawing method, sees the pictures of the folder
// and a preview of one, and saves the choices to the settings file.
//
// The dialog runs in its form's one loop. Long work is a job of that loop:
// the listing of a folder (its count climbing), the catalogue rebuilt after
// a kind toggle, a preview picture loading, the folder chooser open. While
// a job runs every control still answers, by these rules:
// - a new folder choice replaces the listing under way;
// - a kind toggle starts the listing again with the new kinds;
// - a list click during a preview load: the latest click wins;
// - "ｸﾘｱ" stops the listing and empties the list;
// - "設定", "ｷｬﾝｾﾙ" and the close box act at once, whatever runs;
// - while the folder chooser is open the dialog takes no input, as the
//   owner of a modal window does; so while a message box is up, and once
//   the closing outline has begun (it replaces an opening one under way).
//
// The keyboard alone: Escape is "ｷｬﾝｾﾙ"; Return is "設定" unless a button has
// the focus, which Return then presses; Tab and Shift+Tab go round in
// reading order, each pair of options one stop at its selected member; the
// arrows select within a pair; Space toggles a kind, presses a button and
// opens the address.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "forms/forms.h"
#include "platform/background_load.h"
#include "platform/event_loop.h"
#include "platform/platform.h"
#include "settings/catalogue.h"
#include "settings/settings.h"
#include "settings/window_titles.h"

namespace vs {

// The title of the dialog's message boxes.
inline constexpr const char* kApplicationTitle = "Varnoscape";

// The address the link label opens.
inline constexpr const char* kHomePage = "https://github.com/varnoscape/varnoscape";

class SettingsDialog {
 public:
  SettingsDialog(Platform& p, Settings& settings, Catalogue& catalogue);
  ~SettingsDialog();

  // Loads the dialog and shows it until it closes.
  void show_modal();

  // The two halves of show_modal: builds and shows the window over the
  // settings; then runs its loop until it closes, or (in tests, where the
  // input runs out) until nothing is left to do.
  void load();
  void run();

  // The command buttons.
  enum class Button { ChooseFolder, Clear, Save, Cancel };
  void press(Button button);

  // What is on the screen, for tests and the program.
  forms::Form* form() const { return form_.get(); }
  const forms::ListBox& file_list() const { return file_list_; }
  const std::string& folder_label() const { return folder_label_.caption(); }
  const std::string& count_label() const { return count_label_.caption(); }
  const std::string& preview_size_label() const { return preview_size_label_.caption(); }
  const forms::PictureBox& preview_box() const { return preview_box_; }
  const forms::Label& count_label_control() const { return count_label_; }
  const forms::Label& preview_size_control() const { return preview_size_label_; }
  int horizontal_extent() const { return extent_; }
  bool listing() const;  // a folder listing or a catalogue rebuild runs

 private:
  // The form's scale (1 before the form is made), and a length at 96 dots
  // per inch in the dialog's pixels.
  double scale() const;
  int px(int length) const;
  // Places a control on its parent by its rectangle at 96 dots per inch.
  void place(forms::Control& c, forms::Panel& parent, int x, int y, int w, int h);
  void place_label(forms::Label& l, forms::Panel& parent, int x, int y, int w, int h,
                   const std::string& caption, forms::Align align = forms::Align::Left);
  void place_panel(forms::Panel& panel, forms::Panel& parent, int x, int y, int w, int h);
  void draw_stock_images();
  void lay_out();
  std::unique_ptr<Font> open_font(double scale);
  // What the controls show that depends on the scale: labels fitted to the
  // font, the textures and stock pictures, the preview.
  void dress();
  // The window went to a screen of another scale: everything again at it.
  void rescale(double to);
  void connect_handlers();
  void fit_labels_to_text();
  void tile_texture(forms::Panel& box);
  // A pair of options: its marks, its captions and the setting it shows.
  struct OptionPair {
    std::array<forms::ImageControl, 2>& marks;
    std::array<forms::Label, 2>& labels;
    int16_t& setting;
  };
  std::array<OptionPair, 3> option_pairs();
  // Marks the pair's setting, and makes its member the pair's one keyboard
  // stop.
  void show_option(const OptionPair& pair);
  void select_option(const OptionPair& pair, int16_t index);
  void toggle_kind(int16_t index);
  void toggle_subfolders();
  // After a kind or the subfolders switch changed: the catalogue of the
  // folder label made again, as the list shows it.
  void rebuild_catalogue();
  void choose_folder();
  void take_chosen_folder(const std::optional<std::string>& chosen);
  void show_preview();
  void open_address();
  void unload();
  // The outline between the pointer's place at the opening and the window,
  // growing (opening) or shrinking (closing), as steps of the loop; then
  // `done`.
  void animate(bool opening, std::function<void()> done);

  // Listings: the chosen folder's files (the count climbing as they are
  // found), or the catalogue rebuilt for the folder label after a toggle.
  enum class Listing { ChosenFolder, Catalogue };
  void start_listing(const std::string& folder, Listing kind);
  void stop_listing();
  void stop_preview_load();
  // The name of a listed file as the folder holds it now, with the folders
  // between the listed folder (whose paths start with `prefix`) and it:
  // empty when it has gone, or become hidden or a system file.
  std::string name_on_disk(const std::string& path, const std::string& prefix);
  // Shows a listing's problem, once per listing.
  void listing_error(PictureWalk::Problem problem);

  Platform& p_;
  Settings& settings_;
  Catalogue& catalogue_;
  const Texts& texts_;        // in the user's language
  int twips_per_pixel_ = 15;  // the screen's, as the dialog was loaded
  std::unique_ptr<forms::Form> form_;

  // The controls.
  // The later kinds have a panel of their own, below the options, so that
  // the first four kinds keep their places.
  forms::Panel client_panel_, files_panel_, options_panel_, later_kinds_panel_;
  std::array<forms::CommandButton, 4> buttons_;  // by Button
  // The headings on their plates: file names, preview, kinds; order, size,
  // drawing method; kinds again over the later kinds.
  std::array<forms::ImageControl, 7> heading_plates_;
  std::array<forms::Label, 7> headings_;
  forms::Label credit_label_, count_unit_label_;
  forms::Label address_label_, count_label_, folder_label_, preview_size_label_;
  forms::ListBox file_list_;
  forms::PictureBox preview_box_;
  std::array<forms::ImageControl, kKindCount> kind_checks_;  // by the settings' kind index
  std::array<forms::Label, kKindCount> kind_labels_;
  forms::ImageControl subfolders_check_;
  forms::Label subfolders_label_;
  std::array<forms::ImageControl, 2> order_marks_, size_marks_, method_marks_;
  std::array<forms::Label, 2> order_labels_, size_labels_, method_labels_;

  // Stock pictures.
  std::array<Surface, 2> option_mark_images_;  // not selected, selected
  std::array<Surface, 2> check_mark_images_;   // not checked, checked
  Surface heading_plate_image_, button_face_image_, background_strip_, icon_;

  // The last picture previewed, at its own size (only the pixels the
  // preview reads are kept), and the load under way.
  PictureResult preview_picture_;
  std::unique_ptr<BackgroundLoad> preview_load_;
  // Loads a newer click replaced, until they have stopped: a decoder that
  // cannot be interrupted is not waited for on the loop.
  std::vector<std::unique_ptr<BackgroundLoad>> stopping_loads_;
  std::optional<EventLoop::JobId> preview_job_;
  // The opening or closing outline under way; a closing begun during the
  // opening takes its place.
  std::optional<EventLoop::JobId> outline_job_;

  // The last folder choice's files, and the listing under way.
  std::vector<std::string> listed_files_;
  std::optional<EventLoop::JobId> listing_job_;
  bool listing_error_shown_ = false;
  // The kinds whose missing decoder the user has been told of.
  std::set<std::string> missing_decoders_told_;

  std::unique_ptr<FolderChooser> chooser_;
  Point opened_at_;  // the pointer when the dialog was loaded
  bool closing_ = false;
  int extent_ = 0;
};

}  // namespace vs
