// Long random operation sequences against std::unordered_map, the validity checker after every
// step.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "hs/functor.hpp"
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

class ModelTest : public ::testing::TestWithParam<HashSpace> {};

void expectSame(const Map& m, const Model& model, std::uint64_t seed, int step) {
  const auto v = vantrel::internal::debug::valid(m);
  ASSERT_TRUE(v.isValid()) << "seed " << seed << " step " << step << ": invariant "
                           << static_cast<int>(v.error().tag) << " at path length "
                           << v.path().lengthInBits;
  ASSERT_EQ(L::size(m), static_cast<std::int64_t>(model.size())) << "seed " << seed << " step " << step;
  std::int64_t visited = 0;
  for (const auto& rec : m) {
    ++visited;
    const auto it = model.find(rec.key.id);
    ASSERT_TRUE(it != model.end()) << "seed " << seed << " step " << step;
    ASSERT_EQ(*rec.value, it->second) << "seed " << seed << " step " << step;
  }
  ASSERT_EQ(visited, static_cast<std::int64_t>(model.size()));
}

TEST_P(ModelTest, RandomOperationsAgreeWithTheModel) {
  const HashSpace space = GetParam();
  for (std::uint64_t seed = 1; seed <= 6; ++seed) {
    std::mt19937_64 rng(seed);
    auto k = [&](std::int64_t id) { return Key{id, space.of(id), 0}; };
    Map m;
    Model model;
    // A snapshot taken now and then shares nodes with m; the in-place steps of the moved
    // operations must leave them alone.
    Map snapshot;
    Model snapshotModel;
    for (int step = 0; step < 1500; ++step) {
      const std::int64_t id = static_cast<std::int64_t>(rng() % 60);
      const std::int64_t val = static_cast<std::int64_t>(rng() % 1000);
      if (step % 37 == 0) {
        expectSame(snapshot, snapshotModel, seed, step);
        if (HasFatalFailure()) return;
        snapshot = m;
        snapshotModel = model;
      }
      switch (rng() % 8) {  // NOLINT
        case 0:
          m = L::insert(k(id), val, m);
          model[id] = val;
          break;
        case 1:
          m = L::insert(k(id), val, std::move(m));  // in place where unshared
          model[id] = val;
          break;
        case 2:
          m = L::insertWith([](std::int64_t n, std::int64_t o) { return n - o; }, k(id), val, m);
          model[id] = model.count(id) ? val - model[id] : val;
          break;
        case 3:
          m = val % 2 ? L::erase(k(id), m) : L::erase(k(id), std::move(m));
          model.erase(id);
          break;
        case 4:
          m = L::adjust([](std::int64_t x) { return x * 3 + 1; }, k(id), m);
          if (model.count(id)) model[id] = model[id] * 3 + 1;
          break;
        case 5: {
          const bool keep = val % 3 == 0;
          m = L::alter(
              [&](std::optional<std::int64_t> old) -> std::optional<std::int64_t> {
                if (keep) return old;
                if (old) return std::nullopt;
                return val;
              },
              k(id), m);
          if (!keep) {
            if (model.count(id))
              model.erase(id);
            else
              model[id] = val;
          }
          break;
        }
        case 6:
          m = L::update(
              [&](std::int64_t old) -> std::optional<std::int64_t> {
                if (old % 2 == 0) return std::nullopt;
                return old + val;
              },
              k(id), m);
          if (model.count(id)) {
            if (model[id] % 2 == 0)
              model.erase(id);
            else
              model[id] += val;
          }
          break;
        case 7: {
          if (val % 2 == 0) {
            const auto r = L::alterF(
                [&](std::optional<std::int64_t> old) {
                  return hs::Identity<std::optional<std::int64_t>>{old ? std::nullopt
                                                                       : std::optional(val)};
                },
                k(id), m);
            m = r.value;
            if (model.count(id))
              model.erase(id);
            else
              model[id] = val;
            break;
          }
          std::vector<std::pair<Key, std::int64_t>> pairs;
          for (const auto& [mk, mv] : model) pairs.push_back({k(mk), mv});
          std::shuffle(pairs.begin(), pairs.end(), rng);
          if (!pairs.empty()) pairs.push_back(pairs.front());  // a duplicate: the later one wins
          m = L::fromList(pairs);
          break;
        }
      }
      expectSame(m, model, seed, step);
      if (HasFatalFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(HashSpaces, ModelTest,
                         ::testing::Values(tinyHashes, highBitHashes, spreadHashes),
                         hashSpaceName);

}  // namespace
