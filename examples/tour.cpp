// A short tour of the libraries.
#include <cstdint>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "ambrel/package.hpp"
#include "hs/show.hpp"
#include "morvet/package.hpp"
#include "quendle/package.hpp"
#include "sarkel/package.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

void mapTour() {
  namespace L = vantrel::lazy;
  std::cout << "== vantrel: persistent hash maps\n";
  const vantrel::HashMap<std::string, std::int64_t> empty;
  const auto one = L::insert("one", 1, empty);
  const auto two = L::insert("two", 2, one);
  std::cout << "size of one: " << L::size(one) << ", size of two: " << L::size(two) << "\n";
  std::cout << "two has \"one\": " << *L::at(two, "one") << "\n";

  // Values are stored deferred: the combination runs only when the value is demanded.
  const auto counted = L::fromListWith([](std::int64_t a, std::int64_t b) { return a + b; },
                                       std::vector<std::pair<std::string, std::int64_t>>{
                                           {"a", 1}, {"b", 1}, {"a", 1}, {"a", 1}});
  std::cout << "occurrences of \"a\": " << *L::at(counted, "a") << "\n";
  std::cout << "checker: " << hs::show(vantrel::internal::debug::valid(counted)) << "\n";
}

}  // namespace

int main() {
  std::cout << "libraries: " << vantrel::packageId() << ", " << sarkel::packageId() << ", "
            << ambrel::packageId() << ", " << quendle::packageId() << ", " << morvet::packageId()
            << "\n";
  mapTour();
  return 0;
}
