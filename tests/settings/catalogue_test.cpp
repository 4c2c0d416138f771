#include "settings/catalogue.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/offscreen/offscreen_platform.h"
#include "settings/wildcard.h"
#ifdef _WIN32
#include <windows.h>

#include "platform/win32/utf16.h"
#endif

namespace vs {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

std::vector<std::string> entries(const Varnoscape_B& m) {
  return {m.File_List.begin() + 1, m.File_List.begin() + 1 + m.File_Count};
}

Varnoscape_B all_kinds() {
  Varnoscape_B m;
  m.Set_Kind = {1, 1, 1, 1};
  return m;
}

TEST(Catalogue, SortsFullPathsByBytesUpperCaseFirst) {
  TempFolder dir;
  for (const char* name : {"b.jpg", "A.bmp", "a.gif", "C.wmf"}) dir.file(name);
  OffscreenPlatform p;
  Varnoscape_B m = all_kinds();
  Build_Catalogue(m, p, dir.path());
  std::string d = dir.path() + kSep;
  EXPECT_EQ(entries(m),
            (std::vector<std::string>{d + "A.bmp", d + "C.wmf", d + "a.gif", d + "b.jpg"}));
  EXPECT_EQ(m.File_List.size(), 5u);
  EXPECT_EQ(m.File_List[0], "");
  EXPECT_EQ(m.File_Attr, kAttrReadOnly);  // the last pass
}

TEST(Catalogue, TakesOnlyKindsSetToExactlyOne) {
  TempFolder dir;
  for (const char* name : {"b.jpg", "A.bmp", "a.gif", "C.wmf"}) dir.file(name);
  OffscreenPlatform p;
  for (int16_t gif : {0, 2, -1}) {
    Varnoscape_B m = all_kinds();
    m.Set_Kind[1] = gif;
    Build_Catalogue(m, p, dir.path());
    std::string d = dir.path() + kSep;
    EXPECT_EQ(entries(m), (std::vector<std::string>{d + "A.bmp", d + "C.wmf", d + "b.jpg"}))
        << "Set_Kind(1) = " << gif;
  }
  Varnoscape_B none;
  Build_Catalogue(none, p, dir.path());
  EXPECT_EQ(none.File_Count, 0);
}

#ifdef _WIN32
// The system's own attribute bits: new files are archived, and a file that
// is read-only and archived at once is passed over.
TEST(Catalogue, AttributesDecideWhatIsListed) {
  TempFolder dir;
  const std::pair<const char*, DWORD> files[] = {
      {"plain.jpg", FILE_ATTRIBUTE_NORMAL},
      {"archived.jpg", FILE_ATTRIBUTE_ARCHIVE},
      {"ro.jpg", FILE_ATTRIBUTE_READONLY},
      {"ro_archived.jpg", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
      {"hidden.jpg", FILE_ATTRIBUTE_HIDDEN},
      {"system.jpg", FILE_ATTRIBUTE_SYSTEM},
      {"unindexed.jpg", FILE_ATTRIBUTE_NOT_CONTENT_INDEXED},
  };
  for (auto [name, attributes] : files) {
    ASSERT_TRUE(SetFileAttributesW(win32::widen(dir.file(name)).c_str(), attributes)) << name;
  }
  fs::create_directory(dir.path() + kSep + "folder.jpg");
  OffscreenPlatform p;
  EXPECT_EQ(p.file_attributes(dir.path() + kSep + "ro_archived.jpg"), 33);
  EXPECT_EQ(p.file_attributes(dir.path() + kSep + "folder.jpg"), kAttrDirectory);

  Varnoscape_B m = all_kinds();
  Build_Catalogue(m, p, dir.path());
  const std::string d = dir.path() + kSep;
  std::vector<std::string> want{d + "archived.jpg", d + "plain.jpg", d + "unindexed.jpg"};
  // Wine archives every file, so there a read-only file is read-only and
  // archived.
  if (p.file_attributes(d + "ro.jpg") == kAttrReadOnly) want.insert(want.end() - 1, d + "ro.jpg");
  EXPECT_EQ(entries(m), want);
  for (auto [name, attributes] : files) {
    SetFileAttributesW(win32::widen(d + name).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}
#else
void make_read_only(const std::string& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

TEST(Catalogue, AttributesDecideWhatIsListed) {
  TempFolder dir;
  dir.file("plain.jpg");
  std::string ro = dir.file("ro.jpg");
  make_read_only(ro);
  dir.file(".hidden.jpg");
  std::string ro_hidden = dir.file(".ro_hidden.jpg");
  make_read_only(ro_hidden);
  fs::create_directory(dir.path() + kSep + "folder.jpg");
  OffscreenPlatform p;
  // Tests may run as root, who can write anyway; the value comes from the
  // permission bits alone.
  ASSERT_EQ(p.file_attributes(ro), kAttrReadOnly);
  ASSERT_EQ(p.file_attributes(ro_hidden), kAttrReadOnly | kAttrHidden);
  ASSERT_EQ(p.file_attributes(dir.path() + kSep + "folder.jpg"), kAttrDirectory);

  Varnoscape_B m = all_kinds();
  Build_Catalogue(m, p, dir.path());
  EXPECT_EQ(entries(m), (std::vector<std::string>{dir.path() + kSep + "plain.jpg", ro}));
}

#endif

TEST(Catalogue, MatchesExtensionsWithoutRegardToCase) {
  TempFolder dir;
  for (const char* name : {"X.JPG", "y.Jpg", "z.jpeg", "w.jpgx", "jpg", "v.bmp.txt", "u.GIF"})
    dir.file(name);
  OffscreenPlatform p;
  Varnoscape_B m = all_kinds();
  Build_Catalogue(m, p, dir.path());
  std::string d = dir.path() + kSep;
  EXPECT_EQ(entries(m), (std::vector<std::string>{d + "X.JPG", d + "u.GIF", d + "y.Jpg"}));
}

#ifndef _WIN32
TEST(Catalogue, LinksCountAsWhatTheyPointTo) {
  TempFolder dir;
  TempFolder elsewhere;
  std::string target = elsewhere.file("real.bmp");
  fs::create_symlink(target, dir.path() + kSep + "link.bmp");
  fs::create_symlink(elsewhere.path() + kSep + "gone.bmp", dir.path() + kSep + "dangling.bmp");
  fs::create_symlink(elsewhere.path(), dir.path() + kSep + "folderlink.bmp");
  dir.file("later.bmp");
  OffscreenPlatform p;
  Varnoscape_B m = all_kinds();
  Build_Catalogue(m, p, dir.path());
  // The dangling link is passed over without ending the listing.
  EXPECT_EQ(entries(m), (std::vector<std::string>{dir.path() + kSep + "later.bmp",
                                                  dir.path() + kSep + "link.bmp"}));
}
#endif

TEST(Catalogue, EmptyMissingAndUnmatchedFoldersGiveNothing) {
  TempFolder dir;
  dir.file("notes.txt");
  fs::create_directory(dir.path() + kSep + "sub");
  OffscreenPlatform p;
  Varnoscape_B m = all_kinds();
  Build_Catalogue(m, p, dir.path());
  EXPECT_EQ(m.File_Count, 0);

  // A rebuild that finds nothing empties the catalogue; the old slots stay
  // but are no longer part of it.
  dir.file("a.gif");
  Build_Catalogue(m, p, dir.path());
  ASSERT_EQ(m.File_Count, 1);
  fs::remove(dir.path() + kSep + "a.gif");
  Build_Catalogue(m, p, dir.path());
  EXPECT_EQ(m.File_Count, 0);
  EXPECT_EQ(m.File_List.size(), 2u);

  Build_Catalogue(m, p, dir.path() + kSep + "no-such-folder");
  EXPECT_EQ(m.File_Count, 0);
  Build_Catalogue(m, p, "");
  EXPECT_EQ(m.File_Count, 0);
  // A plain file passes for a folder elsewhere and lists nothing here.
  Build_Catalogue(m, p, dir.path() + kSep + "notes.txt");
  EXPECT_EQ(m.File_Count, 0);
}

TEST(Catalogue, FolderExists) {
  TempFolder dir;
  std::string file = dir.file("a.bmp");
  OffscreenPlatform p;
  EXPECT_TRUE(Folder_Exists(p, dir.path()));
  EXPECT_TRUE(Folder_Exists(p, file));  // a plain file passes too
  EXPECT_FALSE(Folder_Exists(p, ""));
  EXPECT_FALSE(Folder_Exists(p, dir.path() + kSep + "missing"));
  EXPECT_FALSE(Folder_Exists(p, file + kSep + "below-a-file"));
#ifndef _WIN32
  fs::create_symlink(dir.path() + kSep + "missing", dir.path() + kSep + "dangling");
  EXPECT_FALSE(Folder_Exists(p, dir.path() + kSep + "dangling"));
#endif
  std::string removed = dir.path() + kSep + "removed";
  fs::create_directory(removed);
  EXPECT_TRUE(Folder_Exists(p, removed));
  fs::remove(removed);
  EXPECT_FALSE(Folder_Exists(p, removed));
}

TEST(Catalogue, FolderOfEachPathStyle) {
  EXPECT_EQ(Folder_Of("D:\\Pics\\*.gif", kWindowsPaths), "D:\\Pics");
  EXPECT_EQ(Folder_Of("D:\\\\*.bmp", kWindowsPaths), "D:\\");
  EXPECT_EQ(Folder_Of("D:*.bmp", kWindowsPaths), "D:");
  EXPECT_EQ(Folder_Of("*.bmp", kWindowsPaths), "");
  EXPECT_EQ(Folder_Of("\\*.bmp", kWindowsPaths), "");
  EXPECT_EQ(Folder_Of("", kWindowsPaths), "");
  EXPECT_EQ(Folder_Of("/pics/*.bmp", kPosixPaths), "/pics");
  EXPECT_EQ(Folder_Of("//*.bmp", kPosixPaths), "/");
  EXPECT_EQ(Folder_Of("*.bmp", kPosixPaths), "");
  // On POSIX a colon is part of a name and a backslash is no separator.
  EXPECT_EQ(Folder_Of("/p/D:x/*.jpg", kPosixPaths), "/p/D:x");
  EXPECT_EQ(Folder_Of("D:*.jpg", kPosixPaths), "");
  EXPECT_EQ(Folder_Of("/a\\b/*.jpg", kPosixPaths), "/a\\b");
}

TEST(Catalogue, KindMasks) {
  EXPECT_EQ(Kind_Mask(0, kPosixPaths), "/*.bmp");
  EXPECT_EQ(Kind_Mask(1, kPosixPaths), "/*.gif");
  EXPECT_EQ(Kind_Mask(2, kWindowsPaths), "\\*.jpg");
  EXPECT_EQ(Kind_Mask(3, kWindowsPaths), "\\*.wmf");
  EXPECT_EQ(Kind_Mask(4, kPosixPaths), "");
  EXPECT_EQ(Kind_Mask(-1, kPosixPaths), "");
}

TEST(Catalogue, Wildcards) {
  EXPECT_TRUE(wildcard_match("*.jpg", "a.JPG"));
  EXPECT_TRUE(wildcard_match("*.jpg", ".jpg"));
  EXPECT_TRUE(wildcard_match("*.jpg", "a.b.jpg"));
  EXPECT_TRUE(wildcard_match("*.jpg", "x.jpg.jpg"));
  EXPECT_FALSE(wildcard_match("*.jpg", "a.jpgx"));
  EXPECT_FALSE(wildcard_match("*.jpg", "ajpg"));
  EXPECT_TRUE(wildcard_match("a?c", "abc"));
  EXPECT_TRUE(wildcard_match("a?c",
                             "a\xC3\xA9"
                             "c"));  // one character, two bytes
  EXPECT_FALSE(wildcard_match("a?c", "ac"));
  EXPECT_TRUE(wildcard_match("*a*b*", "xxaxxbxx"));
  EXPECT_FALSE(wildcard_match("*a*b*", "xxbxxaxx"));
  EXPECT_TRUE(wildcard_match("*", ""));
  EXPECT_FALSE(wildcard_match("", "a"));
  EXPECT_TRUE(wildcard_match("\xC3\x89*", "\xC3\x89t\xC3\xA9.bmp"));
  // Only ASCII letters fold: É and é are different names.
  EXPECT_FALSE(wildcard_match("\xC3\x89*", "\xC3\xA9t\xC3\xA9.bmp"));
}

// A listing held in memory: for the other path style, attribute values a
// POSIX file cannot have, and folders too large to make for real.
class FakeListing : public OffscreenPlatform {
 public:
  PathStyle style = kWindowsPaths;
  std::map<std::string, std::vector<std::string>> folders;
  std::map<std::string, int> attrs;  // by full path; missing = does not exist
  std::vector<std::string> listed;

  PathStyle path_style() const override { return style; }
  std::optional<std::vector<std::string>> list_folder(const std::string& folder) override {
    listed.push_back(folder);
    auto it = folders.find(folder);
    if (it == folders.end()) return std::nullopt;
    return it->second;
  }
  std::optional<int> file_attributes(const std::string& path) override {
    auto it = attrs.find(path);
    if (it == attrs.end()) return std::nullopt;
    return it->second;
  }
};

TEST(Catalogue, OnlyExactAttributeValuesZeroArchiveOrReadOnly) {
  FakeListing p;
  p.folders["D:\\Pics\\"] = {"gone.bmp",   "n.bmp",   "arc.bmp", "ro.bmp",
                             "ro_arc.bmp", "sys.bmp", "hid.bmp"};
  p.attrs = {{"D:\\Pics\\n.bmp", 0},       {"D:\\Pics\\arc.bmp", 32}, {"D:\\Pics\\ro.bmp", 1},
             {"D:\\Pics\\ro_arc.bmp", 33}, {"D:\\Pics\\sys.bmp", 4},  {"D:\\Pics\\hid.bmp", 2}};
  Varnoscape_B m = all_kinds();
  Build_Catalogue(m, p, "D:\\Pics");
  EXPECT_EQ(entries(m),
            (std::vector<std::string>{"D:\\Pics\\arc.bmp", "D:\\Pics\\n.bmp", "D:\\Pics\\ro.bmp"}));
  // A name that vanished is passed over. All masks name one folder, read
  // as the masks spell it.
  EXPECT_EQ(p.listed, std::vector<std::string>{"D:\\Pics\\"});
}

TEST(Catalogue, ListFilesAppendsOneMaskInListingOrder) {
  FakeListing p;
  p.style = kPosixPaths;
  p.folders["/p/"] = {"b.gif", "a.GIF", "c.gif", "d.bmp", "e.gif"};
  p.attrs = {{"/p/b.gif", 1}, {"/p/a.GIF", 1}, {"/p/c.gif", 0}, {"/p/d.bmp", 1}, {"/p/e.gif", 1}};
  Varnoscape_B m;
  m.File_List = {"", "/old/z.bmp"};
  m.File_Count = 1;
  List_Files(m, p, "/p/*.gif", 1);
  EXPECT_EQ(entries(m),
            (std::vector<std::string>{"/old/z.bmp", "/p/b.gif", "/p/a.GIF", "/p/e.gif"}));
  // A folder that cannot be listed adds nothing.
  List_Files(m, p, "/q/*.gif", 1);
  EXPECT_EQ(m.File_Count, 4);
  // No folder part: the entries start with a lone separator.
  p.folders[""] = {"x.jpg"};
  p.attrs["/x.jpg"] = 0;
  List_Files(m, p, "*.jpg", 0);
  EXPECT_EQ(m.File_List[5], "/x.jpg");
}

TEST(Catalogue, DriveRootDoublesTheSeparator) {
  FakeListing p;
  p.folders["D:\\\\"] = {"a.gif"};
  p.attrs = {{"D:\\\\a.gif", 0}};
  Varnoscape_B m = all_kinds();
  Build_Catalogue(m, p, "D:\\");
  EXPECT_EQ(entries(m), std::vector<std::string>{"D:\\\\a.gif"});
}

TEST(Catalogue, StopsAtTheSixteenBitLimit) {
  FakeListing p;
  p.style = kPosixPaths;
  std::vector<std::string>& names = p.folders["/big/"];
  for (int i = 0; i < 32770; ++i) {
    names.push_back(std::to_string(100000 + i) + (i % 2 ? ".bmp" : ".jpg"));
    p.attrs["/big/" + names.back()] = 0;
  }
  Varnoscape_B m = all_kinds();
  Build_Catalogue(m, p, "/big");
  ASSERT_EQ(m.File_Count, 32767);
  EXPECT_EQ(m.File_List.size(), 32768u);
  // The bitmaps (16385) come first; the JPEG mask stops at the limit.
  EXPECT_EQ(m.File_List[1], "/big/100000.jpg");
  EXPECT_EQ(m.File_List[32767], "/big/132769.bmp");
  for (int i = 2; i <= m.File_Count; ++i) ASSERT_LT(m.File_List[i - 1], m.File_List[i]);
}

// The pairwise exchange sort the catalogue's order is defined by.
void exchange_sort(std::vector<std::string>& v) {
  for (size_t i = 0; i < v.size(); ++i)
    for (size_t j = i + 1; j < v.size(); ++j)
      if (v[i].compare(v[j]) >= 0) std::swap(v[i], v[j]);
}

TEST(Catalogue, SortGivesTheExchangeSortOrder) {
  std::mt19937 gen(12345);
  // Bytes from a small alphabet so that names share prefixes and some are
  // prefixes of others; high bytes from UTF-8 sequences.
  const std::vector<std::string> pieces = {
      "a", "A", "b", "Z", "0", "9", ".", "_", "~", "\xC3\xA9", "\xE3\x81\x82", "\x7F", "\xFF"};
  for (int round = 0; round < 20; ++round) {
    std::vector<std::string> names;
    int n = 1 + static_cast<int>(gen() % 300);
    for (int i = 0; i < n; ++i) {
      std::string s = "/dir/";
      int len = static_cast<int>(gen() % 6);
      for (int k = 0; k < len; ++k) s += pieces[gen() % pieces.size()];
      names.push_back(s);
    }
    Varnoscape_B m;
    m.File_List.assign(1, "");
    m.File_List.insert(m.File_List.end(), names.begin(), names.end());
    m.File_List.push_back("beyond the count");
    m.File_Count = static_cast<int16_t>(n);
    Sort_Catalogue(m);
    exchange_sort(names);
    ASSERT_EQ(entries(m), names) << "round " << round;
    EXPECT_EQ(m.File_List.back(), "beyond the count");
    EXPECT_EQ(m.File_List[0], "");
  }
}

TEST(Catalogue, SortSurvivesACountBeyondTheList) {
  Varnoscape_B m;
  m.File_List = {"", "b", "a"};
  m.File_Count = 9;
  Sort_Catalogue(m);
  EXPECT_EQ(m.File_List, (std::vector<std::string>{"", "a", "b"}));
  m.File_Count = -3;
  Sort_Catalogue(m);
  m.File_List.clear();
  m.File_Count = 2;
  Sort_Catalogue(m);
  EXPECT_TRUE(m.File_List.empty());
}

}  // namespace
}  // namespace vs
