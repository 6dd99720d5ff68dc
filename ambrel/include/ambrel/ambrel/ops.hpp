// Eliminators, partitions of lists and distributions over pairs.
//
// Each operation evaluates its value to the constructor and reads the fields without evaluating
// them. Results that are fields are the stored cells themselves; computed fields are deferred.
#pragma once

#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "ambrel/ambrel/type.hpp"
#include "hs/call.hpp"
#include "hs/either.hpp"
#include "hs/lazy.hpp"
#include "hs/list.hpp"

namespace ambrel {
/// \addtogroup ambrel_ambrel
/// @{

namespace internal {
template <class A, class B>
[[nodiscard]] std::pair<A, B> makePair(const A& a, const B& b) {
  return std::pair<A, B>(a, b);
}
// The deferred pair (a, b) of two cells: building it evaluates neither.
template <class A, class B>
[[nodiscard]] hs::Lazy<std::pair<A, B>> pairCell(const hs::Lazy<A>& a, const hs::Lazy<B>& b) {
  return hs::Lazy<std::pair<A, B>>::apply(&makePair<A, B>, a, b);
}
// A partition is known once the input's first cell and that element's constructor are (a failing
// one fails the partition itself); every entry after them is left to its own list.
template <class A, class B>
void partitionHead(const hs::List<Ambrel<A, B>>& xs) {
  if (!xs.null()) (void)xs.head().index();
}
}  // namespace internal

/// Case analysis: f(a) for This a, g(b) for That b, h(a, b) for Ambrel a b, called now. The
/// functions receive the field values (forced), or the field cells unforced under hs::onCells.
template <class F, class G, class H, class A, class B>
[[nodiscard]] auto ambrel(F&& f, G&& g, H&& h, const Ambrel<A, B>& t) {
  const internal::Node& n = internal::Access::node(t);
  switch (n.index) {
    case 0:
      return hs::call(f, n.here.template get<A>());
    case 1:
      return hs::call(g, n.there.template get<B>());
    default:
      return hs::call(h, n.here.template get<A>(), n.there.template get<B>());
  }
}

/// The pair of the fields, the defaults filling the absent side (never evaluated).
template <class A, class B>
[[nodiscard]] std::pair<hs::Lazy<A>, hs::Lazy<B>> fromAmbrel(hs::Lazy<A> a0, hs::Lazy<B> b0,
                                               const Ambrel<A, B>& t) {
  const internal::Node& n = internal::Access::node(t);
  if (n.index == 0) return {n.here.template get<A>(), std::move(b0)};
  if (n.index == 1) return {std::move(a0), n.there.template get<B>()};
  return {n.here.template get<A>(), n.there.template get<B>()};
}

/// The one field of This or That (the cell itself), or the deferred op(a, b) of Ambrel.
template <class Op, class A>
[[nodiscard]] hs::Lazy<A> mergeAmbrel(Op op, const Ambrel<A, A>& t) {
  const internal::Node& n = internal::Access::node(t);
  if (n.index == 0) return n.here.template get<A>();
  if (n.index == 1) return n.there.template get<A>();
  return hs::deferCall<A>(std::move(op), n.here.template get<A>(), n.there.template get<A>());
}

/// The deferred f(a), g(b), or op(f(a), g(b)) (the two applications themselves deferred: op
/// receives their cells under hs::onCells).
template <class F, class G, class Op, class A, class B>
[[nodiscard]] auto mergeAmbrelWith(F f, G g, Op op, const Ambrel<A, B>& t) {
  using C = internal::ResultOf<F, A>;
  const internal::Node& n = internal::Access::node(t);
  if (n.index == 0) return hs::deferCall<C>(std::move(f), n.here.template get<A>());
  if (n.index == 1) return hs::deferCall<C>(std::move(g), n.there.template get<B>());
  hs::Lazy<C> fa = hs::deferCall<C>(std::move(f), n.here.template get<A>());
  hs::Lazy<C> gb = hs::deferCall<C>(std::move(g), n.there.template get<B>());
  return hs::deferCall<C>(std::move(op), std::move(fa), std::move(gb));
}

// ---- Partitions (each result list is produced on demand, one input element at a time; the call
// itself evaluates the first cell and its element) ----------------------------------------------

/// (the first values of the This elements, the second values of the That elements, the pairs of
/// the Ambrel elements), in input order.
template <class A, class B>
[[nodiscard]] std::tuple<hs::List<hs::Lazy<A>>, hs::List<hs::Lazy<B>>,
           hs::List<std::pair<hs::Lazy<A>, hs::Lazy<B>>>>
partitionAmbrel(const hs::List<Ambrel<A, B>>& xs) {
  using LA = hs::Lazy<A>;
  using LB = hs::Lazy<B>;
  using P = std::pair<LA, LB>;
  internal::partitionHead(xs);
  return {hs::mapMaybe(
              [](const Ambrel<A, B>& t) -> std::optional<LA> {
                if (t.index() != 0) return std::nullopt;
                return t.here();
              },
              xs),
          hs::mapMaybe(
              [](const Ambrel<A, B>& t) -> std::optional<LB> {
                if (t.index() != 1) return std::nullopt;
                return t.there();
              },
              xs),
          hs::mapMaybe(
              [](const Ambrel<A, B>& t) -> std::optional<P> {
                if (t.index() != 2) return std::nullopt;
                return P(t.here(), t.there());
              },
              xs)};
}

/// (every first value, every second value), in input order.
template <class A, class B>
[[nodiscard]] std::pair<hs::List<hs::Lazy<A>>, hs::List<hs::Lazy<B>>> partitionHereThere(
    const hs::List<Ambrel<A, B>>& xs) {
  using LA = hs::Lazy<A>;
  using LB = hs::Lazy<B>;
  internal::partitionHead(xs);
  return {hs::mapMaybe(
              [](const Ambrel<A, B>& t) -> std::optional<LA> {
                if (t.index() == 1) return std::nullopt;
                return t.here();
              },
              xs),
          hs::mapMaybe(
              [](const Ambrel<A, B>& t) -> std::optional<LB> {
                if (t.index() == 0) return std::nullopt;
                return t.there();
              },
              xs)};
}

/// The Left values and the Right values of a non-empty list, each side non-empty where present;
/// the head leads the list of its own side. Evaluates the head, the tail's first cell, and the
/// tail up to the first element of the other side.
template <class A, class B>
[[nodiscard]] Ambrel<hs::NonEmpty<A>, hs::NonEmpty<B>> partitionEithersNE(
    const hs::NonEmpty<hs::Either<A, B>>& xs) {
  using NA = hs::NonEmpty<A>;
  using NB = hs::NonEmpty<B>;
  const hs::Either<A, B>& x = xs.head;
  (void)xs.tail.null();
  auto [ls, rs] = hs::partitionEithers(xs.tail);
  if (x.isLeft()) {
    NA here{x.left(), std::move(ls)};
    auto r = rs.uncons();
    if (!r) return internal::makeThis<NA, NB>(hs::Lazy<NA>(std::move(here)));
    return Ambrel<NA, NB>(std::move(here), NB{std::move(r->first), std::move(r->second)});
  }
  NB there{x.right(), std::move(rs)};
  auto l = ls.uncons();
  if (!l) return internal::makeThat<NA, NB>(hs::Lazy<NB>(std::move(there)));
  return Ambrel<NA, NB>(NA{std::move(l->first), std::move(l->second)}, std::move(there));
}

// ---- Distributions over pairs ---------------------------------------------------------------

/// Ambrel (a, b) c to (Ambrel a c, Ambrel b c); a That is both components itself.
template <class A, class B, class C>
[[nodiscard]] std::pair<Ambrel<A, C>, Ambrel<B, C>> distrAmbrelPair(const Ambrel<std::pair<A, B>, C>& t) {
  const internal::Node& n = internal::Access::node(t);
  if (n.index == 1)
    return {internal::view<Ambrel<A, C>>(t), internal::view<Ambrel<B, C>>(t)};
  const std::pair<A, B>& p = n.here.template get<std::pair<A, B>>().force();
  if (n.index == 0)
    return {internal::makeThis<A, C>(hs::Lazy<A>(p.first)),
            internal::makeThis<B, C>(hs::Lazy<B>(p.second))};
  const hs::Lazy<C>& c = n.there.template get<C>();
  return {Ambrel<A, C>(hs::Lazy<A>(p.first), c), Ambrel<B, C>(hs::Lazy<B>(p.second), c)};
}

/// (Ambrel a c, Ambrel b c) to Ambrel (a, b) c. Evaluates both components, always; where both hold
/// a second value, the first component's stays.
template <class A, class B, class C>
[[nodiscard]] Ambrel<std::pair<A, B>, C> undistrAmbrelPair(const std::pair<Ambrel<A, C>, Ambrel<B, C>>& p) {
  using R = Ambrel<std::pair<A, B>, C>;
  const Ambrel<A, C>& x = p.first;
  const Ambrel<B, C>& y = p.second;
  const internal::Node& nx = internal::Access::node(x);
  const internal::Node& ny = internal::Access::node(y);
  if (nx.index == 1) return internal::view<R>(x);
  const hs::Lazy<A>& a = nx.here.template get<A>();
  if (nx.index == 0) {
    if (ny.index == 1) return internal::view<R>(y);
    auto ab = internal::pairCell(a, ny.here.template get<B>());
    if (ny.index == 0) return internal::makeThis<std::pair<A, B>, C>(std::move(ab));
    return R(std::move(ab), ny.there.template get<C>());
  }
  const hs::Lazy<C>& c = nx.there.template get<C>();
  if (ny.index == 1) return internal::makeThat<std::pair<A, B>, C>(c);
  return R(internal::pairCell(a, ny.here.template get<B>()), c);
}

/// (Ambrel a b, c) to Ambrel (a, c) (b, c); c is shared by every pair built, not evaluated.
template <class A, class B, class C>
[[nodiscard]] Ambrel<std::pair<A, C>, std::pair<B, C>> distrPairAmbrel(const std::pair<Ambrel<A, B>, C>& p) {
  using R = Ambrel<std::pair<A, C>, std::pair<B, C>>;
  const internal::Node& n = internal::Access::node(p.first);
  const hs::Lazy<C> c(p.second);
  if (n.index == 0)
    return internal::makeThis<std::pair<A, C>, std::pair<B, C>>(
        internal::pairCell(n.here.template get<A>(), c));
  if (n.index == 1)
    return internal::makeThat<std::pair<A, C>, std::pair<B, C>>(
        internal::pairCell(n.there.template get<B>(), c));
  return R(internal::pairCell(n.here.template get<A>(), c),
           internal::pairCell(n.there.template get<B>(), c));
}

/// Ambrel (a, c) (b, c) to (Ambrel a b, c); of two c the first pair's stays.
template <class A, class B, class C>
[[nodiscard]] std::pair<Ambrel<A, B>, C> undistrPairAmbrel(const Ambrel<std::pair<A, C>, std::pair<B, C>>& t) {
  const internal::Node& n = internal::Access::node(t);
  if (n.index == 0) {
    const std::pair<A, C>& p = n.here.template get<std::pair<A, C>>().force();
    return {internal::makeThis<A, B>(hs::Lazy<A>(p.first)), p.second};
  }
  if (n.index == 1) {
    const std::pair<B, C>& q = n.there.template get<std::pair<B, C>>().force();
    return {internal::makeThat<A, B>(hs::Lazy<B>(q.first)), q.second};
  }
  const std::pair<A, C>& p = n.here.template get<std::pair<A, C>>().force();
  const std::pair<B, C>& q = n.there.template get<std::pair<B, C>>().force();
  return {Ambrel<A, B>(hs::Lazy<A>(p.first), hs::Lazy<B>(q.first)), p.second};
}

/// @}
}  // namespace ambrel
