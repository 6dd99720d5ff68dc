#include <gtest/gtest.h>

#include <vector>

#include "helpers.hpp"
#include "hs/error.hpp"
#include "sarkel/datatype.hpp"

namespace {

using namespace sarkel_test;
namespace si = sarkel::internal;
using sarkel::KindMap;
using si::Renaming;

TEST(Matching, ResultArguments) {
  const Type k = v("k");
  struct Case {
    const char* what;
    Type outer, inner;
    Renaming renaming;  // on entry
    Renaming wantRenaming;
    th::Cxt wantConstraints;
  };
  const Case cases[] = {
      {"variables", v("a"), v("b"), {}, {{n("b"), n("a")}}, {}},
      {"again", v("a"), v("b"), {{n("b"), n("a")}}, {{n("b"), n("a")}}, {}},
      {"itself", v("a"), v("a"), {}, {}, {}},
      {"mapped elsewhere",
       v("a"),
       v("b"),
       {{n("b"), n("c")}},
       {{n("b"), n("c")}},
       {eq(v("a"), v("b"))}},
      {"a constructor", v("a"), con("Int"), {}, {}, {eq(v("a"), con("Int"))}},
      {"constructor outside", con("Maybe"), v("b"), {}, {}, {}},
      {"inner signature kept under an outer variable",
       app(con("T"), v("a")),
       app(con("T"), sig(v("b"), k)),
       {},
       {},
       {eq(v("a"), sig(v("b"), k))}},
      {"outer signature dropped", sig(v("a"), k), v("b"), {}, {{n("b"), n("a")}}, {}},
      {"inner signature dropped elsewhere",
       app(v("f"), v("a")),
       sig(app(v("g"), v("b")), k),
       {},
       {{n("g"), n("f")}, {n("b"), n("a")}},
       {}},
      // The argument part's constraints come before the function part's.
      {"application",
       app(app(con("P"), v("a")), v("b")),
       app(app(con("P"), con("X")), con("Y")),
       {},
       {},
       {eq(v("b"), con("Y")), eq(v("a"), con("X"))}},
  };
  for (const Case& c : cases) {
    const auto [r, cs] = si::matchGadtResultArgs(c.outer, c.inner, c.renaming, {});
    EXPECT_EQ(r, c.wantRenaming) << c.what;
    EXPECT_EQ(cs, c.wantConstraints) << c.what;
  }
  // New constraints go in front of the ones given.
  const auto [r, cs] = si::matchGadtResultArgs(v("a"), con("Int"), {}, {eq(v("z"), v("z"))});
  EXPECT_EQ(cs, (th::Cxt{eq(v("a"), con("Int")), eq(v("z"), v("z"))}));
}

TEST(Matching, ArgumentLists) {
  {
    const auto [r, cs] = si::matchGadtResultArgLists({v("a"), v("a")}, {v("b"), v("c")});
    EXPECT_EQ(r, (Renaming{{n("b"), n("a")}, {n("c"), n("a")}}));
    EXPECT_TRUE(cs.empty());
  }
  {
    // The later position is matched first.
    const auto [r, cs] = si::matchGadtResultArgLists({v("a"), v("d")}, {v("b"), v("b")});
    EXPECT_EQ(r, (Renaming{{n("b"), n("d")}}));
    EXPECT_EQ(cs, th::Cxt{eq(v("a"), v("b"))});
  }
  {
    // Earlier positions' constraints first; the shorter list ends the pairing.
    const auto [r, cs] =
        si::matchGadtResultArgLists({v("a"), v("b"), v("c")}, {con("X"), con("Y")});
    EXPECT_TRUE(r.empty());
    EXPECT_EQ(cs, (th::Cxt{eq(v("a"), con("X")), eq(v("b"), con("Y"))}));
  }
  EXPECT_EQ(si::varSubstitution({{n("b"), n("a")}, {n("c"), n("a")}}),
            (sarkel::Substitution{{n("b"), v("a")}, {n("c"), v("a")}}));
}

TEST(Matching, DeepArguments) {
  Type outer = v("a");
  Type inner = v("b");
  for (int i = 0; i < kDeep; ++i) {
    outer = app(con("Maybe"), outer);
    inner = app(con("Maybe"), inner);
  }
  onSmallStack([&] {
    const auto [r, cs] = si::matchGadtResultArgs(outer, inner, {}, {});
    EXPECT_EQ(r, (Renaming{{n("b"), n("a")}}));
    EXPECT_TRUE(cs.empty());
    EXPECT_EQ(si::familyPatternVarKinds(app(outer, sig(v("c"), star()))).force(),
              (sarkel::KindMap{{n("c"), star()}}));
  });
}

TEST(KindMaps, PatternsAndBinders) {
  const Type k1 = v("k1");
  const Type k2 = v("k2");
  EXPECT_EQ(si::familyPatternVarKinds(app(sig(v("a"), k1), sig(v("a"), k2))).force(),
            (KindMap{{n("a"), k1}}));
  EXPECT_EQ(si::familyPatternVarKinds(sig(v("a"), sig(v("k"), star()))).force(),
            (KindMap{{n("a"), sig(v("k"), star())}, {n("k"), star()}}));
  EXPECT_EQ(
      si::familyPatternVarKinds(sig(app(con("T"), sig(v("x"), k1)), sig(v("j"), star()))).force(),
      (KindMap{{n("x"), k1}, {n("j"), star()}}));
  EXPECT_EQ(si::familyPatternVarKinds(th::AppKindT{con("T"), sig(v("x"), k1)}).force(), KindMap{});

  EXPECT_EQ(si::binderKindMap(unit("a")).force(), (KindMap{{n("a"), star()}}));
  EXPECT_EQ(si::binderKindMap(unit("a", sig(v("k"), star()))).force(),
            (KindMap{{n("a"), sig(v("k"), star())}, {n("k"), star()}}));
  // The binder's own entry wins over one its kind gives.
  EXPECT_EQ(si::binderKindMap(specified("a", sig(v("a"), star()))).force(),
            (KindMap{{n("a"), sig(v("a"), star())}}));

  // Left-biased: the first map holding a name decides.
  EXPECT_EQ(si::unionKindMaps({KindMap{{n("a"), k1}}, KindMap{{n("a"), k2}, {n("b"), k2}}},
                              KindMap{{n("b"), k1}})
                .force(),
            (KindMap{{n("a"), k1}, {n("b"), k1}}));
}

TEST(KindMaps, QuantifiedPatternFailsOnlyWhenForced) {
  const Type quantified = app(con("T"), sig(v("a"), forall({specified("k")}, {}, v("k"))));
  const hs::Lazy<KindMap> m = si::familyPatternVarKinds(quantified);
  const hs::Lazy<KindMap> viaBinder = si::binderKindMap(unit("b", quantified));
  const hs::Lazy<KindMap> united = si::unionKindMaps({viaBinder}, KindMap{});
  for (const hs::Lazy<KindMap>* lazy : {&m, &viaBinder, &united}) {
    try {
      lazy->force();
      ADD_FAILURE() << "no error";
    } catch (const hs::ProgramError& e) {
      EXPECT_STREQ(e.what(), "`forall` type used in data family pattern");
      ASSERT_EQ(e.callStack().entries().size(), 1u);
      const hs::SrcLoc& site = e.callStack().entries()[0];
      EXPECT_EQ(site.file, "src/Sarkel/Datatype");
      EXPECT_EQ(site.startLine, 1520);
      EXPECT_EQ(site.startCol, 19);
      EXPECT_EQ(site.endCol, 24);
    }
  }
}

}  // namespace
