// The cursor display counter: while it is below 0 our windows show an
// empty cursor.
#include "platform/x11/x11_state.h"

namespace vs {

Cursor X11Platform::State::wanted_cursor() {
  if (cursor_counter >= 0 || !connected()) return None;
  if (!blank_cursor) {
    static const char empty[1] = {0};
    Pixmap pixels = XCreateBitmapFromData(display(), connection.root, empty, 1, 1);
    XColor black{};
    blank_cursor = XCreatePixmapCursor(display(), pixels, pixels, &black, &black, 0, 0);
    XFreePixmap(display(), pixels);
  }
  return blank_cursor;
}

void X11Platform::State::apply_cursor(Window w) {
  if (!w) return;
  Cursor cursor = wanted_cursor();
  if (cursor) {
    XDefineCursor(display(), w, cursor);
  } else {
    XUndefineCursor(display(), w);  // back to the parent's, the usual pointer
  }
}

int X11Platform::show_cursor(bool show) {
  x_->cursor_counter += show ? 1 : -1;
  if (x_->connected()) {
    if (!x_->hosted) x_->apply_cursor(x_->window);
    x_->apply_cursor(x_->box);
    XFlush(x_->display());
  }
  return x_->cursor_counter;
}

}  // namespace vs
