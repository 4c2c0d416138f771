// The outline that shows a dialog opening from the pointer and closing back
// to it, drawn on the root window.
#include "platform/x11/x11_state.h"

#include "core/scale.h"

#include <algorithm>

namespace vs {

void X11Platform::draw_outline(const std::optional<Rect>& rect) {
  if (!x_->connected()) return;
  Display* d = x_->display();
  const Window root = x_->connection.root;
  // A compositing manager draws the screen itself: an outline on the root
  // would not be seen as it should.
  if (XGetSelectionOwner(d, XInternAtom(d, "_NET_WM_CM_S0", False)) != None) return;
  XGCValues v{};
  v.function = GXxor;
  v.subwindow_mode = IncludeInferiors;
  v.foreground = 0xFFFFFF;
  v.line_width = 2 * line_width(dialog_scale());
  GC gc = XCreateGC(d, root, GCFunction | GCSubwindowMode | GCForeground | GCLineWidth, &v);
  // Drawn twice, an outline is gone again: the last one is taken away, then
  // the new one drawn.
  auto draw = [&](const Rect& r) {
    XDrawRectangle(d, root, gc, r.x, r.y, static_cast<unsigned>(std::max(1, r.width)),
                   static_cast<unsigned>(std::max(1, r.height)));
  };
  if (x_->outline) draw(*x_->outline);
  x_->outline = rect;
  if (rect) draw(*rect);
  XFreeGC(d, gc);
  XFlush(d);
}

}  // namespace vs
