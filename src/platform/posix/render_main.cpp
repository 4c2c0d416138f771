// varnoscape-render: draws one picture as a relief poster (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "platform/png_file.h"
#include "platform/posix/picture_loader.h"
#include "saver/render_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return vs::run_render_tool(args, vs::load_picture_file, vs::write_png_file, std::cout, std::cerr);
}
