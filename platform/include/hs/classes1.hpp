/// \defgroup hs_classes1 hs/classes1.hpp
/// \ingroup hsplatform
/// Lifted equality and ordering: the comparison of a structure given the comparison of its
/// elements, as callables.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "hs/internal/instance.hpp"
#include "hs/internal/nest.hpp"
#include "hs/unit.hpp"

namespace hs {
/// \addtogroup hs_classes1
/// @{

/// Lifted equality: specialise with `liftEq(eq, a, b)`.
template <class T, class Enable = void>
struct Eq1;
/// Lifted ordering: specialise with `liftCompare(cmp, a, b)`, where cmp gives an hs::Ordering.
template <class T, class Enable = void>
struct Ord1;
/// Lifted equality over two element types: specialise with `liftEq2(eq1, eq2, a, b)`.
template <class T, class Enable = void>
struct Eq2;
/// Lifted ordering over two element types: specialise with `liftCompare2(cmp1, cmp2, a, b)`.
template <class T, class Enable = void>
struct Ord2;

/// Whether T has an Eq1 instance (a specialisation of hs::Eq1 makes it a complete type). The
/// lifted wrappers (morvet::Fix, Mu, Nu) have == only where their layer has one.
template <class T>
concept Eq1Type = requires { sizeof(Eq1<T>); };
/// Whether T has an Ord1 instance (a specialisation of hs::Ord1 makes it a complete type). The
/// lifted wrappers (morvet::Fix, Mu, Nu) have <, <=, > and >= only where their layer has one.
template <class T>
concept Ord1Type = requires { sizeof(Ord1<T>); };

namespace detail {
// Whether T has the instance; where it has none, the build stops at this one message.
template <class T>
constexpr bool requireEq1() {
  static_assert(hasInstance<Eq1<T>>,
                "this type has no lifted equality: specialise hs::Eq1<F<A>> with "
                "static bool liftEq(eq, const F<A>&, const F<B>&), eq comparing an A with a B "
                "(an example: hs::Eq1<morvet::ListF<A, R>> in morvet/include/morvet/list_f.hpp)");
  return hasInstance<Eq1<T>>;
}
template <class T>
constexpr bool requireOrd1() {
  static_assert(hasInstance<Ord1<T>>,
                "this type has no lifted ordering: specialise hs::Ord1<F<A>> with "
                "static hs::Ordering liftCompare(cmp, const F<A>&, const F<B>&), cmp ordering an A "
                "and a B (an example: hs::Ord1<morvet::ListF<A, R>> in "
                "morvet/include/morvet/list_f.hpp)");
  return hasInstance<Ord1<T>>;
}
}  // namespace detail

/// Whether a and b are equal when their elements are compared with eq. The two structures may
/// hold different element types (`liftEq(eq, F<A>, F<B>)`); the instance is that of the first
/// operand's type (a type without one stops the build at one message naming hs::Eq1).
template <class E, class T, class U>
[[nodiscard]] bool liftEq(E&& eq, const T& a, const U& b) {
  if constexpr (detail::requireEq1<T>())
    return Eq1<T>::liftEq(std::forward<E>(eq), a, b);
  else
    return false;
}
/// The ordering of a and b when their elements are compared with cmp; the instance is that of the
/// first operand's type (a type without one stops the build at one message naming hs::Ord1).
template <class C, class T, class U>
[[nodiscard]] Ordering liftCompare(C&& cmp, const T& a, const U& b) {
  if constexpr (detail::requireOrd1<T>())
    return Ord1<T>::liftCompare(std::forward<C>(cmp), a, b);
  else
    return EQ;
}
/// Whether a and b are equal when their first elements are compared with eq1, their second with
/// eq2.
template <class E1, class E2, class T, class U>
[[nodiscard]] bool liftEq2(E1&& eq1, E2&& eq2, const T& a, const U& b) {
  return Eq2<T>::liftEq2(std::forward<E1>(eq1), std::forward<E2>(eq2), a, b);
}
/// The ordering of a and b when their first elements are compared with cmp1, their second with
/// cmp2.
template <class C1, class C2, class T, class U>
[[nodiscard]] Ordering liftCompare2(C1&& cmp1, C2&& cmp2, const T& a, const U& b) {
  return Ord2<T>::liftCompare2(std::forward<C1>(cmp1), std::forward<C2>(cmp2), a, b);
}

/// The element comparison by the element types' own ==.
struct Equal {
  /// a == b.
  template <class A, class B>
  bool operator()(const A& a, const B& b) const {
    return a == b;
  }
};
/// The element comparison by the element type's own < (hs::compare).
struct Compare {
  /// hs::compare(a, b).
  template <class A>
  Ordering operator()(const A& a, const A& b) const {
    return hs::compare(a, b);
  }
};

// The lifted instances call the caller's element comparison through hs::internal::nestedCall:
// elements may nest values of their own kind, and the comparison of each is then a recursive
// point of the stack helper.

/// Element by element from the front, stopping at the first unequal pair or where a list ends.
template <class A>
struct Eq1<std::vector<A>> {
  /// \privatesection
  template <class E, class B>
  [[nodiscard]] static bool liftEq(E&& eq, const std::vector<A>& a, const std::vector<B>& b) {
    for (std::size_t i = 0;; ++i) {
      if (i == a.size()) return i == b.size();
      if (i == b.size()) return false;
      if (!hs::internal::nestedCall<A, B>([&]() -> bool { return eq(a[i], b[i]); })) return false;
    }
  }
};
/// Lexicographic, stopping at the first unequal pair; a list that ends first is the smaller.
template <class A>
struct Ord1<std::vector<A>> {
  /// \privatesection
  template <class C, class B>
  [[nodiscard]] static Ordering liftCompare(C&& cmp, const std::vector<A>& a, const std::vector<B>& b) {
    for (std::size_t i = 0;; ++i) {
      if (i == a.size()) return i == b.size() ? EQ : LT;
      if (i == b.size()) return GT;
      const Ordering o =
          hs::internal::nestedCall<A, B>([&]() -> Ordering { return cmp(a[i], b[i]); });
      if (o != EQ) return o;
    }
  }
};
/// Both absent, or both present with equal values.
template <class A>
struct Eq1<std::optional<A>> {
  /// \privatesection
  template <class E, class B>
  [[nodiscard]] static bool liftEq(E&& eq, const std::optional<A>& a, const std::optional<B>& b) {
    if (!a || !b) return !a && !b;
    return hs::internal::nestedCall<A, B>([&]() -> bool { return eq(*a, *b); });
  }
};
/// Absent before present; two present values by cmp.
template <class A>
struct Ord1<std::optional<A>> {
  /// \privatesection
  template <class C, class B>
  [[nodiscard]] static Ordering liftCompare(C&& cmp, const std::optional<A>& a, const std::optional<B>& b) {
    if (!a) return b ? LT : EQ;
    if (!b) return GT;
    return hs::internal::nestedCall<A, B>([&]() -> Ordering { return cmp(*a, *b); });
  }
};
/// Both components equal; the second is compared only when the first ones are equal.
template <class A, class B>
struct Eq2<std::pair<A, B>> {
  /// \privatesection
  template <class E1, class E2, class C, class D>
  [[nodiscard]] static bool liftEq2(E1&& e1, E2&& e2, const std::pair<A, B>& x, const std::pair<C, D>& y) {
    return hs::internal::nestedCall<A, C>([&]() -> bool { return e1(x.first, y.first); }) &&
           hs::internal::nestedCall<B, D>([&]() -> bool { return e2(x.second, y.second); });
  }
};
/// Lexicographic: the second components are compared only when the first ones are equal.
template <class A, class B>
struct Ord2<std::pair<A, B>> {
  /// \privatesection
  template <class C1, class C2, class C, class D>
  [[nodiscard]] static Ordering liftCompare2(C1&& c1, C2&& c2, const std::pair<A, B>& x,
                               const std::pair<C, D>& y) {
    const auto first = [&]() -> Ordering { return c1(x.first, y.first); };
    const auto second = [&]() -> Ordering { return c2(x.second, y.second); };
    const Ordering o = hs::internal::nestedCall<A, C>(first);
    return o != EQ ? o : hs::internal::nestedCall<B, D>(second);
  }
};

/// @}
}  // namespace hs
