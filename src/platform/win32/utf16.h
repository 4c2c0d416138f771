// Text at the Windows boundary: the program keeps UTF-8, the system's wide
// calls take UTF-16. Never the ANSI code page, which cannot hold
// "Varnoscapeの設定" on most systems.
#pragma once

#include <string>
#include <string_view>

namespace vs::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace vs::win32
