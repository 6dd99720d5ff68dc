#include "hs/th/data.hpp"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace hs::th::detail {

namespace {

hs::data::DataType syntaxType(const char* name, std::vector<hs::data::ConstrSpec> constrs) {
  return hs::data::mkDataType(std::string("Language.Haskell.TH.Syntax.") + name,
                              std::move(constrs));
}

}  // namespace

const hs::data::DataType& nameDataType() {
  static const hs::data::DataType t = syntaxType("Name", {"Name"});
  return t;
}
const hs::data::DataType& occNameDataType() {
  static const hs::data::DataType t = syntaxType("OccName", {"OccName"});
  return t;
}
const hs::data::DataType& modNameDataType() {
  static const hs::data::DataType t = syntaxType("ModName", {"ModName"});
  return t;
}
const hs::data::DataType& pkgNameDataType() {
  static const hs::data::DataType t = syntaxType("PkgName", {"PkgName"});
  return t;
}
const hs::data::DataType& nameFlavourDataType() {
  static const hs::data::DataType t =
      syntaxType("NameFlavour", {"NameS", "NameQ", "NameU", "NameL", "NameG"});
  return t;
}
const hs::data::DataType& nameSpaceDataType() {
  static const hs::data::DataType t = syntaxType("NameSpace", {"VarName", "DataName", "TcClsName"});
  return t;
}
const hs::data::DataType& integerDataType() {
  static const hs::data::DataType t = hs::data::mkIntType("Prelude.Integer");
  return t;
}
const hs::data::DataType& typeDataType() {
  static const hs::data::DataType t =
      syntaxType("Type", {"ForallT",        "ForallVisT",   "AppT",           "AppKindT",
                          "SigT",           "VarT",         "ConT",           "PromotedT",
                          "InfixT",         "UInfixT",      "PromotedInfixT", "PromotedUInfixT",
                          "ParensT",        "TupleT",       "UnboxedTupleT",  "UnboxedSumT",
                          "ArrowT",         "MulArrowT",    "EqualityT",      "ListT",
                          "PromotedTupleT", "PromotedNilT", "PromotedConsT",  "StarT",
                          "ConstraintT",    "LitT",         "WildCardT",      "ImplicitParamT"});
  return t;
}
const hs::data::DataType& tyVarBndrDataType() {
  static const hs::data::DataType t = syntaxType("TyVarBndr", {"PlainTV", "KindedTV"});
  return t;
}
const hs::data::DataType& specificityDataType() {
  static const hs::data::DataType t = syntaxType("Specificity", {"SpecifiedSpec", "InferredSpec"});
  return t;
}
const hs::data::DataType& tyLitDataType() {
  static const hs::data::DataType t = syntaxType("TyLit", {"NumTyLit", "StrTyLit", "CharTyLit"});
  return t;
}

std::int64_t integerValue(const IntegerL& i) {
  const std::string& text = i.text();
  std::int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size())
    errorWithoutStackTrace("Data.Data.mkIntegralConstr: " + text +
                           " does not fit an integral constructor");
  return v;
}

int arityValue(std::int64_t arity) {
  if (arity < std::numeric_limits<int>::min() || arity > std::numeric_limits<int>::max())
    errorWithoutStackTrace("Data.Data: arity " + std::to_string(arity) + " does not fit an int");
  return static_cast<int>(arity);
}

hs::data::Constr integerConstr(const IntegerL& i) {
  return hs::data::mkIntegralConstr(integerDataType(), integerValue(i));
}

}  // namespace hs::th::detail
