#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "helpers.hpp"
#include "hs/th/testenv.hpp"
#include "sarkel/datatype.hpp"

namespace {

using namespace sarkel_test;
using sarkel::Substitution;
using Strings = std::vector<std::string>;
using Mismatch = std::pair<Type, Type>;

std::string failureOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const th::QFailure& e) {
    return e.message();
  }
  return "(no failure)";
}

TEST(Unify, SuccessesAndMismatches) {
  using R = hs::Either<Mismatch, Substitution>;
  const Type maybeA = app(con("Maybe"), v("a"));
  struct Case {
    const char* what;
    Type t1, t2;
    R want;
  };
  const Case cases[] = {
      {"same variable", v("a"), v("a"), hs::Right(Substitution{})},
      {"two variables", v("a"), v("b"), hs::Right(Substitution{{n("a"), v("b")}})},
      {"occurs", v("a"), maybeA, hs::Left(Mismatch{v("a"), maybeA})},
      {"occurs, swapped: the variable first", maybeA, v("a"), hs::Left(Mismatch{v("a"), maybeA})},
      {"applications", app(v("f"), v("a")), app(con("Maybe"), con("Int")),
       hs::Right(Substitution{{n("f"), con("Maybe")}, {n("a"), con("Int")}})},
      {"signature ignored", sig(v("a"), star()), con("Int"),
       hs::Right(Substitution{{n("a"), con("Int")}})},
      {"signature kept in the entry", v("a"), sig(con("Int"), star()),
       hs::Right(Substitution{{n("a"), sig(con("Int"), star())}})},
      {"constructors", con("Int"), con("Bool"), hs::Left(Mismatch{con("Int"), con("Bool")})},
      // The function parts' substitution applies to the arguments before they are unified.
      {"arguments substituted", app(v("f"), v("f")), app(con("Maybe"), con("Int")),
       hs::Left(Mismatch{con("Maybe"), con("Int")})},
      {"combined", app(con("Either"), v("a"), v("b")), app(con("Either"), v("b"), con("Int")),
       hs::Right(Substitution{{n("a"), con("Int")}, {n("b"), con("Int")}})},
      {"quantified types are compared", forall({specified("a")}, {}, v("a")),
       forall({specified("b")}, {}, v("b")),
       hs::Left(Mismatch{forall({specified("a")}, {}, v("a")), forall({specified("b")}, {}, v("b"))})},
      {"equal quantified types", forall({specified("a")}, {}, v("a")), forall({specified("a")}, {}, v("a")),
       hs::Right(Substitution{})},
  };
  for (const Case& c : cases) EXPECT_EQ(sarkel::unify_(c.t1, c.t2), c.want) << c.what;
}

TEST(Unify, DeepApplications) {
  Type t1 = v("a");
  Type t2 = con("Int");
  for (int i = 0; i < kDeep; ++i) {
    t1 = app(con("Maybe"), t1);
    t2 = app(con("Maybe"), t2);
  }
  onSmallStack([&] {
    EXPECT_EQ(sarkel::unify_(t1, t2),
              (hs::Either<Mismatch, Substitution>(hs::Right(Substitution{{n("a"), con("Int")}}))));
    // a is Int by the time the arguments meet.
    const auto r = sarkel::unify_(app(t1, v("a")), app(t2, t1));
    ASSERT_TRUE(r.isLeft());
    EXPECT_EQ(r.left(), (Mismatch{con("Int"), t2}));
  });
}

// A test environment with synonyms, data types and a class.
class Synonyms : public ::testing::Test {
 protected:
  Synonyms() {
    auto syn = [&](const char* name, std::vector<th::TyVarBndrUnit> bs, Type rhs) {
      env.declare(th::TySynD{n(name), std::move(bs), std::move(rhs)});
    };
    syn("IntT", {}, con("Int"));
    syn("Nested", {}, con("IntT"));
    syn("Id", {unit("p")}, v("p"));
    syn("Fn", {unit("p"), unit("q")}, arrow(v("p"), v("q")));
    syn("ListOf", {}, th::ListT{});
    syn("Op", {}, con("Either"));
    syn("T3", {unit("p"), unit("q"), unit("r")}, app(app(th::TupleT{3}, v("p"), v("q")), v("r")));
    for (const char* d : {"Int", "Bool", "Maybe", "Either"})
      env.declare(th::DataD{{}, n(d), {}, std::nullopt, {}, {}});
    env.declare(th::ClassD{{}, n("C"), {unit("a")}, {}, {}});
  }
  Type resolve(const Type& t) { return sarkel::resolveTypeSynonyms(env, t); }

  th::TestEnv env;
};

TEST_F(Synonyms, Expansion) {
  const Type intT = con("Int");
  struct Case {
    const char* what;
    Type in;
    Type want;
  };
  const Case cases[] = {
      {"no parameters", con("IntT"), intT},
      {"through two synonyms", con("Nested"), intT},
      {"too few arguments: arguments still resolved", app(con("Fn"), con("IntT")),
       app(con("Fn"), intT)},
      {"more arguments than parameters", app(app(con("Fn"), con("Nested"), con("Bool")), v("c")),
       app(arrow(intT, con("Bool")), v("c"))},
      {"partially applied right-hand side", app(con("ListOf"), con("IntT")),
       app(th::ListT{}, intT)},
      {"brackets on the spine", app(th::ParensT{con("Id")}, con("IntT")), intT},
      {"kind arguments are not carried", app(th::AppKindT{con("Id"), v("k")}, con("Bool")),
       con("Bool")},
      {"kind arguments of other heads resolved",
       app(th::AppKindT{con("Maybe"), con("IntT")}, con("IntT")),
       app(th::AppKindT{con("Maybe"), intT}, intT)},
      {"quantified: kinds, context, body; arguments dropped",
       app(forall({specified("a", con("IntT"))}, {app(con("C"), con("IntT"))},
                  app(con("Fn"), v("a"), con("IntT"))),
           v("x")),
       forall({specified("a", intT)}, {app(con("C"), intT)}, arrow(v("a"), intT))},
      {"visible quantifier", th::ForallVisT{{unit("k", con("IntT"))}, con("Nested")},
       th::ForallVisT{{unit("k", intT)}, intT}},
      {"signature head", app(sig(con("Id"), con("IntT")), con("IntT")),
       app(sig(con("Id"), intT), intT)},
      {"implicit parameter", th::ImplicitParamT{"p", con("IntT")}, th::ImplicitParamT{"p", intT}},
      {"promoted operator: arguments dropped",
       app(th::PromotedInfixT{con("IntT"), n(":"), con("IntT")}, v("x")),
       th::PromotedInfixT{intT, n(":"), intT}},
      // An operator's operands are its first arguments.
      {"operator without parameters", th::InfixT{con("IntT"), n("Op"), v("b")},
       app(con("Either"), intT, v("b"))},
      {"operator with two parameters", th::InfixT{v("x"), n("Fn"), v("y")}, arrow(v("x"), v("y"))},
      {"operator with one parameter", th::UInfixT{v("x"), n("Id"), v("y")}, app(v("x"), v("y"))},
      {"operator with more parameters than operands", th::InfixT{con("IntT"), n("T3"), v("y")},
       th::InfixT{intT, n("T3"), v("y")}},
      {"operator with an argument after it", app(th::UInfixT{v("x"), n("T3"), v("y")}, con("IntT")),
       app(app(th::TupleT{3}, v("x"), v("y")), intT)},
      {"class and unknown names", app(con("C"), con("Unknown")), app(con("C"), con("Unknown"))},
  };
  for (const Case& c : cases) {
    const Type got = resolve(c.in);
    EXPECT_EQ(got, c.want) << c.what << ": " << th::show(got);
  }
  EXPECT_EQ(sarkel::resolveKindSynonyms(env, con("IntT")), intT);
  EXPECT_EQ(sarkel::resolvePredSynonyms(env, app(con("C"), con("IntT"))), app(con("C"), intT));
}

TEST_F(Synonyms, UnchangedTypesAreTheInputObjects) {
  const Type t = app(con("Maybe"), app(con("Either"), v("a"), con("Unknown")));
  EXPECT_TRUE(th::sameObject(resolve(t), t));
  const Type q = forall({specified("a", star())}, {app(con("C"), v("a"))}, v("a"));
  EXPECT_TRUE(th::sameObject(resolve(q), q));
}

TEST_F(Synonyms, QueryOrder) {
  // The expansion is resolved again, its arguments in order.
  resolve(app(con("Fn"), con("IntT"), con("Bool")));
  EXPECT_EQ(env.log(), (Strings{"reify Fn", "reify IntT", "reify Int", "reify Bool"}));
  env.clearLog();
  // Operands first, then the operator; the expansion over the resolved operands again.
  resolve(th::InfixT{con("IntT"), n("Op"), con("Bool")});
  EXPECT_EQ(env.log(), (Strings{"reify IntT", "reify Int", "reify Bool", "reify Op", "reify Either",
                                "reify Int", "reify Bool"}));
  env.clearLog();
  // Kind arguments, then visible ones, in application order.
  resolve(app(th::AppKindT{con("Maybe"), con("Bool")}, con("Int")));
  EXPECT_EQ(env.log(), (Strings{"reify Maybe", "reify Bool", "reify Int"}));
}

TEST_F(Synonyms, FailingLookupReadsAsNoSynonym) {
  env.failOn(th::TestEnv::Query::Reify, n("IntT"), "no");
  const Type t = app(con("Maybe"), con("IntT"));
  EXPECT_TRUE(th::sameObject(resolve(t), t));
  EXPECT_EQ(env.log(), (Strings{"reify Maybe", "reify IntT"}));
}

TEST_F(Synonyms, DeepTypes) {
  Type t = con("IntT");
  for (int i = 0; i < kDeep; ++i) t = i % 2 == 0 ? app(con("Id"), t) : arrow(t, v("b"));
  Type want = con("Int");
  for (int i = 0; i < kDeep; ++i)
    if (i % 2 != 0) want = arrow(want, v("b"));
  onSmallStack([&] { EXPECT_EQ(resolve(t), want); });
}

TEST_F(Synonyms, UnifyTypes) {
  EXPECT_EQ(sarkel::unifyTypes(env, {}), Substitution{});
  EXPECT_TRUE(env.log().empty());
  EXPECT_EQ(sarkel::unifyTypes(env, {con("IntT")}), Substitution{});
  EXPECT_EQ(env.log(), (Strings{"reify IntT", "reify Int"}));

  // Synonyms are expanded first; every type is unified with the first.
  EXPECT_EQ(sarkel::unifyTypes(env, {app(v("f"), v("a")), app(con("Maybe"), con("IntT"))}),
            (Substitution{{n("a"), con("Int")}, {n("f"), con("Maybe")}}));
  EXPECT_EQ(sarkel::unifyTypes(
                env, {app(con("Either"), v("a"), v("b")), app(con("Either"), con("Int"), v("c")),
                      app(con("Either"), v("d"), con("Bool"))}),
            (Substitution{{n("a"), con("Int")},
                          {n("b"), con("Bool")},
                          {n("c"), con("Bool")},
                          {n("d"), con("Int")}}));

  EXPECT_EQ(failureOf([&] {
              (void)sarkel::unifyTypes(env, {v("a"), con("Int"), con("Bool")});
            }),
            "Unable to unify types (ConT Int) and (ConT Bool)");
  EXPECT_EQ(failureOf([&] {
              (void)sarkel::unifyTypes(env, {v("a"), app(con("Maybe"), v("a"))});
            }),
            "Unable to unify types (VarT a) and (AppT (ConT Maybe) (VarT a))");
}

}  // namespace
