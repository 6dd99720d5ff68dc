#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/assoc.hpp"
#include "hs/bifunctor.hpp"
#include "hs/either.hpp"

namespace {

using P = std::pair<int, std::string>;
using E = hs::Either<int, std::string>;
using W = hs::Writer<std::string, int>;

const auto inc = [](int x) { return x + 1; };
const auto bang = [](const std::string& s) { return s + "!"; };

TEST(Bifunctor, MappingLaws) {
  const P p{1, "a"};
  const std::vector<E> es{hs::Left(1), hs::Right(std::string("a"))};
  const auto id = [](const auto& x) { return x; };
  EXPECT_EQ(hs::bimap(id, id, p), p);
  EXPECT_EQ(hs::bimap(inc, bang, p), (P{2, "a!"}));
  EXPECT_EQ(hs::first(inc, hs::second(bang, p)), hs::bimap(inc, bang, p));
  EXPECT_EQ(hs::first([](int x) { return std::to_string(x); }, p),
            (std::pair<std::string, std::string>("1", "a")));
  for (const E& e : es) {
    EXPECT_EQ(hs::bimap(id, id, e), e);
    EXPECT_EQ(hs::second(bang, hs::first(inc, e)), hs::bimap(inc, bang, e));
  }
  EXPECT_EQ(hs::bimap(inc, bang, es[0]), E(hs::Left(2)));
  EXPECT_EQ(hs::bimap(inc, bang, es[1]), E(hs::Right(std::string("a!"))));
}

TEST(Bifoldable, FoldsInOrderAndDeferTheRest) {
  const std::pair<std::string, std::string> p{"x", "y"};
  const auto quote = [](const std::string& s) { return "<" + s + ">"; };
  EXPECT_EQ(hs::bifoldMap<std::string>(quote, quote, p), "<x><y>");
  EXPECT_EQ(hs::bifold(p), "xy");
  EXPECT_EQ(hs::bifold1(p), "xy");
  EXPECT_EQ(hs::bifoldMap1<std::string>(quote, quote, p), "<x><y>");
  const auto cons = [](const std::string& s, const hs::Lazy<std::string>& rest) { return s + *rest; };
  const auto snoc = [](const hs::Lazy<std::string>& init, const std::string& s) { return *init + s; };
  EXPECT_EQ(hs::bifoldr(cons, cons, std::string("z"), p), "xyz");
  EXPECT_EQ(hs::bifoldl(snoc, snoc, std::string("z"), p), "zxy");
  // A function that ignores the deferred part: the other side's function never runs.
  int calls = 0;
  const auto counted = [&](const std::string& s, const hs::Lazy<std::string>&) { ++calls; return s; };
  const auto countedL = [&](const hs::Lazy<std::string>&, const std::string& s) { ++calls; return s; };
  EXPECT_EQ(hs::bifoldr([](const std::string& s, const hs::Lazy<std::string>&) { return s; }, counted,
                        std::string("z"), p),
            "x");
  EXPECT_EQ(hs::bifoldl(countedL, [](const hs::Lazy<std::string>&, const std::string& s) { return s; },
                        std::string("z"), p),
            "y");
  EXPECT_EQ(calls, 0);
  const hs::Either<std::string, std::string> l = hs::Left(std::string("l"));
  EXPECT_EQ(hs::bifoldMap<std::string>(quote, bang, l), "<l>");
  EXPECT_EQ(hs::bifoldr(cons, cons, std::string("z"), l), "lz");
  EXPECT_EQ(hs::bifoldl(snoc, snoc, std::string("z"), l), "zl");
  EXPECT_EQ(hs::bifold1(hs::Either<std::string, std::string>(hs::Right(std::string("r")))), "r");
}

TEST(Bitraversable, EffectsRunFirstSideFirst) {
  const auto logA = [](int x) { return W{x * 2, "a" + std::to_string(x)}; };
  const auto logB = [](const std::string& s) {
    return hs::Writer<std::string, std::string>{s + s, "b" + s};
  };
  const auto both = hs::bitraverse(logA, logB, P{3, "q"});
  EXPECT_EQ(both.log, "a3bq");
  EXPECT_EQ(both.value, (P{6, "qq"}));
  const auto right = hs::bitraverse(logA, logB, E(hs::Right(std::string("r"))));
  EXPECT_EQ(right.log, "br");
  EXPECT_EQ(right.value, E(hs::Right(std::string("rr"))));
  // An absent first effect stops the traversal before the second function runs.
  bool secondRan = false;
  const auto none = hs::bitraverse([](int) { return std::optional<int>(); },
                                   [&](const std::string& s) { secondRan = true; return std::optional(s); },
                                   P{1, "a"});
  EXPECT_EQ(none, std::nullopt);
  EXPECT_FALSE(secondRan);
  EXPECT_EQ(hs::bisequence(std::pair(std::optional(1), std::optional(2))), std::optional(std::pair(1, 2)));
}

TEST(Assoc, SwapAndReassociate) {
  EXPECT_EQ(hs::swap(P{1, "a"}), (std::pair<std::string, int>("a", 1)));
  EXPECT_EQ(hs::swap(E(hs::Left(1))), (hs::Either<std::string, int>(hs::Right(1))));
  EXPECT_EQ(hs::swap(E(hs::Right(std::string("a")))), (hs::Either<std::string, int>(hs::Left(std::string("a")))));
  const std::pair<std::pair<int, char>, std::string> nested{{1, 'c'}, "s"};
  const auto right = hs::assoc(nested);
  EXPECT_EQ(right, (std::pair<int, std::pair<char, std::string>>(1, {'c', "s"})));
  EXPECT_EQ(hs::unassoc(right), nested);
  using In = hs::Either<hs::Either<int, char>, std::string>;
  using Out = hs::Either<int, hs::Either<char, std::string>>;
  const std::vector<std::pair<In, Out>> table{
      {In(hs::Left(hs::Either<int, char>(hs::Left(1)))), Out(hs::Left(1))},
      {In(hs::Left(hs::Either<int, char>(hs::Right('c')))), Out(hs::Right(hs::Either<char, std::string>(hs::Left('c'))))},
      {In(hs::Right(std::string("s"))), Out(hs::Right(hs::Either<char, std::string>(hs::Right(std::string("s")))))},
  };
  for (const auto& [in, out] : table) {
    EXPECT_EQ(hs::assoc(in), out);
    EXPECT_EQ(hs::unassoc(out), in);
    EXPECT_EQ(hs::swap(hs::swap(in)), in);
  }
}

}  // namespace
