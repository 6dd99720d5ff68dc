#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hs/error.hpp"
#include "hs/read.hpp"
#include "sarkel/datatype.hpp"
#include "sarkel/package.hpp"

namespace {

namespace th = hs::th;
using sarkel::ConstructorInfo;
using sarkel::ConstructorVariant;
using sarkel::DatatypeInfo;
using sarkel::DatatypeVariant;
using sarkel::FieldStrictness;
using sarkel::RecordConstructor;
using sarkel::Strictness;
using sarkel::Unpackedness;
using th::Name;
using th::Type;

const Name a = th::mkName("a");
const Name b = th::mkNameU("b", 7);
const Name intN = th::mkNameG_tc("ghc-prim", "GHC.Types", "Int");

std::string at(int d, const auto& x) {
  std::string out;
  sarkel::showsPrec(d, x, out);
  return out;
}

ConstructorInfo con(Name n, ConstructorVariant v, std::vector<Type> fields = {}) {
  std::vector<FieldStrictness> s(fields.size(), sarkel::notStrictAnnot);
  return ConstructorInfo{std::move(n), {}, {}, std::move(fields), std::move(s), std::move(v)};
}

DatatypeInfo datatype(std::vector<ConstructorInfo> cons) {
  return DatatypeInfo{{},
                      th::mkName("M.T"),
                      {th::PlainTV{a, hs::unit}},
                      {th::VarT{a}},
                      DatatypeVariant::Datatype,
                      th::StarT{},
                      std::move(cons)};
}

TEST(Records, TextFormsAtPrecedenceTenAndEleven) {
  struct Case {
    std::string at10;
    std::string at11;
  };
  const ConstructorInfo rec{th::mkName("Mk"),
                            {th::KindedTV{b, hs::unit, Type(th::StarT{})}},
                            {th::AppT{th::ConT{th::mkName("Show")}, th::VarT{b}}},
                            {th::VarT{b}},
                            {sarkel::unpackedAnnot},
                            RecordConstructor{{th::mkName("Data.M.field")}}};
  const std::string recText =
      "ConstructorInfo {constructorName = Mk, constructorVars = [KindedTV b_7 () StarT], "
      "constructorContext = [AppT (ConT Show) (VarT b_7)], constructorFields = [VarT b_7], "
      "constructorStrictness = [FieldStrictness {fieldUnpackedness = Unpack, fieldStrictness = "
      "Strict}], constructorVariant = RecordConstructor [Data.M.field]}";
  const std::string infoText =
      "DatatypeInfo {datatypeContext = [], datatypeName = M.T, datatypeVars = [PlainTV a ()], "
      "datatypeInstTypes = [VarT a], datatypeVariant = Datatype, datatypeReturnKind = StarT, "
      "datatypeCons = [" +
      recText +
      ",ConstructorInfo {constructorName = E, constructorVars = "
      "[], constructorContext = [], constructorFields = [], constructorStrictness = [], "
      "constructorVariant = InfixConstructor}]}";
  const std::pair<std::string, Case> cases[] = {
      {at(10, FieldStrictness{Unpackedness::Unpack, Strictness::Strict}),
       {"FieldStrictness {fieldUnpackedness = Unpack, fieldStrictness = Strict}",
        at(11, FieldStrictness{Unpackedness::Unpack, Strictness::Strict})}},
      {at(10, ConstructorVariant(RecordConstructor{})),
       {"RecordConstructor []", at(11, ConstructorVariant(RecordConstructor{}))}},
      {at(10, ConstructorVariant(RecordConstructor{{a, b}})),
       {"RecordConstructor [a,b_7]", at(11, ConstructorVariant(RecordConstructor{{a, b}}))}},
      {at(10, rec), {recText, at(11, rec)}},
      {at(10, datatype({rec, con(th::mkName("E"), sarkel::InfixConstructor{})})),
       {infoText, at(11, datatype({rec, con(th::mkName("E"), sarkel::InfixConstructor{})}))}},
  };
  for (const auto& [shown10, c] : cases) {
    EXPECT_EQ(shown10, c.at10);
    EXPECT_EQ(c.at11, "(" + c.at10 + ")");
  }
  // Nullary constructors are never bracketed.
  const std::pair<std::string, std::string> bare[] = {
      {at(11, Strictness::Lazy), "Lazy"},
      {at(11, Strictness::UnspecifiedStrictness), "UnspecifiedStrictness"},
      {at(11, Unpackedness::NoUnpack), "NoUnpack"},
      {at(11, DatatypeVariant::NewtypeInstance), "NewtypeInstance"},
      {at(11, ConstructorVariant(sarkel::NormalConstructor{})), "NormalConstructor"},
      {at(11, ConstructorVariant(sarkel::InfixConstructor{})), "InfixConstructor"},
  };
  for (const auto& [shown, text] : bare) EXPECT_EQ(shown, text);
  // The platform's writers agree.
  EXPECT_EQ(
      hs::show(std::vector<DatatypeVariant>{DatatypeVariant::Datatype, DatatypeVariant::TypeData}),
      "[Datatype,TypeData]");
}

TEST(Records, DatatypeVariantReader) {
  using R = std::vector<std::pair<DatatypeVariant, std::string>>;
  auto reads = [](int d, const std::string& s) {
    R out;
    for (auto& [v, rest] : hs::readsPrec<DatatypeVariant>(d, s)) out.emplace_back(v, rest);
    return out;
  };
  const std::pair<std::string, DatatypeVariant> names[] = {
      {"Datatype", DatatypeVariant::Datatype},
      {"Newtype", DatatypeVariant::Newtype},
      {"DataInstance", DatatypeVariant::DataInstance},
      {"NewtypeInstance", DatatypeVariant::NewtypeInstance},
      {"TypeData", DatatypeVariant::TypeData},
  };
  for (const auto& [text, v] : names)
    for (int d : {0, 11}) {
      EXPECT_EQ(reads(d, text), (R{{v, ""}})) << text;
      EXPECT_EQ(reads(d, " ( (" + text + " ) ) "), (R{{v, " "}})) << text;
    }
  EXPECT_EQ(reads(0, "Newtype word"), (R{{DatatypeVariant::Newtype, " word"}}));
  for (const char* bad : {"newtype", "Newtypes", "(Newtype", "((Newtype)", "Foo", "", "()",
                          "\"Newtype\"", "Newtype_"})
    EXPECT_TRUE(reads(0, bad).empty()) << bad;
  EXPECT_EQ(hs::read<std::vector<DatatypeVariant>>(" [ Newtype , (TypeData)]"),
            (std::vector<DatatypeVariant>{DatatypeVariant::Newtype, DatatypeVariant::TypeData}));
  EXPECT_EQ(hs::read<std::vector<DatatypeVariant>>("[]"), std::vector<DatatypeVariant>{});
  EXPECT_FALSE(hs::readMaybe<std::vector<DatatypeVariant>>("[Newtype,]"));
}

TEST(Records, LookupsCompareWholeNames) {
  const Name mkS = th::mkName("Mk");
  const Name mkQ = th::mkName("Other.Mk");
  const Name field = th::mkName("field");
  const DatatypeInfo info = datatype({
      con(mkQ, sarkel::NormalConstructor{}),
      con(mkS, RecordConstructor{{th::mkName("x")}}),
      con(th::mkName("R1"), RecordConstructor{{th::mkName("y"), field}}),
      con(th::mkName("R2"), RecordConstructor{{field}}),
  });
  EXPECT_EQ(sarkel::lookupByConstructorName(mkS, info).constructorName, mkS);
  EXPECT_EQ(sarkel::lookupByConstructorName(mkQ, info).constructorName, mkQ);
  // Two records share a selector: the first in declaration order.
  EXPECT_EQ(sarkel::lookupByRecordName(field, info).constructorName, th::mkName("R1"));

  // Same base string, other module or flavour: no match.
  const std::string site = std::string(sarkel::packageId());
  for (const Name& other :
       {th::mkName("Third.Mk"), th::mkNameU("Mk", 1), th::mkNameG_d("pkg", "Other", "Mk")}) {
    try {
      (void)sarkel::lookupByConstructorName(other, info);
      ADD_FAILURE() << th::showName(other);
    } catch (const hs::ProgramError& e) {
      EXPECT_EQ(e.message(), "Datatype T does not have a constructor named Mk");
      EXPECT_EQ(e.callStack().entries(),
                (std::vector<hs::SrcLoc>{
                    {"error", site, "Sarkel.Datatype", "src/Sarkel/Datatype", 425, 21, 425, 26}}));
    }
  }
  // A constructor name is not a selector; a non-record constructor never matches.
  for (const Name& n : {mkS, mkQ, th::mkNameU("field", 3)}) {
    try {
      (void)sarkel::lookupByRecordName(n, info);
      ADD_FAILURE() << th::showName(n);
    } catch (const hs::ProgramError& e) {
      EXPECT_EQ(e.message(),
                "Datatype T does not have any constructors with a record selector "
                "named " +
                    th::nameBase(n));
      EXPECT_EQ(e.callStack().entries(),
                (std::vector<hs::SrcLoc>{
                    {"error", site, "Sarkel.Datatype", "src/Sarkel/Datatype", 436, 21, 436, 26}}));
    }
  }
}

TEST(Records, OrderingAndEquality) {
  EXPECT_LT(Strictness::UnspecifiedStrictness, Strictness::Lazy);
  EXPECT_LT(Strictness::Lazy, Strictness::Strict);
  EXPECT_LT(Unpackedness::NoUnpack, Unpackedness::Unpack);
  EXPECT_LT(DatatypeVariant::NewtypeInstance, DatatypeVariant::TypeData);
  EXPECT_EQ(sarkel::compare(sarkel::notStrictAnnot, sarkel::isStrictAnnot), hs::LT);
  EXPECT_EQ(sarkel::compare(sarkel::isStrictAnnot, sarkel::unpackedAnnot), hs::LT);
  // Unpackedness decides first.
  EXPECT_EQ(
      sarkel::compare(FieldStrictness{Unpackedness::NoUnpack, Strictness::UnspecifiedStrictness},
                      FieldStrictness{Unpackedness::UnspecifiedUnpackedness, Strictness::Strict}),
      hs::GT);

  const ConstructorVariant ordered[] = {
      sarkel::NormalConstructor{},
      sarkel::InfixConstructor{},
      RecordConstructor{},
      RecordConstructor{{th::mkName("z")}},
      RecordConstructor{{th::mkName("z"), th::mkName("a")}},
      RecordConstructor{{th::mkName("M.a")}},  // a qualified name orders after every plain one
  };
  for (std::size_t i = 0; i < std::size(ordered); ++i)
    for (std::size_t j = 0; j < std::size(ordered); ++j) {
      EXPECT_EQ(sarkel::compare(ordered[i], ordered[j]), i < j   ? hs::LT
                                                         : i > j ? hs::GT
                                                                 : hs::EQ)
          << i << " " << j;
      EXPECT_EQ(ordered[i] == ordered[j], i == j);
    }

  const DatatypeInfo base =
      datatype({con(th::mkName("Mk"), sarkel::NormalConstructor{}, {th::ConT{intN}})});
  EXPECT_EQ(base, datatype({con(th::mkName("Mk"), sarkel::NormalConstructor{}, {th::ConT{intN}})}));
  DatatypeInfo kinded = base;
  kinded.datatypeReturnKind = th::ConstraintT{};
  DatatypeInfo strict = base;
  strict.datatypeCons[0].constructorStrictness[0] = sarkel::isStrictAnnot;
  DatatypeInfo renamed = base;
  renamed.datatypeCons[0].constructorName = th::mkNameU("Mk", 1);
  for (const DatatypeInfo& other : {kinded, strict, renamed}) EXPECT_NE(base, other);
}

TEST(Records, DatatypeTypeAppliesTheHeadArguments) {
  const Type k1 = th::VarT{th::mkName("k1")};
  DatatypeInfo info = datatype({});
  info.datatypeInstTypes = {th::SigT{th::VarT{a}, th::StarT{}}, th::VarT{b},
                            th::SigT{th::SigT{th::VarT{a}, k1}, th::StarT{}}};
  const Type name = th::ConT{info.datatypeName};
  EXPECT_EQ(sarkel::datatypeType(info),
            Type(th::AppT{th::AppT{th::AppT{name, th::VarT{a}}, th::VarT{b}},
                          th::SigT{th::VarT{a}, k1}}));
  info.datatypeInstTypes.clear();
  EXPECT_EQ(sarkel::datatypeType(info), name);
}

}  // namespace
