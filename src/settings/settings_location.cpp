#include "settings/settings_location.h"

#include <optional>

namespace vs {

namespace {

constexpr const char* kFileName = "Varnoscape.ini";

// A Windows path as the file system compares it: letters in one case (ASCII
// is enough for the folders compared here), either separator as a backslash,
// a run of separators as one (but a leading "\\" of a network path kept) and
// no separator at the end.
std::string comparable_windows_path(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    char c = path[i];
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '\\' && i > 1 && out.back() == '\\') continue;
    out += c;
  }
  while (out.size() > 1 && out.back() == '\\') out.pop_back();
  return out;
}

// Whether the program's folder lies in %LOCALAPPDATA%\Programs, the per-user
// place where installers put programs. A copy installed there is writable by
// its user, yet it is no portable copy: its settings belong with the user's,
// where an uninstall leaves them and a new install finds them.
bool in_per_user_programs(System& p) {
  if (p.path_style().separator != '\\') return false;
  const std::optional<std::string> local = p.environment("LOCALAPPDATA");
  if (!local || local->empty()) return false;
  const std::string programs = comparable_windows_path(*local + "\\Programs");
  const std::string folder = comparable_windows_path(p.program_folder());
  return folder.compare(0, programs.size(), programs) == 0 &&
         (folder.size() == programs.size() || folder[programs.size()] == '\\');
}

}  // namespace

SettingsLocation settings_location(System& p) {
  if (auto named = p.environment("VARNOSCAPE_INI"); named && !named->empty()) {
    return {*named, {}};
  }
  const char sep = p.path_style().separator;
  // The program's folder is joined as it comes: a root folder gives a doubled
  // separator, which still names the same file.
  std::string beside_program = p.program_folder() + sep + kFileName;
  if (!in_per_user_programs(p) && p.folder_writable(p.program_folder())) {
    return {beside_program, {}};
  }
  std::string base = p.user_config_folder();
  // Without any per-user folder there is nowhere better: keep the program's
  // folder, and let a save report why it cannot write there.
  if (base.empty()) return {beside_program, {}};
  std::string folder = base + sep + (sep == '\\' ? "Varnoscape" : "varnoscape");
  return {folder + sep + kFileName, folder};
}

}  // namespace vs
