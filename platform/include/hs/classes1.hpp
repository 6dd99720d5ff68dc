// Lifted equality and ordering: the comparison of a structure given the comparison of its
// elements, as callables.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "hs/unit.hpp"

namespace hs {

// Specialise with `liftEq(eq, a, b)` / `liftCompare(cmp, a, b)` (cmp gives an hs::Ordering), and
// the two-parameter forms with `liftEq2(eq1, eq2, a, b)` / `liftCompare2(cmp1, cmp2, a, b)`.
template <class T, class Enable = void>
struct Eq1;
template <class T, class Enable = void>
struct Ord1;
template <class T, class Enable = void>
struct Eq2;
template <class T, class Enable = void>
struct Ord2;

// The two structures may hold different element types (`liftEq(eq, F<A>, F<B>)`); the trait is
// that of the first operand's type.
template <class E, class T, class U>
[[nodiscard]] bool liftEq(E&& eq, const T& a, const U& b) {
  return Eq1<T>::liftEq(std::forward<E>(eq), a, b);
}
template <class C, class T, class U>
[[nodiscard]] Ordering liftCompare(C&& cmp, const T& a, const U& b) {
  return Ord1<T>::liftCompare(std::forward<C>(cmp), a, b);
}
template <class E1, class E2, class T, class U>
[[nodiscard]] bool liftEq2(E1&& eq1, E2&& eq2, const T& a, const U& b) {
  return Eq2<T>::liftEq2(std::forward<E1>(eq1), std::forward<E2>(eq2), a, b);
}
template <class C1, class C2, class T, class U>
[[nodiscard]] Ordering liftCompare2(C1&& cmp1, C2&& cmp2, const T& a, const U& b) {
  return Ord2<T>::liftCompare2(std::forward<C1>(cmp1), std::forward<C2>(cmp2), a, b);
}

// Callables comparing with the element type's own == and <.
struct Equal {
  template <class A, class B>
  bool operator()(const A& a, const B& b) const {
    return a == b;
  }
};
struct Compare {
  template <class A>
  Ordering operator()(const A& a, const A& b) const {
    return hs::compare(a, b);
  }
};

// Element by element from the front, stopping at the first unequal pair or where a list ends.
template <class A>
struct Eq1<std::vector<A>> {
  template <class E, class B>
  [[nodiscard]] static bool liftEq(E&& eq, const std::vector<A>& a, const std::vector<B>& b) {
    for (std::size_t i = 0;; ++i) {
      if (i == a.size()) return i == b.size();
      if (i == b.size()) return false;
      if (!eq(a[i], b[i])) return false;
    }
  }
};
// Lexicographic; a list that ends first is the smaller.
template <class A>
struct Ord1<std::vector<A>> {
  template <class C, class B>
  [[nodiscard]] static Ordering liftCompare(C&& cmp, const std::vector<A>& a, const std::vector<B>& b) {
    for (std::size_t i = 0;; ++i) {
      if (i == a.size()) return i == b.size() ? EQ : LT;
      if (i == b.size()) return GT;
      const Ordering o = cmp(a[i], b[i]);
      if (o != EQ) return o;
    }
  }
};
template <class A>
struct Eq1<std::optional<A>> {
  template <class E, class B>
  [[nodiscard]] static bool liftEq(E&& eq, const std::optional<A>& a, const std::optional<B>& b) {
    if (!a || !b) return !a && !b;
    return eq(*a, *b);
  }
};
// Absent before present.
template <class A>
struct Ord1<std::optional<A>> {
  template <class C, class B>
  [[nodiscard]] static Ordering liftCompare(C&& cmp, const std::optional<A>& a, const std::optional<B>& b) {
    if (!a) return b ? LT : EQ;
    if (!b) return GT;
    return cmp(*a, *b);
  }
};
template <class A, class B>
struct Eq2<std::pair<A, B>> {
  template <class E1, class E2, class C, class D>
  [[nodiscard]] static bool liftEq2(E1&& e1, E2&& e2, const std::pair<A, B>& x, const std::pair<C, D>& y) {
    return e1(x.first, y.first) && e2(x.second, y.second);
  }
};
// The second components are compared only when the first ones are equal.
template <class A, class B>
struct Ord2<std::pair<A, B>> {
  template <class C1, class C2, class C, class D>
  [[nodiscard]] static Ordering liftCompare2(C1&& c1, C2&& c2, const std::pair<A, B>& x,
                               const std::pair<C, D>& y) {
    const Ordering o = c1(x.first, y.first);
    return o != EQ ? o : c2(x.second, y.second);
  }
};

}  // namespace hs
