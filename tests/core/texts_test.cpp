// The user's language as gettext finds it, and the texts' placeholders.
#include "core/texts.h"

#include <gtest/gtest.h>

#include <map>

namespace vs {
namespace {

TEST(Texts, TheLanguageIsTheLocalesAsGettextChoosesIt) {
  using L = Language;
  const struct {
    std::map<std::string, std::string> env;
    Language want;
  } cases[] = {
      {{}, L::English},  // no locale: C
      {{{"LANG", "ja_JP.UTF-8"}}, L::Japanese},
      {{{"LANG", "ja"}}, L::Japanese},
      {{{"LANG", "en_US.UTF-8"}}, L::English},
      {{{"LANG", "de_DE.UTF-8"}}, L::English},  // no German texts
      {{{"LANG", "ja_JP.UTF-8"}, {"LC_MESSAGES", "en_GB.UTF-8"}}, L::English},
      {{{"LANG", "en_US.UTF-8"}, {"LC_ALL", "ja_JP.eucJP"}}, L::Japanese},
      {{{"LC_ALL", ""}, {"LANG", "ja_JP.UTF-8"}}, L::Japanese},  // empty is unset
      {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "fr:ja:en"}}, L::Japanese},
      {{{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "en_GB:ja"}}, L::English},
      {{{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "fr:de"}}, L::Japanese},
      {{{"LANG", "C"}, {"LANGUAGE", "ja"}}, L::English},  // C ignores LANGUAGE
      {{{"LANG", "C.UTF-8"}, {"LANGUAGE", "ja"}}, L::English},
      {{{"LANGUAGE", "ja"}}, L::English},
      {{{"LANG", "jav_ID.UTF-8"}}, L::English},  // Javanese is not Japanese
  };
  for (const auto& c : cases) {
    const Language got = language_from_locale([&](const char* name) -> std::optional<std::string> {
      auto it = c.env.find(name);
      if (it == c.env.end()) return std::nullopt;
      return it->second;
    });
    std::string env;
    for (const auto& [k, v] : c.env) env += k + "=" + v + " ";
    EXPECT_EQ(got, c.want) << env;
  }
}

TEST(Texts, PlaceholdersAreFilledInTurnAndEveryTextHasItsOwn) {
  EXPECT_EQ(filled("{1}: {2}.", {"a", "b"}), "a: b.");
  EXPECT_EQ(filled("{2}{1}{3}", {"x", "y"}), "yx{3}");  // nothing for {3}
  EXPECT_EQ(filled("{", {"x"}), "{");
  // Both languages fill the same placeholders.
  for (Language l : {Language::Japanese, Language::English}) {
    const Texts& t = texts_for(l);
    EXPECT_EQ(filled(t.folder_unusable, {"WHY", "FOLDER"}).find("{"), std::string::npos);
    EXPECT_NE(filled(t.save_failed, {"PATH", "WHY"}).find("PATH"), std::string::npos);
    EXPECT_NE(filled(t.save_failed, {"PATH", "WHY"}).find("WHY"), std::string::npos);
  }
  EXPECT_STREQ(texts_for(Language::Japanese).dialog_title, "Varnoscapeの設定");
  EXPECT_STREQ(texts_for(Language::English).dialog_title, "Varnoscape Settings");
}

}  // namespace
}  // namespace vs
