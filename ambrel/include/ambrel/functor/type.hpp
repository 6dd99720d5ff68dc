// The functor-level inclusive-or Ambrel1<F, G, A>: an F<A> part (This1), a G<A> part (That1), or
// both (Ambrel1), over type-constructor tags F and G (see hs/functor.hpp). Parts are lazy cells;
// the value itself is a handle to a shared node in a cell, so it may be a deferred computation.
#pragma once

#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "hs/functor.hpp"
#include "hs/lazy.hpp"

/// \addtogroup ambrel_functor
/// @{

namespace ambrel {
/// \addtogroup ambrel_functor
/// @{

template <class F, class G, class A>
class Ambrel1;
template <class FA>
class This1Value;
template <class GA>
class That1Value;

namespace internal::one {

[[noreturn]] void noFPart();
[[noreturn]] void noGPart();

template <class FA, class GA>
struct Node {
  std::uint8_t index;            // 0 This1, 1 That1, 2 Ambrel1
  std::optional<hs::Lazy<FA>> f;  // This1, Ambrel1
  std::optional<hs::Lazy<GA>> g;  // That1, Ambrel1
};

template <class T>
struct Plain {
  using type = T;
};
template <class T>
struct Plain<hs::Lazy<T>> {
  using type = T;
};
template <class X>
using PlainT = typename Plain<std::decay_t<X>>::type;

struct Access {
  template <class F, class G, class A>
  [[nodiscard]] static const auto& node(const Ambrel1<F, G, A>& v) {
    return v.cell_.force();
  }
};

template <class F, class G, class A>
[[nodiscard]] Ambrel1<F, G, A> this1(hs::Lazy<typename F::template apply<A>> x) {
  return Ambrel1<F, G, A>(This1Value<typename F::template apply<A>>(std::move(x)));
}
template <class F, class G, class A>
[[nodiscard]] Ambrel1<F, G, A> that1(hs::Lazy<typename G::template apply<A>> y) {
  return Ambrel1<F, G, A>(That1Value<typename G::template apply<A>>(std::move(y)));
}

}  // namespace internal::one

/// The inclusive-or of an `F<A>` part and a `G<A>` part. Immutable, shared, thread-safe. A value
/// is a handle to one node in a shared cell (copying copies a pointer); building one allocates
/// its node cell, and a cell for each part given as a plain value.
template <class F, class G, class A>
class Ambrel1 {
 public:
  using FA = typename F::template apply<A>;  ///< The first part's type, `F<A>`.
  using GA = typename G::template apply<A>;  ///< The second part's type, `G<A>`.
  using value_type = A;                      ///< The element type.

  /// Ambrel1 x y; each part a value or a cell, not evaluated.
  Ambrel1(hs::Lazy<FA> x, hs::Lazy<GA> y) : cell_(Node{2, std::move(x), std::move(y)}) {}
  /// @{
  /// This1 x and That1 y (see ambrel::This1, ambrel::That1).
  template <class X>
    requires std::is_same_v<X, FA>
  Ambrel1(const This1Value<X>& t)  // NOLINT(google-explicit-constructor)
      : cell_(Node{0, t.value(), std::nullopt}) {}
  template <class Y>
    requires std::is_same_v<Y, GA>
  Ambrel1(const That1Value<Y>& t)  // NOLINT(google-explicit-constructor)
      : cell_(Node{1, std::nullopt, t.value()}) {}
  /// @}

  /// The value f() computes, computed when first demanded (at most once).
  template <class Fn>
  [[nodiscard]] static Ambrel1 defer(Fn fn) {
    return Ambrel1(hs::Lazy<Node>::defer([fn = std::move(fn)]() mutable -> Node {
      const Ambrel1 r = fn();
      return r.cell_.force();
    }));
  }

  /// 0 This1, 1 That1, 2 Ambrel1 (evaluates the value).
  [[nodiscard]] int index() const { return cell_.force().index; }
  /// @{
  /// The `F<A>` part of This1 and Ambrel1, the `G<A>` part of That1 and Ambrel1; asking for a part
  /// the value lacks is a program error. Evaluates the value, not the part.
  [[nodiscard]] const hs::Lazy<FA>& fPart() const {
    const Node& n = cell_.force();
    if (!n.f) internal::one::noFPart();
    return *n.f;
  }
  [[nodiscard]] const hs::Lazy<GA>& gPart() const {
    const Node& n = cell_.force();
    if (!n.g) internal::one::noGPart();
    return *n.g;
  }
  /// @}
  /// True once the value is known (it is not a pending or failed computation).
  [[nodiscard]] bool evaluated() const noexcept { return cell_.evaluated(); }
  /// The identity of the value's cell.
  [[nodiscard]] const void* identity() const noexcept { return cell_.identity(); }

 private:
  using Node = internal::one::Node<FA, GA>;
  friend struct internal::one::Access;
  explicit Ambrel1(hs::Lazy<Node> c) noexcept : cell_(std::move(c)) {}

  hs::Lazy<Node> cell_;
};

/// The tags and element type of Ambrel1(x, y) from the parts: a value's own type, T for a cell
/// hs::Lazy<T>.
template <class X, class Y>
Ambrel1(X, Y) -> Ambrel1<hs::TagOfT<internal::one::PlainT<X>>, hs::TagOfT<internal::one::PlainT<Y>>,
                         hs::ElementOf<internal::one::PlainT<X>>>;

/// An `F<A>` part waiting for its other functor: converts to `Ambrel1<F, G, A>` (This1) for any G.
template <class FA>
class This1Value {
 public:
  /// The waiting part (the cell is kept, not evaluated).
  explicit This1Value(hs::Lazy<FA> x) noexcept : value_(std::move(x)) {}
  /// The part's cell.
  [[nodiscard]] const hs::Lazy<FA>& value() const noexcept { return value_; }

 private:
  hs::Lazy<FA> value_;
};
/// A `G<A>` part waiting for its other functor: converts to `Ambrel1<F, G, A>` (That1) for any F.
template <class GA>
class That1Value {
 public:
  /// The waiting part (the cell is kept, not evaluated).
  explicit That1Value(hs::Lazy<GA> y) noexcept : value_(std::move(y)) {}
  /// The part's cell.
  [[nodiscard]] const hs::Lazy<GA>& value() const noexcept { return value_; }

 private:
  hs::Lazy<GA> value_;
};

/// This1 x: with the other functor's tag given (`This1<G>(x)`) an Ambrel1 (x's own tag found by
/// hs::TagOf); otherwise a This1Value.
template <class G = void, class X>
[[nodiscard]] auto This1(X&& x) {
  using FA = internal::one::PlainT<X>;
  This1Value<FA> v{hs::Lazy<FA>(std::forward<X>(x))};
  if constexpr (std::is_void_v<G>)
    return v;
  else
    return Ambrel1<hs::TagOfT<FA>, G, hs::ElementOf<FA>>(v);
}
/// That1 y: likewise, `That1<F>(y)` an Ambrel1.
template <class F = void, class Y>
[[nodiscard]] auto That1(Y&& y) {
  using GA = internal::one::PlainT<Y>;
  That1Value<GA> v{hs::Lazy<GA>(std::forward<Y>(y))};
  if constexpr (std::is_void_v<F>)
    return v;
  else
    return Ambrel1<F, hs::TagOfT<GA>, hs::ElementOf<GA>>(v);
}

/// Identity of values: the same cell, whatever types view it.
template <class F, class G, class A, class F2, class G2, class A2>
[[nodiscard]] bool ptrEq(const Ambrel1<F, G, A>& x, const Ambrel1<F2, G2, A2>& y) noexcept {
  return x.identity() == y.identity();
}

/// Ambrel1 F G as a type constructor.
template <class F, class G>
struct Ambrel1Tag {
  /// `Ambrel1<F, G, X>`.
  template <class X>
  using apply = Ambrel1<F, G, X>;
};

/// @}
}  // namespace ambrel

/// `Ambrel1<F, G, A>` is `Ambrel1Tag<F, G>` applied to A.
template <class F, class G, class A>
struct hs::TagOf<ambrel::Ambrel1<F, G, A>> {
  /// \privatesection
  using type = ambrel::Ambrel1Tag<F, G>;
  using value_type = A;
};

/// @}
