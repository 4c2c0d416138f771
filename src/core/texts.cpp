#include "core/texts.h"

#include <vector>

namespace vs {

namespace {

// The Japanese texts are the program's own, byte for byte; the English ones
// say the same.
constexpr Texts kJapanese = {
    "Varnoscapeの設定",
    {"ﾌｧｲﾙ名", "ﾌﾟﾚﾋﾞｭｰ", "画像の種類", "画像ﾁｪﾝｼﾞ", "画像のｻｲｽﾞ", "描画方法"},
    {"ﾌｫﾙﾀﾞ指定...", "ｸﾘｱ", "設定", "ｷｬﾝｾﾙ"},
    "枚",
    {"ｼｰｹﾝｼｬﾙ", "ﾗﾝﾀﾞﾑ"},
    {"ｵﾘｼﾞﾅﾙ", "ﾌﾙｽｸﾘｰﾝ"},
    {"ﾄﾞｯﾄ", "ﾗｲﾝ"},
    "ｻﾌﾞﾌｫﾙﾀﾞも",
    "ﾌｫﾙﾀﾞをｸﾘｯｸして選択状態にしてから ＯＫ を押してください",
    "画像ﾌｧｲﾙを指定して下さい ！",
    "このﾌｫﾙﾀﾞは使えません: {1}。\n{2}",
    "名前に改行が含まれています",
    "設定を保存できませんでした: {1}\n{2}",
    "一部の値を書き込めませんでした",
    "ﾌｫﾙﾀﾞを選ぶﾌﾟﾛｸﾞﾗﾑが見つかりません。画像ﾌｫﾙﾀﾞを選ぶには Debian のﾊﾟｯｹｰｼﾞ zenity "
    "(または kdialog) をｲﾝｽﾄｰﾙしてください。",
};

constexpr Texts kEnglish = {
    "Varnoscape Settings",
    {"Files", "Preview", "Kinds", "Order", "Size", "Drawing"},
    {"Folder...", "Clear", "OK", "Cancel"},
    "files",
    {"In order", "Random"},
    {"Own size", "Full screen"},
    {"Dots", "Lines"},
    "Subfolders",
    "Click a folder to select it, then press OK",
    "Please choose picture files!",
    "This folder cannot be used: {1}.\n{2}",
    "its name holds a line break",
    "The settings could not be saved to {1}:\n{2}",
    "some values could not be written",
    "No folder chooser was found. Install the Debian package zenity (or kdialog) to choose the "
    "picture folder.",
};

// The language part of a locale name: "ja" of "ja_JP.UTF-8@x".
std::string_view language_part(std::string_view locale) {
  return locale.substr(0, locale.find_first_of("_.@"));
}

// The language an entry names, when we have texts for it.
std::optional<Language> known(std::string_view locale) {
  const std::string_view part = language_part(locale);
  if (part == "ja") return Language::Japanese;
  if (part == "en") return Language::English;
  return std::nullopt;
}

}  // namespace

Language language_from_locale(const std::function<std::optional<std::string>(const char*)>& env) {
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (std::optional<std::string> value = env(name); value && !value->empty()) {
      locale = *value;
      break;
    }
  }
  const std::string_view part = language_part(locale);
  if (locale.empty() || part == "C" || part == "POSIX") return Language::English;
  if (std::optional<std::string> list = env("LANGUAGE"); list && !list->empty()) {
    std::string_view rest = *list;
    while (!rest.empty()) {
      const size_t colon = rest.find(':');
      if (std::optional<Language> l = known(rest.substr(0, colon))) return *l;
      rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
    }
  }
  return known(locale).value_or(Language::English);
}

const Texts& texts_for(Language language) {
  return language == Language::Japanese ? kJapanese : kEnglish;
}

std::string filled(std::string_view pattern, std::initializer_list<std::string_view> values) {
  const std::vector<std::string_view> v(values);
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
        pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const size_t k = static_cast<size_t>(pattern[i + 1] - '1');
      if (k < v.size()) {
        out += v[k];
        i += 2;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

}  // namespace vs
