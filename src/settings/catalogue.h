// The picture catalogue: the picture files of the chosen folder for the
// shown kinds, as full paths, sorted by their bytes; and the one walk over a
// folder that both the catalogue and the settings dialog's listing take.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/path_style.h"
#include "platform/platform.h"

namespace vs {

// Which kinds are shown, in the order BMP, GIF, JPEG, WMF, PNG, WebP, HEIF,
// AVIF, TIFF: a kind is shown when its value is exactly 1.
constexpr size_t kKindCount = 9;
using KindSwitches = std::array<int16_t, kKindCount>;

// The first four kinds, which every settings file has always held.
constexpr size_t kFirstKinds = 4;

// The file-name masks of kind `kind` (an index into KindSwitches): "*.jpg"
// alone for the first four's JPEG but also "*.jpeg", "*.jpe" and "*.jfif".
const std::vector<const char*>& kind_patterns(size_t kind);

// The most pictures a folder gives: counts are 16-bit.
constexpr int kMaxPictures = 32767;

struct Catalogue {
  // Positions 1..count hold the paths; slot 0 is unused, so that a play
  // order's positions (1..count) index it directly.
  int16_t count = 0;
  std::vector<std::string> files = std::vector<std::string>(1);

  // The path at a position, or nothing outside 1..count.
  const std::string* at(int position) const;
  // The paths of positions 1..count, in order.
  std::vector<std::string> paths() const;
};

// The picture files of a folder for the shown kinds, in the order the
// listing takes them: three passes (files with no attribute, archived files,
// read-only files), in each the kinds in order and the folder's own order
// within a kind, a name belonging to a kind when one of its masks matches. A
// file is taken only when its attribute value is exactly the pass's, so it
// comes at most once, and hidden, system or read-only and archived files
// never. At most kMaxPictures files.
//
// With subfolders, the folders below are walked too, depth first, each
// folder's names and folders taken together in the order of their bytes, so
// that files come in the order of their full paths and the limit keeps the
// first of them; a file is taken when its attribute value is one of the
// three passes'. Hidden and system folders are left out as such files are,
// and a folder reached a second time (through a link back up, a junction, a
// bind mount) is walked once.
//
// The walk goes in bounded steps, so that a large folder is read while the
// dialog or the saver goes on answering and painting; each folder is read
// once, and each name's attributes are asked once.
class PictureWalk {
 public:
  enum class Problem {
    None,
    FolderUnreadable,  // the folder could not be listed: nothing is taken
    FileVanished,      // a name whose attributes could not be had: skipped
    TooMany,           // the walk ended at kMaxPictures
  };

  PictureWalk(System& p, const std::string& folder, const KindSwitches& kinds,
              bool with_subfolders = false);

  // Looks at about `budget` names and hands each file taken to `take`; true
  // once the walk has ended.
  bool step(int budget, const std::function<void(const std::string& path)>& take);
  bool done() const { return done_; }
  int taken() const { return taken_; }
  // The first problem met on the way.
  Problem problem() const { return problem_; }

 private:
  struct Folder {
    std::string prefix;  // the folder's path and a separator
    std::vector<FolderEntry> entries;
    size_t next = 0;
  };

  void note(Problem problem);
  // True when the file's attributes could be had; false, noted, when not.
  bool know_attributes(const std::string& path, FolderEntry& entry);
  void take_file(const std::string& path, const std::function<void(const std::string&)>& take);
  void step_folder(int& budget, const std::function<void(const std::string&)>& take);
  void step_tree(int& budget, const std::function<void(const std::string&)>& take);
  // Puts a listed folder on top of the walk, its names in the order taken.
  void enter(std::string prefix, std::vector<FolderEntry> entries);

  System& p_;
  KindSwitches kinds_;
  bool with_subfolders_;
  PathStyle style_;
  // The one folder of a walk without subfolders.
  Folder folder_;
  std::vector<bool> asked_;
  size_t pass_ = 0;
  size_t kind_ = 0;
  // The folders of a walk with subfolders, the one being read on top.
  std::vector<Folder> open_folders_;
  std::vector<std::string> seen_folders_;  // identities, sorted
  int taken_ = 0;
  bool done_ = false;
  Problem problem_ = Problem::None;
};

// The text every path of a walk over the folder starts with: the folder and
// a separator (a root's doubled).
std::string pictures_prefix(const std::string& folder, PathStyle style);

// Rebuilds the catalogue of the folder (and its subfolders) for the shown
// kinds, sorted.
void build_catalogue(System& p, const KindSwitches& kinds, const std::string& folder,
                     Catalogue& catalogue, bool with_subfolders = false);
// The catalogue of the files a walk found, sorted.
void fill_catalogue(Catalogue& catalogue, std::vector<std::string> found);
// Sorts positions 1..count by their bytes.
void sort_catalogue(Catalogue& catalogue);

// The folder part of a path: up to the last separator (or drive colon where
// the style has one), without that separator when it ends the text.
std::string folder_of(const std::string& path, PathStyle style);
// True when something (a folder or a plain file) exists under that name.
bool folder_exists(System& p, const std::string& path);

}  // namespace vs
