// Text through GDI: the font found by its face name, text drawn white on
// black into a bitmap of our own and blended into the Surface by its
// coverage, so the forms runtime gets the same kind of glyphs as from
// FreeType on Linux.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <vector>

#include "platform/win32/dib.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_system.h"

namespace vs {

namespace {

class GdiFont : public Font {
 public:
  GdiFont(HFONT font, HDC dc) : font_(font), dc_(dc) {
    old_ = SelectObject(dc_, font_);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    ascent_ = tm.tmAscent;
    line_height_ = tm.tmHeight;
  }
  ~GdiFont() override {
    SelectObject(dc_, old_);
    DeleteObject(font_);
    DeleteDC(dc_);
  }
  GdiFont(const GdiFont&) = delete;
  GdiFont& operator=(const GdiFont&) = delete;

  int ascent() const override { return ascent_; }
  int line_height() const override { return line_height_; }

  int width(std::string_view text) override {
    const std::wstring w = win32::widen(text);
    SIZE size{};
    if (w.empty() || !GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size)) {
      return 0;
    }
    return size.cx;
  }

  void draw(Surface& s, int x, int baseline, std::string_view text, uint32_t pixel) override {
    const std::wstring w = win32::widen(text);
    const int width = this->width(text) + line_height_;  // room for overhangs
    const int height = line_height_;
    if (w.empty() || width <= 0 || height <= 0) return;
    BITMAPINFO info = win32::dib_of(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return;
    HGDIOBJ old = SelectObject(dc_, bitmap);
    std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(width) * height, 0u);
    SetTextColor(dc_, RGB(255, 255, 255));
    SetBkMode(dc_, TRANSPARENT);
    TextOutW(dc_, 0, 0, w.c_str(), static_cast<int>(w.size()));
    GdiFlush();
    const auto* px = static_cast<const uint32_t*>(bits);
    const int top = baseline - ascent_;
    for (int row = 0; row < height; ++row) {
      for (int col = 0; col < width; ++col) {
        // White text on black: any channel is the coverage.
        const int coverage = static_cast<int>((px[row * width + col] >> 8) & 0xFF);
        if (coverage) s.blend(x + col, top + row, pixel, coverage);
      }
    }
    SelectObject(dc_, old);
    DeleteObject(bitmap);
  }

 private:
  HFONT font_;
  HDC dc_;
  HGDIOBJ old_ = nullptr;
  int ascent_ = 0;
  int line_height_ = 0;
};

bool same_name(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

}  // namespace

std::unique_ptr<Font> Win32System::open_font(const std::vector<std::string>& families,
                                             double points, const std::string& sample) {
  // Points at 96 pixels per inch: 9.75 points are 13 pixels. A dialog at
  // another scale asks for its points times the scale.
  const int height = -static_cast<int>(std::lround(points * 96 / 72.0));
  std::wstring needed;
  for (wchar_t c : win32::widen(sample)) {
    if (c > L' ' && c != L'\x3000') needed += c;
  }
  for (const std::string& family : families) {
    const std::wstring face = win32::widen(family);
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    if (!font) continue;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    // GDI answers with a stand-in when it lacks the face: take only the
    // face itself, and only when it has every character.
    wchar_t chosen[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, chosen);
    bool ok = same_name(chosen, face);
    if (ok && !needed.empty()) {
      std::vector<WORD> glyphs(needed.size());
      ok = GetGlyphIndicesW(dc, needed.c_str(), static_cast<int>(needed.size()), glyphs.data(),
                            GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR &&
           std::none_of(glyphs.begin(), glyphs.end(), [](WORD g) { return g == 0xFFFF; });
    }
    SelectObject(dc, old);
    if (ok) return std::make_unique<GdiFont>(font, dc);
    DeleteDC(dc);
    DeleteObject(font);
  }
  return nullptr;
}

}  // namespace vs
