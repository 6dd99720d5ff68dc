#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "helpers.hpp"
#include "hs/error.hpp"
#include "hs/th/testenv.hpp"
#include "testing/alloc.hpp"
#include "sarkel/datatype.hpp"
#include "sarkel/datatype/tyvarbndr.hpp"

// A client type with the substitution capability, and namesakes of the library's functions that
// argument-dependent lookup would find for it.
namespace user {
struct Box {
  hs::th::Type type;
  friend bool operator==(const Box&, const Box&) = default;
};
inline Box applySubstitution(const sarkel::Substitution&, const Box&) {
  return Box{hs::th::StarT{}};
}
inline std::vector<hs::th::Name> freeVariables(const Box&) { return {}; }
}  // namespace user

template <>
struct sarkel::TypeSubstitution<user::Box> {
  static user::Box applySubstitution(const sarkel::Substitution& s, const user::Box& b) {
    return user::Box{sarkel::applySubstitution(s, b.type)};
  }
  static std::vector<hs::th::Name> freeVariables(const user::Box& b) {
    return sarkel::freeVariables(b.type);
  }
};

namespace {

using namespace sarkel_test;
namespace si = sarkel::internal;
using sarkel::Substitution;
using Strings = std::vector<std::string>;

TEST(FreeVariables, FirstOccurrenceOrderUnderBinders) {
  const Type showC = app(con("Show"), v("c"));
  struct Case {
    const char* what;
    Type type;
    std::vector<Name> want;
  };
  const Case cases[] = {
      {"forall (a :: k). a b", forall({specified("a", v("k"))}, {}, app(v("a"), v("b"))),
       names({"k", "b"})},
      // Binder kinds first, then the context, then the body, inner quantifiers alike.
      {"nested quantifiers",
       forall({specified("a", v("k1"))}, {showC},
              forall({specified("b", v("k2"))}, {}, app(v("b"), v("a"), v("d")))),
       names({"k1", "c", "k2", "d"})},
      // A binder kind mentioning a binder of the same telescope does not make it free.
      {"telescope", forall({specified("a", v("k")), specified("k", star())}, {}, v("a")), names({})},
      {"visible quantifier", th::ForallVisT{{unit("k")}, arrow(v("k"), v("j"))}, names({"j"})},
      {"repeats", app(v("a"), app(v("b"), v("a"))), names({"a", "b"})},
      {"kind signature and application", th::AppKindT{sig(v("a"), v("k")), v("j")},
       names({"a", "k", "j"})},
      // Operator names are never variables.
      {"operators", th::UInfixT{v("x"), n("y"), th::InfixT{v("z"), n("x"), v("w")}},
       names({"x", "z", "w"})},
      {"brackets", th::ParensT{th::ImplicitParamT{"p", v("q")}}, names({"q"})},
      {"shadowing inside", app(forall({specified("a")}, {}, v("a")), v("a")), names({"a"})},
      {"constants", app(con("Maybe"), th::LitT{th::NumTyLit(3)}), names({})},
  };
  for (const Case& c : cases) EXPECT_EQ(sarkel::freeVariables(c.type), c.want) << c.what;

  EXPECT_EQ(sarkel::freeVariables(std::vector<Type>{v("b"), app(v("a"), v("b")), v("c")}),
            names({"b", "a", "c"}));
}

TEST(FreeVariables, OfConstructorDescriptions) {
  const sarkel::ConstructorInfo info{n("Mk"),
                                     {unit("a", v("k")), unit("e")},
                                     {app(con("Show"), v("b")), app(con("Eq"), v("e"))},
                                     {v("a"), app(v("c"), v("k"))},
                                     {sarkel::notStrictAnnot, sarkel::notStrictAnnot},
                                     sarkel::NormalConstructor{}};
  EXPECT_EQ(sarkel::freeVariables(info), names({"k", "b", "c"}));
  EXPECT_EQ(sarkel::freeVariables(std::vector<sarkel::ConstructorInfo>{info, info}),
            names({"k", "b", "c"}));
}

TEST(Substitution, CaptureShadowingAndOperators) {
  struct Case {
    const char* what;
    Substitution s;
    Type in;
    Type want;
  };
  const Case cases[] = {
      {"capture renames the binder",
       {{n("a"), v("b")}},
       forall({specified("b")}, {}, arrow(v("a"), v("b"))),
       forall({specified("fb")}, {}, arrow(v("b"), v("fb")))},
      {"the new name is checked again",
       {{n("a"), v("b")}, {n("c"), v("fb")}},
       forall({specified("b")}, {}, arrow(v("a"), v("b"))),
       forall({specified("ffb")}, {}, arrow(v("b"), v("ffb")))},
      // The check looks at the substituted types only: a free fb of the body is captured.
      {"only the substitution's types are checked",
       {{n("a"), v("b")}},
       forall({specified("b")}, {}, arrow(v("a"), arrow(v("b"), v("fb")))),
       forall({specified("fb")}, {}, arrow(v("b"), arrow(v("fb"), v("fb"))))},
      // A binder with an entry keeps its name, even where the other entries mention it.
      {"a shadowing binder is not checked",
       {{n("a"), v("x")}, {n("x"), con("Int")}},
       forall({specified("x")}, {}, arrow(v("a"), v("x"))),
       forall({specified("x")}, {}, arrow(v("x"), v("x")))},
      {"a binder shadows its entry",
       {{n("a"), con("Int")}, {n("c"), con("Bool")}},
       forall({specified("a")}, {app(con("Eq"), v("c"))}, arrow(v("a"), v("c"))),
       forall({specified("a")}, {app(con("Eq"), con("Bool"))}, arrow(v("a"), con("Bool")))},
      // Each binder kind takes the substitution the binders before it leave.
      {"binder kinds",
       {{n("k"), star()}, {n("a"), con("Int")}},
       forall({specified("a", v("k")), specified("b", v("a"))}, {}, v("b")),
       forall({specified("a", star()), specified("b", v("a"))}, {}, v("b"))},
      {"visible quantifier",
       {{n("a"), v("k")}},
       th::ForallVisT{{unit("k")}, arrow(v("k"), v("a"))},
       th::ForallVisT{{unit("fk")}, arrow(v("fk"), v("k"))}},
      {"operators stay",
       {{n("op"), con("Int")}, {n("x"), con("Int")}},
       th::UInfixT{v("x"), n("op"), th::PromotedInfixT{v("op"), n("op"), v("y")}},
       th::UInfixT{con("Int"), n("op"), th::PromotedInfixT{con("Int"), n("op"), v("y")}}},
      {"inside brackets",
       {{n("x"), con("Int")}},
       th::ParensT{th::ImplicitParamT{"x", sig(v("x"), v("x"))}},
       th::ParensT{th::ImplicitParamT{"x", sig(con("Int"), con("Int"))}}},
  };
  for (const Case& c : cases) {
    const Type got = sarkel::applySubstitution(c.s, c.in);
    EXPECT_EQ(got, c.want) << c.what << ": " << th::show(got);
  }
}

TEST(Substitution, UntouchedPartsAreTheInputObjects) {
  const Type leaf = con("Int");
  const Type untouched = app(con("Maybe"), v("b"));
  const Type t = app(untouched, v("a"));
  const Substitution s{{n("a"), leaf}};
  EXPECT_TRUE(th::sameObject(sarkel::applySubstitution({}, t), t));
  EXPECT_TRUE(th::sameObject(sarkel::applySubstitution(s, untouched), untouched));
  const Type varB = v("b");
  EXPECT_TRUE(th::sameObject(sarkel::applySubstitution(s, varB), varB));
  const Type got = sarkel::applySubstitution(s, t);
  EXPECT_TRUE(th::sameObject(got.get_if<th::AppT>()->fun, untouched));
  EXPECT_TRUE(th::sameObject(got.get_if<th::AppT>()->arg, leaf));
  const Type quantified = forall({specified("a", v("k"))}, {}, v("a"));
  EXPECT_TRUE(th::sameObject(sarkel::applySubstitution(s, quantified), quantified));
}

TEST(Substitution, ConstructorVariablesShadowAndAreNeverRenamed) {
  const sarkel::ConstructorInfo info{
      n("Mk"),
      {unit("a", v("k")), unit("b")},
      {app(con("Show"), v("a"))},
      {v("a"), v("c"), v("b")},
      {sarkel::notStrictAnnot, sarkel::isStrictAnnot, sarkel::notStrictAnnot},
      sarkel::RecordConstructor{{n("x"), n("y"), n("z")}}};
  // c's entry mentions b, a binder of the constructor: it is captured, not renamed.
  const Substitution s{{n("a"), con("Int")}, {n("k"), star()}, {n("c"), v("b")}};
  sarkel::ConstructorInfo want = info;
  want.constructorVars = {unit("a", star()), unit("b")};
  want.constructorFields = {v("a"), v("b"), v("b")};
  EXPECT_EQ(sarkel::applySubstitution(s, info), want);
  EXPECT_EQ(sarkel::applySubstitution(s, std::vector<sarkel::ConstructorInfo>{info}),
            std::vector<sarkel::ConstructorInfo>{want});
}

TEST(Substitution, BindersThreadTheSubstitution) {
  // b would capture and is renamed, which a's kind sees; a shadows its entry, deleted after it.
  const auto [after, binders] =
      si::substituteBinders(Substitution{{n("a"), v("b")}, {n("c"), v("k")}},
                            std::vector<th::TyVarBndrUnit>{unit("b", v("c")), unit("a", v("b"))});
  EXPECT_EQ(after, (Substitution{{n("b"), v("fb")}, {n("c"), v("k")}}));
  EXPECT_EQ(binders, (std::vector<th::TyVarBndrUnit>{unit("fb", v("k")), unit("a", v("fb"))}));
}

// Substitution under binders as the recursive definition reads, with a map per binder.
Type substModel(const Substitution& s, const Type& t);

template <class Flag>
std::pair<Substitution, std::vector<th::TyVarBndr<Flag>>> bindersModel(
    Substitution s, const std::vector<th::TyVarBndr<Flag>>& bs) {
  std::vector<th::TyVarBndr<Flag>> out;
  const auto kinded = [&](const th::TyVarBndr<Flag>& b, const Name& name) {
    if (const th::Kind* k = b.kind())
      out.push_back(th::KindedTV<Flag>{name, b.flag(), substModel(s, *k)});
    else
      out.push_back(th::PlainTV<Flag>{name, b.flag()});
  };
  for (const auto& b : bs) {
    const Name name = b.name();
    if (s.count(name) != 0) {
      kinded(b, name);
      s.erase(name);
      continue;
    }
    std::set<Name> range;
    for (const auto& [from, to] : s)
      for (const Name& m : sarkel::freeVariables(to)) range.insert(m);
    if (range.count(name) == 0) {
      kinded(b, name);
      continue;
    }
    Name fresh = th::mkName("f" + th::nameBase(name));
    while (range.count(fresh) != 0) fresh = th::mkName("f" + th::nameBase(fresh));
    kinded(b, fresh);
    s.insert_or_assign(name, th::VarT{fresh});
  }
  return {std::move(s), std::move(out)};
}

Type substModel(const Substitution& s, const Type& t) {
  if (const auto* x = t.get_if<th::VarT>()) {
    const auto it = s.find(x->name);
    return it != s.end() ? it->second : t;
  }
  if (const auto* x = t.get_if<th::AppT>()) return app(substModel(s, x->fun), substModel(s, x->arg));
  if (const auto* x = t.get_if<th::SigT>()) return sig(substModel(s, x->type), substModel(s, x->kind));
  if (const auto* x = t.get_if<th::ForallT>()) {
    auto [inner, bs] = bindersModel(s, x->binders);
    th::Cxt context;
    for (const Type& p : x->context) context.push_back(substModel(inner, p));
    return forall(std::move(bs), std::move(context), substModel(inner, x->body));
  }
  if (const auto* x = t.get_if<th::ForallVisT>()) {
    auto [inner, bs] = bindersModel(s, x->binders);
    return th::ForallVisT{std::move(bs), substModel(inner, x->body)};
  }
  return t;
}

// Types over a few names, with quantifiers wide and narrow whose binders shadow entries, capture
// the substitution's variables (f-names included) and repeat one another.
struct RandomTypes {
  std::mt19937 rng{22};
  int pick(int below) { return static_cast<int>(rng() % static_cast<unsigned>(below)); }
  Name name() {
    static const char* const pool[] = {"a", "b", "c", "k", "fb", "fc", "ffb", "x"};
    return n(pool[pick(8)]);
  }
  th::TyVarBndrSpec binder(int depth) {
    if (pick(2) == 0) return th::PlainTV<th::Specificity>{name(), th::SpecifiedSpec};
    return th::KindedTV<th::Specificity>{name(), th::SpecifiedSpec, type(depth - 1)};
  }
  Type type(int depth) {
    switch (depth <= 0 ? pick(2) : pick(7)) {
      case 0:
        return th::VarT{name()};
      case 1:
        return con("T");
      case 2:
      case 3:
        return app(type(depth - 1), type(depth - 1));
      case 4:
        return sig(type(depth - 1), type(depth - 1));
      case 5: {
        std::vector<th::TyVarBndrSpec> bs;
        for (int i = pick(2) == 0 ? 1 + pick(3) : 10 + pick(40); i > 0; --i) bs.push_back(binder(depth));
        th::Cxt context;
        if (pick(2) == 0) context.push_back(type(depth - 1));
        return forall(std::move(bs), std::move(context), type(depth - 1));
      }
      default: {
        std::vector<th::TyVarBndrUnit> bs;
        for (int i = 1 + pick(3); i > 0; --i) bs.push_back(th::PlainTV<hs::Unit>{name(), hs::unit});
        return th::ForallVisT{std::move(bs), type(depth - 1)};
      }
    }
  }
  Substitution substitution() {
    Substitution s;
    for (int i = pick(5); i > 0; --i) s.insert_or_assign(name(), type(1));
    return s;
  }
};

TEST(Substitution, AgreesWithAMapPerBinder) {
  RandomTypes gen;
  for (int round = 0; round < 400; ++round) {
    const Substitution s = gen.substitution();
    const Type t = gen.type(4);
    ASSERT_EQ(sarkel::applySubstitution(s, t), substModel(s, t)) << th::show(t);
    std::vector<th::TyVarBndrSpec> bs;
    for (int i = gen.pick(30); i > 0; --i) bs.push_back(gen.binder(2));
    ASSERT_EQ(si::substituteBinders(s, bs), bindersModel(s, bs)) << round;
  }
}

// Each binder's substitution shares what it keeps of the one before it: a quantifier of 2000
// binders that all shadow an entry, or all capture, took 80 and 480 MiB with a map per binder.
TEST(Substitution, WideQuantifiersStayLinear) {
  constexpr int kBinders = 2000;
  std::vector<th::TyVarBndrSpec> bs;
  Type body = con("T");
  Type captured = con("R");
  Substitution shadowed;
  for (int i = 0; i < kBinders; ++i) {
    const std::string b = "b" + std::to_string(i);
    bs.push_back(specified(b, v("k")));
    body = app(body, v(b));
    captured = app(captured, v(b));
    shadowed.emplace(n(b), con("Int"));
  }
  shadowed.emplace(n("k"), star());
  const Type t = forall(bs, {}, app(body, v("z")));
  Substitution capturing{{n("z"), captured}, {n("k"), star()}};
  for (const Substitution* s : {&shadowed, &capturing}) {
    testing_support::AllocationScope scope;
    const Type got = sarkel::applySubstitution(*s, t);
    EXPECT_LT(scope.bytes(), std::int64_t{8192} * kBinders);
    fprintf(stderr, "BYTES %lld\n", (long long)scope.bytes());
    const auto& f = *got.get_if<th::ForallT>();
    EXPECT_EQ(f.binders.front(), specified(s == &shadowed ? "b0" : "fb0", star()));
  }
}

// Running out of memory at any allocation leaves nothing behind (the leak check sees the rest).
TEST(Substitution, AllocationFailuresUnderBinders) {
  const Type t = forall({specified("b", v("k")), specified("a", v("b")), specified("c")},
                        {app(con("C"), v("z"))}, app(app(v("a"), v("b")), v("z")));
  const Substitution s{{n("a"), con("Int")}, {n("z"), app(v("b"), v("c"))}, {n("k"), star()}};
  const Type want = sarkel::applySubstitution(s, t);
  EXPECT_EQ(want, substModel(s, t));
  for (std::int64_t i = 0;; ++i) {
    std::optional<Type> got;
    if (!testing_support::failingAllocation(i, [&] { got = sarkel::applySubstitution(s, t); })) {
      EXPECT_EQ(*got, want);
      break;
    }
  }
}

TEST(Substitution, CapabilityOfClientTypes) {
  const std::vector<user::Box> boxes{{v("a")}, {app(v("b"), v("a"))}};
  EXPECT_EQ(sarkel::freeVariables(boxes), names({"a", "b"}));
  EXPECT_EQ(sarkel::applySubstitution(Substitution{{n("a"), con("Int")}}, boxes),
            (std::vector<user::Box>{{con("Int")}, {app(v("b"), con("Int"))}}));
  EXPECT_EQ(sarkel::applySubstitution(Substitution{{n("a"), con("Int")}}, boxes[0]),
            user::Box{con("Int")});
}

TEST(Substitution, Combination) {
  EXPECT_EQ(sarkel::combineSubstitutions({{n("a"), v("b")}}, {{n("b"), con("Int")}}),
            (Substitution{{n("a"), con("Int")}, {n("b"), con("Int")}}));
  EXPECT_EQ(sarkel::combineSubstitutions({{n("a"), con("X")}}, {{n("a"), con("Y")}}),
            (Substitution{{n("a"), con("X")}}));
  EXPECT_EQ(sarkel::combineSubstitutions({}, {{n("a"), v("a")}}), (Substitution{{n("a"), v("a")}}));
}

TEST(Substitution, FreshNamesInNameOrder) {
  th::TestEnv env;
  const Name u = th::mkNameU("u", 40);  // unique names sort after plain ones
  const Type t = app(th::VarT{u}, v("b"), app(v("a"), v("b")));
  const Type got = sarkel::freshenFreeVariables(env, t);
  EXPECT_EQ(env.log(), (Strings{"newName a", "newName b", "newName u"}));
  EXPECT_EQ(got, app(th::VarT{th::mkNameU("u", 3)}, th::VarT{th::mkNameU("b", 2)},
                     app(th::VarT{th::mkNameU("a", 1)}, th::VarT{th::mkNameU("b", 2)})));
}

TEST(KindedFreeVariables, WhichSignaturesCount) {
  struct Case {
    const char* what;
    Type type;
    sarkel::KindMap want;
  };
  const Case cases[] = {
      {"outer signature wins",
       sig(v("a"), sig(v("k"), star())),
       {{n("a"), sig(v("k"), star())}, {n("k"), star()}}},
      {"left wins", app(sig(v("a"), v("k1")), sig(v("a"), v("k2"))), {{n("a"), v("k1")}}},
      {"kind applications", th::AppKindT{con("P"), sig(v("k"), star())}, {{n("k"), star()}}},
      {"binders are deleted, binder kinds not visited",
       app(forall({specified("a", sig(v("j"), star()))}, {sig(v("c"), star())}, sig(v("a"), star())),
           sig(v("a"), con("Bool"))),
       {{n("c"), star()}, {n("a"), con("Bool")}}},
      {"not under brackets or operators",
       app(th::ParensT{sig(v("a"), star())}, th::InfixT{sig(v("b"), star()), n("o"), v("c")}),
       {}},
      {"a signature of a non-variable",
       sig(app(v("f"), sig(v("x"), star())), v("k")),
       {{n("x"), star()}}},
  };
  for (const Case& c : cases) EXPECT_EQ(si::kindedFreeVariables(c.type), c.want) << c.what;
}

TEST(FreeVariablesWellScoped, KindVariablesComeFirst) {
  using Bs = std::vector<th::TyVarBndrUnit>;
  struct Case {
    const char* what;
    std::vector<Type> types;
    Bs want;
  };
  const Case cases[] = {
      {"a :: k", {sig(v("a"), v("k"))}, {unit("k"), unit("a", v("k"))}},
      {"no kinds", {v("a"), v("b")}, {unit("a"), unit("b")}},
      {"bare first, signature later", {v("a"), sig(v("a"), star())}, {unit("a", star())}},
      {"a chain of dependencies",
       {sig(v("a"), v("k")), sig(v("k"), v("j"))},
       {unit("j"), unit("k", v("j")), unit("a", v("k"))}},
      // b stays after a: no variable placed before it mentions it.
      {"placed last",
       {sig(v("a"), v("k")), v("b"), sig(v("c"), v("b"))},
       {unit("k"), unit("a", v("k")), unit("b"), unit("c", v("b"))}},
      // k moves in front of a, whose kind mentions it, but stays after x.
      {"only as far back as needed",
       {v("x"), sig(v("a"), v("k")), v("k")},
       {unit("x"), unit("k"), unit("a", v("k"))}},
      {"two users",
       {sig(v("a"), v("k")), sig(v("b"), v("k")), v("k")},
       {unit("k"), unit("a", v("k")), unit("b", v("k"))}},
      {"none", {con("Int")}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(sarkel::freeVariablesWellScoped(c.types), c.want) << c.what;
}

// The scoped sort as a list held newest first with one set per entry: the set of an entry holds
// the kind variables of it and of every entry older than it.
std::vector<th::TyVarBndrUnit> scopedSortModel(const std::vector<Type>& ts) {
  sarkel::KindMap kinds;
  for (const Type& t : ts)
    for (const auto& entry : si::kindedFreeVariables(t)) kinds.insert(entry);
  std::vector<Name> sorted;
  std::vector<std::set<Name>> sets;
  for (const Name& x : sarkel::freeVariables(ts)) {
    std::set<Name> kv;
    if (const auto it = kinds.find(x); it != kinds.end())
      for (const Name& m : sarkel::freeVariables(it->second)) kv.insert(m);
    std::size_t j = 0;
    for (; j < sorted.size() && sets[j].count(x) != 0; ++j) sets[j].insert(kv.begin(), kv.end());
    std::set<Name> mine = j < sets.size() ? sets[j] : std::set<Name>{};
    mine.insert(kv.begin(), kv.end());
    sorted.insert(sorted.begin() + static_cast<std::ptrdiff_t>(j), x);
    sets.insert(sets.begin() + static_cast<std::ptrdiff_t>(j), std::move(mine));
  }
  std::vector<th::TyVarBndrUnit> out;
  for (std::size_t i = sorted.size(); i-- > 0;) {
    const auto it = kinds.find(sorted[i]);
    out.push_back(it != kinds.end() ? unit(th::nameBase(sorted[i]), it->second)
                                    : unit(th::nameBase(sorted[i])));
  }
  return out;
}

// Lists of types over a few variables, some with kind signatures whose kinds mention other
// variables (in chains, cycles, their own name, under quantifiers), and hubs: one kind
// mentioning many variables that follow it.
std::vector<Type> randomKindedTypes(std::mt19937& rng, int vars) {
  const auto pick = [&](int below) { return static_cast<int>(rng() % static_cast<unsigned>(below)); };
  const auto var = [&] { return v("v" + std::to_string(pick(vars))); };
  std::vector<Type> ts;
  const int count = 1 + pick(vars + vars / 2);
  for (int i = 0; i < count; ++i) {
    Type x = var();
    switch (pick(6)) {
      case 0:
        break;
      case 1:
        x = sig(x, var());
        break;
      case 2:
        x = sig(x, arrow(var(), var()));
        break;
      case 3: {
        Type k = con("K");
        for (int j = pick(4); j > 0; --j) k = app(k, var());
        x = sig(x, k);
        break;
      }
      case 4: {  // a hub
        Type k = con("K");
        for (int j = 4 + pick(vars); j > 0; --j) k = app(k, var());
        x = sig(x, k);
        break;
      }
      default:  // a quantifier binding a variable inside a kind
        x = forall({specified("v" + std::to_string(pick(vars)))}, {}, sig(x, app(var(), var())));
        break;
    }
    ts.push_back(std::move(x));
  }
  return ts;
}

TEST(FreeVariablesWellScoped, SameOrderAsTheSortWithSetsPerEntry) {
  std::mt19937 rng(22);
  for (int round = 0; round < 270; ++round) {
    const int vars = round < 250 ? 2 + round % 12 : 20 + 5 * (round - 250);
    const std::vector<Type> ts = randomKindedTypes(rng, vars);
    ASSERT_EQ(sarkel::freeVariablesWellScoped(ts), scopedSortModel(ts)) << "round " << round;
  }
  // Long runs in front of one variable and at the end relabel the order many times.
  std::vector<Type> hub{sig(v("h"), v("k0"))};
  Type k = con("K");
  for (int i = 0; i < 300; ++i) k = app(k, v("b" + std::to_string(i)));
  hub.push_back(sig(v("g"), k));
  for (int i = 0; i < 300; ++i) hub.push_back(sig(v("b" + std::to_string(i)), v("c" + std::to_string(i))));
  EXPECT_EQ(sarkel::freeVariablesWellScoped(hub), scopedSortModel(hub));
}

// Memory stays linear in the variables: with a copy of the kind variables so far in every
// sorted entry, 2000 variables each kinded by its own kind variable took over 100 MiB.
TEST(FreeVariablesWellScoped, MemoryLinearInTheVariables) {
  constexpr int kPairs = 1000;
  std::vector<Type> own;
  std::vector<Type> chain;
  for (int i = 0; i < kPairs; ++i) {
    const std::string s = std::to_string(i);
    own.push_back(sig(v("a" + s), v("k" + s)));
    chain.push_back(sig(v("c" + s), v("c" + std::to_string(i + 1))));
  }
  std::vector<Type> hub{sig(v("h"), v("k0"))};
  Type k = con("K");
  for (int i = 0; i < 2 * kPairs; ++i) k = app(k, v("b" + std::to_string(i)));
  hub.push_back(sig(v("g"), k));
  for (int i = 0; i < 2 * kPairs; ++i) hub.push_back(v("b" + std::to_string(i)));
  for (const auto* ts : {&own, &chain, &hub}) {
    testing_support::AllocationScope scope;
    const std::vector<th::TyVarBndrUnit> sorted = sarkel::freeVariablesWellScoped(*ts);
    EXPECT_GT(sorted.size(), std::size_t{kPairs});
    EXPECT_LT(scope.bytes(), std::int64_t{4096} * 2 * kPairs) << sorted.size() << " variables";
  }
  const std::vector<th::TyVarBndrUnit> sorted = sarkel::freeVariablesWellScoped(own);
  EXPECT_EQ(sorted[0], unit("k0"));
  EXPECT_EQ(sorted[1], unit("a0", v("k0")));
  EXPECT_EQ(sorted.back(), unit("a" + std::to_string(kPairs - 1), v("k" + std::to_string(kPairs - 1))));
}

TEST(QuantifyType, ClosesOverFreeVariables) {
  const Type intT = con("Int");
  EXPECT_TRUE(th::sameObject(sarkel::quantifyType(intT), intT));
  EXPECT_EQ(sarkel::quantifyType(forall({specified("b")}, {app(con("C"), v("b"))}, app(v("a"), v("b")))),
            forall({specified("a"), specified("b")}, {app(con("C"), v("b"))}, app(v("a"), v("b"))));
  EXPECT_EQ(sarkel::quantifyType(arrow(sig(v("a"), v("k")), v("a"))),
            forall({specified("k"), specified("a", v("k"))}, {}, arrow(sig(v("a"), v("k")), v("a"))));
  EXPECT_EQ(si::specifiedBinder(unit("a", star())), specified("a", star()));
  EXPECT_EQ(si::specifiedBinder(unit("a")), specified("a"));
}

// Deep types: every walk keeps its work off the native stack.
TEST(Substitution, DeepTypes) {
  const Type a = v("a");
  const Type b = v("b");
  const Type x = v("x");
  const Type k = v("k");
  Type t = a;
  for (int i = 0; i < kDeep; ++i) t = i % 2 == 0 ? app(t, b) : app(b, t);
  Type q = a;
  for (int i = 0; i < kDeep; ++i) q = forall({specified("x", k)}, {}, i % 2 == 0 ? sig(q, x) : q);
  onSmallStack([&] {
    EXPECT_EQ(sarkel::freeVariables(t), names({"b", "a"}));
    EXPECT_EQ(sarkel::freeVariables(q), names({"k", "a"}));
    EXPECT_EQ(sarkel::freeVariables(sarkel::applySubstitution({{n("a"), con("Int")}}, t)),
              names({"b"}));
    // The first quantifier shadows x's entry, and no later one captures.
    const Type r = sarkel::applySubstitution({{n("a"), v("y")}, {n("x"), v("y")}}, q);
    EXPECT_EQ(sarkel::freeVariables(r), names({"k", "y"}));
    EXPECT_EQ(si::kindedFreeVariables(q), (sarkel::KindMap{{n("a"), x}}));
    EXPECT_EQ(sarkel::freeVariablesWellScoped({t}),
              (std::vector<th::TyVarBndrUnit>{unit("b"), unit("a")}));
    EXPECT_EQ(sarkel::quantifyType(q).get_if<th::ForallT>()->binders.size(), 3u);
  });
}

}  // namespace
