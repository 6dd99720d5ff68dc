// Equality, ordering (constructor index first: This < That < Ambrel, then the fields, first value
// first), their lifted forms, and the text forms: "This a", "That b", "Ambrel a b" with the
// fields at precedence 11, in brackets above precedence 10. The plain reader and the lifted reader
// are separate readers that accept the same texts.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ambrel/ambrel/type.hpp"
#include "hs/classes1.hpp"
#include "hs/internal/nest.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "hs/unit.hpp"

/// \addtogroup ambrel_ambrel
/// @{

namespace ambrel {
/// \addtogroup ambrel_ambrel
/// @{

namespace internal {

// The two-parameter lifted equality: different constructors are unequal without a call; the
// second values of two Ambrel are compared only after equal first values. Fields may nest values
// of their own kind: the comparison of each is a recursive point of the stack helper for types
// that may.
template <class E1, class E2, class A, class B, class C, class D>
[[nodiscard]] bool equalWith(E1& eq1, E2& eq2, const Ambrel<A, B>& x, const Ambrel<C, D>& y) {
  const Node& nx = Access::node(x);
  const Node& ny = Access::node(y);
  if (nx.index != ny.index) return false;
  const auto here = [&]() -> bool {
    return eq1(nx.here.template get<A>().force(), ny.here.template get<C>().force());
  };
  const auto there = [&]() -> bool {
    return eq2(nx.there.template get<B>().force(), ny.there.template get<D>().force());
  };
  if (nx.index != 1 && !hs::internal::nestedCall<A, C>(here)) return false;
  return nx.index == 0 || hs::internal::nestedCall<B, D>(there);
}

template <class C1, class C2, class A, class B, class C, class D>
[[nodiscard]] hs::Ordering compareWith(C1& cmp1, C2& cmp2, const Ambrel<A, B>& x, const Ambrel<C, D>& y) {
  const Node& nx = Access::node(x);
  const Node& ny = Access::node(y);
  if (nx.index != ny.index) return nx.index < ny.index ? hs::LT : hs::GT;
  const auto here = [&]() -> hs::Ordering {
    return cmp1(nx.here.template get<A>().force(), ny.here.template get<C>().force());
  };
  const auto there = [&]() -> hs::Ordering {
    return cmp2(nx.there.template get<B>().force(), ny.there.template get<D>().force());
  };
  if (nx.index != 1) {
    const hs::Ordering o = hs::internal::nestedCall<A, C>(here);
    if (o != hs::EQ || nx.index == 0) return o;
  }
  return hs::internal::nestedCall<B, D>(there);
}

}  // namespace internal

/// Equal constructors with equal fields (each by its type's ==); forces both values and the
/// fields compared.
template <class A, class B>
[[nodiscard]] bool operator==(const Ambrel<A, B>& x, const Ambrel<A, B>& y) {
  hs::Equal eq;
  return internal::equalWith(eq, eq, x, y);
}
/// `!(x == y)`.
template <class A, class B>
[[nodiscard]] bool operator!=(const Ambrel<A, B>& x, const Ambrel<A, B>& y) {
  return !(x == y);
}

/// The constructor index first (This < That < Ambrel), then the fields, first value first, each
/// by its type's compare; the second values are forced only on equal first values.
template <class A, class B>
[[nodiscard]] hs::Ordering compare(const Ambrel<A, B>& x, const Ambrel<A, B>& y) {
  hs::Compare cmp;
  return internal::compareWith(cmp, cmp, x, y);
}
/// The field types' own < where one field decides; for two Ambrel the first values' compare, and
/// only on equal first values the second values' <.
template <class A, class B>
[[nodiscard]] bool operator<(const Ambrel<A, B>& x, const Ambrel<A, B>& y) {
  const internal::Node& nx = internal::Access::node(x);
  const internal::Node& ny = internal::Access::node(y);
  if (nx.index != ny.index) return nx.index < ny.index;
  const auto here = [&](auto cmp) {
    return hs::internal::nestedCall<A>([&] { return cmp(x.here().force(), y.here().force()); });
  };
  const auto there = [&] {
    return hs::internal::nestedCall<B>(
        [&]() -> bool { return x.there().force() < y.there().force(); });
  };
  if (nx.index == 0) return here([](const A& a, const A& b) -> bool { return a < b; });
  if (nx.index == 1) return there();
  const hs::Ordering o = here([](const A& a, const A& b) { return hs::compare(a, b); });
  if (o != hs::EQ) return o == hs::LT;
  return there();
}
/// `y < x`.
template <class A, class B>
[[nodiscard]] bool operator>(const Ambrel<A, B>& x, const Ambrel<A, B>& y) {
  return y < x;
}
/// `!(y < x)`.
template <class A, class B>
[[nodiscard]] bool operator<=(const Ambrel<A, B>& x, const Ambrel<A, B>& y) {
  return !(y < x);
}
/// `!(x < y)`.
template <class A, class B>
[[nodiscard]] bool operator>=(const Ambrel<A, B>& x, const Ambrel<A, B>& y) {
  return !(x < y);
}
/// x itself when y < x, else y itself (y on a tie).
template <class A, class B>
[[nodiscard]] const Ambrel<A, B>& max(const Ambrel<A, B>& x, const Ambrel<A, B>& y) {
  return y < x ? x : y;
}
/// y itself when y < x, else x itself (x on a tie).
template <class A, class B>
[[nodiscard]] const Ambrel<A, B>& min(const Ambrel<A, B>& x, const Ambrel<A, B>& y) {
  return y < x ? y : x;
}

namespace internal {

// "This a", "That b" or "Ambrel a b", the fields by sp1 / sp2 at precedence 11.
template <class SP1, class SP2, class A, class B>
void showWith(SP1& sp1, SP2& sp2, int d, const Ambrel<A, B>& t, std::string& out) {
  const Node& n = Access::node(t);
  hs::showParen(
      d > 10,
      [&](std::string& o) {
        if (n.index == 0) {
          o.append("This ");
          sp1(11, n.here.template get<A>().force(), o);
        } else if (n.index == 1) {
          o.append("That ");
          sp2(11, n.there.template get<B>().force(), o);
        } else {
          o.append("Ambrel ");
          sp1(11, n.here.template get<A>().force(), o);
          o.push_back(' ');
          sp2(11, n.there.template get<B>().force(), o);
        }
      },
      out);
}

// The lifted reader: the one-token lexer's constructor word, then the fields at precedence 11,
// in brackets as readParen (d > 10) requires.
template <class A, class B>
[[nodiscard]] hs::ReadPrec<Ambrel<A, B>> liftedReader(hs::ReadPrec<A> rp1, hs::ReadPrec<B> rp2) {
  using T = Ambrel<A, B>;
  auto reader = [rp1 = std::move(rp1), rp2 = std::move(rp2)](const std::string& token,
                                                             std::string_view rest) {
    hs::ReadResult<T> out;
    if (token == "That") {
      for (auto& [b, r] : rp2(11, rest)) out.emplace_back(internal::makeThat<A, B>(hs::Lazy<B>(std::move(b))), r);
    } else if (token == "Ambrel") {
      for (auto& [a, r1] : rp1(11, rest)) {
        const hs::Lazy<A> ca(std::move(a));
        for (auto& [b, r2] : rp2(11, r1)) out.emplace_back(T(ca, hs::Lazy<B>(std::move(b))), r2);
      }
    } else if (token == "This") {
      for (auto& [a, r] : rp1(11, rest)) out.emplace_back(internal::makeThis<A, B>(hs::Lazy<A>(std::move(a))), r);
    }
    return out;
  };
  return hs::ReadPrec<T>(
      [reader = std::move(reader)](int d, std::string_view s) { return hs::readsData(reader, d)(s); });
}

}  // namespace internal

/// @}
}  // namespace ambrel

// ---- Lifted equality and ordering -----------------------------------------------------------

/// The lifted equality: the first values by eq1, the second by eq2; different constructors are
/// unequal without a call, and the second values of two Ambrel are compared only after equal
/// first values.
template <class A, class B>
struct hs::Eq2<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class E1, class E2, class C, class D>
  [[nodiscard]] static bool liftEq2(E1&& eq1, E2&& eq2, const ambrel::Ambrel<A, B>& x,
                      const ambrel::Ambrel<C, D>& y) {
    return ambrel::internal::equalWith(eq1, eq2, x, y);
  }
};
/// The first values by A's ==, the second values by eq.
template <class A, class B>
struct hs::Eq1<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class E, class D>
  [[nodiscard]] static bool liftEq(E&& eq, const ambrel::Ambrel<A, B>& x, const ambrel::Ambrel<A, D>& y) {
    hs::Equal own;
    return ambrel::internal::equalWith(own, eq, x, y);
  }
};
/// The lifted ordering: the constructor index first, then the first values by cmp1 and the
/// second by cmp2.
template <class A, class B>
struct hs::Ord2<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class C1, class C2, class C, class D>
  [[nodiscard]] static hs::Ordering liftCompare2(C1&& cmp1, C2&& cmp2, const ambrel::Ambrel<A, B>& x,
                                   const ambrel::Ambrel<C, D>& y) {
    return ambrel::internal::compareWith(cmp1, cmp2, x, y);
  }
};
/// The first values by A's compare, the second values by cmp.
template <class A, class B>
struct hs::Ord1<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class C, class D>
  [[nodiscard]] static hs::Ordering liftCompare(C&& cmp, const ambrel::Ambrel<A, B>& x,
                                  const ambrel::Ambrel<A, D>& y) {
    hs::Compare own;
    return ambrel::internal::compareWith(own, cmp, x, y);
  }
};

// ---- Text writers ---------------------------------------------------------------------------

/// The text form: "This a", "That b" or "Ambrel a b", the fields at precedence 11, in brackets
/// above precedence 10; forces the value and its fields as they are written.
template <class A, class B>
struct hs::Show<ambrel::Ambrel<A, B>> {
  /// \privatesection
  static void showsPrec(int d, const ambrel::Ambrel<A, B>& t, std::string& out) {
    hs::ShowsPrec own;
    ambrel::internal::showWith(own, own, d, t, out);
  }
};
/// The lifted text form: the first value by sp1, the second by sp2; the list writers are not
/// used.
template <class A, class B>
struct hs::Show2<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class SP1, class SL1, class SP2, class SL2>
  static void liftShowsPrec2(SP1&& sp1, SL1&&, SP2&& sp2, SL2&&, int d,
                             const ambrel::Ambrel<A, B>& t, std::string& out) {
    ambrel::internal::showWith(sp1, sp2, d, t, out);
  }
};
/// The first value by A's writer, the second by sp.
template <class A, class B>
struct hs::Show1<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&&, int d, const ambrel::Ambrel<A, B>& t,
                            std::string& out) {
    hs::ShowsPrec own;
    ambrel::internal::showWith(own, sp, d, t, out);
  }
};

// ---- Text readers ---------------------------------------------------------------------------

/// The reader of the text form: any number of enclosing brackets (precedence 0 inside); outside
/// them at most precedence 10; the three constructor forms offered together. The plain reader and
/// the lifted readers are separate readers that accept the same texts.
template <class A, class B>
struct hs::Read<ambrel::Ambrel<A, B>> {
  /// \privatesection
  [[nodiscard]] static hs::ReadPrec<ambrel::Ambrel<A, B>> readPrec() {
    namespace rp = hs::readprec;
    namespace I = ambrel::internal;
    using T = ambrel::Ambrel<A, B>;
    const hs::ReadPrec<A> ra = rp::step(hs::readPrec<A>());
    const hs::ReadPrec<B> rb = rp::step(hs::readPrec<B>());
    hs::ReadPrec<T> ofThis = rp::readUnaryWith(
        hs::readPrec<A>(), "This", [](A&& a) { return I::makeThis<A, B>(hs::Lazy<A>(std::move(a))); });
    hs::ReadPrec<T> ofThat = rp::readUnaryWith(
        hs::readPrec<B>(), "That", [](B&& b) { return I::makeThat<A, B>(hs::Lazy<B>(std::move(b))); });
    hs::ReadPrec<T> ofBoth = rp::then(
        rp::expectP(hs::Lexeme::Ident("Ambrel")), rp::bind(ra, [rb](A&& a) {
          return rp::fmap([ca = hs::Lazy<A>(std::move(a))](B&& b) { return T(ca, hs::Lazy<B>(std::move(b))); },
                          rb);
        }));
    return rp::readData(rp::alt(std::move(ofThis), std::move(ofThat), std::move(ofBoth)));
  }
};
/// The lifted readers: the one-token lexer under readParen; the list readers are not used.
template <class A, class B>
struct hs::Read2<ambrel::Ambrel<A, B>> {
  /// \privatesection
  [[nodiscard]] static hs::ReadPrec<ambrel::Ambrel<A, B>> liftReadPrec2(hs::ReadPrec<A> rp1,
                                                          hs::ReadPrec<std::vector<A>>,
                                                          hs::ReadPrec<B> rp2,
                                                          hs::ReadPrec<std::vector<B>>) {
    return ambrel::internal::liftedReader<A, B>(std::move(rp1), std::move(rp2));
  }
};
/// The first value by A's reader, the second by rp.
template <class A, class B>
struct hs::Read1<ambrel::Ambrel<A, B>> {
  /// \privatesection
  [[nodiscard]] static hs::ReadPrec<ambrel::Ambrel<A, B>> liftReadPrec(hs::ReadPrec<B> rp,
                                                         hs::ReadPrec<std::vector<B>>) {
    return ambrel::internal::liftedReader<A, B>(hs::readPrec<A>(), std::move(rp));
  }
};

/// @}
