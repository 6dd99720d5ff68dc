#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/either.hpp"
#include "hs/list.hpp"
#include "hs/monad.hpp"

namespace {

using V = std::vector<int>;
using W = hs::Writer<std::string, int>;
using St = hs::State<std::string, int>;
using E = hs::Either<std::string, int>;

// A state step that appends its tag to the state and returns the state's length before.
St step(const std::string& tag) {
  return St{[tag](std::string s) {
    const int before = static_cast<int>(s.size());
    return std::pair<int, std::string>(before, s + tag);
  }};
}

// The three monad laws over a few values and functions of one monad; eq compares computations.
template <class Tag, class M, class K1, class K2, class Eq>
void checkLaws(const std::vector<M>& ms, K1 k1, K2 k2, Eq eq) {
  for (int a : {0, 3})
    EXPECT_TRUE(eq(hs::bind(hs::return_<Tag>(a), k1), k1(a))) << "left identity at " << a;
  for (const M& m : ms) {
    EXPECT_TRUE(eq(hs::bind(m, [](int x) { return hs::return_<Tag>(x); }), m)) << "right identity";
    EXPECT_TRUE(eq(hs::bind(hs::bind(m, k1), k2),
                   hs::bind(m, [&](int x) { return hs::bind(k1(x), k2); })))
        << "associativity";
  }
}

TEST(Monad, Laws) {
  const auto same = [](const auto& a, const auto& b) { return a == b; };
  checkLaws<hs::MaybeTag>(
      std::vector<std::optional<int>>{std::nullopt, 4},
      [](int x) { return x > 2 ? std::optional(x * 2) : std::nullopt; },
      [](int x) { return std::optional(x + 1); }, same);
  checkLaws<hs::ListTag>(std::vector<V>{{}, {1, 2}}, [](int x) { return V{x, -x}; },
                         [](int x) { return x > 0 ? V{x, x} : V{}; }, same);
  checkLaws<hs::WriterTag<std::string>>(
      std::vector<W>{{1, "a"}, {2, ""}}, [](int x) { return W{x + 1, "k" + std::to_string(x)}; },
      [](int x) { return W{x * 3, "j"}; }, same);
  checkLaws<hs::EitherTag<std::string>>(
      std::vector<E>{hs::Left(std::string("no")), hs::Right(5)},
      [](int x) { return x > 4 ? E(hs::Left(std::string("big"))) : E(hs::Right(x + 1)); },
      [](int x) { return E(hs::Right(x * 2)); }, same);
  checkLaws<hs::IdentityTag>(std::vector<hs::Identity<int>>{{7}},
                             [](int x) { return hs::Identity<int>{x + 1}; },
                             [](int x) { return hs::Identity<int>{x * 2}; }, same);
  const auto sameRun = [](const St& a, const St& b) { return a("s") == b("s"); };
  checkLaws<hs::StateTag<std::string>>(
      std::vector<St>{step("a")}, [](int x) { return x > 1 ? step("x") : step("y"); },
      [](int) { return step("z"); }, sameRun);
}

TEST(Monad, BindStopsWithoutAValue) {
  int calls = 0;
  const auto k = [&](int x) {
    ++calls;
    return std::optional(x);
  };
  EXPECT_EQ(hs::bind(std::optional<int>(), k), std::nullopt);
  const auto left = hs::bind(E(hs::Left(std::string("stop"))), [&](int x) {
    ++calls;
    return E(hs::Right(x));
  });
  EXPECT_EQ(left, E(hs::Left(std::string("stop"))));
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(hs::then(std::optional(1), std::optional(std::string("b"))), std::optional(std::string("b")));
  EXPECT_EQ(hs::then(W{1, "a"}, W{2, "b"}), (W{2, "ab"}));
  const St thenB = hs::then(step("a"), step("b"));  // runs after both arguments are gone
  EXPECT_EQ(thenB("x"), (std::pair<int, std::string>(2, "xab")));
}

// A computation built on another holds it shared: copying a tall stack of binds copies none of
// the computations below.
TEST(Monad, StateComputationsShareWhatTheyAreBuiltOn) {
  struct Counted {
    int* copies;
    Counted(int* c) : copies(c) {}
    Counted(const Counted& o) : copies(o.copies) { ++*copies; }
    std::pair<int, std::string> operator()(std::string s) const { return {1, std::move(s)}; }
  };
  int copies = 0;
  St m{Counted(&copies)};
  const int before = copies;
  for (int i = 0; i < 50; ++i) m = hs::bind(m, [](int x) { return St{[x](std::string s) { return std::pair<int, std::string>{x + 1, std::move(s)}; }}; });
  m = hs::fmap([](int x) { return x * 2; }, m);
  std::vector<St> held(10, m);
  EXPECT_LE(copies, before + 1);  // the one copy into the first bind
  EXPECT_EQ(held[3]("").first, 102);
}

TEST(Monad, TraversalRunsEffectsInElementOrder) {
  // Writer: logs in element order; state: each step sees the state the one before left.
  const auto logged = hs::mapM([](int x) { return W{x * 10, std::to_string(x)}; }, V{3, 1, 2});
  EXPECT_EQ(logged.log, "312");
  EXPECT_EQ(logged.value, V({30, 10, 20}));
  const auto run = hs::mapM([](int x) { return step(std::to_string(x)); }, V{5, 6, 7})("");
  EXPECT_EQ(run.first, V({0, 1, 2}));
  EXPECT_EQ(run.second, "567");
  // Either stops at the first Left, calling nothing after it.
  std::string seen;
  const auto stopped = hs::mapM(
      [&](int x) {
        seen += std::to_string(x);
        return x == 2 ? hs::Either<std::string, int>(hs::Left(std::string("two")))
                      : hs::Either<std::string, int>(hs::Right(x));
      },
      V{1, 2, 3});
  EXPECT_TRUE(stopped.isLeft());
  EXPECT_EQ(stopped.left(), "two");
  EXPECT_EQ(seen, "12");
  EXPECT_EQ(hs::sequence(std::vector<std::optional<int>>{1, 2}), std::optional(V{1, 2}));
  // Binds nest in the order written: the state threads left to right.
  const auto both = hs::bind(step("a"), [](int x) {
    return hs::bind(step("b"), [x](int y) { return hs::return_<hs::StateTag<std::string>>(x * 10 + y); });
  });
  EXPECT_EQ(both("xy"), (std::pair<int, std::string>(23, "xyab")));
}

TEST(Either, FunctorApplicativeAndPartition) {
  EXPECT_EQ(hs::fmap([](int x) { return x + 1; }, E(hs::Right(1))), E(hs::Right(2)));
  bool restRan = false;
  const auto l = hs::liftA2([](int a, int b) { return a + b; }, E(hs::Left(std::string("l"))),
                            [&] { restRan = true; return E(hs::Right(1)); });
  EXPECT_EQ(l, E(hs::Left(std::string("l"))));
  EXPECT_FALSE(restRan);
  const hs::List<E> xs{hs::Right(1), hs::Left(std::string("a")), hs::Right(2)};
  const auto [ls, rs] = hs::partitionEithers(xs);
  EXPECT_EQ(ls.toVector(), std::vector<std::string>({"a"}));
  EXPECT_EQ(rs.toVector(), V({1, 2}));
  // Each side of an endless list yields its entries on demand.
  const auto endless = hs::fmap(
      [](int i) { return i % 3 == 0 ? E(hs::Left(std::to_string(i))) : E(hs::Right(i)); },
      hs::iterate([](int i) { return i + 1; }, 0));
  const auto [els, ers] = hs::partitionEithers(endless);
  EXPECT_EQ(hs::take(3, els).toVector(), std::vector<std::string>({"0", "3", "6"}));
  EXPECT_EQ(hs::take(3, ers).toVector(), V({1, 2, 4}));
}

}  // namespace
