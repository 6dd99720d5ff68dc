// The strict refold every strict fold runs on: a depth-first walk over an explicit stack, so a
// value of any depth folds in constant native stack.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/functor.hpp"
#include "hs/stack.hpp"
#include "hs/unit.hpp"
#include "morvet/internal/traits.hpp"

namespace morvet::internal {

// No seed is finished without being expanded.
struct NoLeaf {};

template <class F, class A, class S, class Alg, class Expand, class Leaf>
[[nodiscard]] A hyloStrict(const Alg& alg, const Expand& expand, const Leaf& leaf, const S& root);

// The plain recursive refold, for functors that map lazily: the mapped function may run after
// the fold has returned, so it owns what it uses.
template <class F, class A, class S, class Alg, class Expand, class Leaf>
struct RecursiveStep {
  std::shared_ptr<const std::tuple<Alg, Expand, Leaf>> fns;
  A operator()(const S& s) const {
    return hs::withStack([&]() -> A {
      const auto& [alg, expand, leaf] = *fns;
      if constexpr (!std::is_same_v<Leaf, NoLeaf>) {
        if (auto r = leaf(s)) return std::move(*r);
      }
      return alg(hs::fmap(*this, expand(s)));
    });
  }
};

// Folds the value that `expand` unfolds from `root` with `alg` (a function of the layer of
// results), children before their parent, in the order the functor's mapping visits the holes.
// `expand(s)` gives s's layer of seeds, by reference (it must then stay alive as long as s) or by
// value. `leaf(s)`, unless NoLeaf, may give a seed's result without expanding it.
//
// A layer's holes are gathered by one mapping of the layer (recording where each hole is), its
// children folded, and then a second mapping hands each hole its result. A hole the gathering did
// not see is folded on its own when the second mapping reaches it.
template <class F, class A, class S, class Alg, class Expand, class Leaf>
[[nodiscard]] A hyloStrict(const Alg& alg, const Expand& expand, const Leaf& leaf, const S& root) {
  using Layer = Apply<F, S>;
  constexpr bool byReference = std::is_lvalue_reference_v<decltype(expand(root))>;
  if constexpr (LazyMapping<F>::value) {
    RecursiveStep<F, A, S, Alg, Expand, Leaf> step{
        std::make_shared<const std::tuple<Alg, Expand, Leaf>>(alg, expand, leaf)};
    return step(root);
  } else {
    struct Frame {
      const Layer* layer;
      std::size_t kidsBegin, next, kidsEnd, resultsBegin;
    };
    std::vector<Frame> frames;
    std::vector<const S*> kids;
    std::vector<A> results;
    std::deque<Layer> owned;  // layers expanded by value, one per open frame

    auto open = [&](const S& s) {
      if constexpr (!std::is_same_v<Leaf, NoLeaf>) {
        if (auto r = leaf(s)) {
          results.push_back(std::move(*r));
          return;
        }
      }
      const Layer* layer;
      if constexpr (byReference) {
        layer = &expand(s);
      } else {
        owned.push_back(expand(s));
        layer = &owned.back();
      }
      const std::size_t k0 = kids.size();
      try {
        (void)hs::fmap(
            [&kids](const S& c) {
              kids.push_back(&c);
              return hs::unit;
            },
            *layer);
      } catch (...) {
        kids.resize(k0);
        if constexpr (!byReference) owned.pop_back();
        throw;
      }
      frames.push_back(Frame{layer, k0, k0, kids.size(), results.size()});
    };

    open(root);
    while (!frames.empty()) {
      Frame& top = frames.back();
      if (top.next < top.kidsEnd) {
        const S* child = kids[top.next++];
        open(*child);
        continue;
      }
      std::size_t k = top.kidsBegin, i = top.resultsBegin;
      const std::size_t end = top.kidsEnd;
      auto mapped = hs::fmap(
          [&](const S& c) -> A {
            if (k < end && kids[k] == &c) {
              ++k;
              return std::move(results[i++]);
            }
            return hs::withStack([&] { return internal::hyloStrict<F, A>(alg, expand, leaf, c); });
          },
          *top.layer);
      A r = alg(mapped);
      results.erase(results.begin() + static_cast<std::ptrdiff_t>(top.resultsBegin), results.end());
      kids.resize(top.kidsBegin);
      if constexpr (!byReference) owned.pop_back();
      frames.pop_back();
      results.push_back(std::move(r));
    }
    return std::move(results.back());
  }
}

}  // namespace morvet::internal
