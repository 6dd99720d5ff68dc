#include "hs/read.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "hs/either.hpp"
#include "hs/show.hpp"
#include "testing/stacks.hpp"

namespace {

// A type whose reader finds every value twice, to make `read` ambiguous.
struct Twice {
  std::int64_t v;
  friend bool operator==(const Twice&, const Twice&) = default;
};

// As Twice, without ==: the list reader cannot tell its two parses apart.
struct TwiceUncompared {
  std::int64_t v;
};

// An integer whose reader counts how often it runs.
struct Counted {
  std::int64_t v;
  static inline std::int64_t runs = 0;
};

// A recursive type: its reader refers to the reader of a list of itself.
struct Tree {
  std::vector<Tree> kids;
  friend bool operator==(const Tree&, const Tree&) = default;
};

}  // namespace

template <>
struct hs::Read<Tree> {
  static ReadPrec<Tree> readPrec() {
    return readprec::readData(readprec::readUnaryWith(
        hs::readPrec<std::vector<Tree>>(), "Node", [](std::vector<Tree>&& k) { return Tree{std::move(k)}; }));
  }
};
template <>
struct hs::Show<Tree> {
  static void showsPrec(int d, const Tree& t, std::string& out) {
    showsUnaryWith(ShowsPrec{}, "Node", d, t.kids, out);
  }
};

template <>
struct hs::Read<Counted> {
  static ReadPrec<Counted> readPrec() {
    const auto number = hs::readPrec<std::int64_t>();
    return readprec::parens(ReadPrec<Counted>([number](int d, std::string_view s) {
      ++Counted::runs;
      ReadResult<Counted> out;
      for (auto& [v, rest] : number(d, s)) out.emplace_back(Counted{v}, rest);
      return out;
    }));
  }
};

template <>
struct hs::Read<Twice> {
  static ReadPrec<Twice> readPrec() {
    auto one =
        readprec::fmap([](std::int64_t v) { return Twice{v}; }, hs::readPrec<std::int64_t>());
    return readprec::alt(one, one);
  }
};

template <>
struct hs::Read<TwiceUncompared> {
  static ReadPrec<TwiceUncompared> readPrec() {
    auto one = readprec::fmap([](std::int64_t v) { return TwiceUncompared{v}; },
                              hs::readPrec<std::int64_t>());
    return readprec::alt(one, one);
  }
};

namespace {

using hs::ReadResult;
using std::int64_t;
using namespace std::string_literals;

template <class T>
using Parses = std::vector<std::pair<T, std::string>>;

// The parses with owned rests, for comparing against literal tables.
template <class T>
Parses<T> owned(const ReadResult<T>& r) {
  Parses<T> out;
  for (const auto& [x, rest] : r) out.emplace_back(x, std::string(rest));
  return out;
}
template <class T>
Parses<T> parse(int d, std::string_view s) {
  return owned(hs::readsPrec<T>(d, s));
}
template <class T>
Parses<T> run(const hs::ReadPrec<T>& p, int d, std::string_view s) {
  return owned(p(d, s));
}

TEST(Lex, OneWholeToken) {
  struct Case {
    std::string input;
    std::optional<std::pair<std::string, std::string>> want;
  };
  const Case cases[] = {
      {"  foo bar", {{"foo", " bar"}}},
      {"", {{"", ""}}},
      {" \t\n", {{"", ""}}},
      {"\xc2\xa0x", {{"x", ""}}},
      {"fromListX [1]", {{"fromListX", " [1]"}}},
      {"foo'_1 ", {{"foo'_1", " "}}},
      {"_x", {{"_x", ""}}},
      {"\xc3\xa9t\xc3\xa9!", {{"\xc3\xa9t\xc3\xa9", "!"}}},
      {"'a' x", {{"'a'", " x"}}},
      {"'\\'' x", {{"'\\''", " x"}}},
      {"\"a\\\"b\" c", {{"\"a\\\"b\"", " c"}}},
      {"123.45e-6x", {{"123.45e-6", "x"}}},
      {"1.x", {{"1", ".x"}}},
      {"1e+", {{"1", "e+"}}},
      {"1E+2", {{"1E+2", ""}}},
      {"0x1Fg", {{"0x1F", "g"}}},
      {"0xg", {{"0", "xg"}}},
      {"0o78", {{"0o7", "8"}}},
      {"->x", {{"->", "x"}}},
      {"+-*/ y", {{"+-*/", " y"}}},
      {"(((", {{"(", "(("}}},
      {",x", {{",", "x"}}},
      {"\"unterminated", std::nullopt},
      {"'ab'", std::nullopt},
      {"'''", std::nullopt},
      {"\"\\1114112\"", std::nullopt},
      {"\"\\q\"", std::nullopt},
      {"\"a\\ b\"", std::nullopt},
      {"\xe2\x86\x92", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto got = hs::lex(c.input);
    if (!c.want) {
      EXPECT_TRUE(got.empty()) << c.input;
      continue;
    }
    ASSERT_EQ(got.size(), 1u) << c.input;
    EXPECT_EQ(got[0].first, c.want->first) << c.input;
    EXPECT_EQ(got[0].second, c.want->second) << c.input;
  }
}

TEST(Lex, Lexemes) {
  using hs::Lexeme;
  auto lexeme = [](std::string_view s) {
    const auto r = hs::readprec::lexP()(0, s);
    EXPECT_EQ(r.size(), 1u) << s;
    return r.empty() ? Lexeme::Eof() : r[0].first;
  };
  EXPECT_EQ(lexeme(" Just"), Lexeme::Ident("Just"));
  EXPECT_EQ(lexeme("="), Lexeme::Punc("="));
  EXPECT_EQ(lexeme("=="), Lexeme::Symbol("=="));
  EXPECT_EQ(lexeme("-5"), Lexeme::Symbol("-"));
  EXPECT_EQ(lexeme("{"), Lexeme::Punc("{"));
  EXPECT_EQ(lexeme("  "), Lexeme::Eof());
  EXPECT_EQ(lexeme("'\\SOH'"), Lexeme::Char(1));
  EXPECT_EQ(lexeme("'\\^['"), Lexeme::Char(27));
  EXPECT_EQ(lexeme("'\"'"), Lexeme::Char('"'));
  EXPECT_EQ(lexeme("\"\\SOH\\SO\\&H\\^A\\x41\\o101\\65\\DEL\\SP\\   \\!\\1234\\&5\""),
            Lexeme::String(U"\x01\x0eH\x01"
                           U"AAA\x7f !\u04d2"
                           U"5"));
  EXPECT_EQ(lexeme("\"raw\nline\xc3\xa9\xff\""), Lexeme::String(U"raw\nline\u00e9\xdcff"));

  const Lexeme hex = lexeme("0X1Fa");
  EXPECT_EQ(hex.number.base, 16);
  EXPECT_EQ(hex.number.digits, "1fa");
  EXPECT_EQ(hs::numberToWord(hex.number), 0x1FAu);
  const Lexeme dec = lexeme("007.50e-3");
  EXPECT_EQ(dec.number.digits, "007");
  EXPECT_EQ(dec.number.fraction, "50");
  EXPECT_EQ(dec.number.exponent, -3);
  EXPECT_EQ(hs::numberToWord(dec.number), std::nullopt);
  EXPECT_EQ(hs::numberToDouble(dec.number), 0.0075);
}

TEST(Read, Integers) {
  using P = Parses<int64_t>;
  EXPECT_EQ(parse<int64_t>(0, "5"), (P{{5, ""}}));
  EXPECT_EQ(parse<int64_t>(0, "5 6"), (P{{5, " 6"}}));
  EXPECT_EQ(parse<int64_t>(6, "-5"), (P{{-5, ""}}));
  // The sign is accepted at any precedence, as the base library accepts it.
  EXPECT_EQ(parse<int64_t>(11, "-5"), (P{{-5, ""}}));
  EXPECT_EQ(parse<int64_t>(7, "(-5)"), (P{{-5, ""}}));
  EXPECT_EQ(parse<int64_t>(11, " ( ( 7 ) ) rest"), (P{{7, " rest"}}));
  EXPECT_EQ(parse<int64_t>(0, "- 5"), (P{{-5, ""}}));
  EXPECT_EQ(parse<int64_t>(0, "0x1F"), (P{{31, ""}}));
  EXPECT_EQ(parse<int64_t>(0, "0o17"), (P{{15, ""}}));
  EXPECT_EQ(parse<int64_t>(0, "-0x10"), (P{{-16, ""}}));
  for (const char* bad : {"(7", "7)", "5.0", "1e3", "--5", "-(5)", "abc", "", "'5'", "+5"})
    EXPECT_EQ(hs::readMaybe<int64_t>(bad), std::nullopt) << bad;

  // Values are taken modulo 2^bits.
  EXPECT_EQ(hs::read<std::uint64_t>("18446744073709551616"), 0u);
  EXPECT_EQ(hs::read<std::uint64_t>("-1"), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(hs::read<int64_t>("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(hs::read<int64_t>("9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(hs::read<std::uint8_t>("256"), 0u);
  EXPECT_EQ(hs::read<std::int8_t>("200"), -56);
  EXPECT_EQ(hs::read<int>("  42  "), 42);
}

TEST(Read, FloatingPoint) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* text;
    double want;
  };
  const Case cases[] = {
      {"1.5", 1.5},
      {"1", 1.0},
      {"(-2.5)", -2.5},
      {"1.0e-2", 0.01},
      {"1e23", 1e23},
      {"9.999999999999999e22", 1e23},
      {"Infinity", inf},
      {"-Infinity", -inf},
      {"1e500", inf},
      {"1e-500", 0.0},
      {"1e-99999999999999999999999", 0.0},
      {"0e99999999999999999999999", 0.0},
      {"5e-324", 5e-324},
      {"2.5e-324", 5e-324},
      {"2e-324", 0.0},
      {"0x10", 16.0},
      {"0o20", 16.0},
      {"1.7976931348623157e308", std::numeric_limits<double>::max()},
      {"1.7976931348623159e308", inf},
      {"0.000000000000000000000000000001234e30", 1.234},
      // Hexadecimal literals round once, to nearest with ties to even, also beyond 64 bits.
      {"0x20000000000001", 9007199254740992.0},
      {"0x20000000000003", 9007199254740996.0},
      {"0x2000000000000100000000000000000000", std::ldexp(9007199254740992.0, 80)},
      {"0x2000000000000100000000000000000001", std::ldexp(9007199254740994.0, 80)},
  };
  for (const Case& c : cases) {
    const auto got = hs::readMaybe<double>(c.text);
    ASSERT_TRUE(got.has_value()) << c.text;
    EXPECT_EQ(*got, c.want) << c.text;
  }
  EXPECT_TRUE(std::signbit(hs::read<double>("-0.0")));
  EXPECT_TRUE(std::signbit(hs::read<double>("-0")));
  EXPECT_TRUE(std::isnan(hs::read<double>("NaN")));
  EXPECT_TRUE(std::isnan(hs::read<double>("(-NaN)")));
  for (const char* bad : {".5", "5.", "1e", "nan", "inf", "0x", "1,5"})
    EXPECT_EQ(hs::readMaybe<double>(bad), std::nullopt) << bad;
  EXPECT_EQ(parse<double>(0, "5."), (Parses<double>{{5.0, "."}}));

  EXPECT_EQ(hs::read<float>("16777217"), 16777216.0f);
  EXPECT_EQ(hs::read<float>("3.4028235e38"), std::numeric_limits<float>::max());
  EXPECT_EQ(hs::read<float>("3.4028236e38"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(hs::read<float>("1e39"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(hs::read<float>("1.0e-45"), std::numeric_limits<float>::denorm_min());
  EXPECT_EQ(hs::read<float>("0.1"), 0.1f);
}

TEST(Read, CharactersAndStrings) {
  EXPECT_EQ(hs::read<char32_t>("'\\''"), U'\'');
  EXPECT_EQ(hs::read<char32_t>(" ( '\"' ) "), U'"');
  EXPECT_EQ(hs::read<char32_t>("'\\1114111'"), U'\U0010FFFF');
  EXPECT_EQ(hs::read<char32_t>("'\xc3\xa9'"), U'\u00e9');
  EXPECT_EQ(hs::readMaybe<char32_t>("'\\&'"), std::nullopt);
  EXPECT_EQ(hs::read<char>("'\\255'"), '\xff');
  EXPECT_EQ(hs::readMaybe<char>("'\\256'"), std::nullopt);

  EXPECT_EQ(hs::read<std::string>("\"a\\\"b\\n\\1234\\&5\""), "a\"b\n\u04d25");
  EXPECT_EQ(hs::read<std::string>("\"ab\\ \n  \\cd\""), "abcd");
  EXPECT_EQ(hs::read<std::string>("\"\\200\""), "\u00c8");
  EXPECT_EQ(hs::read<std::string>("\"\\56575\""), "\xff");
  EXPECT_EQ(hs::read<std::string>("(\"x\")"), "x");
  EXPECT_EQ(hs::read<std::string>("['a', 'b']"), "ab");
  EXPECT_EQ(hs::read<std::string>("[]"), "");
  EXPECT_EQ(hs::read<std::vector<char32_t>>("\"\\SO\\&H\""), (std::vector<char32_t>{0x0E, 'H'}));
  EXPECT_EQ(hs::read<std::vector<char>>("\"\\233\""), (std::vector<char>{'\xe9'}));
  EXPECT_EQ(hs::readMaybe<std::vector<char>>("\"\\256\""), std::nullopt);
  EXPECT_EQ(hs::read<std::vector<std::string>>("[\"a\" , \"\"]"),
            (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(hs::readMaybe<std::string>("\"a\" \"b\""), std::nullopt);
}

TEST(Read, Constructors) {
  using M = std::optional<int64_t>;
  EXPECT_EQ(parse<M>(0, "Just (-5)"), (Parses<M>{{-5, ""}}));
  EXPECT_EQ(parse<M>(0, "Just -5"), (Parses<M>{{-5, ""}}));
  EXPECT_EQ(parse<M>(10, "Just 5 x"), (Parses<M>{{5, " x"}}));
  EXPECT_EQ(parse<M>(11, "Just 5"), (Parses<M>{}));
  EXPECT_EQ(parse<M>(11, "((Just 5))"), (Parses<M>{{5, ""}}));
  EXPECT_EQ(parse<M>(11, "Nothing"), (Parses<M>{{std::nullopt, ""}}));
  EXPECT_EQ(parse<M>(0, "Justx 5"), (Parses<M>{}));
  EXPECT_EQ(hs::readMaybe<std::optional<M>>("Just Just 5"), std::nullopt);
  EXPECT_EQ(hs::read<std::optional<M>>("Just (Just 5)"), std::optional<M>(M(5)));
  EXPECT_EQ(hs::read<std::optional<M>>("Just Nothing"), std::optional<M>(M()));

  using E = hs::Either<int64_t, std::string>;
  EXPECT_EQ(hs::read<E>("Left 5"), E(hs::Left(5)));
  EXPECT_EQ(hs::read<E>(" ( Right \"x\" ) "), E(hs::Right("x"s)));
  EXPECT_EQ(hs::readsPrec<E>(11, "Left 5").size(), 0u);
  EXPECT_EQ(hs::readMaybe<E>("Right 5"), std::nullopt);

  EXPECT_EQ(hs::read<bool>("True"), true);
  EXPECT_EQ(parse<bool>(11, "(False) x"), (Parses<bool>{{false, " x"}}));
  for (const char* bad : {"true", "Truex", "(True", "TRUE"})
    EXPECT_EQ(hs::readMaybe<bool>(bad), std::nullopt) << bad;
  EXPECT_EQ(hs::read<hs::Ordering>("GT"), hs::GT);
  EXPECT_EQ(hs::read<hs::Unit>("( ( ) )"), hs::unit);
  EXPECT_EQ(hs::readMaybe<hs::Unit>("("), std::nullopt);
  EXPECT_EQ(*hs::read<hs::Lazy<int64_t>>("(-3)"), -3);
}

TEST(Read, TuplesAndLists) {
  using P = std::pair<int64_t, std::string>;
  EXPECT_EQ(parse<P>(11, "( 1 , \"a\" ) z"), (Parses<P>{{{1, "a"}, " z"}}));
  EXPECT_EQ(hs::read<P>("((1,\"a\"))"), (P{1, "a"}));
  EXPECT_EQ(hs::readMaybe<P>("(1,\"a\",2)"), std::nullopt);
  EXPECT_EQ(hs::readMaybe<P>("(1)"), std::nullopt);
  using T3 = std::tuple<int64_t, char32_t, bool>;
  EXPECT_EQ(hs::read<T3>("(-1,'x',False)"), (T3{-1, U'x', false}));

  using V = std::vector<int64_t>;
  EXPECT_EQ(parse<V>(11, " [ 1 , -2 ,3 ] ]"), (Parses<V>{{{1, -2, 3}, " ]"}}));
  EXPECT_EQ(hs::read<V>("[ ]"), V{});
  EXPECT_EQ(hs::read<V>("([1])"), V{1});
  EXPECT_EQ(hs::read<V>("[(1),((2))]"), (V{1, 2}));
  for (const char* bad : {"[1,]", "[,1]", "[1 2]", "[1", "1]", "[1;2]"})
    EXPECT_EQ(hs::readMaybe<V>(bad), std::nullopt) << bad;
  EXPECT_EQ(hs::read<std::vector<V>>("[[1],[]]"), (std::vector<V>{{1}, {}}));
  EXPECT_EQ(hs::read<std::vector<P>>("[(1,\"a\")]"), (std::vector<P>{{1, "a"}}));
}

// Writing a value at a precedence and reading it back there gives the value and the rest.
template <class T>
void roundTrip(const T& x) {
  for (int d : {0, 6, 7, 11}) {
    std::string text;
    hs::showsPrec(d, x, text);
    const std::string input = text + " rest";
    const auto got = hs::readsPrec<T>(d, input);
    ASSERT_EQ(got.size(), 1u) << text << " at " << d;
    EXPECT_TRUE(got[0].first == x) << text << " at " << d;
    EXPECT_EQ(got[0].second, " rest") << text;
  }
  EXPECT_TRUE(hs::read<T>("  " + hs::show(x) + "  ") == x) << hs::show(x);
}

TEST(Read, RoundTripsOfBaseInstances) {
  for (int64_t x : {int64_t{0}, int64_t{-5}, std::numeric_limits<int64_t>::min(),
                    std::numeric_limits<int64_t>::max()})
    roundTrip(x);
  roundTrip(std::numeric_limits<std::uint64_t>::max());
  roundTrip(std::int8_t{-128});
  roundTrip(std::uint16_t{65535});
  for (double x : {-2.5, 0.0, 1e23, -std::numeric_limits<double>::infinity(), 5e-324, 0.1, -1.0e-2,
                   12345678.9})
    roundTrip(x);
  roundTrip(-0.1f);
  for (char32_t c : {U'\'', U'"', U'\\', U'\x0e', U'\x7f', U'\u04d2', U'\U0010FFFF', U'\0'})
    roundTrip(c);
  roundTrip('\xff');
  for (const std::string& s : {"a\"b\n\u04d25"s, "\x0eH"s, "\xff\xfe raw"s, ""s, "\x01\x31"s,
                               "\x7f"
                               "1"s,
                               "tab\there"s})
    roundTrip(s);
  roundTrip(true);
  roundTrip(hs::unit);
  roundTrip(hs::LT);
  roundTrip(std::vector<int64_t>{-1, 2});
  roundTrip(std::vector<std::vector<int64_t>>{{}, {-3}});
  roundTrip(std::pair<int64_t, std::string>{-1, "x"});
  roundTrip(std::tuple<int, double, char32_t, std::string, bool, hs::Unit, hs::Ordering>{
      -1, -0.5, U'q', "s", false, hs::unit, hs::EQ});
  roundTrip(std::optional<std::optional<int64_t>>{std::optional<int64_t>{-4}});
  roundTrip(std::optional<std::optional<int64_t>>{std::optional<int64_t>{}});
  using E = hs::Either<int64_t, std::vector<std::string>>;
  roundTrip(E(hs::Left(-9)));
  roundTrip(E(hs::Right(std::vector<std::string>{"a", "b"})));
  roundTrip(std::vector<E>{E(hs::Left(1)), E(hs::Right(std::vector<std::string>{}))});
  roundTrip(std::optional<hs::Either<double, char32_t>>{hs::Left(-1.5)});
  roundTrip(std::vector<char32_t>{U'x', U'\u0100', U'9'});
}

TEST(Read, RecursiveType) {
  const Tree t{{Tree{}, Tree{{Tree{}}}}};
  EXPECT_EQ(hs::show(t), "Node [Node [],Node [Node []]]");
  roundTrip(t);
  EXPECT_EQ(hs::read<Tree>("(Node [ (Node []) ])"), (Tree{{Tree{}}}));
  EXPECT_EQ(hs::readMaybe<Tree>("Node [Node]"), std::nullopt);
}

TEST(Read, RoundTripsOfArbitraryBytes) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 300; ++i) {
    std::string s(rng() % 12, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    EXPECT_EQ(hs::read<std::string>(hs::show(s)), s) << hs::show(s);
  }
}

TEST(Read, WholeInputAndErrors) {
  EXPECT_EQ(hs::readMaybe<int64_t>(" 5 \n"), 5);
  EXPECT_EQ(hs::readMaybe<int64_t>("5 x"), std::nullopt);
  EXPECT_EQ(hs::readMaybe<Twice>("5"), std::nullopt);
  EXPECT_EQ(hs::reads<Twice>("5 x").size(), 2u);
  auto message = [](auto f) {
    try {
      f();
    } catch (const hs::ProgramError& e) {
      EXPECT_TRUE(e.callStack().entries().empty());
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([] { (void)hs::read<int64_t>("x"); }), "Prelude.read: no parse");
  EXPECT_EQ(message([] { (void)hs::read<int64_t>(""); }), "Prelude.read: no parse");
  EXPECT_EQ(message([] { (void)hs::read<Twice>("1"); }), "Prelude.read: ambiguous parse");
}

// Hostile input: ambiguous elements, deep nesting. Reading stays polynomial, near linear, and
// never exhausts the stack.
TEST(ReadHostile, AmbiguousElementsAreFollowedOnce) {
  // Each element reads twice (the same value and rest): the list is read once and its parse is
  // given twice, for `read` to answer "ambiguous", not once per combination.
  const std::string many = "[1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1]";
  EXPECT_EQ(hs::reads<std::vector<Twice>>(many).size(), 2u);
  EXPECT_EQ(hs::readMaybe<std::vector<Twice>>(many), std::nullopt);
  EXPECT_EQ(hs::reads<std::vector<Twice>>("[1]").size(), 2u);
  EXPECT_EQ(hs::reads<std::vector<std::vector<Twice>>>("[[1,1],[1]]").size(), 2u);

  // A bracketed list of characters reads as a String in two ways (whose are the brackets?).
  std::string strings = "[";
  for (int i = 0; i < 12; ++i) strings += i ? ",(['a'])" : "(['a'])";
  strings += "]";
  const auto parses = hs::reads<std::vector<std::string>>(strings);
  ASSERT_EQ(parses.size(), 2u);
  EXPECT_EQ(parses[0].first, std::vector<std::string>(12, "a"));
  EXPECT_EQ(hs::readMaybe<std::vector<std::string>>(strings), std::nullopt);
  // However many brackets: two parses, not one per way of sharing the brackets out.
  const std::string deep = std::string(300, '(') + "['a','b']" + std::string(300, ')') + " x";
  const auto deepParses = hs::reads<std::string>(deep);
  ASSERT_EQ(deepParses.size(), 2u);
  EXPECT_EQ(deepParses[0], deepParses[1]);
  EXPECT_EQ(deepParses[0].first, "ab");
  EXPECT_EQ(deepParses[0].second, " x");
  EXPECT_EQ(hs::reads<std::string>("(\"ab\")").size(), 1u);
  EXPECT_EQ(hs::read<std::vector<std::string>>("[\"a\",['b'],((\"c\"))]"),
            (std::vector<std::string>{"a", "b", "c"}));
}

// The list reader compares parses only where their type can be compared, looking through the
// standard pairs, vectors and optionals (whose == is declared for any element): around a type
// without ==, each parse is followed on its own, one list per combination.
TEST(ReadHostile, ElementsWithoutEqualityAreEachFollowed) {
  const auto pairs = hs::reads<std::vector<std::pair<int64_t, TwiceUncompared>>>("[(1,2),(3,4)]");
  ASSERT_EQ(pairs.size(), 4u);
  for (const auto& [xs, rest] : pairs) {
    ASSERT_EQ(xs.size(), 2u);
    EXPECT_EQ(xs[0].first, 1);
    EXPECT_EQ(xs[1].second.v, 4);
    EXPECT_TRUE(rest.empty());
  }
  EXPECT_EQ(hs::reads<std::vector<std::vector<TwiceUncompared>>>("[[1],[2]]").size(), 4u);
  EXPECT_EQ(hs::reads<std::vector<std::optional<TwiceUncompared>>>("[Just 1,Nothing]").size(), 2u);
}

TEST(ReadHostile, DeepBracketsReadAtAnyDepth) {
  auto nested = [](int n, const std::string& inner) {
    return std::string(static_cast<std::size_t>(n), '(') + inner +
           std::string(static_cast<std::size_t>(n), ')');
  };
  constexpr int deep = testing_support::fullDepth ? 100000 : 20000;
  EXPECT_EQ(hs::readMaybe<int64_t>(nested(deep, "5")), 5);
  EXPECT_EQ(hs::readMaybe<int64_t>(nested(deep, "5") + ")"), std::nullopt);
  EXPECT_EQ(hs::readMaybe<std::vector<int64_t>>(nested(deep, "[5]")), std::vector<int64_t>{5});
  EXPECT_EQ(hs::readMaybe<std::vector<int64_t>>(nested(deep, "[" + nested(deep, "5") + "]")),
            std::vector<int64_t>{5});
  EXPECT_EQ(hs::readMaybe<std::optional<int64_t>>(nested(deep, "Just " + nested(deep, "5"))),
            std::optional<int64_t>(5));
  using P = std::pair<int64_t, int64_t>;
  EXPECT_EQ(hs::readMaybe<P>(nested(deep, "1,2")), (P{1, 2}));
  // A recursive type of the caller's nests the readers once per level, on stack segments where
  // the stack runs short (its copies, comparisons and destructor recurse on their own).
  Tree t;
  for (int i = 0; i < 2000; ++i) {
    Tree up;
    up.kids.resize(1);
    up.kids.push_back(std::move(t));
    t = std::move(up);
  }
  EXPECT_EQ(hs::readMaybe<Tree>(hs::show(t)), t);

  // Hostile runs of opening brackets, for every kind of reader: no parse, quickly.
  const std::string open(testing_support::fullDepth ? 200000 : 50000, '(');
  EXPECT_EQ(hs::readMaybe<int64_t>(open + "1"), std::nullopt);
  EXPECT_EQ(hs::readMaybe<double>(open + "1.5"), std::nullopt);
  EXPECT_EQ(hs::readMaybe<std::string>(open + "\"a\""), std::nullopt);
  EXPECT_EQ(hs::readMaybe<std::string>(open + "['a']"), std::nullopt);
  EXPECT_EQ(hs::readMaybe<std::vector<int64_t>>(open + "[1]"), std::nullopt);
  EXPECT_EQ(hs::readMaybe<P>(open + "1,2"), std::nullopt);
  EXPECT_EQ(hs::readMaybe<std::optional<int64_t>>(open + "Just 1"), std::nullopt);
  EXPECT_EQ((hs::readMaybe<hs::Either<int64_t, bool>>(open + "Left 1")), std::nullopt);
  EXPECT_EQ(hs::readMaybe<hs::Unit>(open + "()"), std::nullopt);
  EXPECT_EQ(hs::readMaybe<std::vector<int64_t>>(std::string(200000, '[')), std::nullopt);
  std::string tree;
  for (int i = 0; i < (testing_support::fullDepth ? 100000 : 10000); ++i) tree += "Node [";
  EXPECT_EQ(hs::readMaybe<Tree>(tree), std::nullopt);
  const auto lifted = hs::liftReadPrec<std::optional<int64_t>>(hs::readPrec<int64_t>(),
                                                               hs::readListPrec<int64_t>());
  EXPECT_TRUE(lifted(0, open + "Just 1").empty());
}

// Brackets that may belong to any of several nested values are not tried anew for each way of
// sharing them out: the work grows with the brackets, not with their fourth power.
TEST(ReadHostile, BracketsSharedByNestedValuesCostLittle) {
  using Q = std::pair<std::pair<std::pair<Counted, Counted>, Counted>, Counted>;
  for (const int n : {60, 120}) {
    const std::string text = std::string(static_cast<std::size_t>(n), '(') + "((1,2),3),4" +
                             std::string(static_cast<std::size_t>(n), ')');
    Counted::runs = 0;
    const auto q = hs::readMaybe<Q>(text);
    ASSERT_TRUE(q) << n;
    EXPECT_EQ(q->first.first.first.v, 1);
    EXPECT_EQ(q->second.v, 4);
    EXPECT_LT(Counted::runs, 20 * n) << n;
  }
}

TEST(ReadPrec, Combinators) {
  namespace rp = hs::readprec;
  // A reader that consumes nothing and yields the precedence it runs at.
  const hs::ReadPrec<int> here([](int d, std::string_view s) { return ReadResult<int>{{d, s}}; });
  using P = Parses<int>;

  EXPECT_EQ(run(rp::prec(10, here), 10, "x"), (P{{10, "x"}}));
  EXPECT_EQ(run(rp::prec(10, here), 3, "x"), (P{{10, "x"}}));
  EXPECT_EQ(run(rp::prec(10, here), 11, "x"), P{});
  EXPECT_EQ(run(rp::step(here), 4, ""), (P{{5, ""}}));
  EXPECT_EQ(run(rp::reset(here), 4, ""), (P{{0, ""}}));
  EXPECT_EQ(run(rp::parens(here), 5, "(())"), (P{{5, "(())"}, {0, ""}}));
  EXPECT_EQ(run(rp::parens(here), 5, " ( ) x"), (P{{5, " ( ) x"}, {0, " x"}}));
  EXPECT_EQ(run(rp::paren(here), 5, "()"), (P{{0, ""}}));
  EXPECT_EQ(run(rp::paren(here), 5, "x"), P{});

  const auto one = rp::pure(1), two = rp::pure(2);
  EXPECT_EQ(run(rp::alt(one, two, rp::pfail<int>()), 0, "s"), (P{{1, "s"}, {2, "s"}}));
  EXPECT_EQ(run(rp::fmap([](int x) { return x * 10; }, rp::alt(one, two)), 0, ""),
            (P{{10, ""}, {20, ""}}));
  // A mapping that returns a reference gives a reader of values.
  const int kept = 7;
  const auto byRef = rp::fmap([&](int) -> const int& { return kept; }, one);
  static_assert(std::is_same_v<decltype(byRef), const hs::ReadPrec<int>>);
  EXPECT_EQ(run(byRef, 0, ""), (P{{7, ""}}));
  const auto both = rp::bind(rp::alt(one, two), [](int x) {
    return rp::fmap([x](int d) { return x * 100 + d; },
                    rp::reset(rp::step(hs::ReadPrec<int>([](int d, std::string_view s) {
                      return ReadResult<int>{{d, s}};
                    }))));
  });
  EXPECT_EQ(run(both, 7, ""), (P{{101, ""}, {201, ""}}));
  EXPECT_EQ(run(rp::then(rp::expectP(hs::Lexeme::Ident("a")), two), 0, " a b"), (P{{2, " b"}}));
  EXPECT_EQ(run(rp::then(rp::expectP(hs::Lexeme::Ident("a")), two), 0, "ab"), P{});

  const auto named =
      rp::choose<int>({{"One", one}, {"Two", two}, {"+", rp::pure(3)}, {"One", two}});
  EXPECT_EQ(run(named, 11, " One x"), (P{{1, " x"}, {2, " x"}}));
  EXPECT_EQ(run(named, 0, "+"), (P{{3, ""}}));
  EXPECT_EQ(run(named, 0, "Onex"), P{});

  // The list reader keeps every combination of the element parses, in order.
  const auto ambiguous = rp::alt(rp::then(rp::expectP(hs::Lexeme::Ident("x")), one),
                                 rp::then(rp::expectP(hs::Lexeme::Ident("x")), two));
  using L = Parses<std::vector<int>>;
  EXPECT_EQ(run(rp::list(ambiguous), 11, "[x,x]."),
            (L{{{1, 1}, "."}, {{1, 2}, "."}, {{2, 1}, "."}, {{2, 2}, "."}}));

  // A long list reads without deep recursion.
  std::string big = "[";
  for (int i = 0; i < 20000; ++i) big += (i ? ",1" : "1");
  big += "]";
  EXPECT_EQ(hs::read<std::vector<int64_t>>(big).size(), 20000u);
}

TEST(ReadPrec, ConstructorHelpers) {
  namespace rp = hs::readprec;
  using M = std::optional<int64_t>;
  const auto just = rp::readData(
      rp::readUnaryWith(hs::readPrec<int64_t>(), "Con", [](int64_t x) { return M(x); }));
  EXPECT_EQ(run(just, 10, "Con 5"), (Parses<M>{{5, ""}}));
  EXPECT_EQ(run(just, 11, "Con 5"), Parses<M>{});
  EXPECT_EQ(run(just, 11, "(Con (-5))"), (Parses<M>{{-5, ""}}));
  EXPECT_EQ(run(just, 0, "Con Con"), Parses<M>{});

  // readParen: brackets required or optional, any number of further pairs.
  const hs::ReadS<int> word = [](std::string_view s) {
    ReadResult<int> out;
    for (auto& [tok, rest] : hs::lex(s))
      if (tok == "w") out.emplace_back(1, rest);
    return out;
  };
  auto count = [](const hs::ReadS<int>& r, std::string_view s) { return owned(r(s)); };
  using P = Parses<int>;
  EXPECT_EQ(count(hs::readParen(false, word), " w x"), (P{{1, " x"}}));
  EXPECT_EQ(count(hs::readParen(true, word), " w x"), P{});
  EXPECT_EQ(count(hs::readParen(true, word), " ( (w) ) x"), (P{{1, " x"}}));
  EXPECT_EQ(count(hs::readParen(false, word), "((w)"), P{});

  // readsData: brackets above precedence 10, then one token handed to the reader.
  const auto data = [](int d) {
    return hs::readsData(
        [](const std::string& tok, std::string_view rest) {
          ReadResult<int64_t> out;
          if (tok == "Con")
            for (auto& r : hs::readsPrec<int64_t>(11, rest)) out.push_back(r);
          return out;
        },
        d);
  };
  EXPECT_EQ(owned(data(10)("Con 4 z")), (Parses<int64_t>{{4, " z"}}));
  EXPECT_EQ(owned(data(11)("Con 4")), Parses<int64_t>{});
  EXPECT_EQ(owned(data(11)("((Con (-4)))")), (Parses<int64_t>{{-4, ""}}));
  EXPECT_EQ(owned(data(0)("Cons 4")), Parses<int64_t>{});
}

TEST(ReadPrec, LiftedReaders) {
  namespace rp = hs::readprec;
  // An element reader that reads any integer and records the precedence it was asked for.
  const hs::ReadPrec<int64_t> elem([](int d, std::string_view s) {
    ReadResult<int64_t> out;
    for (auto& [x, rest] : hs::readsPrec<int64_t>(0, s)) out.emplace_back(x * 100 + d, rest);
    return out;
  });
  const auto fixedList = rp::pure(std::vector<int64_t>{42});

  using M = std::optional<int64_t>;
  const auto maybe = hs::liftReadPrec<M>(elem, fixedList);
  EXPECT_EQ(run(maybe, 0, "Just 3"), (Parses<M>{{311, ""}}));
  EXPECT_EQ(run(maybe, 11, "Just 3"), Parses<M>{});
  EXPECT_EQ(run(maybe, 11, "(Nothing)"), (Parses<M>{{std::nullopt, ""}}));
  EXPECT_EQ(run(hs::liftReadPrec<std::vector<int64_t>>(elem, fixedList), 0, "x"),
            (Parses<std::vector<int64_t>>{{{42}, "x"}}));

  using E = hs::Either<std::string, int64_t>;
  const auto either = hs::liftReadPrec<E>(elem, fixedList);
  EXPECT_EQ(hs::liftReadPrec<E>(elem, fixedList)(0, "Right 1").at(0).first, E(hs::Right(111)));
  EXPECT_EQ(either(0, "Left \"a\"").at(0).first, E(hs::Left("a"s)));
  EXPECT_EQ(either(11, "Left \"a\"").size(), 0u);
  const auto either2 = hs::liftReadPrec2<hs::Either<int64_t, int64_t>>(
      elem, fixedList, hs::readPrec<int64_t>(), hs::readListPrec<int64_t>());
  EXPECT_EQ(either2(0, "Left 1").at(0).first, (hs::Either<int64_t, int64_t>(hs::Left(111))));

  using P = std::pair<std::string, int64_t>;
  EXPECT_EQ(run(hs::liftReadPrec<P>(elem, fixedList), 11, "(\"k\", 2)"),
            (Parses<P>{{{"k", 200}, ""}}));
  EXPECT_EQ(run(hs::liftReadListPrec<P>(elem, fixedList), 0, "[(\"k\",2),(\"l\",3)]"),
            (Parses<std::vector<P>>{{{{"k", 200}, {"l", 300}}, ""}}));
  using Q = std::pair<int64_t, int64_t>;
  EXPECT_EQ(run(hs::liftReadListPrec2<Q>(elem, fixedList, elem, fixedList), 0, "[(1,2)]"),
            (Parses<std::vector<Q>>{{{{100, 200}}, ""}}));

  // With the types' own readers the lifted reader is the plain one.
  for (const char* text : {"Just (-5)", "((Just 5))", "Nothing", "Just", "Just 5 5"})
    EXPECT_EQ(
        run(hs::liftReadPrec<M>(hs::readPrec<int64_t>(), hs::readListPrec<int64_t>()), 0, text),
        parse<M>(0, text))
        << text;
}

TEST(Either, ValueComparisonAndHash) {
  using E = hs::Either<int64_t, std::string>;
  const E l = hs::Left(3), r = hs::Right("a"s);
  EXPECT_TRUE(l.isLeft());
  EXPECT_TRUE(hs::isRight(r));
  EXPECT_EQ(l.left(), 3);
  EXPECT_EQ(r.right(), "a");
  EXPECT_LT(l, r);
  EXPECT_LT(E(hs::Left(100)), E(hs::Right(""s)));
  EXPECT_LT(E(hs::Left(-1)), l);
  EXPECT_LT(r, E(hs::Right("b"s)));
  EXPECT_EQ(l, E(hs::Left(3)));
  EXPECT_NE(l, E(hs::Left(4)));
  EXPECT_EQ(hs::hashWithSalt(7, l), hs::hashWithSalt(hs::saltedWordHash(7, 0), int64_t{3}));
  EXPECT_EQ(hs::hashWithSalt(7, r), hs::hashWithSalt(hs::saltedWordHash(7, 1), "a"s));
  using Same = hs::Either<int64_t, int64_t>;
  EXPECT_NE(hs::hash(Same(hs::Left(1))), hs::hash(Same(hs::Right(1))));
  EXPECT_LT(Same(hs::Left(9)), Same(hs::Right(1)));
}

}  // namespace
