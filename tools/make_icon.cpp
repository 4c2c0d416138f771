// Writes the program's icon, drawn by code (the dialog's window icon), as a
// Windows .ico file for the Windows edition's resources:
//   make-icon src/platform/win32/varnoscape.ico
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "dialog/stock_images.h"

namespace {

void put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-icon OUT.ico\n");
    return 64;
  }
  const vs::Surface icon = vs::stock_window_icon();
  const int w = icon.width(), h = icon.height();
  const uint32_t mask_bytes = static_cast<uint32_t>((w + 31) / 32 * 4 * h);
  const uint32_t image_bytes = 40 + static_cast<uint32_t>(w * h * 4) + mask_bytes;
  std::string out;
  put16(out, 0), put16(out, 1), put16(out, 1);  // an icon file of one image
  out += static_cast<char>(w), out += static_cast<char>(h), out += '\0', out += '\0';
  put16(out, 1), put16(out, 32), put32(out, image_bytes), put32(out, 22);
  // The image: a bitmap header of twice the height (colours, then mask).
  put32(out, 40), put32(out, static_cast<uint32_t>(w)), put32(out, static_cast<uint32_t>(2 * h));
  put16(out, 1), put16(out, 32), put32(out, 0), put32(out, static_cast<uint32_t>(w * h * 4));
  put32(out, 0), put32(out, 0), put32(out, 0), put32(out, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) put32(out, icon.at(x, y) | 0xFF000000u);
  }
  out.append(mask_bytes, '\0');  // every pixel shown
  std::ofstream(argv[1], std::ios::binary) << out;
  return 0;
}
