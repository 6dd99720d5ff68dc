// Long random operation sequences through the value-strict interface against std::unordered_map,
// single-key operations and whole-map ones against a second random map: the validity checker
// after every step, and every stored value evaluated, although every value handed in is deferred.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

#include "hs/functor.hpp"
#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/strict.hpp"

namespace {

using testing_support::HashSpace;
using testing_support::hashSpaceName;
using testing_support::highBitHashes;
using testing_support::spreadHashes;
using testing_support::tinyHashes;
using testing_support::Key;
namespace S = vantrel::strict;
using Map = vantrel::HashMap<Key, std::int64_t>;
using Model = std::unordered_map<std::int64_t, std::int64_t>;
using Cell = hs::Lazy<std::int64_t>;

class StrictModelTest : public ::testing::TestWithParam<HashSpace> {};

void expectSame(const Map& m, const Model& model, std::uint64_t seed, int step) {
  const auto v = vantrel::internal::debug::valid(m);
  ASSERT_TRUE(v.isValid()) << "seed " << seed << " step " << step << ": invariant "
                           << static_cast<int>(v.error().tag) << " at path length "
                           << v.path().lengthInBits;
  ASSERT_EQ(S::size(m), static_cast<std::int64_t>(model.size())) << "seed " << seed << " step " << step;
  std::int64_t visited = 0;
  for (const auto& rec : m) {
    ++visited;
    ASSERT_TRUE(rec.value.evaluated()) << "seed " << seed << " step " << step << ": key " << rec.key;
    const auto it = model.find(rec.key.id);
    ASSERT_TRUE(it != model.end()) << "seed " << seed << " step " << step;
    ASSERT_EQ(*rec.value, it->second) << "seed " << seed << " step " << step;
  }
  ASSERT_EQ(visited, static_cast<std::int64_t>(model.size()));
}

Cell later(std::int64_t x) {
  return Cell::defer([x] { return x; });
}

TEST_P(StrictModelTest, RandomOperationsAgreeWithTheModel) {
  const HashSpace space = GetParam();
  for (std::uint64_t seed = 1; seed <= 6; ++seed) {
    std::mt19937_64 rng(seed);
    auto k = [&](std::int64_t id) { return Key{id, space.of(id), 0}; };
    Map m;
    Model model;
    // A second map of up to 30 keys of the same space, every value handed in deferred.
    auto otherMap = [&](Model& om) {
      std::vector<std::pair<Key, Cell>> pairs;
      const std::uint64_t n = rng() % 31;
      for (std::uint64_t i = 0; i < n; ++i) {
        const std::int64_t oid = static_cast<std::int64_t>(rng() % 60);
        const std::int64_t ov = static_cast<std::int64_t>(rng() % 1000);
        pairs.push_back({k(oid), later(ov)});
        om[oid] = ov;
      }
      return S::fromList(pairs);
    };
    for (int step = 0; step < 1500; ++step) {
      const std::int64_t id = static_cast<std::int64_t>(rng() % 60);
      const std::int64_t val = static_cast<std::int64_t>(rng() % 1000);
      switch (rng() % 18) {  // NOLINT
        case 0:
          m = S::insert(k(id), later(val), m);
          model[id] = val;
          break;
        case 1:
          m = S::insert(k(id), later(val), std::move(m));
          model[id] = val;
          break;
        case 2:
          m = S::insertWith([](std::int64_t n, std::int64_t o) { return (n - o) % 5000; }, k(id),
                            later(val), m);
          model[id] = model.count(id) ? (val - model[id]) % 5000 : val;
          break;
        case 3:
          m = val % 2 ? S::erase(k(id), m) : S::erase(k(id), std::move(m));
          model.erase(id);
          break;
        case 4:
          m = S::adjust(hs::onCells([](const Cell& x) {
                          return Cell::apply([](std::int64_t y) { return (y * 3 + 1) % 100000; }, x);
                        }),
                        k(id), m);
          if (model.count(id)) model[id] = (model[id] * 3 + 1) % 100000;
          break;
        case 5: {
          const bool keep = val % 3 == 0;
          m = S::alter(hs::onCells([&](std::optional<Cell> old) -> std::optional<Cell> {
                         if (keep) return old;
                         if (old) return std::nullopt;
                         return later(val);
                       }),
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
          m = S::update(
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
          const auto r = S::alterF(
              hs::onCells([&](const hs::Lazy<std::optional<Cell>>& old) {
                return hs::Identity<std::optional<Cell>>{old->has_value() ? std::nullopt
                                                                          : std::optional(later(val))};
              }),
              k(id), m);
          m = r.value;
          if (model.count(id))
            model.erase(id);
          else
            model[id] = val;
          break;
        }
        case 8: {
          std::vector<std::pair<Key, Cell>> pairs;
          for (const auto& [mk, mv] : model) pairs.push_back({k(mk), later(mv)});
          std::shuffle(pairs.begin(), pairs.end(), rng);
          if (!pairs.empty()) pairs.push_back({pairs.front().first, later(val)});  // the later wins
          m = S::fromList(pairs);
          if (!pairs.empty()) model[pairs.front().first.id] = val;
          break;
        }
        case 9: {
          // Each present key twice: the second value combined with the first.
          std::vector<std::pair<Key, Cell>> pairs;
          for (const auto& [mk, mv] : model) pairs.push_back({k(mk), later(mv)});
          std::shuffle(pairs.begin(), pairs.end(), rng);
          const std::size_t n = pairs.size();
          for (std::size_t i = 0; i < n; i += 2) pairs.push_back({pairs[i].first, later(val)});
          m = S::fromListWith([](std::int64_t a, std::int64_t b) { return (a - b) % 5000; }, pairs);
          for (std::size_t i = 0; i < n; i += 2) {
            std::int64_t& x = model[pairs[i].first.id];
            x = (val - x) % 5000;
          }
          break;
        }
        case 10:
          if (val % 2 == 0) {
            m = S::map(hs::onCells([](const Cell& x) {
                         return Cell::apply([](std::int64_t y) { return (y + 7) % 5000; }, x);
                       }),
                       m);
            for (auto& [mk, mv] : model) mv = (mv + 7) % 5000;
          } else {
            m = S::mapMaybeWithKey(
                [](const Key& key, std::int64_t x) -> std::optional<std::int64_t> {
                  if ((key.id + x) % 7 == 0) return std::nullopt;
                  return x + 1;
                },
                m);
            for (auto it = model.begin(); it != model.end();) {
              if ((it->first + it->second) % 7 == 0) {
                it = model.erase(it);
              } else {
                ++it->second;
                ++it;
              }
            }
          }
          break;
        case 11: {
          const auto r = S::traverseWithKey(
              hs::onCells([](const Key&, const Cell& x) {
                return std::optional<Cell>(Cell::apply([](std::int64_t y) { return y / 2; }, x));
              }),
              m);
          ASSERT_TRUE(r.has_value());
          m = *r;
          for (auto& [mk, mv] : model) mv /= 2;
          break;
        }
        case 12: {
          Model om;
          const Map o = otherMap(om);
          auto f = [](std::int64_t a, std::int64_t b) { return (a * 3 - b) % 5000; };
          const bool leftFirst = val % 2 == 0;
          m = leftFirst ? S::unionWith(f, m, o) : S::unionWith(f, o, m);
          for (const auto& [ok, ov] : om) {
            const auto it = model.find(ok);
            if (it == model.end())
              model[ok] = ov;
            else
              it->second = leftFirst ? f(it->second, ov) : f(ov, it->second);
          }
          break;
        }
        case 13: {
          Model om;
          const Map o = otherMap(om);
          if (val % 2 == 0) {
            // A deferred combination, evaluated by the union.
            auto f = [](const Key& key, const Cell& a, const Cell& b) {
              return Cell::apply(
                  [id = key.id](std::int64_t x, std::int64_t y) { return (x + 2 * y + id) % 5000; },
                  a, b);
            };
            m = S::unionWithKey(hs::onCells(f), m, o);
            for (const auto& [ok, ov] : om) {
              const auto it = model.find(ok);
              if (it == model.end())
                model[ok] = ov;
              else
                it->second = (it->second + 2 * ov + ok) % 5000;
            }
          } else {
            m = S::union_(o, m);
            for (const auto& [ok, ov] : om) model[ok] = ov;
          }
          break;
        }
        case 14: {
          Model om;
          const Map o = otherMap(om);
          m = S::intersectionWith([](std::int64_t a, std::int64_t b) { return (a - b) % 5000; }, m,
                                  o);
          Model next;
          for (const auto& [mk, mv] : model)
            if (const auto it = om.find(mk); it != om.end()) next[mk] = (mv - it->second) % 5000;
          model = std::move(next);
          break;
        }
        case 15: {
          Model om;
          const Map o = otherMap(om);
          const bool combine = val % 2 == 0;
          if (combine)
            m = S::intersectionWithKey(
                hs::onCells([](const Key& key, const Cell& a, const Cell& b) {
                  return Cell::apply(
                      [id = key.id](std::int64_t x, std::int64_t y) { return (x * y + id) % 5000; },
                      a, b);
                }),
                o, m);
          else
            m = S::intersection(o, m);
          Model next;
          for (const auto& [ok, ov] : om)
            if (const auto it = model.find(ok); it != model.end())
              next[ok] = combine ? (ov * it->second + ok) % 5000 : ov;
          model = std::move(next);
          break;
        }
        case 16: {
          Model om;
          const Map o = otherMap(om);
          m = S::differenceWith(
              [](std::int64_t a, std::int64_t b) -> std::optional<std::int64_t> {
                if ((a + b) % 3 == 0) return std::nullopt;
                return (a + b) % 5000;
              },
              m, o);
          for (auto it = model.begin(); it != model.end();) {
            const auto o2 = om.find(it->first);
            if (o2 == om.end()) {
              ++it;
            } else if ((it->second + o2->second) % 3 == 0) {
              it = model.erase(it);
            } else {
              it->second = (it->second + o2->second) % 5000;
              ++it;
            }
          }
          break;
        }
        case 17: {
          Model om;
          const Map o = otherMap(om);
          if (val % 2 == 0) {
            m = S::difference(m, o);
            for (const auto& [ok, ov] : om) model.erase(ok);
          } else {
            m = S::differenceWith(hs::onCells([](const Cell& a, const Cell&) {
                                    return std::optional<Cell>(
                                        Cell::apply([](std::int64_t x) { return -x; }, a));
                                  }),
                                  m, o);
            for (auto& [mk, mv] : model)
              if (om.count(mk)) mv = -mv;
          }
          break;
        }
      }
      expectSame(m, model, seed, step);
      if (HasFatalFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(HashSpaces, StrictModelTest,
                         ::testing::Values(tinyHashes, highBitHashes, spreadHashes),
                         hashSpaceName);

}  // namespace
