#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "morvet/morvet.hpp"
#include "node_f.hpp"

namespace {

using morvet::Fix;
using morvet::Mu;
using morvet::Nu;
using Nat = Fix<hs::MaybeTag>;
using NatLayer = std::optional<Nat>;
using IntList = Fix<morvet::ListFTag<std::int64_t>>;
using IntListF = morvet::ListF<std::int64_t, IntList>;
using Log = std::vector<std::string>;
using morvet_test::NodeF;
using morvet_test::NodeTag;
using Tree = Fix<NodeTag>;

Nat nat(int n) {
  Nat x(NatLayer{});
  for (int i = 0; i < n; ++i) x = Nat(NatLayer(x));
  return x;
}
// A Nat whose layer fails when demanded.
Nat undefinedNat() {
  return Nat(hs::Lazy<NatLayer>::defer([]() -> NatLayer { throw std::runtime_error("undefined"); }));
}
struct Boom : std::runtime_error {
  Boom() : std::runtime_error("boom") {}
};

const auto count = [](const std::optional<std::int64_t>& l) -> std::int64_t { return l ? *l + 1 : 0; };
const auto countDown = [](const std::int64_t& n) -> std::optional<std::int64_t> {
  if (n == 0) return std::nullopt;
  return n - 1;
};
const auto upward = [](const std::int64_t& n) -> std::optional<std::int64_t> { return n + 1; };

IntList fromVector(const std::vector<std::int64_t>& xs) {
  IntList acc(IntListF::Nil());
  for (std::size_t i = xs.size(); i-- > 0;) acc = IntList(IntListF::Cons(xs[i], acc));
  return acc;
}
std::vector<std::int64_t> toVector(const IntList& l) {
  std::vector<std::int64_t> out;
  for (const IntList* at = &l; at->unFix().isCons(); at = &at->unFix().rest()) out.push_back(at->unFix().head());
  return out;
}

// root with two children; under `grandchild`, child 1 has one of its own.
Tree tree(bool grandchild) {
  const auto leaf = [](std::string l) { return Tree(NodeF<Tree>{std::move(l), {}}); };
  Tree c1 = grandchild ? Tree(NodeF<Tree>{"c1", {leaf("g")}}) : leaf("c1");
  return Tree(NodeF<Tree>{"root", {c1, leaf("c2")}});
}
// The seeds of the same shapes: a seed is the label.
NodeF<std::string> shape(const std::string& s, bool grandchild) {
  if (s == "root") return {s, {"c1", "c2"}};
  if (s == "c1" && grandchild) return {s, {"g"}};
  return {s, {}};
}

TEST(Fold, StrictAlgebrasFoldWholeValues) {
  for (int n : {0, 1, 5, 100}) EXPECT_EQ(morvet::foldFix(count, nat(n)), n) << n;
  EXPECT_EQ(morvet::cata(count, nat(7)), 7);
  const auto sum = [](const morvet::ListF<std::int64_t, std::int64_t>& l) -> std::int64_t {
    return l.isNil() ? 0 : l.head() + l.rest();
  };
  EXPECT_EQ(morvet::foldFix(sum, fromVector({1, 2, 3, 4})), 10);
  // A generic algebra names its result type; the children come in traversal order.
  const auto labels = morvet::foldFix<std::string>(
      [](const auto& n) {
        std::string s = n.label;
        for (const std::string& k : n.kids) s += "(" + k + ")";
        return s;
      },
      tree(true));
  EXPECT_EQ(labels, "root(c1(g))(c2)");
}

TEST(Fold, DeferredLayerAlgebraRunsBeforeItsArgumentIsEvaluated) {
  const auto ignore = [](const hs::Lazy<std::optional<std::int64_t>>&) -> std::int64_t { return 42; };
  EXPECT_EQ(morvet::foldFix(ignore, undefinedNat()), 42);
  const Nat endless = morvet::unfoldFix(upward, std::int64_t{0});
  EXPECT_EQ(morvet::foldFix(ignore, endless), 42);
  EXPECT_FALSE(endless.cell().evaluated());
  // An algebra that demands only as far as it needs stops on an endless value.
  const auto atLeast3 = [](const hs::Lazy<std::optional<std::int64_t>>& l) -> std::int64_t {
    return l->has_value() ? std::min<std::int64_t>(3, **l + 1) : 0;
  };
  EXPECT_THROW((void)morvet::foldFix(atLeast3, undefinedNat()), std::runtime_error);
  EXPECT_EQ(morvet::foldFix(atLeast3, nat(10)), 3);
}

// Deferred holes: a child is folded only when its hole is demanded, in every encoding.
TEST(Fold, DeferredHolesAreFoldedOnlyWhenDemanded) {
  int runs = 0;
  const auto take3 = [&](auto fold) {
    runs = 0;
    const std::int64_t got = fold()(3);
    EXPECT_EQ(got, 0 + 1 + 2);
    EXPECT_LE(runs, 4);
  };
  using L = morvet::ListF<std::int64_t, std::int64_t>;
  const auto naturals = [](const std::int64_t& n) { return L::Cons(n, n + 1); };
  using R = std::function<std::int64_t(int)>;
  const auto alg = [&](const hs::Lazy<morvet::ListF<std::int64_t, hs::Lazy<R>>>& l) -> R {
    ++runs;
    return [l](int k) -> std::int64_t {
      if (k == 0 || l->isNil()) return 0;
      return l->head() + (*l->rest())(k - 1);
    };
  };
  take3([&] { return morvet::foldFix(alg, morvet::unfoldFix(naturals, std::int64_t{0})); });
  take3([&] { return morvet::refold(alg, naturals, std::int64_t{0}); });
  take3([&] { return morvet::foldMu(alg, morvet::unfoldMu(naturals, std::int64_t{0})); });
  take3([&] { return morvet::foldNu(alg, morvet::unfoldNu(naturals, std::int64_t{0})); });
}

// The state functor maps on demand: its mapped function runs when the state runs, after the fold
// has returned, so the fold must hand it a step that owns what it uses.
TEST(Fold, AFunctorThatMapsOnDemandGetsAStepThatOutlivesTheFold) {
  using Process = Fix<hs::StateTag<std::int64_t>>;
  // Each layer adds the state to the seed and steps on to the next seed.
  const Process p = morvet::unfoldFix(
      [](const std::int64_t& n) {
        return hs::State<std::int64_t, std::int64_t>{
            [n](std::int64_t s) { return std::pair<std::int64_t, std::int64_t>{n + 1, s + n}; }};
      },
      std::int64_t{0});
  using Run = std::function<std::int64_t(int, std::int64_t)>;  // k layers from a state: the last state
  const std::vector<int> one{1};  // a capture of its own, so that a dangling algebra is seen
  const auto alg = [one](const hs::State<std::int64_t, Run>& l) -> Run {
    return [l, one](int k, std::int64_t s) -> std::int64_t {
      if (k == 0) return s;
      auto [next, s2] = l(s);
      return next(k - one[0], s2);
    };
  };
  // Each fold returns first; its result runs afterwards.
  const Run viaFix = morvet::foldFix(alg, p);
  const Run viaMu = morvet::foldMu(alg, morvet::fixToMu(p));
  const Run viaNu = morvet::foldNu(alg, morvet::fixToNu(p));
  for (const Run& run : {viaFix, viaMu, viaNu}) EXPECT_EQ(run(4, 0), 0 + 1 + 2 + 3);
}

TEST(Unfold, EndlessUnfoldingReturnsAtOnceAndKeepsDemandedLayers) {
  int calls = 0;
  const Nat endless = morvet::unfoldFix(
      [&calls](const std::int64_t& n) -> std::optional<std::int64_t> {
        ++calls;
        return n + 1;
      },
      std::int64_t{0});
  EXPECT_EQ(calls, 0);
  const auto walk = [&] {
    const Nat* at = &endless;
    for (int i = 0; i < 5; ++i) at = &*at->unFix();
  };
  walk();
  EXPECT_EQ(calls, 5);
  walk();
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(morvet::ana(countDown, std::int64_t{4}), nat(4));
}

TEST(Refold, FoldsWhatTheCoalgebraUnfoldsWithoutBuildingIt) {
  const auto range = [](const std::int64_t& n) {
    using L = morvet::ListF<std::int64_t, std::int64_t>;
    return n == 0 ? L::Nil() : L::Cons(n, n - 1);
  };
  const auto product = [](const morvet::ListF<std::int64_t, std::int64_t>& l) -> std::int64_t {
    return l.isNil() ? 1 : l.head() * l.rest();
  };
  EXPECT_EQ(morvet::refold(product, range, std::int64_t{10}), 3628800);
  EXPECT_EQ(morvet::hylo(count, countDown, std::int64_t{6}), 6);
  int calls = 0;
  const auto counted = [&calls](const std::int64_t& n) -> std::optional<std::int64_t> {
    ++calls;
    return n + 1;
  };
  const auto ignore = [](const hs::Lazy<std::optional<std::int64_t>>&) -> std::int64_t { return 7; };
  EXPECT_EQ(morvet::refold(ignore, counted, std::int64_t{0}), 7);
  EXPECT_EQ(calls, 0);
}

// Effects recorded through a writer and through a state; both must give the same order.
template <class Monad>
struct Recorder;
template <>
struct Recorder<hs::WriterTag<Log>> {
  template <class A>
  static hs::Writer<Log, A> note(std::string s, A a) {
    return {std::move(a), Log{std::move(s)}};
  }
  template <class A>
  static Log run(const hs::Writer<Log, A>& w) {
    return w.log;
  }
};
template <>
struct Recorder<hs::StateTag<Log>> {
  template <class A>
  static hs::State<Log, A> note(std::string s, A a) {
    return {[s, a](Log log) {
      log.push_back(s);
      return std::pair<A, Log>{a, std::move(log)};
    }};
  }
  template <class A>
  static Log run(const hs::State<Log, A>& st) {
    return st(Log{}).second;
  }
};

template <class M>
class EffectOrder : public ::testing::Test {};
using Monads = ::testing::Types<hs::WriterTag<Log>, hs::StateTag<Log>>;
// The instances are named by their monad, not by their whole type.
struct MonadName {
  template <class M>
  static std::string GetName(int) {
    return std::is_same_v<M, hs::WriterTag<Log>> ? "Writer" : "State";
  }
};
TYPED_TEST_SUITE(EffectOrder, Monads, MonadName);

TYPED_TEST(EffectOrder, FoldIsPostOrderUnfoldPreOrderRefoldInterleaved) {
  using R = Recorder<TypeParam>;
  const auto alg = [](const NodeF<std::string>& n) { return R::note("alg " + n.label, n.label); };
  EXPECT_EQ(R::run(morvet::foldFixM<typename TypeParam::template apply<std::string>>(alg, tree(false))),
            (Log{"alg c1", "alg c2", "alg root"}));
  EXPECT_EQ(R::run(morvet::cataM<typename TypeParam::template apply<std::string>>(alg, tree(true))),
            (Log{"alg g", "alg c1", "alg c2", "alg root"}));
  for (bool grandchild : {false, true}) {
    const auto coalg = [grandchild](const std::string& s) {
      return R::note("coalg " + s, shape(s, grandchild));
    };
    const auto built = morvet::unfoldFixM(coalg, std::string("root"));
    EXPECT_EQ(R::run(built), grandchild ? (Log{"coalg root", "coalg c1", "coalg g", "coalg c2"})
                                        : (Log{"coalg root", "coalg c1", "coalg c2"}));
    EXPECT_EQ(R::run(morvet::anaM(coalg, std::string("root"))), R::run(built));
    const auto refolded =
        morvet::refoldM<typename TypeParam::template apply<std::string>>(alg, coalg, std::string("root"));
    EXPECT_EQ(R::run(refolded),
              grandchild ? (Log{"coalg root", "coalg c1", "coalg g", "alg g", "alg c1", "coalg c2",
                                "alg c2", "alg root"})
                         : (Log{"coalg root", "coalg c1", "alg c1", "coalg c2", "alg c2", "alg root"}));
    EXPECT_EQ(R::run(morvet::hyloM<typename TypeParam::template apply<std::string>>(alg, coalg,
                                                                                  std::string("root"))),
              R::run(refolded));
  }
}

TEST(EffectOrder, UnfoldedValueIsTheOneTheCoalgebraDescribes) {
  const auto coalg = [](const std::string& s) { return hs::Identity<NodeF<std::string>>{shape(s, true)}; };
  const Tree built = morvet::unfoldFixM(coalg, std::string("root")).value;
  EXPECT_EQ(morvet::foldFix<std::int64_t>(
                [](const auto& n) {
                  std::int64_t total = 1;
                  for (std::int64_t k : n.kids) total += k;
                  return total;
                },
                built),
            4);
  // An absent result stops the monadic fold.
  const auto noC2 = [](const NodeF<std::string>& n) -> std::optional<std::string> {
    if (n.label == "c2") return std::nullopt;
    return n.label;
  };
  EXPECT_FALSE(morvet::foldFixM(noC2, tree(false)).has_value());
}

// The traversal of a layer is a deferred action until the bind demands it: a state's bind runs its
// first action only when the state runs, a writer's at once.
TEST(EffectOrder, TheMonadicFoldDemandsTheValueWhenTheBindDoes) {
  int layers = 0;
  const Nat x = morvet::unfoldFix(
      [&layers](const std::int64_t& n) -> std::optional<std::int64_t> {
        ++layers;
        if (n == 2) throw Boom();
        return n + 1;
      },
      std::int64_t{0});
  const auto alg = [](const std::optional<std::int64_t>& l) {
    const std::int64_t r = l ? *l + 1 : 0;
    return hs::State<Log, std::int64_t>{[r](Log log) { return std::pair<std::int64_t, Log>{r, log}; }};
  };
  const auto folded = morvet::foldFixM(alg, x);
  EXPECT_EQ(layers, 0);
  EXPECT_THROW(folded(Log{}), Boom);
  EXPECT_EQ(layers, 3);
  const auto logged = [](const std::optional<std::int64_t>& l) {
    return hs::Writer<Log, std::int64_t>{l ? *l + 1 : 0, {}};
  };
  EXPECT_THROW((void)morvet::foldFixM(logged, undefinedNat()), std::runtime_error);
  EXPECT_EQ(morvet::foldFixM(alg, nat(3))(Log{}).first, 3);
}

TEST(Mu, FoldingAnUnfoldMuTwiceRunsTheCoalgebraTwiceAndAnUnfoldFixOnce) {
  std::map<std::int64_t, int> calls;
  const auto coalg = [&calls](const std::int64_t& n) -> std::optional<std::int64_t> {
    ++calls[n];
    if (n == 0) return std::nullopt;
    return n - 1;
  };
  const auto m = morvet::unfoldMu(coalg, std::int64_t{3});
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(morvet::foldMu(count, m), 3);
  EXPECT_EQ(morvet::foldMu(count, m), 3);
  EXPECT_EQ(calls, (std::map<std::int64_t, int>{{0, 2}, {1, 2}, {2, 2}, {3, 2}}));
  calls.clear();
  const Nat x = morvet::unfoldFix(coalg, std::int64_t{3});
  EXPECT_EQ(morvet::foldFix(count, x), 3);
  EXPECT_EQ(morvet::foldFix(count, x), 3);
  EXPECT_EQ(calls, (std::map<std::int64_t, int>{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
}

TEST(Mu, WrapUnwrapHoistAndOwnFoldFunctions) {
  using M = Mu<hs::MaybeTag>;
  const M z = morvet::wrapMu(std::optional<M>());
  const M two = morvet::wrapMu(std::optional<M>(morvet::wrapMu(std::optional<M>(z))));
  EXPECT_EQ(morvet::foldMu(count, two), 2);
  EXPECT_EQ(morvet::unMu(two)(count), 2);
  const std::optional<M> outer = morvet::unwrapMu(two);
  ASSERT_TRUE(outer.has_value());
  EXPECT_EQ(morvet::foldMu(count, *outer), 1);
  EXPECT_FALSE(morvet::unwrapMu(z).has_value());
  // A Mu given by its own fold function, polymorphic in the result.
  const M three([](const auto& alg) {
    using A = typename std::remove_cvref_t<decltype(alg)>::result_type;
    A r = alg(std::optional<A>());
    for (int i = 0; i < 3; ++i) r = alg(std::optional<A>(r));
    return r;
  });
  EXPECT_EQ(morvet::foldMu(count, three), 3);
  EXPECT_EQ(morvet::muToFix(three), nat(3));
  // Maybe to list: every layer one hole or none.
  const auto toList = []<class X>(const std::optional<X>& o) { return o ? std::vector<X>{*o} : std::vector<X>{}; };
  const auto h = morvet::hoistMu(toList, three);
  static_assert(std::is_same_v<decltype(h), const Mu<hs::ListTag>>);
  EXPECT_EQ(morvet::foldMu<std::int64_t>([](const std::vector<std::int64_t>& l) { return l.empty() ? 0 : l[0] + 1; }, h), 3);
  // An algebra of a deferred layer that ignores it never folds the rest.
  const auto ignore = [](const hs::Lazy<std::optional<std::int64_t>>&) -> std::int64_t { return 9; };
  EXPECT_EQ(morvet::foldMu(ignore, morvet::unfoldMu(upward, std::int64_t{0})), 9);
}

// A Mu given by its own fold function (the list 1, 2, 3, built from its end) runs that function
// whole on every fold, whatever the algebra defers, with results boxed in and out of any size.
TEST(Mu, AnOwnFoldFunctionRunsWholeOnEveryFold) {
  using Int = std::int64_t;
  using F = morvet::ListFTag<Int>;
  int runs = 0;
  bool fail = false;
  const Mu<F> list([&runs, &fail](const auto& alg) {
    using A = typename std::remove_cvref_t<decltype(alg)>::result_type;
    using L = morvet::ListF<Int, A>;
    ++runs;
    if (fail) throw Boom();
    A r = alg(L::Nil());
    for (Int i = 3; i >= 1; --i) r = alg(L::Cons(i, std::move(r)));
    return r;
  });
  EXPECT_EQ(runs, 0);
  const auto sum = [](const morvet::ListF<Int, Int>& l) -> Int { return l.isNil() ? 0 : l.head() + l.rest(); };
  EXPECT_EQ(morvet::foldMu(sum, list), 6);
  const auto collect = [](const morvet::ListF<Int, std::vector<Int>>& l) {
    std::vector<Int> out;
    if (l.isCons()) {
      out.push_back(l.head());
      out.insert(out.end(), l.rest().begin(), l.rest().end());
    }
    return out;
  };
  EXPECT_EQ(morvet::foldMu(collect, list), (std::vector<Int>{1, 2, 3}));
  EXPECT_EQ(runs, 2);
  // An algebra of deferred layers that ignores its layer is still called on every layer.
  int layers = 0;
  const auto ignore = [&layers](const hs::Lazy<morvet::ListF<Int, Int>>&) -> Int { return ++layers; };
  EXPECT_EQ(morvet::foldMu(ignore, list), 4);
  EXPECT_EQ(runs, 3);
  // unwrapMu runs it now; the inner layers it rebuilds fold without running it again.
  const morvet::ListF<Int, Mu<F>> outer = morvet::unwrapMu(list);
  EXPECT_EQ(runs, 4);
  ASSERT_TRUE(outer.isCons());
  EXPECT_EQ(outer.head(), 1);
  EXPECT_EQ(morvet::foldMu(sum, outer.rest()), 5);
  EXPECT_EQ(toVector(morvet::muToFix(list)), (std::vector<Int>{1, 2, 3}));
  EXPECT_EQ(runs, 5);
  // A failing run propagates, and the next fold runs afresh.
  fail = true;
  EXPECT_THROW((void)morvet::foldMu(sum, list), Boom);
  fail = false;
  EXPECT_EQ(morvet::foldMu(sum, list), 6);
}

// unwrapMu folds with wrapMu over each layer, and wrapMu leaves its layer alone: only the outermost
// layer is computed at once, each inner layer when it is first folded, and then it is kept.
TEST(Mu, UnwrapMuComputesOnlyTheOutermostLayerAtOnce) {
  int calls = 0;
  const auto counted = [&calls](const std::int64_t& n) -> std::optional<std::int64_t> {
    ++calls;
    if (n == 1000) throw Boom();  // deep down the endless value
    return n + 1;
  };
  const std::optional<Mu<hs::MaybeTag>> outer = morvet::unwrapMu(morvet::unfoldMu(counted, std::int64_t{0}));
  EXPECT_EQ(calls, 1);
  ASSERT_TRUE(outer.has_value());
  // The number of layers, counted up to a limit.
  using Upto = std::function<std::int64_t(int)>;
  const auto upto = [](const hs::Lazy<std::optional<hs::Lazy<Upto>>>& l) -> Upto {
    return [l](int k) -> std::int64_t { return k == 0 || !l->has_value() ? 0 : 1 + (***l)(k - 1); };
  };
  EXPECT_EQ(morvet::foldMu(upto, *outer)(3), 3);
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(morvet::foldMu(upto, *outer)(3), 3);
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(morvet::muToFix(*morvet::unwrapMu(morvet::fixToMu(nat(3)))), nat(2));
}

TEST(Nu, UndefinedNuFailsFirstUnfoldNuOfUndefinedArgumentsDoesNot) {
  using N = Nu<hs::MaybeTag>;
  const N undefinedNu = N::defer([]() -> N { throw Boom(); });
  const auto ignore = [](const hs::Lazy<std::optional<std::int64_t>>&) -> std::int64_t { return 1; };
  EXPECT_THROW((void)morvet::foldNu(ignore, undefinedNu), Boom);
  EXPECT_THROW((void)morvet::unwrapNu(undefinedNu), Boom);
  EXPECT_THROW((void)morvet::hoistNu([](const auto& o) { return o; }, undefinedNu), Boom);
  // unlike foldFix on an undefined Fix
  EXPECT_EQ(morvet::foldFix(ignore, undefinedNat()), 1);

  using Step = std::function<std::optional<std::int64_t>(const std::int64_t&)>;
  const auto badStep = hs::Lazy<Step>::defer([]() -> Step { throw Boom(); });
  const auto badSeed = hs::Lazy<std::int64_t>::defer([]() -> std::int64_t { throw Boom(); });
  const N n = morvet::unfoldNu(badStep, badSeed);
  EXPECT_EQ(morvet::foldNu(ignore, n), 1);
  EXPECT_THROW((void)morvet::unwrapNu(n), Boom);
  EXPECT_THROW((void)morvet::unwrapNu(morvet::unfoldNu(Step(countDown), badSeed)), Boom);
  EXPECT_EQ(morvet::foldNu(count, morvet::unfoldNu(Step(countDown), hs::Lazy<std::int64_t>(4))), 4);
}

TEST(Nu, WrapUnwrapAndHoistRecomputeEachUse) {
  int calls = 0;
  const auto counted = [&calls](const std::int64_t& n) -> std::optional<std::int64_t> {
    ++calls;
    return countDown(n);
  };
  const auto n = morvet::unfoldNu(counted, std::int64_t{3});
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(morvet::foldNu(count, n), 3);
  EXPECT_EQ(morvet::foldNu(count, n), 3);
  EXPECT_EQ(calls, 8);
  const auto layer = morvet::unwrapNu(n);
  ASSERT_TRUE(layer.has_value());
  EXPECT_EQ(morvet::foldNu(count, *layer), 2);
  const auto wrapped = morvet::wrapNu(std::optional<Nu<hs::MaybeTag>>(n));
  EXPECT_EQ(morvet::foldNu(count, wrapped), 4);
  EXPECT_EQ(morvet::nuToFix(wrapped), nat(4));
  const auto toList = []<class X>(const std::optional<X>& o) { return o ? std::vector<X>{*o} : std::vector<X>{}; };
  const auto h = morvet::hoistNu(toList, n);
  EXPECT_EQ(morvet::foldNu<std::int64_t>([](const std::vector<std::int64_t>& l) { return l.empty() ? 0 : l[0] + 1; }, h), 3);
}

TEST(Hoist, BothHoistsAgreeAndDifferInWhatTheTransformationSees) {
  int converted = 0, unconverted = 0;
  const auto toList = [&]<class X>(const std::optional<X>& o) {
    if constexpr (std::is_same_v<X, Fix<hs::ListTag>>)
      ++converted;
    else
      ++unconverted;
    return o ? std::vector<X>{*o} : std::vector<X>{};
  };
  const Fix<hs::ListTag> a = morvet::hoistFix(toList, nat(3));
  const Fix<hs::ListTag> b = morvet::hoistFix_(toList, nat(3));
  EXPECT_EQ(converted + unconverted, 0);  // on demand
  EXPECT_EQ(a, b);
  EXPECT_EQ(converted, 4);
  EXPECT_EQ(unconverted, 4);
  // Endless values hoist at once too.
  const auto endless = morvet::hoistFix<hs::ListTag>(toList, morvet::unfoldFix(upward, std::int64_t{0}));
  EXPECT_EQ(endless.unFix().size(), 1u);
}

// A functor with no mapping: hoistFix needs only the source's mapping, hoistFix_ only the
// target's, hoistMu and hoistNu none of their own.
template <class X>
struct Bare {
  std::optional<X> x;
};
struct BareTag {
  template <class X>
  using apply = Bare<X>;
};

}  // namespace

template <class X>
struct hs::TagOf<Bare<X>> {
  using type = BareTag;
  using value_type = X;
};

namespace {

TEST(Hoist, EachHoistNeedsOnlyTheMappingItUses) {
  const auto toBare = []<class X>(const std::optional<X>& o) { return Bare<X>{o}; };
  const auto fromBare = []<class X>(const Bare<X>& b) { return b.x; };
  const Fix<BareTag> bare = morvet::hoistFix(toBare, nat(3));
  EXPECT_EQ(morvet::hoistFix_(fromBare, bare), nat(3));
  const Mu<BareTag> mu = morvet::hoistMu(toBare, morvet::fixToMu(nat(2)));
  EXPECT_EQ(morvet::foldMu(count, morvet::hoistMu(fromBare, mu)), 2);
  const Nu<BareTag> nu = morvet::hoistNu(toBare, morvet::fixToNu(nat(2)));
  EXPECT_EQ(morvet::nuToFix(morvet::hoistNu(fromBare, nu)), nat(2));
}

TEST(Conversions, RoundTripsKeepTheValue) {
  for (int n : {0, 1, 4}) {
    const Nat x = nat(n);
    EXPECT_EQ(morvet::muToFix(morvet::fixToMu(x)), x);
    EXPECT_EQ(morvet::nuToFix(morvet::fixToNu(x)), x);
    EXPECT_EQ(morvet::fixToMu(x), morvet::unfoldMu(countDown, std::int64_t{n}));
  }
  const IntList l = fromVector({3, 1, 2});
  EXPECT_EQ(toVector(morvet::muToFix(morvet::fixToMu(l))), (std::vector<std::int64_t>{3, 1, 2}));
  EXPECT_EQ(toVector(morvet::nuToFix(morvet::fixToNu(l))), (std::vector<std::int64_t>{3, 1, 2}));
  // A conversion to Fix builds its layers on demand.
  const Nat endless = morvet::nuToFix(morvet::unfoldNu(upward, std::int64_t{0}));
  EXPECT_TRUE((*(*endless.unFix()).unFix()).unFix().has_value());
}

TEST(Failures, AThrowingAlgebraOrCoalgebraPropagatesAndLeavesNothingBehind) {
  const auto throwsAt2 = [](const std::optional<std::int64_t>& l) -> std::int64_t {
    if (l && *l == 2) throw Boom();
    return l ? *l + 1 : 0;
  };
  EXPECT_THROW((void)morvet::foldFix(throwsAt2, nat(5)), Boom);
  EXPECT_THROW((void)morvet::foldMu(throwsAt2, morvet::fixToMu(nat(5))), Boom);
  EXPECT_THROW((void)morvet::foldNu(throwsAt2, morvet::fixToNu(nat(5))), Boom);
  const auto badCoalg = [](const std::int64_t& n) -> std::optional<std::int64_t> {
    if (n == 3) throw Boom();
    return n + 1;
  };
  EXPECT_THROW((void)morvet::refold(count, badCoalg, std::int64_t{0}), Boom);
  const Nat x = morvet::unfoldFix(badCoalg, std::int64_t{0});
  EXPECT_THROW((void)morvet::foldFix(count, x), Boom);
  EXPECT_THROW((void)morvet::foldFix(count, x), Boom);  // the failed layer keeps its failure
}

}  // namespace
