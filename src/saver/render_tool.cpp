#include "saver/render_tool.h"

#include <charconv>
#include <new>
#include <ostream>
#include <utility>

#include "saver/relief.h"

namespace vs {

namespace {

constexpr const char* kProgram = "varnoscape-render";
// Three surfaces of the screen's size are held at once; keep them within
// a few hundred megabytes.
constexpr int kMaxScreenSide = 16384;
constexpr int64_t kMaxScreenPixels = int64_t{1} << 26;

constexpr const char* kSynopsis =
    "Usage: varnoscape-render [--screen WxH] [--size own|full] [--way dots|lines]\n"
    "                         [--stage master|relief] PICTURE OUT.png\n";

// With a single picture the play order is never rebuilt, so no random
// number is ever drawn.
class NoRandom : public RandomSource {
 public:
  void reseed_from_clock() override {}
  double next_unit() override { return 0.0; }
};

bool parse_side(std::string_view text, int& value) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

// "1920x1080" (or "1920X1080") within the tool's limits; the error when not.
std::string parse_screen(const std::string& text, RenderOptions& o) {
  const size_t cross = text.find_first_of("xX");
  int w = 0, h = 0;
  if (cross == std::string::npos || !parse_side(std::string_view(text).substr(0, cross), w) ||
      !parse_side(std::string_view(text).substr(cross + 1), h)) {
    return "--screen wants a size in pixels such as 1920x1080, not '" + text + "'";
  }
  if (w < 1 || h < 1 || w > kMaxScreenSide || h > kMaxScreenSide) {
    return "--screen " + text + ": each side must be from 1 to " + std::to_string(kMaxScreenSide) +
           " pixels";
  }
  if (int64_t{w} * h > kMaxScreenPixels) {
    return "--screen " + text + ": too many pixels (at most " + std::to_string(kMaxScreenPixels) +
           ", e.g. 8192x8192)";
  }
  o.screen_width = w;
  o.screen_height = h;
  return {};
}

// Applies one option and its value; the error when either is wrong.
std::string apply_option(const std::string& name, const std::string& value, RenderOptions& o) {
  if (name == "--screen") return parse_screen(value, o);
  if (name == "--size") {
    if (value == "own") return o.size = 0, std::string();
    if (value == "full") return o.size = 1, std::string();
    return "--size must be 'own' or 'full', not '" + value + "'";
  }
  if (name == "--way") {
    if (value == "dots") return o.way = 0, std::string();
    if (value == "lines") return o.way = 1, std::string();
    return "--way must be 'dots' or 'lines', not '" + value + "'";
  }
  // --stage
  if (value == "relief") return o.master_only = false, std::string();
  if (value == "master") return o.master_only = true, std::string();
  return "--stage must be 'master' or 'relief', not '" + value + "'";
}

bool takes_value(const std::string& name) {
  return name == "--screen" || name == "--size" || name == "--way" || name == "--stage";
}

// One line, whatever the decoder said.
std::string one_line(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

std::string render_usage() {
  return std::string(kSynopsis) +
         "\n"
         "Draws PICTURE as a relief, the way the Varnoscape screen saver draws it, and\n"
         "saves the result as the PNG file OUT.png: every pixel is lifted upwards by up\n"
         "to 48 pixels, the lighter the higher, in its own colour on a black background.\n"
         "PICTURE may be a BMP, GIF, JPEG, WMF (Windows metafile), PNG, WebP, HEIF, AVIF or\n"
         "TIFF file.\n"
         "\n"
         "Options:\n"
         "  --screen WxH     the size of the result in pixels, like the screen the saver\n"
         "                   draws on (default 1024x768; at most " +
         std::to_string(kMaxScreenSide) +
         " pixels a side)\n"
         "  --size own       the picture at its own size in the middle; a picture larger\n"
         "                   than the screen is cut down to its centre (default)\n"
         "  --size full      the picture scaled to the screen: landscape pictures fill\n"
         "                   its width, portrait and square ones its height\n"
         "  --way dots       every pixel becomes one point (default)\n"
         "  --way lines      every row of pixels becomes one connected line\n"
         "  --stage relief   save the finished relief (default)\n"
         "  --stage master   save the picture as fitted to the screen, before the relief\n"
         "                   is drawn\n"
         "  -h, --help       show this help and exit\n"
         "\n"
         "Example:\n"
         "  varnoscape-render --screen 1920x1080 --size full --way lines photo.jpg poster.png\n"
         "\n"
         "Exit status: 0 when the PNG was written, 1 when it could not be written,\n"
         "2 when PICTURE could not be read, 64 when the arguments are wrong.\n";
}

RenderArgs parse_render_args(const std::vector<std::string>& args) {
  RenderArgs r;
  std::vector<std::string> files;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-') {
      files.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    if (a == "-h" || a == "--help") {
      r.action = RenderArgs::Action::Help;
      return r;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    if (!takes_value(name)) {
      r.error = "unknown option '" + a + "'";
      return r;
    }
    std::string value;
    if (eq != std::string::npos) {
      value = a.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      r.error = "option " + name + " needs a value";
      return r;
    }
    if (std::string why = apply_option(name, value, r.options); !why.empty()) {
      r.error = why;
      return r;
    }
  }
  if (files.empty()) {
    r.error = "which picture? Name the PICTURE to draw and the OUT.png to write";
  } else if (files.size() == 1) {
    r.error = "missing OUT.png, the PNG file to write";
  } else if (files.size() > 2) {
    r.error = "too many files: '" + files[2] + "' (give one PICTURE and one OUT.png)";
  } else {
    r.options.picture = files[0];
    r.options.output = files[1];
    r.action = RenderArgs::Action::Render;
  }
  return r;
}

PictureView render_view(const RenderOptions& options) {
  return PictureView{options.screen_width, options.screen_height,
                     options.size != 0 ? FitMode::FullScreen : FitMode::OwnSize};
}

Surface render_picture(const RenderOptions& options, PictureResult picture) {
  SlideShow show;
  show.screen_width = static_cast<int16_t>(options.screen_width);
  show.screen_height = static_cast<int16_t>(options.screen_height);
  show.play_order = {0, 1};

  Settings settings;
  settings.picture_size = options.size;
  settings.drawing_method = options.way;
  Catalogue catalogue;
  catalogue.count = 1;
  catalogue.files = {"", options.picture};

  // The picture is already decoded: hand it over instead of reading again.
  PictureLoader give = [&picture](const std::string&, const PictureView&) {
    return std::move(picture);
  };
  NoRandom rng;
  next_picture(show, settings, catalogue, give, rng);
  if (options.master_only) return std::move(show.fitted);
  Surface display(options.screen_width, options.screen_height);
  ReliefDrawing drawing(show.fitted, display, settings.drawing_method);
  drawing.draw_rows(drawing.rows());
  return display;
}

int run_render_tool(const std::vector<std::string>& args, const PictureLoader& load,
                    const PngWriter& write, std::ostream& out, std::ostream& err) {
  RenderArgs a = parse_render_args(args);
  if (a.action == RenderArgs::Action::Help) {
    out << render_usage();
    return kRenderOk;
  }
  if (a.action == RenderArgs::Action::Usage) {
    err << kProgram << ": " << a.error << "\n"
        << kSynopsis << "Try '" << kProgram << " --help' for what the options do.\n";
    return kRenderUsage;
  }
  const RenderOptions& o = a.options;
  try {
    PictureResult r = load(o.picture, render_view(o));
    if (r.ok && r.picture.empty()) r = PictureResult::failure("the picture has no pixels");
    if (!r.ok) {
      std::string why = r.reason.empty() ? "cannot be read" : r.reason;
      // Some loaders name the file themselves.
      if (why.rfind(o.picture + ": ", 0) == 0) why.erase(0, o.picture.size() + 2);
      err << kProgram << ": " << o.picture << ": " << one_line(why) << "\n";
      return kRenderCannotRead;
    }
    Surface result = render_picture(o, std::move(r));
    WriteResult w = write(result, o.output);
    if (!w.ok) {
      err << kProgram << ": " << o.output << ": cannot be written (" << one_line(w.error) << ")\n";
      return kRenderCannotWrite;
    }
  } catch (const std::bad_alloc&) {
    err << kProgram << ": " << o.picture << ": not enough memory to draw it at " << o.screen_width
        << "x" << o.screen_height << "\n";
    return kRenderCannotWrite;
  }
  return kRenderOk;
}

}  // namespace vs
