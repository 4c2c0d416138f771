#include "platform/x11/desktop_scale.h"

#include <charconv>
#include <string_view>

namespace vs::x11 {

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

double desktop_scale(const char* resources, const std::optional<std::string>& gdk_scale) {
  if (gdk_scale) {
    const std::string_view text = trimmed(*gdk_scale);
    int whole = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
    if (error == std::errc() && end == text.data() + text.size() && whole >= 1 && whole <= 4)
      return whole;
  }
  // "Xft.dpi:\t144" on a line of its own; the last one counts, as in any
  // resource database.
  double scale = 1;
  std::string_view rest = resources ? resources : "";
  while (!rest.empty()) {
    const size_t newline = rest.find('\n');
    std::string_view line = rest.substr(0, newline);
    rest = newline == std::string_view::npos ? std::string_view{} : rest.substr(newline + 1);
    constexpr std::string_view kName = "Xft.dpi";
    line = trimmed(line);
    if (line.substr(0, kName.size()) != kName) continue;
    line = trimmed(line.substr(kName.size()));
    if (line.empty() || line.front() != ':') continue;
    line = trimmed(line.substr(1));
    double dpi = 0;
    auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), dpi);
    // 96 to 384 dots per inch: a smaller one keeps programs at their own
    // size, and a larger one is a mistake.
    if (error == std::errc() && end == line.data() + line.size() && dpi >= 96 && dpi <= 384)
      scale = dpi / 96;
    else if (error == std::errc() && end == line.data() + line.size())
      scale = 1;
  }
  return scale;
}

}  // namespace vs::x11
