// Set operations: which set object an operation gives back, which element object a set keeps, the
// shapes filtering leaves, and the order in which folds visit elements.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "testing/keys.hpp"
#include "testing/trie.hpp"
#include "testing/values.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/set.hpp"

namespace {

using testing_support::Key;
using testing_support::key;
namespace I = vantrel::internal;
namespace S = vantrel::set;
namespace T = testing_support::trie;
using KSet = vantrel::HashSet<Key>;
using KMap = vantrel::HashMap<Key, hs::Unit>;
using ISet = vantrel::HashSet<std::int64_t>;

bool same(const KSet& a, const KSet& b) { return T::same(a.asMap(), b.asMap()); }
bool valid(const KSet& s) { return I::debug::valid(s.asMap()).isValid(); }
bool sharesUnitCell(const KSet& s) {
  for (const auto& r : s.asMap())
    if (!hs::ptrEq(r.value, hs::unitCell())) return false;
  return true;
}
// The tag of the stored element with this id, or -1.
int storedTag(const KSet& s, std::int64_t id) {
  for (const Key& e : s)
    if (e.id == id) return e.tag;
  return -1;
}
std::vector<std::int64_t> ids(const KSet& s) {
  std::vector<std::int64_t> out;
  for (const Key& e : s) out.push_back(e.id);
  return out;
}

// The shape of a trie: E, L<id>, C[<ids>], B<bitmap in hex>[...], F[...].
std::string shape(const KMap& m) {
  switch (T::kind(m)) {
    case T::Kind::Empty:
      return "E";
    case T::Kind::Leaf:
      return "L" + std::to_string(I::leafOf(m).key.id);
    case T::Kind::Collision: {
      std::string out = "C[";
      for (const auto& e : T::entries(m))
        out += (out.size() > 2 ? "," : "") + std::to_string(e.key.id);
      return out + "]";
    }
    default: {
      char hex[32];
      std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(T::word(m)));
      std::string out = T::kind(m) == T::Kind::Full ? "F[" : std::string("B") + hex + "[";
      bool first = true;
      for (const auto& c : T::children(m)) {
        out += (first ? "" : ",") + shape(c);
        first = false;
      }
      return out + "]";
    }
  }
}

// a and d share the lowest chunk (1); b and c collide on hash 2. Trie order: a, d, b, c.
const Key a = key(1, 1, 10), d = key(4, 33, 40), b = key(2, 2, 20), c = key(3, 2, 30);
KSet base() { return S::fromList({a, d, b, c}); }

TEST(SetBasics, ShapeAndQueries) {
  const KSet s = base();
  EXPECT_EQ(shape(s.asMap()), "B6[B3[L1,L4],C[2,3]]");
  EXPECT_TRUE(valid(s));
  EXPECT_TRUE(sharesUnitCell(s));
  EXPECT_EQ(S::size(s), 4);
  EXPECT_FALSE(S::null(s));
  EXPECT_TRUE(S::null(S::empty<Key>()));
  EXPECT_TRUE(S::member(key(3, 2), s));
  EXPECT_FALSE(S::member(key(5, 2), s));
  EXPECT_FALSE(S::member(key(1, 65), s));
  EXPECT_EQ(ids(s), (std::vector<std::int64_t>{1, 4, 2, 3}));
  EXPECT_EQ(S::toList(s).size(), 4u);

  const KSet one = S::singleton(key(7, 7, 70));
  EXPECT_EQ(T::kind(one.asMap()), T::Kind::Leaf);
  EXPECT_EQ(T::word(one.asMap()), 7u);
  EXPECT_TRUE(sharesUnitCell(one));

  // Wrapping and unwrapping share the very map.
  EXPECT_TRUE(T::same(S::toMap(s), s.asMap()));
  EXPECT_TRUE(T::same(S::asMap(s), s.asMap()));
  EXPECT_TRUE(same(S::fromMap(s.asMap()), s));
}

TEST(SetBasics, KeysSetKeepsTheMapsShape) {
  const vantrel::HashMap<Key, std::int64_t> m =
      vantrel::lazy::fromList(std::vector<std::pair<Key, hs::Lazy<std::int64_t>>>{
          {a, 1}, {d, 2}, {b, testing_support::throwing<std::int64_t>()}, {c, 4}});
  testing_support::keyLog().clear();
  const KSet s = S::keysSet(m);
  EXPECT_TRUE(testing_support::keyLog().eqCalls.empty());
  EXPECT_EQ(testing_support::keyLog().hashCalls, 0);
  EXPECT_EQ(shape(s.asMap()), "B6[B3[L1,L4],C[2,3]]");
  EXPECT_TRUE(sharesUnitCell(s));
  EXPECT_TRUE(valid(s));
  EXPECT_EQ(storedTag(s, 2), 20);
  EXPECT_TRUE(S::keysSet(vantrel::HashMap<Key, int>{}).empty());
}

TEST(SetIdentity, Table) {
  const KSet s = base();
  const KSet e;
  const KSet one = S::singleton(a);
  struct Case {
    const char* what;
    KSet input, got;
    bool same;
  };
  const Case cases[] = {
      {"insert an element held by a Leaf", s, S::insert(key(1, 1, 11), s), true},
      {"insert an element held by a Collision", s, S::insert(key(2, 2, 21), s), false},
      {"insert a new element of a collision's hash", s, S::insert(key(5, 2, 50), s), false},
      {"insert a new element", s, S::insert(key(5, 5, 50), s), false},
      {"insert into the empty set", e, S::insert(a, e), false},
      {"erase an absent element", s, S::erase(key(9, 9), s), true},
      {"erase an absent element of a Leaf's hash", s, S::erase(key(9, 1), s), true},
      {"erase an absent element of a collision's hash", s, S::erase(key(9, 2), s), true},
      {"erase a present element", s, S::erase(key(4, 33), s), false},
      {"erase from the empty set", e, S::erase(a, e), true},
      {"filter keeping everything", s, S::filter([](const Key&) { return true; }, s), false},
      {"filter a one-Leaf set keeping it", one, S::filter([](const Key&) { return true; }, one),
       true},
      {"filter the empty set", e, S::filter([](const Key&) { return false; }, e), true},
  };
  for (const Case& t : cases) {
    EXPECT_EQ(same(t.got, t.input), t.same) << t.what;
    EXPECT_TRUE(valid(t.got)) << t.what;
    EXPECT_TRUE(sharesUnitCell(t.got)) << t.what;
  }
}

TEST(SetKeptElement, InsertAndErase) {
  const KSet s = base();
  // Held by a Leaf: the stored element stays.
  EXPECT_EQ(storedTag(S::insert(key(1, 1, 11), s), 1), 10);
  // Held by a Collision: the new element, at the old position.
  const KSet replaced = S::insert(key(2, 2, 21), s);
  EXPECT_EQ(shape(replaced.asMap()), "B6[B3[L1,L4],C[2,3]]");
  EXPECT_EQ(storedTag(replaced, 2), 21);
  EXPECT_EQ(storedTag(replaced, 3), 30);
  // The untouched subtree is shared.
  EXPECT_TRUE(T::same(T::children(replaced.asMap())[0], T::children(s.asMap())[0]));
  // A collision of two that loses one leaves a Leaf.
  EXPECT_EQ(shape(S::erase(key(2, 2), s).asMap()), "B6[B3[L1,L4],L3]");
  EXPECT_EQ(shape(S::erase(key(1, 1), s).asMap()), "B6[L4,C[2,3]]");
}

TEST(SetKeptElement, AnEntryWithItsOwnUnitCellIsReplaced) {
  // A map handed in with a unit cell of its own: re-inserting the element builds a new Leaf with
  // the new element and the shared cell.
  const KMap own = I::insert<Key, hs::Unit>(a, hs::Lazy<hs::Unit>(hs::unit), KMap{});
  const KSet s = S::fromMap(own);
  const KSet t = S::insert(key(1, 1, 11), s);
  EXPECT_FALSE(same(t, s));
  EXPECT_EQ(storedTag(t, 1), 11);
  EXPECT_TRUE(sharesUnitCell(t));
  EXPECT_TRUE(same(S::insert(key(1, 1, 12), t), t));
}

TEST(SetKeptElement, FromListAndMap) {
  struct Case {
    const char* what;
    KSet got;
    std::int64_t id;
    int tag;
  };
  const Key b2 = key(2, 2, 21);
  // Images of f: ids 100 and 101 collide on hash 7; element 3's image equals element 1's.
  auto image = [](const Key& x) { return key(x.id == 2 ? 101 : 100, 7, x.tag); };
  const KSet three = S::fromList({key(1, 1, 10), key(2, 2, 20), key(3, 3, 30)});
  const Case cases[] = {
      {"fromList: a Leaf keeps the first", S::fromList({a, key(1, 1, 11)}), 1, 10},
      {"fromList: a Collision takes the later one", S::fromList({b, c, b2}), 2, 21},
      {"map: a Leaf keeps the first image in trie order",
       S::map([](const Key& x) { return key(0, 7, x.tag); }, three), 0, 10},
      {"map: a Collision takes the later image", S::map(image, three), 100, 30},
  };
  for (const Case& t : cases) {
    EXPECT_EQ(storedTag(t.got, t.id), t.tag) << t.what;
    EXPECT_TRUE(valid(t.got)) << t.what;
    EXPECT_TRUE(sharesUnitCell(t.got)) << t.what;
  }
  // The replaced element keeps its position in the collision.
  EXPECT_EQ(shape(S::fromList({b, c, b2}).asMap()), "C[2,3]");
  EXPECT_EQ(shape(S::map(image, three).asMap()), "C[100,101]");
}

TEST(SetAlgebra, IdentityAndKeptElement) {
  const KSet s = base();
  const KSet e;
  const Key a2 = key(1, 1, 11), b2 = key(2, 2, 21), c2 = key(3, 2, 31);
  // b2 alone under chunk 2 of a branch; a2 alone as a root Leaf.
  const KSet right = S::fromList({b2, key(7, 7, 70)});
  struct Case {
    const char* what;
    KSet got;
    std::int64_t id;
    int tag;  // of the element kept, -1: absent
  };
  const Case cases[] = {
      {"union: two Leaves keep the left", S::union_(S::singleton(a), S::singleton(a2)), 1, 10},
      {"union: a left Collision meeting a right Leaf takes the right",
       S::union_(S::fromList({b, c}), S::singleton(b2)), 2, 21},
      {"union: a left Leaf meeting a right Collision keeps the left",
       S::union_(S::singleton(b), S::fromList({b2, c2})), 2, 20},
      {"union: two Collisions keep the left", S::union_(S::fromList({b, c}), S::fromList({c2, b2})),
       3, 30},
      {"union: a branch and a branch keep the left", S::union_(s, S::fromList({a2, key(9, 9)})), 1,
       10},
      {"unions: the earliest set's element",
       S::unions({S::singleton(a), S::singleton(a2), S::singleton(key(1, 1, 12))}), 1, 10},
      {"intersection: a left Leaf keeps the left",
       S::intersection(S::singleton(a), S::fromList({a2, d})), 1, 10},
      {"intersection: a right lone Leaf facing a branch takes the right",
       S::intersection(s, S::singleton(a2)), 1, 11},
      {"intersection: a right lone Leaf facing a Collision takes the right",
       S::intersection(S::fromList({b, c}), S::singleton(b2)), 2, 21},
      {"intersection: two Collisions keep the left",
       S::intersection(S::fromList({b, c}), S::fromList({c2, b2})), 3, 30},
      {"intersection: branches down to two Leaves keep the left",
       S::intersection(s, S::fromList({key(4, 33, 41), key(8, 65)})), 4, 40},
      {"intersection: branches, then a right Leaf facing a Collision", S::intersection(s, right), 2,
       21},
      {"difference keeps the left", S::difference(s, right), 1, 10},
      {"difference drops", S::difference(s, right), 2, -1},
  };
  for (const Case& t : cases) {
    EXPECT_EQ(storedTag(t.got, t.id), t.tag) << t.what;
    EXPECT_TRUE(valid(t.got)) << t.what;
    EXPECT_TRUE(sharesUnitCell(t.got)) << t.what;
  }
  // The right element takes the left one's place in the collision.
  EXPECT_EQ(shape(S::union_(S::fromList({b, c}), S::singleton(b2)).asMap()), "C[2,3]");

  struct Same {
    const char* what;
    KSet input, got;
    bool same;
  };
  const Same identities[] = {
      {"union with the empty set on the right", s, S::union_(s, e), true},
      {"union with the empty set on the left", s, S::union_(e, s), true},
      {"union with itself", s, S::union_(s, s), false},
      {"unions of one set", s, S::unions({s}), true},
      {"difference from the empty set", s, S::difference(s, e), false},
  };
  for (const Same& t : identities) EXPECT_EQ(same(t.got, t.input), t.same) << t.what;
  EXPECT_TRUE(S::union_(s, s) == s);
  EXPECT_TRUE(S::difference(s, e) == s);
  EXPECT_TRUE(S::null(S::intersection(s, e)));
  EXPECT_TRUE(S::null(S::intersection(e, s)));
  EXPECT_TRUE(S::null(S::unions(std::vector<KSet>{})));
  EXPECT_TRUE(S::isSubsetOf(e, s));
  EXPECT_TRUE(S::isSubsetOf(e, e));
  EXPECT_TRUE(S::isSubsetOf(S::fromList({c, a}), s));
  EXPECT_FALSE(S::isSubsetOf(s, S::fromList({c, a})));
  EXPECT_FALSE(S::isSubsetOf(S::singleton(key(5, 2)), s));
}

TEST(SetAlgebra, SubsetDoesNotLookAtTheUnitCells) {
  // Sets made from maps whose unit cells fail when forced.
  const KMap failing = I::insert<Key, hs::Unit>(a, testing_support::throwing<hs::Unit>(), KMap{});
  EXPECT_TRUE(S::isSubsetOf(S::fromMap(failing), base()));
  EXPECT_TRUE(S::isSubsetOf(base(), S::union_(base(), S::fromMap(failing))));
}

TEST(SetMap, ImagesAreComputedAndInsertedInTrieOrder) {
  testing_support::keyLog().clear();
  std::vector<std::int64_t> seen;
  const vantrel::HashSet<std::string> names = S::map(
      [&](const Key& x) {
        seen.push_back(x.id);
        return std::to_string(x.id % 2);
      },
      base());
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 4, 2, 3}));
  EXPECT_EQ(S::size(names), 2);
  EXPECT_TRUE(S::member("0", names));
  EXPECT_TRUE(S::map([](const Key& x) { return x.id; }, KSet{}).empty());
}

TEST(SetFilter, Shapes) {
  const Key e5 = key(5, 2, 50);
  const KSet col = S::fromList({b, c, e5});
  std::vector<Key> row;
  for (std::uint64_t h = 0; h < 32; ++h) row.push_back(key(static_cast<std::int64_t>(h) + 100, h));
  const KSet fullSet = S::fromList(row);
  ASSERT_EQ(T::kind(fullSet.asMap()), T::Kind::Full);
  // a and d under chunk 1, f alone under chunk 3.
  const KSet leaves = S::fromList({a, d, key(6, 3, 60)});
  auto keep = [](std::vector<std::int64_t> keepIds) {
    return [keepIds](const Key& x) {
      for (std::int64_t i : keepIds)
        if (i == x.id) return true;
      return false;
    };
  };
  struct Case {
    const char* what;
    KSet input;
    std::vector<std::int64_t> keep;
    std::string shape;
  };
  const Case cases[] = {
      {"one element of a collision becomes a Leaf", col, {3}, "L3"},
      {"two of three collide on", col, {2, 5}, "C[2,5]"},
      {"a whole collision is copied", col, {2, 3, 5}, "C[2,3,5]"},
      {"nothing kept", base(), {}, "E"},
      {"a lone Leaf rises into its parent's place", leaves, {6}, "L6"},
      {"a lone Leaf rises from a deeper level", leaves, {4}, "L4"},
      {"a lone inner child stays below a one-child node", leaves, {1, 4}, "B2[B3[L1,L4]]"},
      {"a lone collision rises", base(), {2, 3}, "C[2,3]"},
      {"a Full node that loses a child",
       fullSet,
       {100, 101, 102, 103, 104, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116,
        117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131},
       ""},
  };
  for (const Case& t : cases) {
    const KSet got = S::filter(keep(t.keep), t.input);
    if (!t.shape.empty()) {
      EXPECT_EQ(shape(got.asMap()), t.shape) << t.what;
    }
    EXPECT_TRUE(valid(got)) << t.what;
    EXPECT_TRUE(sharesUnitCell(got)) << t.what;
    EXPECT_FALSE(!S::null(t.input) && same(got, t.input)) << t.what;
  }
  // The Full node without chunk 5.
  const KSet lost = S::filter([](const Key& x) { return x.id != 105; }, fullSet);
  EXPECT_EQ(T::kind(lost.asMap()), T::Kind::BitmapIndexed);
  EXPECT_EQ(T::word(lost.asMap()), 0xFFFFFFFFull & ~(1ull << 5));
  EXPECT_EQ(T::children(lost.asMap()).size(), 31u);
  // Keeping everything rebuilds every branch but keeps the leaves themselves (a record copied
  // with its branch is the same leaf).
  const KSet all = S::filter([](const Key&) { return true; }, fullSet);
  EXPECT_EQ(T::kind(all.asMap()), T::Kind::Full);
  EXPECT_FALSE(same(all, fullSet));
  EXPECT_TRUE(T::sameChild(T::children(all.asMap())[9], T::children(fullSet.asMap())[9]));
  // The lone Leaf that rises is the same leaf, now the root node of its own.
  EXPECT_TRUE(T::sameChild(S::filter(keep({6}), leaves).asMap(), T::children(leaves.asMap())[1]));
}

TEST(SetFilter, PredicateRunsInTrieOrderAndAFailureLeavesNothing) {
  std::vector<std::int64_t> seen;
  (void)S::filter(
      [&](const Key& x) {
        seen.push_back(x.id);
        return x.id % 2 == 0;
      },
      base());
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 4, 2, 3}));
  EXPECT_THROW((void)S::filter(
                   [](const Key& x) {
                     if (x.id == 3) throw testing_support::TestFailure("p");
                     return true;
                   },
                   base()),
               testing_support::TestFailure);
}

// A combination that shows its nesting: (x y).
struct Nest {
  std::string s;
};
// An element whose == throws when either side has id 13.
struct Fragile {
  std::int64_t id;
  std::uint64_t h;
  bool operator==(const Fragile& o) const {
    if (id == 13 || o.id == 13) throw testing_support::TestFailure("eq");
    return id == o.id;
  }
};

}  // namespace

template <>
struct hs::Hashable<Fragile> {
  static std::int64_t hash(const Fragile& x) { return static_cast<std::int64_t>(x.h); }
  static std::int64_t hashWithSalt(std::int64_t salt, const Fragile& x) {
    return hs::saltedWordHash(salt, x.h);
  }
};
template <>
struct hs::Semigroup<Nest> {
  static Nest mappend(const Nest& x, const Nest& y) { return {"(" + x.s + " " + y.s + ")"}; }
};
template <>
struct hs::Monoid<Nest> {
  static Nest mempty() { return {"e"}; }
};

namespace {

TEST(SetFolds, OrderAndNesting) {
  const KSet s = S::insert(key(5, 2, 50), base());  // trie order 1, 4, 2, 3, 5
  auto name = [](const Key& x) { return std::to_string(x.id); };
  std::vector<std::string> calls;

  const std::string r = S::foldr(
      [&](const Key& x, const hs::Lazy<std::string>& rest) {
        calls.push_back(name(x));
        return name(x) + rest.force();
      },
      std::string("z"), s);
  EXPECT_EQ(r, "14235z");
  EXPECT_EQ(calls, (std::vector<std::string>{"1", "4", "2", "3", "5"}));

  auto append = [](const hs::Lazy<std::string>& acc, const Key& x) {
    return acc.force() + std::to_string(x.id);
  };
  const std::string l = S::foldl(append, std::string("z"), s);
  EXPECT_EQ(l, "z14235");

  calls.clear();
  const std::string rs = S::foldr_(
      [&](const Key& x, std::string acc) {
        calls.push_back(name(x));
        return name(x) + acc;
      },
      std::string("z"), s);
  EXPECT_EQ(rs, "14235z");
  EXPECT_EQ(calls, (std::vector<std::string>{"5", "3", "2", "4", "1"}));

  const std::int64_t ls =
      S::foldl_([](std::int64_t acc, const Key& x) { return acc * 10 + x.id; }, std::int64_t{0}, s);
  EXPECT_EQ(ls, 14235);

  // Right-nested per node: the branch of 1 and 4, then the collision of 2, 3, 5.
  calls.clear();
  const Nest m = S::foldMap(
      [&](const Key& x) {
        calls.push_back(name(x));
        return Nest{name(x)};
      },
      s);
  EXPECT_EQ(m.s, "((1 4) (2 (3 5)))");
  EXPECT_EQ(calls, (std::vector<std::string>{"1", "4", "2", "3", "5"}));
  EXPECT_EQ(S::foldMap([](const Key&) { return Nest{"x"}; }, KSet{}).s, "e");
  EXPECT_EQ(S::foldMap([](const Key& x) { return Nest{std::to_string(x.id)}; }, S::singleton(a)).s,
            "1");
}

TEST(SetFolds, LazyFoldsStopWhereTheFunctionStops) {
  const KSet s = base();
  int calls = 0;
  // The rest is never demanded, so neither it nor the seed is computed.
  const std::int64_t first = S::foldr(
      [&](const Key& x, const hs::Lazy<std::int64_t>&) {
        ++calls;
        return x.id;
      },
      testing_support::throwing<std::int64_t>(), s);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(calls, 1);
  calls = 0;
  const std::int64_t last = S::foldl(
      [&](const hs::Lazy<std::int64_t>&, const Key& x) {
        ++calls;
        return x.id;
      },
      testing_support::throwing<std::int64_t>(), s);
  EXPECT_EQ(last, 3);
  EXPECT_EQ(calls, 1);
  // The empty set gives the seed.
  EXPECT_EQ(S::foldr([](const Key&, const hs::Lazy<int>&) { return 0; }, 7, KSet{}), 7);
  EXPECT_EQ(S::foldl([](const hs::Lazy<int>&, const Key&) { return 0; }, 7, KSet{}), 7);
  // A strict fold evaluates a deferred seed even for the empty set.
  EXPECT_THROW(
      (void)S::foldl_([](int acc, const Key&) { return acc; }, testing_support::throwing<int>(), KSet{}),
      testing_support::TestFailure);
}

TEST(SetFolds, LongCollisionFoldsToTheEnd) {
  std::vector<Key> xs;
  for (std::int64_t i = 0; i < 1200; ++i) xs.push_back(key(i, 9));
  const KSet s = S::fromList(xs);
  ASSERT_EQ(T::kind(s.asMap()), T::Kind::Collision);
  EXPECT_EQ(
      S::foldl_([](std::int64_t acc, const Key& x) { return acc + x.id; }, std::int64_t{0}, s),
      1199 * 1200 / 2);
  EXPECT_EQ(S::foldMap([](const Key& x) { return hs::Sum<std::int64_t>{x.id}; }, s).value,
            1199 * 1200 / 2);
  EXPECT_EQ(
      S::foldr([](const Key& x, const hs::Lazy<std::int64_t>& rest) { return x.id + rest.force(); },
               std::int64_t{0}, s),
      1199 * 1200 / 2);
}

TEST(SetFromList, AFailureMidwayLeavesNothing) {
  // Checked by the sanitizer: the half-built accumulator is freed.
  const std::vector<Fragile> xs{{1, 5}, {2, 5}, {3, 6}, {13, 5}, {4, 7}};
  EXPECT_THROW((void)S::fromList(xs), testing_support::TestFailure);
  EXPECT_THROW((void)S::map(
                   [](const Key& x) {
                     if (x.id == 2) throw testing_support::TestFailure("f");
                     return x.id;
                   },
                   base()),
               testing_support::TestFailure);
  EXPECT_EQ(S::size(S::fromList(std::vector<Fragile>{{1, 5}, {2, 5}, {1, 5}})), 2);
}

// A set given up to a moved insert or erase is still the caller's when == throws on the way down,
// whether or not another set shares its nodes.
TEST(SetFromList, AThrowingEqualityLeavesAMovedSetIntact) {
  const std::vector<Fragile> xs{{1, 5}, {2, 5}, {3, 6}, {4, 7}, {5, 5 | 1 << 5}};
  for (const bool shared : {false, true}) {
    for (const bool erasing : {false, true}) {
      vantrel::HashSet<Fragile> s = S::fromList(xs);
      const vantrel::HashSet<Fragile> other = shared ? s : vantrel::HashSet<Fragile>();
      const Fragile bad{13, 5};
      EXPECT_THROW(s = erasing ? S::erase(bad, std::move(s)) : S::insert(bad, std::move(s)),
                   testing_support::TestFailure);
      ASSERT_EQ(S::size(s), 5) << shared << erasing;
      for (const Fragile& x : xs) EXPECT_TRUE(S::member(x, s)) << x.id;
      EXPECT_TRUE(I::debug::valid(s.asMap()).isValid());
    }
  }
}

}  // namespace
