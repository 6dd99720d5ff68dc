// The recursive point of a walk that hands its elements to a comparison. A value may nest values of
// its own kind through a container (a tree whose == is that of its map of subtrees), so the
// container's call of the element comparison is where that recursion passes through the library:
// it goes through the stack helper, as hashing does in hs::hashWithSalt. Elements that cannot
// nest (scalars, strings, empty types such as hs::Unit) are compared with a plain call.
#pragma once

#include <type_traits>
#include <utility>

#include "hs/stack.hpp"

namespace hs::internal {

// Whether a comparison of values of T may walk values of T's own kind (T is complete).
template <class T>
inline constexpr bool comparisonNests =
    hs::mayNest<std::remove_cvref_t<T>> && !std::is_empty_v<std::remove_cvref_t<T>>;

// f(), through hs::withStack when values of any of Ts may nest, else called directly.
template <class... Ts, class F>
[[gnu::always_inline]] inline decltype(auto) nestedCall(F&& f) {
  if constexpr ((hs::internal::comparisonNests<Ts> || ...))
    return hs::withStack([&f]() -> decltype(auto) { return std::forward<F>(f)(); });
  else
    return std::forward<F>(f)();
}

}  // namespace hs::internal
