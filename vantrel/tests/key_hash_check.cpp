// Compiled, not run: a key type of one's own in a map and a set. With STD_HASH defined it has a
// std::hash and compiles clean; without, its first error must be the one message naming the two
// ways to give it a hash.
#include <vector>

#include "vantrel/map/lazy.hpp"
#include "vantrel/set.hpp"

struct Point {
  int x, y;
  bool operator==(const Point&) const = default;
};

#ifdef STD_HASH
template <>
struct std::hash<Point> {
  std::size_t operator()(const Point& p) const noexcept {
    return static_cast<std::size_t>(p.x) * 31 + static_cast<std::size_t>(p.y);
  }
};
#endif

int main() {
  const auto m = vantrel::lazy::insert(Point{1, 2}, 3, vantrel::HashMap<Point, int>{});
  const auto s = vantrel::set::fromList(std::vector<Point>{{1, 2}, {2, 1}});
  return static_cast<int>(vantrel::lazy::size(m) + vantrel::set::size(s)) - 3;
}
