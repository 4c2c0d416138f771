// The screen-saver settings of the system: which family of Windows runs us,
// the old family's saver password, and the flags that say a saver runs.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace vs {

bool Win32Platform::is_nt_family() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  // The record as the version query fills it: the platform id tells.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL got = GetVersionExW(&v);
#pragma GCC diagnostic pop
  return got && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Only the older family (95, 98, Me) has these, and a 64-bit program never
// runs there: the branches stay for the record.
void Win32Platform::change_saver_password(ForeignWindow owner) {
  if (HMODULE mpr = LoadLibraryW(L"mpr.dll")) {
    using Change = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
    if (auto change = reinterpret_cast<Change>(
            reinterpret_cast<void*>(GetProcAddress(mpr, "PwdChangePasswordA")))) {
      change("SCRSAVE", reinterpret_cast<HWND>(static_cast<uintptr_t>(owner)), 0, nullptr);
    }
    FreeLibrary(mpr);
  }
}

bool Win32Platform::verify_saver_password(WindowId window) {
  bool may_end = true;
  if (HMODULE cpl = LoadLibraryW(L"password.cpl")) {
    using Verify = BOOL(WINAPI*)(HWND);
    if (auto verify = reinterpret_cast<Verify>(
            reinterpret_cast<void*>(GetProcAddress(cpl, "VerifyScreenSavePwd")))) {
      may_end = verify(reinterpret_cast<HWND>(window)) != 0;
    }
    FreeLibrary(cpl);
  }
  return may_end;
}

void Win32Platform::set_saver_running(bool running) {
  BOOL old = FALSE;
  SystemParametersInfoW(SPI_SCREENSAVERRUNNING, running ? TRUE : FALSE, &old, 0);  // 97
}

void Win32Platform::set_saver_active() {
  SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);  // 17
}

}  // namespace vs
