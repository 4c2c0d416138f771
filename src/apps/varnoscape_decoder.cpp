// varnoscape-decoder: decodes the picture file on its standard input and
// writes the answer (see decoder_process.h) on its standard output. The
// saver starts it for every picture, with its limits already in place; it
// confines itself (decoder_confinement.h) before it reads the picture.
//
//   varnoscape-decoder [--view=WxH:full|own] < picture > answer
//   varnoscape-decoder --wait-for-picture < socket > answer
//
// The second waits, with its libraries loaded, for the picture and the view
// (ready_decoder.h).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "pictures/picture_reasons.h"
#include "platform/posix/decoder_confinement.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"
#include "platform/posix/ready_decoder.h"
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

std::string refusal_answer(std::string_view call) {
  return vs::encode_decoder_answer(vs::PictureResult::failure(vs::forbidden_call_reason(call)));
}

vs::PictureResult confined_decode(const vs::PictureView& view) {
  vs::prepare_decoders_for_confinement();
  if (std::string why = vs::confine_decoder(refusal_answer); !why.empty()) {
    return vs::PictureResult::failure(vs::unconfined_decoder_reason(why));
  }
  std::string bytes;
  if (std::string why = read_input(bytes); !why.empty()) return vs::PictureResult::failure(why);
  return vs::decode_picture(vs::library_decoders(), bytes, view);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's symbolizer is another program, which the confined
// decoder may not start: its reports give addresses instead.
extern "C" const char* __asan_default_options() {
  return "symbolize=0";
}
#endif

// The process ends without running what libraries left for its exit: that
// is code run after the answer, when nothing more of it is wanted.
int main(int argc, char** argv) {
  std::string argument = argc > 1 ? argv[1] : "";
  if (argument == vs::kWaitForPicture) {
    vs::prepare_decoders_for_confinement();
    if (!vs::receive_picture(argument)) _exit(0);
  }
  const vs::PictureView view = vs::parse_view_argument(argument);
  vs::PictureResult result;
  try {
    result = confined_decode(view);
  } catch (const std::bad_alloc&) {
    result = vs::PictureResult::failure(vs::kOutOfMemoryForPicture);
  }
  _exit(vs::write_decoder_answer(1, result) ? 0 : 1);
}
