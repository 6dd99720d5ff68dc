#include "sarkel/datatype/tyvarbndr.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "hs/functor.hpp"

namespace {

namespace th = hs::th;
using th::Kind;
using th::Name;
using th::Specificity;
using th::Type;
using th::TyVarBndrSpec;
using th::TyVarBndrUnit;
using Log = std::vector<std::string>;

const Name a = th::mkName("a");
const Name b = th::mkNameU("b", 2);
const Kind k = th::AppT{th::AppT{th::ArrowT{}, th::StarT{}}, th::StarT{}};
const TyVarBndrUnit plainA = th::PlainTV{a, hs::unit};
const TyVarBndrUnit kindedB = th::KindedTV{b, hs::unit, k};

TEST(TyVarBndr, BuildersAndEliminators) {
  const std::pair<TyVarBndrSpec, TyVarBndrSpec> specified[] = {
      {sarkel::plainTVFlag(a, th::InferredSpec), th::PlainTV{a, th::InferredSpec}},
      {sarkel::plainTVInferred(a), th::PlainTV{a, th::InferredSpec}},
      {sarkel::plainTVSpecified(a), th::PlainTV{a, th::SpecifiedSpec}},
      {sarkel::kindedTVFlag(a, th::SpecifiedSpec, k), th::KindedTV{a, th::SpecifiedSpec, k}},
      {sarkel::kindedTVInferred(a, k), th::KindedTV{a, th::InferredSpec, k}},
      {sarkel::kindedTVSpecified(a, k), th::KindedTV{a, th::SpecifiedSpec, k}},
  };
  for (const auto& [built, want] : specified) EXPECT_EQ(built, want) << th::show(want);
  EXPECT_EQ(sarkel::plainTVInvis(a), plainA);
  EXPECT_EQ(sarkel::plainTVReq(a), plainA);
  EXPECT_EQ(sarkel::kindedTVInvis(b, k), kindedB);
  EXPECT_EQ(sarkel::kindedTVReq(b, k), kindedB);

  EXPECT_EQ(sarkel::tvKind(plainA), Type(th::StarT{}));
  EXPECT_TRUE(th::sameObject(sarkel::tvKind(kindedB), k));
  EXPECT_EQ(sarkel::tvName(kindedB), b);
  EXPECT_EQ(sarkel::tvFlag(sarkel::plainTVInferred(a)), th::InferredSpec);
  auto plainFn = [](const Name& n) { return "plain " + th::showName(n); };
  auto kindedFn = [](const Name& n, const Kind& kk) {
    return "kinded " + th::showName(n) + " " + th::show(kk);
  };
  EXPECT_EQ(sarkel::elimTV(plainFn, kindedFn, plainA), "plain a");
  EXPECT_EQ(sarkel::elimTV(plainFn, kindedFn, kindedB), "kinded b_2 " + th::show(k));
  EXPECT_EQ(sarkel::elimTVFlag([](const Name&, Specificity s) { return s == th::InferredSpec; },
                               [](const Name&, Specificity, const Kind&) { return false; },
                               sarkel::plainTVInferred(a)),
            true);

  EXPECT_EQ(sarkel::defaultBndrFlag<Specificity>(), th::SpecifiedSpec);
  EXPECT_EQ(sarkel::defaultBndrFlag<hs::Unit>(), hs::unit);
  EXPECT_TRUE(sarkel::isBndrReq(sarkel::bndrReq));
  EXPECT_FALSE(sarkel::isBndrInvis(sarkel::bndrInvis));
  EXPECT_FALSE(sarkel::isBndrInvis(sarkel::BndrReq));
}

TEST(TyVarBndr, PureMappers) {
  int kindCalls = 0;
  auto bumpKind = [&](const Kind& x) {
    ++kindCalls;
    return Kind(th::AppT{th::ListT{}, x});
  };
  auto rename = [](const Name& n) { return th::mkName(n.occ + "'"); };
  auto toSpec = [](hs::Unit) { return th::InferredSpec; };

  EXPECT_EQ(sarkel::mapTV(rename, toSpec, bumpKind, plainA),
            TyVarBndrSpec(th::PlainTV{th::mkName("a'"), th::InferredSpec}));
  EXPECT_EQ(kindCalls, 0);
  EXPECT_EQ(
      sarkel::mapTV(rename, toSpec, bumpKind, kindedB),
      TyVarBndrSpec(th::KindedTV{th::mkName("b'"), th::InferredSpec, th::AppT{th::ListT{}, k}}));
  EXPECT_EQ(kindCalls, 1);
  EXPECT_EQ(sarkel::mapTVName(rename, kindedB),
            TyVarBndrUnit(th::KindedTV{th::mkName("b'"), hs::unit, k}));
  EXPECT_EQ(sarkel::mapTVFlag(toSpec, kindedB),
            TyVarBndrSpec(th::KindedTV{b, th::InferredSpec, k}));
  EXPECT_EQ(sarkel::mapTVKind(bumpKind, plainA), plainA);
  EXPECT_EQ(kindCalls, 1);  // not called for a PlainTV
  EXPECT_EQ(sarkel::mapTVKind(bumpKind, kindedB),
            TyVarBndrUnit(th::KindedTV{b, hs::unit, th::AppT{th::ListT{}, k}}));

  EXPECT_EQ(sarkel::changeTVFlags(th::SpecifiedSpec, std::vector<TyVarBndrUnit>{plainA, kindedB}),
            (std::vector<TyVarBndrSpec>{th::PlainTV{a, th::SpecifiedSpec},
                                        th::KindedTV{b, th::SpecifiedSpec, k}}));
  EXPECT_TRUE(sarkel::changeTVFlags(hs::unit, std::vector<TyVarBndrSpec>{}).empty());
}

// A state computation that logs a tag and yields a value.
template <class A>
hs::State<Log, A> logged(std::string tag, A value) {
  return {[tag, value](Log s) {
    s.push_back(tag);
    return std::pair<A, Log>{value, std::move(s)};
  }};
}

TEST(TyVarBndr, TraversalsRunEffectsInOrder) {
  auto nameS = [](const Name& n) { return logged("name", th::mkName(n.occ + "1")); };
  auto flagS = [](hs::Unit) { return logged("flag", th::InferredSpec); };
  auto kindS = [](const Kind& x) { return logged("kind", Kind(th::AppT{th::ListT{}, x})); };
  {
    const auto [bndr, log] = sarkel::traverseTV(nameS, flagS, kindS, kindedB)(Log{});
    EXPECT_EQ(log, (Log{"name", "flag", "kind"}));
    EXPECT_EQ(bndr, TyVarBndrSpec(th::KindedTV{th::mkName("b1"), th::InferredSpec,
                                               th::AppT{th::ListT{}, k}}));
  }
  {
    const auto [bndr, log] = sarkel::traverseTV(nameS, flagS, kindS, plainA)(Log{});
    EXPECT_EQ(log, (Log{"name", "flag"}));
    EXPECT_EQ(bndr, TyVarBndrSpec(th::PlainTV{th::mkName("a1"), th::InferredSpec}));
  }
  EXPECT_EQ(sarkel::traverseTVName(nameS, kindedB)(Log{}).second, (Log{"name"}));
  EXPECT_EQ(sarkel::traverseTVFlag(flagS, kindedB)(Log{}).first,
            TyVarBndrSpec(th::KindedTV{b, th::InferredSpec, k}));

  // The kind traversal of a PlainTV is one pure of the binder: the list applicative gives one
  // result, and the kind function never runs.
  int kindCalls = 0;
  auto kindL = [&](const Kind& x) {
    ++kindCalls;
    return std::vector<Kind>{x, th::StarT{}};
  };
  EXPECT_EQ(sarkel::traverseTVKind(kindL, plainA), std::vector<TyVarBndrUnit>{plainA});
  EXPECT_EQ(kindCalls, 0);
  EXPECT_EQ(sarkel::traverseTVKind(kindL, kindedB),
            (std::vector<TyVarBndrUnit>{kindedB, th::KindedTV{b, hs::unit, Type(th::StarT{})}}));
  // An absent flag stops the traversal before the kind.
  auto noFlag = [](hs::Unit) { return std::optional<Specificity>(); };
  auto someName = [](const Name& n) { return std::optional<Name>(n); };
  auto countedKind = [&](const Kind& x) {
    ++kindCalls;
    return std::optional<Kind>(x);
  };
  EXPECT_EQ(sarkel::traverseTV(someName, noFlag, countedKind, kindedB), std::nullopt);
  EXPECT_EQ(kindCalls, 1);
}

TEST(TyVarBndr, MonadicMappers) {
  // Plain functions run directly, in order; a failure stops the later ones.
  Log calls;
  auto name = [&](const Name& n) {
    calls.push_back("name");
    return n;
  };
  auto flag = [&](hs::Unit) {
    calls.push_back("flag");
    return th::SpecifiedSpec;
  };
  auto kind = [&](const Kind& x) {
    calls.push_back("kind");
    return x;
  };
  EXPECT_EQ(sarkel::mapMTV(name, flag, kind, kindedB),
            TyVarBndrSpec(th::KindedTV{b, th::SpecifiedSpec, k}));
  EXPECT_EQ(calls, (Log{"name", "flag", "kind"}));
  calls.clear();
  auto failingFlag = [&](hs::Unit) -> Specificity {
    calls.push_back("flag");
    throw std::runtime_error("flag failed");
  };
  EXPECT_THROW((void)sarkel::mapMTV(name, failingFlag, kind, kindedB), std::runtime_error);
  EXPECT_EQ(calls, (Log{"name", "flag"}));

  // In the state monad the actions run in order when the result runs.
  auto nameS = [](const Name& n) { return logged("name", n); };
  auto flagS = [](hs::Unit) { return logged("flag", th::InferredSpec); };
  auto kindS = [](const Kind& x) { return logged("kind", x); };
  EXPECT_EQ(sarkel::mapMTV(nameS, flagS, kindS, kindedB)(Log{}),
            std::pair(TyVarBndrSpec(th::KindedTV{b, th::InferredSpec, k}), Log{"name", "flag", "kind"}));
  EXPECT_EQ(sarkel::mapMTV(nameS, flagS, kindS, plainA)(Log{}).second, (Log{"name", "flag"}));

  // In the optional monad an absent result stops the rest.
  calls.clear();
  auto someName = [&](const Name& n) {
    calls.push_back("name");
    return std::optional<Name>(n);
  };
  auto noFlag = [&](hs::Unit) {
    calls.push_back("flag");
    return std::optional<hs::Unit>();
  };
  auto someKind = [&](const Kind& x) {
    calls.push_back("kind");
    return std::optional<Kind>(x);
  };
  EXPECT_EQ(sarkel::mapMTV(someName, noFlag, someKind, kindedB), std::nullopt);
  EXPECT_EQ(calls, (Log{"name", "flag"}));

  // The kind mappers never call the function on a PlainTV.
  calls.clear();
  EXPECT_EQ(sarkel::mapMTVKind(kind, plainA), plainA);
  EXPECT_EQ(sarkel::mapMTVKind(someKind, plainA), std::optional<TyVarBndrUnit>(plainA));
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(sarkel::mapMTVKind(someKind, kindedB), std::optional<TyVarBndrUnit>(kindedB));
  EXPECT_EQ(sarkel::mapMTVName(someName, plainA), std::optional<TyVarBndrUnit>(plainA));
  EXPECT_EQ(sarkel::mapMTVFlag(flag, plainA), TyVarBndrSpec(th::PlainTV{a, th::SpecifiedSpec}));
  EXPECT_EQ(calls, (Log{"kind", "name", "flag"}));
}

}  // namespace
