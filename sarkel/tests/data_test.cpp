#include <gtest/gtest.h>

#include <any>
#include <deque>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "helpers.hpp"
#include "sarkel/datatype.hpp"

namespace {

using namespace sarkel_test;
using sarkel::ConstructorInfo;
using sarkel::DatatypeInfo;
using Strings = std::vector<std::string>;

const std::string M = "Sarkel.Datatype.";

// The constructor's name and each field's data type name; gunfold with the same constructor and
// fields rebuilds the value.
template <class T>
Strings roundTrip(const T& x) {
  Strings seen{hs::data::showConstr(hs::toConstr(x))};
  std::deque<std::any> fields;
  auto start = [](auto) { return 0; };
  auto collect = [&](int n, const auto& d) {
    seen.push_back(hs::data::dataTypeName(hs::dataTypeOf(d)));
    fields.emplace_back(d);
    return n + 1;
  };
  hs::gfoldl(collect, start, x);
  auto id = [](auto g) { return g; };
  auto next = [&](auto f, auto type) {
    using D = typename decltype(type)::type;
    D d = std::any_cast<D>(fields.front());
    fields.pop_front();
    return f(std::move(d));
  };
  EXPECT_EQ(hs::gunfold<T>(next, id, hs::toConstr(x)), x) << seen[0];
  EXPECT_TRUE(fields.empty());
  return seen;
}

// Every name anywhere in a value, found by a generic walk through the fields' own capabilities.
struct Names {
  Strings& out;
  template <class D>
  void operator()(const D& d) const {
    if constexpr (std::is_same_v<D, th::Name>) {
      out.push_back(th::showName(d));
    } else {
      hs::gmapQ<int>(
          [this](const auto& field) {
            (*this)(field);
            return 0;
          },
          d);
    }
  }
};

DatatypeInfo sample() {
  const ConstructorInfo mk{n("Mk"),
                           {unit("b", star())},
                           {eq(v("a"), v("b"))},
                           {v("b"), con("Int")},
                           {sarkel::isStrictAnnot, sarkel::notStrictAnnot},
                           sarkel::RecordConstructor{names({"x", "y"})}};
  return DatatypeInfo{{app(con("Show"), v("a"))},       n("T"), {unit("a")}, {v("a")},
                      sarkel::DatatypeVariant::Newtype, star(), {mk}};
}

TEST(DescriptionData, RecordsAndEnumerations) {
  const DatatypeInfo info = sample();
  const std::string S = "Language.Haskell.TH.Syntax.";
  EXPECT_EQ(roundTrip(info),
            (Strings{"DatatypeInfo", "Prelude.[]", S + "Name", "Prelude.[]", "Prelude.[]",
                     M + "DatatypeVariant", S + "Type", "Prelude.[]"}));
  EXPECT_EQ(roundTrip(info.datatypeCons[0]),
            (Strings{"ConstructorInfo", S + "Name", "Prelude.[]", "Prelude.[]", "Prelude.[]",
                     "Prelude.[]", M + "ConstructorVariant"}));
  EXPECT_EQ(roundTrip(sarkel::unpackedAnnot),
            (Strings{"FieldStrictness", M + "Unpackedness", M + "Strictness"}));
  EXPECT_EQ(roundTrip(sarkel::ConstructorVariant(sarkel::RecordConstructor{names({"x"})})),
            (Strings{"RecordConstructor", "Prelude.[]"}));
  EXPECT_EQ(roundTrip(sarkel::ConstructorVariant(sarkel::InfixConstructor{})),
            (Strings{"InfixConstructor"}));
  EXPECT_EQ(roundTrip(sarkel::Strictness::Lazy), (Strings{"Lazy"}));
  EXPECT_EQ(roundTrip(sarkel::Unpackedness::NoUnpack), (Strings{"NoUnpack"}));
  EXPECT_EQ(roundTrip(sarkel::DatatypeVariant::TypeData), (Strings{"TypeData"}));

  EXPECT_EQ(hs::data::dataTypeName(hs::dataTypeOf(info)), M + "DatatypeInfo");
  EXPECT_EQ(hs::data::constrFields(hs::toConstr(info)),
            (Strings{"datatypeContext", "datatypeName", "datatypeVars", "datatypeInstTypes",
                     "datatypeVariant", "datatypeReturnKind", "datatypeCons"}));
  EXPECT_EQ(hs::data::constrFields(hs::toConstr(info.datatypeCons[0])),
            (Strings{"constructorName", "constructorVars", "constructorContext",
                     "constructorFields", "constructorStrictness", "constructorVariant"}));
  EXPECT_EQ(hs::data::constrFields(hs::toConstr(sarkel::notStrictAnnot)),
            (Strings{"fieldUnpackedness", "fieldStrictness"}));
  Strings variants;
  for (const auto& c : hs::data::dataTypeConstrs(hs::dataTypeOf<sarkel::DatatypeVariant>()))
    variants.push_back(hs::data::showConstr(c));
  EXPECT_EQ(variants,
            (Strings{"Datatype", "Newtype", "DataInstance", "NewtypeInstance", "TypeData"}));
}

TEST(DescriptionData, GenericWalksReachEveryName) {
  Strings found;
  Names{found}(sample());
  EXPECT_EQ(found,
            (Strings{"Show", "a", "T", "a", "a", "Mk", "b", "a", "b", "b", "Int", "x", "y"}));
  // One layer at a time: gmapT over the record maps its fields.
  const auto renamed = hs::gmapT(
      [](const auto& field) {
        using F = std::decay_t<decltype(field)>;
        if constexpr (std::is_same_v<F, th::Name>)
          return th::mkName("U");
        else
          return field;
      },
      sample());
  DatatypeInfo expected = sample();
  expected.datatypeName = n("U");
  EXPECT_EQ(renamed, expected);
}

}  // namespace
