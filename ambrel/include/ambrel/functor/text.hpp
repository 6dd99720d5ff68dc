// Equality, ordering and text forms of Ambrel1: plain ones over the parts as whole values, lifted
// ones through the inner functors' lifted operations and the caller's element function. Values
// of different constructors order This1 < That1 < Ambrel1; "This1 x", "That1 y", "Ambrel1 x y"
// with the parts at precedence 11, bracketed from precedence 11 up.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "ambrel/functor/type.hpp"
#include "hs/classes1.hpp"
#include "hs/internal/nest.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "hs/unit.hpp"

/// \addtogroup ambrel_functor
/// @{

namespace ambrel {
/// \addtogroup ambrel_functor
/// @{

namespace internal::one {

// The part type of a node's part cell.
template <class P>
using PartOf = std::remove_cvref_t<decltype(std::declval<const P&>()->force())>;

// The F parts, then (only when those are equal) the G parts, by eqF / eqG. Parts may nest values
// of their own kind: the comparison of each is a recursive point of the stack helper.
template <class EF, class EG, class NX, class NY>
[[nodiscard]] bool equalParts(EF&& eqF, EG&& eqG, const NX& x, const NY& y) {
  using FX = PartOf<decltype(x.f)>;
  using GX = PartOf<decltype(x.g)>;
  if (x.index != y.index) return false;
  const auto f = [&]() -> bool { return eqF(x.f->force(), y.f->force()); };
  const auto g = [&]() -> bool { return eqG(x.g->force(), y.g->force()); };
  if (x.f && !hs::internal::nestedCall<FX>(f)) return false;
  return !x.g || hs::internal::nestedCall<GX>(g);
}
template <class CF, class CG, class NX, class NY>
[[nodiscard]] hs::Ordering compareParts(CF&& cmpF, CG&& cmpG, const NX& x, const NY& y) {
  using FX = PartOf<decltype(x.f)>;
  using GX = PartOf<decltype(x.g)>;
  if (x.index != y.index) return x.index < y.index ? hs::LT : hs::GT;
  const auto f = [&]() -> hs::Ordering { return cmpF(x.f->force(), y.f->force()); };
  const auto g = [&]() -> hs::Ordering { return cmpG(x.g->force(), y.g->force()); };
  if (x.f) {
    const hs::Ordering o = hs::internal::nestedCall<FX>(f);
    if (o != hs::EQ || !x.g) return o;
  }
  return hs::internal::nestedCall<GX>(g);
}

// "This1 ", "That1 " or "Ambrel1 " and the parts by spF / spG at precedence 11.
template <class SF, class SG, class N>
void showParts(SF&& spF, SG&& spG, int d, const N& n, std::string& out) {
  hs::showParen(
      d > 10,
      [&](std::string& o) {
        o.append(n.index == 0 ? "This1 " : (n.index == 1 ? "That1 " : "Ambrel1 "));
        if (n.f) spF(n.f->force(), o);
        if (n.index == 2) o.push_back(' ');
        if (n.g) spG(n.g->force(), o);
      },
      out);
}

// readParen (d > 10) around one lexer token: the constructor word, then the parts read by rf / rg
// at precedence 11.
template <class F, class G, class A>
[[nodiscard]] hs::ReadPrec<Ambrel1<F, G, A>> reader(hs::ReadPrec<typename F::template apply<A>> rf,
                                      hs::ReadPrec<typename G::template apply<A>> rg) {
  using V = Ambrel1<F, G, A>;
  using FA = typename V::FA;
  using GA = typename V::GA;
  auto core = [rf = std::move(rf), rg = std::move(rg)](const std::string& token, std::string_view rest) {
    hs::ReadResult<V> out;
    if (token == "This1") {
      for (auto& [x, r] : rf(11, rest)) out.emplace_back(V(This1Value<FA>(std::move(x))), r);
    } else if (token == "That1") {
      for (auto& [y, r] : rg(11, rest)) out.emplace_back(V(That1Value<GA>(std::move(y))), r);
    } else if (token == "Ambrel1") {
      for (auto& [x, r1] : rf(11, rest)) {
        const hs::Lazy<FA> cx(std::move(x));
        for (auto& [y, r2] : rg(11, r1)) out.emplace_back(V(cx, std::move(y)), r2);
      }
    }
    return out;
  };
  return hs::ReadPrec<V>([core = std::move(core)](int d, std::string_view s) { return hs::readsData(core, d)(s); });
}

}  // namespace internal::one

/// Equal constructors with equal parts, each part by its own == as a whole value.
template <class F, class G, class A>
[[nodiscard]] bool operator==(const Ambrel1<F, G, A>& x, const Ambrel1<F, G, A>& y) {
  const auto& nx = internal::one::Access::node(x);
  const auto& ny = internal::one::Access::node(y);
  return internal::one::equalParts(hs::Equal{}, hs::Equal{}, nx, ny);
}
/// `!(x == y)`.
template <class F, class G, class A>
[[nodiscard]] bool operator!=(const Ambrel1<F, G, A>& x, const Ambrel1<F, G, A>& y) {
  return !(x == y);
}
/// This1 < That1 < Ambrel1, then the parts, the F part first, each by its own compare.
template <class F, class G, class A>
[[nodiscard]] hs::Ordering compare(const Ambrel1<F, G, A>& x, const Ambrel1<F, G, A>& y) {
  const auto& nx = internal::one::Access::node(x);
  const auto& ny = internal::one::Access::node(y);
  return internal::one::compareParts(hs::Compare{}, hs::Compare{}, nx, ny);
}
/// Whether a is less than b by compare, which it calls as compare(b, a) (the order its operands
/// are evaluated in).
template <class F, class G, class A>
[[nodiscard]] bool operator<(const Ambrel1<F, G, A>& a, const Ambrel1<F, G, A>& b) {
  return ambrel::compare(b, a) == hs::GT;
}
/// Whether a is at most b by compare, which it calls as compare(a, b).
template <class F, class G, class A>
[[nodiscard]] bool operator<=(const Ambrel1<F, G, A>& a, const Ambrel1<F, G, A>& b) {
  return ambrel::compare(a, b) != hs::GT;
}
/// Whether a is greater than b by compare, which it calls as compare(a, b).
template <class F, class G, class A>
[[nodiscard]] bool operator>(const Ambrel1<F, G, A>& a, const Ambrel1<F, G, A>& b) {
  return ambrel::compare(a, b) == hs::GT;
}
/// Whether a is at least b by compare, which it calls as compare(b, a).
template <class F, class G, class A>
[[nodiscard]] bool operator>=(const Ambrel1<F, G, A>& a, const Ambrel1<F, G, A>& b) {
  return ambrel::compare(b, a) != hs::GT;
}
/// a when it is greater, else b (b on a tie).
template <class F, class G, class A>
[[nodiscard]] const Ambrel1<F, G, A>& max(const Ambrel1<F, G, A>& a, const Ambrel1<F, G, A>& b) {
  return ambrel::compare(a, b) == hs::GT ? a : b;
}
/// b when a is greater, else a.
template <class F, class G, class A>
[[nodiscard]] const Ambrel1<F, G, A>& min(const Ambrel1<F, G, A>& a, const Ambrel1<F, G, A>& b) {
  return ambrel::compare(a, b) == hs::GT ? b : a;
}

/// @}
}  // namespace ambrel

/// The lifted equality: each part through its functor's liftEq with eq.
template <class F, class G, class A>
struct hs::Eq1<ambrel::Ambrel1<F, G, A>> {
  /// \privatesection
  template <class E, class B>
  [[nodiscard]] static bool liftEq(E&& eq, const ambrel::Ambrel1<F, G, A>& x, const ambrel::Ambrel1<F, G, B>& y) {
    return ambrel::internal::one::equalParts(
        [&eq](const auto& p, const auto& q) { return hs::liftEq(eq, p, q); },
        [&eq](const auto& p, const auto& q) { return hs::liftEq(eq, p, q); },
        ambrel::internal::one::Access::node(x), ambrel::internal::one::Access::node(y));
  }
};
/// The lifted ordering: This1 < That1 < Ambrel1, then each part through its functor's
/// liftCompare with cmp.
template <class F, class G, class A>
struct hs::Ord1<ambrel::Ambrel1<F, G, A>> {
  /// \privatesection
  template <class C, class B>
  [[nodiscard]] static hs::Ordering liftCompare(C&& cmp, const ambrel::Ambrel1<F, G, A>& x,
                                  const ambrel::Ambrel1<F, G, B>& y) {
    return ambrel::internal::one::compareParts(
        [&cmp](const auto& p, const auto& q) { return hs::liftCompare(cmp, p, q); },
        [&cmp](const auto& p, const auto& q) { return hs::liftCompare(cmp, p, q); },
        ambrel::internal::one::Access::node(x), ambrel::internal::one::Access::node(y));
  }
};

/// The text form: "This1 x", "That1 y" or "Ambrel1 x y" with the parts at precedence 11,
/// bracketed from precedence 11 up.
template <class F, class G, class A>
struct hs::Show<ambrel::Ambrel1<F, G, A>> {
  /// \privatesection
  static void showsPrec(int d, const ambrel::Ambrel1<F, G, A>& v, std::string& out) {
    auto part = [](const auto& p, std::string& o) { hs::showsPrec(11, p, o); };
    ambrel::internal::one::showParts(part, part, d, ambrel::internal::one::Access::node(v), out);
  }
};
/// The lifted text form: each part through its functor's liftShowsPrec with sp and sl.
template <class F, class G, class A>
struct hs::Show1<ambrel::Ambrel1<F, G, A>> {
  /// \privatesection
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&& sl, int d, const ambrel::Ambrel1<F, G, A>& v,
                            std::string& out) {
    auto part = [&](const auto& p, std::string& o) { hs::liftShowsPrec(sp, sl, 11, p, o); };
    ambrel::internal::one::showParts(part, part, d, ambrel::internal::one::Access::node(v), out);
  }
};

/// The reader of the text form.
template <class F, class G, class A>
struct hs::Read<ambrel::Ambrel1<F, G, A>> {
  /// \privatesection
  [[nodiscard]] static hs::ReadPrec<ambrel::Ambrel1<F, G, A>> readPrec() {
    using V = ambrel::Ambrel1<F, G, A>;
    return ambrel::internal::one::reader<F, G, A>(hs::readPrec<typename V::FA>(),
                                                  hs::readPrec<typename V::GA>());
  }
};
/// The lifted reader: each part through its functor's liftReadPrec with rp.
template <class F, class G, class A>
struct hs::Read1<ambrel::Ambrel1<F, G, A>> {
  /// \privatesection
  [[nodiscard]] static hs::ReadPrec<ambrel::Ambrel1<F, G, A>> liftReadPrec(hs::ReadPrec<A> rp,
                                                             hs::ReadPrec<std::vector<A>> rl) {
    using V = ambrel::Ambrel1<F, G, A>;
    return ambrel::internal::one::reader<F, G, A>(hs::liftReadPrec<typename V::FA>(rp, rl),
                                                  hs::liftReadPrec<typename V::GA>(rp, rl));
  }
};

/// @}
