// Windows metafiles by GDI: played into a 32-bit DIB section at the frame's
// size (read_wmf_frame: the placeable header's box, or the window, at 96
// dots per inch), on the white paper the Linux edition draws on. The frame
// is mapped onto the picture as the system's own picture loader maps a
// placeable metafile; records the file sets itself (its window, its mapping
// mode) take over from there, as they do for that loader.
//
// GDI plays the records in this process, so they are checked first by our
// own reader (wmf_frame.h): every record lies within the file and those
// that carry counts or bitmaps hold what they claim.
#include <windows.h>

#include <cstring>
#include <string>

#include "pictures/picture_sink.h"
#include "pictures/wmf_frame.h"
#include "pictures/wmf_records.h"
#include "platform/win32/dib.h"
#include "platform/win32/windows_decoders.h"

namespace vs {

namespace {

class MemoryDc {
 public:
  MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
  ~MemoryDc() {
    if (!dc_) return;
    if (old_) SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC get() const { return dc_; }
  void select(HGDIOBJ object) {
    HGDIOBJ previous = SelectObject(dc_, object);
    if (!old_) old_ = previous;
  }

 private:
  HDC dc_;
  HGDIOBJ old_ = nullptr;
};

template <class Handle, BOOL (*Free)(Handle)>
class Owned {
 public:
  explicit Owned(Handle h) : h_(h) {}
  ~Owned() {
    if (h_) Free(h_);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Handle get() const { return h_; }

 private:
  Handle h_;
};

BOOL delete_bitmap(HBITMAP b) {
  return DeleteObject(b);
}

}  // namespace

PictureResult render_wmf(std::string_view bytes, const PictureView& view) {
  WmfFrame frame;
  if (std::string why = read_wmf_frame(bytes, frame); !why.empty()) {
    return PictureResult::failure(why);
  }
  // The records GDI is given: from the metafile header to the end record,
  // the header's size word telling exactly that.
  std::string records;
  if (std::string why = checked_wmf_records(bytes, records); !why.empty()) {
    return PictureResult::failure(why);
  }
  Owned<HMETAFILE, DeleteMetaFile> metafile(SetMetaFileBitsEx(
      static_cast<UINT>(records.size()), reinterpret_cast<const BYTE*>(records.data())));
  if (!metafile.get()) return PictureResult::failure("corrupt metafile (refused by GDI)");

  MemoryDc dc;
  if (!dc.get()) return PictureResult::failure("metafile decoder could not start");
  BITMAPINFO info = win32::dib_of(frame.width, frame.height);
  void* bits = nullptr;
  Owned<HBITMAP, delete_bitmap> bitmap(
      CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap.get() || !bits) return PictureResult::failure("out of memory for the metafile");
  dc.select(bitmap.get());
  const size_t pixels = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
  // What the metafile leaves undrawn stays white paper: clip art is drawn
  // for paper, and its black lines would vanish on the saver's black.
  std::memset(bits, 0xFF, pixels * 4);

  SetMapMode(dc.get(), MM_ANISOTROPIC);
  SetWindowOrgEx(dc.get(), frame.left, frame.top, nullptr);
  SetWindowExtEx(dc.get(), frame.right - frame.left, frame.bottom - frame.top, nullptr);
  SetViewportOrgEx(dc.get(), 0, 0, nullptr);
  SetViewportExtEx(dc.get(), frame.width, frame.height, nullptr);
  // A record GDI cannot play is skipped, as the system's loader does.
  PlayMetaFile(dc.get(), metafile.get());
  GdiFlush();

  PictureSink picture(view);
  if (std::string why = picture.begin(frame.width, frame.height); !why.empty()) {
    return PictureResult::failure(why);
  }
  const auto* drawn = static_cast<const uint32_t*>(bits);
  for (int y = 0; y < frame.height; ++y) {
    if (!picture.keeps_row(y)) continue;
    const uint32_t* in = drawn + static_cast<size_t>(y) * static_cast<size_t>(frame.width);
    picture.put_run(y, 0, frame.width, [&](int x) { return in[x] & 0xFFFFFF; });
  }
  return picture.finish();
}

}  // namespace vs
