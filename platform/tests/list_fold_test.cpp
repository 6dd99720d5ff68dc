// Folds of the lazy and non-empty lists: they walk the cells as far as the answer needs, so they
// answer on endless lists where the answer is near the front, and agree with the vector's folds.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "hs/call.hpp"
#include "hs/error.hpp"
#include "hs/foldable.hpp"
#include "hs/foldable1.hpp"
#include "hs/functor.hpp"
#include "hs/list.hpp"
#include "hs/semigroup.hpp"
#include "hs/show.hpp"
#include "hs/unit.hpp"
#include "testing/stacks.hpp"
#include "testing/values.hpp"

namespace {

using hs::List;
using hs::NonEmpty;
using testing_support::TestFailure;
using Int = std::int64_t;
using LI = hs::Lazy<Int>;

// Runs body; a body still running after the deadline stops the test program with a failure, so
// a fold that never returns fails its test instead of hanging the run. (The endless lists below
// also fail when walked far: a walk of an endless list holds every cell it produced, and would
// run out of memory before any deadline.)
void withinSeconds(int seconds, const std::function<void()>& body) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(m);
    if (!cv.wait_for(lock, std::chrono::seconds(seconds), [&] { return done; })) {
      std::fprintf(stderr, "FAILED: no answer within %d s (a fold walked an endless list)\n", seconds);
      std::_Exit(1);
    }
  });
  struct Finish {
    std::mutex& m;
    std::condition_variable& cv;
    bool& done;
    std::thread& watchdog;
    ~Finish() {
      {
        std::lock_guard<std::mutex> lock(m);
        done = true;
      }
      cv.notify_one();
      watchdog.join();
    }
  } finish{m, cv, done, watchdog};
  body();
}

// 0, 1, 2, ... produced on demand, counting the cells produced; producing the cell of `limit`
// fails, so a fold that does not stop fails (instead of walking on).
List<Int> guarded(std::shared_ptr<int> produced, Int limit = 10'000) {
  return hs::unfoldr(
      [produced, limit](Int n) -> std::optional<std::pair<Int, Int>> {
        if (n == limit) throw TestFailure("walked past the answer");
        ++*produced;
        return std::pair<Int, Int>(n, n + 1);
      },
      Int{0});
}
// 0, 1, 2, ...; the step past `limit` fails.
List<Int> naturals(Int limit = 10'000'000) {
  return hs::iterate(
      [limit](Int x) {
        if (x == limit) throw TestFailure("walked past the answer");
        return x + 1;
      },
      Int{0});
}
// k, k-1, ..., 1, then a cell that fails when produced.
List<Int> brokenAfter(Int k) {
  if (k == 0) return List<Int>::defer([]() -> List<Int> { throw TestFailure("spine"); });
  return List<Int>::cons(k, List<Int>::defer([k] { return brokenAfter(k - 1); }));
}
hs::Ordering past(Int bound, Int x) {
  return x < bound ? hs::EQ : hs::GT;
}
// x + rest until x reaches the bound, forcing the rest only below it.
const auto sumTo = [](Int bound) {
  return [bound](Int x, const LI& rest) -> Int { return x >= bound ? x : x + *rest; };
};

// A fold over an endless list, its answer's text form and the cells the answer needs produced.
template <class T>
struct EndlessCase {
  const char* name;
  std::function<std::string(const T&)> run;
  std::string answer;
  int cells;
};
// Each case over a fresh guarded list, made into a T by `make`, all under one deadline.
template <class T>
void runEndless(const std::vector<EndlessCase<T>>& cases, const std::function<T(const List<Int>&)>& make) {
  withinSeconds(60, [&] {
    for (const EndlessCase<T>& c : cases) {
      auto produced = std::make_shared<int>(0);
      try {
        EXPECT_EQ(c.run(make(guarded(produced))), c.answer) << c.name;
      } catch (const TestFailure& e) {
        ADD_FAILURE() << c.name << ": " << e.what();
      }
      EXPECT_EQ(*produced, c.cells) << c.name;
    }
  });
}

TEST(ListFolds, AnswerOnEndlessListsAsFarAsNeeded) {
  using L = List<Int>;
  runEndless<L>(
      {
          {"elem", [](const L& xs) { return hs::show(hs::elem(Int{3}, xs)); }, "True", 4},
          {"elem of iterate", [](const L&) { return hs::show(hs::elem(Int{3}, naturals(10))); }, "True", 0},
          {"null", [](const L& xs) { return hs::show(hs::null(xs)); }, "False", 1},
          {"foldr stops where f does", [](const L& xs) { return hs::show(hs::foldr(sumTo(3), Int{0}, xs)); },
           "6", 4},
          {"foldr ignoring the rest",
           [](const L& xs) { return hs::show(hs::foldr([](Int x, const LI&) { return x; }, Int{9}, xs)); },
           "0", 1},
          // foldr1 forces one cell ahead: the last element is folded differently.
          {"foldr1 on cells", [](const L& xs) { return hs::show(hs::foldr1(hs::onCells(sumTo(3)), xs)); },
           "6", 5},
          {"foldMap into Ordering",
           [](const L& xs) {
             return hs::show(hs::foldMap<hs::Ordering>([](Int x) { return past(4, x); }, xs));
           },
           "GT", 5},
          {"foldMap into unit",
           [](const L& xs) { return hs::show(hs::foldMap<hs::Unit>([](Int) { return hs::unit; }, xs)); },
           "()", 1},
          {"fold of Orderings",
           [](const L& xs) { return hs::show(hs::fold(hs::fmap([](Int x) { return past(2, x); }, xs))); },
           "GT", 3},
          {"elem through producers",
           [](const L& xs) {
             const L evens =
                 hs::filter([](Int x) { return x % 4 == 0; }, hs::fmap([](Int x) { return 2 * x; }, xs));
             return hs::show(hs::elem(Int{20}, evens));
           },
           "True", 11},
      },
      [](const L& xs) { return xs; });
}

TEST(NonEmptyFolds, AnswerOnEndlessListsAsFarAsNeeded) {
  using N = NonEmpty<Int>;
  const auto id = [](Int x) { return x; };
  const auto pastFour = [](Int x) { return past(4, x); };
  runEndless<N>(
      {
          {"elem of the head", [](const N& xs) { return hs::show(hs::elem(Int{-1}, xs)); }, "True", 0},
          {"elem", [](const N& xs) { return hs::show(hs::elem(Int{3}, xs)); }, "True", 4},
          {"null", [](const N& xs) { return hs::show(hs::null(xs)); }, "False", 0},
          {"head", [](const N& xs) { return hs::show(hs::head(xs)); }, "-1", 0},
          {"foldr", [](const N& xs) { return hs::show(hs::foldr(sumTo(3), Int{0}, xs)); }, "5", 4},
          {"foldr1 on cells", [](const N& xs) { return hs::show(hs::foldr1(hs::onCells(sumTo(3)), xs)); },
           "5", 5},
          {"foldrMap1", [id](const N& xs) { return hs::show(hs::foldrMap1(id, sumTo(2), xs)); }, "2", 4},
          {"foldMap", [pastFour](const N& xs) { return hs::show(hs::foldMap<hs::Ordering>(pastFour, xs)); },
           "GT", 5},
          {"foldMap1", [pastFour](const N& xs) { return hs::show(hs::foldMap1<hs::Ordering>(pastFour, xs)); },
           "GT", 5},
          {"fold1 and sconcat of Orderings",
           [](const N& xs) {
             const NonEmpty<hs::Ordering> os = hs::fmap([](Int x) { return past(2, x); }, xs);
             return hs::show(hs::fold1(os)) + hs::show(hs::sconcat(os));
           },
           "GTGT", 3},
      },
      [](const List<Int>& xs) {
        return N{-1, xs};
      });
}

// A rest that is never demanded is never produced, so its failure never surfaces; one that is
// demanded fails the fold. Walking forces no element.
TEST(ListFolds, LazyRightFoldsForceOnlyTheDemandedRest) {
  const auto first = [](Int x, const LI&) { return x; };
  const auto all = [](Int x, const LI& rest) { return x + *rest; };
  EXPECT_EQ(hs::foldr(first, Int{0}, brokenAfter(2)), 2);
  EXPECT_EQ(hs::foldr([](Int x, const LI& rest) { return x == 1 ? x : x + *rest; }, Int{0}, brokenAfter(3)),
            3 + 2 + 1);
  EXPECT_THROW((void)hs::foldr(all, Int{0}, brokenAfter(3)), TestFailure);
  EXPECT_EQ(hs::foldr1(hs::onCells(first), brokenAfter(2)), 2);
  EXPECT_THROW((void)hs::foldr1(hs::onCells(first), brokenAfter(1)), TestFailure);  // is 1 the last?
  EXPECT_THROW((void)hs::foldr1([](Int x, Int) { return x; }, brokenAfter(2)), TestFailure);
  EXPECT_THROW((void)hs::foldr1(hs::onCells(first), List<Int>()), hs::ProgramError);
  // Elements that are cells stay unforced unless the function forces them.
  const List<LI> cells{LI(1), testing_support::throwing<Int>("element"), LI(3)};
  EXPECT_EQ(hs::length(cells), 3);
  EXPECT_EQ(hs::foldl_([](Int n, const LI& c) { return n + (c.evaluated() ? 1 : 0); }, Int{0}, cells), 2);
  // Forcing every rest nests one call per element, on heap stack segments past the thread's.
  const Int n = testing_support::fullDepth ? 100'000 : 10'000;
  EXPECT_EQ(hs::foldr(all, Int{0}, hs::take(n, naturals())), n * (n - 1) / 2);
}

// Every fold of a finite list gives what the same fold of the vector of its elements gives:
// nesting, order of calls, ties, empty cases and their errors.
TEST(ListFolds, AgreeWithTheVectorFolds) {
  using S = std::string;
  // Ordered by value only; the text tells equal ones apart.
  struct Tagged {
    Int v;
    S tag;
    bool operator<(const Tagged& o) const { return v < o.v; }
  };
  const auto r = [](const S& x, const S& acc) { return "(" + x + " " + acc + ")"; };
  const auto l = [](const S& acc, const S& x) { return "(" + acc + " " + x + ")"; };
  const auto lr = [](const S& x, const hs::Lazy<S>& acc) { return "(" + x + " " + *acc + ")"; };
  const auto ll = [](const hs::Lazy<S>& acc, const S& x) { return "(" + *acc + " " + x + ")"; };
  const auto orError = [](const std::function<S()>& f) -> S {
    try {
      return f();
    } catch (const hs::ProgramError& e) {
      return S("error: ") + e.what();
    }
  };
  // Every fold's answer as text, for a structure of strings (and the numbers they spell).
  const auto answers = [&](const auto& t) {
    std::vector<S> out;
    out.push_back(hs::show(hs::toList(t)));
    out.push_back(hs::foldr(lr, S("z"), t));
    out.push_back(hs::foldl(ll, S("z"), t));
    out.push_back(hs::foldr_(r, S("z"), t));
    out.push_back(hs::foldl_(l, S("z"), t));
    out.push_back(hs::foldMap<S>([](const S& x) { return "<" + x + ">"; }, t));
    out.push_back(hs::foldMap_<S>([](const S& x) { return "<" + x + ">"; }, t));
    out.push_back(hs::fold(t));
    out.push_back(hs::show(
        hs::foldMap<hs::Ordering>([](const S& x) { return hs::compare(x.size(), S("33").size()); }, t)));
    out.push_back(hs::show(hs::null(t)) + hs::show(hs::length(t)) + hs::show(hs::elem(S("7"), t)) +
                  hs::show(hs::elem(S("x"), t)));
    out.push_back(orError([&] { return hs::foldr1(r, t); }));
    out.push_back(orError([&] { return hs::foldl1(l, t); }));
    out.push_back(orError([&] { return hs::maximum(t); }));
    out.push_back(orError([&] { return hs::minimum(t); }));
    const auto numbers = hs::fmap([](const S& x) { return Int(std::stoll(x)) % 3; }, t);
    out.push_back(hs::show(hs::sum(numbers)) + " " + hs::show(hs::product(numbers)));
    const auto tagged = hs::fmap([](const S& x) { return Tagged{Int(std::stoll(x)) % 3, x}; }, t);
    out.push_back(orError([&] { return hs::maximum(tagged).tag + " " + hs::minimum(tagged).tag; }));
    return out;
  };
  std::mt19937 rng(1234);
  for (int round = 0; round < 200; ++round) {
    const int n = round < 10 ? round : static_cast<int>(rng() % 40);
    std::vector<S> xs;
    for (int i = 0; i < n; ++i) xs.push_back(std::to_string(rng() % 50));
    const std::vector<S> want = answers(xs);
    EXPECT_EQ(answers(List<S>(xs)), want) << hs::show(xs);
    // The same elements produced on demand, through a producer.
    EXPECT_EQ(answers(hs::fmap([](const S& x) { return x; }, List<S>(xs))), want) << hs::show(xs);
    if (n > 0) {
      const NonEmpty<S> ne{xs[0], List<S>(std::vector<S>(xs.begin() + 1, xs.end()))};
      EXPECT_EQ(answers(ne), want) << hs::show(xs);
      EXPECT_EQ(hs::foldMap1<S>([](const S& x) { return "<" + x + ">"; }, ne),
                hs::foldMap<S>([](const S& x) { return "<" + x + ">"; }, xs));
      EXPECT_EQ(hs::foldMap1_<S>([](const S& x) { return "<" + x + ">"; }, ne),
                hs::foldMap_<S>([](const S& x) { return "<" + x + ">"; }, xs));
      EXPECT_EQ(hs::fold1(ne), hs::fold(xs));
      EXPECT_EQ(hs::sconcat(ne), hs::fold(xs));
      EXPECT_EQ(hs::last(ne), xs.back());
      EXPECT_EQ(hs::maximum1(ne), hs::maximum(xs));
      EXPECT_EQ(hs::minimum1(ne), hs::minimum(xs));
      const auto wrap = [](const S& x) { return "[" + x + "]"; };
      const std::vector<S> init(xs.begin(), xs.end() - 1), rest(xs.begin() + 1, xs.end());
      EXPECT_EQ(hs::foldrMap1(wrap, lr, ne), hs::foldr_(r, wrap(xs.back()), init));
      EXPECT_EQ(hs::foldrMap1_(wrap, r, ne), hs::foldr_(r, wrap(xs.back()), init));
      EXPECT_EQ(hs::foldlMap1_(wrap, l, ne), hs::foldl_(l, wrap(xs[0]), rest));
      EXPECT_EQ(hs::foldlMap1(wrap, ll, ne), hs::foldl_(l, wrap(xs[0]), rest));
    }
  }
}

// The walks are loops: folds of lists longer than the stack allows one frame per element, on a
// small thread stack, and the list freed afterwards.
TEST(ListFolds, LongListsFoldInConstantStack) {
  const Int n = testing_support::fullDepth ? 10'000'000 : 1'000'000;
  testing_support::onThreadStack(std::size_t(1) << 20, [n] {
    List<Int> xs;
    for (Int i = n; i > 0; --i) xs = List<Int>::cons(i - 1, std::move(xs));
    const Int total = n * (n - 1) / 2;
    const auto plus = [](Int a, Int b) { return a + b; };
    const auto firstOnly = [](Int a, const LI&) { return a; };
    EXPECT_EQ(hs::foldl_(plus, Int{0}, xs), total);
    EXPECT_EQ(hs::foldr_(plus, Int{0}, xs), total);
    EXPECT_EQ(hs::foldr1(plus, xs), total);
    EXPECT_EQ(hs::foldl1(plus, xs), total);
    EXPECT_EQ(hs::sum(xs), total);
    EXPECT_EQ(hs::length(xs), n);
    EXPECT_FALSE(hs::elem(Int{-1}, xs));
    EXPECT_EQ(hs::maximum(xs), n - 1);
    EXPECT_EQ(hs::minimum(xs), 0);
    EXPECT_EQ(hs::foldMap_<hs::Sum<Int>>([](Int x) { return hs::Sum<Int>{x}; }, xs).value, total);
    EXPECT_EQ(hs::foldr(firstOnly, Int{0}, xs), 0);
    const NonEmpty<Int> ne{-1, xs};
    EXPECT_EQ(hs::foldrMap1_([](Int x) { return x; }, plus, ne), total - 1);
    EXPECT_EQ(hs::foldlMap1_([](Int x) { return x; }, plus, ne), total - 1);
    EXPECT_EQ(hs::last(ne), n - 1);
    xs = List<Int>();  // ne still holds the cells: they are freed with it
  });
}

}  // namespace
