// The functor-level form: folds, traversal and deep evaluation through the inner functors (the
// F part first), comparison, and the text forms with their readers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ambrel/functor.hpp"
#include "hs/classes1.hpp"
#include "hs/error.hpp"
#include "hs/foldable.hpp"
#include "hs/foldable1.hpp"
#include "hs/functor.hpp"
#include "hs/nfdata.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "testing/values.hpp"

namespace {

using ambrel::Ambrel1;
using ambrel::That1;
using ambrel::This1;
using testing_support::TestFailure;
using Int = std::int64_t;
using Vec = std::vector<Int>;
using LL = Ambrel1<hs::ListTag, hs::ListTag, Int>;
using ML = Ambrel1<hs::MaybeTag, hs::ListTag, Int>;
using NN = Ambrel1<hs::NonEmptyTag, hs::NonEmptyTag, Int>;
using Just = std::optional<Int>;

std::string failureOf(void (*run)(const LL&), const LL& v) {
  try {
    run(v);
  } catch (const hs::ProgramError& e) {
    return e.what();
  }
  return "no failure";
}

TEST(Folding1, TheElementsAreTheFPartsThenTheGParts) {
  for (const LL& empty : {LL(This1(Vec{})), LL(Vec{}, Vec{})}) {
    EXPECT_TRUE(hs::null(empty));
    EXPECT_EQ(hs::length(empty), 0);
    EXPECT_TRUE(hs::toList(empty).empty());
    EXPECT_EQ(failureOf([](const LL& v) { (void)hs::foldr1([](Int a, Int) { return a; }, v); }, empty),
              "foldr1: empty structure");
    EXPECT_EQ(failureOf([](const LL& v) { (void)hs::foldl1([](Int a, Int) { return a; }, v); }, empty),
              "foldl1: empty structure");
    EXPECT_EQ(failureOf([](const LL& v) { (void)hs::maximum(v); }, empty), "maximum: empty structure");
    EXPECT_EQ(failureOf([](const LL& v) { (void)hs::minimum(v); }, empty), "minimum: empty structure");
  }
  const LL three(Vec{}, Vec{3});
  EXPECT_FALSE(hs::null(three));
  EXPECT_EQ(hs::foldr1([](Int a, Int b) { return a - b; }, three), 3);
  const LL v(Vec{1, 2}, Vec{3});
  EXPECT_EQ(hs::toList(v), (Vec{1, 2, 3}));
  EXPECT_EQ(hs::foldr1([](Int a, Int b) { return a - b; }, v), 2);
  EXPECT_EQ(hs::foldl1([](Int a, Int b) { return a - b; }, v), -4);
  EXPECT_EQ(hs::length(v), 3);
  EXPECT_EQ(hs::sum(v), 6);
  EXPECT_TRUE(hs::elem(Int{3}, v));
  // A non-empty F part answers null without the G part.
  EXPECT_FALSE(hs::null(LL(Vec{1}, testing_support::throwing<Vec>())));
  // foldr starts the F part's fold from the G part's, deferred.
  auto firstOnly = [](Int x, const hs::Lazy<Int>&) { return x; };
  EXPECT_EQ(hs::foldr(firstOnly, Int{0}, LL(Vec{7}, testing_support::throwing<Vec>())), 7);
  auto digits = [](Int x, const hs::Lazy<std::string>& rest) { return std::to_string(x) + *rest; };
  EXPECT_EQ(hs::foldr(digits, std::string("."), v), "123.");
  EXPECT_EQ(hs::foldr(digits, std::string("."), LL(Vec{}, Vec{4})), "4.");
  EXPECT_EQ(hs::foldr(digits, std::string("."), LL(This1(Vec{5}))), "5.");
  // elem stops in the F part when it finds the element there.
  EXPECT_TRUE(hs::elem(Int{1}, LL(Vec{1}, testing_support::throwing<Vec>())));
  EXPECT_TRUE(hs::elem(Int{4}, LL(Vec{}, Vec{4})));
  EXPECT_FALSE(hs::elem(Int{4}, LL(This1(Vec{3}))));
  // foldl folds the G part onto the F part's fold, which stays deferred.
  auto lastOnly = [](const hs::Lazy<Int>&, Int x) { return x; };
  EXPECT_EQ(hs::foldl(lastOnly, Int{0}, LL(testing_support::throwing<Vec>(), Vec{2})), 2);
  auto snoc = [](const hs::Lazy<std::string>& acc, Int x) { return *acc + std::to_string(x); };
  EXPECT_EQ(hs::foldl(snoc, std::string("."), v), ".123");
  EXPECT_EQ(hs::foldl(snoc, std::string("."), LL(Vec{4}, Vec{})), ".4");
  EXPECT_EQ(hs::foldl(snoc, std::string("."), LL(That1(Vec{5}))), ".5");
}

struct Keyed {
  Int key;
  char tag;
  friend bool operator<=(const Keyed& a, const Keyed& b) { return a.key <= b.key; }
  friend bool operator>=(const Keyed& a, const Keyed& b) { return a.key >= b.key; }
};

TEST(Folding1, OfEqualExtremesTheFirstVisitedStays) {
  using KK = Ambrel1<hs::ListTag, hs::ListTag, Keyed>;
  const KK v(std::vector<Keyed>{{1, 'f'}}, std::vector<Keyed>{{1, 'g'}});
  EXPECT_EQ(hs::maximum(v).tag, 'f');
  EXPECT_EQ(hs::minimum(v).tag, 'f');
  const KK w(std::vector<Keyed>{{1, 'f'}, {3, 'a'}}, std::vector<Keyed>{{3, 'b'}, {0, 'c'}});
  EXPECT_EQ(hs::maximum(w).tag, 'a');
  EXPECT_EQ(hs::minimum(w).tag, 'c');
  // The kept element is replaced unless it is greater than or equal to (less than or equal to)
  // the next one: an unordered current element gives way.
  using DD = Ambrel1<hs::ListTag, hs::ListTag, double>;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(hs::maximum(DD(std::vector<double>{nan}, std::vector<double>{1.0})), 1.0);
  EXPECT_EQ(hs::minimum(DD(std::vector<double>{nan}, std::vector<double>{1.0})), 1.0);
  EXPECT_TRUE(std::isnan(hs::maximum(DD(std::vector<double>{1.0}, std::vector<double>{nan}))));
  EXPECT_TRUE(std::isnan(hs::minimum(DD(std::vector<double>{1.0}, std::vector<double>{nan}))));
}

// The non-empty folds exist only where both inner functors' values always hold an element: over
// plain lists an empty part would leave them nothing to return.
template <class V>
concept HasNonEmptyFolds = requires(const V& v) {
  hs::head(v);
  hs::last(v);
  hs::maximum1(v);
  hs::toNonEmpty(v);
};
static_assert(HasNonEmptyFolds<NN>);
static_assert(!HasNonEmptyFolds<LL>);
static_assert(!HasNonEmptyFolds<Ambrel1<hs::NonEmptyTag, hs::ListTag, Int>>);
static_assert(!HasNonEmptyFolds<Ambrel1<hs::ListTag, hs::NonEmptyTag, Int>>);

TEST(Folding1, NonEmptyFoldsInClassOrder) {
  using NE = hs::NonEmpty<Int>;
  const NN v(NE{1, {2}}, NE{3, {4}});
  EXPECT_EQ(hs::head(v), 1);
  EXPECT_EQ(hs::last(v), 4);
  const NN five = That1<hs::NonEmptyTag>(NE{5, {}});
  EXPECT_EQ(hs::head(five), 5);
  EXPECT_EQ(hs::last(five), 5);
  EXPECT_EQ(hs::head(NN(This1(NE{6, {7}}))), 6);
  EXPECT_EQ(hs::last(NN(This1(NE{6, {7}}))), 7);
  auto str = [](Int x) { return std::to_string(x); };
  EXPECT_EQ(hs::foldMap1<std::string>(str, v), "1234");
  auto arrow = [](Int x, const hs::Lazy<std::string>& rest) { return std::to_string(x) + ">" + *rest; };
  EXPECT_EQ(hs::foldrMap1(str, arrow, v), "1>2>3>4");
  EXPECT_EQ(hs::foldlMap1_(str, [](std::string acc, Int x) { return acc + "<" + std::to_string(x); }, v),
            "1<2<3<4");
  EXPECT_EQ(hs::toNonEmpty(v).toVector(), (Vec{1, 2, 3, 4}));
  EXPECT_EQ(hs::maximum1(v), 4);
  EXPECT_EQ(hs::minimum1(v), 1);
  EXPECT_EQ(hs::fold1(Ambrel1<hs::NonEmptyTag, hs::NonEmptyTag, std::string>(
                hs::NonEmpty<std::string>{"a", {"b"}}, hs::NonEmpty<std::string>{"c", {}})),
            "abc");
  // The G part's fold is demanded only when the F part's last step asks for it.
  const NN lazyG(NE{1, {}}, testing_support::throwing<NE>());
  EXPECT_EQ(hs::foldrMap1(str, [](Int x, const hs::Lazy<std::string>&) { return std::to_string(x); }, lazyG),
            "1");
  // The lazy left fold mirrors it: the F part's fold is demanded only when the G part's first step
  // asks for it.
  auto leftArrow = [](const hs::Lazy<std::string>& acc, Int x) { return *acc + "<" + std::to_string(x); };
  EXPECT_EQ(hs::foldlMap1(str, leftArrow, v), "1<2<3<4");
  EXPECT_EQ(hs::foldlMap1(str, leftArrow, five), "5");
  const NN lazyF(testing_support::throwing<NE>(), NE{8, {9}});
  EXPECT_EQ(hs::foldlMap1(str, [](const hs::Lazy<std::string>&, Int x) { return std::to_string(x); }, lazyF),
            "9");
}

// A box whose own <$ marks what it builds, so a test sees which operation made a part.
template <class X>
struct Box {
  X value;
  bool replaced = false;
};
struct BoxTag {
  template <class X>
  using apply = Box<X>;
};

}  // namespace

template <>
struct hs::Functor<BoxTag> {
  template <class H, class X>
  static auto fmap(H&& h, const Box<X>& b) {
    return Box<std::remove_cvref_t<std::invoke_result_t<H&, const X&>>>{h(b.value)};
  }
  template <class Y, class X>
  static Box<Y> replaceValues(const Y& y, const Box<X>&) {
    return {y, true};
  }
};

namespace {

TEST(Mapping1, KeepsTheConstructorAndDefersEachPart) {
  auto twice = [](Int x) { return x * 2; };
  const LL mapped = hs::fmap(twice, LL(This1(Vec{1, 2})));
  EXPECT_EQ(mapped.index(), 0);
  EXPECT_EQ(hs::show(mapped), "This1 [2,4]");
  EXPECT_EQ(hs::show(hs::fmap(twice, LL(Vec{1}, Vec{3}))), "Ambrel1 [2] [6]");
  EXPECT_EQ(hs::show(hs::replaceValues(Int{0}, LL(That1(Vec{1, 2})))), "That1 [0,0]");
  // <$ replaces through each part's own <$.
  using BL = Ambrel1<BoxTag, hs::ListTag, Int>;
  const auto replaced = hs::replaceValues(Int{0}, BL(Box<Int>{1}, Vec{1, 2}));
  EXPECT_TRUE(replaced.fPart().force().replaced);
  EXPECT_EQ(replaced.gPart().force(), (Vec{0, 0}));
  EXPECT_FALSE(hs::fmap([](Int x) { return x; }, BL(This1(Box<Int>{1}))).fPart().force().replaced);
  const LL lazy = hs::fmap(twice, LL(testing_support::throwing<Vec>(), Vec{1}));
  EXPECT_EQ(lazy.index(), 2);
  EXPECT_THROW((void)lazy.fPart().force(), TestFailure);
  EXPECT_EQ(lazy.gPart().force(), Vec{2});
}

TEST(Traversal1, FPartEffectsFirstAndTheSameConstructor) {
  using W = hs::Writer<std::string, Int>;
  auto record = [](Int x) { return W{x + 1, std::to_string(x)}; };
  const auto r = hs::traverse(record, LL(Vec{1, 2}, Vec{3}));
  EXPECT_EQ(r.log, "123");
  EXPECT_EQ(hs::show(r.value), "Ambrel1 [2,3] [4]");
  EXPECT_EQ(hs::show(hs::traverse(record, LL(That1(Vec{5}))).value), "That1 [6]");
  auto positive = [](Int x) -> std::optional<Int> { return x > 0 ? std::optional<Int>(x) : std::nullopt; };
  EXPECT_FALSE(hs::traverse(positive, LL(Vec{1}, Vec{0})).has_value());
  EXPECT_EQ(hs::show(*hs::traverse(positive, LL(This1(Vec{1})))), "This1 [1]");
  EXPECT_EQ(hs::show(*hs::sequenceA(Ambrel1<hs::ListTag, hs::MaybeTag, std::optional<Int>>(
                std::vector<std::optional<Int>>{Int{1}}, std::optional<std::optional<Int>>(Int{2})))),
            "Ambrel1 [1] (Just 2)");
}

TEST(DeepEvaluation1, FPartFirstAndAFailureStopsThere) {
  std::string order;
  auto part = [&order](const char* name, Vec v) {
    return hs::Lazy<Vec>::defer([&order, name, v] {
      order += name;
      return v;
    });
  };
  hs::rnf(LL(part("x", {1}), part("y", {2})));
  EXPECT_EQ(order, "xy");
  const hs::Lazy<Vec> y = part("y", {2});
  EXPECT_THROW(hs::rnf(LL(testing_support::throwing<Vec>(), y)), TestFailure);
  EXPECT_FALSE(y.settled());
  std::vector<Int> seen;
  hs::liftRnf([&seen](Int x) { seen.push_back(x); }, LL(Vec{1, 2}, Vec{3}));
  EXPECT_EQ(seen, (Vec{1, 2, 3}));
}

TEST(Comparison1, ConstructorOrderThenFPartThenGPart) {
  EXPECT_TRUE(ML(This1(Just(5))) < ML(That1(Vec{})));
  EXPECT_TRUE(ML(That1(Vec{9})) < ML(Just(), Vec{}));
  EXPECT_EQ(ambrel::compare(ML(Just(1), Vec{5}), ML(Just(1), Vec{4})), hs::GT);
  EXPECT_FALSE(ML(Just(1), Vec{1}) == ML(Just(2), testing_support::throwing<Vec>()));
  EXPECT_TRUE(ML(Just(1), Vec{1}) != ML(Just(1), Vec{2}));
  EXPECT_TRUE(ML(Just(1), Vec{1}) <= ML(Just(1), Vec{1}));
  EXPECT_TRUE(ML(Just(2), Vec{}) >= ML(Just(1), Vec{7}));
  EXPECT_TRUE(ML(Just(2), Vec{}) > ML(Just(1), Vec{7}));
  const ML a = This1(Just(1)), b = This1(Just(1));
  EXPECT_TRUE(ambrel::ptrEq(ambrel::max(a, b), b));
  EXPECT_TRUE(ambrel::ptrEq(ambrel::min(a, b), a));
  // Which operand each operator evaluates first.
  auto bad = [](const char* what) { return ML::defer([what]() -> ML { throw TestFailure(what); }); };
  auto firstFailure = [](auto op) {
    try {
      op();
    } catch (const TestFailure& e) {
      return std::string(e.what());
    }
    return std::string("none");
  };
  const ML x = bad("a"), y = bad("b");
  EXPECT_EQ(firstFailure([&] { (void)(x < y); }), "b");
  EXPECT_EQ(firstFailure([&] { (void)(x <= y); }), "a");
  EXPECT_EQ(firstFailure([&] { (void)(x > y); }), "a");
  EXPECT_EQ(firstFailure([&] { (void)(x >= y); }), "b");
  EXPECT_EQ(firstFailure([&] { (void)ambrel::max(x, y); }), "a");
  // The lifted forms go through the inner functors' lifted operations.
  auto mod10 = [](Int p, Int q) { return p % 10 == q % 10; };
  EXPECT_TRUE(hs::liftEq(mod10, ML(Just(1), Vec{2}), ML(Just(11), Vec{12})));
  EXPECT_FALSE(hs::liftEq(mod10, ML(Just(1), Vec{2}), ML(That1(Vec{2}))));
  auto reversed = [](Int p, Int q) { return hs::compare(q, p); };
  EXPECT_EQ(hs::liftCompare(reversed, ML(Just(1), Vec{5}), ML(Just(1), Vec{4})), hs::LT);
  EXPECT_EQ(hs::liftCompare(reversed, ML(This1(Just(1))), ML(That1(Vec{}))), hs::LT);
}

TEST(Text1, WritersBracketFromElevenUp) {
  std::string out;
  hs::showsPrec(0, ML(This1(Just(1))), out);
  EXPECT_EQ(out, "This1 (Just 1)");
  out.clear();
  hs::showsPrec(11, ML(This1(Just(1))), out);
  EXPECT_EQ(out, "(This1 (Just 1))");
  EXPECT_EQ(hs::show(ML(Just(), Vec{2, 3})), "Ambrel1 Nothing [2,3]");
  EXPECT_EQ(hs::show(ML(That1(Vec{}))), "That1 []");
  out.clear();
  hs::showList(std::vector<ML>{This1(Just()), That1(Vec{1})}, out);
  EXPECT_EQ(out, "[This1 Nothing,That1 [1]]");
  auto tag = [](int d, Int x, std::string& o) { o += "<" + std::to_string(d) + ":" + std::to_string(x) + ">"; };
  out.clear();
  hs::liftShowsPrec(tag, hs::ShowList{}, 11, ML(Just(1), Vec{2}), out);
  EXPECT_EQ(out, "(Ambrel1 (Just <11:1>) [2])");
}

std::vector<std::string> parses(const hs::ReadPrec<ML>& p, int d, std::string_view s) {
  std::vector<std::string> out;
  for (const auto& [v, rest] : p(d, s)) out.push_back(hs::show(v) + "|" + std::string(rest));
  return out;
}

TEST(Text1, ReadersAcceptWhatTheWriterWrites) {
  const hs::ReadPrec<ML> plain = hs::readPrec<ML>();
  const hs::ReadPrec<ML> lifted = hs::liftReadPrec<ML>(hs::readPrec<Int>(), hs::readListPrec<Int>());
  struct Case {
    int d;
    const char* text;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {0, "This1 (Just 1)", {"This1 (Just 1)|"}},
      {0, "  ((This1 (Just 1)))  ", {"This1 (Just 1)|  "}},
      {11, "This1 (Just 1)", {}},
      {11, "(This1 (Just 1))", {"This1 (Just 1)|"}},
      {0, "This1 Just 1", {}},
      {0, "Ambrel1 Nothing [2]", {"Ambrel1 Nothing [2]|"}},
      {0, "That1 [] rest", {"That1 []| rest"}},
      {0, "This1x (Just 1)", {}},
      {0, "Ambrel1 Nothing", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parses(plain, c.d, c.text), c.want) << c.text;
    EXPECT_EQ(parses(lifted, c.d, c.text), c.want) << c.text;
  }
  const std::vector<ML> values{This1(Just(-3)), That1(Vec{1, -2}), ML(Just(), Vec{}), ML(Just(4), Vec{5})};
  EXPECT_EQ(hs::read<std::vector<ML>>(hs::show(values)), values);
  for (const ML& v : values)
    for (int d : {0, 11}) {
      std::string text;
      hs::showsPrec(d, v, text);
      EXPECT_EQ(parses(lifted, d, text), std::vector<std::string>{hs::show(v) + "|"}) << text;
    }
}

}  // namespace
