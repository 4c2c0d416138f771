// The settings record's file: loading it (which also builds the catalogue of
// the saved folder) and saving it from the dialog.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "settings/module_state.h"

namespace vs {

// Fills the settings record from the settings file and builds the catalogue
// of the saved folder. Missing, empty or unreadable values give the defaults
// (kinds enabled, everything else 0 / empty); a value that is not a 16-bit
// number leaves its variable as it was.
void Load_Settings(Varnoscape_B& m, Platform& p);

struct SaveResult {
  bool ok = false;    // every key reached the file
  std::string path;   // the settings file
  std::string error;  // when !ok: the system's error text, or why a value was refused
  std::vector<std::string> unwritten;  // the keys (UTF-8) that did not reach the file
};

// Takes the dialog's folder text into Set_Folder and writes the eight keys,
// changing nothing else in the file. A value that cannot be stored faithfully
// (a folder with a line break, or characters code page 932 cannot hold) is
// refused and left as it was in the file; the other keys are still written.
SaveResult Save_Settings(Varnoscape_B& m, Platform& p, const std::string& folder_label);

}  // namespace vs
