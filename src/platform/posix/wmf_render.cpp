// Windows metafiles by libwmf's gd device layer, drawn into memory. Only the
// decoder process calls this (see posix/decoder_process.h).
#include <libwmf/api.h>
#include <libwmf/gd.h>
#include <libwmf/ipa.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "pictures/picture_sink.h"
#include "pictures/wmf_frame.h"
#include "platform/posix/library_decoders.h"
#include "platform/posix/metafile_fonts.h"

namespace vs {

namespace {

// libwmf's device units per logical unit along one axis, as its player
// derives them from the mapping mode: points for the fixed modes, the
// viewport (1024 unless set) over the window for the scalable ones.
double device_scale(const WmfFrame& f, bool horizontal) {
  const int extent = horizontal ? f.window_w : f.window_h;
  double scale = 1;
  switch (f.map_mode) {
    case kMapIsotropic:
    case kMapAnisotropic: {
      int viewport = horizontal ? f.viewport_w : f.viewport_h;
      if (viewport == 0) viewport = 1024;
      return extent != 0 ? static_cast<double>(viewport) / extent : 1;
    }
    case kMapLoMetric:
      scale = 72.0 / 254;
      break;
    case kMapHiMetric:
      scale = 72.0 / 2540;
      break;
    case kMapLoEnglish:
      scale = 0.72;
      break;
    case kMapHiEnglish:
      scale = 0.072;
      break;
    case kMapTwips:
      scale = 0.05;
      break;
    case 0:
      // Never set: a placeable file plays in its own units per inch.
      if (f.placeable) scale = 72.0 / f.units_per_inch;
      break;
    default:
      break;
  }
  return extent < 0 ? -scale : scale;
}

// The frame in libwmf's device coordinates, which its gd layer maps onto
// the picture.
wmfD_Rect device_frame(const WmfFrame& f) {
  const double sx = device_scale(f, true), sy = device_scale(f, false);
  double x0 = (f.left - f.window_x) * sx, x1 = (f.right - f.window_x) * sx;
  double y0 = (f.top - f.window_y) * sy, y1 = (f.bottom - f.window_y) * sy;
  wmfD_Rect r;
  r.TL.x = static_cast<float>(std::min(x0, x1));
  r.BR.x = static_cast<float>(std::max(x0, x1));
  r.TL.y = static_cast<float>(std::min(y0, y1));
  r.BR.y = static_cast<float>(std::max(y0, y1));
  return r;
}

// libwmf's gd layer fills an ellipse as a chord from 0 to 360 degrees, which
// gd draws as nothing at all: ellipses go to its polygon code instead, with
// enough sides to look round at the picture's size.
struct EllipseFix {
  void (*draw_polygon)(wmfAPI*, wmfPolyLine_t*) = nullptr;
  double pixels_per_unit = 1;  // picture pixels per device unit
};
EllipseFix g_ellipse_fix;

void draw_ellipse_as_polygon(wmfAPI* api, wmfDrawArc_t* arc) {
  const double cx = (arc->TL.x + arc->BR.x) / 2.0, cy = (arc->TL.y + arc->BR.y) / 2.0;
  const double rx = std::abs(arc->BR.x - arc->TL.x) / 2.0,
               ry = std::abs(arc->BR.y - arc->TL.y) / 2.0;
  // About one side per two pixels of the outline.
  const double outline = 2 * M_PI * std::max(rx, ry) * g_ellipse_fix.pixels_per_unit;
  const int sides = static_cast<int>(std::clamp(outline / 2, 16.0, 2048.0));
  std::vector<wmfD_Coord> points(static_cast<size_t>(sides));
  for (int i = 0; i < sides; ++i) {
    const double a = 2 * M_PI * i / sides;
    points[static_cast<size_t>(i)].x = static_cast<float>(cx + rx * std::cos(a));
    points[static_cast<size_t>(i)].y = static_cast<float>(cy + ry * std::sin(a));
  }
  wmfPolyLine_t polygon{arc->dc, points.data(), static_cast<U16>(sides)};
  g_ellipse_fix.draw_polygon(api, &polygon);
}

void install_ellipse_fix(wmfAPI* api, const wmfD_Rect& frame, int width) {
  auto* functions = static_cast<wmfFunctionReference*>(api->function_reference);
  if (functions == nullptr || functions->draw_polygon == nullptr) return;
  g_ellipse_fix.draw_polygon = functions->draw_polygon;
  const double units = frame.BR.x - frame.TL.x;
  g_ellipse_fix.pixels_per_unit = units > 0 ? width / units : 1;
  functions->draw_ellipse = draw_ellipse_as_polygon;
}

class WmfSession {
 public:
  WmfSession() {
    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&api_, flags, &options) != wmf_E_None) api_ = nullptr;
  }
  ~WmfSession() {
    if (api_ == nullptr) return;
    if (opened_) wmf_mem_close(api_);
    wmf_api_destroy(api_);
  }
  WmfSession(const WmfSession&) = delete;
  WmfSession& operator=(const WmfSession&) = delete;

  wmfAPI* api() const { return api_; }
  void opened() { opened_ = true; }

 private:
  wmfAPI* api_ = nullptr;
  bool opened_ = false;
};

std::string wmf_error(wmf_error_t e) {
  switch (e) {
    case wmf_E_InsMem:
      return "out of memory for the metafile";
    case wmf_E_EOF:
      return "truncated metafile";
    default:
      return "corrupt metafile (libwmf error " + std::to_string(static_cast<int>(e)) + ")";
  }
}

}  // namespace

std::string metafile_fonts_problem(const std::string& font_folder) {
  std::vector<std::string> missing;
  for (const char* name : kMetafileFontFiles) {
    const std::string path = font_folder + "/" + name;
    if (access(path.c_str(), R_OK) != 0) missing.push_back(name);
  }
  if (missing.empty()) return {};
  std::string text = "metafile fonts not installed: " + missing.front();
  if (missing.size() > 1) text += " and " + std::to_string(missing.size() - 1) + " more";
  return text + " in " + font_folder + " (Debian package fonts-urw-base35)";
}

PictureResult render_wmf(std::string_view bytes, const PictureView& view) {
  WmfFrame frame;
  if (std::string why = read_wmf_frame(bytes, frame); !why.empty()) {
    return PictureResult::failure(why);
  }
  if (std::string why = metafile_fonts_problem(); !why.empty()) return PictureResult::failure(why);
  WmfSession session;
  wmfAPI* api = session.api();
  if (api == nullptr) return PictureResult::failure("metafile decoder could not start");
  wmf_gd_t* device = WMF_GD_GetData(api);
  device->type = wmf_gd_image;
  // libwmf only reads the buffer, but asks for it without const.
  std::vector<unsigned char> data(bytes.begin(), bytes.end());
  if (wmf_error_t e = wmf_mem_open(api, data.data(), static_cast<long>(data.size()));
      e != wmf_E_None) {
    return PictureResult::failure(wmf_error(e));
  }
  session.opened();
  wmfD_Rect drawn;
  if (wmf_error_t e = wmf_scan(api, 0, &drawn); e != wmf_E_None) {
    return PictureResult::failure(wmf_error(e));
  }
  device->bbox = device_frame(frame);
  device->width = static_cast<unsigned>(frame.width);
  device->height = static_cast<unsigned>(frame.height);
  install_ellipse_fix(api, device->bbox, frame.width);
  if (wmf_error_t e = wmf_play(api, 0, &drawn); e != wmf_E_None) {
    return PictureResult::failure(wmf_error(e));
  }
  const int* pixels = device->gd_image ? wmf_gd_image_pixels(device->gd_image) : nullptr;
  if (pixels == nullptr) return PictureResult::failure("metafile decoder drew nothing");
  // What the metafile leaves undrawn stays the white page libwmf starts
  // from: clip art is drawn for paper, and its black lines would vanish on
  // the saver's black.
  PictureSink picture(view);
  if (std::string why = picture.begin(frame.width, frame.height); !why.empty()) {
    return PictureResult::failure(why);
  }
  for (int y = 0; y < frame.height; ++y) {
    if (!picture.keeps_row(y)) continue;
    uint32_t* row = picture.row(y);
    const int* in = pixels + static_cast<size_t>(y) * static_cast<size_t>(frame.width);
    for (int x = 0; x < frame.width; ++x) row[x] = static_cast<uint32_t>(in[x]) & 0xFFFFFF;
    picture.row_done(y);
  }
  return picture.finish();
}

}  // namespace vs
