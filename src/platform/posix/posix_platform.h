// The parts of the platform that are the same for every backend on a POSIX
// system: environment, files, directory listing, picture decoding, clock.
// The x11 and offscreen backends derive from it and add windows and input.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vs {

class PosixPlatform : public Platform {
 public:
  // args are the program's arguments after its own name.
  explicit PosixPlatform(std::vector<std::string> args);
  ~PosixPlatform() override;

  std::string argument_string() const override;
  std::optional<std::string> environment(const std::string& name) const override;
  std::string program_folder() const override;
  std::string user_config_folder() const override;

  PathStyle path_style() const override { return kPosixPaths; }
  std::optional<std::vector<std::string>> list_folder(const std::string& folder) override;
  std::optional<int> file_attributes(const std::string& path) override;
  ReadResult read_file(const std::string& path) override;
  WriteResult replace_file(const std::string& path, std::string_view bytes) override;
  bool folder_writable(const std::string& folder) override;
  WriteResult make_folders(const std::string& folder) override;

  PictureResult load_picture(const std::string& path) override;

  int64_t now_us() override;
  void sleep_ms(int ms) override;
  uint64_t clock_seed() override;

 protected:
  std::vector<std::string> args_;
};

}  // namespace vs
