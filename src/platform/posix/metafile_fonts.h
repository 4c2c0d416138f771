// The fonts libwmf draws a metafile's text with: it maps every font a
// metafile names onto one of the standard PostScript fonts (Debian's
// fonts-urw-base35), and opens that font's file by its path the first time
// the text needs it. The confined decoder can open no file then, so it maps
// them into memory before it confines itself, and the files are read from
// there (FreeType's FT_New_Face, which libwmf calls, is ours: see
// metafile_fonts.cpp).
#pragma once

#include <string>

namespace vs {

inline constexpr const char* kMetafileFontFiles[] = {
    "NimbusRoman-Regular.t1",    "NimbusRoman-Italic.t1",    "NimbusRoman-Bold.t1",
    "NimbusRoman-BoldItalic.t1", "NimbusSans-Regular.t1",    "NimbusSans-Italic.t1",
    "NimbusSans-Bold.t1",        "NimbusSans-BoldItalic.t1", "NimbusMonoPS-Regular.t1",
    "NimbusMonoPS-Italic.t1",    "NimbusMonoPS-Bold.t1",     "NimbusMonoPS-BoldItalic.t1",
    "StandardSymbolsPS.t1"};

// Maps the font files of the folder into memory for the rest of the
// process; a file missing there is opened (and not found) as before.
void keep_metafile_fonts_in_memory();

}  // namespace vs
