// Deep values: every walk of these runs in constant native stack, on the default stack.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "morvet/morvet.hpp"

namespace {

using morvet::Fix;
using morvet::Mu;
using morvet::Nu;
using Nat = Fix<hs::MaybeTag>;
using NatLayer = std::optional<Nat>;
using IntList = Fix<morvet::ListFTag<std::int64_t>>;
using IntListF = morvet::ListF<std::int64_t, IntList>;

constexpr std::int64_t kDeep = 100000;
constexpr std::int64_t kVeryDeep = 1000000;

Nat nat(std::int64_t n) {
  Nat x(NatLayer{});
  for (std::int64_t i = 0; i < n; ++i) x = Nat(NatLayer(x));
  return x;
}
const auto count = [](const std::optional<std::int64_t>& l) -> std::int64_t { return l ? *l + 1 : 0; };
const auto countDown = [](const std::int64_t& n) -> std::optional<std::int64_t> {
  if (n == 0) return std::nullopt;
  return n - 1;
};
// Demands every layer of a (possibly deferred) Nat, in a loop.
std::int64_t walk(const Nat& x) {
  std::int64_t n = 0;
  for (const Nat* at = &x; at->unFix(); at = &*at->unFix()) ++n;
  return n;
}

TEST(Depth, MillionLayerValuesAreFreedWithoutRecursion) {
  {
    IntList l(IntListF::Nil());
    for (std::int64_t i = 0; i < kVeryDeep; ++i) l = IntList(IntListF::Cons(i, l));
  }
  {
    const Nat converted = morvet::nuToFix(morvet::unfoldNu(countDown, kVeryDeep));
    EXPECT_EQ(walk(converted), kVeryDeep);
  }
  {
    using M = Mu<hs::MaybeTag>;
    M m = morvet::wrapMu(std::optional<M>());
    for (std::int64_t i = 0; i < kVeryDeep; ++i) m = morvet::wrapMu(std::optional<M>(m));
  }
}

TEST(Depth, StrictFoldsOfADeepValue) {
  const Nat x = nat(kDeep);
  EXPECT_EQ(morvet::foldFix(count, x), kDeep);
  EXPECT_EQ(morvet::refold(count, countDown, kDeep), kDeep);
  EXPECT_EQ(morvet::foldMu(count, morvet::unfoldMu(countDown, kDeep)), kDeep);
  EXPECT_EQ(morvet::foldMu(count, morvet::fixToMu(x)), kDeep);
  EXPECT_EQ(morvet::foldNu(count, morvet::unfoldNu(countDown, kDeep)), kDeep);
  EXPECT_EQ(morvet::foldNu(count, morvet::fixToNu(x)), kDeep);
  using M = Mu<hs::MaybeTag>;
  M m = morvet::wrapMu(std::optional<M>());
  for (std::int64_t i = 0; i < kDeep; ++i) m = morvet::wrapMu(std::optional<M>(m));
  EXPECT_EQ(morvet::foldMu(count, m), kDeep);
  const auto hoisted = morvet::hoistFix([](const auto& o) { return o; }, x);
  EXPECT_EQ(morvet::foldFix(count, hoisted), kDeep);
}

TEST(Depth, ComparisonsTextsHashesAndDeepEvaluationOfDeepValues) {
  const Nat a = nat(kDeep), b = nat(kDeep), c = nat(kDeep - 1);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
  EXPECT_EQ(morvet::compare(a, c), hs::GT);
  EXPECT_TRUE(morvet::fixToMu(a) == morvet::fixToMu(b));
  EXPECT_EQ(morvet::compare(morvet::fixToNu(c), morvet::fixToNu(a)), hs::LT);
  const std::string text = hs::show(a);
  const std::string step = "Fix (Just (";
  EXPECT_EQ(text.size(), static_cast<std::size_t>(kDeep) * (step.size() + 2) + std::string("Fix Nothing").size());
  EXPECT_EQ(text.compare(0, 2 * step.size(), step + step), 0);
  EXPECT_EQ(hs::show(morvet::fixToMu(a)).size(), text.size() + std::string("unfoldMu unFix ()").size());
  EXPECT_EQ(hs::hash(a), hs::hash(b));
  EXPECT_NE(hs::hash(a), hs::hash(c));
  // Nested calls near the root, the explicit stack below: one formula, "Just" words then "Nothing".
  std::int64_t salt = 5;
  for (std::int64_t i = 0; i < kDeep; ++i) salt = hs::saltedWordHash(salt, 1);
  EXPECT_EQ(hs::hashWithSalt(5, a), hs::saltedWordHash(salt, 0));
  const Nat deferred = morvet::unfoldFix(countDown, kDeep);
  hs::rnf(deferred);
  EXPECT_EQ(deferred, a);
}

TEST(Depth, ReadingRefusesNestingThatWouldExhaustTheStack) {
  const auto nested = [](int d) {
    std::string s;
    for (int i = 0; i < d; ++i) s += "Fix (Just (";
    s += "Fix Nothing";
    for (int i = 0; i < d; ++i) s += "))";
    return s;
  };
  const auto ok = hs::readMaybe<Nat>(nested(200));
  ASSERT_TRUE(ok.has_value());
  EXPECT_EQ(walk(*ok), 200);
  EXPECT_FALSE(hs::readMaybe<Nat>(nested(static_cast<int>(kDeep))).has_value());
  EXPECT_FALSE(hs::readMaybe<Mu<hs::MaybeTag>>("unfoldMu unFix (" + nested(static_cast<int>(kDeep)) + ")").has_value());
}

}  // namespace
