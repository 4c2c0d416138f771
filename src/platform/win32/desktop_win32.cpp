// The system's folder chooser.
#include <shobjidl.h>
#include <windows.h>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_platform.h"

namespace vs {

namespace {

template <class T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
};

}  // namespace

namespace {

// The system's folder dialog, modal: our windows are repainted by its own
// message loop, and the owner takes no input meanwhile.
std::optional<std::string> pick_folder(WindowId owner, const std::string& title,
                                       const std::string& start) {
  Com<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&dialog.p)))) {
    return std::nullopt;
  }
  DWORD options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(win32::widen(title).c_str());
  if (!start.empty()) {
    Com<IShellItem> folder;
    if (SUCCEEDED(SHCreateItemFromParsingName(win32::widen(start).c_str(), nullptr,
                                              IID_PPV_ARGS(&folder.p)))) {
      dialog->SetFolder(folder.p);
    }
  }
  if (FAILED(dialog->Show(reinterpret_cast<HWND>(owner)))) return std::nullopt;  // cancelled
  Com<IShellItem> chosen;
  if (FAILED(dialog->GetResult(&chosen.p))) return std::nullopt;
  PWSTR path = nullptr;
  if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return std::nullopt;
  std::string result = win32::narrow(path);
  CoTaskMemFree(path);
  if (result.empty()) return std::nullopt;
  return result;
}

}  // namespace

std::unique_ptr<FolderChooser> Win32Platform::choose_folder(WindowId owner,
                                                            const std::string& title,
                                                            const std::string& start) {
  return std::make_unique<AnsweredChooser>(pick_folder(owner, title, start));
}

}  // namespace vs
