#include <gtest/gtest.h>

#include <any>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/th/data.hpp"
#include "testing/errors.hpp"

namespace {

namespace th = hs::th;
using th::Name;
using th::Type;

using testing_support::programError;

// The value's constructor name, then, for each field, its data type's name; gunfold with the
// same constructor and the same fields must rebuild the value.
template <class T>
std::vector<std::string> roundTrip(const T& x) {
  std::vector<std::string> seen{hs::data::showConstr(hs::toConstr(x))};
  std::deque<std::any> fields;
  auto start = [](auto) { return 0; };
  auto collect = [&](int n, const auto& d) {
    seen.push_back(hs::data::dataTypeName(hs::dataTypeOf(d)));
    fields.emplace_back(d);
    return n + 1;
  };
  (void)hs::gfoldl(collect, start, x);
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

using Strings = std::vector<std::string>;
const std::string S = "Language.Haskell.TH.Syntax.";

TEST(ThData, EveryTypeFormFoldsAndUnfolds) {
  const Name a = th::mkName("a");
  const Type va = th::VarT{a};
  const Type star = th::StarT{};
  const th::TyVarBndrSpec specified = th::KindedTV{a, th::SpecifiedSpec, star};
  const th::TyVarBndrUnit plain = th::PlainTV{a, hs::unit};
  const std::pair<Type, Strings> cases[] = {
      {th::ForallT{{specified}, {va}, va}, {"ForallT", "Prelude.[]", "Prelude.[]", S + "Type"}},
      {th::ForallVisT{{plain}, va}, {"ForallVisT", "Prelude.[]", S + "Type"}},
      {th::AppT{va, star}, {"AppT", S + "Type", S + "Type"}},
      {th::AppKindT{va, star}, {"AppKindT", S + "Type", S + "Type"}},
      {th::SigT{va, star}, {"SigT", S + "Type", S + "Type"}},
      {va, {"VarT", S + "Name"}},
      {th::ConT{th::mkNameG_tc("base", "GHC.Maybe", "Maybe")}, {"ConT", S + "Name"}},
      {th::PromotedT{th::mkNameG_d("base", "GHC.Maybe", "Just")}, {"PromotedT", S + "Name"}},
      {th::InfixT{va, th::mkName("+"), va}, {"InfixT", S + "Type", S + "Name", S + "Type"}},
      {th::UInfixT{va, th::mkName("+"), va}, {"UInfixT", S + "Type", S + "Name", S + "Type"}},
      {th::PromotedInfixT{va, th::mkName(":"), va},
       {"PromotedInfixT", S + "Type", S + "Name", S + "Type"}},
      {th::PromotedUInfixT{va, th::mkName(":"), va},
       {"PromotedUInfixT", S + "Type", S + "Name", S + "Type"}},
      {th::ParensT{va}, {"ParensT", S + "Type"}},
      {th::TupleT{2}, {"TupleT", "Prelude.Int"}},
      {th::UnboxedTupleT{3}, {"UnboxedTupleT", "Prelude.Int"}},
      {th::UnboxedSumT{4}, {"UnboxedSumT", "Prelude.Int"}},
      {th::ArrowT{}, {"ArrowT"}},
      {th::MulArrowT{}, {"MulArrowT"}},
      {th::EqualityT{}, {"EqualityT"}},
      {th::ListT{}, {"ListT"}},
      {th::PromotedTupleT{2}, {"PromotedTupleT", "Prelude.Int"}},
      {th::PromotedNilT{}, {"PromotedNilT"}},
      {th::PromotedConsT{}, {"PromotedConsT"}},
      {star, {"StarT"}},
      {th::ConstraintT{}, {"ConstraintT"}},
      {th::LitT{th::StrTyLit{"x"}}, {"LitT", S + "TyLit"}},
      {th::WildCardT{}, {"WildCardT"}},
      {th::ImplicitParamT{"x", va}, {"ImplicitParamT", "Prelude.[]", S + "Type"}},
  };
  hs::data::ConIndex index = 0;
  for (const auto& [t, expected] : cases) {
    const hs::data::Constr c = hs::toConstr(t);
    EXPECT_EQ(hs::data::constrIndex(c), ++index) << expected[0];
    EXPECT_EQ(hs::data::dataTypeName(hs::data::constrType(c)), S + "Type");
    EXPECT_EQ(roundTrip(t), expected);
  }
  EXPECT_EQ(hs::data::dataTypeConstrs(hs::dataTypeOf<Type>()).size(), std::size_t{28});
}

TEST(ThData, NamesBindersAndLiterals) {
  EXPECT_EQ(roundTrip(th::mkName("x")), (Strings{"Name", S + "OccName", S + "NameFlavour"}));
  const std::pair<th::NameFlavour, Strings> flavours[] = {
      {th::NameS{}, {"NameS"}},
      {th::NameQ{"Data.Map"}, {"NameQ", S + "ModName"}},
      {th::NameU{12}, {"NameU", "Prelude.Integer"}},
      {th::NameL{7}, {"NameL", "Prelude.Integer"}},
      {th::NameG{th::NameSpace::DataName, "base", "GHC.Maybe"},
       {"NameG", S + "NameSpace", S + "PkgName", S + "ModName"}},
  };
  for (const auto& [f, expected] : flavours) {
    EXPECT_EQ(roundTrip(f), expected);
    EXPECT_EQ(roundTrip(Name{"x", f})[0], "Name");
  }
  EXPECT_EQ(roundTrip(th::OccName{"x"}), (Strings{"OccName", "Prelude.[]"}));
  EXPECT_EQ(roundTrip(th::ModName{"M"}), (Strings{"ModName", "Prelude.[]"}));
  EXPECT_EQ(roundTrip(th::PkgName{"p"}), (Strings{"PkgName", "Prelude.[]"}));
  EXPECT_EQ(roundTrip(th::NameSpace::TcClsName), (Strings{"TcClsName"}));
  EXPECT_EQ(roundTrip(th::InferredSpec), (Strings{"InferredSpec"}));

  const Type star = th::StarT{};
  EXPECT_EQ(roundTrip(th::TyVarBndrUnit(th::PlainTV{th::mkName("a"), hs::unit})),
            (Strings{"PlainTV", S + "Name", "Prelude.()"}));
  EXPECT_EQ(roundTrip(th::TyVarBndrSpec(th::KindedTV{th::mkName("a"), th::SpecifiedSpec, star})),
            (Strings{"KindedTV", S + "Name", S + "Specificity", S + "Type"}));
  EXPECT_EQ(roundTrip(th::TyLit(th::NumTyLit(-5))), (Strings{"NumTyLit", "Prelude.Integer"}));
  EXPECT_EQ(roundTrip(th::TyLit(th::StrTyLit{"s"})), (Strings{"StrTyLit", "Prelude.[]"}));
  EXPECT_EQ(roundTrip(th::TyLit(th::CharTyLit{U'c'})), (Strings{"CharTyLit", "Prelude.Char"}));
  EXPECT_EQ(hs::data::showConstr(hs::toConstr(th::IntegerL(-5))), "-5");
  EXPECT_EQ(roundTrip(th::IntegerL(42)), (Strings{"42"}));
}

struct BndrTag {
  template <class X>
  using apply = th::TyVarBndr<X>;
};

TEST(ThData, CastsAndLimits) {
  auto flagType = [](auto t) {
    return hs::data::dataTypeName(hs::dataTypeOf<typename decltype(t)::type>());
  };
  EXPECT_EQ((hs::dataCast1<th::TyVarBndrSpec, BndrTag, std::string>(flagType)), S + "Specificity");
  EXPECT_EQ((hs::dataCast1<th::TyVarBndrUnit, BndrTag, std::string>(flagType)), "Prelude.()");
  EXPECT_EQ((hs::dataCast1<Type, BndrTag, std::string>(flagType)), std::nullopt);

  // Integral constructors hold 64-bit values.
  const th::IntegerL big(std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(programError([&] { (void)hs::toConstr(big); }),
            "Data.Data.mkIntegralConstr: 18446744073709551615 does not fit an integral "
            "constructor");
  auto id = [](auto g) { return g; };
  auto none = [](auto f, auto) { return f; };
  EXPECT_EQ(programError([&] { (void)hs::gunfold<th::IntegerL>(none, id, hs::toConstr(U'x')); }),
            "Data.Data.gunfold: Constructor 'x' is not of type Integer.");
  // Arities are ints in the syntax tree: an Int beyond that range is refused, not cut.
  using Lim = std::numeric_limits<int>;
  const Type tupleForms[] = {th::TupleT{2}, th::UnboxedTupleT{2}, th::UnboxedSumT{2},
                             th::PromotedTupleT{2}};
  for (const Type& form : tupleForms) {
    const hs::data::Constr c = hs::toConstr(form);
    auto arity = [&](std::int64_t n) {
      auto give = [n](auto f, auto field) {
        return f(std::any_cast<typename decltype(field)::type>(std::any(n)));
      };
      return hs::gunfold<Type>(give, id, c);
    };
    auto fields = [](const auto& d) -> std::int64_t {
      if constexpr (std::is_same_v<std::remove_cvref_t<decltype(d)>, std::int64_t>)
        return d;
      else
        return -1;
    };
    for (const std::int64_t n : {std::int64_t{Lim::max()} + 1, std::int64_t{Lim::min()} - 1,
                                 std::numeric_limits<std::int64_t>::max(),
                                 std::int64_t{1} << 32})
      EXPECT_EQ(programError([&] { (void)arity(n); }),
                "Data.Data: arity " + std::to_string(n) + " does not fit an int");
    for (const int n : {Lim::max(), Lim::min(), 0}) {
      const Type t = arity(n);
      EXPECT_EQ(hs::data::constrIndex(hs::toConstr(t)), hs::data::constrIndex(c));
      EXPECT_EQ(hs::gmapQ<std::int64_t>(fields, t), std::vector<std::int64_t>{n});
    }
  }
  // An index beyond the others names the last constructor, as derived instances read it.
  EXPECT_EQ(
      hs::gunfold<th::Specificity>(none, id, hs::data::indexConstr(hs::dataTypeOf<Type>(), 5)),
      th::InferredSpec);
}

}  // namespace
