// Deducing what a caller's algebra or coalgebra works on, and which functors map lazily.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/unit.hpp"

namespace morvet {
/// \addtogroup morvet_fix
/// @{

/// Specialise as std::true_type for a functor tag whose mapping defers the calls of the mapped
/// function (the lazy and non-empty lists, the state functor), or hands it copies rather than
/// references into the layer: the strict folds then fold its holes on demand, with a step that owns
/// what it uses, instead of gathering them first (which records where each hole is). Such folds
/// recurse natively, through the stack helper.
template <class Tag>
struct LazyMapping : std::false_type {};
/// The lazy list maps on demand.
template <>
struct LazyMapping<hs::LazyListTag> : std::true_type {};
/// The non-empty list maps its tail on demand.
template <>
struct LazyMapping<hs::NonEmptyTag> : std::true_type {};
/// The state functor maps when its computation runs.
template <class S>
struct LazyMapping<hs::StateTag<S>> : std::true_type {};

/// @}

namespace internal {

// Whether the functor has a mapping at all.
template <class F>
concept HasMapping = requires(const typename F::template apply<hs::Unit>& layer) {
  hs::Functor<F>::fmap([](const hs::Unit&) { return hs::unit; }, layer);
};

// The default of the result-type parameters: take it from the caller's function.
struct Deduce {};

// The parameter and result of a callable with one non-template call operator (a non-generic
// lambda, a function object, a function pointer); empty for generic callables.
template <class T, class = void>
struct CallSig {};
template <class C, class R, class P>
struct CallSig<R (C::*)(P) const> {
  using param = std::remove_cvref_t<P>;
  using result = std::remove_cvref_t<R>;
};
template <class C, class R, class P>
struct CallSig<R (C::*)(P) const noexcept> : CallSig<R (C::*)(P) const> {};
template <class C, class R, class P>
struct CallSig<R (C::*)(P)> : CallSig<R (C::*)(P) const> {};
template <class C, class R, class P>
struct CallSig<R (C::*)(P) noexcept> : CallSig<R (C::*)(P) const> {};
template <class R, class P>
struct CallSig<R (*)(P)> {
  using param = std::remove_cvref_t<P>;
  using result = std::remove_cvref_t<R>;
};
template <class R, class P>
struct CallSig<R (*)(P) noexcept> : CallSig<R (*)(P)> {};
template <class T>
struct CallSig<T, std::void_t<decltype(&T::operator())>> : CallSig<decltype(&T::operator())> {};

template <class T>
concept HasCallSig = requires { typename CallSig<std::remove_cvref_t<T>>::result; };

template <class Given, class Fn>
struct ResultOfImpl {
  using type = Given;
};
template <class Fn>
struct ResultOfImpl<Deduce, Fn> {
  static_assert(HasCallSig<Fn>,
                "the result type of a generic algebra cannot be deduced: name it explicitly");
  using type = typename CallSig<std::remove_cvref_t<Fn>>::result;
};
// The result type of an algebra: the one given, or the algebra's own.
template <class Given, class Fn>
using ResultOf = typename ResultOfImpl<Given, Fn>::type;

template <class F, class X>
using Apply = typename F::template apply<X>;

// What an algebra of result R takes: its layer of results (`F<R>`); the layer deferred
// (`hs::Lazy<F<R>>`: the holes are computed when the layer is); or the layer deferred with
// deferred holes (`hs::Lazy<F<hs::Lazy<R>>>`: each hole folded when it is demanded). Only a
// non-generic algebra can ask for a deferred layer; a generic one receives the layer itself.
enum class Form { Layer, DeferredLayer, DeferredHoles };
template <class F, class R, class Fn>
[[nodiscard]] constexpr Form formOf() {
  if constexpr (HasCallSig<Fn>) {
    using P = typename CallSig<std::remove_cvref_t<Fn>>::param;
    if constexpr (!hs::IsLazy<P>::value)
      return Form::Layer;
    else if constexpr (std::is_same_v<typename P::value_type, Apply<F, hs::Lazy<R>>>)
      return Form::DeferredHoles;
    else
      return Form::DeferredLayer;
  } else {
    return Form::Layer;
  }
}

// An algebra of deferred holes as an algebra of a deferred layer whose results are deferred:
// each result is computed when demanded, so folding a layer's holes runs nothing yet.
template <class R, class Alg>
struct DeferredResult {
  std::shared_ptr<const Alg> alg;
  template <class L>
  hs::Lazy<R> operator()(const hs::Lazy<L>& layer) const {
    return hs::Lazy<R>::defer([alg = alg, layer]() -> R { return (*alg)(layer); });
  }
};
template <class T>
struct IsDeferredResult : std::false_type {};
template <class R, class Alg>
struct IsDeferredResult<DeferredResult<R, Alg>> : std::true_type {};
template <class R, class Alg>
[[nodiscard]] DeferredResult<R, Alg> deferResult(Alg alg) {
  return {std::make_shared<const Alg>(std::move(alg))};
}

// The functor tag of a coalgebra's layer: the one given, or the tag of what it returns.
template <class Given, class Layer>
struct TagFor {
  using type = Given;
};
template <class Layer>
struct TagFor<Deduce, Layer> {
  using type = hs::TagOfT<Layer>;
};

}  // namespace internal
}  // namespace morvet
