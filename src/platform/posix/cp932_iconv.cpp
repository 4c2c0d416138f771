// Code page 932 through glibc's iconv "CP932", which is Microsoft's table
// (unlike "SHIFT_JIS", which maps 0x5C to the yen sign and lacks the NEC and
// IBM extensions).
#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/cp932.h"

namespace vs {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of in; stops at the first byte that cannot be converted and
  // reports how far it got.
  bool convert(std::string_view in, std::string& out, size_t& consumed) {
    consumed = 0;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char buf[1024];
    for (;;) {
      char* dst = buf;
      size_t dst_left = sizeof buf;
      size_t rc = iconv(cd_, src_left ? &src : nullptr, &src_left, &dst, &dst_left);
      int err = errno;
      out.append(buf, sizeof buf - dst_left);
      if (rc != static_cast<size_t>(-1)) {
        if (src_left == 0) break;
        continue;
      }
      if (err == E2BIG) continue;
      consumed = in.size() - src_left;
      return false;
    }
    consumed = in.size();
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> utf8_to_cp932(std::string_view utf8) {
  Converter c("CP932", "UTF-8");
  std::string out;
  size_t used = 0;
  if (!c.convert(utf8, out, used)) return std::nullopt;
  // glibc also maps characters that code page 932 does not hold to look-alikes
  // ("¥" to "\", "¢" to "￠"); such a text would come back as another one, so
  // only a conversion that reads back unchanged counts.
  if (cp932_to_utf8(out) != utf8) return std::nullopt;
  return out;
}

std::optional<std::string> cp932_to_utf8(std::string_view bytes) {
  Converter c("UTF-8", "CP932");
  std::string out;
  size_t used = 0;
  if (!c.convert(bytes, out, used)) return std::nullopt;
  return out;
}

std::u32string cp932_to_utf32_lossless(std::string_view bytes) {
  // UTF-32LE explicitly: plain "UTF-32" would prepend a byte-order mark.
  Converter c("UTF-32LE", "CP932");
  std::u32string result;
  while (!bytes.empty()) {
    std::string out;
    size_t used = 0;
    bool ok = c.convert(bytes, out, used);
    for (size_t i = 0; i + 4 <= out.size(); i += 4) {
      auto b = [&](size_t k) {
        return static_cast<char32_t>(static_cast<unsigned char>(out[i + k]));
      };
      result.push_back(b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24));
    }
    if (ok) break;
    // One byte that does not start a valid character: keep it apart.
    result.push_back(0xDC00 + static_cast<unsigned char>(bytes[used]));
    bytes.remove_prefix(used + 1);
  }
  return result;
}

}  // namespace vs
