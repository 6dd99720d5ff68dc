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
using sarkel::ConstructorInfo;
using sarkel::DatatypeInfo;
using sarkel::DatatypeVariant;
using sarkel::FieldStrictness;
using Strings = std::vector<std::string>;

const sarkel::ConstructorVariant normal = sarkel::NormalConstructor{};
const FieldStrictness lazyF = sarkel::notStrictAnnot;

th::Con normalC(const char* name, std::vector<Type> fields) {
  std::vector<th::BangType> fs;
  for (Type& t : fields) fs.push_back(field(std::move(t)));
  return th::NormalC{n(name), std::move(fs)};
}
th::Con gadtC(const char* name, std::vector<Type> fields, Type res) {
  std::vector<th::BangType> fs;
  for (Type& t : fields) fs.push_back(field(std::move(t)));
  return th::GadtC{{n(name)}, std::move(fs), std::move(res)};
}
th::Dec dataD(const char* name, std::vector<th::TyVarBndrUnit> bs, std::optional<Type> kind,
              std::vector<th::Con> cons) {
  return th::DataD{{}, n(name), std::move(bs), std::move(kind), std::move(cons), {}};
}
th::Dec dataInstD(Type head, std::vector<th::Con> cons) {
  return th::DataInstD{{}, std::nullopt, std::move(head), std::nullopt, std::move(cons), {}};
}
std::vector<FieldStrictness> lazies(std::size_t k) {
  return std::vector<FieldStrictness>(k, lazyF);
}
const th::TyVarBndrUnit aStar = unit("a", star());
const Type aSig = sig(v("a"), star());
Type expr(Type t) { return app(con("Expr"), std::move(t)); }
Type fam(Type x, Type y) { return app(con("Fam"), std::move(x), std::move(y)); }

// The declarations a compiler would report, one per form the entry points meet.
class Reify : public testing::Test {
 protected:
  void SetUp() override {
    // data Pair a = MkPair { first :: !a, second :: {-# UNPACK #-} !Int }
    env.declare(dataD("Pair", {unit("a")}, std::nullopt,
                      {th::RecC{n("MkPair"),
                                {recField("first", v("a"), strictBang()),
                                 recField("second", con("Int"), unpackBang())}}}));
    // data Some = forall a. Show a => MkSome a
    env.declare(
        dataD("Some", {}, std::nullopt,
              {th::ForallC{{specified("a")}, {app(con("Show"), v("a"))}, normalC("MkSome", {v("a")})}}));
    // data Cell = Int :* !Bool
    env.declare(dataD("Cell", {}, std::nullopt,
                      {th::InfixC{field(con("Int")), n(":*"), field(con("Bool"), strictBang())}}));
    // newtype Wrap a = MkWrap { unwrap :: a }
    env.declare(th::NewtypeD{{},
                             n("Wrap"),
                             {unit("a")},
                             std::nullopt,
                             th::RecC{n("MkWrap"), {recField("unwrap", v("a"))}},
                             {}});
    // type data Nat = Z | S Nat
    env.declare(
        th::TypeDataD{n("Nat"), {}, std::nullopt, {normalC("Z", {}), normalC("S", {con("Nat")})}});
    // data Expr a where
    //   IntE :: Int -> Expr Int
    //   PairE :: forall b c. Expr b -> Expr c -> Expr (b, c)
    //   If :: Expr Bool -> Expr a -> Expr a -> Expr a
    //   (:+:) :: Expr Int -> Expr Int -> Expr Int   -- infixl 6 :+:
    env.declare(dataD("Expr", {unit("a")}, std::nullopt,
                      {gadtC("IntE", {con("Int")}, expr(con("Int"))),
                       th::ForallC{{specified("b"), specified("c")},
                                   {},
                                   gadtC("PairE", {expr(v("b")), expr(v("c"))},
                                         expr(app(th::TupleT{2}, v("b"), v("c"))))},
                       gadtC("If", {expr(con("Bool")), expr(v("a")), expr(v("a"))}, expr(v("a"))),
                       gadtC(":+:", {expr(con("Int")), expr(con("Int"))}, expr(con("Int")))}));
    env.setKind(n("Expr"), arrow(star(), star()));
    env.setFixity(n(":+:"), th::Fixity{6, th::FixityDirection::InfixL});
    // data Box a :: Type -> Type where MkBox :: a -> b -> Box a b
    env.declare(dataD("Box", {unit("a")}, arrow(star(), star()),
                      {gadtC("MkBox", {v("a"), v("b")}, app(con("Box"), v("a"), v("b")))}));
    // data family Fam (a :: Type) :: Type -> Type
    // data instance Fam Int b = FInt b
    // data instance Fam Bool b = FBool b   -- reported with another b in the constructor
    env.declare(th::DataFamilyD{n("Fam"), {aStar}, arrow(star(), star())});
    env.declare(dataInstD(fam(con("Int"), v("b")), {normalC("FInt", {v("b")})}));
    env.declare(dataInstD(fam(con("Bool"), v("b")), {normalC("FBool", {fv("b", 77)})}));
    // class C a where method :: a -> Int; type family TF a
    env.declare(th::ClassD{
        {}, n("C"), {unit("a")}, {}, {th::SigD{n("method"), arrow(v("a"), con("Int"))}}});
    env.declare(th::OpenTypeFamilyD{th::TypeFamilyHead{n("TF"), {unit("a")}, th::NoSig{}, {}}});
    // A primitive type constructor of kind Type -> Type.
    env.setInfo(n("Array#"), th::PrimTyConI{n("Array#"), 1, true});
    env.setKind(n("Array#"), arrow(star(), star()));
    // Values: not selectors.
    env.declare(th::SigD{n("answer"), con("Int")});
    env.declare(th::SigD{n("ident"), forall({specified("a")}, {}, arrow(v("a"), v("a")))});
    env.declare(th::SigD{n("size"), arrow(app(con("Pair"), con("Int")), con("Int"))});
    env.declare(th::SigD{n("famSize"), arrow(fam(con("Int"), v("b")), con("Int"))});
    env.setInfo(n("Ghost"), th::DataConI{n("Ghost"), fam(con("Char"), v("b")), n("Fam")});
    env.setInfo(n("Orphan"), th::DataConI{n("Orphan"), con("Int"), n("C")});
    env.setInfo(n("P"), th::PatSynI{n("P"), con("Int")});
    env.setInfo(n("tv"), th::TyVarI{n("tv"), star()});
  }

  DatatypeInfo reified(const char* name) {
    env.clearLog();
    return sarkel::reifyDatatype(env, n(name));
  }

  th::TestEnv env;
};

DatatypeInfo pairInfo() {
  return DatatypeInfo{{},
                      n("Pair"),
                      {aStar},
                      {aSig},
                      DatatypeVariant::Datatype,
                      star(),
                      {ConstructorInfo{n("MkPair"),
                                       {},
                                       {},
                                       {v("a"), con("Int")},
                                       {sarkel::isStrictAnnot, sarkel::unpackedAnnot},
                                       sarkel::RecordConstructor{names({"first", "second"})}}}};
}

TEST_F(Reify, DeclarationForms) {
  const th::TyVarBndrUnit x1 = th::KindedTV{fresh("x", 1), hs::unit, star()};
  struct Case {
    const char* name;
    DatatypeInfo expected;
    Strings log;
  };
  const Case cases[] = {
      {"Pair", pairInfo(), {"reify Pair", "reifyType Pair"}},
      {"first", pairInfo(), {"reify first", "reify Pair", "reifyType Pair"}},
      {"MkPair", pairInfo(), {"reify MkPair", "reify Pair", "reifyType Pair"}},
      {"size", pairInfo(), {"reify size", "reify Pair", "reifyType Pair"}},
      {"Some",
       {{},
        n("Some"),
        {},
        {},
        DatatypeVariant::Datatype,
        star(),
        {{n("MkSome"), {aStar}, {app(con("Show"), v("a"))}, {v("a")}, {lazyF}, normal}}},
       {"reify Some", "reifyType Some", "reifyFixity MkSome"}},
      {"Cell",
       {{},
        n("Cell"),
        {},
        {},
        DatatypeVariant::Datatype,
        star(),
        {{n(":*"),
          {},
          {},
          {con("Int"), con("Bool")},
          {lazyF, sarkel::isStrictAnnot},
          sarkel::InfixConstructor{}}}},
       {"reify Cell", "reifyType Cell"}},
      {"unwrap",
       {{},
        n("Wrap"),
        {aStar},
        {aSig},
        DatatypeVariant::Newtype,
        star(),
        {{n("MkWrap"), {}, {}, {v("a")}, {lazyF}, sarkel::RecordConstructor{names({"unwrap"})}}}},
       {"reify unwrap", "reify Wrap", "reifyType Wrap"}},
      {"Nat",
       {{},
        n("Nat"),
        {},
        {},
        DatatypeVariant::TypeData,
        star(),
        {{n("Z"), {}, {}, {}, {}, normal}, {n("S"), {}, {}, {con("Nat")}, {lazyF}, normal}}},
       {"reify Nat", "reifyType Nat"}},
      {"Box",
       {{},
        n("Box"),
        {aStar, x1},
        {aSig, sig(fv("x", 1), star())},
        DatatypeVariant::Datatype,
        star(),
        {{n("MkBox"), {}, {}, {v("a"), fv("x", 1)}, lazies(2), normal}}},
       {"reify Box", "newName x", "newName a", "newName b", "reify Box", "reifyFixity MkBox"}},
      // The environment's counter runs on from Box's three names.
      {"Array#",
       {{},
        n("Array#"),
        {th::KindedTV{fresh("x", 4), hs::unit, star()}},
        {sig(fv("x", 4), star())},
        DatatypeVariant::Datatype,
        star(),
        {}},
       {"reify Array#", "reifyType Array#", "newName x"}},
      {"FInt",
       {{},
        n("Fam"),
        {unit("b", star())},
        {con("Int"), sig(v("b"), star())},
        DatatypeVariant::DataInstance,
        star(),
        {{n("FInt"), {}, {}, {v("b")}, {lazyF}, normal}}},
       {"reify FInt", "reify Fam", "newName x", "newName x", "reifyType Fam", "reifyType Fam"}},
  };
  for (const Case& c : cases) {
    const DatatypeInfo got = reified(c.name);
    EXPECT_EQ(got, c.expected) << c.name << "\n" << sarkel::show(got);
    EXPECT_EQ(env.log(), c.log) << c.name;
  }
  EXPECT_EQ(
      sarkel::show(reified("Pair")),
      "DatatypeInfo {datatypeContext = [], datatypeName = Pair, datatypeVars = [KindedTV a () "
      "StarT], datatypeInstTypes = [SigT (VarT a) StarT], datatypeVariant = Datatype, "
      "datatypeReturnKind = StarT, datatypeCons = [ConstructorInfo {constructorName = "
      "MkPair, constructorVars = [], constructorContext = [], constructorFields = [VarT "
      "a,ConT Int], constructorStrictness = [FieldStrictness {fieldUnpackedness = "
      "UnspecifiedUnpackedness, fieldStrictness = Strict},FieldStrictness {fieldUnpackedness "
      "= Unpack, fieldStrictness = Strict}], constructorVariant = RecordConstructor "
      "[first,second]}]}");
}

TEST_F(Reify, GadtConstructorsInOrder) {
  const DatatypeInfo got = reified("Expr");
  const th::TyVarBndrUnit b1 = th::KindedTV{fresh("b", 1), hs::unit, star()};
  const th::TyVarBndrUnit c2 = th::KindedTV{fresh("c", 2), hs::unit, star()};
  const DatatypeInfo expected{
      {},
      n("Expr"),
      {aStar},
      {aSig},
      DatatypeVariant::Datatype,
      star(),
      {{n("IntE"), {}, {eq(v("a"), con("Int"))}, {con("Int")}, lazies(1), normal},
       {n("PairE"),
        {b1, c2},
        {eq(v("a"), app(th::TupleT{2}, fv("b", 1), fv("c", 2)))},
        {expr(fv("b", 1)), expr(fv("c", 2))},
        lazies(2),
        normal},
       {n("If"), {}, {}, {expr(con("Bool")), expr(v("a")), expr(v("a"))}, lazies(3), normal},
       {n(":+:"),
        {},
        {eq(v("a"), con("Int"))},
        {expr(con("Int")), expr(con("Int"))},
        lazies(2),
        sarkel::InfixConstructor{}}}};
  EXPECT_EQ(got, expected) << sarkel::show(got);
  // The kind, then per constructor: fresh names, the result's synonyms, the fixity.
  EXPECT_EQ(env.log(), (Strings{"reify Expr", "reifyType Expr",                               //
                                "reify Expr", "reify Int", "reifyFixity IntE",                //
                                "newName b", "newName c", "reify Expr", "reifyFixity PairE",  //
                                "newName a", "reify Expr", "reifyFixity If",                  //
                                "reify Expr", "reify Int", "reifyFixity :+:"}));
}

TEST_F(Reify, DataFamilyInstances) {
  // The instance that holds the constructor, its foreign variable mapped to the head's. Every
  // instance is repaired (a fresh name each for the family's kind), then every one normalised.
  const DatatypeInfo got = reified("FBool");
  EXPECT_EQ(env.log(), (Strings{"reify FBool", "reify Fam", "newName x", "newName x",
                                "reifyType Fam", "reifyType Fam"}));
  EXPECT_EQ(sarkel::show(got),
            "DatatypeInfo {datatypeContext = [], datatypeName = Fam, datatypeVars = [KindedTV b () "
            "StarT], datatypeInstTypes = [ConT Bool,SigT (VarT b) StarT], datatypeVariant = "
            "DataInstance, datatypeReturnKind = StarT, datatypeCons = [ConstructorInfo "
            "{constructorName = FBool, constructorVars = [], constructorContext = [], "
            "constructorFields = [VarT b], constructorStrictness = [FieldStrictness "
            "{fieldUnpackedness = UnspecifiedUnpackedness, fieldStrictness = "
            "UnspecifiedStrictness}], constructorVariant = NormalConstructor}]}");

  // One instance that fails fails the reification, even when another holds the constructor.
  env.declare(dataInstD(fam(con("Char"), v("b")), {gadtC("Bad", {}, app(con("Maybe"), v("b")))}));
  EXPECT_EQ(qFailure([&] { reified("FInt"); }),
            "normalizeGadtC: Expected type constructor application");

  // The head's kind arguments are dropped, and the visible ones get the family's kinds.
  const th::Dec family = th::DataFamilyD{n("Fam"), {aStar}, arrow(star(), star())};
  const th::Dec inst = dataInstD(app(th::AppKindT{con("Fam"), star()}, v("p"), v("q")), {});
  const th::Dec repaired = sarkel::internal::repairFamilyInstance(env, family, inst);
  EXPECT_EQ(repaired.get_if<th::DataInstD>()->head, fam(sig(v("p"), star()), sig(v("q"), star())));
  // Arguments beyond those the family declares (its result kind a variable) are kept.
  const th::Dec poly = th::DataFamilyD{n("Poly"), {aStar}, v("k")};
  const th::Dec polyInst = dataInstD(app(con("Poly"), v("p"), con("Bool")), {});
  const th::Dec polyRepaired = sarkel::internal::repairFamilyInstance(env, poly, polyInst);
  EXPECT_EQ(polyRepaired.get_if<th::DataInstD>()->head,
            app(con("Poly"), sig(v("p"), star()), con("Bool")));
  const th::Dec plain = dataD("Pair", {}, std::nullopt, {});
  EXPECT_TRUE(th::sameObject(sarkel::internal::repairFamilyInstance(env, plain, inst), inst));
}

TEST_F(Reify, FamiliesWhoseKindEndsInAVariable) {
  // data family R :: k;  data instance R Int = MkR
  // data family R3 (a :: Type) :: k
  // data instance R3 Int Bool = MkR3
  // data instance R3 Char b = MkR3b b
  // data instance R3 Bool (f :: Type -> Type) x = MkR3f (f x)
  // The result variable stands for arrows over the arguments past the declared ones; what is
  // left after all of an instance's arguments is Type.
  const Type kTo = arrow(star(), star());
  env.declare(th::DataFamilyD{n("R"), {}, v("k")});
  env.declare(dataInstD(app(con("R"), con("Int")), {normalC("MkR", {})}));
  env.declare(th::DataFamilyD{n("R3"), {aStar}, v("k")});
  env.declare(dataInstD(app(con("R3"), con("Int"), con("Bool")), {normalC("MkR3", {})}));
  env.declare(dataInstD(app(con("R3"), con("Char"), v("b")), {normalC("MkR3b", {v("b")})}));
  env.declare(dataInstD(app(app(con("R3"), con("Bool"), sig(v("f"), kTo)), v("x")),
                        {normalC("MkR3f", {app(v("f"), v("x"))})}));
  ASSERT_EQ(env.reifyType(n("R")), forall({specified("k")}, {}, v("k")));

  const auto instance = [](const char* family, std::vector<th::TyVarBndrUnit> vars,
                           std::vector<Type> instTypes, const char* con,
                           std::vector<Type> fields) {
    const std::size_t k = fields.size();
    return DatatypeInfo{{},
                        n(family),
                        std::move(vars),
                        std::move(instTypes),
                        DatatypeVariant::DataInstance,
                        star(),
                        {{n(con), {}, {}, std::move(fields), lazies(k), normal}}};
  };
  struct Case {
    const char* con;
    DatatypeInfo expected;
  };
  const Case cases[] = {
      {"MkR", instance("R", {}, {con("Int")}, "MkR", {})},
      {"MkR3", instance("R3", {}, {con("Int"), con("Bool")}, "MkR3", {})},
      // A variable the compiler reports without a kind is of kind Type.
      {"MkR3b",
       instance("R3", {unit("b", star())}, {con("Char"), sig(v("b"), star())}, "MkR3b", {v("b")})},
      {"MkR3f",
       instance("R3", {unit("f", kTo), unit("x", star())},
                {con("Bool"), sig(v("f"), kTo), sig(v("x"), star())}, "MkR3f",
                {app(v("f"), v("x"))})},
  };
  for (const Case& c : cases) {
    const DatatypeInfo got = reified(c.con);
    EXPECT_EQ(got, c.expected) << c.con << "\n" << sarkel::show(got);
    EXPECT_EQ(*sarkel::reifyConstructor(env, n(c.con)), c.expected.datatypeCons[0]) << c.con;
  }

  // A caller's instance is taken as written.
  const th::Dec inst = dataInstD(app(con("R3"), con("Char"), v("b")), {normalC("MkR3b", {v("b")})});
  EXPECT_EQ(sarkel::normalizeDec(env, inst),
            instance("R3", {unit("b")}, {con("Char"), v("b")}, "MkR3b", {v("b")}));
}

TEST_F(Reify, Refusals) {
  struct Case {
    const char* name;
    const char* message;
  };
  const Case cases[] = {
      {"C", "reifyDatatype: Class not supported"},
      {"method", "reifyDatatype: Expected a type constructor"},
      {"P", "reifyDatatype: Expected a type constructor"},
      {"tv", "reifyDatatype: Expected a type constructor"},
      {"TF", "reifyDatatype: Type families not supported"},
      {"Fam", "reifyDatatype: Use a value constructor to reify a data family instance"},
      {"answer", "reifyRecordType: Not a record selector type: answer :: ConT Int"},
      {"ident",
       "reifyRecordType: Not a record selector type: ident :: ForallT [PlainTV a SpecifiedSpec] "
       "[] (AppT (AppT ArrowT (VarT a)) (VarT a))"},
      {"famSize", "PANIC: reifyRecordType lost the instance"},
      {"Ghost", "PANIC: reifyParent lost the instance"},
      {"Orphan", "PANIC: reifyParent unexpected parent"},
      {"Nope", "Nope is not in scope at a reify"},
  };
  for (const Case& c : cases) EXPECT_EQ(qFailure([&] { reified(c.name); }), c.message) << c.name;
  EXPECT_EQ(qFailure([&] { (void)sarkel::normalizeInfo(env, env.reify(n("C"))); }),
            "normalizeInfo: Class not supported");
  EXPECT_EQ(qFailure([&] { (void)sarkel::normalizeInfo(env, env.reify(n("TF"))); }),
            "normalizeInfo: Type families not supported");
}

TEST_F(Reify, ConstructorsAndRecordsFailOnlyWhenUsed) {
  EXPECT_EQ(*sarkel::reifyConstructor(env, n("MkPair")), pairInfo().datatypeCons[0]);
  EXPECT_EQ(*sarkel::reifyRecord(env, n("second")), pairInfo().datatypeCons[0]);
  EXPECT_EQ(sarkel::reifyConstructor(env, n(":+:"))->constructorVariant,
            sarkel::ConstructorVariant(sarkel::InfixConstructor{}));

  struct Case {
    hs::Lazy<ConstructorInfo> (*entry)(th::Q&, const th::Name&);
    const char* name;
    const char* message;
    int line;
  };
  const Case cases[] = {
      {sarkel::reifyRecord, "MkPair",
       "Datatype Pair does not have any constructors with a record selector named MkPair", 436},
      {sarkel::reifyConstructor, "first", "Datatype Pair does not have a constructor named first",
       425},
  };
  for (const Case& c : cases) {
    const hs::Lazy<ConstructorInfo> result = c.entry(env, n(c.name));  // no failure yet
    try {
      (void)result.force();
      ADD_FAILURE() << "no error";
    } catch (const hs::ProgramError& e) {
      EXPECT_STREQ(e.what(), c.message);
      ASSERT_EQ(e.callStack().entries().size(), 1u);
      EXPECT_EQ(e.callStack().entries()[0].startLine, c.line);
    }
  }
  // The type's own failures are immediate.
  EXPECT_EQ(qFailure([&] { (void)sarkel::reifyConstructor(env, n("C")); }),
            "reifyDatatype: Class not supported");
}

TEST_F(Reify, CallersDeclarationsAreTakenAsGiven) {
  // No kinds given to kind-less variables, no instance repair.
  const th::Info pair = env.reify(n("Pair"));
  env.clearLog();
  DatatypeInfo expected = pairInfo();
  expected.datatypeVars = {unit("a")};
  expected.datatypeInstTypes = {v("a")};
  EXPECT_EQ(sarkel::normalizeInfo(env, pair), expected);
  EXPECT_EQ(sarkel::normalizeDec(env, pair.get_if<th::TyConI>()->dec), expected);
  EXPECT_EQ(env.log(), (Strings{"reifyType Pair", "reifyType Pair"}));

  const th::Dec inst = dataInstD(fam(con("Bool"), v("b")), {normalC("FBool", {fv("b", 77)})});
  EXPECT_EQ(sarkel::normalizeDec(env, inst).datatypeCons[0].constructorFields,
            (std::vector<Type>{fv("b", 77)}));

  // normalizeCon: the fifth argument plays no part.
  const th::Con c = gadtC("Mk", {}, expr(con("Int")));
  th::TestEnv e1;
  th::TestEnv e2;
  const auto viaData = sarkel::normalizeCon(e1, n("Expr"), {unit("a")}, {v("a")}, star(),
                                            DatatypeVariant::Datatype, c);
  EXPECT_EQ(viaData, sarkel::normalizeCon(e2, n("Expr"), {unit("a")}, {v("a")}, star(),
                                          DatatypeVariant::NewtypeInstance, c));
  EXPECT_EQ(
      viaData,
      (std::vector<ConstructorInfo>{{n("Mk"), {}, {eq(v("a"), con("Int"))}, {}, {}, normal}}));
}

}  // namespace
