/// \defgroup hs_semigroup hs/semigroup.hpp
/// \ingroup hsplatform
/// Semigroups and monoids: an associative combination, its neutral element, and the repetition
/// helpers with the base library's errors for bad counts.
#pragma once

#include <concepts>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/error.hpp"
#include "hs/list.hpp"
#include "hs/unit.hpp"

namespace hs {
/// \addtogroup hs_semigroup
/// @{

/// An associative combination: specialise with `static T mappend(const T&, const T&)` and
/// optionally `sconcat` / `stimes`, and `static bool absorbs(const T& a)` when some values are
/// left zeros (true when a <> b is a for every b): the folds of lazy lists stop at such a value.
template <class T, class Enable = void>
struct Semigroup;
/// A neutral element for the combination: specialise with `static T mempty()` and optionally
/// `mconcat`.
template <class T, class Enable = void>
struct Monoid;

/// a <> b, by T's Semigroup instance.
template <class T>
[[nodiscard]] T mappend(const T& a, const T& b) {
  return Semigroup<T>::mappend(a, b);
}
/// The neutral element, by T's Monoid instance.
template <class T>
[[nodiscard]] T mempty() {
  return Monoid<T>::mempty();
}

namespace detail {
// Whether a <> b is a for every b, as T's instance says (never, when it says nothing).
template <class T>
[[nodiscard]] bool absorbing(const T& a) {
  if constexpr (requires { Semigroup<T>::absorbs(a); })
    return Semigroup<T>::absorbs(a);
  else
    return false;
}
}  // namespace detail

/// The elements combined from the right, a <> (b <> (... <> z)), unless the type defines its own:
/// the tail is forced up to the first element that absorbs what follows it (see Semigroup), so
/// only a tail without one must be finite; one mappend per element before that one.
template <class T>
[[nodiscard]] T sconcat(const NonEmpty<T>& xs) {
  if constexpr (requires { Semigroup<T>::sconcat(xs); }) {
    return Semigroup<T>::sconcat(xs);
  } else {
    if (detail::absorbing(xs.head)) return xs.head;
    std::vector<const T*> rest;  // the cells stay alive in xs
    detail::ListAccess::visitWhile(xs.tail, [&rest](const T& x) {
      rest.push_back(&x);
      return !detail::absorbing(x);
    });
    if (rest.empty()) return xs.head;
    T acc = *rest.back();
    for (std::size_t i = rest.size() - 1; i > 0; --i) acc = hs::mappend(*rest[i - 1], acc);
    return hs::mappend(xs.head, acc);
  }
}
/// The elements combined from the right onto mempty (foldr mappend mempty), n mappends, unless the
/// type defines its own.
template <class T>
[[nodiscard]] T mconcat(const std::vector<T>& xs) {
  if constexpr (requires { Monoid<T>::mconcat(xs); }) {
    return Monoid<T>::mconcat(xs);
  } else {
    T acc = hs::mempty<T>();
    for (std::size_t i = xs.size(); i > 0; --i) acc = hs::mappend(xs[i - 1], acc);
    return acc;
  }
}

namespace detail {
// Count tests that stay quiet for unsigned count types.
template <std::integral N>
[[nodiscard]] constexpr bool negativeCount(N n) noexcept {
  if constexpr (std::is_signed_v<N>)
    return n < 0;
  else
    return false;
}
template <std::integral N>
[[nodiscard]] constexpr bool positiveCount(N n) noexcept {
  return n != 0 && !detail::negativeCount(n);
}
}  // namespace detail

/// The default repetition: x combined with itself n times by repeated squaring (at most 2 log2 n
/// mappends); a count that is not positive is a program error.
template <class T, std::integral N>
[[nodiscard]] T stimesDefault(N n, const T& x) {
  if (!detail::positiveCount(n)) errorWithoutStackTrace("stimes: positive multiplier expected");
  T base = x;
  auto k = n;
  while (k % 2 == 0) {
    base = hs::mappend(base, base);
    k /= 2;
  }
  if (k == 1) return base;
  T acc = base;
  k /= 2;
  base = hs::mappend(base, base);
  for (;;) {
    if (k % 2 == 1) {
      acc = hs::mappend(base, acc);
      if (k == 1) return acc;
    }
    k /= 2;
    base = hs::mappend(base, base);
  }
}
/// Repetition in a monoid: zero repetitions give mempty, more as stimesDefault; a negative count is
/// a program error.
template <class T, std::integral N>
[[nodiscard]] T stimesMonoid(N n, const T& x) {
  if (detail::negativeCount(n)) errorWithoutStackTrace("stimesMonoid: negative multiplier");
  if (n == 0) return hs::mempty<T>();
  return hs::stimesDefault(n, x);
}
/// Repetition of an idempotent value: the value itself for any positive count, without a mappend;
/// a count that is not positive is a program error.
template <class T, std::integral N>
[[nodiscard]] T stimesIdempotent(N n, const T& x) {
  if (!detail::positiveCount(n))
    errorWithoutStackTrace("stimesIdempotent: positive multiplier expected");
  return x;
}
/// Repetition of an idempotent value in a monoid: mempty for zero, the value for a positive count;
/// a negative count is a program error.
template <class T, std::integral N>
[[nodiscard]] T stimesIdempotentMonoid(N n, const T& x) {
  if (detail::negativeCount(n)) errorWithoutStackTrace("stimesIdempotentMonoid: negative multiplier");
  if (n == 0) return hs::mempty<T>();
  return x;
}

/// x repeated n times: the type's own repetition, else stimesDefault.
template <class T, std::integral N>
[[nodiscard]] T stimes(N n, const T& x) {
  if constexpr (requires { Semigroup<T>::stimes(n, x); })
    return Semigroup<T>::stimes(n, x);
  else
    return hs::stimesDefault(n, x);
}

namespace detail {
// Repetition of a list: any count from zero; a negative one is the list instance's error.
template <class L, std::integral N>
[[nodiscard]] L repeatList(N n, const L& x) {
  if (detail::negativeCount(n)) errorWithoutStackTrace("stimes: [], negative multiplier");
  L out;
  if (x.empty()) return out;
  out.reserve(x.size() * static_cast<std::size_t>(n));
  for (N i = 0; i < n; ++i) out.insert(out.end(), x.begin(), x.end());
  return out;
}
}  // namespace detail

// ---- Instances -----------------------------------------------------------------------------

/// Unit combines to unit, so it absorbs what follows; any count repeats it, negative ones included.
template <>
struct Semigroup<Unit> {
  /// \privatesection
  [[nodiscard]] static Unit mappend(Unit, Unit) { return unit; }
  [[nodiscard]] static bool absorbs(Unit) { return true; }
  template <std::integral N>
  [[nodiscard]] static Unit stimes(N, Unit) {
    return unit;
  }
};
/// unit.
template <>
struct Monoid<Unit> {
  /// \privatesection
  [[nodiscard]] static Unit mempty() { return unit; }
};

/// Concatenation into a new string; stimes repeats the text n times, in one allocation (zero
/// times gives the empty string, a negative count is a program error).
template <>
struct Semigroup<std::string> {
  /// \privatesection
  [[nodiscard]] static std::string mappend(const std::string& a, const std::string& b) { return a + b; }
  template <std::integral N>
  [[nodiscard]] static std::string stimes(N n, const std::string& x) {
    return detail::repeatList(n, x);
  }
};
/// The empty string.
template <>
struct Monoid<std::string> {
  /// \privatesection
  [[nodiscard]] static std::string mempty() { return {}; }
};

/// Concatenation into a new vector; stimes repeats the elements n times, in one allocation (zero
/// times gives the empty vector, a negative count is a program error).
template <class A>
struct Semigroup<std::vector<A>> {
  /// \privatesection
  [[nodiscard]] static std::vector<A> mappend(const std::vector<A>& a, const std::vector<A>& b) {
    std::vector<A> out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
  }
  template <std::integral N>
  [[nodiscard]] static std::vector<A> stimes(N n, const std::vector<A>& x) {
    return detail::repeatList(n, x);
  }
};
/// The empty vector.
template <class A>
struct Monoid<std::vector<A>> {
  /// \privatesection
  [[nodiscard]] static std::vector<A> mempty() { return {}; }
};

/// An optional value over a semigroup: absent is neutral; two present values combine inside.
template <class A>
struct Semigroup<std::optional<A>> {
  /// \privatesection
  [[nodiscard]] static std::optional<A> mappend(const std::optional<A>& a, const std::optional<A>& b) {
    if (!a) return b;
    if (!b) return a;
    return hs::mappend(*a, *b);
  }
  /// \publicsection
  /// Absent stays absent for any count, negative ones included; a present value repeats inside,
  /// zero times giving absent and a negative count a program error.
  template <std::integral N>
  [[nodiscard]] static std::optional<A> stimes(N n, const std::optional<A>& x) {
    if (!x) return x;
    if (detail::negativeCount(n)) errorWithoutStackTrace("stimes: Maybe, negative multiplier");
    if (n == 0) return std::nullopt;
    return hs::stimes(n, *x);
  }
};
/// Absent.
template <class A>
struct Monoid<std::optional<A>> {
  /// \privatesection
  [[nodiscard]] static std::optional<A> mempty() { return std::nullopt; }
};

/// Componentwise; stimes repeats each component with its own stimes.
template <class A, class B>
struct Semigroup<std::pair<A, B>> {
  /// \privatesection
  [[nodiscard]] static std::pair<A, B> mappend(const std::pair<A, B>& x, const std::pair<A, B>& y) {
    return {hs::mappend(x.first, y.first), hs::mappend(x.second, y.second)};
  }
  template <std::integral N>
  [[nodiscard]] static std::pair<A, B> stimes(N n, const std::pair<A, B>& x) {
    return {hs::stimes(n, x.first), hs::stimes(n, x.second)};
  }
};
/// Both components' mempty.
template <class A, class B>
struct Monoid<std::pair<A, B>> {
  /// \privatesection
  [[nodiscard]] static std::pair<A, B> mempty() { return {hs::mempty<A>(), hs::mempty<B>()}; }
};

/// The lexicographic combination (thenCmp): the first unless it is EQ, so LT and GT absorb what
/// follows; idempotent under stimes.
template <>
struct Semigroup<Ordering> {
  /// \privatesection
  [[nodiscard]] static Ordering mappend(Ordering a, Ordering b) { return thenCmp(a, b); }
  [[nodiscard]] static bool absorbs(Ordering a) { return a != EQ; }
  template <std::integral N>
  [[nodiscard]] static Ordering stimes(N n, Ordering x) {
    return hs::stimesIdempotentMonoid(n, x);
  }
};
/// EQ.
template <>
struct Monoid<Ordering> {
  /// \privatesection
  [[nodiscard]] static Ordering mempty() { return EQ; }
};

/// The sum of numbers as a monoid.
template <class A>
struct Sum {
  A value{};  ///< The number.
  friend bool operator==(const Sum&, const Sum&) = default;
};
/// Addition.
template <class A>
struct Semigroup<Sum<A>> {
  /// \privatesection
  [[nodiscard]] static Sum<A> mappend(const Sum<A>& a, const Sum<A>& b) { return {a.value + b.value}; }
  /// \publicsection
  /// n copies of a summand add up to n times it, for any count (one multiplication).
  template <std::integral N>
  [[nodiscard]] static Sum<A> stimes(N n, const Sum<A>& x) {
    return {static_cast<A>(n) * x.value};
  }
};
/// Zero (the value-initialised number).
template <class A>
struct Monoid<Sum<A>> {
  /// \privatesection
  [[nodiscard]] static Sum<A> mempty() { return {A{}}; }
};

/// @}
}  // namespace hs
