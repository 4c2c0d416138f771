#include "platform/posix/metafile_fonts.h"

#include <fcntl.h>
#include <ft2build.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include FT_FREETYPE_H

#include <mutex>
#include <vector>

#include "platform/posix/library_decoders.h"

namespace vs {

namespace {

struct FontInMemory {
  std::string path;
  const FT_Byte* bytes;
  FT_Long size;
};

// Filled once, before the decoder confines itself and before any thread
// could read it; never changed after.
std::vector<FontInMemory>& fonts_in_memory() {
  static std::vector<FontInMemory> fonts;
  return fonts;
}

}  // namespace

void keep_metafile_fonts_in_memory() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const char* name : kMetafileFontFiles) {
      const std::string path = std::string(kMetafileFontFolder) + "/" + name;
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      struct stat st {};
      void* bytes = MAP_FAILED;
      if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        bytes = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      }
      ::close(fd);
      if (bytes == MAP_FAILED) continue;
      fonts_in_memory().push_back(
          {path, static_cast<const FT_Byte*>(bytes), static_cast<FT_Long>(st.st_size)});
    }
  });
}

}  // namespace vs

// FreeType's own FT_New_Face opens the file at the path; this one, which
// the programs' references to it bind to (libwmf's among them), first
// looks among the fonts in memory. Without them it does what FreeType's
// does.
extern "C" FT_Error FT_New_Face(FT_Library library, const char* path, FT_Long index,
                                FT_Face* face) {
  if (path != nullptr) {
    for (const vs::FontInMemory& font : vs::fonts_in_memory()) {
      if (font.path == path) return FT_New_Memory_Face(library, font.bytes, font.size, index, face);
    }
  }
  FT_Open_Args args{};
  args.flags = FT_OPEN_PATHNAME;
  args.pathname = const_cast<char*>(path);
  return FT_Open_Face(library, &args, index, face);
}
