// A real folder under the system's temporary folder for a test, removed
// afterwards (with its permissions restored first, as tests take write
// permission away).
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace vs::testing {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "vs-test") {
    // A fresh name: create_directory tells whether the folder is new.
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::filesystem::path p =
          std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(entropy()));
      if (std::filesystem::create_directory(p)) {
        path_ = p;
        return;
      }
    }
    throw std::runtime_error("no temporary folder could be made");
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Paths are UTF-8 both ways: on Windows, std::filesystem's narrow
  // strings are in the ANSI code page, which cannot hold most names.
  std::string path() const { return utf8(path_); }
  std::string operator/(const std::string& name) const { return utf8(path_ / from_utf8(name)); }
  // A small file of that name in the folder; its path.
  std::string file(const std::string& name) const {
    std::ofstream(path_ / from_utf8(name)) << "x";
    return *this / name;
  }

  static std::filesystem::path from_utf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
  }
  static std::string utf8(const std::filesystem::path& p) {
    const std::u8string text = p.u8string();
    return std::string(text.begin(), text.end());
  }

 private:
  std::filesystem::path path_;
};

}  // namespace vs::testing
