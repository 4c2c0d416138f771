#include "startup/startup.h"

#include <memory>

#include "saver/saver_screen.h"
#include "settings/play_order.h"
#include "settings/random_source.h"
#include "settings/settings.h"
#include "settings/window_titles.h"
#include "startup/command_line.h"
#include "startup/preview_screen.h"

namespace vs {

namespace {

// Fills the play order, hides the cursor under the saver switch and runs the
// saver screen until the program ends.
int run_saver(Platform& p, const Settings& settings, Catalogue& catalogue,
              std::optional<ForeignWindow> host) {
  ClockRandomSource rng([&p] { return p.system().clock_seed(); }, p.system().clock_seed());
  PlayOrder order;
  if (catalogue.count != 0) make_play_order(order, catalogue.count, settings.picture_order, rng);
  std::optional<int32_t> cursor_count;
  if (mode_letter(p.system().argument_string()) == 'S') cursor_count = show_cursor(p, 0);
  SaverScreen saver(p, settings, catalogue, std::move(order), rng, cursor_count, host);
  return saver.run();
}

}  // namespace

int run_program(Platform& p, const ShowSettingsDialog& dialog) {
  Settings settings;
  Catalogue catalogue;

  // Single-copy check: every search is always made.
  bool saver_open = p.window_system().window_exists(kSaverTitle);
  bool dialog_open = false;
  for (const char* title : dialog_titles())
    dialog_open = p.window_system().window_exists(title) || dialog_open;
  if (saver_open || dialog_open) return 0;

  // Started by a screen-saver host with a window to draw in: the saver runs
  // there, beside any number of other hosted copies (one per monitor).
  SaverHost* host_services = p.saver_host();
  if (std::optional<ForeignWindow> host =
          host_services ? host_services->host_window() : std::nullopt) {
    load_settings(p.system(), settings, catalogue);
    return run_saver(p, settings, catalogue, host);
  }

  if (mode_letter(p.system().argument_string()) == 'P') {
    PreviewScreen preview(p);
    return preview.run(preview_handle(p.system().argument_string()));
  }

  load_settings(p.system(), settings, catalogue);

  if (mode_letter(p.system().argument_string()) == 'A') {
    // The password change exists only on the older Windows family; on every
    // other system (and with no usable number after the switch) nothing is
    // changed.
    if (host_services && !host_services->is_nt_family()) {
      if (std::optional<int32_t> owner = password_handle(p.system().argument_string())) {
        host_services->change_saver_password(
            static_cast<ForeignWindow>(static_cast<uint32_t>(*owner)));
      }
    }
    return 0;
  }

  if (mode_letter(p.system().argument_string()) == 'C') {
    // Any window number after the switch is ignored: the dialog has no
    // owner.
    if (dialog && p.window_system().claim_single_copy()) dialog(settings, catalogue, p);
    return 0;
  }

  if (!p.system().argument_string().empty() && mode_letter(p.system().argument_string()) != 'S')
    return 0;

  // The window searches above are no lock: two copies started at the same
  // moment both pass them. Only one of them gets this claim.
  if (!p.window_system().claim_single_copy()) return 0;
  return run_saver(p, settings, catalogue, std::nullopt);
}

}  // namespace vs
