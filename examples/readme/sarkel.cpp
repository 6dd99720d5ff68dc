// libsarkel's example in README.md: the lines between the markers are the README's snippet
// (the test readme_snippets keeps the two alike; examples/readme/sarkel.out is what it prints).
// readme-begin
#include <cstddef>
#include <iostream>
#include <optional>

#include "hs/th/ppr.hpp"
#include "hs/th/syntax.hpp"
#include "hs/th/testenv.hpp"
#include "sarkel/datatype.hpp"
#include "sarkel/datatype/tyvarbndr.hpp"

namespace th = hs::th;

int main() {
  // The reflection facility, here the test environment: it answers queries about the
  // declarations it holds, as a compiler would about a program's.
  th::TestEnv env;
  const th::Name a = th::mkName("a");
  const th::Type intT = th::ConT{th::mkName("Int")};
  const th::Bang lazy{};
  const th::Bang strict{th::SourceUnpackedness::NoSourceUnpackedness,
                        th::SourceStrictness::SourceStrict};

  // data Shape a = Circle { radius :: a } | Rect !Int !Int
  const th::Name shape = th::mkName("Shape");
  const th::Con circle =
      th::RecC{th::mkName("Circle"), {{th::mkName("radius"), lazy, th::VarT{a}}}};
  const th::Con rect = th::NormalC{th::mkName("Rect"), {{strict, intT}, {strict, intT}}};
  env.declare(th::DataD{{}, shape, {sarkel::plainTVReq(a)}, std::nullopt, {circle, rect}, {}});
  // A type written in GADT syntax:  data Expr a where Lit :: Int -> Expr Int
  const th::Name expr = th::mkName("Expr");
  const th::Con lit =
      th::GadtC{{th::mkName("Lit")}, {{lazy, intT}}, th::AppT{th::ConT{expr}, intT}};
  env.declare(th::DataD{{}, expr, {sarkel::plainTVReq(a)}, std::nullopt, {lit}, {}});

  // One description for both: the type, then each constructor's context, fields and form; a GADT
  // constructor's refined result becomes a constraint on the type's own variable.
  for (const th::Name& name : {shape, expr}) {
    const sarkel::DatatypeInfo info = sarkel::reifyDatatype(env, name);
    std::cout << th::pprint(sarkel::datatypeType(info)) << "\n";
    for (const sarkel::ConstructorInfo& c : info.datatypeCons) {
      std::cout << "  " << th::pprint(c.constructorName) << ":";
      for (const th::Pred& p : c.constructorContext) std::cout << " (" << th::pprint(p) << ") =>";
      for (std::size_t i = 0; i < c.constructorFields.size(); ++i)
        std::cout << (c.constructorStrictness[i] == sarkel::isStrictAnnot ? " !" : " ")
                  << th::pprint(c.constructorFields[i]);
      if (const auto* record = c.constructorVariant.get_if<sarkel::RecordConstructor>())
        std::cout << ", a record of " << th::pprint(record->names[0]);
      std::cout << "\n";
    }
  }
}
// readme-end
