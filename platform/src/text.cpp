#include "hs/text.hpp"

namespace hs {

namespace {
bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
}  // namespace

Text::Text(std::string_view utf8) {
  // Well-formed input is copied as it is; otherwise it is re-encoded with replacements. The
  // platform's decoder reports an ill-formed byte as a lone surrogate, and reads a surrogate in
  // the three-byte layout as one; UTF-8 holds neither, and each of their bytes is replaced.
  bool wellFormed = true;
  for (std::size_t i = 0; i < utf8.size() && wellFormed;) {
    char32_t c;
    i += detail::decodeUtf8At(utf8, i, c);
    wellFormed = !isSurrogate(c);
  }
  if (wellFormed) {
    bytes_ = ByteString(utf8);
    return;
  }
  std::string fixed;
  fixed.reserve(utf8.size() + 8);
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c;
    const std::size_t n = detail::decodeUtf8At(utf8, i, c);
    i += n;
    if (!isSurrogate(c)) {
      appendUtf8(c, fixed);
      continue;
    }
    for (std::size_t k = 0; k < n; ++k) appendUtf8(0xFFFD, fixed);
  }
  bytes_ = ByteString(std::string_view(fixed));
}

std::size_t Text::length() const noexcept {
  std::size_t n = 0;
  for (std::uint8_t b : bytes_) n += (b & 0xC0) != 0x80;
  return n;
}

Text decodeLatin1(const ByteString& b) {
  std::size_t high = 0;
  for (std::uint8_t x : b) high += x >= 0x80;
  if (high == 0) return Text(Text::Trusted{}, b);
  return Text(Text::Trusted{}, ByteString::create(b.size() + high, [&](std::uint8_t* out) {
                for (std::uint8_t x : b) {
                  if (x < 0x80) {
                    *out++ = x;
                  } else {
                    *out++ = static_cast<std::uint8_t>(0xC0 | (x >> 6));
                    *out++ = static_cast<std::uint8_t>(0x80 | (x & 0x3F));
                  }
                }
              }));
}

}  // namespace hs
