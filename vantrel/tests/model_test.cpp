// Long random operation sequences against std::unordered_map, the validity checker after every
// step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <list>
#include <optional>
#include <random>
#include <string>
#include <type_traits>
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

// fromList of keys whose hash and == are the language's builds the trie from all the pairs at
// once; it must give the very map the moved inserts one by one give: the same pairs in the same
// trie and collision order, each key the one of its last pair (the long double zeros hash alike
// and are ==, NaNs of one bit pattern collide and are never ==).
template <class K>
void expectFromListAsInserts(const std::vector<std::pair<K, std::int64_t>>& pairs, const char* what) {
  vantrel::HashMap<K, std::int64_t> byInserts;
  for (const auto& [k, v] : pairs) byInserts = L::insert(k, v, std::move(byInserts));
  // Pairs that can be reached by position, and pairs that can only be walked.
  for (const auto& m : {L::fromList(pairs), L::fromList(std::list(pairs.begin(), pairs.end()))}) {
    const auto valid = vantrel::internal::debug::valid(m);
    ASSERT_TRUE(valid.isValid()) << what << ": invariant " << static_cast<int>(valid.error().tag);
    const auto got = L::toList(m), want = L::toList(byInserts);
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) {
      const K &a = got[i].first, &b = want[i].first;
      if constexpr (std::is_floating_point_v<K>)
        ASSERT_TRUE(std::signbit(a) == std::signbit(b) && (a == b || (std::isnan(a) && std::isnan(b))))
            << what << " pair " << i;
      else
        ASSERT_EQ(a, b) << what << " pair " << i;
      ASSERT_EQ(*got[i].second, *want[i].second) << what << " pair " << i;
    }
  }
}

TEST(FromListOfPlainKeys, GivesTheMapOfTheInsertsOneByOne) {
  std::mt19937_64 rng(11);
  for (const std::size_t n : {0, 1, 2, 3, 40, 3000}) {
    // Few distinct keys (many repeats), keys that share their low chunks (long one-child paths,
    // down to the last, 4-bit level), keys at random.
    std::vector<std::pair<std::int64_t, std::int64_t>> repeats, deep, spread;
    for (std::size_t i = 0; i < n; ++i) {
      const auto v = static_cast<std::int64_t>(i);
      repeats.emplace_back(static_cast<std::int64_t>(rng() % 50), v);
      deep.emplace_back(static_cast<std::int64_t>((rng() % 64) << 58 | (rng() % 4) << 30), v);
      spread.emplace_back(static_cast<std::int64_t>(rng()), v);
    }
    expectFromListAsInserts(repeats, "repeated int64");
    expectFromListAsInserts(deep, "int64 of shared chunks");
    expectFromListAsInserts(spread, "random int64");
    std::vector<std::pair<long double, std::int64_t>> zeros;
    std::vector<std::pair<double, std::int64_t>> nans;
    std::vector<std::pair<std::string, std::int64_t>> strings;
    for (std::size_t i = 0; i < n; ++i) {
      const auto v = static_cast<std::int64_t>(i);
      const std::uint64_t r = rng();
      zeros.emplace_back(r % 3 == 0 ? 0.0L : r % 3 == 1 ? -0.0L : static_cast<long double>(r % 20), v);
      nans.emplace_back(r % 4 == 0 ? std::numeric_limits<double>::quiet_NaN() : static_cast<double>(r % 30), v);
      strings.emplace_back(std::to_string(r % 500) + std::string(r % 3 * 10, 'x'), v);
    }
    expectFromListAsInserts(zeros, "long double zeros");
    expectFromListAsInserts(nans, "double NaNs");
    expectFromListAsInserts(strings, "strings");
  }
}

}  // namespace
