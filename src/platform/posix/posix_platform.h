// The roles that are the same for every backend on a POSIX system: the
// system (environment, files, directory listing, picture decoding, clock,
// fonts) and the desktop's programs (the folder chooser and the handler of
// addresses). The x11, wayland and offscreen backends build on them and add
// the display.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vs {

// For a program's main: the signals it relies on. SIGPIPE is ignored (a
// decoder that dies before reading everything must not kill us silently;
// a write then fails instead); SIGTERM, SIGINT and SIGHUP end the program
// and SIGCHLD is left for waitpid, even when whoever started us had them
// ignored (as a shell does for background jobs).
void set_up_signals();

class PosixSystem : public System {
 public:
  // args are the program's arguments after its own name.
  explicit PosixSystem(std::vector<std::string> args);
  ~PosixSystem() override;

  std::string argument_string() const override;
  std::optional<std::string> environment(const std::string& name) const override;
  std::string program_folder() const override;
  std::string user_config_folder() const override;

  PathStyle path_style() const override { return kPosixPaths; }
  std::optional<std::vector<FolderEntry>> list_folder(const std::string& folder) override;
  std::optional<std::string> folder_identity(const std::string& path) override;
  std::optional<int> file_attributes(const std::string& path) override;
  ReadResult read_file(const std::string& path) override;
  WriteResult replace_file(const std::string& path, std::string_view bytes) override;
  bool folder_writable(const std::string& folder) override;
  WriteResult make_folders(const std::string& folder) override;

  PictureResult load_picture(const std::string& path, const PictureView& view = {},
                             std::stop_token stop = {}) override;
  // Standard error, one line at a time.
  void report(const std::string& line) override;

  // FreeType and fontconfig.
  std::unique_ptr<Font> open_font(const std::vector<std::string>& families, double points,
                                  const std::string& sample) override;
  std::vector<std::string> interface_font_families() override;

  int64_t now_us() override;
  void sleep_ms(int ms) override;
  uint64_t clock_seed() override;

 protected:
  std::vector<std::string> args_;
};

// The desktop's programs: zenity or kdialog, and xdg-open. The message box
// and the outline are the display's backend's own.
class PosixDesktop : public Desktop {
 public:
  // The chooser's closing wakes the window system's wait; a missing chooser is
  // told in the system's language.
  PosixDesktop(const System& system, WindowSystem& windows) : system_(system), windows_(windows) {}

  std::unique_ptr<FolderChooser> choose_folder(WindowId owner, const std::string& title,
                                               const std::string& start) override;
  bool open_url(const std::string& url) override;

 private:
  const System& system_;
  WindowSystem& windows_;
};

}  // namespace vs
