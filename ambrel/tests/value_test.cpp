// The value, its eliminators, partitions, distributions and combinators: which fields each
// operation touches, which results are the input itself, and laziness over endless lists.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "ambrel/ambrel.hpp"
#include "ambrel/combinators.hpp"
#include "hs/either.hpp"
#include "hs/error.hpp"
#include "hs/list.hpp"
#include "hs/show.hpp"
#include "testing/values.hpp"

namespace {

using ambrel::Ambrel;
using ambrel::That;
using ambrel::This;
using testing_support::TestFailure;
using Int = std::int64_t;
using IC = Ambrel<Int, char>;

hs::Lazy<Int> failing() { return testing_support::throwing<Int>("field"); }
template <class T>
T failingValue() {
  return T::defer([]() -> T { throw TestFailure("value"); });
}
// One value of each constructor, with fields that fail when forced.
IC lazyThis() { return This(failing()); }
IC lazyThat() { return That<Int>(testing_support::throwing<char>("field")); }
IC lazyBoth() { return IC(failing(), testing_support::throwing<char>("field")); }

TEST(Value, BuildingEvaluatesNoFieldAndKeepsTheCells) {
  const hs::Lazy<Int> a = failing();
  const IC t = This(a);
  EXPECT_EQ(t.index(), 0);
  EXPECT_TRUE(hs::ptrEq(t.here(), a));
  EXPECT_FALSE(a.settled());
  EXPECT_EQ(lazyThat().index(), 1);
  EXPECT_EQ(lazyBoth().index(), 2);
  EXPECT_THROW((void)IC(That('x')).here(), hs::ProgramError);
  EXPECT_THROW((void)IC(This(Int{1})).there(), hs::ProgramError);
  // Converting a first value of another type defers the conversion.
  const IC widened = This(7);
  EXPECT_EQ(widened.here().force(), 7);
}

TEST(Value, ADeferredValueIsComputedOnceWhenFirstDemanded) {
  auto runs = std::make_shared<int>(0);
  const IC t = IC::defer([runs] {
    ++*runs;
    return IC(That('x'));
  });
  EXPECT_FALSE(t.evaluated());
  EXPECT_EQ(*runs, 0);
  EXPECT_EQ(t.index(), 1);
  EXPECT_EQ(t.index(), 1);
  EXPECT_EQ(*runs, 1);
  EXPECT_THROW((void)failingValue<IC>().index(), TestFailure);
}

TEST(Eliminators, CaseAnalysisCallsTheOneMatchingFunction) {
  auto f = [](Int a) { return "f" + std::to_string(a); };
  auto g = [](char b) { return std::string("g") + b; };
  auto h = [](Int a, char b) { return "h" + std::to_string(a) + b; };
  EXPECT_EQ(ambrel::ambrel(f, g, h, IC(This(Int{1}))), "f1");
  EXPECT_EQ(ambrel::ambrel(f, g, h, IC(That('x'))), "gx");
  EXPECT_EQ(ambrel::ambrel(f, g, h, IC(2, 'y')), "h2y");
  // Under onCells the functions get the fields unevaluated.
  auto cf = hs::onCells([](const hs::Lazy<Int>& a) { return a.settled(); });
  auto cg = hs::onCells([](const hs::Lazy<char>& b) { return b.settled(); });
  auto ch = hs::onCells([](const hs::Lazy<Int>& a, const hs::Lazy<char>&) { return a.settled(); });
  for (const IC& t : {lazyThis(), lazyThat(), lazyBoth()}) EXPECT_FALSE(ambrel::ambrel(cf, cg, ch, t));
}

TEST(Eliminators, DefaultsAndMergesTouchOnlyWhatTheyNeed) {
  const auto [a, b] = ambrel::fromAmbrel<Int, Int>(0, 0, That<Int>(Int{5}));
  EXPECT_EQ(a.force(), 0);
  EXPECT_EQ(b.force(), 5);
  const hs::Lazy<Int> x = 3;
  const auto p = ambrel::fromAmbrel<Int, Int>(failing(), failing(), Ambrel<Int, Int>(This(x)));
  EXPECT_TRUE(hs::ptrEq(p.first, x));
  EXPECT_FALSE(p.second.settled());

  auto calls = std::make_shared<int>(0);
  auto plus = [calls](Int l, Int r) {
    ++*calls;
    return l + r;
  };
  const hs::Lazy<Int> one = ambrel::mergeAmbrel(plus, Ambrel<Int, Int>(This(x)));
  EXPECT_TRUE(hs::ptrEq(one, x));
  const hs::Lazy<Int> three = ambrel::mergeAmbrel(plus, Ambrel<Int, Int>(1, 2));
  EXPECT_EQ(*calls, 0);
  EXPECT_EQ(three.force(), 3);
  EXPECT_EQ(*calls, 1);
  // mergeAmbrelWith f g op is mergeAmbrel op after bimap f g.
  auto f = [](Int v) { return v * 10; };
  auto g = [](char c) { return Int{c - 'a'}; };
  auto minus = [](Int l, Int r) { return l - r; };
  for (const IC& t : {IC(This(Int{4})), IC(That('c')), IC(4, 'c')})
    EXPECT_EQ(ambrel::mergeAmbrelWith(f, g, minus, t).force(),
              ambrel::mergeAmbrel(minus, hs::bimap(f, g, t)).force());
  // The two applications reach op deferred under onCells.
  auto lazyOp = hs::onCells([](const hs::Lazy<Int>& l, const hs::Lazy<Int>&) { return l.force(); });
  auto boom = [](char) -> Int { throw TestFailure("g"); };
  EXPECT_EQ(ambrel::mergeAmbrelWith(f, boom, lazyOp, IC(4, 'c')).force(), 40);
}

TEST(Partitions, SplitByConstructorInInputOrder) {
  const hs::List<IC> xs{IC(This(Int{1})), IC(2, 'x'), IC(That('y')), IC(This(Int{3}))};
  const auto [as, bs, abs] = ambrel::partitionAmbrel(xs);
  EXPECT_EQ(hs::show(as), "[1,3]");
  EXPECT_EQ(hs::show(bs), "['y']");
  EXPECT_EQ(abs.toVector().size(), 1u);
  EXPECT_EQ(hs::show(abs.head()), "(2,'x')");
  const auto [hs1, ts1] = ambrel::partitionHereThere(hs::List<IC>{IC(This(Int{1})), IC(2, 'x'), IC(That('y'))});
  EXPECT_EQ(hs::show(hs1), "[1,2]");
  EXPECT_EQ(hs::show(ts1), "['x','y']");
  const auto [e1, e2, e3] = ambrel::partitionAmbrel(hs::List<IC>());
  EXPECT_TRUE(e1.null() && e2.null() && e3.null());
}

TEST(Partitions, EndlessInputsAndFailingFields) {
  const auto [as, bs, abs] = ambrel::partitionAmbrel(hs::repeat(IC(This(Int{1}))));
  EXPECT_EQ(hs::show(hs::take(2, as)), "[1,1]");
  const auto [hs1, ts1] = ambrel::partitionHereThere(hs::repeat(IC(1, 'x')));
  EXPECT_EQ(hs::show(hs::take(3, hs1)), "[1,1,1]");
  EXPECT_EQ(hs::show(hs::take(2, ts1)), "['x','x']");
  // The entries are the fields themselves, never forced by the partition.
  const hs::List<IC> lazy{lazyThis(), lazyBoth(), lazyThat()};
  const auto [la, lb, lab] = ambrel::partitionAmbrel(lazy);
  EXPECT_EQ(la.toVector().size(), 1u);
  EXPECT_EQ(lb.toVector().size(), 1u);
  EXPECT_FALSE(lab.head().first.settled());
  EXPECT_TRUE(hs::ptrEq(la.head(), lazy.head().here()));
  const auto [lh, lt] = ambrel::partitionHereThere(lazy);
  EXPECT_EQ(lh.toVector().size(), 2u);
  EXPECT_EQ(lt.toVector().size(), 2u);
  // A failing element fails the list cell that reaches it, not the others before it.
  const hs::List<IC> bad = hs::List<IC>::cons(IC(This(Int{1})), hs::List<IC>{failingValue<IC>()});
  const auto [ba, bb, bab] = ambrel::partitionAmbrel(bad);
  EXPECT_EQ(ba.head().force(), 1);
  EXPECT_THROW((void)ba.tail().null(), TestFailure);
}

TEST(Partitions, TheResultIsKnownOnceTheFirstCellAndItsElementAre) {
  auto runs = std::make_shared<int>(0);
  auto counted = [runs](const IC& v) {
    return IC::defer([runs, v] {
      ++*runs;
      return v;
    });
  };
  const hs::List<IC> xs{counted(IC(That('y'))), counted(IC(This(Int{1})))};
  const auto [as, bs, abs] = ambrel::partitionAmbrel(xs);
  EXPECT_EQ(*runs, 1);
  EXPECT_EQ(hs::show(bs), "['y']");
  EXPECT_EQ(*runs, 2);
  *runs = 0;
  const auto [hs1, ts1] = ambrel::partitionHereThere(hs::List<IC>{counted(IC(2, 'x')), counted(IC(This(Int{3})))});
  EXPECT_EQ(*runs, 1);
  EXPECT_EQ(hs::show(hs::take(1, ts1)), "['x']");
  EXPECT_EQ(*runs, 1);
  // So a failing first element, or a failing input, fails the call itself.
  const hs::List<IC> badHead{failingValue<IC>()};
  const hs::List<IC> badList = hs::List<IC>::defer([]() -> hs::List<IC> { throw TestFailure("list"); });
  for (const hs::List<IC>& bad : {badHead, badList}) {
    EXPECT_THROW((void)ambrel::partitionAmbrel(bad), TestFailure);
    EXPECT_THROW((void)ambrel::partitionHereThere(bad), TestFailure);
  }
}

TEST(Partitions, EithersOfANonEmptyListLeadWithTheHead) {
  using E = hs::Either<Int, char>;
  using NE = hs::NonEmpty<E>;
  struct Case {
    NE input;
    const char* shown;
  };
  const Case cases[] = {
      {NE{hs::Left(1), {}}, "This (1 :| [])"},
      {NE{hs::Right('b'), {hs::Left(1), hs::Left(2), hs::Right('c')}}, "Ambrel (1 :| [2]) ('b' :| \"c\")"},
      {NE{hs::Right('b'), {hs::Right('c')}}, "That ('b' :| \"c\")"},
      {NE{hs::Left(1), {hs::Right('c'), hs::Left(2)}}, "Ambrel (1 :| [2]) ('c' :| \"\")"},
  };
  for (const Case& c : cases) EXPECT_EQ(hs::show(ambrel::partitionEithersNE(c.input)), c.shown);
  // The tail is walked only up to the first element of the other side.
  const hs::List<E> endless = hs::List<E>::cons(hs::Left(5), hs::repeat(E(hs::Right('z'))));
  const auto t = ambrel::partitionEithersNE(NE{hs::Right('a'), endless});
  EXPECT_EQ(t.index(), 2);
  EXPECT_EQ(hs::show(hs::take(3, t.there().force().tail)), "\"zzz\"");
}

TEST(Distributions, APairInsideTheFirstSide) {
  using P = Ambrel<std::pair<Int, char>, std::string>;
  const P that = That<std::pair<Int, char>>(std::string("c"));
  const auto [x, y] = ambrel::distrAmbrelPair(that);
  EXPECT_TRUE(ambrel::ptrEq(x, that) && ambrel::ptrEq(y, that));
  const auto [tx, ty] = ambrel::distrAmbrelPair(P(This(std::pair<Int, char>(1, 'p'))));
  EXPECT_EQ(hs::show(tx) + hs::show(ty), "This 1This 'p'");
  const hs::Lazy<std::string> c = testing_support::throwing<std::string>("c");
  const auto [bx, by] = ambrel::distrAmbrelPair(P(std::pair<Int, char>(1, 'p'), c));
  EXPECT_TRUE(hs::ptrEq(bx.there(), c) && hs::ptrEq(by.there(), c));
  EXPECT_EQ(bx.here().force(), 1);
}

TEST(Distributions, UndistributingFollowsTheTable) {
  using X = Ambrel<Int, std::string>;
  using Y = Ambrel<char, std::string>;
  const X xs[] = {This(Int{1}), That(std::string("c")), X(1, std::string("c"))};
  const Y ys[] = {This('b'), That(std::string("d")), Y('b', std::string("d"))};
  // Rows x, columns y; "x" and "y" mark a result that is that component itself.
  const char* table[3][3] = {
      {"This (1,'b')", "y", "Ambrel (1,'b') \"d\""},
      {"x", "x", "x"},
      {"Ambrel (1,'b') \"c\"", "That \"c\"", "Ambrel (1,'b') \"c\""},
  };
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const auto r = ambrel::undistrAmbrelPair(std::pair<X, Y>(xs[i], ys[j]));
      const std::string want = table[i][j];
      if (want == "x")
        EXPECT_TRUE(ambrel::ptrEq(r, xs[i])) << i << j;
      else if (want == "y")
        EXPECT_TRUE(ambrel::ptrEq(r, ys[j])) << i << j;
      else
        EXPECT_EQ(hs::show(r), want) << i << j;
      EXPECT_FALSE(ambrel::ptrEq(r, xs[i]) && want != "x");
    }
  // The second component is evaluated even where the result does not need it.
  EXPECT_THROW((void)ambrel::undistrAmbrelPair(std::pair<X, Y>(xs[1], failingValue<Y>())), TestFailure);
  // The new pairs defer both fields.
  const auto lazy = ambrel::undistrAmbrelPair(std::pair<X, Y>(This(failing()), This('b')));
  EXPECT_EQ(lazy.index(), 0);
  EXPECT_FALSE(lazy.here().settled());
}

TEST(Distributions, APairOnEachSide) {
  using T = Ambrel<Int, char>;
  const auto r = ambrel::distrPairAmbrel(std::pair<T, std::string>(T(1, 'x'), "c"));
  EXPECT_EQ(hs::show(r), "Ambrel (1,\"c\") ('x',\"c\")");
  EXPECT_EQ(hs::show(ambrel::distrPairAmbrel(std::pair<T, std::string>(That('x'), "c"))), "That ('x',\"c\")");
  using Q = Ambrel<std::pair<Int, char>, std::pair<Int, char>>;
  const auto [b, c] = ambrel::undistrPairAmbrel(Q(std::pair<Int, char>(1, 'p'), std::pair<Int, char>(2, 'q')));
  EXPECT_EQ(hs::show(b), "Ambrel 1 2");
  EXPECT_EQ(c, 'p');
  const auto [t, c2] = ambrel::undistrPairAmbrel(Q(That(std::pair<Int, char>(2, 'q'))));
  EXPECT_EQ(hs::show(t) + c2, "That 2q");
}

TEST(Combinators, SelectorsAndPredicatesByConstructor) {
  const IC values[] = {This(Int{1}), That('b'), IC(1, 'b')};
  // justHere justThere justThis justThat justAmbrel present, and likewise hasHere hasThere
  // isThis isThat isAmbrel true.
  const bool present[3][5] = {{1, 0, 1, 0, 0}, {0, 1, 0, 1, 0}, {1, 1, 0, 0, 1}};
  for (int i = 0; i < 3; ++i) {
    const IC& t = values[i];
    const bool got[5] = {ambrel::justHere(t).has_value(), ambrel::justThere(t).has_value(),
                         ambrel::justThis(t).has_value(), ambrel::justThat(t).has_value(),
                         ambrel::justAmbrel(t).has_value()};
    const bool preds[5] = {ambrel::hasHere(t), ambrel::hasThere(t), ambrel::isThis(t),
                           ambrel::isThat(t), ambrel::isAmbrel(t)};
    for (int k = 0; k < 5; ++k) {
      EXPECT_EQ(got[k], present[i][k]) << i << k;
      EXPECT_EQ(preds[k], present[i][k]) << i << k;
    }
  }
  // The selectors give the stored cells, unforced.
  const IC both = lazyBoth();
  EXPECT_TRUE(hs::ptrEq(*ambrel::justHere(both), both.here()));
  EXPECT_TRUE(hs::ptrEq(ambrel::justAmbrel(both)->second, both.there()));
}

TEST(Combinators, MappersChangeOnlyTheirConstructor) {
  auto runs = std::make_shared<int>(0);
  auto inc = [runs](Int a) {
    ++*runs;
    return a + 1;
  };
  const IC that = That('b'), both(1, 'b'), one = This(Int{1});
  EXPECT_TRUE(ambrel::ptrEq(ambrel::mapThis(inc, that), that));
  EXPECT_TRUE(ambrel::ptrEq(ambrel::mapThis(inc, both), both));
  const IC two = ambrel::mapThis(inc, one);
  EXPECT_EQ(*runs, 0);
  EXPECT_EQ(hs::show(two), "This 2");
  EXPECT_EQ(hs::show(ambrel::mapThat([](char c) { return char(c + 1); }, that)), "That 'c'");
  EXPECT_TRUE(ambrel::ptrEq(ambrel::mapThat([](char c) { return c; }, one), one));

  auto pairs = std::make_shared<int>(0);
  auto swapish = [pairs](const std::pair<Int, char>& p) {
    ++*pairs;
    return std::pair<Int, char>(p.first * 10, char(p.second + 1));
  };
  EXPECT_TRUE(ambrel::ptrEq(ambrel::mapAmbrel(swapish, one), one));
  const IC mapped = ambrel::mapAmbrel(swapish, both);
  EXPECT_EQ(*pairs, 0);
  EXPECT_EQ(hs::show(mapped), "Ambrel 10 'c'");
  EXPECT_EQ(*pairs, 1);
  // The function's result is not looked at when the value is built.
  const IC unused = ambrel::mapAmbrel([](const std::pair<Int, char>&) -> std::pair<Int, char> {
    throw TestFailure("f");
  }, both);
  EXPECT_EQ(unused.index(), 2);
}

TEST(Combinators, ListFiltersSkipTheOtherConstructors) {
  const hs::List<IC> xs{IC(This(Int{1})), IC(That('a')), IC(2, 'b')};
  EXPECT_EQ(hs::show(ambrel::catHere(xs)), "[1,2]");
  EXPECT_EQ(hs::show(ambrel::catThere(xs)), "['a','b']");
  EXPECT_EQ(hs::show(ambrel::catThis(xs)), "[1]");
  EXPECT_EQ(hs::show(ambrel::catThat(xs)), "['a']");
  EXPECT_EQ(hs::show(ambrel::catAmbrel(hs::List<IC>{IC(1, 'x'), IC(This(Int{2}))})), "[(1,'x')]");
  // On demand over an endless input.
  EXPECT_EQ(hs::show(hs::take(2, ambrel::catThere(hs::repeat(IC(That('z')))))), "['z','z']");
}

}  // namespace
