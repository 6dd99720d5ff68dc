/// \defgroup morvet_list_f morvet/list_f.hpp
/// \ingroup morvet_morvet
/// ListF a r: the layer of a list (Nil, or Cons of an element and the rest), the base functor whose
/// Fix is a list, with its mapping, folding, traversal and lifted capabilities.
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
#include "hs/internal/nest.hpp"
#include "hs/nfdata.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"

namespace morvet {
/// \addtogroup morvet_list_f
/// @{

/// One layer of a list: Nil, or Cons of an element and the rest (held in the object, no
/// allocation of its own).
template <class A, class R>
class ListF {
 public:
  using element_type = A;  ///< The element.
  using rest_type = R;     ///< The rest (a hole of the functor).

  /// The empty layer.
  [[nodiscard]] static ListF Nil() { return ListF(); }
  /// An element and the rest.
  [[nodiscard]] static ListF Cons(A head, R rest) { return ListF(std::pair<A, R>(std::move(head), std::move(rest))); }

  /// Whether it is Nil.
  [[nodiscard]] bool isNil() const noexcept { return !cell_; }
  /// Whether it is Cons.
  [[nodiscard]] bool isCons() const noexcept { return cell_.has_value(); }
  /// @{
  /// The fields of a Cons (std::bad_optional_access on Nil).
  [[nodiscard]] const A& head() const { return cell_.value().first; }
  [[nodiscard]] const R& rest() const { return cell_.value().second; }
  /// @}

  /// Both Nil, or both Cons with equal fields (by their types' ==).
  [[nodiscard]] friend bool operator==(const ListF& a, const ListF& b) {
    // Elements may nest values of their own kind: a recursive point of the stack helper.
    return hs::internal::nestedCall<A, R>([&]() -> bool { return a.cell_ == b.cell_; });
  }

 private:
  ListF() = default;
  explicit ListF(std::pair<A, R> c) : cell_(std::move(c)) {}
  std::optional<std::pair<A, R>> cell_;
};

/// ListF a as a one-parameter functor (in the rest): `Fix<ListFTag<A>>` is a list of A.
template <class A>
struct ListFTag {
  /// `ListF<A, X>`.
  template <class X>
  using apply = ListF<A, X>;
};

/// @}
}  // namespace morvet

namespace hs {
/// \addtogroup morvet_list_f
/// @{

/// `ListF<A, R>` is `ListFTag<A>` applied to R.
template <class A, class R>
struct TagOf<morvet::ListF<A, R>> {
  /// \privatesection
  using type = morvet::ListFTag<A>;
  using value_type = R;
};

/// f of the rest of a Cons (the element copied); Nil stays Nil and f is not called.
template <class A>
struct Functor<morvet::ListFTag<A>> {
  /// \privatesection
  template <class F, class R>
  [[nodiscard]] static auto fmap(F&& f, const morvet::ListF<A, R>& l) {
    using S = std::remove_cvref_t<std::invoke_result_t<F&, const R&>>;
    if (l.isNil()) return morvet::ListF<A, S>::Nil();
    return morvet::ListF<A, S>::Cons(l.head(), f(l.rest()));
  }
};
/// The rest of a Cons, the one hole; Nil has none.
template <class A>
struct Foldable<morvet::ListFTag<A>> {
  /// \privatesection
  template <class R>
  [[nodiscard]] static std::vector<R> toList(const morvet::ListF<A, R>& l) {
    if (l.isNil()) return {};
    return {l.rest()};
  }
};
/// f of the rest of a Cons, its effect the layer's (the element copied); Nil is pure.
template <class A>
struct Traversable<morvet::ListFTag<A>> {
  /// \privatesection
  template <class F, class R>
  [[nodiscard]] static auto traverse(F&& f, const morvet::ListF<A, R>& l) {
    using FS = std::remove_cvref_t<std::invoke_result_t<F&, const R&>>;
    using S = ElementOf<FS>;
    using Out = morvet::ListF<A, S>;
    if (l.isNil()) return hs::pure<TagOfT<FS>>(Out::Nil());
    return hs::fmap([head = l.head()](const S& s) { return Out::Cons(head, s); }, f(l.rest()));
  }
};

/// Both Nil, or both Cons with equal elements (by A's ==) and, only then, rests equal by eq.
template <class A, class R>
struct Eq1<morvet::ListF<A, R>> {
  /// \privatesection
  template <class E, class R2>
  [[nodiscard]] static bool liftEq(E&& eq, const morvet::ListF<A, R>& a, const morvet::ListF<A, R2>& b) {
    if (a.isNil() || b.isNil()) return a.isNil() && b.isNil();
    // Elements may nest values of their own kind: a recursive point of the stack helper.
    return hs::internal::nestedCall<A>([&]() -> bool { return a.head() == b.head(); }) &&
           eq(a.rest(), b.rest());
  }
};
/// Nil before Cons; Cons by element (hs::compare), then, on equal elements, by rest with cmp.
template <class A, class R>
struct Ord1<morvet::ListF<A, R>> {
  /// \privatesection
  template <class C, class R2>
  [[nodiscard]] static Ordering liftCompare(C&& cmp, const morvet::ListF<A, R>& a, const morvet::ListF<A, R2>& b) {
    if (a.isNil()) return b.isNil() ? EQ : LT;
    if (b.isNil()) return GT;
    const Ordering o = hs::internal::nestedCall<A>([&] { return hs::compare(a.head(), b.head()); });
    return o != EQ ? o : cmp(a.rest(), b.rest());
  }
};

/// `Nil`, or `Cons ` and both fields at precedence 11 (the rest by sp), in brackets above 10.
template <class A, class R>
struct Show1<morvet::ListF<A, R>> {
  /// \privatesection
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
/// As Show1, with the rest by its own Show.
template <class A, class R>
struct Show<morvet::ListF<A, R>> {
  /// \privatesection
  static void showsPrec(int d, const morvet::ListF<A, R>& l, std::string& out) {
    Show1<morvet::ListF<A, R>>::liftShowsPrec(ShowsPrec{}, ShowList{}, d, l, out);
  }
};

/// `Nil`, or `Cons` and both fields at precedence 11 (the rest by rp; at most precedence 10
/// outside), inside any number of brackets.
template <class A, class R>
struct Read1<morvet::ListF<A, R>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<morvet::ListF<A, R>> liftReadPrec(ReadPrec<R> rp, ReadPrec<std::vector<R>>) {
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
/// As Read1, with the rest by its own reader.
template <class A, class R>
struct Read<morvet::ListF<A, R>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<morvet::ListF<A, R>> readPrec() {
    return Read1<morvet::ListF<A, R>>::liftReadPrec(hs::readPrec<R>(), hs::readListPrec<R>());
  }
};

/// A constructor word (0 Nil, 1 Cons), then the fields in order, the rest by h.
template <class A, class R>
struct Hashable1<morvet::ListF<A, R>> {
  /// \privatesection
  template <class H>
  [[nodiscard]] static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const morvet::ListF<A, R>& l) {
    if (l.isNil()) return hs::saltedWordHash(salt, 0);
    return h(hs::hashWithSalt(hs::saltedWordHash(salt, 1), l.head()), l.rest());
  }
};
/// As Hashable1, with the rest by its own hash.
template <class A, class R>
struct Hashable<morvet::ListF<A, R>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const morvet::ListF<A, R>& l) {
    return Hashable1<morvet::ListF<A, R>>::liftHashWithSalt(HashWithSalt{}, salt, l);
  }
};

/// The element deep-evaluated, then r applied to the rest.
template <class A, class R>
struct NFData1<morvet::ListF<A, R>> {
  /// \privatesection
  template <class Rn>
  static void liftRnf(Rn&& r, const morvet::ListF<A, R>& l) {
    if (l.isNil()) return;
    hs::rnf(l.head());
    r(l.rest());
  }
};
/// The element, then the rest, deep-evaluated.
template <class A, class R>
struct NFData<morvet::ListF<A, R>> {
  /// \privatesection
  static void rnf(const morvet::ListF<A, R>& l) { NFData1<morvet::ListF<A, R>>::liftRnf(Rnf{}, l); }
};

/// @}
}  // namespace hs
