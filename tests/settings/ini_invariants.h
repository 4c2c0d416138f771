// What must hold for any file, however broken, when one value is written:
// the value reads back whole, the edit touches at most the rest of one line
// (so every other line survives byte for byte), other keys read as before,
// a second identical write changes nothing, and a refused write changes
// nothing at all. Shared by the randomised test and the fuzz target.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/case_fold.h"
#include "settings/ini.h"

namespace vs::ini_check {

inline std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Section and key names that occur in the file, as probes for reads that the
// write must not disturb. A rough split is enough: they only need variety.
inline std::vector<std::pair<std::string, std::string>> probes(std::string_view file,
                                                               std::string_view section,
                                                               std::string_view key) {
  std::vector<std::string> sections{std::string(section), "Other"};
  std::vector<std::string> keys{std::string(key), "other"};
  size_t pos = 0;
  while (pos < file.size() && sections.size() < 5 && keys.size() < 8) {
    size_t end = file.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = file.size();
    std::string_view line = trimmed(file.substr(pos, end - pos));
    if (!line.empty() && line.front() == '[') {
      size_t close = line.find(']');
      if (close != std::string_view::npos) {
        sections.emplace_back(trimmed(line.substr(1, close - 1)));
      }
    } else {
      keys.emplace_back(trimmed(line.substr(0, line.find('='))));
    }
    pos = end + 1;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const std::string& s : sections) {
    for (const std::string& k : keys) {
      if (names_match(s, section) && names_match(k, key)) continue;
      pairs.emplace_back(s, k);
    }
  }
  return pairs;
}

// Empty when every invariant holds, else what went wrong.
inline std::string check_write(const std::string& before, const std::string& section,
                               const std::string& key, const std::string& value) {
  std::string after = before;
  ini::Edit edit = ini::write_value(after, section, key, value);
  if (!edit.ok) {
    if (edit.refusal.empty()) return "refused without a reason";
    if (after != before) return "a refused write changed the file";
    return {};
  }
  std::string got = ini::read_value(after, section, key);
  if (got != value) return "the value did not read back whole";

  size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
    ++prefix;
  }
  size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  std::string_view removed =
      std::string_view(before).substr(prefix, before.size() - prefix - suffix);
  if (removed.find_first_of("\r\n") != std::string_view::npos) {
    return "the write changed more than one line";
  }

  for (const auto& [s, k] : probes(before, section, key)) {
    if (ini::read_value(before, s, k) != ini::read_value(after, s, k)) {
      return "another key reads differently after the write";
    }
  }

  std::string again = after;
  if (!ini::write_value(again, section, key, value).ok || again != after) {
    return "writing the same value twice changed the file";
  }
  return {};
}

}  // namespace vs::ini_check
