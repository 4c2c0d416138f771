// Loading and fitting a 6000 x 4000 JPEG into a 1920 x 1080 screen (full
// screen) the way the saver does it: a decoder process of its own reads the
// file and sends back only the pixels the fit reads, then the fit draws them
// at the screen's size. The decode happens in another process, so times are
// on the wall clock, best of N, next to a baseline measured in the same run:
// libjpeg-turbo's bare decode of the same file in this process (a plain
// jpeg_read_scanlines loop into a buffer).
//
// The later kinds follow, each made here from a photo-like picture by its
// library's own encoder: a 12-megapixel HEIC, and a 3840 x 2160 WebP, AVIF,
// PNG and LZW TIFF. Each is timed as decode_picture (the whole choice of
// decoder, with our structure check and the kept pixels) against the
// library's bare decode of the same bytes in memory (WebPDecodeRGBA; libheif's
// decode of the primary picture to interleaved RGB; libpng's simplified
// reader to RGB; TIFFReadRGBAImage).
//
// The JPEG is also decoded and fitted in this process as the decoder process
// does it (decode_picture, then the fit), and loaded the saver's way (the
// picture handed to a decoder started ahead of it): what the confined
// process adds (its start and confinement, the pixels' way back) is their
// ratio.
//
// The bench also checks that it measured what the program does: the pixels
// kept are those the fit reads, and their fit equals the fit of the whole
// picture decoded here. It fails (status 1) when they do not.
//
//   bench_load_fit_bench [repetitions]
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <libheif/heif.h>
#include <png.h>
#include <tiffio.h>
#include <webp/decode.h>
#include <webp/encode.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "core/picture_fit.h"
#include "photo_pictures.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"
#include "platform/posix/posix_platform.h"

namespace {

constexpr int kPicWidth = 6000;
constexpr int kPicHeight = 4000;

bool write_test_jpeg(const std::string& path) {
  return vs::bench::write_photo_jpeg(path, kPicWidth, kPicHeight);
}

// The bare decode: the library's defaults, RGB rows into one buffer.
uint64_t bare_decode(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return 0;
  jpeg_decompress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_stdio_src(&c, file);
  jpeg_read_header(&c, TRUE);
  jpeg_start_decompress(&c);
  const size_t stride = static_cast<size_t>(c.output_width) * c.output_components;
  std::vector<JSAMPLE> pixels(stride * c.output_height);
  while (c.output_scanline < c.output_height) {
    JSAMPROW rows[1] = {pixels.data() + stride * c.output_scanline};
    jpeg_read_scanlines(&c, rows, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  std::fclose(file);
  return pixels[pixels.size() / 2];
}

// The whole file in one read, as the decoder process reads it: a read byte
// by byte would weigh on the side done here.
std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string bytes(static_cast<size_t>(std::max<std::streamoff>(0, in.tellg())), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

bool same_pixels(const vs::Surface& a, const vs::Surface& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y) {
    if (!std::equal(a.row(y), a.row(y) + a.width(), b.row(y))) return false;
  }
  return true;
}

// What the saver would show, from a load's result.
vs::Surface fitted(const vs::FitPlan& plan, const vs::PictureResult& r) {
  vs::Surface out;
  if (r.ok) vs::apply_fit(plan, r.picture, r.kept, out);
  return out;
}

// The later kinds.

std::string webp_of(const std::vector<uint8_t>& rgb, int width, int height) {
  uint8_t* out = nullptr;
  const size_t n = WebPEncodeRGB(rgb.data(), width, height, 3 * width, 85, &out);
  std::string file(reinterpret_cast<const char*>(out), n);
  WebPFree(out);
  return file;
}

uint64_t bare_webp_decode(const std::string& file) {
  int width = 0, height = 0;
  uint8_t* rgba =
      WebPDecodeRGBA(reinterpret_cast<const uint8_t*>(file.data()), file.size(), &width, &height);
  const uint64_t middle = rgba != nullptr ? rgba[size_t{2} * width * height] : 0;
  WebPFree(rgba);
  return middle;
}

uint64_t bare_heif_decode(const std::string& file) {
  heif_context* context = heif_context_alloc();
  heif_context_read_from_memory_without_copy(context, file.data(), file.size(), nullptr);
  heif_image_handle* handle = nullptr;
  heif_context_get_primary_image_handle(context, &handle);
  heif_image* image = nullptr;
  if (handle != nullptr) {
    heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr);
  }
  int stride = 0;
  const uint8_t* plane =
      image != nullptr ? heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride)
                       : nullptr;
  const uint64_t middle = plane != nullptr ? plane[static_cast<size_t>(stride) * 100] : 0;
  heif_image_release(image);
  heif_image_handle_release(handle);
  heif_context_free(context);
  return middle;
}

std::string png_of(const std::vector<uint8_t>& rgb, int width, int height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width), image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
  std::string file(size, '\0');
  png_image_write_to_memory(&image, file.data(), &size, 0, rgb.data(), 0, nullptr);
  file.resize(size);
  return file;
}

uint64_t bare_png_decode(const std::string& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return 0;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
  return pixels[pixels.size() / 2];
}

// libtiff reads and writes through a file here: its memory streams need
// callbacks, and a page-cached file costs the bare decode next to nothing.
std::string tiff_of(const std::vector<uint8_t>& rgb, int width, int height,
                    const std::string& path) {
  if (TIFF* tiff = TIFFOpen(path.c_str(), "w")) {
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_PREDICTOR, 2);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    for (int y = 0; y < height; ++y) {
      TIFFWriteScanline(tiff, const_cast<uint8_t*>(rgb.data()) + size_t{3} * width * y,
                        static_cast<uint32_t>(y), 0);
    }
    TIFFClose(tiff);
  }
  return read_all(path);
}

std::string tiff_path;  // the TIFF's bytes as a file, for the bare decode

uint64_t bare_tiff_decode(const std::string&) {
  TIFF* tiff = TIFFOpen(tiff_path.c_str(), "r");
  if (!tiff) return 0;
  uint32_t w = 0, h = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
  std::vector<uint32_t> pixels(size_t{w} * h);
  TIFFReadRGBAImage(tiff, w, h, pixels.data(), 0);
  TIFFClose(tiff);
  return pixels[pixels.size() / 2];
}

struct KindBench {
  const char* name;
  int width;
  int height;
  std::string file;
  const char* bare_name;
  uint64_t (*bare)(const std::string&);
};

// Times one kind as the JPEG is timed, with decode_picture in this process
// next to the bare decode, and checks what was measured.
void measure_kind(const KindBench& k, const std::string& folder, int reps,
                  std::vector<std::string>& wrong, uint64_t& checksum) {
  const vs::PictureView view{1920, 1080, vs::FitMode::FullScreen};
  const vs::FitPlan plan = vs::plan_fit(k.width, k.height, 1920, 1080, view.mode);
  const std::string path = folder + "/picture";
  std::ofstream(path, std::ios::binary) << k.file;
  vs::PictureResult here, in_child;
  vs::Surface screen;
  const std::vector<double> t =
      vs::bench::best_of(reps,
                         {[&] { checksum += k.bare(k.file); },
                          [&] { here = vs::decode_picture(vs::library_decoders(), k.file, view); },
                          [&] { in_child = vs::load_picture_file(path, view); },
                          [&] { screen = fitted(plan, vs::load_picture_file(path, view)); }},
                         vs::bench::wall_seconds);
  const std::string name = k.name;
  const vs::PixelSubset want = vs::needed_pixels(view, k.width, k.height);
  for (const vs::PictureResult* r : {&here, &in_child}) {
    if (!r->ok) {
      wrong.push_back(name + " failed: " + r->reason);
    } else if (r->width() != k.width || r->height() != k.height || r->kept.cols != want.cols ||
               r->kept.rows != want.rows) {
      wrong.push_back(name + ": kept pixels are not those the fit reads");
    }
  }
  const vs::Surface from_whole = fitted(plan, vs::decode_picture(vs::library_decoders(), k.file));
  if (screen.empty() || !same_pixels(screen, from_whole)) {
    wrong.push_back(name + ": the fit of the kept pixels differs from the fit of the whole");
  }
  std::printf("load and fit, %dx%d %s (%zu KB) into 1920x1080, best of %d (wall clock)\n", k.width,
              k.height, k.name, k.file.size() / 1024, reps);
  std::printf("  %-50s %8.1f ms  (baseline)\n",
              (std::string("bare decode here (") + k.bare_name + ")").c_str(), t[0] * 1e3);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode (target 1.2x)\n",
              "decode_picture here, kept pixels only", t[1] * 1e3, t[1] / t[0]);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode\n", "load_picture_file (decoder process)",
              t[2] * 1e3, t[2] / t[0]);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode\n",
              "load in the decoder process + fit to the screen", t[3] * 1e3, t[3] / t[0]);
  unlink(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char folder[] = "/tmp/varnoscape-bench-XXXXXX";
  if (!mkdtemp(folder)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string path = std::string(folder) + "/big.jpg";
  if (!write_test_jpeg(path)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }

  const vs::PictureView view{1920, 1080, vs::FitMode::FullScreen};
  const vs::FitPlan plan = vs::plan_fit(kPicWidth, kPicHeight, 1920, 1080, view.mode);
  vs::PictureResult in_process, in_child;
  vs::Surface screen, screen_here, screen_saver;
  vs::PosixSystem saver({});
  uint64_t checksum = 0;
  const std::vector<double> t = vs::bench::best_of(
      reps,
      {[&] { checksum += bare_decode(path); },
       [&] { in_process = vs::decode_jpeg(read_all(path), view); },
       [&] { in_child = vs::load_picture_file(path, view); },
       [&] {
         vs::PictureResult r = vs::load_picture_file(path, view);
         screen = fitted(plan, r);
       },
       // What the confined decoder process does, done here: the whole choice
       // of decoder, then the fit.
       [&] {
         screen_here =
             fitted(plan, vs::decode_picture(vs::library_decoders(), read_all(path), view));
       },
       // The saver's way: the picture handed to a decoder started ahead.
       [&] { screen_saver = fitted(plan, saver.load_picture(path, view)); }},
      vs::bench::wall_seconds);
  const double t_bare = t[0], t_decode = t[1], t_child = t[2], t_fit = t[3], t_fit_here = t[4],
               t_fit_saver = t[5];

  // What was measured is what the program does.
  std::vector<std::string> wrong;
  const vs::PixelSubset want = vs::needed_pixels(view, kPicWidth, kPicHeight);
  for (const auto& [what, r] :
       {std::pair<const char*, const vs::PictureResult&>{"in this process", in_process},
        {"in the decoder process", in_child}}) {
    const std::string w = what;
    if (!r.ok) {
      wrong.push_back("decode " + w + " failed: " + r.reason);
      continue;
    }
    if (r.width() != kPicWidth || r.height() != kPicHeight) wrong.push_back("picture size " + w);
    if (want.whole() || r.kept.cols != want.cols || r.kept.rows != want.rows) {
      wrong.push_back("kept pixels " + w + " are not those the fit reads");
    }
    if (r.picture.width() != static_cast<int>(r.kept.cols.size()) ||
        r.picture.height() != static_cast<int>(r.kept.rows.size())) {
      wrong.push_back("pixels held " + w + " do not match the kept lists");
    }
  }
  const vs::Surface from_whole = fitted(plan, vs::decode_jpeg(read_all(path)));
  if (screen.width() != plan.width || screen.height() != plan.height || screen.empty()) {
    wrong.push_back("the fitted picture is not the plan's size");
  } else if (!same_pixels(screen, from_whole)) {
    wrong.push_back("the fit of the kept pixels differs from the fit of the whole picture");
  }
  if (!same_pixels(screen_here, screen) || !same_pixels(screen_saver, screen)) {
    wrong.push_back("the fit in this process or the saver's differs from the decoder process's");
  }
  checksum += screen.empty() ? 0 : screen.at(plan.width / 2, plan.height / 2);

  long file_kb = 0;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    if (std::fseek(file, 0, SEEK_END) == 0) file_kb = std::ftell(file) / 1024;
    std::fclose(file);
  }
  const double kept_mb = 4.0 * in_child.picture.width() * in_child.picture.height() / 1e6;
  const double whole_mb = 4.0 * kPicWidth * kPicHeight / 1e6;
  std::printf("load and fit, %dx%d JPEG (%ld KB) into 1920x1080, best of %d (wall clock)\n",
              kPicWidth, kPicHeight, file_kb, reps);
  std::printf("  %-50s %8.1f ms  (baseline)\n", "bare decode here (jpeg_read_scanlines, RGB)",
              t_bare * 1e3);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode\n", "our decoder here, kept pixels only",
              t_decode * 1e3, t_decode / t_bare);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode\n", "load_picture_file (decoder process)",
              t_child * 1e3, t_child / t_bare);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode (target 1.3x)\n",
              "load in the decoder process + fit to the screen", t_fit * 1e3, t_fit / t_bare);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode\n", "decode_picture here + fit to the screen",
              t_fit_here * 1e3, t_fit_here / t_bare);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode\n",
              "the saver's load (decoder started ahead) + fit", t_fit_saver * 1e3,
              t_fit_saver / t_bare);
  std::printf("  %-50s %8.2fx, started for it %.2fx (target 1.15x)\n",
              "the saver's confined decoder against this process", t_fit_saver / t_fit_here,
              t_fit / t_fit_here);
  std::printf("  kept %dx%d pixels of %dx%d (%.1f MB of %.1f MB); fitted %dx%d\n",
              in_child.picture.width(), in_child.picture.height(), kPicWidth, kPicHeight, kept_mb,
              whole_mb, screen.width(), screen.height());
  for (const std::string& w : wrong) std::printf("  WRONG: %s\n", w.c_str());
  std::printf("  (checksum %llu)\n", static_cast<unsigned long long>(checksum));

  unlink(path.c_str());

  tiff_path = std::string(folder) + "/bare.tif";
  const std::vector<uint8_t> photo_12mp = vs::bench::photo_rgb(4000, 3000);
  const std::vector<uint8_t> photo_4k = vs::bench::photo_rgb(3840, 2160);
  const KindBench kinds[] = {
      {"HEIC", 4000, 3000, vs::bench::heif_of(photo_12mp, 4000, 3000, heif_compression_HEVC),
       "libheif to interleaved RGB", bare_heif_decode},
      {"WebP", 3840, 2160, webp_of(photo_4k, 3840, 2160), "WebPDecodeRGBA", bare_webp_decode},
      {"AVIF", 3840, 2160, vs::bench::heif_of(photo_4k, 3840, 2160, heif_compression_AV1),
       "libheif to interleaved RGB", bare_heif_decode},
      {"PNG", 3840, 2160, png_of(photo_4k, 3840, 2160), "png_image_finish_read, RGB",
       bare_png_decode},
      {"TIFF", 3840, 2160, tiff_of(photo_4k, 3840, 2160, tiff_path), "TIFFReadRGBAImage",
       bare_tiff_decode},
  };
  std::vector<std::string> wrong_kinds;
  for (const KindBench& k : kinds) measure_kind(k, folder, reps, wrong_kinds, checksum);
  for (const std::string& w : wrong_kinds) std::printf("  WRONG: %s\n", w.c_str());
  std::printf("  (checksum %llu)\n", static_cast<unsigned long long>(checksum));

  unlink(tiff_path.c_str());
  rmdir(folder);
  return wrong.empty() && wrong_kinds.empty() ? 0 : 1;
}
