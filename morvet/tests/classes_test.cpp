#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "morvet/morvet.hpp"

namespace {

using morvet::Fix;
using morvet::Mu;
using morvet::Nu;
using Nat = Fix<hs::MaybeTag>;
using NatLayer = std::optional<Nat>;
using MuNat = Mu<hs::MaybeTag>;
using NuNat = Nu<hs::MaybeTag>;
using Rose = Fix<hs::ListTag>;
using IntList = Fix<morvet::ListFTag<std::int64_t>>;
using IntListF = morvet::ListF<std::int64_t, IntList>;

Nat nat(int n) {
  Nat x(NatLayer{});
  for (int i = 0; i < n; ++i) x = Nat(NatLayer(x));
  return x;
}
IntList fromVector(const std::vector<std::int64_t>& xs) {
  IntList acc(IntListF::Nil());
  for (std::size_t i = xs.size(); i-- > 0;) acc = IntList(IntListF::Cons(xs[i], acc));
  return acc;
}
const auto upward = [](const std::int64_t& n) -> std::optional<std::int64_t> { return n + 1; };

// A rose tree and its model, built from one random source.
struct Model {
  std::vector<Model> kids;
  friend bool operator==(const Model&, const Model&) = default;
};
hs::Ordering compareModel(const Model& a, const Model& b) {
  for (std::size_t i = 0;; ++i) {
    if (i == a.kids.size()) return i == b.kids.size() ? hs::EQ : hs::LT;
    if (i == b.kids.size()) return hs::GT;
    const hs::Ordering o = compareModel(a.kids[i], b.kids[i]);
    if (o != hs::EQ) return o;
  }
}
Model randomModel(std::mt19937& rng, int depth) {
  Model m;
  const int n = depth == 0 ? 0 : static_cast<int>(rng() % 3);
  for (int i = 0; i < n; ++i) m.kids.push_back(randomModel(rng, depth - 1));
  return m;
}
Rose toRose(const Model& m) {
  std::vector<Rose> kids;
  for (const Model& k : m.kids) kids.push_back(toRose(k));
  return Rose(std::move(kids));
}
// The lifted formulas, written out recursively.
std::int64_t referenceHash(std::int64_t salt, const Rose& r) {
  for (const Rose& k : r.unFix()) salt = referenceHash(salt, k);
  return hs::saltedWordHash(salt, r.unFix().size());
}
std::int64_t referenceHash(std::int64_t salt, const Nat& n) {
  if (!n.unFix()) return hs::saltedWordHash(salt, 0);
  return referenceHash(hs::saltedWordHash(salt, 1), *n.unFix());
}

TEST(Show, TextsOfFixMuAndNu) {
  const Nat one = nat(1);
  struct Case {
    std::string got, want;
  };
  std::string prec11;
  hs::showsPrec(11, nat(0), prec11);
  std::string muPrec11;
  hs::showsPrec(11, morvet::fixToMu(nat(0)), muPrec11);
  const Case cases[] = {
      {hs::show(nat(0)), "Fix Nothing"},
      {hs::show(one), "Fix (Just (Fix Nothing))"},
      {prec11, "(Fix Nothing)"},
      {hs::show(morvet::fixToMu(one)), "unfoldMu unFix (Fix (Just (Fix Nothing)))"},
      {hs::show(morvet::fixToNu(one)), "unfoldNu unFix (Fix (Just (Fix Nothing)))"},
      {muPrec11, "(unfoldMu unFix (Fix Nothing))"},
      {hs::show(fromVector({1, -2})), "Fix (Cons 1 (Fix (Cons (-2) (Fix Nil))))"},
      {hs::show(Rose(std::vector<Rose>{Rose(std::vector<Rose>{}), Rose(std::vector<Rose>{Rose(std::vector<Rose>{})})})),
       "Fix [Fix [],Fix [Fix []]]"},
      {hs::show(std::vector<Nat>{nat(0), nat(1)}), "[Fix Nothing,Fix (Just (Fix Nothing))]"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Show, WordsComeBeforeAnythingIsEvaluated) {
  const Nat bad(hs::Lazy<NatLayer>::defer([]() -> NatLayer { throw std::runtime_error("x"); }));
  std::string out;
  EXPECT_THROW(hs::showsPrec(11, bad, out), std::runtime_error);
  EXPECT_EQ(out, "(Fix ");
  const NuNat badNu = NuNat::defer([]() -> NuNat { throw std::runtime_error("x"); });
  out.clear();
  EXPECT_THROW(hs::showsPrec(0, badNu, out), std::runtime_error);
  EXPECT_EQ(out, "unfoldNu unFix (Fix ");  // the conversion is demanded by the layer, after "Fix "
}

TEST(Read, FormsPrecedenceBracketsAndIdentifiers) {
  struct Case {
    const char* text;
    int prec;
    std::optional<int> fix, mu, nu;  // the Nat read, if any, as each type
  };
  const Case cases[] = {
      {"Fix Nothing", 0, 0, {}, {}},
      {"Fix (Just (Fix Nothing))", 0, 1, {}, {}},
      {"  Fix   ( Just(Fix Nothing) ) ", 0, 1, {}, {}},
      {"Fix Nothing", 11, {}, {}, {}},
      {"(Fix Nothing)", 11, 0, {}, {}},
      {"((Fix Nothing))", 0, 0, {}, {}},
      {"Fix Just (Fix Nothing)", 0, {}, {}, {}},
      {"Fixx Nothing", 0, {}, {}, {}},
      {"fix Nothing", 0, {}, {}, {}},
      {"unfoldMu unFix (Fix (Just (Fix Nothing)))", 0, {}, 1, {}},
      {"unfoldNu unFix (Fix (Just (Fix Nothing)))", 0, {}, {}, 1},
      {"((unfoldMu unFix ((Fix Nothing))))", 11, {}, 0, {}},
      {"unfoldMu unFix (Fix Nothing)", 11, {}, {}, {}},
      {"unfoldMu unFix Fix Nothing", 0, {}, {}, {}},
      {"unfoldMu (Fix Nothing)", 0, {}, {}, {}},
      {"unfoldNu unFix (Fix Nothing)", 0, {}, {}, 0},
  };
  const auto one = [](auto parses) -> std::optional<Nat> {
    std::optional<Nat> found;
    int complete = 0;
    for (auto& [x, rest] : parses)
      if (hs::skipSpaces(rest).empty()) {
        ++complete;
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(x)>, Nat>)
          found = x;
        else if constexpr (std::is_same_v<std::remove_cvref_t<decltype(x)>, MuNat>)
          found = morvet::muToFix(x);
        else
          found = morvet::nuToFix(x);
      }
    if (complete != 1) return std::nullopt;
    return found;
  };
  for (const Case& c : cases) {
    const auto check = [&](std::optional<Nat> got, std::optional<int> want, const char* as) {
      EXPECT_EQ(got.has_value(), want.has_value()) << c.text << " as " << as;
      if (got && want) {
        EXPECT_EQ(*got, nat(*want)) << c.text << " as " << as;
      }
    };
    check(one(hs::readsPrec<Nat>(c.prec, c.text)), c.fix, "Fix");
    check(one(hs::readsPrec<MuNat>(c.prec, c.text)), c.mu, "Mu");
    check(one(hs::readsPrec<NuNat>(c.prec, c.text)), c.nu, "Nu");
  }
  EXPECT_EQ(hs::read<std::vector<Nat>>("[Fix Nothing , Fix (Just (Fix Nothing))]"),
            (std::vector<Nat>{nat(0), nat(1)}));
  EXPECT_EQ(hs::read<IntList>("Fix (Cons 1 (Fix (Cons (-2) (Fix Nil))))"), fromVector({1, -2}));
  EXPECT_EQ(hs::read<Rose>("Fix [Fix [],Fix [Fix []]]"),
            Rose(std::vector<Rose>{Rose(std::vector<Rose>{}), Rose(std::vector<Rose>{Rose(std::vector<Rose>{})})}));
}

TEST(Read, ShownValuesReadBack) {
  std::mt19937 rng(7);
  for (int i = 0; i < 30; ++i) {
    const Rose r = toRose(randomModel(rng, 4));
    EXPECT_EQ(hs::read<Rose>(hs::show(r)), r);
    const Mu<hs::ListTag> m = morvet::fixToMu(r);
    EXPECT_EQ(hs::read<Mu<hs::ListTag>>(hs::show(m)), m);
  }
}

TEST(Compare, EqualityAndOrderingAgreeWithAModel) {
  std::mt19937 rng(11);
  for (int i = 0; i < 300; ++i) {
    const Model a = randomModel(rng, 3), b = i % 5 == 0 ? a : randomModel(rng, 3);
    const Rose x = toRose(a), y = toRose(b);
    const hs::Ordering want = compareModel(a, b);
    EXPECT_EQ(morvet::compare(x, y), want);
    EXPECT_EQ(x == y, a == b);
    EXPECT_EQ(x < y, want == hs::LT);
    EXPECT_EQ(x >= y, want != hs::LT);
    const auto mx = morvet::fixToMu(x), my = morvet::fixToMu(y);
    const auto nx = morvet::fixToNu(x), ny = morvet::fixToNu(y);
    EXPECT_EQ(morvet::compare(mx, my), want);
    EXPECT_EQ(morvet::compare(nx, ny), want);
    EXPECT_EQ(mx == my, a == b);
    EXPECT_EQ(nx <= ny, want != hs::GT);
    EXPECT_EQ(nx > ny, want == hs::GT);
  }
  for (const auto& [p, q] : std::vector<std::pair<std::vector<std::int64_t>, std::vector<std::int64_t>>>{
           {{}, {}}, {{}, {1}}, {{1, 2}, {1, 3}}, {{2}, {1, 5}}, {{1, 2}, {1, 2}}}) {
    EXPECT_EQ(morvet::compare(fromVector(p), fromVector(q)), hs::toOrdering(p <=> q));
    EXPECT_EQ(fromVector(p) == fromVector(q), p == q);
  }
}

TEST(Compare, MaxAndMinReturnTheArgumentsThemselves) {
  const Nat a = nat(2), b = nat(2), c = nat(3);
  EXPECT_TRUE(morvet::ptrEq(morvet::max(a, b), b));
  EXPECT_TRUE(morvet::ptrEq(morvet::min(a, b), a));
  EXPECT_TRUE(morvet::ptrEq(morvet::max(c, a), c));
  EXPECT_TRUE(morvet::ptrEq(morvet::min(c, a), a));
  // Two equal Mu built in different ways.
  const MuNat m1 = morvet::unfoldMu([](const std::int64_t& n) -> std::optional<std::int64_t> {
    if (n == 0) return std::nullopt;
    return n - 1;
  }, std::int64_t{1});
  const MuNat m2 = morvet::wrapMu(std::optional<MuNat>(morvet::wrapMu(std::optional<MuNat>())));
  EXPECT_EQ(m1, m2);
  EXPECT_TRUE(morvet::ptrEq(morvet::max(m1, m2), m2));
  EXPECT_TRUE(morvet::ptrEq(morvet::min(m1, m2), m1));
  const NuNat n1 = morvet::fixToNu(nat(1)), n2 = morvet::fixToNu(nat(1));
  EXPECT_TRUE(morvet::ptrEq(morvet::max(n1, n2), n2));
  EXPECT_TRUE(morvet::ptrEq(morvet::min(n1, n2), n1));
}

TEST(Compare, EndlessAgainstFiniteAnswersAtOnce) {
  const NuNat endless = morvet::unfoldNu(upward, std::int64_t{0});
  const NuNat zero = morvet::fixToNu(nat(0));
  EXPECT_FALSE(endless == zero);
  EXPECT_EQ(morvet::compare(endless, zero), hs::GT);
  EXPECT_TRUE(zero < endless);
  // Differing only at the third layer.
  EXPECT_EQ(morvet::compare(morvet::fixToNu(nat(2)), endless), hs::LT);
  const Nat fixEndless = morvet::unfoldFix(upward, std::int64_t{0});
  EXPECT_FALSE(fixEndless == nat(5));
}

// Which operand an operation demands first shows in which failure surfaces: Fix demands the left
// layer first; Mu and Nu convert as the ordering table says (x < y and x >= y compare y with x).
// The left Nu's cell is fine and its step fails, the right Nu's cell fails: a conversion that
// evaluated its cell before the left layer is demanded would report the right one.
TEST(Compare, OperandsAreDemandedInTheirOrder) {
  struct Side : std::runtime_error {
    using std::runtime_error::runtime_error;
  };
  const auto failing = [](const char* side) {
    return Nat(hs::Lazy<NatLayer>::defer([side]() -> NatLayer { throw Side(side); }));
  };
  const auto first = [](auto op) -> std::string {
    try {
      op();
    } catch (const Side& e) {
      return e.what();
    }
    return "none";
  };
  const Nat fl = failing("left"), fr = failing("right");
  const MuNat ml([](const auto& alg) -> typename std::remove_cvref_t<decltype(alg)>::result_type {
    throw Side("left");
  });
  const MuNat mr([](const auto& alg) -> typename std::remove_cvref_t<decltype(alg)>::result_type {
    throw Side("right");
  });
  const NuNat nl = morvet::unfoldNu(
      [](const std::int64_t&) -> std::optional<std::int64_t> { throw Side("left"); }, std::int64_t{0});
  const NuNat nr = NuNat::defer([]() -> NuNat { throw Side("right"); });
  EXPECT_EQ(first([&] { (void)morvet::nuToFix(nr); }), "none");  // the conversion is deferred
  EXPECT_EQ(first([&] { (void)morvet::muToFix(mr); }), "none");
  struct Case {
    std::string op, fix, rebuilt;
  };
  const Case cases[] = {{"==", "left", "left"}, {"!=", "left", "left"}, {"compare", "left", "left"},
                        {"<", "left", "right"}, {"<=", "left", "left"}, {">", "left", "left"},
                        {">=", "left", "right"}, {"max", "left", "left"}, {"min", "left", "left"}};
  const auto run = [](const std::string& op, const auto& a, const auto& b) {
    if (op == "==") (void)(a == b);
    if (op == "!=") (void)(a != b);
    if (op == "compare") (void)morvet::compare(a, b);
    if (op == "<") (void)(a < b);
    if (op == "<=") (void)(a <= b);
    if (op == ">") (void)(a > b);
    if (op == ">=") (void)(a >= b);
    if (op == "max") (void)morvet::max(a, b);
    if (op == "min") (void)morvet::min(a, b);
  };
  for (const Case& c : cases) {
    EXPECT_EQ(first([&] { run(c.op, fl, fr); }), c.fix) << "Fix " << c.op;
    EXPECT_EQ(first([&] { run(c.op, ml, mr); }), c.rebuilt) << "Mu " << c.op;
    EXPECT_EQ(first([&] { run(c.op, nl, nr); }), c.rebuilt) << "Nu " << c.op;
  }
}

TEST(Hash, IsTheLiftedHashOfTheLayerWithNothingOfFixsOwn) {
  for (int n : {0, 1, 6}) {
    EXPECT_EQ(hs::hash(nat(n)), hs::hashWithSalt(hs::defaultSalt, nat(n)));
    EXPECT_EQ(hs::hashWithSalt(5, nat(n)), referenceHash(5, nat(n)));
  }
  // One layer by hand: the lifted hash with Fix's hash for the hole.
  EXPECT_EQ(hs::hashWithSalt(3, nat(1)), hs::saltedWordHash(hs::saltedWordHash(3, 1), 0));
  std::mt19937 rng(3);
  for (int i = 0; i < 50; ++i) {
    const Rose r = toRose(randomModel(rng, 4));
    EXPECT_EQ(hs::hashWithSalt(17, r), referenceHash(17, r));
  }
  const IntList l = fromVector({4, 5});
  const std::int64_t s = hs::defaultSalt;
  const std::int64_t want = hs::saltedWordHash(
      hs::hashWithSalt(hs::saltedWordHash(hs::hashWithSalt(hs::saltedWordHash(s, 1), std::int64_t{4}), 1),
                       std::int64_t{5}),
      0);
  EXPECT_EQ(hs::hash(l), want);
  EXPECT_EQ(std::hash<IntList>{}(l), static_cast<std::size_t>(want));
}

// A row of holes whose lifted hash counts its runs.
template <class R>
struct Row {
  std::vector<R> holes;
};
struct RowTag {
  template <class X>
  using apply = Row<X>;
};
int rowHashRuns = 0;

}  // namespace

template <class R>
struct hs::Hashable1<Row<R>> {
  template <class H>
  static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const Row<R>& r) {
    ++rowHashRuns;
    for (const R& x : r.holes) salt = h(salt, x);
    return hs::saltedWordHash(salt, r.holes.size());
  }
};

namespace {

// Near the root, each layer's lifted hash runs once, however many holes it has.
TEST(Hash, EachLayerIsHashedOnce) {
  using Table = Fix<RowTag>;
  const Table leaf(Row<Table>{});
  const Table wide(Row<Table>{std::vector<Table>(1000, Table(Row<Table>{{leaf, leaf}}))});
  rowHashRuns = 0;
  const std::int64_t got = hs::hashWithSalt(9, wide);
  EXPECT_EQ(rowHashRuns, 1 + 1000 * 3);
  std::int64_t salt = 9;
  for (int i = 0; i < 1000; ++i)
    salt = hs::saltedWordHash(hs::saltedWordHash(hs::saltedWordHash(salt, 0), 0), 2);
  EXPECT_EQ(got, hs::saltedWordHash(salt, 1000));
}

TEST(DeepEvaluation, ForcesEveryLayerAndSurfacesFailures) {
  const Nat x = morvet::unfoldFix([](const std::int64_t& n) -> std::optional<std::int64_t> {
    if (n == 0) return std::nullopt;
    return n - 1;
  }, std::int64_t{5});
  hs::rnf(x);
  const Nat* at = &x;
  for (;;) {
    ASSERT_TRUE(at->cell().evaluated());
    if (!at->unFix()) break;
    at = &*at->unFix();
  }
  const Nat bad = morvet::unfoldFix([](const std::int64_t& n) -> std::optional<std::int64_t> {
    if (n == 3) throw std::runtime_error("deep");
    return n + 1;
  }, std::int64_t{0});
  EXPECT_THROW(hs::rnf(bad), std::runtime_error);
  hs::rnf(fromVector({1, 2}));
}

}  // namespace
