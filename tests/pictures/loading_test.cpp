// Loading by file: the kind comes from the content, and files that are not
// pictures, or not there, fail with a reason that does not repeat the path.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "picture_checks.h"
#include "pictures/decoders.h"
#include "platform/offscreen/offscreen_platform.h"
#include "platform/posix/decoder_process.h"
#include "support/temp_folder.h"

namespace vs {
namespace {

using testing::read_bytes;
using testing::sample;
using testing::TempFile;

TEST(PictureKind, TellsKindsByTheirFirstBytes) {
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("landscape.bmp"))), PictureKind::Bmp);
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("rings.gif"))), PictureKind::Gif);
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("landscape.jpg"))), PictureKind::Jpeg);
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("scene.wmf"))), PictureKind::Wmf);
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("scene_plain.wmf"))), PictureKind::Wmf);
  EXPECT_EQ(detect_picture_kind("GIF87a"), PictureKind::Gif);
  EXPECT_EQ(detect_picture_kind("GIF88a"), PictureKind::Unknown);
  EXPECT_EQ(detect_picture_kind("\xFF\xD8"), PictureKind::Unknown);
  EXPECT_EQ(detect_picture_kind(""), PictureKind::Unknown);
  // A metafile header must be a real one: type 1 or 2, 9 words, version 1 or 3.
  std::string header("\x01\x00\x09\x00\x00\x03", 6);
  EXPECT_EQ(detect_picture_kind(header + std::string(12, '\0')), PictureKind::Wmf);
  EXPECT_EQ(detect_picture_kind(header), PictureKind::Unknown);  // too short
  header[4] = 0x00, header[5] = 0x02;
  EXPECT_EQ(detect_picture_kind(header + std::string(12, '\0')), PictureKind::Unknown);
}

TEST(PictureLoading, ContentDecidesNotTheName) {
  TempFile jpeg_as_bmp("photo.bmp", read_bytes(sample("landscape.jpg")));
  PictureResult r = load_picture_file(jpeg_as_bmp.path());
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_EQ(r.picture.width(), 800);
  EXPECT_EQ(r.picture.height(), 600);

  TempFile gif_as_wmf("drawing.wmf", read_bytes(sample("rings.gif")));
  EXPECT_TRUE(load_picture_file(gif_as_wmf.path()).ok);

  TempFile text("notes.jpg", "Shopping: milk, bread.\n");
  EXPECT_EQ(load_picture_file(text.path()).reason, "not a picture file");
}

// Whatever a folder holds under a picture's name fails at once with a
// reason: nothing but a regular file is opened, and nothing waits.
TEST(PictureLoading, HostileAndUnluckyFilesFailAtOnce) {
  vs::testing::TempFolder dir;
  ASSERT_EQ(mkfifo((dir / "fifo.bmp").c_str(), 0644), 0);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = dir / "socket.jpg";
  std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir / "zero.jpg").c_str()), 0);
  ASSERT_EQ(symlink("/dev/urandom", (dir / "random.gif").c_str()), 0);
  ASSERT_EQ(symlink("loop_b.bmp", (dir / "loop_a.bmp").c_str()), 0);
  ASSERT_EQ(symlink("loop_a.bmp", (dir / "loop_b.bmp").c_str()), 0);
  ASSERT_EQ(symlink("nowhere.bmp", (dir / "dangling.bmp").c_str()), 0);
  std::filesystem::create_directory(dir / "folder.jpg");
  std::ofstream(dir / "empty.gif").close();
  const std::pair<std::string, std::string> cases[] = {
      {"/nonexistent/folder/x.bmp", "file not found"},
      {dir / "fifo.bmp", "not a picture file"},
      {socket_path, "not a picture file"},
      {dir / "zero.jpg", "not a picture file"},
      {dir / "random.gif", "not a picture file"},
      {dir / "loop_a.bmp", "cannot read file (Too many levels of symbolic links)"},
      {dir / "dangling.bmp", "file not found"},
      {dir / "folder.jpg", "not a picture file"},
      {dir / "empty.gif", "empty file"},
  };
  for (const auto& [path, reason] : cases) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(load_picture_file(path).reason, reason) << path;
    // Only catches a wait on the entry (a FIFO without a writer waits forever).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << path;
  }
  close(sock);
}

// Permissions are only real for an ordinary user: as root the check runs in
// a child that has become nobody.
TEST(PictureLoading, AFileWithoutReadPermissionFails) {
  vs::testing::TempFolder dir;
  const std::string path = dir / "secret.gif";
  std::ofstream(path, std::ios::binary) << read_bytes(sample("rings.gif"));
  chmod(path.c_str(), 0200);
  chmod(dir.path().c_str(), 0755);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(load_picture_file(path).reason == "cannot read file (Permission denied)" ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A file rewritten and cut short while it is read gives a picture or a
// reason, never a hang or a crash.
TEST(PictureLoading, AFileChangingWhileReadIsStillAnAnswer) {
  vs::testing::TempFolder dir;
  const std::string path = dir / "changing.jpg";
  const std::string jpeg = read_bytes(sample("landscape.jpg"));
  std::ofstream(path, std::ios::binary) << jpeg;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (size_t i = 0; !done; ++i) {
      std::ofstream(path, std::ios::binary | std::ios::trunc)
          << jpeg.substr(0, jpeg.size() * (i % 7 + 1) / 7);
    }
  });
  for (int i = 0; i < 20; ++i) {
    PictureResult r = load_picture_file(path);
    EXPECT_TRUE(r.ok || !r.reason.empty());
  }
  done = true;
  writer.join();
}

TEST(PictureLoading, ThePlatformLoadsThroughTheSameLoader) {
  OffscreenPlatform platform;
  PictureResult r = platform.load_picture(sample("rings.gif"));
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_EQ(r.picture.width(), 320);
  PictureResult bad = platform.load_picture(sample("bad/x.jpg"));
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.reason, "not a picture file");
}

}  // namespace
}  // namespace vs
