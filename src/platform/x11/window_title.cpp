#include "platform/x11/window_title.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace vs::x11 {
namespace {

// Longer titles cannot be one of ours; reading is cut there.
constexpr long kMaxTitleLongs = 4096;

struct Property {
  Atom type = 0;
  int format = 0;
  std::string bytes;
};

bool read_property(Display* d, Window w, Atom name, Property& out) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, name, 0, kMaxTitleLongs, False, AnyPropertyType, &type, &format,
                         &count, &after, &data) != Success) {
    return false;
  }
  bool ok = type != None && format == 8 && data;
  if (ok) {
    out.type = type;
    out.format = format;
    out.bytes.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data) XFree(data);
  return ok;
}

std::string latin1_to_utf8(const std::string& text) {
  std::string out;
  for (unsigned char ch : text) {
    if (ch < 0x80) {
      out += static_cast<char>(ch);
    } else {
      out += static_cast<char>(0xC0 | (ch >> 6));
      out += static_cast<char>(0x80 | (ch & 0x3F));
    }
  }
  return out;
}

std::string compound_text_to_utf8(Display* d, const Property& p) {
  XTextProperty text{};
  text.value = reinterpret_cast<unsigned char*>(const_cast<char*>(p.bytes.data()));
  text.encoding = p.type;
  text.format = p.format;
  text.nitems = p.bytes.size();
  char** list = nullptr;
  int count = 0;
  if (Xutf8TextPropertyToTextList(d, &text, &list, &count) < Success || !list) return p.bytes;
  std::string out;
  for (int i = 0; i < count; ++i) out += list[i];
  XFreeStringList(list);
  return out;
}

}  // namespace

void set_window_title(Connection& c, Window window, const std::string& utf8) {
  Display* d = c.display;
  XChangeProperty(d, window, c.atoms.net_wm_name, c.atoms.utf8_string, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()),
                  static_cast<int>(utf8.size()));
  char* list[] = {const_cast<char*>(utf8.c_str())};
  XTextProperty text{};
  if (Xutf8TextListToTextProperty(d, list, 1, XStdICCTextStyle, &text) == Success) {
    XSetWMName(d, window, &text);
    XFree(text.value);
  } else {
    // Not representable in the ICCCM encodings: keep the bytes as UTF-8.
    XChangeProperty(d, window, XA_WM_NAME, c.atoms.utf8_string, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
  }
}

bool window_has_title(Connection& c, Window w, const std::string& utf8) {
  Property p;
  if (read_property(c.display, w, c.atoms.net_wm_name, p) && p.bytes == utf8) return true;
  if (!read_property(c.display, w, XA_WM_NAME, p)) return false;
  if (p.type == XA_STRING) return latin1_to_utf8(p.bytes) == utf8;
  if (p.type == c.atoms.compound_text) return compound_text_to_utf8(c.display, p) == utf8;
  return p.bytes == utf8;  // UTF8_STRING, or an encoding we take as it is
}

bool top_level_window_titled(Connection& c, const std::string& utf8) {
  // Windows may vanish while we walk; the failed requests just return
  // nothing (the error handler records them instead of exiting).
  Window root_return = 0, parent = 0;
  Window* top = nullptr;
  unsigned int top_count = 0;
  if (!XQueryTree(c.display, c.root, &root_return, &parent, &top, &top_count)) return false;
  bool found = false;
  for (unsigned int i = 0; i < top_count && !found; ++i) {
    found = window_has_title(c, top[i], utf8);
    Window* inner = nullptr;
    unsigned int inner_count = 0;
    if (!found && XQueryTree(c.display, top[i], &root_return, &parent, &inner, &inner_count)) {
      for (unsigned int j = 0; j < inner_count && !found; ++j)
        found = window_has_title(c, inner[j], utf8);
    }
    if (inner) XFree(inner);
  }
  if (top) XFree(top);
  return found;
}

}  // namespace vs::x11
