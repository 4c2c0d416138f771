// Draws the dialog's stock images onto one sheet for looking at them: each
// enlarged four times (the transparent key shown as it is), and a mock-up of
// the settings dialog built from them at their own size and enlarged twice.
//
//   stock-sheet SHEET.png [DIALOG.png]
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dialog/stock_images.h"
#include "platform/posix/freetype_font.h"
#include "platform/posix/png_file.h"

namespace {

using vs::Surface;

constexpr uint32_t kBlack = vs::pixel_rgb(0, 0, 0);

void paste(Surface& dst, const Surface& src, int x, int y, bool keyed) {
  for (int sy = 0; sy < src.height(); ++sy) {
    for (int sx = 0; sx < src.width(); ++sx) {
      const uint32_t p = src.at(sx, sy);
      if (keyed && p == vs::forms::kTransparentKey) continue;
      dst.set_pixel(x + sx, y + sy, p);
    }
  }
}

void paste_enlarged(Surface& dst, const Surface& src, int x, int y, int scale) {
  dst.stretch_from(src, 0, 0, src.width(), src.height(), x, y, src.width() * scale,
                   src.height() * scale);
}

// Classic 3-D edges: raised for buttons and the preview, sunken for boxes.
void edge(Surface& s, int x, int y, int w, int h, bool raised) {
  const uint32_t hi = vs::pixel_rgb(255, 255, 255), light = vs::pixel_rgb(223, 223, 223),
                 shadow = vs::pixel_rgb(128, 128, 128), dark = vs::pixel_rgb(64, 64, 64);
  const uint32_t outer_tl = raised ? light : shadow, inner_tl = raised ? hi : dark;
  const uint32_t outer_br = raised ? dark : hi, inner_br = raised ? shadow : light;
  s.fill_rect(x, y, w - 1, 1, outer_tl);
  s.fill_rect(x, y, 1, h - 1, outer_tl);
  s.fill_rect(x + 1, y + 1, w - 3, 1, inner_tl);
  s.fill_rect(x + 1, y + 1, 1, h - 3, inner_tl);
  s.fill_rect(x + 1, y + h - 2, w - 2, 1, inner_br);
  s.fill_rect(x + w - 2, y + 1, 1, h - 2, inner_br);
  s.fill_rect(x, y + h - 1, w, 1, outer_br);
  s.fill_rect(x + w - 1, y, 1, h, outer_br);
}

// A thin etched line round a panel, so the panels read as groups.
void etched(Surface& s, int x, int y, int w, int h) {
  const uint32_t shadow = vs::pixel_rgb(128, 128, 128), hi = vs::pixel_rgb(255, 255, 255);
  s.fill_rect(x, y, w, 1, shadow);
  s.fill_rect(x, y, 1, h, shadow);
  s.fill_rect(x + 1, y + 1, w - 1, 1, hi);
  s.fill_rect(x + 1, y + 1, 1, h - 1, hi);
  s.fill_rect(x, y + h - 2, w - 1, 1, shadow);
  s.fill_rect(x + w - 2, y, 1, h - 1, shadow);
  s.fill_rect(x, y + h - 1, w, 1, hi);
  s.fill_rect(x + w - 1, y, 1, h, hi);
}

struct Mock {
  Surface& s;
  vs::Font* font;

  void text(int x, int y, int w, const std::string& t, bool centred, uint32_t pixel = kBlack) {
    if (!font) return;
    const int left = centred ? x + (w - font->width(t)) / 2 : x;
    font->draw(s, left, y + font->ascent(), t, pixel);
  }
  void tiled(int x, int y, int w, int h, const Surface& strip) {
    Surface panel(w, h);
    for (int ty = 0; ty <= h; ty += strip.height()) paste(panel, strip, 0, ty, false);
    paste(s, panel, x, y, false);
  }
  void heading(int x, int y, const Surface& plate, const std::string& t) {
    paste(s, plate, x, y, true);
    text(x, y + 4, 95, t, true);
  }
  void button(int x, int y, int w, const Surface& face, const std::string& t) {
    s.copy_from(face, 0, 0, w, 21, x, y);
    edge(s, x, y, w, 21, true);
    text(x, y + 4, w, t, true);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: stock-sheet SHEET.png [DIALOG.png]\n");
    return 2;
  }
  const Surface opt0 = vs::stock_option_mark(false), opt1 = vs::stock_option_mark(true);
  const Surface chk0 = vs::stock_check_mark(false), chk1 = vs::stock_check_mark(true);
  const Surface plate = vs::stock_heading_plate(), face = vs::stock_button_face();
  const Surface strip = vs::stock_background_strip(), icon = vs::stock_window_icon();
  const vs::PointerImage hand = vs::stock_hand_pointer();
  Surface hand_view(32, 32, vs::pixel_rgb(0, 128, 128));
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      if (hand.mask.at(x, y) != 0) hand_view.set_pixel(x, y, hand.pixels.at(x, y));
    }
  }
  hand_view.set_pixel(hand.hot_spot.x, hand.hot_spot.y, vs::pixel_rgb(255, 0, 0));

  auto font = vs::FreetypeFont::find({"MS PGothic", "IPAPGothic", "VL PGothic", "Noto Sans CJK JP"},
                                     "ﾌｧｲﾙ名画像の種類設定", 13);
  if (!font) std::fprintf(stderr, "stock-sheet: no font; the mock-up has no captions\n");

  // The dialog's client area with its panels and controls at their places.
  Surface dialog(549, 385);
  Mock d{dialog, font.get()};
  d.tiled(0, 0, 549, 385, strip);
  d.tiled(12, 12, 313, 329, strip);
  d.tiled(336, 12, 197, 189, strip);
  etched(dialog, 12, 12, 313, 329);
  etched(dialog, 336, 12, 197, 189);
  {
    Surface left(313, 329);
    left.copy_from(dialog, 12, 12, 313, 329, 0, 0);
    Mock p{left, font.get()};
    p.heading(12, 8, plate, "ﾌｧｲﾙ名");
    p.button(12, 40, 97, face, "ﾌｫﾙﾀﾞ指定...");
    left.fill_rect(112, 44, 33, 17, vs::pixel_rgb(192, 192, 192));
    edge(left, 112, 44, 33, 17, false);
    p.text(114, 46, 29, "3", true);
    p.text(148, 48, 17, "枚", false);
    left.fill_rect(12, 68, 169, 212, vs::pixel_rgb(255, 255, 255));
    edge(left, 12, 68, 169, 212, false);
    p.text(16, 72, 150, "alps.jpg", false);
    p.text(16, 85, 150, "beach.bmp", false);
    p.text(16, 98, 150, "city.gif", false);
    edge(left, 12, 284, 285, 33, false);
    p.text(16, 288, 280, "/home/user/Pictures", false);
    p.heading(192, 8, plate, "ﾌﾟﾚﾋﾞｭｰ");
    left.fill_rect(192, 52, 100, 100, vs::pixel_rgb(224, 224, 224));
    edge(left, 192, 52, 100, 100, true);
    p.heading(192, 160, plate, "画像の種類");
    const char* kinds[] = {"*.bmp", "*.gif", "*.jpg", "*.wmf"};
    for (int i = 0; i < 4; ++i) {
      paste(left, i % 2 == 0 ? chk1 : chk0, 208, 188 + 16 * i, true);
      p.text(224, 187 + 16 * i, 60, kinds[i], false);
    }
    p.button(192, 256, 97, face, "ｸﾘｱ");
    dialog.copy_from(left, 0, 0, 313, 329, 12, 12);
  }
  {
    Surface right(197, 189);
    right.copy_from(dialog, 336, 12, 197, 189, 0, 0);
    Mock p{right, font.get()};
    const char* headings[] = {"画像ﾁｪﾝｼﾞ", "画像のｻｲｽﾞ", "描画方法"};
    const char* options[][2] = {{"ｼｰｹﾝｼｬﾙ", "ﾗﾝﾀﾞﾑ"}, {"ｵﾘｼﾞﾅﾙ", "ﾌﾙｽｸﾘｰﾝ"}, {"ﾄﾞｯﾄ", "ﾗｲﾝ"}};
    for (int g = 0; g < 3; ++g) {
      p.heading(12, 8 + 60 * g, plate, headings[g]);
      for (int i = 0; i < 2; ++i) {
        paste(right, (g + i) % 2 == 1 ? opt1 : opt0, 24 + 84 * i, 40 + 60 * g, true);
        p.text(40 + 84 * i, 39 + 60 * g, 70, options[g][i], false);
      }
    }
    dialog.copy_from(right, 0, 0, 197, 189, 336, 12);
  }
  d.button(336, 320, 101, face, "設定");
  d.button(440, 320, 97, face, "ｷｬﾝｾﾙ");
  d.text(336, 292, 168, "Designed by t-Orvy Ver.1.0.0", false);
  d.text(12, 356, 352, "http://example.com/varnoscape/", false, vs::pixel_rgb(0, 0, 160));

  // The sheet: every image four times, then the mock-up once and twice.
  constexpr int kScale = 4, kGap = 16;
  const std::vector<const Surface*> row1 = {&opt0, &opt1, &chk0, &chk1, &plate, &hand_view, &icon};
  const int face_top = kGap + 32 * kScale + kGap, strip_top = face_top + 37 * kScale + kGap;
  const int dialog_top = strip_top + 21 * 2 + kGap;
  Surface sheet(kGap + 549 + kGap + 549 * 2 + kGap, dialog_top + 385 * 2 + kGap,
                vs::pixel_rgb(160, 160, 160));
  int x = kGap;
  for (const Surface* img : row1) {
    paste_enlarged(sheet, *img, x, kGap, kScale);
    x += img->width() * kScale + kGap;
  }
  paste_enlarged(sheet, face, kGap, face_top, kScale);
  x = kGap + 103 * kScale + kGap;
  paste_enlarged(sheet, icon, x, face_top, 2);
  paste(sheet, icon, x + 64 + kGap, face_top, false);
  paste(sheet, hand_view, x + 64 + kGap + 32 + kGap, face_top, false);
  sheet.stretch_from(strip, 0, 0, 563, 21, kGap, strip_top, 563 * 2, 42);
  paste(sheet, dialog, kGap, dialog_top, false);
  paste_enlarged(sheet, dialog, kGap + 549 + kGap, dialog_top, 2);
  const vs::WriteResult r = vs::write_png_file(sheet, argv[1]);
  if (!r.ok) {
    std::fprintf(stderr, "stock-sheet: %s\n", r.error.c_str());
    return 1;
  }
  if (argc == 3) {
    const vs::WriteResult d = vs::write_png_file(dialog, argv[2]);
    if (!d.ok) {
      std::fprintf(stderr, "stock-sheet: %s\n", d.error.c_str());
      return 1;
    }
  }
  return 0;
}
