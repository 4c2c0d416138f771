// The dialog's option pairs, its command buttons and its link.
#include "dialog/settings_dialog.h"

namespace vs {

// A press selects the pressed member; it never flips the value.
void SettingsDialog::select_option(const OptionPair& pair, int16_t index) {
  if (index != 0 && index != 1) return;
  pair.setting = index;
  show_option(pair);
}

void SettingsDialog::press(Button button) {
  switch (button) {
    case Button::ChooseFolder:
      choose_folder();
      break;
    case Button::Clear:
      stop_listing();
      file_list_.clear();
      folder_label_.set_caption("");
      count_label_.set_caption("");
      break;
    case Button::Save: {
      // A save that fails keeps the dialog open with the user's choices, and
      // says where and why, rather than closing as if all were well.
      SaveResult saved = save_settings(p_.system(), settings_, folder_label_.caption());
      if (saved.ok) {
        unload();
        break;
      }
      std::string why = saved.error;
      if (why.empty() && !saved.unwritten.empty()) why = texts_.values_unwritten;
      p_.desktop().message_box(form_ ? form_->window() : 0,
                               filled(texts_.save_failed, {saved.path, why}), texts_.dialog_title,
                               MessageIcon::Error);
      break;
    }
    case Button::Cancel:
      unload();
      break;
  }
}

void SettingsDialog::open_address() {
  p_.window_system().set_busy(true);
  p_.desktop().open_url(address_label_.caption());
  p_.window_system().set_busy(false);
}

}  // namespace vs
