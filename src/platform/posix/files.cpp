#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/posix_platform.h"
#include "platform/posix/regular_file.h"
#include "platform/whole_file.h"

namespace vs {

namespace {

std::string error_text(int err) {
  return std::strerror(err);
}

std::string parent_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool write_all(int fd, std::string_view bytes, int& err) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<std::vector<FolderEntry>> PosixSystem::list_folder(const std::string& folder) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::nullopt;
  std::vector<FolderEntry> entries;
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    // A plain file, a pipe or a device is known from the listing alone; a
    // link or an unknown type needs a look at what it names.
    const bool may_be_folder =
        entry->d_type == DT_DIR || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
    entries.push_back(FolderEntry{entry->d_name, std::nullopt, may_be_folder});
  }
  closedir(dir);
  return entries;
}

// The device and the node: a bind mount or a link reaches the same pair.
std::optional<std::string> PosixSystem::folder_identity(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// POSIX files have no attribute bits: a directory is 16, a dot-name is hidden
// (2), and a file its owner may not write is read-only (1). Links count as
// what they point to, so a dangling link does not exist.
std::optional<int> PosixSystem::file_attributes(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  int attr = 0;
  if (S_ISDIR(st.st_mode)) attr |= kAttrDirectory;
  size_t slash = path.find_last_of('/');
  std::string_view name = slash == std::string::npos ? std::string_view(path)
                                                     : std::string_view(path).substr(slash + 1);
  if (!name.empty() && name[0] == '.') attr |= kAttrHidden;
  if ((st.st_mode & S_IWUSR) == 0) attr |= kAttrReadOnly;
  return attr;
}

ReadResult PosixSystem::read_file(const std::string& path) {
  return read_result(read_whole_file(path, SIZE_MAX / 4));
}

WriteResult PosixSystem::replace_file(const std::string& given, std::string_view bytes) {
  // A settings file that is a link (to a dotfiles folder, say) stays a link:
  // replace what it points to.
  std::string path = given;
  struct stat link {};
  if (::lstat(given.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* real = ::realpath(given.c_str(), nullptr)) {
      path = real;
      std::free(real);
    }
  }
  // A short name of its own beside the file: the file's name plus a suffix
  // could pass the system's limit on a name's length.
  std::string tmp = parent_of(path) + "/.varnoscape-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return {false, error_text(errno)};
  // Keep the permissions of the file being replaced; a new file gets the
  // usual 0666 minus umask rather than mkstemp's 0600.
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) {
    fchmod(fd, old.st_mode & 07777);
  } else {
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  int err = 0;
  bool ok = write_all(fd, bytes, err);
  if (ok && fsync(fd) != 0) ok = false, err = errno;
  if (::close(fd) != 0 && ok) ok = false, err = errno;
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = false, err = errno;
  if (!ok) {
    ::unlink(tmp.c_str());
    return {false, error_text(err)};
  }
  // Make the rename itself durable.
  int dfd = ::open(parent_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    ::close(dfd);
  }
  return {true, {}};
}

bool PosixSystem::folder_writable(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

WriteResult PosixSystem::make_folders(const std::string& folder) {
  if (folder.empty()) return {false, error_text(ENOENT)};
  std::string partial;
  size_t pos = 0;
  while (pos <= folder.size()) {
    size_t next = folder.find('/', pos);
    if (next == std::string::npos) next = folder.size();
    partial = folder.substr(0, next);
    pos = next + 1;
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
      return {false, partial + ": " + error_text(errno)};
    }
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return {false, folder + ": " + error_text(ENOTDIR)};
  }
  return {true, {}};
}

}  // namespace vs
