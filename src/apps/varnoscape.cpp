// varnoscape, the Linux edition: the program on the Wayland backend in a
// Wayland session, on the X11 backend otherwise.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dialog/settings_dialog.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/posix_platform.h"
#include "platform/wayland/wayland_platform.h"
#include "platform/x11/x11_platform.h"
#include "startup/command_line.h"
#include "startup/startup.h"

namespace {

bool set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

int run(vs::Platform& platform) {
  return vs::run_program(platform,
                         [](vs::Settings& settings, vs::Catalogue& catalogue, vs::Platform& p) {
                           vs::SettingsDialog(p, settings, catalogue).show_modal();
                         });
}

}  // namespace

int main(int argc, char** argv) {
  vs::set_up_signals();
  // Its libraries load while the program sets itself up.
  vs::start_picture_decoder_ahead();
  const std::vector<std::string> args(argv + 1, argv + argc);
  // Every mode needs the screen, if only for the single-copy check. A
  // Wayland session comes first: X programs there (XWayland) get no global
  // keyboard and do not see the input of native windows.
  const char* backend = std::getenv("VARNOSCAPE_BACKEND");
  const bool x11_asked = backend && std::string(backend) == "x11";
  if (set("WAYLAND_DISPLAY") && !x11_asked) {
    vs::WaylandPlatform platform(args);
    if (!platform.connected()) {
      std::fprintf(stderr, "varnoscape: cannot reach the Wayland compositor %s\n",
                   std::getenv("WAYLAND_DISPLAY"));
      return 1;
    }
    if (vs::mode_letter(platform.argument_string()) == 'P') {
      std::fprintf(stderr,
                   "varnoscape: /p draws the preview in a window of another program, which "
                   "Wayland does not give to programs; the preview works on X11 only\n");
      return 1;
    }
    return run(platform);
  }
  if (!set("DISPLAY")) {
    std::fprintf(stderr,
                 "varnoscape: no display: neither WAYLAND_DISPLAY (a Wayland session) nor "
                 "DISPLAY (an X server) is set\n");
    return 1;
  }
  vs::X11Platform platform(args);
  if (!platform.connected()) {
    std::fprintf(stderr, "varnoscape: cannot open display %s\n", std::getenv("DISPLAY"));
    return 1;
  }
  return run(platform);
}
