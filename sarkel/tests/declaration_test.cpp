#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "helpers.hpp"
#include "hs/error.hpp"
#include "hs/th/testenv.hpp"
#include "sarkel/datatype.hpp"

namespace {

using namespace sarkel_test;
namespace si = sarkel::internal;
using sarkel::ConstructorInfo;
using sarkel::DatatypeInfo;
using sarkel::DatatypeVariant;
using Strings = std::vector<std::string>;

const sarkel::ConstructorVariant normal = sarkel::NormalConstructor{};

ConstructorInfo prefix(const char* name, std::vector<Type> fields) {
  std::vector<sarkel::FieldStrictness> s(fields.size(), sarkel::notStrictAnnot);
  return ConstructorInfo{n(name), {}, {}, std::move(fields), std::move(s), normal};
}
th::Con normalC(const char* name, std::vector<Type> fields) {
  std::vector<th::BangType> fs;
  for (Type& t : fields) fs.push_back(field(std::move(t)));
  return th::NormalC{n(name), std::move(fs)};
}
th::Dec dataD(th::Cxt cx, const char* name, std::vector<th::TyVarBndrUnit> bs,
              std::optional<Type> kind, std::vector<th::Con> cons) {
  return th::DataD{std::move(cx), n(name), std::move(bs), std::move(kind), std::move(cons), {}};
}
th::Dec dataInstD(std::optional<std::vector<th::TyVarBndrUnit>> bs, Type head,
                  std::vector<th::Con> cons) {
  return th::DataInstD{{}, std::move(bs), std::move(head), std::nullopt, std::move(cons), {}};
}

TEST(NormalizeDec, DeclarationForms) {
  struct Case {
    const char* what;
    th::Dec dec;
    bool fromReify;
    std::optional<Type> reifiedKind;  // what the environment answers for T
    DatatypeInfo expected;
    Strings log;
  };
  const Type showA = app(con("Show"), v("a"));
  const Type starToStar = arrow(star(), star());
  const th::TyVarBndrUnit x1 = th::KindedTV{fresh("x", 1), hs::unit, star()};
  const Type x1Type = sig(fv("x", 1), star());
  const Case cases[] = {
      {"data without a kind, nothing reified",
       dataD({showA}, "T", {unit("a"), unit("b")}, std::nullopt, {normalC("Mk", {v("a")})}),
       false,
       std::nullopt,
       {{showA},
        n("T"),
        {unit("a"), unit("b")},
        {v("a"), v("b")},
        DatatypeVariant::Datatype,
        star(),
        {prefix("Mk", {v("a")})}},
       {"reifyType T"}},
      {"the same from reification",
       dataD({showA}, "T", {unit("a"), unit("b")}, std::nullopt, {normalC("Mk", {v("a")})}),
       true,
       std::nullopt,
       {{showA},
        n("T"),
        {unit("a", star()), unit("b", star())},
        {sig(v("a"), star()), sig(v("b"), star())},
        DatatypeVariant::Datatype,
        star(),
        {prefix("Mk", {v("a")})}},
       {"reifyType T"}},
      {"a reified kind with an argument beyond the binders",
       dataD({}, "T", {unit("a")}, std::nullopt, {}),
       false,
       arrow(star(), starToStar),
       {{}, n("T"), {unit("a"), x1}, {v("a"), x1Type}, DatatypeVariant::Datatype, star(), {}},
       {"reifyType T", "newName x"}},
      {"a kind signature implying an argument",
       dataD({}, "T", {unit("a")}, starToStar, {}),
       false,
       std::nullopt,
       {{}, n("T"), {unit("a"), x1}, {v("a"), x1Type}, DatatypeVariant::Datatype, star(), {}},
       {"newName x"}},
      {"a visible quantifier keeps its binder",
       dataD({}, "T", {}, th::ForallVisT{{unit("k")}, arrow(v("k"), star())}, {}),
       false,
       std::nullopt,
       {{},
        n("T"),
        {unit("k"), th::KindedTV{fresh("x", 1), hs::unit, v("k")}},
        {v("k"), sig(fv("x", 1), v("k"))},
        DatatypeVariant::Datatype,
        star(),
        {}},
       {"newName x"}},
      {"a newtype",
       th::NewtypeD{{}, n("T"), {unit("a")}, std::nullopt, normalC("W", {v("a")}), {}},
       false,
       std::nullopt,
       {{},
        n("T"),
        {unit("a")},
        {v("a")},
        DatatypeVariant::Newtype,
        star(),
        {prefix("W", {v("a")})}},
       {"reifyType T"}},
      {"type data",
       th::TypeDataD{n("T"), {}, std::nullopt, {normalC("Z", {})}},
       false,
       std::nullopt,
       {{}, n("T"), {}, {}, DatatypeVariant::TypeData, star(), {prefix("Z", {})}},
       {"reifyType T"}},
      {"an instance with explicit binders uses them all",
       dataInstD(std::vector{unit("b", con("Bool")), unit("c")}, app(con("T"), con("Int"), v("b")),
                 {normalC("FB", {v("b")})}),
       false,
       std::nullopt,
       {{},
        n("T"),
        {unit("b", con("Bool")), unit("c")},
        {con("Int"), v("b")},
        DatatypeVariant::DataInstance,
        star(),
        {prefix("FB", {v("b")})}},
       {"reifyType T"}},
      {"an instance without binders binds the head's variables",
       dataInstD(std::nullopt, th::AppKindT{app(con("T"), con("Int"), v("b")), star()},
                 {normalC("FB", {v("b")})}),
       false,
       std::nullopt,
       {{},
        n("T"),
        {unit("b")},
        {con("Int"), v("b")},
        DatatypeVariant::DataInstance,
        star(),
        {prefix("FB", {v("b")})}},
       {"reifyType T"}},
      {"a reified instance gets its variables repaired",
       dataInstD(std::nullopt, app(con("T"), v("b")), {normalC("FB", {fv("b", 77)})}),
       true,
       std::nullopt,
       {{},
        n("T"),
        {unit("b", star())},
        {sig(v("b"), star())},
        DatatypeVariant::DataInstance,
        star(),
        {prefix("FB", {v("b")})}},
       {"reifyType T"}},
      {"a caller's instance is not repaired",
       dataInstD(std::nullopt, app(con("T"), v("b")), {normalC("FB", {fv("b", 77)})}),
       false,
       std::nullopt,
       {{},
        n("T"),
        {unit("b")},
        {v("b")},
        DatatypeVariant::DataInstance,
        star(),
        {prefix("FB", {fv("b", 77)})}},
       {"reifyType T"}},
      {"nor is a reified data type",
       dataD({}, "T", {}, std::nullopt, {normalC("FB", {fv("b", 77)})}),
       true,
       std::nullopt,
       {{}, n("T"), {}, {}, DatatypeVariant::Datatype, star(), {prefix("FB", {fv("b", 77)})}},
       {"reifyType T"}},
  };
  for (const Case& c : cases) {
    th::TestEnv env;
    if (c.reifiedKind) env.setKind(n("T"), *c.reifiedKind);
    const DatatypeInfo got = si::normalizeDecFor(env, c.fromReify, c.dec);
    EXPECT_EQ(got, c.expected) << c.what << "\n" << sarkel::show(got);
    EXPECT_EQ(env.log(), c.log) << c.what;
  }
}

TEST(NormalizeDec, Failures) {
  const Type fa = app(v("f"), v("a"));
  struct Case {
    th::Dec dec;
    const char* message;
  };
  const Case cases[] = {
      {dataInstD(std::nullopt, fa, {}), "Unexpected data instance head: f a"},
      {th::NewtypeInstD{{}, std::nullopt, fa, std::nullopt, normalC("N", {}), {}},
       "Unexpected newtype instance head: f a"},
      {th::TySynD{n("S"), {}, con("Int")}, "normalizeDecFor: DataD or NewtypeD required"},
      {th::DataFamilyD{n("F"), {}, std::nullopt}, "normalizeDecFor: DataD or NewtypeD required"},
      {th::ClassD{{}, n("C"), {}, {}, {}}, "normalizeDecFor: DataD or NewtypeD required"},
  };
  for (const Case& c : cases) {
    th::TestEnv env;
    EXPECT_EQ(qFailure([&] { si::normalizeDecFor(env, true, c.dec); }), c.message);
    EXPECT_TRUE(env.log().empty());  // nothing is asked before the declaration is classified
  }

  // A constructor's failure fails the whole declaration.
  th::TestEnv env;
  EXPECT_EQ(qFailure([&] {
              si::normalizeDecFor(
                  env, false,
                  dataD({}, "T", {}, std::nullopt,
                        {normalC("A", {}), th::GadtC{names({"B"}), {}, con("Maybe")}}));
            }),
            "normalizeGadtC: Expected type constructor application");

  // A reified kind with fewer arguments than the declaration is a program error.
  env.setKind(n("T"), star());
  try {
    si::normalizeDecFor(env, true, dataD({}, "T", {unit("a")}, std::nullopt, {}));
    ADD_FAILURE() << "no error";
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), "filterVisFunArgsUpTo.go_fun_args: Too few FunArgs");
  }
}

TEST(NormalizeDec, StarKindedTypes) {
  EXPECT_EQ(si::starKindedType(true, v("a")), sig(v("a"), star()));
  EXPECT_EQ(si::starKindedType(false, v("a")), v("a"));
  EXPECT_EQ(si::starKindedType(true, sig(v("a"), con("Bool"))), sig(v("a"), con("Bool")));
  EXPECT_EQ(si::starKindedType(true, con("Int")), con("Int"));
}

TEST(RepairInstanceVariables, MapsForeignVariablesToTheHeads) {
  auto info = [](std::vector<th::TyVarBndrUnit> vars, std::vector<ConstructorInfo> cons) {
    return DatatypeInfo{{},     n("F"),         std::move(vars), {}, DatatypeVariant::DataInstance,
                        star(), std::move(cons)};
  };
  th::TestEnv env;
  // Only the constructors change; a constructor's own variables are not free.
  ConstructorInfo own = prefix("Own", {fv("c", 9), app(con("Maybe"), fv("b", 5))});
  own.constructorVars = {th::PlainTV{fresh("c", 9), hs::unit}};
  ConstructorInfo ownRepaired = own;
  ownRepaired.constructorFields[1] = app(con("Maybe"), v("b"));
  EXPECT_EQ(si::repairInstanceVariables(env, info({unit("a"), unit("b", star())},
                                                  {prefix("FB", {fv("b", 5), v("a")}), own})),
            info({unit("a"), unit("b", star())}, {prefix("FB", {v("b"), v("a")}), ownRepaired}));

  struct Failing {
    std::vector<th::TyVarBndrUnit> vars;
    std::vector<Type> fields;
    const char* message;
  };
  const Failing failing[] = {
      {{unit("a"), th::PlainTV{fresh("a", 3), hs::unit}},
       {fv("a", 7)},
       "Ambiguous free variable: a_7"},
      // Both are impossible; x comes first in name order (plain names before fresh ones).
      {{unit("a")}, {fv("y", 4), v("x")}, "Impossible free variable: x"},
  };
  for (const Failing& f : failing)
    EXPECT_EQ(
        qFailure([&] { si::repairInstanceVariables(env, info(f.vars, {prefix("FB", f.fields)})); }),
        f.message);
  EXPECT_TRUE(env.log().empty());
}

}  // namespace

namespace {

TEST(NormalizeDec, DeepTypesOnASmallStack) {
  // A field and a refined result nested kDeep levels, under a kind signature of kDeep arrows.
  Type deep = v("a");
  for (int i = 0; i < kDeep; ++i) deep = app(con("Maybe"), deep);
  Type kind = star();
  for (int i = 0; i < kDeep; ++i) kind = arrow(star(), kind);
  std::vector<Type> resultArgs{deep};
  Type result = app(con("T"), deep);
  for (int i = 0; i < kDeep; ++i) result = app(result, con("Int"));
  const th::Dec dec =
      dataD({}, "T", {unit("a")}, kind,
            {normalC("Plain", {deep}), th::GadtC{names({"Mk"}), {field(deep)}, result}});
  onSmallStack([&] {
    th::TestEnv env;
    const DatatypeInfo info = sarkel::normalizeDec(env, dec);
    ASSERT_EQ(info.datatypeInstTypes.size(), std::size_t{kDeep + 1});
    ASSERT_EQ(info.datatypeCons.size(), 2u);
    // The constructor's own a is fresh: a_1, refined into the head's a; each Int argument
    // refines one of the arguments the kind implies.
    const ConstructorInfo& mk = info.datatypeCons[1];
    ASSERT_EQ(mk.constructorVars.size(), 1u);
    const th::Name own = mk.constructorVars[0].name();
    Type ownDeep = th::VarT{own};
    for (int i = 0; i < kDeep; ++i) ownDeep = app(con("Maybe"), ownDeep);
    ASSERT_EQ(mk.constructorContext.size(), std::size_t{kDeep + 1});
    EXPECT_TRUE(mk.constructorContext[0] == eq(v("a"), ownDeep));
    EXPECT_TRUE(mk.constructorContext[kDeep] ==
                eq(th::VarT{info.datatypeVars.back().name()}, con("Int")));
    EXPECT_TRUE(mk.constructorFields[0] == ownDeep);
  });
}

}  // namespace
