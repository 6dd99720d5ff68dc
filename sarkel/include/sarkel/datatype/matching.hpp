// Matching of argument types position by position into a renaming of variables and equality
// constraints, and the kind maps of binders and family patterns. Used by constructor
// normalisation and by the kinds of declarations.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "hs/lazy.hpp"
#include "hs/th/syntax.hpp"
#include "sarkel/datatype/substitution.hpp"

namespace sarkel::internal {

// A renaming of type variables, in the reflection library's name order.
using Renaming = std::map<hs::th::Name, hs::th::Name>;

// Matches an inner type against an outer one, on top of a renaming (inner names to outer names)
// and a list of equality constraints: an outer variable takes an inner variable that is itself,
// that the renaming maps to it, or that the renaming does not have yet (added); any other inner
// type makes the constraint outer ~ inner, put in front of the list. Applications match part by
// part, the function part first; a kind signature is dropped from the outer side, and from the
// inner side unless the outer side is a variable; other pairs give nothing.
[[nodiscard]] std::pair<Renaming, hs::th::Cxt> matchGadtResultArgs(const hs::th::Type& outer,
                                                     const hs::th::Type& inner, Renaming renaming,
                                                     hs::th::Cxt constraints);
// The lists matched position by position (the shorter list ends the pairing), from the last
// position to the first, starting from nothing: the constraints of earlier positions come first.
[[nodiscard]] std::pair<Renaming, hs::th::Cxt> matchGadtResultArgLists(const std::vector<hs::th::Type>& outers,
                                                         const std::vector<hs::th::Type>& inners);
// The renaming as a substitution of variables.
[[nodiscard]] Substitution varSubstitution(const Renaming& renaming);

// The kinds that the kind signatures of variables in a data family pattern give them; of two
// signatures of one variable, the outer, then the one further left, wins. Deferred: a quantified
// type in the pattern raises the program error "`forall` type used in data family pattern" when
// the map is forced.
[[nodiscard]] hs::Lazy<KindMap> familyPatternVarKinds(const hs::th::Type& t);
// A plain binder's variable has the kind StarT; a kinded binder's has its kind, on top of the
// kinds its kind's own pattern gives.
[[nodiscard]] hs::Lazy<KindMap> binderKindMap(const hs::th::TyVarBndrUnit& b);
[[nodiscard]] hs::Lazy<KindMap> binderKindMap(const hs::th::TyVarBndrSpec& b);
// The maps united into the starting map in order; the first map holding a name decides its kind.
[[nodiscard]] hs::Lazy<KindMap> unionKindMaps(const std::vector<hs::Lazy<KindMap>>& maps,
                                hs::Lazy<KindMap> start);

}  // namespace sarkel::internal
