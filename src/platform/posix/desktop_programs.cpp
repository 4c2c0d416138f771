// What the desktop around us offers, on any POSIX display: its folder
// chooser and its handler of addresses, both other programs started without
// a shell.
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/posix/child_process.h"
#include "platform/posix/posix_platform.h"

namespace vs {

namespace {

std::string home_folder() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

// The desktop's own chooser: GNOME's zenity, else KDE's kdialog.
std::vector<std::string> chooser_command(const std::string& title, const std::string& start) {
  const std::string from = start.empty() ? home_folder() : start;
  if (!find_program("zenity").empty()) {
    return {"zenity", "--file-selection", "--directory", "--title=" + title,
            "--filename=" + from + "/"};
  }
  if (!find_program("kdialog").empty()) {
    return {"kdialog", "--getexistingdirectory", from, "--title", title};
  }
  return {};
}

// The chooser is another program: it runs on a thread of its own while the
// dialog's loop goes on, wakes that loop when it closes, and is ended when
// the dialog goes first.
class ChooserProgram : public FolderChooser {
 public:
  ChooserProgram(std::vector<std::string> command, std::function<void()> on_close)
      : thread_([this, command = std::move(command),
                 on_close = std::move(on_close)](std::stop_token stop) {
          ChildSpec spec;
          spec.argv = command;
          spec.max_output = 64 * 1024;
          result_ = run_child(spec, stop);
          done_ = true;
          on_close();
        }) {}

  bool finished() override { return done_; }
  std::optional<std::string> folder() override {
    if (!done_ || !result_.exited_with(0)) return std::nullopt;
    std::string path = result_.output.substr(0, result_.output.find('\n'));
    if (path.empty()) return std::nullopt;
    return path;
  }

 private:
  ChildResult result_;
  std::atomic<bool> done_{false};
  std::jthread thread_;  // last: it is stopped and joined first
};

}  // namespace

std::unique_ptr<FolderChooser> PosixDesktop::choose_folder(WindowId owner, const std::string& title,
                                                           const std::string& start) {
  std::vector<std::string> command = chooser_command(title, start);
  if (command.empty()) {
    message_box(owner, texts_for(system_.language()).no_chooser, title, MessageIcon::Error);
    return std::make_unique<AnsweredChooser>(std::nullopt);
  }
  return std::make_unique<ChooserProgram>(std::move(command),
                                          [&windows = windows_] { windows.wake(); });
}

bool PosixDesktop::open_url(const std::string& url) {
  return start_detached({"xdg-open", url});
}

}  // namespace vs
