#include "settings/settings.h"

#include <optional>
#include <string_view>

#include "core/cp932.h"
#include "core/numeric.h"
#include "settings/catalogue.h"
#include "settings/ini.h"
#include "settings/settings_location.h"

namespace vs {

namespace {

constexpr std::string_view kSection = "Section";
constexpr std::string_view kChangeKey = "画像ﾁｪﾝｼﾞ";
constexpr std::string_view kSizeKey = "画像のｻｲｽﾞ";
constexpr std::string_view kFolderKey = "画像のﾌｫﾙﾀﾞ";
constexpr std::string_view kKindKey = "画像種類_";  // followed by the index digit
constexpr std::string_view kWayKey = "描画方法";
constexpr std::string_view kSubfoldersKey = "ｻﾌﾞﾌｫﾙﾀﾞ";
// The folder when code page 932 cannot spell it (see load_settings).
constexpr std::string_view kUnicodeFolderKey = "画像のﾌｫﾙﾀﾞ_UTF8";

std::string kind_key(size_t index) {
  return std::string(kKindKey) + static_cast<char>('0' + index);
}

// Keys as the file holds them. They are all representable, so the conversion
// cannot fail for them.
std::string file_key(std::string_view utf8) {
  return utf8_to_cp932(utf8).value_or("");
}

// A number as the file holds it: a sign position (blank or minus), then the
// digits: " 1", " 0", "-1".
std::string number_text(int16_t v) {
  int magnitude = v < 0 ? -static_cast<int>(v) : v;
  std::string text(v < 0 ? "-" : " ");
  return text.append(std::to_string(magnitude));
}

// Empty gives the default; a text that is not a 16-bit number leaves the
// variable as it was.
void load_number(std::string_view file, std::string_view key, int16_t fallback, int16_t& variable) {
  std::string text = ini::read_value(file, kSection, file_key(key));
  if (text.empty()) {
    variable = fallback;
  } else if (std::optional<int16_t> v = parse_floor_int16(text)) {
    variable = *v;
  }
}

// The folder as the program spells paths, or empty when the value cannot
// name one: bytes that are not valid code page 932 (or a NUL) cannot be a
// folder the chooser gave us, so they count like a folder that no longer
// exists.
std::string folder_from_file(std::string_view bytes) {
  if (bytes.find('\0') != std::string_view::npos) return {};
  return cp932_to_utf8(bytes).value_or("");
}

bool plain_ascii(unsigned char c) {
  return c >= 0x20 && c < 0x7F && c != '%';
}

// UTF-8 in printable ASCII, which any code page holds: other bytes as %XX.
std::string escaped_utf8(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : utf8) {
    if (plain_ascii(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Empty when the text is not what escaped_utf8 writes: a broken escape or a
// NUL names no folder. Other bytes pass as they are: a Linux folder's name
// need not be UTF-8.
std::string unescaped_utf8(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int high = i + 2 < text.size() ? hex_digit(text[i + 1]) : -1;
    const int low = high < 0 ? -1 : hex_digit(text[i + 2]);
    if (low < 0) return {};
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  if (out.find('\0') != std::string::npos) return {};
  return out;
}

}  // namespace

void load_settings(System& p, Settings& settings, Catalogue& catalogue) {
  SettingsLocation where = settings_location(p);
  // A file that cannot be read is treated like a missing one: defaults.
  ReadResult r = p.read_file(where.path);
  if (r.status == ReadResult::Status::Error) {
    p.report("cannot read the settings file " + where.path + " (" + r.error +
             "): using the default settings");
  }
  std::string file = r.status == ReadResult::Status::Ok ? std::move(r.bytes) : std::string();

  Settings& s = settings;
  load_number(file, kChangeKey, 0, s.picture_order);
  load_number(file, kSizeKey, 0, s.picture_size);
  // A garbled value keeps what the variable held, which for the first four
  // kinds is 0 at the start: the later kinds start there too, so a garbled
  // key hides its kind as it does theirs.
  for (size_t i = kFirstKinds; i < s.kinds.size(); ++i) s.kinds[i] = 0;
  for (size_t i = 0; i < s.kinds.size(); ++i) load_number(file, kind_key(i), 1, s.kinds[i]);

  // The kinds come first: the catalogue is built for the shown ones only.
  load_number(file, kSubfoldersKey, 0, s.subfolders);
  catalogue.count = 0;
  const std::string folder_bytes = ini::read_value(file, kSection, file_key(kFolderKey));
  s.folder = folder_bytes.empty()
                 ? unescaped_utf8(ini::read_value(file, kSection, file_key(kUnicodeFolderKey)))
                 : folder_from_file(folder_bytes);
  if (!s.folder.empty()) {
    if (!folder_exists(p, s.folder)) {
      s.folder.clear();
    } else if (!catalogue_walk_pending(s)) {
      build_catalogue(p, s.kinds, s.folder, catalogue);
    }
  }

  load_number(file, kWayKey, 0, s.drawing_method);
}

SaveResult save_settings(System& p, Settings& settings, const std::string& folder_label) {
  SettingsLocation where = settings_location(p);
  SaveResult result;
  result.path = where.path;
  Settings& s = settings;
  s.folder = folder_label;

  std::vector<std::string> keys{std::string(kChangeKey),
                                std::string(kSizeKey),
                                std::string(kFolderKey),
                                kind_key(0),
                                kind_key(1),
                                kind_key(2),
                                kind_key(3),
                                std::string(kWayKey)};

  // Everything else in the file has to survive the save, so a file that
  // exists but cannot be read is not replaced.
  ReadResult old = p.read_file(where.path);
  if (old.status == ReadResult::Status::Error) {
    result.error = old.error;
    result.unwritten.assign(keys.begin(), keys.end());
    return result;
  }
  std::string file = old.status == ReadResult::Status::Ok ? std::move(old.bytes) : std::string();

  std::string refusal;
  auto put = [&](const std::string& key, const ini::Edit& edit) {
    if (edit.ok) return;
    if (refusal.empty()) refusal = key + ": " + edit.refusal;
    result.unwritten.push_back(key);
  };
  auto put_number = [&](const std::string& key, int16_t v) {
    put(key, ini::write_value_as_is(file, kSection, file_key(key), number_text(v)));
  };

  put_number(keys[0], s.picture_order);
  put_number(keys[1], s.picture_size);
  // A folder code page 932 cannot spell goes to a key of its own, and the
  // folder key is emptied.
  std::optional<std::string> cp932_folder = utf8_to_cp932(s.folder);
  const std::string unicode_folder = cp932_folder ? std::string() : escaped_utf8(s.folder);
  // A line break fits no line: the folder as it is, which the writer refuses.
  const bool folder_fits = s.folder.find_first_of("\r\n") == std::string::npos;
  put(keys[2], ini::write_value(file, kSection, file_key(keys[2]),
                                folder_fits ? cp932_folder.value_or("") : s.folder));
  for (size_t i = 0; i < kFirstKinds; ++i) put_number(keys[3 + i], s.kinds[i]);
  put_number(keys[7], s.drawing_method);
  // A file that never held a later kind's key keeps not holding it while
  // the kind is shown, so it stays what the first four kinds' saves wrote.
  auto needed = [&](const std::string& key, bool differs_from_missing) {
    if (!differs_from_missing && ini::read_value(file, kSection, file_key(key)).empty()) {
      return false;
    }
    keys.push_back(key);
    return true;
  };
  for (size_t i = kFirstKinds; i < s.kinds.size(); ++i) {
    if (needed(kind_key(i), s.kinds[i] != 1)) put_number(kind_key(i), s.kinds[i]);
  }
  if (needed(std::string(kSubfoldersKey), s.subfolders != 0)) {
    put_number(std::string(kSubfoldersKey), s.subfolders);
  }
  if (folder_fits && needed(std::string(kUnicodeFolderKey), !unicode_folder.empty())) {
    put(std::string(kUnicodeFolderKey),
        ini::write_value(file, kSection, file_key(kUnicodeFolderKey), unicode_folder));
  }

  if (!where.per_user_folder.empty()) {
    WriteResult made = p.make_folders(where.per_user_folder);
    if (!made.ok) {
      result.error = made.error;
      result.unwritten.assign(keys.begin(), keys.end());
      return result;
    }
  }
  WriteResult written = p.replace_file(where.path, file);
  if (!written.ok) {
    result.error = written.error;
    result.unwritten.assign(keys.begin(), keys.end());
    return result;
  }
  result.ok = result.unwritten.empty();
  result.error = refusal;
  return result;
}

}  // namespace vs
