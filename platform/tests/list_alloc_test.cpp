// What the folds of lazy lists allocate: the walks copy nothing, the right-to-left ones keep a
// few addresses, far fewer than the elements.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/foldable1.hpp"
#include "hs/list.hpp"
#include "hs/semigroup.hpp"
#include "testing/alloc.hpp"

namespace {

using Int = std::int64_t;

TEST(ListFoldAllocations, WalksCopyNothing) {
  constexpr Int n = 100'000;
  hs::List<Int> xs;
  for (Int i = n; i > 0; --i) xs = hs::List<Int>::cons(i - 1, std::move(xs));
  const hs::NonEmpty<Int> ne{-1, xs};
  const auto plus = [](Int a, Int b) { return a + b; };
  const auto id = [](Int x) { return x; };
  const auto sum = [](Int x) { return hs::Sum<Int>{x}; };
  struct Case {
    const char* name;
    std::function<Int()> run;
    std::int64_t bytes;  // at most
  };
  // The right-to-left folds keep one address per 1024 elements (in a vector that grows by
  // doubling) and a buffer of 1024 addresses: about a byte per 10 elements.
  const std::int64_t backwards = 4 * (n / 1024 + 1) * 8 + 1024 * 8;
  const std::vector<Case> cases = {
      {"foldl_", [&] { return hs::foldl_(plus, Int{0}, xs); }, 0},
      {"foldMap_", [&] { return hs::foldMap_<hs::Sum<Int>>(sum, xs).value; }, 0},
      {"sum", [&] { return hs::sum(xs); }, 0},
      {"product", [&] { return hs::product(xs); }, 0},
      {"length", [&] { return hs::length(xs); }, 0},
      {"elem", [&] { return Int(hs::elem(Int{-1}, xs)); }, 0},
      {"null", [&] { return Int(hs::null(xs)); }, 0},
      {"maximum", [&] { return hs::maximum(xs); }, 0},
      {"minimum", [&] { return hs::minimum(xs); }, 0},
      {"foldl1", [&] { return hs::foldl1(plus, xs); }, 0},
      {"foldr_", [&] { return hs::foldr_(plus, Int{0}, xs); }, backwards},
      {"foldr1", [&] { return hs::foldr1(plus, xs); }, backwards},
      {"non-empty foldl_", [&] { return hs::foldl_(plus, Int{0}, ne); }, 0},
      {"non-empty foldMap1_", [&] { return hs::foldMap1_<hs::Sum<Int>>(sum, ne).value; }, 0},
      {"non-empty foldlMap1_", [&] { return hs::foldlMap1_(id, plus, ne); }, 0},
      {"non-empty last", [&] { return hs::last(ne); }, 0},
      {"non-empty maximum1", [&] { return hs::maximum1(ne); }, 0},
      {"non-empty foldrMap1_", [&] { return hs::foldrMap1_(id, plus, ne); }, backwards},
  };
  for (const Case& c : cases) {
    const testing_support::AllocationScope scope;
    (void)c.run();
    EXPECT_LE(scope.bytes(), c.bytes) << c.name;
    if (c.bytes == 0) {
      EXPECT_EQ(scope.count(), 0) << c.name;
    }
  }
}

}  // namespace
