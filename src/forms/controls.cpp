// The plain controls: the base, panels, image controls and picture boxes.
#include "forms/paint.h"

namespace vs::forms {

namespace {

// A surface of the new size keeping the old one's top-left part; the rest
// takes the background.
void resize_image(Surface& image, int width, int height, uint32_t background) {
  Surface resized(width, height, background);
  resized.copy_from(image, 0, 0, image.width(), image.height(), 0, 0);
  image = std::move(resized);
}

// The image from the corner of `at`, the background where it does not reach.
void paint_image(Surface& s, const Rect& at, const Surface& image, uint32_t background) {
  if (image.width() < at.width || image.height() < at.height) {
    s.fill_rect(at.x, at.y, at.width, at.height, background);
  }
  s.copy_from(image, 0, 0, std::min(image.width(), at.width), std::min(image.height(), at.height),
              at.x, at.y);
}

}  // namespace

Control::~Control() = default;

Form* Control::form() const {
  const Control* c = this;
  while (c->parent_) c = c->parent_;
  return c->form_;
}

Rect Control::window_bounds() const {
  Rect r = bounds;
  for (const Control* p = parent_; p; p = p->parent_) r.x += p->bounds.x, r.y += p->bounds.y;
  return r;
}

void Control::invalidate() {
  if (Form* f = form()) f->invalidate();
}

void Control::mouse_down(const MouseArgs& a) {
  if (on_mouse_down) on_mouse_down(a);
}

void Control::mouse_up(const MouseArgs& a) {
  if (on_mouse_up) on_mouse_up(a);
}

Control* Control::hit(int x, int y) {
  return visible && Rect{0, 0, bounds.width, bounds.height}.contains(x, y) ? this : nullptr;
}

void Panel::add(Control& child) {
  if (child.parent_ == this) return;  // laid out again
  child.parent_ = this;
  children_.push_back(&child);
  invalidate();
}

void Panel::set_size(int width, int height) {
  bounds.width = width;
  bounds.height = height;
  resize_image(image, width, height, background);
  invalidate();
}

void Panel::paint(Surface& s, const Rect& at) {
  paint_image(s, at, image, background);
  for (Control* c : children_) {
    if (!c->visible) continue;
    const Rect place = moved(c->bounds, at.x, at.y);
    const Rect shown = intersect(place, at);
    if (shown.empty()) continue;
    if (shown == place) {
      c->paint(s, place);
      continue;
    }
    // A child reaching out of the panel is drawn on a copy of what lies
    // under it, and only its part inside the panel goes back.
    Surface part(place.width, place.height);
    part.copy_from(s, place.x, place.y, place.width, place.height, 0, 0);
    c->paint(part, Rect{0, 0, place.width, place.height});
    s.copy_from(part, shown.x - place.x, shown.y - place.y, shown.width, shown.height, shown.x,
                shown.y);
  }
}

Control* Panel::hit(int x, int y) {
  if (!Control::hit(x, y)) return nullptr;
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if (Control* c = (*it)->hit(x - (*it)->bounds.x, y - (*it)->bounds.y)) return c;
  }
  return this;
}

void ImageControl::set_picture(const Surface& picture) {
  picture_ = picture;
  invalidate();
}

void ImageControl::paint(Surface& s, const Rect& at) {
  draw_picture(s, picture_, at, stretch, at);
}

}  // namespace vs::forms
