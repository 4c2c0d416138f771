#include "platform/posix/png_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vs {

namespace {

// libpng reports errors by calling back; keep the text and jump out.
struct PngErrors {
  std::jmp_buf jump;
  char message[256] = {0};
};

[[noreturn]] void on_png_error(png_structp png, png_const_charp text) {
  auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
  std::snprintf(errors->message, sizeof errors->message, "%s", text ? text : "libpng error");
  std::longjmp(errors->jump, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// Everything libpng may jump out of lives here, with no C++ object whose
// destructor a jump could skip; returns the error text or an empty string.
std::string write_rows(std::FILE* file, const Surface& surface, std::vector<png_byte>& line) {
  PngErrors errors;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, on_png_error, on_png_warning);
  if (!png) return "out of memory";
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return "out of memory";
  }
  if (setjmp(errors.jump)) {
    png_destroy_write_struct(&png, &info);
    return errors.message;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width()),
               static_cast<png_uint_32>(surface.height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_bytep out = line.data();
  for (int y = 0; y < surface.height(); ++y) {
    const uint32_t* in = surface.row(y);
    for (int x = 0; x < surface.width(); ++x) {
      const uint32_t p = in[x];
      out[3 * x] = static_cast<png_byte>(p >> 16);
      out[3 * x + 1] = static_cast<png_byte>(p >> 8);
      out[3 * x + 2] = static_cast<png_byte>(p);
    }
    png_write_row(png, out);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return {};
}

}  // namespace

WriteResult write_png_file(const Surface& surface, const std::string& path) {
  // PNG has no empty pictures, and its sizes stop at 2^31 - 1.
  if (surface.empty()) return {false, "a picture without pixels cannot be saved as PNG"};
  std::vector<png_byte> line(static_cast<size_t>(surface.width()) * 3);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return {false, std::strerror(errno)};
  std::string error = write_rows(file, surface, line);
  if (error.empty() && std::fflush(file) != 0) error = std::strerror(errno);
  if (std::fclose(file) != 0 && error.empty()) error = std::strerror(errno);
  if (!error.empty()) {
    std::remove(path.c_str());
    return {false, error};
  }
  return {true, {}};
}

}  // namespace vs
