// Constructor normalisation: one data constructor of the reflection syntax tree, in any of its
// forms (prefix, record, infix, existentially quantified, GADT-style), as descriptions that speak
// of the type in the declaration's own variables.
#pragma once

#include <utility>
#include <vector>

#include "hs/lazy.hpp"
#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"
#include "sarkel/datatype/matching.hpp"
#include "sarkel/datatype/records.hpp"
#include "sarkel/datatype/substitution.hpp"

namespace sarkel::internal {

// A field's annotations as written, component by component.
FieldStrictness fieldStrictnessOfBang(const hs::th::Bang& b) noexcept;
// The bangs and the types of the fields, each in field order.
std::pair<std::vector<hs::th::Bang>, std::vector<hs::th::Type>> splitBangTypes(
    const std::vector<hs::th::BangType>& fields);
// The selectors, the types and the annotations of record fields, each in field order.
std::vector<hs::th::Name> recordFieldNames(const std::vector<hs::th::VarBangType>& fields);
std::vector<hs::th::Type> recordFieldTypes(const std::vector<hs::th::VarBangType>& fields);
std::vector<FieldStrictness> recordFieldStrictness(const std::vector<hs::th::VarBangType>& fields);

// With the flag set (a declaration from reification), a binder without a kind gets the kind
// StarT; anything else comes back as it is.
hs::th::TyVarBndrUnit starKindedBinder(bool fromReify, const hs::th::TyVarBndrUnit& b);

// Whether a GADT-style constructor is written infix: its name starts with ':', it has exactly
// two fields and a fixity is declared for it. The fixity is always looked up (a failing lookup
// reads as none).
ConstructorVariant gadtConUsesInfix(hs::th::Q& q, const std::vector<hs::th::Type>& fields,
                                    const hs::th::Name& n);

// For each binder in order, its name and then the variables free in its kind, each paired with
// the action that makes a fresh name of the same base.
std::vector<std::pair<hs::th::Name, hs::th::QAction<hs::th::Name>>> freshenBinderNames(
    const std::vector<hs::th::TyVarBndrUnit>& binders);

// A renaming of constructor variables to declaration variables (with its equality constraints)
// closed over the variables' kinds: the kinds of every pair it identifies are matched too, again
// and again while that identifies more. The maps are forced only when the renaming has entries.
// Earlier renamings win for a name; constraints keep their first occurrence.
std::pair<Renaming, hs::th::Cxt> closeRenamingOverKinds(const hs::Lazy<KindMap>& declKinds,
                                                        const hs::Lazy<KindMap>& conKinds,
                                                        std::pair<Renaming, hs::th::Cxt> start);

// The descriptions of one constructor of the declaration of typeName (variables, argument types
// including those its kind implies, return kind): one for a prefix, record or infix constructor,
// one per name for a GADT-style one. A GADT-style constructor's variables get fresh names (in
// ascending name order), its result's synonyms are resolved, and its result is matched against
// the declaration head: variables that rename a head variable become it, other refinements
// become equalities in front of its context. Fails with "normalizeGadtC: Expected type
// constructor application" when the result is not the declared type constructor applied.
std::vector<ConstructorInfo> normalizeConFor(hs::th::Q& q, bool fromReify,
                                             const hs::th::Name& typeName,
                                             const std::vector<hs::th::TyVarBndrUnit>& vars,
                                             const std::vector<hs::th::Type>& instTypes,
                                             const hs::th::Kind& returnKind,
                                             const hs::th::Con& con);

}  // namespace sarkel::internal
