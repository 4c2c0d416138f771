#include "forms/paint.h"

#include "core/utf8.h"

#include <algorithm>

namespace vs::forms {

Rect intersect(const Rect& a, const Rect& b) {
  const int left = std::max(a.x, b.x), top = std::max(a.y, b.y);
  const int right = std::min(a.x + a.width, b.x + b.width);
  const int bottom = std::min(a.y + a.height, b.y + b.height);
  if (right <= left || bottom <= top) return {left, top, 0, 0};
  return {left, top, right - left, bottom - top};
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}

std::vector<std::string> wrap_path(const std::string& path, int width, int max_lines,
                                   const std::function<int(const std::string&)>& measure) {
  // Whole characters only: a line never ends inside a UTF-8 sequence.
  std::vector<std::string> chars;
  for (char32_t cp : decode_utf8(path)) chars.push_back(encode_utf8(cp));
  auto is_separator = [](const std::string& c) { return c == "/" || c == "\\"; };

  std::vector<std::string> lines;
  std::vector<std::string> line;  // the characters of the line being filled
  auto joined = [](auto begin, auto end) {
    std::string text;
    for (auto it = begin; it != end; ++it) text += *it;
    return text;
  };
  for (const std::string& c : chars) {
    line.push_back(c);
    if (line.size() == 1 || measure(joined(line.begin(), line.end())) <= width) continue;
    line.pop_back();
    // Break after the last separator of the line, if one is there.
    size_t cut = line.size();
    for (size_t i = line.size(); i > 0; --i) {
      if (is_separator(line[i - 1])) {
        cut = i;
        break;
      }
    }
    lines.push_back(joined(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(cut)));
    line.erase(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(cut));
    line.push_back(c);
  }
  if (!line.empty() || lines.empty()) lines.push_back(joined(line.begin(), line.end()));
  if (max_lines < 1 || static_cast<int>(lines.size()) <= max_lines) return lines;

  // Too long: the first lines, then as much of the end as fits after "…".
  lines.resize(static_cast<size_t>(max_lines - 1));
  const std::string ellipsis = "\u2026";
  size_t from = chars.size();
  while (from > 0 &&
         measure(ellipsis + joined(chars.begin() + static_cast<std::ptrdiff_t>(from) - 1,
                                   chars.end())) <= width) {
    --from;
  }
  lines.push_back(ellipsis +
                  joined(chars.begin() + static_cast<std::ptrdiff_t>(from), chars.end()));
  return lines;
}

void fill_clipped(Surface& s, const Rect& r, uint32_t pixel, const Rect& clip) {
  const Rect c = intersect(r, clip);
  if (!c.empty()) s.fill_rect(c.x, c.y, c.width, c.height, pixel);
}

void draw_focus_rect(Surface& s, const Rect& r, const Rect& clip) {
  if (r.empty()) return;
  auto dot = [&](int x, int y) {
    // Inverted, so the mark shows on a grey face and on a selected row.
    if (clip.contains(x, y) && ((x + y) & 1) == 0) s.set_pixel(x, y, s.at(x, y) ^ 0xFFFFFF);
  };
  const int right = r.x + r.width - 1, bottom = r.y + r.height - 1;
  for (int x = r.x; x <= right; ++x) dot(x, r.y), dot(x, bottom);
  for (int y = r.y + 1; y < bottom; ++y) dot(r.x, y), dot(right, y);
}

void draw_picture(Surface& s, const Surface& picture, const Rect& at, bool stretch,
                  const Rect& clip) {
  if (picture.empty() || at.empty()) return;
  const Rect shown =
      intersect(intersect(stretch ? at : Rect{at.x, at.y, picture.width(), picture.height()}, clip),
                Rect{0, 0, s.width(), s.height()});
  for (int y = shown.y; y < shown.y + shown.height; ++y) {
    const int sy =
        stretch ? static_cast<int>(static_cast<int64_t>(y - at.y) * picture.height() / at.height)
                : y - at.y;
    const uint32_t* from = picture.row(sy);
    uint32_t* to = s.row(y);
    for (int x = shown.x; x < shown.x + shown.width; ++x) {
      const int sx =
          stretch ? static_cast<int>(static_cast<int64_t>(x - at.x) * picture.width() / at.width)
                  : x - at.x;
      if (from[sx] != kTransparentKey) to[x] = from[sx];
    }
  }
  if (!shown.empty()) s.mark_dirty(shown.y, shown.y + shown.height);
}

void draw_edge(Surface& s, const Rect& r, Edge edge, int line) {
  const bool raised = edge == Edge::Raised;
  const uint32_t outer_tl = raised ? kLight : kShadow, outer_br = raised ? kDarkShadow : kHighlight;
  const uint32_t inner_tl = raised ? kHighlight : kDarkShadow, inner_br = raised ? kShadow : kLight;
  // Each ring as DrawEdge draws it: the top and left lines stop a pixel
  // short, so the bottom-right colour takes the far corners.
  auto ring = [&](const Rect& q, uint32_t tl, uint32_t br) {
    if (q.empty()) return;
    s.fill_rect(q.x, q.y, q.width - 1, 1, tl);
    s.fill_rect(q.x, q.y, 1, q.height - 1, tl);
    s.fill_rect(q.x, q.y + q.height - 1, q.width, 1, br);
    s.fill_rect(q.x + q.width - 1, q.y, 1, q.height, br);
  };
  // At a larger scale each ring is `line` pixels wide.
  line = std::max(1, line);
  for (int i = 0; i < line; ++i) ring(inset(r, i), outer_tl, outer_br);
  for (int i = line; i < 2 * line; ++i) ring(inset(r, i), inner_tl, inner_br);
}

}  // namespace vs::forms
