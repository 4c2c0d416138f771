#include <algorithm>

#include "forms/paint.h"

namespace vs::forms {

namespace {

constexpr int kEdge = 2;
constexpr int kFocusInset = 3;  // the focus mark, one pixel inside the edge

}  // namespace

void CommandButton::paint(Surface& s, const Rect& at) {
  if (face.width() < at.width || face.height() < at.height) {
    s.fill_rect(at.x, at.y, at.width, at.height, kFace);
  }
  s.copy_from(face, 0, 0, std::min(face.width(), at.width), std::min(face.height(), at.height),
              at.x, at.y);
  Form* f = form();
  const int line = f ? f->line() : 1;
  // The button Return presses wears a dark frame, its edge inside it: the
  // focused button, or the default one while no button has the focus.
  const bool framed =
      f && (f->focus() == this || (is_default && !dynamic_cast<CommandButton*>(f->focus())));
  if (framed) {
    s.fill_rect(at.x, at.y, at.width, line, kText);
    s.fill_rect(at.x, at.y + at.height - line, at.width, line, kText);
    s.fill_rect(at.x, at.y, line, at.height, kText);
    s.fill_rect(at.x + at.width - line, at.y, line, at.height, kText);
  }
  draw_edge(s, framed ? inset(at, line) : at, pressed_ ? Edge::Sunken : Edge::Raised, line);
  if (!f) return;
  if (f->font() && !caption.empty()) {
    const int shift = pressed_ ? f->line() : 0;
    const int x = at.x + (at.width - f->text_width(caption)) / 2 + shift;
    const int top = at.y + (at.height - f->font()->line_height()) / 2 + shift;
    f->draw_text(s, x, top + f->font()->ascent(), caption, kText, inset(at, f->px(kEdge)));
  }
  if (f->focus() == this) draw_focus_rect(s, inset(at, f->px(kFocusInset)), at);
}

void CommandButton::key_down(const Event& e) {
  if ((e.key == Key::Enter || e.key == Key::Space) && on_click) on_click();
}

void CommandButton::mouse_down(const MouseArgs& a) {
  if (a.button == MouseButton::Left) {
    armed_ = pressed_ = true;
    invalidate();
  }
  Control::mouse_down(a);
}

void CommandButton::mouse_move(int x, int y) {
  // Held down and moved off, it comes up; back over it, it goes down again.
  const bool over = armed_ && Rect{0, 0, bounds.width, bounds.height}.contains(x, y);
  if (over == pressed_) return;
  pressed_ = over;
  invalidate();
}

void CommandButton::mouse_up(const MouseArgs& a) {
  bool click = false;
  if (a.button == MouseButton::Left && armed_) {
    click = Rect{0, 0, bounds.width, bounds.height}.contains(a.x, a.y);
    armed_ = pressed_ = false;
    invalidate();
  }
  Control::mouse_up(a);
  if (click && on_click) on_click();
}

void CommandButton::cancel_press() {
  if (!armed_ && !pressed_) return;
  armed_ = pressed_ = false;
  invalidate();
}

}  // namespace vs::forms
