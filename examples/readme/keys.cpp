// The README's example of key types of one's own: the lines between the markers are the README's
// snippet (the test readme_snippets keeps the two alike; examples/readme/keys.out is what it
// prints).
// readme-begin
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iostream>
#include <string>

#include "hs/hashable.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/set.hpp"

// A type that already works as a std::unordered_map key (std::hash and ==) works as it is; the map
// hashes it as hs::saltedWordHash(salt, std::hash<Point>{}(p)).
struct Point {
  int x, y;
  bool operator==(const Point&) const = default;
};
template <>
struct std::hash<Point> {
  std::size_t operator()(const Point& p) const noexcept {
    return std::hash<int>{}(p.x) * 31 + std::hash<int>{}(p.y);
  }
};

// Or give it the libraries' own hash: hs::Hashable with hashWithSalt, which threads the salt
// through the fields' hashes. Where a type has both, hs::Hashable is used.
struct Release {
  std::string name;
  int major, minor;
  bool operator==(const Release&) const = default;
};
template <>
struct hs::Hashable<Release> {
  static std::int64_t hashWithSalt(std::int64_t salt, const Release& r) {
    return hs::hashWithSalt(hs::hashWithSalt(hs::hashWithSalt(salt, r.name), r.major), r.minor);
  }
};

int main() {
  const auto board = vantrel::lazy::insert(Point{1, 2}, std::string("knight"),
                                           vantrel::HashMap<Point, std::string>{});
  std::cout << "at (1, 2): " << *vantrel::lazy::at(board, Point{1, 2}) << "\n";

  const vantrel::HashSet<Release> shipped{{"core", 1, 0}, {"core", 1, 1}};
  std::cout << std::boolalpha
            << "core 1.1 shipped: " << vantrel::set::member(Release{"core", 1, 1}, shipped)
            << ", core 2.0: " << vantrel::set::member(Release{"core", 2, 0}, shipped) << "\n";
}
// readme-end
