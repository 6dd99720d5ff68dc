#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "testing/values.hpp"
#include "vantrel/map/internal/array.hpp"
#include "vantrel/map/internal/array_classes.hpp"

namespace {

namespace A = vantrel::internal::array;
using Arr = A::Array<int>;

std::vector<int> values(const Arr& a) {
  std::vector<int> out;
  for (const auto& x : a) out.push_back(*x);
  return out;
}
Arr of(std::vector<int> xs) {
  std::vector<hs::Lazy<int>> cells(xs.begin(), xs.end());
  return A::fromList<int>(static_cast<std::int64_t>(cells.size()), cells);
}

TEST(Array, PersistentCopiesWithOneChange) {
  const Arr a = of({1, 2, 3});
  EXPECT_EQ(values(A::snoc(a, 4)), std::vector<int>({1, 2, 3, 4}));
  EXPECT_EQ(values(A::insert(a, 3, 4)), values(A::snoc(a, 4)));
  EXPECT_EQ(values(A::insert(a, 0, 0)), std::vector<int>({0, 1, 2, 3}));
  EXPECT_EQ(values(A::insert(of({}), 0, 7)), std::vector<int>({7}));
  EXPECT_EQ(values(A::erase(a, 1)), std::vector<int>({1, 3}));
  EXPECT_EQ(values(A::erase(of({5}), 0)), std::vector<int>({}));
  EXPECT_EQ(values(A::update(a, 2, 9)), std::vector<int>({1, 2, 9}));
  EXPECT_EQ(values(A::updateWith_(a, 0, [](int x) { return x + 10; })), std::vector<int>({11, 2, 3}));
  EXPECT_EQ(values(a), std::vector<int>({1, 2, 3}));  // the input never changes
  EXPECT_TRUE(A::unsafeSameArray(a, a));
  EXPECT_FALSE(A::unsafeSameArray(a, A::update(a, 0, 1)));
}

TEST(Array, FreshSlotsHoldThePlaceholder) {
  A::MArray<int> m = A::new_<int>(2);
  A::write(m, 0, 1);
  const Arr a = A::unsafeFreeze(std::move(m));
  EXPECT_EQ(A::index(a, 0), 1);
  try {
    (void)A::index(a, 1);
    FAIL();
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), "Vantrel.Map.Internal.Array: Undefined element");
    ASSERT_EQ(e.callStack().entries().size(), 1u);
    const auto& s = e.callStack().entries()[0];
    EXPECT_EQ(s.module, "Vantrel.Map.Internal.Array");
    EXPECT_EQ(s.file, "./Vantrel/Map/Internal/Array");
    EXPECT_EQ(std::vector<int>({s.startLine, s.startCol, s.endLine, s.endCol}),
              std::vector<int>({432, 17, 432, 22}));
  }
}

TEST(Array, FreezeThawAndShrinkKeepTheObject) {
  A::MArray<int> m = A::newFilled<int>(4, 3);
  const void* id = m.identity();
  A::shrink(m, 2);
  EXPECT_EQ(A::lengthM(m), 2);
  Arr a = A::unsafeFreeze(std::move(m));
  EXPECT_EQ(a.identity(), id);
  A::MArray<int> again = A::unsafeThaw(std::move(a));
  EXPECT_EQ(again.identity(), id);
  A::MArray<int> copy = A::cloneM(again, 0, 2);
  EXPECT_NE(copy.identity(), id);
  A::copyM(again, 0, again, 1, 1);  // overlapping copy within one array
  EXPECT_EQ(*A::read(again, 1), 3);
}

TEST(Array, MapDefersAndStrictMapRunsInSlotOrder) {
  auto calls = std::make_shared<std::vector<int>>();
  const Arr a = of({1, 2});
  const auto lazy = A::map([calls](int x) { calls->push_back(x); return x * 2; }, a);
  EXPECT_TRUE(calls->empty());
  EXPECT_EQ(A::index(lazy, 1), 4);
  EXPECT_EQ(*calls, std::vector<int>({2}));
  calls->clear();
  const auto strict = A::map_([calls](int x) { calls->push_back(x); return x * 2; }, a);
  EXPECT_EQ(*calls, std::vector<int>({1, 2}));
  EXPECT_EQ(values(strict), std::vector<int>({2, 4}));
  // index# hands back the deferred element itself.
  EXPECT_FALSE(A::indexU(lazy, 0).settled());
}

TEST(Array, Folds) {
  const Arr a = of({1, 2, 3}), none = of({});
  const auto cons = [](int x, std::vector<int> acc) { acc.insert(acc.begin(), x); return acc; };
  EXPECT_EQ(A::foldr_(cons, std::vector<int>{}, a), std::vector<int>({1, 2, 3}));
  EXPECT_EQ(A::foldl_([](std::vector<int> acc, int x) { acc.push_back(x); return acc; },
                      std::vector<int>{}, a),
            std::vector<int>({1, 2, 3}));
  // The lazy right fold hands the rest over deferred: stopping early never runs it.
  const Arr failing = A::snoc(a, testing_support::throwing<int>());
  EXPECT_EQ(A::foldr([](int x, const hs::Lazy<int>&) { return x; }, 0, failing), 1);
  EXPECT_EQ(A::foldr([](int x, const hs::Lazy<int>& rest) { return x + *rest; }, 0, a), 6);
  EXPECT_EQ(A::foldl([](const hs::Lazy<int>& init, int x) { return *init * 10 + x; }, 0, a), 123);
  EXPECT_EQ(A::foldr([](int x, const hs::Lazy<int>&) { return x; }, 42, none), 42);
  EXPECT_EQ(A::foldl([](const hs::Lazy<int>&, int x) { return x; }, 42, none), 42);
  EXPECT_TRUE(A::all([](int x) { return x > 0; }, a));
  EXPECT_TRUE(A::all([](int) { return false; }, none));
  int seen = 0;
  EXPECT_FALSE(A::all([&](int x) { ++seen; return x < 2; }, a));
  EXPECT_EQ(seen, 2);
}

TEST(Array, SameArray1ComparesLengthsFirst) {
  int calls = 0;
  const auto r = [&](int x, int y) { ++calls; return x == y; };
  EXPECT_FALSE(A::sameArray1(r, of({1, 2}), of({1, 2, 3})));
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(A::sameArray1(r, of({}), of({})));
  EXPECT_FALSE(A::sameArray1(r, of({1, 2, 3}), of({1, 5, 3})));
  EXPECT_EQ(calls, 2);
}

}  // namespace

namespace {

TEST(Array, ShowsAsTheListOfItsElements) {
  const Arr a = of({1, 2, 3});
  EXPECT_EQ(hs::show(a), "[1,2,3]");
  std::string at11;
  hs::showsPrec(11, a, at11);
  EXPECT_EQ(at11, "[1,2,3]");
  EXPECT_EQ(hs::show(of({})), "[]");
  EXPECT_EQ(hs::show(std::vector<Arr>{of({1}), of({})}), "[[1],[]]");
  EXPECT_EQ(hs::show(of({-1})), "[-1]");
}

// Records every step of a quotation, in order.
struct Recorder : hs::th::Quote {
  std::vector<std::string> steps;
  void step(const hs::th::Exp& e) override { steps.push_back(hs::th::show(e)); }
};

TEST(Array, EmbedsAsFromListPrimeOfItsLengthAndElements) {
  Recorder q;
  const hs::th::Exp e = hs::th::lift(q, of({7, 8}));
  const std::string f = "VarE Vantrel.Map.Internal.Array.fromList'";
  EXPECT_EQ(hs::th::show(e), "AppE (AppE (" + f + ") (LitE (IntegerL 2))) (ListE [LitE (IntegerL 7),LitE (IntegerL 8)])");
  ASSERT_EQ(q.steps.size(), 7u);
  EXPECT_EQ(q.steps[0], f);
  EXPECT_EQ(q.steps[1], "LitE (IntegerL 2)");
  EXPECT_EQ(q.steps[2], "AppE (" + f + ") (LitE (IntegerL 2))");
  EXPECT_EQ(q.steps[3], "LitE (IntegerL 7)");
  EXPECT_EQ(q.steps[5], "ListE [LitE (IntegerL 7),LitE (IntegerL 8)]");
  EXPECT_EQ(hs::th::liftTyped(q, of({})).unType, hs::th::lift(of({})));
}

}  // namespace

namespace {

TEST(Array, FoldMapTraverseAndDeepEvaluation) {
  const Arr a = of({1, 2, 3});
  EXPECT_EQ(A::foldMap<std::string>([](int x) { return std::to_string(x); }, a), "123");
  EXPECT_EQ(A::foldMap<std::string>([](int x) { return std::to_string(x); }, of({})), "");
  const auto doubled = A::traverse([](int x) { return std::optional<int>(x * 2); }, a);
  ASSERT_TRUE(doubled);
  EXPECT_EQ(values(*doubled), std::vector<int>({2, 4, 6}));
  int calls = 0;
  EXPECT_FALSE(A::traverse([&](int x) { ++calls; return x == 1 ? std::nullopt : std::optional<int>(x); }, a));
  EXPECT_EQ(calls, 1);
  const auto both = A::traverse([](int x) { return std::vector<int>{x, -x}; }, of({1, 2}));
  ASSERT_EQ(both.size(), 4u);
  EXPECT_FALSE(A::unsafeSameArray(both[0], both[1]));  // each result owns its array
  EXPECT_EQ(values(both[3]), std::vector<int>({-1, -2}));
  int runs = 0;
  const Arr lazy = A::map([&](int x) { ++runs; return x; }, a);
  hs::rnf(lazy);
  EXPECT_EQ(runs, 3);
}

}  // namespace
