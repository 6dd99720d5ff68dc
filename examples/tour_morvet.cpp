// The tour's stop at the fixed points: a small list as Fix, Mu and Nu, folded, unfolded and
// refolded.
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "hs/functor.hpp"
#include "hs/monad.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "morvet/morvet.hpp"

void morvetTour() {
  using Int = std::int64_t;
  using List = morvet::Fix<morvet::ListFTag<Int>>;
  using Layer = morvet::ListF<Int, Int>;
  std::cout << "== morvet: fixed points and recursion schemes\n";

  // A list unfolded from a seed: the coalgebra gives one layer (Nil, or an element and the next
  // seed); layers are built when first demanded.
  const auto range = [](const Int& n) { return n == 0 ? Layer::Nil() : Layer::Cons(n, n - 1); };
  const List three = morvet::unfoldFix(range, Int{3});
  std::cout << hs::show(three) << "\n";

  // A fold: the algebra sees a layer whose rest is already folded.
  const auto sum = [](const Layer& l) -> Int { return l.isNil() ? 0 : l.head() + l.rest(); };
  std::cout << "sum: " << morvet::foldFix(sum, three) << "\n";
  // A refold never builds the list: 10! from the range of 10.
  const auto product = [](const Layer& l) -> Int { return l.isNil() ? 1 : l.head() * l.rest(); };
  std::cout << "10!: " << morvet::refold(product, range, Int{10}) << "\n";

  // An endless unfolding returns at once; an algebra of deferred holes folds only what it demands.
  const auto naturals = morvet::unfoldFix([](const Int& n) { return Layer::Cons(n, n + 1); }, Int{0});
  const auto firstElement = [](const hs::Lazy<morvet::ListF<Int, hs::Lazy<std::string>>>& l) -> std::string {
    return l->isNil() ? "none" : std::to_string(l->head());
  };
  std::cout << "first of the naturals: " << morvet::foldFix(firstElement, naturals) << "\n";

  // Effects in the writer: the algebra runs children first.
  const auto logged = morvet::foldFixM(
      [](const Layer& l) {
        const Int s = l.isNil() ? 0 : l.head() + l.rest();
        return hs::Writer<std::vector<Int>, Int>{s, {s}};
      },
      three);
  std::cout << "partial sums, innermost first: " << hs::show(logged.log) << "\n";

  // The same list as Mu (its own fold) and Nu (a step and a seed), shown as the expressions that
  // rebuild them, compared and read back.
  const auto mu = morvet::fixToMu(three);
  const auto nu = morvet::unfoldNu(range, Int{3});
  std::cout << hs::show(nu) << "\n";
  std::cout << "Mu sum: " << morvet::foldMu(sum, mu) << ", equal to the unfolded Mu: " << std::boolalpha
            << (mu == morvet::unfoldMu(range, Int{3})) << "\n";
  const auto back = hs::readMaybe<morvet::Nu<morvet::ListFTag<Int>>>(hs::show(nu));
  std::cout << "read back equal: " << (back && *back == nu) << "\n";
}
