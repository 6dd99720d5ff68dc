// Foldable and traversable structures, keyed on type-constructor tags (see functor.hpp).
//
// A Foldable instance gives at least `toList`; the other methods default to definitions over it
// unless the instance has its own. `foldr` hands the fold of the rest to its function deferred
// (an hs::Lazy), so a function that ignores it never computes it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/error.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/semigroup.hpp"

namespace hs {

// Specialise per tag: `template <class TA> static std::vector<A> toList(const TA&)`, optionally
// any of the other methods below.
template <class Tag>
struct Foldable;
// Specialise per tag: `traverse(f, ta)`, the applicative deduced from f's result.
template <class Tag>
struct Traversable;

template <class TA>
auto toList(const TA& t) {
  return Foldable<TagOfT<TA>>::toList(t);
}

namespace detail {
template <class Z, class F, class A>
Lazy<Z> foldrRest(const F& f, const Lazy<Z>& z, std::shared_ptr<const std::vector<A>> xs,
                  std::size_t i) {
  if (i == xs->size()) return z;
  return Lazy<Z>::defer([f, z, xs, i]() -> Z { return f((*xs)[i], foldrRest<Z>(f, z, xs, i + 1)); });
}
}  // namespace detail

// Lazy right fold: f(x, deferred fold of the rest).
template <class F, class Z, class TA>
Z foldr(const F& f, Z z, const TA& t) {
  using Tag = TagOfT<TA>;
  if constexpr (requires { Foldable<Tag>::foldr(f, z, t); }) {
    return Foldable<Tag>::foldr(f, std::move(z), t);
  } else {
    auto xs = std::make_shared<const std::vector<ElementOf<TA>>>(hs::toList(t));
    if (xs->empty()) return z;
    return f((*xs)[0], detail::foldrRest<Z>(f, Lazy<Z>(std::move(z)), xs, 1));
  }
}
// Strict left fold from the first element.
template <class F, class Z, class TA>
Z foldl_(F&& f, Z z, const TA& t) {
  for (const auto& x : hs::toList(t)) z = f(std::move(z), x);
  return z;
}
// Strict right fold from the last element.
template <class F, class Z, class TA>
Z foldr_(F&& f, Z z, const TA& t) {
  const auto xs = hs::toList(t);
  for (std::size_t i = xs.size(); i > 0; --i) z = f(xs[i - 1], std::move(z));
  return z;
}
// f of each element combined from the right, f x0 <> (f x1 <> (...)); mempty only when empty.
template <class M, class F, class TA>
M foldMap(F&& f, const TA& t) {
  using Tag = TagOfT<TA>;
  if constexpr (requires { Foldable<Tag>::template foldMap<M>(f, t); }) {
    return Foldable<Tag>::template foldMap<M>(f, t);
  } else {
    const auto xs = hs::toList(t);
    if (xs.empty()) return hs::mempty<M>();
    M acc = f(xs.back());
    for (std::size_t i = xs.size() - 1; i > 0; --i) acc = hs::mappend<M>(f(xs[i - 1]), acc);
    return acc;
  }
}
template <class TA>
bool null(const TA& t) {
  using Tag = TagOfT<TA>;
  if constexpr (requires { Foldable<Tag>::null(t); })
    return Foldable<Tag>::null(t);
  else
    return hs::toList(t).empty();
}
template <class TA>
std::int64_t length(const TA& t) {
  using Tag = TagOfT<TA>;
  if constexpr (requires { Foldable<Tag>::length(t); })
    return Foldable<Tag>::length(t);
  else
    return static_cast<std::int64_t>(hs::toList(t).size());
}
template <class A, class TA>
bool elem(const A& x, const TA& t) {
  for (const auto& y : hs::toList(t))
    if (x == y) return true;
  return false;
}
template <class TA>
auto sum(const TA& t) {
  ElementOf<TA> acc{};
  for (const auto& x : hs::toList(t)) acc = acc + x;
  return acc;
}
template <class TA>
auto product(const TA& t) {
  ElementOf<TA> acc{1};
  for (const auto& x : hs::toList(t)) acc = acc * x;
  return acc;
}
// The largest element; of equal ones the last (the way max keeps its second argument).
template <class TA>
auto maximum(const TA& t) {
  const auto xs = hs::toList(t);
  if (xs.empty()) errorWithoutStackTrace("maximum: empty structure");
  auto best = xs[0];
  for (std::size_t i = 1; i < xs.size(); ++i)
    if (!(xs[i] < best)) best = xs[i];
  return best;
}
// The smallest element; of equal ones the first.
template <class TA>
auto minimum(const TA& t) {
  const auto xs = hs::toList(t);
  if (xs.empty()) errorWithoutStackTrace("minimum: empty structure");
  auto best = xs[0];
  for (std::size_t i = 1; i < xs.size(); ++i)
    if (xs[i] < best) best = xs[i];
  return best;
}
template <class F, class TA>
auto foldr1(F&& f, const TA& t) {
  const auto xs = hs::toList(t);
  if (xs.empty()) errorWithoutStackTrace("foldr1: empty structure");
  auto acc = xs.back();
  for (std::size_t i = xs.size() - 1; i > 0; --i) acc = f(xs[i - 1], std::move(acc));
  return acc;
}
template <class F, class TA>
auto foldl1(F&& f, const TA& t) {
  const auto xs = hs::toList(t);
  if (xs.empty()) errorWithoutStackTrace("foldl1: empty structure");
  auto acc = xs[0];
  for (std::size_t i = 1; i < xs.size(); ++i) acc = f(std::move(acc), xs[i]);
  return acc;
}

template <class F, class TA>
auto traverse(F&& f, const TA& t) {
  return Traversable<TagOfT<TA>>::traverse(std::forward<F>(f), t);
}
template <class TA>
auto sequenceA(const TA& t) {
  return hs::traverse([](const auto& x) { return x; }, t);
}

// f over the elements in order, the results gathered in the applicative of f's result: effects
// combine from the first element on; the list applicative gives independent result lists.
template <class F, class A>
auto traverseVector(F&& f, const std::vector<A>& xs) {
  using FB = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
  using G = TagOfT<FB>;
  using B = ElementOf<FB>;
  auto acc = hs::pure<G>(std::vector<B>{});
  for (const A& x : xs)
    acc = hs::liftA2(
        [](const std::vector<B>& done, const B& b) {
          std::vector<B> out;
          out.reserve(done.size() + 1);
          out.insert(out.end(), done.begin(), done.end());
          out.push_back(b);
          return out;
        },
        acc, [&]() { return f(x); });
  return acc;
}

template <>
struct Foldable<ListTag> {
  template <class A>
  static const std::vector<A>& toList(const std::vector<A>& xs) {
    return xs;
  }
};
template <>
struct Traversable<ListTag> {
  template <class F, class A>
  static auto traverse(F&& f, const std::vector<A>& xs) {
    return traverseVector(std::forward<F>(f), xs);
  }
};

template <>
struct Foldable<MaybeTag> {
  template <class A>
  static std::vector<A> toList(const std::optional<A>& x) {
    if (!x) return {};
    return {*x};
  }
};
template <>
struct Traversable<MaybeTag> {
  template <class F, class A>
  static auto traverse(F&& f, const std::optional<A>& x) {
    using FB = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    using B = ElementOf<FB>;
    if (!x) return hs::pure<TagOfT<FB>>(std::optional<B>());
    return hs::fmap([](const B& b) { return std::optional<B>(b); }, f(*x));
  }
};

template <>
struct Foldable<IdentityTag> {
  template <class A>
  static std::vector<A> toList(const Identity<A>& x) {
    return {x.value};
  }
};

}  // namespace hs
