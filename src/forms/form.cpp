#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "core/scale.h"
#include "forms/paint.h"

namespace vs::forms {

namespace {

constexpr int64_t kFrameUs = 16'000;   // presents at most about 60 times a second
constexpr size_t kCachedLines = 2048;  // a few screens of list rows, and every caption

bool showing(const Control* c) {
  for (; c; c = c->parent()) {
    if (!c->visible) return false;
  }
  return true;
}

MouseArgs args_for(const Event& e, const Control& c) {
  const Rect at = c.window_bounds();
  return {e.button, e.shift, e.x - at.x, e.y - at.y};
}

// The forms alive, so that a modal form reaches its owner's. Forms live on
// the one thread that runs their loops.
std::vector<Form*>& live_forms() {
  static std::vector<Form*> forms;
  return forms;
}

Form* form_of(const Platform& p, WindowId window) {
  if (window == 0) return nullptr;
  for (Form* f : live_forms()) {
    if (&f->platform() == &p && f->window() == window) return f;
  }
  return nullptr;
}

}  // namespace

// Lines of text as the font rendered them once: how far each one advances
// and its coverage (0..255) over the box its ink takes, from the pen's
// start and the baseline.
struct Form::TextCache {
  struct Line {
    int advance = 0;
    bool rendered = false;
    Rect ink;
    std::vector<uint8_t> coverage;
  };
  std::unordered_map<std::string, Line> lines;

  Line& get(Font& font, std::string_view text, bool render) {
    auto it = lines.find(std::string(text));
    if (it == lines.end()) {
      if (lines.size() >= kCachedLines) lines.clear();
      it = lines.emplace(std::string(text), Line{}).first;
      it->second.advance = font.width(text);
    }
    Line& line = it->second;
    if (render && !line.rendered) rasterise(font, text, line);
    return line;
  }

  // White on black, the coverage is what a channel holds afterwards: blending
  // it over other pixels later gives what drawing there would have given.
  static void rasterise(Font& font, std::string_view text, Line& line) {
    line.rendered = true;
    const int pad = std::max(1, font.line_height());
    const int baseline = pad + font.ascent();
    Surface ink(line.advance + 2 * pad, 3 * pad, 0);
    font.draw(ink, pad, baseline, text, pixel_rgb(255, 255, 255));
    int left = ink.width(), top = ink.height(), right = -1, bottom = -1;
    for (int y = 0; y < ink.height(); ++y) {
      for (int x = 0; x < ink.width(); ++x) {
        if (ink.at(x, y) == 0) continue;
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
    if (right < 0) return;  // blanks only
    line.ink = {left - pad, top - baseline, right - left + 1, bottom - top + 1};
    line.coverage.resize(static_cast<size_t>(line.ink.width) * line.ink.height);
    for (int y = 0; y < line.ink.height; ++y) {
      for (int x = 0; x < line.ink.width; ++x) {
        line.coverage[static_cast<size_t>(y) * line.ink.width + x] =
            static_cast<uint8_t>(ink.at(left + x, top + y) >> 8 & 0xFF);
      }
    }
  }
};

Form::Form(Platform& p, const DialogSpec& spec, std::unique_ptr<Font> font)
    : p_(p),
      loop_(p),
      owner_(spec.owner),
      scale_(spec.scale > 0 ? spec.scale : 1),
      font_(std::move(font)),
      text_(std::make_unique<TextCache>()) {
  window_ = p_.window_system().create_dialog_window(spec);
  closed_ = window_ == 0;
  client_.form_ = this;
  client_.bounds = {0, 0, spec.client_width, spec.client_height};
  client_.set_size(spec.client_width, spec.client_height);
  pixels_ = Surface(spec.client_width, spec.client_height);
  last_present_us_ = p_.system().now_us() - kFrameUs;
  live_forms().push_back(this);
}

Form::~Form() {
  close();
  std::erase(live_forms(), this);
}

int Form::px(int length) const {
  return scaled_length(length, scale_);
}

int Form::line() const {
  return line_width(scale_);
}

int scaled(const Control& c, int length) {
  const Form* f = c.form();
  return f ? f->px(length) : length;
}

void Form::rescale(double scale, std::unique_ptr<Font> font, int client_width, int client_height) {
  scale_ = scale > 0 ? scale : 1;
  font_ = std::move(font);
  text_ = std::make_unique<TextCache>();  // lines rendered in the old font
  client_.bounds.width = client_width;
  client_.bounds.height = client_height;
  pixels_ = Surface(client_width, client_height);
  if (!closed_) p_.window_system().resize_dialog(window_, client_width, client_height);
  invalidate();
}

void Form::set_tab_order(std::vector<Control*> order) {
  tab_order_ = std::move(order);
}

void Form::set_focus(Control* c) {
  if (c && !c->focusable()) return;
  if (c == focus_) return;
  focus_ = c;
  invalidate();
}

void Form::show() {
  if (closed_) return;
  if (!focus_) {
    for (Control* c : tab_order_) {
      if (c->focusable() && showing(c)) {
        set_focus(c);
        break;
      }
    }
  }
  paint_now();
  p_.window_system().show_window(window_);
  shown_ = true;
}

void Form::run_modal() {
  if (closed_) return;
  // The owner's input now reaches only this loop, which refuses it: a press
  // held there would never see its release, and its control would stay
  // down and take the next press. It ends now, as a modal window of the
  // system ends it, without acting. The owner's work (a listing, a load)
  // goes on under the box, and its window is painted.
  if (Form* owner = form_of(p_, owner_); owner && owner != this) {
    owner->cancel_press();
    loop_.nest_in(&owner->loop());
  }
  loop_.before_wait = [this](int64_t now) -> std::optional<int64_t> {
    if (!dirty_ || closed_) return std::nullopt;
    // What came meanwhile is painted once for all of it, at most once a
    // frame: long work stepping in the loop must not spend its time painting.
    if (now - last_present_us_ >= kFrameUs) {
      paint_now();
      return std::nullopt;
    }
    return last_present_us_ + kFrameUs;
  };
  loop_.run([this](const Event& e) { dispatch(e); });
}

void Form::close() {
  loop_.quit(0);
  if (closed_) return;
  closed_ = true;
  pressed_ = nullptr;
  p_.window_system().destroy_window(window_);
}

void Form::set_busy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  p_.window_system().set_busy(busy);
}

void Form::paint_now() {
  if (closed_) return;
  const Rect all{0, 0, pixels_.width(), pixels_.height()};
  client_.paint(pixels_, all);
  p_.window_system().present(window_, pixels_, all);
  dirty_ = false;
  last_present_us_ = p_.system().now_us();
  update_pointer_shapes();
}

void Form::update_pointer_shapes() {
  std::vector<std::pair<Rect, PointerShape>> regions;
  // In drawing order, so the last region holding a point is the control on
  // top there; a plain control over one with a shape of its own takes the
  // normal pointer back.
  auto walk = [&](auto& self, const Control& c, const Rect& clip) -> void {
    if (!c.visible) return;
    const Rect r = intersect(c.window_bounds(), clip);
    if (r.empty()) return;
    const bool covers = std::any_of(regions.begin(), regions.end(), [&](const auto& region) {
      return !intersect(region.first, r).empty();
    });
    if (c.pointer != PointerShape::Normal || covers) regions.emplace_back(r, c.pointer);
    if (const auto* panel = dynamic_cast<const Panel*>(&c)) {
      for (const Control* child : panel->children()) self(self, *child, r);
    }
  };
  walk(walk, client_, client_.bounds);
  if (regions == shapes_) return;
  shapes_ = std::move(regions);
  p_.window_system().set_pointer_shapes(window_, shapes_);
}

bool Form::dispatch(const Event& e) {
  if (window_ == 0 || e.window != window_) return false;
  switch (e.kind) {
    case Event::Kind::WindowGone:
      close();
      break;
    case Event::Kind::CloseRequest:
      if (closed_ || busy_) break;
      if (on_close_request) {
        on_close_request();
      } else {
        close();
      }
      break;
    case Event::Kind::Resized:
      break;
    case Event::Kind::ScaleChanged:
      if (!closed_ && e.x > 0 && on_scale_change) on_scale_change(e.x / 96.0);
      break;
    case Event::Kind::KeyDown:
    case Event::Kind::KeyUp:
      if (!closed_ && !busy_) key(e);
      break;
    default:
      if (!closed_) mouse(e);
      break;
  }
  return true;
}

void Form::key(const Event& e) {
  if (on_key && on_key(e)) return;
  if (e.kind != Event::Kind::KeyDown) return;
  if (e.key == Key::Tab) {
    std::vector<Control*> stops;
    for (Control* c : tab_order_) {
      if (c->focusable() && showing(c)) stops.push_back(c);
    }
    if (stops.empty()) return;
    const int n = static_cast<int>(stops.size());
    const auto at = std::find(stops.begin(), stops.end(), focus_);
    const int i = at == stops.end() ? (e.shift ? 0 : -1) : static_cast<int>(at - stops.begin());
    set_focus(stops[static_cast<size_t>((i + (e.shift ? n - 1 : 1)) % n)]);
    return;
  }
  if (focus_ && showing(focus_)) focus_->key_down(e);
}

void Form::cancel_press() {
  Control* held = pressed_;
  pressed_ = nullptr;
  buttons_held_ = 0;
  if (held) held->cancel_press();
}

void Form::mouse(const Event& e) {
  const int bit = 1 << static_cast<int>(e.button);
  // While busy, the form takes no input; only the release of a press made
  // before still reaches its control, which would otherwise stay held.
  if (busy_ && !(e.kind == Event::Kind::MouseUp && pressed_)) return;
  switch (e.kind) {
    case Event::Kind::MouseDown: {
      pointer_ = {e.x, e.y};
      if (e.button == MouseButton::NoButton) return;
      buttons_held_ |= bit;
      Control* target = pressed_;
      if (!target) {
        target = client_.hit(e.x, e.y);
        if (!target) return;
        pressed_ = target;
        if (target->focusable()) set_focus(target);
      }
      target->mouse_down(args_for(e, *target));
      break;
    }
    case Event::Kind::MouseUp: {
      pointer_ = {e.x, e.y};
      buttons_held_ &= ~bit;
      Control* target = pressed_;
      if (buttons_held_ == 0) pressed_ = nullptr;
      if (target) target->mouse_up(args_for(e, *target));
      break;
    }
    case Event::Kind::MouseMove: {
      pointer_ = {e.x, e.y};
      Control* target = pressed_ ? pressed_ : client_.hit(e.x, e.y);
      if (target) {
        const Rect at = target->window_bounds();
        target->mouse_move(e.x - at.x, e.y - at.y);
      }
      break;
    }
    case Event::Kind::Wheel: {
      // The wheel scrolls the list under the pointer; elsewhere it goes to
      // the control that has the keyboard.
      Control* under = pointer_.x >= 0 ? client_.hit(pointer_.x, pointer_.y) : nullptr;
      Control* target = under && under->focusable() ? under : focus_;
      if (target && showing(target)) target->wheel(e.y);
      break;
    }
    default:
      break;
  }
}

int Form::text_width(std::string_view line) {
  if (!font_ || line.empty()) return 0;
  return text_->get(*font_, line, false).advance;
}

void Form::draw_text(Surface& s, int x, int baseline, std::string_view line, uint32_t pixel,
                     const Rect& clip) {
  if (!font_ || line.empty()) return;
  const TextCache::Line& l = text_->get(*font_, line, true);
  const Rect at{x + l.ink.x, baseline + l.ink.y, l.ink.width, l.ink.height};
  const Rect shown = intersect(intersect(at, clip), Rect{0, 0, s.width(), s.height()});
  if (shown.empty()) return;
  for (int y = shown.y; y < shown.y + shown.height; ++y) {
    const uint8_t* cover = l.coverage.data() + static_cast<size_t>(y - at.y) * at.width;
    uint32_t* row = s.row(y);
    for (int px = shown.x; px < shown.x + shown.width; ++px) {
      const uint32_t c = cover[px - at.x];
      if (c == 0) continue;
      if (c == 255) {
        row[px] = pixel;
        continue;
      }
      // As Surface::blend mixes, so cached text looks as drawn text does.
      uint32_t out = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t a = (pixel >> shift) & 0xFF, b = (row[px] >> shift) & 0xFF;
        out |= ((a * c + b * (255 - c) + 127) / 255) << shift;
      }
      row[px] = out;
    }
  }
  s.mark_dirty(shown.y, shown.y + shown.height);
}

}  // namespace vs::forms
