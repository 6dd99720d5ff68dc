// Deeply nested syntax (expressions, constructors, declarations, information) is built, compared,
// written and freed on a small thread stack.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/th/syntax.hpp"
#include "hs/th/testenv.hpp"
#include "testing/stacks.hpp"

namespace {

namespace th = hs::th;
using th::Exp;
using th::Name;
using th::Type;

constexpr std::size_t smallStack = 256 * 1024;
constexpr int depth = testing_support::fullDepth ? 100000 : 20000;

const Name f = th::mkName("f");
const Name x = th::mkName("x");
const Name y = th::mkName("y");
const Name plus = th::mkName("+");
const Name intN = th::mkNameG_tc("ghc-prim", "GHC.Types", "Int");

// One nested form and the check of a value of it `depth` layers deep.
struct DeepCase {
  const char* name;
  std::function<void()> check;
};

// Builds two equal values and one whose innermost leaf differs, then compares, writes (checking
// how the text starts, and at least how many characters each layer writes) and frees them, all on
// the small stack.
template <class T>
std::function<void()> deep(T (*build)(const Name& leaf), std::string prefix, std::size_t perLayer) {
  return [=] {
    testing_support::onThreadStack(smallStack, [&] {
      std::optional<T> a = build(x);
      std::optional<T> b = build(x);
      std::optional<T> c = build(y);
      EXPECT_TRUE(*a == *b);
      EXPECT_FALSE(*a == *c);
      const std::string text = th::show(*a);
      EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0) << text.substr(0, 200);
      EXPECT_GE(text.size(), perLayer * static_cast<std::size_t>(depth));
      a.reset();
      b.reset();
      c.reset();
    });
  };
}

// Layers share their other operands, so that a layer costs one node.
const Exp fE = th::VarE{f};
const Exp plusE = th::VarE{plus};

Exp appSpine(const Name& leaf) {
  Exp e = th::VarE{leaf};
  for (int i = 0; i < depth; ++i) e = th::AppE{std::move(e), fE};
  return e;
}
Exp argSpine(const Name& leaf) {
  Exp e = th::VarE{leaf};
  for (int i = 0; i < depth; ++i) e = th::AppE{fE, std::move(e)};
  return e;
}
// Operator applications nesting on the left, and right sections nesting on the right.
Exp infixChain(const Name& leaf) {
  Exp e = th::VarE{leaf};
  for (int i = 0; i < depth; ++i) {
    if (i % 2 == 0)
      e = th::InfixE{std::move(e), plusE, fE};
    else
      e = th::InfixE{std::nullopt, plusE, std::move(e)};
  }
  return e;
}
// Lists and tuple sections, each holding the layer below.
Exp containers(const Name& leaf) {
  Exp e = th::VarE{leaf};
  for (int i = 0; i < depth; ++i) {
    if (i % 2 == 0)
      e = th::ListE{{std::move(e)}};
    else
      e = th::TupE{{std::nullopt, std::move(e)}};
  }
  return e;
}
th::Con forallChain(const Name& leaf) {
  th::Con c = th::NormalC{leaf, {}};
  for (int i = 0; i < depth; ++i) c = th::ForallC{{}, {}, std::move(c)};
  return c;
}
th::Dec classNest(const Name& leaf) {
  th::Dec d = th::SigD{leaf, th::ConT{intN}};
  for (int i = 0; i < depth; ++i) d = th::ClassD{{}, f, {}, {}, {std::move(d)}};
  return d;
}
th::Info infoOfDeepCon(const Name& leaf) {
  return th::TyConI{th::DataD{{}, f, {}, std::nullopt, {forallChain(leaf)}, {}}};
}

TEST(ThDepth, DeepSyntaxOnASmallStack) {
  const DeepCase cases[] = {
      {"applications through the function", deep(appSpine, "AppE (AppE (AppE (", 16)},
      {"applications through the argument", deep(argSpine, "AppE (VarE f) (AppE (VarE f) (", 16)},
      {"operator applications and sections",
       deep(infixChain, "InfixE Nothing (VarE +) (Just (InfixE (Just (InfixE Nothing", 30)},
      {"lists and tuple sections", deep(containers, "TupE [Nothing,Just (ListE [TupE [", 15)},
      {"nested ForallC", deep(forallChain, "ForallC [] [] (ForallC [] [] (", 16)},
      {"nested class bodies", deep(classNest, "ClassD [] f [] [] [ClassD [] f [] [] [", 20)},
      {"information over a deep constructor",
       deep(infoOfDeepCon, "TyConI (DataD [] f [] Nothing [ForallC [] [] (ForallC [] [] (", 16)},
  };
  for (const DeepCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.check();
  }
  // The operands every layer shared outlive all the trees.
  EXPECT_EQ(th::show(fE), "VarE f");
  EXPECT_EQ(th::show(plusE), "VarE +");
}

TEST(ThDepth, LayersHeldFromOutsideOutliveADeepFree) {
  testing_support::onThreadStack(smallStack, [] {
    std::optional<Exp> whole = appSpine(x);
    // The layer halfway down, held while everything above it is freed.
    const Exp* layer = &*whole;
    for (int i = 0; i < depth / 2; ++i) layer = &layer->get_if<th::AppE>()->fun;
    const Exp half = *layer;
    whole.reset();
    Exp expected = th::VarE{x};
    for (int i = 0; i < depth - depth / 2; ++i) expected = th::AppE{std::move(expected), fE};
    EXPECT_TRUE(half == expected);
  });
}

TEST(ThDepth, DeclaringDeepTypesOnASmallStack) {
  // A constructor whose field is a deep type with its one free variable at the bottom: the
  // constructor's type is quantified over that variable.
  const Name tN = th::mkName("T");
  const Name mkT = th::mkName("MkT");
  const Name a = th::mkName("a");
  testing_support::onThreadStack(smallStack, [&] {
    Type field = th::VarT{a};
    for (int i = 0; i < depth; ++i) field = th::AppT{th::ConT{intN}, std::move(field)};
    th::TestEnv env;
    env.declare(th::DataD{{}, tN, {}, std::nullopt, {th::NormalC{mkT, {{th::Bang{}, field}}}}, {}});
    const Type expected = th::ForallT{
        {th::PlainTV{a, th::SpecifiedSpec}},
        {},
        th::AppT{th::AppT{th::ArrowT{}, field}, th::ConT{tN}}};
    EXPECT_EQ(env.reifyType(mkT), expected);
  });
}

}  // namespace
