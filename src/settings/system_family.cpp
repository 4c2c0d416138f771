#include "settings/system_family.h"

namespace vs {

bool Is_WinNT(Platform& p) {
  return p.is_nt_family();
}

void Saver_Running(Platform& p, bool ending) {
  p.set_saver_running(!ending);
}

}  // namespace vs
