#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "morvet/morvet.hpp"

namespace {

using Nat = morvet::Fix<hs::MaybeTag>;
using NatLayer = std::optional<Nat>;

Nat zero() { return Nat(NatLayer()); }
Nat succ(Nat n) { return Nat(NatLayer(std::move(n))); }
Nat nat(int n) {
  Nat x = zero();
  for (int i = 0; i < n; ++i) x = succ(x);
  return x;
}
std::int64_t toInt(const Nat& n) {
  return morvet::foldFix([](const std::optional<std::int64_t>& l) -> std::int64_t { return l ? *l + 1 : 0; }, n);
}

TEST(Smoke, FoldAndShow) {
  EXPECT_EQ(toInt(nat(3)), 3);
  EXPECT_EQ(hs::show(nat(1)), "Fix (Just (Fix Nothing))");
  EXPECT_TRUE(nat(2) == nat(2));
  EXPECT_FALSE(nat(2) == nat(3));
  EXPECT_EQ(morvet::compare(nat(2), nat(3)), hs::LT);
  auto m = morvet::fixToMu(nat(2));
  EXPECT_EQ(hs::show(m), "unfoldMu unFix (Fix (Just (Fix (Just (Fix Nothing)))))");
  auto n = morvet::fixToNu(nat(2));
  EXPECT_EQ(hs::show(n), "unfoldNu unFix (Fix (Just (Fix (Just (Fix Nothing)))))");
  EXPECT_EQ(hs::read<Nat>("Fix (Just (Fix Nothing))"), nat(1));
  EXPECT_EQ(morvet::foldMu([](const std::optional<std::int64_t>& l) -> std::int64_t { return l ? *l + 1 : 0; }, m), 2);
  EXPECT_EQ(morvet::foldNu([](const std::optional<std::int64_t>& l) -> std::int64_t { return l ? *l + 1 : 0; }, n), 2);
  (void)hs::hash(nat(3));
  hs::rnf(nat(3));
}

}  // namespace
