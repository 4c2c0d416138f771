#include "platform/posix/freetype_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <utility>

#include "core/utf8.h"
#include "platform/posix/posix_platform.h"

namespace vs {

struct FreetypeFont::Faces {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int pixel_size = 0;
  // The fonts fontconfig ranks after ours, for the characters ours lacks:
  // sorted once, at the first such character.
  FcFontSet* ranked = nullptr;
  bool ranked_yet = false;
  // The stand-ins opened so far, by file and index, and the face each
  // character asked for came from.
  std::map<std::pair<std::string, int>, FT_Face> stand_ins;
  std::unordered_map<char32_t, FT_Face> face_of;

  ~Faces() {
    for (auto& [where, stand_in] : stand_ins) {
      if (stand_in) FT_Done_Face(stand_in);
    }
    if (ranked) FcFontSetDestroy(ranked);
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }

  // The face that draws cp: ours, else the first ranked font that has it;
  // ours again when none has it (its box for a missing glyph).
  FT_Face face_for(char32_t cp, const std::string& family) {
    if (cp < U' ' || FT_Get_Char_Index(face, cp) != 0) return face;
    auto known = face_of.find(cp);
    if (known != face_of.end()) return known->second;
    FT_Face found = face;
    if (!ranked_yet) rank(family);
    for (int i = 0; ranked && i < ranked->nfont && found == face; ++i) {
      FcPattern* font = ranked->fonts[i];
      FcCharSet* chars = nullptr;
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) != FcResultMatch ||
          !FcCharSetHasChar(chars, cp) ||
          FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) {
        continue;
      }
      FcPatternGetInteger(font, FC_INDEX, 0, &index);
      FT_Face stand_in = open_stand_in(reinterpret_cast<const char*>(file), index);
      if (stand_in && FT_Get_Char_Index(stand_in, cp) != 0) found = stand_in;
    }
    face_of.emplace(cp, found);
    return found;
  }

  void rank(const std::string& family) {
    ranked_yet = true;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    // Trimmed: a font that adds no character to those ranked before it
    // could never be the first to have one.
    ranked = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    FcPatternDestroy(pattern);
  }

  // Null when FreeType cannot open it at our size (a colour font of fixed
  // sizes, say); that is remembered too.
  FT_Face open_stand_in(const std::string& file, int index) {
    auto [it, fresh] = stand_ins.emplace(std::make_pair(file, index), nullptr);
    if (!fresh) return it->second;
    FT_Face opened = nullptr;
    if (FT_New_Face(library, file.c_str(), index, &opened) != 0) return nullptr;
    if (FT_Set_Pixel_Sizes(opened, 0, static_cast<FT_UInt>(pixel_size)) != 0) {
      FT_Done_Face(opened);
      return nullptr;
    }
    it->second = opened;
    return opened;
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

std::unique_ptr<FreetypeFont> FreetypeFont::find(const std::vector<std::string>& families,
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
  std::unique_ptr<FreetypeFont> font(new FreetypeFont);
  font->ft_ = std::make_unique<Faces>();
  Faces& ft = *font->ft_;
  if (FT_Init_FreeType(&ft.library) != 0) return nullptr;
  if (FT_New_Face(ft.library, match.file.c_str(), match.index, &ft.face) != 0) return nullptr;
  if (FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(pixel_size)) != 0) return nullptr;
  ft.pixel_size = pixel_size;
  font->family_ = match.family;
  font->file_ = match.file;
  font->ascent_ = static_cast<int>((ft.face->size->metrics.ascender + 63) >> 6);
  font->line_height_ = static_cast<int>((ft.face->size->metrics.height + 63) >> 6);
  return font;
}

std::optional<std::string> FreetypeFont::installed_family(const std::string& family) {
  Match match;
  if (!FcInit() || !match_family(family, {}, false, match)) return std::nullopt;
  return match.family;
}

FreetypeFont::~FreetypeFont() = default;

int FreetypeFont::width(std::string_view text) {
  FT_Pos pen = 0;
  for (char32_t cp : decode_utf8(text)) {
    FT_Face face = ft_->face_for(cp, family_);
    if (FT_Load_Char(face, cp, FT_LOAD_DEFAULT) == 0) pen += face->glyph->advance.x;
  }
  return static_cast<int>((pen + 63) >> 6);
}

void FreetypeFont::draw(Surface& s, int x, int baseline, std::string_view text, uint32_t pixel) {
  FT_Pos pen = static_cast<FT_Pos>(x) << 6;
  for (char32_t cp : decode_utf8(text)) {
    FT_Face face = ft_->face_for(cp, family_);
    if (FT_Load_Char(face, cp, FT_LOAD_RENDER) != 0) continue;
    FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& b = g->bitmap;
    // Advance alike, so the pen goes where width() says; only coverage
    // bitmaps are drawn (a colour font's would need blending of its own).
    const bool coverage_bitmap =
        b.pixel_mode == FT_PIXEL_MODE_GRAY || b.pixel_mode == FT_PIXEL_MODE_MONO;
    int left = static_cast<int>(pen >> 6) + g->bitmap_left;
    int top = baseline - g->bitmap_top;
    for (unsigned row = 0; coverage_bitmap && row < b.rows; ++row) {
      const unsigned char* line = b.buffer + static_cast<long>(row) * b.pitch;
      for (unsigned col = 0; col < b.width; ++col) {
        int coverage = b.pixel_mode == FT_PIXEL_MODE_MONO
                           ? ((line[col / 8] >> (7 - col % 8)) & 1) * 255
                           : line[col];
        s.blend(left + static_cast<int>(col), top + static_cast<int>(row), pixel, coverage);
      }
    }
    pen += g->advance.x;
  }
}

std::unique_ptr<Font> PosixSystem::open_font(const std::vector<std::string>& families,
                                             double points, const std::string& sample) {
  // Points at the screen's 96 pixels per inch: 9.75 points are 13 pixels.
  const int pixels = static_cast<int>(std::lround(points * 96.0 / 72.0));
  return FreetypeFont::find(families, sample, pixels);
}

std::vector<std::string> PosixSystem::interface_font_families() {
  // fontconfig's "sans-serif" is what desktops configure as their text
  // font; asked for by its installed name, so that an installed Japanese
  // family later in a list cannot come first.
  std::optional<std::string> sans = FreetypeFont::installed_family("sans-serif");
  return {sans.value_or("sans-serif")};
}

}  // namespace vs
