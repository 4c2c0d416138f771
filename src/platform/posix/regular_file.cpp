#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vs {

namespace {

int fail(WholeFile& f, int err) {
  // A file where a folder should be leads nowhere, as on Windows.
  f.status =
      err == ENOENT || err == ENOTDIR ? WholeFile::Status::Missing : WholeFile::Status::Error;
  f.error = std::strerror(err);
  return -1;
}

int not_regular(WholeFile& f, const struct stat& st) {
  f.status = WholeFile::Status::NotRegular;
  if (S_ISDIR(st.st_mode)) f.error = std::strerror(EISDIR);
  return -1;
}

// The open file, or -1 and failure says why.
int open_regular(const std::string& path, uint64_t& size, WholeFile& failure) {
  // Looked at before it is opened: opening a FIFO would wait for a writer,
  // and opening a device can have effects of its own.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fail(failure, errno);
  if (!S_ISREG(st.st_mode)) return not_regular(failure, st);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(failure, errno);
  // Something else may have been put in its place since it was looked at.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return not_regular(failure, st);
  }
  size = static_cast<uint64_t>(st.st_size);
  return fd;
}

}  // namespace

RegularFile::RegularFile(const std::string& path) {
  fd_ = open_regular(path, size_, failure_);
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

WholeFile read_whole_file(const std::string& path, size_t max_bytes) {
  const RegularFile file(path);
  if (file.fd() < 0) return file.failure();
  int err = 0;
  WholeFile f =
      read_opened_file(static_cast<size_t>(file.size()), max_bytes, [&](char* to, size_t room) {
        for (;;) {
          const ssize_t n = ::read(file.fd(), to, room);
          if (n >= 0 || errno != EINTR) {
            if (n < 0) err = errno;
            return n;
          }
        }
      });
  if (f.status == WholeFile::Status::Error) f.error = std::strerror(err);
  if (f.status == WholeFile::Status::TooLarge) f.error = std::strerror(EFBIG);
  return f;
}

}  // namespace vs
