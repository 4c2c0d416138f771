// Draws the project's sample pictures: every kind and variant the loader
// reads, with gradients and shapes that make a good relief, plus a folder
// bad/ of malformed files that must fail cleanly. The output is the same on
// every run.
//
//   make-samples OUTDIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "picture_writers.h"
#include "sample_scenes.h"

namespace vs::samples {
namespace {

namespace fs = std::filesystem;

bool write_file(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::fprintf(stderr, "make-samples: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

Surface draw_landscape(int w, int h) {
  Landscape scene{w, h};
  Surface s(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) s.row(y)[x] = to_pixel(scene.at(x, y));
  }
  return s;
}

Surface draw_sideways(const SidewaysPhoto& photo) {
  Surface s(photo.stored_width(), photo.stored_height());
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) s.row(y)[x] = to_pixel(photo.stored_at(x, y));
  }
  return s;
}

BmpSpec indexed_bmp(int w, int h, int bits, const std::vector<uint32_t>& palette, auto index) {
  BmpSpec s;
  s.width = w, s.height = h, s.bits = bits, s.palette = palette;
  s.data = encode_rows(w, h, bits, false, index);
  return s;
}

bool write_bmps(const fs::path& dir) {
  bool ok = true;
  Surface land = draw_landscape(640, 480);
  BmpSpec s;
  s.width = 640, s.height = 480, s.bits = 24;
  s.data = encode_rows(640, 480, 24, false, [&](int x, int y) { return land.at(x, y); });
  ok &= write_file(dir / "landscape.bmp", write_bmp(s));

  Rings rings8{320, 240, 256};
  ok &= write_file(dir / "rings8.bmp",
                   write_bmp(indexed_bmp(320, 240, 8, rings8.palette(),
                                         [&](int x, int y) { return rings8.index(x, y); })));
  Rings rings4{160, 120, 16};
  ok &= write_file(dir / "rings4.bmp",
                   write_bmp(indexed_bmp(160, 120, 4, rings4.palette(),
                                         [&](int x, int y) { return rings4.index(x, y); })));
  Rings rings1{256, 192, 2};
  ok &= write_file(dir / "rings1.bmp",
                   write_bmp(indexed_bmp(256, 192, 1, rings1.palette(),
                                         [&](int x, int y) { return rings1.index(x, y); })));

  Rings os2{200, 150, 256};
  BmpSpec core =
      indexed_bmp(200, 150, 8, os2.palette(), [&](int x, int y) { return os2.index(x, y); });
  core.header_size = 12;
  ok &= write_file(dir / "rings_os2.bmp", write_bmp(core));

  for (bool rle4 : {false, true}) {
    Stripes stripes{rle4 ? 200 : 320, rle4 ? 150 : 240};
    BmpSpec r;
    r.width = stripes.width, r.height = stripes.height, r.bits = rle4 ? 4 : 8;
    r.compression = rle4 ? 2 : 1;
    r.palette = stripes.palette();
    r.data = encode_rle(stripes.width, stripes.height, rle4,
                        [&](int x, int y) { return stripes.index(x, y); });
    ok &= write_file(dir / (rle4 ? "stripes_rle4.bmp" : "stripes_rle8.bmp"), write_bmp(r));
  }

  // 32 bits, top-down, the colour in the top three bytes (V5 header masks).
  Surface land32 = draw_landscape(400, 300);
  BmpSpec t;
  t.width = 400, t.height = 300, t.bits = 32, t.compression = 3, t.top_down = true;
  t.header_size = 124;
  t.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0};
  t.data = encode_rows(400, 300, 32, true, [&](int x, int y) { return land32.at(x, y) << 8; });
  ok &= write_file(dir / "landscape_topdown32.bmp", write_bmp(t));

  // 16 bits 5-6-5, masks after a plain info header.
  Surface land16 = draw_landscape(320, 240);
  BmpSpec h;
  h.width = 320, h.height = 240, h.bits = 16, h.compression = 3;
  h.masks = {0xF800, 0x07E0, 0x001F};
  h.data = encode_rows(320, 240, 16, false, [&](int x, int y) {
    uint32_t p = land16.at(x, y);
    return ((p >> 19) & 0x1F) << 11 | ((p >> 10) & 0x3F) << 5 | ((p >> 3) & 0x1F);
  });
  ok &= write_file(dir / "landscape565.bmp", write_bmp(h));
  return ok;
}

GifSpec rings_gif() {
  // The frame sits inside a larger screen; a window of transparent pixels
  // shows the black behind it.
  Rings rings{288, 216, 256};
  GifSpec g;
  g.screen_width = 320, g.screen_height = 240;
  g.left = 16, g.top = 12, g.width = 288, g.height = 216;
  g.palette = rings.palette();
  g.transparent = 254;
  for (int y = 0; y < g.height; ++y) {
    for (int x = 0; x < g.width; ++x) {
      bool hole = x >= 40 && x < 100 && y >= 30 && y < 80;
      g.indices.push_back(static_cast<uint8_t>(hole ? 254 : rings.index(x, y)));
    }
  }
  return g;
}

bool write_gifs(const fs::path& dir) {
  bool ok = write_file(dir / "rings.gif", write_gif(rings_gif()));
  Stripes stripes{200, 150};
  GifSpec g;
  g.screen_width = g.width = 200, g.screen_height = g.height = 150;
  g.interlaced = true;
  g.palette = stripes.palette();
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) g.indices.push_back(static_cast<uint8_t>(stripes.index(x, y)));
  }
  ok &= write_file(dir / "stripes_interlaced.gif", write_gif(g));
  return ok;
}

bool write_jpegs(const fs::path& dir) {
  using C = JpegSpec::Colour;
  bool ok = write_file(dir / "landscape.jpg", write_jpeg(draw_landscape(800, 600), {}));
  ok &= write_file(dir / "progressive.jpg",
                   write_jpeg(draw_landscape(640, 480), {C::Rgb, true, 92, 0}));
  ok &= write_file(dir / "grey.jpg", write_jpeg(draw_landscape(400, 300), {C::Grey, false, 92, 0}));
  ok &= write_file(dir / "portrait.jpg", write_jpeg(draw_landscape(480, 640), {}));
  ok &= write_file(dir / "cmyk.jpg",
                   write_jpeg(draw_landscape(320, 240), {C::AdobeCmyk, false, 95, 0}));
  // Taken on its side: stored 480 x 360, seen 360 x 480 once turned.
  ok &= write_file(dir / "sideways.jpg",
                   write_jpeg(draw_sideways({360, 480}), {C::Rgb, false, 92, 6}));
  return ok;
}

// The metafile scene on its 64 x 48 grid, `unit` logical units per cell.
Bytes metafile(int unit, bool placeable) {
  using M = MetafileScene;
  WmfWriter w;
  if (!placeable) w.map_mode(8);  // anisotropic: the window decides
  w.window_org(0, 0);
  w.window_ext(M::kGridW * unit, M::kGridH * unit);
  w.begin_shapes();
  auto fill = [&](Rgb c) { w.brush(to_pixel(c)); };
  auto u = [unit](int g) { return g * unit; };
  fill(M::kSky), w.rectangle(0, 0, u(64), u(30));
  fill(M::kGround), w.rectangle(0, u(30), u(64), u(48));
  fill(M::kSun), w.ellipse(u(44), u(4), u(56), u(16));
  fill(M::kMountain), w.polygon({{u(4), u(30)}, {u(20), u(10)}, {u(36), u(30)}});
  fill(M::kLake), w.ellipse(u(8), u(36), u(28), u(44));
  fill(M::kHouse), w.rectangle(u(38), u(24), u(50), u(36));
  // Twips: 150 per cell is 10 pixels at 96 dpi, 640 x 480 in all.
  return placeable ? w.finish(1440, 0, 0, u(64), u(48)) : w.finish();
}

bool write_metafiles(const fs::path& dir) {
  bool ok = write_file(dir / "scene.wmf", metafile(150, true));
  ok &= write_file(dir / "scene_plain.wmf", metafile(5, false));  // 320 x 240
  return ok;
}

Bytes cut(const Bytes& b, double part) {
  return b.substr(0, static_cast<size_t>(b.size() * part));
}

bool write_bad(const fs::path& dir) {
  Surface small = draw_landscape(64, 48);
  BmpSpec s;
  s.width = 64, s.height = 48, s.bits = 24;
  s.data = encode_rows(64, 48, 24, false, [&](int x, int y) { return small.at(x, y); });
  const Bytes bmp = write_bmp(s);
  const Bytes gif = write_gif(rings_gif());
  const Bytes jpeg = write_jpeg(draw_landscape(320, 240), {});
  const Bytes wmf = metafile(150, true);

  bool ok = write_file(dir / "truncated.bmp", cut(bmp, 0.5));
  ok &= write_file(dir / "truncated.gif", cut(gif, 0.6));
  ok &= write_file(dir / "truncated.jpg", cut(jpeg, 0.4));
  ok &= write_file(dir / "truncated.wmf", cut(wmf, 0.5));

  Bytes header = bmp;
  header[14] = 7;  // an info header of 7 bytes
  ok &= write_file(dir / "wrong_header.bmp", header);
  // A sound screen descriptor without colours, then no valid record.
  ok &= write_file(dir / "wrong_header.gif", Bytes("GIF89a\x0A\0\x0A\0\0\0\0X junk", 18));
  ok &=
      write_file(dir / "wrong_header.jpg", jpeg.substr(0, 3) + Bytes(64, '\x11') + jpeg.substr(3));
  Bytes bad_wmf = wmf;
  bad_wmf[22 + 2] = 5;  // the metafile header claims 5 words
  ok &= write_file(dir / "wrong_header.wmf", bad_wmf);

  ok &= write_file(dir / "empty.bmp", "");
  BmpSpec zero;
  zero.width = 0, zero.height = 0, zero.bits = 24;
  ok &= write_file(dir / "zero_size.bmp", write_bmp(zero));
  GifSpec zero_gif;
  zero_gif.palette = {0, 0xFFFFFF};
  ok &= write_file(dir / "zero_size.gif", write_gif(zero_gif));
  WmfWriter empty_wmf;
  ok &= write_file(dir / "zero_size.wmf", empty_wmf.finish(1440, 0, 0, 0, 0));

  BmpSpec huge;
  huge.width = 70000, huge.height = 70000, huge.bits = 24;
  huge.data = Bytes(4096, '\x40');
  ok &= write_file(dir / "huge.bmp", write_bmp(huge));
  GifSpec wide = rings_gif();
  wide.screen_width = wide.screen_height = 65535;
  ok &= write_file(dir / "huge_screen.gif", write_gif(wide));
  Bytes tall = jpeg;
  size_t sof = tall.find("\xFF\xC0");
  tall[sof + 5] = tall[sof + 7] = '\xFD', tall[sof + 6] = tall[sof + 8] = '\xE8';  // 65000
  ok &= write_file(dir / "huge.jpg", tall);
  ok &= write_file(dir / "huge.wmf",
                   metafile(150, true).replace(14, 2, "\x01\x00", 2));  // 1 unit/inch

  // A run of 200 pixels in a 16-pixel row.
  BmpSpec over;
  over.width = 16, over.height = 16, over.bits = 8, over.compression = 1;
  over.palette = {0xFF0000, 0x00FF00};
  over.data = Bytes("\x04\x01\xC8\x00\x00\x01", 6);
  ok &= write_file(dir / "rle_overrun.bmp", write_bmp(over));

  ok &= write_file(dir / "x.jpg", "These are notes about pictures, not a picture.\n");
  return ok;
}

}  // namespace
}  // namespace vs::samples

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-samples OUTDIR\n");
    return 64;
  }
  const fs::path out = argv[1];
  std::error_code error;
  fs::create_directories(out / "bad", error);
  if (error) {
    std::fprintf(stderr, "make-samples: cannot create %s: %s\n", out.c_str(),
                 error.message().c_str());
    return 1;
  }
  using namespace vs::samples;
  // Every writer runs even after one fails, so all problems are reported.
  bool ok = write_bmps(out);
  ok = write_gifs(out) && ok;
  ok = write_jpegs(out) && ok;
  ok = write_metafiles(out) && ok;
  ok = write_bad(out / "bad") && ok;
  return ok ? 0 : 1;
}
