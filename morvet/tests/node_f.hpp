// A labelled rose-tree layer for the tests: a label and a list of holes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/functor.hpp"

namespace morvet_test {

template <class R>
struct NodeF {
  std::string label;
  std::vector<R> kids;
};
struct NodeTag {
  template <class X>
  using apply = NodeF<X>;
};

}  // namespace morvet_test

namespace hs {
template <class R>
struct TagOf<morvet_test::NodeF<R>> {
  using type = morvet_test::NodeTag;
  using value_type = R;
};
template <>
struct Functor<morvet_test::NodeTag> {
  template <class F, class R>
  static auto fmap(F&& f, const morvet_test::NodeF<R>& n) {
    using S = std::remove_cvref_t<std::invoke_result_t<F&, const R&>>;
    return morvet_test::NodeF<S>{n.label, hs::fmap(f, n.kids)};
  }
};
template <>
struct Traversable<morvet_test::NodeTag> {
  template <class F, class R>
  static auto traverse(F&& f, const morvet_test::NodeF<R>& n) {
    using S = ElementOf<std::remove_cvref_t<std::invoke_result_t<F&, const R&>>>;
    return hs::fmap([label = n.label](const std::vector<S>& ks) { return morvet_test::NodeF<S>{label, ks}; },
                    hs::traverse(f, n.kids));
  }
};
}  // namespace hs
