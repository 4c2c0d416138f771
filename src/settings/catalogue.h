// The picture catalogue: the picture files of the chosen folder for the
// enabled kinds, as full paths, sorted by their bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/path_style.h"
#include "platform/platform.h"
#include "settings/module_state.h"

namespace vs {

// The mask of kind `index` (0 bitmap, 1 GIF, 2 JPEG, 3 metafile): the path
// separator, "*." and the extension, e.g. "/*.bmp".
std::string Kind_Mask(int index, PathStyle style);

// A folder read once: its names in the listing's own order, and each
// name's attribute value, asked once when first needed.
class FolderListing {
 public:
  // The folder of the mask (a folder, a separator and a pattern); nothing
  // when it cannot be listed.
  static std::optional<FolderListing> read(Platform& p, const std::string& mask);

  // For each name matching the pattern ("*.bmp"), in order: its path and
  // its attribute value (nothing when it has none now: a dangling link, a
  // file removed since the folder was read). False from visit stops.
  void each_match(
      Platform& p, std::string_view pattern,
      const std::function<bool(const std::string& path, std::optional<int> attr)>& visit);

 private:
  std::string prefix_;  // the folder part and a separator
  std::vector<std::string> names_;
  std::vector<std::optional<int>> attrs_;
  std::vector<bool> asked_;
};

// Rebuilds File_List / File_Count of the folder for the kinds enabled in
// Set_Kind (exactly 1).
void Build_Catalogue(Varnoscape_B& m, Platform& p, const std::string& Folder);
// Appends the files matching Mask whose attribute value equals Attr.
void List_Files(Varnoscape_B& m, Platform& p, const std::string& Mask, int16_t Attr);
// Sorts entries 1..File_Count by their bytes.
void Sort_Catalogue(Varnoscape_B& m);

// The folder part of a path: up to the last separator (or drive colon where
// the style has one), without that separator when it ends the text.
std::string Folder_Of(const std::string& Path, PathStyle style);
// True when something (a folder or a plain file) exists under that name.
bool Folder_Exists(Platform& p, const std::string& Path);

}  // namespace vs
