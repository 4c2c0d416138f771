// Entry point of the Windows edition, Varnoscape.scr: the program runs on
// the Win32 backend.
#include "dialog/varnoscape_p.h"
#include "platform/win32/win32_platform.h"
#include "startup/startup.h"

int main() {
  vs::Win32Platform platform({vs::Win32System::arguments_after_program()});
  return vs::Main(platform, [](vs::Varnoscape_B& m, vs::Platform& p) {
    vs::Varnoscape_P dialog(m, p);
    dialog.Show_Modal();
  });
}
