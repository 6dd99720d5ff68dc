// The inclusive-or value Ambrel<A, B>: a first value only (This), a second value only (That), or
// both (Ambrel), with lazy fields. The node keeps its field cells without their types, each in a
// slot as wide as the widest hs::Lazy: its layout depends on neither field type, so a node whose
// absent side changes type is the same node at the new type.
#pragma once

#include <cassert>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/unit.hpp"

/// \addtogroup ambrel_ambrel
/// @{

namespace ambrel {
/// \addtogroup ambrel_ambrel
/// @{

template <class A, class B>
class Ambrel;
template <class A>
class ThisValue;
template <class B>
class ThatValue;

namespace internal {

// Program errors of the field accessors (valid code never reaches them).
[[noreturn]] void noHere();
[[noreturn]] void noThere();

// One field cell kept without its type; the node's shape says which type it holds.
class Slot {
 public:
  Slot() noexcept = default;
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;

  template <class X>
  void emplace(hs::Lazy<X> x) noexcept {
    static_assert(sizeof(hs::Lazy<X>) <= sizeof(bytes_) && alignof(hs::Lazy<X>) <= alignof(Slot));
    ::new (static_cast<void*>(bytes_)) hs::Lazy<X>(std::move(x));
  }
  template <class X>
  const hs::Lazy<X>& get() const noexcept {
    return *std::launder(reinterpret_cast<const hs::Lazy<X>*>(bytes_));
  }
  template <class X>
  hs::Lazy<X>& get() noexcept {
    return *std::launder(reinterpret_cast<hs::Lazy<X>*>(bytes_));
  }
  template <class X>
  void destroy() noexcept {
    get<X>().~Lazy();
  }

 private:
  // Room for any handle: one that may hold a small value itself is two words.
  alignas(void*) unsigned char bytes_[hs::detail::maxHandleBytes];
};

// The constructor (0 This, 1 That, 2 Ambrel) and its field cells. The shape's operations know
// the types the fields were stored with; they travel with the node, whatever type views it.
struct Node {
  struct Shape {
    void (*copy)(const Node& from, Node& to) noexcept;
    void (*move)(Node& from, Node& to) noexcept;
    void (*destroy)(Node& n) noexcept;
  };

  const Shape* shape;
  std::uint8_t index;
  Slot here;   // This, Ambrel
  Slot there;  // That, Ambrel

  Node(const Shape* s, std::uint8_t i) noexcept : shape(s), index(i) {}
  Node(const Node& n) noexcept : shape(n.shape), index(n.index) { shape->copy(n, *this); }
  Node(Node&& n) noexcept : shape(n.shape), index(n.index) { shape->move(n, *this); }
  Node& operator=(const Node&) = delete;
  ~Node() { shape->destroy(*this); }
};

template <class A>
struct ThisShape {
  static void copy(const Node& f, Node& t) noexcept { t.here.emplace<A>(f.here.get<A>()); }
  static void move(Node& f, Node& t) noexcept { t.here.emplace<A>(std::move(f.here.get<A>())); }
  static void destroy(Node& n) noexcept { n.here.destroy<A>(); }
  static constexpr Node::Shape shape{&copy, &move, &destroy};
};
template <class B>
struct ThatShape {
  static void copy(const Node& f, Node& t) noexcept { t.there.emplace<B>(f.there.get<B>()); }
  static void move(Node& f, Node& t) noexcept { t.there.emplace<B>(std::move(f.there.get<B>())); }
  static void destroy(Node& n) noexcept { n.there.destroy<B>(); }
  static constexpr Node::Shape shape{&copy, &move, &destroy};
};
template <class A, class B>
struct BothShape {
  static void copy(const Node& f, Node& t) noexcept {
    t.here.emplace<A>(f.here.get<A>());
    t.there.emplace<B>(f.there.get<B>());
  }
  static void move(Node& f, Node& t) noexcept {
    t.here.emplace<A>(std::move(f.here.get<A>()));
    t.there.emplace<B>(std::move(f.there.get<B>()));
  }
  static void destroy(Node& n) noexcept {
    n.here.destroy<A>();
    n.there.destroy<B>();
  }
  static constexpr Node::Shape shape{&copy, &move, &destroy};
};

template <class A>
[[nodiscard]] hs::Lazy<Node> thisCell(hs::Lazy<A> a) {
  Node n(&ThisShape<A>::shape, 0);
  n.here.emplace<A>(std::move(a));
  return hs::Lazy<Node>(std::move(n));
}
template <class B>
[[nodiscard]] hs::Lazy<Node> thatCell(hs::Lazy<B> b) {
  Node n(&ThatShape<B>::shape, 1);
  n.there.emplace<B>(std::move(b));
  return hs::Lazy<Node>(std::move(n));
}
template <class A, class B>
[[nodiscard]] hs::Lazy<Node> bothCell(hs::Lazy<A> a, hs::Lazy<B> b) {
  Node n(&BothShape<A, B>::shape, 2);
  n.here.emplace<A>(std::move(a));
  n.there.emplace<B>(std::move(b));
  return hs::Lazy<Node>(std::move(n));
}

// The value type behind a value or a cell.
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

// What a caller's function gives for field values (or for the cells, under hs::onCells).
template <class F, class... A>
struct ResultOfCall {
  using type = std::remove_cvref_t<std::invoke_result_t<F&, const A&...>>;
};
template <class F, class... A>
struct ResultOfCall<hs::OnCells<F>, A...> {
  using type = PlainT<std::invoke_result_t<F&, const hs::Lazy<A>&...>>;
};
template <class F, class... A>
using ResultOf = typename ResultOfCall<std::decay_t<F>, A...>::type;

// A cell for an argument that is a value or already a cell (kept as it is).
template <class T, class X>
[[nodiscard]] hs::Lazy<T> cellOf(X&& x) {
  return hs::Lazy<T>(std::forward<X>(x));
}

struct Deduced {};

struct Access {
  template <class A, class B>
  [[nodiscard]] static Ambrel<A, B> make(hs::Lazy<Node> cell) noexcept {
    return Ambrel<A, B>(std::move(cell));
  }
  template <class A, class B>
  [[nodiscard]] static const hs::Lazy<Node>& cell(const Ambrel<A, B>& t) noexcept {
    return t.cell_;
  }
  template <class A, class B>
  [[nodiscard]] static const Node& node(const Ambrel<A, B>& t) {
    return t.cell_.force();
  }
};

template <class A, class B>
[[nodiscard]] Ambrel<A, B> makeThis(hs::Lazy<A> a) {
  return Access::make<A, B>(internal::thisCell<A>(std::move(a)));
}
template <class A, class B>
[[nodiscard]] Ambrel<A, B> makeThat(hs::Lazy<B> b) {
  return Access::make<A, B>(internal::thatCell<B>(std::move(b)));
}
template <class A, class B>
[[nodiscard]] Ambrel<A, B> makeBoth(hs::Lazy<A> a, hs::Lazy<B> b) {
  return Access::make<A, B>(internal::bothCell<A, B>(std::move(a), std::move(b)));
}
// The same value (the same cell) at another type. Only for a node whose present sides keep their
// types in T (a This node keeps its first type, a That node its second).
template <class T, class A, class B>
[[nodiscard]] T view(const Ambrel<A, B>& t) noexcept {
  return Access::make<typename T::first_type, typename T::second_type>(Access::cell(t));
}

}  // namespace internal

/// The inclusive-or of A and B. Values are immutable, shared, and safe to use from any number of
/// threads at once. There is no empty value: every value is one of the three constructors.
///
/// A value is a handle to one shared, immutable node in an hs::Lazy cell, so the value itself may
/// be a deferred computation and copying it copies one pointer. Building a value allocates its
/// node cell, and a cell for each field given as a plain value. An operation that returns "its
/// input" returns the very cell it was given, also under a changed type (see ptrEq).
template <class A, class B>
class Ambrel {
 public:
  using first_type = A;   ///< The type of the first value.
  using second_type = B;  ///< The type of the second value.

  /// The both-value, Ambrel a b; each field a value or a cell (kept as given, not evaluated).
  Ambrel(hs::Lazy<A> a, hs::Lazy<B> b)
      : cell_(internal::bothCell<A, B>(std::move(a), std::move(b))) {}
  /// @{
  /// This a and That b (see ambrel::This, ambrel::That); a field of another type is converted
  /// when it is demanded.
  template <class X>
    requires(std::is_same_v<X, A> || std::is_convertible_v<const X&, A>)
  Ambrel(const ThisValue<X>& t)  // NOLINT(google-explicit-constructor)
      : cell_(internal::thisCell<A>(converted<A>(t.value()))) {}
  template <class Y>
    requires(std::is_same_v<Y, B> || std::is_convertible_v<const Y&, B>)
  Ambrel(const ThatValue<Y>& t)  // NOLINT(google-explicit-constructor)
      : cell_(internal::thatCell<B>(converted<B>(t.value()))) {}
  /// @}

  /// The value f() computes, computed when first demanded (at most once).
  template <class F>
  [[nodiscard]] static Ambrel defer(F f) {
    return Ambrel(hs::Lazy<internal::Node>::defer([f = std::move(f)]() mutable -> internal::Node {
      const Ambrel r = f();
      return r.cell_.force();
    }));
  }

  /// The constructor index: 0 This, 1 That, 2 Ambrel (evaluates the value).
  [[nodiscard]] int index() const { return node().index; }
  /// @{
  /// The first value's cell, of This and Ambrel; the second value's, of That and Ambrel. Asking a
  /// value for a side it lacks is a program error. Evaluates the value, not the field.
  [[nodiscard]] const hs::Lazy<A>& here() const {
    const internal::Node& n = node();
    if (n.index == 1) internal::noHere();
    assert((n.shape == &internal::ThisShape<A>::shape || n.shape == &internal::BothShape<A, B>::shape));
    return n.here.template get<A>();
  }
  [[nodiscard]] const hs::Lazy<B>& there() const {
    const internal::Node& n = node();
    if (n.index == 0) internal::noThere();
    assert((n.shape == &internal::ThatShape<B>::shape || n.shape == &internal::BothShape<A, B>::shape));
    return n.there.template get<B>();
  }
  /// @}

  /// True once the value is known (it is not a pending or failed computation).
  [[nodiscard]] bool evaluated() const noexcept { return cell_.evaluated(); }
  /// The identity of the value's cell.
  [[nodiscard]] const void* identity() const noexcept { return cell_.identity(); }

 private:
  friend struct internal::Access;
  explicit Ambrel(hs::Lazy<internal::Node> c) noexcept : cell_(std::move(c)) {}
  [[nodiscard]] const internal::Node& node() const { return cell_.force(); }
  template <class T, class X>
  [[nodiscard]] static hs::Lazy<T> converted(const hs::Lazy<X>& x) {
    if constexpr (std::is_same_v<T, X>)
      return x;
    else
      return hs::Lazy<T>::apply([](const X& v) { return T(v); }, x);
  }

  hs::Lazy<internal::Node> cell_;
};

/// The field types of Ambrel(a, b) from the arguments: a value's own type, T for a cell
/// hs::Lazy<T>.
template <class X, class Y>
Ambrel(X, Y) -> Ambrel<internal::PlainT<X>, internal::PlainT<Y>>;

/// A first value waiting for its second type: converts to `Ambrel<A, B>` (This a) for any B.
template <class A>
class ThisValue {
 public:
  /// The waiting first value (the cell is kept, not evaluated).
  explicit ThisValue(hs::Lazy<A> a) noexcept : value_(std::move(a)) {}
  /// The first value's cell.
  [[nodiscard]] const hs::Lazy<A>& value() const noexcept { return value_; }

 private:
  hs::Lazy<A> value_;
};
/// A second value waiting for its first type: converts to `Ambrel<A, B>` (That b) for any A.
template <class B>
class ThatValue {
 public:
  /// The waiting second value (the cell is kept, not evaluated).
  explicit ThatValue(hs::Lazy<B> b) noexcept : value_(std::move(b)) {}
  /// The second value's cell.
  [[nodiscard]] const hs::Lazy<B>& value() const noexcept { return value_; }

 private:
  hs::Lazy<B> value_;
};

/// This a. With both types given (`This<A, B>(a)`) the result is an `Ambrel<A, B>`; otherwise it
/// is a ThisValue that converts to any `Ambrel<A, _>`. The field is a value or a cell (kept as
/// given).
template <class A = internal::Deduced, class B = internal::Deduced, class X>
[[nodiscard]] auto This(X&& a) {
  using T = std::conditional_t<std::is_same_v<A, internal::Deduced>, internal::PlainT<X>, A>;
  if constexpr (std::is_same_v<B, internal::Deduced>)
    return ThisValue<T>(internal::cellOf<T>(std::forward<X>(a)));
  else
    return internal::makeThis<T, B>(internal::cellOf<T>(std::forward<X>(a)));
}
/// That b. With the first type given (`That<A>(b)`) the result is an `Ambrel<A, B>`; otherwise it
/// is a ThatValue that converts to any `Ambrel<_, B>`.
template <class A = internal::Deduced, class B = internal::Deduced, class Y>
[[nodiscard]] auto That(Y&& b) {
  using T = std::conditional_t<std::is_same_v<B, internal::Deduced>, internal::PlainT<Y>, B>;
  if constexpr (std::is_same_v<A, internal::Deduced>)
    return ThatValue<T>(internal::cellOf<T>(std::forward<Y>(b)));
  else
    return internal::makeThat<A, T>(internal::cellOf<T>(std::forward<Y>(b)));
}

/// Identity of values: the same cell, whatever types view it.
template <class A, class B, class C, class D>
[[nodiscard]] bool ptrEq(const Ambrel<A, B>& x, const Ambrel<C, D>& y) noexcept {
  return x.identity() == y.identity();
}

/// Ambrel a as a type constructor in its second type: the tag of its one-parameter classes.
template <class A>
struct AmbrelTag {
  /// `Ambrel<A, X>`.
  template <class X>
  using apply = Ambrel<A, X>;
};
/// Ambrel as a two-parameter type constructor: the tag of its two-parameter classes.
struct AmbrelTag2 {
  /// `Ambrel<A, B>`.
  template <class A, class B>
  using apply = Ambrel<A, B>;
};

/// @}
}  // namespace ambrel

/// `Ambrel<A, B>` is AmbrelTag<A> applied to B.
template <class A, class B>
struct hs::TagOf<ambrel::Ambrel<A, B>> {
  /// \privatesection
  using type = ambrel::AmbrelTag<A>;
  using value_type = B;
};

/// @}
