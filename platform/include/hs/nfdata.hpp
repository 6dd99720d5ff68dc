// Deep evaluation: `rnf` forces every deferred value inside a value, all the way down.
#pragma once

#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/lazy.hpp"
#include "hs/list.hpp"
#include "hs/stack.hpp"
#include "hs/unit.hpp"

namespace hs {

template <class A, class B>
class Either;

// Specialise with `static void rnf(const T&)`. Types that hold no deferred value need nothing:
// the primary template does nothing for them (scalars, strings, Unit, Ordering). A type that
// holds deferred values, directly or in its fields, must have its own instance.
template <class T, class Enable = void>
struct NFData {
  static void rnf(const T&) noexcept {}
};
// Lifted forms: `liftRnf(r, x)` applies r to every element of x; `liftRnf2(r1, r2, x)` to both
// kinds of element.
template <class T, class Enable = void>
struct NFData1;
template <class T, class Enable = void>
struct NFData2;

// Values nest through here (a type's rnf calls it for its parts), so it is a recursive point.
template <class T>
void rnf(const T& x) {
  if constexpr (hs::mayNest<T>)
    hs::withStack([&] { NFData<T>::rnf(x); });
  else
    NFData<T>::rnf(x);
}
template <class R, class T>
void liftRnf(R&& r, const T& x) {
  NFData1<T>::liftRnf(std::forward<R>(r), x);
}
template <class R1, class R2, class T>
void liftRnf2(R1&& r1, R2&& r2, const T& x) {
  NFData2<T>::liftRnf2(std::forward<R1>(r1), std::forward<R2>(r2), x);
}
// A callable that deep-evaluates with the element type's own NFData.
struct Rnf {
  template <class T>
  void operator()(const T& x) const {
    hs::rnf(x);
  }
};
// b, after a has been deep-evaluated.
template <class A, class B>
[[nodiscard]] std::decay_t<B> deepseq(const A& a, B&& b) {
  hs::rnf(a);
  return std::forward<B>(b);
}
// The value itself, deep-evaluated first.
template <class T>
const T& force(const T& x) {
  hs::rnf(x);
  return x;
}

template <class A>
struct NFData<Lazy<A>> {
  static void rnf(const Lazy<A>& x) { hs::rnf(x.force()); }
};
template <class A>
struct NFData1<std::vector<A>> {
  template <class R>
  static void liftRnf(R&& r, const std::vector<A>& xs) {
    for (const A& x : xs) r(x);
  }
};
template <class A>
struct NFData<std::vector<A>> {
  static void rnf(const std::vector<A>& xs) { NFData1<std::vector<A>>::liftRnf(Rnf{}, xs); }
};
// The whole spine, then (per cell, in order) the element: a walk in a loop.
template <class A>
struct NFData1<List<A>> {
  template <class R>
  static void liftRnf(R&& r, const List<A>& xs) {
    for (const A& x : xs) r(x);
  }
};
template <class A>
struct NFData<List<A>> {
  static void rnf(const List<A>& xs) { NFData1<List<A>>::liftRnf(Rnf{}, xs); }
};
template <class A>
struct NFData1<NonEmpty<A>> {
  template <class R>
  static void liftRnf(R&& r, const NonEmpty<A>& xs) {
    r(xs.head);
    NFData1<List<A>>::liftRnf(r, xs.tail);
  }
};
template <class A>
struct NFData<NonEmpty<A>> {
  static void rnf(const NonEmpty<A>& xs) { NFData1<NonEmpty<A>>::liftRnf(Rnf{}, xs); }
};
template <class A>
struct NFData1<std::optional<A>> {
  template <class R>
  static void liftRnf(R&& r, const std::optional<A>& x) {
    if (x) r(*x);
  }
};
template <class A>
struct NFData<std::optional<A>> {
  static void rnf(const std::optional<A>& x) { NFData1<std::optional<A>>::liftRnf(Rnf{}, x); }
};
template <class A, class B>
struct NFData2<std::pair<A, B>> {
  template <class R1, class R2>
  static void liftRnf2(R1&& r1, R2&& r2, const std::pair<A, B>& p) {
    r1(p.first);
    r2(p.second);
  }
};
template <class A, class B>
struct NFData<std::pair<A, B>> {
  static void rnf(const std::pair<A, B>& p) { NFData2<std::pair<A, B>>::liftRnf2(Rnf{}, Rnf{}, p); }
};
template <class A, class B>
struct NFData2<Either<A, B>> {
  template <class R1, class R2>
  static void liftRnf2(R1&& r1, R2&& r2, const Either<A, B>& e) {
    if (e.isLeft())
      r1(e.left());
    else
      r2(e.right());
  }
};
template <class A, class B>
struct NFData1<Either<A, B>> {
  template <class R>
  static void liftRnf(R&& r, const Either<A, B>& e) {
    NFData2<Either<A, B>>::liftRnf2(Rnf{}, std::forward<R>(r), e);
  }
};
template <class A, class B>
struct NFData<Either<A, B>> {
  static void rnf(const Either<A, B>& e) { NFData2<Either<A, B>>::liftRnf2(Rnf{}, Rnf{}, e); }
};
template <class... A>
struct NFData<std::tuple<A...>> {
  static void rnf(const std::tuple<A...>& t) {
    std::apply([](const A&... a) { (hs::rnf(a), ...); }, t);
  }
};

}  // namespace hs
