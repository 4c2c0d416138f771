// The settings file's INI format, read and written on the file's bytes (code
// page 932 text) the way the Windows profile functions treat such files, so
// the file stays interchangeable with them:
// - lines end in CR LF, LF or CR; blanks (space, tab) around section names,
//   keys and values are trimmed; a line starting with ";" is a comment;
// - "[name]" starts a section; lines before the first section belong to none;
// - a key line splits at its first "="; the first matching key of the first
//   matching section counts; names match without regard to letter case;
// - one outer pair of equal quotes (' or ") is removed from a value.
// Values have no length limit. Writing edits only the line of the key (or adds
// lines), so every other byte of the file stays as it was.
#pragma once

#include <string>
#include <string_view>

namespace vs::ini {

// The value of key in section, or empty when the section or key is missing.
std::string read_value(std::string_view file, std::string_view section, std::string_view key);

struct Edit {
  bool ok = false;
  std::string refusal;  // why nothing was changed, when !ok
};

// Sets key = value in file so that read_value gives back exactly value:
// a value the reader would change (blanks at either end, one outer pair of
// equal quotes) is wrapped in one more pair of double quotes. Refuses values
// holding a line break or NUL, which no line can carry.
Edit write_value(std::string& file, std::string_view section, std::string_view key,
                 std::string_view value);

// As write_value, but puts text after the "=" as it is: blanks at its ends
// are layout that the reader trims, as in the " 1" form of numbers.
Edit write_value_as_is(std::string& file, std::string_view section, std::string_view key,
                       std::string_view text);

// The text write_value puts after the "=" for value.
std::string quote_if_needed(std::string_view value);

}  // namespace vs::ini
