// ListF a r: the layer of a list (Nil, or Cons of an element and the rest), the base functor whose
// Fix is a list, with its mapping, folding, traversal and lifted capabilities.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/classes1.hpp"
#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/hashable.hpp"
#include "hs/nfdata.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"

namespace morvet {

template <class A, class R>
class ListF {
 public:
  using element_type = A;
  using rest_type = R;

  static ListF Nil() { return ListF(); }
  static ListF Cons(A head, R rest) { return ListF(std::pair<A, R>(std::move(head), std::move(rest))); }

  bool isNil() const noexcept { return !cell_; }
  bool isCons() const noexcept { return cell_.has_value(); }
  // The fields of a Cons (std::bad_optional_access on Nil).
  const A& head() const { return cell_.value().first; }
  const R& rest() const { return cell_.value().second; }

  friend bool operator==(const ListF& a, const ListF& b) { return a.cell_ == b.cell_; }

 private:
  ListF() = default;
  explicit ListF(std::pair<A, R> c) : cell_(std::move(c)) {}
  std::optional<std::pair<A, R>> cell_;
};

// ListF a as a one-parameter functor (in the rest).
template <class A>
struct ListFTag {
  template <class X>
  using apply = ListF<A, X>;
};

}  // namespace morvet

namespace hs {

template <class A, class R>
struct TagOf<morvet::ListF<A, R>> {
  using type = morvet::ListFTag<A>;
  using value_type = R;
};

template <class A>
struct Functor<morvet::ListFTag<A>> {
  template <class F, class R>
  static auto fmap(F&& f, const morvet::ListF<A, R>& l) {
    using S = std::remove_cvref_t<std::invoke_result_t<F&, const R&>>;
    if (l.isNil()) return morvet::ListF<A, S>::Nil();
    return morvet::ListF<A, S>::Cons(l.head(), f(l.rest()));
  }
};
template <class A>
struct Foldable<morvet::ListFTag<A>> {
  template <class R>
  static std::vector<R> toList(const morvet::ListF<A, R>& l) {
    if (l.isNil()) return {};
    return {l.rest()};
  }
};
template <class A>
struct Traversable<morvet::ListFTag<A>> {
  template <class F, class R>
  static auto traverse(F&& f, const morvet::ListF<A, R>& l) {
    using FS = std::remove_cvref_t<std::invoke_result_t<F&, const R&>>;
    using S = ElementOf<FS>;
    using Out = morvet::ListF<A, S>;
    if (l.isNil()) return hs::pure<TagOfT<FS>>(Out::Nil());
    return hs::fmap([head = l.head()](const S& s) { return Out::Cons(head, s); }, f(l.rest()));
  }
};

// Nil before Cons; Cons by element, then by rest.
template <class A, class R>
struct Eq1<morvet::ListF<A, R>> {
  template <class E, class R2>
  static bool liftEq(E&& eq, const morvet::ListF<A, R>& a, const morvet::ListF<A, R2>& b) {
    if (a.isNil() || b.isNil()) return a.isNil() && b.isNil();
    return a.head() == b.head() && eq(a.rest(), b.rest());
  }
};
template <class A, class R>
struct Ord1<morvet::ListF<A, R>> {
  template <class C, class R2>
  static Ordering liftCompare(C&& cmp, const morvet::ListF<A, R>& a, const morvet::ListF<A, R2>& b) {
    if (a.isNil()) return b.isNil() ? EQ : LT;
    if (b.isNil()) return GT;
    const Ordering o = hs::compare(a.head(), b.head());
    return o != EQ ? o : cmp(a.rest(), b.rest());
  }
};

// "Nil", or "Cons " and both fields at precedence 11, in brackets above 10.
template <class A, class R>
struct Show1<morvet::ListF<A, R>> {
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&&, int d, const morvet::ListF<A, R>& l, std::string& out) {
    if (l.isNil()) {
      out.append("Nil");
      return;
    }
    hs::showParen(
        d > 10,
        [&](std::string& o) {
          o.append("Cons ");
          hs::showsPrec(11, l.head(), o);
          o.push_back(' ');
          sp(11, l.rest(), o);
        },
        out);
  }
};
template <class A, class R>
struct Show<morvet::ListF<A, R>> {
  static void showsPrec(int d, const morvet::ListF<A, R>& l, std::string& out) {
    Show1<morvet::ListF<A, R>>::liftShowsPrec(ShowsPrec{}, ShowList{}, d, l, out);
  }
};

template <class A, class R>
struct Read1<morvet::ListF<A, R>> {
  static ReadPrec<morvet::ListF<A, R>> liftReadPrec(ReadPrec<R> rp, ReadPrec<std::vector<R>>) {
    using L = morvet::ListF<A, R>;
    auto nil = readprec::then(readprec::expectP(Lexeme::Ident("Nil")), readprec::pure(L::Nil()));
    auto cons = readprec::prec(
        10, readprec::then(
                readprec::expectP(Lexeme::Ident("Cons")),
                readprec::bind(readprec::step(hs::readPrec<A>()), [rp](A&& head) {
                  return readprec::fmap([head](R&& rest) { return L::Cons(head, std::move(rest)); },
                                        readprec::step(rp));
                })));
    return readprec::parens(readprec::alt(std::move(nil), std::move(cons)));
  }
};
template <class A, class R>
struct Read<morvet::ListF<A, R>> {
  static ReadPrec<morvet::ListF<A, R>> readPrec() {
    return Read1<morvet::ListF<A, R>>::liftReadPrec(hs::readPrec<R>(), hs::readListPrec<R>());
  }
};

// A constructor word (0 Nil, 1 Cons), then the fields in order.
template <class A, class R>
struct Hashable1<morvet::ListF<A, R>> {
  template <class H>
  static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const morvet::ListF<A, R>& l) {
    if (l.isNil()) return hs::saltedWordHash(salt, 0);
    return h(hs::hashWithSalt(hs::saltedWordHash(salt, 1), l.head()), l.rest());
  }
};
template <class A, class R>
struct Hashable<morvet::ListF<A, R>> {
  static std::int64_t hashWithSalt(std::int64_t salt, const morvet::ListF<A, R>& l) {
    return Hashable1<morvet::ListF<A, R>>::liftHashWithSalt(HashWithSalt{}, salt, l);
  }
};

template <class A, class R>
struct NFData1<morvet::ListF<A, R>> {
  template <class Rn>
  static void liftRnf(Rn&& r, const morvet::ListF<A, R>& l) {
    if (l.isNil()) return;
    hs::rnf(l.head());
    r(l.rest());
  }
};
template <class A, class R>
struct NFData<morvet::ListF<A, R>> {
  static void rnf(const morvet::ListF<A, R>& l) { NFData1<morvet::ListF<A, R>>::liftRnf(Rnf{}, l); }
};

}  // namespace hs
