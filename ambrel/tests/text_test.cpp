// Equality and ordering (plain and lifted), the text writers, and the two readers: the same
// table of texts runs through the plain reader and the lifted ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "ambrel/ambrel.hpp"
#include "ambrel/functor.hpp"
#include "hs/classes1.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "testing/stacks.hpp"
#include "testing/values.hpp"

namespace {

using ambrel::Ambrel;
using ambrel::That;
using ambrel::This;
using testing_support::TestFailure;
using Int = std::int64_t;
using II = Ambrel<Int, Int>;

II both(Int a, Int b) { return II(a, b); }
II this_(Int a) { return This(a); }
II that_(Int b) { return That<Int>(b); }

TEST(Equality, ConstructorThenFieldsFirstValueFirst) {
  EXPECT_FALSE(this_(1) == that_(1));
  EXPECT_FALSE(both(1, 2) == both(1, 3));
  EXPECT_TRUE(both(1, 2) == both(1, 2));
  EXPECT_TRUE(this_(1) != this_(2));
  // Unequal first values: the second values are never looked at.
  const II x(1, testing_support::throwing<Int>()), y(2, testing_support::throwing<Int>());
  EXPECT_FALSE(x == y);
  int calls = 0;
  auto counting = [&calls](Int a, Int b) {
    ++calls;
    return a == b;
  };
  EXPECT_FALSE(hs::liftEq2(counting, counting, this_(1), that_(1)));
  EXPECT_EQ(calls, 0);
  // The lifted forms use the caller's relation where the rules say.
  auto mod10 = [](Int a, Int b) { return a % 10 == b % 10; };
  EXPECT_TRUE(hs::liftEq(mod10, both(1, 2), both(1, 12)));
  EXPECT_FALSE(hs::liftEq(mod10, both(1, 2), both(11, 2)));
  EXPECT_TRUE(hs::liftEq2(mod10, mod10, both(1, 2), both(11, 12)));
}

TEST(Ordering, ByConstructorIndexThenFields) {
  EXPECT_EQ(ambrel::compare(that_(9), both(0, 0)), hs::LT);
  EXPECT_EQ(ambrel::compare(this_(9), that_(0)), hs::LT);
  EXPECT_EQ(ambrel::compare(both(1, 5), both(1, 3)), hs::GT);
  // Every operator agrees with compare over a small set of values.
  std::vector<II> values;  // in ascending order
  for (Int a = 0; a < 3; ++a) values.push_back(this_(a));
  for (Int b = 0; b < 3; ++b) values.push_back(that_(b));
  for (Int a = 0; a < 3; ++a)
    for (Int b = 0; b < 3; ++b) values.push_back(both(a, b));
  for (std::size_t i = 0; i < values.size(); ++i)
    for (std::size_t j = 0; j < values.size(); ++j) {
      const II& x = values[i];
      const II& y = values[j];
      const hs::Ordering o = ambrel::compare(x, y);
      EXPECT_EQ(o, i < j ? hs::LT : (i > j ? hs::GT : hs::EQ)) << i << " " << j;
      EXPECT_EQ(x < y, o == hs::LT);
      EXPECT_EQ(x <= y, o != hs::GT);
      EXPECT_EQ(x > y, o == hs::GT);
      EXPECT_EQ(x >= y, o != hs::LT);
      EXPECT_EQ(x == y, o == hs::EQ);
    }
  // Of two equal values max gives the second and min the first, the very objects.
  const II a = this_(1), b = this_(1);
  EXPECT_TRUE(ambrel::ptrEq(ambrel::max(a, b), b));
  EXPECT_TRUE(ambrel::ptrEq(ambrel::min(a, b), a));
  const II c = that_(0);
  EXPECT_TRUE(ambrel::ptrEq(ambrel::max(c, a), c));
  EXPECT_TRUE(ambrel::ptrEq(ambrel::min(c, a), a));
  auto reversed = [](Int x, Int y) { return hs::compare(y, x); };
  EXPECT_EQ(hs::liftCompare(reversed, both(1, 5), both(1, 3)), hs::LT);
  EXPECT_EQ(hs::liftCompare(reversed, both(1, 5), both(2, 9)), hs::LT);
  EXPECT_EQ(hs::liftCompare2(reversed, reversed, both(1, 5), both(2, 9)), hs::GT);
  EXPECT_EQ(hs::liftCompare2(reversed, reversed, this_(1), that_(0)), hs::LT);
}

TEST(Writers, ConstructorNameThenFieldsAtElevenBracketedAboveTen) {
  struct Case {
    int d;
    II value;
    const char* text;
  };
  const Case cases[] = {
      {0, this_(1), "This 1"},      {11, this_(1), "(This 1)"},       {10, both(1, 2), "Ambrel 1 2"},
      {0, both(1, -2), "Ambrel 1 (-2)"}, {11, that_(-3), "(That (-3))"},
  };
  for (const Case& c : cases) {
    std::string out = "<";
    hs::showsPrec(c.d, c.value, out);
    EXPECT_EQ(out, "<" + std::string(c.text)) << c.text;
  }
  EXPECT_EQ(hs::show(Ambrel<Int, II>(That(this_(3)))), "That (This 3)");
  EXPECT_EQ(hs::show(Ambrel<II, Int>(This(this_(3)))), "This (This 3)");
  std::string list;
  hs::showList(std::vector<II>{this_(1), that_(2)}, list);
  EXPECT_EQ(list, "[This 1,That 2]");
  // The lifted writers use the caller's writers at precedence 11.
  auto tag = [](int d, Int x, std::string& o) { o += "<" + std::to_string(d) + ":" + std::to_string(x) + ">"; };
  std::string lifted;
  hs::liftShowsPrec2(tag, hs::ShowList{}, tag, hs::ShowList{}, 11, both(1, 2), lifted);
  EXPECT_EQ(lifted, "(Ambrel <11:1> <11:2>)");
  lifted.clear();
  hs::liftShowsPrec(tag, hs::ShowList{}, 0, both(1, 2), lifted);
  EXPECT_EQ(lifted, "Ambrel 1 <11:2>");
  lifted.clear();
  hs::liftShowList2(tag, hs::ShowList{}, tag, hs::ShowList{}, std::vector<II>{this_(1), that_(2)}, lifted);
  EXPECT_EQ(lifted, "[This <11:1>,That <11:2>]");
}

// Every parse of each reader as "shown value|rest".
std::vector<std::string> parses(const hs::ReadPrec<II>& p, int d, std::string_view s) {
  std::vector<std::string> out;
  for (const auto& [v, rest] : p(d, s)) out.push_back(hs::show(v) + "|" + std::string(rest));
  return out;
}

TEST(Readers, BothReadersAcceptTheSameTexts) {
  const hs::ReadPrec<II> plain = hs::readPrec<II>();
  const hs::ReadPrec<II> lifted1 = hs::liftReadPrec<II>(hs::readPrec<Int>(), hs::readListPrec<Int>());
  const hs::ReadPrec<II> lifted2 = hs::liftReadPrec2<II>(hs::readPrec<Int>(), hs::readListPrec<Int>(),
                                                         hs::readPrec<Int>(), hs::readListPrec<Int>());
  struct Case {
    int d;
    const char* text;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {0, " ( This 5 )", {"This 5|"}},
      {11, "This 5", {}},
      {11, "(This 5)", {"This 5|"}},
      {0, "((That 2))", {"That 2|"}},
      {11, "((That 2))", {"That 2|"}},
      {0, "Ambrel 1 2 rest", {"Ambrel 1 2| rest"}},
      {10, "Ambrel (-1) (2)", {"Ambrel (-1) 2|"}},
      {0, "Thisx 5", {}},
      {0, "This", {}},
      {0, "That (5", {}},
      {0, "(This 5", {}},
      {0, "This 5)", {"This 5|)"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parses(plain, c.d, c.text), c.want) << c.text << " at " << c.d;
    EXPECT_EQ(parses(lifted1, c.d, c.text), c.want) << c.text << " at " << c.d;
    EXPECT_EQ(parses(lifted2, c.d, c.text), c.want) << c.text << " at " << c.d;
  }
  EXPECT_EQ(hs::read<std::vector<II>>("[This 1, That 2,Ambrel 3 4]"),
            (std::vector<II>{this_(1), that_(2), both(3, 4)}));
  using Nested = Ambrel<II, std::vector<Int>>;
  EXPECT_EQ(hs::read<Nested>("Ambrel (That 3) [1,2]"), Nested(that_(3), std::vector<Int>{1, 2}));
}

TEST(Readers, ReadingBackAWrittenValueGivesIt) {
  using Nested = Ambrel<II, Ambrel<std::string, Int>>;
  std::mt19937_64 rng(7);
  auto small = [&] { return static_cast<Int>(rng() % 21) - 10; };
  auto ii = [&]() -> II {
    switch (rng() % 3) {
      case 0: return this_(small());
      case 1: return that_(small());
      default: return both(small(), small());
    }
  };
  const hs::ReadPrec<Nested> lifted =
      hs::liftReadPrec<Nested>(hs::readPrec<Ambrel<std::string, Int>>(),
                               hs::readListPrec<Ambrel<std::string, Int>>());
  for (int i = 0; i < 200; ++i) {
    const Ambrel<std::string, Int> inner =
        rng() % 2 ? Ambrel<std::string, Int>(This(std::string(rng() % 3, '"'))) : Ambrel<std::string, Int>(std::string("a b"), small());
    const Nested v = rng() % 3 == 0 ? Nested(This(ii())) : (rng() % 2 ? Nested(That(inner)) : Nested(ii(), inner));
    for (int d : {0, 11}) {
      std::string text;
      hs::showsPrec(d, v, text);
      const auto plain = hs::readsPrec<Nested>(d, text);
      ASSERT_EQ(plain.size(), 1u) << text;
      EXPECT_EQ(plain[0].first, v) << text;
      EXPECT_TRUE(plain[0].second.empty()) << text;
      const auto viaLifted = lifted(d, text);
      ASSERT_EQ(viaLifted.size(), 1u) << text;
      EXPECT_EQ(viaLifted[0].first, v) << text;
    }
  }
}

// Any number of bracket pairs reads, on a small thread stack too; a run of opening brackets and
// nothing else reads as no parse, quickly.
TEST(Read, AnyNumberOfBracketsOnASmallStack) {
  testing_support::onThreadStack(256 * 1024, [] {
    constexpr std::size_t n = 100000;
    const auto around = [](const std::string& inner) { return std::string(n, '(') + inner + std::string(n, ')'); };
    EXPECT_EQ(hs::readMaybe<II>(around("This 5")), II(This(Int{5})));
    EXPECT_EQ(hs::readMaybe<II>(around("Ambrel " + around("1") + " " + around("-2"))), II(Int{1}, Int{-2}));
    using Nested = Ambrel<II, II>;
    EXPECT_EQ(hs::readMaybe<Nested>(around("That " + around("This 5"))), Nested(That(II(This(Int{5})))));
    EXPECT_EQ(hs::readMaybe<II>(std::string(n, '(')), std::nullopt);
  });
}

// ---- Values that nest through their fields

// A tree whose second field is a subtree, compared by its Ambrel; ordered by the three-way lifted
// form (hs::compare of a type with only < would compare every level twice).
struct Tree {
  Ambrel<Int, Tree> node;
  friend bool operator==(const Tree& a, const Tree& b) { return a.node == b.node; }
  friend bool operator<(const Tree& a, const Tree& b);
};
struct TreeCompare {
  hs::Ordering operator()(const Tree& a, const Tree& b) const {
    return hs::liftCompare2(hs::Compare{}, *this, a.node, b.node);
  }
};
struct TreeEq {
  bool operator()(const Tree& a, const Tree& b) const { return hs::liftEq(*this, a.node, b.node); }
};
bool operator<(const Tree& a, const Tree& b) { return TreeCompare{}(a, b) == hs::LT; }

// A tree whose parts are lists of subtrees.
struct Tree1 {
  ambrel::Ambrel1<hs::ListTag, hs::ListTag, Tree1> node;
  friend bool operator==(const Tree1& a, const Tree1& b) { return a.node == b.node; }
};
struct Tree1Eq {
  bool operator()(const Tree1& a, const Tree1& b) const { return hs::liftEq(*this, a.node, b.node); }
};
struct Tree1Compare {
  hs::Ordering operator()(const Tree1& a, const Tree1& b) const {
    return hs::liftCompare(*this, a.node, b.node);
  }
};

// `depth` levels: Ambrel 0 and the level below, down to This bottom.
Tree treeChain(Int depth, Int bottom) {
  Tree t{This(bottom)};
  for (Int i = 1; i < depth; ++i) t = Tree{Ambrel<Int, Tree>(Int{0}, std::move(t))};
  return t;
}
// `depth` levels: Ambrel1 of [the level below] and [], down to This1 [] or That1 [].
Tree1 tree1Chain(Int depth, bool bottomThis) {
  using T1 = ambrel::Ambrel1<hs::ListTag, hs::ListTag, Tree1>;
  const std::vector<Tree1> none;
  Tree1 t{bottomThis ? T1(ambrel::This1(none)) : T1(ambrel::That1(none))};
  for (Int i = 1; i < depth; ++i)
    t = Tree1{T1(hs::Lazy<std::vector<Tree1>>(std::vector<Tree1>{std::move(t)}),
                 hs::Lazy<std::vector<Tree1>>(std::vector<Tree1>{}))};
  return t;
}

TEST(AmbrelDepth, ValuesNestedThroughFieldsCompareOnASmallStack) {
  constexpr Int depth = 100000;
  const Tree a = treeChain(depth, 1), same = treeChain(depth, 1), other = treeChain(depth, 2);
  const Tree1 a1 = tree1Chain(depth, true), same1 = tree1Chain(depth, true);
  const Tree1 other1 = tree1Chain(depth, false);
  testing_support::onThreadStack(256 * 1024, [&] {
    EXPECT_TRUE(a == same);
    EXPECT_FALSE(a == other);
    EXPECT_EQ(ambrel::compare(a.node, same.node), hs::EQ);
    EXPECT_EQ(ambrel::compare(a.node, other.node), hs::LT);
    EXPECT_TRUE(a.node < other.node);
    EXPECT_TRUE(TreeEq{}(a, same));
    EXPECT_FALSE(TreeEq{}(a, other));
    EXPECT_EQ(TreeCompare{}(other, a), hs::GT);
    EXPECT_TRUE(a1 == same1);
    EXPECT_FALSE(a1 == other1);
    EXPECT_TRUE(Tree1Eq{}(a1, same1));
    EXPECT_FALSE(Tree1Eq{}(a1, other1));
    EXPECT_EQ(Tree1Compare{}(a1, same1), hs::EQ);
    EXPECT_EQ(Tree1Compare{}(a1, other1), hs::LT);
  });
}

}  // namespace
