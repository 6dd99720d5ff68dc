// Building, taking apart and transforming type-variable binders without matching on their forms.
//
// Effectful traversals run in an applicative deduced from the result type of the caller's first
// function (hs::TagOf: std::optional, std::vector, hs::State, hs::Writer, ...). The monadic
// mappers run either in such an applicative, whose liftA2 demands a later operand only when the
// earlier ones let it go on (an absent optional stops the rest), or, when the functions return
// plain values, directly: each function is called in order and a failure is an exception that
// stops the rest (the reflection monad's style, with the Q& captured by the functions).
#pragma once

#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/functor.hpp"
#include "hs/th/syntax/type.hpp"
#include "hs/unit.hpp"

namespace sarkel {

// ---- Builders -----------------------------------------------------------------------------------

template <class Flag>
hs::th::TyVarBndr<Flag> plainTVFlag(hs::th::Name n, Flag f) {
  return hs::th::PlainTV<Flag>{std::move(n), std::move(f)};
}
inline hs::th::TyVarBndrSpec plainTVInferred(hs::th::Name n) {
  return sarkel::plainTVFlag(std::move(n), hs::th::InferredSpec);
}
inline hs::th::TyVarBndrSpec plainTVSpecified(hs::th::Name n) {
  return sarkel::plainTVFlag(std::move(n), hs::th::SpecifiedSpec);
}
inline hs::th::TyVarBndrUnit plainTVInvis(hs::th::Name n) {
  return sarkel::plainTVFlag(std::move(n), hs::unit);
}
inline hs::th::TyVarBndrUnit plainTVReq(hs::th::Name n) {
  return sarkel::plainTVInvis(std::move(n));
}

template <class Flag>
hs::th::TyVarBndr<Flag> kindedTVFlag(hs::th::Name n, Flag f, hs::th::Kind k) {
  return hs::th::KindedTV<Flag>{std::move(n), std::move(f), std::move(k)};
}
inline hs::th::TyVarBndrSpec kindedTVInferred(hs::th::Name n, hs::th::Kind k) {
  return sarkel::kindedTVFlag(std::move(n), hs::th::InferredSpec, std::move(k));
}
inline hs::th::TyVarBndrSpec kindedTVSpecified(hs::th::Name n, hs::th::Kind k) {
  return sarkel::kindedTVFlag(std::move(n), hs::th::SpecifiedSpec, std::move(k));
}
inline hs::th::TyVarBndrUnit kindedTVInvis(hs::th::Name n, hs::th::Kind k) {
  return sarkel::kindedTVFlag(std::move(n), hs::unit, std::move(k));
}
inline hs::th::TyVarBndrUnit kindedTVReq(hs::th::Name n, hs::th::Kind k) {
  return sarkel::kindedTVInvis(std::move(n), std::move(k));
}

// ---- Default flags and binder visibility
// ----------------------------------------------------------

// The flag to use when none is given.
template <class Flag>
struct DefaultBndrFlag;
template <>
struct DefaultBndrFlag<hs::Unit> {
  static constexpr hs::Unit defaultBndrFlag() noexcept { return hs::unit; }
};
template <>
struct DefaultBndrFlag<hs::th::Specificity> {
  static constexpr hs::th::Specificity defaultBndrFlag() noexcept { return hs::th::SpecifiedSpec; }
};
template <class Flag>
constexpr Flag defaultBndrFlag() noexcept {
  return DefaultBndrFlag<Flag>::defaultBndrFlag();
}

// The visibility of a declaration's binder is the unit flag: every binder is required.
using BndrVis = hs::Unit;
inline constexpr BndrVis BndrReq{};
inline constexpr BndrVis bndrReq{};
inline constexpr BndrVis bndrInvis{};
// The two visibility patterns: a required binder always matches, an invisible one never does.
constexpr bool isBndrReq(BndrVis) noexcept { return true; }
constexpr bool isBndrInvis(BndrVis) noexcept { return false; }

// ---- Eliminators --------------------------------------------------------------------------------

template <class P, class K, class Flag>
auto elimTV(P&& plain, K&& kinded, const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return std::forward<K>(kinded)(b.name(), *k);
  return std::forward<P>(plain)(b.name());
}
template <class P, class K, class Flag>
auto elimTVFlag(P&& plain, K&& kinded, const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return std::forward<K>(kinded)(b.name(), b.flag(), *k);
  return std::forward<P>(plain)(b.name(), b.flag());
}
template <class Flag>
const hs::th::Name& tvName(const hs::th::TyVarBndr<Flag>& b) noexcept {
  return b.name();
}
template <class Flag>
const Flag& tvFlag(const hs::th::TyVarBndr<Flag>& b) noexcept {
  return b.flag();
}
// The kind of a KindedTV; StarT for a PlainTV.
template <class Flag>
hs::th::Kind tvKind(const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return *k;
  return hs::th::StarT{};
}

// ---- Pure mappers -------------------------------------------------------------------------------

namespace internal {
template <class Flag, class F>
using MappedFlag = std::decay_t<std::invoke_result_t<F&, const Flag&>>;
template <class R>
concept HasApplicative = requires {
  typename hs::TagOf<std::remove_cvref_t<R>>::type;
};
}  // namespace internal

// Every component mapped, each function applied once; a PlainTV has no kind to map.
template <class NF, class FF, class KF, class Flag>
auto mapTV(NF&& nf, FF&& ff, KF&& kf, const hs::th::TyVarBndr<Flag>& b)
    -> hs::th::TyVarBndr<internal::MappedFlag<Flag, FF>> {
  using F2 = internal::MappedFlag<Flag, FF>;
  hs::th::Name n = nf(b.name());
  F2 f = ff(b.flag());
  if (const hs::th::Kind* k = b.kind())
    return sarkel::kindedTVFlag(std::move(n), std::move(f), kf(*k));
  return sarkel::plainTVFlag(std::move(n), std::move(f));
}
template <class NF, class Flag>
hs::th::TyVarBndr<Flag> mapTVName(NF&& nf, const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return sarkel::kindedTVFlag(nf(b.name()), b.flag(), *k);
  return sarkel::plainTVFlag(nf(b.name()), b.flag());
}
template <class FF, class Flag>
auto mapTVFlag(FF&& ff, const hs::th::TyVarBndr<Flag>& b)
    -> hs::th::TyVarBndr<internal::MappedFlag<Flag, FF>> {
  if (const hs::th::Kind* k = b.kind()) return sarkel::kindedTVFlag(b.name(), ff(b.flag()), *k);
  return sarkel::plainTVFlag(b.name(), ff(b.flag()));
}
// A PlainTV comes back unchanged (its kind function is not called).
template <class KF, class Flag>
hs::th::TyVarBndr<Flag> mapTVKind(KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return sarkel::kindedTVFlag(b.name(), b.flag(), kf(*k));
  return b;
}

// Every binder with its flag replaced, in order.
template <class NewFlag, class Flag>
std::vector<hs::th::TyVarBndr<NewFlag>> changeTVFlags(
    const NewFlag& f, const std::vector<hs::th::TyVarBndr<Flag>>& bs) {
  std::vector<hs::th::TyVarBndr<NewFlag>> out;
  out.reserve(bs.size());
  for (const auto& b : bs) out.push_back(sarkel::mapTVFlag([&](const Flag&) { return f; }, b));
  return out;
}

// ---- Effectful traversals
// -------------------------------------------------------------------------

// Effects in order: name, flag, then (KindedTV only) kind.
template <class NF, class FF, class KF, class Flag>
auto traverseTV(NF&& nf, FF&& ff, KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
  using F2 = hs::ElementOf<std::invoke_result_t<FF&, const Flag&>>;
  using B = hs::th::TyVarBndr<F2>;
  if (const hs::th::Kind* k = b.kind()) {
    auto partial = hs::liftA2(
        [](const hs::th::Name& n, const F2& f) {
          return std::function<B(const hs::th::Kind&)>(
              [n, f](const hs::th::Kind& k2) { return sarkel::kindedTVFlag(n, f, k2); });
        },
        nf(b.name()), [&] { return ff(b.flag()); });
    return hs::liftA2([](const auto& g, const hs::th::Kind& k2) { return g(k2); },
                      std::move(partial), [&] { return kf(*k); });
  }
  return hs::liftA2([](const hs::th::Name& n, const F2& f) { return B(sarkel::plainTVFlag(n, f)); },
                    nf(b.name()), [&] { return ff(b.flag()); });
}
template <class NF, class Flag>
auto traverseTVName(NF&& nf, const hs::th::TyVarBndr<Flag>& b) {
  return hs::fmap(
      [b](const hs::th::Name& n) { return sarkel::mapTVName([&](const auto&) { return n; }, b); },
      nf(b.name()));
}
template <class FF, class Flag>
auto traverseTVFlag(FF&& ff, const hs::th::TyVarBndr<Flag>& b) {
  using F2 = hs::ElementOf<std::invoke_result_t<FF&, const Flag&>>;
  return hs::fmap([b](const F2& f) { return sarkel::mapTVFlag([&](const Flag&) { return f; }, b); },
                  ff(b.flag()));
}
// A PlainTV: pure of the binder itself, without calling the kind function.
template <class KF, class Flag>
auto traverseTVKind(KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
  using R = std::invoke_result_t<KF&, const hs::th::Kind&>;
  if (const hs::th::Kind* k = b.kind())
    return hs::fmap(
        [b](const hs::th::Kind& k2) {
          return sarkel::mapTVKind([&](const auto&) { return k2; }, b);
        },
        kf(*k));
  return hs::pure<hs::TagOfT<R>>(b);
}

// ---- Monadic mappers ----------------------------------------------------------------------------

// The name's action, then the flag's, then (KindedTV only) the kind's; a later function is not
// called once an earlier action has stopped the computation.
template <class NF, class FF, class KF, class Flag>
auto mapMTV(NF&& nf, FF&& ff, KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
  if constexpr (internal::HasApplicative<std::invoke_result_t<NF&, const hs::th::Name&>>) {
    return sarkel::traverseTV(std::forward<NF>(nf), std::forward<FF>(ff), std::forward<KF>(kf), b);
  } else {
    using F2 = internal::MappedFlag<Flag, FF>;
    hs::th::Name n = nf(b.name());
    F2 f = ff(b.flag());
    if (const hs::th::Kind* k = b.kind())
      return hs::th::TyVarBndr<F2>(sarkel::kindedTVFlag(std::move(n), std::move(f), kf(*k)));
    return hs::th::TyVarBndr<F2>(sarkel::plainTVFlag(std::move(n), std::move(f)));
  }
}
template <class NF, class Flag>
auto mapMTVName(NF&& nf, const hs::th::TyVarBndr<Flag>& b) {
  if constexpr (internal::HasApplicative<std::invoke_result_t<NF&, const hs::th::Name&>>)
    return sarkel::traverseTVName(std::forward<NF>(nf), b);
  else
    return sarkel::mapTVName(std::forward<NF>(nf), b);
}
template <class FF, class Flag>
auto mapMTVFlag(FF&& ff, const hs::th::TyVarBndr<Flag>& b) {
  if constexpr (internal::HasApplicative<std::invoke_result_t<FF&, const Flag&>>)
    return sarkel::traverseTVFlag(std::forward<FF>(ff), b);
  else
    return sarkel::mapTVFlag(std::forward<FF>(ff), b);
}
// A PlainTV: the binder itself, without calling the kind function.
template <class KF, class Flag>
auto mapMTVKind(KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
  if constexpr (internal::HasApplicative<std::invoke_result_t<KF&, const hs::th::Kind&>>)
    return sarkel::traverseTVKind(std::forward<KF>(kf), b);
  else
    return sarkel::mapTVKind(std::forward<KF>(kf), b);
}

}  // namespace sarkel
