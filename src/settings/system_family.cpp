#include "settings/system_family.h"

namespace vs {

void Saver_Running(Platform& p, bool ending) {
  p.set_saver_running(!ending);
}

}  // namespace vs
