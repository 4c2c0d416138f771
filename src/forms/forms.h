// The small forms runtime: dialogs drawn by the program itself, the same on
// every system. A Form owns one dialog window of the platform; its controls
// (panels with a persistent image, image controls, labels, graphical
// command buttons, a sorted list box, a picture box) are drawn into one
// Surface of the window's size, which the platform presents. The platform
// gives only the window, glyphs, input and presenting.
//
// Controls are plain objects owned by whoever builds the form (a dialog
// class keeps them as members); a parent only points at its children.
// Positions are pixels within the parent; handlers are std::functions.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/surface.h"
#include "platform/event_loop.h"
#include "platform/platform.h"

namespace vs::forms {

// Image controls leave out pixels of this colour, so what lies under them
// shows around round shapes.
constexpr uint32_t kTransparentKey = pixel_rgb(255, 0, 255);

class Form;
class Panel;

// The mouse handlers' arguments, as the controls' owners receive them.
struct MouseArgs {
  MouseButton button = MouseButton::NoButton;
  bool shift = false;
  int x = 0;  // within the control
  int y = 0;
};

class Control {
 public:
  Control() = default;
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Rect bounds;  // within the parent
  bool visible = true;
  PointerShape pointer = PointerShape::Normal;  // over this control
  // Called on a press and a release of any mouse button over the control
  // (the release goes to the control that had the press).
  std::function<void(const MouseArgs&)> on_mouse_down;
  std::function<void(const MouseArgs&)> on_mouse_up;

  Panel* parent() const { return parent_; }
  Form* form() const;
  // The control's place in its window's client area.
  Rect window_bounds() const;
  // Asks the form to draw the control again before it next presents.
  void invalidate();

  // The form's side.
  virtual void paint(Surface& s, const Rect& at) = 0;
  virtual bool focusable() const { return false; }
  virtual void key_down(const Event&) {}
  virtual void mouse_down(const MouseArgs& a);
  virtual void mouse_up(const MouseArgs& a);
  // The form took back the press this control had (a modal window came
  // over the form, and the release will not come here): let go without
  // acting on it.
  virtual void cancel_press() {}
  // Moves go to the control under the pointer, or while a button is held
  // to the control that had the press.
  virtual void mouse_move(int /*x*/, int /*y*/) {}
  virtual void wheel(int /*steps*/) {}
  // The control under a point of the control (itself, or a child of a
  // panel), or null.
  virtual Control* hit(int x, int y);

 private:
  friend class Panel;
  friend class Form;
  Panel* parent_ = nullptr;
  Form* form_ = nullptr;  // the root panel's
};

// A container with a persistent image: what is drawn into `image` (the
// background texture, a frame) stays, and children are drawn over it,
// clipped to the panel. The image is kept at the panel's size; set_size
// fills what it adds with the background colour.
class Panel : public Control {
 public:
  Surface image;
  uint32_t background = pixel_rgb(192, 192, 192);  // under an empty image

  // Children are drawn in the order added, the last on top; adding a child
  // again changes nothing.
  void add(Control& child);
  const std::vector<Control*>& children() const { return children_; }
  void set_size(int width, int height);  // bounds and image together

  void paint(Surface& s, const Rect& at) override;
  Control* hit(int x, int y) override;

 private:
  std::vector<Control*> children_;
};

// A picture at its own size from the control's corner, clipped to the
// control, or stretched to it; kTransparentKey pixels are left out. An
// empty picture shows nothing.
class ImageControl : public Control {
 public:
  void set_picture(const Surface& picture);
  const Surface& picture() const { return picture_; }
  bool stretch = false;

  void paint(Surface& s, const Rect& at) override;

 private:
  Surface picture_;
};

enum class Align { Left, Centre, Right };

// Text drawn transparently over what lies under the label, in the form's
// font, on one line per line break; optionally with a single-line sunken
// border (the text then inside it) and underlined.
class Label : public Control {
 public:
  void set_caption(std::string caption);
  const std::string& caption() const { return caption_; }
  Align align = Align::Left;
  bool border = false;
  bool underline = false;
  uint32_t colour = 0;  // the text's
  // A label the keyboard reaches (the caption of a check or an option, a
  // link): it takes the focus, shows the focus mark round itself, and hands
  // the keys pressed on it to on_key.
  bool takes_focus = false;
  std::function<void(const Event&)> on_key;
  // The caption is a path: it wraps at separators within the label's lines,
  // and one longer than them shows its start and its end.
  bool wraps_path = false;

  void paint(Surface& s, const Rect& at) override;
  bool focusable() const override { return takes_focus; }
  void key_down(const Event& e) override {
    if (on_key) on_key(e);
  }

 private:
  std::string caption_;
};

// A graphical command button: the top-left part of its face picture with
// the caption centred on it, a raised edge, sunk while pressed; a focus
// mark while it has the keyboard. A click is a left press and release over
// it, or Enter or Space while it has the focus.
class CommandButton : public Control {
 public:
  std::string caption;
  Surface face;
  // The form's default button: Return presses it unless another button has
  // the focus, and it shows so.
  bool is_default = false;
  std::function<void()> on_click;

  void paint(Surface& s, const Rect& at) override;
  bool focusable() const override { return true; }
  void key_down(const Event& e) override;
  void mouse_down(const MouseArgs& a) override;
  void mouse_up(const MouseArgs& a) override;
  void cancel_press() override;
  void mouse_move(int x, int y) override;

 private:
  bool pressed_ = false;
  bool armed_ = false;  // the left button went down over it
};

// A list of text entries kept sorted without regard to letter case as they
// are inserted (O(log n) each), with a white background, one selected entry
// (or none), a vertical scroll bar when the entries do not fit and a
// horizontal one when the extent is wider than the list. The selection
// follows a click, the arrow keys, Page Up and Down, Home and End; the wheel
// scrolls. on_select runs whenever the selection changes.
class ListBox : public Control {
 public:
  ListBox();
  ~ListBox() override;

  // Inserts in order; equal entries keep the order they came in.
  void add(std::string entry);
  void clear();
  int count() const;
  const std::string& entry(int index) const;
  int selected() const { return selected_; }  // -1: none
  // -1 clears; another entry is scrolled into view. Runs on_select when
  // the selection changes; an index out of range changes nothing.
  void select(int index);
  // How far the entries may be scrolled sideways, in pixels (0: no
  // horizontal scroll bar).
  void set_horizontal_extent(int pixels);
  int horizontal_extent() const { return extent_; }
  int top_index() const { return top_; }     // the first entry shown
  int left_offset() const { return left_; }  // pixels scrolled sideways
  std::function<void()> on_select;

  void paint(Surface& s, const Rect& at) override;
  bool focusable() const override { return true; }
  void key_down(const Event& e) override;
  void mouse_down(const MouseArgs& a) override;
  void mouse_move(int x, int y) override;
  void mouse_up(const MouseArgs& a) override;
  void cancel_press() override { dragging_ = 0; }
  void wheel(int steps) override;

 private:
  struct Entries;
  struct Layout;
  Layout layout() const;
  void scroll_to(int top, int left);  // clamped to what there is to scroll

  std::unique_ptr<Entries> entries_;
  int selected_ = -1;
  int top_ = 0;
  int left_ = 0;  // pixels scrolled sideways
  int extent_ = 0;
  int dragging_ = 0;  // 1 vertical thumb, 2 horizontal thumb, 3 rows
  int drag_from_ = 0;
};

// A panel without children whose image the program draws into (a
// preview); its size may change while the form is open (the image keeps its
// top-left part, the rest takes the background).
class PictureBox : public Panel {
 public:
  PictureBox() { background = pixel_rgb(224, 224, 224); }
};

// Draws a 3-D edge two pixels wide inside the rectangle, as Windows' DrawEdge
// with all four sides: raised (light top-left, dark bottom-right, edge 5)
// or sunken.
enum class Edge { Raised, Sunken };
void draw_edge(Surface& s, const Rect& r, Edge edge, int line = 1);
// A length at 96 dots per inch in the pixels of the control's form (as it
// is, without a form).
int scaled(const Control& c, int length);

class Form {
 public:
  // The dialog window is made at once, hidden. The font is the one every
  // label, button and list of the form uses.
  Form(Platform& p, const DialogSpec& spec, std::unique_ptr<Font> font);
  ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  Platform& platform() const { return p_; }
  WindowId window() const { return window_; }
  bool made() const { return window_ != 0; }
  Font* font() const { return font_.get(); }
  // The screen scale the form is laid out at, and a length of the layout
  // at 96 dots per inch in its pixels.
  double scale() const { return scale_; }
  int px(int length) const;
  // The width of lines drawn one pixel wide at 96 dots per inch: whole
  // pixels, so edges stay crisp.
  int line() const;
  // After the scale changed: the form's new font, and its client area's
  // new size (the controls laid out again by the owner).
  void rescale(double scale, std::unique_ptr<Font> font, int client_width, int client_height);
  // Runs when the window went to a screen of another scale (its dots per
  // inch / 96); the owner lays the form out again and calls rescale.
  std::function<void(double)> on_scale_change;
  // The client area: the root of the controls.
  Panel& client() { return client_; }

  // The keyboard's order among focusable controls (Tab, Shift+Tab).
  void set_tab_order(std::vector<Control*> order);
  Control* focus() const { return focus_; }
  void set_focus(Control* c);

  // Shows the window, painted.
  void show();
  // The form's one loop: its owner adds the jobs of long work to it (a
  // folder listing, a picture load), which step between events.
  EventLoop& loop() { return loop_; }
  // Runs the form's loop until it closes (or until no event can come any
  // more), presenting what changed at most about 60 times a second. The
  // owner shows the form, at once or from a job of the loop. Meanwhile the
  // loop takes only this form's input: a press held on the owner's form
  // (DialogSpec::owner) is taken back as it starts.
  void run_modal();
  // Closes the form: the window goes and the loop ends.
  void close();
  bool closed() const { return closed_; }
  // Runs instead of closing when the window manager's close box is used
  // (unset: the form closes).
  std::function<void()> on_close_request;
  // Sees every key pressed or released in the form before the focused
  // control does; true keeps the key from the control (and from Tab).
  std::function<bool(const Event&)> on_key;
  // While busy, the form takes no input, as the owner of a modal window of
  // another program (the folder chooser); it is still repainted.
  void set_busy(bool busy);

  // Draws what changed and presents it now.
  void paint_now();
  // Marks everything for drawing again.
  void invalidate() { dirty_ = true; }
  // The form's pixels as last painted (for tests).
  const Surface& pixels() const { return pixels_; }

  // One line of text in the form's font, measured and drawn through a
  // cache of rendered lines: fonts render every glyph anew on each call,
  // which would make repainting slow. Drawing blends over what the
  // surface holds and stays inside clip. Without a font a line is 0 wide
  // and nothing is drawn.
  int text_width(std::string_view line);
  void draw_text(Surface& s, int x, int baseline, std::string_view line, uint32_t pixel,
                 const Rect& clip);

  // Hands an event to the form's controls; false when it was not the
  // form's.
  bool dispatch(const Event& e);

 private:
  struct TextCache;
  void update_pointer_shapes();
  // Ends the press held on the form without its release.
  void cancel_press();
  void mouse(const Event& e);
  void key(const Event& e);

  Platform& p_;
  EventLoop loop_;
  WindowId window_ = 0;
  WindowId owner_ = 0;
  double scale_ = 1;
  std::unique_ptr<Font> font_;
  std::unique_ptr<TextCache> text_;
  Panel client_;
  Surface pixels_;
  std::vector<Control*> tab_order_;
  Control* focus_ = nullptr;
  Control* pressed_ = nullptr;  // gets the release of a press
  int buttons_held_ = 0;        // bits by MouseButton
  Point pointer_{-1, -1};       // last seen over the form; the wheel goes there
  std::vector<std::pair<Rect, PointerShape>> shapes_;  // as last given
  bool dirty_ = true;
  bool shown_ = false;
  bool closed_ = false;
  bool busy_ = false;
  int64_t last_present_us_ = 0;
};

}  // namespace vs::forms
