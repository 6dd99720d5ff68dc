// libvantrel's example in README.md: the lines between the markers are the README's snippet
// (the test readme_snippets keeps the two alike; examples/readme/vantrel.out is what it prints).
// readme-begin
#include <cstdint>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "vantrel/map/lazy.hpp"
#include "vantrel/map/show.hpp"
#include "vantrel/set.hpp"

int main() {
  namespace M = vantrel::lazy;
  using Ages = vantrel::HashMap<std::string, std::int64_t>;

  // Each operation returns a new map and leaves its input as it was; the two share their nodes.
  const Ages before =
      M::fromList(std::vector<std::pair<std::string, std::int64_t>>{{"ada", 36}, {"alan", 41}});
  const Ages after = M::insert("grace", 85, M::erase("alan", before));
  std::cout << "before: " << hs::show(before) << "\n";
  std::cout << "after:  " << hs::show(after) << "\n";

  // Values are kept as hs::Lazy cells: * reads one. lookup gives an std::optional of the cell.
  std::cout << "grace is " << *M::at(after, "grace") << "; alan is "
            << (M::lookup("alan", after) ? "present" : "gone") << "\n";

  // Whole maps combine without a key-by-key loop; here the values of a key in both are added.
  const auto add = [](std::int64_t a, std::int64_t b) { return a + b; };
  const Ages merged = M::unionWith(add, before, after);
  // Unlike std::unordered_map's, size is O(n): a map or set keeps no count, so size walks it all.
  std::cout << "ada in both: " << *M::at(merged, "ada") << ", size " << M::size(merged) << "\n";

  // Sets work the same way.
  const vantrel::HashSet<std::string> colours{"red", "green"};
  const auto more = vantrel::set::insert("blue", colours);
  std::cout << vantrel::set::size(colours) << " colours, then " << vantrel::set::size(more) << "\n";
}
// readme-end
