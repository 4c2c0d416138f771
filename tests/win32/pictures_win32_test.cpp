// The Windows edition's pictures where the comparison with the Linux
// edition (tests/e2e/pictures_across_editions.sh, on the samples) does not look: what a
// view keeps of a large picture, declared sizes over the limit, damaged
// files, and the loader's own refusals. Pictures are made here with WIC's
// own encoders, or by hand.
#include <gtest/gtest.h>
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <filesystem>
#include <fstream>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "../support/temp_folder.h"
#include "core/picture_fit.h"
#include "picture_files.h"
#include "platform/offscreen/offscreen_platform.h"
#include "platform/win32/windows_decoders.h"

namespace vs {
namespace {

using Microsoft::WRL::ComPtr;
using testing::encode;
using testing::metafile;
using testing::TempFolder;

void put16(std::string& b, unsigned v) {
  b += static_cast<char>(v & 0xFF), b += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& b, uint32_t v) {
  put16(b, v & 0xFFFF), put16(b, v >> 16);
}

// Where a GIF file's first image descriptor starts.
size_t first_image(const std::string& gif) {
  auto byte = [&](size_t at) { return at < gif.size() ? static_cast<unsigned char>(gif[at]) : 0u; };
  size_t at = 13 + ((byte(10) & 0x80) ? size_t{3} << ((byte(10) & 7) + 1) : 0);
  while (byte(at) == '!') {
    at += 2;
    while (byte(at) != 0 && at < gif.size()) at += 1 + byte(at);
    ++at;
  }
  return byte(at) == ',' ? at : std::string::npos;
}

// A JPEG file with an EXIF orientation inserted after its start marker.
std::string with_orientation(const std::string& jpeg, int orientation) {
  std::string exif("Exif\0\0II*\0", 10);
  put32(exif, 8), put16(exif, 1);                       // IFD0 with one entry
  put16(exif, 0x0112), put16(exif, 3), put32(exif, 1);  // orientation, SHORT
  put16(exif, static_cast<unsigned>(orientation)), put16(exif, 0), put32(exif, 0);
  std::string segment("\xFF\xE1", 2);
  segment += static_cast<char>((exif.size() + 2) >> 8);
  segment += static_cast<char>((exif.size() + 2) & 0xFF);
  return jpeg.substr(0, 2) + segment + exif + jpeg.substr(2);
}

// Every kind the system decodes, and a photo turned by its EXIF
// orientation, keeps of a large picture exactly the pixels the view's fit
// reads, and those equal the whole picture's.
TEST(Win32Pictures, AViewKeepsOnlyTheFittedPixels) {
  const std::string jpeg = encode(GUID_ContainerFormatJpeg, 1000, 700);
  const std::string gif = encode(GUID_ContainerFormatGif, 900, 1200);
  ASSERT_FALSE(jpeg.empty());
  ASSERT_FALSE(gif.empty());
  auto samples = [](int x, int y) {
    const uint32_t p = testing::pattern(x, y);
    return std::vector<unsigned>{p >> 16, (p >> 8) & 0xFF, p & 0xFF,
                                 static_cast<unsigned>(x ^ y) & 0xFF};
  };
  const std::string png = testing::make_png(1000, 700, 8, 6, samples);
  const std::string tiff = testing::write_tiff({testing::tiff_page(640, 480, samples, 8, 4)});
  const std::string turned_tiff =
      testing::write_tiff({testing::tiff_page(640, 480, samples, 8, 4, 8)});
  const struct {
    const char* name;
    std::string file;
    PictureView view;
  } cases[] = {
      {"jpeg full screen", jpeg, {320, 240, FitMode::FullScreen}},
      {"jpeg own size", jpeg, {300, 200, FitMode::OwnSize}},
      {"turned jpeg", with_orientation(jpeg, 6), {320, 240, FitMode::FullScreen}},
      {"gif full screen", gif, {320, 240, FitMode::FullScreen}},
      {"gif thumbnail", gif, {100, 100, FitMode::Thumbnail}},
      {"metafile", metafile(1200, 900), {320, 240, FitMode::FullScreen}},
      {"png full screen", png, {320, 240, FitMode::FullScreen}},
      {"tiff thumbnail", tiff, {100, 100, FitMode::Thumbnail}},
      {"turned tiff", turned_tiff, {320, 240, FitMode::FullScreen}},
  };
  for (const auto& c : cases) {
    const PictureResult whole = decode_picture(windows_decoders(), c.file);
    ASSERT_TRUE(whole.ok) << c.name << ": " << whole.reason;
    ASSERT_TRUE(whole.kept.whole()) << c.name;
    const PictureResult part = decode_picture(windows_decoders(), c.file, c.view);
    ASSERT_TRUE(part.ok) << c.name << ": " << part.reason;
    const PixelSubset want = needed_pixels(c.view, whole.width(), whole.height());
    ASSERT_FALSE(want.whole()) << c.name;
    EXPECT_EQ(part.width(), whole.width()) << c.name;
    EXPECT_EQ(part.height(), whole.height()) << c.name;
    ASSERT_EQ(part.kept.cols, want.cols) << c.name;
    ASSERT_EQ(part.kept.rows, want.rows) << c.name;
    ASSERT_EQ(part.picture.width(), static_cast<int>(want.cols.size())) << c.name;
    ASSERT_EQ(part.picture.height(), static_cast<int>(want.rows.size())) << c.name;
    int wrong = 0;
    for (size_t j = 0; j < want.rows.size(); ++j) {
      for (size_t i = 0; i < want.cols.size(); ++i) {
        wrong += part.picture.at(static_cast<int>(i), static_cast<int>(j)) !=
                 whole.picture.at(want.cols[i], want.rows[j]);
      }
    }
    EXPECT_EQ(wrong, 0) << c.name;
  }
  // The turned photo is the stored one turned a quarter clockwise.
  const PictureResult stored = decode_picture(windows_decoders(), jpeg);
  const PictureResult turned = decode_picture(windows_decoders(), with_orientation(jpeg, 6));
  ASSERT_TRUE(stored.ok && turned.ok);
  ASSERT_EQ(turned.picture.width(), 700);
  ASSERT_EQ(turned.picture.height(), 1000);
  EXPECT_EQ(turned.picture.at(699, 0), stored.picture.at(0, 0));
  EXPECT_EQ(turned.picture.at(0, 999), stored.picture.at(999, 699));
}

// Sizes over 2^28 pixels are refused from the file's own numbers, before
// the system's decoder is asked or anything is allocated.
TEST(Win32Pictures, DeclaredSizesOverTheLimitFail) {
  const std::string jpeg = encode(GUID_ContainerFormatJpeg, 64, 48);
  const std::string gif = encode(GUID_ContainerFormatGif, 64, 48);
  ASSERT_FALSE(jpeg.empty());
  ASSERT_FALSE(gif.empty());
  std::string wide_jpeg = jpeg;
  const size_t sof = wide_jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  wide_jpeg[sof + 5] = '\x4E', wide_jpeg[sof + 6] = '\x20';  // 20000 rows
  wide_jpeg[sof + 7] = '\x4E', wide_jpeg[sof + 8] = '\x20';  // of 20000
  std::string big_screen = gif;
  big_screen[6] = big_screen[8] = '\x20', big_screen[7] = big_screen[9] = '\x4E';
  // The screen stays small, the frame claims 60000 x 60000.
  std::string big_frame = gif;
  const size_t image = first_image(big_frame);
  ASSERT_NE(image, std::string::npos);
  big_frame[image + 5] = big_frame[image + 7] = '\x60';
  big_frame[image + 6] = big_frame[image + 8] = '\xEA';
  std::string big_metafile = metafile(100, 100);
  big_metafile[10] = big_metafile[12] = '\xFF', big_metafile[11] = big_metafile[13] = '\x7F';
  big_metafile[14] = 1, big_metafile[15] = 0;  // one unit per inch
  const std::pair<std::string, std::string> cases[] = {
      {wide_jpeg, "picture too large (20000 x 20000)"},
      {big_screen, "picture too large (20000 x 20000)"},
      {big_frame, "picture too large (60000 x 60000)"},
      {big_metafile, "picture too large (3145632 x 3145632)"},
  };
  for (const auto& [file, reason] : cases) {
    const PictureResult r =
        decode_picture(windows_decoders(), file, {1920, 1080, FitMode::FullScreen});
    EXPECT_FALSE(r.ok) << reason;
    EXPECT_EQ(r.reason, reason);
    EXPECT_TRUE(r.picture.empty()) << reason;
  }
}

// Damaged GIF, JPEG, PNG and TIFF files fail with a reason, whatever is damaged:
// files cut anywhere in their picture data, and bytes overwritten at every
// stretch of the file. Some damage leaves a picture (JPEG survives a few
// wrong bytes); none may crash or hang.
TEST(Win32Pictures, DamagedFilesFailOrDecodeNeverCrash) {
  auto samples = [](int x, int y) {
    const uint32_t p = testing::pattern(x, y);
    return std::vector<unsigned>{p >> 16, (p >> 8) & 0xFF, p & 0xFF,
                                 static_cast<unsigned>(x * y) & 0xFF};
  };
  const std::string jpeg = encode(GUID_ContainerFormatJpeg, 320, 480);
  const std::string gif = encode(GUID_ContainerFormatGif, 320, 480);
  ASSERT_FALSE(jpeg.empty());
  ASSERT_FALSE(gif.empty());
  const std::string png = testing::make_png(160, 120, 8, 6, samples, true);
  const std::string tiff = testing::write_tiff({testing::tiff_page(160, 120, samples, 8, 4)});
  // Each kind with where its picture data starts. (A JPEG may lose the last
  // two rows of blocks: libjpeg's rule, see jpeg_structure.h. The cuts all
  // come before them.)
  const struct {
    const char* kind;
    const std::string& file;
    size_t data;
  } cases[] = {
      {"JPEG", jpeg, jpeg.find("\xFF\xDA")},
      {"GIF", gif, first_image(gif)},
      {"PNG", png, png.find("IDAT")},
      {"TIFF", tiff, 8},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.data, std::string::npos) << c.kind;
    const std::string truncated = std::string("truncated ") + c.kind + " data";
    for (int part = 0; part < 8; ++part) {
      const size_t cut = c.data + 12 + (c.file.size() - c.data - 32) * part / 10;
      const PictureResult r = decode_picture(windows_decoders(), c.file.substr(0, cut));
      EXPECT_FALSE(r.ok) << c.kind << " cut at " << cut;
      EXPECT_EQ(r.reason, truncated) << cut;
    }
    for (size_t at = 3; at < c.file.size(); at += c.file.size() / 300 + 1) {
      std::string damaged = c.file;
      for (size_t k = at; k < std::min(at + 4, c.file.size()); ++k) damaged[k] ^= '\x5A';
      const PictureResult r = decode_picture(windows_decoders(), damaged);
      if (!r.ok) {
        EXPECT_FALSE(r.reason.empty()) << c.kind << " " << at;
        EXPECT_TRUE(r.picture.empty()) << c.kind << " " << at;
      }
    }
  }
}

// GDI plays a metafile's records in the saver's process and takes their
// counts and object numbers as they come: records that claim more than they
// hold, or name objects outside the table, are refused first, in the Linux
// edition's words.
TEST(Win32Pictures, DamagedMetafilesAreRefusedBeforeGdiPlaysThem) {
  const std::string good = metafile(64, 48);
  ASSERT_TRUE(decode_picture(windows_decoders(), good).ok);
  const size_t records = 22 + 18;
  auto patched = [&](size_t at, std::string bytes) {
    std::string file = good;
    return file.replace(at, bytes.size(), bytes);
  };
  // The first record is CreateBrushIndirect (7 words), the second
  // SelectObject (4 words) with its slot number at byte 6.
  const size_t select = records + 14;
  std::string polygon;
  put32(polygon, 5), put16(polygon, 0x0324), put16(polygon, 1000), put16(polygon, 0);
  const std::pair<std::string, std::string> cases[] = {
      {good.substr(0, good.size() - 10), "truncated metafile"},
      {good.substr(0, good.size() - 6), "corrupt metafile (libwmf error 3)"},  // no end record
      {patched(select + 6, std::string("\x09\x00", 2)), "corrupt metafile (libwmf error 3)"},
      {patched(records, std::string("\x02\x00\x00\x00", 4)), "corrupt metafile (libwmf error 3)"},
      {good.substr(0, select) + polygon + good.substr(select), "corrupt metafile (libwmf error 3)"},
  };
  for (const auto& [file, reason] : cases) {
    const PictureResult r = decode_picture(windows_decoders(), file);
    EXPECT_FALSE(r.ok) << reason;
    EXPECT_EQ(r.reason, reason);
  }
}

// The loader's own refusals, word for word the Linux edition's.
TEST(Win32Pictures, TheLoaderRefusesWhatIsNoPictureFile) {
  testing::TempFolder folder;
  const std::string empty = folder / "empty.gif";
  { std::ofstream(TempFolder::from_utf8(empty)); }
  // A file one byte over the limit, made without writing it.
  const std::string huge = folder / "huge.jpg";
  {
    HANDLE h = CreateFileW(TempFolder::from_utf8(huge).c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = kMaxPictureFileBytes + 1;
    EXPECT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);
  }
  std::filesystem::create_directory(TempFolder::from_utf8(folder / "folder.bmp"));
  OffscreenPlatform platform;
  const std::pair<std::string, std::string> cases[] = {
      {folder / "missing.bmp", "file not found"},
      {folder / "folder.bmp", "not a picture file"},
      {empty, "empty file"},
      {huge, "file too large (over 256 MB)"},
  };
  for (const auto& [path, reason] : cases) {
    const PictureResult r = platform.load_picture(path);
    EXPECT_FALSE(r.ok) << path;
    EXPECT_EQ(r.reason, reason) << path;
  }
  std::stop_source stop;
  stop.request_stop();
  EXPECT_EQ(platform.load_picture(empty, {}, stop.get_token()).reason, "picture load stopped");
}

}  // namespace
}  // namespace vs
