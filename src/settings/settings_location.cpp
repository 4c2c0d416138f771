#include "settings/settings_location.h"

namespace vs {

namespace {

constexpr const char* kFileName = "Varnoscape.ini";

}  // namespace

SettingsLocation settings_location(System& p) {
  if (auto named = p.environment("VARNOSCAPE_INI"); named && !named->empty()) {
    return {*named, {}};
  }
  const char sep = p.path_style().separator;
  // The program's folder is joined as it comes: a root folder gives a doubled
  // separator, which still names the same file.
  std::string beside_program = p.program_folder() + sep + kFileName;
  if (p.folder_writable(p.program_folder())) return {beside_program, {}};
  std::string base = p.user_config_folder();
  // Without any per-user folder there is nowhere better: keep the program's
  // folder, and let a save report why it cannot write there.
  if (base.empty()) return {beside_program, {}};
  std::string folder = base + sep + (sep == '\\' ? "Varnoscape" : "varnoscape");
  return {folder + sep + kFileName, folder};
}

}  // namespace vs
