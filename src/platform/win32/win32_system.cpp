#include "platform/win32/win32_system.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace vs {

Win32System::Win32System(std::vector<std::string> args) : args_(std::move(args)) {}
Win32System::~Win32System() = default;

std::string Win32System::arguments_after_program() {
  return {};
}

std::string Win32System::argument_string() const {
  std::string joined;
  for (size_t i = 0; i < args_.size(); ++i) {
    if (i) joined += ' ';
    joined += args_[i];
  }
  return joined;
}

std::optional<std::string> Win32System::environment(const std::string&) const {
  return std::nullopt;
}

std::string Win32System::program_folder() const {
  return ".";
}

std::string Win32System::user_config_folder() const {
  return {};
}

void Win32System::report(const std::string&) {}

int64_t Win32System::now_us() {
  return 0;
}

void Win32System::sleep_ms(int ms) {
  if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

uint64_t Win32System::clock_seed() {
  return 0;
}

}  // namespace vs
