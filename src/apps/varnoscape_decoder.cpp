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

#include "platform/pictures/decoders.h"
#include "platform/posix/decoder_process.h"

namespace {

// All of standard input, or the reason it cannot be had.
std::string read_input(std::string& bytes) {
  const size_t limit = static_cast<size_t>(vs::kMaxPictureFileBytes);
  const std::string too_large = vs::file_too_large_reason();
  struct stat st {};
  if (::fstat(0, &st) == 0 && S_ISREG(st.st_mode)) {
    if (static_cast<uint64_t>(st.st_size) > limit) return too_large;
    bytes.reserve(static_cast<size_t>(st.st_size));
  }
  // The file may grow or shrink while it is read: take what is there, but
  // never more than the limit.
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(0, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return std::string("cannot read file (") + std::strerror(errno) + ")";
    }
    if (n == 0) return {};
    if (bytes.size() + static_cast<size_t>(n) > limit) return too_large;
    bytes.append(buffer, static_cast<size_t>(n));
  }
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
      result = vs::decode_picture(bytes, view);
    }
    return write_all(vs::encode_decoder_answer(result)) ? 0 : 1;
  } catch (const std::bad_alloc&) {
    return write_all(vs::encode_decoder_answer(
               vs::PictureResult::failure("out of memory for the picture")))
               ? 0
               : 1;
  }
}

// libwmf keeps its drawing's buffers until the process ends, which for this
// program is at once; in sanitizer builds that is not worth a report.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libwmf-0.2.so\nleak:libfontconfig.so\n";
}
