#include "platform/win32/win32_system.h"

#include <shlobj.h>
#include <windows.h>

#include "platform/win32/utf16.h"

namespace vs {

Win32System::Win32System(std::vector<std::string> args) : args_(std::move(args)) {}
Win32System::~Win32System() = default;

// The system hands a program its whole command line; the screen-saver
// switches are what follows the program's own path, which is quoted when it
// holds blanks.
std::string Win32System::arguments_after_program() {
  const wchar_t* p = GetCommandLineW();
  if (!p) return {};
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return win32::narrow(p);
}

std::string Win32System::argument_string() const {
  return joined_arguments(args_);
}

std::optional<std::string> Win32System::environment(const std::string& name) const {
  const std::wstring wide = win32::widen(name);
  std::wstring value(256, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n =
        GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < value.size()) {
      value.resize(n);
      return win32::narrow(value);
    }
    value.resize(n);  // n counts the terminating zero when the buffer was short
  }
}

namespace {

std::wstring module_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

std::string Win32System::program_path() {
  std::wstring path = module_path();
  if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
  return win32::narrow(path);
}

std::string Win32System::program_folder() const {
  std::wstring path = module_path();
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return ".";
  path.resize(slash);
  // The system's own long-path prefix is not part of the folder's name.
  if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
  // A drive root keeps its backslash ("C:" alone would name the drive's
  // current folder).
  if (path.size() == 2 && path[1] == L':') path += L'\\';
  return win32::narrow(path);
}

std::string Win32System::user_config_folder() const {
  PWSTR folder = nullptr;
  std::string result;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder))) {
    result = win32::narrow(folder);
  }
  CoTaskMemFree(folder);
  if (result.empty()) {
    if (auto appdata = environment("APPDATA")) result = *appdata;
  }
  return result;
}

void Win32System::report(const std::string& line) {
  const std::string text = "varnoscape: " + line + "\n";
  OutputDebugStringW(win32::widen(text).c_str());
  // A screen saver usually has no console; when started from one (or with
  // its error output redirected), the line goes there too.
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err && err != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

int64_t Win32System::now_us() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<int64_t>(f.QuadPart);
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const int64_t ticks = now.QuadPart;
  return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

void Win32System::sleep_ms(int ms) {
  if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

uint64_t Win32System::clock_seed() {
  FILETIME ft{};
  GetSystemTimePreciseAsFileTime(&ft);
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace vs
