// The settings dialog: the user chooses the picture folder and kinds, the
// order, the size and the drawing method, sees the pictures of the folder
// and a preview of one, and saves the choices to the settings file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/forms/forms.h"
#include "platform/platform.h"
#include "settings/catalogue.h"
#include "settings/module_state.h"
#include "settings/window_titles.h"

namespace vs {

// The address the link label opens.
inline constexpr const char* kHomePage = "https://github.com/varnoscape/varnoscape";

class Varnoscape_P {
 public:
  Varnoscape_P(Varnoscape_B& m, Platform& p);
  ~Varnoscape_P();

  // Loads the dialog and shows it until it is unloaded.
  void Show_Modal();

  // Runs when the dialog is loaded, before it is first shown.
  void Form_Load();
  // Runs whenever the dialog is unloaded (the settings button, cancel, the
  // window's close box); the dialog then closes.
  void Form_Unload();

  // The option pairs: a press of any button on a picture or its label
  // selects that member.
  void Img_SR_MouseDown(int16_t Index, const forms::MouseArgs& a);
  void lbl_RS_MouseDown(int16_t Index, const forms::MouseArgs& a);
  void Img_Size_MouseDown(int16_t Index, const forms::MouseArgs& a);
  void lbl_Size_MouseDown(int16_t Index, const forms::MouseArgs& a);
  void Img_Way_MouseDown(int16_t Index, const forms::MouseArgs& a);
  void lbl_Way_MouseDown(int16_t Index, const forms::MouseArgs& a);
  // The kind checks: a press toggles the kind and lists the folder anew.
  void Img_Kind_MouseDown(int16_t Index, const forms::MouseArgs& a);
  void lbl_Kind_MouseDown(int16_t Index, const forms::MouseArgs& a);

  void Cmd_Button_Click(int16_t Index);
  void List_1_Click();
  void lbl_URL_MouseUp(const forms::MouseArgs& a);

  void Choose_Folder();
  void List_To_Dialog(const std::string& Mask, int16_t Attr);

  // For tests and the program: the form and its controls as they stand.
  forms::Form* form() const { return form_.get(); }
  const forms::ListBox& list() const { return List_1; }
  const std::string& folder_label() const { return Folder_Path.caption(); }
  const std::string& count_label() const { return lbl_Kei.caption(); }
  const std::string& size_label() const { return lbl_PreSize.caption(); }
  const forms::PictureBox& preview() const { return Pic_K; }
  int horizontal_extent() const { return extent_; }

 private:
  void lay_out();
  void fit_labels_to_text();
  void Tile_Texture(forms::Panel& box);
  void select_option(std::array<forms::ImageControl, 2>& pair, int16_t index, int16_t& setting);
  void show_option(std::array<forms::ImageControl, 2>& pair, int16_t value);
  void toggle_kind(int16_t index);
  // The dialog's listing of the chosen folder, and its count climbing.
  void list_folder(const std::string& folder);
  // The name of a listed file as the folder holds it now: empty when it has
  // gone, or become hidden or a system file.
  std::string name_on_disk(const std::string& path);
  void fill_list(const std::vector<std::string>& paths);
  // Shows a run-time error of the listing, once per listing.
  void listing_error(const std::string& description);
  void Anim_Open();
  void Anim_Close();
  void unload();

  Varnoscape_B& m_;
  Platform& p_;
  std::unique_ptr<forms::Form> form_;

  // Controls, named as the dialog's layout names them.
  forms::Panel Pic_C;
  std::array<forms::Panel, 2> Pic_1;
  std::array<forms::CommandButton, 4> Cmd_Button;
  std::array<forms::Label, 14> lbl;
  forms::Label lbl_URL, lbl_Kei, Folder_Path, lbl_PreSize;
  std::array<forms::ImageControl, 6> Img_H;
  forms::ListBox List_1;
  forms::PictureBox Pic_K;
  std::array<forms::ImageControl, 4> Img_Kind;
  std::array<forms::Label, 4> lbl_Kind;
  std::array<forms::ImageControl, 2> Img_SR, Img_Size, Img_Way;
  std::array<forms::Label, 2> lbl_RS, lbl_Size, lbl_Way;

  // Stock pictures.
  std::array<Surface, 2> Img_Opt, Img_Ra;
  Surface Img_TT, Pic_Button, Pic_Mbl, icon_;

  // The work box of the preview: the last picture loaded, at its own size
  // (only the pixels the preview reads are kept).
  PictureResult Pic_F;

  // The last folder choice's files, and the listing they come from.
  std::vector<std::string> Dlg_Files;
  int16_t Dlg_Count = 0;
  std::optional<FolderListing> listing_;
  bool listing_failed_ = false;  // its one error message has been shown
  int extent_ = 0;
};

}  // namespace vs
