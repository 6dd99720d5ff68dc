#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "vantrel/map/internal/list.hpp"

namespace {

namespace VL = vantrel::internal::list;
using V = std::vector<int>;
const auto eq = [](int a, int b) { return a == b; };
const auto cmp = [](int a, int b) { return hs::compare(a, b); };

TEST(List, DeleteByRemovesTheFirstMatchOnly) {
  EXPECT_EQ(VL::deleteBy(eq, 1, V{}), std::nullopt);
  EXPECT_EQ(VL::deleteBy(eq, 9, V{1, 2}), std::nullopt);
  EXPECT_EQ(VL::deleteBy(eq, 2, V{1, 2, 3, 2}), V({1, 3, 2}));
  // The relation receives the given element first.
  EXPECT_EQ(VL::deleteBy([](int p, int q) { return p < q; }, 2, V{1, 2, 5, 3}), V({1, 2, 3}));
}

TEST(List, IsPermutationBy) {
  struct Case {
    V xs, ys;
    bool expected;
  };
  const Case cases[] = {
      {{}, {}, true},      {{}, {1}, false},           {{1}, {}, false},
      {{1, 2, 3}, {3, 1, 2}, true}, {{1, 1, 2}, {1, 2, 2}, false}, {{1, 2}, {1, 2, 3}, false},
      {{2, 1, 2}, {2, 2, 1}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(VL::isPermutationBy(eq, c.xs, c.ys), c.expected);
  // The relation keeps its orientation: elements of the first list on the left.
  const auto le = [](int a, int b) { return a <= b; };
  EXPECT_TRUE(VL::isPermutationBy(le, V{1}, V{2}));
  EXPECT_FALSE(VL::isPermutationBy(le, V{2}, V{1}));
}

TEST(List, UnorderedCompare) {
  struct Case {
    V as, bs;
    hs::Ordering expected;
  };
  const Case cases[] = {
      {{}, {}, hs::EQ},          {{}, {1}, hs::LT},           {{1}, {}, hs::GT},
      {{3, 1}, {2, 2}, hs::LT},  {{1, 2, 3}, {3, 2, 1}, hs::EQ}, {{5, 1, 4}, {4, 5, 1}, hs::EQ},
      {{1, 4}, {1, 3}, hs::GT},  {{2, 2, 1}, {1, 2, 2}, hs::EQ},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VL::unorderedCompare(cmp, c.as, c.bs), c.expected) << c.as.size() << " " << c.bs.size();
}

}  // namespace
