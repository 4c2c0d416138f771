// varnoscape-render: draws one picture as a relief poster (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "platform/posix/decoder_process.h"
#include "platform/posix/png_file.h"
#include "platform/posix/posix_platform.h"
#include "saver/render_tool.h"

int main(int argc, char** argv) {
  vs::set_up_signals();
  std::vector<std::string> args(argv + 1, argv + argc);
  auto load = [](const std::string& path, const vs::PictureView& view) {
    return vs::load_picture_file(path, view);
  };
  return vs::run_render_tool(args, load, vs::write_png_file, std::cout, std::cerr);
}
