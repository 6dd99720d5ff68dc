// Mapping, filtering, traversal and folds of random maps against std::unordered_map, with hashes
// that collide often and with hashes that differ only in their highest bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "hs/functor.hpp"
#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

using testing_support::HashSpace;
using testing_support::hashSpaceName;
using testing_support::highBitHashes;
using testing_support::spreadHashes;
using testing_support::tinyHashes;
using testing_support::Key;
namespace L = vantrel::lazy;
using Map = vantrel::HashMap<Key, std::int64_t>;
using Model = std::unordered_map<std::int64_t, std::int64_t>;

class TransformModelTest : public ::testing::TestWithParam<HashSpace> {};

template <class V>
void expectMatches(const vantrel::HashMap<Key, V>& m, const std::unordered_map<std::int64_t, V>& model,
                   const std::string& what) {
  const auto v = vantrel::internal::debug::valid(m);
  ASSERT_TRUE(v.isValid()) << what << ": invariant " << static_cast<int>(v.error().tag);
  ASSERT_EQ(L::size(m), static_cast<std::int64_t>(model.size())) << what;
  for (const auto& rec : m) {
    const auto it = model.find(rec.key.id);
    ASSERT_TRUE(it != model.end()) << what << ": unexpected id " << rec.key.id;
    ASSERT_EQ(*rec.value, it->second) << what << ": id " << rec.key.id;
  }
}

TEST_P(TransformModelTest, WholeMapOperationsAgreeWithTheModel) {
  const HashSpace space = GetParam();
  for (std::uint64_t seed = 1; seed <= 4; ++seed) {
    std::mt19937_64 rng(seed);
    auto k = [&](std::int64_t id) { return Key{id, space.of(id), 0}; };
    Map m;
    Model model;
    for (int step = 0; step < 300; ++step) {
      const auto id = static_cast<std::int64_t>(rng() % 90);
      if (rng() % 4 == 0) {
        m = L::erase(k(id), m);
        model.erase(id);
      } else {
        const auto val = static_cast<std::int64_t>(rng() % 1000);
        m = L::insert(k(id), val, m);
        model[id] = val;
      }
      const std::string at = std::string(space.name) + " seed " + std::to_string(seed) + " step " +
                             std::to_string(step);
      const std::int64_t cut = static_cast<std::int64_t>(rng() % 1000);

      Model mapped, kept, partial;
      std::int64_t sum = 0;
      for (const auto& [mk, mv] : model) {
        mapped[mk] = mv * 3 + mk;
        if (mv < cut) kept[mk] = mv;
        if (mk % 3 != 0) partial[mk] = mv - mk;
        sum += mv;
      }
      // mapWithKey over map: the deferred values compose.
      expectMatches(L::mapWithKey([](const Key& key, std::int64_t v) { return v + key.id; },
                                  L::map([](std::int64_t v) { return v * 3; }, m)),
                    mapped, "map " + at);
      expectMatches(L::filter([cut](std::int64_t v) { return v < cut; }, m), kept, "filter " + at);
      expectMatches(L::mapMaybeWithKey(
                        [](const Key& key, std::int64_t v) {
                          return key.id % 3 != 0 ? std::optional<std::int64_t>(v - key.id) : std::nullopt;
                        },
                        m),
                    partial, "mapMaybe " + at);
      const auto traversed = L::traverseWithKey(
          [](const Key& key, std::int64_t v) { return std::optional<std::int64_t>(v * 3 + key.id); }, m);
      ASSERT_TRUE(traversed) << at;
      expectMatches(*traversed, mapped, "traverse " + at);
      const bool hasId = model.count(id) != 0;
      EXPECT_EQ(!L::traverseWithKey(
                     [id](const Key& key, std::int64_t v) {
                       return key.id == id ? std::nullopt : std::optional<std::int64_t>(v);
                     },
                     m)
                     .has_value(),
                hasId)
          << at;

      // Folds: the same sum, and the orders they promise against the trie order of keys.
      std::vector<std::int64_t> trieOrder;
      for (const Key& key : L::keys(m)) trieOrder.push_back(key.id);
      ASSERT_EQ(trieOrder.size(), model.size()) << at;
      std::vector<std::int64_t> leftOrder, rightOrder;
      EXPECT_EQ(L::foldlWithKey_(
                    [&](std::int64_t a, const Key& key, std::int64_t v) {
                      leftOrder.push_back(key.id);
                      return a + v;
                    },
                    std::int64_t{0}, m),
                sum)
          << at;
      EXPECT_EQ(L::foldrWithKey_(
                    [&](const Key& key, std::int64_t v, std::int64_t a) {
                      rightOrder.insert(rightOrder.begin(), key.id);
                      return a + v;
                    },
                    std::int64_t{0}, m),
                sum)
          << at;
      EXPECT_EQ(leftOrder, trieOrder) << at;
      EXPECT_EQ(rightOrder, trieOrder) << at;
      EXPECT_EQ(L::foldr([](std::int64_t v, const hs::Lazy<std::int64_t>& r) { return v + *r; }, std::int64_t{0}, m),
                sum)
          << at;
      EXPECT_EQ(L::foldl([](const hs::Lazy<std::int64_t>& a, std::int64_t v) { return *a + v; }, std::int64_t{0}, m),
                sum)
          << at;
      EXPECT_EQ(L::foldMap([](std::int64_t v) { return hs::Sum<std::int64_t>{v}; }, m).value, sum) << at;
      if (HasFatalFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(HashSpaces, TransformModelTest,
                         ::testing::Values(tinyHashes, highBitHashes),
                         hashSpaceName);

}  // namespace
