#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/whole_file.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"

namespace vs {

namespace win32 {

std::string error_text(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer),
      0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) return "system error " + std::to_string(code);
  return narrow(text);
}

}  // namespace win32

namespace {

// Paths go to the file calls as UTF-16: slashes become backslashes, and an
// absolute path gets the \\?\ (or \\?\UNC\) prefix so that paths past 260
// characters work everywhere.
std::wstring system_path(const std::string& path) {
  std::wstring wide = win32::widen(path.empty() ? "." : path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  // The prefix turns off the system's own tidying of "." and "..", so the
  // path is made whole first.
  DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return wide;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (n == 0 || n >= full.size()) return wide;
  full.resize(n);
  if (full.rfind(L"\\\\.\\", 0) == 0) return full;  // a device path stays as given
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Not a folder and not a device: the only kind of file opened for reading.
bool regular_attributes(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool missing_error(DWORD code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
         code == ERROR_INVALID_NAME || code == ERROR_BAD_NETPATH;
}

}  // namespace

std::optional<std::vector<FolderEntry>> Win32System::list_folder(const std::string& folder) {
  std::wstring pattern = system_path(folder);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                              nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) {
    // An empty folder (a drive root has no "." entry) is still a folder.
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<FolderEntry>{};
    return std::nullopt;
  }
  std::vector<FolderEntry> entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (!win32::listed_as_local(found.dwFileAttributes)) continue;
    entries.push_back(FolderEntry{win32::narrow(name),
                                  win32::compared_attributes(found.dwFileAttributes),
                                  (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(h, &found));
  FindClose(h);
  return entries;
}

// The volume and the file index: a junction or a link to a folder reaches
// the same pair. Opening a folder for no access reads nothing of it.
std::optional<std::string> Win32System::folder_identity(const std::string& path) {
  win32::OwnedHandle h(CreateFileW(system_path(path).c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.valid()) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::nullopt;
  }
  const uint64_t index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(index);
}

namespace win32 {

bool listed_as_local(DWORD attributes) {
  // Cloud files carry one of these until they are on this computer:
  // OneDrive's "online-only" files have the recall-on-data-access bit with
  // the offline bit clear, so the offline bit alone would miss them.
  constexpr DWORD kNotHere =
      0x400000 /* recall on data access */ | 0x40000 /* recall on open */ | FILE_ATTRIBUTE_OFFLINE;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || (attributes & kNotHere) == 0;
}

int compared_attributes(DWORD attributes) {
  return static_cast<int>(attributes & 0x3F);
}

}  // namespace win32

std::optional<int> Win32System::file_attributes(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(system_path(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return win32::compared_attributes(attributes);
}

win32::OwnedHandle open_regular_file(const std::string& path, DWORD share, WholeFile& failure) {
  auto failed = [&failure](DWORD code) {
    failure.status = missing_error(code) ? WholeFile::Status::Missing : WholeFile::Status::Error;
    failure.error = win32::error_text(code);
    return win32::OwnedHandle();
  };
  const std::wstring wide = system_path(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
    return failed(GetLastError());
  }
  if (!regular_attributes(data.dwFileAttributes)) {
    failure.status = WholeFile::Status::NotRegular;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      failure.error = win32::error_text(ERROR_DIRECTORY);
    }
    return {};
  }
  win32::OwnedHandle h(CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!h.valid()) return failed(GetLastError());
  // A pipe or a device that was put in the file's place since it was looked
  // at is not read.
  if (GetFileType(h.get()) != FILE_TYPE_DISK) {
    failure.status = WholeFile::Status::NotRegular;
    return {};
  }
  return h;
}

WholeFile read_opened_handle(HANDLE file, size_t max_bytes) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    WholeFile f;
    f.error = win32::error_text(GetLastError());
    return f;
  }
  DWORD err = 0;
  WholeFile f =
      read_opened_file(static_cast<size_t>(size.QuadPart), max_bytes, [&](char* to, size_t room) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(room, 1u << 30));
        if (ReadFile(file, to, want, &got, nullptr)) return static_cast<int64_t>(got);
        err = GetLastError();
        return int64_t{-1};
      });
  if (f.status == WholeFile::Status::Error) f.error = win32::error_text(err);
  if (f.status == WholeFile::Status::TooLarge) f.error = win32::error_text(ERROR_FILE_TOO_LARGE);
  return f;
}

WholeFile read_whole_file(const std::string& path, size_t max_bytes) {
  WholeFile failure;
  const win32::OwnedHandle h =
      open_regular_file(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, failure);
  if (!h.valid()) return failure;
  return read_opened_handle(h.get(), max_bytes);
}

ReadResult Win32System::read_file(const std::string& path) {
  return read_result(read_whole_file(path, SIZE_MAX / 4));
}

namespace {

WriteResult failure(DWORD code) {
  return {false, win32::error_text(code)};
}

}  // namespace

WriteResult Win32System::replace_file(const std::string& path, std::string_view bytes) {
  const std::wstring target = system_path(path);
  // The new contents go to a file of their own beside the old one, which is
  // then put in its place in one step: a crash or a full disk leaves the old
  // file whole.
  std::wstring temporary;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    // A short name of its own beside the file: the file's name plus a
    // suffix could pass the system's limit on a name's length.
    temporary = target.substr(0, target.find_last_of(L'\\') + 1) + L"~varnoscape-" +
                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".tmp";
    h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      return failure(GetLastError());
    }
  }
  if (h == INVALID_HANDLE_VALUE) return failure(ERROR_FILE_EXISTS);
  DWORD error = ERROR_SUCCESS;
  size_t done = 0;
  while (done < bytes.size() && error == ERROR_SUCCESS) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, bytes.data() + done, want, &written, nullptr) || written == 0) {
      error = GetLastError();
      if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
    }
    done += written;
  }
  if (error == ERROR_SUCCESS && !FlushFileBuffers(h)) error = GetLastError();
  CloseHandle(h);
  if (error == ERROR_SUCCESS) {
    // ReplaceFileW keeps the old file's attributes and permissions; it needs
    // an old file, so a first save moves the new one into place.
    const bool exists = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool replaced = exists
                              ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                              : false;
    if (!replaced && !MoveFileExW(temporary.c_str(), target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      error = GetLastError();
    }
  }
  if (error != ERROR_SUCCESS) {
    DeleteFileW(temporary.c_str());
    return failure(error);
  }
  return {true, {}};
}

// Whether a file can be made there: the folder's read-only bit means
// nothing on Windows, and its permissions are easiest asked by trying.
bool Win32System::folder_writable(const std::string& folder) {
  const std::wstring wide = system_path(folder);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  const std::wstring probe = wide + (wide.back() == L'\\' ? L"" : L"\\") + L"varnoscape-" +
                             std::to_wstring(GetCurrentProcessId()) + L".probe";
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  DeleteFileW(probe.c_str());
  return true;
}

WriteResult Win32System::make_folders(const std::string& folder) {
  if (folder.empty()) return failure(ERROR_PATH_NOT_FOUND);
  const std::wstring full = system_path(folder);
  // Folders are made one level at a time after the root: "\\?\C:\" or
  // "\\?\UNC\server\share\".
  size_t start = 4;
  if (full.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    start = full.find(L'\\', 8);
    if (start != std::wstring::npos) start = full.find(L'\\', start + 1);
  } else if (full.size() >= 7 && full[5] == L':') {
    start = 7;
  }
  while (start != std::wstring::npos && start < full.size()) {
    size_t next = full.find(L'\\', start);
    const std::wstring partial = full.substr(0, next);
    start = next == std::wstring::npos ? next : next + 1;
    if (!CreateDirectoryW(partial.c_str(), nullptr)) {
      const DWORD error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS) {
        return {false, win32::narrow(partial.substr(partial.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0)) +
                           ": " + win32::error_text(error)};
      }
    }
  }
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return {false, folder + ": " + win32::error_text(ERROR_DIRECTORY)};
  }
  return {true, {}};
}

}  // namespace vs
