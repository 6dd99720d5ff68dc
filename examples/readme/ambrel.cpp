// libambrel's example in README.md: the lines between the markers are the README's snippet
// (the test readme_snippets keeps the two alike; examples/readme/ambrel.out is what it prints).
// readme-begin
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "ambrel/ambrel.hpp"
#include "hs/show.hpp"

using Notes = std::vector<std::string>;
// Notes, a number, or both: a result that may come with remarks, or only remarks.
using Checked = ambrel::Ambrel<Notes, std::int64_t>;

Checked percent(std::int64_t n) {
  if (n < 0) return ambrel::This(Notes{std::to_string(n) + " is negative"});  // notes only
  if (n > 100) return Checked(Notes{std::to_string(n) + " capped"}, 100);      // both
  return ambrel::That<Notes>(n);                                              // a number only
}

int main() {
  std::cout << hs::show(percent(40)) << " / " << hs::show(percent(250)) << " / "
            << hs::show(percent(-3)) << "\n";

  // Case analysis: one function per shape (the fields arrive evaluated).
  const auto describe = [](const Checked& c) {
    return ambrel::ambrel([](const Notes& n) { return "no number, " + n[0]; },
                          [](std::int64_t v) { return std::to_string(v) + "%"; },
                          [](const Notes& n, std::int64_t v) {
                            return std::to_string(v) + "% (" + n[0] + ")";
                          },
                          c);
  };
  std::cout << describe(percent(250)) << "\n";

  // Sequencing keeps the number and gathers the notes of every step; a step with no number stops.
  const auto halve = [](std::int64_t v) { return Checked(Notes{"halved"}, v / 2); };
  std::cout << hs::show(hs::bind(percent(250), halve)) << " / "
            << hs::show(hs::bind(percent(-3), halve)) << "\n";
}
// readme-end
