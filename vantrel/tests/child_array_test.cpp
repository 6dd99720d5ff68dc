// The node builder, the 32-slot copies and the submap test over child arrays: their edge cases,
// and the same nodes and answers as the library's own walks where they build the same shapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "testing/trie.hpp"
#include "testing/values.hpp"
#include "vantrel/map/internal.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

using testing_support::HashSpace;
using testing_support::Key;
using testing_support::key;
using testing_support::keyLog;
using vantrel::HashMap;
using vantrel::internal::Kind;
namespace A = vantrel::internal::array;
namespace I = vantrel::internal;
namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using Map = HashMap<Key, int>;
using MapCell = hs::Lazy<Map>;
using Children = I::ChildArray<Key, int>;
using Tag = I::debug::Error<Key>::Tag;
constexpr std::uint64_t full = I::fullBitmap;

bool isBranch(Kind k) { return k == Kind::BitmapIndexed || k == Kind::Full; }

// A valid child for chunk c at shift 0, by turns a leaf, a collision and a branch below.
Map kid(std::uint64_t c) {
  const auto id = static_cast<std::int64_t>(c);
  switch (c % 3) {
    case 0:
      return T::leaf<Key, int>(c, key(id, c), id);
    case 1:
      return T::collision<Key, int>(c, {{key(100 + id, c), 1}, {key(200 + id, c), 2}});
    default:
      return T::children(L::fromList<Key, int>(
          {{key(300 + id, c | 1 << 5), 1}, {key(400 + id, c | 2 << 5), 2}}))[0];
  }
}

// The same node at the top: kind, word, the same children (T::sameChild), as many leaves kept as
// records; and equal as maps.
template <class V>
void expectSameNode(const HashMap<Key, V>& got, const HashMap<Key, V>& want,
                    const std::string& what) {
  ASSERT_EQ(T::kind(got), T::kind(want)) << what;
  EXPECT_EQ(T::word(got), T::word(want)) << what;
  const auto a = T::children(got), b = T::children(want);
  ASSERT_EQ(a.size(), b.size()) << what;
  for (std::size_t i = 0; i < a.size(); ++i)
    EXPECT_TRUE(T::sameChild(a[i], b[i])) << what << ": child " << i;
  EXPECT_EQ(T::leafCount(got).records, T::leafCount(want).records) << what;
  EXPECT_TRUE(got == want) << what;
}

// ---- bitmapIndexedOrFull -------------------------------------------------------------------

TEST(ChildArray, BitmapIndexedOrFullIsFullOnlyForTheFullBitmap) {
  struct Case {
    std::string what;
    std::uint64_t b;
    std::uint32_t n;  // children
    Kind kind;
    std::optional<Tag> broken;  // what the checker reports
  };
  std::vector<Case> cases = {
      {"fullBitmap", full, 32, Kind::Full, std::nullopt},
      {"chunks 0 and 31", 1 | 1ULL << 31, 2, Kind::BitmapIndexed, std::nullopt},
      {"one chunk over a branch", 1ULL << 2, 1, Kind::BitmapIndexed, std::nullopt},
      {"one chunk over a leaf: kept, not collapsed", 1ULL << 3, 1, Kind::BitmapIndexed,
       Tag::INV5_BitmapIndexed_invalid_single_subtree},
      {"fullBitmap over 31 children", full, 31, Kind::Full, Tag::INV8_bad_Full_size},
      {"three chunks over two children", 0b111, 2, Kind::BitmapIndexed,
       Tag::INV4_bitmap_array_size_mismatch},
      {"two chunks over three children", 0b11, 3, Kind::BitmapIndexed,
       Tag::INV4_bitmap_array_size_mismatch},
      {"a bit beyond the 32 chunks", 1 | 1ULL << 32, 2, Kind::BitmapIndexed,
       Tag::INV2_Bitmap_unexpected_1_bits},
  };
  for (std::uint64_t c = 0; c < 32; ++c)
    cases.push_back({"fullBitmap without chunk " + std::to_string(c), full & ~(1ULL << c), 31,
                     Kind::BitmapIndexed, std::nullopt});
  for (const Case& c : cases) {
    std::vector<Map> kids;
    for (std::uint64_t rest = c.b; rest != 0 && kids.size() < c.n; rest &= rest - 1)
      kids.push_back(kid(static_cast<std::uint64_t>(std::countr_zero(rest))));
    while (kids.size() < c.n) kids.push_back(kid(40 + kids.size()));
    const bool matched = std::popcount(c.b) == static_cast<int>(c.n) && c.b <= full;
    int records = 0;
    for (const Map& k : kids)
      records += (T::kind(k) == Kind::Leaf && matched) + T::leafCount(k).records;

    const Map m = I::bitmapIndexedOrFull<Key, int>(c.b, T::arrayOf(kids));
    EXPECT_EQ(T::kind(m), c.kind) << c.what;
    EXPECT_EQ(T::word(m), c.b) << c.what;
    const auto got = T::children(m);
    ASSERT_EQ(got.size(), kids.size()) << c.what;
    for (std::size_t i = 0; i < kids.size(); ++i)
      EXPECT_TRUE(T::sameChild(got[i], kids[i])) << c.what << ": child " << i;
    // Leaf children become records; the others are the very nodes given.
    EXPECT_EQ(T::leafCount(m).records, records) << c.what;
    const auto v = I::debug::valid(m);
    EXPECT_EQ(v.isValid(), !c.broken) << c.what;
    if (c.broken && !v.isValid()) {
      EXPECT_EQ(v.error().tag, *c.broken) << c.what;
    }
  }
}

TEST(ChildArray, BitmapIndexedOrFullForcesTheSlotsInOrder) {
  std::vector<int> forced;
  auto logged = [&forced](int i, Map m) {
    return MapCell::defer([&forced, i, m] {
      forced.push_back(i);
      return m;
    });
  };
  const Children a = A::fromList<Map>(2, {logged(0, kid(0)), logged(1, kid(1))});
  EXPECT_EQ(T::kind(I::bitmapIndexedOrFull<Key, int>(0b11, a)), Kind::BitmapIndexed);
  EXPECT_EQ(forced, std::vector<int>({0, 1}));
  // A failing slot leaves nothing built, and the other slots as they were.
  const Children bad = A::fromList<Map>(
      3, {MapCell(kid(0)), testing_support::throwing<Map>("slot"), logged(2, kid(2))});
  EXPECT_THROW((void)(I::bitmapIndexedOrFull<Key, int>(0b111, bad)), testing_support::TestFailure);
  EXPECT_EQ(forced, std::vector<int>({0, 1}));
}

TEST(ChildArray, BitmapIndexedOrFullRebuildsEveryBranchOfAMap) {
  std::mt19937_64 rng(11);
  auto check = [&](auto value, const HashSpace& space) {
    using V = decltype(value(0));
    HashMap<Key, V> m;
    for (int i = 0; i < 400; ++i) {
      const auto id = static_cast<std::int64_t>(rng() % 600);
      m = L::insert(key(id, space.of(id)), value(static_cast<int>(id)), m);
    }
    int branches = 0;
    std::vector<HashMap<Key, V>> todo = {m};
    while (!todo.empty()) {
      const HashMap<Key, V> t = todo.back();
      todo.pop_back();
      if (!isBranch(T::kind(t))) continue;
      ++branches;
      expectSameNode(I::bitmapIndexedOrFull<Key, V>(T::word(t), T::childArray(t)), t, space.name);
      for (const auto& c : T::children(t)) todo.push_back(c);
    }
    EXPECT_GT(branches, 0) << space.name;
  };
  for (const HashSpace* space : {&testing_support::spreadHashes, &testing_support::tinyHashes,
                                 &testing_support::highBitHashes}) {
    check([](int i) { return i; }, *space);
    check([](int i) { return std::to_string(i); }, *space);
    check([](int) { return hs::unit; }, *space);
  }
}

TEST(ChildArray, NodeBuilderAndCopiesAgreeWithInsertAndErase) {
  // A root over chunks 0 to 30 but 17: leaves, with a collision at chunk 3 and a branch at 5.
  std::vector<std::pair<Key, int>> pairs;
  for (std::uint64_t c = 0; c < 31; ++c)
    if (c != 17) pairs.push_back({key(static_cast<std::int64_t>(c), c), 0});
  pairs.push_back({key(100, 3), 0});
  pairs.push_back({key(101, 5 | 1 << 5), 0});
  const Map m = L::fromList(pairs);
  ASSERT_EQ(T::kind(m), Kind::BitmapIndexed);
  // The child of chunk c at array position sparseIndex.
  auto at = [](const Map& t, std::uint64_t c) { return I::sparseIndex(T::word(t), 1ULL << c); };

  const Map grown = L::insert(key(17, 17), 0, m);
  expectSameNode(
      I::bitmapIndexedOrFull<Key, int>(
          T::word(m) | 1 << 17, A::insert(T::childArray(m), at(m, 17), T::children(grown)[17])),
      grown, "a new chunk");
  const Map filled = L::insert(key(31, 31), 0, grown);
  ASSERT_EQ(T::kind(filled), Kind::Full);
  expectSameNode(I::bitmapIndexedOrFull<Key, int>(
                     full, A::snoc(T::childArray(grown), T::children(filled)[31])),
                 filled, "the 32nd chunk");
  expectSameNode(I::bitmapIndexedOrFull<Key, int>(full & ~1ULL, A::erase(T::childArray(filled), 0)),
                 L::erase(key(0, 0), filled), "a chunk of Full erased");
  // A collision left with one key: its leaf becomes a record of the node.
  const Map thinned = L::erase(key(100, 3), m);
  expectSameNode(
      I::bitmapIndexedOrFull<Key, int>(
          T::word(m), A::update(T::childArray(m), at(m, 3), T::children(thinned)[at(m, 3)])),
      thinned, "a collision down to a leaf");

  // A child of a Full node replaced: a branch below (chunk 5), a leaf's value (chunk 7).
  struct Replaced {
    std::int64_t chunk;
    Map result;
  };
  for (const Replaced& c : {Replaced{5, L::insert(key(102, 5 | 3 << 5), 1, filled)},
                            Replaced{7, L::insert(key(7, 7), 9, filled)}}) {
    const Map fresh = T::children(c.result)[static_cast<std::size_t>(c.chunk)];
    const std::string at = " at chunk " + std::to_string(c.chunk);
    expectSameNode(I::bitmapIndexedOrFull<Key, int>(
                       full, I::update32<Key, int>(T::childArray(filled), c.chunk, fresh)),
                   c.result, "update32" + at);
    expectSameNode(I::bitmapIndexedOrFull<Key, int>(
                       full, I::update32M<Key, int>(T::childArray(filled), c.chunk, fresh)),
                   c.result, "update32M" + at);
    expectSameNode(I::bitmapIndexedOrFull<Key, int>(
                       full, I::update32With_<Key, int>(T::childArray(filled), c.chunk,
                                                        [&](const Map&) { return fresh; })),
                   c.result, "update32With'" + at);
  }
}

// ---- update32, update32M, update32With' ----------------------------------------------------

// n slots, slot j the leaf of hash j.
Children leaves(std::uint32_t n) {
  std::vector<Map> kids;
  for (std::uint64_t j = 0; j < n; ++j) kids.push_back(kid(3 * j));
  return T::arrayOf(kids);
}

TEST(ChildArray, Update32KeepsThirtyTwoSlotsAndTheVeryChildPassed) {
  struct Case {
    const char* what;
    std::uint32_t length;
    std::int64_t i;
  };
  const Case cases[] = {
      {"32 slots, the first", 32, 0},
      {"32 slots, the last", 32, 31},
      {"33 slots, the last of 32", 33, 31},
      {"40 slots: those past 31 dropped", 40, 7},
  };
  using Update = Children (*)(const Children&, std::int64_t, MapCell);
  const std::pair<const char*, Update> forms[] = {{"update32", &I::update32<Key, int>},
                                                  {"update32M", &I::update32M<Key, int>}};
  for (const Case& c : cases) {
    for (const auto& [form, update] : forms) {
      const Children a = leaves(c.length);
      auto runs = std::make_shared<int>(0);
      const MapCell x = testing_support::counting(kid(1), runs);
      const Children r = update(a, c.i, x);
      ASSERT_EQ(A::length(r), 32) << c.what << " " << form;
      EXPECT_TRUE(hs::ptrEq(r.slot(c.i), x)) << c.what << " " << form << ": the cell passed";
      EXPECT_EQ(*runs, 0) << c.what << " " << form << ": stored unevaluated";
      for (std::int64_t j = 0; j < 32; ++j)
        if (j != c.i) {
          EXPECT_TRUE(hs::ptrEq(r.slot(j), a.slot(j))) << c.what << " " << form << ": slot " << j;
        }
      EXPECT_EQ(A::length(a), c.length) << c.what << ": the input is unchanged";
      EXPECT_EQ(T::word(A::index(a, c.i)), static_cast<std::uint64_t>(3 * c.i)) << c.what;
      // A map passed as a value is the very node in its new cell.
      const Map y = kid(2);
      EXPECT_TRUE(T::same(A::index(update(a, c.i, y), c.i), y)) << c.what << " " << form;
    }
  }
}

TEST(ChildArray, Update32WithForcesTheNewChildFirst) {
  const Map y = kid(2);
  auto runs = std::make_shared<int>(0);
  struct Case {
    const char* what;
    std::function<Children(const Children&)> run;
    bool throws;
    std::optional<Map> stored;  // the map slot 5 holds
  };
  const MapCell deferred = testing_support::counting(y, runs);
  const Case cases[] = {
      {"f giving a map",
       [&](const Children& a) {
         return I::update32With_<Key, int>(a, 5, [&](const Map& old) {
           EXPECT_EQ(T::word(old), 15u);
           return y;
         });
       },
       false, y},
      {"f giving a deferred cell: forced, and kept",
       [&](const Children& a) {
         const Children r = I::update32With_<Key, int>(a, 5, [&](const Map&) { return deferred; });
         EXPECT_EQ(*runs, 1);
         EXPECT_TRUE(hs::ptrEq(r.slot(5), deferred));
         return r;
       },
       false, y},
      {"f on cells: given the old cell itself",
       [&](const Children& a) {
         return I::update32With_<Key, int>(a, 5, hs::onCells([&](const MapCell& old) {
                                             EXPECT_TRUE(hs::ptrEq(old, a.slot(5)));
                                             return MapCell(y);
                                           }));
       },
       false, y},
      {"f throwing",
       [](const Children& a) {
         return I::update32With_<Key, int>(
             a, 5, [](const Map&) -> Map { throw testing_support::TestFailure("f"); });
       },
       true, std::nullopt},
      {"f giving a cell that fails",
       [](const Children& a) {
         return I::update32With_<Key, int>(
             a, 5, [](const Map&) { return testing_support::throwing<Map>(); });
       },
       true, std::nullopt},
  };
  for (const Case& c : cases) {
    const Children a = leaves(32);
    if (c.throws) {
      EXPECT_THROW((void)c.run(a), testing_support::TestFailure) << c.what;
    } else {
      const Children r = c.run(a);
      ASSERT_EQ(A::length(r), 32) << c.what;
      EXPECT_TRUE(T::same(A::index(r, 5), *c.stored)) << c.what;
    }
    EXPECT_EQ(T::word(A::index(a, 5)), 15u) << c.what << ": the input is unchanged";
  }
}

// ---- submapBitmapIndexed -------------------------------------------------------------------

TEST(ChildArray, SubmapBitmapIndexedComparesSharedChunksInOrder) {
  // The first array's child of chunk c is the leaf of hash c, the second's that of hash 32 + c;
  // the comparator logs the chunks of each pair and answers false at the chunks of `falseAt`.
  using Calls = std::vector<std::pair<std::uint64_t, std::uint64_t>>;
  struct Case {
    const char* what;
    std::uint64_t b1, b2;
    std::vector<std::uint64_t> falseAt;
    bool result;
    Calls calls;
  };
  const Case cases[] = {
      {"b1 not a subset of b2", 0b1011, 0b0011, {}, false, {}},
      {"b1 not a subset, the comparator false as well", 0b1011, 0b0011, {0}, false, {}},
      {"equal bitmaps", 0b1011, 0b1011, {}, true, {{0, 0}, {1, 1}, {3, 3}}},
      {"a subset: the second's other chunks skipped", 0b1001, 0b1111, {}, true, {{0, 0}, {3, 3}}},
      {"false at the first shared chunk", 0b1010, 0b1110, {1}, false, {{1, 1}}},
      {"false at the last shared chunk", 0b1010, 0b1110, {3}, false, {{1, 1}, {3, 3}}},
      {"Full as fullBitmap", 1 << 5 | 1ULL << 31, full, {}, true, {{5, 5}, {31, 31}}},
      {"Full as fullBitmap, false at the last",
       1 << 5 | 1ULL << 31,
       full,
       {31},
       false,
       {{5, 5}, {31, 31}}},
      {"both Full, false at the first", full, full, {0}, false, {{0, 0}}},
      {"Full in a BitmapIndexed", full, full & ~(1ULL << 9), {}, false, {}},
      {"no chunks in the first", 0, 0b101, {}, true, {}},
      {"no chunks in either", 0, 0, {}, true, {}},
  };
  auto arrayOfChunks = [](std::uint64_t b, std::uint64_t offset) {
    std::vector<Map> kids;
    for (std::uint64_t rest = b; rest != 0; rest &= rest - 1) {
      const auto c = static_cast<std::uint64_t>(std::countr_zero(rest));
      kids.push_back(
          T::leaf<Key, int>(c + offset, key(static_cast<std::int64_t>(c), c + offset), 0));
    }
    return T::arrayOf(kids);
  };
  for (const Case& c : cases) {
    Calls calls;
    auto cmp2 = [&](const Map& x, const Map& y) {
      calls.emplace_back(T::word(x), T::word(y) - 32);
      return std::find(c.falseAt.begin(), c.falseAt.end(), T::word(x)) == c.falseAt.end();
    };
    EXPECT_EQ((I::submapBitmapIndexed<Key, int, int>(cmp2, c.b1, arrayOfChunks(c.b1, 0), c.b2,
                                                     arrayOfChunks(c.b2, 32))),
              c.result)
        << c.what;
    EXPECT_EQ(calls, c.calls) << c.what;
  }
}

TEST(ChildArray, SubmapBitmapIndexedForcesTheFirstChildFirst) {
  std::vector<std::string> forced;
  auto logged = [&forced](std::string name, Map m) {
    return MapCell::defer([&forced, name, m] {
      forced.push_back(name);
      return m;
    });
  };
  const Children a1 = A::fromList<Map>(2, {logged("a1[0]", kid(0)), logged("a1[1]", kid(3))});
  const Children a2 = A::fromList<Map>(
      3, {logged("a2[0]", kid(0)), logged("a2[1]", kid(1)), logged("a2[2]", kid(3))});
  // Cells, unforced, under hs::onCells.
  int pairs = 0;
  EXPECT_TRUE(
      (I::submapBitmapIndexed<Key, int, int>(hs::onCells([&](const MapCell& x, const MapCell& y) {
                                               EXPECT_TRUE(hs::ptrEq(x, a1.slot(pairs)));
                                               EXPECT_TRUE(hs::ptrEq(y, a2.slot(2 * pairs)));
                                               ++pairs;
                                               return true;
                                             }),
                                             0b1001, a1, 0b1011, a2)));
  EXPECT_EQ(pairs, 2);
  EXPECT_TRUE(forced.empty());
  EXPECT_TRUE((I::submapBitmapIndexed<Key, int, int>([](const Map&, const Map&) { return true; },
                                                     0b1001, a1, 0b1011, a2)));
  EXPECT_EQ(forced, std::vector<std::string>({"a1[0]", "a2[0]", "a1[1]", "a2[2]"}));
}

TEST(ChildArray, SubmapBitmapIndexedAgreesWithIsSubmapOf) {
  std::mt19937_64 rng(5);
  // The library's own submap walk one level down, as the child comparator.
  auto below = [](const Map& c1, const Map& c2) {
    auto eq = [](int x, int y) { return x == y; };
    return I::submapWalk<Key, int, int>(eq, 5, I::Ref<Key, int>::of(c1), I::Ref<Key, int>::of(c2));
  };
  int answers[2] = {0, 0};
  for (int round = 0; round < 600; ++round) {
    const HashSpace& space = round % 3 == 0   ? testing_support::tinyHashes
                             : round % 3 == 1 ? testing_support::highBitHashes
                                              : testing_support::spreadHashes;
    const int n = 1 + static_cast<int>(rng() % 80);
    Map m1, m2;
    for (int i = 0; i < n; ++i) {
      const auto id = static_cast<std::int64_t>(rng() % 120);
      const Key k = key(id, space.of(id));
      const int v = static_cast<int>(rng() % 3);
      m2 = L::insert(k, v, m2);
      if (rng() % 4 != 0) m1 = L::insert(k, v, m1);
    }
    // Now and then a value that differs or a key the second map lacks.
    const auto id = static_cast<std::int64_t>(rng() % 130);
    if (rng() % 3 == 0) m1 = L::insert(key(id, space.of(id)), 7, m1);
    if (!isBranch(T::kind(m1)) || !isBranch(T::kind(m2))) continue;
    keyLog().clear();
    const bool want = L::isSubmapOf(m1, m2);
    EXPECT_EQ((I::submapBitmapIndexed<Key, int, int>(below, T::word(m1), T::childArray(m1),
                                                     T::word(m2), T::childArray(m2))),
              want)
        << space.name << " round " << round;
    ++answers[want];
  }
  EXPECT_GT(answers[0], 50);
  EXPECT_GT(answers[1], 50);
}

}  // namespace
