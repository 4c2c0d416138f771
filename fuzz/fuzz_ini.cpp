// Fuzz target for the settings file's INI codec: reads and writes one value
// on arbitrary file bytes and aborts when a write loses or changes anything
// besides the value it was asked for (see tests/settings/ini_invariants.h).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../tests/settings/ini_invariants.h"

namespace {

// The first bytes choose the names; a choice past the list takes the name
// from the input itself, so arbitrary names are tried too.
std::string pick_name(uint8_t choice, std::string_view& rest) {
  static const char* const names[] = {
      "Section", "SECTION", "k", "\x89\xE6\x91\x9C\xC1\xAA\xDD\xBC\xDE", "\x83]", "[k", "\x82\x60"};
  constexpr size_t count = sizeof names / sizeof names[0];
  if (choice % 16 < count) return names[choice % 16];
  size_t n = std::min<size_t>(choice / 16, rest.size());
  std::string name(rest.substr(0, n));
  rest.remove_prefix(n);
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  uint8_t section_choice = static_cast<uint8_t>(in[0]);
  uint8_t key_choice = static_cast<uint8_t>(in[1]);
  uint8_t value_size = static_cast<uint8_t>(in[2]);
  std::string_view rest = in.substr(3);
  std::string section = pick_name(section_choice, rest);
  std::string key = pick_name(key_choice, rest);
  std::string value(rest.substr(0, std::min<size_t>(value_size, rest.size())));
  rest.remove_prefix(value.size());
  std::string file(rest);

  (void)vs::ini::read_value(file, section, key);
  std::string problem = vs::ini_check::check_write(file, section, key, value);
  if (!problem.empty()) {
    std::fprintf(stderr, "INI invariant broken: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
