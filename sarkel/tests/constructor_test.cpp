#include <gtest/gtest.h>

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
using sarkel::ConstructorVariant;
using sarkel::FieldStrictness;
using Strings = std::vector<std::string>;

const ConstructorVariant normal = sarkel::NormalConstructor{};
const ConstructorVariant infix = sarkel::InfixConstructor{};
ConstructorVariant record(std::initializer_list<const char*> xs) {
  return sarkel::RecordConstructor{names(xs)};
}
const FieldStrictness lazyF = sarkel::notStrictAnnot;
const FieldStrictness strictF = sarkel::isStrictAnnot;
const FieldStrictness unpackF = sarkel::unpackedAnnot;

th::Con forallC(std::vector<th::TyVarBndrSpec> bs, th::Cxt c, th::Con inner) {
  return th::ForallC{std::move(bs), std::move(c), std::move(inner)};
}
th::Con gadtC(std::initializer_list<const char*> ns, std::vector<th::BangType> fs, Type res) {
  return th::GadtC{names(ns), std::move(fs), std::move(res)};
}
Type tOf(Type x) { return app(con("T"), std::move(x)); }

// The declaration the constructors belong to: its variables, argument types and return kind.
struct Decl {
  std::vector<th::TyVarBndrUnit> vars;
  std::vector<Type> instTypes;
  Type returnKind;
  const char* typeName = "T";
};
Decl tA() { return Decl{{unit("a")}, {v("a")}, star()}; }

struct Case {
  const char* what;
  Decl decl;
  th::Con con;
  std::vector<ConstructorInfo> expected;
  Strings log;
};

void run(const Case& c, bool fromReify = false) {
  th::TestEnv env;
  env.setFixity(n(":+"), th::Fixity{6, th::FixityDirection::InfixL});
  const auto got = si::normalizeConFor(env, fromReify, n(c.decl.typeName), c.decl.vars,
                                       c.decl.instTypes, c.decl.returnKind, c.con);
  EXPECT_EQ(got, c.expected) << c.what;
  EXPECT_EQ(env.log(), c.log) << c.what;
}

TEST(NormalizeCon, PlainForms) {
  const Type showA = app(con("Show"), v("a"));
  const Type eqB = app(con("Eq"), v("b"));
  const Case cases[] = {
      {"a prefix constructor runs nothing",
       tA(),
       th::NormalC{n("Mk"), {field(con("Int"), strictBang())}},
       {{n("Mk"), {}, {}, {con("Int")}, {strictF}, normal}},
       {}},
      {"under a quantifier the fixity decides",
       tA(),
       forallC({specified("a")}, {showA}, th::NormalC{n("Mk"), {field(v("a"))}}),
       {{n("Mk"), {unit("a")}, {showA}, {v("a")}, {lazyF}, normal}},
       {"reifyFixity Mk"}},
      {"an operator under a quantifier with a fixity is infix",
       tA(),
       forallC({}, {}, th::NormalC{n(":+"), {field(v("a")), field(v("a"))}}),
       {{n(":+"), {}, {}, {v("a"), v("a")}, {lazyF, lazyF}, infix}},
       {"reifyFixity :+"}},
      {"nested quantifiers, the innermost first",
       tA(),
       forallC({specified("a")}, {showA}, forallC({specified("b")}, {eqB}, th::NormalC{n("Mk"), {}})),
       {{n("Mk"), {unit("b"), unit("a")}, {eqB, showA}, {}, {}, normal}},
       {"reifyFixity Mk"}},
      {"infix whatever the quantifier",
       tA(),
       forallC({specified("a")}, {},
               th::InfixC{field(v("a"), strictBang()), n(":*"), field(con("Int"), unpackBang())}),
       {{n(":*"), {unit("a")}, {}, {v("a"), con("Int")}, {strictF, unpackF}, infix}},
       {}},
      {"a record",
       tA(),
       th::RecC{n("Mk"),
                {recField("x", con("Int"), strictBang()), recField("y", v("a"), unpackBang())}},
       {{n("Mk"), {}, {}, {con("Int"), v("a")}, {strictF, unpackF}, record({"x", "y"})}},
       {}},
  };
  for (const Case& c : cases) run(c);
}

TEST(NormalizeCon, GadtResultsMatchedAgainstTheHead) {
  const Decl tAC{{unit("a"), unit("c")}, {v("a"), v("c")}, star()};
  const Decl tAR{{unit("a"), unit("r")}, {v("a")}, v("r")};
  const Decl op{{unit("a"), unit("b")}, {v("a"), v("b")}, star(), ":+:"};
  const Decl kinded{{unit("k"), unit("a", v("k"))}, {sig(v("a"), v("k"))}, star()};
  const Decl selfKinded{{unit("a", v("a"))}, {v("a")}, star()};
  const Case cases[] = {
      {"a variable that renames the head's is the head's",
       tA(),
       gadtC({"Mk"}, {field(v("b"))}, tOf(v("b"))),
       {{n("Mk"), {}, {}, {v("a")}, {lazyF}, normal}},
       {"newName b", "reify T", "reifyFixity Mk"}},
      {"a refinement becomes an equality",
       tA(),
       gadtC({"Mk"}, {}, tOf(con("Int"))),
       {{n("Mk"), {}, {eq(v("a"), con("Int"))}, {}, {}, normal}},
       {"reify T", "reify Int", "reifyFixity Mk"}},
      {"an existential keeps a fresh name of its base",
       tA(),
       forallC({specified("b")}, {}, gadtC({"Mk"}, {field(v("b"))}, tOf(v("a")))),
       {{n("Mk"), {th::PlainTV{fresh("b", 2), hs::unit}}, {}, {fv("b", 2)}, {lazyF}, normal}},
       {"newName a", "newName b", "reify T", "reifyFixity Mk"}},
      {"two names share one renaming",
       tA(),
       forallC({specified("c")}, {}, gadtC({"Mk1", ":+"}, {field(v("b")), field(v("c"))}, tOf(v("b")))),
       {{n("Mk1"),
         {th::PlainTV{fresh("c", 2), hs::unit}},
         {},
         {v("a"), fv("c", 2)},
         {lazyF, lazyF},
         normal},
        {n(":+"),
         {th::PlainTV{fresh("c", 2), hs::unit}},
         {},
         {v("a"), fv("c", 2)},
         {lazyF, lazyF},
         infix}},
       {"newName b", "newName c", "reify T", "reifyFixity Mk1", "reifyFixity :+"}},
      {"the later position is matched first",
       tAC,
       gadtC({"Mk"}, {}, app(con("T"), v("b"), v("b"))),
       {{n("Mk"), {}, {eq(v("a"), v("c"))}, {}, {}, normal}},
       {"newName b", "reify T", "reifyFixity Mk"}},
      {"a result kind is matched before the arguments",
       tAR,
       gadtC({"Mk"}, {}, sig(tOf(con("Int")), con("Bool"))),
       {{n("Mk"), {}, {eq(v("r"), con("Bool")), eq(v("a"), con("Int"))}, {}, {}, normal}},
       {"reify T", "reify Int", "reify Bool", "reifyFixity Mk"}},
      {"a record GADT constructor looks up no fixity",
       tA(),
       th::RecGadtC{names({"Mk"}), {recField("x", con("Int"), strictBang())}, tOf(con("Int"))},
       {{n("Mk"), {}, {eq(v("a"), con("Int"))}, {con("Int")}, {strictF}, record({"x"})}},
       {"reify T", "reify Int"}},
      {"identified variables identify their kinds' variables",
       kinded,
       forallC({specified("j"), specified("b", v("j"))}, {}, gadtC({"Mk"}, {}, tOf(v("b")))),
       {{n("Mk"), {}, {}, {}, {}, normal}},
       {"newName b", "newName j", "reify T", "reifyFixity Mk"}},
      {"a kind that mentions its own variable ends",
       selfKinded,
       forallC({specified("b", v("b"))}, {}, gadtC({"Mk"}, {}, tOf(v("b")))),
       {{n("Mk"), {}, {}, {}, {}, normal}},
       {"newName b", "reify T", "reifyFixity Mk"}},
      {":+: between its operands",
       op,
       gadtC({"MkP"}, {field(v("c")), field(v("d"))}, th::InfixT{v("c"), n(":+:"), v("d")}),
       {{n("MkP"), {}, {}, {v("a"), v("b")}, {lazyF, lazyF}, normal}},
       {"newName c", "newName d", "reify :+:", "reifyFixity MkP"}},
  };
  for (const Case& c : cases) run(c);
}

TEST(NormalizeCon, FixityOfGadtOperators) {
  struct Row {
    const char* name;
    int fields;
    bool declared;
    bool infix;
  };
  const Row rows[] = {
      {":+", 2, true, true},  {":+", 2, false, false}, {":+", 3, true, false},
      {"Mk", 2, true, false}, {":+", 1, true, false},
  };
  for (const Row& r : rows) {
    th::TestEnv env;
    if (r.declared) env.setFixity(n(r.name), th::Fixity{5, th::FixityDirection::InfixR});
    const std::vector<th::BangType> fs(static_cast<std::size_t>(r.fields), field(v("a")));
    const auto got = si::normalizeConFor(env, false, n("T"), {unit("a")}, {v("a")}, star(),
                                         gadtC({r.name}, fs, tOf(v("a"))));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].constructorVariant, r.infix ? infix : normal) << r.name << r.fields;
    EXPECT_EQ(env.log().back(), std::string("reifyFixity ") + r.name);
  }
}

TEST(NormalizeCon, FailuresOfTheHeadCheck) {
  const Type inner = tOf(v("a"));
  const Type results[] = {app(con("Maybe"), v("a")), v("a"), sig(sig(inner, star()), star()),
                          th::InfixT{v("a"), n(":-:"), v("a")}, forall({}, {}, inner)};
  for (const Type& res : results) {
    th::TestEnv env;
    EXPECT_EQ(qFailure([&] {
                (void)si::normalizeConFor(env, false, n("T"), {unit("a")}, {v("a")}, star(),
                                    gadtC({"Mk"}, {}, res));
              }),
              "normalizeGadtC: Expected type constructor application")
        << th::show(res);
    for (const std::string& line : env.log()) EXPECT_NE(line, "reifyFixity Mk");
  }
  // A failing fixity lookup is no fixity; the queries of synonym resolution run under recover.
  th::TestEnv env;
  env.failOn(th::TestEnv::Query::ReifyFixity, n(":+"), "no");
  EXPECT_EQ(si::normalizeConFor(env, false, n("T"), {unit("a")}, {v("a")}, star(),
                                gadtC({":+"}, {field(v("a")), field(v("a"))}, inner))[0]
                .constructorVariant,
            normal);
  // A failing fresh name fails the constructor.
  env.failOn(th::TestEnv::Query::NewName, n("b"), "no fresh names");
  EXPECT_EQ(qFailure([&] {
              (void)si::normalizeConFor(env, false, n("T"), {unit("a")}, {v("a")}, star(),
                                  gadtC({"Mk"}, {}, tOf(v("b"))));
            }),
            "no fresh names");
}

TEST(NormalizeCon, FromReifyGivesConstructorVariablesAKind) {
  const th::TyVarBndrUnit starred = th::KindedTV{fresh("b", 2), hs::unit, star()};
  run({"an existential",
       tA(),
       forallC({specified("b")}, {}, gadtC({"Mk"}, {field(v("b"))}, tOf(v("a")))),
       {{n("Mk"), {starred}, {}, {fv("b", 2)}, {lazyF}, normal}},
       {"newName a", "newName b", "reify T", "reifyFixity Mk"}},
      true);
  run({"a quantified prefix constructor",
       tA(),
       forallC({specified("a"), specified("k", con("Bool"))}, {}, th::NormalC{n("Mk"), {}}),
       {{n("Mk"), {unit("a", star()), unit("k", con("Bool"))}, {}, {}, {}, normal}},
       {"reifyFixity Mk"}},
      true);
}

TEST(NormalizeCon, KindMapsAreForcedOnlyForIdentifiedVariables) {
  // A declaration variable whose kind is quantified: its kind map fails, but only when the
  // result names some variable to identify.
  const std::vector<th::TyVarBndrUnit> vars{unit("a", forall({specified("k")}, {}, v("k")))};
  th::TestEnv env;
  const auto refined = si::normalizeConFor(env, false, n("T"), vars, {v("a")}, star(),
                                           gadtC({"Mk"}, {}, tOf(con("Int"))));
  EXPECT_EQ(refined[0].constructorContext, (th::Cxt{eq(v("a"), con("Int"))}));
  try {
    (void)si::normalizeConFor(env, false, n("T"), vars, {v("a")}, star(), gadtC({"Mk"}, {}, tOf(v("b"))));
    ADD_FAILURE() << "no error";
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), "`forall` type used in data family pattern");
  }
}

TEST(NormalizeCon, Helpers) {
  using SU = th::SourceUnpackedness;
  using SS = th::SourceStrictness;
  using U = sarkel::Unpackedness;
  using S = sarkel::Strictness;
  const std::pair<SU, U> us[] = {{SU::NoSourceUnpackedness, U::UnspecifiedUnpackedness},
                                 {SU::SourceNoUnpack, U::NoUnpack},
                                 {SU::SourceUnpack, U::Unpack}};
  const std::pair<SS, S> ss[] = {{SS::NoSourceStrictness, S::UnspecifiedStrictness},
                                 {SS::SourceLazy, S::Lazy},
                                 {SS::SourceStrict, S::Strict}};
  for (const auto& [su, u] : us)
    for (const auto& [sst, s] : ss)
      EXPECT_EQ(si::fieldStrictnessOfBang(th::Bang{su, sst}), (FieldStrictness{u, s}));

  const auto [bangs, types] = si::splitBangTypes({field(v("a"), strictBang()), field(v("b"))});
  EXPECT_EQ(bangs, (std::vector<th::Bang>{strictBang(), lazyBang()}));
  EXPECT_EQ(types, (std::vector<Type>{v("a"), v("b")}));
  const std::vector<th::VarBangType> rec{recField("x", v("a"), unpackBang()),
                                         recField("y", v("b"))};
  EXPECT_EQ(si::recordFieldNames(rec), names({"x", "y"}));
  EXPECT_EQ(si::recordFieldTypes(rec), (std::vector<Type>{v("a"), v("b")}));
  EXPECT_EQ(si::recordFieldStrictness(rec), (std::vector<FieldStrictness>{unpackF, lazyF}));

  EXPECT_EQ(si::starKindedBinder(true, unit("a")), unit("a", star()));
  EXPECT_EQ(si::starKindedBinder(false, unit("a")), unit("a"));
  EXPECT_EQ(si::starKindedBinder(true, unit("a", con("Bool"))), unit("a", con("Bool")));

  // The name of each binder, then its kind's variables; the actions make names of their bases.
  th::TestEnv env;
  const auto pairs = si::freshenBinderNames({unit("b", app(v("k"), v("j"))), unit("a")});
  Strings order;
  for (const auto& [name, make] : pairs)
    order.push_back(th::showName(name) + "->" + th::showName(make(env)));
  EXPECT_EQ(order, (Strings{"b->b_1", "k->k_2", "j->j_3", "a->a_4"}));
}

TEST(NormalizeCon, ClosingRenamingsOverKinds) {
  // d identified with r: their kinds k1 -> e and k2 -> s identify k1 with k2 and e with s, whose
  // kinds then give an equality (one the start has already, kept once). The start's own entry
  // for e wins over the one found later.
  const sarkel::KindMap decl{{n("r"), arrow(v("k2"), v("s"))}, {n("s"), v("q")}};
  const sarkel::KindMap cons{{n("d"), arrow(v("k1"), v("e"))}, {n("e"), con("Bool")}};
  const si::Renaming start{{n("d"), n("r")}, {n("e"), n("z")}};
  const auto [renaming, cs] =
      si::closeRenamingOverKinds(decl, cons, {start, {eq(v("q"), con("Bool"))}});
  EXPECT_EQ(renaming, (si::Renaming{{n("d"), n("r")}, {n("e"), n("z")}, {n("k1"), n("k2")}}));
  EXPECT_EQ(cs, (th::Cxt{eq(v("q"), con("Bool"))}));

  const auto [none, noCs] =
      si::closeRenamingOverKinds(decl, cons, {{}, {eq(v("a"), v("a")), eq(v("a"), v("a"))}});
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(noCs, (th::Cxt{eq(v("a"), v("a"))}));

  // A long list: first occurrences kept, in order; equal texts of different names kept apart.
  th::Cxt many;
  th::Cxt firsts;
  for (int i = 0; i < 30; ++i) many.push_back(eq(v("a" + std::to_string(i % 12)), con("Int")));
  for (int i = 0; i < 12; ++i) firsts.push_back(eq(v("a" + std::to_string(i)), con("Int")));
  many.push_back(eq(th::VarT{th::Name{"M.x", th::NameS{}}}, con("Int")));
  many.push_back(eq(th::VarT{th::mkName("M.x")}, con("Int")));
  firsts.push_back(many[30]);
  firsts.push_back(many[31]);
  EXPECT_EQ(si::closeRenamingOverKinds(decl, cons, {{}, many}).second, firsts);
}

TEST(NormalizeCon, DeeplyNestedQuantifiers) {
  th::Con c = th::NormalC{n("Mk"), {}};
  for (int i = 0; i < kDeep; ++i) c = forallC({specified("a" + std::to_string(i))}, {}, c);
  onSmallStack([&] {
    th::TestEnv env;
    const auto got = si::normalizeConFor(env, false, n("T"), {}, {}, star(), c);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].constructorVars.size(), std::size_t{kDeep});
    // a0 is the innermost layer.
    EXPECT_EQ(got[0].constructorVars.front(), unit("a0"));
    EXPECT_EQ(got[0].constructorVars.back(), unit("a" + std::to_string(kDeep - 1)));
    c = th::NormalC{n("Mk"), {}};
  });
}

}  // namespace
