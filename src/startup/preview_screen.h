// The preview: the program's picture shown inside a window of another
// program (the display settings' small screen), for as long as that window
// lives.
#pragma once

#include "core/surface.h"
#include "platform/platform.h"

namespace vs {

// The stored preview picture, 152 x 112 pixels.
Surface preview_picture();

class PreviewScreen {
 public:
  explicit PreviewScreen(Platform& p) : p_(p) {}

  // Shows the preview inside `parent` until that window goes; returns the
  // exit status. A number that names no window ends at once: a preview that
  // nobody can see would otherwise live on forever.
  int run(int64_t parent);

 private:
  void show(int width, int height);

  Platform& p_;
  WindowId id_ = 0;
  Surface picture_;  // the stored picture
  Surface window_;   // stretched to the window
};

}  // namespace vs
