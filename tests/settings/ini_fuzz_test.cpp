// Hostile files for the INI codec: very long lines, NUL bytes, invalid and
// cut Shift-JIS, unbalanced brackets, stray quotes and random bytes. Nothing
// may crash, and every write must keep the rest of the file as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "settings/ini_invariants.h"

namespace vs {
namespace {

class HostileText {
 public:
  explicit HostileText(uint32_t seed) : rng_(seed) {}

  size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

  std::string random_bytes(size_t max) {
    std::string s(below(max + 1), '\0');
    for (char& c : s) c = static_cast<char>(below(256));
    return s;
  }

  // A name (section or key) the writer may be asked for, valid or not.
  std::string name() {
    static const std::vector<std::string> names{"Section",
                                                "SECTION",
                                                "section",
                                                "k",
                                                "K",
                                                "\x89\xE6\x91\x9C\xC1\xAA\xDD\xBC\xDE",
                                                "\x95\x60\x89\xE6\x95\xFB\x96\x40",
                                                "\x83]",
                                                "\x83\\",
                                                "\x82\x60\x82\x61" /* ＡＢ */,
                                                "\x82\x81\x82\x82" /* ａｂ */,
                                                "S]",
                                                "[k",
                                                "k=",
                                                ";k",
                                                " k",
                                                "a\nb",
                                                "\x81",
                                                ""};
    return below(8) == 0 ? random_bytes(6) : names[below(names.size())];
  }

  std::string value() {
    static const std::vector<std::string> values{"",
                                                 " 1",
                                                 "\"q\"",
                                                 "'q'",
                                                 "\"",
                                                 "  ",
                                                 "\t\"x\t",
                                                 "=",
                                                 "[x]",
                                                 ";c",
                                                 "\x81",
                                                 "\x83]",
                                                 std::string(1, '\0'),
                                                 "\r",
                                                 "\n",
                                                 "a\r\nb"};
    switch (below(4)) {
      case 0:
        return random_bytes(40);
      case 1:
        return std::string(below(70000), 'v');
      default:
        return values[below(values.size())];
    }
  }

  std::string line_break() {
    static const char* breaks[] = {"\r\n", "\n", "\r", "\n\r", ""};
    return breaks[below(5)];
  }

  std::string file() {
    std::string f;
    size_t lines = below(30);
    for (size_t i = 0; i < lines; ++i) {
      switch (below(9)) {
        case 0:
          f += "[" + name() + (below(3) ? "]" : "") + random_bytes(3);
          break;
        case 1:
          f += " \t" + name() + " = " + value();
          break;
        case 2:
          f += name() + "=" + value();
          break;
        case 3:
          f += ";" + random_bytes(10);
          break;
        case 4:
          f += std::string(below(100000), below(2) ? '[' : 'x');
          break;
        case 5:
          f += std::string(below(20), '\0') + name();
          break;
        case 6:
          f += "[\x81]\x83]]" + name();
          break;
        default:
          f += random_bytes(60);
      }
      f += line_break();
    }
    return f;
  }

 private:
  std::mt19937 rng_;
};

TEST(IniHostileInput, WritesKeepEveryOtherLine) {
  HostileText gen(20240607);
  auto start = std::chrono::steady_clock::now();
  int checked = 0;
  for (int i = 0; i < 400; ++i) {
    std::string file = gen.file();
    std::string section = gen.name();
    std::string key = gen.name();
    std::string value = gen.value();
    // Reading anything from anything must not crash either.
    (void)ini::read_value(file, gen.name(), gen.name());
    std::string problem = ini_check::check_write(file, section, key, value);
    ASSERT_EQ(problem, "") << "case " << i;
    ++checked;
    // Keep the run short on a slow machine or under sanitizers.
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(3)) break;
  }
  EXPECT_GT(checked, 50);
}

TEST(IniHostileInput, PureRandomBytes) {
  HostileText gen(7);
  for (int i = 0; i < 2000; ++i) {
    std::string file = gen.random_bytes(300);
    ASSERT_EQ(ini_check::check_write(file, "Section", "k", gen.value()), "") << "case " << i;
    ASSERT_EQ(ini_check::check_write(file, gen.random_bytes(4), gen.random_bytes(4), "v"), "")
        << "case " << i;
  }
}

}  // namespace
}  // namespace vs
