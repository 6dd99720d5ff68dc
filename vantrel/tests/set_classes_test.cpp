// The set's class capabilities: equality, ordering and hashing through the map's walks, text
// forms, combination, folding, list conversion, deep evaluation and the generic description.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <vector>

#include "hs/classes1.hpp"
#include "testing/keys.hpp"
#include "testing/stacks.hpp"
#include "testing/trie.hpp"
#include "testing/values.hpp"
#include "vantrel/map/classes.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/read.hpp"
#include "vantrel/map/show.hpp"
#include "vantrel/set.hpp"
#include "vantrel/set/classes.hpp"
#include "vantrel/set/read.hpp"
#include "vantrel/set/show.hpp"

namespace {

using testing_support::Key;
using testing_support::key;
namespace I = vantrel::internal;
namespace S = vantrel::set;
namespace T = testing_support::trie;
using vantrel::HashSet;
using ISet = HashSet<std::int64_t>;
using KSet = HashSet<Key>;
using KMap = vantrel::HashMap<Key, hs::Unit>;

bool same(const KSet& a, const KSet& b) { return T::same(a.asMap(), b.asMap()); }
bool same(const ISet& a, const ISet& b) { return T::same(a.asMap(), b.asMap()); }
int storedTag(const KSet& s, std::int64_t id) {
  for (const Key& e : s)
    if (e.id == id) return e.tag;
  return -1;
}

// ---- Equality, ordering, hashing
// -------------------------------------------------------------

TEST(SetEquality, InsertionOrderDoesNotMatter) {
  // b, c and e collide: their collision records come out in insertion order.
  const Key a = key(1, 1), b = key(2, 2), c = key(3, 2), d = key(4, 33), e = key(5, 2);
  const KSet one = S::fromList({a, b, c, d, e});
  const KSet two = S::fromList({e, d, c, b, a});
  ASSERT_NE(T::entries(T::children(one.asMap())[1])[0].key.id,
            T::entries(T::children(two.asMap())[1])[0].key.id);
  EXPECT_TRUE(one == two);
  EXPECT_FALSE(one != two);
  EXPECT_EQ(S::hash(one), S::hash(two));
  EXPECT_EQ(S::hashWithSalt(42, one), S::hashWithSalt(42, two));
  EXPECT_EQ(std::hash<KSet>{}(one), std::hash<KSet>{}(two));
  EXPECT_TRUE(one != S::erase(c, two));
  EXPECT_TRUE(one != S::insert(key(6, 2), two));
  EXPECT_TRUE(KSet{} == KSet{});
  EXPECT_TRUE(KSet{} != S::singleton(a));

  const ISet x{1, 2, 33, 65}, y{65, 33, 2, 1};
  EXPECT_EQ(S::compare(x, y), hs::EQ);
  EXPECT_EQ(x <=> y, std::weak_ordering::equivalent);
  // A set of sets finds a set by its elements.
  const std::unordered_set<ISet> sets{x};
  EXPECT_EQ(sets.count(y), 1u);
}

TEST(SetEquality, LiftedRelation) {
  // Elements equal when they agree modulo 100; the stored hashes still have to agree.
  auto mod = [](std::int64_t p, std::int64_t q) { return p % 100 == q % 100; };
  EXPECT_TRUE(S::liftEq(mod, ISet{1, 2}, ISet{2, 1}));
  EXPECT_FALSE(S::liftEq(mod, ISet{1}, ISet{101}));
  EXPECT_TRUE(hs::liftEq(hs::Equal{}, ISet{5, 6}, ISet{6, 5}));
  // Sets of different element types.
  const HashSet<std::uint64_t> words{1, 2};
  EXPECT_TRUE(
      S::liftEq([](std::int64_t p, std::uint64_t q) { return p == static_cast<std::int64_t>(q); },
                ISet{1, 2}, words));
}

TEST(SetOrdering, Table) {
  struct Case {
    ISet x, y;
    hs::Ordering want;
  };
  const Case cases[] = {
      {{}, {}, hs::EQ},            // both empty
      {{}, {1}, hs::LT},           // the sequence that ends first
      {{1}, {}, hs::GT},           // and the other way round
      {{1}, {2}, hs::LT},          // stored hashes first
      {{1, 2}, {1}, hs::GT},       // the longer sequence
      {{2}, {1, 3}, hs::GT},       // first leaves decide: 2 against 1
      {{1, 33}, {1, 65}, hs::LT},  // the second leaves decide
  };
  for (const Case& c : cases) {
    EXPECT_EQ(S::compare(c.x, c.y), c.want) << hs::show(c.x) << " " << hs::show(c.y);
    EXPECT_EQ(c.x < c.y, c.want == hs::LT);
    EXPECT_EQ(c.x <= c.y, c.want != hs::GT);
    EXPECT_EQ(c.x > c.y, c.want == hs::GT);
    EXPECT_EQ(c.x >= c.y, c.want != hs::LT);
    EXPECT_EQ(hs::toOrdering(c.x <=> c.y), c.want);
  }
  // Equal sets: max gives the second, min the first, the very sets.
  const ISet p{1, 2}, q{2, 1};
  EXPECT_TRUE(same(S::max(p, q), q));
  EXPECT_TRUE(same(S::min(p, q), p));
  const ISet big{3};
  EXPECT_TRUE(same(S::max(big, p), big));
  EXPECT_TRUE(same(S::min(big, p), p));
  // The caller's comparison sees the elements of colliding hashes as unordered collections.
  auto byValue = [](std::int64_t u, std::int64_t v) { return hs::compare(u, v); };
  EXPECT_EQ(S::liftCompare(byValue, ISet{1, 2}, ISet{1, 3}), hs::LT);
  EXPECT_EQ(hs::liftCompare(byValue, ISet{4}, ISet{4}), hs::EQ);
  auto reversed = [](std::int64_t u, std::int64_t v) { return hs::compare(v, u); };
  // One leaf each, of equal stored hash: only the caller's comparison decides.
  const ISet lo = ISet(T::leaf<std::int64_t, hs::Unit>(7, 1, hs::unitCell()));
  const ISet hi = ISet(T::leaf<std::int64_t, hs::Unit>(7, 2, hs::unitCell()));
  EXPECT_EQ(S::liftCompare(byValue, lo, hi), hs::LT);
  EXPECT_EQ(S::liftCompare(reversed, lo, hi), hs::GT);
}

TEST(SetHashing, EqualsTheHashOfTheMapToUnit) {
  const Key a = key(1, 1), b = key(2, 2), c = key(3, 2);
  const KSet s = S::fromList({a, b, c});
  // A map built on its own from the same keys, with unit values.
  const KMap m = vantrel::lazy::fromList(
      std::vector<std::pair<Key, hs::Unit>>{{c, hs::unit}, {a, hs::unit}, {b, hs::unit}});
  for (std::int64_t salt : {std::int64_t{0}, std::int64_t{7}, hs::defaultSalt}) {
    EXPECT_EQ(S::hashWithSalt(salt, s), hs::hashWithSalt(salt, m)) << salt;
    EXPECT_EQ(hs::hashWithSalt(salt, s), hs::hashWithSalt(salt, m)) << salt;
  }
  EXPECT_EQ(S::hash(s), vantrel::lazy::hash(m));
  EXPECT_EQ(hs::hash(s), S::hash(s));
  EXPECT_EQ(S::hash(KSet{}), hs::defaultSalt);

  // The lifted hash hashes a Leaf's element with the running salt instead of mixing in its stored
  // hash. For machine integers the two agree (hashWithSalt of an Int is saltedWordHash of the
  // Int); for strings they do not.
  const HashSet<std::string> word{"ab"};
  const std::int64_t lifted = S::liftHashWithSalt(hs::HashWithSalt{}, 3, word);
  EXPECT_EQ(lifted, hs::hashWithSalt(hs::hashWithSalt(3, std::string("ab")), hs::unit));
  EXPECT_EQ(S::hashWithSalt(3, word),
            hs::hashWithSalt(
                hs::saltedWordHash(3, static_cast<std::uint64_t>(hs::hash(std::string("ab")))),
                hs::unit));
  EXPECT_NE(lifted, S::hashWithSalt(3, word));
  EXPECT_EQ(hs::liftHashWithSalt(hs::HashWithSalt{}, 3, word), lifted);
  EXPECT_EQ(S::liftHashWithSalt(hs::HashWithSalt{}, 3, ISet{5}), S::hashWithSalt(3, ISet{5}));
  // ... and equals the map's two-argument lifted hash with the unit's hash for the values.
  auto h = [](std::int64_t salt, const Key& k) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(salt) * 31 +
                                     static_cast<std::uint64_t>(k.id));
  };
  EXPECT_EQ(S::liftHashWithSalt(h, 9, s), I::liftHashWithSalt2(h, hs::HashWithSalt{}, 9, m));
  // Collisions are hashed independently of their record order.
  EXPECT_EQ(S::liftHashWithSalt(h, 9, s), S::liftHashWithSalt(h, 9, S::fromList({c, b, a})));
}

// ---- Text forms
// ----------------------------------------------------------------------------------

TEST(SetShow, Texts) {
  struct Case {
    std::string got, want;
  };
  const Case cases[] = {
      {hs::show(ISet{}), "fromList []"},
      {hs::show(ISet{1, 2}), "fromList [1,2]"},
      {hs::show(ISet{2, 33, 1}), "fromList [1,33,2]"},  // trie order
      {hs::show(ISet{-1}), "fromList [-1]"},
      {hs::show(HashSet<char32_t>{U'\n', U'b', U'a'}), "fromList \"ab\\n\""},
      {hs::show(HashSet<char32_t>{}), "fromList \"\""},
      {hs::show(HashSet<std::string>{"x y"}), "fromList [\"x y\"]"},
      {hs::show(std::optional<ISet>(ISet{3})), "Just (fromList [3])"},
      {hs::show(std::vector<ISet>{ISet{}, ISet{1}}), "[fromList [],fromList [1]]"},
      {hs::show(HashSet<ISet>{ISet{}}), "fromList [fromList []]"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  for (int d : {0, 10, 11}) {
    std::string out = "<";
    hs::showsPrec(d, ISet{1}, out);
    EXPECT_EQ(out, d > 10 ? "<(fromList [1])" : "<fromList [1]") << d;
  }
}

TEST(SetShow, LiftedWriters) {
  auto never = [](int, std::int64_t, std::string&) { ADD_FAILURE() << "the element writer ran"; };
  auto list = [](const std::vector<std::int64_t>& xs, std::string& out) {
    out += "<" + std::to_string(xs.size()) + ">";
  };
  std::string out;
  hs::liftShowsPrec(never, list, 11, ISet{1, 2}, out);
  EXPECT_EQ(out, "(fromList <2>)");
  out.clear();
  hs::liftShowsPrec(never, list, 10, ISet{}, out);
  EXPECT_EQ(out, "fromList <0>");
  out.clear();
  hs::liftShowList(never, list, std::vector<ISet>{ISet{}, ISet{7}}, out);
  EXPECT_EQ(out, "[fromList <0>,fromList <1>]");
  // With the element type's own writers the lifted text is the plain one.
  out.clear();
  hs::liftShowsPrec(hs::ShowsPrec{}, hs::ShowList{}, 11, HashSet<char32_t>{U'q'}, out);
  std::string plain;
  hs::showsPrec(11, HashSet<char32_t>{U'q'}, plain);
  EXPECT_EQ(out, plain);
}

TEST(SetRead, Table) {
  struct Case {
    std::string_view text;
    int prec;
    std::vector<std::pair<std::vector<std::int64_t>, std::string_view>> parses;  // sorted elements
  };
  const Case cases[] = {
      {"fromList []", 0, {{{}, ""}}},
      {"(fromList [])", 0, {{{}, ""}}},
      {"((fromList []))", 0, {{{}, ""}}},
      {"fromList [1,1,2]", 0, {{{1, 2}, ""}}},
      {"  fromList  [ 3 , -4 ]  rest", 0, {{{-4, 3}, "  rest"}}},
      {"fromList[5]", 0, {{{5}, ""}}},
      {"fromList ([6])", 0, {{{6}, ""}}},
      {"fromList [1]", 10, {{{1}, ""}}},
      {"fromList [1]", 11, {}},
      {"(fromList [1])", 11, {{{1}, ""}}},
      {"( ( fromList [] ) ) )", 0, {{{}, " )"}}},
      {"(fromList [1]", 0, {}},
      {"fromListX [1]", 0, {}},
      {"fromlist [1]", 0, {}},
      {"Set.fromList [1]", 0, {}},
      {"fromList", 0, {}},
      {"fromList [1", 0, {}},
      {"fromList [(1,2)]", 0, {}},
      {"", 0, {}},
  };
  for (const Case& c : cases) {
    const auto got = hs::readsPrec<ISet>(c.prec, c.text);
    ASSERT_EQ(got.size(), c.parses.size()) << c.text << " at " << c.prec;
    for (std::size_t i = 0; i < got.size(); ++i) {
      std::vector<std::int64_t> xs = S::toList(got[i].first);
      std::sort(xs.begin(), xs.end());
      EXPECT_EQ(xs, c.parses[i].first) << c.text;
      EXPECT_EQ(got[i].second, c.parses[i].second) << c.text;
    }
  }
  // The element type's list reader: characters read from a string literal or a list.
  EXPECT_EQ(hs::read<HashSet<char32_t>>("fromList \"abca\""),
            (HashSet<char32_t>{U'a', U'b', U'c'}));
  EXPECT_EQ(hs::read<HashSet<char32_t>>("fromList ['z']"), HashSet<char32_t>{U'z'});
  // Lists of sets, and round trips.
  const ISet s{1, 33, 2, -7};
  EXPECT_EQ(hs::read<ISet>(hs::show(s)), s);
  EXPECT_EQ(hs::read<std::vector<ISet>>(hs::show(std::vector<ISet>{s, ISet{}})),
            (std::vector<ISet>{s, ISet{}}));
  EXPECT_EQ(hs::read<HashSet<std::string>>(hs::show(HashSet<std::string>{"a \"b\"", ""})),
            (HashSet<std::string>{"a \"b\"", ""}));
  // Deep brackets give no parse; ambiguous string elements are followed once.
  EXPECT_FALSE(hs::readMaybe<ISet>(std::string(200000, '(') + "fromList [1]"));
  EXPECT_FALSE(hs::readMaybe<ISet>("fromList [" + std::string(200000, '(') + "1]"));
  std::string strings = "fromList [";
  for (int i = 0; i < 40; ++i) strings += (i ? ",(['" : "(['") + std::to_string(i % 10) + "'])";
  EXPECT_EQ(hs::reads<HashSet<std::string>>(strings + "]").size(), 2u);
  EXPECT_FALSE(hs::readMaybe<ISet>("fromList [1] junk"));
}

// ---- Semigroup and monoid
// ------------------------------------------------------------------------

TEST(SetSemigroup, UnionFromTheLeft) {
  const Key a1 = key(1, 1, 10), a2 = key(1, 1, 20), a3 = key(1, 1, 30), b = key(2, 2);
  const KSet s1{a1}, s2{a2, b}, s3{a3};
  EXPECT_EQ(storedTag(hs::mappend(s1, s2), 1), 10);
  EXPECT_EQ(storedTag(hs::sconcat(hs::NonEmpty<KSet>{s1, {s2, s3}}), 1), 10);
  EXPECT_EQ(storedTag(hs::sconcat(hs::NonEmpty<KSet>{s3, {s2, s1}}), 1), 30);
  EXPECT_EQ(storedTag(hs::mconcat(std::vector<KSet>{s2, s1, s3}), 1), 20);
  EXPECT_TRUE(hs::mconcat(std::vector<KSet>{}).empty());
  EXPECT_TRUE(hs::mempty<KSet>().empty());
  EXPECT_EQ(S::size(hs::mconcat(std::vector<KSet>{s1, s2, s3})), 2);
  // A single set is the set itself.
  EXPECT_TRUE(same(hs::sconcat(hs::NonEmpty<KSet>{s2, {}}), s2));

  EXPECT_TRUE(same(hs::stimes(3, s2), s2));
  EXPECT_TRUE(same(hs::stimes(std::uint8_t{1}, s2), s2));
  EXPECT_TRUE(hs::stimes(0, s2).empty());
  try {
    (void)hs::stimes(-1, s2);
    ADD_FAILURE() << "no error";
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), "stimesIdempotentMonoid: negative multiplier");
    EXPECT_TRUE(e.callStack().entries().empty());
  }
}

// ---- Folding
// ---------------------------------------------------------------------------------------

TEST(SetFoldable, ThePlatformFrontDoors) {
  using F = hs::Foldable<vantrel::HashSetTag>;
  const ISet s{1, 33, 2};  // trie order 1, 33, 2
  EXPECT_EQ(hs::toList(s), (std::vector<std::int64_t>{1, 33, 2}));
  EXPECT_EQ(hs::foldr(
                [](std::int64_t x, const hs::Lazy<std::string>& rest) {
                  return std::to_string(x) + "," + rest.force();
                },
                std::string("."), s),
            "1,33,2,.");
  EXPECT_EQ(hs::foldMap<std::string>([](std::int64_t x) { return std::to_string(x); }, s), "1332");
  EXPECT_EQ(hs::foldMap<std::string>([](std::int64_t x) { return std::to_string(x); }, ISet{}), "");
  EXPECT_EQ(F::foldMap_<std::string>([](std::int64_t x) { return std::to_string(x); }, s), "1332");
  EXPECT_EQ(F::fold(HashSet<std::string>{"a"}), "a");
  EXPECT_EQ(F::fold(HashSet<std::string>{}), "");
  auto digits = [](const hs::Lazy<std::int64_t>& acc, std::int64_t x) {
    return acc.force() * 100 + x;
  };
  EXPECT_EQ(F::foldl(digits, std::int64_t{0}, s), 13302);
  EXPECT_EQ(F::foldl_([](std::int64_t acc, std::int64_t x) { return acc - x; }, std::int64_t{0}, s),
            -36);
  EXPECT_EQ(F::foldr_([](std::int64_t x, std::int64_t acc) { return x - acc; }, std::int64_t{0}, s),
            1 - (33 - 2));
  EXPECT_EQ(hs::foldl_([](std::int64_t acc, std::int64_t x) { return acc * 100 + x; },
                       std::int64_t{0}, s),
            13302);
  EXPECT_EQ(hs::foldr1([](std::int64_t x, std::int64_t acc) { return x - acc; }, s), 1 - (33 - 2));
  EXPECT_EQ(hs::foldl1([](std::int64_t acc, std::int64_t x) { return acc - x; }, s), 1 - 33 - 2);
  EXPECT_FALSE(hs::null(s));
  EXPECT_TRUE(hs::null(ISet{}));
  EXPECT_EQ(hs::length(s), 3);
  EXPECT_EQ(hs::maximum(s), 33);
  EXPECT_EQ(hs::minimum(s), 1);
  EXPECT_EQ(hs::sum(s), 36);
  EXPECT_EQ(hs::product(s), 66);
  EXPECT_EQ(hs::sum(ISet{}), 0);
  EXPECT_EQ(hs::product(ISet{}), 1);
  EXPECT_TRUE(hs::elem(std::int64_t{33}, s));
  EXPECT_TRUE(F::elem(std::int64_t{2}, s));
  EXPECT_FALSE(F::elem(std::int64_t{3}, s));

  struct Empty {
    const char* message;
    std::function<void()> run;
  };
  const Empty empties[] = {
      {"foldr1: empty structure",
       [] { (void)hs::foldr1([](std::int64_t x, std::int64_t) { return x; }, ISet{}); }},
      {"foldl1: empty structure",
       [] { (void)hs::foldl1([](std::int64_t x, std::int64_t) { return x; }, ISet{}); }},
      {"maximum: empty structure", [] { (void)hs::maximum(ISet{}); }},
      {"minimum: empty structure", [] { (void)hs::minimum(ISet{}); }},
  };
  for (const Empty& e : empties) {
    try {
      e.run();
      ADD_FAILURE() << "no error: " << e.message;
    } catch (const hs::ProgramError& err) {
      EXPECT_STREQ(err.what(), e.message);
      EXPECT_TRUE(err.callStack().entries().empty());
    }
  }
}

TEST(SetFoldable, ElemStopsAtTheFirstEqualElement) {
  using F = hs::Foldable<vantrel::HashSetTag>;
  const KSet s = S::fromList({key(1, 1, 1), key(2, 2, 2), key(3, 2, 3)});
  testing_support::keyLog().clear();
  EXPECT_TRUE(F::elem(key(2, 99, 9), s));
  // The element asked for on the left, the stored ones in trie order, up to the first equal one.
  EXPECT_EQ(testing_support::keyLog().eqCalls, (std::vector<std::pair<int, int>>{{9, 1}, {9, 2}}));
  testing_support::keyLog().clear();
  EXPECT_FALSE(F::elem(key(2, 2, 9), KSet{}));
  EXPECT_TRUE(testing_support::keyLog().eqCalls.empty());
  EXPECT_FALSE(F::elem(key(7, 2, 9), s));
  EXPECT_EQ(testing_support::keyLog().eqCalls.size(), 3u);
}

// ---- Lists, deep evaluation
// ----------------------------------------------------------------------

TEST(SetIsList, ConversionsAndCounts) {
  const std::vector<std::int64_t> xs{5, 1, 5, 37};
  EXPECT_EQ(hs::fromList<ISet>(xs), (ISet{1, 5, 37}));
  EXPECT_EQ(hs::fromListN<ISet>(0, xs), hs::fromList<ISet>(xs));
  EXPECT_EQ(hs::fromListN<ISet>(99, xs), hs::fromList<ISet>(xs));
  EXPECT_EQ(hs::toItems(ISet{1, 33, 2}), (std::vector<std::int64_t>{1, 33, 2}));
  // Of equal elements the first stays.
  const KSet s = hs::fromList<KSet>({key(1, 1, 1), key(1, 1, 2)});
  EXPECT_EQ(storedTag(s, 1), 1);
}

// Elements that record their deep evaluation.
struct Deep {
  std::int64_t id;
  friend bool operator==(const Deep& x, const Deep& y) { return x.id == y.id; }
};
std::vector<std::int64_t>& deepLog() {
  static std::vector<std::int64_t> log;
  return log;
}

}  // namespace

template <>
struct hs::Hashable<Deep> {
  static std::int64_t hash(const Deep& x) { return x.id; }
  static std::int64_t hashWithSalt(std::int64_t salt, const Deep& x) {
    return hs::saltedWordHash(salt, static_cast<std::uint64_t>(x.id));
  }
};
template <>
struct hs::NFData<Deep> {
  static void rnf(const Deep& x) { deepLog().push_back(x.id); }
};

namespace {

TEST(SetNFData, ElementsInTrieOrderAndTheUnitCells) {
  deepLog().clear();
  const HashSet<Deep> s{Deep{2}, Deep{33}, Deep{1}};
  hs::rnf(s);
  EXPECT_EQ(deepLog(), (std::vector<std::int64_t>{1, 33, 2}));
  std::vector<std::int64_t> seen;
  hs::liftRnf([&](const Deep& x) { seen.push_back(x.id); }, s);
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 33, 2}));
  S::liftRnf([&](const Deep& x) { seen.push_back(-x.id); }, s);
  EXPECT_EQ(seen.back(), -2);

  // The value step evaluates the unit of each entry: a failing one from a handed-in map surfaces
  // after the elements before it.
  const vantrel::HashMap<std::int64_t, hs::Unit> m = vantrel::lazy::insert(
      std::int64_t{2}, testing_support::throwing<hs::Unit>(),
      vantrel::lazy::insert(std::int64_t{1}, hs::unit, vantrel::HashMap<std::int64_t, hs::Unit>{}));
  const ISet fragile = S::fromMap(m);
  EXPECT_THROW(hs::rnf(fragile), testing_support::TestFailure);
  std::vector<std::int64_t> visited;
  EXPECT_THROW((void)S::liftRnf([&](std::int64_t x) { visited.push_back(x); }, fragile),
               testing_support::TestFailure);
  EXPECT_EQ(visited, (std::vector<std::int64_t>{1, 2}));
  EXPECT_EQ(S::rnf(ISet{1}), hs::unit);
}

// ---- Generic programming
// -------------------------------------------------------------------------

struct SetTag {
  template <class X>
  using apply = HashSet<X>;
};
struct VectorTag {
  template <class X>
  using apply = std::vector<X>;
};
struct PairTag {
  template <class A, class B>
  using apply = std::pair<A, B>;
};

TEST(SetData, Descriptions) {
  const hs::data::DataType dt = hs::dataTypeOf<ISet>();
  EXPECT_EQ(hs::data::dataTypeName(dt), "Vantrel.Set.Internal.HashSet");
  const hs::data::Constr c = hs::toConstr(ISet{1});
  EXPECT_EQ(c, I::set::fromListConstr());
  EXPECT_EQ(hs::toConstr(ISet{}), c);
  EXPECT_EQ(hs::data::showConstr(c), "fromList");
  EXPECT_TRUE(hs::data::constrFields(c).empty());
  EXPECT_EQ(hs::data::constrFixity(c), hs::data::Prefix);
  EXPECT_EQ(hs::data::constrIndex(c), 1);
  EXPECT_EQ(hs::data::dataTypeConstrs(dt), (std::vector<hs::data::Constr>{c}));
  // Not the map's constructor of the same name.
  EXPECT_NE(c, I::fromListConstr());
}

TEST(SetData, FoldsAndUnfoldsThroughTheElementList) {
  using Elements = std::vector<std::int64_t>;
  const ISet s{1, 33, 2};
  const auto fields = hs::gmapQ<Elements>(
      [](const auto& x) {
        if constexpr (std::is_same_v<std::decay_t<decltype(x)>, Elements>)
          return x;
        else
          return Elements{};
      },
      s);
  EXPECT_EQ(fields, (std::vector<Elements>{{1, 33, 2}}));
  const ISet shifted = hs::gmapT(
      [](const auto& x) {
        auto out = x;
        if constexpr (std::is_same_v<std::decay_t<decltype(x)>, Elements>)
          for (auto& e : out) e = e % 2;
        return out;
      },
      s);
  EXPECT_EQ(shifted, (ISet{0, 1}));

  auto z = [](auto g) { return g; };
  auto k = [](auto f, auto field) {
    static_assert(std::is_same_v<typename decltype(field)::type, Elements>);
    return f(Elements{4, 4, 5});
  };
  EXPECT_EQ(hs::gunfold<ISet>(k, z, I::set::fromListConstr()), (ISet{4, 5}));

  const auto other = hs::data::mkDataType("Test.Two", {"A", "B"});
  try {
    (void)hs::gunfold<ISet>(k, z, hs::data::indexConstr(other, 2));
    ADD_FAILURE() << "no error";
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), "gunfold");
    ASSERT_EQ(e.callStack().entries().size(), 1u);
    EXPECT_EQ(e.callStack().entries()[0],
              (hs::SrcLoc{"error", vantrel::packageId(), "Vantrel.Set.Internal",
                          "./Vantrel/Set/Internal", 234, 14, 234, 19}));
  }
  // Index 1 of another algebraic type is accepted, as the index alone decides.
  EXPECT_EQ(hs::gunfold<ISet>(k, z, hs::data::indexConstr(other, 1)), (ISet{4, 5}));
  // A constructor of a type that is not algebraic fails with the description's own error.
  try {
    (void)hs::gunfold<ISet>(k, z, hs::data::mkIntegralConstr(hs::dataTypeOf<std::int64_t>(), 3));
    ADD_FAILURE() << "no error";
  } catch (const hs::ProgramError& e) {
    EXPECT_STRNE(e.what(), "gunfold");
  }
}

TEST(SetData, Casts) {
  auto one = [](auto) { return std::string("one"); };
  auto two = [](auto, auto) { return 2; };
  EXPECT_EQ((hs::dataCast1<ISet, SetTag, std::string>(one)), std::optional<std::string>("one"));
  EXPECT_FALSE((hs::dataCast1<ISet, VectorTag, std::string>(one)));
  EXPECT_FALSE((hs::dataCast2<ISet, PairTag, int>(two)));
}

// ---- Elements that nest sets of their own kind

// A tree hashed by its label alone, equal and ordered by label and then its set of subtrees (the
// order three-way: hs::compare of a type with only < would compare every level twice). The set is
// held in a cell: a set held in an element itself is freed by native recursion.
struct SetTree {
  std::int64_t label = 0;
  hs::Lazy<HashSet<SetTree>> kids = HashSet<SetTree>();
  friend bool operator==(const SetTree& a, const SetTree& b) {
    return a.label == b.label && *a.kids == *b.kids;
  }
  friend bool operator<(const SetTree& a, const SetTree& b);
};
struct SetTreeCompare {
  hs::Ordering operator()(const SetTree& a, const SetTree& b) const {
    const hs::Ordering o = hs::compare(a.label, b.label);
    return o != hs::EQ ? o : S::liftCompare(*this, *a.kids, *b.kids);
  }
};
bool operator<(const SetTree& a, const SetTree& b) { return SetTreeCompare{}(a, b) == hs::LT; }
struct SetTreeEq {
  bool operator()(const SetTree& a, const SetTree& b) const {
    return a.label == b.label && S::liftEq(*this, *a.kids, *b.kids);
  }
};

}  // namespace

template <>
struct hs::Hashable<SetTree> {
  static std::int64_t hashWithSalt(std::int64_t salt, const SetTree& t) {
    return hs::hashWithSalt(salt, t.label);
  }
};

namespace {

// `depth` nested sets of one element each, labelled 0 down to the innermost, labelled `bottom`.
SetTree setChain(std::int64_t depth, std::int64_t bottom) {
  SetTree t{bottom};
  for (std::int64_t i = 1; i < depth; ++i) t = SetTree{0, S::singleton(std::move(t))};
  return t;
}

TEST(SetDepth, ElementsNestedThroughSetsCompareOnASmallStack) {
  constexpr std::int64_t depth = 100000;
  const SetTree a = setChain(depth, 1), same = setChain(depth, 1), other = setChain(depth, 2);
  const hs::Ordering order = S::compare(*setChain(2, 1).kids, *setChain(2, 2).kids);
  ASSERT_NE(order, hs::EQ);
  testing_support::onThreadStack(256 * 1024, [&] {
    EXPECT_TRUE(a == same);
    EXPECT_FALSE(a == other);
    EXPECT_EQ(S::compare(*a.kids, *same.kids), hs::EQ);
    EXPECT_EQ(S::compare(*a.kids, *other.kids), order);
    EXPECT_EQ(a < other, order == hs::LT);
    EXPECT_TRUE(SetTreeEq{}(a, same));
    EXPECT_FALSE(SetTreeEq{}(a, other));
    EXPECT_EQ(SetTreeCompare{}(other, a), order == hs::LT ? hs::GT : hs::LT);
  });
}

}  // namespace
