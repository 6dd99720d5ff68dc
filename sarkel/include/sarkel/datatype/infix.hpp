// Resolution of infix operator applications in types: chains written without grouping are
// grouped by the operators' declared fixities, and every operator application becomes an
// ordinary application of the operator.
#pragma once

#include <vector>

#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"

namespace sarkel {
/// \addtogroup sarkel_datatype
/// @{

/// The type with every operator application an ordinary one: a op b becomes AppT (AppT (ConT op)
/// a) b (PromotedT for a promoted operator), ungrouped chains grouped by fixity (an operator
/// without a fixity, or whose fixity cannot be queried, has the default one), round-bracket nodes
/// dropped. Fixities are looked up once per operator of a chain, left to right, before the chain's
/// operands are resolved. Fails with "Precedence parsing error: cannot mix ..." when two adjacent
/// operators of equal precedence do not associate the same way.
[[nodiscard]] hs::th::Type resolveInfixT(hs::th::Q& q, const hs::th::Type& t);

namespace internal {

// A flattened operator chain: each cell holds an operator with the operand to its left, and
// `last` is the operand after the last operator, all in source order.
struct InfixCell {
  hs::th::Type left;
  hs::th::Name op;
  bool promoted;
};
struct InfixList {
  std::vector<InfixCell> cells;
  hs::th::Type last;
};

// An operator waiting for its right operand, with its left one and its fixity.
struct InfixPending {
  hs::th::Type left;
  hs::th::Name op;
  bool promoted;
  hs::th::Fixity fixity;
};
// The waiting operators, the newest last.
using InfixPendingStack = std::vector<InfixPending>;

// The chain of ungrouped operator applications (UInfixT, PromotedUInfixT) on both sides of t;
// any other type, grouped ones and round brackets included, is one operand.
[[nodiscard]] InfixList flattenInfixChain(const hs::th::Type& t);

// The chain grouped by fixity on top of the waiting operators: an operator takes the result so
// far as its right operand while its fixity binds more tightly than the incoming operator's
// (both left-associative: at least as high a precedence; otherwise a higher one), compared again
// with each operator below after a reduction. Operands are left as they are.
[[nodiscard]] hs::th::Type reassociateInfixChain(hs::th::Q& q, InfixPendingStack pending, const InfixList& chain);

}  // namespace internal

/// @}
}  // namespace sarkel
