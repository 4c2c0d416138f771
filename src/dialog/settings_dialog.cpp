#include "dialog/settings_dialog.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/numeric.h"
#include "core/scale.h"
#include "dialog/stock_images.h"
#include "forms/paint.h"

namespace vs {

namespace {

constexpr int kClientWidth = 549;
constexpr int kClientHeight = 385;
// The frame a window gets around its client area, as the dialog's outer
// size counts it.
constexpr int kFrameWidth = 6;
constexpr int kFrameHeight = 25;

// In Japanese: "ＭＳ Ｐゴシック" where Windows has it, else the look-alikes
// of Linux desktops. In English the desktop's own text font comes first:
// these draw the backslash of a Windows path as a yen sign.
const std::vector<std::string> kFontFamilies = {"ＭＳ Ｐゴシック", "MS PGothic", "Meiryo UI",
                                                "Yu Gothic UI",    "IPAPGothic", "VL PGothic",
                                                "Noto Sans CJK JP"};
constexpr double kFontPoints = 9.75;
// The scales a dialog is laid out at: below 96 dots per inch it stays at
// its own size, and far above one no screen goes.
constexpr double kLeastScale = 1.0, kGreatestScale = 4.0;

constexpr std::array<const char*, kKindCount> kKindCaptions = {
    "*.bmp", "*.gif", "*.jpg", "*.wmf", "*.png", "*.webp", "*.heic", "*.avif", "*.tif"};
constexpr const char* kCredit = "Designed by t-Orvy Ver.1.0.0";

// Every caption, for finding a font that has all their characters.
std::string all_captions(const Texts& t) {
  std::string s = std::string(kCredit) + " *. 0123456789" + t.count_unit;
  for (const auto* group : {&t.order, &t.size, &t.method}) {
    for (const char* c : *group) s += c;
  }
  for (const char* c : t.headings) s += c;
  for (const char* c : kKindCaptions) s += c;
  for (const char* c : t.buttons) s += c;
  return s + t.subfolders;
}

}  // namespace

SettingsDialog::SettingsDialog(Platform& p, Settings& settings, Catalogue& catalogue)
    : p_(p), settings_(settings), catalogue_(catalogue), texts_(texts_for(p.system().language())) {
  background_strip_ = stock_background_strip();
  icon_ = stock_window_icon();
  // Nothing previewed yet: an empty black area.
  preview_picture_ = PictureResult::success(Surface(45, 41));
  draw_stock_images();
  lay_out();
  connect_handlers();
}

// The jobs go with the form; a preview load still running is stopped here.
SettingsDialog::~SettingsDialog() = default;

double SettingsDialog::scale() const {
  return form_ ? form_->scale() : 1;
}

int SettingsDialog::px(int length) const {
  return form_ ? form_->px(length) : length;
}

void SettingsDialog::place(forms::Control& c, forms::Panel& parent, int x, int y, int w, int h) {
  // Both edges scaled, so that controls side by side at 96 dots per inch
  // stay side by side.
  c.bounds = {px(x), px(y), px(x + w) - px(x), px(y + h) - px(y)};
  parent.add(c);
}

void SettingsDialog::place_label(forms::Label& l, forms::Panel& parent, int x, int y, int w, int h,
                                 const std::string& caption, forms::Align align) {
  l.set_caption(caption);
  l.align = align;
  place(l, parent, x, y, w, h);
}

void SettingsDialog::place_panel(forms::Panel& panel, forms::Panel& parent, int x, int y, int w,
                                 int h) {
  place(panel, parent, x, y, w, h);
  panel.set_size(panel.bounds.width, panel.bounds.height);
}

void SettingsDialog::draw_stock_images() {
  const double at = scale();
  option_mark_images_ = {stock_option_mark(false, at), stock_option_mark(true, at)};
  check_mark_images_ = {stock_check_mark(false, at), stock_check_mark(true, at)};
  heading_plate_image_ = stock_heading_plate(at);
  button_face_image_ = stock_button_face(at);
}

// Places every control at the dialog's scale; the numbers are its pixels at
// 96 dots per inch. Laid out again at another scale, the controls keep what
// they show.
void SettingsDialog::lay_out() {
  using forms::Align;
  const Texts& t = texts_;
  client_panel_.set_size(px(kClientWidth), px(kClientHeight));
  place_panel(files_panel_, client_panel_, 12, 12, 313, 329);
  place_panel(options_panel_, client_panel_, 336, 12, 197, 189);
  place_panel(later_kinds_panel_, client_panel_, 336, 206, 197, 82);

  place(buttons_[2], client_panel_, 336, 320, 101, 21);
  place(buttons_[3], client_panel_, 440, 320, 97, 21);
  place_label(credit_label_, client_panel_, 336, 292, 168, 13, kCredit);
  place_label(address_label_, client_panel_, 12, 356, 352, 13, kHomePage);
  address_label_.underline = true;
  address_label_.colour = pixel_rgb(0, 0, 192);

  // Files, preview and kinds.
  forms::Panel& files = files_panel_;
  place(heading_plates_[0], files, 12, 8, 95, 22);
  place_label(headings_[0], files, 12, 12, 95, 17, t.headings[0], Align::Centre);
  place(buttons_[0], files, 12, 40, 97, 21);
  place(count_label_, files, 112, 44, 33, 17);
  count_label_.align = Align::Right;
  count_label_.border = true;
  place_label(count_unit_label_, files, 148, 48, 17, 13, t.count_unit);
  place(file_list_, files, 12, 68, 169, 212);
  place(folder_label_, files, 12, 284, 285, 33);
  folder_label_.border = true;
  folder_label_.wraps_path = true;
  place(heading_plates_[1], files, 192, 8, 95, 22);
  place_label(headings_[1], files, 192, 12, 95, 17, t.headings[1], Align::Centre);
  place(preview_size_label_, files, 192, 36, 101, 13);
  preview_size_label_.align = Align::Centre;
  // The preview's frame; its size follows the picture shown.
  if (preview_box_.parent() != &files) preview_box_.set_size(px(100), px(100));
  preview_box_.bounds.x = px(192);
  preview_box_.bounds.y = px(52);
  files.add(preview_box_);
  place(heading_plates_[2], files, 192, 160, 95, 22);
  place_label(headings_[2], files, 192, 164, 95, 17, t.headings[2], Align::Centre);
  for (int i = 0; i < static_cast<int>(kFirstKinds); ++i) {
    place(kind_checks_[static_cast<size_t>(i)], files, 208, 188 + 16 * i, 12, 12);
    place_label(kind_labels_[static_cast<size_t>(i)], files, 224, 188 + 16 * i, 60, 13,
                kKindCaptions[static_cast<size_t>(i)]);
  }
  // The later kinds under their own heading, two a row in the options'
  // columns, as far apart as the first kinds.
  place(heading_plates_[6], later_kinds_panel_, 12, 8, 95, 22);
  place_label(headings_[6], later_kinds_panel_, 12, 12, 95, 17, t.headings[2], Align::Centre);
  for (size_t k = kFirstKinds; k < kKindCount; ++k) {
    const int n = static_cast<int>(k - kFirstKinds);
    const int left = n % 2 == 0 ? 24 : 108, top = 34 + 16 * (n / 2);
    place(kind_checks_[k], later_kinds_panel_, left, top, 12, 12);
    place_label(kind_labels_[k], later_kinds_panel_, left + 16, top, 60, 13, kKindCaptions[k]);
  }
  // The subfolders switch in the place left after the last kind.
  place(subfolders_check_, later_kinds_panel_, 108, 66, 12, 12);
  place_label(subfolders_label_, later_kinds_panel_, 124, 66, 60, 13, t.subfolders);
  place(buttons_[1], files, 192, 256, 97, 21);

  // The options: three pairs, each under its heading.
  const std::array<const char* const*, 3> captions = {t.order, t.size, t.method};
  const std::array<OptionPair, 3> pairs = option_pairs();
  for (size_t k = 0; k < 3; ++k) {
    const int top = 8 + 60 * static_cast<int>(k);
    place(heading_plates_[3 + k], options_panel_, 12, top, 95, 22);
    place_label(headings_[3 + k], options_panel_, 12, top + 4, 95, 17, t.headings[3 + k],
                Align::Centre);
    for (int i = 0; i < 2; ++i) {
      const int left = i == 0 ? 24 : 108;
      const auto m = static_cast<size_t>(i);
      place(pairs[k].marks[m], options_panel_, left, top + 32, 13, 13);
      place_label(pairs[k].labels[m], options_panel_, left + 16, top + 32, i == 0 ? 66 : 70, 13,
                  captions[k][i]);
    }
  }
  for (size_t i = 0; i < 4; ++i) buttons_[i].caption = t.buttons[i];
  buttons_[2].is_default = true;
}

void SettingsDialog::connect_handlers() {
  // A press of any mouse button on a mark or on its caption selects that
  // member of the pair; on a focused caption the arrows select the other
  // member and Space this one.
  for (const OptionPair& pair : option_pairs()) {
    for (int16_t i = 0; i < 2; ++i) {
      const size_t k = static_cast<size_t>(i);
      for (forms::Control* c : {static_cast<forms::Control*>(&pair.marks[k]),
                                static_cast<forms::Control*>(&pair.labels[k])}) {
        c->on_mouse_down = [this, pair, i](auto&) { select_option(pair, i); };
      }
      pair.labels[k].on_key = [this, pair, i](const Event& e) {
        const bool arrow =
            e.key == Key::Left || e.key == Key::Right || e.key == Key::Up || e.key == Key::Down;
        if (arrow || e.key == Key::Space)
          select_option(pair, arrow ? static_cast<int16_t>(i ^ 1) : i);
      };
    }
  }
  // A kind toggles on a press, and on Space while its caption has the focus.
  for (int16_t i = 0; i < static_cast<int16_t>(kKindCount); ++i) {
    const size_t k = static_cast<size_t>(i);
    kind_checks_[k].on_mouse_down = [this, i](auto&) { toggle_kind(i); };
    kind_labels_[k].on_mouse_down = [this, i](auto&) { toggle_kind(i); };
    kind_labels_[k].takes_focus = true;
    kind_labels_[k].on_key = [this, i](const Event& e) {
      if (e.key == Key::Space) toggle_kind(i);
    };
  }
  subfolders_check_.on_mouse_down = [this](auto&) { toggle_subfolders(); };
  subfolders_label_.on_mouse_down = [this](auto&) { toggle_subfolders(); };
  subfolders_label_.takes_focus = true;
  subfolders_label_.on_key = [this](const Event& e) {
    if (e.key == Key::Space) toggle_subfolders();
  };
  for (int16_t i = 0; i < 4; ++i) {
    buttons_[static_cast<size_t>(i)].on_click = [this, i] { press(static_cast<Button>(i)); };
  }
  file_list_.on_select = [this] { show_preview(); };
  address_label_.on_mouse_up = [this](auto&) { open_address(); };
  address_label_.takes_focus = true;
  address_label_.on_key = [this](const Event& e) {
    if (e.key == Key::Space) open_address();
  };
}

std::array<SettingsDialog::OptionPair, 3> SettingsDialog::option_pairs() {
  return {OptionPair{order_marks_, order_labels_, settings_.picture_order},
          OptionPair{size_marks_, size_labels_, settings_.picture_size},
          OptionPair{method_marks_, method_labels_, settings_.drawing_method}};
}

void SettingsDialog::load() {
  // The desktop's scale; a nonsense one leaves the dialog at its own size.
  const double desktop = p_.window_system().dialog_scale();
  const double scale = desktop >= kLeastScale ? std::min(desktop, kGreatestScale) : kLeastScale;

  // 1. The window: the client panel and the frame around it.
  ScreenInfo screen = p_.window_system().screen();
  const int tx = screen.twips_per_pixel_x, ty = screen.twips_per_pixel_y;
  twips_per_pixel_ = tx > 0 ? tx : 15;
  const int client_w = scaled_length(kClientWidth, scale);
  const int client_h = scaled_length(kClientHeight, scale);
  const int outer_w = client_w + scaled_length(kFrameWidth, scale);
  const int outer_h = client_h + scaled_length(kFrameHeight, scale);
  // 2. Centred on the screen, in twips: the differences halved as the
  // integer division does it.
  const int64_t left =
      int_div(static_cast<double>(screen.width) * tx - outer_w * tx, 2).value_or(0);
  const int64_t top =
      int_div(static_cast<double>(screen.height) * ty - outer_h * ty, 2).value_or(0);
  DialogSpec spec;
  spec.title = texts_.dialog_title;
  spec.client_width = client_w;
  spec.client_height = client_h;
  spec.position = {screen.left + static_cast<int>(left / (tx > 0 ? tx : 15)),
                   screen.top + static_cast<int>(top / (ty > 0 ? ty : 15))};
  spec.icon = &icon_;
  spec.scale = scale;
  form_ = std::make_unique<forms::Form>(p_, spec, open_font(scale));
  // Everything at the form's scale from here on.
  draw_stock_images();
  lay_out();
  form_->client().add(client_panel_);
  form_->on_close_request = [this] { unload(); };
  form_->on_scale_change = [this](double to) { rescale(to); };
  // Escape cancels; Return saves unless a button has the focus, which
  // Return then presses, as in any dialog of the desktop.
  form_->on_key = [this](const Event& e) {
    if (e.kind != Event::Kind::KeyDown) return false;
    if (e.key == Key::Escape) {
      press(Button::Cancel);
      return true;
    }
    const bool on_button =
        std::any_of(buttons_.begin(), buttons_.end(),
                    [this](const forms::CommandButton& b) { return form_->focus() == &b; });
    if (e.key == Key::Enter && !on_button) {
      press(Button::Save);
      return true;
    }
    return false;
  };
  // Reading order, the later kinds with the kinds; a pair is one stop, at
  // its selected member.
  std::vector<forms::Control*> tab_order = {&buttons_[0], &file_list_};
  for (forms::Label& kind : kind_labels_) tab_order.push_back(&kind);
  tab_order.push_back(&subfolders_label_);
  tab_order.insert(
      tab_order.end(),
      {&buttons_[1], &order_labels_[0], &order_labels_[1], &size_labels_[0], &size_labels_[1],
       &method_labels_[0], &method_labels_[1], &buttons_[2], &buttons_[3], &address_label_});
  form_->set_tab_order(tab_order);

  // The catalogue's files by name, and their number (blank without any).
  file_list_.clear();
  if (catalogue_.count != 0) {
    const std::string prefix = pictures_prefix(settings_.folder, p_.system().path_style());
    for (const std::string& path : catalogue_.paths()) file_list_.add(name_on_disk(path, prefix));
    count_label_.set_caption(std::to_string(file_list_.count()));
  }
  preview_size_label_.set_caption("");
  folder_label_.set_caption(settings_.folder);
  dress();

  // The hand over everything that can be clicked.
  for (size_t i = 0; i < 2; ++i) {
    for (forms::Control* c : {static_cast<forms::Control*>(&order_marks_[i]),
                              static_cast<forms::Control*>(&order_labels_[i]),
                              static_cast<forms::Control*>(&size_marks_[i]),
                              static_cast<forms::Control*>(&size_labels_[i]),
                              static_cast<forms::Control*>(&method_marks_[i]),
                              static_cast<forms::Control*>(&method_labels_[i])}) {
      c->pointer = PointerShape::Hand;
    }
  }
  for (size_t i = 0; i < kKindCount; ++i) {
    kind_checks_[i].pointer = kind_labels_[i].pointer = PointerShape::Hand;
  }
  subfolders_check_.pointer = subfolders_label_.pointer = PointerShape::Hand;
  for (forms::CommandButton& b : buttons_) b.pointer = PointerShape::Hand;
  file_list_.pointer = address_label_.pointer = PointerShape::Hand;

  // Where the pointer is: the opening grows from there, and the closing
  // goes back to it.
  opened_at_ = {0, 0};
  if (std::optional<Point> at = p_.window_system().pointer_position()) {
    opened_at_ = {to_int16(at->x).value_or(0), to_int16(at->y).value_or(0)};
  }
  p_.window_system().set_busy(false);
  if (!form_->made()) return;
  form_->set_focus(&buttons_[2]);
  // The window shows once the opening outline has reached it.
  animate(true, [this] { form_->show(); });
  // A tree of folders is walked by the loop, the dialog answering meanwhile.
  if (catalogue_walk_pending(settings_)) start_listing(settings_.folder, Listing::Catalogue);
}

std::unique_ptr<Font> SettingsDialog::open_font(double scale) {
  std::vector<std::string> families;
  if (p_.system().language() != Language::Japanese) {
    families = p_.system().interface_font_families();
  }
  families.insert(families.end(), kFontFamilies.begin(), kFontFamilies.end());
  return p_.system().open_font(families, kFontPoints * scale, all_captions(texts_));
}

void SettingsDialog::dress() {
  fit_labels_to_text();
  // 3. How far the list scrolls sideways: its width in twips per pixel
  // units plus 300, rounded, at the scale.
  extent_ = px(static_cast<int>(round_half_even(169.0 / twips_per_pixel_ + 300)));
  file_list_.set_horizontal_extent(extent_);

  // The brushed texture, once, into the panels' persistent images.
  tile_texture(client_panel_);
  tile_texture(options_panel_);
  tile_texture(later_kinds_panel_);
  tile_texture(files_panel_);

  for (forms::ImageControl& plate : heading_plates_) plate.set_picture(heading_plate_image_);
  for (forms::CommandButton& b : buttons_) b.face = button_face_image_;
  for (const OptionPair& pair : option_pairs()) show_option(pair);
  for (size_t i = 0; i < kind_checks_.size(); ++i) {
    const int16_t kind = settings_.kinds[i];
    if (kind == 0 || kind == 1) {
      kind_checks_[i].set_picture(check_mark_images_[static_cast<size_t>(kind)]);
    }
  }
  if (settings_.subfolders == 0 || settings_.subfolders == 1) {
    subfolders_check_.set_picture(check_mark_images_[static_cast<size_t>(settings_.subfolders)]);
  }
  // The empty preview frame, or the picture previewed again at this size.
  if (file_list_.selected() >= 0) {
    show_preview();
  } else {
    preview_box_.set_size(px(100), px(100));
    preview_box_.image.clear(preview_box_.background);
    forms::draw_edge(preview_box_.image,
                     Rect{0, 0, preview_box_.bounds.width, preview_box_.bounds.height},
                     forms::Edge::Raised, form_->line());
  }
  p_.window_system().set_hand_pointer(stock_hand_pointer(scale()));
}

void SettingsDialog::rescale(double to) {
  if (!form_ || closing_ || !(to >= kLeastScale)) return;
  const double scale = std::min(to, kGreatestScale);
  form_->rescale(scale, open_font(scale), scaled_length(kClientWidth, scale),
                 scaled_length(kClientHeight, scale));
  draw_stock_images();
  lay_out();
  dress();
}

void SettingsDialog::fit_labels_to_text() {
  Font* font = form_ ? form_->font() : nullptr;
  if (!font) return;
  // The layout was made for one Windows font; other fonts are wider and
  // taller, and English words longer. A label whose text would be cut grows
  // to the text, from the same corner.
  auto fit = [&](forms::Label& l, const std::string& text) {
    const int inset = l.border ? 2 * px(2) : 0;
    int width = 0, lines = 0;
    for (const std::string& line : forms::split_lines(text)) {
      width = std::max(width, form_->text_width(line));
      ++lines;
    }
    l.bounds.width = std::max(l.bounds.width, width + inset + 1);
    l.bounds.height = std::max(l.bounds.height, lines * font->line_height() + inset);
  };
  // The count holds up to the most files a folder gives (five digits), and
  // its unit follows it.
  fit(count_label_, "32767");
  count_unit_label_.bounds.x = std::max(count_unit_label_.bounds.x,
                                        count_label_.bounds.x + count_label_.bounds.width + px(3));
  fit(count_unit_label_, count_unit_label_.caption());
  fit(preview_size_label_, "9999 * 9999");  // the largest picture's size
  for (forms::Label* l : {&credit_label_, &address_label_}) fit(*l, l->caption());
  for (auto* group : {&order_labels_, &size_labels_, &method_labels_}) {
    for (forms::Label& l : *group) fit(l, l.caption());
  }
  for (forms::Label& l : kind_labels_) fit(l, l.caption());
  fit(subfolders_label_, subfolders_label_.caption());
  for (forms::Label& l : headings_) fit(l, l.caption());
}

void SettingsDialog::show_modal() {
  load();
  run();
}

void SettingsDialog::run() {
  if (form_) form_->run_modal();
}

void SettingsDialog::tile_texture(forms::Panel& box) {
  // Copies one below the other, then the next column; the last row and
  // column start beyond the edge and are cut off there.
  const int tw = background_strip_.width(), th = background_strip_.height();
  if (tw <= 0 || th <= 0) return;
  int x = 0, y = 0;
  for (;;) {
    box.image.copy_from(background_strip_, 0, 0, tw, th, x, y);
    if (y > box.bounds.height) {
      if (x > box.bounds.width) return;
      x += tw;
      y = 0;
    } else {
      y += th;
    }
  }
}

void SettingsDialog::show_option(const OptionPair& pair) {
  // A value other than 0 or 1 names no member: both marks stay blank, and
  // the keyboard reaches the pair at its first.
  const int16_t value = pair.setting;
  const int16_t stop = value == 1 ? 1 : 0;
  const bool focused =
      form_ && (form_->focus() == &pair.labels[0] || form_->focus() == &pair.labels[1]);
  pair.labels[0].takes_focus = stop == 0;
  pair.labels[1].takes_focus = stop == 1;
  // The focus follows the selection within the pair.
  if (focused) form_->set_focus(&pair.labels[static_cast<size_t>(stop)]);
  if (value != 0 && value != 1) return;
  pair.marks[static_cast<size_t>(value)].set_picture(option_mark_images_[1]);
  pair.marks[static_cast<size_t>(value ^ 1)].set_picture(option_mark_images_[0]);
}

void SettingsDialog::animate(bool opening, std::function<void()> done) {
  const Rect point{opened_at_.x, opened_at_.y, 0, 0};
  std::optional<Rect> window =
      form_ ? p_.window_system().window_rect(form_->window()) : std::nullopt;
  if (!window) {
    done();
    return;
  }
  const Rect from = opening ? point : *window, to = opening ? *window : point;
  if (p_.desktop().animate_rect(from, to)) {  // the system's own
    done();
    return;
  }
  // Ten steps 20 ms apart, as a job of the loop: the dialog answers
  // meanwhile.
  constexpr int kSteps = 10;
  constexpr int64_t kStepUs = 20000;
  if (outline_job_) form_->loop().cancel(*outline_job_);
  outline_job_ = form_->loop().add(
      p_.system().now_us(),
      [this, from, to, done, step = 0](int64_t now) mutable -> std::optional<int64_t> {
        if (step > kSteps) {
          p_.desktop().draw_outline(std::nullopt);
          outline_job_.reset();
          done();
          return std::nullopt;
        }
        auto between = [&](int a, int b) { return a + (b - a) * step / kSteps; };
        p_.desktop().draw_outline(Rect{between(from.x, to.x), between(from.y, to.y),
                                       between(from.width, to.width),
                                       between(from.height, to.height)});
        ++step;
        return now + kStepUs;
      });
}

void SettingsDialog::unload() {
  if (closing_ || !form_) return;
  closing_ = true;
  stop_listing();
  stop_preview_load();
  // Nothing more is taken in; the closing goes back to where the pointer
  // was at the opening, and then the dialog is gone.
  form_->set_busy(true);
  animate(false, [this] {
    form_->set_busy(false);
    form_->close();
  });
}

}  // namespace vs
