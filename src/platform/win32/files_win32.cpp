#include "platform/win32/win32_system.h"

namespace vs {

std::optional<std::vector<std::string>> Win32System::list_folder(const std::string&) {
  return std::nullopt;
}

std::optional<int> Win32System::file_attributes(const std::string&) {
  return std::nullopt;
}

ReadResult Win32System::read_file(const std::string&) {
  return {};
}

WriteResult Win32System::replace_file(const std::string&, std::string_view) {
  return {};
}

bool Win32System::folder_writable(const std::string&) {
  return false;
}

WriteResult Win32System::make_folders(const std::string&) {
  return {};
}

}  // namespace vs
