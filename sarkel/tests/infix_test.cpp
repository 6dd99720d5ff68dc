#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "helpers.hpp"
#include "hs/th/testenv.hpp"
#include "sarkel/datatype.hpp"

namespace {

using namespace sarkel_test;
namespace si = sarkel::internal;
using Strings = std::vector<std::string>;
using D = th::FixityDirection;

const Type a = v("a");
const Type b = v("b");
const Type c = v("c");
const Type d = v("d");

// The ungrouped chain operand, operator, operand, ... nested to the left.
Type chain(std::vector<Type> operands, const std::vector<std::string>& ops) {
  Type t = operands[0];
  for (std::size_t i = 0; i < ops.size(); ++i) t = th::UInfixT{t, n(ops[i]), operands[i + 1]};
  return t;
}
Type op(const std::string& o, Type l, Type r) { return app(con(o), std::move(l), std::move(r)); }

class Infix : public ::testing::Test {
 protected:
  Infix() {
    const std::pair<const char*, th::Fixity> fixities[] = {
        {"+", {6, D::InfixL}},  {"-", {6, D::InfixL}},  {"*", {7, D::InfixL}},
        {"^", {8, D::InfixR}},  {"==", {4, D::InfixN}}, {"/=", {4, D::InfixN}},
        {"<>", {6, D::InfixR}}, {":", {5, D::InfixR}},  {"$", {0, D::InfixR}},
    };
    for (const auto& [o, f] : fixities) env.setFixity(n(o), f);
    // Known to the environment without a fixity declaration.
    env.declare(th::DataD{{}, n("%"), {}, std::nullopt, {}, {}});
  }
  Type resolve(const Type& t) { return sarkel::resolveInfixT(env, t); }
  std::string failure(const Type& t) {
    try {
      resolve(t);
    } catch (const th::QFailure& e) {
      return e.message();
    }
    return "(no failure)";
  }

  th::TestEnv env;
};

TEST_F(Infix, ChainsGroupByFixity) {
  struct Case {
    const char* what;
    Type in;
    Type want;
  };
  const Case cases[] = {
      {"a * b + c", chain({a, b, c}, {"*", "+"}), op("+", op("*", a, b), c)},
      {"a + b * c", chain({a, b, c}, {"+", "*"}), op("+", a, op("*", b, c))},
      {"a - b + c", chain({a, b, c}, {"-", "+"}), op("+", op("-", a, b), c)},
      {"a ^ b ^ c", chain({a, b, c}, {"^", "^"}), op("^", a, op("^", b, c))},
      // After a reduction the incoming operator meets the operators below it too.
      {"a + b * c - d", chain({a, b, c, d}, {"+", "*", "-"}),
       op("-", op("+", a, op("*", b, c)), d)},
      {"a * b ^ c * d", chain({a, b, c, d}, {"*", "^", "*"}),
       op("*", op("*", a, op("^", b, c)), d)},
      {"a + b : c", chain({a, b, c}, {"+", ":"}), op(":", op("+", a, b), c)},
      {"a : b + c", chain({a, b, c}, {":", "+"}), op(":", a, op("+", b, c))},
      {"a ^ b $ c", chain({a, b, c}, {"^", "$"}), op("$", op("^", a, b), c)},
      {"no fixity declaration: infixl 9", chain({a, b, c}, {"%", "*"}), op("*", op("%", a, b), c)},
      {"fixity that cannot be queried: infixl 9", chain({a, b, c}, {"??", "*"}),
       op("*", op("??", a, b), c)},
      // Nesting on either side is flattened into one chain.
      {"right-nested chain", th::UInfixT{a, n("*"), th::UInfixT{b, n("+"), c}},
       op("+", op("*", a, b), c)},
      {"a parenthesised sub-chain is grouped on its own",
       th::UInfixT{a, n("*"), th::ParensT{th::UInfixT{b, n("+"), c}}}, op("*", a, op("+", b, c))},
      {"promoted operators", th::PromotedUInfixT{a, n(":"), th::UInfixT{b, n("+"), c}},
       app(th::PromotedT{n(":")}, a, op("+", b, c))},
      {"grouped applications", th::InfixT{a, n("+"), th::PromotedInfixT{b, n(":"), c}},
       op("+", a, app(th::PromotedT{n(":")}, b, c))},
  };
  for (const Case& x : cases) {
    const Type got = resolve(x.in);
    EXPECT_EQ(got, x.want) << x.what << ": " << th::show(got);
  }
}

TEST_F(Infix, Conflicts) {
  EXPECT_EQ(failure(chain({a, b, c}, {"==", "/="})),
            "Precedence parsing error: cannot mix \u2018==\u2019 [infix 4] and \u2018/=\u2019 "
            "[infix 4] in the same infix type expression");
  // The reduction of b + c brings /= next to ==.
  EXPECT_EQ(failure(chain({a, b, c, d}, {"==", "+", "/="})),
            "Precedence parsing error: cannot mix \u2018==\u2019 [infix 4] and \u2018/=\u2019 "
            "[infix 4] in the same infix type expression");
  EXPECT_EQ(failure(chain({a, b, c}, {"+", "<>"})),
            "Precedence parsing error: cannot mix \u2018+\u2019 [infixl 6] and \u2018<>\u2019 "
            "[infixr 6] in the same infix type expression");
  EXPECT_EQ(failure(chain({a, b, c}, {"<>", ":"})), "(no failure)");
}

TEST_F(Infix, FixityLookups) {
  EXPECT_EQ(resolve(th::UInfixT{a, n("+"), b}), op("+", a, b));
  EXPECT_EQ(env.log(), Strings{"reifyFixity +"});
  env.clearLog();
  // Every operator of a chain in order, then the chains inside its operands.
  resolve(th::UInfixT{chain({a, th::ParensT{chain({b, c}, {"^"})}}, {"+"}), n("*"), d});
  EXPECT_EQ(env.log(), (Strings{"reifyFixity +", "reifyFixity *", "reifyFixity ^"}));
  env.clearLog();
  resolve(th::InfixT{a, n("+"), th::PromotedInfixT{b, n(":"), c}});
  EXPECT_TRUE(env.log().empty());
  env.failOn(th::TestEnv::Query::ReifyFixity, n("*"), "no fixity here");
  EXPECT_EQ(resolve(chain({a, b, c}, {"*", "+"})), op("+", op("*", a, b), c));
  EXPECT_EQ(env.log(), (Strings{"reifyFixity *", "reifyFixity +"}));
}

TEST_F(Infix, OtherForms) {
  const Type sum = th::UInfixT{a, n("+"), b};
  const Type plus = op("+", a, b);
  struct Case {
    const char* what;
    Type in;
    Type want;
  };
  const Case cases[] = {
      {"quantifier", forall({specified("x", sum)}, {sum}, th::ParensT{sum}),
       forall({specified("x", plus)}, {plus}, plus)},
      {"visible quantifier", th::ForallVisT{{unit("k", sum)}, sum},
       th::ForallVisT{{unit("k", plus)}, plus}},
      {"application, kind application, signature", app(th::AppKindT{con("T"), sum}, sig(sum, sum)),
       app(th::AppKindT{con("T"), plus}, sig(plus, plus))},
      {"implicit parameter", th::ImplicitParamT{"p", sum}, th::ImplicitParamT{"p", plus}},
      {"brackets", th::ParensT{th::ParensT{a}}, a},
  };
  for (const Case& x : cases) EXPECT_EQ(resolve(x.in), x.want) << x.what;

  const Type plain = app(con("Maybe"), forall({specified("x", star())}, {}, v("x")));
  EXPECT_TRUE(th::sameObject(resolve(plain), plain));
}

TEST_F(Infix, Flattening) {
  const Type grouped = th::InfixT{c, n("-"), d};
  const si::InfixList list = si::flattenInfixChain(th::UInfixT{
      th::PromotedUInfixT{a, n(":"), th::ParensT{b}}, n("*"), th::UInfixT{grouped, n("+"), d}});
  ASSERT_EQ(list.cells.size(), 3u);
  EXPECT_EQ(list.cells[0].left, a);
  EXPECT_EQ(list.cells[0].op, n(":"));
  EXPECT_TRUE(list.cells[0].promoted);
  EXPECT_EQ(list.cells[1].left, Type(th::ParensT{b}));
  EXPECT_EQ(list.cells[1].op, n("*"));
  EXPECT_FALSE(list.cells[1].promoted);
  EXPECT_EQ(list.cells[2].left, grouped);
  EXPECT_EQ(list.cells[2].op, n("+"));
  EXPECT_EQ(list.last, d);
  EXPECT_TRUE(si::flattenInfixChain(a).cells.empty());

  // Reassociation on top of waiting operators.
  const Type t =
      si::reassociateInfixChain(env, {si::InfixPending{a, n("+"), false, {6, D::InfixL}}},
                                si::flattenInfixChain(th::UInfixT{b, n("*"), c}));
  EXPECT_EQ(t, op("+", a, op("*", b, c)));
}

TEST_F(Infix, LongChains) {
  constexpr int length = kDeep;
  Type left = a;
  Type leftWant = a;
  Type right = a;
  Type rightWant = a;
  for (int i = 0; i < length; ++i) {
    left = th::UInfixT{left, n("+"), b};
    leftWant = op("+", leftWant, b);
    right = th::UInfixT{b, n("^"), right};
    rightWant = op("^", b, rightWant);
  }
  Type parens = a;
  for (int i = 0; i < length; ++i) parens = th::ParensT{app(con("Maybe"), parens)};
  Type parensWant = a;
  for (int i = 0; i < length; ++i) parensWant = app(con("Maybe"), parensWant);
  onSmallStack([&] {
    EXPECT_EQ(resolve(left), leftWant);
    EXPECT_EQ(resolve(right), rightWant);
    EXPECT_EQ(resolve(parens), parensWant);
  });
}

}  // namespace
