// Entry point of the Windows edition, Varnoscape.scr: the program runs on
// the Win32 backend.
#include "dialog/settings_dialog.h"
#include "platform/win32/win32_platform.h"
#include "startup/startup.h"

int main() {
  vs::Win32Platform platform({vs::Win32System::arguments_after_program()});
  return vs::run_program(platform,
                         [](vs::Settings& settings, vs::Catalogue& catalogue, vs::Platform& p) {
                           vs::SettingsDialog(p, settings, catalogue).show_modal();
                         });
}
