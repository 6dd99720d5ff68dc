// Long random sequences of set operations against std::unordered_set, the validity checker on the
// underlying map after every step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <unordered_set>
#include <vector>

#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/set.hpp"

namespace {

using testing_support::HashSpace;
using testing_support::Key;
namespace I = vantrel::internal;
namespace S = vantrel::set;
using KSet = vantrel::HashSet<Key>;
using Model = std::unordered_set<std::int64_t>;

// Whether the element of this id sits in a `Collision` node.
bool inCollision(const KSet& s, std::int64_t id) {
  for (I::Ref<Key, hs::Unit> t = I::Ref<Key, hs::Unit>::of(s.asMap());;) {
    switch (t.kind()) {
      case I::Kind::Collision:
        for (const auto& e : I::entriesOf(*t.node))
          if (e.key.id == id) return true;
        return false;
      case I::Kind::BitmapIndexed:
      case I::Kind::Full: {
        // Follow the child whose subtree holds the id.
        std::optional<I::Ref<Key, hs::Unit>> next;
        I::forEachChild(I::branchOf(*t.node), [&](std::uint64_t, const I::Ref<Key, hs::Unit>& c) {
          for (const Key& k : KSet(I::leafNodeOf(c)))
            if (k.id == id) next = c;
          return true;
        });
        if (!next) return false;
        t = *next;
        break;
      }
      default:
        return false;
    }
  }
}

class SetModelTest : public ::testing::TestWithParam<HashSpace> {};

TEST_P(SetModelTest, RandomOperationsAgreeWithTheModel) {
  const HashSpace space = GetParam();
  for (std::uint64_t seed = 1; seed <= 5; ++seed) {
    std::mt19937_64 rng(seed);
    auto k = [&](std::int64_t id) { return Key{id, space.of(id), 0}; };
    auto randomSet = [&](Model& model) {
      std::vector<Key> xs;
      const int n = static_cast<int>(rng() % 25);
      for (int i = 0; i < n; ++i) {
        const std::int64_t id = static_cast<std::int64_t>(rng() % 60);
        xs.push_back(k(id));
        model.insert(id);
      }
      return S::fromList(xs);
    };
    KSet s;
    Model model;
    // A second stream decides which steps give the set up (so that nothing else holds it and the
    // moved operations change it in place) and when to keep a snapshot, whose nodes the later
    // in-place steps must leave alone.
    std::mt19937_64 side(seed + 100);
    KSet snapshot;
    Model snapshotModel;
    for (int step = 0; step < 600; ++step) {
      const std::int64_t id = static_cast<std::int64_t>(rng() % 60);
      const bool moved = side() % 2 == 0;
      if (side() % 25 == 0) {
        ASSERT_EQ(S::size(snapshot), static_cast<std::int64_t>(snapshotModel.size()));
        for (std::int64_t x : snapshotModel)
          ASSERT_TRUE(S::member(k(x), snapshot)) << "seed " << seed;
        snapshot = s;
        snapshotModel = model;
      }
      const KSet before = moved ? KSet() : s;
      Model other;
      const KSet t = randomSet(other);
      bool subset = true;
      switch (rng() % 9) {
        case 0:
        case 1: {
          const bool present = model.count(id) > 0;
          const bool held = present && inCollision(s, id);
          s = moved ? S::insert(k(id), std::move(s)) : S::insert(k(id), s);
          model.insert(id);
          if (present && !moved) {
            ASSERT_EQ(I::ptrEq(s.asMap(), before.asMap()), !held)
                << "seed " << seed << " step " << step;
          }
          break;
        }
        case 2: {
          const bool present = model.count(id) > 0;
          s = moved ? S::erase(k(id), std::move(s)) : S::erase(k(id), s);
          model.erase(id);
          if (!present && !moved) {
            ASSERT_TRUE(I::ptrEq(s.asMap(), before.asMap())) << "seed " << seed;
          }
          break;
        }
        case 3:
          s = (rng() % 2) ? S::union_(s, t) : S::union_(t, s);
          model.insert(other.begin(), other.end());
          break;
        case 4: {
          const bool left = rng() % 2;
          s = left ? S::intersection(s, t) : S::intersection(t, s);
          std::erase_if(model, [&](std::int64_t x) { return other.count(x) == 0; });
          break;
        }
        case 5:
          if (rng() % 2) {
            s = S::difference(s, t);
            std::erase_if(model, [&](std::int64_t x) { return other.count(x) > 0; });
          } else {
            s = S::difference(t, s);
            Model d;
            for (std::int64_t x : other)
              if (model.count(x) == 0) d.insert(x);
            model = d;
          }
          break;
        case 6: {
          const std::int64_t m = 2 + id % 4;
          s = S::filter([m](const Key& x) { return x.id % m != 0; }, s);
          std::erase_if(model, [m](std::int64_t x) { return x % m == 0; });
          break;
        }
        case 7: {
          s = S::map([&](const Key& x) { return k((x.id * 7 + 3) % 60); }, s);
          Model mapped;
          for (std::int64_t x : model) mapped.insert((x * 7 + 3) % 60);
          model = mapped;
          break;
        }
        case 8:
          s = S::unions({t, s, S::singleton(k(id))});
          model.insert(other.begin(), other.end());
          model.insert(id);
          break;
      }
      for (std::int64_t x : model) subset = subset && other.count(x) > 0;
      const auto v = I::debug::valid(s.asMap());
      ASSERT_TRUE(v.isValid()) << "seed " << seed << " step " << step << ": invariant "
                               << static_cast<int>(v.error().tag);
      ASSERT_EQ(S::size(s), static_cast<std::int64_t>(model.size()))
          << "seed " << seed << " step " << step;
      std::vector<std::int64_t> held;
      for (const auto& r : s.asMap()) {
        ASSERT_TRUE(hs::ptrEq(r.value, hs::unitCell())) << "seed " << seed << " step " << step;
        held.push_back(r.key.id);
      }
      std::vector<std::int64_t> want(model.begin(), model.end());
      std::sort(held.begin(), held.end());
      std::sort(want.begin(), want.end());
      ASSERT_EQ(held, want) << "seed " << seed << " step " << step;
      ASSERT_EQ(S::isSubsetOf(s, t), subset) << "seed " << seed << " step " << step;
      ASSERT_TRUE(S::isSubsetOf(S::intersection(s, t), s));
      // The same elements in another insertion order: equal, equal hash.
      std::vector<Key> shuffled;
      for (std::int64_t x : want) shuffled.push_back(k(x));
      std::shuffle(shuffled.begin(), shuffled.end(), rng);
      const KSet rebuilt = S::fromList(shuffled);
      ASSERT_TRUE(rebuilt == s) << "seed " << seed << " step " << step;
      ASSERT_EQ(S::hash(rebuilt), S::hash(s)) << "seed " << seed << " step " << step;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    HashSpaces, SetModelTest,
    ::testing::Values(
        HashSpace{"identity", [](std::int64_t id) { return static_cast<std::uint64_t>(id); }},
        HashSpace{"sevenHashes",
                  [](std::int64_t id) { return static_cast<std::uint64_t>(id % 7); }},
        HashSpace{"highBits",
                  [](std::int64_t id) { return static_cast<std::uint64_t>(id % 13) << 55 | 5; }},
        HashSpace{"mixed",
                  [](std::int64_t id) {
                    return static_cast<std::uint64_t>(id) * 0x9E3779B97F4A7C15ull;
                  }}),
    testing_support::hashSpaceName);

}  // namespace
