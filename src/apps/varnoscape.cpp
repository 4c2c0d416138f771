// varnoscape, the Linux edition: the program on the X11 backend.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog/settings_dialog.h"
#include "platform/posix/posix_platform.h"
#include "platform/x11/x11_platform.h"
#include "startup/startup.h"

int main(int argc, char** argv) {
  vs::set_up_signals();
  vs::X11Platform platform(std::vector<std::string>(argv + 1, argv + argc));
  if (!platform.connected()) {
    // Every mode needs the screen, if only for the single-copy check.
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "varnoscape: cannot open display %s\n",
                 display && *display ? display : "(DISPLAY is not set)");
    return 1;
  }
  return vs::run_program(platform,
                         [](vs::Settings& settings, vs::Catalogue& catalogue, vs::Platform& p) {
                           vs::SettingsDialog(p, settings, catalogue).show_modal();
                         });
}
