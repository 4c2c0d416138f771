#include "forms/paint.h"

#include <algorithm>

namespace vs::forms {

namespace {

constexpr int kBorderInset = 2;  // the text's distance from a border

}  // namespace

void Label::set_caption(std::string caption) {
  caption_ = std::move(caption);
  invalidate();
}

void Label::paint(Surface& s, const Rect& at) {
  Rect text = at;
  if (border) {
    // A single sunken line, as a label's fixed single border.
    const int line = form() ? form()->line() : 1;
    const int right = at.x + at.width - line, bottom = at.y + at.height - line;
    s.fill_rect(at.x, at.y, at.width - 1, line, kShadow);
    s.fill_rect(at.x, at.y, line, at.height - 1, kShadow);
    s.fill_rect(at.x, bottom, at.width, line, kHighlight);
    s.fill_rect(right, at.y, line, at.height, kHighlight);
    text = inset(at, scaled(*this, kBorderInset));
  }
  Form* f = form();
  if (f && takes_focus && f->focus() == this) draw_focus_rect(s, at, at);
  if (!f || !f->font() || caption_.empty()) return;
  const Rect clip = inset(at, border ? f->line() : 0);  // inside the border line
  const int ascent = f->font()->ascent(), line_height = f->font()->line_height();
  int top = text.y;
  const std::vector<std::string> lines =
      wraps_path ? wrap_path(caption_, text.width, text.height / std::max(1, line_height),
                             [f](const std::string& t) { return f->text_width(t); })
                 : split_lines(caption_);
  for (const std::string& line : lines) {
    const int width = f->text_width(line);
    int x = text.x;
    if (align == Align::Centre) x += (text.width - width) / 2;
    if (align == Align::Right) x += text.width - width;
    f->draw_text(s, x, top + ascent, line, colour, clip);
    if (underline) fill_clipped(s, Rect{x, top + ascent + 1, width, f->line()}, colour, clip);
    top += line_height;
  }
}

}  // namespace vs::forms
