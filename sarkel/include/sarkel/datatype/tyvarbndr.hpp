// Building, taking apart and transforming type-variable binders without matching on their forms.
//
// Effectful traversals run in the applicative, and the monadic mappers in the monad, deduced from
// the result type of the caller's first function (hs::TagOf: std::optional, std::vector,
// hs::State, hs::Writer, ...). The monadic mappers also take functions that return plain values:
// each is then called directly, in order, and a failure is an exception that stops the rest (the
// reflection monad's style, with the Q& captured by the functions).
#pragma once

#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/functor.hpp"
#include "hs/monad.hpp"
#include "hs/th/syntax/type.hpp"
#include "hs/unit.hpp"

namespace sarkel {
/// \addtogroup sarkel_datatype
/// @{

// ---- Builders -----------------------------------------------------------------------------------

/// A binder without a kind, with its flag.
template <class Flag>
[[nodiscard]] hs::th::TyVarBndr<Flag> plainTVFlag(hs::th::Name n, Flag f) {
  return hs::th::PlainTV<Flag>{std::move(n), std::move(f)};
}
/// A binder without a kind, inferred.
[[nodiscard]] inline hs::th::TyVarBndrSpec plainTVInferred(hs::th::Name n) {
  return sarkel::plainTVFlag(std::move(n), hs::th::InferredSpec);
}
/// A binder without a kind, specified.
[[nodiscard]] inline hs::th::TyVarBndrSpec plainTVSpecified(hs::th::Name n) {
  return sarkel::plainTVFlag(std::move(n), hs::th::SpecifiedSpec);
}
/// A declaration's binder without a kind (the unit flag).
[[nodiscard]] inline hs::th::TyVarBndrUnit plainTVInvis(hs::th::Name n) {
  return sarkel::plainTVFlag(std::move(n), hs::unit);
}
/// plainTVInvis: every declaration binder is required.
[[nodiscard]] inline hs::th::TyVarBndrUnit plainTVReq(hs::th::Name n) {
  return sarkel::plainTVInvis(std::move(n));
}

/// A binder with a kind and its flag.
template <class Flag>
[[nodiscard]] hs::th::TyVarBndr<Flag> kindedTVFlag(hs::th::Name n, Flag f, hs::th::Kind k) {
  return hs::th::KindedTV<Flag>{std::move(n), std::move(f), std::move(k)};
}
/// A binder with a kind, inferred.
[[nodiscard]] inline hs::th::TyVarBndrSpec kindedTVInferred(hs::th::Name n, hs::th::Kind k) {
  return sarkel::kindedTVFlag(std::move(n), hs::th::InferredSpec, std::move(k));
}
/// A binder with a kind, specified.
[[nodiscard]] inline hs::th::TyVarBndrSpec kindedTVSpecified(hs::th::Name n, hs::th::Kind k) {
  return sarkel::kindedTVFlag(std::move(n), hs::th::SpecifiedSpec, std::move(k));
}
/// A declaration's binder with a kind (the unit flag).
[[nodiscard]] inline hs::th::TyVarBndrUnit kindedTVInvis(hs::th::Name n, hs::th::Kind k) {
  return sarkel::kindedTVFlag(std::move(n), hs::unit, std::move(k));
}
/// kindedTVInvis: every declaration binder is required.
[[nodiscard]] inline hs::th::TyVarBndrUnit kindedTVReq(hs::th::Name n, hs::th::Kind k) {
  return sarkel::kindedTVInvis(std::move(n), std::move(k));
}

// ---- Default flags and binder visibility
// ----------------------------------------------------------

/// The flag to use when none is given.
template <class Flag>
struct DefaultBndrFlag;
/// The unit flag.
template <>
struct DefaultBndrFlag<hs::Unit> {
  /// \privatesection
  [[nodiscard]] static constexpr hs::Unit defaultBndrFlag() noexcept { return hs::unit; }
};
/// SpecifiedSpec.
template <>
struct DefaultBndrFlag<hs::th::Specificity> {
  /// \privatesection
  [[nodiscard]] static constexpr hs::th::Specificity defaultBndrFlag() noexcept { return hs::th::SpecifiedSpec; }
};
/// `DefaultBndrFlag<Flag>`'s flag.
template <class Flag>
[[nodiscard]] constexpr Flag defaultBndrFlag() noexcept {
  return DefaultBndrFlag<Flag>::defaultBndrFlag();
}

/// The visibility of a declaration's binder is the unit flag: every binder is required.
using BndrVis = hs::Unit;
/// The required visibility.
inline constexpr BndrVis BndrReq{};
/// The required visibility.
inline constexpr BndrVis bndrReq{};
/// The invisible visibility; with the unit flag the same value as bndrReq.
inline constexpr BndrVis bndrInvis{};
/// The required-visibility pattern: a declaration's binder always matches.
[[nodiscard]] constexpr bool isBndrReq(BndrVis) noexcept { return true; }
/// The invisible-visibility pattern: a declaration's binder never matches.
[[nodiscard]] constexpr bool isBndrInvis(BndrVis) noexcept { return false; }

// ---- Eliminators --------------------------------------------------------------------------------

/// plain(name) for a PlainTV, kinded(name, kind) for a KindedTV, called now.
template <class P, class K, class Flag>
[[nodiscard]] auto elimTV(P&& plain, K&& kinded, const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return std::forward<K>(kinded)(b.name(), *k);
  return std::forward<P>(plain)(b.name());
}
/// Likewise with the flag: plain(name, flag), kinded(name, flag, kind).
template <class P, class K, class Flag>
[[nodiscard]] auto elimTVFlag(P&& plain, K&& kinded, const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return std::forward<K>(kinded)(b.name(), b.flag(), *k);
  return std::forward<P>(plain)(b.name(), b.flag());
}
/// The binder's name.
template <class Flag>
[[nodiscard]] const hs::th::Name& tvName(const hs::th::TyVarBndr<Flag>& b) noexcept {
  return b.name();
}
/// The binder's flag.
template <class Flag>
[[nodiscard]] const Flag& tvFlag(const hs::th::TyVarBndr<Flag>& b) noexcept {
  return b.flag();
}
/// The kind of a KindedTV; StarT for a PlainTV.
template <class Flag>
[[nodiscard]] hs::th::Kind tvKind(const hs::th::TyVarBndr<Flag>& b) {
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

/// Every component mapped, each function applied once; a PlainTV has no kind to map.
template <class NF, class FF, class KF, class Flag>
[[nodiscard]] auto mapTV(NF&& nf, FF&& ff, KF&& kf, const hs::th::TyVarBndr<Flag>& b)
    -> hs::th::TyVarBndr<internal::MappedFlag<Flag, FF>> {
  using F2 = internal::MappedFlag<Flag, FF>;
  hs::th::Name n = nf(b.name());
  F2 f = ff(b.flag());
  if (const hs::th::Kind* k = b.kind())
    return sarkel::kindedTVFlag(std::move(n), std::move(f), kf(*k));
  return sarkel::plainTVFlag(std::move(n), std::move(f));
}
/// The binder with nf applied to its name; a new binder.
template <class NF, class Flag>
[[nodiscard]] hs::th::TyVarBndr<Flag> mapTVName(NF&& nf, const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return sarkel::kindedTVFlag(nf(b.name()), b.flag(), *k);
  return sarkel::plainTVFlag(nf(b.name()), b.flag());
}
/// The binder with ff applied to its flag; a new binder, of the flag type ff returns.
template <class FF, class Flag>
[[nodiscard]] auto mapTVFlag(FF&& ff, const hs::th::TyVarBndr<Flag>& b)
    -> hs::th::TyVarBndr<internal::MappedFlag<Flag, FF>> {
  if (const hs::th::Kind* k = b.kind()) return sarkel::kindedTVFlag(b.name(), ff(b.flag()), *k);
  return sarkel::plainTVFlag(b.name(), ff(b.flag()));
}
/// A PlainTV comes back unchanged (its kind function is not called).
template <class KF, class Flag>
[[nodiscard]] hs::th::TyVarBndr<Flag> mapTVKind(KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return sarkel::kindedTVFlag(b.name(), b.flag(), kf(*k));
  return b;
}

/// Every binder with its flag replaced, in order.
template <class NewFlag, class Flag>
[[nodiscard]] std::vector<hs::th::TyVarBndr<NewFlag>> changeTVFlags(
    const NewFlag& f, const std::vector<hs::th::TyVarBndr<Flag>>& bs) {
  std::vector<hs::th::TyVarBndr<NewFlag>> out;
  out.reserve(bs.size());
  for (const auto& b : bs) out.push_back(sarkel::mapTVFlag([&](const Flag&) { return f; }, b));
  return out;
}

// ---- Effectful traversals
// -------------------------------------------------------------------------

/// Effects in order: name, flag, then (KindedTV only) kind.
template <class NF, class FF, class KF, class Flag>
[[nodiscard]] auto traverseTV(NF&& nf, FF&& ff, KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
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
/// nf's action on the name, its result put back into the binder.
template <class NF, class Flag>
[[nodiscard]] auto traverseTVName(NF&& nf, const hs::th::TyVarBndr<Flag>& b) {
  return hs::fmap(
      [b](const hs::th::Name& n) { return sarkel::mapTVName([&](const auto&) { return n; }, b); },
      nf(b.name()));
}
/// ff's action on the flag, its result put back into the binder.
template <class FF, class Flag>
[[nodiscard]] auto traverseTVFlag(FF&& ff, const hs::th::TyVarBndr<Flag>& b) {
  using F2 = hs::ElementOf<std::invoke_result_t<FF&, const Flag&>>;
  return hs::fmap([b](const F2& f) { return sarkel::mapTVFlag([&](const Flag&) { return f; }, b); },
                  ff(b.flag()));
}
/// A PlainTV: pure of the binder itself, without calling the kind function.
template <class KF, class Flag>
[[nodiscard]] auto traverseTVKind(KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
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

/// Binds the name's action, then the flag's, then (KindedTV only) the kind's, and returns the
/// rebuilt binder; a later function is not called before the earlier action has produced its
/// value, so a monad that stops early skips it.
template <class NF, class FF, class KF, class Flag>
[[nodiscard]] auto mapMTV(NF&& nf, FF&& ff, KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
  using MN = std::remove_cvref_t<std::invoke_result_t<NF&, const hs::th::Name&>>;
  using F2 = internal::MappedFlag<Flag, FF>;
  if constexpr (hs::Tagged<MN>) {
    using Tag = hs::TagOfT<MN>;
    using G = hs::ElementOf<F2>;
    using B = hs::th::TyVarBndr<G>;
    if (const hs::th::Kind* k = b.kind()) {
      return hs::bind(nf(b.name()), [ff, kf, flag = b.flag(), kind = *k](const hs::th::Name& n) {
        return hs::bind(ff(flag), [kf, n, kind](const G& f) {
          return hs::bind(kf(kind), [n, f](const hs::th::Kind& k2) {
            return hs::return_<Tag>(B(sarkel::kindedTVFlag(n, f, k2)));
          });
        });
      });
    }
    return hs::bind(nf(b.name()), [ff, flag = b.flag()](const hs::th::Name& n) {
      return hs::bind(ff(flag),
                      [n](const G& f) { return hs::return_<Tag>(B(sarkel::plainTVFlag(n, f))); });
    });
  } else {
    hs::th::Name n = nf(b.name());
    F2 f = ff(b.flag());
    if (const hs::th::Kind* k = b.kind())
      return hs::th::TyVarBndr<F2>(sarkel::kindedTVFlag(std::move(n), std::move(f), kf(*k)));
    return hs::th::TyVarBndr<F2>(sarkel::plainTVFlag(std::move(n), std::move(f)));
  }
}
/// The monadic mapTVName: nf's action bound, the binder rebuilt with its result; a plain function
/// maps directly.
template <class NF, class Flag>
[[nodiscard]] auto mapMTVName(NF&& nf, const hs::th::TyVarBndr<Flag>& b) {
  using MN = std::remove_cvref_t<std::invoke_result_t<NF&, const hs::th::Name&>>;
  if constexpr (hs::Tagged<MN>)
    return hs::bind(nf(b.name()), [b](const hs::th::Name& n) {
      return hs::return_<hs::TagOfT<MN>>(sarkel::mapTVName([&](const auto&) { return n; }, b));
    });
  else
    return sarkel::mapTVName(std::forward<NF>(nf), b);
}
/// The monadic mapTVFlag, likewise.
template <class FF, class Flag>
[[nodiscard]] auto mapMTVFlag(FF&& ff, const hs::th::TyVarBndr<Flag>& b) {
  using MF = std::remove_cvref_t<std::invoke_result_t<FF&, const Flag&>>;
  if constexpr (hs::Tagged<MF>) {
    using G = hs::ElementOf<MF>;
    return hs::bind(ff(b.flag()), [b](const G& f) {
      return hs::return_<hs::TagOfT<MF>>(sarkel::mapTVFlag([&](const Flag&) { return f; }, b));
    });
  } else {
    return sarkel::mapTVFlag(std::forward<FF>(ff), b);
  }
}
/// A PlainTV: return of the binder itself, without calling the kind function.
template <class KF, class Flag>
[[nodiscard]] auto mapMTVKind(KF&& kf, const hs::th::TyVarBndr<Flag>& b) {
  using MK = std::remove_cvref_t<std::invoke_result_t<KF&, const hs::th::Kind&>>;
  if constexpr (hs::Tagged<MK>) {
    using Tag = hs::TagOfT<MK>;
    const hs::th::Kind* k = b.kind();
    if (k == nullptr) return hs::return_<Tag>(b);
    return hs::bind(kf(*k), [b](const hs::th::Kind& k2) {
      return hs::return_<Tag>(sarkel::mapTVKind([&](const auto&) { return k2; }, b));
    });
  } else {
    return sarkel::mapTVKind(std::forward<KF>(kf), b);
  }
}

/// @}
}  // namespace sarkel
