// Char values, and Strings of them, through the text form and the serialised form, at the
// boundaries of the UTF-8 layout and of the surrogates.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "hs/binary.hpp"
#include "hs/data.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "testing/binary.hpp"
#include "testing/errors.hpp"

namespace {

using testing_support::Bytes;
using testing_support::encoded;
using testing_support::programError;

// A string literal that writes every character as a decimal escape.
std::string literal(const std::u32string& cs) {
  std::string out = "\"";
  for (char32_t c : cs) out += "\\" + std::to_string(static_cast<std::uint32_t>(c)) + "\\&";
  return out + "\"";
}
// The serialised form of a String of these characters: their count, then each character.
Bytes serialised(const std::u32string& cs) {
  Bytes out = encoded(static_cast<std::int64_t>(cs.size()));
  for (char32_t c : cs) {
    const Bytes b = encoded(c);
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}
// A String of these characters built through its generic view, one (:) at a time from the last.
std::string unfolded(const std::u32string& cs) {
  const hs::data::Constr cons = hs::data::indexConstr(hs::dataTypeOf<std::string>(), 2);
  std::string s;
  for (auto c = cs.rbegin(); c != cs.rend(); ++c) {
    auto z = [](auto g) { return g; };
    auto k = [&](auto f, auto field) {
      if constexpr (std::is_same_v<typename decltype(field)::type, char32_t>)
        return f(*c);
      else
        return f(s);
    };
    s = hs::gunfold<std::string>(k, z, cons);
  }
  return s;
}
template <class T>
hs::Either<hs::binary::Failed, hs::binary::Decoded<T>> decodeBytes(const Bytes& b) {
  return hs::binary::decodeOrFail<T>(hs::LazyByteString(hs::ByteString(b.data(), b.size())));
}

constexpr char32_t boundaries[] = {0,      0x7F,   0x80,   0x7FF,  0x800,  0xD7FF,  0xD800,
                                   0xDBFF, 0xDC00, 0xDC7F, 0xDC80, 0xDCFF, 0xDD00,  0xDFFF,
                                   0xE000, 0xFFFD, 0xFFFF, 0x10000, 0x10FFFF};

TEST(Char, EveryCodePointSurvivesTheTextAndTheSerialisedForm) {
  for (char32_t c : boundaries) {
    SCOPED_TRACE(static_cast<std::uint32_t>(c));
    EXPECT_EQ(hs::read<char32_t>(hs::show(c)), c);
    EXPECT_EQ(hs::binary::decode<char32_t>(hs::binary::encode(c)), c);
    // In a String alone, twice, among other characters, and between the halves of a pair.
    for (const std::u32string& cs : {std::u32string{c}, std::u32string{c, c}, std::u32string{'x', c, 0xE9},
                                     std::u32string{0xD83D, c, 0xDE00}}) {
      const std::string s = hs::read<std::string>(literal(cs));
      EXPECT_EQ(hs::decodeUtf8(s), cs);
      EXPECT_EQ(hs::show(s), hs::show(std::vector<char32_t>(cs.begin(), cs.end())));
      EXPECT_EQ(hs::read<std::string>(hs::show(s)), s);
      EXPECT_EQ(encoded(s), serialised(cs));
      const auto back = decodeBytes<std::string>(serialised(cs));
      ASSERT_TRUE(back.isRight());
      EXPECT_EQ(back.right().value, s);
    }
  }
}

TEST(Char, EveryByteStringSurvivesAsTheCharactersItHolds) {
  // A surrogate in the three-byte layout is one character, except U+DC80..U+DCFF: those stand
  // for single bytes, so their layout is three bytes that start no character.
  const std::pair<std::string, std::u32string> cases[] = {
      {"\xed\xa0\x80", {0xD800}},
      {"\xed\xb0\x80\xed\xbf\xbf", {0xDC00, 0xDFFF}},
      {"\xed\xa0\xbd\xed\xb8\x80", {0xD83D, 0xDE00}},
      {"\xed\xb2\x80", {0xDCED, 0xDCB2, 0xDC80}},
      {"\xed\xa0", {0xDCED, 0xDCA0}},
      {"\xc0\xaf\xff", {0xDCC0, 0xDCAF, 0xDCFF}},
      {"\xf4\x90\x80\x80", {0xDCF4, 0xDC90, 0xDC80, 0xDC80}},
      {"a\xc3\xa9\xe2\x82", {'a', 0xE9, 0xDCE2, 0xDC82}},
  };
  for (const auto& [s, cs] : cases) {
    SCOPED_TRACE(hs::show(s));
    EXPECT_EQ(hs::decodeUtf8(s), cs);
    EXPECT_EQ(hs::encodeUtf8(cs), s);
    EXPECT_EQ(unfolded(cs), s);
    EXPECT_EQ(hs::read<std::string>(hs::show(s)), s);
    EXPECT_EQ(hs::read<std::string>(literal(cs)), s);
    EXPECT_EQ(encoded(s), serialised(cs));
    EXPECT_EQ(hs::binary::decode<std::string>(hs::binary::encode(s)), s);
  }
  EXPECT_EQ(hs::show(std::string("\xed\xa0\x80")), "\"\\55296\"");
}

TEST(Char, StringsAStdStringCannotHoldAreRefused) {
  // Characters U+DC80..U+DCFF are bytes in a std::string; where their bytes spell a character the
  // String would come back as that character, so it reads as no parse, fails to decode, and is a
  // program error to encode or to build through the generic view.
  struct Case {
    std::u32string cs;
    std::size_t joins;  // the character whose byte completes another
  };
  const Case cases[] = {
      {{0xDCC3, 0xDCA9}, 1},                        // é
      {{'a', 0xDCE2, 0xDC82, 0xDCAC, 'b'}, 3},      // €
      {{0xDCED, 0xDCA0, 0xDC80}, 2},                // U+D800 in three bytes
      {{0xDCF0, 0xDC9F, 0xDC98, 0xDC80}, 3},        // U+1F600
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(literal(k.cs));
    EXPECT_EQ(hs::readMaybe<std::string>(literal(k.cs)), std::nullopt);
    std::string asList = "[";
    for (char32_t c : k.cs) asList += hs::show(c) + ",";
    asList.back() = ']';
    EXPECT_EQ(hs::readMaybe<std::string>(asList), std::nullopt);
    // The code points themselves read as they are.
    EXPECT_EQ(hs::read<std::vector<char32_t>>(literal(k.cs)), std::vector<char32_t>(k.cs.begin(), k.cs.end()));
    const auto r = decodeBytes<std::string>(serialised(k.cs));
    ASSERT_TRUE(r.isLeft());
    EXPECT_EQ(r.left().message, "characters U+DC80..U+DCFF that join into another character");
    EXPECT_EQ(r.left().offset,
              static_cast<std::int64_t>(serialised(k.cs.substr(0, k.joins + 1)).size()));
    EXPECT_EQ(programError([&] { (void)hs::encodeUtf8(k.cs); }),
              "hs::encodeUtf8: characters U+DC80..U+DCFF that join into another character");
    EXPECT_EQ(programError([&] { (void)unfolded(k.cs); }),
              "Data.Data: characters U+DC80..U+DCFF that join into another character");
  }
  // A generic map that changes a character builds through the same constructor.
  auto toLead = [](const auto& d) {
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(d)>, char32_t>)
      return char32_t{0xDCC3};
    else
      return d;
  };
  EXPECT_EQ(programError([&] { (void)hs::gmapT(toLead, std::string("x\xa9")); }),
            "Data.Data: characters U+DC80..U+DCFF that join into another character");
  EXPECT_EQ(hs::gmapT(toLead, std::string("xa")), "\xc3" "a");
  // Bytes that do not complete a character are kept.
  const std::u32string apart = {0xDCC3, 'a', 0xDCA9};
  EXPECT_EQ(hs::read<std::string>(literal(apart)), "\xc3" "a\xa9");
  EXPECT_EQ(hs::encodeUtf8(apart), "\xc3" "a\xa9");
  EXPECT_EQ(unfolded(apart), "\xc3" "a\xa9");
}

TEST(Char, CodePointsAboveTheRangeAreRefused) {
  for (const char* text : {"'\\1114112'", "'\\x110000'", "'\\o4200000'", "'\\4294967296'"})
    EXPECT_EQ(hs::readMaybe<char32_t>(text), std::nullopt) << text;
  EXPECT_EQ(hs::readMaybe<std::string>("\"\\1114112\""), std::nullopt);
  for (const Bytes& b : {Bytes{0xF4, 0x90, 0x80, 0x80}, Bytes{0xF7, 0xBF, 0xBF, 0xBF}}) {
    const auto c = decodeBytes<char32_t>(b);
    ASSERT_TRUE(c.isLeft());
    EXPECT_EQ(c.left().message, "Not a valid Unicode code point!");
    Bytes inString = encoded(std::int64_t{1});
    inString.insert(inString.end(), b.begin(), b.end());
    const auto s = decodeBytes<std::string>(inString);
    ASSERT_TRUE(s.isLeft());
    EXPECT_EQ(s.left().message, "Not a valid Unicode code point!");
    EXPECT_EQ(s.left().offset, 12);
  }
  EXPECT_THROW((void)hs::binary::encode(char32_t{0x110000}), hs::ProgramError);
}

}  // namespace
