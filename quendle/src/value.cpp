#include "quendle/internal/value.hpp"

#include <array>
#include <string>
#include <string_view>

#include "hs/error.hpp"

namespace quendle {

hs::Ordering compare(const UnpackedUUID& a, const UnpackedUUID& b) {
  for (std::size_t i = 0; i < unpackedFieldCount; ++i) {
    const std::uint32_t x = a.field(i);
    const std::uint32_t y = b.field(i);
    if (x != y) return x < y ? hs::LT : hs::GT;
  }
  return hs::EQ;
}

bool operator==(const UnpackedUUID& a, const UnpackedUUID& b) {
  for (std::size_t i = 0; i < unpackedFieldCount; ++i) {
    // Two statements: the left field is forced first (the operands of != are unsequenced).
    const std::uint32_t x = a.field(i);
    if (x != b.field(i)) return false;
  }
  return true;
}

bool operator<(const UnpackedUUID& a, const UnpackedUUID& b) { return compare(a, b) == hs::LT; }

void internal::fieldIndexError(std::size_t i) {
  hs::errorWithoutStackTrace("quendle::UnpackedUUID::field: no field " + std::to_string(i) +
                             " (the fields are 0 to 10)");
}

}  // namespace quendle

namespace hs {

namespace {

constexpr std::array<std::string_view, quendle::unpackedFieldCount> fieldNames{
    "time_low", "time_mid", "time_hi_and_version", "clock_seq_hi_res", "clock_seq_low", "node_0",
    "node_1",   "node_2",   "node_3",              "node_4",           "node_5"};

// Whether the next lexeme is `want`; on success s moves past it.
bool expect(std::string_view& s, const Lexeme& want) {
  const auto l = detail::lexLexeme(s);
  if (!l || !(l->first == want)) return false;
  s = l->second;
  return true;
}

template <class T>
std::optional<std::pair<std::uint32_t, std::string_view>> readField(std::size_t i,
                                                                   std::string_view s) {
  if (i > 0 && !expect(s, Lexeme::Punc(","))) return std::nullopt;
  if (!expect(s, Lexeme::Ident(std::string(fieldNames[i])))) return std::nullopt;
  if (!expect(s, Lexeme::Punc("="))) return std::nullopt;
  // The platform's reader of the field's type at precedence 0 (it has at most one parse).
  auto parses = hs::readPrec<T>()(0, s);
  if (parses.empty()) return std::nullopt;
  return std::make_pair(std::uint32_t{parses.front().first}, parses.front().second);
}

}  // namespace

void Show<quendle::UnpackedUUID>::showsPrec(int d, const quendle::UnpackedUUID& r,
                                           std::string& out) {
  showParen(
      d >= 11,
      [&](std::string& o) {
        o.append("UnpackedUUID {");
        for (std::size_t i = 0; i < quendle::unpackedFieldCount; ++i) {
          if (i > 0) o.append(", ");
          o.append(fieldNames[i]);
          o.append(" = ");
          detail::showWord(r.field(i), o);
        }
        o.push_back('}');
      },
      out);
}

ReadPrec<quendle::UnpackedUUID> Read<quendle::UnpackedUUID>::readPrec() {
  ReadPrec<quendle::UnpackedUUID> body([](int, std::string_view s) {
    ReadResult<quendle::UnpackedUUID> out;
    if (!expect(s, Lexeme::Ident("UnpackedUUID")) || !expect(s, Lexeme::Punc("{"))) return out;
    std::array<std::uint32_t, quendle::unpackedFieldCount> v{};
    for (std::size_t i = 0; i < quendle::unpackedFieldCount; ++i) {
      const auto f = i == 0   ? readField<std::uint32_t>(i, s)
                     : i < 3 ? readField<std::uint16_t>(i, s)
                             : readField<std::uint8_t>(i, s);
      if (!f) return out;
      v[i] = f->first;
      s = f->second;
    }
    if (!expect(s, Lexeme::Punc("}"))) return out;
    const auto u8 = [&](std::size_t i) { return static_cast<std::uint8_t>(v[i]); };
    out.emplace_back(quendle::UnpackedUUID(v[0], static_cast<std::uint16_t>(v[1]),
                                           static_cast<std::uint16_t>(v[2]), u8(3), u8(4), u8(5),
                                           u8(6), u8(7), u8(8), u8(9), u8(10)),
                     s);
    return out;
  });
  return readprec::parens(readprec::prec(11, std::move(body)));
}

}  // namespace hs
