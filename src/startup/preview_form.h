// The preview form: the program's picture shown inside a window of another
// program (the display settings' small screen), for as long as that window
// lives.
#pragma once

#include "platform/platform.h"
#include "core/surface.h"

namespace vs {

// The stored preview picture, 152 x 112 pixels.
Surface preview_picture();

class Varnoscape_R {
 public:
  explicit Varnoscape_R(Platform& p) : p_(p) {}

  // Shows the preview inside `parent` until that window goes; returns the
  // exit status. A number that names no window ends at once: a preview that
  // nobody can see would otherwise live on forever.
  int run(int64_t parent);

 private:
  void show(int width, int height);

  Platform& p_;
  WindowId id_ = 0;
  Surface Img_Prev;
  Surface window_;
};

}  // namespace vs
