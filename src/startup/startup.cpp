#include "startup/startup.h"

#include <memory>

#include "saver/saver_screen.h"
#include "settings/module_state.h"
#include "settings/play_order.h"
#include "settings/random_source.h"
#include "settings/settings.h"
#include "settings/system_family.h"
#include "settings/window_titles.h"
#include "startup/command_line.h"
#include "startup/preview_form.h"

namespace vs {

namespace {

// Dimensions and fills the play order, hides the cursor under the saver
// switch and runs the saver screen until the program ends.
int run_saver(Varnoscape_B& m, Platform& p, std::optional<ForeignWindow> host) {
  ClockRandomSource rng([&p] { return p.clock_seed(); }, p.clock_seed());
  if (m.File_Count != 0) {
    m.Play_Order.assign(static_cast<size_t>(m.File_Count) + 1, 0);
    Make_Play_Order(m, rng);
  }
  if (mode_letter(p.argument_string()) == 'S') m.Cursor_Count = ShowCursor(p, 0);
  Varnoscape_S saver(m, p, rng, host);
  return saver.Form_Load();
}

}  // namespace

int Main(Platform& p, const SettingsDialog& dialog) {
  Varnoscape_B m;

  // Single-copy check: both searches are always made.
  bool saver_open = p.window_exists(kSaverTitle);
  bool dialog_open = p.window_exists(kDialogTitle);
  if (saver_open || dialog_open) return 0;

  // Started by a screen-saver host with a window to draw in: the saver runs
  // there, beside any number of other hosted copies (one per monitor).
  if (std::optional<ForeignWindow> host = p.host_window()) {
    Load_Settings(m, p);
    return run_saver(m, p, host);
  }

  if (mode_letter(p.argument_string()) == 'P') {
    Varnoscape_R preview(p);
    return preview.run(preview_handle(p.argument_string()));
  }

  Load_Settings(m, p);

  if (mode_letter(p.argument_string()) == 'A') {
    // The password change exists only on the older Windows family; on every
    // other system (and with no usable number after the switch) nothing is
    // changed.
    if (!Is_WinNT(p)) {
      if (std::optional<int32_t> owner = password_handle(p.argument_string())) {
        p.change_saver_password(static_cast<ForeignWindow>(static_cast<uint32_t>(*owner)));
      }
    }
    return 0;
  }

  if (mode_letter(p.argument_string()) == 'C') {
    // Any window number after the switch is ignored: the dialog has no
    // owner.
    if (dialog && p.claim_single_copy()) dialog(m, p);
    return 0;
  }

  if (!p.argument_string().empty() && mode_letter(p.argument_string()) != 'S') return 0;

  // The window searches above are no lock: two copies started at the same
  // moment both pass them. Only one of them gets this claim.
  if (!p.claim_single_copy()) return 0;
  return run_saver(m, p, std::nullopt);
}

}  // namespace vs
