#include "settings/catalogue.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "settings/wildcard.h"

namespace vs {

namespace {

constexpr std::array<const char*, 4> kExtensions{"bmp", "gif", "jpg", "wmf"};
// The three listing passes: plain files, archived files, read-only files.
constexpr std::array<int16_t, 3> kPassAttrs{kAttrNone, kAttrArchive, kAttrReadOnly};

// Where the folder part of a path ends: one past the last separator (or
// drive colon); 0 when the path has neither.
size_t folder_end(const std::string& path, PathStyle style) {
  for (size_t i = path.size(); i > 0; --i) {
    char c = path[i - 1];
    if (c == style.separator || (style.colon_is_drive && c == ':')) return i;
  }
  return 0;
}

// Appends the names matching pattern whose attribute value is exactly attr.
void take_matches(Varnoscape_B& m, Platform& p, FolderListing& listing, std::string_view pattern,
                  int16_t attr) {
  if (m.File_List.empty()) m.File_List.resize(1);
  listing.each_match(p, pattern, [&](const std::string& path, std::optional<int> value) {
    if (!value || *value != attr) return true;
    // The count is 16-bit: the 32768th match ends this mask's listing.
    if (m.File_Count == std::numeric_limits<int16_t>::max()) return false;
    ++m.File_Count;
    m.File_List.resize(static_cast<size_t>(m.File_Count) + 1);
    m.File_List[static_cast<size_t>(m.File_Count)] = path;
    return true;
  });
}

}  // namespace

std::optional<FolderListing> FolderListing::read(Platform& p, const std::string& mask) {
  const PathStyle style = p.path_style();
  // The folder is listed as the mask spells it, separator included, so a
  // root ("/" + "/*.bmp") lists the root and not the current folder.
  std::optional<std::vector<std::string>> names =
      p.list_folder(mask.substr(0, folder_end(mask, style)));
  if (!names) return std::nullopt;
  FolderListing listing;
  listing.prefix_ = Folder_Of(mask, style) + style.separator;
  listing.attrs_.resize(names->size());
  listing.asked_.resize(names->size());
  listing.names_ = std::move(*names);
  return listing;
}

void FolderListing::each_match(
    Platform& p, std::string_view pattern,
    const std::function<bool(const std::string& path, std::optional<int> attr)>& visit) {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (!wildcard_match(pattern, names_[i])) continue;
    const std::string path = prefix_ + names_[i];
    if (!asked_[i]) {
      attrs_[i] = p.file_attributes(path);
      asked_[i] = true;
    }
    if (!visit(path, attrs_[i])) return;
  }
}

std::string Kind_Mask(int index, PathStyle style) {
  if (index < 0 || index >= static_cast<int>(kExtensions.size())) return {};
  return std::string(1, style.separator) + "*." + kExtensions[static_cast<size_t>(index)];
}

void Build_Catalogue(Varnoscape_B& m, Platform& p, const std::string& Folder) {
  m.File_Count = 0;
  if (Folder.empty()) return;
  PathStyle style = p.path_style();
  // Every mask names the same folder, so it is read once and each name's
  // attributes are asked once; the passes then pick from that reading in
  // the order they would have listed it.
  std::optional<FolderListing> listing = FolderListing::read(p, Folder + Kind_Mask(0, style));
  for (int16_t attr : kPassAttrs) {
    m.File_Attr = attr;
    for (size_t index = 0; index < m.Set_Kind.size(); ++index) {
      if (m.Set_Kind[index] != 1 || !listing) continue;
      std::string pattern = Kind_Mask(static_cast<int>(index), style).substr(1);
      take_matches(m, p, *listing, pattern, m.File_Attr);
    }
  }
  if (m.File_Count > 1) Sort_Catalogue(m);
}

void List_Files(Varnoscape_B& m, Platform& p, const std::string& Mask, int16_t Attr) {
  PathStyle style = p.path_style();
  std::optional<FolderListing> listing = FolderListing::read(p, Mask);
  if (!listing) return;
  take_matches(m, p, *listing, std::string_view(Mask).substr(folder_end(Mask, style)), Attr);
}

// Ascending by bytes (std::string compares its chars as unsigned). This is
// the order a pairwise exchange sort gives, since names never repeat and
// equal texts could not be told apart anyway.
void Sort_Catalogue(Varnoscape_B& m) {
  size_t count = std::min(static_cast<size_t>(std::max<int16_t>(m.File_Count, 0)),
                          m.File_List.empty() ? 0 : m.File_List.size() - 1);
  if (count < 2) return;
  std::sort(m.File_List.begin() + 1, m.File_List.begin() + 1 + static_cast<ptrdiff_t>(count));
}

std::string Folder_Of(const std::string& Path, PathStyle style) {
  std::string folder = Path.substr(0, folder_end(Path, style));
  if (!folder.empty() && folder.back() == style.separator) folder.pop_back();
  return folder;
}

bool Folder_Exists(Platform& p, const std::string& Path) {
  if (Path.empty()) return false;
  return p.file_attributes(Path).has_value();
}

}  // namespace vs
