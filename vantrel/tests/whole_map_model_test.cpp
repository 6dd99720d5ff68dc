// Union, intersection, difference and the submap tests against std::unordered_map over random
// maps, the validity checker on every result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "vantrel/map/internal.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/show.hpp"

namespace {

using testing_support::HashSpace;
using testing_support::hashSpaceName;
using testing_support::highBitHashes;
using testing_support::spreadHashes;
using testing_support::tinyHashes;
using testing_support::Key;
namespace I = vantrel::internal;
namespace L = vantrel::lazy;
using Map = vantrel::HashMap<Key, std::int64_t>;
using Model = std::unordered_map<std::int64_t, std::int64_t>;

class WholeMapModelTest : public ::testing::TestWithParam<HashSpace> {};

void expectSame(const Map& m, const Model& model, const std::string& what) {
  const auto v = I::debug::valid(m);
  ASSERT_TRUE(v.isValid()) << what << ": invariant " << static_cast<int>(v.error().tag)
                           << " at path length " << v.path().lengthInBits;
  ASSERT_EQ(L::size(m), static_cast<std::int64_t>(model.size())) << what;
  for (const auto& rec : m) {
    const auto it = model.find(rec.key.id);
    ASSERT_TRUE(it != model.end()) << what << ": extra key " << rec.key.id;
    ASSERT_EQ(*rec.value, it->second) << what << ": key " << rec.key.id;
  }
}

template <class F>
Model zipModel(const Model& a, const Model& b, F f) {
  Model out;
  for (const auto& [k, x] : a)
    if (const auto it = b.find(k); it != b.end()) {
      if (const std::optional<std::int64_t> r = f(k, x, it->second)) out[k] = *r;
    }
  return out;
}

TEST_P(WholeMapModelTest, AgreesWithTheModel) {
  const HashSpace space = GetParam();
  for (std::uint64_t seed = 1; seed <= 300; ++seed) {
    std::mt19937_64 rng(seed);
    const auto k = [&](std::int64_t id) { return Key{id, space.of(id), 0}; };
    const auto randomModel = [&] {
      Model m;
      const std::uint64_t n = rng() % 50;
      for (std::uint64_t i = 0; i < n; ++i)
        m[static_cast<std::int64_t>(rng() % 70)] = static_cast<std::int64_t>(rng() % 9);
      return m;
    };
    const auto build = [&](const Model& model) {
      std::vector<std::pair<Key, std::int64_t>> pairs;
      for (const auto& [id, v] : model) pairs.emplace_back(k(id), v);
      std::shuffle(pairs.begin(), pairs.end(), rng);  // collisions in varying order
      return L::fromList(pairs);
    };
    const Model a = randomModel();
    Model b = randomModel();
    if (seed % 3 == 0) b.insert(a.begin(), a.end());  // often a submap
    if (seed % 5 == 0) b = a;
    const Model c = randomModel();
    const Map ma = build(a), mb = build(b), mc = build(c);
    const std::string at = std::string(space.name) + " seed " + std::to_string(seed) + ": ";

    Model u = a;
    u.insert(b.begin(), b.end());  // the left value wins
    expectSame(L::union_(ma, mb), u, at + "union");
    Model uw = u;
    for (const auto& [id, x] : zipModel(a, b, [](std::int64_t, std::int64_t x, std::int64_t y) {
           return std::optional<std::int64_t>(x * 3 - y);
         }))
      uw[id] = x;
    expectSame(L::unionWith([](std::int64_t x, std::int64_t y) { return x * 3 - y; }, ma, mb), uw,
               at + "unionWith");
    Model uk = u;
    for (const auto& [id, x] : zipModel(a, b, [](std::int64_t id, std::int64_t x, std::int64_t y) {
           return std::optional<std::int64_t>(id * 100 + x * 10 + y);
         }))
      uk[id] = x;
    expectSame(L::unionWithKey([](const Key& key, std::int64_t x, std::int64_t y) { return key.id * 100 + x * 10 + y; },
                               ma, mb),
               uk, at + "unionWithKey");
    Model u3 = u;
    u3.insert(c.begin(), c.end());
    expectSame(L::unions({ma, mb, mc}), u3, at + "unions");
    expectSame(I::mconcat({ma, mb, mc}), u3, at + "mconcat");

    const Model inter = zipModel(a, b, [](std::int64_t, std::int64_t x, std::int64_t) {
      return std::optional<std::int64_t>(x);
    });
    const Map mi = L::intersection(ma, mb);
    expectSame(mi, inter, at + "intersection");
    expectSame(L::intersectionWith([](std::int64_t x, std::int64_t y) { return x * 7 + y; }, ma, mb),
               zipModel(a, b, [](std::int64_t, std::int64_t x, std::int64_t y) {
                 return std::optional<std::int64_t>(x * 7 + y);
               }),
               at + "intersectionWith");
    const auto keyed = [](std::int64_t id, std::int64_t x, std::int64_t y) {
      return std::optional<std::int64_t>(id * 1000 + x * 10 + y);
    };
    const auto keyedFn = [](const Key& key, std::int64_t x, std::int64_t y) { return key.id * 1000 + x * 10 + y; };
    expectSame(L::intersectionWithKey(keyedFn, ma, mb), zipModel(a, b, keyed), at + "intersectionWithKey");
    expectSame(I::intersectionWithKeyU(keyedFn, ma, mb), zipModel(a, b, keyed), at + "intersectionWithKey#");

    Model diff = a;
    for (const auto& [id, x] : b) diff.erase(id);
    expectSame(L::difference(ma, mb), diff, at + "difference");
    Model diffWith = diff;
    for (const auto& [id, x] : zipModel(a, b, [](std::int64_t, std::int64_t x, std::int64_t y) {
           return (x + y) % 3 == 0 ? std::nullopt : std::optional<std::int64_t>(x - y);
         }))
      diffWith[id] = x;
    expectSame(L::differenceWith(
                   [](std::int64_t x, std::int64_t y) {
                     return (x + y) % 3 == 0 ? std::nullopt : std::optional<std::int64_t>(x - y);
                   },
                   ma, mb),
               diffWith, at + "differenceWith");

    const auto submap = [](const Model& x, const Model& y, auto rel) {
      for (const auto& [id, v] : x) {
        const auto it = y.find(id);
        if (it == y.end() || !rel(v, it->second)) return false;
      }
      return true;
    };
    const auto eq = [](std::int64_t x, std::int64_t y) { return x == y; };
    const auto le = [](std::int64_t x, std::int64_t y) { return x <= y; };
    EXPECT_EQ(L::isSubmapOf(ma, mb), submap(a, b, eq)) << at << "isSubmapOf";
    EXPECT_EQ(L::isSubmapOf(mb, ma), submap(b, a, eq)) << at << "isSubmapOf, swapped";
    EXPECT_EQ(L::isSubmapOfBy(le, ma, mb), submap(a, b, le)) << at << "isSubmapOfBy";
    EXPECT_TRUE(L::isSubmapOf(mi, ma)) << at;
    EXPECT_TRUE(L::isSubmapOf(ma, L::union_(ma, mb))) << at;
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(HashSpaces, WholeMapModelTest,
                         ::testing::Values(tinyHashes, highBitHashes, spreadHashes),
                         hashSpaceName);

}  // namespace

namespace {

// A key whose == throws when either operand has the chosen id.
struct Touchy {
  int id;
  static inline int throwAt = -1;
  friend bool operator==(const Touchy& a, const Touchy& b) {
    if (a.id == throwAt || b.id == throwAt) throw std::runtime_error("==");
    return a.id == b.id;
  }
};

}  // namespace

template <>
struct hs::Hashable<Touchy> {
  static std::int64_t hash(const Touchy& t) { return t.id % 4; }  // collisions everywhere
  static std::int64_t hashWithSalt(std::int64_t s, const Touchy& t) { return hs::saltedWordHash(s, hash(t)); }
};

namespace {

// Integer keys take the walks over both tries that share unchanged subtrees; maps made from one
// another share most of their nodes.
TEST(WholeMapModel, IntegerKeysAgreeWithTheModel) {
  using IMap = vantrel::HashMap<std::int64_t, std::int64_t>;
  const auto build = [](const Model& model) {
    return L::fromList(std::vector<std::pair<std::int64_t, std::int64_t>>(model.begin(), model.end()));
  };
  const auto expectModel = [&](const IMap& m, const Model& model, const std::string& what) {
    ASSERT_TRUE(I::debug::valid(m).isValid()) << what << hs::show(I::debug::valid(m));
    EXPECT_TRUE(m == build(model)) << what;
  };
  for (std::uint64_t seed = 1; seed <= 300; ++seed) {
    std::mt19937_64 rng(seed);
    // Even seeds: keys that share their low chunks, so paths run deep before they part.
    const auto key = [&](std::uint64_t id) {
      if (seed % 2 == 1) return static_cast<std::int64_t>(id * 0x9E3779B97F4A7C15ULL);
      return static_cast<std::int64_t>((id % 3) | (id / 3 % 3) << 35 | (id / 9) << 55);
    };
    const auto randomModel = [&] {
      Model m;
      const std::uint64_t n = rng() % 80;
      for (std::uint64_t i = 0; i < n; ++i) m[key(rng() % 100)] = static_cast<std::int64_t>(rng() % 9);
      return m;
    };
    Model a = randomModel(), b = randomModel();
    const IMap ma = build(a);
    IMap mb = build(b);
    if (seed % 3 == 0) {  // b made from a: a few keys in, a few out
      b = a;
      mb = ma;
      for (int i = 0; i < 3; ++i) {
        const std::int64_t in = key(rng() % 100), out = key(rng() % 100);
        b[in] = 5;
        mb = L::insert(in, std::int64_t{5}, mb);
        b.erase(out);
        mb = L::erase(out, mb);
      }
    }
    const std::string at = "seed " + std::to_string(seed) + ": ";
    expectModel(ma, a, at + "first map");
    expectModel(mb, b, at + "second map");
    Model diff = a, inter, uni = a;
    for (const auto& [k, v] : b) {
      diff.erase(k);
      if (a.count(k)) inter[k] = a[k];
      uni.insert({k, v});
    }
    expectModel(L::difference(ma, mb), diff, at + "difference");
    expectModel(L::difference(mb, ma), [&] {
      Model d = b;
      for (const auto& kv : a) d.erase(kv.first);
      return d;
    }(), at + "difference, swapped");
    expectModel(L::intersection(ma, mb), inter, at + "intersection");
    expectModel(L::union_(ma, mb), uni, at + "union");
    EXPECT_EQ(I::equalKeys(ma, mb), L::keys(ma) == L::keys(mb)) << at;
    const IMap self = L::difference(ma, IMap());
    EXPECT_TRUE(self == ma && (ma.empty() || !I::ptrEq(self, ma))) << at << "a new map";
    EXPECT_TRUE(L::difference(ma, ma).empty()) << at;
  }
  // Not-a-number keys never equal each other, so two of one bit pattern share a collision.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  using DMap = vantrel::HashMap<double, int>;
  const DMap d = L::fromList<double, int>({{nan, 1}, {1.5, 2}, {nan, 3}, {2.5, 4}});
  const DMap kept = L::difference(d, L::fromList<double, int>({{nan, 0}, {1.5, 0}}));
  ASSERT_TRUE(I::debug::valid(kept).isValid());
  std::vector<int> values;
  for (const auto& r : kept) values.push_back(*r.value);
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<int>{1, 3, 4}));
  // A map met on both sides is still compared key by key: its not-a-number keys match nothing.
  EXPECT_EQ(L::size(L::difference(d, d)), 2);
  EXPECT_EQ(L::size(L::intersection(d, d)), 2);
  EXPECT_EQ(L::size(L::union_(d, d)), 6);
}

TEST(WholeMapFailure, ThrowingEqualityLeavesTheInputsUntouched) {
  std::vector<std::pair<Touchy, int>> left, right;
  for (int i = 0; i < 40; ++i) left.push_back({Touchy{i}, i});
  for (int i = 20; i < 60; ++i) right.push_back({Touchy{i}, -i});
  const auto a = L::fromList(left), b = L::fromList(right);
  const auto part = L::fromList(std::vector<std::pair<Touchy, int>>(left.begin() + 30, left.end()));
  Touchy::throwAt = 33;
  EXPECT_THROW((void)L::union_(a, b), std::runtime_error);
  EXPECT_THROW((void)L::unionWith([](int x, int) { return x; }, a, b), std::runtime_error);
  EXPECT_THROW((void)L::intersection(a, b), std::runtime_error);
  EXPECT_THROW(I::intersectionWithKeyU([](const Touchy&, int x, int) { return x; }, a, b), std::runtime_error);
  EXPECT_THROW((void)L::difference(a, b), std::runtime_error);
  EXPECT_THROW((void)L::isSubmapOf(part, a), std::runtime_error);
  Touchy::throwAt = -1;
  for (const auto* m : {&a, &b}) {
    EXPECT_EQ(L::size(*m), 40);
    EXPECT_TRUE(I::debug::valid(*m).isValid());
  }
  EXPECT_EQ(L::size(L::union_(a, b)), 60);
}

}  // namespace
