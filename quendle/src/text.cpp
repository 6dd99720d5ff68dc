#include "quendle/internal/text.hpp"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// n digits at p appended to acc; a byte that is no digit sets the sign of bad. (The portable
// path, for hosts the word-at-a-time one does not serve.)
[[maybe_unused]] inline std::uint64_t digits(std::uint64_t acc, const std::uint8_t* p, int n, int& bad) noexcept {
  for (int i = 0; i < n; ++i) {
    const int d = hexValues[p[i]];
    bad |= d;
    acc = (acc << 4) | static_cast<std::uint64_t>(d & 0xF);
  }
  return acc;
}

// Eight bytes (the first in the lowest byte, as a little-endian load gives them): the value of
// their eight hexadecimal digits, the first most significant. A byte that is no digit sets bits
// of bad.
inline std::uint64_t load64(const std::uint8_t* p) noexcept {
  std::uint64_t x;
  std::memcpy(&x, p, 8);
  return x;
}
inline std::uint32_t load32(const std::uint8_t* p) noexcept {
  std::uint32_t x;
  std::memcpy(&x, p, 4);
  return x;
}
constexpr std::uint64_t ones = 0x0101010101010101ULL;
constexpr std::uint64_t highs = 0x8080808080808080ULL;
// The top bit of each byte that lies in [lo, hi]; valid for bytes below 0x80 (a byte from 0x80
// up is rejected on its own, whatever its carries do to its neighbours).
constexpr std::uint64_t inRange(std::uint64_t x, std::uint64_t lo, std::uint64_t hi) noexcept {
  return (x + (0x80 - lo) * ones) & ~(x + (0x7F - hi) * ones) & highs;
}
inline std::uint32_t digits8(std::uint64_t x, std::uint64_t& bad) noexcept {
  // Setting bit 5 takes 'A'-'F' to 'a'-'f' and nothing else there; digits already have it.
  const std::uint64_t lower = x | 0x2020202020202020ULL;
  const std::uint64_t ok = inRange(x, 0x30, 0x39) | inRange(lower, 0x61, 0x66);
  bad |= (~ok & highs) | (x & highs);
  // '0'-'9' are worth their low nibble, 'a'-'f' their low nibble plus 9 (bit 6 marks them).
  std::uint64_t v = (lower & 0x0F0F0F0F0F0F0F0FULL) + ((lower >> 6) & ones) * 9;
  v = ((v << 4) | (v >> 8)) & 0x00FF00FF00FF00FFULL;
  v = ((v << 8) | (v >> 16)) & 0x0000FFFF0000FFFFULL;
  return static_cast<std::uint32_t>((v << 16) | (v >> 32));
}

// The eight lower-case digits of w, most significant first, as they lie in memory.
[[maybe_unused]] inline std::uint64_t hex8(std::uint32_t w) noexcept {
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
#if defined(__SSE2__)
  if constexpr (std::endian::native == std::endian::little) {
    // All 32 digits at once: the high and low nibble of each byte side by side, then turned into
    // characters ('a' - '0' - 10 more for the nibbles from 10 up).
    const __m128i bytes = _mm_set_epi64x(static_cast<long long>(__builtin_bswap64(u.loWord())),
                                         static_cast<long long>(__builtin_bswap64(u.hiWord())));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble);
    const __m128i low = _mm_and_si128(bytes, nibble);
    const auto chars = [](__m128i n) {
      const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(n, _mm_set1_epi8(9)), _mm_set1_epi8(0x27));
      return _mm_add_epi8(_mm_add_epi8(n, _mm_set1_epi8('0')), letters);
    };
    const __m128i first = chars(_mm_unpacklo_epi8(high, low));   // digits 0-15
    const __m128i second = chars(_mm_unpackhi_epi8(high, low));  // digits 16-31
    const auto q0 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(first));
    const auto q1 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(first, first)));
    const auto q2 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(second));
    const auto q3 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(second, second)));
    const auto lo32 = [](std::uint64_t q) { return static_cast<std::uint32_t>(q); };
    const auto hi32 = [](std::uint64_t q) { return static_cast<std::uint32_t>(q >> 32); };
    std::memcpy(out, &q0, 8);
    const std::uint32_t parts[] = {lo32(q1), hi32(q1), lo32(q2), hi32(q2)};
    std::memcpy(out + 9, &parts[0], 4);
    std::memcpy(out + 14, &parts[1], 4);
    std::memcpy(out + 19, &parts[2], 4);
    std::memcpy(out + 24, &parts[3], 4);
    std::memcpy(out + 28, &q3, 8);
    out[8] = out[13] = out[18] = out[23] = '-';
    return;
  }
#endif
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
  if constexpr (std::endian::native == std::endian::little) {
    // Eight digits at a time; the two groups of four in each 64-bit word are joined first.
    std::uint64_t bad = 0;
    const std::uint32_t w0 = digits8(load64(p), bad);
    const std::uint32_t w1 = digits8(load32(p + 9) | (std::uint64_t{load32(p + 14)} << 32), bad);
    const std::uint32_t w2 = digits8(load32(p + 19) | (std::uint64_t{load32(p + 24)} << 32), bad);
    const std::uint32_t w3 = digits8(load64(p + 28), bad);
    if (bad != 0) return std::nullopt;
    return fromWords(w0, w1, w2, w3);
  } else {
    int bad = 0;
    std::uint64_t hi = digits(0, p, 8, bad);
    hi = digits(hi, p + 9, 4, bad);
    hi = digits(hi, p + 14, 4, bad);
    std::uint64_t lo = digits(0, p + 19, 4, bad);
    lo = digits(lo, p + 24, 12, bad);
    if (bad < 0) return std::nullopt;
    return UUID(hi, lo);
  }
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

hs::LazyByteString toLazyASCIIBytes(UUID u) { return hs::LazyByteString(toASCIIBytes(u)); }

std::optional<UUID> fromLazyASCIIBytes(const hs::LazyByteString& l) {
  if (l.compareLength(36) != hs::EQ) return std::nullopt;
  const hs::List<hs::ByteString>& chunks = l.toChunks();
  if (chunks.head().size() == 36) return internal::parseText(chunks.head().data());
  std::uint8_t joined[36];
  std::size_t at = 0;
  for (const hs::ByteString& c : chunks) {
    std::memcpy(joined + at, c.data(), c.size());
    at += c.size();
  }
  return internal::parseText(joined);
}

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
