// Text through GDI: the font found by its face name, text drawn white on
// black into a bitmap of our own and blended into the Surface by its
// coverage, so the forms runtime gets the same kind of glyphs as from
// FreeType on Linux. A character the font lacks (a Korean or accented Greek
// file name in a Japanese font) is drawn in the first stand-in face that
// has it, at the same height and on the same baseline, so that it shows as
// itself rather than as the font's box.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/win32/dib.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_system.h"

namespace vs {

namespace {

// Windows' own faces for the scripts that file names are written in, tried
// in order before every other installed family (under Wine those are the
// host's fonts, reached through fontconfig).
constexpr const wchar_t* kStandInFaces[] = {L"Segoe UI",
                                            L"Tahoma",
                                            L"Malgun Gothic",
                                            L"Microsoft YaHei",
                                            L"Microsoft JhengHei",
                                            L"Yu Gothic UI",
                                            L"Nirmala UI",
                                            L"Leelawadee UI",
                                            L"Ebrima",
                                            L"Gadugi",
                                            L"Segoe UI Symbol",
                                            L"Segoe UI Historic"};

bool same_name(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

HFONT create_face(int height, const std::wstring& face) {
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

// GDI answers with a stand-in when it lacks a face: true only for the face
// itself.
bool is_face(HDC dc, const std::wstring& face) {
  wchar_t chosen[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, chosen);
  return same_name(chosen, face);
}

// Which of the text's UTF-16 units the font selected into dc has a glyph
// for; nothing when GDI cannot tell.
std::optional<std::vector<bool>> has_glyphs(HDC dc, const std::wstring& text) {
  std::vector<WORD> glyphs(text.size());
  if (!text.empty() && GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()),
                                        glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) {
    return std::nullopt;
  }
  std::vector<bool> has(text.size());
  for (size_t i = 0; i < text.size(); ++i) has[i] = glyphs[i] != 0xFFFF;
  return has;
}

// Every other installed family, as GDI lists them: outline fonts only (a
// bitmap font has one size), not the vertical "@" faces.
std::vector<std::wstring> installed_faces(HDC dc) {
  std::vector<std::wstring> faces;
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExW(
      dc, &wanted,
      [](const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM found) -> int {
        auto& faces = *reinterpret_cast<std::vector<std::wstring>*>(found);
        const std::wstring face = font->lfFaceName;
        if (!(type & RASTER_FONTTYPE) && !face.empty() && face[0] != L'@' &&
            std::none_of(faces.begin(), faces.end(),
                         [&](const std::wstring& f) { return same_name(f, face); })) {
          faces.push_back(face);
        }
        return 1;
      },
      reinterpret_cast<LPARAM>(&faces), 0);
  return faces;
}

class GdiFont : public Font {
 public:
  GdiFont(HFONT font, HDC dc, int height) : dc_(dc), height_(height) {
    old_ = SelectObject(dc_, font);
    faces_.push_back(measured(font));
    ascent_ = faces_[0].ascent;
    line_height_ = faces_[0].ascent + faces_[0].descent;
  }
  ~GdiFont() override {
    SelectObject(dc_, old_);
    for (const Face& face : faces_) DeleteObject(face.font);
    DeleteDC(dc_);
  }
  GdiFont(const GdiFont&) = delete;
  GdiFont& operator=(const GdiFont&) = delete;

  int ascent() const override { return ascent_; }
  int line_height() const override { return line_height_; }

  int width(std::string_view text) override {
    int width = 0;
    for (const Run& run : runs(win32::widen(text))) width += run.width;
    return width;
  }

  void draw(Surface& s, int x, int baseline, std::string_view text, uint32_t pixel) override {
    const std::vector<Run> runs = this->runs(win32::widen(text));
    if (runs.empty()) return;
    // Room for overhangs on either side, and for the tallest face's ascent
    // and descent on the common baseline.
    const int pad = line_height_;
    int width = 2 * pad, ascent = 0, descent = 0;
    for (const Run& run : runs) {
      width += run.width;
      ascent = std::max(ascent, faces_[run.face].ascent);
      descent = std::max(descent, faces_[run.face].descent);
    }
    const int height = ascent + descent;
    if (width <= 0 || height <= 0) return;
    BITMAPINFO info = win32::dib_of(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return;
    HGDIOBJ old = SelectObject(dc_, bitmap);
    std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(width) * height, 0u);
    SetTextColor(dc_, RGB(255, 255, 255));
    SetBkMode(dc_, TRANSPARENT);
    const UINT old_align = SetTextAlign(dc_, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    int pen = pad;
    for (const Run& run : runs) {
      SelectObject(dc_, faces_[run.face].font);
      TextOutW(dc_, pen, ascent, run.text.c_str(), static_cast<int>(run.text.size()));
      pen += run.width;
    }
    SelectObject(dc_, faces_[0].font);
    SetTextAlign(dc_, old_align);
    GdiFlush();
    const auto* px = static_cast<const uint32_t*>(bits);
    const int left = x - pad, top = baseline - ascent;
    for (int row = 0; row < height; ++row) {
      for (int col = 0; col < width; ++col) {
        // White text on black: any channel is the coverage.
        const int coverage = static_cast<int>((px[row * width + col] >> 8) & 0xFF);
        if (coverage) s.blend(left + col, top + row, pixel, coverage);
      }
    }
    SelectObject(dc_, old);
    DeleteObject(bitmap);
  }

 private:
  struct Face {
    HFONT font = nullptr;
    int ascent = 0;
    int descent = 0;
  };
  // A piece of text drawn in one face, and how far it advances.
  struct Run {
    std::wstring text;
    size_t face = 0;
    int width = 0;
  };
  // A face tried for the characters the font lacks: opened on first need;
  // its characters learnt once, then the font let go unless it is used.
  struct StandIn {
    explicit StandIn(std::wstring face_name) : name(std::move(face_name)) {}
    std::wstring name;
    bool tried = false;
    std::vector<WCRANGE> ranges;
    std::optional<size_t> face;  // in faces_, once it draws something
    bool has(wchar_t c) const {
      return std::any_of(ranges.begin(), ranges.end(),
                         [c](const WCRANGE& r) { return c >= r.wcLow && c - r.wcLow < r.cGlyphs; });
    }
  };

  Face measured(HFONT font) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    return {font, static_cast<int>(tm.tmAscent), static_cast<int>(tm.tmDescent)};
  }

  // The text cut where the face that draws it changes, each piece measured
  // in its face, so that width() and draw() advance alike. A surrogate pair
  // stays in the font: GDI's glyph lookup knows only single units.
  std::vector<Run> runs(const std::wstring& text) {
    std::vector<Run> runs;
    if (text.empty()) return runs;
    // When GDI cannot tell, all of it as it is.
    const std::vector<bool> has =
        has_glyphs(dc_, text).value_or(std::vector<bool>(text.size(), true));
    for (size_t i = 0; i < text.size(); ++i) {
      const wchar_t c = text[i];
      const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
      const size_t face = has[i] || surrogate || c < L' ' ? 0 : face_for(c);
      if (runs.empty() || runs.back().face != face) runs.push_back({{}, face, 0});
      runs.back().text += c;
    }
    for (Run& run : runs) {
      SelectObject(dc_, faces_[run.face].font);
      SIZE size{};
      if (GetTextExtentPoint32W(dc_, run.text.c_str(), static_cast<int>(run.text.size()), &size)) {
        run.width = size.cx;
      }
    }
    SelectObject(dc_, faces_[0].font);
    return runs;
  }

  // The face that draws c: the first stand-in that has it, else the font's
  // own (its box, as before).
  size_t face_for(wchar_t c) {
    auto known = face_of_.find(c);
    if (known != face_of_.end()) return known->second;
    size_t face = 0;
    if (stand_ins_.empty()) {
      for (const wchar_t* name : kStandInFaces) stand_ins_.emplace_back(name);
    }
    for (size_t i = 0; i < stand_ins_.size() && face == 0; ++i) {
      if (i + 1 == stand_ins_.size() && !enumerated_) add_installed_faces();
      StandIn& stand_in = stand_ins_[i];
      if (!stand_in.tried) learn(stand_in);
      if (!stand_in.has(c)) continue;
      if (!stand_in.face) stand_in.face = open(stand_in.name);
      if (stand_in.face && draws(*stand_in.face, c)) face = *stand_in.face;
    }
    face_of_.emplace(c, face);
    return face;
  }

  void add_installed_faces() {
    enumerated_ = true;
    for (std::wstring& name : installed_faces(dc_)) {
      if (std::none_of(stand_ins_.begin(), stand_ins_.end(),
                       [&](const StandIn& s) { return same_name(s.name, name); })) {
        stand_ins_.emplace_back(std::move(name));
      }
    }
  }

  // A stand-in's characters, from the face itself (not one GDI puts in its
  // place); none when it is not installed.
  void learn(StandIn& stand_in) {
    stand_in.tried = true;
    HFONT font = create_face(height_, stand_in.name);
    if (!font) return;
    SelectObject(dc_, font);
    if (is_face(dc_, stand_in.name)) {
      const DWORD size = GetFontUnicodeRanges(dc_, nullptr);
      if (size >= sizeof(GLYPHSET)) {
        std::vector<unsigned char> bytes(size);
        auto* set = reinterpret_cast<GLYPHSET*>(bytes.data());
        // In code point order; a range that goes back is one beyond the
        // 16 bits of a WCHAR, cut short (as Wine reports them).
        if (GetFontUnicodeRanges(dc_, set) == size) {
          for (DWORD i = 0; i < set->cRanges; ++i) {
            const WCRANGE& range = set->ranges[i];
            if (!stand_in.ranges.empty() &&
                range.wcLow < stand_in.ranges.back().wcLow + stand_in.ranges.back().cGlyphs) {
              break;
            }
            stand_in.ranges.push_back(range);
          }
        }
      }
    }
    SelectObject(dc_, faces_[0].font);
    DeleteObject(font);
  }

  // The face's own glyph lookup has the last word over its ranges.
  bool draws(size_t face, wchar_t c) {
    SelectObject(dc_, faces_[face].font);
    const std::optional<std::vector<bool>> has = has_glyphs(dc_, std::wstring(1, c));
    SelectObject(dc_, faces_[0].font);
    return has && has->front();
  }

  std::optional<size_t> open(const std::wstring& name) {
    HFONT font = create_face(height_, name);
    if (!font) return std::nullopt;
    SelectObject(dc_, font);
    faces_.push_back(measured(font));
    SelectObject(dc_, faces_[0].font);
    return faces_.size() - 1;
  }

  HDC dc_;
  int height_;
  HGDIOBJ old_ = nullptr;
  std::vector<Face> faces_;  // the font's own first, then the stand-ins used
  std::vector<StandIn> stand_ins_;
  bool enumerated_ = false;
  std::unordered_map<wchar_t, size_t> face_of_;
  int ascent_ = 0;
  int line_height_ = 0;
};

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
    HFONT font = create_face(height, face);
    if (!font) continue;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    // Only the face itself, and only when it has every character.
    bool ok = is_face(dc, face);
    if (ok && !needed.empty()) {
      const std::optional<std::vector<bool>> has = has_glyphs(dc, needed);
      ok = has && std::all_of(has->begin(), has->end(), [](bool h) { return h; });
    }
    SelectObject(dc, old);
    if (ok) return std::make_unique<GdiFont>(font, dc, height);
    DeleteDC(dc);
    DeleteObject(font);
  }
  return nullptr;
}

std::vector<std::string> Win32System::interface_font_families() {
  // The message font is what the system's own dialogs write in; its size is
  // left alone (the dialog keeps its points). It may be a name the system
  // maps to another face ("MS Shell Dlg"): the face GDI gives for it.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  std::vector<std::string> families;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    HFONT font = create_face(-16, metrics.lfMessageFont.lfFaceName);
    HDC dc = CreateCompatibleDC(nullptr);
    if (font && dc) {
      HGDIOBJ old = SelectObject(dc, font);
      wchar_t face[LF_FACESIZE] = {};
      if (GetTextFaceW(dc, LF_FACESIZE, face) > 0 && face[0]) {
        families.push_back(win32::narrow(face));
      }
      SelectObject(dc, old);
    }
    if (dc) DeleteDC(dc);
    if (font) DeleteObject(font);
  }
  if (families.empty()) families = {"Segoe UI", "Tahoma"};
  return families;
}

}  // namespace vs
