// Substitution of types for type variables without capture, the free variables of types and
// constructor descriptions in a fixed order, and what is built on them: combining substitutions,
// renaming free variables to fresh names, ordering variables so that each comes after the
// variables its kind mentions, and closing a type over its free variables.
//
// Every walk here keeps its work on the heap, so types of any depth are safe.
#pragma once

#include <concepts>
#include <map>
#include <utility>
#include <vector>

#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"
#include "sarkel/datatype/records.hpp"

namespace sarkel {
/// \addtogroup sarkel_datatype
/// @{

/// A finite map from type variables to types, in the reflection library's name order.
using Substitution = std::map<hs::th::Name, hs::th::Type>;
/// The kinds that kind signatures give to variables.
using KindMap = std::map<hs::th::Name, hs::th::Kind>;

/// The substitution capability: applySubstitution(s, x) replaces the variables of x that s maps,
/// leaving variables bound inside x alone; freeVariables(x) lists the variables x uses without
/// binding them, without duplicates, in order of first occurrence. Implemented for Type,
/// ConstructorInfo and vectors of any type that has it.
template <class T>
struct TypeSubstitution;

template <class T>
concept Substitutable = requires(const Substitution& s, const T& x) {
  { TypeSubstitution<T>::applySubstitution(s, x) } -> std::same_as<T>;
  { TypeSubstitution<T>::freeVariables(x) } -> std::same_as<std::vector<hs::th::Name>>;
};

/// A variable with an entry becomes its entry (a variable without one comes back as the very same
/// object, and so does any type that nothing in s touches). Under a quantifier, a binder with an
/// entry shadows it; a binder whose name occurs free in the types s holds is renamed, to "f"
/// followed by its name, with more "f"s while that name too occurs there. Only the types s holds
/// are checked, not the quantifier's body.
[[nodiscard]] hs::th::Type applySubstitution(const Substitution& s, const hs::th::Type& t);
/// In order of first occurrence; under a quantifier, the binder kinds' variables come before the
/// context's and the body's.
[[nodiscard]] std::vector<hs::th::Name> freeVariables(const hs::th::Type& t);
/// Each type substituted; a new vector.
[[nodiscard]] std::vector<hs::th::Type> applySubstitution(const Substitution& s,
                                            const std::vector<hs::th::Type>& ts);
/// The free variables of the types, in order of first occurrence, without duplicates.
[[nodiscard]] std::vector<hs::th::Name> freeVariables(const std::vector<hs::th::Type>& ts);
/// The constructor's own variables shadow entries of s and are never renamed; the kinds of its
/// variables, its context and its fields are substituted.
[[nodiscard]] ConstructorInfo applySubstitution(const Substitution& s, const ConstructorInfo& c);
/// The variables of the kinds of the constructor's variables, its context and its fields, less
/// the constructor's own variables.
[[nodiscard]] std::vector<hs::th::Name> freeVariables(const ConstructorInfo& c);

/// `TypeSubstitution<T>::applySubstitution`.
template <class T>
requires Substitutable<T> T applySubstitution(const Substitution& s, const T& x) {
  return sarkel::TypeSubstitution<T>::applySubstitution(s, x);
}
/// `TypeSubstitution<T>::freeVariables`.
template <class T>
requires Substitutable<T> std::vector<hs::th::Name> freeVariables(const T& x) {
  return sarkel::TypeSubstitution<T>::freeVariables(x);
}

/// Types: sarkel::applySubstitution and sarkel::freeVariables of a Type.
template <>
struct TypeSubstitution<hs::th::Type> {
  /// \privatesection
  [[nodiscard]] static hs::th::Type applySubstitution(const Substitution& s, const hs::th::Type& t) {
    return sarkel::applySubstitution(s, t);
  }
  [[nodiscard]] static std::vector<hs::th::Name> freeVariables(const hs::th::Type& t) {
    return sarkel::freeVariables(t);
  }
};
/// Constructor descriptions: sarkel::applySubstitution and sarkel::freeVariables of a
/// ConstructorInfo.
template <>
struct TypeSubstitution<ConstructorInfo> {
  /// \privatesection
  [[nodiscard]] static ConstructorInfo applySubstitution(const Substitution& s, const ConstructorInfo& c) {
    return sarkel::applySubstitution(s, c);
  }
  [[nodiscard]] static std::vector<hs::th::Name> freeVariables(const ConstructorInfo& c) {
    return sarkel::freeVariables(c);
  }
};

namespace internal {
// Appends the names of `more` that `acc` lacks, in order.
void appendNewNames(std::vector<hs::th::Name>& acc, const std::vector<hs::th::Name>& more);
}  // namespace internal

/// Each element substituted; the free variables of the elements, in order, without duplicates.
template <class T>
requires Substitutable<T>
struct TypeSubstitution<std::vector<T>> {
  /// \privatesection
  [[nodiscard]] static std::vector<T> applySubstitution(const Substitution& s, const std::vector<T>& xs) {
    std::vector<T> out;
    out.reserve(xs.size());
    for (const T& x : xs) out.push_back(sarkel::TypeSubstitution<T>::applySubstitution(s, x));
    return out;
  }
  [[nodiscard]] static std::vector<hs::th::Name> freeVariables(const std::vector<T>& xs) {
    std::vector<hs::th::Name> out;
    for (const T& x : xs)
      sarkel::internal::appendNewNames(out, sarkel::TypeSubstitution<T>::freeVariables(x));
    return out;
  }
};

/// Every type of s1 substituted with s2, then united with s2; for a name in both, s1's entry wins.
[[nodiscard]] Substitution combineSubstitutions(const Substitution& s1, const Substitution& s2);

/// The type with every free variable renamed to a fresh name of the same base; the fresh names are
/// made in ascending name order of the variables.
[[nodiscard]] hs::th::Type freshenFreeVariables(hs::th::Q& q, const hs::th::Type& t);

/// The free variables of the types, each after every variable that its kind (as a kind signature
/// in the types gives it) mentions, directly or through other variables; otherwise in order of
/// first occurrence. A variable with a kind signature is a KindedTV with that kind (the first
/// signature met, list order first), any other a PlainTV. Time n log n in the variables (plus
/// the walks over the types), memory linear in the variables and their kinds.
[[nodiscard]] std::vector<hs::th::TyVarBndrUnit> freeVariablesWellScoped(const std::vector<hs::th::Type>& ts);

/// The type quantified over its free variables (well-scoped, with specified visibility), in front
/// of
/// the binders of a quantifier it already is; the type itself when it has no free variable.
[[nodiscard]] hs::th::Type quantifyType(const hs::th::Type& t);

namespace internal {

// The substitution to use under the binders, and the binders with their kinds substituted (each
// kind with the substitution left by the binders before it) and renamed where they would capture
// (see applySubstitution).
[[nodiscard]] std::pair<Substitution, std::vector<hs::th::TyVarBndrUnit>> substituteBinders(
    const Substitution& s, const std::vector<hs::th::TyVarBndrUnit>& bs);
[[nodiscard]] std::pair<Substitution, std::vector<hs::th::TyVarBndrSpec>> substituteBinders(
    const Substitution& s, const std::vector<hs::th::TyVarBndrSpec>& bs);

// The kinds that kind signatures in t give to variables it does not bind; of two signatures of
// one variable the outer one, then the one further left, wins. Kind signatures under round
// brackets, in operator applications and in binder kinds are not looked at.
[[nodiscard]] KindMap kindedFreeVariables(const hs::th::Type& t);

// The binder with the flag SpecifiedSpec.
[[nodiscard]] hs::th::TyVarBndrSpec specifiedBinder(const hs::th::TyVarBndrUnit& b);

}  // namespace internal

/// @}
}  // namespace sarkel
