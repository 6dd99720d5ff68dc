// Declaration normalisation: a data, newtype, type data, data instance or newtype instance
// declaration as one description, its kind completed and every constructor normalised.
#pragma once

#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"
#include "sarkel/datatype/records.hpp"

namespace sarkel::internal {

// With the flag set (a declaration from reification), a bare variable gets the kind signature
// StarT; anything else comes back as it is.
hs::th::Type starKindedType(bool fromReify, const hs::th::Type& t);

// The description of a declaration. Effects in order: the kind (the declared one, else the
// reified one under recover), its synonyms, fresh binders for the arguments the kind implies
// beyond the declared ones, then each constructor in order. With the flag set, kind-less
// variables get StarT and an instance's variables are repaired (repairInstanceVariables).
// Fails with "normalizeDecFor: DataD or NewtypeD required" for any other declaration, and with
// "Unexpected data instance head: " (or newtype) and the printed head when an instance head is
// not a type constructor applied.
DatatypeInfo normalizeDecFor(hs::th::Q& q, bool fromReify, const hs::th::Dec& dec);

// The constructors' free variables that the head does not bind, each replaced by the head
// variable of the same base name. Fails with "Impossible free variable: " when the head has no
// such variable and "Ambiguous free variable: " when it has several, for the first such variable
// in name order.
DatatypeInfo repairInstanceVariables(hs::th::Q& q, const DatatypeInfo& info);

}  // namespace sarkel::internal
