/// \defgroup hs_nfdata hs/nfdata.hpp
/// \ingroup hsplatform
/// Deep evaluation: `rnf` forces every deferred value inside a value, all the way down.
#pragma once

#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/internal/instance.hpp"
#include "hs/lazy.hpp"
#include "hs/list.hpp"
#include "hs/stack.hpp"
#include "hs/unit.hpp"

namespace hs {
/// \addtogroup hs_nfdata
/// @{

template <class A, class B>
class Either;

/// Deep evaluation: specialise with `static void rnf(const T&)`. Types that hold no deferred
/// value need nothing: the primary template does nothing for them (scalars, strings, Unit,
/// Ordering). A type that holds deferred values, directly or in its fields, must have its own
/// instance.
template <class T, class Enable = void>
struct NFData {
  /// Nothing to force.
  static void rnf(const T&) noexcept {}
};
/// Lifted deep evaluation: specialise with `liftRnf(r, x)`, which applies r to every element of x.
template <class T, class Enable = void>
struct NFData1;
/// Lifted deep evaluation over two element types: specialise with `liftRnf2(r1, r2, x)`, which
/// applies r1 and r2 to the two kinds of element.
template <class T, class Enable = void>
struct NFData2;

/// Forces every deferred value inside x, by T's NFData instance. The deferred computations run
/// on this thread; values nest through here, so nesting goes through the stack helper and its
/// depth is bounded by memory.
template <class T>
void rnf(const T& x) {
  if constexpr (hs::mayNest<T>)
    hs::withStack([&] { NFData<T>::rnf(x); });
  else
    NFData<T>::rnf(x);
}
namespace detail {
// Whether T has an NFData1 instance; where it has none, the build stops at this one message.
template <class T>
constexpr bool requireNFData1() {
  static_assert(hasInstance<NFData1<T>>,
                "this type has no lifted deep evaluation: specialise hs::NFData1<F<A>> with "
                "static void liftRnf(r, const F<A>&), r applied to every element (an example: "
                "hs::NFData1<morvet::ListF<A, R>> in morvet/include/morvet/list_f.hpp)");
  return hasInstance<NFData1<T>>;
}
}  // namespace detail

/// r applied to every element of x, by T's NFData1 instance (which forces x's own structure as it
/// goes; a type without one stops the build at one message naming hs::NFData1).
template <class R, class T>
void liftRnf(R&& r, const T& x) {
  if constexpr (detail::requireNFData1<T>()) NFData1<T>::liftRnf(std::forward<R>(r), x);
}
/// r1 and r2 applied to the two kinds of element of x, by T's NFData2 instance.
template <class R1, class R2, class T>
void liftRnf2(R1&& r1, R2&& r2, const T& x) {
  NFData2<T>::liftRnf2(std::forward<R1>(r1), std::forward<R2>(r2), x);
}
/// A callable that deep-evaluates with the element type's own NFData.
struct Rnf {
  /// hs::rnf(x).
  template <class T>
  void operator()(const T& x) const {
    hs::rnf(x);
  }
};
/// b (copied or moved out), after a has been deep-evaluated.
template <class A, class B>
[[nodiscard]] std::decay_t<B> deepseq(const A& a, B&& b) {
  hs::rnf(a);
  return std::forward<B>(b);
}
/// The value itself, deep-evaluated first.
template <class T>
const T& force(const T& x) {
  hs::rnf(x);
  return x;
}

/// The cell forced, then its value deep-evaluated.
template <class A>
struct NFData<Lazy<A>> {
  /// \privatesection
  static void rnf(const Lazy<A>& x) { hs::rnf(x.force()); }
};
/// Every element, in order.
template <class A>
struct NFData1<std::vector<A>> {
  /// \privatesection
  template <class R>
  static void liftRnf(R&& r, const std::vector<A>& xs) {
    for (const A& x : xs) r(x);
  }
};
/// Every element, in order.
template <class A>
struct NFData<std::vector<A>> {
  /// \privatesection
  static void rnf(const std::vector<A>& xs) { NFData1<std::vector<A>>::liftRnf(Rnf{}, xs); }
};
/// Each cell forced in order, and its element given to r before the next cell is forced: a walk
/// in a loop (never returns for an endless list).
template <class A>
struct NFData1<List<A>> {
  /// \privatesection
  template <class R>
  static void liftRnf(R&& r, const List<A>& xs) {
    for (const A& x : xs) r(x);
  }
};
/// Each cell, then its element, in order (as NFData1).
template <class A>
struct NFData<List<A>> {
  /// \privatesection
  static void rnf(const List<A>& xs) { NFData1<List<A>>::liftRnf(Rnf{}, xs); }
};
/// The head, then the tail as a list.
template <class A>
struct NFData1<NonEmpty<A>> {
  /// \privatesection
  template <class R>
  static void liftRnf(R&& r, const NonEmpty<A>& xs) {
    r(xs.head);
    NFData1<List<A>>::liftRnf(r, xs.tail);
  }
};
/// The head, then the tail as a list.
template <class A>
struct NFData<NonEmpty<A>> {
  /// \privatesection
  static void rnf(const NonEmpty<A>& xs) { NFData1<NonEmpty<A>>::liftRnf(Rnf{}, xs); }
};
/// A present value.
template <class A>
struct NFData1<std::optional<A>> {
  /// \privatesection
  template <class R>
  static void liftRnf(R&& r, const std::optional<A>& x) {
    if (x) r(*x);
  }
};
/// A present value.
template <class A>
struct NFData<std::optional<A>> {
  /// \privatesection
  static void rnf(const std::optional<A>& x) { NFData1<std::optional<A>>::liftRnf(Rnf{}, x); }
};
/// The first component, then the second.
template <class A, class B>
struct NFData2<std::pair<A, B>> {
  /// \privatesection
  template <class R1, class R2>
  static void liftRnf2(R1&& r1, R2&& r2, const std::pair<A, B>& p) {
    r1(p.first);
    r2(p.second);
  }
};
/// The first component, then the second.
template <class A, class B>
struct NFData<std::pair<A, B>> {
  /// \privatesection
  static void rnf(const std::pair<A, B>& p) { NFData2<std::pair<A, B>>::liftRnf2(Rnf{}, Rnf{}, p); }
};
/// The one payload, by r1 for a Left and r2 for a Right.
template <class A, class B>
struct NFData2<Either<A, B>> {
  /// \privatesection
  template <class R1, class R2>
  static void liftRnf2(R1&& r1, R2&& r2, const Either<A, B>& e) {
    if (e.isLeft())
      r1(e.left());
    else
      r2(e.right());
  }
};
/// A Right's payload by r, a Left's by its own NFData.
template <class A, class B>
struct NFData1<Either<A, B>> {
  /// \privatesection
  template <class R>
  static void liftRnf(R&& r, const Either<A, B>& e) {
    NFData2<Either<A, B>>::liftRnf2(Rnf{}, std::forward<R>(r), e);
  }
};
/// The one payload.
template <class A, class B>
struct NFData<Either<A, B>> {
  /// \privatesection
  static void rnf(const Either<A, B>& e) { NFData2<Either<A, B>>::liftRnf2(Rnf{}, Rnf{}, e); }
};
/// Every component, in order.
template <class... A>
struct NFData<std::tuple<A...>> {
  /// \privatesection
  static void rnf(const std::tuple<A...>& t) {
    std::apply([](const A&... a) { (hs::rnf(a), ...); }, t);
  }
};

/// @}
}  // namespace hs
