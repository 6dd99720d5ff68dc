/// \defgroup hs_text hs/text.hpp
/// \ingroup hsplatform
/// Text: an immutable sequence of Unicode scalar values, held as UTF-8 in a byte string.
///
/// A Text is always well-formed UTF-8 and holds no surrogate. Copies share the bytes as
/// ByteString copies do (up to 40 bytes in the object, longer ones in a shared buffer).
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
/// \addtogroup hs_text
/// @{

/// An immutable sequence of Unicode scalar values, held as well-formed UTF-8.
class Text {
 public:
  /// The empty text.
  Text() noexcept = default;
  /// The characters of UTF-8 text; each byte of an ill-formed sequence or of an encoded surrogate
  /// becomes U+FFFD (a Text is well-formed UTF-8, which holds no surrogate). Linear; well-formed
  /// input is copied as it is (a buffer above 40 bytes), other input re-encoded once.
  explicit Text(std::string_view utf8);

  /// The UTF-8 bytes.
  [[nodiscard]] std::string_view utf8() const noexcept { return bytes_.chars(); }
  /// The UTF-8 bytes as the byte string that holds them.
  [[nodiscard]] const ByteString& utf8Bytes() const noexcept { return bytes_; }
  /// Whether there are no characters.
  [[nodiscard]] bool empty() const noexcept { return bytes_.empty(); }
  /// The number of characters; linear in the bytes (they are counted on each call).
  [[nodiscard]] std::size_t length() const noexcept;

  /// The same characters (the same bytes), in linear time.
  [[nodiscard]] friend bool operator==(const Text& a, const Text& b) noexcept { return a.bytes_ == b.bytes_; }
  /// Code point order, lexicographic: the order of the UTF-8 bytes, which is the same.
  [[nodiscard]] friend std::strong_ordering operator<=>(const Text& a, const Text& b) noexcept {
    return a.bytes_ <=> b.bytes_;
  }

 private:
  struct Trusted {};
  Text(Trusted, ByteString b) noexcept : bytes_(std::move(b)) {}
  friend Text decodeLatin1(const ByteString& b);

  ByteString bytes_;
};

/// Every byte as the character of that code point. Bytes that are all ASCII are shared, not
/// copied; otherwise one new string of the encoded characters. Linear.
[[nodiscard]] Text decodeLatin1(const ByteString& b);
/// The UTF-8 bytes of a text (shared, not copied).
[[nodiscard]] inline ByteString encodeUtf8(const Text& t) { return t.utf8Bytes(); }

/// A string literal over the characters, as a std::string of the same UTF-8 is written.
template <>
struct Show<Text> {
  /// \privatesection
  static void showsPrec(int, const Text& t, std::string& out) {
    detail::showUtf8Literal(t.utf8(), out);
  }
};
/// The UTF-8 bytes, by hashBytes: a text hashes as the std::string of its bytes.
template <>
struct Hashable<Text> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const Text& t) noexcept {
    return hs::hashBytes(salt, t.utf8().data(), t.utf8().size());
  }
};

/// @}
}  // namespace hs
