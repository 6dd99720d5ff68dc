// The entry points: the description of a type constructor, data family instance, data
// constructor or record selector reified by name, or of reified information, a declaration or a
// constructor the caller has at hand.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hs/lazy.hpp"
#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"
#include "sarkel/datatype/records.hpp"

namespace sarkel {
/// \addtogroup sarkel_datatype
/// @{

/// The description of the type that the name is, or that the data constructor or record selector
/// belongs to (for a data family, the instance that holds it). Fails, prefixed with
/// "reifyDatatype", for classes, type families, data families named directly, class methods,
/// pattern synonyms and type variables.
[[nodiscard]] DatatypeInfo reifyDatatype(hs::th::Q& q, const hs::th::Name& n);
/// The description of the data constructor, or of the constructor with the record selector,
/// within its type's description. The type is reified at once (its failures are immediate); the
/// constructor is looked up when the result is forced, which raises the program error of
/// lookupByConstructorName (lookupByRecordName) when there is none.
[[nodiscard]] hs::Lazy<ConstructorInfo> reifyConstructor(hs::th::Q& q, const hs::th::Name& n);
/// The description of the constructor with the record selector n, deferred like reifyConstructor.
[[nodiscard]] hs::Lazy<ConstructorInfo> reifyRecord(hs::th::Q& q, const hs::th::Name& n);

/// As reifyDatatype, for information, a declaration or one constructor the caller supplies:
/// kind-less variables keep their form and instance variables are not repaired. The fifth
/// argument of normalizeCon plays no part.
[[nodiscard]] DatatypeInfo normalizeInfo(hs::th::Q& q, const hs::th::Info& info);
/// As normalizeInfo, for a declaration.
[[nodiscard]] DatatypeInfo normalizeDec(hs::th::Q& q, const hs::th::Dec& dec);
/// As normalizeInfo, for one constructor of the named type (a GADT constructor with several names
/// gives one description each).
[[nodiscard]] std::vector<ConstructorInfo> normalizeCon(hs::th::Q& q, const hs::th::Name& typeName,
                                          const std::vector<hs::th::TyVarBndrUnit>& vars,
                                          const std::vector<hs::th::Type>& instTypes,
                                          const hs::th::Kind& returnKind, DatatypeVariant ignored,
                                          const hs::th::Con& con);

namespace internal {

// The description of reified information; failures name the entry point.
[[nodiscard]] DatatypeInfo normalizeInfo_(hs::th::Q& q, const std::string& entry, bool fromReify,
                            const hs::th::Info& info);
// The description of the parent type of a data constructor or record selector: the type's own,
// or, for a data family, that of the first instance (each repaired and normalised, all before
// the search) for which `holds` is true. Fails with "PANIC: " + prefix + " lost the instance" or
// " unexpected parent".
[[nodiscard]] DatatypeInfo reifyParentDatatype(hs::th::Q& q, const std::string& prefix,
                                 const std::function<bool(const DatatypeInfo&)>& holds,
                                 const hs::th::Name& parent);
// A data or newtype instance of a data family with its head's visible arguments given the kinds
// the family declares; any other pair comes back as the instance itself.
[[nodiscard]] hs::th::Dec repairFamilyInstance(hs::th::Q& q, const hs::th::Dec& family,
                                 const hs::th::Dec& instance);

}  // namespace internal

/// @}
}  // namespace sarkel
