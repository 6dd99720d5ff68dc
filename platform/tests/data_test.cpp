#include <gtest/gtest.h>

#include <any>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/data.hpp"

namespace {

using hs::data::Constr;
using hs::data::DataType;

// Dot | Box { width :: Int, height :: Int } | Int :* Int
struct Shape {
  hs::data::ConIndex kind;
  std::int64_t a = 0;
  std::int64_t b = 0;
  friend bool operator==(const Shape&, const Shape&) = default;
};

const DataType& shapeType() {
  static const DataType t = hs::data::mkDataType(
      "Test.Shape", {{"Dot"}, {"Box", {"width", "height"}}, {":*", {}, hs::data::Infix}});
  return t;
}

}  // namespace

template <>
struct hs::Data<Shape> {
  static auto two(hs::data::ConIndex kind) {
    return [kind](std::int64_t a) { return [kind, a](std::int64_t b) { return Shape{kind, a, b}; }; };
  }
  static DataType dataTypeOf() { return shapeType(); }
  static Constr toConstr(const Shape& s) { return hs::data::indexConstr(shapeType(), s.kind); }
  template <class K, class Z>
  static hs::data::ContextOf<Z, Shape> gfoldl(K&& k, Z&& z, const Shape& s) {
    if (s.kind == 1) return z(Shape{1});
    return k(k(z(two(s.kind)), s.a), s.b);
  }
  template <class K, class Z>
  static hs::data::ContextOf<Z, Shape> gunfold(K&& k, Z&& z, const Constr& c) {
    const hs::data::ConIndex i = hs::data::constrIndex(c);
    if (i == 1) return z(Shape{1});
    if (i == 2 || i == 3) {
      using I = std::type_identity<std::int64_t>;
      return k(k(z(two(i)), I{}), I{});
    }
    hs::errorWithoutStackTrace("gunfold");
  }
};

namespace {

using Int = std::int64_t;

// The constructors of a value, all the way down, in prefix form: "((:) 1 [])".
struct Spell {
  template <class T>
  std::string operator()(const T& x) const {
    std::string out = hs::data::showConstr(hs::toConstr(x));
    const std::vector<std::string> fields = hs::gmapQ<std::string>(*this, x);
    if (fields.empty()) return out;
    for (const std::string& f : fields) out += " " + f;
    return "(" + out + ")";
  }
};

template <class F>
std::string programError(F&& f) {
  try {
    f();
  } catch (const hs::ProgramError& e) {
    EXPECT_TRUE(e.callStack().entries().empty());
    return e.message();
  }
  return "no error";
}

TEST(Data, DescriptionsOfAnAlgebraicType) {
  const DataType& t = shapeType();
  EXPECT_EQ(hs::data::dataTypeName(t), "Test.Shape");
  const Constr box = hs::data::indexConstr(t, 2);
  EXPECT_EQ(hs::data::showConstr(box), "Box");
  EXPECT_EQ(hs::data::constrFields(box), (std::vector<std::string>{"width", "height"}));
  EXPECT_EQ(hs::data::constrFixity(box), hs::data::Prefix);
  EXPECT_EQ(hs::data::constrFixity(hs::data::indexConstr(t, 3)), hs::data::Infix);
  EXPECT_EQ(hs::data::dataTypeName(hs::data::constrType(box)), "Test.Shape");

  const hs::data::DataRep r = hs::data::dataTypeRep(t);
  const auto* rep = std::get_if<hs::data::AlgRep>(&r);
  ASSERT_NE(rep, nullptr);
  ASSERT_EQ(rep->constrs.size(), 3u);
  for (hs::data::ConIndex i = 1; i <= 3; ++i) {
    EXPECT_EQ(hs::data::constrIndex(rep->constrs[static_cast<std::size_t>(i - 1)]), i);
    EXPECT_EQ(rep->constrs[static_cast<std::size_t>(i - 1)], hs::data::indexConstr(t, i));
  }

  // mkConstr finds its index by name among the type's constructors.
  const Constr made = hs::data::mkConstr(t, std::string("Box"), std::vector<std::string>{},
                                         hs::data::Prefix);
  EXPECT_EQ(hs::data::constrIndex(made), 2);
  EXPECT_EQ(made, box);
  // Same index, other data type: a different constructor.
  EXPECT_NE(hs::data::indexConstr(t, 1), hs::data::indexConstr(hs::dataTypeOf<std::vector<Int>>(), 1));
}

TEST(Data, BaseInstances) {
  EXPECT_EQ(hs::data::dataTypeName(hs::dataTypeOf<Int>()), "Prelude.Int");
  EXPECT_TRUE(std::holds_alternative<hs::data::IntRep>(hs::data::dataTypeRep(hs::dataTypeOf<Int>())));
  EXPECT_EQ(hs::data::showConstr(hs::toConstr(Int{-7})), "-7");
  EXPECT_EQ(hs::data::constrRep(hs::toConstr(Int{-7})), hs::data::ConstrRep(hs::data::IntConstr{-7}));
  EXPECT_EQ(hs::toConstr(Int{3}), hs::data::mkIntegralConstr(hs::dataTypeOf<Int>(), 3));
  EXPECT_NE(hs::toConstr(Int{3}), hs::toConstr(Int{4}));

  const std::vector<Int> none;
  EXPECT_EQ(hs::data::dataTypeName(hs::dataTypeOf(none)), "Prelude.[]");
  EXPECT_EQ(hs::data::showConstr(hs::toConstr(none)), "[]");
  const Constr cons = hs::toConstr(std::vector<Int>{1});
  EXPECT_EQ(hs::data::showConstr(cons), "(:)");
  EXPECT_EQ(hs::data::constrIndex(cons), 2);
  EXPECT_EQ(hs::data::constrFixity(cons), hs::data::Infix);

  const std::pair<Int, bool> p{1, true};
  EXPECT_EQ(hs::data::dataTypeName(hs::dataTypeOf(p)), "Prelude.(,)");
  EXPECT_EQ(hs::data::showConstr(hs::toConstr(p)), "(,)");
  EXPECT_EQ(hs::data::constrFixity(hs::toConstr(p)), hs::data::Infix);
}

TEST(Data, ErrorsOfDescriptions) {
  const DataType opaque = hs::data::mkNoRepType("Test.Opaque");
  auto z = [](auto g) { return g; };
  auto k = [](auto f, auto type) { return f(typename decltype(type)::type{}); };
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { hs::data::constrIndex(hs::toConstr(Int{7})); },
       "Data.Data.constrIndex is not supported for Prelude.Int, as it is not an algebraic data type."},
      {[&] { hs::data::indexConstr(opaque, 1); },
       "Data.Data.indexConstr is not supported for Test.Opaque, as it is not an algebraic data type."},
      {[] { hs::data::dataTypeConstrs(hs::dataTypeOf<Int>()); },
       "Data.Data.dataTypeConstrs is not supported for Prelude.Int, as it is not an algebraic data type."},
      {[] { hs::data::mkIntegralConstr(shapeType(), 1); },
       "Data.Data.mkIntegralConstr is not supported for Test.Shape, as it is not an Integral data type."},
      {[] { hs::data::constrFields(hs::toConstr(Int{1})); }, "Data.Data.confields"},
      {[] { hs::data::constrFixity(hs::toConstr(Int{1})); }, "Data.Data.confixity"},
      {[&] { hs::gunfold<std::vector<Int>>(k, z, hs::data::indexConstr(shapeType(), 3)); },
       "Data.Data.gunfold(List)"},
      {[&] { hs::gunfold<Int>(k, z, hs::data::indexConstr(shapeType(), 1)); },
       "Data.Data.gunfold: Constructor Dot is not of type Int."},
      {[&] { hs::gunfold<std::pair<Int, Int>>(k, z, hs::data::indexConstr(shapeType(), 2)); },
       "Data.Data.gunfold(tup2)"},
  };
  for (const auto& [run, message] : cases) EXPECT_EQ(programError(run), message);
  EXPECT_NE(programError([] { hs::data::indexConstr(shapeType(), 4); }), "no error");
  EXPECT_NE(programError([] { hs::data::indexConstr(shapeType(), 0); }), "no error");
  EXPECT_NE(programError([] {
              hs::data::constrIndex(hs::data::mkConstr(shapeType(), std::string("Circle"),
                                                       std::vector<std::string>{},
                                                       hs::data::Prefix));
            }),
            "no error");
}

// A description made of parts that are computed on demand or fail when inspected: building it
// and reading one part leaves the others alone.
TEST(Data, PartsOfAConstructorAreDeferred) {
  int nameRuns = 0;
  const Constr c = hs::data::mkConstr(
      hs::data::mkNoRepType("Test.Opaque"), hs::Lazy<std::string>::defer([&] {
        ++nameRuns;
        return std::string("abc");
      }),
      std::vector<std::string>{},
      hs::Lazy<hs::data::Fixity>::defer([]() -> hs::data::Fixity {
        hs::error("fixity", hs::SrcLoc{"error", "test-0", "Test", "Test", 1, 2, 1, 7});
      }));
  EXPECT_EQ(nameRuns, 0);
  EXPECT_EQ(hs::data::showConstr(c), "abc");
  EXPECT_EQ(hs::data::showConstr(c), "abc");
  EXPECT_EQ(nameRuns, 1);
  EXPECT_TRUE(hs::data::constrFields(c).empty());
  try {
    hs::data::constrFixity(c);
    ADD_FAILURE() << "fixity inspected without error";
  } catch (const hs::ProgramError& e) {
    EXPECT_EQ(e.message(), "fixity");
    ASSERT_EQ(e.callStack().entries().size(), 1u);
    EXPECT_EQ(e.callStack().entries()[0].startCol, 2);
  }
  EXPECT_EQ(programError([&] { hs::data::constrIndex(c); }),
            "Data.Data.dataTypeConstrs is not supported for Test.Opaque, as it is not an "
            "algebraic data type.");
  EXPECT_EQ(hs::data::dataTypeName(hs::data::constrType(c)), "Test.Opaque");
}

// gfoldl hands every field, with its own Data capability, to k, first field first; gunfold with
// the value's constructor and the same fields rebuilds the value. Returns the fields' constructor
// names.
template <class T>
std::vector<std::string> roundTrip(const T& x) {
  std::vector<std::string> seen;
  std::deque<std::any> fields;
  auto count = [](auto) { return std::size_t{0}; };
  auto collect = [&](std::size_t n, const auto& d) {
    seen.push_back(hs::data::showConstr(hs::toConstr(d)));
    fields.emplace_back(d);
    return n + 1;
  };
  const std::size_t n = hs::gfoldl(collect, count, x);
  EXPECT_EQ(n, seen.size());

  auto id = [](auto g) { return g; };
  auto next = [&](auto f, auto type) {
    using D = typename decltype(type)::type;
    D d = std::any_cast<D>(fields.front());
    fields.pop_front();
    return f(std::move(d));
  };
  EXPECT_EQ(hs::gunfold<T>(next, id, hs::toConstr(x)), x);
  EXPECT_TRUE(fields.empty());
  return seen;
}

TEST(Data, FoldAndUnfoldRoundTrip) {
  using S = std::vector<std::string>;
  EXPECT_EQ(roundTrip(Shape{1}), S{});
  EXPECT_EQ(roundTrip(Shape{2, 3, 4}), (S{"3", "4"}));
  EXPECT_EQ(roundTrip(Shape{3, -1, 0}), (S{"-1", "0"}));
  EXPECT_EQ(roundTrip(std::vector<Int>{}), S{});
  EXPECT_EQ(roundTrip(std::vector<Int>{5, 6, 7}), (S{"5", "(:)"}));
  EXPECT_EQ(roundTrip(std::vector<Int>{5}), (S{"5", "[]"}));
  EXPECT_EQ(roundTrip(std::pair<Int, std::vector<Int>>{1, {}}), (S{"1", "[]"}));
  EXPECT_EQ(roundTrip(Int{9}), S{});
}

TEST(Data, CharactersStringsAndUnit) {
  EXPECT_EQ(hs::data::dataTypeName(hs::dataTypeOf<char32_t>()), "Prelude.Char");
  EXPECT_TRUE(std::holds_alternative<hs::data::CharRep>(
      hs::data::dataTypeRep(hs::dataTypeOf<char32_t>())));
  EXPECT_EQ(hs::data::showConstr(hs::toConstr(U'a')), "'a'");
  EXPECT_EQ(hs::data::showConstr(hs::toConstr(U'\n')), "'\\n'");
  EXPECT_EQ(hs::data::constrRep(hs::toConstr(U'\u00e9')),
            hs::data::ConstrRep(hs::data::CharConstr{U'\u00e9'}));
  EXPECT_EQ(hs::data::dataTypeName(hs::dataTypeOf<hs::Unit>()), "Prelude.()");
  EXPECT_EQ(hs::data::showConstr(hs::toConstr(hs::unit)), "()");

  // A string is the list of its code points; a stray byte is a code point of its own.
  using S = std::vector<std::string>;
  EXPECT_EQ(hs::data::dataTypeName(hs::dataTypeOf<std::string>()), "Prelude.[]");
  EXPECT_EQ(roundTrip(std::string()), S{});
  EXPECT_EQ(roundTrip(std::string("ab")), (S{"'a'", "(:)"}));
  EXPECT_EQ(roundTrip(std::string("\xc3\xa9!")), (S{"'\\233'", "(:)"}));
  EXPECT_EQ(roundTrip(std::string("\xff")), (S{"'\\56575'", "[]"}));
  EXPECT_EQ(roundTrip(hs::unit), S{});
  EXPECT_EQ(roundTrip(U'x'), S{});
  EXPECT_EQ(roundTrip(std::pair<std::string, hs::Unit>{"x", hs::unit}), (S{"(:)", "()"}));

  auto z = [](auto g) { return g; };
  auto k = [](auto f, auto type) { return f(typename decltype(type)::type{}); };
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { hs::data::mkCharConstr(shapeType(), U'a'); },
       "Data.Data.mkCharConstr is not supported for Test.Shape, as it is not an Char data type."},
      {[] { hs::data::constrFields(hs::toConstr(U'a')); }, "Data.Data.confields"},
      {[&] { hs::gunfold<char32_t>(k, z, hs::data::indexConstr(shapeType(), 1)); },
       "Data.Data.gunfold: Constructor Dot is not of type Char."},
      {[&] { hs::gunfold<hs::Unit>(k, z, hs::data::indexConstr(shapeType(), 2)); },
       "Data.Data.gunfold(unit)"},
      {[&] { hs::gunfold<std::string>(k, z, hs::data::indexConstr(shapeType(), 3)); },
       "Data.Data.gunfold(List)"},
  };
  for (const auto& [run, message] : cases) EXPECT_EQ(programError(run), message);
}

TEST(Data, InstanceHelpers) {
  const auto add3 = hs::data::curried<Int, Int, std::string>(
      [](Int a, Int b, std::string c) { return std::to_string(a - b) + c; });
  EXPECT_EQ(add3(5)(2)("!"), "3!");
  EXPECT_EQ(hs::data::curried([] { return 7; }), 7);
  std::vector<std::string> order;
  auto k = [&](std::string acc, const auto& x) {
    order.push_back(std::to_string(x));
    return acc + std::to_string(x);
  };
  EXPECT_EQ(hs::data::foldFields(k, std::string("<"), Int{1}, Int{2}, Int{3}), "<123");
  EXPECT_EQ(order, (std::vector<std::string>{"1", "2", "3"}));
  auto kt = [](std::string acc, auto type) {
    return acc + hs::data::dataTypeName(hs::dataTypeOf<typename decltype(type)::type>()) + ";";
  };
  EXPECT_EQ((hs::data::unfoldFields<Int, char32_t>(kt, std::string())),
            "Prelude.Int;Prelude.Char;");
  EXPECT_EQ(hs::data::unfoldFields<>(kt, std::string("x")), "x");
}

TEST(Data, GenericWalksRecurseThroughFields) {
  // A list of pairs, the presentation of a map.
  const std::vector<std::pair<Int, Int>> pairs{{1, 2}, {3, 4}};
  EXPECT_EQ(Spell{}(pairs), "((:) ((,) 1 2) ((:) ((,) 3 4) []))");
  EXPECT_EQ(Spell{}(Shape{3, 5, 6}), "(:* 5 6)");

  // gmapT reaches the immediate fields only.
  auto inc = [](const auto& d) {
    using D = std::decay_t<decltype(d)>;
    if constexpr (std::is_same_v<D, Int>)
      return D(d + 1);
    else
      return d;
  };
  EXPECT_EQ(hs::gmapT(inc, std::pair<Int, Int>{1, 2}), (std::pair<Int, Int>{2, 3}));
  EXPECT_EQ(hs::gmapT(inc, std::vector<Int>{1, 2, 3}), (std::vector<Int>{2, 2, 3}));
  EXPECT_EQ(hs::gmapT(inc, Shape{2, 1, 1}), (Shape{2, 2, 2}));
  EXPECT_EQ(hs::gmapT(inc, Int{5}), 5);
}

struct VecTag {
  template <class X>
  using apply = std::vector<X>;
};
struct OptTag {
  template <class X>
  using apply = std::optional<X>;
};
struct PairTag {
  template <class X, class Y>
  using apply = std::pair<X, Y>;
};

TEST(Data, CastsCompareTypeConstructors) {
  int calls = 0;
  auto name1 = [&](auto t) {
    ++calls;
    return hs::data::dataTypeName(hs::dataTypeOf<typename decltype(t)::type>());
  };
  using R = std::string;
  EXPECT_EQ((hs::dataCast1<std::vector<Int>, VecTag, R>(name1)), "Prelude.Int");
  EXPECT_EQ((hs::dataCast1<std::vector<std::pair<Int, Int>>, VecTag, R>(name1)), "Prelude.(,)");
  EXPECT_EQ(calls, 2);
  EXPECT_EQ((hs::dataCast1<std::vector<Int>, OptTag, R>(name1)), std::nullopt);
  EXPECT_EQ((hs::dataCast1<std::vector<Int>, PairTag, R>(name1)), std::nullopt);
  EXPECT_EQ((hs::dataCast1<Int, VecTag, R>(name1)), std::nullopt);
  EXPECT_EQ((hs::dataCast1<Shape, VecTag, R>(name1)), std::nullopt);
  EXPECT_EQ((hs::dataCast1<std::pair<Int, Int>, VecTag, R>(name1)), std::nullopt);
  EXPECT_EQ(calls, 2);

  auto name2 = [&](auto a, auto b) {
    ++calls;
    return hs::data::dataTypeName(hs::dataTypeOf<typename decltype(a)::type>()) + " " +
           hs::data::dataTypeName(hs::dataTypeOf<typename decltype(b)::type>());
  };
  EXPECT_EQ((hs::dataCast2<std::pair<Int, std::vector<Int>>, PairTag, R>(name2)),
            "Prelude.Int Prelude.[]");
  EXPECT_EQ(calls, 3);
  EXPECT_EQ((hs::dataCast2<std::vector<Int>, PairTag, R>(name2)), std::nullopt);
  EXPECT_EQ((hs::dataCast2<std::pair<Int, Int>, VecTag, R>(name2)), std::nullopt);
  EXPECT_EQ((hs::dataCast2<Int, PairTag, R>(name2)), std::nullopt);
  EXPECT_EQ(calls, 3);
}

}  // namespace
