// libmorvet's example in README.md: the lines between the markers are the README's snippet
// (the test readme_snippets keeps the two alike; examples/readme/morvet.out is what it prints).
// readme-begin
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/functor.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "morvet/classes.hpp"
#include "morvet/fix.hpp"

// One layer of an arithmetic expression, with its sub-expressions left open as R: a number, or
// an operator ('+' or '*') over operands.
template <class R>
struct ExprF {
  char op;  // '+', '*', or '#' for a number
  std::int64_t number;
  std::vector<R> operands;
};
struct ExprTag {
  template <class R>
  using apply = ExprF<R>;
};
// The one thing morvet needs to know about the layer: how to map its holes.
template <class R>
struct hs::TagOf<ExprF<R>> {
  using type = ExprTag;
  using value_type = R;
};
template <>
struct hs::Functor<ExprTag> {
  template <class F, class R>
  static auto fmap(F&& f, const ExprF<R>& e) {
    ExprF<std::remove_cvref_t<std::invoke_result_t<F&, const R&>>> out{e.op, e.number, {}};
    for (const R& r : e.operands) out.operands.push_back(f(r));
    return out;
  }
};

// To show and read the values too: the layer's text form, its holes written and read by the
// functions morvet passes in (sp and rp for one hole, sl and rl for a list of them): `Num 2`, or
// `Op '+' [...]` with the operands as a list. (Comparing would need hs::Eq1 as well, hashing
// hs::Hashable1: morvet/list_f.hpp has every such instance for its list layer.)
template <class R>
struct hs::Show1<ExprF<R>> {
  template <class SP, class SL>
  static void liftShowsPrec(SP&&, SL&& sl, int d, const ExprF<R>& e, std::string& out) {
    hs::showParen(d > 10, [&](std::string& o) {
      if (e.op == '#') {
        o.append("Num ");
        hs::showsPrec(11, e.number, o);
        return;
      }
      o.append("Op ");
      hs::showsPrec(11, e.op, o);
      o.append(" ");
      sl(e.operands, o);
    }, out);
  }
};
template <class R>
struct hs::Read1<ExprF<R>> {
  static hs::ReadPrec<ExprF<R>> liftReadPrec(hs::ReadPrec<R>, hs::ReadPrec<std::vector<R>> rl) {
    namespace rp = hs::readprec;
    auto num = rp::readUnaryWith(hs::readPrec<std::int64_t>(), "Num",
                                 [](std::int64_t n) { return ExprF<R>{'#', n, {}}; });
    auto op = rp::then(rp::expectP(hs::Lexeme::Ident("Op")),
                       rp::bind(rp::step(hs::readPrec<char>()), [rl](char c) {
                         return rp::fmap([c](std::vector<R> rs) { return ExprF<R>{c, 0, rs}; },
                                         rp::step(rl));
                       }));
    return rp::readData(rp::alt(num, op));
  }
};

// The recursive type is the fixed point: every hole holds another Expr.
using Expr = morvet::Fix<ExprTag>;
Expr num(std::int64_t n) { return Expr(ExprF<Expr>{'#', n, {}}); }
Expr binary(char op, Expr a, Expr b) {
  return Expr(ExprF<Expr>{op, 0, {std::move(a), std::move(b)}});
}

int main() {
  // Folds: each function sees one layer whose holes are already folded; no recursion is written.
  const auto eval = [](const ExprF<std::int64_t>& e) -> std::int64_t {
    if (e.op == '#') return e.number;
    return e.op == '+' ? e.operands[0] + e.operands[1] : e.operands[0] * e.operands[1];
  };
  const auto print = [](const ExprF<std::string>& e) -> std::string {
    if (e.op == '#') return std::to_string(e.number);
    return "(" + e.operands[0] + " " + e.op + " " + e.operands[1] + ")";
  };
  const Expr e = binary('+', num(2), binary('*', num(3), num(4)));
  std::cout << morvet::foldFix(print, e) << " = " << morvet::foldFix(eval, e) << "\n";

  // An unfold builds a value from a seed, a layer per seed: the product of lo..hi, split in halves.
  using Range = std::pair<std::int64_t, std::int64_t>;
  const auto split = [](const Range& r) {
    if (r.first == r.second) return ExprF<Range>{'#', r.first, {}};
    const std::int64_t mid = (r.first + r.second) / 2;
    return ExprF<Range>{'*', 0, {{r.first, mid}, {mid + 1, r.second}}};
  };
  std::cout << morvet::foldFix(print, morvet::unfoldFix(split, Range{1, 4})) << "\n";
  // A refold runs both without building the value in between: 20! from the range 1..20.
  std::cout << "20! = " << morvet::refold(eval, split, Range{1, 20}) << "\n";

  // With the layer's text form, a value shows as nested "Fix" forms and reads back.
  const std::string text = hs::show(e);
  const std::optional<Expr> back = hs::readMaybe<Expr>(text);
  std::cout << text << "\nreads back as " << morvet::foldFix(print, *back) << "\n";
}
// readme-end
