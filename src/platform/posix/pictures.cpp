#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

#include "platform/pictures/decoders.h"
#include "platform/pictures/wmf_frame.h"
#include "platform/posix/isolated_decode.h"
#include "platform/posix/picture_loader.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/whole_file.h"

namespace vs {

namespace {

struct FileBytes {
  std::string bytes;
  std::string problem;  // why the file could not be read; empty when it was
};

FileBytes read_picture_file(const std::string& path) {
  WholeFile w = read_whole_file(path, static_cast<size_t>(kMaxPictureFileBytes));
  FileBytes f;
  switch (w.status) {
    case WholeFile::Status::Ok:
      f.bytes = std::move(w.bytes);
      break;
    case WholeFile::Status::Missing:
      f.problem = "file not found";
      break;
    case WholeFile::Status::NotRegular:
      f.problem = "not a picture file";
      break;
    case WholeFile::Status::TooLarge:
      f.problem = "file too large (over " + std::to_string(kMaxPictureFileBytes >> 20) + " MB)";
      break;
    case WholeFile::Status::Error:
      f.problem = std::string("cannot read file (") + std::strerror(w.error) + ")";
      break;
  }
  return f;
}

// libwmf gets only security fixes, if that: it runs in a child process that
// may crash, loop or run out of memory without harm to the saver.
PictureResult load_metafile(std::string_view bytes) {
  WmfFrame frame;
  if (std::string why = read_wmf_frame(bytes, frame); !why.empty()) {
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
