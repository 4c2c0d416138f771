// Puts Surface pixels on one of our windows, or on a part of it (the primary
// monitor's, on a saver screen spanning several). It keeps an image of
// everything presented, so exposed parts are repainted from it without
// asking the program. The image lives in shared memory when the server has
// MIT-SHM (a full-screen frame then costs well under a millisecond),
// otherwise it is sent with plain XPutImage.
#pragma once

#include "platform/x11/connection.h"

#include <X11/extensions/XShm.h>

#include "core/surface.h"

namespace vs::x11 {

class Presenter {
 public:
  // An image of width x height for window, shown with its top-left corner at
  // (x, y) of the window; shared memory when the connection allows it and
  // the server agrees to attach the segment.
  Presenter(Connection& connection, Window window, int width, int height, int x = 0, int y = 0);
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // False when no image could be made (out of memory, or a visual whose
  // pixels we cannot write); everything else then does nothing.
  bool ready() const { return image_ != nullptr; }
  bool through_shm() const { return shm_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // A new size; the overlapping part of the image is kept.
  void resize(int width, int height);
  // Where the image's top-left corner goes in the window from now on.
  void place(int x, int y);
  // Copies rows [top, bottom) of surface into the image at (0, 0), clipped
  // to both, and puts them on the window.
  void put(const Surface& surface, int top, int bottom);
  // Puts what the image holds of a rectangle of the window on it again
  // (after Expose), in window coordinates.
  void repaint(int x, int y, int width, int height);

 private:
  bool make_image(int width, int height);
  void release(XImage* image, XShmSegmentInfo& segment, bool shm);
  void free_image();
  void wait_for_server();
  void put_rect(int x, int y, int width, int height);
  void convert_row(const uint32_t* source, int count, int y);

  Connection& connection_;
  Window window_;
  GC gc_ = nullptr;
  XImage* image_ = nullptr;
  XShmSegmentInfo segment_{};
  bool shm_ = false;
  bool in_flight_ = false;  // the server may still read the shared image
  bool copy_rows_ = false;  // the image holds Surface pixels byte for byte
  uint32_t alpha_ = 0;      // set in every pixel of a 32-bit-deep visual
  int width_ = 0;
  int height_ = 0;
  int x_ = 0;  // the image's place in the window
  int y_ = 0;
};

}  // namespace vs::x11
