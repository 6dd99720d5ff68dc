// The 36-character text form: writers and parsers for strings, Text and byte strings, the
// UUID's Show and Read, and its Data description (named by its text).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hs/bytes.hpp"
#include "hs/data.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "hs/text.hpp"
#include "quendle/internal/value.hpp"

namespace quendle {
/// \addtogroup quendle_uuid
/// @{

/// The positions of the four dashes in the text form.
inline constexpr std::array<int, 4> dashPositions{8, 13, 18, 23};

/// The text form: 36 lower-case hexadecimal digits grouped 8-4-4-4-12; allocates the string.
[[nodiscard]] std::string toString(UUID u);
/// The text form as Text.
[[nodiscard]] hs::Text toText(UUID u);
/// The text form as a byte string (one allocation of 36 bytes).
[[nodiscard]] hs::ByteString toASCIIBytes(UUID u);
/// The text form as a lazy byte string of one chunk, the strict form.
[[nodiscard]] hs::LazyByteString toLazyASCIIBytes(UUID u);

/// Exactly 36 characters with '-' at 8, 13, 18 and 23 and a hexadecimal digit of either case
/// everywhere else; anything else is absent. The input is read in place and nothing is allocated.
[[nodiscard]] std::optional<UUID> fromString(std::string_view s) noexcept;
/// fromString over the text's UTF-8 bytes, read in place (a character beyond ASCII is rejected).
[[nodiscard]] std::optional<UUID> fromText(const hs::Text& t) noexcept;
/// fromString over the bytes, read in place.
[[nodiscard]] std::optional<UUID> fromASCIIBytes(const hs::ByteString& b) noexcept;
/// fromString over a lazy byte string: reads chunks only until their length passes 36, so an
/// endless input is answered too; 36 bytes over several chunks are gathered on the stack.
[[nodiscard]] std::optional<UUID> fromLazyASCIIBytes(const hs::LazyByteString& l);

/// The description of the type for the generic view: "Data.Quendle.UUID", with no
/// representation; built once.
[[nodiscard]] const hs::data::DataType& uuidType();

/// @}

namespace internal {
// The 36 characters of u at out.
void writeText(UUID u, std::uint8_t* out) noexcept;
// The UUID of the 36 bytes at p, if they are its text form.
[[nodiscard]] std::optional<UUID> parseText(const std::uint8_t* p) noexcept;
[[nodiscard]] hs::data::Constr uuidConstr(UUID u);
[[noreturn]] void gunfoldError();
}  // namespace internal

}  // namespace quendle

namespace hs {
/// \addtogroup quendle_uuid
/// @{

/// The text form: the bare 36 characters at every precedence, appended in place.
template <>
struct Show<quendle::UUID> {
  /// \privatesection
  static void showsPrec(int, quendle::UUID u, std::string& out);
};
/// White space skipped, then the next 36 characters as fromString reads them; no brackets, any
/// precedence.
template <>
struct Read<quendle::UUID> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<quendle::UUID> readPrec();
};

/// The generic view: uuidType; each UUID is its own constructor, named by its text (computed on
/// demand), whose fixity fails when it is inspected. Building a UUID from the view (gunfold)
/// fails.
template <>
struct Data<quendle::UUID> {
  /// \privatesection
  [[nodiscard]] static data::DataType dataTypeOf() { return quendle::uuidType(); }
  [[nodiscard]] static data::Constr toConstr(quendle::UUID u) { return quendle::internal::uuidConstr(u); }
  template <class K, class Z>
  [[noreturn]] static data::ContextOf<Z, quendle::UUID> gunfold(K&&, Z&&, const data::Constr&) {
    quendle::internal::gunfoldError();
  }
};

/// @}
}  // namespace hs
