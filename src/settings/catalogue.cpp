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

std::string pictures_prefix(const std::string& folder, PathStyle style) {
  // As a mask would spell it: a root ("/" + "/*.bmp") keeps the doubled
  // separator, so that it lists the root and not the current folder.
  return folder_of(folder + style.separator + kPatterns[0][0], style) + style.separator;
}

PictureWalk::PictureWalk(System& p, const std::string& folder, const KindSwitches& kinds,
                         bool with_subfolders)
    : p_(p), kinds_(kinds), with_subfolders_(with_subfolders), style_(p.path_style()) {
  const std::string prefix = pictures_prefix(folder, style_);
  std::optional<std::vector<FolderEntry>> entries =
      folder.empty() ? std::nullopt : p.list_folder(prefix.substr(0, folder_end(prefix, style_)));
  if (!entries) {
    if (!folder.empty()) problem_ = Problem::FolderUnreadable;
    done_ = true;
    return;
  }
  if (with_subfolders_) {
    if (std::optional<std::string> id = p.folder_identity(prefix)) seen_folders_.push_back(*id);
    enter(prefix, std::move(*entries));
    return;
  }
  folder_ = Folder{prefix, std::move(*entries), 0};
  asked_.resize(folder_.entries.size());
}

void PictureWalk::note(Problem problem) {
  if (problem_ == Problem::None) problem_ = problem;
}

bool PictureWalk::know_attributes(const std::string& path, FolderEntry& entry) {
  if (!entry.attributes) entry.attributes = p_.file_attributes(path);
  // Gone since the folder was read, or a dangling link: skipped, so that
  // one bad entry does not hide the pictures after it.
  if (!entry.attributes) note(Problem::FileVanished);
  return entry.attributes.has_value();
}

void PictureWalk::take_file(const std::string& path,
                            const std::function<void(const std::string&)>& take) {
  if (taken_ == kMaxPictures) {
    note(Problem::TooMany);
    done_ = true;
    return;
  }
  ++taken_;
  take(path);
}

bool PictureWalk::step(int budget, const std::function<void(const std::string& path)>& take) {
  if (with_subfolders_) {
    step_tree(budget, take);
  } else {
    step_folder(budget, take);
  }
  return done_;
}

void PictureWalk::step_folder(int& budget, const std::function<void(const std::string&)>& take) {
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
    if (kinds_[kind_] != 1 || folder_.next == folder_.entries.size()) {
      ++kind_;
      folder_.next = 0;
      continue;
    }
    const size_t i = folder_.next++;
    FolderEntry& entry = folder_.entries[i];
    if (!matches_kind(kind_, entry.name)) continue;
    const std::string path = folder_.prefix + entry.name;
    // A name that vanished is said once, not once per pass.
    if (asked_[i] && !entry.attributes) continue;
    asked_[i] = true;
    if (!know_attributes(path, entry) || *entry.attributes != kPassAttrs[pass_]) continue;
    take_file(path, take);
  }
}

void PictureWalk::enter(std::string prefix, std::vector<FolderEntry> entries) {
  // Which names are folders decides their order: a folder sorts as its name
  // and a separator, as the paths of the files in it do.
  std::vector<std::pair<std::string, FolderEntry>> keyed;
  keyed.reserve(entries.size());
  for (FolderEntry& entry : entries) {
    if (entry.may_be_folder && !entry.attributes) {
      entry.attributes = p_.file_attributes(prefix + entry.name);
    }
    std::string key = entry.name;
    if (entry.attributes && (*entry.attributes & kAttrDirectory)) key += style_.separator;
    keyed.emplace_back(std::move(key), std::move(entry));
  }
  std::sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  Folder folder{std::move(prefix), {}, 0};
  folder.entries.reserve(keyed.size());
  for (auto& [key, entry] : keyed) folder.entries.push_back(std::move(entry));
  open_folders_.push_back(std::move(folder));
}

void PictureWalk::step_tree(int& budget, const std::function<void(const std::string&)>& take) {
  while (budget > 0 && !done_) {
    if (open_folders_.empty()) {
      done_ = true;
      break;
    }
    Folder& folder = open_folders_.back();
    if (folder.next == folder.entries.size()) {
      open_folders_.pop_back();
      continue;
    }
    --budget;
    FolderEntry& entry = folder.entries[folder.next++];
    const std::string path = folder.prefix + entry.name;
    if (entry.attributes && (*entry.attributes & kAttrDirectory)) {
      if (*entry.attributes & (kAttrHidden | kAttrSystem)) continue;
      std::optional<std::string> id = p_.folder_identity(path);
      if (!id) continue;
      auto at = std::lower_bound(seen_folders_.begin(), seen_folders_.end(), *id);
      if (at != seen_folders_.end() && *at == *id) continue;
      seen_folders_.insert(at, *id);
      // A folder below that cannot be read holds nothing to show; the walk
      // goes on with the rest.
      std::optional<std::vector<FolderEntry>> entries = p_.list_folder(path);
      if (!entries) continue;
      budget -= static_cast<int>(std::min<size_t>(entries->size(), 1 << 20));
      enter(path + style_.separator, std::move(*entries));
      continue;
    }
    bool shown_kind = false;
    for (size_t kind = 0; kind < kinds_.size() && !shown_kind; ++kind) {
      shown_kind = kinds_[kind] == 1 && matches_kind(kind, entry.name);
    }
    if (!shown_kind || !know_attributes(path, entry)) continue;
    const int attrs = *entry.attributes;
    if (std::find(kPassAttrs.begin(), kPassAttrs.end(), attrs) == kPassAttrs.end()) continue;
    take_file(path, take);
  }
}

void build_catalogue(System& p, const KindSwitches& kinds, const std::string& folder,
                     Catalogue& catalogue, bool with_subfolders) {
  catalogue.count = 0;
  if (folder.empty()) return;
  PictureWalk walk(p, folder, kinds, with_subfolders);
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
