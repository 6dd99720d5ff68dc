#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "hs/classes1.hpp"
#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/islist.hpp"
#include "hs/nfdata.hpp"
#include "hs/semigroup.hpp"

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
  friend bool operator==(const Tracked&, const Tracked&) = default;
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
      {[] { hs::foldr1([](int a, int) { return a; }, V{}); }, "foldr1: empty structure"},
      {[] { hs::foldl1([](int a, int) { return a; }, V{}); }, "foldl1: empty structure"},
      {[] { hs::maximum(V{}); }, "maximum: empty structure"},
      {[] { hs::minimum(std::optional<int>()); }, "minimum: empty structure"},
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
      {[] { hs::stimesDefault(0, std::string("x")); }, "stimes: positive multiplier expected"},
      {[] { hs::stimesMonoid(-1, std::string("x")); }, "stimesMonoid: negative multiplier"},
      {[] { hs::stimesIdempotent(0L, std::string("x")); }, "stimesIdempotent: positive multiplier expected"},
      {[] { hs::stimesIdempotentMonoid(-2, std::string("x")); },
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
