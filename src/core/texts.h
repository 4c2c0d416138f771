// Every text the program shows to its user, in the two languages it speaks:
// Japanese where the user's language is Japanese, English for every other.
// The settings file's keys are not texts: they never change with the
// language.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vs {

enum class Language { Japanese, English };

// The language of messages as gettext chooses it on Linux: the first set of
// LC_ALL, LC_MESSAGES and LANG names the locale; unless that is the C
// locale, the LANGUAGE list comes first, each entry tried in turn. A
// Japanese locale ("ja", "ja_JP.UTF-8") gives Japanese; an English one, an
// unset or C locale, or one we have no texts for gives English.
Language language_from_locale(const std::function<std::optional<std::string>(const char*)>& env);

struct Texts {
  const char* dialog_title;
  // Headings: file names, preview, kinds; order, size, drawing method.
  const char* headings[6];
  // Choose folder, clear, save, cancel.
  const char* buttons[4];
  const char* count_unit;  // after the number of files
  const char* order[2];    // sequential, random
  const char* size[2];     // own size, full screen
  const char* method[2];   // dots, lines
  const char* subfolders;  // the check that takes the folders below too
  const char* chooser_title;
  const char* no_pictures;  // the saver found nothing to show
  // "{1}" is why, "{2}" the folder.
  const char* folder_unusable;
  const char* name_has_line_break;
  // "{1}" is the settings file, "{2}" why.
  const char* save_failed;
  const char* values_unwritten;
  const char* no_chooser;
};

const Texts& texts_for(Language language);

// The pattern with "{1}", "{2}" ... replaced by the values in turn.
std::string filled(std::string_view pattern, std::initializer_list<std::string_view> values);

}  // namespace vs
