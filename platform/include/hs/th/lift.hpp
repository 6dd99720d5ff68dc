/// \defgroup hs_th_lift hs/th/lift.hpp
/// \ingroup hsplatform
/// Embedding values into generated code: the Lift capability gives the expression that rebuilds
/// a value, built in a quotation context (each node it builds is one step there, in build order).
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/th/lib.hpp"
#include "hs/th/syntax.hpp"
#include "hs/unit.hpp"

namespace hs {
/// \addtogroup hs_th_lift
/// @{

/// The Lift capability. A specialisation provides one or both of
/// `static th::Exp lift(th::Quote& q, const T& x);` and
/// `static th::TExp<T> liftTyped(th::Quote& q, const T& x);`; each defaults to the other.
template <class T, class Enable = void>
struct Lift;

/// @}
}  // namespace hs

namespace hs::th {
/// \addtogroup hs_th_lift
/// @{

/// A type with a Lift instance.
template <class T>
concept Liftable = requires(Quote& q, const T& x) { hs::Lift<T>::lift(q, x); } ||
                   requires(Quote& q, const T& x) { hs::Lift<T>::liftTyped(q, x); };

/// The expression that rebuilds x, built in q by T's Lift instance.
template <Liftable T>
[[nodiscard]] Exp lift(Quote& q, const T& x) {
  if constexpr (requires { hs::Lift<T>::lift(q, x); })
    return hs::Lift<T>::lift(q, x);
  else
    return hs::Lift<T>::liftTyped(q, x).unType;
}
/// The typed expression that rebuilds x, built in q by T's Lift instance.
template <Liftable T>
[[nodiscard]] TExp<T> liftTyped(Quote& q, const T& x) {
  if constexpr (requires { hs::Lift<T>::liftTyped(q, x); })
    return hs::Lift<T>::liftTyped(q, x);
  else
    return TExp<T>{hs::Lift<T>::lift(q, x)};
}
/// lift in the default context.
template <Liftable T>
[[nodiscard]] Exp lift(const T& x) {
  return th::lift(defaultQuote(), x);
}
/// liftTyped in the default context.
template <Liftable T>
[[nodiscard]] TExp<T> liftTyped(const T& x) {
  return th::liftTyped(defaultQuote(), x);
}

namespace detail {
[[nodiscard]] const Name& unitDataName();
}  // namespace detail

/// @}
}  // namespace hs::th

namespace hs {
/// \addtogroup hs_th_lift
/// @{

/// Integers: an integer literal.
template <class T>
struct Lift<T, std::enable_if_t<th::detail::IntegerValue<T>>> {
  /// \privatesection
  [[nodiscard]] static th::Exp lift(th::Quote& q, T x) { return th::litE(q, th::integerL(x)); }
};
/// Characters (code points): a character literal.
template <>
struct Lift<char32_t> {
  /// \privatesection
  [[nodiscard]] static th::Exp lift(th::Quote& q, char32_t c) { return th::litE(q, th::charL(c)); }
};
/// Text: a string literal (the text copied).
template <>
struct Lift<std::string> {
  /// \privatesection
  [[nodiscard]] static th::Exp lift(th::Quote& q, const std::string& s) { return th::litE(q, th::stringL(s)); }
};
/// Booleans: the constructor True or False.
template <>
struct Lift<bool> {
  /// \privatesection
  [[nodiscard]] static th::Exp lift(th::Quote& q, bool b) {
    return th::conE(q, b ? th::trueName() : th::falseName());
  }
};
/// The unit: the constructor ().
template <>
struct Lift<Unit> {
  /// \privatesection
  [[nodiscard]] static th::Exp lift(th::Quote& q, Unit) { return th::conE(q, th::detail::unitDataName()); }
};
/// Lists: the elements in order, then the list expression.
template <class A>
struct Lift<std::vector<A>> {
  /// \privatesection
  [[nodiscard]] static th::Exp lift(th::Quote& q, const std::vector<A>& xs) {
    std::vector<th::Exp> es;
    es.reserve(xs.size());
    for (const A& x : xs) es.push_back(th::lift(q, x));
    return th::listE(q, std::move(es));
  }
};
/// Optional values: the constructor Nothing, or the constructor Just, the value, the application.
template <class A>
struct Lift<std::optional<A>> {
  /// \privatesection
  [[nodiscard]] static th::Exp lift(th::Quote& q, const std::optional<A>& x) {
    if (!x) return th::conE(q, th::nothingName());
    th::Exp just = th::conE(q, th::justName());
    th::Exp v = th::lift(q, *x);
    return th::appE(q, std::move(just), std::move(v));
  }
};
/// Pairs: both components in order, then the tuple.
template <class A, class B>
struct Lift<std::pair<A, B>> {
  /// \privatesection
  [[nodiscard]] static th::Exp lift(th::Quote& q, const std::pair<A, B>& p) {
    th::Exp a = th::lift(q, p.first);
    th::Exp b = th::lift(q, p.second);
    return th::tupE(q, {std::move(a), std::move(b)});
  }
};

/// @}
}  // namespace hs
