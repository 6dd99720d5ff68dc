#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "hs/error.hpp"
#include "hs/th/lib.hpp"
#include "hs/th/q.hpp"
#include "hs/th/testenv.hpp"

namespace {

namespace th = hs::th;
using th::Name;
using th::Type;
using Strings = std::vector<std::string>;

const Name T = th::mkName("T");
const Name F = th::mkName("F");
const Name a = th::mkName("a");
const Name intN = th::mkNameG_tc("ghc-prim", "GHC.Types", "Int");

Type var(const Name& n) { return th::VarT{n}; }
Type con(const Name& n) { return th::ConT{n}; }
Type app(Type f, Type x) { return th::AppT{std::move(f), std::move(x)}; }
Type arrow(Type x, Type y) { return app(app(th::ArrowT{}, std::move(x)), std::move(y)); }

TEST(ThQ, RecoverCatchesOnlyReflectionFailuresAndKeepsTheirEffects) {
  th::TestEnv env;
  auto fallback = [](th::Q&) { return std::string("fallback"); };
  // A failure after a fresh name and a query: the handler runs, the counter and log stay.
  EXPECT_EQ(env.recover(fallback,
                        [](th::Q& q) -> std::string {
                          q.newName("x");
                          (void)q.reify(T);
                          return "unreachable";
                        }),
            "fallback");
  EXPECT_EQ(env.log(), (Strings{"newName x", "reify T"}));
  EXPECT_EQ(env.newName("y"), th::mkNameU("y", 2));
  EXPECT_EQ(env.recover(fallback, [](th::Q&) { return std::string("ran"); }), "ran");

  // Program errors and other exceptions pass through; the handler does not run.
  int handled = 0;
  auto counting = [&](th::Q&) {
    ++handled;
    return 0;
  };
  EXPECT_THROW(env.recover(counting, [](th::Q&) -> int { hs::errorWithoutStackTrace("bug"); }),
               hs::ProgramError);
  EXPECT_THROW(env.recover(counting, [](th::Q&) -> int { throw std::runtime_error("io"); }),
               std::runtime_error);
  EXPECT_EQ(handled, 0);
  // A failing handler fails the whole recover; nested recovers catch the inner failure only.
  try {
    env.recover([](th::Q& q) -> int { q.fail("handler failed"); },
                [](th::Q& q) -> int { q.fail("inner"); });
    FAIL();
  } catch (const th::QFailure& e) {
    EXPECT_EQ(e.message(), "handler failed");
  }
  EXPECT_EQ(env.recover(counting,
                        [&](th::Q& q) {
                          return q.recover([](th::Q&) { return 7; },
                                           [](th::Q& q2) -> int { q2.fail("deep"); }) +
                                 1;
                        }),
            8);
}

TEST(ThTestEnv, DeclarationsAreReportedAsTheCompilerWould) {
  th::TestEnv env;
  const th::Bang bang{};
  // data T (a :: *) = MkT { field :: a } | forall b. Show b => Ex b Int
  const th::Dec dataT = th::DataD{
      {},
      T,
      {th::KindedTV{a, hs::unit, Type(th::StarT{})}},
      std::nullopt,
      {th::RecC{th::mkName("MkT"), {{th::mkName("field"), bang, var(a)}}},
       th::ForallC{
           {th::PlainTV{th::mkName("b"), th::SpecifiedSpec}},
           {app(con(th::mkName("Show")), var(th::mkName("b")))},
           th::NormalC{th::mkName("Ex"), {{bang, var(th::mkName("b"))}, {bang, con(intN)}}}}},
      {}};
  env.declare(dataT);
  EXPECT_EQ(env.reify(T), th::Info(th::TyConI{dataT}));
  EXPECT_EQ(th::show(env.reifyType(T)), th::show(arrow(th::StarT{}, th::StarT{})));
  const Type tA = app(con(T), var(a));
  EXPECT_EQ(env.reify(th::mkName("MkT")),
            th::Info(th::DataConI{
                th::mkName("MkT"),
                th::ForallT{
                    {th::KindedTV{a, th::SpecifiedSpec, Type(th::StarT{})}}, {}, arrow(var(a), tA)},
                T}));
  EXPECT_EQ(th::show(env.reifyType(th::mkName("Ex"))),
            th::show(Type(th::ForallT{{th::KindedTV{a, th::SpecifiedSpec, Type(th::StarT{})},
                                       th::PlainTV{th::mkName("b"), th::SpecifiedSpec}},
                                      {app(con(th::mkName("Show")), var(th::mkName("b")))},
                                      arrow(var(th::mkName("b")), arrow(con(intN), tA))})));
  const th::Info field = env.reify(th::mkName("field"));
  ASSERT_TRUE(field.is<th::VarI>());
  EXPECT_EQ(th::show(field.get_if<th::VarI>()->type),
            th::show(Type(th::ForallT{
                {th::KindedTV{a, th::SpecifiedSpec, Type(th::StarT{})}}, {}, arrow(tA, var(a))})));

  // A data family collects its instances, declared before or after it; constructors of an
  // instance have the family as parent.
  const th::Dec inst1 = th::DataInstD{
      {}, std::nullopt, app(con(F), con(intN)), std::nullopt, {th::NormalC{th::mkName("FInt"), {}}},
      {}};
  const th::Dec family =
      th::DataFamilyD{F, {th::KindedTV{a, hs::unit, Type(th::StarT{})}}, std::nullopt};
  const th::Dec inst2 = th::DataInstD{{},
                                      std::nullopt,
                                      app(con(F), var(a)),
                                      std::nullopt,
                                      {th::GadtC{{th::mkName("FA")}, {}, app(con(F), var(a))}},
                                      {}};
  env.declare(inst1);
  env.declare(family);
  env.declare(inst2);
  EXPECT_EQ(env.reify(F), th::Info(th::FamilyI{family, {inst1, inst2}}));
  EXPECT_EQ(env.reify(th::mkName("FA")),
            th::Info(th::DataConI{
                th::mkName("FA"),
                th::ForallT{{th::PlainTV{a, th::SpecifiedSpec}}, {}, app(con(F), var(a))}, F}));
  // A kind variable of the binders is quantified; a plain binder leaves the kind unknown.
  const Name k = th::mkName("k");
  env.declare(
      th::DataD{{}, th::mkName("P"), {th::KindedTV{a, hs::unit, var(k)}}, std::nullopt, {}, {}});
  EXPECT_EQ(env.reifyType(th::mkName("P")),
            Type(th::ForallT{{th::PlainTV{k, th::SpecifiedSpec}}, {}, arrow(var(k), th::StarT{})}));
  env.declare(th::DataD{{}, th::mkName("U"), {th::PlainTV{a, hs::unit}}, std::nullopt, {}, {}});
  EXPECT_THROW((void)env.reifyType(th::mkName("U")), th::QFailure);
}

TEST(ThTestEnv, QueriesLogTheirOrderAndFailAsConfigured) {
  th::TestEnv env(10);
  env.declare(th::TySynD{T, {}, con(intN)});
  const Name plus = th::mkName("+");
  env.setFixity(plus, th::Fixity{6, th::FixityDirection::InfixL});
  env.failOn(th::TestEnv::Query::ReifyFixity, th::mkName("bad"), "injected");
  env.failOn(th::TestEnv::Query::NewName, Name{"z", th::NameS{}}, "no fresh z");

  EXPECT_EQ(env.reifyFixity(plus), (th::Fixity{6, th::FixityDirection::InfixL}));
  EXPECT_EQ(env.reifyFixity(T), std::nullopt);  // known, no fixity declaration
  EXPECT_THROW((void)env.reifyFixity(th::mkName("unknown")), th::QFailure);
  try {
    (void)env.reifyFixity(th::mkName("bad"));
    FAIL();
  } catch (const th::QFailure& e) {
    EXPECT_EQ(e.message(), "injected");
  }
  EXPECT_EQ(env.newName("x"), th::mkNameU("x", 10));
  EXPECT_THROW(env.newName("z"), th::QFailure);
  try {
    (void)env.reify(th::mkName("M.missing"));
    FAIL();
  } catch (const th::QFailure& e) {
    EXPECT_EQ(e.message(), "M.missing is not in scope at a reify");
  }
  EXPECT_THROW((void)env.reifyType(T), th::QFailure);
  EXPECT_EQ(env.log(),
            (Strings{"reifyFixity +", "reifyFixity T", "reifyFixity unknown", "reifyFixity bad",
                     "newName x", "newName z", "reify M.missing", "reifyType T"}));
  // A failed fresh name still used up no unique; the next one follows on.
  EXPECT_EQ(env.nextUnique(), 11u);
}

TEST(ThLib, DeclarationBuildersRunTheirActionsInArgumentOrder) {
  th::TestEnv env;
  Strings ran;
  auto pred = [&](const char* tag) -> th::PredQ {
    return [&ran, tag](th::Q&) {
      ran.push_back(tag);
      return Type(th::ConT{th::mkName(tag)});
    };
  };
  auto conQ = [&](const char* tag) -> th::ConQ {
    return [&ran, tag](th::Q&) {
      ran.push_back(tag);
      return th::Con(th::NormalC{th::mkName(tag), {}});
    };
  };
  const th::Dec d = th::dataD(env,
                              [&](th::Q& q) {
                                return th::cxt(q, {pred("c1"), pred("c2")});
                              },
                              T, {}, std::nullopt, {conQ("K1"), conQ("K2")}, {[&](th::Q& q) {
                                return th::derivClause(q, std::nullopt, {pred("Show"), pred("Eq")});
                              }});
  EXPECT_EQ(ran, (Strings{"c1", "c2", "K1", "K2", "Show", "Eq"}));
  EXPECT_EQ(th::show(d),
            "DataD [ConT c1,ConT c2] T [] Nothing [NormalC K1 [],NormalC K2 []] "
            "[DerivClause Nothing [ConT Show,ConT Eq]]");

  // A failing constructor action stops the builder before the deriving clauses.
  ran.clear();
  EXPECT_THROW((void)th::newtypeD(env, th::pureQ(th::Cxt{}), T, {}, std::nullopt,
                            [](th::Q& q) -> th::Con { q.fail("no constructor"); }, {[&](th::Q& q) {
                              return th::derivClause(q, std::nullopt, {pred("Show")});
                            }}),
               th::QFailure);
  EXPECT_TRUE(ran.empty());
}

}  // namespace
