// Selectors, predicates, mappers and list filters of inclusive-or values, and second names for
// seven of their class operations.
//
// Each evaluates its value to the constructor and nothing more: the selectors give the stored
// field cells themselves, the mappers return their argument itself where they change nothing.
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

// ---- Selectors ------------------------------------------------------------------------------

// The first value, of This and Ambrel.
template <class A, class B>
[[nodiscard]] std::optional<hs::Lazy<A>> justHere(const Ambrel<A, B>& t) {
  if (t.index() == 1) return std::nullopt;
  return t.here();
}
// The second value, of That and Ambrel.
template <class A, class B>
[[nodiscard]] std::optional<hs::Lazy<B>> justThere(const Ambrel<A, B>& t) {
  if (t.index() == 0) return std::nullopt;
  return t.there();
}
template <class A, class B>
[[nodiscard]] std::optional<hs::Lazy<A>> justThis(const Ambrel<A, B>& t) {
  if (t.index() != 0) return std::nullopt;
  return t.here();
}
template <class A, class B>
[[nodiscard]] std::optional<hs::Lazy<B>> justThat(const Ambrel<A, B>& t) {
  if (t.index() != 1) return std::nullopt;
  return t.there();
}
// Both fields of an Ambrel, as a new pair of the cells.
template <class A, class B>
[[nodiscard]] std::optional<std::pair<hs::Lazy<A>, hs::Lazy<B>>> justAmbrel(const Ambrel<A, B>& t) {
  if (t.index() != 2) return std::nullopt;
  return std::pair<hs::Lazy<A>, hs::Lazy<B>>(t.here(), t.there());
}

// ---- Predicates -----------------------------------------------------------------------------

template <class A, class B>
[[nodiscard]] bool hasHere(const Ambrel<A, B>& t) {
  return t.index() != 1;
}
template <class A, class B>
[[nodiscard]] bool hasThere(const Ambrel<A, B>& t) {
  return t.index() != 0;
}
template <class A, class B>
[[nodiscard]] bool isThis(const Ambrel<A, B>& t) {
  return t.index() == 0;
}
template <class A, class B>
[[nodiscard]] bool isThat(const Ambrel<A, B>& t) {
  return t.index() == 1;
}
template <class A, class B>
[[nodiscard]] bool isAmbrel(const Ambrel<A, B>& t) {
  return t.index() == 2;
}

// ---- Mappers (f runs deferred, at most once) ------------------------------------------------

// This (f a); any other value itself.
template <class F, class A, class B>
[[nodiscard]] Ambrel<A, B> mapThis(F f, const Ambrel<A, B>& t) {
  if (t.index() != 0) return t;
  return internal::makeThis<A, B>(hs::deferCall<A>(std::move(f), t.here()));
}
// That (f b); any other value itself.
template <class F, class A, class B>
[[nodiscard]] Ambrel<A, B> mapThat(F f, const Ambrel<A, B>& t) {
  if (t.index() != 1) return t;
  return internal::makeThat<A, B>(hs::deferCall<B>(std::move(f), t.there()));
}
// Ambrel c d with (c, d) = f((a, b)): one deferred application shared by both fields; any other
// value itself. f receives the pair (a, b), or its deferred cell under hs::onCells.
template <class F, class A, class B>
[[nodiscard]] Ambrel<A, B> mapAmbrel(F f, const Ambrel<A, B>& t) {
  if (t.index() != 2) return t;
  using P = std::pair<A, B>;
  const hs::Lazy<P> r = hs::deferCall<P>(std::move(f), internal::pairCell(t.here(), t.there()));
  return Ambrel<A, B>(hs::Lazy<A>::apply([](const P& p) { return p.first; }, r),
                      hs::Lazy<B>::apply([](const P& p) { return p.second; }, r));
}

// ---- List filters (in input order, produced on demand) --------------------------------------

template <class A, class B>
[[nodiscard]] hs::List<hs::Lazy<A>> catHere(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justHere(t); }, xs);
}
template <class A, class B>
[[nodiscard]] hs::List<hs::Lazy<B>> catThere(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justThere(t); }, xs);
}
template <class A, class B>
[[nodiscard]] hs::List<hs::Lazy<A>> catThis(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justThis(t); }, xs);
}
template <class A, class B>
[[nodiscard]] hs::List<hs::Lazy<B>> catThat(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justThat(t); }, xs);
}
template <class A, class B>
[[nodiscard]] hs::List<std::pair<hs::Lazy<A>, hs::Lazy<B>>> catAmbrel(const hs::List<Ambrel<A, B>>& xs) {
  return hs::mapMaybe([](const Ambrel<A, B>& t) { return ambrel::justAmbrel(t); }, xs);
}

// ---- Second names of class operations -------------------------------------------------------

template <class F, class G, class A, class B>
[[nodiscard]] auto bimapAmbrel(F&& f, G&& g, const Ambrel<A, B>& t) {
  return hs::bimap(std::forward<F>(f), std::forward<G>(g), t);
}
template <class F, class A, class B>
[[nodiscard]] auto mapHere(F&& f, const Ambrel<A, B>& t) {
  return hs::first(std::forward<F>(f), t);
}
template <class F, class A, class B>
[[nodiscard]] auto mapThere(F&& f, const Ambrel<A, B>& t) {
  return hs::second(std::forward<F>(f), t);
}
template <class F, class G, class A, class B>
[[nodiscard]] auto bitraverseAmbrel(F&& f, G&& g, const Ambrel<A, B>& t) {
  return hs::bitraverse(std::forward<F>(f), std::forward<G>(g), t);
}
template <class A, class B>
[[nodiscard]] auto swapAmbrel(const Ambrel<A, B>& t) {
  return hs::swap(t);
}
template <class A, class B, class C>
[[nodiscard]] auto assocAmbrel(const Ambrel<Ambrel<A, B>, C>& t) {
  return hs::assoc(t);
}
template <class A, class B, class C>
[[nodiscard]] auto unassocAmbrel(const Ambrel<A, Ambrel<B, C>>& t) {
  return hs::unassoc(t);
}

}  // namespace ambrel
