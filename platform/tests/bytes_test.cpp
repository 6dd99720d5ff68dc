#include "hs/bytes.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "hs/storable.hpp"
#include "hs/text.hpp"

namespace {

TEST(ByteString, LongSlicesShareTheBufferShortOnesAreInline) {
  const std::string text = std::string(50, 'x') + "hello, world";
  const hs::ByteString s(text);
  const hs::ByteString tail = s.drop(5);
  EXPECT_EQ(tail.chars(), text.substr(5));
  EXPECT_TRUE(tail.sharesBufferWith(s));
  const hs::ByteString mid = s.slice(57, 5);
  EXPECT_EQ(mid.chars(), "world");
  EXPECT_FALSE(mid.sharesBufferWith(s));  // short: held inline
  EXPECT_EQ(s.slice(60, 99).chars(), "ld");
  EXPECT_TRUE(s.drop(99).empty());
  EXPECT_TRUE(s.take(0).empty());
  EXPECT_EQ(s.take(41).size(), 41u);
  // A slice outlives the original; moved and swapped strings keep their bytes.
  hs::ByteString kept, small(std::string_view("tiny"));
  {
    const hs::ByteString tmp(text);
    kept = tmp.drop(4);
  }
  EXPECT_EQ(kept.chars(), text.substr(4));
  kept.swap(small);
  EXPECT_EQ(kept.chars(), "tiny");
  EXPECT_EQ(small.chars(), text.substr(4));
  hs::ByteString moved(std::move(small));
  EXPECT_EQ(moved.chars(), text.substr(4));
  EXPECT_TRUE(small.empty());  // NOLINT: a moved-from long string is empty
  const hs::ByteString& alias = moved;
  moved = alias;  // assigning a string to itself keeps it
  EXPECT_EQ(moved.chars(), text.substr(4));
  moved = kept;
  EXPECT_EQ(moved.chars(), "tiny");
}

TEST(ByteString, OrderIsUnsignedLexicographic) {
  const hs::ByteString a{0x01, 0xFF}, b{0x01, 0xFF, 0x00}, c{0x80}, e;
  EXPECT_LT(a, b);  // a proper prefix is smaller
  EXPECT_LT(b, c);  // 0x80 above 0x01: bytes compare unsigned
  EXPECT_LT(e, a);
  EXPECT_EQ(a, b.take(2));
  EXPECT_NE(a, b);
  EXPECT_EQ(e, hs::ByteString());
  EXPECT_EQ(hs::hash(a), hs::hash(b.take(2)));
}

TEST(ByteString, ConcatSharesASingleNonEmptyPart) {
  const std::string longText(45, 'c');
  const hs::ByteString a(std::string_view("ab")), b(longText), none;
  const std::vector<hs::ByteString> parts{none, a, none, b};
  EXPECT_EQ(hs::concat(parts).chars(), "ab" + longText);
  const std::vector<hs::ByteString> one{none, b, none};
  EXPECT_TRUE(hs::concat(one).sharesBufferWith(b));
  EXPECT_TRUE(hs::concat(std::vector<hs::ByteString>{}).empty());
}

TEST(ByteString, CreateFreesTheBufferWhenFillThrows) {
  for (std::size_t n : {10u, 100u})
    EXPECT_THROW((void)hs::ByteString::create(n, [](std::uint8_t*) { throw std::runtime_error("x"); }),
                 std::runtime_error);
  const auto s = hs::ByteString::create(3, [](std::uint8_t* p) { p[0] = 'a', p[1] = 'b', p[2] = 'c'; });
  EXPECT_EQ(s.chars(), "abc");
}

TEST(ByteString, ShowsAsLatin1StringLiteral) {
  EXPECT_EQ(hs::show(hs::ByteString{'a', '"', 0x0A, 0xE9, 0x00}), "\"a\\\"\\n\\233\\NUL\"");
  EXPECT_EQ(hs::show(hs::ByteString()), "\"\"");
}

TEST(Text, HoldsWellFormedUtf8) {
  const hs::Text t("h\xC3\xA9llo \xE2\x82\xAC");
  EXPECT_EQ(t.length(), 7u);
  const hs::Text long_(std::string(60, 'a'));
  EXPECT_EQ(t.utf8(), "h\xC3\xA9llo \xE2\x82\xAC");
  EXPECT_TRUE(hs::encodeUtf8(long_).sharesBufferWith(long_.utf8Bytes()));
  // An ill-formed byte and an encoded surrogate each become U+FFFD.
  EXPECT_EQ(hs::Text("a\xFF" "b").utf8(), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(hs::Text("\xED\xA0\x80").utf8(), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(hs::show(t), "\"h\\233llo \\8364\"");
  EXPECT_TRUE(hs::Text().empty());
  EXPECT_LT(hs::Text("a"), hs::Text("\xC3\xA9"));
}

TEST(Text, DecodeLatin1SharesAsciiAndEncodesTheRest) {
  const std::string plain(64, 'p');
  const hs::ByteString ascii(plain);
  const hs::Text t = hs::decodeLatin1(ascii);
  EXPECT_EQ(t.utf8(), plain);
  EXPECT_TRUE(t.utf8Bytes().sharesBufferWith(ascii));
  const hs::Text u = hs::decodeLatin1(hs::ByteString{'x', 0xE9, 0xFF});
  EXPECT_EQ(u.utf8(), "x\xC3\xA9\xC3\xBF");
  EXPECT_EQ(u.length(), 3u);
}

TEST(Storable, MachineWordsInHostOrder) {
  alignas(8) std::array<std::uint8_t, 16> mem{};
  hs::pokeElemOff<std::uint32_t>(mem.data(), 1, 0x11223344u);
  EXPECT_EQ(hs::peekByteOff<std::uint32_t>(mem.data(), 4), 0x11223344u);
  std::uint32_t raw;
  std::memcpy(&raw, mem.data() + 4, 4);
  EXPECT_EQ(raw, 0x11223344u);
  hs::poke<std::int16_t>(mem.data() + 10, -2);
  EXPECT_EQ(hs::peek<std::int16_t>(mem.data() + 10), -2);
  EXPECT_EQ(hs::sizeOf<std::uint64_t>(), 8u);
  EXPECT_EQ(hs::alignment(std::uint16_t{}), 2u);
}

}  // namespace

namespace {

std::vector<std::size_t> chunkSizes(const hs::LazyByteString& s) {
  std::vector<std::size_t> out;
  for (const hs::ByteString& c : s.toChunks()) out.push_back(c.size());
  return out;
}

TEST(LazyByteString, PackFillsGrowingChunks) {
  std::vector<std::uint8_t> bytes(200);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  const auto s = hs::LazyByteString::pack(bytes);
  EXPECT_EQ(chunkSizes(s), (std::vector<std::size_t>{32, 64, 104}));
  EXPECT_EQ(s.unpack(), bytes);
  EXPECT_EQ(s.length(), 200);
  EXPECT_EQ(s.toStrict().unpack(), bytes);
  EXPECT_EQ(chunkSizes(hs::LazyByteString::pack({1, 2, 3})), (std::vector<std::size_t>{3}));
  EXPECT_TRUE(hs::LazyByteString::pack({}).null());
  EXPECT_EQ(hs::show(hs::LazyByteString::pack({'a', 0xFF})), "\"a\\255\"");
}

TEST(LazyByteString, ChunksAreSkippedWhenEmptyAndComparedByBytes) {
  const hs::ByteString ab(std::string_view("ab")), c(std::string_view("c")), none;
  const auto s = hs::LazyByteString::fromChunks(hs::List<hs::ByteString>{none, ab, none, c, none});
  EXPECT_EQ(chunkSizes(s), (std::vector<std::size_t>{2, 1}));
  EXPECT_EQ(s, hs::LazyByteString(hs::ByteString(std::string_view("abc"))));
  EXPECT_FALSE(s == hs::LazyByteString(ab));
  EXPECT_TRUE(hs::LazyByteString(none).null());
  EXPECT_TRUE(hs::LazyByteString::chunk(none, s) == s);
  EXPECT_EQ(hs::LazyByteString::chunk(c, s).toStrict().chars(), "cabc");
  std::string walked;
  for (std::uint8_t b : s) walked.push_back(static_cast<char>(b));
  EXPECT_EQ(walked, "abc");
}

TEST(LazyByteString, LengthComparisonStopsOnceTheCountIsExceeded) {
  // An endless string of 5-byte chunks that counts the chunks it produces.
  auto produced = std::make_shared<int>(0);
  const auto endless = hs::LazyByteString::fromChunks(hs::unfoldr(
      [produced](int i) -> std::optional<std::pair<hs::ByteString, int>> {
        ++*produced;
        return std::make_pair(hs::ByteString(std::string_view("12345")), i + 1);
      },
      0));
  EXPECT_EQ(endless.compareLength(36), hs::GT);
  EXPECT_EQ(*produced, 8);
  EXPECT_EQ(endless.compareLength(-1), hs::GT);
  const auto ten = hs::LazyByteString::pack(std::vector<std::uint8_t>(10, 7));
  EXPECT_EQ(ten.compareLength(10), hs::EQ);
  EXPECT_EQ(ten.compareLength(11), hs::LT);
  EXPECT_EQ(ten.compareLength(9), hs::GT);
}

}  // namespace
