#include "settings/settings.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include "support/loaded.h"

#ifdef _WIN32
#include "platform/win32/win32_files.h"
#else
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "platform/offscreen/offscreen_platform.h"
#include "settings/settings_location.h"

namespace vs {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

// The system's own words for a folder where a file was expected, and for
// a file where a folder was expected; the separator the catalogue joins
// with.
#ifdef _WIN32
const std::string kFolderError = win32::error_text(ERROR_DIRECTORY);
const std::string kNotAFolder = win32::error_text(ERROR_PATH_NOT_FOUND);
const std::string kSep = "\\";
#else
const std::string kFolderError = "Is a directory";
const std::string kNotAFolder = "Not a directory";
const std::string kSep = "/";
#endif

// The keys as the file holds them (code page 932).
const std::string kChange = "\x89\xE6\x91\x9C\xC1\xAA\xDD\xBC\xDE";
const std::string kSize = "\x89\xE6\x91\x9C\x82\xCC\xBB\xB2\xBD\xDE";
const std::string kFolder = "\x89\xE6\x91\x9C\x82\xCC\xCC\xAB\xD9\xC0\xDE";
std::string kind(int i) {
  return "\x89\xE6\x91\x9C\x8E\xED\x97\xDE\x5F" + std::to_string(i);
}
const std::string kWay = "\x95\x60\x89\xE6\x95\xFB\x96\x40";

// "写真" (photo) in UTF-8 and in code page 932.
const std::string kPhotoUtf8 = "写真";
const std::string kPhotoCp932 = "\x8E\xCA\x90\x5E";

void put_file(const std::string& path, const std::string& bytes) {
  std::ofstream(TempFolder::from_utf8(path), std::ios::binary) << bytes;
}

std::string get_file(const std::string& path) {
  std::ifstream in(TempFolder::from_utf8(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Counts the file accesses of a save.
class CountingPlatform : public OffscreenPlatform {
 public:
  ReadResult read_file(const std::string& path) override {
    ++reads;
    return OffscreenPlatform::read_file(path);
  }
  WriteResult replace_file(const std::string& path, std::string_view bytes) override {
    ++writes;
    return OffscreenPlatform::replace_file(path, bytes);
  }
  int reads = 0;
  int writes = 0;
};

class SettingsFile : public ::testing::Test {
 protected:
  SettingsFile() { p.set_env("VARNOSCAPE_INI", ini); }

  testing::Loaded load(const std::string& bytes) {
    put_file(ini, bytes);
    testing::Loaded m;
    load_settings(p, m.settings, m.catalogue);
    return m;
  }

  TempFolder dir;
  std::string ini = dir / "Varnoscape.ini";
  CountingPlatform p;
};

TEST_F(SettingsFile, NoFileGivesTheDefaults) {
  testing::Loaded m;
  m.settings.picture_order = 5, m.settings.picture_size = 5, m.settings.kinds = {7, 7, 7, 7},
  m.settings.drawing_method = 5;
  m.settings.folder = "/somewhere";
  m.catalogue.count = 3;
  load_settings(p, m.settings, m.catalogue);
  EXPECT_EQ(m.settings.picture_order, 0);
  EXPECT_EQ(m.settings.picture_size, 0);
  EXPECT_EQ(m.settings.kinds, testing::first_kinds({1, 1, 1, 1}));
  EXPECT_EQ(m.settings.folder, "");
  EXPECT_EQ(m.settings.drawing_method, 0);
  EXPECT_EQ(m.catalogue.count, 0);
}

TEST_F(SettingsFile, NumbersAreReadAsTheirFloorOrLeftAlone) {
  struct Case {
    const std::string* key;
    std::string text;
    int16_t Settings::*field;
    int16_t expected;  // starting from 0
  };
  for (const Case& c : std::initializer_list<Case>{
           {&kChange, " 1", &Settings::picture_order, 1},
           {&kChange, "1", &Settings::picture_order, 1},
           {&kChange, "  -1  ", &Settings::picture_order, -1},
           {&kSize, "1.9", &Settings::picture_size, 1},
           {&kWay, "-0.5", &Settings::drawing_method, -1},
           {&kWay, "abc", &Settings::drawing_method, 0},
           {&kChange, "40000", &Settings::picture_order, 0},
           {&kChange, "32767", &Settings::picture_order, 32767},
           {&kChange, "-32768", &Settings::picture_order, -32768},
           {&kChange, "\" 1\"", &Settings::picture_order, 1},
       }) {
    testing::Loaded m = load("[Section]\r\n" + *c.key + "=" + c.text + "\r\n");
    EXPECT_EQ(m.settings.*c.field, c.expected) << c.text;
  }
  // A refused text keeps what the variable held before.
  put_file(ini, "[Section]\r\n" + kWay + "=abc\r\n" + kChange + "=40000\r\n");
  testing::Loaded m;
  m.settings.drawing_method = 1, m.settings.picture_order = 1;
  load_settings(p, m.settings, m.catalogue);
  EXPECT_EQ(m.settings.drawing_method, 1);
  EXPECT_EQ(m.settings.picture_order, 1);
}

TEST_F(SettingsFile, KindKeysEnableOnlyWithOne) {
  TempFolder pictures;
  for (const char* name : {"a.bmp", "b.gif", "c.jpg", "d.wmf"}) put_file(pictures / name, "x");
  std::string head = "[Section]\r\n" + kFolder + "=" + pictures.path() + "\r\n";

  testing::Loaded m = load(head + kind(2) + "=\r\n");
  EXPECT_EQ(m.settings.kinds, testing::first_kinds({1, 1, 1, 1}));
  EXPECT_EQ(m.catalogue.count, 4);

  m = load(head + kind(2) + "=0\r\n");
  EXPECT_EQ(m.settings.kinds[2], 0);
  EXPECT_EQ(m.catalogue.count, 3);

  m = load(head + kind(2) + "= 2\r\n" + kind(0) + "=x\r\n");
  EXPECT_EQ(m.settings.kinds, testing::first_kinds({0, 1, 2, 1}));
  ASSERT_EQ(m.catalogue.count, 2);
  EXPECT_EQ(m.catalogue.files[1], pictures / "b.gif");
  EXPECT_EQ(m.catalogue.files[2], pictures / "d.wmf");
}

// The later kinds' keys: missing means shown, so a file holding only the
// first four kinds' keys shows them and stays byte for byte as it is while
// they are shown; a key is written once it says something else, and kept
// up to date from then on.
TEST_F(SettingsFile, LaterKindKeysAreWrittenOnlyWhenTheySaySomething) {
  TempFolder pictures;
  for (const char* name : {"a.bmp", "b.png", "c.webp", "d.heic", "e.avif", "f.tif"})
    put_file(pictures / name, "x");
  const std::string first = "[Section]\r\n" + kChange + "= 0\r\n" + kSize + "= 0\r\n" + kFolder +
                            "=" + pictures.path() + "\r\n" + kind(0) + "= 1\r\n" + kind(1) +
                            "= 1\r\n" + kind(2) + "= 1\r\n" + kind(3) + "= 1\r\n" + kWay +
                            "= 0\r\n";
  struct Case {
    std::string file;        // what the settings file holds before
    size_t kind;             // the kind then switched
    int16_t to;              // and its new value
    int16_t catalogued;      // the files of the folder before the switch
    std::string later_keys;  // what the save adds at the end
  };
  for (const Case& c : {
           Case{first, 4, 1, 6, ""},
           Case{first, 5, 0, 6, kind(5) + "= 0\r\n"},
           Case{first + kind(6) + "= 0\r\n", 6, 1, 5, kind(6) + "= 1\r\n"},
           Case{first + kind(7) + "=\r\n", 7, 1, 6, kind(7) + "=\r\n"},
           Case{first + kind(8) + "= 2\r\n", 8, 2, 5, kind(8) + "= 2\r\n"},
           Case{first + kind(8) + "=-1\r\n", 4, -3, 5, kind(8) + "=-1\r\n" + kind(4) + "=-3\r\n"},
           // Garbled, as for the first four kinds: hidden, and saved as such.
           Case{first + kind(5) + "=abc\r\n", 4, 1, 5, kind(5) + "= 0\r\n"},
       }) {
    testing::Loaded m = load(c.file);
    EXPECT_EQ(m.catalogue.count, c.catalogued) << c.file;
    m.settings.kinds[c.kind] = c.to;
    ASSERT_TRUE(save_settings(p, m.settings, pictures.path()).ok);
    const std::string saved = get_file(ini);
    EXPECT_EQ(saved, c.file.substr(0, first.size()) + c.later_keys) << c.file;
    testing::Loaded back = load(saved);
    EXPECT_EQ(back.settings.kinds, m.settings.kinds) << c.file;
  }
}

TEST_F(SettingsFile, FolderIsTakenOnlyWhenItExists) {
  TempFolder pictures;
  fs::create_directory(TempFolder::from_utf8(pictures / kPhotoUtf8));
  put_file(pictures / kPhotoUtf8 + kSep + "x.jpg", "x");

  testing::Loaded m = load("[Section]\r\n" + kFolder + "=" + pictures.path() + kSep + kPhotoCp932);
  EXPECT_EQ(m.settings.folder, pictures / kPhotoUtf8);
  ASSERT_EQ(m.catalogue.count, 1);
  EXPECT_EQ(m.catalogue.files[1], pictures / kPhotoUtf8 + kSep + "x.jpg");

  for (std::string gone : {pictures / "removed", pictures.path() + "/\x81",
                           pictures.path() + std::string("\0/x", 3)}) {
    m = load("[Section]\r\n" + kFolder + "=" + gone + "\r\n");
    EXPECT_EQ(m.settings.folder, "");
    EXPECT_EQ(m.catalogue.count, 0);
  }
}

// A settings path that is no readable file gives the defaults at once (a
// FIFO is never waited on), and the reason goes to the log.
TEST_F(SettingsFile, UnreadableFileGivesTheDefaultsAndIsReported) {
  std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { fs::create_directory(ini); }, kFolderError},
  };
#ifndef _WIN32
  cases.push_back({[&] { mkfifo(ini.c_str(), 0644); }, "not a regular file"});
  cases.push_back({[&] { fs::create_symlink("/dev/zero", ini); }, "not a regular file"});
#endif
  for (const auto& [make, reason] : cases) {
    fs::remove(ini);
    make();
    p.reports.clear();
    testing::Loaded m;
    m.settings.picture_order = 9;
    load_settings(p, m.settings, m.catalogue);
    EXPECT_EQ(m.settings.picture_order, 0) << reason;
    EXPECT_EQ(m.settings.kinds, testing::first_kinds({1, 1, 1, 1})) << reason;
    ASSERT_EQ(p.reports.size(), 1u) << reason;
    EXPECT_EQ(p.reports[0], "cannot read the settings file " + ini + " (" + reason +
                                "): using the default settings");
  }
}

TEST_F(SettingsFile, FreshFileHoldsTheEightKeysInOrder) {
  testing::Loaded m;
  m.settings.picture_order = 1, m.settings.picture_size = 0,
  m.settings.kinds = testing::first_kinds({1, -1, 0, 1}), m.settings.drawing_method = 1;
  SaveResult r = save_settings(p, m.settings, "/pictures/" + kPhotoUtf8);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.path, ini);
  EXPECT_TRUE(r.unwritten.empty());
  EXPECT_EQ(m.settings.folder, "/pictures/" + kPhotoUtf8);
  EXPECT_EQ(get_file(ini), "[Section]\r\n" + kChange + "= 1\r\n" + kSize + "= 0\r\n" + kFolder +
                               "=/pictures/" + kPhotoCp932 + "\r\n" + kind(0) + "= 1\r\n" +
                               kind(1) + "=-1\r\n" + kind(2) + "= 0\r\n" + kind(3) + "= 1\r\n" +
                               kWay + "= 1\r\n");
  EXPECT_EQ(p.reads, 1);
  EXPECT_EQ(p.writes, 1);
}

TEST_F(SettingsFile, SaveKeepsEverythingElseAndLoadsBack) {
  TempFolder pictures;
  put_file(pictures / "one.bmp", "x");
  put_file(pictures / "two.gif", "x");
  const std::string before =
      "; settings of the picture saver\r\n"
      "stray=before any section\r\n"
      "[Other]\n"
      "  keep = me  \n"
      "\n"
      "  [  SECTION  ]  \r\n"
      "\t" +
      kChange +
      "   =   0   \r\n"
      "; a comment between the keys\r\n"
      "unrelated=1\r\n" +
      kWay +
      " = 0\r"
      "\r\n"
      "[Last]\r\n"
      "x=y";
  put_file(ini, before);
  testing::Loaded m;
  m.settings.picture_order = 1, m.settings.picture_size = 1,
  m.settings.kinds = testing::first_kinds({1, 1, 0, 1}), m.settings.drawing_method = 1;
  SaveResult r = save_settings(p, m.settings, pictures.path());
  ASSERT_TRUE(r.ok) << r.error;

  EXPECT_EQ(get_file(ini),
            "; settings of the picture saver\r\n"
            "stray=before any section\r\n"
            "[Other]\n"
            "  keep = me  \n"
            "\n"
            "  [  SECTION  ]  \r\n"
            "\t" +
                kChange +
                "   = 1\r\n"
                "; a comment between the keys\r\n"
                "unrelated=1\r\n" +
                kWay + " = 1\r" + kSize + "= 1\r\n" + kFolder + "=" + pictures.path() + "\r\n" +
                kind(0) + "= 1\r\n" + kind(1) + "= 1\r\n" + kind(2) + "= 0\r\n" + kind(3) +
                "= 1\r\n"
                "\r\n"
                "[Last]\r\n"
                "x=y");

  testing::Loaded back;
  load_settings(p, back.settings, back.catalogue);
  EXPECT_EQ(back.settings.picture_order, 1);
  EXPECT_EQ(back.settings.picture_size, 1);
  EXPECT_EQ(back.settings.kinds, m.settings.kinds);
  EXPECT_EQ(back.settings.drawing_method, 1);
  EXPECT_EQ(back.settings.folder, pictures.path());
  ASSERT_EQ(back.catalogue.count, 2);
  EXPECT_EQ(back.catalogue.files[1], pictures / "one.bmp");

  // Saving the same record again changes nothing.
  std::string once = get_file(ini);
  ASSERT_TRUE(save_settings(p, back.settings, back.settings.folder).ok);
  EXPECT_EQ(get_file(ini), once);
}

TEST_F(SettingsFile, LongFolderComesBackWhole) {
  TempFolder pictures;
  std::string folder = pictures.path();
  for (int i = 0; i < 6; ++i) folder += kSep + kPhotoUtf8 + std::string(60, 'a' + i);
  fs::create_directories(TempFolder::from_utf8(folder));
  put_file(folder + kSep + "z.wmf", "x");
  ASSERT_GT(utf8_to_cp932(folder)->size(), 300u);

  testing::Loaded m;
  m.settings.kinds = testing::first_kinds({1, 1, 1, 1});
  ASSERT_TRUE(save_settings(p, m.settings, folder).ok);
  testing::Loaded back;
  load_settings(p, back.settings, back.catalogue);
  EXPECT_EQ(back.settings.folder, folder);
  ASSERT_EQ(back.catalogue.count, 1);
  EXPECT_EQ(back.catalogue.files[1], folder + kSep + "z.wmf");
}

TEST_F(SettingsFile, FolderThatTheReaderWouldChangeIsQuoted) {
  TempFolder pictures;
  for (std::string name : {" leading blank", "trailing blank ", "'quoted'"}) {
    std::string folder = pictures / name;
    fs::create_directory(folder);
    testing::Loaded m;
    ASSERT_TRUE(save_settings(p, m.settings, folder).ok);
    testing::Loaded back;
    load_settings(p, back.settings, back.catalogue);
    EXPECT_EQ(back.settings.folder, folder);
  }
}

TEST_F(SettingsFile, FolderThatCannotBeStoredIsRefusedAndTheRestWritten) {
  const std::string old_folder = kFolder + "=/old/folder\r\n";
  for (std::string folder : {std::string("/a\nb"), std::string("/a\rb")}) {
    put_file(ini, "[Section]\r\n" + old_folder);
    testing::Loaded m;
    m.settings.drawing_method = 1;
    SaveResult r = save_settings(p, m.settings, folder);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("画像のﾌｫﾙﾀﾞ"), std::string::npos) << r.error;
    EXPECT_EQ(r.unwritten, std::vector<std::string>{"画像のﾌｫﾙﾀﾞ"});
    std::string after = get_file(ini);
    EXPECT_NE(after.find(old_folder), std::string::npos);
    EXPECT_NE(after.find(kWay + "= 1\r\n"), std::string::npos);
  }
}

// Any folder name is kept: one code page 932 spells stays in the folder key
// as ever; any other goes, escaped into ASCII, to a key of its own while the
// folder key is emptied, so that a reader of the folder key alone finds no
// folder rather than a wrong one. The subfolders switch is written once it
// is on, or once the file holds it.
TEST_F(SettingsFile, EveryFolderNameAndTheSubfoldersSwitchComeBack) {
  const std::string unicode = "\x89\xE6\x91\x9C\x82\xCC\xCC\xAB\xD9\xC0\xDE_UTF8";
  const std::string subfolders = "\xBB\xCC\xDE\xCC\xAB\xD9\xC0\xDE";
  TempFolder root;
  struct Case {
    std::string name;          // the folder's own name, UTF-8
    std::string before;        // later keys the file holds before the save
    int16_t subfolders;        // the switch saved
    std::string folder_bytes;  // the folder key's value after the save
    std::string later_keys;    // the lines the save leaves after the eight keys
  };
  const std::string munich = "Urlaub M\xC3\xBCnchen Zo\xC3\xAB \xED\x95\x9C\xEA\xB5\xAD";
  for (const Case& c : {
           Case{kPhotoUtf8, "", 0, root.path() + kSep + kPhotoCp932, ""},
           Case{kPhotoUtf8, "", 1, root.path() + kSep + kPhotoCp932, subfolders + "= 1\r\n"},
           Case{munich, "", 0, "",
                unicode + "=" + root.path() + kSep +
                    "Urlaub M%C3%BCnchen Zo%C3%AB %ED%95%9C%EA%B5%AD\r\n"},
           Case{"100% caf\xC3\xA9", "", 0, "",
                unicode + "=" + root.path() + kSep + "100%25 caf%C3%A9\r\n"},
           Case{"caf\xC3\xA9", subfolders + "= 1\r\n", 0, "",
                subfolders + "= 0\r\n" + unicode + "=" + root.path() + kSep + "caf%C3%A9\r\n"},
           // A name code page 932 spells again empties the other key, which
           // would otherwise name a folder once the folder key is emptied.
           Case{kPhotoUtf8, unicode + "=/x%C3%A9\r\n", 0, root.path() + kSep + kPhotoCp932,
                unicode + "=\r\n"},
       }) {
    const std::string folder = root / c.name;
    fs::create_directories(TempFolder::from_utf8(folder));
    put_file(folder + kSep + "a.jpg", "x");
    put_file(ini, "[Section]\r\n" + c.before);
    testing::Loaded m;
    m.settings.kinds.fill(1);
    m.settings.subfolders = c.subfolders;
    SaveResult r = save_settings(p, m.settings, folder);
    ASSERT_TRUE(r.ok) << r.error;
    const std::string saved = get_file(ini);
    EXPECT_NE(saved.find(kFolder + "=" + c.folder_bytes + "\r\n"), std::string::npos) << saved;
    const size_t way = saved.find(kWay + "= 0\r\n");
    ASSERT_NE(way, std::string::npos);
    // The keys the file held before stay where they were.
    std::string later = saved.substr(0, saved.find(kChange));
    later = later.substr(std::string("[Section]\r\n").size()) + saved.substr(way + kWay.size() + 5);
    EXPECT_EQ(later, c.later_keys) << c.name;
    testing::Loaded back = load(saved);
    EXPECT_EQ(back.settings.folder, folder);
    EXPECT_EQ(back.settings.subfolders, c.subfolders);
    // With subfolders the catalogue is left to the loop that shows it.
    EXPECT_EQ(back.catalogue.count, c.subfolders ? 0 : 1) << c.name;
    EXPECT_EQ(catalogue_walk_pending(back.settings), c.subfolders == 1);
  }
  // The folder key wins over the other one; a broken escape names nothing.
  for (const auto& [file, folder] : std::vector<std::pair<std::string, std::string>>{
           {kFolder + "=" + root.path() + kSep + kPhotoCp932 + "\r\n" + unicode + "=" +
                root.path() + kSep + "caf%C3%A9\r\n",
            root / kPhotoUtf8},
           {unicode + "=" + root.path() + kSep + "caf%C3%A\r\n", ""},
           {unicode + "=" + root.path() + kSep + "caf%00\r\n", ""},
           {subfolders + "=abc\r\n" + unicode + "=" + root.path() + kSep + "caf%c3%a9",
            root / "caf\xC3\xA9"},
       }) {
    testing::Loaded m = load("[Section]\r\n" + file);
    EXPECT_EQ(m.settings.folder, folder) << file;
    EXPECT_EQ(m.settings.subfolders, 0) << file;
  }
}

TEST_F(SettingsFile, FailedWriteIsReportedAndTheOldFileKept) {
  testing::Loaded m;
  m.settings.picture_order = 1;

  // The file's folder is not a folder.
  put_file(dir / "plain", "x");
  p.set_env("VARNOSCAPE_INI", dir / "plain" + kSep + "Varnoscape.ini");
  SaveResult r = save_settings(p, m.settings, "");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.path, dir / "plain" + kSep + "Varnoscape.ini");
  EXPECT_EQ(r.error, kNotAFolder);
  EXPECT_EQ(r.unwritten.size(), 8u);

  // A name so long that nothing could be added to it is still replaced.
  std::string long_name = dir / std::string(250, 'n');
  put_file(long_name, "[Section]\r\nold=1\r\n");
  p.set_env("VARNOSCAPE_INI", long_name);
  r = save_settings(p, m.settings, "");
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.path, long_name);
  EXPECT_EQ(get_file(long_name).rfind("[Section]\r\nold=1\r\n", 0), 0u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);

  // A settings path that cannot be read is not replaced: what it holds would
  // be lost.
  fs::create_directory(dir / "folder.ini");
  p.set_env("VARNOSCAPE_INI", dir / "folder.ini");
  r = save_settings(p, m.settings, "");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, kFolderError);
  EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));
}

TEST_F(SettingsFile, ReadOnlyFolderIsReported) {
  put_file(ini, "[Section]\r\nold=1\r\n");
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  if (std::ofstream(dir / "probe")) GTEST_SKIP() << "this user may write anywhere";
  testing::Loaded m;
  SaveResult r = save_settings(p, m.settings, "");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.path, ini);
  EXPECT_EQ(r.error, "Permission denied");
  EXPECT_EQ(get_file(ini), "[Section]\r\nold=1\r\n");
}

// A platform whose writable folders and path style the test decides.
class PlacesPlatform : public OffscreenPlatform {
 public:
  PathStyle path_style() const override { return style; }
  bool folder_writable(const std::string& folder) override { return writable.count(folder) > 0; }
  PathStyle style = kPosixPaths;
  std::set<std::string> writable;
};

TEST(SettingsLocation, FollowsTheOrderOfPlaces) {
  PlacesPlatform p;
  p.set_program_folder("/opt/varnoscape");
  p.set_user_config_folder("/home/u/.config");
  p.writable = {"/opt/varnoscape"};

  p.set_env("VARNOSCAPE_INI", "/named/by/env.ini");
  EXPECT_EQ(settings_location(p).path, "/named/by/env.ini");
  EXPECT_EQ(settings_location(p).per_user_folder, "");

  p.set_env("VARNOSCAPE_INI", "");
  EXPECT_EQ(settings_location(p).path, "/opt/varnoscape/Varnoscape.ini");
  p.set_env("VARNOSCAPE_INI", std::nullopt);
  EXPECT_EQ(settings_location(p).path, "/opt/varnoscape/Varnoscape.ini");
  EXPECT_EQ(settings_location(p).per_user_folder, "");

  p.writable.clear();
  EXPECT_EQ(settings_location(p).path, "/home/u/.config/varnoscape/Varnoscape.ini");
  EXPECT_EQ(settings_location(p).per_user_folder, "/home/u/.config/varnoscape");

  p.set_user_config_folder("");
  EXPECT_EQ(settings_location(p).path, "/opt/varnoscape/Varnoscape.ini");

  // A program in the root folder: the folder text is joined as it is.
  p.set_program_folder("/");
  p.writable = {"/"};
  EXPECT_EQ(settings_location(p).path, "//Varnoscape.ini");
}

TEST(SettingsLocation, WindowsSpelling) {
  PlacesPlatform p;
  p.set_env("VARNOSCAPE_INI", std::nullopt);
  p.style = kWindowsPaths;
  p.set_program_folder("C:\\Windows\\System32");
  p.set_user_config_folder("C:\\Users\\u\\AppData\\Roaming");
  EXPECT_EQ(settings_location(p).path,
            "C:\\Users\\u\\AppData\\Roaming\\Varnoscape\\Varnoscape.ini");
  p.set_program_folder("D:\\");
  p.writable = {"D:\\"};
  EXPECT_EQ(settings_location(p).path, "D:\\\\Varnoscape.ini");
}

// A copy in %LOCALAPPDATA%\Programs was put there by an installer: its
// folder is writable, yet its settings stay with the user's, where an
// uninstall leaves them. Any other writable folder holds a portable copy.
TEST(SettingsLocation, InstalledCopyKeepsItsSettingsPerUser) {
  const std::string local = "C:\\Users\\u\\AppData\\Local";
  struct Case {
    PathStyle style;
    std::optional<std::string> local_appdata;
    std::string program_folder;
    bool per_user;
  };
  const Case cases[] = {
      {kWindowsPaths, local, local + "\\Programs\\Varnoscape", true},
      {kWindowsPaths, local, "c:\\users\\U\\APPDATA\\local\\PROGRAMS\\Varnoscape", true},
      {kWindowsPaths, local, "C:/Users/u/AppData/Local/Programs/Varnoscape", true},
      {kWindowsPaths, "C:/Users/u/AppData/Local/", local + "\\Programs\\Tools\\Varnoscape", true},
      {kWindowsPaths, local + "\\", local + "\\\\Programs\\Varnoscape", true},
      {kWindowsPaths, local, local + "\\Programs", true},
      {kWindowsPaths, local, "D:\\Varnoscape", false},
      {kWindowsPaths, local, local + "\\Varnoscape", false},
      {kWindowsPaths, local, local + "\\ProgramsX\\Varnoscape", false},
      {kWindowsPaths, local, local + "\\Programs.old\\Varnoscape", false},
      {kWindowsPaths, std::nullopt, local + "\\Programs\\Varnoscape", false},
      {kWindowsPaths, "", local + "\\Programs\\Varnoscape", false},
      // Linux has no such place, whatever the environment says.
      {kPosixPaths, "/home/u/.local", "/home/u/.local/Programs/varnoscape", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program_folder + " with LOCALAPPDATA " + c.local_appdata.value_or("unset"));
    PlacesPlatform p;
    p.style = c.style;
    p.set_env("VARNOSCAPE_INI", std::nullopt);
    p.set_env("LOCALAPPDATA", c.local_appdata);
    p.set_program_folder(c.program_folder);
    p.writable = {c.program_folder};
    const std::string sep(1, c.style.separator);
    const std::string config =
        c.style.separator == '\\' ? "C:\\Users\\u\\AppData\\Roaming" : "/home/u/.config";
    p.set_user_config_folder(config);
    const std::string per_user =
        config + sep + (c.style.separator == '\\' ? "Varnoscape" : "varnoscape");
    const SettingsLocation where = settings_location(p);
    if (c.per_user) {
      EXPECT_EQ(where.path, per_user + sep + "Varnoscape.ini");
      EXPECT_EQ(where.per_user_folder, per_user);
    } else {
      EXPECT_EQ(where.path, c.program_folder + sep + "Varnoscape.ini");
      EXPECT_EQ(where.per_user_folder, "");
    }
    // The file the environment names still comes first.
    p.set_env("VARNOSCAPE_INI", "E:\\named.ini");
    EXPECT_EQ(settings_location(p).path, "E:\\named.ini");
  }
}

TEST(SettingsLocation, SaveCreatesThePerUserFolder) {
  TempFolder dir;
  TempFolder program;
  OffscreenPlatform p;
  p.set_env("VARNOSCAPE_INI", std::nullopt);
  p.set_program_folder(program / "not-there");
  p.set_user_config_folder(dir / "config");
  testing::Loaded m;
  m.settings.drawing_method = 1;
  SaveResult r = save_settings(p, m.settings, "");
  ASSERT_TRUE(r.ok) << r.error;
#ifdef _WIN32
  EXPECT_EQ(r.path, dir / "config\\Varnoscape\\Varnoscape.ini");
#else
  EXPECT_EQ(r.path, dir / "config/varnoscape/Varnoscape.ini");
#endif
  testing::Loaded back;
  load_settings(p, back.settings, back.catalogue);
  EXPECT_EQ(back.settings.drawing_method, 1);

  // Beside the program once that folder is writable.
  p.set_program_folder(program.path());
  r = save_settings(p, m.settings, "");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.path, program / "Varnoscape.ini");
  EXPECT_TRUE(fs::exists(program / "Varnoscape.ini"));

  // A per-user folder that cannot be made is reported.
  put_file(dir / "file", "x");
  p.set_program_folder(program / "not-there");
  p.set_user_config_folder(dir / "file");
  r = save_settings(p, m.settings, "");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(kNotAFolder), std::string::npos) << r.error;
}

}  // namespace
}  // namespace vs
