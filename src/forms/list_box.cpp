#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>

#include <algorithm>

#include "forms/paint.h"
#include "forms/scroll_bar.h"

namespace vs::forms {

namespace {

constexpr int kTextMargin = 2;        // between the left side and the text
constexpr int kHorizontalLine = 8;    // pixels an arrow scrolls sideways: about a letter
constexpr int kWheelRows = 3;         // rows a wheel step scrolls
constexpr int kRowsWithoutFont = 13;  // row height when no font was found

// Letter case does not count: ASCII letters are folded; any other byte
// (the parts of a UTF-8 character among them) compares as it is.
int compare_folded(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto fold = [](char c) {
      const auto u = static_cast<unsigned char>(c);
      return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
    };
    const unsigned fa = fold(a[i]), fb = fold(b[i]);
    if (fa != fb) return fa < fb ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

// The entries by insertion number, ordered in a tree that also counts the
// nodes under each node, so that both inserting and finding the i-th
// entry take O(log n) even for tens of thousands of file names.
struct ListBox::Entries {
  struct Before {
    const std::vector<std::string>* texts;
    bool operator()(uint32_t a, uint32_t b) const {
      const int c = compare_folded((*texts)[a], (*texts)[b]);
      return c != 0 ? c < 0 : a < b;  // equal entries in the order they came
    }
  };
  using Order = __gnu_pbds::tree<uint32_t, __gnu_pbds::null_type, Before, __gnu_pbds::rb_tree_tag,
                                 __gnu_pbds::tree_order_statistics_node_update>;

  Entries() : order(Before{&texts}) {}

  std::vector<std::string> texts;
  Order order;
};

struct ListBox::Layout {
  Rect text;  // the rows' area, within the control
  int row_height = 1;
  int page = 1;               // rows wholly in view
  int bar = kScrollBarWidth;  // a scroll bar's breadth
  bool has_vertical = false;
  bool has_horizontal = false;
  ScrollBar vertical;
  ScrollBar horizontal;
};

ListBox::ListBox() : entries_(std::make_unique<Entries>()) {}

ListBox::~ListBox() = default;

void ListBox::add(std::string entry) {
  const auto id = static_cast<uint32_t>(entries_->texts.size());
  entries_->texts.push_back(std::move(entry));
  entries_->order.insert(id);
  // The selection stays with its entry.
  if (selected_ >= 0 && static_cast<int>(entries_->order.order_of_key(id)) <= selected_) {
    ++selected_;
  }
  invalidate();
}

void ListBox::clear() {
  entries_->order.clear();
  entries_->texts.clear();
  selected_ = -1;
  top_ = left_ = 0;
  dragging_ = 0;
  invalidate();
}

int ListBox::count() const {
  return static_cast<int>(entries_->order.size());
}

const std::string& ListBox::entry(int index) const {
  static const std::string none;
  if (index < 0 || index >= count()) return none;
  return entries_->texts[*entries_->order.find_by_order(static_cast<size_t>(index))];
}

ListBox::Layout ListBox::layout() const {
  Layout l;
  const Form* f = form();
  l.row_height =
      f && f->font() ? std::max(1, f->font()->line_height()) : scaled(*this, kRowsWithoutFont);
  const int line = f ? f->line() : 1;
  l.bar = scaled(*this, kScrollBarWidth);
  const Rect inner = inset(Rect{0, 0, bounds.width, bounds.height}, 2 * line);
  // Each bar takes room from the other's direction, so one may bring the
  // other; both only ever come, so a few rounds settle it.
  for (int round = 0; round < 3; ++round) {
    const int width = inner.width - (l.has_vertical ? l.bar : 0);
    const int height = inner.height - (l.has_horizontal ? l.bar : 0);
    l.has_horizontal = extent_ > width;
    l.has_vertical = count() > std::max(1, height / l.row_height);
  }
  l.text = {inner.x, inner.y, inner.width - (l.has_vertical ? l.bar : 0),
            inner.height - (l.has_horizontal ? l.bar : 0)};
  l.page = std::max(1, l.text.height / l.row_height);
  const int min_thumb = scaled(*this, 8);
  l.vertical = {Rect{l.text.x + l.text.width, inner.y, l.bar, l.text.height},
                true,
                top_,
                l.has_vertical ? std::max(0, count() - l.page) : 0,
                l.page,
                l.bar,
                min_thumb,
                line};
  l.horizontal = {Rect{inner.x, l.text.y + l.text.height, l.text.width, l.bar},
                  false,
                  left_,
                  l.has_horizontal ? std::max(0, extent_ - l.text.width) : 0,
                  std::max(1, l.text.width),
                  l.bar,
                  min_thumb,
                  line};
  return l;
}

void ListBox::scroll_to(int top, int left) {
  const Layout l = layout();
  top = std::clamp(top, 0, l.vertical.max);
  left = std::clamp(left, 0, l.horizontal.max);
  if (top == top_ && left == left_) return;
  top_ = top;
  left_ = left;
  invalidate();
}

void ListBox::select(int index) {
  if (index < -1 || index >= count()) return;
  const bool changed = index != selected_;
  selected_ = index;
  if (index >= 0) {
    const int page = layout().page;
    if (index < top_) scroll_to(index, left_);
    if (index >= top_ + page) scroll_to(index - page + 1, left_);
  }
  invalidate();
  if (changed && on_select) on_select();
}

void ListBox::set_horizontal_extent(int pixels) {
  extent_ = std::max(0, pixels);
  scroll_to(top_, left_);
  invalidate();
}

void ListBox::paint(Surface& s, const Rect& at) {
  scroll_to(top_, left_);  // the size or the font may have changed
  const Layout l = layout();
  Form* f = form();
  const Rect text = moved(l.text, at.x, at.y);
  s.fill_rect(text.x, text.y, text.width, text.height, kWindow);
  const bool focused = f && f->focus() == this;
  if (top_ < count()) {
    auto it = entries_->order.find_by_order(static_cast<size_t>(top_));
    for (int index = top_, y = text.y; it != entries_->order.end() && y < text.y + text.height;
         ++it, ++index, y += l.row_height) {
      const Rect row{text.x, y, text.width, l.row_height};
      const bool selected = index == selected_;
      if (selected) fill_clipped(s, row, kSelection, text);
      if (f && f->font()) {
        f->draw_text(s, text.x + f->px(kTextMargin) - left_, y + f->font()->ascent(),
                     entries_->texts[*it], selected ? kHighlight : kText, text);
      }
      if (selected && focused) draw_focus_rect(s, row, text);
    }
  }
  draw_edge(s, at, Edge::Sunken, f ? f->line() : 1);
  if (l.has_vertical) l.vertical.paint(s, at.x, at.y);
  if (l.has_horizontal) l.horizontal.paint(s, at.x, at.y);
  if (l.has_vertical && l.has_horizontal) {
    s.fill_rect(at.x + l.vertical.r.x, at.y + l.horizontal.r.y, l.bar, l.bar, kFace);
  }
}

void ListBox::key_down(const Event& e) {
  const int n = count();
  if (n == 0) return;
  const int step = std::max(1, layout().page - 1);  // a page on keeps one row in view
  int to = selected_;
  switch (e.key) {
    case Key::Up:
      to = selected_ - 1;
      break;
    case Key::Down:
      to = selected_ + 1;
      break;
    case Key::PageUp:
      to = selected_ - step;
      break;
    case Key::PageDown:
      to = selected_ + step;
      break;
    case Key::Home:
      to = 0;
      break;
    case Key::End:
      to = n - 1;
      break;
    default:
      return;
  }
  select(std::clamp(to, 0, n - 1));
}

void ListBox::mouse_down(const MouseArgs& a) {
  if (a.button == MouseButton::Left) {
    const Layout l = layout();
    for (const ScrollBar* bar : {&l.vertical, &l.horizontal}) {
      if (!(bar->vertical ? l.has_vertical : l.has_horizontal)) continue;
      const ScrollBar::Part part = bar->part_at(a.x, a.y);
      if (part == ScrollBar::Part::None) continue;
      const int line = bar->vertical ? 1 : scaled(*this, kHorizontalLine);
      int to = bar->pos;
      switch (part) {
        case ScrollBar::Part::LineBack:
          to -= line;
          break;
        case ScrollBar::Part::LineForward:
          to += line;
          break;
        case ScrollBar::Part::PageBack:
          to -= bar->page;
          break;
        case ScrollBar::Part::PageForward:
          to += bar->page;
          break;
        default:
          dragging_ = bar->vertical ? 1 : 2;
          drag_from_ = (bar->vertical ? a.y - bar->r.y : a.x - bar->r.x) - bar->thumb_start();
          break;
      }
      if (bar->vertical) {
        scroll_to(to, left_);
      } else {
        scroll_to(top_, to);
      }
      Control::mouse_down(a);
      return;
    }
    if (l.text.contains(a.x, a.y)) {
      // Below the last entry there is nothing to pick.
      const int row = top_ + (a.y - l.text.y) / l.row_height;
      if (row < count()) {
        select(row);
        dragging_ = 3;
      }
    }
  }
  Control::mouse_down(a);
}

void ListBox::mouse_move(int x, int y) {
  if (dragging_ == 0) return;
  const Layout l = layout();
  if (dragging_ == 1) {
    scroll_to(l.vertical.pos_for_thumb(y - l.vertical.r.y - drag_from_), left_);
  } else if (dragging_ == 2) {
    scroll_to(top_, l.horizontal.pos_for_thumb(x - l.horizontal.r.x - drag_from_));
  } else {
    // The selection follows the pointer, one row further each move while
    // it is above or below the rows.
    int row = top_ + (y - l.text.y) / l.row_height;
    if (y < l.text.y) row = top_ - 1;
    if (y >= l.text.y + l.page * l.row_height) row = top_ + l.page;
    row = std::clamp(row, 0, count() - 1);
    if (row != selected_) select(row);
  }
}

void ListBox::mouse_up(const MouseArgs& a) {
  if (a.button == MouseButton::Left) dragging_ = 0;
  Control::mouse_up(a);
}

void ListBox::wheel(int steps) {
  scroll_to(top_ + steps * kWheelRows, left_);
}

}  // namespace vs::forms
