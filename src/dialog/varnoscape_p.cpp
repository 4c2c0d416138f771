#include "dialog/varnoscape_p.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "dialog/stock_images.h"
#include "platform/forms/paint.h"
#include "core/numeric.h"

namespace vs {

namespace {

constexpr int kClientWidth = 549;
constexpr int kClientHeight = 385;
// The frame a window gets around its client area, as the dialog's outer
// size counts it.
constexpr int kFrameWidth = 6;
constexpr int kFrameHeight = 25;

// "ＭＳ Ｐゴシック" where Windows has it, else the look-alikes of Linux
// desktops.
const std::vector<std::string> kFontFamilies = {"ＭＳ Ｐゴシック", "MS PGothic", "Meiryo UI",
                                                "Yu Gothic UI",    "IPAPGothic", "VL PGothic",
                                                "Noto Sans CJK JP"};
constexpr double kFontPoints = 9.75;

constexpr const char* kButtonCaptions[4] = {"ﾌｫﾙﾀﾞ指定...", "ｸﾘｱ", "設定", "ｷｬﾝｾﾙ"};
constexpr const char* kKindCaptions[4] = {"*.bmp", "*.gif", "*.jpg", "*.wmf"};

void place(forms::Control& c, forms::Panel& parent, int x, int y, int w, int h) {
  c.bounds = {x, y, w, h};
  parent.add(c);
}

void place_label(forms::Label& l, forms::Panel& parent, int x, int y, int w, int h,
                 const std::string& caption, forms::Align align = forms::Align::Left) {
  l.set_caption(caption);
  l.align = align;
  place(l, parent, x, y, w, h);
}

// Every caption, for finding a font that has all their characters.
std::string all_captions() {
  std::string s =
      "ﾌｧｲﾙ名枚ﾌﾟﾚﾋﾞｭｰ画像の種類ﾁｪﾝｼﾞｻｲｽﾞ描画方法ｼｰｹﾝｼｬﾙﾗﾝﾀﾞﾑｵﾘｼﾞﾅﾙﾌﾙｽｸﾘｰﾝﾄﾞｯﾄﾗｲﾝ"
      "Designed by t-Orvy Ver.1.0.0 *. 0123456789";
  for (const char* c : kButtonCaptions) s += c;
  return s;
}

}  // namespace

Varnoscape_P::Varnoscape_P(Varnoscape_B& m, Platform& p) : m_(m), p_(p) {
  Img_Opt = {stock_option_mark(false), stock_option_mark(true)};
  Img_Ra = {stock_check_mark(false), stock_check_mark(true)};
  Img_TT = stock_heading_plate();
  Pic_Button = stock_button_face();
  Pic_Mbl = stock_background_strip();
  icon_ = stock_window_icon();
  // The work box holds nothing yet: an empty black area.
  Pic_F = PictureResult::success(Surface(45, 41));
  lay_out();
}

Varnoscape_P::~Varnoscape_P() = default;

void Varnoscape_P::lay_out() {
  using forms::Align;
  Pic_C.set_size(kClientWidth, kClientHeight);
  Pic_1[1].bounds = {12, 12, 0, 0};
  Pic_1[1].set_size(313, 329);
  Pic_1[0].bounds = {336, 12, 0, 0};
  Pic_1[0].set_size(197, 189);
  Pic_C.add(Pic_1[1]);
  Pic_C.add(Pic_1[0]);

  place(Cmd_Button[2], Pic_C, 336, 320, 101, 21);
  place(Cmd_Button[3], Pic_C, 440, 320, 97, 21);
  place_label(lbl[9], Pic_C, 336, 292, 168, 13, "Designed by t-Orvy Ver.1.0.0");
  place_label(lbl_URL, Pic_C, 12, 356, 352, 13, kHomePage);
  lbl_URL.underline = true;
  lbl_URL.colour = pixel_rgb(0, 0, 192);

  // Files, preview and kinds.
  forms::Panel& files = Pic_1[1];
  place(Img_H[3], files, 12, 8, 95, 22);
  place_label(lbl[12], files, 12, 12, 95, 17, "ﾌｧｲﾙ名", Align::Centre);
  place(Cmd_Button[0], files, 12, 40, 97, 21);
  place_label(lbl_Kei, files, 112, 44, 33, 17, "", Align::Right);
  lbl_Kei.border = true;
  place_label(lbl[8], files, 148, 48, 17, 13, "枚");
  place(List_1, files, 12, 68, 169, 212);
  place_label(Folder_Path, files, 12, 284, 285, 33, "");
  Folder_Path.border = true;
  place(Img_H[4], files, 192, 8, 95, 22);
  place_label(lbl[6], files, 192, 12, 95, 17, "ﾌﾟﾚﾋﾞｭｰ", Align::Centre);
  place_label(lbl_PreSize, files, 192, 36, 101, 13, "9999 * 9999", Align::Centre);
  Pic_K.bounds = {192, 52, 0, 0};
  Pic_K.set_size(100, 100);
  files.add(Pic_K);
  place(Img_H[5], files, 192, 160, 95, 22);
  place_label(lbl[11], files, 192, 164, 95, 17, "画像の種類", Align::Centre);
  for (int i = 0; i < 4; ++i) {
    place(Img_Kind[static_cast<size_t>(i)], files, 208, 188 + 16 * i, 12, 12);
    place_label(lbl_Kind[static_cast<size_t>(i)], files, 224, 188 + 16 * i, 60, 13,
                kKindCaptions[i]);
  }
  place(Cmd_Button[1], files, 192, 256, 97, 21);

  // The options.
  forms::Panel& options = Pic_1[0];
  struct Pair {
    std::array<forms::ImageControl, 2>* pictures;
    std::array<forms::Label, 2>* labels;
    int heading;
    const char* title;
    int top;
    const char* captions[2];
  };
  const Pair pairs[3] = {{&Img_SR, &lbl_RS, 13, "画像ﾁｪﾝｼﾞ", 8, {"ｼｰｹﾝｼｬﾙ", "ﾗﾝﾀﾞﾑ"}},
                         {&Img_Size, &lbl_Size, 10, "画像のｻｲｽﾞ", 68, {"ｵﾘｼﾞﾅﾙ", "ﾌﾙｽｸﾘｰﾝ"}},
                         {&Img_Way, &lbl_Way, 0, "描画方法", 128, {"ﾄﾞｯﾄ", "ﾗｲﾝ"}}};
  const int plates[3] = {1, 2, 0};
  for (int k = 0; k < 3; ++k) {
    const Pair& pair = pairs[k];
    place(Img_H[static_cast<size_t>(plates[k])], options, 12, pair.top, 95, 22);
    place_label(lbl[static_cast<size_t>(pair.heading)], options, 12, pair.top + 4, 95, 17,
                pair.title, Align::Centre);
    for (int i = 0; i < 2; ++i) {
      const int left = i == 0 ? 24 : 108;
      place((*pair.pictures)[static_cast<size_t>(i)], options, left, pair.top + 32, 13, 13);
      place_label((*pair.labels)[static_cast<size_t>(i)], options, left + 16, pair.top + 32,
                  i == 0 ? 66 : 70, 13, pair.captions[i]);
    }
  }
  for (int i = 0; i < 4; ++i) Cmd_Button[static_cast<size_t>(i)].caption = kButtonCaptions[i];

  // Handlers. Control arrays pass the member's index.
  for (int16_t i = 0; i < 2; ++i) {
    Img_SR[static_cast<size_t>(i)].on_mouse_down = [this, i](auto& a) { Img_SR_MouseDown(i, a); };
    lbl_RS[static_cast<size_t>(i)].on_mouse_down = [this, i](auto& a) { lbl_RS_MouseDown(i, a); };
    Img_Size[static_cast<size_t>(i)].on_mouse_down = [this, i](auto& a) {
      Img_Size_MouseDown(i, a);
    };
    lbl_Size[static_cast<size_t>(i)].on_mouse_down = [this, i](auto& a) {
      lbl_Size_MouseDown(i, a);
    };
    Img_Way[static_cast<size_t>(i)].on_mouse_down = [this, i](auto& a) { Img_Way_MouseDown(i, a); };
    lbl_Way[static_cast<size_t>(i)].on_mouse_down = [this, i](auto& a) { lbl_Way_MouseDown(i, a); };
  }
  for (int16_t i = 0; i < 4; ++i) {
    Img_Kind[static_cast<size_t>(i)].on_mouse_down = [this, i](auto& a) {
      Img_Kind_MouseDown(i, a);
    };
    lbl_Kind[static_cast<size_t>(i)].on_mouse_down = [this, i](auto& a) {
      lbl_Kind_MouseDown(i, a);
    };
    Cmd_Button[static_cast<size_t>(i)].on_click = [this, i] { Cmd_Button_Click(i); };
  }
  List_1.on_select = [this] { List_1_Click(); };
  lbl_URL.on_mouse_up = [this](auto& a) { lbl_URL_MouseUp(a); };
}

void Varnoscape_P::Form_Load() {
  // 1. The window: the client panel and the frame around it.
  ScreenInfo screen = p_.screen();
  const int tx = screen.twips_per_pixel_x, ty = screen.twips_per_pixel_y;
  const int outer_w = Pic_C.bounds.width + kFrameWidth;
  const int outer_h = Pic_C.bounds.height + kFrameHeight;
  // 2. Centred on the screen, in twips: the differences halved as the
  // integer division does it.
  const int64_t left =
      int_div(static_cast<double>(screen.width) * tx - outer_w * tx, 2).value_or(0);
  const int64_t top =
      int_div(static_cast<double>(screen.height) * ty - outer_h * ty, 2).value_or(0);
  DialogSpec spec;
  spec.title = kDialogTitle;
  spec.client_width = Pic_C.bounds.width;
  spec.client_height = Pic_C.bounds.height;
  spec.position = {screen.left + static_cast<int>(left / (tx > 0 ? tx : 15)),
                   screen.top + static_cast<int>(top / (ty > 0 ? ty : 15))};
  spec.icon = &icon_;
  form_ = std::make_unique<forms::Form>(p_, spec,
                                        p_.open_font(kFontFamilies, kFontPoints, all_captions()));
  form_->client().add(Pic_C);
  form_->on_close_request = [this] { unload(); };
  fit_labels_to_text();
  form_->set_tab_order({&Cmd_Button[0], &List_1, &Cmd_Button[1], &Cmd_Button[2], &Cmd_Button[3]});

  // 3. How far the list scrolls sideways: its width in twips per pixel
  // units plus 300, rounded.
  extent_ = static_cast<int>(
      round_half_even(static_cast<double>(List_1.bounds.width) / (tx > 0 ? tx : 15) + 300));
  List_1.set_horizontal_extent(extent_);

  // 4. The brushed texture, once, into the panels' persistent images.
  Tile_Texture(Pic_C);
  Tile_Texture(Pic_1[0]);
  Tile_Texture(Pic_1[1]);

  // 5, 6. Heading plates and button faces.
  for (forms::ImageControl& plate : Img_H) plate.set_picture(Img_TT);
  for (forms::CommandButton& b : Cmd_Button) b.face = Pic_Button;

  // 7. The options as the settings record has them.
  show_option(Img_SR, m_.Set_Change);
  show_option(Img_Size, m_.Set_Size);
  show_option(Img_Way, m_.Set_Way);

  // 8. The catalogue's files by name.
  List_1.clear();
  if (m_.File_Count != 0) {
    std::vector<std::string> paths;
    for (int16_t i = 1; i <= m_.File_Count && static_cast<size_t>(i) < m_.File_List.size(); ++i) {
      paths.push_back(m_.File_List[static_cast<size_t>(i)]);
    }
    fill_list(paths);
  }

  // 9 to 11.
  lbl_PreSize.set_caption("");
  Folder_Path.set_caption(m_.Set_Folder);
  for (size_t i = 0; i < Img_Kind.size(); ++i) {
    const int16_t kind = m_.Set_Kind[i];
    if (kind == 0 || kind == 1) Img_Kind[i].set_picture(Img_Ra[static_cast<size_t>(kind)]);
  }

  // 12. The empty preview frame.
  forms::draw_edge(Pic_K.image, Rect{0, 0, Pic_K.bounds.width, Pic_K.bounds.height},
                   forms::Edge::Raised);

  // 13. The hand over everything that can be clicked.
  const StockPointer hand = stock_hand_pointer();
  p_.set_hand_pointer(PointerImage{hand.pixels, hand.mask, Point{hand.hot_x, hand.hot_y}});
  for (size_t i = 0; i < 2; ++i) {
    for (forms::Control* c :
         {static_cast<forms::Control*>(&Img_SR[i]), static_cast<forms::Control*>(&lbl_RS[i]),
          static_cast<forms::Control*>(&Img_Size[i]), static_cast<forms::Control*>(&lbl_Size[i]),
          static_cast<forms::Control*>(&Img_Way[i]), static_cast<forms::Control*>(&lbl_Way[i])}) {
      c->pointer = PointerShape::Hand;
    }
  }
  for (size_t i = 0; i < 4; ++i) {
    Img_Kind[i].pointer = lbl_Kind[i].pointer = Cmd_Button[i].pointer = PointerShape::Hand;
  }
  List_1.pointer = lbl_URL.pointer = PointerShape::Hand;

  // 14. Where the pointer is: the opening grows from there.
  m_.Anim_X = m_.Anim_Y = 0;
  if (std::optional<Point> at = p_.pointer_position()) {
    m_.Anim_X = to_int16(at->x).value_or(0);
    m_.Anim_Y = to_int16(at->y).value_or(0);
  }
  // 15, 16.
  Anim_Open();
  p_.set_busy(false);
}

void Varnoscape_P::fit_labels_to_text() {
  Font* font = form_ ? form_->font() : nullptr;
  if (!font) return;
  // The layout was made for one Windows font; other fonts are wider and
  // reach further below the baseline. A label whose text would be cut grows
  // to the text, from the same corner.
  const int descent = font->line_height() / 4 + 1;
  auto fit = [&](forms::Label& l) {
    const int inset = l.border ? 4 : 0;
    int width = 0, lines = 0;
    for (const std::string& line : forms::split_lines(l.caption())) {
      width = std::max(width, form_->text_width(line));
      ++lines;
    }
    l.bounds.width = std::max(l.bounds.width, width + inset + 1);
    l.bounds.height = std::max(l.bounds.height, lines * font->line_height() + descent + inset);
  };
  for (forms::Label& l : lbl) fit(l);
  for (auto* group : {&lbl_RS, &lbl_Size, &lbl_Way}) {
    for (forms::Label& l : *group) fit(l);
  }
  for (forms::Label& l : lbl_Kind) fit(l);
  fit(lbl_URL);
}

void Varnoscape_P::Show_Modal() {
  Form_Load();
  if (!form_ || !form_->made()) return;
  form_->set_focus(&Cmd_Button[2]);
  form_->show();
  form_->run_modal();
}

void Varnoscape_P::Tile_Texture(forms::Panel& box) {
  // Copies one below the other, then the next column; the last row and
  // column start beyond the edge and are cut off there.
  const int tw = Pic_Mbl.width(), th = Pic_Mbl.height();
  if (tw <= 0 || th <= 0) return;
  int x = 0, y = 0;
  for (;;) {
    box.image.copy_from(Pic_Mbl, 0, 0, tw, th, x, y);
    if (y > box.bounds.height) {
      if (x > box.bounds.width) return;
      x += tw;
      y = 0;
    } else {
      y += th;
    }
  }
}

void Varnoscape_P::show_option(std::array<forms::ImageControl, 2>& pair, int16_t value) {
  // A value other than 0 or 1 names no member: both stay blank.
  if (value != 0 && value != 1) return;
  pair[static_cast<size_t>(value)].set_picture(Img_Opt[1]);
  pair[static_cast<size_t>(value ^ 1)].set_picture(Img_Opt[0]);
}

void Varnoscape_P::Anim_Open() {
  if (!form_) return;
  const Rect point{m_.Anim_X, m_.Anim_Y, 0, 0};
  if (std::optional<Rect> window = p_.window_rect(form_->window())) {
    p_.animate_rect(point, *window);
  }
}

void Varnoscape_P::Anim_Close() {
  if (!form_) return;
  const Rect point{m_.Anim_X, m_.Anim_Y, 0, 0};
  if (std::optional<Rect> window = p_.window_rect(form_->window())) {
    p_.animate_rect(*window, point);
  }
}

void Varnoscape_P::Form_Unload() {
  Anim_Close();
}

void Varnoscape_P::unload() {
  Form_Unload();
  if (form_) form_->close();
}

}  // namespace vs
