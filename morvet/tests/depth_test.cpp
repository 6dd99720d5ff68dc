// Deep values: every walk of these runs in constant native stack, and every scheme whose
// recursion is native runs on stack segments when the thread's stack runs short.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "morvet/morvet.hpp"
#include "node_f.hpp"
#include "testing/stacks.hpp"

// The layer hash counts the holes it hashes.
namespace morvet_test {
inline std::int64_t holeHashes = 0;
}
template <class R>
struct hs::Hashable1<morvet_test::NodeF<R>> {
  template <class H>
  static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const morvet_test::NodeF<R>& n) {
    for (const R& k : n.kids) {
      ++morvet_test::holeHashes;
      salt = h(salt, k);
    }
    return hs::saltedWordHash(salt, n.kids.size());
  }
};

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
constexpr std::int64_t kNativeDeep = testing_support::fullDepth ? kVeryDeep : kDeep / 2;
constexpr std::size_t kSmallStack = 256 * 1024;

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

using Sum = hs::Sum<std::int64_t>;

// Each scheme whose recursion nests native calls, at full depth on a small thread stack.
TEST(Depth, NativelyRecursiveSchemesOnASmallStack) {
  const std::int64_t n = kNativeDeep;
  const Nat x = nat(n);
  const auto deferredLayer = [](const hs::Lazy<std::optional<std::int64_t>>& l) -> std::int64_t {
    return l.force() ? *l.force() + 1 : 0;
  };
  const auto deferredHoles = [](const hs::Lazy<std::optional<hs::Lazy<std::int64_t>>>& l) -> std::int64_t {
    return l.force() ? l.force()->force() + 1 : 0;
  };
  const auto writer = [](const std::optional<std::int64_t>& l) {
    return hs::Writer<Sum, std::int64_t>{l ? *l + 1 : 0, Sum{1}};
  };
  const auto identity = [](const std::optional<std::int64_t>& l) {
    return hs::Identity<std::int64_t>{l ? *l + 1 : 0};
  };
  const auto state = [](const std::optional<std::int64_t>& l) {
    const std::int64_t r = l ? *l + 1 : 0;
    return hs::State<std::int64_t, std::int64_t>{[r](std::int64_t s) { return std::pair(r, s + 1); }};
  };
  const auto countDownM = [](const std::int64_t& k) {
    return hs::Writer<Sum, std::optional<std::int64_t>>{countDown(k), Sum{1}};
  };
  const auto countDownId = [](const std::int64_t& k) { return hs::Identity<std::optional<std::int64_t>>{countDown(k)}; };
  const std::vector<std::pair<const char*, std::function<std::int64_t()>>> schemes = {
      {"foldFix, deferred layer", [&] { return morvet::foldFix(deferredLayer, x); }},
      {"foldFix, deferred holes", [&] { return morvet::foldFix(deferredHoles, x); }},
      {"refold, deferred layer", [&] { return morvet::refold(deferredLayer, countDown, n); }},
      {"foldFixM, writer",
       [&] {
         const auto w = morvet::foldFixM(writer, x);
         EXPECT_EQ(w.log.value, n + 1);
         return w.value;
       }},
      {"foldFixM, identity", [&] { return morvet::foldFixM(identity, x).value; }},
      {"foldFixM, state", [&] { return morvet::foldFixM(state, x)(0).first; }},
      {"unfoldFixM, writer",
       [&] {
         const auto w = morvet::unfoldFixM(countDownM, n);
         EXPECT_EQ(w.log.value, n + 1);
         return morvet::foldFix(count, w.value);
       }},
      {"refoldM, identity", [&] { return morvet::refoldM(identity, countDownId, n).value; }},
      {"foldMu, deferred layer", [&] { return morvet::foldMu(deferredLayer, morvet::unfoldMu(countDown, n)); }},
      {"foldNu, deferred holes", [&] { return morvet::foldNu(deferredHoles, morvet::unfoldNu(countDown, n)); }},
  };
  testing_support::onThreadStack(kSmallStack, [&] {
    for (const auto& [name, run] : schemes) EXPECT_EQ(run(), n) << name;
  });
}

std::string nestedText(std::int64_t d) {
  std::string s;
  for (std::int64_t i = 0; i < d; ++i) s += "Fix (Just (";
  s += "Fix Nothing";
  s.append(static_cast<std::size_t>(2 * d), ')');
  return s;
}

TEST(Depth, ShownValuesReadBackAtEveryDepth) {
  const std::int64_t n = testing_support::fullDepth ? kVeryDeep : kDeep / 5;
  const Nat x = nat(n);
  const std::string text = hs::show(x);
  const auto back = hs::readMaybe<Nat>(text);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(walk(*back), n);
  EXPECT_EQ(*back, x);
  const auto mu = hs::readMaybe<Mu<hs::MaybeTag>>(hs::show(morvet::fixToMu(x)));
  ASSERT_TRUE(mu.has_value());
  EXPECT_EQ(morvet::foldMu(count, *mu), n);
  // Rose trees: holes in lists, at precedence 0.
  using Rose = Fix<hs::ListTag>;
  Rose r(std::vector<Rose>{});
  for (std::int64_t i = 0; i < n / 10; ++i) r = Rose(std::vector<Rose>{Rose(std::vector<Rose>{}), r});
  const auto rose = hs::readMaybe<Rose>(hs::show(r));
  ASSERT_TRUE(rose.has_value());
  EXPECT_EQ(*rose, r);
  // The same readers still refuse what is not a value.
  std::string broken = nestedText(n / 10);
  broken.pop_back();
  EXPECT_FALSE(hs::readMaybe<Nat>(broken).has_value());
  EXPECT_FALSE(hs::readMaybe<Nat>(broken + "))").has_value());
}

// Small texts read on any stack that holds them: a 256 KiB thread, a makecontext stack no thread
// attribute reports.
TEST(Depth, SmallTextsReadOnSmallStacks) {
  const std::string text = nestedText(150);  // 3,311 bytes
  const auto check = [&] {
    EXPECT_EQ(hs::readMaybe<Nat>("Fix Nothing"), std::optional<Nat>(Nat(NatLayer{})));
    const auto x = hs::readMaybe<Nat>(text);
    ASSERT_TRUE(x.has_value());
    EXPECT_EQ(walk(*x), 150);
    EXPECT_TRUE(hs::readMaybe<Nu<hs::MaybeTag>>("unfoldNu unFix (" + text + ")").has_value());
  };
  testing_support::onThreadStack(kSmallStack, check);
  testing_support::onContextStack(64 * 1024, check);
}

// The hash as the layer's lifted hash defines it, by plain recursion.
std::int64_t nodeHash(std::int64_t salt, const Fix<morvet_test::NodeTag>& x) {
  for (const auto& k : x.unFix().kids) salt = nodeHash(salt, k);
  return hs::saltedWordHash(salt, x.unFix().kids.size());
}

// A wide layer costs a few runs of its lifted hash, near the root or deep down, however little
// stack is left; a chain of layers hashes in constant native stack.
TEST(Depth, WideLayersHashInLinearTime) {
  using Node = Fix<morvet_test::NodeTag>;
  using NodeF = morvet_test::NodeF<Node>;
  const std::int64_t k = 20000;
  std::vector<Node> kids;
  for (std::int64_t i = 0; i < k; ++i) kids.emplace_back(NodeF{std::to_string(i), {}});
  Node wide(NodeF{"root", kids});
  const auto above = [](Node x, std::int64_t n) {
    for (std::int64_t i = 0; i < n; ++i) x = Node(NodeF{"", {x}});
    return x;
  };
  const Node deepWide = above(wide, 1000), chain = above(Node(NodeF{"leaf", {}}), kDeep);
  const std::int64_t want = nodeHash(hs::defaultSalt, deepWide);
  testing_support::onThreadStack(kSmallStack, [&] {
    morvet_test::holeHashes = 0;
    EXPECT_EQ(hs::hash(wide), nodeHash(hs::defaultSalt, wide));
    EXPECT_EQ(morvet_test::holeHashes, k);
    for (const Node* x : {&deepWide, &chain}) {
      const std::int64_t holes = x == &chain ? kDeep : k + 1000;
      morvet_test::holeHashes = 0;
      const std::int64_t h = hs::hash(*x);
      if (x == &deepWide) {
        EXPECT_EQ(h, want);
      }
      EXPECT_GE(morvet_test::holeHashes, holes);
      EXPECT_LE(morvet_test::holeHashes, 3 * holes);
    }
  });
}

TEST(Depth, HostileBracketsReadAsNoParseQuickly) {
  const std::string open(testing_support::fullDepth ? 1000000 : 100000, '(');
  EXPECT_FALSE(hs::readMaybe<Nat>(open).has_value());
  EXPECT_FALSE(hs::readMaybe<Nat>(open + "Fix Nothing").has_value());
  std::string fixes;
  for (int i = 0; i < 20000; ++i) fixes += "Fix (";
  EXPECT_FALSE(hs::readMaybe<Nat>(fixes).has_value());
}

// A tree whose subtrees are the elements of a list, compared as the list.
struct Tree {
  Fix<morvet::ListFTag<Tree>> kids;
  friend bool operator==(const Tree& a, const Tree& b) { return a.kids == b.kids; }
  friend bool operator<(const Tree& a, const Tree& b) { return a.kids < b.kids; }
};
using TreeList = Fix<morvet::ListFTag<Tree>>;
using TreeListF = morvet::ListF<Tree, TreeList>;

// `depth` levels of one-element lists, down to an empty list, or to a list of one leaf.
Tree treeChain(std::int64_t depth, bool longer) {
  const TreeList nil(TreeListF::Nil());
  Tree t{longer ? TreeList(TreeListF::Cons(Tree{nil}, nil)) : nil};
  for (std::int64_t i = 1; i < depth; ++i) t = Tree{TreeList(TreeListF::Cons(std::move(t), nil))};
  return t;
}

// The elements' comparisons nest through the library's: at any depth on a small stack. (Only
// orders decided by the first `<` of hs::compare are linear: an element type with only < is
// compared twice at every level otherwise.)
TEST(Depth, ValuesNestedThroughListElementsCompareOnASmallStack) {
  const Tree a = treeChain(kDeep, false), same = treeChain(kDeep, false), other = treeChain(kDeep, true);
  testing_support::onThreadStack(kSmallStack, [&] {
    EXPECT_TRUE(a == same);
    EXPECT_FALSE(a == other);
    EXPECT_EQ(morvet::compare(a.kids, other.kids), hs::LT);
    EXPECT_TRUE(a.kids.unFix() == same.kids.unFix());
    EXPECT_FALSE(a.kids.unFix() == other.kids.unFix());
  });
}

}  // namespace
