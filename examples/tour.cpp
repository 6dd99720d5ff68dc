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
#include "vantrel/map/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/show.hpp"
#include "vantrel/map/strict.hpp"
#include "vantrel/set.hpp"
#include "vantrel/set/show.hpp"

void quendleTour();

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
  std::cout << "checker: " << hs::show(vantrel::debug::valid(counted)) << "\n";

  // Whole maps combine without rehashing; the text form lists the pairs in trie order.
  const auto both = L::unionWith([](std::int64_t a, std::int64_t b) { return a * 100 + b; }, two,
                                 L::insert("three", 3, one));
  std::cout << "union: size " << L::size(both) << ", \"one\" -> " << *L::at(both, "one") << "\n";
  const auto small = L::filter([](std::int64_t v) { return v < 3; }, both);
  std::cout << "filtered: " << hs::show(small) << "\n";

  // The value-strict interface evaluates every value it stores.
  namespace S = vantrel::strict;
  const auto strictMap = S::insertWith([](std::int64_t a, std::int64_t b) { return a + b; }, "a",
                                       10, S::fromList(std::vector<std::pair<std::string, std::int64_t>>{{"a", 1}}));
  std::cout << "strict: \"a\" -> " << *S::at(strictMap, "a") << ", evaluated: " << std::boolalpha
            << S::at(strictMap, "a").evaluated() << "\n";
}

void setTour() {
  namespace S = vantrel::set;
  std::cout << "== vantrel: persistent hash sets\n";
  const vantrel::HashSet<std::string> words{"to", "be", "or", "not", "to", "be"};
  std::cout << std::boolalpha << "distinct words: " << S::size(words) << "\n";
  const auto more = S::union_(words, vantrel::HashSet<std::string>{"question"});
  std::cout << "\"question\" added: " << S::member("question", more)
            << ", a subset: " << S::isSubsetOf(words, more) << "\n";
  // Equality does not depend on the order of insertion.
  const vantrel::HashSet<std::string> reordered{"not", "or", "be", "to"};
  std::cout << "equal to a reordered set: " << (words == reordered) << "\n";
  std::cout << hs::show(S::filter([](const std::string& w) { return w.size() == 2; }, words))
            << "\n";
}

}  // namespace

void sarkelTour();
void ambrelTour();
void morvetTour();

int main() {
  std::cout << "libraries: " << vantrel::packageId() << ", " << sarkel::packageId() << ", "
            << ambrel::packageId() << ", " << quendle::packageId() << ", " << morvet::packageId()
            << "\n";
  mapTour();
  setTour();
  sarkelTour();
  quendleTour();
  ambrelTour();
  morvetTour();
  return 0;
}
