// Entry point of the Windows edition, Varnoscape.scr: the program runs on
// the Win32 backend. Started with the decoder's own switch, it is the
// saver's picture decoder instead (picture_decoder_process.h), which is
// looked for before the screen-saver switches, whose first character is
// never read.
#include "dialog/settings_dialog.h"
#include "platform/win32/picture_decoder_process.h"
#include "platform/win32/win32_platform.h"
#include "startup/startup.h"

int main() {
  const std::string arguments = vs::Win32System::arguments_after_program();
  if (arguments.starts_with(vs::kDecodePictureSwitch)) return vs::run_picture_decoder(arguments);
  vs::Win32Platform platform({arguments});
  platform.decode_pictures_with(vs::Win32System::program_path());
  return vs::run_program(platform,
                         [](vs::Settings& settings, vs::Catalogue& catalogue, vs::Platform& p) {
                           vs::SettingsDialog(p, settings, catalogue).show_modal();
                         });
}
