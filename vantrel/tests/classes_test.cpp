#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "testing/trie.hpp"
#include "testing/values.hpp"
#include "vantrel/map/classes.hpp"
#include "vantrel/map/internal.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/read.hpp"
#include "vantrel/map/show.hpp"

namespace {

using vantrel::HashMap;
namespace I = vantrel::internal;
namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using Map = HashMap<std::int64_t, std::int64_t>;
using Pairs = std::vector<std::pair<std::int64_t, std::int64_t>>;

// The pairs of a map in ascending key order.
Pairs sorted(const Map& m) {
  Pairs out;
  for (const auto& r : m) out.emplace_back(r.key, *r.value);
  std::sort(out.begin(), out.end());
  return out;
}

// ---- Writing
// -------------------------------------------------------------------------------------

TEST(Show, Texts) {
  // Keys 1 and 33 share the lowest chunk; 2 has its own.
  const Map m{{33, 4}, {1, 2}, {2, -5}};
  const Map collision = T::bitmapIndexed<std::int64_t, std::int64_t>(
      0b11, {T::leaf<std::int64_t, std::int64_t>(0, 0, 0),
             T::collision<std::int64_t, std::int64_t>(1, {{7, 1}, {5, 2}})});
  struct Case {
    std::string got, want;
  };
  const Case cases[] = {
      {hs::show(Map{}), "fromList []"},
      {hs::show(Map{{1, 2}, {3, 4}}), "fromList [(1,2),(3,4)]"},
      {hs::show(m), "fromList [(1,2),(33,4),(2,-5)]"},
      {hs::show(collision), "fromList [(0,0),(7,1),(5,2)]"},
      {hs::show(std::optional<Map>(Map{})), "Just (fromList [])"},
      {hs::show(std::vector<Map>{Map{}, Map{{1, 2}}}), "[fromList [],fromList [(1,2)]]"},
      {hs::show(HashMap<std::string, std::optional<std::int64_t>>{
           {std::string("a"), std::optional<std::int64_t>(-1)}}),
       "fromList [(\"a\",Just (-1))]"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  for (int d : {0, 10, 11}) {
    std::string out = "<";
    hs::showsPrec(d, Map{{1, 2}}, out);
    EXPECT_EQ(out, d > 10 ? "<(fromList [(1,2)])" : "<fromList [(1,2)]") << d;
  }
}

TEST(Show, ShowsAValueThroughItsCellOnlyWhenWritten) {
  auto runs = std::make_shared<int>(0);
  const HashMap<std::int64_t, std::int64_t> m{
      {1, testing_support::counting<std::int64_t>(9, runs)}};
  EXPECT_EQ(*runs, 0);
  EXPECT_EQ(hs::show(m), "fromList [(1,9)]");
  EXPECT_EQ(*runs, 1);
}

TEST(Show, LiftedWriters) {
  const Map m{{1, 2}, {3, 4}};
  auto key = [](int d, std::int64_t k, std::string& out) {
    out += "k" + std::to_string(d) + "_" + std::to_string(k);
  };
  auto value = [](int d, std::int64_t v, std::string& out) {
    out += "v" + std::to_string(d) + "_" + std::to_string(v);
  };
  auto never = [](const auto&, std::string&) { ADD_FAILURE() << "a list writer was called"; };
  std::string out;
  hs::liftShowsPrec2(key, never, value, never, 11, m, out);
  EXPECT_EQ(out, "(fromList [(k0_1,v0_2),(k0_3,v0_4)])");
  out.clear();
  hs::liftShowsPrec(value, never, 0, m, out);
  EXPECT_EQ(out, "fromList [(1,v0_2),(3,v0_4)]");
  out.clear();
  hs::liftShowList2(key, never, value, never, std::vector<Map>{Map{}, Map{{1, 2}}}, out);
  EXPECT_EQ(out, "[fromList [],fromList [(k0_1,v0_2)]]");
  out.clear();
  hs::liftShowList(value, never, std::vector<Map>{Map{{1, 2}}}, out);
  EXPECT_EQ(out, "[fromList [(1,v0_2)]]");
  // With the types' own writers the lifted text is the plain one.
  out.clear();
  hs::liftShowsPrec2(hs::ShowsPrec{}, hs::ShowList{}, hs::ShowsPrec{}, hs::ShowList{}, 11, m, out);
  std::string plain;
  hs::showsPrec(11, m, plain);
  EXPECT_EQ(out, plain);
}

// ---- Reading
// -------------------------------------------------------------------------------------

struct ReadCase {
  std::string_view text;
  int prec;
  std::vector<std::pair<Pairs, std::string_view>> parses;
};
const ReadCase readCases[] = {
    {"fromList [(1,2),(3,4)]", 0, {{{{1, 2}, {3, 4}}, ""}}},
    {"fromList []", 0, {{{}, ""}}},
    {"  fromList  [ ( 1 , 2 ) ]  ", 0, {{{{1, 2}}, "  "}}},
    {"fromList[(1,2)]", 0, {{{{1, 2}}, ""}}},
    {"fromList [(1,2)] rest", 0, {{{{1, 2}}, " rest"}}},
    {"fromList [(1,2),(1,3),(2,5),(1,4)]", 0, {{{{1, 4}, {2, 5}}, ""}}},  // the later pair wins
    {"fromList ([(1,-2)])", 0, {{{{1, -2}}, ""}}},
    {"fromList [(1,2)]", 10, {{{{1, 2}}, ""}}},
    {"fromList [(1,2)]", 11, {}},
    {"(fromList [(1,2)])", 11, {{{{1, 2}}, ""}}},
    {"((fromList [(1,2)]))", 11, {{{{1, 2}}, ""}}},
    {"( ( (fromList []) ) ) )", 0, {{{}, " )"}}},
    {"(fromList [(1,2)]", 0, {}},
    {"fromListX [(1,2)]", 0, {}},
    {"fromlist [(1,2)]", 0, {}},
    {"Data.fromList [(1,2)]", 0, {}},
    {"fromList", 0, {}},
    {"fromList [(1,2)", 0, {}},
    {"fromList [1,2]", 0, {}},
    {"", 0, {}},
};

TEST(Read, Table) {
  for (const ReadCase& c : readCases) {
    const auto got = hs::readsPrec<Map>(c.prec, c.text);
    ASSERT_EQ(got.size(), c.parses.size()) << c.text << " at " << c.prec;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(sorted(got[i].first), c.parses[i].first) << c.text;
      EXPECT_EQ(got[i].second, c.parses[i].second) << c.text;
    }
  }
}

TEST(Read, LiftedReaderTable) {
  // Values read by the caller's reader: a number, doubled.
  const auto rp =
      hs::readprec::fmap([](std::int64_t v) { return v * 2; }, hs::readPrec<std::int64_t>());
  const auto rl = hs::readprec::list(rp);
  const auto reader = hs::liftReadPrec<Map>(rp, rl);
  struct Case {
    std::string_view text;
    int prec;
    std::vector<std::pair<Pairs, std::string_view>> parses;
  };
  const Case cases[] = {
      {"fromList [(1,2),(3,4)]", 0, {{{{1, 4}, {3, 8}}, ""}}},
      {"fromList [(1,2),(1,3)] x", 10, {{{{1, 6}}, " x"}}},
      {"fromList [(1,2)]", 11, {}},
      {"(fromList [(1,2)])", 11, {{{{1, 4}}, ""}}},
      {"((fromList []))", 0, {{{}, ""}}},
      {"fromListX []", 0, {}},
      {"toList []", 0, {}},
  };
  for (const Case& c : cases) {
    const auto got = reader(c.prec, c.text);
    ASSERT_EQ(got.size(), c.parses.size()) << c.text << " at " << c.prec;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(sorted(got[i].first), c.parses[i].first) << c.text;
      EXPECT_EQ(got[i].second, c.parses[i].second) << c.text;
    }
  }
  const auto lists = hs::liftReadListPrec<Map>(rp, rl)(0, "[fromList [(1,1)],fromList []]");
  ASSERT_EQ(lists.size(), 1u);
  ASSERT_EQ(lists[0].first.size(), 2u);
  EXPECT_EQ(sorted(lists[0].first[0]), (Pairs{{1, 2}}));
}

TEST(Read, RoundTrips) {
  std::mt19937_64 rng(7);
  for (int round = 0; round < 60; ++round) {
    Pairs pairs;
    const int n = static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i)
      pairs.emplace_back(static_cast<std::int64_t>(rng() % 200) * 1024 - 10000,
                         static_cast<std::int64_t>(rng() % 7) - 3);
    const Map m = L::fromList(pairs);
    const std::string text = hs::show(m);
    EXPECT_EQ(hs::read<Map>(text), m) << text;
    std::string bracketed;
    hs::showsPrec(11, m, bracketed);
    const auto at11 = hs::readsPrec<Map>(11, bracketed);
    ASSERT_EQ(at11.size(), 1u) << bracketed;
    EXPECT_EQ(at11[0].first, m);
    EXPECT_EQ(hs::read<std::vector<Map>>(hs::show(std::vector<Map>{m, Map{}})),
              (std::vector<Map>{m, Map{}}));
    const auto lifted = hs::liftReadPrec<Map>(hs::readPrec<std::int64_t>(),
                                              hs::readListPrec<std::int64_t>())(0, text);
    ASSERT_EQ(lifted.size(), 1u);
    EXPECT_EQ(lifted[0].first, m);
  }
  const HashMap<std::string, std::string> named{{std::string("a b"), std::string("\"q\"")}};
  using Named = HashMap<std::string, std::string>;
  EXPECT_EQ(hs::read<Named>(hs::show(named)), named);
  EXPECT_FALSE(hs::readMaybe<Map>("fromList [(1,2)] junk"));
}

// ---- Lists
// -----------------------------------------------------------------------------------------

// Hostile texts: ambiguous string keys are followed once, deep brackets give no parse.
TEST(Read, HostileTexts) {
  std::string pairs = "fromList [";
  for (int i = 0; i < 40; ++i)
    pairs += (i ? "," : "") + std::string("((['k']),") + std::to_string(i) + ")";
  pairs += "]";
  using SMap = HashMap<std::string, std::int64_t>;
  const auto parses = hs::reads<SMap>(pairs);
  ASSERT_EQ(parses.size(), 2u) << "one ambiguous parse, given twice";
  EXPECT_EQ(*L::at(parses[0].first, std::string("k")), 39);
  EXPECT_FALSE(hs::readMaybe<SMap>(pairs));

  const std::string open(200000, '(');
  EXPECT_FALSE(hs::readMaybe<Map>(open + "fromList []"));
  EXPECT_FALSE(hs::readMaybe<Map>("fromList [" + open + "1,2)]"));
  EXPECT_FALSE(hs::readMaybe<Map>("fromList " + std::string(200000, '[')));
  EXPECT_TRUE(hs::liftReadPrec<Map>(hs::readPrec<std::int64_t>(),
                                    hs::readListPrec<std::int64_t>())(0, open + "fromList []")
                  .empty());
  EXPECT_EQ(hs::read<Map>("((((fromList [((1,2))]))))"), (Map{{1, 2}}));
}

TEST(IsList, ConversionsAndCounts) {
  const Pairs five{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}};
  EXPECT_EQ(L::fromListN(0, five).size(), 5);
  EXPECT_EQ(L::fromListN(99, five), L::fromList(five));
  const Map m{{1, 10}, {33, 20}, {2, 30}};
  const auto list = L::toList(m);
  ASSERT_EQ(list.size(), 3u);
  std::vector<std::int64_t> keys;
  for (const auto& [k, v] : list) keys.push_back(k);
  EXPECT_EQ(keys, (std::vector<std::int64_t>{1, 33, 2}));  // trie order
  // The cells themselves, not copies, and not forced.
  auto runs = std::make_shared<int>(0);
  const Map lazy{{1, testing_support::counting<std::int64_t>(5, runs)}};
  const auto cells = L::toList(lazy);
  EXPECT_TRUE(hs::ptrEq(cells[0].second, *L::find(lazy, 1)));
  EXPECT_EQ(*runs, 0);
  EXPECT_EQ(L::fromList(L::toList(m)), m);
}

// ---- Deep evaluation
// ---------------------------------------------------------------------------------

TEST(NFData, WalksKeysThenValuesInTrieOrder) {
  const Map m = T::bitmapIndexed<std::int64_t, std::int64_t>(
      0b11, {T::leaf<std::int64_t, std::int64_t>(0, 32, 1),
             T::collision<std::int64_t, std::int64_t>(1, {{7, 2}, {5, 3}})});
  std::vector<std::string> seen;
  L::liftRnf2([&](std::int64_t k) { seen.push_back("k" + std::to_string(k)); },
              [&](std::int64_t v) { seen.push_back("v" + std::to_string(v)); }, m);
  EXPECT_EQ(seen, (std::vector<std::string>{"k32", "v1", "k7", "v2", "k5", "v3"}));
  seen.clear();
  L::liftRnf([&](std::int64_t v) { seen.push_back("v" + std::to_string(v)); }, m);
  EXPECT_EQ(seen, (std::vector<std::string>{"v1", "v2", "v3"}));

  // A failing value surfaces, after its key.
  const Map failing = T::bitmapIndexed<std::int64_t, std::int64_t>(
      0b11, {T::leaf<std::int64_t, std::int64_t>(0, 32, 1),
             T::leaf<std::int64_t, std::int64_t>(1, 1, testing_support::throwing<std::int64_t>())});
  EXPECT_THROW((void)L::rnf(failing), testing_support::TestFailure);
  seen.clear();
  EXPECT_THROW(
      (void)L::liftRnf2([&](std::int64_t k) { seen.push_back("k" + std::to_string(k)); },
                  hs::onCells([](const hs::Lazy<std::int64_t>& c) { c.force(); }), failing),
      testing_support::TestFailure);
  EXPECT_EQ(seen, (std::vector<std::string>{"k32", "k1"}));

  // rnf forces every value once, also inside maps stored as values.
  auto runs = std::make_shared<int>(0);
  const HashMap<std::int64_t, Map> nested{
      {1, Map{{1, testing_support::counting<std::int64_t>(1, runs)},
              {2, testing_support::counting<std::int64_t>(2, runs)}}}};
  L::rnf(nested);
  L::rnf(nested);
  EXPECT_EQ(*runs, 2);

  // Records.
  const I::L<std::int64_t, std::int64_t> r{3, testing_support::throwing<std::int64_t>()};
  EXPECT_THROW(I::rnf(r), testing_support::TestFailure);
  seen.clear();
  I::liftRnf2([&](std::int64_t k) { seen.push_back("k" + std::to_string(k)); },
              hs::onCells([&](const hs::Lazy<std::int64_t>&) { seen.push_back("cell"); }), r);
  EXPECT_EQ(seen, (std::vector<std::string>{"k3", "cell"}));
  EXPECT_THROW(I::liftRnf([](std::int64_t) {}, r), testing_support::TestFailure);
}

// ---- Generic programming
// -------------------------------------------------------------------------------

struct VectorTag {
  template <class X>
  using apply = std::vector<X>;
};
struct MapOfIntTag {
  template <class X>
  using apply = HashMap<std::int64_t, X>;
};
struct MapTag {
  template <class A, class B>
  using apply = HashMap<A, B>;
};
struct PairTag {
  template <class A, class B>
  using apply = std::pair<A, B>;
};

TEST(Data, Descriptions) {
  const hs::data::DataType dt = hs::dataTypeOf<Map>();
  EXPECT_EQ(hs::data::dataTypeName(dt), "Vantrel.Map.Internal.HashMap");
  const hs::data::Constr c = hs::toConstr(Map{});
  EXPECT_EQ(c, I::fromListConstr());
  EXPECT_EQ(hs::toConstr(Map{{1, 2}}), c);
  EXPECT_EQ(hs::data::showConstr(c), "fromList");
  EXPECT_TRUE(hs::data::constrFields(c).empty());
  EXPECT_EQ(hs::data::constrFixity(c), hs::data::Prefix);
  EXPECT_EQ(hs::data::constrIndex(c), 1);
  EXPECT_EQ(hs::data::dataTypeConstrs(dt), (std::vector<hs::data::Constr>{c}));
  EXPECT_EQ(hs::data::dataTypeName(hs::data::constrType(c)), "Vantrel.Map.Internal.HashMap");
}

TEST(Data, FoldsAndUnfoldsThroughThePairList) {
  const Map m{{1, 10}, {33, 20}};
  // One field, the pair list in trie order.
  const auto fields = hs::gmapQ<Pairs>(
      [](const auto& d) {
        if constexpr (std::is_same_v<std::decay_t<decltype(d)>, Pairs>)
          return d;
        else
          return Pairs{};
      },
      m);
  EXPECT_EQ(fields, (std::vector<Pairs>{{{1, 10}, {33, 20}}}));
  const Map doubled = hs::gmapT(
      [](const auto& d) {
        auto out = d;
        if constexpr (std::is_same_v<std::decay_t<decltype(d)>, Pairs>)
          for (auto& p : out) p.second *= 2;
        return out;
      },
      m);
  EXPECT_EQ(doubled, (Map{{1, 20}, {33, 40}}));

  // gunfold with fromList builds from the one field the caller supplies; a later pair wins.
  auto z = [](auto g) { return g; };
  auto k = [](auto f, auto field) {
    using D = typename decltype(field)::type;
    static_assert(std::is_same_v<D, Pairs>);
    return f(Pairs{{1, 1}, {1, 2}, {4, 4}});
  };
  const Map built = hs::gunfold<Map>(k, z, I::fromListConstr());
  EXPECT_EQ(built, (Map{{1, 2}, {4, 4}}));

  // Another type's second constructor: the "gunfold" program error.
  const auto other = hs::data::mkDataType("Test.Two", {"A", "B"});
  try {
    (void)hs::gunfold<Map>(k, z, hs::data::indexConstr(other, 2));
    ADD_FAILURE() << "no error";
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), "gunfold");
    ASSERT_EQ(e.callStack().entries().size(), 1u);
    EXPECT_EQ(e.callStack().entries()[0],
              (hs::SrcLoc{"error", vantrel::packageId(), "Vantrel.Map.Internal",
                          "./Vantrel/Map/Internal", 335, 14, 335, 19}));
  }
  // A constructor of a type that is not algebraic is refused by the constructor index.
  EXPECT_THROW(
      (void)hs::gunfold<Map>(k, z, hs::data::mkIntegralConstr(hs::dataTypeOf<std::int64_t>(), 3)),
      hs::ProgramError);
}

TEST(Data, Casts) {
  auto one = [](auto) { return std::string("one"); };
  auto two = [](auto, auto) { return 2; };
  EXPECT_TRUE((hs::dataCast1<Map, MapOfIntTag, std::string>(one)));
  EXPECT_FALSE((hs::dataCast1<Map, VectorTag, std::string>(one)));
  EXPECT_EQ((hs::dataCast2<Map, MapTag, int>(two)), std::optional<int>(2));
  EXPECT_FALSE((hs::dataCast2<Map, PairTag, int>(two)));
}

// ---- Embedding
// ---------------------------------------------------------------------------------------------

struct Recorder : hs::th::Quote {
  std::vector<std::string> kinds;
  void step(const hs::th::Exp& e) override {
    const std::string s = hs::th::show(e);
    kinds.push_back(s.substr(0, s.find(' ')));
  }
};

TEST(Lift, RecordRebuildsWithItsValueForced) {
  const I::L<std::int64_t, std::string> r{1, std::string("a")};
  Recorder q;
  const hs::th::TExp<I::L<std::int64_t, std::string>> e = hs::th::liftTyped(q, r);
  EXPECT_EQ(hs::th::show(e.unType),
            "InfixE (Just (AppE (ConE Vantrel.Map.Internal.L) (LitE (IntegerL 1)))) "
            "(VarE GHC.Base.$!) (Just (LitE (StringL \"a\")))");
  EXPECT_EQ(q.kinds, (std::vector<std::string>{"ConE", "LitE", "AppE", "VarE", "LitE", "InfixE"}));
  EXPECT_EQ(hs::th::lift(r), e.unType);
  const auto* infix = e.unType.get_if<hs::th::InfixE>();
  ASSERT_NE(infix, nullptr);
  const auto* con = infix->left->get_if<hs::th::AppE>()->fun.get_if<hs::th::ConE>();
  ASSERT_NE(con, nullptr);
  EXPECT_EQ(con->name, hs::th::mkNameG_d(vantrel::packageId(), "Vantrel.Map.Internal", "L"));
  EXPECT_EQ(infix->op.get_if<hs::th::VarE>()->name, hs::th::mkNameG_v("base", "GHC.Base", "$!"));
}


}  // namespace

namespace {

TEST(Capabilities, PlatformTraitsReachTheMap) {
  int runs = 0;
  const vantrel::HashMap<std::int64_t, std::int64_t> m = vantrel::lazy::fromList<std::int64_t, std::int64_t>(
      {{1, hs::delay([&] { return std::int64_t{++runs}; })}, {2, hs::delay([&] { return std::int64_t{++runs}; })}});
  hs::rnf(m);
  EXPECT_EQ(runs, 2);
  int seen = 0;
  hs::liftRnf([&](std::int64_t) { ++seen; }, m);
  EXPECT_EQ(seen, 2);
  using Map = vantrel::HashMap<std::int64_t, std::int64_t>;
  const Map fromItems = hs::fromList<Map>({{3, 30}, {4, 40}});
  EXPECT_EQ(hs::toItems(fromItems).size(), 2u);
  EXPECT_EQ(*vantrel::lazy::at(hs::fromListN<Map>(99, {{5, 50}}), 5), 50);
}

}  // namespace
