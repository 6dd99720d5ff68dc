// The error values of the value-strict module. Nothing in the library uses them; demanding one
// raises its program error.
#pragma once

#include "hs/unit.hpp"

namespace vantrel::internal::strict {

[[noreturn]] void testBottomError();
[[noreturn]] void bogusError();
[[noreturn]] void impossibleAdjustError();

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
