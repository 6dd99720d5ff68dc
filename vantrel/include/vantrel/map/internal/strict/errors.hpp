// The error values of the value-strict module (nothing in the library uses them; demanding one
// raises its program error) and the guards of its union walk.
#pragma once

#include "hs/unit.hpp"

namespace vantrel::internal::strict {

[[noreturn]] void testBottomError();
[[noreturn]] void bogusError();
[[noreturn]] void impossibleAdjustError();

// The guards of the union walk, for states that valid tries never reach: the hash asked of a
// node that is neither a `Leaf` nor a `Collision` ("leafHashCode"), and a pair of nodes that no
// case of the walk covers (a pattern-match failure).
[[noreturn]] void leafHashCodeError();
[[noreturn]] void unionNoMatchError();

template <class T = hs::Unit>
[[noreturn]] T test_bottom() {
  testBottomError();
}
template <class A = hs::Unit>
[[noreturn]] void bogusU(const A&) {
  bogusError();
}
template <class T = hs::Unit>
[[noreturn]] T impossibleAdjust() {
  impossibleAdjustError();
}

}  // namespace vantrel::internal::strict
