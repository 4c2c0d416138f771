// The Windows edition's windows: the saver screen (a topmost popup over
// every monitor, drawing on the primary one), the preview child inside the
// display settings' window, dialogs for the forms runtime, and the
// system's own message box, folder chooser, shell and caption animation.
// Pixels are presented with SetDIBitsToDevice; events come from the
// message queue, waited for with MsgWaitForMultipleObjects.
//
// Use it from one thread (picture loads excepted: they touch no window).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_system.h"

namespace vs {

class Win32Platform : public Platform,
                      public Win32System,
                      public WindowSystem,
                      public Desktop,
                      public SaverHost {
 public:
  System& system() override { return *this; }
  WindowSystem& window_system() override { return *this; }
  Desktop& desktop() override { return *this; }
  SaverHost* saver_host() override { return this; }
  explicit Win32Platform(std::vector<std::string> args);
  ~Win32Platform() override;
  [[noreturn]] void end_program_now(int status) override;

  ScreenInfo screen() override;
  Language language() const override;
  double dialog_scale() override;
  void resize_dialog(WindowId window, int client_width, int client_height) override;
  bool window_exists(const std::string& title) override;
  bool claim_single_copy() override;
  ChildWindow use_host_window(ForeignWindow window) override;
  WindowId create_saver_window(const std::string& title) override;
  ChildWindow create_preview_window(ForeignWindow parent) override;
  WindowId create_dialog_window(const DialogSpec& spec) override;
  void show_window(WindowId window) override;
  void destroy_window(WindowId window) override;
  std::optional<Rect> window_rect(WindowId window) override;
  void present(WindowId window, const Surface& surface, const Rect& area) override;
  std::optional<Event> next_event(int timeout_ms) override;
  void wake() override;

  int show_cursor(bool show) override;
  std::optional<Point> pointer_position() override;
  void set_hand_pointer(const PointerImage& image) override;
  void set_pointer_shapes(WindowId window,
                          const std::vector<std::pair<Rect, PointerShape>>& regions) override;
  void set_busy(bool busy) override;

  std::unique_ptr<FolderChooser> choose_folder(WindowId owner, const std::string& title,
                                               const std::string& start) override;
  bool open_url(const std::string& url) override;
  bool animate_rect(const Rect& from, const Rect& to) override;
  void message_box(WindowId owner, const std::string& text, const std::string& title,
                   MessageIcon icon) override;

  bool is_nt_family() override;
  void change_saver_password(ForeignWindow owner) override;
  bool verify_saver_password(WindowId window) override;
  void set_saver_running(bool running) override;
  void set_saver_active() override;

  struct State;

 private:
  std::unique_ptr<State> w_;
};

}  // namespace vs
