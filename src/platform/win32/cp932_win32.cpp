// Code page 932 through the system's own table (MultiByteToWideChar), the
// table the settings file was always written with on Windows.
#include <windows.h>

#include <string>

#include "platform/cp932.h"
#include "platform/win32/utf16.h"

namespace vs {

namespace {

constexpr UINT kCp932 = 932;

// Nothing when the bytes are not valid code page 932.
std::optional<std::wstring> cp932_to_utf16(std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.data(), size, out.data(), n) != n) {
    return std::nullopt;
  }
  // The single bytes 0x80, 0xA0 and 0xFD to 0xFF are no characters of
  // Shift-JIS; the system's table passes them through as control and
  // private-use characters, the Linux edition's table refuses them. Both
  // editions must read a settings file alike, so they are refused here too.
  for (wchar_t c : out) {
    if (c == 0x80 || (c >= 0xF8F0 && c <= 0xF8F3)) return std::nullopt;
  }
  return out;
}

}  // namespace

std::optional<std::string> utf8_to_cp932(std::string_view utf8) {
  if (utf8.empty()) return std::string();
  const int size = static_cast<int>(utf8.size());
  const int wide_n =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (wide_n <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(wide_n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), wide_n);
  // No best fit: "¥" must not quietly become "\".
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), wide_n, nullptr, 0,
                                    nullptr, &used_default);
  if (n <= 0 || used_default) return std::nullopt;
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), wide_n, out.data(), n, nullptr,
                      &used_default);
  if (used_default) return std::nullopt;
  // Some characters share a code with another one (the NEC and IBM
  // duplicates); only a text that reads back unchanged counts.
  if (cp932_to_utf8(out) != utf8) return std::nullopt;
  return out;
}

std::optional<std::string> cp932_to_utf8(std::string_view bytes) {
  auto wide = cp932_to_utf16(bytes);
  if (!wide) return std::nullopt;
  return win32::narrow(*wide);
}

std::u32string cp932_to_utf32_lossless(std::string_view bytes) {
  std::u32string result;
  auto append = [&result](const std::wstring& wide) {
    // Code page 932 holds no character outside the first plane.
    for (wchar_t c : wide) result.push_back(static_cast<char32_t>(c));
  };
  if (auto whole = cp932_to_utf16(bytes)) {
    append(*whole);
    return result;
  }
  // Character by character: a byte that does not start a valid character is
  // kept apart, and the next one starts afresh.
  size_t at = 0;
  while (at < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    const size_t length = IsDBCSLeadByteEx(kCp932, lead) && at + 1 < bytes.size() ? 2 : 1;
    if (auto one = cp932_to_utf16(bytes.substr(at, length))) {
      append(*one);
      at += length;
    } else {
      result.push_back(0xDC00 + lead);
      ++at;
    }
  }
  return result;
}

}  // namespace vs
