#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/list.hpp"
#include "hs/nfdata.hpp"
#include "hs/semigroup.hpp"
#include "hs/show.hpp"
#include "testing/stacks.hpp"
#include "testing/values.hpp"

namespace {

using hs::List;
using V = std::vector<int>;
using testing_support::TestFailure;

List<int> naturals() {
  return hs::iterate([](int x) { return x + 1; }, 0);
}
// A list whose cells after the first k fail when produced.
List<int> brokenAfter(int k) {
  if (k == 0) return List<int>::defer([]() -> List<int> { throw TestFailure("spine"); });
  return List<int>::cons(k, List<int>::defer([k] { return brokenAfter(k - 1); }));
}

TEST(List, ConstructionAndObservation) {
  const List<int> empty;
  EXPECT_TRUE(empty.null());
  EXPECT_EQ(empty.uncons(), std::nullopt);
  EXPECT_THROW((void)empty.head(), hs::ProgramError);
  EXPECT_THROW((void)empty.tail(), hs::ProgramError);
  const List<int> xs{1, 2, 3};
  EXPECT_EQ(xs.toVector(), V({1, 2, 3}));
  EXPECT_EQ(xs.head(), 1);
  EXPECT_EQ(xs.tail().toVector(), V({2, 3}));
  const auto u = xs.uncons();
  ASSERT_TRUE(u.has_value());
  EXPECT_EQ(u->first, 1);
  EXPECT_TRUE(hs::ptrEq(u->second, xs.tail()));  // the rest is shared, not copied
  EXPECT_EQ(List<int>(V{4, 5}), List<int>::cons(4, List<int>{5}));
  EXPECT_FALSE(List<int>({1, 2}) == List<int>({1, 2, 3}));
  EXPECT_FALSE(List<int>({1, 3}) == List<int>({1, 2}));
  EXPECT_EQ(hs::take(2, xs).toVector(), V({1, 2}));
  EXPECT_EQ(hs::take(9, xs).toVector(), V({1, 2, 3}));
  EXPECT_EQ(hs::unfoldr([](int n) -> std::optional<std::pair<int, int>> {
              if (n == 0) return std::nullopt;
              return std::pair(n, n - 1);
            }, 3).toVector(),
            V({3, 2, 1}));
  EXPECT_EQ(hs::show(xs), "[1,2,3]");
  EXPECT_EQ(hs::show(List<char32_t>{U'h', U'i'}), "\"hi\"");
  EXPECT_EQ(hs::show(hs::NonEmpty<int>{1, {2, 3}}), "1 :| [2,3]");
  EXPECT_EQ(hs::show(std::optional(hs::NonEmpty<int>{-1, {}})), "Just (-1 :| [])");
  EXPECT_EQ((hs::NonEmpty<int>{1, {2}}), (hs::NonEmpty<int>{1, {2}}));
  EXPECT_EQ((hs::NonEmpty<int>{1, {2}}.toVector()), V({1, 2}));
}

TEST(List, EndlessListsAreProducedOnlyAsFarAsDemanded) {
  EXPECT_EQ(hs::take(4, naturals()).toVector(), V({0, 1, 2, 3}));
  EXPECT_EQ(hs::take(3, hs::repeat(7)).toVector(), V({7, 7, 7}));
  const List<int> stepped = hs::iterate(
      [](int x) {
        if (x == 2) throw TestFailure("step");
        return x + 1;
      },
      0);
  EXPECT_EQ(hs::take(3, stepped).toVector(), V({0, 1, 2}));  // the failing step is not reached
  EXPECT_THROW((void)hs::take(4, stepped).toVector(), TestFailure);
  int calls = 0;
  const List<int> squares = hs::fmap([&](int x) { ++calls; return x * x; }, naturals());
  const List<int> evens = hs::filter([](int x) { return x % 2 == 0; }, squares);
  const List<std::string> small =
      hs::mapMaybe([](int x) { return x < 50 ? std::optional(std::to_string(x)) : std::nullopt; },
                   evens);
  EXPECT_EQ(calls, 0);  // building producers runs nothing
  EXPECT_EQ(hs::take(3, evens).toVector(), V({0, 4, 16}));
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(hs::take(3, small).toVector(), std::vector<std::string>({"0", "4", "16"}));
  EXPECT_EQ(calls, 5);  // cells are shared: f ran once per element reached
  std::string seen;
  for (int x : evens) {
    if (x > 40) break;
    seen += std::to_string(x) + ",";
  }
  EXPECT_EQ(seen, "0,4,16,36,");
  // take(0) and a failing rest that is never reached.
  const List<int> broken = List<int>::defer([]() -> List<int> { throw TestFailure("never"); });
  EXPECT_TRUE(hs::take(0, broken).null());
  EXPECT_FALSE(broken.evaluated());
  EXPECT_EQ(hs::take(2, brokenAfter(3)).toVector(), V({3, 2}));
  EXPECT_THROW((void)brokenAfter(3).toVector(), TestFailure);
}

TEST(List, FailuresStayInTheirCells) {
  // Elements held as cells are never forced by the spine's producers.
  using LI = hs::Lazy<int>;
  const List<LI> cells{LI(1), testing_support::throwing<int>("element"), LI(3)};
  const auto firsts = hs::take(3, hs::filter([](const LI& c) { return c.evaluated(); }, cells));
  EXPECT_EQ(hs::fmap([](const LI& c) { return *c; }, firsts).toVector(), V({1, 3}));
  // A failing function fails the one cell it was producing, at every demand, and runs once.
  int runs = 0;
  const List<int> mapped = hs::fmap(
      [&](int x) {
        ++runs;
        if (x == 2) throw TestFailure("f");
        return x;
      },
      List<int>{1, 2, 3});
  EXPECT_EQ(mapped.head(), 1);
  EXPECT_THROW((void)mapped.tail().head(), TestFailure);
  EXPECT_THROW((void)mapped.tail().null(), TestFailure);
  EXPECT_EQ(runs, 2);
  // Deep evaluation reaches every cell and every element, in order.
  const List<LI> late{LI(1), hs::delay([] { return 2; })};
  hs::rnf(late);
  EXPECT_TRUE(late.tail().head().evaluated());
  EXPECT_THROW(hs::rnf(cells), TestFailure);
  EXPECT_THROW(hs::rnf(hs::NonEmpty<int>{0, brokenAfter(2)}), TestFailure);
}

TEST(List, LongListsWalkAndFreeInConstantStack) {
  constexpr int n = 1'000'000;
  {
    V big(n);
    for (int i = 0; i < n; ++i) big[i] = i;
    const List<int> xs(big);
    EXPECT_EQ(xs.toVector().size(), std::size_t(n));
  }
  constexpr int m = 200'000;  // deeper than the stack would allow one frame per cell
  {
    // Produced lazily, fully forced, dropped from the head.
    List<int> xs = hs::take(m, naturals());
    std::int64_t sum = 0;
    for (int x : xs) sum += x;
    EXPECT_EQ(sum, std::int64_t(m) * (m - 1) / 2);
  }
  {
    // A filter that skips many elements, and a chain of producers each built on the last.
    const List<int> far = hs::filter([](int x) { return x == m; }, naturals());
    EXPECT_EQ(far.head(), m);
    List<int> chain = naturals();
    for (int i = 0; i < 100'000; ++i) chain = hs::fmap([](int x) { return x + 1; }, chain);
    EXPECT_EQ(chain.head(), 100'000);
  }
  {
    List<int> unforced = hs::take(m, naturals());
    for (int i = 0; i < 100'000; ++i) unforced = hs::filter([](int) { return true; }, unforced);
  }
}

TEST(NonEmpty, MapFoldTraverseAndCombine) {
  const hs::NonEmpty<int> xs{1, {2, 3}};
  EXPECT_EQ(hs::fmap([](int x) { return x * 2; }, xs), (hs::NonEmpty<int>{2, {4, 6}}));
  EXPECT_EQ(hs::toList(xs), V({1, 2, 3}));
  EXPECT_FALSE(hs::null(xs));
  EXPECT_EQ(hs::sum(xs), 6);
  const auto logged =
      hs::traverse([](int x) { return hs::Writer<std::string, int>{-x, std::to_string(x)}; }, xs);
  EXPECT_EQ(logged.log, "123");
  EXPECT_EQ(logged.value, (hs::NonEmpty<int>{-1, {-2, -3}}));
  EXPECT_EQ(hs::sconcat(hs::NonEmpty<std::string>{"a", {"b", "c"}}), "abc");
  EXPECT_TRUE(hs::null(List<int>()));
  EXPECT_EQ(hs::traverse([](int x) { return std::optional(x); }, List<int>{1, 2}),
            std::optional(List<int>{1, 2}));
}

// A tree whose subtrees are a list, equal by the list's ==.
struct Rose {
  List<Rose> kids;
  friend bool operator==(const Rose&, const Rose&) = default;
};
struct RoseTail {
  hs::NonEmpty<Rose> kids;
  friend bool operator==(const RoseTail&, const RoseTail&) = default;
};

// `depth` levels of one-element lists, down to an empty list or to a list of one leaf.
Rose roseChain(int depth, bool longer) {
  Rose r{longer ? List<Rose>{Rose{}} : List<Rose>{}};
  for (int i = 1; i < depth; ++i) r = Rose{List<Rose>::cons(std::move(r), List<Rose>{})};
  return r;
}

TEST(List, ElementsNestedThroughListsCompareOnASmallStack) {
  constexpr int depth = 100000;
  const Rose a = roseChain(depth, false), same = roseChain(depth, false), other = roseChain(depth, true);
  const RoseTail t{{Rose{}, {a}}}, sameT{{Rose{}, {same}}}, otherT{{Rose{}, {other}}};
  testing_support::onThreadStack(256 * 1024, [&] {
    EXPECT_TRUE(a == same);
    EXPECT_FALSE(a == other);
    EXPECT_TRUE(t == sameT);
    EXPECT_FALSE(t == otherT);
  });
}

}  // namespace
