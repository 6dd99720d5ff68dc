#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/th/lib.hpp"
#include "hs/th/lift.hpp"
#include "hs/th/syntax.hpp"

namespace {

namespace th = hs::th;
using th::Exp;
using th::Name;

Exp lit(th::Lit l) { return th::LitE{std::move(l)}; }
Exp var(Name n) { return th::VarE{std::move(n)}; }
Exp con(Name n) { return th::ConE{std::move(n)}; }
Exp app(Exp f, Exp x) { return th::AppE{std::move(f), std::move(x)}; }

const Name fromList_ = th::mkNameG_v("vantrel-0.1.0", "Vantrel.Map.Internal.Array", "fromList'");
const Name strictApply = th::mkNameG_v("base", "GHC.Base", "$!");
const Name leafCon = th::mkNameG_d("vantrel-0.1.0", "Vantrel.Map.Internal", "L");

TEST(ThText, Expressions) {
  const std::pair<Exp, std::string> cases[] = {
      {app(var(fromList_), lit(th::integerL(3))),
       "AppE (VarE Vantrel.Map.Internal.Array.fromList') (LitE (IntegerL 3))"},
      {app(app(var(fromList_), lit(th::integerL(0))), th::ListE{}),
       "AppE (AppE (VarE Vantrel.Map.Internal.Array.fromList') (LitE (IntegerL 0))) (ListE [])"},
      {lit(th::integerL(-3)), "LitE (IntegerL (-3))"},
      {lit(th::integerL(std::numeric_limits<std::int64_t>::min())),
       "LitE (IntegerL (-9223372036854775808))"},
      {lit(th::integerL(std::numeric_limits<std::uint64_t>::max())),
       "LitE (IntegerL 18446744073709551615)"},
      {th::InfixE{app(con(leafCon), lit(th::integerL(1))), var(strictApply), lit(th::stringL("v"))},
       "InfixE (Just (AppE (ConE Vantrel.Map.Internal.L) (LitE (IntegerL 1)))) (VarE GHC.Base.$!) "
       "(Just (LitE (StringL \"v\")))"},
      {th::InfixE{std::nullopt, var(th::mkName("GHC.Num.+")), std::nullopt},
       "InfixE Nothing (VarE GHC.Num.+) Nothing"},
      {th::ListE{{lit(th::integerL(1)), con(th::trueName())}},
       "ListE [LitE (IntegerL 1),ConE GHC.Types.True]"},
      {th::TupE{{lit(th::charL(U'a')), std::nullopt}}, "TupE [Just (LitE (CharL 'a')),Nothing]"},
      {th::TupE{}, "TupE []"},
      {var(th::mkNameU("x", 12)), "VarE x_12"},
      {var(th::mkName("foo")), "VarE foo"},
      {var(th::mkName("Data.Map.lookup")), "VarE Data.Map.lookup"},
  };
  for (const auto& [e, text] : cases) {
    EXPECT_EQ(th::show(e), text);
    std::string bracketed;
    th::showsPrec(11, e, bracketed);
    EXPECT_EQ(bracketed, "(" + text + ")");
  }
}

TEST(ThText, LiteralEscapes) {
  const std::pair<th::Lit, std::string> cases[] = {
      {th::charL(U'a'), "CharL 'a'"},
      {th::charL(U'\''), "CharL '\\''"},
      {th::charL(U'"'), "CharL '\"'"},
      {th::charL(U'\\'), "CharL '\\\\'"},
      {th::charL(U'\n'), "CharL '\\n'"},
      {th::charL(U'\0'), "CharL '\\NUL'"},
      {th::charL(U'\x0e'), "CharL '\\SO'"},
      {th::charL(U'\x7f'), "CharL '\\DEL'"},
      {th::charL(U'\u00e9'), "CharL '\\233'"},
      {th::stringL("a\"b'c"), "StringL \"a\\\"b'c\""},
      {th::stringL("\u00e9" "1"), "StringL \"\\233\\&1\""},
      {th::stringL("\u00e9" "x"), "StringL \"\\233x\""},
      {th::stringL("\x0eH"), "StringL \"\\SO\\&H\""},
      {th::stringL("\x0eI\x01" "2"), "StringL \"\\SOI\\SOH2\""},
      {th::stringL("\t\x1b"), "StringL \"\\t\\ESC\""},
      {th::stringL("\U0001F600"), "StringL \"\\128512\""},
      {th::stringL("\xff"), "StringL \"\\65533\""},
      {th::stringL(""), "StringL \"\""},
  };
  for (const auto& [l, text] : cases) EXPECT_EQ(th::show(l), text);
}

TEST(ThNames, ConstructionAndText) {
  struct Case {
    std::string text;
    th::NameFlavour flavour;
    std::string occ;
  };
  const Case cases[] = {
      {"foo", th::NameS{}, "foo"},
      {"Data.Map.lookup", th::NameQ{"Data.Map"}, "lookup"},
      {"Prelude..", th::NameQ{"Prelude"}, "."},
      {".", th::NameS{}, "."},
      {"a.b", th::NameS{}, "a.b"},
      {"Foo.bar.baz", th::NameQ{"Foo"}, "bar.baz"},
      {"Foo.", th::NameS{}, "Foo."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(th::mkName(c.text), (Name{c.occ, c.flavour})) << c.text;
    EXPECT_EQ(th::showName(th::mkName(c.text)), c.text);
  }

  EXPECT_EQ(fromList_, (Name{"fromList'", th::NameG{th::NameSpace::VarName, "vantrel-0.1.0",
                                                     "Vantrel.Map.Internal.Array"}}));
  EXPECT_EQ(th::nameBase(fromList_), "fromList'");
  EXPECT_EQ(th::trueName(), th::mkNameG_d("ghc-prim", "GHC.Types", "True"));

  using th::NameIs;
  EXPECT_EQ(th::showName_(NameIs::Alone, strictApply), "GHC.Base.$!");
  EXPECT_EQ(th::showName_(NameIs::Applied, strictApply), "(GHC.Base.$!)");
  EXPECT_EQ(th::showName_(NameIs::Infix, strictApply), "GHC.Base.$!");
  EXPECT_EQ(th::showName_(NameIs::Applied, fromList_), "Vantrel.Map.Internal.Array.fromList'");
  EXPECT_EQ(th::showName_(NameIs::Infix, th::mkName("elem")), "`elem`");
  EXPECT_EQ(th::showName_(NameIs::Applied, th::mkName(".")), "(.)");
  EXPECT_EQ(th::showName_(NameIs::Applied, th::mkName("Prelude..")), "(Prelude..)");
  EXPECT_EQ(th::showName_(NameIs::Applied, th::mkName("()")), "()");
  EXPECT_EQ(th::showName_(NameIs::Infix, th::mkNameU("x", 3)), "`x_3`");
}

TEST(ThNames, EqualityAndOrder) {
  // Flavours decide first, in declared order, then the occurrence name.
  const Name ordered[] = {
      th::mkName("a"), th::mkName("z"), th::mkName("B.a"), th::mkNameU("a", 1), th::mkNameU("a", 2),
      Name{"a", th::NameL{1}}, th::mkNameG_v("base", "M", "z"), th::mkNameG_d("base", "M", "a"),
      th::mkNameG_d("base", "N", "a"), th::mkNameG_d("ghc-prim", "A", "a"),
      th::mkNameG_tc("base", "A", "a"),
  };
  for (std::size_t i = 0; i < std::size(ordered); ++i)
    for (std::size_t j = 0; j < std::size(ordered); ++j) {
      EXPECT_EQ(ordered[i] == ordered[j], i == j) << i << " " << j;
      EXPECT_EQ(ordered[i] < ordered[j], i < j) << i << " " << j;
    }
  EXPECT_NE(th::mkName("x"), th::mkNameU("x", 1));
}

// A context that records every step.
struct Recorder : th::Quote {
  std::vector<Exp> steps;
  void step(const Exp& e) override { steps.push_back(e); }
};

std::vector<std::string> kinds(const std::vector<Exp>& steps) {
  std::vector<std::string> out;
  for (const Exp& e : steps) {
    const std::string s = th::show(e);
    out.push_back(s.substr(0, s.find(' ')));
  }
  return out;
}

TEST(ThLift, BaseValues) {
  EXPECT_EQ(th::lift(std::int64_t{3}), lit(th::integerL(3)));
  EXPECT_EQ(th::show(th::lift(std::int8_t{-5})), "LitE (IntegerL (-5))");
  EXPECT_EQ(th::show(th::lift(std::numeric_limits<std::uint64_t>::max())),
            "LitE (IntegerL 18446744073709551615)");
  EXPECT_EQ(th::lift(U'x'), lit(th::charL(U'x')));
  EXPECT_EQ(th::show(th::lift(std::string("hi\n"))), "LitE (StringL \"hi\\n\")");
  EXPECT_EQ(th::lift(true), con(th::trueName()));
  EXPECT_EQ(th::show(th::lift(false)), "ConE GHC.Types.False");
  EXPECT_EQ(th::show(th::lift(hs::unit)), "ConE GHC.Tuple.()");
  EXPECT_EQ(th::show(th::lift(std::vector<std::int64_t>{1, 2})),
            "ListE [LitE (IntegerL 1),LitE (IntegerL 2)]");
  EXPECT_EQ(th::show(th::lift(std::vector<bool>{})), "ListE []");
  EXPECT_EQ(th::show(th::lift(std::optional<std::int64_t>{})), "ConE GHC.Maybe.Nothing");
  EXPECT_EQ(th::show(th::lift(std::optional<std::int64_t>{-1})),
            "AppE (ConE GHC.Maybe.Just) (LitE (IntegerL (-1)))");
  EXPECT_EQ(th::show(th::lift(std::pair<std::int64_t, std::string>{1, "a"})),
            "TupE [Just (LitE (IntegerL 1)),Just (LitE (StringL \"a\"))]");

  const auto typed = th::liftTyped(std::optional<bool>{true});
  static_assert(std::is_same_v<decltype(typed), const th::TExp<std::optional<bool>>>);
  EXPECT_EQ(typed.unType, th::lift(std::optional<bool>{true}));
}

TEST(ThLift, StepsRunInOrder) {
  Recorder q;
  const Exp e = th::lift(q, std::optional<std::vector<std::int64_t>>{{1, 2}});
  EXPECT_EQ(kinds(q.steps), (std::vector<std::string>{"ConE", "LitE", "LitE", "ListE", "AppE"}));
  ASSERT_FALSE(q.steps.empty());
  EXPECT_EQ(q.steps.back(), e);

  Recorder p;
  (void)th::lift(p, std::pair<bool, std::int64_t>{false, 7});
  EXPECT_EQ(kinds(p.steps), (std::vector<std::string>{"ConE", "LitE", "TupE"}));
  EXPECT_EQ(th::show(p.steps[0]), "ConE GHC.Types.False");
}

// A record lifted as `L k $! v`, with only liftTyped written: lift is its untyped expression.
struct Entry {
  std::int64_t key;
  std::string value;
};

}  // namespace

template <>
struct hs::Lift<Entry> {
  static th::TExp<Entry> liftTyped(th::Quote& q, const Entry& x) {
    Exp c = th::conE(q, leafCon);
    Exp k = th::lift(q, x.key);
    Exp left = th::appE(q, std::move(c), std::move(k));
    Exp op = th::varE(q, strictApply);
    Exp v = th::lift(q, x.value);
    return {th::infixApp(q, std::move(left), std::move(op), std::move(v))};
  }
};

namespace {

TEST(ThLift, TypedAndUntypedDefaultToEachOther) {
  Recorder q;
  const Exp e = th::lift(q, Entry{1, "a"});
  EXPECT_EQ(th::show(e),
            "InfixE (Just (AppE (ConE Vantrel.Map.Internal.L) (LitE (IntegerL 1)))) "
            "(VarE GHC.Base.$!) (Just (LitE (StringL \"a\")))");
  EXPECT_EQ(kinds(q.steps),
            (std::vector<std::string>{"ConE", "LitE", "AppE", "VarE", "LitE", "InfixE"}));
  EXPECT_EQ(th::liftTyped(Entry{1, "a"}).unType, e);
  // lift of an integer written as a typed expression.
  EXPECT_EQ(th::liftTyped(std::int64_t{4}).unType, lit(th::integerL(4)));
}

TEST(ThQuote, NewNamesAreFresh) {
  const Name a = th::defaultQuote().newName("x");
  const Name b = th::defaultQuote().newName("x");
  EXPECT_NE(a, b);
  EXPECT_EQ(th::nameBase(a), "x");
  EXPECT_TRUE(std::holds_alternative<th::NameU>(a.flavour));
  EXPECT_EQ(th::showName(a), "x_" + std::to_string(std::get<th::NameU>(a.flavour).unique));
}

}  // namespace
