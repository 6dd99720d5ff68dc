#include <gtest/gtest.h>

#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "hs/classes1.hpp"
#include "hs/either.hpp"
#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/islist.hpp"
#include "hs/nfdata.hpp"
#include "hs/semigroup.hpp"
#include "testing/stacks.hpp"

namespace {

using V = std::vector<int>;

TEST(Applicative, OptionalStopsAtTheFirstAbsentValue) {
  int calls = 0;
  auto f = [&](int x) -> std::optional<int> {
    ++calls;
    if (x == 2) return std::nullopt;
    return x * 10;
  };
  EXPECT_EQ(hs::traverse(f, V{1, 2, 3, 4}), std::nullopt);
  EXPECT_EQ(calls, 2);  // the walk stops at the absent value
  calls = 0;
  EXPECT_EQ(hs::traverse(f, V{1, 3}), std::optional<V>(V{10, 30}));
  EXPECT_EQ(calls, 2);
  bool restRan = false;
  const auto none = hs::liftA2([](int a, int b) { return a + b; }, std::optional<int>(),
                               [&] { restRan = true; return std::optional<int>(1); });
  EXPECT_FALSE(none.has_value());
  EXPECT_FALSE(restRan);
}

TEST(Applicative, ListGivesIndependentResults) {
  const auto choices = [](int x) { return std::vector<int>{x, -x}; };
  const std::vector<V> all = hs::traverse(choices, V{1, 2});
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0], V({1, 2}));
  EXPECT_EQ(all[1], V({1, -2}));
  EXPECT_EQ(all[2], V({-1, 2}));
  EXPECT_EQ(all[3], V({-1, -2}));
  EXPECT_TRUE(hs::traverse([](int) { return std::vector<int>{}; }, V{1, 2}).empty());
  EXPECT_EQ(hs::traverse(choices, V{}), std::vector<V>({V{}}));
}

TEST(Applicative, WriterAndStateRunEffectsInOrder) {
  const auto logged = hs::traverse(
      [](int x) { return hs::Writer<std::string, int>{x + 1, std::to_string(x)}; }, V{3, 1, 2});
  EXPECT_EQ(logged.log, "312");
  EXPECT_EQ(logged.value, V({4, 2, 3}));
  const auto numbered = hs::traverse(
      [](int x) {
        return hs::State<int, int>{[x](int n) { return std::pair<int, int>{x * 100 + n, n + 1}; }};
      },
      V{7, 8, 9});
  const auto [values, next] = numbered(0);
  EXPECT_EQ(values, V({700, 801, 902}));
  EXPECT_EQ(next, 3);
  const auto counted = hs::traverse(
      [](int x) { return hs::Const<hs::Sum<int>, std::string>{hs::Sum<int>{x}}; }, V{1, 2, 3});
  EXPECT_EQ(counted.value.value, 6);
  EXPECT_EQ(hs::traverse([](int x) { return hs::Identity<int>{x * 2}; }, V{1, 2}).value, V({2, 4}));
}

struct Tracked {
  std::string text;
  static inline int mappends = 0;
};

}  // namespace

template <>
struct hs::Semigroup<Tracked> {
  static Tracked mappend(const Tracked& a, const Tracked& b) {
    ++Tracked::mappends;
    return {"(" + a.text + "<>" + b.text + ")"};
  }
};
template <>
struct hs::Monoid<Tracked> {
  static Tracked mempty() { return {"e"}; }
};

namespace {

TEST(Foldable, FoldMapNestsRightWithoutMempty) {
  const auto f = [](int x) { return Tracked{std::to_string(x)}; };
  Tracked::mappends = 0;
  EXPECT_EQ(hs::foldMap<Tracked>(f, V{1}).text, "1");
  EXPECT_EQ(Tracked::mappends, 0);
  EXPECT_EQ(hs::foldMap<Tracked>(f, V{1, 2, 3}).text, "(1<>(2<>3))");
  EXPECT_EQ(hs::foldMap<Tracked>(f, V{}).text, "e");
  EXPECT_EQ(hs::mconcat(std::vector<Tracked>{{"a"}, {"b"}}).text, "(a<>(b<>e))");
  EXPECT_EQ(hs::sconcat(hs::NonEmpty<Tracked>{{"a"}, {{"b"}, {"c"}}}).text, "(a<>(b<>c))");
}

TEST(Foldable, LazyRightFoldAndTheEmptyStructureErrors) {
  int rests = 0;
  const int first = hs::foldr([&](int x, const hs::Lazy<int>&) { ++rests; return x; }, 0, V{5, 6, 7});
  EXPECT_EQ(first, 5);
  EXPECT_EQ(rests, 1);
  EXPECT_EQ(hs::foldr([](int x, const hs::Lazy<int>& r) { return x - *r; }, 0, V{5, 6, 7}), 6);
  EXPECT_EQ(hs::foldl_([](int a, int x) { return a * 10 + x; }, 0, V{1, 2, 3}), 123);
  EXPECT_EQ(hs::foldr1([](int x, int a) { return x - a; }, V{10, 4, 1}), 7);
  EXPECT_EQ(hs::foldl1([](int a, int x) { return a - x; }, V{10, 4, 1}), 5);
  EXPECT_EQ(hs::maximum(V{3, 9, 2}), 9);
  EXPECT_EQ(hs::minimum(std::optional<int>(4)), 4);
  EXPECT_EQ(hs::sum(V{1, 2, 3}), 6);
  EXPECT_EQ(hs::product(V{2, 3}), 6);
  EXPECT_TRUE(hs::elem(2, V{1, 2}));
  EXPECT_EQ(hs::length(std::optional<int>()), 0);
  struct Case {
    std::function<void()> op;
    const char* message;
  };
  const Case cases[] = {
      {[] { (void)hs::foldr1([](int a, int) { return a; }, V{}); }, "foldr1: empty structure"},
      {[] { (void)hs::foldl1([](int a, int) { return a; }, V{}); }, "foldl1: empty structure"},
      {[] { (void)hs::maximum(V{}); }, "maximum: empty structure"},
      {[] { (void)hs::minimum(std::optional<int>()); }, "minimum: empty structure"},
  };
  for (const Case& c : cases) {
    try {
      c.op();
      ADD_FAILURE() << c.message;
    } catch (const hs::ProgramError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(Semigroup, RepetitionAndItsErrors) {
  EXPECT_EQ(hs::stimes(3, std::string("ab")), "ababab");
  EXPECT_EQ(hs::stimesDefault(5, std::string("x")), "xxxxx");
  EXPECT_EQ(hs::stimesMonoid(0, std::string("x")), "");
  EXPECT_EQ(hs::stimesIdempotent(7, std::string("x")), "x");
  EXPECT_EQ(hs::stimesIdempotentMonoid(0, std::string("x")), "");
  EXPECT_EQ(hs::stimesIdempotentMonoid(std::uint8_t{9}, std::string("x")), "x");
  struct Case {
    std::function<void()> op;
    const char* message;
  };
  const Case cases[] = {
      {[] { (void)hs::stimesDefault(0, std::string("x")); }, "stimes: positive multiplier expected"},
      {[] { (void)hs::stimesMonoid(-1, std::string("x")); }, "stimesMonoid: negative multiplier"},
      {[] { (void)hs::stimesIdempotent(0L, std::string("x")); }, "stimesIdempotent: positive multiplier expected"},
      {[] { (void)hs::stimesIdempotentMonoid(-2, std::string("x")); },
       "stimesIdempotentMonoid: negative multiplier"},
  };
  for (const Case& c : cases) {
    try {
      c.op();
      ADD_FAILURE() << c.message;
    } catch (const hs::ProgramError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(Lifted, EqualityAndOrderingOfStructures) {
  const auto eqMod = [](int a, int b) { return a % 10 == b % 10; };
  EXPECT_TRUE(hs::liftEq(eqMod, V{1, 12}, V{11, 2}));
  EXPECT_FALSE(hs::liftEq(eqMod, V{1}, V{1, 2}));
  EXPECT_EQ(hs::liftCompare(hs::Compare{}, V{1, 2}, V{1, 3}), hs::LT);
  EXPECT_EQ(hs::liftCompare(hs::Compare{}, V{1, 2}, V{1}), hs::GT);
  EXPECT_EQ(hs::liftCompare(hs::Compare{}, std::optional<int>(), std::optional<int>(0)), hs::LT);
  EXPECT_TRUE(hs::liftEq2(hs::Equal{}, eqMod, std::pair<int, int>{1, 3}, std::pair<int, int>{1, 13}));
  EXPECT_EQ(hs::liftCompare2(hs::Compare{}, hs::Compare{}, std::pair<int, int>{1, 3},
                             std::pair<int, int>{1, 2}),
            hs::GT);
}

TEST(NFData, ForcesEveryDeferredValue) {
  int runs = 0;
  const std::vector<hs::Lazy<int>> cells{hs::delay([&] { return ++runs; }), hs::delay([&] { return ++runs; })};
  hs::rnf(cells);
  EXPECT_EQ(runs, 2);
  EXPECT_TRUE(cells[1].evaluated());
  int seen = 0;
  hs::liftRnf([&](int) { ++seen; }, std::optional<int>(3));
  EXPECT_EQ(seen, 1);
}

}  // namespace

// ---- Applicatives and traversals -----------------------------------------------------------

namespace {

TEST(Applicative, ListRunsTheRestOnceAndGivesIndependentResults) {
  int rests = 0;
  const auto both = [&] { ++rests; return std::vector<int>{10, 20}; };
  const auto sums = hs::liftA2([](int a, int b) { return a + b; }, V{1, 2}, both);
  EXPECT_EQ(sums, V({11, 21, 12, 22}));
  EXPECT_EQ(rests, 1);
  EXPECT_TRUE(hs::liftA2([](int a, int b) { return a + b; }, V{}, both).empty());
  EXPECT_EQ(rests, 1);  // no left result: the rest never runs

  // Results share their common prefix while they are built; each comes out a value of its own.
  std::vector<V> all = hs::traverse([](int x) { return V{x, x + 1}; }, V{1, 10, 100});
  ASSERT_EQ(all.size(), 8u);
  all[0][0] = -7;
  all[0].push_back(5);
  EXPECT_EQ(all[1], V({1, 10, 101}));
  EXPECT_EQ(all[7], V({2, 11, 101}));
}

// Counts the copies made of it, so that a traversal that copies what it has gathered at every
// step (quadratic work) shows.
struct Counted {
  int id = 0;
  static inline long copies = 0;
  explicit Counted(int i) : id(i) {}
  Counted(const Counted& o) : id(o.id) { ++copies; }
  Counted& operator=(const Counted& o) {
    id = o.id;
    ++copies;
    return *this;
  }
};

TEST(Applicative, TraversalsCostLinearWorkAndStack) {
  const int n = 4000;
  V xs(n);
  for (int i = 0; i < n; ++i) xs[i] = i;
  Counted::copies = 0;
  const auto viaOptional = hs::traverse([](int x) { return std::optional<Counted>(Counted(x)); }, xs);
  ASSERT_TRUE(viaOptional.has_value());
  EXPECT_EQ(viaOptional->back().id, n - 1);
  EXPECT_LT(Counted::copies, 8L * n);
  Counted::copies = 0;
  const auto viaIdentity = hs::traverse([](int x) { return hs::Identity<Counted>{Counted(x)}; }, xs);
  EXPECT_EQ(viaIdentity.value[17].id, 17);
  EXPECT_LT(Counted::copies, 8L * n);

  // A state traversal runs its elements in a loop: a long one neither overflows the stack when
  // run nor when destroyed.
  const V big(200000, 1);
  const auto numbered = hs::traverse(
      [](int x) { return hs::State<int, int>{[x](int s) { return std::pair<int, int>{s + x, s + 1}; }}; },
      big);
  const auto [values, next] = numbered(0);
  EXPECT_EQ(next, 200000);
  EXPECT_EQ(values.back(), 200000);
  EXPECT_EQ(hs::traverse([](int x) { return std::optional<int>(x); }, big)->size(), big.size());
}

TEST(Applicative, WriterAndConstCombineTheLeftEffectFirst) {
  const auto w = hs::liftA2([](int a, int b) { return a * b; },
                            hs::Writer<std::string, int>{2, "left;"},
                            [] { return hs::Writer<std::string, int>{3, "right;"}; });
  EXPECT_EQ(w.value, 6);
  EXPECT_EQ(w.log, "left;right;");
  const auto c = hs::traverse(
      [](int x) { return hs::Const<std::string, int>{std::to_string(x)}; }, V{4, 5, 6});
  EXPECT_EQ(c.value, "456");
  EXPECT_EQ(hs::pure<hs::ConstTag<std::string>>(3).value, "");
  EXPECT_EQ(hs::pure<hs::WriterTag<std::string>>(3), (hs::Writer<std::string, int>{3, ""}));
  EXPECT_EQ(hs::sequenceA(std::vector<std::optional<int>>{1, std::nullopt}), std::nullopt);
  EXPECT_EQ(hs::sequenceA(std::optional<V>(V{1, 2})), (std::vector<std::optional<int>>{1, 2}));
  EXPECT_EQ(hs::sequenceA(std::optional<V>()), std::vector<std::optional<int>>{std::nullopt});
}

TEST(Functor, ReplaceValuesKeepsTheShape) {
  EXPECT_EQ(hs::replaceValues(std::string("x"), V{1, 2}), (std::vector<std::string>{"x", "x"}));
  EXPECT_EQ(hs::replaceValues(7, std::optional<std::string>()), std::nullopt);
  const auto st = hs::replaceValues(
      'c', hs::State<int, int>{[](int s) { return std::pair<int, int>{s, s * 2}; }});
  EXPECT_EQ(st(4), (std::pair<char, int>{'c', 8}));
}

struct Boxed {
  std::string text;
};

TEST(Functor, AFunctionReturningAReferenceGivesValues) {
  // The structures mapped are temporaries and a State's values locals of its run, so a result
  // that kept the reference would name a dead string.
  const std::string text(40, 'x');  // beyond the short-string buffer
  const auto field = [](const Boxed& b) -> const std::string& { return b.text; };
  const auto first = [](const Boxed& a, const Boxed&) -> const std::string& { return a.text; };
  const auto boxes = [&](int s) { return std::pair<Boxed, int>{{text}, s}; };
  using W = hs::Writer<std::string, std::string>;

  const auto id = hs::fmap(field, hs::Identity<Boxed>{{text}});
  const auto w = hs::fmap(field, hs::Writer<std::string, Boxed>{{text}, "log"});
  const auto st = hs::fmap(field, hs::State<int, Boxed>{boxes});
  const auto m = hs::fmap(field, std::optional<Boxed>(Boxed{text}));
  const auto v = hs::fmap(field, std::vector<Boxed>{{text}});
  const auto c = hs::fmap(field, hs::Const<std::string, Boxed>{"c"});
  static_assert(std::is_same_v<decltype(id), const hs::Identity<std::string>>);
  static_assert(std::is_same_v<decltype(w), const W>);
  static_assert(std::is_same_v<decltype(st), const hs::State<int, std::string>>);
  static_assert(std::is_same_v<decltype(m), const std::optional<std::string>>);
  static_assert(std::is_same_v<decltype(v), const std::vector<std::string>>);
  static_assert(std::is_same_v<decltype(c), const hs::Const<std::string, std::string>>);
  EXPECT_EQ(id.value, text);
  EXPECT_EQ(w, (W{text, "log"}));
  EXPECT_EQ(st(1), (std::pair<std::string, int>{text, 1}));
  EXPECT_EQ(m, text);
  EXPECT_EQ(v, std::vector<std::string>{text});

  const auto id2 =
      hs::liftA2(first, hs::Identity<Boxed>{{text}}, [] { return hs::Identity<Boxed>{}; });
  const auto w2 = hs::liftA2(first, hs::Writer<std::string, Boxed>{{text}, "a"},
                             [] { return hs::Writer<std::string, Boxed>{{}, "b"}; });
  const auto st2 = hs::liftA2(first, hs::State<int, Boxed>{boxes},
                              [&] { return hs::State<int, Boxed>{boxes}; });
  const auto m2 = hs::liftA2(first, std::optional<Boxed>(Boxed{text}),
                             [] { return std::optional<Boxed>(Boxed{}); });
  const auto v2 =
      hs::liftA2(first, std::vector<Boxed>{{text}}, [] { return std::vector<Boxed>{{}}; });
  const auto c2 = hs::liftA2(first, hs::Const<std::string, Boxed>{"c"},
                             [] { return hs::Const<std::string, Boxed>{"d"}; });
  static_assert(std::is_same_v<decltype(id2), decltype(id)>);
  static_assert(std::is_same_v<decltype(w2), decltype(w)>);
  static_assert(std::is_same_v<decltype(st2), decltype(st)>);
  static_assert(std::is_same_v<decltype(m2), decltype(m)>);
  static_assert(std::is_same_v<decltype(v2), decltype(v)>);
  static_assert(std::is_same_v<decltype(c2), decltype(c)>);
  EXPECT_EQ(id2.value, text);
  EXPECT_EQ(w2, (W{text, "ab"}));
  EXPECT_EQ(st2(1), (std::pair<std::string, int>{text, 1}));
  EXPECT_EQ(m2, text);
  EXPECT_EQ(v2, std::vector<std::string>{text});
  EXPECT_EQ(c2.value, "cd");
}

// ---- Folds ---------------------------------------------------------------------------------

TEST(Foldable, FunctionsRunInElementOrder) {
  std::vector<int> seen;
  const auto f = [&](int x) {
    seen.push_back(x);
    return Tracked{std::to_string(x)};
  };
  Tracked::mappends = 0;
  EXPECT_EQ(hs::foldMap<Tracked>(f, V{1, 2, 3, 4}).text, "(1<>(2<>(3<>4)))");
  EXPECT_EQ(Tracked::mappends, 3);
  EXPECT_EQ(seen, V({1, 2, 3, 4}));
  EXPECT_EQ(hs::foldMap_<Tracked>(f, V{1, 2}).text, "((e<>1)<>2)");
  EXPECT_EQ(hs::fold(std::vector<std::string>{"a", "b", "c"}), "abc");
  EXPECT_EQ(hs::fold(std::vector<std::string>{}), "");
}

TEST(Foldable, LazyLeftFoldDefersAllButTheLast) {
  int calls = 0;
  const int last = hs::foldl([&](const hs::Lazy<int>&, int x) { ++calls; return x; }, 0, V{5, 6, 7});
  EXPECT_EQ(last, 7);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(hs::foldl([](const hs::Lazy<int>& acc, int x) { return *acc * 10 + x; }, 0, V{1, 2, 3}), 123);
  EXPECT_EQ(hs::foldl([](const hs::Lazy<int>& acc, int x) { return *acc + x; }, 9, V{}), 9);
  EXPECT_EQ(hs::foldr_([](int x, int acc) { return acc * 10 + x; }, 0, V{1, 2, 3}), 321);
  EXPECT_EQ(hs::foldr([](int x, const hs::Lazy<int>& r) { return x + *r; }, 4, std::optional<int>(3)), 7);
}

// Ordered by key only, so that the element a maximum or minimum returns can be told apart.
struct Keyed {
  int key;
  char tag;
  friend bool operator<(const Keyed& a, const Keyed& b) { return a.key < b.key; }
};

TEST(Foldable, OfEqualExtremesMaximumTakesTheLastAndMinimumTheFirst) {
  const std::vector<Keyed> xs{{1, 'a'}, {3, 'b'}, {1, 'c'}, {3, 'd'}};
  EXPECT_EQ(hs::maximum(xs).tag, 'd');
  EXPECT_EQ(hs::minimum(xs).tag, 'a');
  EXPECT_EQ(hs::foldr1([](int x, int a) { return x * 10 + a; }, V{7}), 7);
  EXPECT_EQ(hs::sum(std::vector<double>{}), 0.0);
  EXPECT_EQ(hs::product(std::vector<double>{}), 1.0);
  EXPECT_FALSE(hs::elem(1, std::optional<int>()));
  EXPECT_TRUE(hs::null(std::vector<int>{}));
}

// A container of at most one element whose instance has its own foldMap (ending in mempty) and
// length; the other methods fall back to the defaults over toList.
template <class A>
struct Box {
  std::optional<A> item;
};
struct BoxTag {
  template <class X>
  using apply = Box<X>;
  static inline int lengths = 0;
};

}  // namespace

template <class A>
struct hs::TagOf<Box<A>> {
  using type = BoxTag;
  using value_type = A;
};
template <>
struct hs::Foldable<BoxTag> {
  template <class A>
  static std::vector<A> toList(const Box<A>& b) {
    if (!b.item) return {};
    return {*b.item};
  }
  template <class M, class F, class A>
  static M foldMap(F&& f, const Box<A>& b) {
    if (!b.item) return hs::mempty<M>();
    return hs::mappend<M>(f(*b.item), hs::mempty<M>());
  }
  template <class A>
  static std::int64_t length(const Box<A>& b) {
    ++BoxTag::lengths;
    return b.item ? 1 : 0;
  }
};

namespace {

TEST(Foldable, AnInstanceOwnMethodsAreUsed) {
  const Box<int> one{5};
  EXPECT_EQ(hs::foldMap<Tracked>([](int x) { return Tracked{std::to_string(x)}; }, one).text, "(5<>e)");
  BoxTag::lengths = 0;
  EXPECT_EQ(hs::length(one), 1);
  EXPECT_EQ(BoxTag::lengths, 1);
  EXPECT_EQ(hs::maximum(one), 5);
  EXPECT_EQ(hs::sum(one), 5);
  try {
    (void)hs::foldl1([](int a, int) { return a; }, Box<int>{});
    ADD_FAILURE() << "foldl1 of an empty box";
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), "foldl1: empty structure");
    EXPECT_TRUE(e.callStack().entries().empty());
  }
}

// ---- Semigroups ----------------------------------------------------------------------------

// A sum that counts its combinations.
struct Tally {
  std::int64_t n;
  static inline int mappends = 0;
};

}  // namespace

template <>
struct hs::Semigroup<Tally> {
  static Tally mappend(const Tally& a, const Tally& b) {
    ++Tally::mappends;
    return {a.n + b.n};
  }
};

namespace {

TEST(Semigroup, RepetitionNestsAsTheDefaultDoes) {
  const Tracked a{"a"};
  EXPECT_EQ(hs::stimesDefault(1, a).text, "a");
  EXPECT_EQ(hs::stimesDefault(3, a).text, "((a<>a)<>a)");
  EXPECT_EQ(hs::stimesDefault(5, a).text, "(((a<>a)<>(a<>a))<>a)");
  EXPECT_EQ(hs::stimesDefault(6, a).text, "(((a<>a)<>(a<>a))<>(a<>a))");
  Tally::mappends = 0;
  EXPECT_EQ(hs::stimesDefault(std::int64_t{1} << 40, Tally{1}).n, std::int64_t{1} << 40);
  EXPECT_EQ(Tally::mappends, 40);  // repeated squaring, not 2^40 steps
  Tally::mappends = 0;
  EXPECT_EQ(hs::stimesDefault(std::uint16_t{1000}, Tally{1}).n, 1000);
  EXPECT_LE(Tally::mappends, 20);
}

TEST(Semigroup, BaseInstancesRepeatAsTheBaseLibraryDoes) {
  using OS = std::optional<std::string>;
  EXPECT_EQ(hs::stimes(0, std::string("ab")), "");
  EXPECT_EQ(hs::stimes(std::uint64_t{3}, std::string("ab")), "ababab");
  EXPECT_EQ(hs::stimes(2, V{1, 2}), V({1, 2, 1, 2}));
  EXPECT_EQ(hs::stimes(std::int64_t{1} << 60, std::string()), "");
  EXPECT_EQ(hs::stimes(-4, OS()), OS());
  EXPECT_EQ(hs::stimes(0, OS("ab")), OS());
  EXPECT_EQ(hs::stimes(2, OS("ab")), OS("abab"));
  EXPECT_EQ(hs::stimes(2, std::pair<std::string, V>{"x", {1}}), (std::pair<std::string, V>{"xx", {1, 1}}));
  EXPECT_EQ(hs::stimes(0, hs::LT), hs::EQ);
  EXPECT_EQ(hs::stimes(9, hs::GT), hs::GT);
  EXPECT_EQ(hs::stimes(4, hs::Sum<int>{3}).value, 12);
  EXPECT_EQ(hs::stimes(0, hs::Sum<int>{3}).value, 0);
  EXPECT_EQ(hs::stimes(-2, hs::unit), hs::unit);
  EXPECT_EQ(hs::stimesMonoid(std::uint8_t{0}, std::string("x")), "");
  EXPECT_EQ(hs::stimesIdempotent(std::uint64_t{2}, std::string("x")), "x");
  EXPECT_EQ(hs::stimesIdempotentMonoid(std::uint64_t{0}, std::string("x")), "");
  EXPECT_EQ(hs::mconcat(std::vector<std::string>{}), "");
  EXPECT_EQ(hs::mappend(OS(), OS("a")), OS("a"));
  EXPECT_EQ(hs::mappend(hs::EQ, hs::GT), hs::GT);
  struct Case {
    std::function<void()> op;
    const char* message;
  };
  const Case cases[] = {
      {[] { (void)hs::stimes(-1, std::string("x")); }, "stimes: [], negative multiplier"},
      {[] { (void)hs::stimes(-1, V{1}); }, "stimes: [], negative multiplier"},
      {[] { (void)hs::stimes(-1, OS("x")); }, "stimes: Maybe, negative multiplier"},
      {[] { (void)hs::stimes(-1, hs::LT); }, "stimesIdempotentMonoid: negative multiplier"},
      {[] { (void)hs::stimesDefault(std::uint64_t{0}, std::string("x")); }, "stimes: positive multiplier expected"},
      {[] { (void)hs::stimes(0, Tracked{"a"}); }, "stimes: positive multiplier expected"},
  };
  for (const Case& c : cases) {
    try {
      c.op();
      ADD_FAILURE() << c.message;
    } catch (const hs::ProgramError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

// ---- Lifted comparisons --------------------------------------------------------------------

TEST(Lifted, ComparisonsStopAtTheFirstDecidingElement) {
  int calls = 0;
  const auto eqLen = [&](int n, const std::string& s) {
    ++calls;
    return static_cast<std::size_t>(n) == s.size();
  };
  EXPECT_TRUE(hs::liftEq(eqLen, V{1, 2}, std::vector<std::string>{"a", "bb"}));
  calls = 0;
  EXPECT_FALSE(hs::liftEq(eqLen, V{1, 2}, std::vector<std::string>{"a"}));
  EXPECT_EQ(calls, 1);  // the common prefix is compared before the lengths decide
  calls = 0;
  EXPECT_FALSE(hs::liftEq(eqLen, V{3, 2}, std::vector<std::string>{"a", "bb"}));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(hs::liftEq(eqLen, std::optional<int>(1), std::optional<std::string>()));

  int seconds = 0;
  const auto second = [&](int a, int b) {
    ++seconds;
    return hs::compare(a, b);
  };
  EXPECT_EQ(hs::liftCompare2(hs::Compare{}, second, std::pair<int, int>{1, 9}, std::pair<int, int>{2, 0}),
            hs::LT);
  EXPECT_EQ(seconds, 0);
  EXPECT_EQ(hs::liftCompare2(hs::Compare{}, second, std::pair<int, int>{1, 9}, std::pair<int, int>{1, 0}),
            hs::GT);
  EXPECT_EQ(seconds, 1);
  EXPECT_FALSE(hs::liftEq2(hs::Equal{}, eqLen, std::pair<int, int>{1, 2},
                           std::pair<int, std::string>{2, "xy"}));
  EXPECT_EQ(hs::liftCompare([](int a, const std::string& s) { return hs::compare<std::size_t>(a, s.size()); },
                            V{1, 2}, std::vector<std::string>{"a", "bbb"}),
            hs::LT);
}

// ---- Deep evaluation -----------------------------------------------------------------------

TEST(NFData, ReachesCellsInsideEveryBaseContainer) {
  int runs = 0;
  const auto cell = [&] { return hs::delay([&] { return ++runs; }); };
  const std::pair<hs::Lazy<int>, std::optional<hs::Lazy<int>>> p{cell(), cell()};
  const std::tuple<int, hs::Lazy<int>, std::string> t{1, cell(), "s"};
  const hs::Lazy<std::vector<hs::Lazy<int>>> nested = hs::delay([&] { return std::vector<hs::Lazy<int>>{cell()}; });
  hs::rnf(p);
  hs::rnf(t);
  EXPECT_EQ(runs, 3);
  EXPECT_TRUE(hs::force(nested)->at(0).evaluated());
  EXPECT_EQ(runs, 4);
  EXPECT_EQ(hs::deepseq(std::vector<hs::Lazy<int>>{cell()}, 'k'), 'k');
  EXPECT_EQ(runs, 5);
  const hs::Either<hs::Lazy<int>, int> left = hs::Left(cell());
  hs::rnf(left);
  EXPECT_TRUE(left.left().evaluated());
  int lefts = 0;
  int rights = 0;
  hs::liftRnf2([&](const auto&) { ++lefts; }, [&](const auto&) { ++rights; },
               hs::Either<int, int>(hs::Right(2)));
  EXPECT_EQ(lefts, 0);
  EXPECT_EQ(rights, 1);
  // A failing cell's error surfaces through rnf.
  const std::vector<hs::Lazy<int>> bad{hs::delay([]() -> int { throw std::runtime_error("boom"); })};
  EXPECT_THROW(hs::rnf(bad), std::runtime_error);
}

// ---- List conversion -----------------------------------------------------------------------

struct Bag {
  std::vector<int> items;
  static inline std::int64_t hinted = -1;
};
struct Hinted {
  std::vector<char> items;
};

}  // namespace

template <>
struct hs::IsList<Bag> {
  using Item = int;
  static Bag fromList(const std::vector<int>& xs) { return {xs}; }
  static std::vector<int> toList(const Bag& b) { return b.items; }
};
template <>
struct hs::IsList<Hinted> {
  using Item = char;
  static Hinted fromList(const std::vector<char>& xs) { return {xs}; }
  static Hinted fromListN(std::int64_t n, const std::vector<char>& xs) {
    Bag::hinted = n;
    return {xs};
  }
  static std::vector<char> toList(const Hinted& h) { return h.items; }
};

namespace {

TEST(IsList, ConvertsBothWaysAndTakesTheCountAsAHint) {
  EXPECT_EQ(hs::toItems(hs::fromList<Bag>({3, 1, 2})), V({3, 1, 2}));
  EXPECT_EQ(hs::fromListN<Bag>(99, {4}).items, V({4}));
  Bag::hinted = -1;
  EXPECT_EQ(hs::toItems(hs::fromListN<Hinted>(2, {'a', 'b'})), (std::vector<char>{'a', 'b'}));
  EXPECT_EQ(Bag::hinted, 2);
}

// ---- Values that nest through the platform's containers

// A chain of subtrees held in cells (so that it is freed without recursion), compared level by
// level through one of the lifted instances, or by Either's own comparisons.
struct Deep {
  std::int64_t label = 0;
  std::vector<hs::Lazy<Deep>> kids;
};
struct Chain {
  std::int64_t label = 0;
  hs::Lazy<hs::Either<std::int64_t, Chain>> next =
      hs::Either<std::int64_t, Chain>(hs::Left(std::int64_t{0}));
  friend bool operator==(const Chain& a, const Chain& b) {
    return a.label == b.label && *a.next == *b.next;
  }
  friend std::strong_ordering operator<=>(const Chain& a, const Chain& b) {
    if (a.label != b.label) return a.label <=> b.label;
    return *a.next <=> *b.next;
  }
};
enum class Via { Vector, Optional, Pair };

template <Via via>
struct DeepEq {
  bool operator()(const Deep& a, const Deep& b) const {
    if (a.label != b.label || a.kids.size() != b.kids.size()) return false;
    if (a.kids.empty()) return true;
    const auto cells = [this](const hs::Lazy<Deep>& x, const hs::Lazy<Deep>& y) {
      return (*this)(*x, *y);
    };
    if constexpr (via == Via::Vector)
      return hs::liftEq(cells, a.kids, b.kids);
    else if constexpr (via == Via::Optional)
      return hs::liftEq(cells, std::optional(a.kids[0]), std::optional(b.kids[0]));
    else
      return hs::liftEq2(hs::Equal{}, cells, std::pair(a.label, a.kids[0]),
                         std::pair(b.label, b.kids[0]));
  }
};
template <Via via>
struct DeepCompare {
  hs::Ordering operator()(const Deep& a, const Deep& b) const {
    if (a.label != b.label) return hs::compare(a.label, b.label);
    if (a.kids.empty() || b.kids.empty()) return hs::compare(a.kids.size(), b.kids.size());
    const auto cells = [this](const hs::Lazy<Deep>& x, const hs::Lazy<Deep>& y) {
      return (*this)(*x, *y);
    };
    if constexpr (via == Via::Vector)
      return hs::liftCompare(cells, a.kids, b.kids);
    else if constexpr (via == Via::Optional)
      return hs::liftCompare(cells, std::optional(a.kids[0]), std::optional(b.kids[0]));
    else
      return hs::liftCompare2(hs::Compare{}, cells, std::pair(a.label, a.kids[0]),
                              std::pair(b.label, b.kids[0]));
  }
};

// `depth` levels of one subtree each, down to a leaf labelled `bottom`.
Deep deepChain(std::int64_t depth, std::int64_t bottom) {
  Deep d{bottom, {}};
  for (std::int64_t i = 1; i < depth; ++i) d = Deep{0, {hs::Lazy<Deep>(std::move(d))}};
  return d;
}
Chain eitherChain(std::int64_t depth, std::int64_t bottom) {
  Chain c{0, hs::Either<std::int64_t, Chain>(hs::Left(bottom))};
  for (std::int64_t i = 1; i < depth; ++i)
    c = Chain{0, hs::Either<std::int64_t, Chain>(hs::Right(std::move(c)))};
  return c;
}

template <Via via>
void expectDeepComparisons(const Deep& a, const Deep& same, const Deep& other) {
  EXPECT_TRUE(DeepEq<via>{}(a, same)) << static_cast<int>(via);
  EXPECT_FALSE(DeepEq<via>{}(a, other)) << static_cast<int>(via);
  EXPECT_EQ(DeepCompare<via>{}(a, same), hs::EQ) << static_cast<int>(via);
  EXPECT_EQ(DeepCompare<via>{}(a, other), hs::LT) << static_cast<int>(via);
}

TEST(Lifted, ValuesNestedThroughContainersCompareOnASmallStack) {
  constexpr std::int64_t depth = 100000;
  const Deep a = deepChain(depth, 1), same = deepChain(depth, 1), other = deepChain(depth, 2);
  const Chain c = eitherChain(depth, 1), sameC = eitherChain(depth, 1), otherC = eitherChain(depth, 2);
  testing_support::onThreadStack(256 * 1024, [&] {
    expectDeepComparisons<Via::Vector>(a, same, other);
    expectDeepComparisons<Via::Optional>(a, same, other);
    expectDeepComparisons<Via::Pair>(a, same, other);
    EXPECT_TRUE(c == sameC);
    EXPECT_FALSE(c == otherC);
    EXPECT_EQ(c <=> sameC, std::strong_ordering::equal);
    EXPECT_TRUE(c < otherC);
  });
}

}  // namespace
