// The one bitmap layout the Windows backend hands to GDI: top-down 32-bit
// rows, which is how our surfaces (BGRX) lie in memory.
#pragma once

#include <windows.h>

namespace vs::win32 {

inline BITMAPINFO dib_of(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace vs::win32
