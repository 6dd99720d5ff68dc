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
using Strings = std::vector<std::string>;

// A compact text of a telescope: one piece per element.
template <class Flag>
std::string binderNames(const std::vector<th::TyVarBndr<Flag>>& bs) {
  std::string out;
  for (const auto& b : bs) out += " " + th::show(b);
  return out;
}
std::string describe(const si::FunArgs& args) {
  std::string out;
  for (const si::FunArg& a : args) {
    if (const auto* anon = std::get_if<si::FAAnon>(&a)) {
      out += "anon " + th::show(anon->kind) + ";";
    } else if (const auto* c = std::get_if<si::FACxt>(&a)) {
      out += "cxt";
      for (const Type& p : c->context) out += " " + th::show(p);
      out += ";";
    } else {
      const auto& tele = std::get<si::FAForalls>(a).telescope;
      if (const auto* vis = std::get_if<si::ForallVis>(&tele))
        out += "vis" + binderNames(vis->binders) + ";";
      else
        out += "invis" + binderNames(std::get<si::ForallInvis>(tele).binders) + ";";
    }
  }
  return out;
}

void expectSiteError(const std::function<void()>& f, const char* message, int line, int from,
                     int to) {
  try {
    f();
    ADD_FAILURE() << "no error";
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), message);
    ASSERT_EQ(e.callStack().entries().size(), 1u);
    const hs::SrcLoc& site = e.callStack().entries()[0];
    EXPECT_EQ(site.file, "src/Sarkel/Datatype");
    EXPECT_EQ(site.module, "Sarkel.Datatype");
    EXPECT_EQ(site.startLine, line);
    EXPECT_EQ(site.startCol, from);
    EXPECT_EQ(site.endCol, to);
  }
}

TEST(Telescope, SplitAndRebuild) {
  const Type eqA = app(con("Eq"), v("a"));
  struct Case {
    const char* what;
    Type type;
    std::string telescope;
    Type result;
  };
  const Case cases[] = {
      {"forall a. Eq a => a -> Int", forall({specified("a")}, {eqA}, arrow(v("a"), con("Int"))),
       "invis PlainTV a SpecifiedSpec;cxt AppT (ConT Eq) (VarT a);anon VarT a;", con("Int")},
      {"forall a. a: an empty context", forall({specified("a")}, {}, v("a")),
       "invis PlainTV a SpecifiedSpec;cxt;", v("a")},
      {"forall k -> k -> Type", th::ForallVisT{{unit("k")}, arrow(v("k"), star())},
       "vis PlainTV k ();anon VarT k;", star()},
      {"nested quantifiers",
       forall({specified("a")}, {}, forall({specified("b")}, {eqA}, arrow(v("a"), v("b")))),
       "invis PlainTV a SpecifiedSpec;cxt;invis PlainTV b SpecifiedSpec;cxt AppT (ConT Eq) (VarT "
       "a);"
       "anon VarT a;",
       v("b")},
      {"a context alone", forall({}, {eqA}, v("a")), "invis;cxt AppT (ConT Eq) (VarT a);", v("a")},
      {"a signature is a result", sig(arrow(v("a"), v("b")), star()), "",
       sig(arrow(v("a"), v("b")), star())},
      {"an arrow applied to one argument", app(th::ArrowT{}, v("a")), "",
       app(th::ArrowT{}, v("a"))},
  };
  for (const Case& c : cases) {
    const auto [args, result] = si::splitFunArgs(c.type);
    EXPECT_EQ(describe(args), c.telescope) << c.what;
    EXPECT_EQ(result, c.result) << c.what;
    EXPECT_EQ(si::funArgsToType(args, result), c.type) << c.what;
  }
  const th::Cxt ctx{eqA};
  EXPECT_EQ(si::funArgsToType({si::FACxt{ctx}}, v("r")), forall({}, ctx, v("r")));
  EXPECT_EQ(
      si::funArgsToType({si::FAForalls{si::ForallInvis{{specified("a")}}}, si::FAAnon{v("a")}}, v("r")),
      forall({specified("a")}, {}, arrow(v("a"), v("r"))));
  EXPECT_EQ(
      si::funArgsToType(
          {si::FAForalls{si::ForallInvis{{specified("a")}}}, si::FACxt{ctx}, si::FACxt{ctx}}, v("r")),
      forall({specified("a")}, ctx, forall({}, ctx, v("r"))));
}

TEST(Telescope, LongTelescopes) {
  Type t = star();
  for (int i = 0; i < kDeep; ++i) t = i % 3 == 0 ? forall({specified("a")}, {}, t) : arrow(v("a"), t);
  onSmallStack([&] {
    const auto [args, result] = si::splitFunArgs(t);
    EXPECT_EQ(result, star());
    EXPECT_EQ(si::funArgsToType(args, result), t);
    EXPECT_EQ(si::funArgsTypes(args).size(), std::size_t{kDeep});
    const auto [binders, context, arrows, last] = si::splitArrowTelescope(t);
    EXPECT_EQ(binders.size() + arrows.size(), std::size_t{kDeep});
  });
}

TEST(Telescope, VisibleArgumentsUpTo) {
  using Pairs = std::vector<std::pair<std::string, si::VisFunArg>>;
  const auto describePairs = [](const Pairs& ps) {
    std::string out;
    for (const auto& [item, arg] : ps) {
      out += item + "=";
      if (const auto* dep = std::get_if<si::VisFADep>(&arg))
        out += "dep " + th::show(dep->binder) + ";";
      else
        out += "anon " + th::show(std::get<si::VisFAAnon>(arg).kind) + ";";
    }
    return out;
  };
  struct Case {
    const char* what;
    std::vector<std::string> items;
    Type kind;
    std::string pairs;
    std::string rest;
  };
  const Case cases[] = {
      {"forall k -> k -> Type",
       {"i"},
       th::ForallVisT{{unit("k")}, arrow(v("k"), star())},
       "i=dep PlainTV k ();",
       "anon VarT k;"},
      {"a quantifier only partly used",
       {"i"},
       th::ForallVisT{{unit("k"), unit("j")}, arrow(v("k"), star())},
       "i=dep PlainTV k ();",
       "vis PlainTV j ();anon VarT k;"},
      {"a quantifier used up",
       {"i", "m", "o"},
       th::ForallVisT{{unit("k"), unit("j")}, arrow(v("k"), star())},
       "i=dep PlainTV k ();m=dep PlainTV j ();o=anon VarT k;",
       ""},
      {"invisible quantifiers and contexts skipped",
       {"i"},
       forall({specified("k")}, {app(con("C"), v("k"))}, arrow(v("k"), arrow(star(), star()))),
       "i=anon VarT k;",
       "anon StarT;"},
      {"no items",
       {},
       forall({specified("k")}, {}, arrow(v("k"), star())),
       "",
       "invis PlainTV k SpecifiedSpec;cxt;anon VarT k;"},
  };
  for (const Case& c : cases) {
    const auto [pairs, rest] = si::filterVisFunArgsUpTo(c.items, si::splitFunArgs(c.kind).first);
    EXPECT_EQ(describePairs(pairs), c.pairs) << c.what;
    EXPECT_EQ(describe(rest), c.rest) << c.what;
  }
  expectSiteError(
      [] {
        (void)si::filterVisFunArgsUpTo(std::vector<int>{1, 2},
                                 si::splitFunArgs(arrow(star(), star())).first);
      },
      "filterVisFunArgsUpTo.go_fun_args: Too few FunArgs", 1962, 7, 12);
}

TEST(Telescope, ConversionsAndPairs) {
  const auto [binders, context, args, result] = si::splitArrowTelescope(
      forall({specified("a")}, {app(con("C"), v("a"))},
             arrow(v("a"), forall({specified("b", star())}, {app(con("D"), v("b"))},
                                  arrow(v("b"), th::ForallVisT{{unit("k")}, v("k")})))));
  EXPECT_EQ(binders, (std::vector<th::TyVarBndrSpec>{specified("a"), specified("b", star())}));
  EXPECT_EQ(context, (th::Cxt{app(con("C"), v("a")), app(con("D"), v("b"))}));
  EXPECT_EQ(args, (std::vector<Type>{v("a"), v("b")}));
  EXPECT_EQ(result, Type(th::ForallVisT{{unit("k")}, v("k")}));

  EXPECT_EQ(si::binderAsType(unit("a")), v("a"));
  EXPECT_EQ(si::binderAsType(specified("a", v("k"))), sig(v("a"), v("k")));
  EXPECT_EQ(si::binderAsType(std::vector<th::TyVarBndrUnit>{unit("a"), unit("b", star())}),
            (std::vector<Type>{v("a"), sig(v("b"), star())}));

  const si::FunArgs tele{si::FAForalls{si::ForallInvis{{specified("a", v("k"))}}},
                         si::FACxt{{app(con("C"), v("a"))}}, si::FAAnon{con("Int")},
                         si::FAForalls{si::ForallVis{{unit("j")}}}};
  EXPECT_EQ(si::funArgsTypes(tele),
            (std::vector<Type>{sig(v("a"), v("k")), app(con("C"), v("a")), con("Int"), v("j")}));

  const auto [declared, kinds] =
      si::splitVisFunArgPairs({{v("x"), si::VisFADep{unit("k", star())}},
                               {sig(v("y"), v("j")), si::VisFAAnon{v("k")}},
                               {v("z"), si::VisFAAnon{star()}}});
  EXPECT_EQ(declared, (std::vector<Type>{v("x"), v("j")}));
  EXPECT_EQ(kinds, (std::vector<Type>{sig(v("k"), star()), v("k")}));
}

class Kinds : public ::testing::Test {
 protected:
  Kinds() { env.declare(th::TySynD{n("KType"), {}, star()}); }
  th::TestEnv env;
};

TEST_F(Kinds, ReifyKindMaybe) {
  const Type declared = arrow(v("k"), star());
  const auto own = si::reifyKindMaybe(env, n("T"), {v("a")}, declared);
  ASSERT_TRUE(own.has_value());
  EXPECT_TRUE(th::sameObject(own->force(), declared));
  EXPECT_TRUE(env.log().empty());

  EXPECT_FALSE(si::reifyKindMaybe(env, n("Unknown"), {v("a")}, std::nullopt).has_value());
  EXPECT_EQ(env.log(), Strings{"reifyType Unknown"});
  env.clearLog();

  // The kind calls its variable k where the declaration says j: the remainder is in j.
  env.setKind(n("T"), forall({specified("k")}, {}, arrow(v("k"), arrow(v("k"), star()))));
  EXPECT_EQ(si::reifyKindMaybe(env, n("T"), {sig(v("a"), v("j"))}, std::nullopt)->force(),
            arrow(v("j"), star()));
  env.setKind(n("V"), th::ForallVisT{{unit("k")}, arrow(v("k"), star())});
  EXPECT_EQ(si::reifyKindMaybe(env, n("V"), {v("j")}, std::nullopt)->force(),
            arrow(v("j"), star()));

  // Synonyms in the reified kind are resolved before it is split.
  env.clearLog();
  env.setKind(n("S"), arrow(con("KType"), arrow(con("KType"), con("KType"))));
  EXPECT_EQ(si::reifyKindMaybe(env, n("S"), {v("a")}, std::nullopt)->force(),
            arrow(star(), star()));
  EXPECT_EQ(env.log(), (Strings{"reifyType S", "reify KType", "reify KType", "reify KType"}));

  // A kind ending in a variable takes further arguments; past them the remainder is Type. With
  // exactly as many arguments as arrows the variable is what remains.
  env.setKind(n("R"), forall({specified("k")}, {}, v("k")));
  env.setKind(n("R3"), forall({specified("k")}, {}, arrow(star(), v("k"))));
  env.setKind(n("RV"), th::ForallVisT{{unit("k")}, v("k")});
  struct Open {
    const char* name;
    std::vector<Type> args;
    Type remainder;
  };
  const Open open[] = {
      {"R", {}, forall({specified("k")}, {}, v("k"))},
      {"R", {con("Int")}, star()},
      {"R", {con("Int"), sig(v("b"), v("j")), v("c")}, star()},
      {"R3", {con("Int")}, v("k")},
      {"R3", {con("Int"), con("Bool")}, star()},
      {"RV", {v("j")}, v("j")},
      {"RV", {arrow(star(), star()), con("Maybe")}, star()},
  };
  for (const Open& o : open)
    EXPECT_EQ(si::reifyKindMaybe(env, n(o.name), o.args, std::nullopt)->force(), o.remainder)
        << o.name << " " << o.args.size();

  // Too few visible arguments: the error comes when the kind is used.
  env.setKind(n("U"), arrow(star(), star()));
  const auto short_ = si::reifyKindMaybe(env, n("U"), {v("a"), v("b")}, std::nullopt);
  ASSERT_TRUE(short_.has_value());
  expectSiteError([&] { short_->force(); }, "filterVisFunArgsUpTo.go_fun_args: Too few FunArgs",
                  1962, 7, 12);
}

TEST_F(Kinds, FreshKindBinders) {
  const auto [binders, rewritten] =
      si::freshKindBinders(env, si::splitFunArgs(arrow(star(), arrow(v("j"), star()))).first);
  EXPECT_EQ(env.log(), (Strings{"newName x", "newName x"}));
  const th::TyVarBndrUnit x1 = th::KindedTV{th::mkNameU("x", 1), hs::unit, star()};
  const th::TyVarBndrUnit x2 = th::KindedTV{th::mkNameU("x", 2), hs::unit, v("j")};
  EXPECT_EQ(binders, (std::vector<th::TyVarBndrUnit>{x1, x2}));
  EXPECT_EQ(describe(rewritten), "vis KindedTV x_1 () StarT;vis KindedTV x_2 () (VarT j);");

  // Visible quantifiers give their binders; invisible ones and contexts nothing.
  env.clearLog();
  const auto [more, rest] = si::freshKindBinders(
      env,
      si::splitFunArgs(forall({specified("i")}, {}, th::ForallVisT{{unit("k")}, arrow(v("k"), star())}))
          .first);
  const th::TyVarBndrUnit x3 = th::KindedTV{th::mkNameU("x", 3), hs::unit, v("k")};
  EXPECT_EQ(more, (std::vector<th::TyVarBndrUnit>{unit("k"), x3}));
  EXPECT_EQ(describe(rest),
            "invis PlainTV i SpecifiedSpec;cxt;vis PlainTV k ();vis KindedTV x_3 () (VarT k);");
}

TEST_F(Kinds, RepairBinderKinds) {
  const std::vector<th::TyVarBndrUnit> family{unit("a", con("Bool")), unit("b")};
  EXPECT_EQ(si::repairBinderKinds(env, family, std::nullopt, {v("x"), con("Int")}),
            (std::vector<Type>{sig(v("x"), con("Bool")), con("Int")}));
  // As long as the shorter list.
  EXPECT_EQ(si::repairBinderKinds(env, family, std::nullopt, {v("x"), v("y"), v("z")}),
            (std::vector<Type>{sig(v("x"), con("Bool")), sig(v("y"), star())}));
  EXPECT_TRUE(env.log().empty());
  // The family's kind gives further binders, fresh, its synonyms resolved.
  EXPECT_EQ(
      si::repairBinderKinds(env, family, arrow(con("KType"), con("KType")),
                            {v("x"), v("y"), v("z"), app(con("Maybe"), v("w"))}),
      (std::vector<Type>{sig(v("x"), con("Bool")), sig(v("y"), star()), sig(v("z"), star())}));
  EXPECT_EQ(env.log(), (Strings{"reify KType", "reify KType", "newName x"}));
}

}  // namespace
