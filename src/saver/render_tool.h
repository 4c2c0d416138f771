// varnoscape-render: one picture drawn as a relief exactly as the saver
// draws it on a screen of a given size, saved as a PNG (a relief poster).
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/surface.h"
#include "platform/platform.h"
#include "saver/slide_show.h"

namespace vs {

// Exit statuses of the tool.
constexpr int kRenderOk = 0;
constexpr int kRenderCannotWrite = 1;
constexpr int kRenderCannotRead = 2;
constexpr int kRenderUsage = 64;

struct RenderOptions {
  int screen_width = 1024;
  int screen_height = 768;
  int16_t size = 0;          // the picture size setting: 0 own size, 1 full screen
  int16_t way = 0;           // the drawing method: 0 dots, 1 lines
  bool master_only = false;  // the fitted picture, before the relief
  std::string picture;
  std::string output;
};

struct RenderArgs {
  enum class Action { Render, Help, Usage };
  Action action = Action::Usage;
  RenderOptions options;
  std::string error;  // what is wrong, for Usage
};

// Reads the arguments after the program name.
RenderArgs parse_render_args(const std::vector<std::string>& args);

// The help text: what the tool does, each option, an example.
std::string render_usage();

// What the tool's drawing reads of a picture: a fit to its screen.
PictureView render_view(const RenderOptions& options);

// The saver's road for one picture: a one-picture catalogue through
// the slide show into a screen-sized display, then the relief. Returns the
// finished display, or the fitted picture when master_only is set.
Surface render_picture(const RenderOptions& options, PictureResult picture);

using PngWriter = std::function<WriteResult(const Surface&, const std::string& path)>;

// The whole tool; returns the exit status. Messages go to err, help to out.
int run_render_tool(const std::vector<std::string>& args, const PictureLoader& load,
                    const PngWriter& write, std::ostream& out, std::ostream& err);

}  // namespace vs
