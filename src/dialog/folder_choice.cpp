// The picture folder and the kinds: the folder chooser, the dialog's own
// listing with its count climbing, and the kind checks.
#include <limits>

#include "dialog/varnoscape_p.h"
#include "platform/cp932.h"

namespace vs {

namespace {

constexpr const char* kChooserTitle = "ﾌｫﾙﾀﾞをｸﾘｯｸして選択状態にしてから ＯＫ を押してください";
// The run-time's own words for the errors a listing meets.
constexpr const char* kPathNotFound = "Path not found";
constexpr const char* kFileNotFound = "File not found";
constexpr const char* kOverflow = "Overflow";
constexpr const char* kApplicationTitle = "Varnoscape";

// The three listing passes: plain files, archived files, read-only files.
constexpr int16_t kPassAttrs[3] = {kAttrNone, kAttrArchive, kAttrReadOnly};

// Why a folder cannot be kept in the settings file as it is, or "".
std::string unstorable(const std::string& folder) {
  if (folder.find_first_of("\r\n") != std::string::npos) return "its name holds a line break";
  if (!utf8_to_cp932(folder)) {
    return "its name holds characters that the settings file (code page 932) cannot hold";
  }
  return {};
}

}  // namespace

std::string Varnoscape_P::name_on_disk(const std::string& path) {
  std::optional<int> attr = p_.file_attributes(path);
  if (!attr || (*attr & (kAttrHidden | kAttrSystem)) != 0) return {};
  const size_t slash = path.find_last_of(p_.path_style().separator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Varnoscape_P::fill_list(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) List_1.add(name_on_disk(path));
  lbl_Kei.set_caption(std::to_string(List_1.count()));
}

void Varnoscape_P::Choose_Folder() {
  const WindowId owner = form_ ? form_->window() : 0;
  std::optional<std::string> chosen = p_.choose_folder(owner, kChooserTitle, Folder_Path.caption());
  // Cancelled, or no folder: everything stays as it was.
  if (!chosen || chosen->empty()) return;
  // Refused now rather than at the save, where it could not be kept.
  if (std::string why = unstorable(*chosen); !why.empty()) {
    p_.message_box(owner, "This folder cannot be used: " + why + ".\n" + *chosen, kDialogTitle,
                   MessageIcon::Warning);
    return;
  }
  Folder_Path.set_caption(*chosen);
  list_folder(*chosen);
}

void Varnoscape_P::list_folder(const std::string& folder) {
  const PathStyle style = p_.path_style();
  Dlg_Count = 0;
  Dlg_Files.clear();
  listing_failed_ = false;
  // The folder is read once; every pass and kind picks from that reading.
  listing_ = FolderListing::read(p_, folder + Kind_Mask(0, style));
  for (int16_t attr : kPassAttrs) {
    m_.File_Attr = attr;
    for (size_t index = 0; index < m_.Set_Kind.size(); ++index) {
      if (m_.Set_Kind[index] != 1) continue;
      List_To_Dialog(folder + Kind_Mask(static_cast<int>(index), style), m_.File_Attr);
      if (form_ && form_->closed()) return;
    }
  }
  listing_.reset();
  List_1.clear();
  fill_list(Dlg_Files);
}

void Varnoscape_P::listing_error(const std::string& description) {
  // One message per listing: an error that comes back for every file must
  // not bring the box up without end.
  if (listing_failed_) return;
  listing_failed_ = true;
  p_.message_box(form_ ? form_->window() : 0, description, kApplicationTitle, MessageIcon::None);
}

void Varnoscape_P::List_To_Dialog(const std::string& Mask, int16_t Attr) {
  if (!listing_) listing_ = FolderListing::read(p_, Mask);
  if (!listing_) {
    listing_error(kPathNotFound);
    return;
  }
  const size_t cut = Mask.find_last_of(p_.path_style().separator);
  const std::string pattern = cut == std::string::npos ? Mask : Mask.substr(cut + 1);
  listing_->each_match(p_, pattern, [&](const std::string& path, std::optional<int> attr) {
    if (!attr) {
      listing_error(kFileNotFound);  // gone before its attributes were read: skipped
      return true;
    }
    if (*attr != Attr) return true;
    if (Dlg_Count == std::numeric_limits<int16_t>::max()) {
      listing_error(kOverflow);
      return false;
    }
    Dlg_Files.push_back(path);
    ++Dlg_Count;
    lbl_Kei.set_caption(std::to_string(Dlg_Count));
    // The count climbs on the screen while a large folder is read.
    return !form_ || form_->do_events();
  });
}

void Varnoscape_P::Img_Kind_MouseDown(int16_t Index, const forms::MouseArgs&) {
  toggle_kind(Index);
}

void Varnoscape_P::lbl_Kind_MouseDown(int16_t Index, const forms::MouseArgs&) {
  toggle_kind(Index);
}

void Varnoscape_P::toggle_kind(int16_t index) {
  if (index < 0 || static_cast<size_t>(index) >= m_.Set_Kind.size()) return;
  int16_t& kind = m_.Set_Kind[static_cast<size_t>(index)];
  kind = static_cast<int16_t>(kind ^ 1);
  if (kind == 0 || kind == 1) {
    Img_Kind[static_cast<size_t>(index)].set_picture(Img_Ra[static_cast<size_t>(kind)]);
  }
  // The new mark shows before the folder is read again.
  if (form_) {
    form_->paint_now();
    if (!form_->do_events()) return;
  }
  m_.Set_Folder = Folder_Path.caption();
  if (m_.Set_Folder.empty() || !Folder_Exists(p_, m_.Set_Folder)) return;
  lbl_Kei.set_caption("");
  Build_Catalogue(m_, p_, m_.Set_Folder);
  List_1.clear();
  if (m_.File_Count != 0) {
    std::vector<std::string> paths(m_.File_List.begin() + 1,
                                   m_.File_List.begin() + 1 + m_.File_Count);
    fill_list(paths);
  }
}

}  // namespace vs
