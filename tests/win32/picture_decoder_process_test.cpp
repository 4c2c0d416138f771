// The Windows edition's picture decoder process: every kind decodes there
// to the pixels the saver's own process would get; the child runs in its
// job, reads the file itself, and one that is killed, stopped or too slow
// fails that picture only.
#include <gtest/gtest.h>
#include <wincodec.h>
#include <windows.h>

#include <fstream>
#include <functional>
#include <stop_token>
#include <string>

#include "../../tools/bmp_writer.h"
#include "../support/temp_folder.h"
#include "picture_files.h"
#include "platform/offscreen/offscreen_platform.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/picture_decoder_process.h"
#include "platform/win32/utf16.h"
#include "platform/win32/windows_decoders.h"

namespace vs {
namespace {

using testing::TempFolder;
using win32::OwnedHandle;

std::string write_file(const TempFolder& folder, const std::string& name,
                       const std::string& bytes) {
  const std::string path = folder / name;
  std::ofstream out(TempFolder::from_utf8(path), std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

int differing_pixels(const Surface& a, const Surface& b) {
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  int wrong = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) wrong += a.at(x, y) != b.at(x, y);
  }
  return wrong;
}

std::string bmp(int w, int h) {
  samples::BmpSpec spec;
  spec.width = w;
  spec.height = h;
  spec.bits = 24;
  spec.data = samples::encode_rows(w, h, 24, false, testing::pattern);
  return samples::write_bmp(spec);
}

// Every kind Wine decodes comes back from the child exactly as decoded in
// the saver's own process: the same sizes, kept columns and rows, and
// pixels, for views that keep a part and for a whole picture.
TEST(Win32PictureDecoder, EveryKindDecodesInTheChildAsInProcess) {
  auto samples = [](int x, int y) {
    const uint32_t p = testing::pattern(x, y);
    return std::vector<unsigned>{p >> 16, (p >> 8) & 0xFF, p & 0xFF, 255u};
  };
  const struct {
    const char* name;
    std::string file;
    PictureView view;
  } cases[] = {
      {"picture.bmp", bmp(900, 700), {320, 240, FitMode::FullScreen}},
      {"picture.gif",
       testing::encode(GUID_ContainerFormatGif, 900, 1200),
       {100, 100, FitMode::Thumbnail}},
      {"picture.jpg",
       testing::encode(GUID_ContainerFormatJpeg, 1000, 700),
       {320, 240, FitMode::FullScreen}},
      {"picture.wmf", testing::metafile(1200, 900), {320, 240, FitMode::FullScreen}},
      {"picture.png", testing::make_png(1000, 700, 8, 6, samples), {300, 200, FitMode::OwnSize}},
      {"picture.tif", testing::write_tiff({testing::tiff_page(640, 480, samples, 8, 4)}), {}},
  };
  TempFolder folder;
  OffscreenPlatform platform;
  for (const auto& c : cases) {
    ASSERT_FALSE(c.file.empty()) << c.name;
    const PictureResult here = decode_picture(windows_decoders(), c.file, c.view);
    ASSERT_TRUE(here.ok) << c.name << ": " << here.reason;
    const PictureResult there = platform.load_picture(write_file(folder, c.name, c.file), c.view);
    ASSERT_TRUE(there.ok) << c.name << ": " << there.reason;
    EXPECT_EQ(there.width(), here.width()) << c.name;
    EXPECT_EQ(there.height(), here.height()) << c.name;
    EXPECT_EQ(there.kept.cols, here.kept.cols) << c.name;
    EXPECT_EQ(there.kept.rows, here.kept.rows) << c.name;
    EXPECT_EQ(differing_pixels(there.picture, here.picture), 0) << c.name;
  }
}

bool under_wine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The job's limits as the system reports them: exactly those asked for.
// Wine takes them without keeping them and reports none; it does keep the
// child in the job, which alone runs it.
void expect_confining_job(HANDLE process, HANDLE job, const DecoderLaunch& launch) {
  EXPECT_NE(GetProcessId(process), GetCurrentProcessId());
  BOOL in_job = FALSE;
  EXPECT_TRUE(IsProcessInJob(process, job, &in_job) && in_job);
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[7];
  } ids{};
  ASSERT_TRUE(
      QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr));
  ASSERT_EQ(ids.list.NumberOfProcessIdsInList, 1u);
  EXPECT_EQ(ids.list.ProcessIdList[0], GetProcessId(process));

  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  ASSERT_TRUE(QueryInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                        sizeof limits, nullptr));
  JOBOBJECT_BASIC_UI_RESTRICTIONS ui{};
  const bool ui_reported =
      QueryInformationJobObject(job, JobObjectBasicUIRestrictions, &ui, sizeof ui, nullptr);
  if (limits.BasicLimitInformation.LimitFlags == 0 && under_wine()) {
    EXPECT_EQ(limits.ProcessMemoryLimit, 0u);
    static const bool said = [&] {
      std::printf("Wine reports no limits of the decoder's job%s\n",
                  ui_reported ? "" : " and no restrictions");
      return true;
    }();
    EXPECT_TRUE(said);
    return;
  }
  EXPECT_EQ(limits.BasicLimitInformation.LimitFlags,
            static_cast<DWORD>(JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_ACTIVE_PROCESS |
                               JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                               JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION));
  EXPECT_EQ(limits.BasicLimitInformation.ActiveProcessLimit, 1u);
  EXPECT_EQ(limits.ProcessMemoryLimit, launch.memory);
  ASSERT_TRUE(ui_reported);
  EXPECT_EQ(
      ui.UIRestrictionsClass,
      static_cast<DWORD>(JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_HANDLES |
                         JOB_OBJECT_UILIMIT_READCLIPBOARD | JOB_OBJECT_UILIMIT_WRITECLIPBOARD |
                         JOB_OBJECT_UILIMIT_GLOBALATOMS | JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS |
                         JOB_OBJECT_UILIMIT_DISPLAYSETTINGS | JOB_OBJECT_UILIMIT_EXITWINDOWS));
}

std::wstring saver_beside_this_program() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Varnoscape.scr";
}

// Each case decodes the same file, after one whose child was kept from
// answering mid-picture: what happens to one child fails that picture
// alone. A picture
// that comes back was read by the child from the handle, which it shares
// with the saver: the file stands at its end.
TEST(Win32PictureDecoder, TheChildDecodesInItsJobAndFailsOnlyItsOwnPicture) {
  TempFolder folder;
  const std::string bytes = testing::encode(GUID_ContainerFormatJpeg, 800, 600);
  const std::string path = write_file(folder, "photo.jpg", bytes);
  const PictureView view{320, 240, FitMode::FullScreen};
  const PictureResult expected = decode_picture(windows_decoders(), bytes, view);
  ASSERT_TRUE(expected.ok) << expected.reason;

  const struct {
    const char* name;
    int wall_ms;
    std::function<void(HANDLE process, std::stop_source&)> meanwhile;
    const char* reason;
  } cases[] = {
      {"killed", 5000, [](HANDLE process, std::stop_source&) { TerminateProcess(process, 99); },
       "picture decoder ended without an answer (exit code 99)"},
      {"crashed", 5000,
       [](HANDLE process, std::stop_source&) {
         // A thread of the child's that runs at address 0, as a decoder
         // taken over by its picture might.
         const HANDLE thread =
             CreateRemoteThread(process, nullptr, 0, nullptr, nullptr, 0, nullptr);
         if (thread) CloseHandle(thread);
       },
       "picture decoder crashed (exception 0xC0000005)"},
      {"stopped", 5000, [](HANDLE, std::stop_source& stop) { stop.request_stop(); },
       "picture load stopped"},
      {"too slow", 1, {}, "picture took too long to decode"},
      {"answered", 5000, {}, nullptr},
  };
  for (const auto& c : cases) {
    for (const bool disturbed : {true, false}) {
      const OwnedHandle file(CreateFileW(TempFolder::from_utf8(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(file.valid());
      std::stop_source stop;
      OwnedHandle child;
      DecoderLaunch launch;
      launch.program = saver_beside_this_program();
      launch.wall_ms = disturbed ? c.wall_ms : 5000;
      launch.started = [&](HANDLE process, HANDLE job) {
        HANDLE kept = nullptr;
        DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &kept, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        child.reset(kept);
        expect_confining_job(process, job, launch);
        if (disturbed && c.meanwhile) c.meanwhile(process, stop);
      };
      const PictureResult r = decode_file_in_child(file.get(), view, stop.get_token(), launch);
      ASSERT_TRUE(child.valid()) << c.name;
      // However it ended, the child is gone with its job.
      EXPECT_EQ(WaitForSingleObject(child.get(), 5000), WAIT_OBJECT_0) << c.name;
      if (disturbed && c.reason) {
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.reason, c.reason) << c.name;
        continue;
      }
      ASSERT_TRUE(r.ok) << c.name << ": " << r.reason;
      EXPECT_EQ(r.kept.cols, expected.kept.cols) << c.name;
      EXPECT_EQ(r.kept.rows, expected.kept.rows) << c.name;
      EXPECT_EQ(differing_pixels(r.picture, expected.picture), 0) << c.name;
      LARGE_INTEGER at{}, none{};
      ASSERT_TRUE(SetFilePointerEx(file.get(), none, &at, FILE_CURRENT));
      EXPECT_EQ(at.QuadPart, static_cast<LONGLONG>(bytes.size())) << c.name;
    }
  }
}

}  // namespace
}  // namespace vs
