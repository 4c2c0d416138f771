// One running copy per session: the window search by title, and a named
// mutex as the claim that two copies starting at once cannot both win.
#include "platform/win32/utf16.h"
#include "platform/win32/win32_state.h"

namespace vs {

namespace {

// The single-copy claim: a named mutex is made at most once per session.
constexpr wchar_t kSingleCopyName[] = L"Local\\Varnoscape single copy";

}  // namespace

bool Win32Platform::window_exists(const std::string& title) {
  return FindWindowW(nullptr, win32::widen(title).c_str()) != nullptr;
}

bool Win32Platform::claim_single_copy() {
  if (w_->single_copy) return true;
  HANDLE m = CreateMutexW(nullptr, FALSE, kSingleCopyName);
  if (!m) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(m);
    return false;
  }
  w_->single_copy = m;  // held until the process ends
  return true;
}

}  // namespace vs
