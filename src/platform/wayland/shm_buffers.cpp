// Shared-memory buffers: a memfd the compositor maps, two a surface in turn.
// A buffer is written only while the compositor does not hold it; its
// release is an event of the loop, which sends out what waited for it.
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "platform/wayland/wayland_state.h"

namespace vs::wayland {

namespace {

void buffer_release(void* data, wl_buffer*) {
  auto& b = *static_cast<Buffer*>(data);
  b.busy = false;
  if (b.owner) b.owner->state->commit_waiting(*b.owner);
}

const wl_buffer_listener kBufferListener = {buffer_release};

}  // namespace

std::unique_ptr<Buffer> make_buffer(wl_shm* shm, int width, int height, uint32_t format,
                                    Shown* owner) {
  if (!shm || width <= 0 || height <= 0) return nullptr;
  const size_t stride = static_cast<size_t>(width) * 4;
  const size_t bytes = stride * static_cast<size_t>(height);
  const int fd = memfd_create("varnoscape", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
    close(fd);
    return nullptr;
  }
  void* map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) {
    close(fd);
    return nullptr;
  }
  auto b = std::make_unique<Buffer>();
  b->pixels = static_cast<uint32_t*>(map);
  b->bytes = bytes;
  b->width = width;
  b->height = height;
  b->owner = owner;
  std::memset(map, 0, bytes);
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(bytes));
  b->buffer =
      wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<int32_t>(stride), format);
  wl_shm_pool_destroy(pool);
  close(fd);
  wl_buffer_add_listener(b->buffer, &kBufferListener, b.get());
  b->stale = {0, height};
  return b;
}

Buffer::~Buffer() {
  if (buffer) wl_buffer_destroy(buffer);
  if (pixels) munmap(pixels, bytes);
}

}  // namespace vs::wayland
