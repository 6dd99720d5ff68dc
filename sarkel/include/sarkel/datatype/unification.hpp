// Unification of types into a substitution, and expansion of type synonyms through the
// reflection monad.
#pragma once

#include <utility>
#include <vector>

#include "hs/either.hpp"
#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"
#include "sarkel/datatype/substitution.hpp"

namespace sarkel {
/// \addtogroup sarkel_datatype
/// @{

/// Either the pair of types that cannot be made equal, or the substitution that makes the two
/// types equal. A variable unifies with any type it does not occur in (the pair of a failed
/// occurs check has the variable first); applications unify part by part; kind signatures are
/// ignored; everything else must be equal.
[[nodiscard]] hs::Either<std::pair<hs::th::Type, hs::th::Type>, Substitution> unify_(const hs::th::Type& t1,
                                                                       const hs::th::Type& t2);

/// The types' synonyms expanded, in list order; then every type unified with the first under the
/// substitution so far. Fails with "Unable to unify types " + the two types that do not match.
[[nodiscard]] Substitution unifyTypes(hs::th::Q& q, const std::vector<hs::th::Type>& ts);

/// Every use of a type synonym with at least as many arguments as parameters replaced by the
/// synonym's right-hand side (and resolved again). Each type-constructor or operator head met asks
/// for its declaration; a failing query reads as no synonym. An operator's two operands count as
/// its first two arguments.
[[nodiscard]] hs::th::Type resolveTypeSynonyms(hs::th::Q& q, const hs::th::Type& t);
/// resolveTypeSynonyms of a kind.
[[nodiscard]] hs::th::Kind resolveKindSynonyms(hs::th::Q& q, const hs::th::Kind& k);
/// resolveTypeSynonyms of a predicate.
[[nodiscard]] hs::th::Pred resolvePredSynonyms(hs::th::Q& q, const hs::th::Pred& p);

/// @}
}  // namespace sarkel
