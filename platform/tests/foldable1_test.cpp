#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hs/foldable1.hpp"
#include "hs/list.hpp"
#include "testing/values.hpp"

namespace {

// Shows how a combination nested.
struct Nest {
  std::string text;
};
// Ordered by key only, so equal elements can be told apart by their tag.
struct Keyed {
  int key;
  char tag;
  friend bool operator<(const Keyed& a, const Keyed& b) { return a.key < b.key; }
};

}  // namespace

template <>
struct hs::Semigroup<Nest> {
  static Nest mappend(const Nest& a, const Nest& b) { return {"(" + a.text + "<>" + b.text + ")"}; }
};

namespace {

using NE = hs::NonEmpty<int>;
const auto nest = [](int x) { return Nest{std::to_string(x)}; };
const auto minus = [](int a, int b) { return a - b; };

TEST(Foldable1, OperationsOnNonEmptyAndIdentity) {
  const NE xs{1, {2, 3}};
  EXPECT_EQ(hs::foldMap1<Nest>(nest, xs).text, "(1<>(2<>3))");
  EXPECT_EQ(hs::foldMap1_<Nest>(nest, xs).text, "((1<>2)<>3)");
  EXPECT_EQ(hs::fold1(hs::NonEmpty<std::string>{"a", {"b", "c"}}), "abc");
  EXPECT_EQ(hs::toNonEmpty(xs), xs);
  EXPECT_EQ(hs::toNonEmpty(hs::Identity<int>{5}), (NE{5, {}}));
  EXPECT_EQ(hs::head(xs), 1);
  EXPECT_EQ(hs::last(xs), 3);
  EXPECT_EQ(hs::head(hs::Identity<int>{4}), 4);
  EXPECT_EQ(hs::last(NE{9, {}}), 9);
  // Right folds nest to the right, left folds to the left, lazy or strict alike.
  const auto id = [](int x) { return x; };
  const auto lazyMinusR = [](int a, const hs::Lazy<int>& b) { return a - *b; };
  const auto lazyMinusL = [](const hs::Lazy<int>& a, int b) { return *a - b; };
  EXPECT_EQ(hs::foldrMap1(id, lazyMinusR, xs), 2);   // 1 - (2 - 3)
  EXPECT_EQ(hs::foldrMap1_(id, minus, xs), 2);
  EXPECT_EQ(hs::foldlMap1_(id, minus, xs), -4);      // (1 - 2) - 3
  EXPECT_EQ(hs::foldlMap1(id, lazyMinusL, xs), -4);
  EXPECT_EQ(hs::foldlMap1(id, lazyMinusL, hs::Identity<int>{7}), 7);
  EXPECT_EQ(hs::foldrMap1(id, lazyMinusR, hs::Identity<int>{7}), 7);
  // Of equal elements maximum keeps the later, minimum the earlier.
  const hs::NonEmpty<Keyed> ks{{1, 'a'}, {{3, 'b'}, {0, 'c'}, {3, 'd'}, {0, 'e'}}};
  EXPECT_EQ(hs::maximum1(ks).tag, 'd');
  EXPECT_EQ(hs::minimum1(ks).tag, 'c');
}

TEST(Foldable1, LazyFoldsStopWhereTheFunctionStops) {
  const NE endless{0, hs::iterate([](int x) { return x + 1; }, 1)};
  EXPECT_EQ(hs::head(endless), 0);
  EXPECT_EQ(hs::foldrMap1([](int x) { return x; },
                          [](int x, const hs::Lazy<int>& rest) { return x >= 3 ? x : *rest; },
                          endless),
            3);
  // A rest that is never demanded is never computed, so its failure never surfaces.
  const NE broken{1, hs::List<int>::cons(2, hs::List<int>::defer([]() -> hs::List<int> {
                        throw testing_support::TestFailure("rest");
                      }))};
  EXPECT_EQ(hs::foldrMap1([](int x) { return x; }, [](int x, const hs::Lazy<int>&) { return x; },
                          broken),
            1);
  EXPECT_THROW((void)hs::last(broken), testing_support::TestFailure);
  int calls = 0;
  EXPECT_EQ(hs::foldlMap1([&](int x) { ++calls; return x; },
                          [](const hs::Lazy<int>&, int x) { return x * 10; }, NE{1, {2, 3}}),
            30);
  EXPECT_EQ(calls, 0);
}

}  // namespace
