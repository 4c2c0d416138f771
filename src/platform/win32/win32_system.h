// What the Windows edition needs from the system apart from windows: the
// command line and environment, files and folders, the clock, pictures
// (our BMP decoder, the Windows Imaging Component, GDI for metafiles) and
// text (GDI). The window backend and the tests' offscreen backend build on
// it, as they build on the POSIX layer on Linux.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vs {

class Win32System : public System {
 public:
  // args are the words after the program's path, joined with blanks into
  // the argument string; the program itself passes its command line's
  // text after the path as one word (see arguments_after_program).
  explicit Win32System(std::vector<std::string> args);
  ~Win32System() override;

  // The text after the program's path on its command line, as the system
  // handed it over (UTF-8).
  static std::string arguments_after_program();

  std::string argument_string() const override;
  std::optional<std::string> environment(const std::string& name) const override;
  std::string program_folder() const override;
  std::string user_config_folder() const override;

  PathStyle path_style() const override { return kWindowsPaths; }
  std::optional<std::vector<FolderEntry>> list_folder(const std::string& folder) override;
  std::optional<std::string> folder_identity(const std::string& path) override;
  std::optional<int> file_attributes(const std::string& path) override;
  ReadResult read_file(const std::string& path) override;
  WriteResult replace_file(const std::string& path, std::string_view bytes) override;
  bool folder_writable(const std::string& folder) override;
  WriteResult make_folders(const std::string& folder) override;

  // In a child process: the program named here started with
  // kDecodePictureSwitch (picture_decoder_process.h). The saver names
  // itself; a program that is not the saver (a test, a tool) has the saver
  // beside it decode for it.
  PictureResult load_picture(const std::string& path, const PictureView& view = {},
                             std::stop_token stop = {}) override;
  void decode_pictures_with(std::string program);
  static constexpr char kSaverProgramName[] = "Varnoscape.scr";
  // The running program's own path (UTF-8).
  static std::string program_path();
  // To a console when there is one, and to the debugger.
  void report(const std::string& line) override;

  int64_t now_us() override;
  void sleep_ms(int ms) override;
  uint64_t clock_seed() override;

  // GDI fonts.
  std::unique_ptr<Font> open_font(const std::vector<std::string>& families, double points,
                                  const std::string& sample) override;
  // The message font's face (SystemParametersInfoW).
  std::vector<std::string> interface_font_families() override;

 protected:
  std::vector<std::string> args_;
  std::string picture_decoder_;
};

}  // namespace vs
