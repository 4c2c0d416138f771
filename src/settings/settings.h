// The settings and their file: loading them (which also builds the catalogue
// of the saved folder) and saving them from the dialog.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "settings/catalogue.h"

namespace vs {

// The user's choices, as the settings file keeps them. Every value starts at
// zero (the folder empty) until loaded, but the later kinds' switches.
struct Settings {
  int16_t picture_order = 0;  // 0 in name order, anything else random
  int16_t picture_size = 0;   // 0 each picture at its own size, anything else fitted to the screen
  // BMP, GIF, JPEG, WMF, PNG, WebP, HEIF, AVIF, TIFF; 1 = shown. The later
  // kinds start at what their missing keys mean.
  KindSwitches kinds{0, 0, 0, 0, 1, 1, 1, 1, 1};
  std::string folder;          // UTF-8; empty = none
  int16_t drawing_method = 0;  // 0 dots, 1 lines; anything else draws nothing
  // 1: the pictures of the folders below the folder are shown too.
  int16_t subfolders = 0;
};

// True when the catalogue of the settings' folder is still to be made:
// load_settings leaves a walk over subfolders, which can take long, to the
// loop of the window that shows its result.
inline bool catalogue_walk_pending(const Settings& settings) {
  return settings.subfolders == 1 && !settings.folder.empty();
}

// Fills the settings from the settings file and builds the catalogue of the
// saved folder (see catalogue_walk_pending). Missing, empty or unreadable
// values give the defaults (kinds shown, everything else 0 / empty); a value
// that is not a 16-bit number leaves its variable as it was.
//
// A folder that code page 932 cannot spell is kept beside the folder key, as
// UTF-8 with its bytes outside printable ASCII (and "%") written %XX, while
// the folder key itself is left empty: a reader that knows only the folder
// key then finds no folder rather than a wrong one. That second key counts
// only while the folder key is empty.
void load_settings(System& p, Settings& settings, Catalogue& catalogue);

struct SaveResult {
  bool ok = false;    // every key reached the file
  std::string path;   // the settings file
  std::string error;  // when !ok: the system's error text, or why a value was refused
  std::vector<std::string> unwritten;  // the keys (UTF-8) that did not reach the file
};

// Takes the dialog's folder text into the settings and writes the eight keys
// that every settings file has, and each later key (the later kinds, the
// subfolders switch, the folder beyond code page 932) where its value
// differs from what a missing key means or the file already holds it,
// changing nothing else in the file. A folder with a line break cannot be
// stored faithfully: it is refused and left as it was in the file; the other
// keys are still written.
SaveResult save_settings(System& p, Settings& settings, const std::string& folder_label);

}  // namespace vs
