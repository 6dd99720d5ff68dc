// The Data capability of the reflection library's names, types, binders and type literals, as
// the library's derived instances give it: one constructor description per form, in the
// library's constructor order, and the forms' fields in order.
//
// A name's generic view has the library's own shape: Name of an OccName and a flavour, the
// module and package names of flavours as ModName and PkgName, and uniques as integers (the
// Integer view is IntegerL, whose integral constructors hold 64-bit values: a unique or a type
// literal beyond 2^63 - 1 raises a program error when its constructor is asked for). Other
// integer fields (tuple arities) are Ints.
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

// The newtypes around the strings of a name, as its generic view has them.
struct OccName {
  std::string value;
  friend bool operator==(const OccName&, const OccName&) = default;
};
struct ModName {
  std::string value;
  friend bool operator==(const ModName&, const ModName&) = default;
};
struct PkgName {
  std::string value;
  friend bool operator==(const PkgName&, const PkgName&) = default;
};

namespace detail {
const hs::data::DataType& nameDataType();
const hs::data::DataType& occNameDataType();
const hs::data::DataType& modNameDataType();
const hs::data::DataType& pkgNameDataType();
const hs::data::DataType& nameFlavourDataType();
const hs::data::DataType& nameSpaceDataType();
const hs::data::DataType& integerDataType();
const hs::data::DataType& typeDataType();
const hs::data::DataType& tyVarBndrDataType();
const hs::data::DataType& specificityDataType();
const hs::data::DataType& tyLitDataType();
// The integral constructor of an integer literal; a program error beyond the 64-bit range.
hs::data::Constr integerConstr(const IntegerL& i);
// The 64-bit value of an integer literal made from one (an integral constructor's value).
std::int64_t integerValue(const IntegerL& i);

inline const Type::Node& typeNode(const Type& t) { return t.node(); }
inline const NameFlavour& flavourNode(const NameFlavour& f) { return f; }
inline const TyLit& tyLitNode(const TyLit& l) { return l; }
template <class Flag>
const typename TyVarBndr<Flag>::Node& binderNode(const TyVarBndr<Flag>& b) {
  return b.node();
}
}  // namespace detail

}  // namespace hs::th

namespace hs::data {

// ---- Views of the constructors ------------------------------------------------------------------

template <>
struct ConstructorView<th::Name> {
  using Fields = std::tuple<th::OccName, th::NameFlavour>;
  static Fields fields(const th::Name& n) { return {th::OccName{n.occ}, n.flavour}; }
  static th::Name make(th::OccName o, th::NameFlavour f) {
    return th::Name{std::move(o.value), std::move(f)};
  }
};
template <>
struct ConstructorView<th::OccName> : AggregateView<th::OccName, 1> {};
template <>
struct ConstructorView<th::ModName> : AggregateView<th::ModName, 1> {};
template <>
struct ConstructorView<th::PkgName> : AggregateView<th::PkgName, 1> {};

template <>
struct ConstructorView<th::NameS> : AggregateView<th::NameS, 0> {};
template <>
struct ConstructorView<th::NameQ> {
  using Fields = std::tuple<th::ModName>;
  static Fields fields(const th::NameQ& q) { return {th::ModName{q.module}}; }
  static th::NameQ make(th::ModName m) { return th::NameQ{std::move(m.value)}; }
};
template <class U>
requires std::is_same_v<U, th::NameU> || std::is_same_v<U, th::NameL>
struct ConstructorView<U> {
  using Fields = std::tuple<th::IntegerL>;
  static Fields fields(const U& u) { return {th::IntegerL(u.unique)}; }
  static U make(const th::IntegerL& i) {
    return U{static_cast<th::Uniq>(th::detail::integerValue(i))};
  }
};
template <>
struct ConstructorView<th::NameG> {
  using Fields = std::tuple<th::NameSpace, th::PkgName, th::ModName>;
  static Fields fields(const th::NameG& g) {
    return {g.space, th::PkgName{g.package}, th::ModName{g.module}};
  }
  static th::NameG make(th::NameSpace s, th::PkgName p, th::ModName m) {
    return th::NameG{s, std::move(p.value), std::move(m.value)};
  }
};

// Type forms: most take their members as they are; arities are Ints.
template <class F>
requires(std::is_same_v<F, th::ForallT> || std::is_same_v<F, th::InfixT> ||
         std::is_same_v<F, th::UInfixT> || std::is_same_v<F, th::PromotedInfixT> ||
         std::is_same_v<F, th::PromotedUInfixT>) struct ConstructorView<F> : AggregateView<F, 3> {
};
template <class F>
requires(std::is_same_v<F, th::ForallVisT> || std::is_same_v<F, th::AppT> ||
         std::is_same_v<F, th::AppKindT> || std::is_same_v<F, th::SigT> ||
         std::is_same_v<F, th::ImplicitParamT>) struct ConstructorView<F> : AggregateView<F, 2> {
};
template <class F>
requires(std::is_same_v<F, th::VarT> || std::is_same_v<F, th::ConT> ||
         std::is_same_v<F, th::PromotedT> || std::is_same_v<F, th::ParensT> ||
         std::is_same_v<F, th::LitT>) struct ConstructorView<F> : AggregateView<F, 1> {
};
template <class F>
requires(std::is_same_v<F, th::ArrowT> || std::is_same_v<F, th::MulArrowT> ||
         std::is_same_v<F, th::EqualityT> || std::is_same_v<F, th::ListT> ||
         std::is_same_v<F, th::PromotedNilT> || std::is_same_v<F, th::PromotedConsT> ||
         std::is_same_v<F, th::StarT> || std::is_same_v<F, th::ConstraintT> ||
         std::is_same_v<F, th::WildCardT>) struct ConstructorView<F> : AggregateView<F, 0> {
};
template <class F>
requires(std::is_same_v<F, th::TupleT> || std::is_same_v<F, th::UnboxedTupleT> ||
         std::is_same_v<F, th::UnboxedSumT> ||
         std::is_same_v<F, th::PromotedTupleT>) struct ConstructorView<F> {
  using Fields = std::tuple<std::int64_t>;
  static Fields fields(const F& x) { return {std::int64_t{x.arity}}; }
  static F make(std::int64_t arity) { return F{static_cast<int>(arity)}; }
};

template <class Flag>
struct ConstructorView<th::PlainTV<Flag>> : AggregateView<th::PlainTV<Flag>, 2> {};
template <class Flag>
struct ConstructorView<th::KindedTV<Flag>> : AggregateView<th::KindedTV<Flag>, 3> {};

template <>
struct ConstructorView<th::NumTyLit> {
  using Fields = std::tuple<th::IntegerL>;
  static Fields fields(const th::NumTyLit& l) { return {l.value()}; }
  static th::NumTyLit make(const th::IntegerL& i) {
    return th::NumTyLit(th::detail::integerValue(i));
  }
};
template <>
struct ConstructorView<th::StrTyLit> : AggregateView<th::StrTyLit, 1> {};
template <>
struct ConstructorView<th::CharTyLit> : AggregateView<th::CharTyLit, 1> {};

}  // namespace hs::data

namespace hs {

template <>
struct Data<th::Name> : hs::data::RecordData<th::Name, th::detail::nameDataType> {};
template <>
struct Data<th::OccName> : hs::data::RecordData<th::OccName, th::detail::occNameDataType> {};
template <>
struct Data<th::ModName> : hs::data::RecordData<th::ModName, th::detail::modNameDataType> {};
template <>
struct Data<th::PkgName> : hs::data::RecordData<th::PkgName, th::detail::pkgNameDataType> {};
template <>
struct Data<th::NameFlavour>
    : hs::data::VariantData<th::NameFlavour, th::NameFlavour, th::detail::nameFlavourDataType,
                            th::detail::flavourNode> {};
template <>
struct Data<th::NameSpace> : hs::data::EnumData<th::NameSpace, th::detail::nameSpaceDataType, 3> {};
template <>
struct Data<th::Specificity>
    : hs::data::EnumData<th::Specificity, th::detail::specificityDataType, 2> {};

// Integers: an integral data type.
template <>
struct Data<th::IntegerL> {
  static data::DataType dataTypeOf() { return th::detail::integerDataType(); }
  static data::Constr toConstr(const th::IntegerL& i) { return th::detail::integerConstr(i); }
  template <class K, class Z>
  static data::ContextOf<Z, th::IntegerL> gunfold(K&&, Z&& z, const data::Constr& c) {
    if (const auto* i = std::get_if<data::IntConstr>(&data::constrRep(c)))
      return z(th::IntegerL(i->value));
    errorWithoutStackTrace("Data.Data.gunfold: Constructor " + data::showConstr(c) +
                           " is not of type Integer.");
  }
};

template <>
struct Data<th::Type> : hs::data::VariantData<th::Type, th::Type::Node, th::detail::typeDataType,
                                              th::detail::typeNode> {};
template <>
struct Data<th::TyLit> : hs::data::VariantData<th::TyLit, th::TyLit, th::detail::tyLitDataType,
                                               th::detail::tyLitNode> {};

template <class Flag>
struct Data<th::TyVarBndr<Flag>>
    : hs::data::VariantData<th::TyVarBndr<Flag>, typename th::TyVarBndr<Flag>::Node,
                            th::detail::tyVarBndrDataType, th::detail::binderNode<Flag>> {
  template <class Tag, class R, class F>
  static std::optional<R> dataCast1(F& f) {
    return data::gcast1<th::TyVarBndr<Flag>, Flag, Tag, R>(f);
  }
};

}  // namespace hs
