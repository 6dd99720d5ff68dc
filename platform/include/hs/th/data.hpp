/// \defgroup hs_th_data hs/th/data.hpp
/// \ingroup hsplatform
/// The Data capability of the reflection library's names, types, binders and type literals, as
/// the library's derived instances give it: one constructor description per form, in the
/// library's constructor order, and the forms' fields in order.
///
/// A name's generic view has the library's own shape: Name of an OccName and a flavour, the
/// module and package names of flavours as ModName and PkgName, and uniques as integers (the
/// Integer view is IntegerL, whose integral constructors hold 64-bit values: a unique or a type
/// literal beyond 2^63 - 1 raises a program error when its constructor is asked for). Other
/// integer fields (tuple arities) are Ints; rebuilding a form from an Int beyond the range of
/// the syntax tree's int is a program error. The folds copy each field out of its form (a type
/// field copies a handle, a name its strings).
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/data.hpp"
#include "hs/th/syntax.hpp"

namespace hs::th {
/// \addtogroup hs_th_data
/// @{

// The newtypes around the strings of a name, as its generic view has them.

/// An occurrence name, as a name's generic view has it.
struct OccName {
  std::string value;  ///< The occurrence name.
  friend bool operator==(const OccName&, const OccName&) = default;
};
/// A module name, as a flavour's generic view has it.
struct ModName {
  std::string value;  ///< The module name.
  friend bool operator==(const ModName&, const ModName&) = default;
};
/// A package name, as a global flavour's generic view has it.
struct PkgName {
  std::string value;  ///< The package name.
  friend bool operator==(const PkgName&, const PkgName&) = default;
};

namespace detail {
[[nodiscard]] const hs::data::DataType& nameDataType();
[[nodiscard]] const hs::data::DataType& occNameDataType();
[[nodiscard]] const hs::data::DataType& modNameDataType();
[[nodiscard]] const hs::data::DataType& pkgNameDataType();
[[nodiscard]] const hs::data::DataType& nameFlavourDataType();
[[nodiscard]] const hs::data::DataType& nameSpaceDataType();
[[nodiscard]] const hs::data::DataType& integerDataType();
[[nodiscard]] const hs::data::DataType& typeDataType();
[[nodiscard]] const hs::data::DataType& tyVarBndrDataType();
[[nodiscard]] const hs::data::DataType& specificityDataType();
[[nodiscard]] const hs::data::DataType& tyLitDataType();
// The integral constructor of an integer literal; a program error beyond the 64-bit range.
[[nodiscard]] hs::data::Constr integerConstr(const IntegerL& i);
// The 64-bit value of an integer literal made from one (an integral constructor's value).
[[nodiscard]] std::int64_t integerValue(const IntegerL& i);
// An arity of the syntax tree from an Int; a program error beyond int's range.
[[nodiscard]] int arityValue(std::int64_t arity);

[[nodiscard]] inline const Type::Node& typeNode(const Type& t) { return t.node(); }
[[nodiscard]] inline const NameFlavour& flavourNode(const NameFlavour& f) { return f; }
[[nodiscard]] inline const TyLit& tyLitNode(const TyLit& l) { return l; }
template <class Flag>
[[nodiscard]] const typename TyVarBndr<Flag>::Node& binderNode(const TyVarBndr<Flag>& b) {
  return b.node();
}
}  // namespace detail

/// @}
}  // namespace hs::th

namespace hs::data {
/// \addtogroup hs_th_data
/// @{

// ---- Views of the constructors ------------------------------------------------------------------

/// Name: an OccName and the flavour.
template <>
struct ConstructorView<th::Name> {
  /// \privatesection
  using Fields = std::tuple<th::OccName, th::NameFlavour>;
  [[nodiscard]] static Fields fields(const th::Name& n) { return {th::OccName{n.occ}, n.flavour}; }
  [[nodiscard]] static th::Name make(th::OccName o, th::NameFlavour f) {
    return th::Name{std::move(o.value), std::move(f)};
  }
};
/// OccName: its string.
template <>
struct ConstructorView<th::OccName> : AggregateView<th::OccName, 1> {};
/// ModName: its string.
template <>
struct ConstructorView<th::ModName> : AggregateView<th::ModName, 1> {};
/// PkgName: its string.
template <>
struct ConstructorView<th::PkgName> : AggregateView<th::PkgName, 1> {};

/// NameS: no fields.
template <>
struct ConstructorView<th::NameS> : AggregateView<th::NameS, 0> {};
/// NameQ: a ModName.
template <>
struct ConstructorView<th::NameQ> {
  /// \privatesection
  using Fields = std::tuple<th::ModName>;
  [[nodiscard]] static Fields fields(const th::NameQ& q) { return {th::ModName{q.module}}; }
  [[nodiscard]] static th::NameQ make(th::ModName m) { return th::NameQ{std::move(m.value)}; }
};
/// NameU and NameL: the unique as an integer (a program error beyond 2^63 - 1 when rebuilt).
template <class U>
requires std::is_same_v<U, th::NameU> || std::is_same_v<U, th::NameL>
struct ConstructorView<U> {
  /// \privatesection
  using Fields = std::tuple<th::IntegerL>;
  [[nodiscard]] static Fields fields(const U& u) { return {th::IntegerL(u.unique)}; }
  [[nodiscard]] static U make(const th::IntegerL& i) {
    return U{static_cast<th::Uniq>(th::detail::integerValue(i))};
  }
};
/// NameG: the name space, a PkgName and a ModName.
template <>
struct ConstructorView<th::NameG> {
  /// \privatesection
  using Fields = std::tuple<th::NameSpace, th::PkgName, th::ModName>;
  [[nodiscard]] static Fields fields(const th::NameG& g) {
    return {g.space, th::PkgName{g.package}, th::ModName{g.module}};
  }
  [[nodiscard]] static th::NameG make(th::NameSpace s, th::PkgName p, th::ModName m) {
    return th::NameG{s, std::move(p.value), std::move(m.value)};
  }
};

// Type forms: most take their members as they are; arities are Ints.

/// The type forms of three members, as they are.
template <class F>
requires(std::is_same_v<F, th::ForallT> || std::is_same_v<F, th::InfixT> ||
         std::is_same_v<F, th::UInfixT> || std::is_same_v<F, th::PromotedInfixT> ||
         std::is_same_v<F, th::PromotedUInfixT>) struct ConstructorView<F> : AggregateView<F, 3> {
};
/// The type forms of two members, as they are.
template <class F>
requires(std::is_same_v<F, th::ForallVisT> || std::is_same_v<F, th::AppT> ||
         std::is_same_v<F, th::AppKindT> || std::is_same_v<F, th::SigT> ||
         std::is_same_v<F, th::ImplicitParamT>) struct ConstructorView<F> : AggregateView<F, 2> {
};
/// The type forms of one member, as it is.
template <class F>
requires(std::is_same_v<F, th::VarT> || std::is_same_v<F, th::ConT> ||
         std::is_same_v<F, th::PromotedT> || std::is_same_v<F, th::ParensT> ||
         std::is_same_v<F, th::LitT>) struct ConstructorView<F> : AggregateView<F, 1> {
};
/// The type forms without members.
template <class F>
requires(std::is_same_v<F, th::ArrowT> || std::is_same_v<F, th::MulArrowT> ||
         std::is_same_v<F, th::EqualityT> || std::is_same_v<F, th::ListT> ||
         std::is_same_v<F, th::PromotedNilT> || std::is_same_v<F, th::PromotedConsT> ||
         std::is_same_v<F, th::StarT> || std::is_same_v<F, th::ConstraintT> ||
         std::is_same_v<F, th::WildCardT>) struct ConstructorView<F> : AggregateView<F, 0> {
};
/// The type forms of an arity: the arity as an Int (a program error beyond int's range when
/// rebuilt).
template <class F>
requires(std::is_same_v<F, th::TupleT> || std::is_same_v<F, th::UnboxedTupleT> ||
         std::is_same_v<F, th::UnboxedSumT> ||
         std::is_same_v<F, th::PromotedTupleT>) struct ConstructorView<F> {
  /// \privatesection
  using Fields = std::tuple<std::int64_t>;
  [[nodiscard]] static Fields fields(const F& x) { return {std::int64_t{x.arity}}; }
  [[nodiscard]] static F make(std::int64_t arity) { return F{th::detail::arityValue(arity)}; }
};

/// PlainTV: the name and the flag.
template <class Flag>
struct ConstructorView<th::PlainTV<Flag>> : AggregateView<th::PlainTV<Flag>, 2> {};
/// KindedTV: the name, the flag and the kind.
template <class Flag>
struct ConstructorView<th::KindedTV<Flag>> : AggregateView<th::KindedTV<Flag>, 3> {};

/// NumTyLit: the number as an integer (a program error beyond 2^63 - 1 when rebuilt).
template <>
struct ConstructorView<th::NumTyLit> {
  /// \privatesection
  using Fields = std::tuple<th::IntegerL>;
  [[nodiscard]] static Fields fields(const th::NumTyLit& l) { return {l.value()}; }
  [[nodiscard]] static th::NumTyLit make(const th::IntegerL& i) {
    return th::NumTyLit(th::detail::integerValue(i));
  }
};
/// StrTyLit: its string.
template <>
struct ConstructorView<th::StrTyLit> : AggregateView<th::StrTyLit, 1> {};
/// CharTyLit: its character.
template <>
struct ConstructorView<th::CharTyLit> : AggregateView<th::CharTyLit, 1> {};

/// @}
}  // namespace hs::data

namespace hs {
/// \addtogroup hs_th_data
/// @{

/// Name ("Language.Haskell.TH.Syntax.Name"): one constructor, Name.
template <>
struct Data<th::Name> : hs::data::RecordData<th::Name, th::detail::nameDataType> {};
/// OccName: one constructor, OccName.
template <>
struct Data<th::OccName> : hs::data::RecordData<th::OccName, th::detail::occNameDataType> {};
/// ModName: one constructor, ModName.
template <>
struct Data<th::ModName> : hs::data::RecordData<th::ModName, th::detail::modNameDataType> {};
/// PkgName: one constructor, PkgName.
template <>
struct Data<th::PkgName> : hs::data::RecordData<th::PkgName, th::detail::pkgNameDataType> {};
/// NameFlavour: NameS, NameQ, NameU, NameL, NameG.
template <>
struct Data<th::NameFlavour>
    : hs::data::VariantData<th::NameFlavour, th::NameFlavour, th::detail::nameFlavourDataType,
                            th::detail::flavourNode> {};
/// NameSpace: VarName, DataName, TcClsName.
template <>
struct Data<th::NameSpace> : hs::data::EnumData<th::NameSpace, th::detail::nameSpaceDataType, 3> {};
/// Specificity: SpecifiedSpec, InferredSpec.
template <>
struct Data<th::Specificity>
    : hs::data::EnumData<th::Specificity, th::detail::specificityDataType, 2> {};

/// Integers ("Prelude.Integer"): an integral data type whose constructors are the 64-bit values
/// (toConstr of a literal beyond that range is a program error); no fields.
template <>
struct Data<th::IntegerL> {
  /// \privatesection
  [[nodiscard]] static data::DataType dataTypeOf() { return th::detail::integerDataType(); }
  [[nodiscard]] static data::Constr toConstr(const th::IntegerL& i) { return th::detail::integerConstr(i); }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, th::IntegerL> gunfold(K&&, Z&& z, const data::Constr& c) {
    if (const auto* i = std::get_if<data::IntConstr>(&data::constrRep(c)))
      return z(th::IntegerL(i->value));
    errorWithoutStackTrace("Data.Data.gunfold: Constructor " + data::showConstr(c) +
                           " is not of type Integer.");
  }
};

/// Type: one constructor per form, in the library's order; a rebuilt type is a new node.
template <>
struct Data<th::Type> : hs::data::VariantData<th::Type, th::Type::Node, th::detail::typeDataType,
                                              th::detail::typeNode> {};
/// TyLit: NumTyLit, StrTyLit, CharTyLit.
template <>
struct Data<th::TyLit> : hs::data::VariantData<th::TyLit, th::TyLit, th::detail::tyLitDataType,
                                               th::detail::tyLitNode> {};

/// TyVarBndr: PlainTV, KindedTV; dataCast1 at the flag type.
template <class Flag>
struct Data<th::TyVarBndr<Flag>>
    : hs::data::VariantData<th::TyVarBndr<Flag>, typename th::TyVarBndr<Flag>::Node,
                            th::detail::tyVarBndrDataType, th::detail::binderNode<Flag>> {
  /// \privatesection
  template <class Tag, class R, class F>
  [[nodiscard]] static std::optional<R> dataCast1(F& f) {
    return data::gcast1<th::TyVarBndr<Flag>, Flag, Tag, R>(f);
  }
};

/// @}
}  // namespace hs
