// Loads pictures the way this edition's saver does (the system layer's
// load_picture: the decoder process on Linux, WIC and GDI on Windows) and
// writes each one's pixels as a 24-bit BMP, so that the two editions'
// results can be compared file by file. One run for many files: on Windows
// each start of the program under Wine costs a second.
//
//   decode-pictures OUTDIR PICTURE...
//     writes OUTDIR/<n>.bmp for the n-th picture (from 1) and prints one line
//     per picture: "<n> ok <width>x<height>" or "<n> failed <reason>"
//   decode-pictures --compare A.bmp B.bmp
//     prints "<width>x<height> max <d> mean <m> over8 <n> over32 <n>": the
//     largest difference of one channel, the mean of the largest channel
//     differences, and how many pixels differ by more than 8 and 32
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bmp_writer.h"
#include "pictures/decoders.h"
#include "platform/offscreen/offscreen_platform.h"

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool write_picture(const std::string& path, const vs::Surface& s) {
  vs::samples::BmpSpec spec;
  spec.width = s.width();
  spec.height = s.height();
  spec.bits = 24;
  spec.data = vs::samples::encode_rows(s.width(), s.height(), 24, false,
                                       [&](int x, int y) { return s.at(x, y) & 0xFFFFFF; });
  const std::string bytes = vs::samples::write_bmp(spec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

int compare(const std::string& a_path, const std::string& b_path) {
  const vs::PictureResult a = vs::decode_bmp(read_file(a_path));
  const vs::PictureResult b = vs::decode_bmp(read_file(b_path));
  if (!a.ok || !b.ok) {
    std::fprintf(stderr, "decode-pictures: %s: %s\n", (a.ok ? b_path : a_path).c_str(),
                 (a.ok ? b.reason : a.reason).c_str());
    return 1;
  }
  if (a.picture.width() != b.picture.width() || a.picture.height() != b.picture.height()) {
    std::printf("size %dx%d %dx%d\n", a.picture.width(), a.picture.height(), b.picture.width(),
                b.picture.height());
    return 0;
  }
  int max = 0;
  double sum = 0;
  long over8 = 0, over32 = 0;
  for (int y = 0; y < a.picture.height(); ++y) {
    for (int x = 0; x < a.picture.width(); ++x) {
      const uint32_t p = a.picture.at(x, y), q = b.picture.at(x, y);
      int d = 0;
      for (int shift : {0, 8, 16}) {
        d = std::max(d, std::abs(static_cast<int>((p >> shift) & 0xFF) -
                                 static_cast<int>((q >> shift) & 0xFF)));
      }
      max = std::max(max, d);
      sum += d;
      over8 += d > 8;
      over32 += d > 32;
    }
  }
  const double pixels = static_cast<double>(a.picture.width()) * a.picture.height();
  std::printf("%dx%d max %d mean %.3f over8 %ld over32 %ld\n", a.picture.width(),
              a.picture.height(), max, sum / pixels, over8, over32);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--compare") return compare(argv[2], argv[3]);
  if (argc < 3 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: decode-pictures OUTDIR PICTURE...\n"
                 "       decode-pictures --compare A.bmp B.bmp\n");
    return 64;
  }
  // The offscreen backend loads pictures with its edition's own system
  // layer, and needs no display.
  vs::OffscreenPlatform platform;
  const std::string out = argv[1];
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    const int n = i - 1;
    const vs::PictureResult r = platform.load_picture(argv[i]);
    if (!r.ok) {
      std::printf("%d failed %s\n", n, r.reason.c_str());
    } else if (!r.kept.whole()) {
      std::printf("%d failed kept only part of the picture\n", n);
    } else if (!write_picture(out + "/" + std::to_string(n) + ".bmp", r.picture)) {
      std::fprintf(stderr, "decode-pictures: cannot write %s/%d.bmp\n", out.c_str(), n);
      status = 1;
    } else {
      std::printf("%d ok %dx%d\n", n, r.picture.width(), r.picture.height());
    }
    std::fflush(stdout);
  }
  return status;
}
