// Cloud files, as the folder listing reports them: left out of every
// listing, so that neither the catalogue nor the dialog opens (and so
// downloads) them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/offscreen/offscreen_platform.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_files.h"
#include "support/temp_folder.h"

namespace vs {
namespace {

constexpr DWORD kRecallOnDataAccess = 0x400000;
constexpr DWORD kRecallOnOpen = 0x40000;
constexpr DWORD kPinned = 0x80000;
constexpr DWORD kUnpinned = 0x100000;

TEST(FolderListing, CloudFilesAreLeftOutByTheirListedAttributes) {
  struct Case {
    DWORD attributes;
    bool listed;
  };
  for (const Case& c : {
           Case{FILE_ATTRIBUTE_ARCHIVE, true},
           Case{FILE_ATTRIBUTE_NORMAL, true},
           // OneDrive's online-only file: recall on data access, offline clear.
           Case{FILE_ATTRIBUTE_ARCHIVE | kRecallOnDataAccess | kUnpinned, false},
           Case{FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT | kRecallOnDataAccess, false},
           Case{kRecallOnOpen, false},
           Case{FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_ARCHIVE, false},
           // Kept on this device: its contents are here.
           Case{FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT | kPinned, true},
           Case{FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_REPARSE_POINT,
                true},
           // A folder's listing is only names: it is walked.
           Case{FILE_ATTRIBUTE_DIRECTORY | kRecallOnOpen, true},
       }) {
    EXPECT_EQ(win32::listed_as_local(c.attributes), c.listed) << std::hex << c.attributes;
  }
  EXPECT_EQ(win32::compared_attributes(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY |
                                       kRecallOnDataAccess | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED),
            33);
}

// A file the system itself marks as kept elsewhere is not listed, where the
// file system keeps that mark (Wine's may not).
TEST(FolderListing, AnOfflineFileIsNotListed) {
  testing::TempFolder dir;
  dir.file("here.jpg");
  dir.file("away.jpg");
  const std::wstring away = win32::widen(dir / "away.jpg");
  SetFileAttributesW(away.c_str(), FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_ARCHIVE);
  if ((GetFileAttributesW(away.c_str()) & FILE_ATTRIBUTE_OFFLINE) == 0) {
    GTEST_SKIP() << "this file system does not keep the offline mark";
  }
  OffscreenPlatform p;
  std::optional<std::vector<FolderEntry>> entries = p.list_folder(dir.path());
  ASSERT_TRUE(entries);
  std::vector<std::string> names;
  for (const FolderEntry& e : *entries) names.push_back(e.name);
  EXPECT_EQ(names, std::vector<std::string>{"here.jpg"});
  SetFileAttributesW(away.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace vs
