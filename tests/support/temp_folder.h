// A real folder under the system's temporary folder for a test, removed
// afterwards (with its permissions restored first, as tests take write
// permission away).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace vs::testing {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "vs-test") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string path() const { return path_.string(); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // A small file of that name in the folder; its path.
  std::string file(const std::string& name) const {
    std::ofstream(path_ / name) << "x";
    return (path_ / name).string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace vs::testing
