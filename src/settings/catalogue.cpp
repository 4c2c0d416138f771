#include "settings/catalogue.h"

#include <algorithm>

#include "settings/wildcard.h"

namespace vs {

namespace {

// No mask matches a name that another kind's mask matches.
const std::array<std::vector<const char*>, kKindCount> kPatterns{{
    {"*.bmp"},
    {"*.gif"},
    {"*.jpg", "*.jpeg", "*.jpe", "*.jfif"},
    {"*.wmf"},
    {"*.png"},
    {"*.webp"},
    {"*.heic", "*.heif"},
    {"*.avif"},
    {"*.tif", "*.tiff"},
}};

bool matches_kind(size_t kind, const std::string& name) {
  for (const char* pattern : kPatterns[kind]) {
    if (wildcard_match(pattern, name)) return true;
  }
  return false;
}
// The three listing passes: plain files, archived files, read-only files.
constexpr std::array<int, 3> kPassAttrs{kAttrNone, kAttrArchive, kAttrReadOnly};

// Where the folder part of a path ends: one past the last separator (or
// drive colon); 0 when the path has neither.
size_t folder_end(const std::string& path, PathStyle style) {
  for (size_t i = path.size(); i > 0; --i) {
    char c = path[i - 1];
    if (c == style.separator || (style.colon_is_drive && c == ':')) return i;
  }
  return 0;
}

}  // namespace

const std::vector<const char*>& kind_patterns(size_t kind) {
  return kPatterns.at(kind);
}

const std::string* Catalogue::at(int position) const {
  if (position < 1 || position > count || static_cast<size_t>(position) >= files.size()) {
    return nullptr;
  }
  return &files[static_cast<size_t>(position)];
}

std::vector<std::string> Catalogue::paths() const {
  std::vector<std::string> out;
  for (int i = 1; const std::string* path = at(i); ++i) out.push_back(*path);
  return out;
}

PictureWalk::PictureWalk(System& p, const std::string& folder, const KindSwitches& kinds)
    : p_(p), kinds_(kinds) {
  const PathStyle style = p.path_style();
  // The folder is listed as a mask would spell it, separator included, so a
  // root ("/" + "/*.bmp") lists the root and not the current folder, and its
  // files keep the doubled separator.
  const std::string mask = folder + style.separator + kPatterns[0][0];
  std::optional<std::vector<std::string>> names =
      p.list_folder(mask.substr(0, folder_end(mask, style)));
  if (folder.empty() || !names) {
    if (!folder.empty()) problem_ = Problem::FolderUnreadable;
    done_ = true;
    return;
  }
  prefix_ = folder_of(mask, style) + style.separator;
  names_ = std::move(*names);
  attrs_.resize(names_.size());
  asked_.resize(names_.size());
}

void PictureWalk::note(Problem problem) {
  if (problem_ == Problem::None) problem_ = problem;
}

bool PictureWalk::step(int budget, const std::function<void(const std::string& path)>& take) {
  for (; budget > 0 && !done_; --budget) {
    if (pass_ == kPassAttrs.size()) {
      done_ = true;
      break;
    }
    if (kind_ == kinds_.size()) {
      kind_ = 0;
      ++pass_;
      continue;
    }
    if (kinds_[kind_] != 1 || name_ == names_.size()) {
      ++kind_;
      name_ = 0;
      continue;
    }
    const size_t i = name_++;
    if (!matches_kind(kind_, names_[i])) continue;
    std::string path = prefix_ + names_[i];
    if (!asked_[i]) {
      attrs_[i] = p_.file_attributes(path);
      asked_[i] = true;
    }
    // Gone since the folder was read, or a dangling link: skipped, so that
    // one bad entry does not hide the pictures after it.
    if (!attrs_[i]) {
      note(Problem::FileVanished);
      continue;
    }
    if (*attrs_[i] != kPassAttrs[pass_]) continue;
    if (taken_ == kMaxPictures) {
      note(Problem::TooMany);
      done_ = true;
      break;
    }
    ++taken_;
    take(path);
  }
  return done_;
}

void build_catalogue(System& p, const KindSwitches& kinds, const std::string& folder,
                     Catalogue& catalogue) {
  catalogue.count = 0;
  if (folder.empty()) return;
  PictureWalk walk(p, folder, kinds);
  std::vector<std::string> found;
  while (!walk.step(1 << 16, [&](const std::string& path) { found.push_back(path); })) {
  }
  fill_catalogue(catalogue, std::move(found));
}

void fill_catalogue(Catalogue& catalogue, std::vector<std::string> found) {
  catalogue.count = static_cast<int16_t>(found.size());
  // A rebuild that finds nothing leaves the old slots, unread.
  if (found.empty()) return;
  catalogue.files.resize(found.size() + 1);
  std::move(found.begin(), found.end(), catalogue.files.begin() + 1);
  sort_catalogue(catalogue);
}

// Ascending by bytes (std::string compares its chars as unsigned). This is
// the order a pairwise exchange sort gives, since names never repeat and
// equal texts could not be told apart anyway.
void sort_catalogue(Catalogue& catalogue) {
  size_t count = std::min(static_cast<size_t>(std::max<int16_t>(catalogue.count, 0)),
                          catalogue.files.empty() ? 0 : catalogue.files.size() - 1);
  if (count < 2) return;
  std::sort(catalogue.files.begin() + 1,
            catalogue.files.begin() + 1 + static_cast<ptrdiff_t>(count));
}

std::string folder_of(const std::string& path, PathStyle style) {
  std::string folder = path.substr(0, folder_end(path, style));
  if (!folder.empty() && folder.back() == style.separator) folder.pop_back();
  return folder;
}

bool folder_exists(System& p, const std::string& path) {
  if (path.empty()) return false;
  return p.file_attributes(path).has_value();
}

}  // namespace vs
