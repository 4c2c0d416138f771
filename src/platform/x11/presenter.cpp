#include "platform/x11/presenter.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace vs::x11 {
namespace {

// An 8-bit channel scaled to the bits of a visual's colour mask.
unsigned long channel(uint32_t value, unsigned long mask) {
  if (!mask) return 0;
  int shift = std::countr_zero(mask);
  int bits = std::popcount(mask);
  unsigned long max = (1UL << bits) - 1;
  return ((value * max + 127) / 255) << shift;
}

int host_byte_order() {
  return std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
}

}  // namespace

Presenter::Presenter(Connection& connection, Window window, int width, int height, int x, int y)
    : connection_(connection), window_(window), x_(x), y_(y) {
  XGCValues values{};
  values.graphics_exposures = False;
  gc_ = XCreateGC(connection_.display, window_, GCGraphicsExposures, &values);
  make_image(width, height);
}

Presenter::~Presenter() {
  free_image();
  if (gc_) XFreeGC(connection_.display, gc_);
}

bool Presenter::make_image(int width, int height) {
  Display* d = connection_.display;
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (!connection_.true_colour) return false;
  if (connection_.shm) {
    segment_ = {};
    segment_.shmid = -1;
    image_ = XShmCreateImage(d, connection_.visual, connection_.depth, ZPixmap, nullptr, &segment_,
                             width, height);
    if (image_) {
      size_t bytes = static_cast<size_t>(image_->bytes_per_line) * height;
      segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
      void* address = segment_.shmid >= 0 ? shmat(segment_.shmid, nullptr, 0) : (void*)-1;
      bool attached = false;
      if (address != (void*)-1) {
        segment_.shmaddr = image_->data = static_cast<char*>(address);
        segment_.readOnly = False;
        ErrorTrap trap(d);
        attached = XShmAttach(d, &segment_) && !trap.failed();
      }
      // Marked for removal at once: the segment then goes away with the last
      // process attached, however this one ends.
      if (segment_.shmid >= 0) shmctl(segment_.shmid, IPC_RMID, nullptr);
      if (attached) {
        shm_ = true;
      } else {
        if (address != (void*)-1) shmdt(address);
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
      }
    }
  }
  if (!image_) {
    shm_ = false;
    image_ = XCreateImage(d, connection_.visual, connection_.depth, ZPixmap, 0, nullptr, width,
                          height, 32, 0);
    if (!image_) return false;
    image_->data =
        static_cast<char*>(std::calloc(static_cast<size_t>(image_->bytes_per_line), height));
    if (!image_->data) {
      XDestroyImage(image_);
      image_ = nullptr;
      return false;
    }
  }
  width_ = width;
  height_ = height;
  copy_rows_ = image_->bits_per_pixel == 32 && image_->red_mask == 0xFF0000 &&
               image_->green_mask == 0xFF00 && image_->blue_mask == 0xFF &&
               image_->byte_order == host_byte_order();
  alpha_ = connection_.depth == 32 ? 0xFF000000u : 0;
  return true;
}

void Presenter::release(XImage* image, XShmSegmentInfo& segment, bool shm) {
  if (shm) {
    XShmDetach(connection_.display, &segment);
    XSync(connection_.display, False);
    shmdt(segment.shmaddr);
    image->data = nullptr;
  }
  XDestroyImage(image);  // frees the plain image's pixels too
}

void Presenter::free_image() {
  if (!image_) return;
  wait_for_server();
  release(image_, segment_, shm_);
  image_ = nullptr;
  shm_ = false;
}

void Presenter::wait_for_server() {
  if (!in_flight_) return;
  XSync(connection_.display, False);
  in_flight_ = false;
}

void Presenter::resize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (image_ && width == width_ && height == height_) return;
  wait_for_server();
  XImage* old = image_;
  XShmSegmentInfo old_segment = segment_;
  bool old_shm = shm_;
  int old_width = width_, old_height = height_;
  image_ = nullptr;
  if (make_image(width, height) && old) {
    size_t bytes = (static_cast<size_t>(std::min(old_width, width)) * old->bits_per_pixel + 7) / 8;
    for (int y = 0; y < std::min(old_height, height); ++y) {
      std::memcpy(image_->data + static_cast<size_t>(y) * image_->bytes_per_line,
                  old->data + static_cast<size_t>(y) * old->bytes_per_line, bytes);
    }
  }
  if (old) release(old, old_segment, old_shm);
}

void Presenter::place(int x, int y) {
  x_ = x;
  y_ = y;
}

void Presenter::convert_row(const uint32_t* source, int count, int y) {
  char* line = image_->data + static_cast<size_t>(y) * image_->bytes_per_line;
  if (copy_rows_ && !alpha_) {
    std::memcpy(line, source, static_cast<size_t>(count) * 4);
    return;
  }
  if (copy_rows_) {
    auto* out = reinterpret_cast<uint32_t*>(line);
    for (int x = 0; x < count; ++x) out[x] = source[x] | alpha_;
    return;
  }
  for (int x = 0; x < count; ++x) {
    uint32_t p = source[x];
    unsigned long value = channel((p >> 16) & 0xFF, image_->red_mask) |
                          channel((p >> 8) & 0xFF, image_->green_mask) |
                          channel(p & 0xFF, image_->blue_mask);
    XPutPixel(image_, x, y, value);
  }
}

void Presenter::put(const Surface& surface, int top, int bottom) {
  if (!image_) return;
  top = std::max(top, 0);
  bottom = std::min({bottom, surface.height(), height_});
  int columns = std::min(surface.width(), width_);
  if (top >= bottom || columns <= 0) return;
  wait_for_server();
  for (int y = top; y < bottom; ++y) convert_row(surface.row(y), columns, y);
  put_rect(0, top, columns, bottom - top);
}

void Presenter::repaint(int x, int y, int width, int height) {
  if (!image_) return;
  x -= x_;
  y -= y_;
  int right = std::min(x + width, width_), lower = std::min(y + height, height_);
  x = std::max(x, 0);
  y = std::max(y, 0);
  if (x < right && y < lower) put_rect(x, y, right - x, lower - y);
}

void Presenter::put_rect(int x, int y, int width, int height) {
  Display* d = connection_.display;
  if (shm_) {
    XShmPutImage(d, window_, gc_, image_, x, y, x + x_, y + y_, width, height, False);
    in_flight_ = true;
  } else {
    XPutImage(d, window_, gc_, image_, x, y, x + x_, y + y_, width, height);
  }
  XFlush(d);
}

}  // namespace vs::x11
