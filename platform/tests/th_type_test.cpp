#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hs/th/ppr.hpp"
#include "hs/th/syntax.hpp"

namespace {

namespace th = hs::th;
using th::Name;
using th::Type;

const Name a = th::mkNameU("a", 1);
const Name k = th::mkName("k");
const Name intN = th::mkNameG_tc("ghc-prim", "GHC.Types", "Int");
const Name maybeN = th::mkNameG_tc("base", "GHC.Maybe", "Maybe");
const Name plusN = th::mkNameG_tc("base", "GHC.TypeNats", "+");
const Name showN = th::mkNameG_tc("base", "GHC.Show", "Show");

Type var(const Name& n) { return th::VarT{n}; }
Type con(const Name& n) { return th::ConT{n}; }
Type app(Type f, Type x) { return th::AppT{std::move(f), std::move(x)}; }
Type arrow(Type x, Type y) { return app(app(th::ArrowT{}, std::move(x)), std::move(y)); }

TEST(ThType, DerivedTextForms) {
  const th::TyVarBndrSpec plainA = th::PlainTV{a, th::SpecifiedSpec};
  const th::TyVarBndrSpec kindedK = th::KindedTV{k, th::InferredSpec, Type(th::StarT{})};
  const std::pair<Type, std::string> cases[] = {
      {app(con(maybeN), var(a)), "AppT (ConT GHC.Maybe.Maybe) (VarT a_1)"},
      {th::ForallT{{kindedK, plainA}, {app(con(showN), var(a))}, var(a)},
       "ForallT [KindedTV k InferredSpec StarT,PlainTV a_1 SpecifiedSpec] "
       "[AppT (ConT GHC.Show.Show) (VarT a_1)] (VarT a_1)"},
      {th::ForallVisT{{th::PlainTV{k, hs::unit}}, var(k)}, "ForallVisT [PlainTV k ()] (VarT k)"},
      {th::SigT{var(a), th::AppKindT{con(maybeN), th::StarT{}}},
       "SigT (VarT a_1) (AppKindT (ConT GHC.Maybe.Maybe) StarT)"},
      {th::InfixT{var(a), plusN, th::LitT{th::NumTyLit(3)}},
       "InfixT (VarT a_1) GHC.TypeNats.+ (LitT (NumTyLit 3))"},
      {th::PromotedUInfixT{th::PromotedT{th::mkName("Z")}, th::mkName(":"), th::PromotedNilT{}},
       "PromotedUInfixT (PromotedT Z) : PromotedNilT"},
      {th::ParensT{th::TupleT{2}}, "ParensT (TupleT 2)"},
      {th::ImplicitParamT{"x\"y", con(intN)}, "ImplicitParamT \"x\\\"y\" (ConT GHC.Types.Int)"},
      {th::LitT{th::StrTyLit{"s"}}, "LitT (StrTyLit \"s\")"},
      {th::LitT{th::CharTyLit{U'\''}}, "LitT (CharTyLit '\\'')"},
      {th::UnboxedSumT{3}, "UnboxedSumT 3"},
      {th::PromotedTupleT{0}, "PromotedTupleT 0"},
  };
  for (const auto& [t, text] : cases) {
    EXPECT_EQ(th::show(t), text);
    std::string bracketed;
    th::showsPrec(11, t, bracketed);
    EXPECT_EQ(bracketed, "(" + text + ")");
  }
  // Forms without fields are never bracketed.
  const std::pair<Type, std::string> bare[] = {
      {th::ArrowT{}, "ArrowT"},
      {th::MulArrowT{}, "MulArrowT"},
      {th::EqualityT{}, "EqualityT"},
      {th::ListT{}, "ListT"},
      {th::PromotedNilT{}, "PromotedNilT"},
      {th::PromotedConsT{}, "PromotedConsT"},
      {th::StarT{}, "StarT"},
      {th::ConstraintT{}, "ConstraintT"},
      {th::WildCardT{}, "WildCardT"},
  };
  for (const auto& [t, text] : bare) {
    std::string s;
    th::showsPrec(11, t, s);
    EXPECT_EQ(s, text);
  }
  EXPECT_EQ(th::show(th::TyVarBndrUnit(th::KindedTV{a, hs::unit, Type(th::StarT{})})),
            "KindedTV a_1 () StarT");
  std::string b;
  th::showsPrec(11, th::TyVarBndrUnit(th::PlainTV{a, hs::unit}), b);
  EXPECT_EQ(b, "(PlainTV a_1 ())");
}

TEST(ThType, EqualityIsStructuralAndIdentityIsTheNode) {
  const Type t = th::ForallT{{th::KindedTV{a, th::SpecifiedSpec, Type(th::StarT{})}},
                             {app(con(showN), var(a))},
                             arrow(var(a), con(intN))};
  const Type rebuilt = th::ForallT{{th::KindedTV{a, th::SpecifiedSpec, Type(th::StarT{})}},
                                   {app(con(showN), var(a))},
                                   arrow(var(a), con(intN))};
  EXPECT_EQ(t, rebuilt);
  EXPECT_FALSE(th::sameObject(t, rebuilt));
  const Type copy = t;
  EXPECT_TRUE(th::sameObject(t, copy));
  EXPECT_TRUE(th::sameObject(Type(th::StarT{}), Type(th::StarT{})));

  // Each differs from t in one place.
  const Type others[] = {
      th::ForallT{{th::KindedTV{a, th::InferredSpec, Type(th::StarT{})}},
                  {app(con(showN), var(a))},
                  arrow(var(a), con(intN))},
      th::ForallT{
          {th::PlainTV{a, th::SpecifiedSpec}}, {app(con(showN), var(a))}, arrow(var(a), con(intN))},
      th::ForallT{{th::KindedTV{a, th::SpecifiedSpec, Type(th::ConstraintT{})}},
                  {app(con(showN), var(a))},
                  arrow(var(a), con(intN))},
      th::ForallT{
          {th::KindedTV{a, th::SpecifiedSpec, Type(th::StarT{})}}, {}, arrow(var(a), con(intN))},
      th::ForallT{{th::KindedTV{a, th::SpecifiedSpec, Type(th::StarT{})}},
                  {app(con(showN), var(a))},
                  arrow(var(th::mkName("a")), con(intN))},
      th::ForallT{{th::KindedTV{a, th::SpecifiedSpec, Type(th::StarT{})}},
                  {app(con(showN), var(a))},
                  arrow(var(a), con(th::mkNameG_tc("ghc-prim", "GHC.Types", "Bool")))},
  };
  for (const Type& o : others) {
    EXPECT_NE(t, o) << th::show(o);
    EXPECT_NE(o, t);
  }
  EXPECT_NE(Type(th::TupleT{2}), Type(th::TupleT{3}));
  EXPECT_NE(Type(th::TupleT{2}), Type(th::UnboxedTupleT{2}));
  EXPECT_NE(Type(th::LitT{th::NumTyLit(1)}), Type(th::LitT{th::StrTyLit{"1"}}));
  EXPECT_NE(Type(th::InfixT{var(a), plusN, var(a)}), Type(th::UInfixT{var(a), plusN, var(a)}));
}

TEST(ThType, DeepTypesAreWalkedWithoutRecursion) {
  constexpr int depth = 100000;
  // Nesting through applications, arrow results, kind signatures and binder kinds.
  auto build = [&] {
    Type t = con(intN);
    for (int i = 0; i < depth; ++i) {
      switch (i % 4) {
        case 0: t = app(con(maybeN), std::move(t)); break;
        case 1: t = arrow(var(a), std::move(t)); break;
        case 2: t = th::SigT{var(a), std::move(t)}; break;
        default: t = th::ForallT{{th::KindedTV{k, th::SpecifiedSpec, std::move(t)}}, {}, var(k)};
      }
    }
    return t;
  };
  const Type x = build();
  const Type y = build();
  EXPECT_EQ(x, y);
  EXPECT_GT(th::show(x).size(), static_cast<std::size_t>(depth));
  EXPECT_GT(th::pprint(x).size(), static_cast<std::size_t>(depth));

  // A shared subtree outlives the type that held it.
  Type inner = app(con(maybeN), con(intN));
  {
    Type outer = inner;
    for (int i = 0; i < depth; ++i) outer = app(std::move(outer), inner);
  }
  EXPECT_EQ(th::show(inner), "AppT (ConT GHC.Maybe.Maybe) (ConT GHC.Types.Int)");
}

TEST(ThType, PrettyPrinter) {
  const Type listA = app(th::ListT{}, var(a));
  const std::pair<Type, std::string> cases[] = {
      {th::ForallT{{th::KindedTV{a, th::SpecifiedSpec, Type(th::StarT{})}},
                   {app(con(showN), var(a))},
                   arrow(var(a), listA)},
       "forall (a_1 :: *) . GHC.Show.Show a_1 => a_1 -> [a_1]"},
      {th::ForallT{{th::PlainTV{a, th::InferredSpec}}, {}, var(a)}, "forall {a_1} . a_1"},
      {arrow(arrow(var(a), var(a)), var(a)), "(a_1 -> a_1) -> a_1"},
      {arrow(var(a), arrow(var(a), var(a))), "a_1 -> a_1 -> a_1"},
      {app(app(var(th::mkName("f")), var(a)), app(con(maybeN), var(a))),
       "f a_1 (GHC.Maybe.Maybe a_1)"},
      {app(app(th::TupleT{2}, var(a)), con(intN)), "(a_1, GHC.Types.Int)"},
      {app(th::TupleT{2}, var(a)), "(,) a_1"},
      {app(app(th::EqualityT{}, var(a)), con(intN)), "a_1 ~ GHC.Types.Int"},
      {th::AppKindT{con(maybeN), th::StarT{}}, "GHC.Maybe.Maybe @*"},
      {app(con(maybeN), th::SigT{var(a), th::StarT{}}), "GHC.Maybe.Maybe (a_1 :: *)"},
      {th::InfixT{var(a), plusN, th::InfixT{var(a), plusN, th::LitT{th::NumTyLit(1)}}},
       "a_1 GHC.TypeNats.+ (a_1 GHC.TypeNats.+ 1)"},
      {th::InfixT{var(a), th::mkName("Either"), var(a)}, "a_1 `Either` a_1"},
      {app(con(plusN), var(a)), "(GHC.TypeNats.+) a_1"},
      {th::ParensT{var(a)}, "(a_1)"},
      {app(app(th::PromotedConsT{}, th::PromotedT{th::mkName("Z")}), th::PromotedNilT{}),
       "'Z ': '[]"},
      {th::ForallVisT{{th::PlainTV{k, hs::unit}}, arrow(var(k), th::StarT{})},
       "forall k -> k -> *"},
      {th::ImplicitParamT{"x", con(intN)}, "?x :: GHC.Types.Int"},
      {th::LitT{th::StrTyLit{"s"}}, "\"s\""},
      {th::TupleT{0}, "()"},
      {th::ArrowT{}, "(->)"},
      {th::WildCardT{}, "_"},
  };
  for (const auto& [t, text] : cases) EXPECT_EQ(th::pprint(t), text) << th::show(t);
}

TEST(ThSyntax, DeclarationTextForms) {
  const th::Bang lazyField{};
  const th::Bang strictUnpacked{th::SourceUnpackedness::SourceUnpack,
                                th::SourceStrictness::SourceStrict};
  const th::Con rec = th::RecC{th::mkName("Mk"), {{th::mkName("x"), strictUnpacked, con(intN)}}};
  const th::Dec data =
      th::DataD{{},
                th::mkName("T"),
                {th::PlainTV{a, hs::unit}},
                std::nullopt,
                {rec, th::ForallC{{th::PlainTV{k, th::SpecifiedSpec}},
                                  {},
                                  th::NormalC{th::mkName("E"), {{lazyField, var(k)}}}}},
                {th::DerivClause{th::DerivStrategy(th::StockStrategy{}), {con(showN)}}}};
  EXPECT_EQ(th::show(data),
            "DataD [] T [PlainTV a_1 ()] Nothing "
            "[RecC Mk [(x,Bang SourceUnpack SourceStrict,ConT GHC.Types.Int)],"
            "ForallC [PlainTV k SpecifiedSpec] [] "
            "(NormalC E [(Bang NoSourceUnpackedness NoSourceStrictness,VarT k)])] "
            "[DerivClause (Just StockStrategy) [ConT GHC.Show.Show]]");
  EXPECT_EQ(th::show(th::Info(th::TyConI{th::PragmaD{th::LineP{-3, "f"}}})),
            "TyConI (PragmaD (LineP (-3) \"f\"))");
  EXPECT_EQ(th::show(th::Dec(th::TySynInstD{th::TySynEqn{std::nullopt, con(maybeN), con(intN)}})),
            "TySynInstD (TySynEqn Nothing (ConT GHC.Maybe.Maybe) (ConT GHC.Types.Int))");
  EXPECT_EQ(th::show(th::Con(th::GadtC{{th::mkName("A"), th::mkName("B")}, {}, con(maybeN)})),
            "GadtC [A,B] [] (ConT GHC.Maybe.Maybe)");
  EXPECT_EQ(th::show(th::defaultFixity), "Fixity 9 InfixL");

  // Equality is structural, identity is the node.
  const th::Con again = th::RecC{th::mkName("Mk"), {{th::mkName("x"), strictUnpacked, con(intN)}}};
  EXPECT_EQ(rec, again);
  EXPECT_FALSE(th::sameObject(rec, again));
  EXPECT_NE(rec, th::Con(th::RecC{th::mkName("Mk"), {{th::mkName("x"), lazyField, con(intN)}}}));
}

TEST(ThSyntax, LongForallChainsAreFreedLayerByLayer) {
  th::Con c = th::NormalC{th::mkName("E"), {}};
  for (int i = 0; i < 100000; ++i) c = th::ForallC{{}, {}, std::move(c)};
  const th::Con shared = c.get_if<th::ForallC>()->con;  // a layer held from outside survives
  c = th::NormalC{th::mkName("F"), {}};
  EXPECT_TRUE(shared.is<th::ForallC>());
}

}  // namespace
