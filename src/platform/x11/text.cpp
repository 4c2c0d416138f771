#include "platform/x11/text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace vs::x11 {

std::vector<char32_t> decode_utf8(const std::string& text) {
  std::vector<char32_t> out;
  size_t i = 0;
  while (i < text.size()) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char b = byte(i);
    int extra = b < 0x80             ? 0
                : (b & 0xE0) == 0xC0 ? 1
                : (b & 0xF0) == 0xE0 ? 2
                : (b & 0xF8) == 0xF0 ? 3
                                     : -1;
    char32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    bool ok = extra >= 0 && i + extra < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
      ok = (byte(i + k) & 0xC0) == 0x80;
      cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are malformed too.
    static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (ok && (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (ok) {
      out.push_back(cp);
      i += extra + 1;
    } else {
      out.push_back(0xFFFD);
      i += 1;
    }
  }
  return out;
}

void blend_pixel(Surface& s, int x, int y, uint32_t pixel, int coverage) {
  if (x < 0 || y < 0 || x >= s.width() || y >= s.height() || coverage <= 0) return;
  coverage = std::min(coverage, 255);
  uint32_t under = s.at(x, y);
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t a = (pixel >> shift) & 0xFF, b = (under >> shift) & 0xFF;
    out |= ((a * coverage + b * (255 - coverage) + 127) / 255) << shift;
  }
  s.set_pixel(x, y, out);
}

struct Font::Faces {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Faces() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

namespace {

struct Match {
  std::string file;
  int index = 0;
  std::string family;
};

bool has_family(FcPattern* font, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0) {
      return true;
    }
  }
  return false;
}

// What fontconfig makes of a family name, if that font has every character
// we need. fontconfig substitutes freely (by the locale's language, say), so
// `exact` asks for the family itself rather than a stand-in.
bool match_family(const std::string& family, const std::vector<char32_t>& needed, bool exact,
                  Match& out) {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* font = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!font) return false;
  FcChar8* file = nullptr;
  FcChar8* name = nullptr;
  FcCharSet* chars = nullptr;
  int index = 0;
  bool ok = FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch &&
            FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) == FcResultMatch &&
            (!exact || has_family(font, family));
  for (char32_t cp : needed) {
    if (ok && cp > U' ' && cp != U'\x3000') ok = FcCharSetHasChar(chars, cp);
  }
  if (ok) {
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    out.file = reinterpret_cast<const char*>(file);
    out.index = index;
    out.family = FcPatternGetString(font, FC_FAMILY, 0, &name) == FcResultMatch
                     ? reinterpret_cast<const char*>(name)
                     : family;
  }
  FcPatternDestroy(font);
  return ok;
}

}  // namespace

std::unique_ptr<Font> Font::find(const std::vector<std::string>& families,
                                 const std::string& sample, int pixel_size) {
  if (!FcInit()) return nullptr;
  std::vector<char32_t> needed = decode_utf8(sample);
  Match match;
  bool found = false;
  // The installed families first, in order; then whatever fontconfig offers
  // for them, if it has the characters.
  for (bool exact : {true, false}) {
    for (const std::string& family : families) {
      if (!found) found = match_family(family, needed, exact, match);
    }
  }
  if (!found) return nullptr;
  std::unique_ptr<Font> font(new Font);
  font->ft_ = std::make_unique<Faces>();
  Faces& ft = *font->ft_;
  if (FT_Init_FreeType(&ft.library) != 0) return nullptr;
  if (FT_New_Face(ft.library, match.file.c_str(), match.index, &ft.face) != 0) return nullptr;
  if (FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(pixel_size)) != 0) return nullptr;
  font->family_ = match.family;
  font->file_ = match.file;
  font->ascent_ = static_cast<int>((ft.face->size->metrics.ascender + 63) >> 6);
  font->line_height_ = static_cast<int>((ft.face->size->metrics.height + 63) >> 6);
  return font;
}

Font::~Font() = default;

int Font::width(const std::string& text) {
  FT_Pos pen = 0;
  for (char32_t cp : decode_utf8(text)) {
    if (FT_Load_Char(ft_->face, cp, FT_LOAD_DEFAULT) == 0) pen += ft_->face->glyph->advance.x;
  }
  return static_cast<int>((pen + 63) >> 6);
}

void Font::draw(Surface& s, int x, int baseline, const std::string& text, uint32_t pixel) {
  FT_Pos pen = static_cast<FT_Pos>(x) << 6;
  for (char32_t cp : decode_utf8(text)) {
    if (FT_Load_Char(ft_->face, cp, FT_LOAD_RENDER) != 0) continue;
    FT_GlyphSlot g = ft_->face->glyph;
    const FT_Bitmap& b = g->bitmap;
    int left = static_cast<int>(pen >> 6) + g->bitmap_left;
    int top = baseline - g->bitmap_top;
    for (unsigned row = 0; row < b.rows; ++row) {
      const unsigned char* line = b.buffer + static_cast<long>(row) * b.pitch;
      for (unsigned col = 0; col < b.width; ++col) {
        int coverage = b.pixel_mode == FT_PIXEL_MODE_MONO
                           ? ((line[col / 8] >> (7 - col % 8)) & 1) * 255
                           : line[col];
        blend_pixel(s, left + static_cast<int>(col), top + static_cast<int>(row), pixel, coverage);
      }
    }
    pen += g->advance.x;
  }
}

}  // namespace vs::x11
