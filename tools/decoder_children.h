// The picture decoders a process started, as /proc shows them: for the
// tests and benchmarks that look at a decoder while it works.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vs::samples {

inline std::string read_text_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The decoders this process started (their /proc names are cut to 15
// characters).
inline std::vector<pid_t> decoder_children() {
  std::vector<pid_t> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string stat = read_text_file(entry.path() / "stat");
    const size_t paren = stat.rfind(')');
    if (paren == std::string::npos || stat.find("(varnoscape-deco)") == std::string::npos) continue;
    std::istringstream rest(stat.substr(paren + 2));
    char state = 0;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == getpid()) found.push_back(static_cast<pid_t>(std::stoi(entry.path().filename())));
  }
  return found;
}

}  // namespace vs::samples
