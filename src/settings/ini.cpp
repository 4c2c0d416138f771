#include "settings/ini.h"

#include <initializer_list>

#include "settings/case_fold.h"

namespace vs::ini {

namespace {

constexpr size_t npos = std::string_view::npos;

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

bool is_line_break(char c) {
  return c == '\r' || c == '\n';
}

// First bytes of the two-byte characters of code page 932; their second byte
// may be "]" or "\", so a scan for "]" has to step over whole characters.
bool is_lead_byte(char c) {
  auto b = static_cast<unsigned char>(c);
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

struct Line {
  size_t begin = 0;
  size_t end = 0;   // end of the text, before the line break
  size_t next = 0;  // start of the next line
};

Line line_at(std::string_view file, size_t pos) {
  Line l{pos, pos, 0};
  while (l.end < file.size() && !is_line_break(file[l.end])) ++l.end;
  l.next = l.end;
  if (l.next < file.size()) {
    bool crlf = file[l.next] == '\r' && l.next + 1 < file.size() && file[l.next + 1] == '\n';
    l.next += crlf ? 2 : 1;
  }
  return l;
}

enum class Kind { Other, Section, Key };

struct Parsed {
  Kind kind = Kind::Other;
  std::string_view name;      // section name or key, trimmed
  size_t value_begin = npos;  // Key: offset in the line just after the "="
};

// One line without its line break.
//
// A line that starts with "[" but holds no "]" is not a section header: it
// does not end the section above it and is read as a key line like any
// other (as Wine's profile functions also do), so a damaged line never moves
// the keys below it into a section of its own. A line with no "=" is a key
// without a value: it reads as empty, and writing that key adds "=" and the
// value to it.
Parsed parse_line(std::string_view line) {
  Parsed p;
  size_t first = 0;
  while (first < line.size() && is_blank(line[first])) ++first;
  if (first == line.size() || line[first] == ';') return p;
  if (line[first] == '[') {
    for (size_t i = first + 1; i < line.size(); ++i) {
      if (line[i] == ']') {
        p.kind = Kind::Section;
        p.name = trim(line.substr(first + 1, i - first - 1));
        return p;
      }
      if (is_lead_byte(line[i])) ++i;
    }
  }
  p.kind = Kind::Key;
  size_t eq = line.find('=');
  p.name = trim(line.substr(0, eq));
  if (eq != npos) p.value_begin = eq + 1;
  return p;
}

std::string_view value_of(std::string_view text) {
  text = trim(text);
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

struct Found {
  bool section = false;
  size_t insert_at = 0;  // after the section's last key line (or its header)
  bool key = false;
  Line key_line;
  size_t value_begin = npos;  // absolute; npos when the key line has no "="
};

// Only the first section of that name counts; a later one of the same name
// is neither read nor written.
Found locate(std::string_view file, std::string_view section, std::string_view key) {
  Found f;
  for (size_t pos = 0; pos < file.size();) {
    Line l = line_at(file, pos);
    pos = l.next;
    Parsed p = parse_line(file.substr(l.begin, l.end - l.begin));
    if (p.kind == Kind::Section) {
      if (f.section) break;
      if (names_match(p.name, section)) {
        f.section = true;
        f.insert_at = l.next;
      }
    } else if (p.kind == Kind::Key && f.section) {
      f.insert_at = l.next;
      if (names_match(p.name, key)) {
        f.key = true;
        f.key_line = l;
        if (p.value_begin != npos) f.value_begin = l.begin + p.value_begin;
        break;
      }
    }
  }
  return f;
}

bool holds_line_break_or_nul(std::string_view s) {
  for (char c : s) {
    if (is_line_break(c) || c == '\0') return true;
  }
  return false;
}

// The pieces one after another. Built by appending: GCC 12 at -O3 takes
// `"[" + std::string(x)` for an overlapping copy and warns (-Wrestrict).
std::string joined(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out.append(part);
  return out;
}

// The writer refuses anything the reader would not give back as written.
std::string refusal(std::string_view section, std::string_view key, std::string_view text) {
  if (holds_line_break_or_nul(section)) return "the section name holds a line break or NUL";
  if (holds_line_break_or_nul(key)) return "the key holds a line break or NUL";
  if (holds_line_break_or_nul(text)) return "the value holds a line break or NUL";
  std::string header = joined({"[", section, "]"});
  Parsed s = parse_line(header);
  if (section.empty() || s.kind != Kind::Section || s.name != section) {
    return "the section name cannot be stored as it is";
  }
  std::string line = joined({key, "="});
  Parsed k = parse_line(line);
  if (key.empty() || k.kind != Kind::Key || k.name != key || k.value_begin != line.size()) {
    return "the key cannot be stored as it is";
  }
  return {};
}

// Inserts whole lines at pos, first ending the line before them when the
// file stops without a line break.
void insert_lines(std::string& file, size_t pos, std::string lines) {
  if (pos > 0 && !is_line_break(file[pos - 1])) lines.insert(0, "\r\n");
  file.insert(pos, lines);
}

}  // namespace

std::string read_value(std::string_view file, std::string_view section, std::string_view key) {
  Found f = locate(file, section, key);
  if (!f.key || f.value_begin == npos) return {};
  return std::string(value_of(file.substr(f.value_begin, f.key_line.end - f.value_begin)));
}

std::string quote_if_needed(std::string_view value) {
  bool changed_by_reader = value_of(value) != value;
  if (!changed_by_reader) return std::string(value);
  return joined({"\"", value, "\""});
}

Edit write_value(std::string& file, std::string_view section, std::string_view key,
                 std::string_view value) {
  return write_value_as_is(file, section, key, quote_if_needed(value));
}

Edit write_value_as_is(std::string& file, std::string_view section, std::string_view key,
                       std::string_view text) {
  if (std::string why = refusal(section, key, text); !why.empty()) return {false, why};
  Found f = locate(file, section, key);
  // The key's line as it will read: the existing one keeps the key's own
  // spelling and its line break, and only the value changes.
  size_t begin = f.key ? f.key_line.begin : 0;
  size_t end = f.key ? f.key_line.end : 0;
  std::string line;
  if (f.key) {
    size_t kept = (f.value_begin == npos ? f.key_line.end : f.value_begin) - begin;
    line = file.substr(begin, kept) + (f.value_begin == npos ? "=" : "");
  } else {
    line = joined({key, "="});
  }
  line += text;
  // A value can turn its line into something else: "[k" = "x]" would read as
  // a section header.
  Parsed p = parse_line(line);
  if (p.kind != Kind::Key || !names_match(p.name, key) ||
      p.value_begin + text.size() != line.size()) {
    return {false, "the key and the value would not read back as one key line"};
  }
  if (f.key) {
    file.replace(begin, end - begin, line);
  } else if (f.section) {
    insert_lines(file, f.insert_at, line + "\r\n");
  } else {
    insert_lines(file, file.size(), joined({"[", section, "]\r\n", line, "\r\n"}));
  }
  return {true, {}};
}

}  // namespace vs::ini
