#include "quendle/internal/text.hpp"

#include <bit>
#include <cstring>

#include "hs/error.hpp"
#include "quendle/package.hpp"

namespace quendle {

namespace {

// The value of a hexadecimal digit, -1 for every other byte.
constexpr std::array<std::int8_t, 256> hexValues = [] {
  std::array<std::int8_t, 256> t{};
  for (auto& x : t) x = -1;
  for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'A' + 10);
  return t;
}();

// n digits at p appended to acc; a byte that is no digit sets the sign of bad.
inline std::uint64_t digits(std::uint64_t acc, const std::uint8_t* p, int n, int& bad) noexcept {
  for (int i = 0; i < n; ++i) {
    const int d = hexValues[p[i]];
    bad |= d;
    acc = (acc << 4) | static_cast<std::uint64_t>(d & 0xF);
  }
  return acc;
}

// The eight lower-case digits of w, most significant first, as they lie in memory.
inline std::uint64_t hex8(std::uint32_t w) noexcept {
  std::uint64_t x = w;
  x = (x | (x << 16)) & 0x0000FFFF0000FFFFULL;
  x = (x | (x << 8)) & 0x00FF00FF00FF00FFULL;
  x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0FULL;  // byte k holds nibble k
  // 'a' - '0' - 10 more for the nibbles from 10 up; bit 4 of n + 6 marks them.
  const std::uint64_t letters = ((x + 0x0606060606060606ULL) >> 4) & 0x0101010101010101ULL;
  x += 0x3030303030303030ULL + letters * 0x27;
  if constexpr (std::endian::native == std::endian::little) x = __builtin_bswap64(x);
  return x;
}

hs::SrcLoc internalSite(int line, int col, int endCol) {
  return hs::SrcLoc{"error",  packageId(), "Data.Quendle.Internal", "src/Data/Quendle/Internal",
                    line,     col,         line,                    endCol};
}

[[noreturn]] void fixityError() { hs::error("fixity", internalSite(570, 52, 57)); }

}  // namespace

void internal::writeText(UUID u, std::uint8_t* out) noexcept {
  const auto [w0, w1, w2, w3] = toWords(u);
  const std::uint64_t h0 = hex8(w0), h1 = hex8(w1), h2 = hex8(w2), h3 = hex8(w3);
  const auto* b1 = reinterpret_cast<const std::uint8_t*>(&h1);
  const auto* b2 = reinterpret_cast<const std::uint8_t*>(&h2);
  std::memcpy(out, &h0, 8);
  out[8] = '-';
  std::memcpy(out + 9, b1, 4);
  out[13] = '-';
  std::memcpy(out + 14, b1 + 4, 4);
  out[18] = '-';
  std::memcpy(out + 19, b2, 4);
  out[23] = '-';
  std::memcpy(out + 24, b2 + 4, 4);
  std::memcpy(out + 28, &h3, 8);
}

std::optional<UUID> internal::parseText(const std::uint8_t* p) noexcept {
  if ((p[8] != '-') | (p[13] != '-') | (p[18] != '-') | (p[23] != '-')) return std::nullopt;
  int bad = 0;
  std::uint64_t hi = digits(0, p, 8, bad);
  hi = digits(hi, p + 9, 4, bad);
  hi = digits(hi, p + 14, 4, bad);
  std::uint64_t lo = digits(0, p + 19, 4, bad);
  lo = digits(lo, p + 24, 12, bad);
  if (bad < 0) return std::nullopt;
  return UUID(hi, lo);
}

std::string toString(UUID u) {
  std::string s(36, '\0');
  internal::writeText(u, reinterpret_cast<std::uint8_t*>(s.data()));
  return s;
}

hs::ByteString toASCIIBytes(UUID u) {
  return hs::ByteString::create(36, [u](std::uint8_t* out) { internal::writeText(u, out); });
}

hs::Text toText(UUID u) { return hs::decodeLatin1(toASCIIBytes(u)); }

std::optional<UUID> fromString(std::string_view s) noexcept {
  if (s.size() != 36) return std::nullopt;
  return internal::parseText(reinterpret_cast<const std::uint8_t*>(s.data()));
}

std::optional<UUID> fromASCIIBytes(const hs::ByteString& b) noexcept {
  if (b.size() != 36) return std::nullopt;
  return internal::parseText(b.data());
}

// The text's UTF-8 bytes are parsed where they are: a character beyond ASCII makes them longer
// than 36 or puts a byte of 0x80 and above among them, and either is rejected.
std::optional<UUID> fromText(const hs::Text& t) noexcept { return fromString(t.utf8()); }

const hs::data::DataType& uuidType() {
  static const hs::data::DataType dt = hs::data::mkNoRepType("Data.Quendle.UUID");
  return dt;
}

hs::data::Constr internal::uuidConstr(UUID u) {
  return hs::data::mkConstr(uuidType(), hs::Lazy<std::string>::defer([u] { return toString(u); }),
                            hs::Lazy<std::vector<std::string>>(std::vector<std::string>{}),
                            hs::Lazy<hs::data::Fixity>::defer([]() -> hs::data::Fixity { fixityError(); }));
}

void internal::gunfoldError() { hs::error("gunfold", internalSite(571, 20, 25)); }

}  // namespace quendle

namespace hs {

void Show<quendle::UUID>::showsPrec(int, quendle::UUID u, std::string& out) {
  const std::size_t at = out.size();
  out.resize(at + 36);
  quendle::internal::writeText(u, reinterpret_cast<std::uint8_t*>(out.data() + at));
}

ReadPrec<quendle::UUID> Read<quendle::UUID>::readPrec() {
  return ReadPrec<quendle::UUID>([](int, std::string_view s) {
    ReadResult<quendle::UUID> out;
    s = skipSpaces(s);
    // The next 36 characters: when they are all ASCII they are the next 36 bytes, and when one
    // is not, the bytes hold a byte the parser rejects.
    if (s.size() < 36) return out;
    if (const auto u = quendle::internal::parseText(reinterpret_cast<const std::uint8_t*>(s.data())))
      out.emplace_back(*u, s.substr(36));
    return out;
  });
}

}  // namespace hs
