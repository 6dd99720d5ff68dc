#include "sarkel/datatype/data.hpp"

namespace sarkel::internal {

namespace {

hs::data::DataType moduleType(const char* name, std::vector<hs::data::ConstrSpec> constrs) {
  return hs::data::mkDataType(std::string("Sarkel.Datatype.") + name, std::move(constrs));
}

}  // namespace

const hs::data::DataType& datatypeInfoDataType() {
  static const hs::data::DataType t = moduleType(
      "DatatypeInfo", {{"DatatypeInfo",
                        {"datatypeContext", "datatypeName", "datatypeVars", "datatypeInstTypes",
                         "datatypeVariant", "datatypeReturnKind", "datatypeCons"}}});
  return t;
}
const hs::data::DataType& constructorInfoDataType() {
  static const hs::data::DataType t = moduleType(
      "ConstructorInfo", {{"ConstructorInfo",
                           {"constructorName", "constructorVars", "constructorContext",
                            "constructorFields", "constructorStrictness", "constructorVariant"}}});
  return t;
}
const hs::data::DataType& fieldStrictnessDataType() {
  static const hs::data::DataType t = moduleType(
      "FieldStrictness", {{"FieldStrictness", {"fieldUnpackedness", "fieldStrictness"}}});
  return t;
}
const hs::data::DataType& strictnessDataType() {
  static const hs::data::DataType t =
      moduleType("Strictness", {"UnspecifiedStrictness", "Lazy", "Strict"});
  return t;
}
const hs::data::DataType& unpackednessDataType() {
  static const hs::data::DataType t =
      moduleType("Unpackedness", {"UnspecifiedUnpackedness", "NoUnpack", "Unpack"});
  return t;
}
const hs::data::DataType& constructorVariantDataType() {
  static const hs::data::DataType t = moduleType(
      "ConstructorVariant", {"NormalConstructor", "InfixConstructor", "RecordConstructor"});
  return t;
}
const hs::data::DataType& datatypeVariantDataType() {
  static const hs::data::DataType t = moduleType(
      "DatatypeVariant", {"Datatype", "Newtype", "DataInstance", "NewtypeInstance", "TypeData"});
  return t;
}

}  // namespace sarkel::internal
