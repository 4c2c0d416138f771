// Where the settings file lives.
#pragma once

#include <string>

#include "platform/platform.h"

namespace vs {

struct SettingsLocation {
  std::string path;
  // The per-user folder holding path, when path is in the per-user place;
  // saving creates it when it is missing. Empty otherwise.
  std::string per_user_folder;
};

// VARNOSCAPE_INI when set and not empty; else "Varnoscape.ini" in the
// program's folder when that folder is writable (a portable copy) and, on
// Windows, not in %LOCALAPPDATA%\Programs (where installers put per-user
// programs, writable yet no portable copy); else the per-user place:
// <user config folder>/varnoscape/Varnoscape.ini
// (%APPDATA%\Varnoscape\Varnoscape.ini on Windows).
SettingsLocation settings_location(System& p);

}  // namespace vs
