#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

#include "platform/pictures/decoders.h"
#include "platform/pictures/wmf_frame.h"
#include "platform/posix/isolated_decode.h"
#include "platform/posix/picture_loader.h"
#include "platform/posix/posix_platform.h"

namespace vs {

namespace {

struct FileBytes {
  std::string bytes;
  std::string problem;  // why the file could not be read; empty when it was
};

FileBytes read_picture_file(const std::string& path) {
  FileBytes f;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    f.problem = errno == ENOENT ? "file not found"
                                : std::string("cannot open file (") + std::strerror(errno) + ")";
    return f;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    f.problem = "not a picture file";
    return f;
  }
  if (st.st_size > kMaxPictureFileBytes) {
    ::close(fd);
    f.problem = "file too large (" + std::to_string(st.st_size >> 20) + " MB)";
    return f;
  }
  // Read until the end even if the file changed size since fstat, but
  // never past the limit.
  f.bytes.resize(static_cast<size_t>(st.st_size) + 1);
  size_t have = 0;
  for (;;) {
    if (have == f.bytes.size()) {
      if (f.bytes.size() > static_cast<size_t>(kMaxPictureFileBytes)) {
        ::close(fd);
        f.bytes.clear();
        f.problem = "file too large";
        return f;
      }
      f.bytes.resize(f.bytes.size() * 2);
    }
    ssize_t n = ::read(fd, f.bytes.data() + have, f.bytes.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      f.problem = std::string("cannot read file (") + std::strerror(errno) + ")";
      ::close(fd);
      f.bytes.clear();
      return f;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  ::close(fd);
  f.bytes.resize(have);
  return f;
}

// libwmf gets only security fixes, if that: it runs in a child process that
// may crash, loop or run out of memory without harm to the saver.
PictureResult load_metafile(std::string_view bytes) {
  WmfFrame frame;
  if (std::string why = read_wmf_frame(bytes, frame); !why.empty()) {
    return PictureResult::failure(why);
  }
  if (std::string why = picture_size_problem(frame.width, frame.height); !why.empty()) {
    return PictureResult::failure(why);
  }
  const uint64_t pixels = static_cast<uint64_t>(frame.width) * static_cast<uint64_t>(frame.height);
  IsolationLimits limits;
  // libwmf's drawing and our copy of it, plus room for the library itself.
  limits.memory_bytes = pixels * 4 * 2 + (uint64_t{256} << 20);
  limits.max_pixels = static_cast<int64_t>(pixels);
  IsolatedResult r = run_isolated([bytes] { return render_wmf(bytes); }, limits);
  switch (r.outcome) {
    case IsolatedOutcome::Finished:
      break;
    case IsolatedOutcome::Crashed:
      return PictureResult::failure("metafile decoder crashed");
    case IsolatedOutcome::TimedOut:
      return PictureResult::failure("metafile decoder took too long");
    case IsolatedOutcome::NotStarted:
      return PictureResult::failure("metafile decoder could not start");
  }
  if (r.picture.ok &&
      (r.picture.picture.width() != frame.width || r.picture.picture.height() != frame.height)) {
    return PictureResult::failure("metafile decoder drew the wrong size");
  }
  return std::move(r.picture);
}

}  // namespace

PictureResult decode_picture(std::string_view bytes) {
  try {
    if (bytes.empty()) return PictureResult::failure("empty file");
    switch (detect_picture_kind(bytes)) {
      case PictureKind::Bmp:
        return decode_bmp(bytes);
      case PictureKind::Gif:
        return decode_gif(bytes);
      case PictureKind::Jpeg:
        return decode_jpeg(bytes);
      case PictureKind::Wmf:
        return load_metafile(bytes);
      case PictureKind::Unknown:
        break;
    }
    return PictureResult::failure("not a picture file");
  } catch (const std::bad_alloc&) {
    return PictureResult::failure("out of memory for the picture");
  } catch (const std::exception& e) {
    return PictureResult::failure(std::string("picture could not be decoded (") + e.what() + ")");
  }
}

PictureResult load_picture_file(const std::string& path) {
  FileBytes file;
  try {
    file = read_picture_file(path);
  } catch (const std::bad_alloc&) {
    return PictureResult::failure("out of memory for the file");
  }
  if (!file.problem.empty()) return PictureResult::failure(file.problem);
  return decode_picture(file.bytes);
}

PictureResult PosixPlatform::load_picture(const std::string& path) {
  return load_picture_file(path);
}

}  // namespace vs
