// The structural comparison of expressions, out of line: the comparisons of every form, inlined
// into one another here, would otherwise use up the inlining budget of the unit holding the
// text forms.
#include "hs/stack.hpp"
#include "hs/th/syntax/exp.hpp"

namespace hs::th {

bool detail::equalForms(const Exp::Node& a, const Exp::Node& b) {
  return hs::withStack([&] { return a == b; });
}

}  // namespace hs::th
