// libquendle's example in README.md: the lines between the markers are the README's snippet
// (the test readme_snippets keeps the two alike; examples/readme/quendle.out is what it prints).
// readme-begin
#include <iostream>
#include <optional>
#include <random>
#include <unordered_set>

#include "quendle/uuid.hpp"

int main() {
  // Text in either case parses; anything malformed (braces, a missing digit) gives nothing.
  const std::optional<quendle::UUID> id =
      quendle::fromString("6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
  const bool braces = quendle::fromString("{6ba7b810-9dad-11d1-80b4-00c04fd430c8}").has_value();
  std::cout << quendle::toString(*id) << ", braces: " << (braces ? "parsed" : "rejected") << "\n";

  // Random version-4 UUIDs from any generator of 64-bit words.
  std::mt19937_64 engine(2024);
  const quendle::UUID fresh = hs::uniformM<quendle::UUID>(engine);
  std::cout << "random: " << quendle::toString(fresh) << "\n";

  // A UUID is two 64-bit words: cheap to copy, ordered, and hashable (std::hash is provided).
  const std::unordered_set<quendle::UUID> seen{*id, fresh, *id};
  std::cout << std::boolalpha << "distinct: " << seen.size()
            << ", parsed < random: " << (*id < fresh) << "\n";
}
// readme-end
