// The tour's stop at the inclusive-or values.
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ambrel/ambrel.hpp"
#include "ambrel/combinators.hpp"
#include "ambrel/functor.hpp"
#include "hs/list.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"

void ambrelTour() {
  using ambrel::Ambrel;
  using Int = std::int64_t;
  using Words = Ambrel<std::vector<std::string>, Int>;
  std::cout << "== ambrel: inclusive-or values\n";

  // A value holds a first value, a second value, or both; the fields stay unevaluated.
  const Words warning = ambrel::This(std::vector<std::string>{"slow"});
  const Words result = ambrel::That<std::vector<std::string>>(Int{42});
  const Words both(std::vector<std::string>{"rounded"}, Int{7});
  std::cout << hs::show(warning) << " / " << hs::show(result) << " / " << hs::show(both) << "\n";

  // Sequencing gathers first values with their semigroup and stops at a This.
  auto halve = [](Int x) {
    if (x % 2 != 0) return Words(std::vector<std::string>{"odd"}, x / 2);
    return Words(ambrel::That(x / 2));
  };
  std::cout << "bind: " << hs::show(hs::bind(both, halve)) << ", "
            << hs::show(hs::bind(result, halve)) << "\n";
  using Text = Ambrel<std::string, std::string>;
  std::cout << "combined: "
            << hs::show(hs::mappend(Text(ambrel::This(std::string("a"))), Text(std::string("b"), std::string("c"))))
            << "\n";

  // Mapping a side the value lacks returns the value itself, even at the new type.
  const auto labelled = hs::fmap([](Int x) { return "#" + std::to_string(x); }, warning);
  std::cout << "fmap over a This is the same value: " << std::boolalpha
            << ambrel::ptrEq(labelled, warning) << "\n";

  // Partitions of an endless list are produced on demand.
  const auto endless = hs::fmap(
      [](Int i) { return i % 2 == 0 ? Words(ambrel::That(i)) : Words(std::vector<std::string>{std::to_string(i)}, i); },
      hs::iterate([](Int i) { return i + 1; }, Int{0}));
  std::cout << "first values of an endless list: " << hs::show(hs::take(3, ambrel::catHere(endless)))
            << "\n";

  // Text forms read back.
  const auto read = hs::read<Ambrel<Int, Ambrel<char, Int>>>("Ambrel 1 (That (-2))");
  std::cout << "read back: " << hs::show(read) << "\n";

  // The functor-level form delegates to its two functors, the first part first.
  using Parts = ambrel::Ambrel1<hs::MaybeTag, hs::ListTag, Int>;
  const Parts parts(std::optional<Int>(1), std::vector<Int>{2, 3});
  std::cout << hs::show(parts) << ": sum " << hs::sum(parts) << ", length " << hs::length(parts)
            << "\n";
}
