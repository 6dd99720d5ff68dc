/// \defgroup ambrel_combinators ambrel/combinators.hpp
/// \ingroup ambrel
/// Selectors, predicates, mappers and list filters of inclusive-or values, and second names for
/// seven of their class operations.
///
/// Each evaluates its value to the constructor and nothing more: the selectors give the stored
/// field cells themselves, the mappers return their argument itself where they change nothing.
#pragma once

#include <optional>
#include <utility>

#include "ambrel/ambrel.hpp"
#include "hs/assoc.hpp"
#include "hs/bifunctor.hpp"
#include "hs/call.hpp"
#include "hs/lazy.hpp"
#include "hs/list.hpp"

namespace ambrel {
/// \addtogroup ambrel_combinators
/// @{

// ---- Selectors (the stored field cells themselves; the value is evaluated, the field not) ----

/// The first value, of This and Ambrel.
template <class A, class B>
[[nodiscard]] std::optional<hs::Lazy<A>> justHere(const Ambrel<A, B>& t) {
  if (t.index() == 1) return std::nullopt;
  return t.here();
}
/// The second value, of That and Ambrel.
template <class A, class B>
[[nodiscard]] std::optional<hs::Lazy<B>> justThere(const Ambrel<A, B>& t) {
  if (t.index() == 0) return std::nullopt;
  return t.there();
}
/// The first value, of This only.
template <class A, class B>
[[nodiscard]] std::optional<hs::Lazy<A>> justThis(const Ambrel<A, B>& t) {
  if (t.index() != 0) return std::nullopt;
  return t.here();
}
/// The second value, of That only.
template <class A, class B>
[[nodiscard]] std::optional<hs::Lazy<B>> justThat(const Ambrel<A, B>& t) {
  if (t.index() != 1) return std::nullopt;
  return t.there();
}
/// Both fields of an Ambrel, as a new pair of the cells.
template <class A, class B>
[[nodiscard]] std::optional<std::pair<hs::Lazy<A>, hs::Lazy<B>>> justAmbrel(const Ambrel<A, B>& t) {
  if (t.index() != 2) return std::nullopt;
  return std::pair<hs::Lazy<A>, hs::Lazy<B>>(t.here(), t.there());
}

// ---- Predicates -----------------------------------------------------------------------------

/// Whether t holds a first value (This or Ambrel).
template <class A, class B>
[[nodiscard]] bool hasHere(const Ambrel<A, B>& t) {
  return t.index() != 1;
}
/// Whether t holds a second value (That or Ambrel).
template <class A, class B>
[[nodiscard]] bool hasThere(const Ambrel<A, B>& t) {
  return t.index() != 0;
}
/// Whether t is This.
template <class A, class B>
[[nodiscard]] bool isThis(const Ambrel<A, B>& t) {
  return t.index() == 0;
}
/// Whether t is That.
template <class A, class B>
[[nodiscard]] bool isThat(const Ambrel<A, B>& t) {
  return t.index() == 1;
}
/// Whether t is Ambrel.
template <class A, class B>
[[nodiscard]] bool isAmbrel(const Ambrel<A, B>& t) {
  return t.index() == 2;
}

// ---- Mappers (f runs deferred, at most once) ------------------------------------------------

/// This (f a), f applied when the field is demanded (at most once); any other value itself.
template <class F, class A, class B>
[[nodiscard]] Ambrel<A, B> mapThis(F f, const Ambrel<A, B>& t) {
  if (t.index() != 0) return t;
  return internal::makeThis<A, B>(hs::deferCall<A>(std::move(f), t.here()));
}
/// That (f b), f applied when the field is demanded (at most once); any other value itself.
template <class F, class A, class B>
[[nodiscard]] Ambrel<A, B> mapThat(F f, const Ambrel<A, B>& t) {
  if (t.index() != 1) return t;
  return internal::makeThat<A, B>(hs::deferCall<B>(std::move(f), t.there()));
}
/// Ambrel c d with (c, d) = f((a, b)): one deferred application shared by both fields; any other
/// value itself. f receives the pair (a, b), or its deferred cell under hs::onCells.
template <class F, class A, class B>
[[nodiscard]] Ambrel<A, B> mapAmbrel(F f, const Ambrel<A, B>& t) {
  if (t.index() != 2) return t;
  using P = std::pair<A, B>;
  const hs::Lazy<P> r = hs::deferCall<P>(std::move(f), internal::pairCell(t.here(), t.there()));
  return Ambrel<A, B>(hs::Lazy<A>::apply([](const P& p) { return p.first; }, r),
                      hs::Lazy<B>::apply([](const P& p) { return p.second; }, r));
}

// ---- List filters (in input order, produced on demand) --------------------------------------

/// The first values of This and Ambrel elements, in input order, produced on demand.
template <class A, class B>
[[nodiscard]] hs::List<hs::Lazy<A>> catHere(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justHere(t); }, xs);
}
/// The second values of That and Ambrel elements, in input order, produced on demand.
template <class A, class B>
[[nodiscard]] hs::List<hs::Lazy<B>> catThere(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justThere(t); }, xs);
}
/// The first values of the This elements, in input order, produced on demand.
template <class A, class B>
[[nodiscard]] hs::List<hs::Lazy<A>> catThis(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justThis(t); }, xs);
}
/// The second values of the That elements, in input order, produced on demand.
template <class A, class B>
[[nodiscard]] hs::List<hs::Lazy<B>> catThat(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justThat(t); }, xs);
}
/// The field pairs of the Ambrel elements, in input order, produced on demand.
template <class A, class B>
[[nodiscard]] hs::List<std::pair<hs::Lazy<A>, hs::Lazy<B>>> catAmbrel(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justAmbrel(t); }, xs);
}

// ---- Second names of class operations -------------------------------------------------------

/// hs::bimap.
template <class F, class G, class A, class B>
[[nodiscard]] auto bimapAmbrel(F&& f, G&& g, const Ambrel<A, B>& t) {
  return hs::bimap(std::forward<F>(f), std::forward<G>(g), t);
}
/// hs::first: the first value mapped.
template <class F, class A, class B>
[[nodiscard]] auto mapHere(F&& f, const Ambrel<A, B>& t) {
  return hs::first(std::forward<F>(f), t);
}
/// hs::second: the second value mapped.
template <class F, class A, class B>
[[nodiscard]] auto mapThere(F&& f, const Ambrel<A, B>& t) {
  return hs::second(std::forward<F>(f), t);
}
/// hs::bitraverse.
template <class F, class G, class A, class B>
[[nodiscard]] auto bitraverseAmbrel(F&& f, G&& g, const Ambrel<A, B>& t) {
  return hs::bitraverse(std::forward<F>(f), std::forward<G>(g), t);
}
/// hs::swap.
template <class A, class B>
[[nodiscard]] auto swapAmbrel(const Ambrel<A, B>& t) {
  return hs::swap(t);
}
/// hs::assoc.
template <class A, class B, class C>
[[nodiscard]] auto assocAmbrel(const Ambrel<Ambrel<A, B>, C>& t) {
  return hs::assoc(t);
}
/// hs::unassoc.
template <class A, class B, class C>
[[nodiscard]] auto unassocAmbrel(const Ambrel<A, Ambrel<B, C>>& t) {
  return hs::unassoc(t);
}

/// @}
}  // namespace ambrel
