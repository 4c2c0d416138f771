// varnoscape-decoder: decodes the picture file on its standard input and
// writes the answer (see decoder_process.h) on its standard output. The
// saver starts it for every picture, with its limits already in place.
//
//   varnoscape-decoder [--view=WxH:full|own] < picture > answer
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "pictures/picture_reasons.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"
#include "platform/posix/regular_file.h"

namespace {

// All of standard input, or the reason it cannot be had. The file may
// grow or shrink while it is read: what is there is taken, never more than
// the limit.
std::string read_input(std::string& bytes) {
  struct stat st {};
  const size_t expected =
      ::fstat(0, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<size_t>(st.st_size) : 0;
  vs::WholeFile file = vs::read_opened_file(expected, static_cast<size_t>(vs::kMaxPictureFileBytes),
                                            [](char* to, size_t room) {
                                              for (;;) {
                                                const ssize_t n = ::read(0, to, room);
                                                if (n >= 0 || (errno != EINTR && errno != EAGAIN))
                                                  return n;
                                              }
                                            });
  if (file.status == vs::WholeFile::Status::Error) file.error = std::strerror(errno);
  if (file.status != vs::WholeFile::Status::Ok) return vs::unreadable_file_reason(file);
  bytes = std::move(file.bytes);
  return {};
}

bool write_all(const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(1, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const vs::PictureView view = argc > 1 ? vs::parse_view_argument(argv[1]) : vs::PictureView{};
  vs::PictureResult result;
  try {
    std::string bytes;
    if (std::string why = read_input(bytes); !why.empty()) {
      result = vs::PictureResult::failure(why);
    } else {
      result = vs::decode_picture(vs::library_decoders(), bytes, view);
    }
    return write_all(vs::encode_decoder_answer(result)) ? 0 : 1;
  } catch (const std::bad_alloc&) {
    return write_all(
               vs::encode_decoder_answer(vs::PictureResult::failure(vs::kOutOfMemoryForPicture)))
               ? 0
               : 1;
  }
}
