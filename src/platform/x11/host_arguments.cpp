#include "platform/x11/host_arguments.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace vs::x11 {

namespace {

// X resource ids have their top three bits clear.
constexpr uint64_t kLargestId = 0x1FFFFFFF;

// "0x1a00007" or "27262983"; 0 for anything else.
uint64_t window_id(const std::string& text) {
  if (text.empty() || text[0] == '-' || text[0] == '+' ||
      std::isspace(static_cast<unsigned char>(text[0])))
    return 0;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0' || v > kLargestId) return 0;
  return v;
}

// The saver switch (/s, -s, ...) or no switch at all.
bool asks_for_saver(const std::vector<std::string>& rest) {
  if (rest.empty()) return true;
  return rest[0].size() >= 2 && std::toupper(static_cast<unsigned char>(rest[0][1])) == 'S';
}

}  // namespace

HostArguments parse_host_arguments(const std::vector<std::string>& args,
                                   const std::optional<std::string>& xscreensaver_window) {
  HostArguments h;
  bool root = false;
  std::optional<std::string> named;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-root" || a == "--root") {
      root = true;
    } else if (a == "-window-id" || a == "--window-id") {
      named = i + 1 < args.size() ? args[++i] : std::string();
    } else if (a.starts_with("-window-id=") || a.starts_with("--window-id=")) {
      named = a.substr(a.find('=') + 1);
    } else {
      h.rest.push_back(a);
    }
  }
  const bool from_env =
      xscreensaver_window && !xscreensaver_window->empty() && (root || asks_for_saver(h.rest));
  if (named) {
    h.window = window_id(*named);
  } else if (from_env) {
    h.window = window_id(*xscreensaver_window);
  } else if (root) {
    h.window = 0;
    h.root = true;
  }
  return h;
}

}  // namespace vs::x11
