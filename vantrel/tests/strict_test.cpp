// The value-strict interface: what each operation evaluates and when, which failure surfaces
// first, which results are the input itself and which key object a map keeps.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hs/functor.hpp"
#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "testing/trie.hpp"
#include "testing/values.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/strict.hpp"

namespace {

using testing_support::Key;
using testing_support::key;
using testing_support::keyLog;
using testing_support::expectValid;
using testing_support::pairsOf;
using testing_support::TestFailure;
using vantrel::HashMap;
using vantrel::internal::Kind;
namespace I = vantrel::internal;
namespace IS = vantrel::internal::strict;
namespace S = vantrel::strict;
namespace T = testing_support::trie;
using Map = HashMap<Key, int>;
using Cell = hs::Lazy<int>;
using Opt = std::optional<Cell>;

template <class K, class V>
bool allEvaluated(const HashMap<K, V>& m) {
  for (const auto& r : m)
    if (!r.value.evaluated()) return false;
  return true;
}
Cell deferred(int x) {
  return Cell::defer([x] { return x; });
}
std::vector<int> tags(const Map& m) {
  std::vector<int> out;
  for (const auto& e : T::entries(m)) out.push_back(e.key.tag);
  return out;
}

// A leaf at chunk 1 (tag 1); a collision of hash 2 (tags 2, 3); all values evaluated.
Map base() {
  return S::fromList<Key, int>({{key(1, 1, 1), 10}, {key(2, 2, 2), 20}, {key(3, 2, 3), 30}});
}

// A combining function on cells that keeps the stored value and never looks at the new one.
auto keepOld() {
  return hs::onCells([](const Cell&, const Cell& old) { return old; });
}
auto keepOldWithKey() {
  return hs::onCells([](const Key&, const Cell&, const Cell& old) { return old; });
}

// ---- What is evaluated -----------------------------------------------------------------------

TEST(StrictForcing, EachOperationEvaluatesExactlyTheValuesItStores) {
  struct Case {
    const char* what;
    std::function<Map(const Cell& v)> op;
    bool forced;  // the new value v
  };
  const Map m = base();
  const Case cases[] = {
      {"singleton", [](const Cell& v) { return S::singleton<Key, int>(key(1, 1), v); }, true},
      {"insert of a new key", [&](const Cell& v) { return S::insert(key(9, 9), v, m); }, true},
      {"insert over a present key", [&](const Cell& v) { return S::insert(key(1, 1), v, m); }, true},
      {"insert into a map given up", [&](const Cell& v) { return S::insert(key(9, 9), v, Map(m)); },
       true},
      {"insertWith, new chunk", [&](const Cell& v) { return S::insertWith(keepOld(), key(9, 9), v, m); },
       true},
      {"insertWith, a leaf's hash, other key",
       [&](const Cell& v) { return S::insertWith(keepOld(), key(9, 1), v, m); }, true},
      {"insertWith, a collision's hash, new key",
       [&](const Cell& v) { return S::insertWith(keepOld(), key(9, 2), v, m); }, true},
      {"insertWith, present in a leaf, f on cells ignoring it",
       [&](const Cell& v) { return S::insertWith(keepOld(), key(1, 1), v, m); }, false},
      {"insertWith, present in a collision, f on cells ignoring it",
       [&](const Cell& v) { return S::insertWith(keepOld(), key(3, 2), v, m); }, false},
      {"insertWith, present, f on values (receives it forced)",
       [&](const Cell& v) { return S::insertWith([](int, int o) { return o; }, key(1, 1), v, m); },
       true},
      {"insertWith, present, f's deferred result is evaluated",
       [&](const Cell& v) {
         return S::insertWith(hs::onCells([](const Cell&, const Cell& o) {
                                return Cell::apply([](int b) { return b + 1; }, o);
                              }),
                              key(1, 1), v, m);
       },
       false},
      {"adjust storing it", [&](const Cell& v) {
         return S::adjust(hs::onCells([v](const Cell&) { return v; }), key(3, 2), m);
       }, true},
      {"adjust of an absent key", [&](const Cell& v) {
         return S::adjust(hs::onCells([v](const Cell&) { return v; }), key(9, 2), m);
       }, false},
      {"alter answering it for an absent key",
       [&](const Cell& v) { return S::alter(hs::onCells([v](Opt) { return Opt(v); }), key(9, 9), m); },
       true},
      {"alter answering it for a present key",
       [&](const Cell& v) { return S::alter(hs::onCells([v](Opt) { return Opt(v); }), key(2, 2), m); },
       true},
      {"alter answering Nothing", [&](const Cell& v) {
         return S::alter(hs::onCells([v](Opt) { return Opt(); }), key(2, 2), m);
       }, false},
      {"update answering it", [&](const Cell& v) {
         return S::update(hs::onCells([v](const Cell&) { return Opt(v); }), key(1, 1), m);
       }, true},
      {"update of an absent key", [&](const Cell& v) {
         return S::update(hs::onCells([v](const Cell&) { return Opt(v); }), key(9, 9), m);
       }, false},
      {"alterF answering it", [&](const Cell& v) {
         return S::alterF(hs::onCells([v](const hs::Lazy<Opt>&) { return hs::Identity<Opt>{Opt(v)}; }),
                          key(9, 9), m).value;
       }, true},
      {"alterF in a functor that never maps", [&](const Cell& v) {
         (void)S::alterF(hs::onCells([v](const hs::Lazy<Opt>&) { return hs::Const<int, Opt>{0}; }),
                         key(9, 9), m);
         return m;
       }, false},
      {"alterFEager answering it", [&](const Cell& v) {
         return IS::alterFEager(hs::onCells([v](Opt) { return hs::Identity<Opt>{Opt(v)}; }), key(1, 1), m)
             .value;
       }, true},
      {"fromList, even when a later pair replaces it",
       [](const Cell& v) { return S::fromList<Key, int>({{key(1, 1), v}, {key(1, 1), 5}}); }, true},
      {"fromListWith, stored alone",
       [](const Cell& v) { return S::fromListWith<Key, int>(keepOld(), {{key(1, 1), v}}); }, true},
      {"fromListWith, a repeated key's new value, f on cells",
       [](const Cell& v) {
         return S::fromListWith<Key, int>(keepOld(), {{key(1, 1), 5}, {key(1, 1), v}});
       },
       false},
      {"fromListWithKey, a repeated key's new value, f on cells",
       [](const Cell& v) {
         return S::fromListWithKey<Key, int>(keepOldWithKey(),
                                             {{key(1, 1), 5}, {key(2, 1), 6}, {key(1, 1), v}});
       },
       false},
      {"map storing it", [&](const Cell& v) {
         return S::map(hs::onCells([v](const Cell&) { return v; }), m);
       }, true},
      {"mapMaybe storing it", [&](const Cell& v) {
         return S::mapMaybe(hs::onCells([v](const Cell&) { return Opt(v); }), m);
       }, true},
      {"traverseWithKey storing it", [&](const Cell& v) {
         return S::traverseWithKey(
                    hs::onCells([v](const Key&, const Cell&) { return hs::Identity<Cell>{v}; }), m)
             .value;
       }, true},
  };
  for (const Case& c : cases) {
    const Cell v = deferred(7);
    const Map r = c.op(v);
    EXPECT_EQ(v.evaluated(), c.forced) << c.what;
    EXPECT_TRUE(allEvaluated(r)) << c.what;
    expectValid(r, c.what);
  }
}

TEST(StrictForcing, ResultsOfTheCallersFunctionAreEvaluatedBeforeTheyAreStored) {
  const Map m = base();
  auto deferredSum = hs::onCells([](const Cell& n, const Cell& o) {
    return Cell::apply([](int a, int b) { return a * 100 + b; }, n, o);
  });
  const Map w = S::insertWith(deferredSum, key(2, 2), 3, m);
  EXPECT_TRUE(allEvaluated(w));
  EXPECT_EQ(*S::at(w, key(2, 2)), 320);
  const Map a = S::adjust(hs::onCells([](const Cell& o) { return Cell::apply([](int x) { return -x; }, o); }),
                          key(1, 1), m);
  EXPECT_TRUE(allEvaluated(a));
  EXPECT_EQ(*S::at(a, key(1, 1)), -10);
  // The combination of a repeated key: f k c (f k b a), every step evaluated as it is stored.
  int calls = 0;
  const Map f = S::fromListWithKey<Key, int>(
      [&calls](const Key& k, int n, int o) {
        ++calls;
        return k.tag * 100 + n * 10 + o;
      },
      {{key(1, 1, 1), 1}, {key(1, 1, 2), 2}, {key(1, 1, 3), 3}});
  EXPECT_EQ(calls, 2);  // called during the build, not on demand
  EXPECT_EQ(*S::at(f, key(1, 1)), 3 * 100 + 3 * 10 + (2 * 100 + 2 * 10 + 1));
  EXPECT_EQ(tags(f), std::vector<int>({3}));
  const Map fw = S::fromListWith<Key, int>([](int n, int o) { return n - o; },
                                           {{key(1, 1), 1}, {key(1, 1), 2}, {key(1, 1), 10}});
  EXPECT_EQ(*S::at(fw, key(1, 1)), 10 - (2 - 1));
}

TEST(StrictForcing, MapsOfTheLazyInterfaceComeOutEvaluated) {
  namespace L = vantrel::lazy;
  const Cell d1 = deferred(1), d2 = deferred(2);
  const Map lazyMap = L::fromList<Key, int>({{key(1, 1), d1}, {key(2, 2), d2}});
  // Giving back the stored, deferred cell evaluates it and keeps the map itself.
  const Map same = S::alter(hs::onCells([](Opt c) { return c; }), key(1, 1), lazyMap);
  EXPECT_TRUE(T::same(same, lazyMap));
  EXPECT_TRUE(d1.evaluated());
  EXPECT_FALSE(d2.evaluated());
  const Map kept = S::insertWith(keepOld(), key(2, 2), 0, lazyMap);
  EXPECT_TRUE(d2.evaluated());
  EXPECT_TRUE(hs::ptrEq(*S::lookup(key(2, 2), kept), d2));
  const Cell d3 = deferred(3);
  const Map mapped = S::map(hs::onCells([](const Cell& c) { return c; }),
                            L::insert(key(3, 3), d3, lazyMap));
  EXPECT_TRUE(d3.evaluated());
  EXPECT_TRUE(allEvaluated(mapped));
}

// The in-place insert of a map given up: when the key's == throws, the caller's map is intact.
TEST(StrictFailure, ThrowingEqualityLeavesAMovedMapIntact) {
  using testing_support::FailingKey;
  std::vector<std::pair<FailingKey, int>> pairs;
  for (int i = 0; i < 60; ++i) pairs.push_back({FailingKey(i), i});
  HashMap<FailingKey, int> m = S::fromList(pairs);
  FailingKey::eqThrowsAt = 30;
  EXPECT_THROW(m = S::insert(FailingKey(30), -1, std::move(m)), testing_support::KeyFailure);
  FailingKey::eqThrowsAt = -1;
  ASSERT_EQ(S::size(m), 60);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(*S::at(m, FailingKey(i)), i) << i;
  expectValid(m);
}

TEST(StrictForcing, AFailingValueSurfacesAndLeavesNothingBehind) {
  // Enough keys for several levels, so that the failures strike with nodes half-built.
  std::vector<std::pair<Key, Cell>> pairs;
  for (std::int64_t i = 0; i < 200; ++i)
    pairs.push_back({key(i, static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ULL % 97), Cell(int(i))});
  const Map m = S::fromList(pairs);
  const Cell bad = testing_support::throwing<int>("value");
  auto failAt = [](int target) {
    return [target](int x) -> int {
      if (x == target) throw TestFailure("value");
      return x;
    };
  };
  struct Case {
    const char* what;
    std::function<void()> op;
  };
  const Case cases[] = {
      {"singleton", [&] { (void)S::singleton<Key, int>(key(1, 1), bad); }},
      {"insert", [&] { (void)S::insert(key(500, 5), bad, m); }},
      {"insert into a map given up", [&] { (void)S::insert(key(500, 5), bad, Map(m)); }},
      {"insertWith, absent", [&] { (void)S::insertWith(keepOld(), key(500, 5), bad, m); }},
      {"insertWith, f's result",
       [&] { (void)S::insertWith(hs::onCells([&](const Cell&, const Cell&) { return bad; }), pairs[7].first, 1, m); }},
      {"adjust", [&] { (void)S::adjust(failAt(7), pairs[7].first, m); }},
      {"alter", [&] { (void)S::alter(hs::onCells([&](Opt) { return Opt(bad); }), pairs[7].first, m); }},
      {"update", [&] { (void)S::update(hs::onCells([&](const Cell&) { return Opt(bad); }), pairs[7].first, m); }},
      {"alterF", [&] {
         S::alterF(hs::onCells([&](const hs::Lazy<Opt>&) { return hs::Identity<Opt>{Opt(bad)}; }),
                   pairs[7].first, m);
       }},
      {"alterFEager", [&] {
         IS::alterFEager(hs::onCells([&](Opt) { return hs::Identity<Opt>{Opt(bad)}; }), pairs[7].first, m);
       }},
      {"fromList, a later pair of the same key", [&] {
         std::vector<std::pair<Key, Cell>> p = pairs;
         p[150].second = bad;
         p.push_back({p[150].first, Cell(1)});
         (void)S::fromList(p);
       }},
      {"fromListWith, the combination", [&] {
         std::vector<std::pair<Key, Cell>> p = pairs;
         p.push_back(pairs[3]);
         (void)S::fromListWith([](int, int) -> int { throw TestFailure("value"); }, p);
       }},
      {"map", [&] { (void)S::map(failAt(150), m); }},
      {"mapWithKey", [&] { (void)S::mapWithKey([&](const Key&, int x) { return failAt(150)(x); }, m); }},
      {"mapMaybe", [&] {
         (void)S::mapMaybe([&](int x) { return x % 2 ? std::optional<int>(failAt(151)(x)) : std::nullopt; }, m);
       }},
      {"traverseWithKey", [&] {
         S::traverseWithKey([&](const Key&, int x) { return hs::Identity<int>{failAt(150)(x)}; }, m);
       }},
  };
  for (const Case& c : cases) {
    try {
      c.op();
      ADD_FAILURE() << c.what << ": no failure";
    } catch (const TestFailure& e) {
      EXPECT_STREQ(e.what(), "value") << c.what;
    }
  }
  EXPECT_EQ(S::size(m), 200);
  expectValid(m);
  EXPECT_TRUE(allEvaluated(m));
}

// ---- Which comes first: the value or the key's hash ------------------------------------------

struct Brittle {
  int id;
  bool badHash;
  friend bool operator==(const Brittle& a, const Brittle& b) { return a.id == b.id; }
};

}  // namespace

template <>
struct hs::Hashable<Brittle> {
  static std::int64_t hash(const Brittle& b) {
    if (b.badHash) throw testing_support::TestFailure("hash");
    return b.id;
  }
  static std::int64_t hashWithSalt(std::int64_t s, const Brittle& b) {
    return hs::saltedWordHash(s, static_cast<std::uint64_t>(hash(b)));
  }
};

namespace {

TEST(StrictEntryOrder, ValueOrHashFirst) {
  using BMap = HashMap<Brittle, int>;
  using BOpt = std::optional<Cell>;
  const BMap m = S::fromList<Brittle, int>({{Brittle{1, false}, 1}, {Brittle{2, false}, 2}});
  const Brittle bad{1, true};
  struct Case {
    const char* what;
    std::function<void(const Cell& v)> op;
    const char* first;
  };
  const Case cases[] = {
      {"singleton", [&](const Cell& v) { (void)S::singleton<Brittle, int>(bad, v); }, "value"},
      {"insert", [&](const Cell& v) { (void)S::insert(bad, v, m); }, "value"},
      {"insertWith", [&](const Cell& v) { (void)S::insertWith([](int a, int) { return a; }, bad, v, m); }, "hash"},
      {"adjust", [&](const Cell& v) { (void)S::adjust(hs::onCells([v](const Cell&) { return v; }), bad, m); },
       "hash"},
      {"alter", [&](const Cell& v) { (void)S::alter(hs::onCells([v](BOpt) { return BOpt(v); }), bad, m); },
       "hash"},
      {"update",
       [&](const Cell& v) { (void)S::update(hs::onCells([v](const Cell&) { return BOpt(v); }), bad, m); },
       "hash"},
      {"alterF", [&](const Cell& v) {
         S::alterF(hs::onCells([v](const hs::Lazy<BOpt>&) { return hs::Identity<BOpt>{BOpt(v)}; }), bad, m);
       }, "hash"},
      {"alterFEager", [&](const Cell& v) {
         IS::alterFEager(hs::onCells([v](BOpt) { return hs::Identity<BOpt>{BOpt(v)}; }), bad, m);
       }, "hash"},
      {"fromList", [&](const Cell& v) { (void)S::fromList<Brittle, int>({{bad, v}}); }, "value"},
      {"fromListWith", [&](const Cell& v) {
         (void)S::fromListWith<Brittle, int>([](int a, int) { return a; }, {{bad, v}});
       }, "hash"},
      {"fromListWithKey", [&](const Cell& v) {
         (void)S::fromListWithKey<Brittle, int>([](const Brittle&, int a, int) { return a; }, {{bad, v}});
       }, "hash"},
      {"unsafeInsertWithKey", [&](const Cell& v) {
         IS::unsafeInsertWithKey([](const Brittle&, int a, int) { return a; }, bad, v, BMap());
       }, "hash"},
  };
  for (const Case& c : cases) {
    try {
      c.op(testing_support::throwing<int>("value"));
      ADD_FAILURE() << c.what << ": no failure";
    } catch (const TestFailure& e) {
      EXPECT_STREQ(e.what(), c.first) << c.what;
    }
  }
}

// ---- Identity and kept keys ----------------------------------------------------------------

TEST(StrictIdentity, UnchangedResultsAreTheInputItself) {
  const Map m = base();
  const Cell stored1 = *S::lookup(key(1, 1), m), stored3 = *S::lookup(key(3, 2), m);
  auto same = hs::onCells([](const Cell& c) { return c; });
  // Two levels with the key's chunk bits present, the key itself absent.
  const Map deep = S::fromList<Key, int>({{key(1, 1), 1}, {key(2, 1 | (1 << 5)), 2}});
  const Map collRoot = S::fromList<Key, int>({{key(1, 7), 1}, {key(2, 7), 2}});
  struct Case {
    const char* what;
    Map result;
    const Map& input;
    bool same;
  };
  const Case cases[] = {
      {"insert of the stored cell at a leaf", S::insert(key(1, 1, 9), stored1, m), m, true},
      {"insert of an equal value in a new cell", S::insert(key(1, 1, 9), 10, m), m, false},
      {"insert of the stored cell at a collision", S::insert(key(3, 2, 9), stored3, m), m, false},
      {"insertWith giving back the stored cell",
       S::insertWith(keepOld(), key(1, 1), 0, m), m, false},
      {"insertWith in a collision giving back the stored cell",
       S::insertWith(keepOld(), key(3, 2), 0, m), m, false},
      {"adjust giving back the stored cell (leaf)", S::adjust(same, key(1, 1), m), m, false},
      {"adjust giving back the stored cell (collision)", S::adjust(same, key(3, 2), m), m, false},
      {"adjust of an absent key, chunk bit clear at the root", S::adjust(same, key(9, 9), m), m, true},
      {"adjust of an absent key below a present chunk", S::adjust(same, key(9, 1 | (2 << 5)), deep), deep,
       false},
      {"adjust of an absent key of a collision's hash", S::adjust(same, key(9, 2), m), m, false},
      {"adjust of an absent key of a collision root's hash", S::adjust(same, key(9, 7), collRoot),
       collRoot, false},
      {"adjust of a key of another hash than a collision root's", S::adjust(same, key(9, 8), collRoot),
       collRoot, true},
      {"alter: Nothing for an absent key",
       S::alter(hs::onCells([](Opt) { return Opt(); }), key(9, 9), m), m, true},
      {"alter: Just the stored cell", S::alter(hs::onCells([](Opt c) { return c; }), key(3, 2), m), m,
       true},
      {"alter: Just an equal value", S::alter([](std::optional<int> x) { return x; }, key(3, 2), m), m,
       false},
      {"update: Just the stored cell",
       S::update(hs::onCells([](const Cell& c) { return Opt(c); }), key(1, 1), m), m, true},
      {"update of an absent key", S::update([](int x) { return std::optional<int>(x); }, key(9, 9), m), m,
       true},
      {"alterF: Just the stored cell at a leaf",
       S::alterF(hs::onCells([](const hs::Lazy<Opt>& l) { return hs::Identity<Opt>{*l}; }), key(1, 1), m)
           .value,
       m, true},
      {"alterF: Nothing for an absent key",
       S::alterF(hs::onCells([](const hs::Lazy<Opt>&) { return hs::Identity<Opt>{Opt()}; }), key(9, 9), m)
           .value,
       m, true},
      {"alterFEager: Just the stored cell in a collision",
       IS::alterFEager(hs::onCells([](Opt c) { return hs::Identity<Opt>{c}; }), key(3, 2), m).value, m,
       true},
      {"map giving back every cell", S::map(same, m), m, false},
      {"mapMaybe keeping every cell", S::mapMaybe(hs::onCells([](const Cell& c) { return Opt(c); }), m), m,
       false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(T::same(c.result, c.input), c.same) << c.what;
    expectValid(c.result, c.what);
    EXPECT_EQ(S::size(c.result), S::size(c.input)) << c.what;
  }
  // adjust on the empty map is the empty map.
  EXPECT_TRUE(T::same(S::adjust(same, key(1, 1), Map()), Map()));
}

TEST(StrictIdentity, WhichKeyObjectIsKept) {
  const Cell v = 5;
  const Map leafMap = S::insert(key(1, 1, 1), v, Map());
  const Map coll = S::fromList<Key, int>({{key(1, 1, 1), v}, {key(2, 1, 2), v}, {key(3, 1, 3), v}});
  struct Case {
    const char* what;
    Map result;
    std::vector<int> tags;
  };
  const Case cases[] = {
      {"insert, same cell at a leaf", S::insert(key(1, 1, 9), v, leafMap), {1}},
      {"insert, new cell at a leaf", S::insert(key(1, 1, 9), 6, leafMap), {9}},
      {"insert, same cell in a collision", S::insert(key(2, 1, 9), v, coll), {1, 9, 3}},
      {"insertWith at a leaf", S::insertWith(keepOld(), key(1, 1, 9), 6, leafMap), {9}},
      {"insertWith in a collision", S::insertWith(keepOld(), key(3, 1, 9), 6, coll), {1, 2, 9}},
      {"insertWith of a new key of a collision's hash", S::insertWith(keepOld(), key(4, 1, 9), 6, coll),
       {1, 2, 3, 9}},
      {"insertWith of a new key of a leaf's hash", S::insertWith(keepOld(), key(4, 1, 9), 6, leafMap),
       {1, 9}},
      {"adjust at a leaf", S::adjust([](int x) { return x; }, key(1, 1, 9), leafMap), {9}},
      {"adjust in a collision", S::adjust([](int x) { return x; }, key(2, 1, 9), coll), {1, 9, 3}},
      {"alter at a leaf", S::alter([](std::optional<int>) { return std::optional<int>(3); }, key(1, 1, 9),
                                   leafMap),
       {9}},
      {"update in a collision", S::update([](int x) { return std::optional<int>(x + 1); }, key(3, 1, 9), coll),
       {1, 2, 9}},
      {"fromList, same cell", S::fromList<Key, int>({{key(1, 1, 1), v}, {key(1, 1, 2), v}}), {1}},
      {"fromList, new cell", S::fromList<Key, int>({{key(1, 1, 1), v}, {key(1, 1, 2), 6}}), {2}},
      {"fromList, collision order",
       S::fromList<Key, int>({{key(3, 7, 3), 0}, {key(1, 7, 1), 0}, {key(3, 7, 5), 0}}), {5, 1}},
      {"fromListWith", S::fromListWith<Key, int>(keepOld(), {{key(1, 1, 1), v}, {key(1, 1, 2), 6}}), {2}},
      {"fromListWithKey in a collision",
       S::fromListWithKey<Key, int>(keepOldWithKey(),
                                    {{key(1, 1, 1), v}, {key(2, 1, 2), v}, {key(1, 1, 3), 6}}),
       {3, 2}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tags(c.result), c.tags) << c.what;
    expectValid(c.result, c.what);
  }
  // insertWith and adjust always store a fresh result, under the given key.
  EXPECT_EQ(*S::at(S::insertWith(keepOld(), key(1, 1, 9), 6, leafMap), key(1, 1)), 5);
}

TEST(StrictOperandOrder, StoredKeyLeftAtLeavesGivenKeyLeftInCollisions) {
  const Map leaf = S::insert(key(1, 1, 1), 1, Map());
  const Map coll = S::fromList<Key, int>({{key(1, 1, 1), 1}, {key(2, 1, 2), 2}});
  struct Case {
    const char* what;
    std::function<void()> op;
    std::vector<std::pair<int, int>> eqCalls;
  };
  const Case cases[] = {
      {"insertWith at a leaf", [&] { (void)S::insertWith(keepOld(), key(1, 1, 9), 0, leaf); }, {{1, 9}}},
      {"insertWith in a collision", [&] { (void)S::insertWith(keepOld(), key(2, 1, 9), 0, coll); },
       {{9, 1}, {9, 2}}},
      {"adjust at a leaf", [&] { (void)S::adjust([](int x) { return x; }, key(1, 1, 9), leaf); }, {{1, 9}}},
      {"adjust in a collision", [&] { (void)S::adjust([](int x) { return x; }, key(2, 1, 9), coll); },
       {{9, 1}, {9, 2}}},
      {"alter looks up with the given key left", [&] {
         (void)S::alter([](std::optional<int> x) { return x; }, key(1, 1, 9), leaf);
       }, {{9, 1}}},
      {"insert at a leaf", [&] { (void)S::insert(key(1, 1, 9), 0, leaf); }, {{1, 9}}},
  };
  for (const Case& c : cases) {
    keyLog().clear();
    c.op();
    EXPECT_EQ(keyLog().eqCalls, c.eqCalls) << c.what;
    EXPECT_EQ(keyLog().hashCalls, 1) << c.what;
  }
  // The bulk builders: the second key of a leaf's hash compares stored first; in a collision the
  // new key is on the left.
  keyLog().clear();
  (void)S::fromListWith<Key, int>(keepOld(), {{key(1, 1, 1), 1}, {key(1, 1, 2), 2}, {key(3, 1, 3), 3},
                                        {key(1, 1, 4), 4}});
  EXPECT_EQ(keyLog().eqCalls, (std::vector<std::pair<int, int>>{{1, 2}, {2, 3}, {4, 2}}));
}

// ---- Collision helpers ---------------------------------------------------------------------

TEST(StrictCollisionHelpers, CopyOnEveryMatchAndKeepTheNodeOnAMiss) {
  const Map coll = S::fromList<Key, int>({{key(1, 7, 1), 1}, {key(2, 7, 2), 2}});
  auto same = hs::onCells([](const Cell& c) { return c; });
  // A miss gives the node itself; a match a new node even when the stored cell comes back, where
  // the lazy helper gives back the node.
  EXPECT_TRUE(T::same(IS::updateWith<Key, int>(same, key(9, 7), coll), coll));
  const Map hit = IS::updateWith<Key, int>(same, key(2, 7, 9), coll);
  EXPECT_FALSE(T::same(hit, coll));
  EXPECT_TRUE(T::same(I::updateWithU<Key, int>([](const Cell& c) { return c; }, key(2, 7, 9), coll), coll));
  EXPECT_EQ(tags(hit), std::vector<int>({1, 9}));
  EXPECT_EQ(T::word(hit), 7u);

  const Cell v = deferred(3);
  const Map snoc = IS::updateOrSnocWithKey<Key, int>(keepOldWithKey(), key(3, 7, 3), v, I::entriesOf(coll));
  EXPECT_EQ(tags(snoc), std::vector<int>({1, 2, 3}));
  EXPECT_TRUE(v.evaluated());
  const Cell w = deferred(4);
  const Map replaced =
      IS::updateOrSnocWithKey<Key, int>(keepOldWithKey(), key(1, 7, 8), w, I::entriesOf(coll));
  EXPECT_EQ(tags(replaced), std::vector<int>({8, 2}));
  EXPECT_FALSE(w.evaluated());
  EXPECT_EQ(*S::at(replaced, key(1, 7)), 1);
  expectValid(snoc);
  expectValid(replaced);
}

// ---- Shapes --------------------------------------------------------------------------------

TEST(StrictShape, InsertWithBuildsTheSameShapesAsInsert) {
  // A collision root of hash 0b00001 meets a key of hash 0b10_00001: chunk 1 agrees at shift 0,
  // they part at shift 5, smaller chunk first.
  const Map coll = S::fromList<Key, int>({{key(1, 1), 1}, {key(2, 1), 2}});
  const Map r = S::insertWith(keepOld(), key(3, 1 | (2 << 5)), 3, coll);
  ASSERT_EQ(T::kind(r), Kind::BitmapIndexed);
  EXPECT_EQ(T::word(r), 1u << 1);
  const Map below = T::children(r)[0];
  EXPECT_EQ(T::word(below), (1u << 0) | (1u << 2));
  EXPECT_TRUE(T::same(T::children(below)[0], coll));
  EXPECT_EQ(T::kind(T::children(below)[1]), Kind::Leaf);
  expectValid(r);
  // The 32nd chunk makes a Full node, with insertWith and with fromList.
  Map m;
  for (std::uint64_t c = 0; c < 31; ++c) m = S::insertWith(keepOld(), key(c, c), 0, m);
  EXPECT_EQ(T::kind(m), Kind::BitmapIndexed);
  m = S::insertWith(keepOld(), key(31, 31), 0, m);
  EXPECT_EQ(T::kind(m), Kind::Full);
  std::vector<std::pair<Key, int>> all;
  for (std::uint64_t c = 0; c < 32; ++c) all.push_back({key(c, c), 0});
  EXPECT_EQ(T::kind(S::fromList(all)), Kind::Full);
  EXPECT_TRUE(T::same(S::fromList(std::vector<std::pair<Key, int>>{}), Map()));
  // Every node on the path is new, even the siblings' parent of an unchanged subtree.
  const Map updated = S::insertWith(keepOld(), key(5, 5), 1, m);
  EXPECT_FALSE(T::same(updated, m));
  EXPECT_TRUE(T::sameChild(T::children(updated)[6], T::children(m)[6]));
}

// ---- Transformations -----------------------------------------------------------------------

// Same kinds, bitmaps and hashes everywhere, keys in the same places; no node shared.
template <class V1, class V2>
void expectSameShapeNoSharing(const HashMap<Key, V1>& a, const HashMap<Key, V2>& b) {
  ASSERT_EQ(T::kind(a), T::kind(b));
  EXPECT_EQ(T::word(a), T::word(b));
  if (T::kind(a) != Kind::Empty) {
    EXPECT_NE(static_cast<const void*>(I::Node::object(a)), static_cast<const void*>(I::Node::object(b)));
  }
  if (T::kind(a) == Kind::BitmapIndexed || T::kind(a) == Kind::Full) {
    const auto ca = T::children(a);
    const auto cb = T::children(b);
    ASSERT_EQ(ca.size(), cb.size());
    for (std::size_t i = 0; i < ca.size(); ++i) expectSameShapeNoSharing(ca[i], cb[i]);
  } else if (T::kind(a) != Kind::Empty) {
    const auto ea = T::entries(a);
    const auto eb = T::entries(b);
    ASSERT_EQ(ea.size(), eb.size());
    for (std::size_t i = 0; i < ea.size(); ++i) EXPECT_EQ(ea[i].key.tag, eb[i].key.tag);
  }
}

Map sample() {
  std::vector<std::pair<Key, int>> pairs;
  for (int i = 0; i < 40; ++i)
    pairs.push_back({key(i, static_cast<std::uint64_t>(i % 33) * 0x01000401ULL, i), i});
  return S::fromList(pairs);
}

TEST(StrictTransform, MapRebuildsEveryNodeWithTheSameShape) {
  const Map m = sample();
  const auto strs = S::map([](int x) { return std::to_string(x); }, m);
  expectSameShapeNoSharing(m, strs);
  expectValid(strs);
  for (const auto& r : strs) EXPECT_EQ(*r.value, std::to_string(r.key.id));
  std::vector<int> order;
  const auto keyed = S::mapWithKey(
      [&order](const Key& k, int x) {
        order.push_back(k.tag);
        return k.tag * 1000 + x;
      },
      m);
  expectSameShapeNoSharing(m, keyed);
  std::vector<int> trie;
  for (const auto& r : m) trie.push_back(r.key.tag);
  EXPECT_EQ(order, trie);  // trie order
  EXPECT_TRUE(T::same(S::map([](int x) { return x; }, Map()), Map()));
  const Map one = S::insert(key(1, 77, 1), 1, Map());
  const Map oneMapped = S::map([](int x) { return x + 1; }, one);
  EXPECT_EQ(T::kind(oneMapped), Kind::Leaf);
  EXPECT_EQ(T::word(oneMapped), 77u);
  EXPECT_FALSE(T::same(oneMapped, one));
}

TEST(StrictTransform, MapMaybeDropsAndCollapses) {
  const Map m = sample();
  EXPECT_TRUE(T::same(S::mapMaybe([](int) { return std::optional<int>(); }, m), Map()));
  const auto kept = S::mapMaybeWithKey(
      [](const Key& k, int x) { return k.id % 3 ? std::optional<long>(x * 2L) : std::nullopt; }, m);
  expectValid(kept);
  std::int64_t n = 0;
  for (const auto& r : kept) {
    EXPECT_NE(r.key.id % 3, 0);
    EXPECT_EQ(*r.value, r.key.id * 2L);
    ++n;
  }
  EXPECT_EQ(n, 26);

  // One of two collision entries kept: a Leaf of the collision's hash.
  const Map coll = S::fromList<Key, int>({{key(1, 7, 1), 1}, {key(2, 7, 2), 2}});
  const Map left = S::mapMaybe([](int x) { return x == 2 ? std::optional<int>(x) : std::nullopt; }, coll);
  EXPECT_EQ(T::kind(left), Kind::Leaf);
  EXPECT_EQ(T::word(left), 7u);
  EXPECT_EQ(tags(left), std::vector<int>({2}));
  // Two of three: a shorter collision in the old order.
  const Map three = S::fromList<Key, int>({{key(1, 7, 1), 1}, {key(2, 7, 2), 2}, {key(3, 7, 3), 3}});
  EXPECT_EQ(tags(S::mapMaybe([](int x) { return x != 2 ? std::optional<int>(x) : std::nullopt; }, three)),
            std::vector<int>({1, 3}));
  // A lone leaf rises through every level; a lone branch stays below a one-child node.
  const Map deep = S::fromList<Key, int>({{key(1, 0, 1), 1}, {key(2, 1 << 5, 2), 2}, {key(3, 1, 3), 3}});
  const Map lone = S::mapMaybe([](int x) { return x == 2 ? std::optional<int>(x) : std::nullopt; }, deep);
  EXPECT_EQ(T::kind(lone), Kind::Leaf);
  EXPECT_EQ(T::word(lone), 1u << 5);
  const Map branch = S::mapMaybe([](int x) { return x != 3 ? std::optional<int>(x) : std::nullopt; }, deep);
  EXPECT_EQ(T::kind(branch), Kind::BitmapIndexed);
  EXPECT_EQ(T::word(branch), 1u);
  EXPECT_EQ(T::children(branch).size(), 1u);
  expectValid(branch);
  // Keeping everything of a Full node gives a new Full node of 32 children; dropping one gives 31.
  std::vector<std::pair<Key, int>> all;
  for (std::uint64_t c = 0; c < 32; ++c) all.push_back({key(c, c), int(c)});
  const Map fullMap = S::fromList(all);
  const Map fullKept = S::mapMaybe([](int x) { return std::optional<int>(x); }, fullMap);
  EXPECT_EQ(T::kind(fullKept), Kind::Full);
  EXPECT_FALSE(T::same(fullKept, fullMap));
  const Map less = S::mapMaybe([](int x) { return x != 4 ? std::optional<int>(x) : std::nullopt; }, fullMap);
  EXPECT_EQ(T::kind(less), Kind::BitmapIndexed);
  EXPECT_EQ(T::word(less), 0xFFFFFFFFu & ~(1u << 4));
  expectValid(less);
}

TEST(StrictTraverse, EffectsRunInTrieOrderAndTheApplicativeDecidesTheRest) {
  const Map m = sample();
  std::vector<std::int64_t> trie;
  for (const auto& r : m) trie.push_back(r.key.id);

  // A writer logs every call in trie order and yields the new map.
  const auto logged = S::traverseWithKey(
      [](const Key& k, int x) { return hs::Writer<std::vector<std::int64_t>, int>{x + 1, {k.id}}; }, m);
  EXPECT_EQ(logged.log, trie);
  expectSameShapeNoSharing(m, logged.value);
  for (const auto& r : logged.value) EXPECT_EQ(*r.value, r.key.id + 1);

  // The optional applicative: one absent result makes the whole result absent and stops the calls.
  std::vector<std::int64_t> called;
  const auto none = S::traverseWithKey(
      [&](const Key& k, int x) {
        called.push_back(k.id);
        return k.id == trie[5] ? std::optional<int>() : std::optional<int>(x);
      },
      m);
  EXPECT_FALSE(none.has_value());
  EXPECT_EQ(called, std::vector<std::int64_t>(trie.begin(), trie.begin() + 6));
  const auto all = S::traverseWithKey([](const Key&, int x) { return std::optional<int>(x); }, m);
  ASSERT_TRUE(all.has_value());
  expectSameShapeNoSharing(m, *all);

  // A state threads a counter through the calls in trie order; running it twice gives equal maps.
  const auto numbered = S::traverseWithKey(
      [](const Key&, int) {
        return hs::State<int, int>{[](int s) { return std::pair<int, int>{s, s + 1}; }};
      },
      m);
  for (int run = 0; run < 2; ++run) {
    const auto [out, last] = numbered(100);
    EXPECT_EQ(last, 100 + 40);
    int expected = 100;
    for (const auto& r : out) EXPECT_EQ(*r.value, expected++);
    expectValid(out);
  }

  // The empty map is pure Empty.
  const auto empty = S::traverseWithKey([](const Key&, int x) { return std::optional<int>(x); }, Map());
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(T::same(*empty, Map()));
}

TEST(StrictTraverse, TheListApplicativeGivesEveryCombinationAsItsOwnMap) {
  // Three keys: a leaf and a collision of two, under one root.
  const Map m = S::fromList<Key, int>({{key(1, 1, 1), 1}, {key(2, 2, 2), 2}, {key(3, 2, 3), 3}});
  int calls = 0;
  const auto maps = S::traverseWithKey(
      [&calls](const Key&, int x) {
        ++calls;
        return std::vector<int>{x * 10, x * 10 + 1};
      },
      m);
  EXPECT_EQ(calls, 3);  // each rest is built once
  ASSERT_EQ(maps.size(), 8u);
  for (std::size_t i = 0; i < maps.size(); ++i) {
    expectValid(maps[i]);
    // The first key in trie order varies slowest.
    EXPECT_EQ(*S::at(maps[i], key(1, 1)), 10 + int(i >> 2 & 1));
    EXPECT_EQ(*S::at(maps[i], key(2, 2)), 20 + int(i >> 1 & 1));
    EXPECT_EQ(*S::at(maps[i], key(3, 2)), 30 + int(i & 1));
  }
  // An empty answer for one key leaves no combination, and later keys are not asked.
  calls = 0;
  const auto nothing = S::traverseWithKey(
      [&calls](const Key& k, int x) {
        ++calls;
        return k.id == 2 ? std::vector<int>{} : std::vector<int>{x, x};
      },
      m);
  EXPECT_TRUE(nothing.empty());
  EXPECT_EQ(calls, 2);
}

// ---- Functorial alteration -----------------------------------------------------------------

TEST(StrictAlterF, AFunctorThatNeverMapsNeitherLooksUpNorRebuilds) {
  const Map m = base();
  keyLog().clear();
  const auto c = S::alterF(hs::onCells([](const hs::Lazy<Opt>&) { return hs::Const<int, Opt>{4}; }),
                           key(2, 2, 9), m);
  EXPECT_EQ(c.value, 4);
  EXPECT_TRUE(keyLog().eqCalls.empty());
  EXPECT_EQ(keyLog().hashCalls, 1);
  // Looking at the argument runs the lookup, once, shared with the decision.
  keyLog().clear();
  const auto d = S::alterF(
      hs::onCells([](const hs::Lazy<Opt>& l) { return hs::Identity<Opt>{l->has_value() ? Opt() : Opt(1)}; }),
      key(3, 2, 9), m);
  EXPECT_EQ(keyLog().eqCalls, (std::vector<std::pair<int, int>>{{9, 2}, {9, 3}, {9, 2}, {9, 3}}));
  EXPECT_FALSE(S::member(key(3, 2), d.value));
  EXPECT_EQ(S::size(d.value), 2);
  // The list functor: one independent map per answer, each value evaluated.
  const auto both = S::alterF(
      [](std::optional<int> v) { return std::vector<std::optional<int>>{std::nullopt, v ? *v + 1 : 0}; },
      key(1, 1), m);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_FALSE(S::member(key(1, 1), both[0]));
  EXPECT_EQ(*S::at(both[1], key(1, 1)), 11);
  EXPECT_TRUE(allEvaluated(both[1]));
  const auto weird = IS::alterFWeird(0, 0, [](std::optional<int>) {
    return hs::Identity<std::optional<int>>{std::nullopt};
  }, key(2, 2), m);
  EXPECT_EQ(S::size(weird.value), 2);
}

// ---- Error values --------------------------------------------------------------------------

TEST(StrictSentinels, RaiseTheirErrorsWithTheirSites) {
  struct Case {
    std::function<void()> raise;
    const char* message;
    std::vector<int> range;
  };
  const Case cases[] = {
      {[] { (void)IS::test_bottom<int>(); }, "Vantrel.Map.alterF internal error: hit test_bottom",
       {353, 15, 353, 20}},
      {[] { IS::bogusU(42); }, "Vantrel.Map.alterF internal error: hit bogus#", {356, 12, 356, 17}},
      {[] { (void)IS::impossibleAdjust<Map>(); }, "Vantrel.Map.alterF internal error: impossible adjust",
       {359, 20, 359, 25}},
  };
  for (const Case& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << c.message;
    } catch (const hs::ProgramError& e) {
      EXPECT_STREQ(e.what(), c.message);
      ASSERT_EQ(e.callStack().entries().size(), 1u);
      const hs::SrcLoc& s = e.callStack().entries()[0];
      EXPECT_EQ(s.function, "error");
      EXPECT_EQ(s.package, vantrel::packageId());
      EXPECT_EQ(s.module, "Vantrel.Map.Internal.Strict");
      EXPECT_EQ(s.file, "./Vantrel/Map/Internal/Strict");
      EXPECT_EQ(std::vector<int>({s.startLine, s.startCol, s.endLine, s.endCol}), c.range);
    }
  }
}

}  // namespace
