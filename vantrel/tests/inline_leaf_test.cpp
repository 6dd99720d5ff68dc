// Leaves kept as records of their branch nodes: what a caller took from them outlives the map, a
// stored cell given back keeps its node, values of other types than small plain ones keep their
// cells, and small plain values handed in as values live in their records without one.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "testing/keys.hpp"
#include "testing/trie.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/strict.hpp"

namespace {

namespace L = vantrel::lazy;
namespace S = vantrel::strict;
namespace T = testing_support::trie;
using Map = vantrel::HashMap<std::int64_t, std::string>;
using Cell = hs::Lazy<std::string>;
using Pairs = std::vector<std::pair<std::int64_t, std::string>>;

// Values long enough to live on the heap, so a freed block read again is caught.
std::string valueOf(std::int64_t k) { return "value of key " + std::to_string(k) + " on the heap"; }
Pairs pairs(int n) {
  Pairs out;
  for (std::int64_t i = 0; i < n; ++i) out.emplace_back(i * 0x9E3779B97F4A7C15LL, valueOf(i));
  return out;
}

struct Builder {
  const char* name;
  std::function<Map(const Pairs&)> build;
};
// Every road that builds leaves from values, or from cells nobody else holds.
const std::vector<Builder>& builders() {
  static const std::vector<Builder> all = {
      {"insert of values",
       [](const Pairs& ps) {
         Map m;
         for (const auto& [k, v] : ps) m = L::insert(k, v, m);
         return m;
       }},
      {"moved insert of moved values",
       [](const Pairs& ps) {
         Map m;
         for (const auto& [k, v] : ps) {
           std::string s = v;
           m = L::insert(k, std::move(s), std::move(m));
         }
         return m;
       }},
      {"moved insert of moved keys and values",
       [](const Pairs& ps) {
         Map m;
         for (const auto& [k, v] : ps) {
           std::int64_t key = k;
           std::string s = v;
           m = L::insert(std::move(key), std::move(s), std::move(m));
         }
         return m;
       }},
      {"strict insert", [](const Pairs& ps) {
         Map m;
         for (const auto& [k, v] : ps) m = S::insert(k, v, m);
         return m;
       }},
      {"fromList", [](const Pairs& ps) { return L::fromList(ps); }},
      {"strict fromList", [](const Pairs& ps) { return S::fromList(ps); }},
      {"strict map", [](const Pairs& ps) {
         return S::map([](const std::string& s) { return s; }, L::fromList(ps));
       }},
      {"strict mapMaybe", [](const Pairs& ps) {
         return S::mapMaybe([](const std::string& s) { return std::optional<std::string>(s); },
                            L::fromList(ps));
       }},
      {"traverse", [](const Pairs& ps) {
         return *L::traverse([](const std::string& s) { return std::optional<std::string>(s); },
                             L::fromList(ps));
       }},
      {"mapMaybe", [](const Pairs& ps) {
         return L::mapMaybe([](const std::string& s) { return std::optional<std::string>(s); },
                            L::fromList(ps));
       }},
      {"singletons joined", [](const Pairs& ps) {
         Map m;
         for (const auto& [k, v] : ps)
           m = L::union_(m, L::singleton<std::int64_t, std::string>(k, v));
         return m;
       }},
  };
  return all;
}

TEST(InlineLeaf, EveryBuilderKeepsItsValuesInItsLeaves) {
  const Pairs ps = pairs(3000);
  for (const Builder& b : builders()) {
    const Map m = b.build(ps);
    ASSERT_TRUE(vantrel::internal::debug::valid(m).isValid()) << b.name;
    ASSERT_EQ(L::size(m), 3000) << b.name;
    for (const auto& [k, v] : ps) ASSERT_EQ(*L::at(m, k), v) << b.name;
    const T::LeafCount n = T::leafCount(m);
    EXPECT_GT(n.leaves, 2900) << b.name;
    EXPECT_EQ(n.records, n.leaves) << b.name;
  }
}

TEST(InlineLeaf, LookedUpValuesOutliveTheirMap) {
  const Pairs ps = pairs(2000);
  for (const Builder& b : builders()) {
    std::vector<Cell> held;
    std::vector<vantrel::internal::CellRef<std::string>> borrowed;
    {
      Map m = b.build(ps);
      for (const auto& [k, v] : ps) held.push_back(*L::lookup(k, m));
      Map copy = m;
      m = Map();
      for (const auto& [k, v] : ps) borrowed.push_back(L::lookupCell(k, copy));
      for (std::size_t i = 0; i < ps.size(); ++i) ASSERT_TRUE(hs::ptrEq(held[i], *borrowed[i]));
    }
    for (std::size_t i = 0; i < ps.size(); ++i) ASSERT_EQ(*held[i], ps[i].second) << b.name;
  }
}

TEST(InlineLeaf, AStoredCellGivenBackKeepsItsNode) {
  const Pairs ps = pairs(500);
  for (const Builder& b : builders()) {
    const Map m = b.build(ps);
    for (const auto& [k, v] : ps) {
      const Cell stored = *L::lookup(k, m);
      ASSERT_TRUE(T::same(L::insert(k, stored, m), m)) << b.name;
      ASSERT_TRUE(T::same(S::insert(k, stored, m), m)) << b.name;
      // Not re-homed: the caller holds it too, so the new leaf refers to that very cell.
      const Map again = L::insert(k, stored, L::erase(k, m));
      ASSERT_TRUE(hs::ptrEq(*L::lookup(k, again), stored)) << b.name;
      ASSERT_EQ(T::leafCount(again).records, T::leafCount(again).leaves) << b.name;
      // A value, even an equal one, is a new cell.
      ASSERT_FALSE(T::same(L::insert(k, v, m), m)) << b.name;
    }
  }
}

TEST(InlineLeaf, CellsKeptApartWhereTheirIdentityCanBeSeenOrTheyAreNotDone) {
  const std::int64_t k = 42;
  const std::uint64_t h = vantrel::internal::hash(k);
  const Cell kept(valueOf(1));
  const Map shared = T::leaf(h, k, kept);  // the caller still holds the cell
  EXPECT_TRUE(hs::ptrEq(*L::lookup(k, shared), kept));
  const Map deferred = T::leaf(h, k, Cell::defer([] { return valueOf(2); }));
  static const Cell forever = Cell::immortal(valueOf(3));
  const Map immortal = T::leaf(h, k, forever);
  const Map alone = T::leaf(h, k, Cell(valueOf(4)));  // nobody else can see this one
  const Cell put[] = {kept, *L::lookup(k, deferred), forever};
  const Map* maps[] = {&shared, &deferred, &immortal};
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(hs::ptrEq(*L::lookup(k, *maps[i]), put[i])) << i;
  EXPECT_EQ(*L::at(alone, k), valueOf(4));
  EXPECT_FALSE(L::lookup(k, deferred)->evaluated());
  EXPECT_EQ(*L::at(deferred, k), valueOf(2));
  EXPECT_TRUE(hs::ptrEq(*L::lookup(k, deferred), put[1])) << "forcing keeps the cell where it is";
  // Below a branch the same: the records keep the cells.
  const Map two = L::insert(k + 1, kept, L::insert(k, Cell::defer([] { return valueOf(2); }), Map()));
  EXPECT_EQ(T::leafCount(two).records, 2);
  EXPECT_TRUE(hs::ptrEq(*L::lookup(k + 1, two), kept));
  EXPECT_FALSE(L::lookup(k, two)->evaluated());
}

// A value whose move may throw is never moved out of a cell: its leaf keeps the cell.
struct Fragile {
  std::string s;
  explicit Fragile(std::string v) : s(std::move(v)) {}
  Fragile(const Fragile&) = default;
  Fragile(Fragile&& o) noexcept(false) : s(std::move(o.s)) {}
  Fragile& operator=(const Fragile&) = default;
  bool operator==(const Fragile&) const = default;
};

TEST(InlineLeaf, AValueWhoseMoveMayThrowKeepsItsCell) {
  using FMap = vantrel::HashMap<std::int64_t, Fragile>;
  hs::Lazy<Fragile> c(Fragile(valueOf(5)));
  const void* id = c.identity();
  const FMap one = T::leaf(vantrel::internal::hash(std::int64_t{7}), std::int64_t{7}, std::move(c));
  EXPECT_EQ(L::lookupCell(std::int64_t{7}, one)->identity(), id);
  // Built straight from a value, nothing is moved out of a cell: the leaf holds it.
  FMap m;
  for (std::int64_t i = 0; i < 100; ++i) m = L::insert(i, Fragile(valueOf(i)), m);
  EXPECT_EQ(T::leafCount(m).records, T::leafCount(m).leaves);
  for (std::int64_t i = 0; i < 100; ++i) EXPECT_EQ(L::at(m, i)->s, valueOf(i));
}

// Arguments of other types than the value type still go through a cell made from them, with the
// meaning they had; only a small plain value of the very value type is held without one.
TEST(InlineLeaf, ConvertedArgumentsKeepTheirMeaning) {
  Map m;
  m = L::insert(1, "converted", m);
  m = S::insert(2, "converted too", std::move(m));
  m = L::insert(3, Cell::defer([] { return std::string("deferred"); }), m);
  m = L::insert(4, std::string(valueOf(4)), m);
  const Cell shared(valueOf(5));
  m = S::insert(5, shared, m);
  EXPECT_EQ(*L::at(m, 1), "converted");
  EXPECT_EQ(*L::at(m, 2), "converted too");
  EXPECT_EQ(*L::at(m, 3), "deferred");
  EXPECT_EQ(*L::at(m, 4), valueOf(4));
  EXPECT_TRUE(hs::ptrEq(*L::lookup(5, m), shared));
  for (std::int64_t k = 1; k <= 5; ++k) EXPECT_NE(L::lookup(k, m)->identity(), nullptr) << k;

  vantrel::HashMap<std::int64_t, std::int64_t> n;
  n = L::insert(1, 7, n);                 // an int, converted
  n = L::insert(2, std::int64_t{8}, n);  // the value type itself
  n = S::insert(3, 'a', n);
  EXPECT_EQ(*L::at(n, 1) + *L::at(n, 2) + *L::at(n, 3), 7 + 8 + 'a');
  // A converted argument's cell is also held by the call's temporary, so the record keeps it; a
  // value of the value type itself has no cell.
  EXPECT_NE(L::lookup(1, n)->identity(), nullptr);
  EXPECT_EQ(L::lookup(2, n)->identity(), nullptr);
  EXPECT_NE(L::lookup(3, n)->identity(), nullptr);
  EXPECT_EQ(*L::at(L::singleton<std::int64_t, std::int64_t>(1, 9), 1), 9);
  EXPECT_EQ(*L::at(S::singleton<std::int64_t, std::int64_t>(1, std::int64_t{9}), 1), 9);
}

// Over-aligned values keep their cells apart, by every road.
struct alignas(64) Wide {
  std::int64_t v = 0;
};

TEST(InlineLeaf, OverAlignedValuesKeepTheirCells) {
  using WMap = vantrel::HashMap<std::int64_t, Wide>;
  std::vector<std::pair<std::int64_t, Wide>> ps;
  for (std::int64_t i = 0; i < 200; ++i) ps.emplace_back(i, Wide{i * 3});
  WMap m;
  for (const auto& [k, w] : ps) m = L::insert(k, w, m);
  const std::vector<WMap> maps = {m, L::fromList(ps),
                                  T::leaf(vantrel::internal::hash(std::int64_t{1}), std::int64_t{1},
                                          hs::Lazy<Wide>(Wide{3}))};
  std::vector<hs::Lazy<Wide>> held;
  for (const WMap& w : maps) {
    for (const auto& r : w) {
      EXPECT_EQ(r.value->v, r.key * 3);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&*r.value) % 64, 0U);
      held.push_back(r.value);
    }
  }
  EXPECT_EQ(held.size(), 401U);
}

// An over-aligned value handed over is given back, whichever move of the key into its leaf
// throws.
struct alignas(64) WideText {
  std::string s;
};

TEST(InlineLeaf, AnOverAlignedValueHandedOverSurvivesAThrowingKeyMove) {
  using testing_support::FailingKey;
  using WMap = vantrel::HashMap<FailingKey, WideText>;
  const std::string text(48, 'w');
  for (int moves = 1;; ++moves) {
    WideText v{text};
    FailingKey::movesBeforeThrow = moves;
    bool threw = false;
    try {
      (void)L::insert(FailingKey(1), std::move(v), WMap());
    } catch (const testing_support::KeyFailure&) {
      threw = true;
    }
    FailingKey::movesBeforeThrow = -1;
    if (!threw) break;
    EXPECT_EQ(v.s, text) << moves;
  }
}

// A key whose copy throws once armed: the leaf under construction is given up whole.
struct TouchyKey {
  std::int64_t id = 0;
  static inline bool armed = false;
  explicit TouchyKey(std::int64_t i) : id(i) {}
  TouchyKey(const TouchyKey& o) : id(o.id) {
    if (armed) throw std::runtime_error("key copy");
  }
  TouchyKey& operator=(const TouchyKey&) = default;
  bool operator==(const TouchyKey&) const = default;
};

}  // namespace

template <>
struct hs::Hashable<TouchyKey> {
  static std::int64_t hash(const TouchyKey& k) { return k.id; }
  static std::int64_t hashWithSalt(std::int64_t salt, const TouchyKey& k) {
    return hs::saltedWordHash(salt, static_cast<std::uint64_t>(k.id));
  }
};

namespace {

TEST(InlineLeaf, AThrowingKeyCopyLeavesNothingBehind) {
  using KMap = vantrel::HashMap<TouchyKey, std::string>;
  KMap m = L::insert(TouchyKey(1), valueOf(1), KMap());
  const std::string v = valueOf(2);
  TouchyKey::armed = true;
  EXPECT_THROW((void)L::insert(TouchyKey(2), v, m), std::runtime_error);
  EXPECT_THROW((void)L::insert(TouchyKey(2), std::string(v), std::move(m)), std::runtime_error);
  // A value handed over stays the caller's when the key's copy fails after it.
  std::string given = v, givenOne = v;
  EXPECT_THROW((void)L::insert(TouchyKey(2), std::move(given), std::move(m)), std::runtime_error);
  EXPECT_THROW(((void)L::singleton<TouchyKey, std::string>(TouchyKey(2), std::move(givenOne))),
               std::runtime_error);
  TouchyKey::armed = false;
  EXPECT_EQ(v, valueOf(2));
  EXPECT_EQ(given, v);
  EXPECT_EQ(givenOne, v);
  EXPECT_EQ(L::size(m), 1);
  EXPECT_EQ(*L::at(m, TouchyKey(1)), valueOf(1));
}

// Random inserts of values, of shared cells and of deferred cells, erases and held lookups,
// against a plain model, the checker after every step; the held values are read after the maps
// are gone.
TEST(InlineLeaf, RandomOperationsAgreeWithTheModel) {
  for (std::uint64_t seed = 1; seed <= 4; ++seed) {
    std::mt19937_64 rng(seed);
    std::vector<std::pair<Cell, std::string>> held;
    {
      Map m;
      std::unordered_map<std::int64_t, std::string> model;
      for (int step = 0; step < 1500; ++step) {
        // Few distinct hashes low down, so collisions and deep paths both occur.
        const std::int64_t k = static_cast<std::int64_t>(rng() % 80) << (rng() % 2 == 0 ? 0 : 40);
        const std::string v = valueOf(static_cast<std::int64_t>(rng() % 1000));
        switch (rng() % 6) {
          case 0:
            m = L::insert(k, v, m);
            model[k] = v;
            break;
          case 1:
            m = L::insert(k, std::string(v), std::move(m));
            model[k] = v;
            break;
          case 2: {
            const Cell c(v);
            m = L::insert(k, c, m);
            held.emplace_back(c, v);
            model[k] = v;
            break;
          }
          case 3:
            m = L::insert(k, Cell::defer([v] { return v; }), m);
            model[k] = v;
            break;
          case 4:
            m = L::erase(k, m);
            model.erase(k);
            break;
          default:
            if (auto c = L::lookup(k, m)) held.emplace_back(*c, model.at(k));
            break;
        }
        ASSERT_TRUE(vantrel::internal::debug::valid(m).isValid()) << seed << " " << step;
        ASSERT_EQ(L::size(m), static_cast<std::int64_t>(model.size()));
        for (const auto& r : m) ASSERT_EQ(*r.value, model.at(r.key)) << seed << " " << step;
      }
    }
    for (const auto& [c, v] : held) ASSERT_EQ(*c, v) << seed;
  }
}

}  // namespace
