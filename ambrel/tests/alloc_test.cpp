// How much building and the structural operations allocate (this program counts every operator
// new): one cell per new value, one per deferred field, none for a result that is an input.
#include <gtest/gtest.h>

#include <cstdint>

#include "ambrel/ambrel.hpp"
#include "ambrel/combinators.hpp"
#include "testing/alloc.hpp"

namespace {

using ambrel::Ambrel;
using testing_support::AllocationScope;
using Int = std::int64_t;
using II = Ambrel<Int, Int>;

TEST(Allocation, OneCellPerValueAndPerDeferredField) {
  const hs::Lazy<Int> a = 1, b = 2;
  const II t(a, b), one = ambrel::This(a), two = ambrel::That<Int>(b);
  struct Case {
    const char* what;
    std::int64_t (*run)(const II&, const II&, const II&, const hs::Lazy<Int>&);
    std::int64_t allocations;
  };
  const Case cases[] = {
      {"value of cells", [](const II&, const II&, const II&, const hs::Lazy<Int>& x) {
         AllocationScope s;
         const II v(x, x);
         return s.count();
       }, 1},
      {"value of plain fields", [](const II&, const II&, const II&, const hs::Lazy<Int>&) {
         AllocationScope s;
         const II v(Int{1}, Int{2});
         return s.count();
       }, 3},
      {"input itself at a new type", [](const II& t1, const II& th, const II& tt, const hs::Lazy<Int>&) {
         AllocationScope s;
         const auto r1 = hs::first([](Int x) { return double(x); }, tt);
         const auto r2 = hs::fmap([](Int x) { return double(x); }, th);
         const auto r3 = ambrel::mapThat([](Int x) { return x; }, t1);
         return s.count();
       }, 0},
      {"selectors and eliminators", [](const II& t1, const II& th, const II&, const hs::Lazy<Int>&) {
         AllocationScope s;
         const auto h = ambrel::justHere(t1);
         const auto m = ambrel::mergeAmbrel([](Int x, Int) { return x; }, th);
         const auto p = ambrel::fromAmbrel<Int, Int>(*h, *h, t1);
         const Int r = ambrel::ambrel([](Int x) { return x; }, [](Int y) { return y; },
                                      [](Int x, Int y) { return x + y; }, t1);
         (void)r;
         return s.count();
       }, 0},
      {"mapping one field", [](const II& t1, const II&, const II&, const hs::Lazy<Int>&) {
         AllocationScope s;
         const auto r = hs::fmap([](Int x) { return x + 1; }, t1);
         return s.count();
       }, 2},
      {"combining sides held once", [](const II&, const II&, const II&, const hs::Lazy<Int>&) {
         using S = Ambrel<hs::Sum<Int>, hs::Sum<Int>>;
         const S x = ambrel::This(hs::Sum<Int>{1}), y = ambrel::That(hs::Sum<Int>{2});
         AllocationScope s;
         const S r = hs::mappend(x, y);
         return s.count();
       }, 1},
      {"equality, ordering and hashing", [](const II& t1, const II& th, const II&, const hs::Lazy<Int>&) {
         AllocationScope s;
         const bool e = t1 == th;
         const auto c = ambrel::compare(t1, th);
         const auto h = hs::hash(t1);
         (void)e, (void)c, (void)h;
         return s.count();
       }, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.run(t, one, two, a), c.allocations) << c.what;
}

}  // namespace
