#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/th/testenv.hpp"
#include "sarkel/datatype.hpp"
#include "sarkel/datatype/internal.hpp"

namespace {

namespace th = hs::th;
namespace si = sarkel::internal;
using th::Name;
using th::Type;
using Strings = std::vector<std::string>;

const Name c = th::mkName("C");
const Type va = th::VarT{th::mkName("a")};
const Type vb = th::VarT{th::mkName("b")};
const Type k = th::VarT{th::mkName("k")};

Type app(Type f, Type x) { return th::AppT{std::move(f), std::move(x)}; }

TEST(Syntax, PredicatesBuiltAndRecognised) {
  const Type eqNamed = sarkel::classPred(si::eqTypeName(), {va, vb});
  EXPECT_EQ(sarkel::equalPred(va, vb), app(app(th::EqualityT{}, va), vb));
  EXPECT_EQ(sarkel::classPred(c, {}), Type(th::ConT{c}));
  EXPECT_EQ(sarkel::arrowKCompat(th::StarT{}, k), app(app(th::ArrowT{}, th::StarT{}), k));

  using Eq = std::optional<std::pair<Type, Type>>;
  const std::pair<Type, Eq> equalities[] = {
      {sarkel::equalPred(va, vb), Eq({va, vb})},
      {eqNamed, Eq({va, vb})},
      {th::ParensT{sarkel::equalPred(va, vb)}, std::nullopt},
      {app(th::ParensT{app(th::EqualityT{}, va)}, vb), std::nullopt},
      {th::AppKindT{sarkel::equalPred(va, vb), k}, std::nullopt},
      // A "~" of another flavour is not the equality.
      {sarkel::classPred(th::mkName("~"), {va, vb}), std::nullopt},
      {app(th::EqualityT{}, va), std::nullopt},
  };
  for (const auto& [p, want] : equalities) EXPECT_EQ(sarkel::asEqualPred(p), want) << th::show(p);

  using Cls = std::optional<std::pair<Name, std::vector<Type>>>;
  const std::pair<Type, Cls> classes[] = {
      {sarkel::equalPred(va, vb), std::nullopt},
      {eqNamed, std::nullopt},
      {sarkel::classPred(th::mkName("~"), {va, vb}), Cls({th::mkName("~"), {va, vb}})},
      {th::ParensT{app(th::ConT{c}, va)}, Cls({c, {va}})},
      {th::AppKindT{app(th::ConT{c}, va), k}, Cls({c, {va}})},
      {th::ConT{c}, Cls({c, {}})},
      {app(va, vb), std::nullopt},
      {th::SigT{th::ConT{c}, k}, std::nullopt},
      {app(th::PromotedT{c}, va), std::nullopt},
  };
  for (const auto& [p, want] : classes) EXPECT_EQ(sarkel::asClassPred(p), want) << th::show(p);
}

TEST(Syntax, ApplicationSpines) {
  const Type cT = th::ConT{c};
  struct Case {
    Type type;
    Type head;
    std::vector<si::TypeArg> args;
    Type rebuilt;  // the head re-applied to the arguments
  };
  const Case cases[] = {
      {app(app(cT, va), vb), cT, {si::TANormal{va}, si::TANormal{vb}}, app(app(cT, va), vb)},
      // Round brackets on the spine disappear; those around an argument stay.
      {app(th::ParensT{app(cT, va)}, vb),
       cT,
       {si::TANormal{va}, si::TANormal{vb}},
       app(app(cT, va), vb)},
      {th::AppKindT{app(cT, th::ParensT{va}), k},
       cT,
       {si::TANormal{th::ParensT{va}}, si::TyArg{k}},
       th::AppKindT{app(cT, th::ParensT{va}), k}},
      {app(th::AppKindT{cT, k}, va),
       cT,
       {si::TyArg{k}, si::TANormal{va}},
       app(th::AppKindT{cT, k}, va)},
      // Kind signatures and quantifiers are heads.
      {app(th::SigT{cT, k}, va), th::SigT{cT, k}, {si::TANormal{va}}, app(th::SigT{cT, k}, va)},
      {cT, cT, {}, cT},
  };
  for (const Case& x : cases) {
    const auto [head, args] = si::typeAppSpine(x.type);
    EXPECT_EQ(head, x.head) << th::show(x.type);
    EXPECT_EQ(args, x.args) << th::show(x.type);
    Type again = head;
    for (const si::TypeArg& a : args) again = si::reapplyTypeArg(again, a);
    EXPECT_EQ(again, x.rebuilt) << th::show(x.type);
  }
  EXPECT_EQ(si::visibleTypeArg(si::TANormal{va}), std::optional<Type>(va));
  EXPECT_EQ(si::visibleTypeArg(si::TyArg{k}), std::nullopt);
  // The head comes back as the very node.
  EXPECT_TRUE(th::sameObject(si::typeAppSpine(app(cT, va)).first, cT));
}

TEST(Syntax, FixityLookupAndText) {
  th::TestEnv env;
  const Name plus = th::mkName("+");
  const Name cons = th::mkName(":|");
  env.setFixity(plus, th::Fixity{6, th::FixityDirection::InfixL});
  env.setInfo(cons, th::Info(th::DataConI{cons, th::StarT{}, th::mkName("NonEmpty")}));
  env.failOn(th::TestEnv::Query::ReifyFixity, th::mkName("broken"), "cannot look it up");

  EXPECT_EQ(sarkel::reifyFixityCompat(env, plus), (th::Fixity{6, th::FixityDirection::InfixL}));
  EXPECT_EQ(sarkel::reifyFixityCompat(env, cons), th::defaultFixity);
  EXPECT_EQ(sarkel::reifyFixityCompat(env, th::mkName("broken")), std::nullopt);
  EXPECT_EQ(sarkel::reifyFixityCompat(env, th::mkName("unknown")), std::nullopt);
  EXPECT_EQ(env.log(), (Strings{"reifyFixity +", "reifyFixity :|", "reifyFixity broken",
                                "reifyFixity unknown"}));

  const std::pair<th::Fixity, std::string> texts[] = {
      {th::defaultFixity, "infixl 9"},
      {{0, th::FixityDirection::InfixN}, "infix 0"},
      {{5, th::FixityDirection::InfixR}, "infixr 5"},
      {{-1, th::FixityDirection::InfixL}, "infixl -1"},
  };
  for (const auto& [f, text] : texts) EXPECT_EQ(sarkel::showFixity(f), text);
  EXPECT_EQ(sarkel::showFixityDirection(th::FixityDirection::InfixN), "infix");
}

TEST(Syntax, DeclarationBuildersRunActionsInOrder) {
  th::TestEnv env;
  Strings ran;
  auto type = [&](std::string tag, Type t) -> th::TypeQ {
    return [&ran, tag, t](th::Q&) {
      ran.push_back(tag);
      return t;
    };
  };
  const Name fam = th::mkName("F");
  const th::Dec inst =
      sarkel::tySynInstDCompat(env, fam, std::vector<th::TyVarBndrUnitQ>{[&](th::Q&) {
                                 ran.push_back("binder");
                                 return th::TyVarBndrUnit(th::PlainTV{th::mkName("a"), hs::unit});
                               }},
                               {type("arg1", va), type("arg2", th::ConT{c})}, type("rhs", vb));
  EXPECT_EQ(ran, (Strings{"binder", "arg1", "arg2", "rhs"}));
  EXPECT_EQ(inst, th::Dec(th::TySynInstD{th::TySynEqn{
                      std::vector<th::TyVarBndrUnit>{th::PlainTV{th::mkName("a"), hs::unit}},
                      app(app(th::ConT{fam}, va), th::ConT{c}), vb}}));
  // Absent binders are not an empty list; no arguments leave the family alone.
  EXPECT_EQ(sarkel::tySynInstDCompat(env, fam, std::nullopt, {}, th::pureQ(vb)),
            th::Dec(th::TySynInstD{th::TySynEqn{std::nullopt, th::ConT{fam}, vb}}));
  // A failing argument stops the builder before the later ones.
  ran.clear();
  EXPECT_THROW(
      (void)sarkel::tySynInstDCompat(
          env, fam, std::nullopt,
          {type("arg1", va), [](th::Q& q) -> Type { q.fail("bad argument"); }, type("arg3", va)},
          type("rhs", vb)),
      th::QFailure);
  EXPECT_EQ(ran, (Strings{"arg1"}));

  const Name t = th::mkName("T");
  const th::ConQ mk = th::pureQ(th::Con(th::NormalC{th::mkName("Mk"), {}}));
  const th::Dec plain = sarkel::dataDCompat(env, th::pureQ(th::Cxt{}), t, {}, {mk}, {});
  EXPECT_EQ(plain, th::Dec(th::DataD{{}, t, {}, std::nullopt, {mk(env)}, {}}));
  const th::Dec derived = sarkel::newtypeDCompat(env, th::pureQ(th::Cxt{va}), t, {}, mk,
                                                 {th::mkName("Show"), th::mkName("Eq")});
  EXPECT_EQ(derived,
            th::Dec(th::NewtypeD{
                {va},
                t,
                {},
                std::nullopt,
                mk(env),
                {th::DerivClause{std::nullopt,
                                 {th::ConT{th::mkName("Show")}, th::ConT{th::mkName("Eq")}}}}}));

  const auto line = sarkel::pragLineDCompat(12, "src/M.hs");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ((*line)(env), th::Dec(th::PragmaD{th::LineP{12, "src/M.hs"}}));
  EXPECT_TRUE(env.log().empty());
}

TEST(Syntax, InternalNames) {
  EXPECT_EQ(si::eqTypeName(), th::mkNameG_tc("ghc-prim", "GHC.Types", "~"));
  EXPECT_EQ(si::starKindName(), th::mkNameG_tc("ghc-prim", "GHC.Prim", "*"));
}

}  // namespace
