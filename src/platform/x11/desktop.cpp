// What the desktop around us offers: its folder chooser and its handler of
// addresses, both other programs started without a shell; and the outline
// that shows a dialog opening from the pointer and closing back to it.
#include "platform/x11/x11_state.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/posix/child_process.h"

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
// dialog's loop goes on, and it is ended when the dialog goes first.
class ChooserProgram : public FolderChooser {
 public:
  explicit ChooserProgram(std::vector<std::string> command)
      : thread_([this, command = std::move(command)](std::stop_token stop) {
          ChildSpec spec;
          spec.argv = command;
          spec.max_output = 64 * 1024;
          result_ = run_child(spec, stop);
          done_ = true;
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

std::unique_ptr<FolderChooser> X11Platform::choose_folder(WindowId owner, const std::string& title,
                                                          const std::string& start) {
  std::vector<std::string> command = chooser_command(title, start);
  if (command.empty()) {
    message_box(owner, texts_for(language()).no_chooser, title, MessageIcon::Error);
    return std::make_unique<AnsweredChooser>(std::nullopt);
  }
  return std::make_unique<ChooserProgram>(std::move(command));
}

bool X11Platform::open_url(const std::string& url) {
  return start_detached({"xdg-open", url});
}

void X11Platform::draw_outline(const std::optional<Rect>& rect) {
  if (!x_->connected()) return;
  Display* d = x_->display();
  const Window root = x_->connection.root;
  // A compositing manager draws the screen itself: an outline on the root
  // would not be seen as it should.
  if (XGetSelectionOwner(d, XInternAtom(d, "_NET_WM_CM_S0", False)) != None) return;
  XGCValues v{};
  v.function = GXxor;
  v.subwindow_mode = IncludeInferiors;
  v.foreground = 0xFFFFFF;
  v.line_width = 2 * std::max(1, static_cast<int>(dialog_scale() + 0.25));
  GC gc = XCreateGC(d, root, GCFunction | GCSubwindowMode | GCForeground | GCLineWidth, &v);
  // Drawn twice, an outline is gone again: the last one is taken away, then
  // the new one drawn.
  auto draw = [&](const Rect& r) {
    XDrawRectangle(d, root, gc, r.x, r.y, static_cast<unsigned>(std::max(1, r.width)),
                   static_cast<unsigned>(std::max(1, r.height)));
  };
  if (x_->outline) draw(*x_->outline);
  x_->outline = rect;
  if (rect) draw(*rect);
  XFreeGC(d, gc);
  XFlush(d);
}

}  // namespace vs
