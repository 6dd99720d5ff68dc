// The tour's stop at libsarkel: descriptions of data type declarations.
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "hs/read.hpp"
#include "hs/th/ppr.hpp"
#include "hs/th/syntax.hpp"
#include "hs/th/testenv.hpp"
#include "sarkel/datatype.hpp"
#include "sarkel/datatype/tyvarbndr.hpp"

namespace {

namespace th = hs::th;

template <class T, class Show>
std::string listOf(const std::vector<T>& xs, Show show) {
  std::string out = "[";
  for (const T& x : xs) out += (out.size() > 1 ? ", " : "") + show(x);
  return out + "]";
}
std::string type(const th::Type& t) { return th::pprint(t); }
std::string binder(const th::TyVarBndrUnit& b) { return th::show(b); }

// A description one field a line, its types as source text.
void printInfo(const sarkel::DatatypeInfo& info) {
  std::cout << "DatatypeInfo\n"
            << "  datatypeContext    = " << listOf(info.datatypeContext, type) << "\n"
            << "  datatypeName       = " << th::pprint(info.datatypeName) << "\n"
            << "  datatypeVars       = " << listOf(info.datatypeVars, binder) << "\n"
            << "  datatypeInstTypes  = " << listOf(info.datatypeInstTypes, type) << "\n"
            << "  datatypeVariant    = " << sarkel::show(info.datatypeVariant) << "\n"
            << "  datatypeReturnKind = " << th::pprint(info.datatypeReturnKind) << "\n"
            << "  datatypeCons:\n";
  for (const sarkel::ConstructorInfo& c : info.datatypeCons) {
    auto strictness = [](const sarkel::FieldStrictness& f) {
      std::ostringstream out;
      out << f.fieldUnpackedness << " " << f.fieldStrictness;
      return out.str();
    };
    std::cout << "  - constructorName       = " << th::pprint(c.constructorName) << "\n"
              << "    constructorVars       = " << listOf(c.constructorVars, binder) << "\n"
              << "    constructorContext    = " << listOf(c.constructorContext, type) << "\n"
              << "    constructorFields     = " << listOf(c.constructorFields, type) << "\n"
              << "    constructorStrictness = " << listOf(c.constructorStrictness, strictness) << "\n"
              << "    constructorVariant    = " << sarkel::show(c.constructorVariant) << "\n";
  }
}

}  // namespace

void sarkelTour() {
  std::cout << "== sarkel: data type descriptions\n";

  // data Pair a = Pair { first :: !a, second :: {-# UNPACK #-} !Int }, described by hand.
  const th::Name pair = th::mkName("Tour.Pair");
  const th::Name a = th::mkName("a");
  const th::Type intT = th::ConT{th::mkNameG_tc("ghc-prim", "GHC.Types", "Int")};
  const sarkel::ConstructorInfo con{
      pair,
      {},
      {},
      {th::VarT{a}, intT},
      {sarkel::isStrictAnnot, sarkel::unpackedAnnot},
      sarkel::RecordConstructor{{th::mkName("first"), th::mkName("second")}}};
  const sarkel::DatatypeInfo info{
      {},          pair, {sarkel::plainTVReq(a)}, {th::VarT{a}}, sarkel::DatatypeVariant::Datatype,
      th::StarT{}, {con}};
  printInfo(info);
  std::cout << "the described type: " << th::pprint(sarkel::datatypeType(info)) << "\n";
  std::cout << "the field second belongs to "
            << th::showName(sarkel::lookupByRecordName(th::mkName("second"), info).constructorName)
            << "\n";
  std::cout << "read back: " << sarkel::show(hs::read<sarkel::DatatypeVariant>(" (Newtype) "))
            << "\n";

  // The reflection monad, here the test environment: a fixity lookup with its default.
  th::TestEnv env;
  const th::Name op = th::mkName(":+:");
  env.setFixity(op, th::Fixity{5, th::FixityDirection::InfixR});
  env.declare(th::DataD{{}, pair, {sarkel::plainTVReq(a)}, std::nullopt, {}, {}});
  std::cout << "fixity of :+: " << sarkel::showFixity(*sarkel::reifyFixityCompat(env, op))
            << ", of Tour.Pair " << sarkel::showFixity(*sarkel::reifyFixityCompat(env, pair))
            << "; queries: " << env.log().size() << "\n";

  // Unification into a substitution, and an operator chain grouped by its fixities.
  const th::Type maybe = th::ConT{th::mkName("Maybe")};
  const sarkel::Substitution s = sarkel::unifyTypes(
      env, {th::AppT{th::VarT{th::mkName("f")}, th::VarT{a}}, th::AppT{maybe, intT}});
  for (const auto& [var, type] : s)
    std::cout << th::showName(var) << " := " << th::pprint(type) << "\n";
  env.setFixity(th::mkName("+"), th::Fixity{6, th::FixityDirection::InfixL});
  env.setFixity(th::mkName("*"), th::Fixity{7, th::FixityDirection::InfixL});
  auto chain = [](th::Type l, const char* o, th::Type r) {
    return th::Type(th::UInfixT{std::move(l), th::mkName(o), std::move(r)});
  };
  const th::Type x = th::VarT{th::mkName("x")};
  std::cout << "x + x * x + x groups as "
            << th::pprint(sarkel::resolveInfixT(env, chain(chain(chain(x, "+", x), "*", x), "+", x)))
            << "\n";

  // Reification from the test environment: a GADT, whose refined results become equalities in
  // the declaration's own variable, and a data family instance found through its constructor.
  th::TestEnv compiler;
  const th::Name expr = th::mkName("Tour.Expr");
  const th::Name b = th::mkName("b");
  auto exprOf = [&](th::Type t) { return th::Type(th::AppT{th::ConT{expr}, std::move(t)}); };
  const th::Bang lazy{};
  // data Expr a where
  //   Lit :: Int -> Expr Int
  //   Pair :: Expr a -> Expr b -> Expr (a, b)
  compiler.declare(
      th::DataD{{},
                expr,
                {sarkel::plainTVReq(a)},
                std::nullopt,
                {th::GadtC{{th::mkName("Tour.Lit")}, {{lazy, intT}}, exprOf(intT)},
                 th::GadtC{{th::mkName("Tour.Pair")},
                           {{lazy, exprOf(th::VarT{a})}, {lazy, exprOf(th::VarT{b})}},
                           exprOf(th::AppT{th::AppT{th::TupleT{2}, th::VarT{a}}, th::VarT{b}})}},
                {}});
  const sarkel::DatatypeInfo exprInfo = sarkel::reifyDatatype(compiler, expr);
  std::cout << "reified " << th::pprint(sarkel::datatypeType(exprInfo)) << ":\n";
  for (const sarkel::ConstructorInfo& c : exprInfo.datatypeCons) {
    std::cout << "  " << th::showName(c.constructorName) << " ::";
    if (!c.constructorVars.empty()) {
      std::cout << " forall";
      for (const auto& v : c.constructorVars) std::cout << " " << th::showName(v.name());
      std::cout << ".";
    }
    for (const th::Pred& p : c.constructorContext) std::cout << " (" << th::pprint(p) << ")";
    std::cout << " =>";
    for (const th::Type& f : c.constructorFields) std::cout << " " << th::pprint(f) << " ->";
    std::cout << " " << th::pprint(sarkel::datatypeType(exprInfo)) << "\n";
  }

  // data family Tour.Vec a; data instance Vec Bool = Bits !Int | Empty
  const th::Name vec = th::mkName("Tour.Vec");
  compiler.declare(th::DataFamilyD{vec, {sarkel::plainTVReq(a)}, std::nullopt});
  compiler.declare(th::DataInstD{
      {},
      std::nullopt,
      th::AppT{th::ConT{vec}, th::ConT{th::mkNameG_tc("ghc-prim", "GHC.Types", "Bool")}},
      std::nullopt,
      {th::NormalC{th::mkName("Tour.Bits"),
                   {{th::Bang{th::SourceUnpackedness::NoSourceUnpackedness,
                              th::SourceStrictness::SourceStrict},
                     intT}}},
       th::NormalC{th::mkName("Tour.Empty"), {}}},
      {}});
  compiler.clearLog();
  printInfo(sarkel::reifyDatatype(compiler, th::mkName("Tour.Bits")));
  std::cout << "queries:";
  for (const std::string& line : compiler.log()) std::cout << " [" << line << "]";
  std::cout << "\n";
}
