#include "settings/catalogue.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include "support/loaded.h"

#include <algorithm>
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

std::vector<std::string> entries(const testing::Loaded& m) {
  return {m.catalogue.files.begin() + 1, m.catalogue.files.begin() + 1 + m.catalogue.count};
}

testing::Loaded all_kinds() {
  testing::Loaded m;
  m.settings.kinds.fill(1);
  return m;
}

TEST(Catalogue, SortsFullPathsByBytesUpperCaseFirst) {
  TempFolder dir;
  for (const char* name : {"b.jpg", "A.bmp", "a.gif", "C.wmf"}) dir.file(name);
  OffscreenPlatform p;
  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
  std::string d = dir.path() + kSep;
  EXPECT_EQ(entries(m),
            (std::vector<std::string>{d + "A.bmp", d + "C.wmf", d + "a.gif", d + "b.jpg"}));
  EXPECT_EQ(m.catalogue.files.size(), 5u);
  EXPECT_EQ(m.catalogue.files[0], "");
}

TEST(Catalogue, TakesOnlyKindsSetToExactlyOne) {
  TempFolder dir;
  for (const char* name : {"b.jpg", "A.bmp", "a.gif", "C.wmf"}) dir.file(name);
  OffscreenPlatform p;
  for (int16_t gif : {0, 2, -1}) {
    testing::Loaded m = all_kinds();
    m.settings.kinds[1] = gif;
    build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
    std::string d = dir.path() + kSep;
    EXPECT_EQ(entries(m), (std::vector<std::string>{d + "A.bmp", d + "C.wmf", d + "b.jpg"}))
        << "the GIF switch = " << gif;
  }
  testing::Loaded none;
  build_catalogue(p, none.settings.kinds, dir.path(), none.catalogue);
  EXPECT_EQ(none.catalogue.count, 0);
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

  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
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

  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
  EXPECT_EQ(entries(m), (std::vector<std::string>{dir.path() + kSep + "plain.jpg", ro}));
}

#endif

TEST(Catalogue, MatchesExtensionsWithoutRegardToCase) {
  TempFolder dir;
  for (const char* name : {"X.JPG", "y.Jpg", "z.jpeg", "w.jpgx", "jpg", "v.bmp.txt", "u.GIF"})
    dir.file(name);
  OffscreenPlatform p;
  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
  std::string d = dir.path() + kSep;
  EXPECT_EQ(entries(m),
            (std::vector<std::string>{d + "X.JPG", d + "u.GIF", d + "y.Jpg", d + "z.jpeg"}));
}

// Each kind by every name it goes by, whatever the case; a kind switched
// off takes all of its names with it, and the others stay.
TEST(Catalogue, EveryKindByEachOfItsNames) {
  const std::vector<std::vector<std::string>> names_by_kind = {
      {"a.bmp"},
      {"b.GIF"},
      {"c.jpg", "d.JPEG", "e.jpe", "f.Jfif"},
      {"g.wmf"},
      {"h.png"},
      {"i.WebP"},
      {"j.heic", "k.HEIF"},
      {"l.avif"},
      {"m.tif", "n.TIFF"},
  };
  TempFolder dir;
  for (const auto& names : names_by_kind)
    for (const std::string& name : names) dir.file(name);
  for (const char* other : {"o.tiff.txt", "p.pn", "q.heics", "r.jp"}) dir.file(other);
  OffscreenPlatform p;
  const std::string d = dir.path() + kSep;
  for (size_t off = 0; off <= kKindCount; ++off) {
    testing::Loaded m = all_kinds();
    if (off < kKindCount) m.settings.kinds[off] = 0;
    build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
    std::vector<std::string> want;
    for (size_t k = 0; k < kKindCount; ++k)
      if (k != off)
        for (const std::string& name : names_by_kind[k]) want.push_back(d + name);
    std::sort(want.begin(), want.end());
    EXPECT_EQ(entries(m), want) << "kind " << off << " off";
  }
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
  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
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
  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
  EXPECT_EQ(m.catalogue.count, 0);

  // A rebuild that finds nothing empties the catalogue; the old slots stay
  // but are no longer part of it.
  dir.file("a.gif");
  build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
  ASSERT_EQ(m.catalogue.count, 1);
  fs::remove(dir.path() + kSep + "a.gif");
  build_catalogue(p, m.settings.kinds, dir.path(), m.catalogue);
  EXPECT_EQ(m.catalogue.count, 0);
  EXPECT_EQ(m.catalogue.files.size(), 2u);

  build_catalogue(p, m.settings.kinds, dir.path() + kSep + "no-such-folder", m.catalogue);
  EXPECT_EQ(m.catalogue.count, 0);
  build_catalogue(p, m.settings.kinds, "", m.catalogue);
  EXPECT_EQ(m.catalogue.count, 0);
  // A plain file passes for a folder elsewhere and lists nothing here.
  build_catalogue(p, m.settings.kinds, dir.path() + kSep + "notes.txt", m.catalogue);
  EXPECT_EQ(m.catalogue.count, 0);
}

TEST(Catalogue, FolderExists) {
  TempFolder dir;
  std::string file = dir.file("a.bmp");
  OffscreenPlatform p;
  EXPECT_TRUE(folder_exists(p, dir.path()));
  EXPECT_TRUE(folder_exists(p, file));  // a plain file passes too
  EXPECT_FALSE(folder_exists(p, ""));
  EXPECT_FALSE(folder_exists(p, dir.path() + kSep + "missing"));
  EXPECT_FALSE(folder_exists(p, file + kSep + "below-a-file"));
#ifndef _WIN32
  fs::create_symlink(dir.path() + kSep + "missing", dir.path() + kSep + "dangling");
  EXPECT_FALSE(folder_exists(p, dir.path() + kSep + "dangling"));
#endif
  std::string removed = dir.path() + kSep + "removed";
  fs::create_directory(removed);
  EXPECT_TRUE(folder_exists(p, removed));
  fs::remove(removed);
  EXPECT_FALSE(folder_exists(p, removed));
}

TEST(Catalogue, FolderOfEachPathStyle) {
  EXPECT_EQ(folder_of("D:\\Pics\\*.gif", kWindowsPaths), "D:\\Pics");
  EXPECT_EQ(folder_of("D:\\\\*.bmp", kWindowsPaths), "D:\\");
  EXPECT_EQ(folder_of("D:*.bmp", kWindowsPaths), "D:");
  EXPECT_EQ(folder_of("*.bmp", kWindowsPaths), "");
  EXPECT_EQ(folder_of("\\*.bmp", kWindowsPaths), "");
  EXPECT_EQ(folder_of("", kWindowsPaths), "");
  EXPECT_EQ(folder_of("/pics/*.bmp", kPosixPaths), "/pics");
  EXPECT_EQ(folder_of("//*.bmp", kPosixPaths), "/");
  EXPECT_EQ(folder_of("*.bmp", kPosixPaths), "");
  // On POSIX a colon is part of a name and a backslash is no separator.
  EXPECT_EQ(folder_of("/p/D:x/*.jpg", kPosixPaths), "/p/D:x");
  EXPECT_EQ(folder_of("D:*.jpg", kPosixPaths), "");
  EXPECT_EQ(folder_of("/a\\b/*.jpg", kPosixPaths), "/a\\b");
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
  std::optional<std::vector<FolderEntry>> list_folder(const std::string& folder) override {
    listed.push_back(folder);
    auto it = folders.find(folder);
    if (it == folders.end()) return std::nullopt;
    std::vector<FolderEntry> entries;
    for (const std::string& name : it->second) entries.push_back({name, std::nullopt, true});
    return entries;
  }
  std::optional<int> file_attributes(const std::string& path) override {
    auto it = attrs.find(path);
    if (it == attrs.end()) return std::nullopt;
    return it->second;
  }
  // A folder is itself unless it is a junction to another.
  std::map<std::string, std::string> junctions;
  std::optional<std::string> folder_identity(const std::string& path) override {
    std::string folder = path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
    if (auto it = junctions.find(folder); it != junctions.end()) return it->second;
    return folder;
  }
};

// Subfolders, as Windows lists them: hidden and system folders left out,
// a junction back up walked once, files in the order of their full paths
// ("a b\" before "a\" before "a_b\"), and the limit over the whole tree.
TEST(Catalogue, SubfoldersAreWalkedInPathOrderOnce) {
  FakeListing p;
  auto folder = [&](const std::string& path, int attrs, std::vector<std::string> names) {
    p.attrs[path] = attrs;
    p.folders[path] = std::move(names);
  };
  folder("D:\\P\\", kAttrDirectory, {"z.jpg", "a_b", "a", "a b", "hid", "sys", "up", "b.gif"});
  folder("D:\\P\\a", kAttrDirectory | kAttrReadOnly, {"x.jpg", "deeper"});
  folder("D:\\P\\a\\deeper", kAttrDirectory, {"y.png"});
  folder("D:\\P\\a b", kAttrDirectory, {"x.jpg"});
  folder("D:\\P\\a_b", kAttrDirectory, {"x.jpg", "ro_arc.jpg", "hidden.jpg"});
  folder("D:\\P\\hid", kAttrDirectory | kAttrHidden, {"x.jpg"});
  folder("D:\\P\\sys", kAttrDirectory | kAttrSystem, {"x.jpg"});
  folder("D:\\P\\up", kAttrDirectory, {"z.jpg"});
  p.junctions["D:\\P\\up"] = "D:\\P";
  for (const char* file : {"z.jpg", "b.gif", "a\\x.jpg", "a\\deeper\\y.png", "a b\\x.jpg",
                           "a_b\\x.jpg", "hid\\x.jpg", "sys\\x.jpg", "up\\z.jpg"}) {
    p.attrs[std::string("D:\\P\\") + file] = kAttrArchive;
  }
  p.attrs["D:\\P\\a_b\\ro_arc.jpg"] = kAttrArchive | kAttrReadOnly;
  p.attrs["D:\\P\\a_b\\hidden.jpg"] = kAttrHidden;
  const std::vector<std::string> all = {"D:\\P\\a b\\x.jpg", "D:\\P\\a\\deeper\\y.png",
                                        "D:\\P\\a\\x.jpg",   "D:\\P\\a_b\\x.jpg",
                                        "D:\\P\\b.gif",      "D:\\P\\z.jpg"};
  for (int budget : {1, 3, 1000}) {
    PictureWalk walk(p, "D:\\P", testing::first_kinds({1, 1, 1, 1}), true);
    std::vector<std::string> taken;
    while (!walk.step(budget, [&](const std::string& path) { taken.push_back(path); })) {
    }
    EXPECT_EQ(taken, all) << budget;
    EXPECT_EQ(walk.problem(), PictureWalk::Problem::None);
  }
  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, "D:\\P", m.catalogue, true);
  EXPECT_EQ(entries(m), all);
  // Without subfolders: the folder alone, as ever.
  build_catalogue(p, m.settings.kinds, "D:\\P", m.catalogue);
  EXPECT_EQ(entries(m), (std::vector<std::string>{"D:\\P\\b.gif", "D:\\P\\z.jpg"}));

  // The limit counts the whole tree and keeps the first paths.
  FakeListing big;
  big.style = kPosixPaths;
  for (int f = 0; f < 40; ++f) {
    const std::string sub = "/big/" + std::to_string(100 + f);
    big.attrs[sub] = kAttrDirectory;
    big.folders["/big/"].push_back(std::to_string(100 + f));
    for (int i = 0; i < 1000; ++i) {
      big.folders[sub].push_back(std::to_string(1000 + i) + ".jpg");
      big.attrs[sub + "/" + big.folders[sub].back()] = 0;
    }
  }
  build_catalogue(big, m.settings.kinds, "/big", m.catalogue, true);
  ASSERT_EQ(m.catalogue.count, kMaxPictures);
  EXPECT_EQ(m.catalogue.files[1], "/big/100/1000.jpg");
  EXPECT_EQ(m.catalogue.files[kMaxPictures], "/big/132/1766.jpg");
}

TEST(Catalogue, OnlyExactAttributeValuesZeroArchiveOrReadOnly) {
  FakeListing p;
  p.folders["D:\\Pics\\"] = {"gone.bmp",   "n.bmp",   "arc.bmp", "ro.bmp",
                             "ro_arc.bmp", "sys.bmp", "hid.bmp"};
  p.attrs = {{"D:\\Pics\\n.bmp", 0},       {"D:\\Pics\\arc.bmp", 32}, {"D:\\Pics\\ro.bmp", 1},
             {"D:\\Pics\\ro_arc.bmp", 33}, {"D:\\Pics\\sys.bmp", 4},  {"D:\\Pics\\hid.bmp", 2}};
  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, "D:\\Pics", m.catalogue);
  EXPECT_EQ(entries(m),
            (std::vector<std::string>{"D:\\Pics\\arc.bmp", "D:\\Pics\\n.bmp", "D:\\Pics\\ro.bmp"}));
  // A name that vanished is passed over. All masks name one folder, read
  // as the masks spell it.
  EXPECT_EQ(p.listed, std::vector<std::string>{"D:\\Pics\\"});
}

// The walk both the catalogue and the dialog's listing take: passes, then
// kinds, then the folder's own order; the same files whatever the step;
// vanished names skipped and said.
TEST(Catalogue, TheWalkTakesFilesInListingOrderStepByStep) {
  FakeListing p;
  p.style = kPosixPaths;
  p.folders["/p/"] = {"b.gif", "a.GIF", "c.gif", "d.bmp", "e.gif", "gone.bmp", "f.jpg"};
  p.attrs = {{"/p/b.gif", 1}, {"/p/a.GIF", 0}, {"/p/c.gif", 32},
             {"/p/d.bmp", 1}, {"/p/e.gif", 0}, {"/p/f.jpg", 0}};
  for (int budget : {1, 2, 7, 1000}) {
    PictureWalk walk(p, "/p", {1, 1, 0, 1});
    std::vector<std::string> taken;
    int steps = 1;
    while (!walk.step(budget, [&](const std::string& path) { taken.push_back(path); })) ++steps;
    EXPECT_EQ(taken, (std::vector<std::string>{"/p/a.GIF", "/p/e.gif", "/p/c.gif", "/p/d.bmp",
                                               "/p/b.gif"}))
        << budget;
    EXPECT_EQ(walk.taken(), 5);
    EXPECT_EQ(walk.problem(), PictureWalk::Problem::FileVanished);
    if (budget == 1) {
      EXPECT_GT(steps, 20);
    }
  }
  PictureWalk unreadable(p, "/q", {1, 1, 1, 1});
  EXPECT_TRUE(unreadable.done());
  EXPECT_EQ(unreadable.problem(), PictureWalk::Problem::FolderUnreadable);
}

TEST(Catalogue, DriveRootDoublesTheSeparator) {
  FakeListing p;
  p.folders["D:\\\\"] = {"a.gif"};
  p.attrs = {{"D:\\\\a.gif", 0}};
  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, "D:\\", m.catalogue);
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
  testing::Loaded m = all_kinds();
  build_catalogue(p, m.settings.kinds, "/big", m.catalogue);
  ASSERT_EQ(m.catalogue.count, 32767);
  EXPECT_EQ(m.catalogue.files.size(), 32768u);
  // The bitmaps (16385) come first; the JPEG mask stops at the limit.
  EXPECT_EQ(m.catalogue.files[1], "/big/100000.jpg");
  EXPECT_EQ(m.catalogue.files[32767], "/big/132769.bmp");
  for (int i = 2; i <= m.catalogue.count; ++i)
    ASSERT_LT(m.catalogue.files[i - 1], m.catalogue.files[i]);
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
    testing::Loaded m;
    m.catalogue.files.assign(1, "");
    m.catalogue.files.insert(m.catalogue.files.end(), names.begin(), names.end());
    m.catalogue.files.push_back("beyond the count");
    m.catalogue.count = static_cast<int16_t>(n);
    sort_catalogue(m.catalogue);
    exchange_sort(names);
    ASSERT_EQ(entries(m), names) << "round " << round;
    EXPECT_EQ(m.catalogue.files.back(), "beyond the count");
    EXPECT_EQ(m.catalogue.files[0], "");
  }
}

TEST(Catalogue, SortSurvivesACountBeyondTheList) {
  testing::Loaded m;
  m.catalogue.files = {"", "b", "a"};
  m.catalogue.count = 9;
  sort_catalogue(m.catalogue);
  EXPECT_EQ(m.catalogue.files, (std::vector<std::string>{"", "a", "b"}));
  m.catalogue.count = -3;
  sort_catalogue(m.catalogue);
  m.catalogue.files.clear();
  m.catalogue.count = 2;
  sort_catalogue(m.catalogue);
  EXPECT_TRUE(m.catalogue.files.empty());
}

}  // namespace
}  // namespace vs
