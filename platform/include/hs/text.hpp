// Text: an immutable sequence of Unicode scalar values, held as UTF-8 in a byte string.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "hs/bytes.hpp"
#include "hs/hashable.hpp"
#include "hs/show.hpp"

namespace hs {

class Text {
 public:
  Text() noexcept = default;
  // The characters of UTF-8 text; each byte of an ill-formed sequence or of an encoded surrogate
  // becomes U+FFFD (a Text is well-formed UTF-8, which holds no surrogate).
  explicit Text(std::string_view utf8);

  // The UTF-8 bytes.
  [[nodiscard]] std::string_view utf8() const noexcept { return bytes_.chars(); }
  [[nodiscard]] const ByteString& utf8Bytes() const noexcept { return bytes_; }
  [[nodiscard]] bool empty() const noexcept { return bytes_.empty(); }
  // The number of characters.
  [[nodiscard]] std::size_t length() const noexcept;

  [[nodiscard]] friend bool operator==(const Text& a, const Text& b) noexcept { return a.bytes_ == b.bytes_; }
  // UTF-8 byte order is code point order.
  [[nodiscard]] friend std::strong_ordering operator<=>(const Text& a, const Text& b) noexcept {
    return a.bytes_ <=> b.bytes_;
  }

 private:
  struct Trusted {};
  Text(Trusted, ByteString b) noexcept : bytes_(std::move(b)) {}
  friend Text decodeLatin1(const ByteString& b);

  ByteString bytes_;
};

// Every byte as the character of that code point. Bytes that are all ASCII are shared, not copied.
[[nodiscard]] Text decodeLatin1(const ByteString& b);
// The UTF-8 bytes of a text (shared, not copied).
[[nodiscard]] inline ByteString encodeUtf8(const Text& t) { return t.utf8Bytes(); }

template <>
struct Show<Text> {
  static void showsPrec(int, const Text& t, std::string& out) {
    detail::showUtf8Literal(t.utf8(), out);
  }
};
template <>
struct Hashable<Text> {
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const Text& t) noexcept {
    return hs::hashBytes(salt, t.utf8().data(), t.utf8().size());
  }
};

}  // namespace hs
