#include "hs/show.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "hs/either.hpp"
#include "hs/read.hpp"

namespace {

template <class T>
std::string at(int d, const T& x) {
  std::string out;
  hs::showsPrec(d, x, out);
  return out;
}

struct Case {
  std::string got, want;
};

void check(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Show, Integers) {
  using std::int64_t;
  check({
      {at(0, int64_t{0}), "0"},
      {at(0, int64_t{-5}), "-5"},
      {at(6, int64_t{-5}), "-5"},
      {at(7, int64_t{-5}), "(-5)"},
      {at(11, int64_t{-5}), "(-5)"},
      {at(11, int64_t{5}), "5"},
      {at(11, std::numeric_limits<int64_t>::min()), "(-9223372036854775808)"},
      {at(0, std::numeric_limits<int64_t>::max()), "9223372036854775807"},
      {at(11, std::numeric_limits<std::uint64_t>::max()), "18446744073709551615"},
      {at(11, std::int8_t{-128}), "(-128)"},
      {at(0, std::uint8_t{255}), "255"},
      {at(7, -3), "(-3)"},
      {at(7, std::uint16_t{65535}), "65535"},
  });
}

TEST(Show, Doubles) {
  const double inf = std::numeric_limits<double>::infinity();
  check({
      {at(0, 0.0), "0.0"},
      {at(0, -0.0), "-0.0"},
      {at(7, -0.0), "(-0.0)"},
      {at(0, 1.0), "1.0"},
      {at(0, 0.1), "0.1"},
      {at(0, 0.01), "1.0e-2"},
      {at(0, 1.0e7), "1.0e7"},
      {at(0, 1234567.0), "1234567.0"},
      {at(0, 12345678.9), "1.23456789e7"},
      {at(0, 123456.7), "123456.7"},
      {at(0, 100.0), "100.0"},
      {at(0, 1.5e-3), "1.5e-3"},
      {at(0, 1.0 / 3.0), "0.3333333333333333"},
      {at(0, 2.0 / 3.0), "0.6666666666666666"},
      {at(0, inf), "Infinity"},
      {at(0, -inf), "-Infinity"},
      {at(7, -inf), "(-Infinity)"},
      {at(11, std::numeric_limits<double>::quiet_NaN()), "NaN"},
      {at(11, -std::numeric_limits<double>::quiet_NaN()), "NaN"},
      {at(0, 5.0e-324), "5.0e-324"},
      {at(0, std::numeric_limits<double>::max()), "1.7976931348623157e308"},
      {at(0, std::numeric_limits<double>::min()), "2.2250738585072014e-308"},
      {at(6, -2.5), "-2.5"},
      {at(7, -2.5), "(-2.5)"},
      // The exclusive bounds: the double nearest 1e23 lies just below it by half an ulp, and
      // the base library does not accept the bound, so it needs all sixteen digits.
      {at(0, 1e23), "9.999999999999999e22"},
      // A tie in the last digit rounds up.
      {at(0, 1125899906842624.25), "1.1258999068426243e15"},
      // The power of two whose lower gap is half the upper one.
      {at(0, 9007199254740992.0), "9.007199254740992e15"},
      {at(0, 1.0f), "1.0"},
      {at(0, 0.1f), "0.1"},
      {at(0, 16777216.0f), "1.6777216e7"},
      {at(0, std::numeric_limits<float>::denorm_min()), "1.0e-45"},
      {at(0, std::numeric_limits<float>::max()), "3.4028235e38"},
      {at(7, -1.5f), "(-1.5)"},
  });
}

// Every finite double: the digits are the shortest that read back, and agree with the shortest
// round-trip digits of the standard library except at a bound or a tie, where ours can be one
// digit longer or one unit higher in the last digit.
TEST(Show, DoublesRoundTripWithShortestDigits) {
  std::mt19937_64 rng(20240611);
  int differing = 0;
  for (int i = 0; i < 5000; ++i) {
    const double x = std::bit_cast<double>(rng());
    if (!std::isfinite(x)) continue;
    const std::string text = hs::show(x);
    const auto back = hs::readMaybe<double>(text);
    ASSERT_TRUE(back.has_value()) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(*back), std::bit_cast<std::uint64_t>(x)) << text;

    char buf[64];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific);
    std::string sci(buf, r.ptr);
    std::string theirs;
    for (char c : sci.substr(0, sci.find('e')))
      if (c != '.') theirs.push_back(c);
    std::string ours;
    const std::string mag = x < 0 ? text.substr(1) : text;
    for (char c : mag.substr(0, mag.find('e')))
      if (c != '.') ours.push_back(c);
    ours.erase(0, std::min(ours.find_first_not_of('0'), ours.size()));
    while (ours.size() > 1 && ours.back() == '0') ours.pop_back();
    if (ours != theirs) {
      ++differing;
      EXPECT_LE(ours.size(), theirs.size() + 1) << text << " vs " << sci;
    }
  }
  EXPECT_LT(differing, 100);
}

TEST(Show, CharactersAndStrings) {
  check({
      {at(11, U'x'), "'x'"},
      {at(0, U'\''), "'\\''"},
      {at(0, U'"'), "'\"'"},
      {at(0, U'\n'), "'\\n'"},
      {at(0, U'\0'), "'\\NUL'"},
      {at(0, U'\x7f'), "'\\DEL'"},
      {at(0, U'\x0e'), "'\\SO'"},
      {at(0, U'\x1b'), "'\\ESC'"},
      {at(0, U'\u04d2'), "'\\1234'"},
      {at(0, '\xe9'), "'\\233'"},
      {at(0, std::string("a\"b\n\u04d25")), "\"a\\\"b\\n\\1234\\&5\""},
      {at(0, std::string("\x01")), "\"\\SOH\""},
      {at(0, std::string("\x0eH")), "\"\\SO\\&H\""},
      {at(0, std::string("\x0e"
                         "A")),
       "\"\\SOA\""},
      {at(0, std::string("\x01H")), "\"\\SOHH\""},
      {at(0, std::string("\0"
                         "5",
                         2)),
       "\"\\NUL5\""},
      {at(0, std::string("\u00e9\u00e9")), "\"\\233\\233\""},
      {at(0, std::string("'\\\t ")), "\"'\\\\\\t \""},
      {at(0, std::string("\x7f"
                         "1")),
       "\"\\DEL1\""},
      {at(0, std::string("\xff"
                         "1")),
       "\"\\56575\\&1\""},
      {at(0, std::string("\xf0\x9f\x98\x80")), "\"\\128512\""},
      {at(0, std::string()), "\"\""},
      {at(0, std::vector<char32_t>{U'a', U'\u0100', U'7'}), "\"a\\256\\&7\""},
      {at(0, std::vector<char>{'h', 'i'}), "\"hi\""},
      {at(0, std::vector<std::string>{"a", ""}), "[\"a\",\"\"]"},
  });
}

TEST(Show, Composites) {
  using std::int64_t;
  using E = hs::Either<int64_t, std::string>;
  check({
      {at(0, std::vector<int64_t>{1, 2, 3}), "[1,2,3]"},
      {at(11, std::vector<int64_t>{-1}), "[-1]"},
      {at(0, std::vector<int64_t>{}), "[]"},
      {at(11, std::pair<int64_t, std::string>{1, "a"}), "(1,\"a\")"},
      {at(0, std::vector<std::pair<int64_t, char32_t>>{{1, U'a'}}), "[(1,'a')]"},
      {at(0, std::tuple<int64_t, bool, hs::Unit>{-1, true, hs::unit}), "(-1,True,())"},
      {at(0, std::tuple<int, int, int, int, int, int, int>{1, 2, 3, 4, 5, 6, 7}),
       "(1,2,3,4,5,6,7)"},
      {at(0, std::optional<int64_t>{-5}), "Just (-5)"},
      {at(10, std::optional<int64_t>{5}), "Just 5"},
      {at(11, std::optional<int64_t>{5}), "(Just 5)"},
      {at(11, std::optional<int64_t>{}), "Nothing"},
      {at(0, std::optional<std::optional<int64_t>>{std::optional<int64_t>{}}), "Just Nothing"},
      {at(0, std::optional<std::optional<int64_t>>{4}), "Just (Just 4)"},
      {at(0, std::optional<std::vector<int64_t>>{{1}}), "Just [1]"},
      {at(0, E(hs::Left(-2))), "Left (-2)"},
      {at(11, E(hs::Right(std::string("x")))), "(Right \"x\")"},
      {at(0, hs::unit), "()"},
      {at(11, hs::LT), "LT"},
      {at(0, std::vector<hs::Ordering>{hs::EQ, hs::GT}), "[EQ,GT]"},
      {at(11, false), "False"},
      {at(11, hs::Lazy<int64_t>(-7)), "(-7)"},
      {at(0, hs::delay([] { return std::string("lazy"); })), "\"lazy\""},
  });
}

TEST(Show, Combinators) {
  std::string out = "x";
  hs::showParen(
      true, [](std::string& o) { hs::showString("ab", o); }, out);
  hs::showSpace(out);
  hs::showParen(
      false, [](std::string& o) { o += "c"; }, out);
  EXPECT_EQ(out, "x(ab) c");

  const std::vector<int> xs{1, 2};
  out.clear();
  hs::showListWith([](int x, std::string& o) { o += std::to_string(x * 10); }, xs, out);
  EXPECT_EQ(out, "[10,20]");

  const auto sp = [](int d, int x, std::string& o) {
    o += "<" + std::to_string(d) + ":" + std::to_string(x) + ">";
  };
  out.clear();
  hs::showsUnaryWith(sp, "Con", 11, 3, out);
  EXPECT_EQ(out, "(Con <11:3>)");
  out.clear();
  hs::showsUnaryWith(sp, "Con", 10, 3, out);
  EXPECT_EQ(out, "Con <11:3>");
}

TEST(Show, LiftedForms) {
  // The element writer sees the precedence it is handed; the list writer is used for lists.
  const auto sp = [](int d, int x, std::string& o) {
    o += "e" + std::to_string(d) + "_" + std::to_string(x);
  };
  const auto sl = [](const std::vector<int>& xs, std::string& o) {
    o += "list" + std::to_string(xs.size());
  };
  auto lifted = [&](int d, const auto& x) {
    std::string out;
    hs::liftShowsPrec(sp, sl, d, x, out);
    return out;
  };
  using E = hs::Either<std::string, int>;
  check({
      {lifted(11, std::optional<int>(4)), "(Just e11_4)"},
      {lifted(11, std::optional<int>()), "Nothing"},
      {lifted(11, std::vector<int>{1, 2}), "list2"},
      {lifted(0, E(hs::Left(std::string("s")))), "Left \"s\""},
      {lifted(11, E(hs::Right(5))), "(Right e11_5)"},
      {lifted(11, std::pair<std::string, int>{"k", 1}), "(\"k\",e0_1)"},
  });

  std::string out;
  hs::liftShowsPrec2(sp, sl, hs::ShowsPrec{}, hs::ShowList{}, 11,
                     hs::Either<int, bool>(hs::Left(1)), out);
  EXPECT_EQ(out, "(Left e11_1)");
  out.clear();
  hs::liftShowsPrec2(sp, sl, sp, sl, 5, std::pair<int, int>{1, 2}, out);
  EXPECT_EQ(out, "(e0_1,e0_2)");
  out.clear();
  hs::liftShowList(sp, sl, std::vector<std::optional<int>>{1, std::nullopt}, out);
  EXPECT_EQ(out, "[Just e11_1,Nothing]");
  out.clear();
  hs::liftShowList2(sp, sl, sp, sl, std::vector<std::pair<int, int>>{{1, 2}, {3, 4}}, out);
  EXPECT_EQ(out, "[(e0_1,e0_2),(e0_3,e0_4)]");

  // With the types' own writers the lifted text is the plain text.
  const std::optional<std::int64_t> m = -3;
  out.clear();
  hs::liftShowsPrec(hs::ShowsPrec{}, hs::ShowList{}, 11, m, out);
  EXPECT_EQ(out, at(11, m));
}

TEST(Show, Utf8DecodingKeepsEveryByte) {
  // Malformed sequences and overlong forms decode byte by byte into U+DC80..U+DCFF, an encoded
  // surrogate into that surrogate, and all encode back to the same bytes.
  const std::string samples[] = {"plain",    "\xc3\xa9",           "\xed\xa0\x80",
                                 "\xc0\xaf", "\xe2\x82",           "\xf4\x90\x80\x80",
                                 "\xff\xfe", std::string("\0x", 2)};
  for (const std::string& s : samples) EXPECT_EQ(hs::encodeUtf8(hs::decodeUtf8(s)), s);
  EXPECT_EQ(hs::decodeUtf8("\xc3\xa9"), std::u32string(U"\u00e9"));
  EXPECT_EQ(hs::decodeUtf8("\xe2\x82"), std::u32string(U"\xdce2\xdc82"));
  EXPECT_EQ(hs::encodeUtf8(U"\U0001F600"), "\xf0\x9f\x98\x80");
}

}  // namespace
