// The Data capability of the description records and their enumerations, as derived instances
// give it: the records with their field names, the enumerations' constructors in declared order.
#pragma once

#include <tuple>
#include <utility>
#include <vector>

#include "hs/data.hpp"
#include "hs/th/data.hpp"
#include "sarkel/datatype/records.hpp"

namespace sarkel::internal {
[[nodiscard]] const hs::data::DataType& datatypeInfoDataType();
[[nodiscard]] const hs::data::DataType& constructorInfoDataType();
[[nodiscard]] const hs::data::DataType& fieldStrictnessDataType();
[[nodiscard]] const hs::data::DataType& strictnessDataType();
[[nodiscard]] const hs::data::DataType& unpackednessDataType();
[[nodiscard]] const hs::data::DataType& constructorVariantDataType();
[[nodiscard]] const hs::data::DataType& datatypeVariantDataType();
[[nodiscard]] inline const ConstructorVariant::Node& variantNode(const ConstructorVariant& v) { return v.node(); }
}  // namespace sarkel::internal

namespace hs::data {
/// \addtogroup sarkel_datatype
/// @{

/// The record's seven fields, in declared order.
template <>
struct ConstructorView<sarkel::DatatypeInfo> {
  /// \privatesection
  using Fields =
      std::tuple<th::Cxt, th::Name, std::vector<th::TyVarBndrUnit>, std::vector<th::Type>,
                 sarkel::DatatypeVariant, th::Kind, std::vector<sarkel::ConstructorInfo>>;
  [[nodiscard]] static Fields fields(const sarkel::DatatypeInfo& i) {
    return {i.datatypeContext, i.datatypeName,       i.datatypeVars, i.datatypeInstTypes,
            i.datatypeVariant, i.datatypeReturnKind, i.datatypeCons};
  }
  [[nodiscard]] static sarkel::DatatypeInfo make(th::Cxt cx, th::Name n, std::vector<th::TyVarBndrUnit> vs,
                                   std::vector<th::Type> ts, sarkel::DatatypeVariant v, th::Kind k,
                                   std::vector<sarkel::ConstructorInfo> cs) {
    return {std::move(cx), std::move(n), std::move(vs), std::move(ts), v,
            std::move(k),  std::move(cs)};
  }
};
/// The record's six fields, in declared order.
template <>
struct ConstructorView<sarkel::ConstructorInfo> {
  /// \privatesection
  using Fields =
      std::tuple<th::Name, std::vector<th::TyVarBndrUnit>, th::Cxt, std::vector<th::Type>,
                 std::vector<sarkel::FieldStrictness>, sarkel::ConstructorVariant>;
  [[nodiscard]] static Fields fields(const sarkel::ConstructorInfo& c) {
    return {c.constructorName,   c.constructorVars,       c.constructorContext,
            c.constructorFields, c.constructorStrictness, c.constructorVariant};
  }
  [[nodiscard]] static sarkel::ConstructorInfo make(th::Name n, std::vector<th::TyVarBndrUnit> vs, th::Cxt cx,
                                      std::vector<th::Type> fs,
                                      std::vector<sarkel::FieldStrictness> ss,
                                      sarkel::ConstructorVariant v) {
    return {std::move(n), std::move(vs), std::move(cx), std::move(fs), std::move(ss), std::move(v)};
  }
};
/// The record's two fields, in declared order.
template <>
struct ConstructorView<sarkel::FieldStrictness> : AggregateView<sarkel::FieldStrictness, 2> {};
/// No fields.
template <>
struct ConstructorView<sarkel::NormalConstructor> : AggregateView<sarkel::NormalConstructor, 0> {};
/// No fields.
template <>
struct ConstructorView<sarkel::InfixConstructor> : AggregateView<sarkel::InfixConstructor, 0> {};
/// One field: the selector names.
template <>
struct ConstructorView<sarkel::RecordConstructor> : AggregateView<sarkel::RecordConstructor, 1> {};

/// @}
}  // namespace hs::data

namespace hs {
/// \addtogroup sarkel_datatype
/// @{

/// DatatypeInfo ("Sarkel.Datatype.DatatypeInfo"): one record constructor, DatatypeInfo, with
/// its seven field names.
template <>
struct Data<sarkel::DatatypeInfo>
    : data::RecordData<sarkel::DatatypeInfo, sarkel::internal::datatypeInfoDataType> {};
/// ConstructorInfo: one record constructor, ConstructorInfo, with its six field names.
template <>
struct Data<sarkel::ConstructorInfo>
    : data::RecordData<sarkel::ConstructorInfo, sarkel::internal::constructorInfoDataType> {};
/// FieldStrictness: one record constructor, FieldStrictness, with its two field names.
template <>
struct Data<sarkel::FieldStrictness>
    : data::RecordData<sarkel::FieldStrictness, sarkel::internal::fieldStrictnessDataType> {};
/// Strictness: UnspecifiedStrictness, Lazy, Strict.
template <>
struct Data<sarkel::Strictness>
    : data::EnumData<sarkel::Strictness, sarkel::internal::strictnessDataType, 3> {};
/// Unpackedness: UnspecifiedUnpackedness, NoUnpack, Unpack.
template <>
struct Data<sarkel::Unpackedness>
    : data::EnumData<sarkel::Unpackedness, sarkel::internal::unpackednessDataType, 3> {};
/// DatatypeVariant: Datatype, Newtype, DataInstance, NewtypeInstance, TypeData.
template <>
struct Data<sarkel::DatatypeVariant>
    : data::EnumData<sarkel::DatatypeVariant, sarkel::internal::datatypeVariantDataType, 5> {};
/// ConstructorVariant: NormalConstructor, InfixConstructor, RecordConstructor (its selector
/// list the one field).
template <>
struct Data<sarkel::ConstructorVariant>
    : data::VariantData<sarkel::ConstructorVariant, sarkel::ConstructorVariant::Node,
                        sarkel::internal::constructorVariantDataType,
                        sarkel::internal::variantNode> {};

/// @}
}  // namespace hs
