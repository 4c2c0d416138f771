// The forms runtime's costs, each against a baseline of the same run:
// repainting a settings-dialog-sized form with every kind of control, and
// filling the sorted list box with 32767 names against sorted insertion
// into a vector.
//
//   bench_forms_bench
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "forms/forms.h"
#include "platform/offscreen/offscreen_platform.h"

namespace {

using namespace vs;
using namespace vs::forms;

constexpr int kNames = 32767;

// Random names of mixed case, Japanese among them, so that insertion goes
// all over the list.
std::vector<std::string> make_names() {
  std::mt19937 gen(1);
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-";
  const char* kana[] = {"画像", "ﾌｧｲﾙ", "写真", "ｱﾙﾊﾞﾑ"};
  std::vector<std::string> names;
  for (int i = 0; i < kNames; ++i) {
    std::string name = i % 7 == 0 ? kana[gen() % 4] : "";
    for (int k = 0; k < 10; ++k) name += letters[gen() % letters.size()];
    names.push_back(name + std::to_string(i) + ".jpg");
  }
  return names;
}

// The list box's order, for the baseline: ASCII letters folded, equal
// names in the order they came (upper_bound keeps that).
bool folded_less(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto fold = [](char c) {
      const auto u = static_cast<unsigned char>(c);
      return u >= 'A' && u <= 'Z' ? u + 32u : static_cast<unsigned>(u);
    };
    return fold(x) < fold(y);
  });
}

// The settings dialog's make-up: a textured client area, two panels,
// headings on plates, buttons, labels, the list, the preview box.
struct Dialog {
  explicit Dialog(OffscreenPlatform& p)
      : form(p, spec(),
             p.open_font({"MS PGothic", "IPAPGothic", "VL PGothic", "Noto Sans CJK JP"}, 9.75,
                         "ﾌｧｲﾙ名")) {
    texture(form.client());
    for (Panel* panel : {&left, &right}) {
      panel->set_size(panel == &left ? 313 : 197, panel == &left ? 329 : 189);
      texture(*panel);
      form.client().add(*panel);
    }
    left.bounds.x = left.bounds.y = right.bounds.y = 12;
    right.bounds.x = 336;
    Surface plate(95, 22, pixel_rgb(170, 170, 170));
    const char* headings[] = {"ﾌｧｲﾙ名",    "ﾌﾟﾚﾋﾞｭｰ",    "画像の種類",
                              "画像ﾁｪﾝｼﾞ", "画像のｻｲｽﾞ", "描画方法"};
    for (int i = 0; i < 6; ++i) {
      Panel& in = i < 3 ? left : right;
      const int x = i == 0 || i > 2 ? 12 : 192, y = i < 3 ? (i == 2 ? 160 : 8) : 8 + 60 * (i - 3);
      plates[i].bounds = {x, y, 95, 22};
      plates[i].set_picture(plate);
      heads[i].bounds = {x, y + 4, 95, 17};
      heads[i].align = Align::Centre;
      heads[i].set_caption(headings[i]);
      in.add(plates[i]);
      in.add(heads[i]);
    }
    const char* options[] = {"ｼｰｹﾝｼｬﾙ", "ﾗﾝﾀﾞﾑ", "ｵﾘｼﾞﾅﾙ", "ﾌﾙｽｸﾘｰﾝ", "ﾄﾞｯﾄ",
                             "ﾗｲﾝ",     "*.bmp", "*.gif",  "*.jpg",   "*.wmf"};
    for (int i = 0; i < 10; ++i) {
      marks[i].bounds = i < 6 ? Rect{24 + 84 * (i % 2), 40 + 60 * (i / 2), 13, 13}
                              : Rect{208, 188 + 16 * (i - 6), 12, 12};
      marks[i].set_picture(Surface(13, 13, i % 2 ? kTransparentKey : pixel_rgb(255, 255, 255)));
      captions[i].bounds = {marks[i].bounds.x + 16, marks[i].bounds.y, 60, 13};
      captions[i].set_caption(options[i]);
      Panel& in = i < 6 ? right : left;
      in.add(marks[i]);
      in.add(captions[i]);
    }
    const struct {
      Panel* in;
      Rect at;
      const char* caption;
    } buttons_at[] = {{&left, {12, 40, 97, 21}, "ﾌｫﾙﾀﾞ指定..."},
                      {&left, {192, 256, 97, 21}, "ｸﾘｱ"},
                      {&form.client(), {336, 320, 101, 21}, "設定"},
                      {&form.client(), {440, 320, 97, 21}, "ｷｬﾝｾﾙ"}};
    for (int i = 0; i < 4; ++i) {
      buttons[i].bounds = buttons_at[i].at;
      buttons[i].caption = buttons_at[i].caption;
      buttons[i].face = Surface(103, 37, pixel_rgb(210, 210, 210));
      buttons_at[i].in->add(buttons[i]);
    }
    count.bounds = {112, 44, 33, 17};
    count.border = true;
    count.align = Align::Right;
    folder.bounds = {12, 284, 285, 33};
    folder.border = true;
    folder.set_caption("/home/user/Pictures/holidays");
    size.bounds = {192, 36, 101, 13};
    size.align = Align::Centre;
    size.set_caption("640 * 480");
    list.bounds = {12, 68, 169, 212};
    list.set_horizontal_extent(311);
    preview.bounds = {192, 52, 0, 0};
    preview.set_size(100, 100);
    draw_edge(preview.image, Rect{0, 0, 100, 100}, Edge::Raised);
    for (Control* c : std::initializer_list<Control*>{&count, &folder, &size, &list, &preview}) {
      left.add(*c);
    }
    credit.bounds = {336, 292, 168, 13};
    credit.set_caption("Designed by t-Orvy Ver.1.0.0");
    url.bounds = {12, 356, 352, 13};
    url.underline = true;
    url.set_caption("http://example.com/varnoscape/");
    form.client().add(credit);
    form.client().add(url);
    form.set_tab_order({&buttons[0], &list, &buttons[1], &buttons[2], &buttons[3]});
  }
  static DialogSpec spec() {
    DialogSpec s;
    s.title = "Varnoscapeの設定";
    s.client_width = 549;
    s.client_height = 385;
    return s;
  }
  static void texture(Panel& p) {
    for (int y = 0; y < p.image.height(); ++y) {
      const uint32_t v = 176 + (y * 37 % 21);
      p.image.fill_rect(0, y, p.image.width(), 1, pixel_rgb(v, v, v));
    }
  }

  Form form;
  Panel left, right;
  ImageControl plates[6], marks[10];
  Label heads[6], captions[10], count, folder, size, credit, url;
  CommandButton buttons[4];
  ListBox list;
  PictureBox preview;
};

}  // namespace

int main() {
  const std::vector<std::string> names = make_names();
  OffscreenPlatform p;
  Dialog d(p);
  if (!d.form.font()) {
    std::fprintf(stderr, "no font (fonts-ipafont-gothic)\n");
    return 1;
  }
  for (int i = 0; i < 41; ++i) d.list.add(names[static_cast<size_t>(i)]);
  d.list.select(3);
  d.count.set_caption("41");
  // The first paint renders every caption's text.
  double t0 = vs::bench::cpu_seconds();
  d.form.show();
  const double first = vs::bench::cpu_seconds() - t0;

  // A whole repaint and present, its text already rendered once.
  const std::vector<double> paint = vs::bench::best_of(20, {[&] {
                                                         for (int i = 0; i < 10; ++i) {
                                                           d.form.invalidate();
                                                           d.form.paint_now();
                                                         }
                                                       }});
  // Scrolling row by row: each repaint renders one new row's text.
  d.list.clear();
  for (int i = 0; i < 2000; ++i) d.list.add(names[static_cast<size_t>(i)]);
  t0 = vs::bench::cpu_seconds();
  for (int i = 0; i < 1000; ++i) {
    d.list.select(i);
    d.form.paint_now();
  }
  const double scrolling = (vs::bench::cpu_seconds() - t0) / 1000;

  // 32767 names into the list box, and into a vector kept sorted.
  ListBox list;
  t0 = vs::bench::cpu_seconds();
  for (const std::string& name : names) list.add(name);
  const double tree_time = vs::bench::cpu_seconds() - t0;
  std::vector<std::string> sorted;
  t0 = vs::bench::cpu_seconds();
  for (const std::string& name : names) {
    sorted.insert(std::upper_bound(sorted.begin(), sorted.end(), name, folded_less), name);
  }
  const double vector_time = vs::bench::cpu_seconds() - t0;
  bool same = list.count() == static_cast<int>(sorted.size());
  for (int i = 0; same && i < list.count(); ++i)
    same = list.entry(i) == sorted[static_cast<size_t>(i)];

  // The dialog filling its list from a folder of 32767 pictures as its
  // listing job does: 1024 names a step, 30 microseconds of (fake) time a
  // name, painted at most once a frame.
  d.list.clear();
  const int presents = p.presents;
  t0 = vs::bench::cpu_seconds();
  int64_t painted_at = p.now_us();
  for (size_t i = 0; i < names.size(); ++i) {
    d.list.add(names[i]);
    p.advance_us(30);
    if (i % 1024 == 1023 && p.now_us() - painted_at >= 16000) {
      d.form.paint_now();
      painted_at = p.now_us();
    }
  }
  const double fill_time = vs::bench::cpu_seconds() - t0;

  std::printf("first paint of the 549 x 385 dialog       %8.3f ms\n", first * 1e3);
  std::printf("full repaint of the 549 x 385 dialog      %8.3f ms best\n", paint[0] / 10 * 1e3);
  std::printf("repaint, list scrolled a row each time    %8.3f ms mean\n", scrolling * 1e3);
  std::printf("%d names into the list box           %8.1f ms\n", kNames, tree_time * 1e3);
  std::printf("%d names into a sorted vector        %8.1f ms\n", kNames, vector_time * 1e3);
  std::printf("ratio vector / list box                   %8.1f x\n", vector_time / tree_time);
  std::printf("same order                                %s\n", same ? "yes" : "NO");
  std::printf("fill in steps, painted once a frame        %8.1f ms, %d presents in %.2f s\n",
              fill_time * 1e3, p.presents - presents, kNames * 30e-6);
  return same ? 0 : 1;
}
