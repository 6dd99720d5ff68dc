// Mapping, folding, traversal, combination, application, sequencing, swap and re-association:
// the tables of each operation, which results are the input itself, and what stays deferred.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ambrel/ambrel.hpp"
#include "ambrel/combinators.hpp"
#include "hs/assoc.hpp"
#include "hs/bifunctor.hpp"
#include "hs/error.hpp"
#include "hs/foldable.hpp"
#include "hs/monad.hpp"
#include "hs/show.hpp"
#include "testing/values.hpp"

namespace {

using ambrel::Ambrel;
using ambrel::That;
using ambrel::This;
using testing_support::TestFailure;
using Int = std::int64_t;
using Str = std::string;
using II = Ambrel<Int, Int>;
using SS = Ambrel<Str, Str>;

template <class T>
T failingValue() {
  return T::defer([]() -> T { throw TestFailure("value"); });
}
std::shared_ptr<int> counter() { return std::make_shared<int>(0); }

// A monoid whose values spell out how they were combined.
struct Log {
  Str s;
};

}  // namespace

template <>
struct hs::Semigroup<Log> {
  static Log mappend(const Log& a, const Log& b) { return {"(" + a.s + "<>" + b.s + ")"}; }
};
template <>
struct hs::Monoid<Log> {
  static Log mempty() { return {"e"}; }
};

namespace {

TEST(Mapping, UnchangedSidesAreTheInputItselfAtTheNewType) {
  auto runs = counter();
  auto f = [runs](Int a) {
    ++*runs;
    return Str(static_cast<std::size_t>(a), '*');
  };
  const II one = This(Int{1}), seven = That<Int>(Int{7}), both(2, 3);
  EXPECT_TRUE(ambrel::ptrEq(hs::second(f, one), one));
  EXPECT_TRUE(ambrel::ptrEq(hs::fmap(f, one), one));
  EXPECT_TRUE(ambrel::ptrEq(hs::first(f, seven), seven));
  EXPECT_TRUE(ambrel::ptrEq(hs::replaceValues(Str("x"), one), one));
  EXPECT_EQ(*runs, 0);
  // bimap always builds anew; every mapped field waits for demand.
  const auto mapped = hs::bimap(f, f, both);
  EXPECT_FALSE(ambrel::ptrEq(mapped, both));
  EXPECT_EQ(*runs, 0);
  EXPECT_EQ(hs::show(mapped), "Ambrel \"**\" \"***\"");
  EXPECT_EQ(*runs, 2);
  EXPECT_EQ(hs::show(hs::first(f, both)), "Ambrel \"**\" 3");
  EXPECT_EQ(hs::show(hs::fmap(f, seven)), "That \"*******\"");
  EXPECT_EQ(hs::show(hs::replaceValues(Str("x"), both)), "Ambrel 2 \"x\"");
  EXPECT_TRUE(hs::ptrEq(hs::replaceValues(Str("x"), both).here(), both.here()));
  // The aliases are the same operations.
  EXPECT_EQ(hs::show(ambrel::bimapAmbrel(f, f, both)), hs::show(mapped));
  EXPECT_TRUE(ambrel::ptrEq(ambrel::mapHere(f, seven), seven));
  EXPECT_TRUE(ambrel::ptrEq(ambrel::mapThere(f, one), one));
}

TEST(Folding, TwoSidedFoldsNestAsTheRulesSay) {
  auto f = [](Int a, const hs::Lazy<Str>& rest) { return "f" + std::to_string(a) + "(" + *rest + ")"; };
  auto g = [](Int b, const hs::Lazy<Str>& rest) { return "g" + std::to_string(b) + "(" + *rest + ")"; };
  EXPECT_EQ(hs::bifoldr(f, g, Str("z"), II(1, 2)), "f1(g2(z))");
  EXPECT_EQ(hs::bifoldr(f, g, Str("z"), II(This(Int{1}))), "f1(z)");
  auto fl = [](const hs::Lazy<Str>& acc, Int a) { return "f(" + *acc + ")" + std::to_string(a); };
  auto gl = [](const hs::Lazy<Str>& acc, Int b) { return "g(" + *acc + ")" + std::to_string(b); };
  EXPECT_EQ(hs::bifoldl(fl, gl, Str("z"), II(1, 2)), "g(f(z)1)2");
  EXPECT_EQ(hs::bifoldl(fl, gl, Str("z"), II(That(Int{2}))), "g(z)2");
  // The inner application is deferred: a function that ignores it never runs it.
  auto runs = counter();
  auto counted = [runs](Int, const hs::Lazy<Str>&) {
    ++*runs;
    return Str("g");
  };
  EXPECT_EQ(hs::bifoldr([](Int, const hs::Lazy<Str>&) { return Str("f"); }, counted, Str("z"), II(1, 2)), "f");
  EXPECT_EQ(*runs, 0);
  auto fm = [](Int a) { return Log{"f" + std::to_string(a)}; };
  auto gm = [](Int b) { return Log{"g" + std::to_string(b)}; };
  EXPECT_EQ(hs::bifoldMap<Log>(fm, gm, II(1, 2)).s, "(f1<>g2)");
  EXPECT_EQ(hs::bifoldMap1<Log>(fm, gm, II(That(Int{2}))).s, "g2");
  EXPECT_EQ(hs::bifold(SS(Str("a"), Str("b"))), "ab");
  EXPECT_EQ(hs::bifold1(SS(This(Str("a")))), "a");
}

TEST(Folding, TheElementIsTheSecondValue) {
  const II five = This(Int{5}), seven = That<Int>(Int{7}), both(1, 7);
  EXPECT_EQ(hs::length(five), 0);
  EXPECT_EQ(hs::length(both), 1);
  EXPECT_TRUE(hs::null(five));
  EXPECT_EQ(hs::toList(both), std::vector<Int>{7});
  EXPECT_EQ(hs::sum(five), 0);
  EXPECT_EQ(hs::product(five), 1);
  EXPECT_EQ(hs::sum(both), 7);
  EXPECT_FALSE(hs::elem(Int{5}, five));
  EXPECT_TRUE(hs::elem(Int{7}, both));
  EXPECT_EQ(hs::maximum(seven), 7);
  EXPECT_EQ(hs::minimum(both), 7);
  auto never = [](Int, Int) -> Int { throw TestFailure("f"); };
  EXPECT_EQ(hs::foldr1(never, both), 7);
  EXPECT_EQ(hs::foldl1(never, seven), 7);
  auto cons = [](Int x, const hs::Lazy<Str>& rest) { return std::to_string(x) + *rest; };
  EXPECT_EQ(hs::foldr(cons, Str("z"), both), "7z");
  EXPECT_EQ(hs::foldr(cons, Str("z"), five), "z");
  EXPECT_EQ(hs::foldl_([](Int acc, Int x) { return acc * 10 + x; }, Int{3}, both), 37);
  // The monoidal folds combine with mempty on the side the rules give.
  auto fm = [](Int x) { return Log{std::to_string(x)}; };
  EXPECT_EQ(hs::foldMap<Log>(fm, both).s, "(7<>e)");
  EXPECT_EQ(hs::foldMap_<Log>(fm, both).s, "(e<>7)");
  EXPECT_EQ(hs::foldMap<Log>(fm, five).s, "e");
  EXPECT_EQ(hs::fold(Ambrel<Int, Log>(That(Log{"b"}))).s, "(b<>e)");
  // The four folds that need an element.
  struct Case {
    void (*run)(const II&);
    const char* message;
  };
  const Case cases[] = {
      {[](const II& t) { (void)hs::foldr1([](Int a, Int) { return a; }, t); }, "foldr1: empty structure"},
      {[](const II& t) { (void)hs::foldl1([](Int a, Int) { return a; }, t); }, "foldl1: empty structure"},
      {[](const II& t) { (void)hs::maximum(t); }, "maximum: empty structure"},
      {[](const II& t) { (void)hs::minimum(t); }, "minimum: empty structure"},
  };
  for (const Case& c : cases) {
    try {
      c.run(five);
      ADD_FAILURE() << c.message;
    } catch (const hs::ProgramError& e) {
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_TRUE(e.callStack().entries().empty());
    }
  }
}

TEST(Traversal, ThisIsWrappedItselfAndEffectsRunFirstSideFirst) {
  auto runs = counter();
  auto half = [runs](Int x) -> std::optional<Int> {
    ++*runs;
    if (x % 2 != 0) return std::nullopt;
    return x / 2;
  };
  const II five = This(Int{5});
  const auto wrapped = hs::traverse(half, five);
  ASSERT_TRUE(wrapped.has_value());
  EXPECT_TRUE(ambrel::ptrEq(*wrapped, five));
  EXPECT_EQ(*runs, 0);
  EXPECT_EQ(hs::show(*hs::traverse(half, II(1, 8))), "Ambrel 1 4");
  EXPECT_FALSE(hs::traverse(half, II(That(Int{3}))).has_value());
  EXPECT_EQ(hs::show(*hs::sequenceA(Ambrel<Int, std::optional<Int>>(That(std::optional<Int>(4))))), "That 4");
  EXPECT_EQ(hs::show(*hs::mapM(half, II(That(Int{4})))), "That 2");

  using W = hs::Writer<Str, Int>;
  auto f = [](Int a) { return W{a + 1, "f"}; };
  auto g = [](Int b) { return W{b * 2, "g"}; };
  const auto both = hs::bitraverse(f, g, II(1, 5));
  EXPECT_EQ(both.log, "fg");
  EXPECT_EQ(hs::show(both.value), "Ambrel 2 10");
  EXPECT_EQ(hs::show(ambrel::bitraverseAmbrel(f, g, II(That(Int{5}))).value), "That 10");
  EXPECT_EQ(hs::bitraverse(f, g, II(This(Int{1}))).log, "f");
}

TEST(Combination, EachSideHeldByEitherOperandIsKept) {
  const SS xs[] = {This(Str("a")), That(Str("x")), SS(Str("a"), Str("x"))};
  const SS ys[] = {This(Str("b")), That(Str("y")), SS(Str("b"), Str("y"))};
  const char* table[3][3] = {
      {"This \"ab\"", "Ambrel \"a\" \"y\"", "Ambrel \"ab\" \"y\""},
      {"Ambrel \"b\" \"x\"", "That \"xy\"", "Ambrel \"b\" \"xy\""},
      {"Ambrel \"ab\" \"x\"", "Ambrel \"a\" \"xy\"", "Ambrel \"ab\" \"xy\""},
  };
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(hs::show(hs::mappend(xs[i], ys[j])), table[i][j]) << i << j;
  // The combined field is deferred.
  const SS lazy = hs::mappend(SS(This(testing_support::throwing<Str>())), xs[0]);
  EXPECT_EQ(lazy.index(), 0);
  EXPECT_THROW((void)lazy.here().force(), TestFailure);
  EXPECT_TRUE(ambrel::ptrEq(hs::sconcat(hs::NonEmpty<SS>{xs[1], {}}), xs[1]));
  EXPECT_EQ(hs::show(hs::sconcat(hs::NonEmpty<SS>{xs[0], {ys[1], xs[2]}})), "Ambrel \"aa\" \"yx\"");
  EXPECT_EQ(hs::show(hs::stimes(3, xs[2])), "Ambrel \"aaa\" \"xxx\"");
}

using VI = Ambrel<std::vector<Int>, Int>;
using VF = Ambrel<std::vector<Int>, std::function<Int(Int)>>;
const std::function<Int(Int)> plus10 = [](Int x) { return x + 10; };

TEST(Application, FirstValuesJoinFunctionSideFirst) {
  const std::vector<Int> one{1}, two{2};
  const VF fs[] = {This(one), That(plus10), VF(one, plus10)};
  const VI xs[] = {This(two), That(Int{5}), VI(two, Int{5})};
  // "mf" / "mx": the result is that operand itself.
  const char* table[3][3] = {
      {"mf", "mf", "mf"},
      {"mx", "That 15", "Ambrel [2] 15"},
      {"This [1,2]", "Ambrel [1] 15", "Ambrel [1,2] 15"},
  };
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const VI r = ambrel::ap(fs[i], xs[j]);
      const Str want = table[i][j];
      if (want == "mf")
        EXPECT_TRUE(ambrel::ptrEq(r, fs[i]));
      else if (want == "mx")
        EXPECT_TRUE(ambrel::ptrEq(r, xs[j]));
      else
        EXPECT_EQ(hs::show(r), want) << i << j;
    }
  EXPECT_TRUE(ambrel::ptrEq(ambrel::ap(fs[0], failingValue<VI>()), fs[0]));
  EXPECT_EQ(hs::show(hs::pure<ambrel::AmbrelTag<std::vector<Int>>>(Int{3})), "That 3");
  auto add = [](Int a, Int b) { return a + b; };
  EXPECT_EQ(hs::show(hs::liftA2(add, xs[2], [&] { return xs[2]; })), "Ambrel [2,2] 10");
  EXPECT_TRUE(ambrel::ptrEq(hs::liftA2(add, xs[0], []() -> VI { throw TestFailure("rest"); }), xs[0]));
}

TEST(Application, TraversalsInTheApplicativeGatherFirstValues) {
  auto runs = counter();
  auto check = [runs](Int x) -> VI {
    ++*runs;
    if (x < 0) return This(std::vector<Int>{x});
    if (x % 2 != 0) return VI(std::vector<Int>{x}, x * 10);
    return That(x * 10);
  };
  EXPECT_EQ(hs::show(hs::traverse(check, std::vector<Int>{1, 2, 3})), "Ambrel [1,3] [10,20,30]");
  EXPECT_EQ(hs::show(hs::traverse(check, std::vector<Int>{2, 4})), "That [20,40]");
  *runs = 0;
  EXPECT_EQ(hs::show(hs::traverse(check, std::vector<Int>{1, -1, 2})), "This [1,-1]");
  EXPECT_EQ(*runs, 2);
}

TEST(Application, SequencingKeepsTheSecondValueOfOneSide) {
  const std::vector<Int> one{1}, two{2};
  const VI a1s[] = {This(one), That(testing_support::throwing<Int>()), VI(one, testing_support::throwing<Int>())};
  const Ambrel<std::vector<Int>, Str> a2 = Ambrel<std::vector<Int>, Str>(two, Str("y"));
  EXPECT_TRUE(ambrel::ptrEq(ambrel::apRight(a1s[0], a2), a1s[0]));
  EXPECT_TRUE(ambrel::ptrEq(ambrel::apLeft(a1s[0], a2), a1s[0]));
  // *> never looks at a1's second value.
  EXPECT_EQ(hs::show(ambrel::apRight(a1s[1], a2)), "Ambrel [2] \"y\"");
  EXPECT_EQ(hs::show(ambrel::apRight(a1s[2], a2)), "Ambrel [1,2] \"y\"");
  EXPECT_EQ(hs::show(ambrel::apLeft(VI(one, Int{7}), a2)), "Ambrel [1,2] 7");
  EXPECT_EQ(hs::show(ambrel::apLeft(VI(That(Int{7})), Ambrel<std::vector<Int>, Str>(This(two)))), "This [2]");
  const auto kept = ambrel::apLeft(VI(That(Int{7})), Ambrel<std::vector<Int>, Str>(That(testing_support::throwing<Str>())));
  EXPECT_EQ(hs::show(kept), "That 7");
}

TEST(Sequencing, BindJoinsFirstValues) {
  const std::vector<Int> one{1}, two{2};
  auto runs = counter();
  auto next = [runs, two](Int x) {
    ++*runs;
    return VI(two, x + 1);
  };
  const VI mThis = This(one);
  EXPECT_TRUE(ambrel::ptrEq(hs::bind(mThis, next), mThis));
  EXPECT_EQ(*runs, 0);
  const VI given(two, Int{0});
  EXPECT_TRUE(ambrel::ptrEq(hs::bind(VI(That(Int{5})), [given](Int) { return given; }), given));
  EXPECT_EQ(hs::show(hs::bind(VI(one, Int{5}), next)), "Ambrel [1,2] 6");
  EXPECT_EQ(hs::show(hs::bind(VI(one, Int{5}), [two](Int) { return VI(This(two)); })), "This [1,2]");
  EXPECT_EQ(hs::show(hs::bind(VI(one, Int{5}), [](Int x) { return VI(That(x * 3)); })), "Ambrel [1] 15");
  EXPECT_EQ(hs::show(hs::return_<ambrel::AmbrelTag<std::vector<Int>>>(Int{4})), "That 4");
  // >> never looks at m's second value.
  EXPECT_TRUE(ambrel::ptrEq(hs::then(VI(That(testing_support::throwing<Int>())), given), given));
  EXPECT_EQ(hs::show(hs::then(VI(one, testing_support::throwing<Int>()), given)), "Ambrel [1,2] 0");
  EXPECT_TRUE(ambrel::ptrEq(hs::then(mThis, given), mThis));
}

TEST(Reassociation, SwapAssocAndUnassocFollowTheirTables) {
  const Ambrel<Int, Str> s = This(Int{1});
  EXPECT_EQ(hs::show(hs::swap(s)), "That 1");
  EXPECT_EQ(hs::show(hs::swap(Ambrel<Int, Str>(1, Str("b")))), "Ambrel \"b\" 1");
  EXPECT_EQ(hs::show(ambrel::swapAmbrel(Ambrel<Int, Str>(That(Str("b"))))), "This \"b\"");

  using AB = Ambrel<Int, char>;
  using Outer = Ambrel<AB, Str>;
  const AB inner = This(Int{1});
  const Outer outers[] = {This(inner), This(AB(That('b'))), This(AB(1, 'b')), That(Str("c")),
                          Outer(AB(This(Int{1})), Str("c")), Outer(AB(That('b')), Str("c")),
                          Outer(AB(1, 'b'), Str("c"))};
  const char* assocs[] = {"This 1", "That (This 'b')", "Ambrel 1 (This 'b')", "That (That \"c\")",
                          "Ambrel 1 (That \"c\")", "That (Ambrel 'b' \"c\")", "Ambrel 1 (Ambrel 'b' \"c\")"};
  for (int i = 0; i < 7; ++i) {
    const auto r = hs::assoc(outers[i]);
    EXPECT_EQ(hs::show(r), assocs[i]) << i;
    EXPECT_EQ(hs::unassoc(r), outers[i]) << i;
  }
  EXPECT_TRUE(ambrel::ptrEq(ambrel::assocAmbrel(outers[0]), inner));
  EXPECT_TRUE(ambrel::ptrEq(hs::assoc(outers[3]).there().force(), outers[3]));

  using BC = Ambrel<char, Str>;
  using Right = Ambrel<Int, BC>;
  const BC thatC = That(Str("c"));
  const Right rights[] = {This(Int{1}), That(BC(This('b'))), That(thatC), That(BC('b', Str("c"))),
                          Right(1, BC(This('b'))), Right(1, thatC), Right(1, BC('b', Str("c")))};
  const char* unassocs[] = {"This (This 1)", "This (That 'b')", "That \"c\"", "Ambrel (That 'b') \"c\"",
                            "This (Ambrel 1 'b')", "Ambrel (This 1) \"c\"", "Ambrel (Ambrel 1 'b') \"c\""};
  for (int i = 0; i < 7; ++i) {
    const auto r = hs::unassoc(rights[i]);
    EXPECT_EQ(hs::show(r), unassocs[i]) << i;
    EXPECT_EQ(ambrel::assocAmbrel(r), rights[i]) << i;
  }
  EXPECT_TRUE(ambrel::ptrEq(ambrel::unassocAmbrel(rights[2]), thatC));
  EXPECT_TRUE(ambrel::ptrEq(hs::unassoc(rights[0]).here().force(), rights[0]));
}

TEST(DeepChains, LongChainsOfDeferredFieldsForceAndFreeInConstantStack) {
  constexpr int n = 100'000;  // far deeper than the native stack would allow nested calls
  II mapped = This(Int{0});
  II counted = That<Int>(Int{0});
  using Sums = Ambrel<hs::Sum<Int>, hs::Sum<Int>>;
  Sums combined = This(hs::Sum<Int>{0});
  const Sums one(hs::Sum<Int>{1}, hs::Sum<Int>{1});
  for (int i = 0; i < n; ++i) {
    mapped = ambrel::mapThis([](Int a) { return a + 1; }, mapped);
    counted = hs::fmap([](Int b) { return b + 1; }, counted);
    combined = hs::mappend(combined, one);
  }
  EXPECT_EQ(mapped.here().force(), n);
  EXPECT_EQ(counted.there().force(), n);
  EXPECT_EQ(combined.here().force().value, n);
  EXPECT_EQ(combined.there().force().value, n);
}

}  // namespace
