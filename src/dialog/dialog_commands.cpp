// The dialog's option pairs, its command buttons and its link.
#include "dialog/varnoscape_p.h"
#include "settings/settings.h"

namespace vs {

namespace {

constexpr const char* kSaveFailedText = "The settings could not be saved to ";

}  // namespace

// A press selects the pressed member; it never flips the value.
void Varnoscape_P::select_option(std::array<forms::ImageControl, 2>& pair, int16_t index,
                                 int16_t& setting) {
  if (index != 0 && index != 1) return;
  pair[static_cast<size_t>(index)].set_picture(Img_Opt[1]);
  pair[static_cast<size_t>(index ^ 1)].set_picture(Img_Opt[0]);
  setting = index;
}

void Varnoscape_P::Img_SR_MouseDown(int16_t Index, const forms::MouseArgs&) {
  select_option(Img_SR, Index, m_.Set_Change);
}
void Varnoscape_P::lbl_RS_MouseDown(int16_t Index, const forms::MouseArgs& a) {
  Img_SR_MouseDown(Index, a);
}
void Varnoscape_P::Img_Size_MouseDown(int16_t Index, const forms::MouseArgs&) {
  select_option(Img_Size, Index, m_.Set_Size);
}
void Varnoscape_P::lbl_Size_MouseDown(int16_t Index, const forms::MouseArgs& a) {
  Img_Size_MouseDown(Index, a);
}
void Varnoscape_P::Img_Way_MouseDown(int16_t Index, const forms::MouseArgs&) {
  select_option(Img_Way, Index, m_.Set_Way);
}
void Varnoscape_P::lbl_Way_MouseDown(int16_t Index, const forms::MouseArgs& a) {
  Img_Way_MouseDown(Index, a);
}

void Varnoscape_P::Cmd_Button_Click(int16_t Index) {
  switch (Index) {
    case 0:
      Choose_Folder();
      break;
    case 1:
      List_1.clear();
      Folder_Path.set_caption("");
      lbl_Kei.set_caption("");
      break;
    case 2: {
      // A save that fails keeps the dialog open with the user's choices, and
      // says where and why, rather than closing as if all were well.
      SaveResult saved = Save_Settings(m_, p_, Folder_Path.caption());
      if (saved.ok) {
        unload();
        break;
      }
      std::string why = saved.error;
      if (why.empty() && !saved.unwritten.empty()) why = "some values could not be written";
      p_.message_box(form_ ? form_->window() : 0, kSaveFailedText + saved.path + ":\n" + why,
                     kDialogTitle, MessageIcon::Error);
      break;
    }
    case 3:
      unload();
      break;
    default:
      break;
  }
}

void Varnoscape_P::lbl_URL_MouseUp(const forms::MouseArgs&) {
  p_.set_busy(true);
  p_.open_url(lbl_URL.caption());
  p_.set_busy(false);
}

}  // namespace vs
