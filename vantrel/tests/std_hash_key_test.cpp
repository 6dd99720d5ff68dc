// Keys of a type with std::hash and == but no hs::Hashable: a map and a set of them against
// std::map / std::set models over random operations, the validity checker after every step.
#include <gtest/gtest.h>

#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "testing/map_checks.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/set.hpp"

namespace {

struct Point {
  int x = 0, y = 0;
  auto operator<=>(const Point&) const = default;
};

}  // namespace

// A weak hash on purpose: the points of one anti-diagonal collide, so collision nodes are common.
template <>
struct std::hash<Point> {
  std::size_t operator()(const Point& p) const noexcept { return static_cast<std::size_t>(p.x + p.y); }
};

namespace {

namespace L = vantrel::lazy;
namespace S = vantrel::set;

static_assert(hs::HashableType<Point>);

TEST(StdHashKey, TheTrieReadsTheSaltedMixOfStdHash) {
  EXPECT_EQ(vantrel::internal::hash(Point{3, 4}),
            static_cast<vantrel::internal::KeyHash>(hs::saltedWordHash(hs::defaultSalt, 7)));
}

TEST(StdHashKey, MapAgreesWithAModel) {
  std::mt19937_64 rng(11);
  auto point = [&] { return Point{static_cast<int>(rng() % 6), static_cast<int>(rng() % 6)}; };
  vantrel::HashMap<Point, int> m;
  std::map<Point, int> model;
  for (int step = 0; step < 1500; ++step) {
    const Point p = point();
    const int v = static_cast<int>(rng() % 100);
    switch (rng() % 3) {
      case 0:
        m = L::insert(p, v, m);
        model[p] = v;
        break;
      case 1:
        m = L::erase(p, std::move(m));
        model.erase(p);
        break;
      default: {
        const auto found = L::lookup(p, m);
        ASSERT_EQ(found.has_value(), model.count(p) == 1) << "step " << step;
        if (found) {
          ASSERT_EQ(**found, model[p]) << "step " << step;
        }
      }
    }
    testing_support::expectValid(m, "step " + std::to_string(step));
    ASSERT_EQ(L::size(m), static_cast<std::int64_t>(model.size())) << "step " << step;
  }
  for (const auto& [p, v] : model) EXPECT_EQ(*L::at(m, p), v);
}

TEST(StdHashKey, SetAgreesWithAModel) {
  std::mt19937_64 rng(12);
  auto point = [&] { return Point{static_cast<int>(rng() % 6), static_cast<int>(rng() % 6)}; };
  vantrel::HashSet<Point> s;
  std::set<Point> model;
  for (int step = 0; step < 1500; ++step) {
    const Point p = point();
    switch (rng() % 3) {
      case 0:
        s = S::insert(p, s);
        model.insert(p);
        break;
      case 1:
        s = S::erase(p, s);
        model.erase(p);
        break;
      default:
        ASSERT_EQ(S::member(p, s), model.count(p) == 1) << "step " << step;
    }
    testing_support::expectValid(s.asMap(), "step " + std::to_string(step));
    ASSERT_EQ(S::size(s), static_cast<std::int64_t>(model.size())) << "step " << step;
  }
  EXPECT_EQ(s, S::fromList(std::vector<Point>(model.begin(), model.end())));
}

}  // namespace
