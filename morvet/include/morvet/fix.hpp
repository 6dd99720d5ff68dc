/// \defgroup morvet_fix morvet/fix.hpp
/// \ingroup morvet_morvet
/// Fix f: a recursive value stored layer by layer, and the recursion schemes over it (folds,
/// unfoldings, refolds, their monadic forms, hoists).
///
/// A Fix is a handle to one shared cell (hs::Lazy) holding a layer: copying it copies a pointer,
/// and a deferred layer is computed once, when first demanded, and kept. Freeing a long chain does
/// not recurse.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/monad.hpp"
#include "hs/stack.hpp"
#include "hs/unit.hpp"
#include "morvet/internal/engine.hpp"
#include "morvet/internal/traits.hpp"

namespace morvet {
/// \addtogroup morvet_fix
/// @{

/// A recursive value stored layer by layer: one layer `F::apply<Fix<F>>` whose holes hold the next
/// layers down. The layer lives in one shared cell (hs::Lazy), which may be deferred: the
/// unfoldings build layers when they are first demanded, and a demanded layer stays evaluated.
/// Wrapping a cell and unwrapping build nothing.
template <class F>
class Fix {
 public:
  using functor = F;                        ///< The functor's tag.
  using Layer = internal::Apply<F, Fix>;    ///< One layer: `F::apply<Fix<F>>`.

  /// The layer in a new, evaluated cell (one allocation). (Both constructors take exactly their
  /// own types: a conversion would have to ask whether a layer can be made from a Fix, which asks
  /// the same of a Fix.)
  template <class L>
    requires std::is_same_v<std::remove_cvref_t<L>, Layer>
  explicit Fix(L&& layer) : cell_(std::forward<L>(layer)) {}
  /// The very cell, which may be deferred (and may fail when demanded); nothing is allocated.
  template <class C>
    requires std::is_same_v<std::remove_cvref_t<C>, hs::Lazy<Layer>>
  explicit Fix(C&& cell) noexcept : cell_(std::forward<C>(cell)) {}

  /// The layer; demands the cell (computing a deferred layer the first time, rethrowing its
  /// failure every time). The reference lasts while a handle to the cell does.
  [[nodiscard]] const Layer& unFix() const { return cell_.force(); }
  /// The cell, not demanded.
  [[nodiscard]] const hs::Lazy<Layer>& cell() const noexcept { return cell_; }
  /// The cell's address: values that share their cell are the same value.
  [[nodiscard]] const void* identity() const noexcept { return cell_.identity(); }

 private:
  hs::Lazy<Layer> cell_;
};

/// The Fix of a layer, its functor the layer's tag: the layer in a new, evaluated cell.
template <class L>
[[nodiscard]] Fix<hs::TagOfT<L>> wrapFix(L layer) {
  return Fix<hs::TagOfT<L>>(std::move(layer));
}
/// The Fix of a cell of a layer (`wrapFix<F>(cell)`): the cell itself, not demanded.
template <class F>
[[nodiscard]] Fix<F> wrapFix(hs::Lazy<typename Fix<F>::Layer> cell) {
  return Fix<F>(std::move(cell));
}
/// x's layer (x.unFix()); demands the cell.
template <class F>
[[nodiscard]] const typename Fix<F>::Layer& unFix(const Fix<F>& x) {
  return x.unFix();
}
/// x's layer, as unFix.
template <class F>
[[nodiscard]] const typename Fix<F>::Layer& unwrapFix(const Fix<F>& x) {
  return x.unFix();
}
/// Whether a and b share their cell (then they are the same value); nothing is demanded.
template <class F>
[[nodiscard]] bool ptrEq(const Fix<F>& a, const Fix<F>& b) noexcept {
  return a.identity() == b.identity();
}

namespace internal {

template <class F>
struct ExpandFix {
  const typename Fix<F>::Layer& operator()(const Fix<F>& x) const { return x.unFix(); }
};

// foldFix with an algebra of a deferred layer: the algebra runs at once; the layer is mapped
// when the algebra demands it.
template <class F, class A, class Alg>
struct LazyFoldStep {
  std::shared_ptr<const Alg> alg;
  A operator()(const Fix<F>& x) const {
    return hs::withStack([&] {
      const LazyFoldStep self = *this;
      return (*alg)(hs::Lazy<Apply<F, A>>::apply(
          [self](const typename Fix<F>::Layer& layer) { return hs::fmap(self, layer); }, x.cell()));
    });
  }
};

template <class F, class S, class Coalg>
struct UnfoldStep {
  std::shared_ptr<const Coalg> coalg;
  Fix<F> operator()(const S& s) const {
    const UnfoldStep self = *this;
    return Fix<F>(hs::Lazy<Apply<F, Fix<F>>>::defer(
        [self, s]() -> Apply<F, Fix<F>> { return hs::fmap(self, (*self.coalg)(s)); }));
  }
};

template <class F, class B, class S, class Alg, class Coalg>
struct LazyRefoldStep {
  std::shared_ptr<const std::pair<Alg, Coalg>> fns;
  B operator()(const S& s) const {
    return hs::withStack([&] {
      const LazyRefoldStep self = *this;
      auto layer = hs::Lazy<Apply<F, S>>::defer(
          [fns = fns, s]() -> Apply<F, S> { return fns->second(s); });
      return fns->first(hs::Lazy<Apply<F, B>>::apply(
          [self](const Apply<F, S>& l) { return hs::fmap(self, l); }, std::move(layer)));
    });
  }
};

template <class Coalg, class S>
using CoalgebraLayer = std::remove_cvref_t<std::invoke_result_t<const Coalg&, const S&>>;

// The traversal's action is deferred until the bind demands it (a state's bind, when it runs).
template <class F, class MR, class AlgM>
struct FoldMStep {
  std::shared_ptr<const AlgM> alg;
  MR operator()(const Fix<F>& x) const {
    using A = hs::ElementOf<MR>;
    return hs::withStack([&]() -> MR {
      const FoldMStep self = *this;
      const auto next = [alg = alg](const Apply<F, A>& layer) -> MR { return (*alg)(layer); };
      if constexpr (hs::DelayingMonad<hs::TagOfT<MR>>)
        return hs::bind(hs::delayM<hs::TagOfT<MR>>([self, x] { return hs::mapM(self, x.unFix()); }),
                        next);
      else
        return hs::bind(hs::mapM(self, x.unFix()), next);
    });
  }
};

template <class F, class M, class S, class CoalgM>
struct UnfoldMStep {
  using MFix = Apply<M, Fix<F>>;
  std::shared_ptr<const CoalgM> coalg;
  MFix operator()(const S& s) const {
    return hs::withStack([&] {
      const UnfoldMStep self = *this;
      return hs::bind((*coalg)(s), [self](const Apply<F, S>& layer) -> MFix {
        return hs::bind(hs::mapM(self, layer), [](const Apply<F, Fix<F>>& done) -> MFix {
          return hs::return_<M>(Fix<F>(done));
        });
      });
    });
  }
};

template <class F, class MR, class S, class AlgM, class CoalgM>
struct RefoldMStep {
  std::shared_ptr<const std::pair<AlgM, CoalgM>> fns;
  MR operator()(const S& s) const {
    using B = hs::ElementOf<MR>;
    return hs::withStack([&]() -> MR {
      const RefoldMStep self = *this;
      return hs::bind(fns->second(s), [self](const Apply<F, S>& layer) -> MR {
        return hs::bind(hs::mapM(self, layer),
                        [fns = self.fns](const Apply<F, B>& done) -> MR { return fns->first(done); });
      });
    });
  }
};

// The target tag of a natural transformation: the one given, or what it makes of a layer of units.
template <class Given, class F, class NT>
using TargetOf =
    typename TagFor<Given, std::remove_cvref_t<std::invoke_result_t<const NT&, const Apply<F, hs::Unit>&>>>::type;

template <class F, class G, class NT>
struct HoistStep {
  std::shared_ptr<const NT> nt;
  Fix<G> operator()(const Fix<F>& x) const {
    const HoistStep self = *this;
    return Fix<G>(hs::Lazy<Apply<G, Fix<G>>>::apply(
        [self](const Apply<F, Fix<F>>& layer) -> Apply<G, Fix<G>> {
          return (*self.nt)(hs::fmap(self, layer));
        },
        x.cell()));
  }
};

template <class F, class G, class NT>
struct HoistStep_ {
  std::shared_ptr<const NT> nt;
  Fix<G> operator()(const Fix<F>& x) const {
    const HoistStep_ self = *this;
    return Fix<G>(hs::Lazy<Apply<G, Fix<G>>>::apply(
        [self](const Apply<F, Fix<F>>& layer) -> Apply<G, Fix<G>> {
          return hs::fmap(self, (*self.nt)(layer));
        },
        x.cell()));
  }
};

}  // namespace internal

/// The fold of x with alg, in one of three forms chosen by the algebra's parameter:
/// - `F<A>`: the layer of the children's results; the walk runs over an explicit stack, children
///   first in the order the functor's mapping visits them, so values of any depth fold: every
///   layer is demanded and alg called once per layer before foldFix returns. A layer costs two
///   mappings (one finds the holes, one hands them their results), and the work stacks grow with
///   the depth and the holes waiting. For a functor whose mapping defers its calls
///   (morvet::LazyMapping: lazy and non-empty lists, the state functor) the children are folded
///   instead by native recursion through the stack helper, each when its result is first reached.
/// - `hs::Lazy<F<A>>`: the algebra runs before anything of x is evaluated; the layer is mapped
///   (each child's algebra called) only when the algebra demands it, one deferred cell per layer.
///   Right for results that are themselves lazy (a Fix, an hs::Lazy).
/// - `hs::Lazy<F<hs::Lazy<A>>>`: as above, and each child is folded only when its hole is
///   demanded (one more deferred cell per hole).
/// The deferred forms nest native calls as deep as the algebra's demand reaches, on stack segments
/// taken from the heap where the thread's stack runs short (hs::withStack). A generic algebra
/// gets the layer and needs its result type named: `foldFix<A>(alg, x)`.
template <class A = internal::Deduce, class Alg, class F>
[[nodiscard]] internal::ResultOf<A, Alg> foldFix(Alg alg, const Fix<F>& x) {
  using R = internal::ResultOf<A, Alg>;
  constexpr internal::Form form = internal::formOf<F, R, Alg>();
  if constexpr (form == internal::Form::DeferredHoles) {
    return morvet::foldFix<hs::Lazy<R>>(internal::deferResult<R>(std::move(alg)), x).force();
  } else if constexpr (form == internal::Form::DeferredLayer || internal::IsDeferredResult<Alg>::value) {
    const internal::LazyFoldStep<F, R, Alg> step{std::make_shared<const Alg>(std::move(alg))};
    return step(x);
  } else {
    return internal::hyloStrict<F, R>(alg, internal::ExpandFix<F>{}, internal::NoLeaf{}, x);
  }
}
/// foldFix under its other name.
template <class A = internal::Deduce, class Alg, class F>
[[nodiscard]] internal::ResultOf<A, Alg> cata(Alg alg, const Fix<F>& x) {
  return morvet::foldFix<A>(std::move(alg), x);
}

/// The value coalg unfolds from seed. It returns at once, with a deferred cell: coalg runs on a
/// seed when its layer is first demanded, and the layer (each child a new deferred cell holding a
/// copy of its seed) is kept, so an endless unfolding can be consumed as far as needed. coalg is
/// held in one shared copy. The functor is the tag of what coalg returns, unless given:
/// `unfoldFix<F>(coalg, seed)`.
template <class F = internal::Deduce, class Coalg, class S>
[[nodiscard]] auto unfoldFix(Coalg coalg, S seed) {
  using G = typename internal::TagFor<F, internal::CoalgebraLayer<Coalg, S>>::type;
  const internal::UnfoldStep<G, S, Coalg> step{std::make_shared<const Coalg>(std::move(coalg))};
  return step(seed);
}
/// unfoldFix under its other name.
template <class F = internal::Deduce, class Coalg, class S>
[[nodiscard]] auto ana(Coalg coalg, S seed) {
  return morvet::unfoldFix<F>(std::move(coalg), std::move(seed));
}

/// The fold of what coalg unfolds from seed, without building a Fix, in the three forms of
/// foldFix. An algebra of a layer runs over an explicit stack (only the layers of seeds under
/// evaluation are alive) and everything is done when refold returns; an algebra of a deferred
/// layer runs at once, and the coalgebra runs on a seed only when the algebra demands its layer.
/// The functor is the tag of what coalg returns.
template <class B = internal::Deduce, class Alg, class Coalg, class S>
[[nodiscard]] internal::ResultOf<B, Alg> refold(Alg alg, Coalg coalg, S seed) {
  using R = internal::ResultOf<B, Alg>;
  using F = hs::TagOfT<internal::CoalgebraLayer<Coalg, S>>;
  constexpr internal::Form form = internal::formOf<F, R, Alg>();
  if constexpr (form == internal::Form::DeferredHoles) {
    return morvet::refold<hs::Lazy<R>>(internal::deferResult<R>(std::move(alg)), std::move(coalg),
                                       std::move(seed))
        .force();
  } else if constexpr (form == internal::Form::DeferredLayer || internal::IsDeferredResult<Alg>::value) {
    const internal::LazyRefoldStep<F, R, S, Alg, Coalg> step{
        std::make_shared<const std::pair<Alg, Coalg>>(std::move(alg), std::move(coalg))};
    return step(seed);
  } else {
    return internal::hyloStrict<F, R>(alg, coalg, internal::NoLeaf{}, seed);
  }
}
/// refold under its other name.
template <class B = internal::Deduce, class Alg, class Coalg, class S>
[[nodiscard]] internal::ResultOf<B, Alg> hylo(Alg alg, Coalg coalg, S seed) {
  return morvet::refold<B>(std::move(alg), std::move(coalg), std::move(seed));
}

/// The monadic fold: alg returns `M<A>` (name it, `foldFixM<M<A>>`, for a generic algebra).
/// Effects: each child's whole subtree in traversal order, then the algebra on the layer
/// (post-order). Native recursion, one level per layer, through the stack helper. For a monad
/// whose bind runs its first computation later (hs::DelayingMonad: the state monad) building the
/// computation demands nothing: each layer is demanded, and its traversal made, when the
/// computation runs there; other monads fold the whole value now.
template <class MA = internal::Deduce, class AlgM, class F>
[[nodiscard]] internal::ResultOf<MA, AlgM> foldFixM(AlgM alg, const Fix<F>& x) {
  using MR = internal::ResultOf<MA, AlgM>;
  const internal::FoldMStep<F, MR, AlgM> step{std::make_shared<const AlgM>(std::move(alg))};
  return step(x);
}
/// foldFixM under its other name.
template <class MA = internal::Deduce, class AlgM, class F>
[[nodiscard]] internal::ResultOf<MA, AlgM> cataM(AlgM alg, const Fix<F>& x) {
  return morvet::foldFixM<MA>(std::move(alg), x);
}

/// The monadic unfolding: coalg returns `M<F<S>>`. Effects: the coalgebra on a seed, then each
/// child seed's whole unfolding in traversal order (pre-order). The value is built whole, in
/// evaluated cells, as the monad's computation runs (an endless unfolding does not end); native
/// recursion, one level per layer, through the stack helper.
template <class F = internal::Deduce, class CoalgM, class S>
[[nodiscard]] auto unfoldFixM(CoalgM coalg, S seed) {
  using MLayer = internal::CoalgebraLayer<CoalgM, S>;
  using M = hs::TagOfT<MLayer>;
  using G = typename internal::TagFor<F, hs::ElementOf<MLayer>>::type;
  const internal::UnfoldMStep<G, M, S, CoalgM> step{std::make_shared<const CoalgM>(std::move(coalg))};
  return step(seed);
}
/// unfoldFixM under its other name.
template <class F = internal::Deduce, class CoalgM, class S>
[[nodiscard]] auto anaM(CoalgM coalg, S seed) {
  return morvet::unfoldFixM<F>(std::move(coalg), std::move(seed));
}

/// The monadic refold: the coalgebra's effects in pre-order and the algebra's in post-order,
/// interleaved depth first; no Fix is built. Native recursion, one level per layer, through the
/// stack helper.
template <class MB = internal::Deduce, class AlgM, class CoalgM, class S>
[[nodiscard]] internal::ResultOf<MB, AlgM> refoldM(AlgM alg, CoalgM coalg, S seed) {
  using MR = internal::ResultOf<MB, AlgM>;
  using F = hs::TagOfT<hs::ElementOf<internal::CoalgebraLayer<CoalgM, S>>>;
  const internal::RefoldMStep<F, MR, S, AlgM, CoalgM> step{
      std::make_shared<const std::pair<AlgM, CoalgM>>(std::move(alg), std::move(coalg))};
  return step(seed);
}
/// refoldM under its other name.
template <class MB = internal::Deduce, class AlgM, class CoalgM, class S>
[[nodiscard]] internal::ResultOf<MB, AlgM> hyloM(AlgM alg, CoalgM coalg, S seed) {
  return morvet::refoldM<MB>(std::move(alg), std::move(coalg), std::move(seed));
}

/// x with every layer put through the natural transformation nt (a callable from `F<X>` to
/// `G<X>` for every X), on demand. It returns at once, with a deferred cell over x's cell: a layer
/// is converted when first demanded (demanding x's layer there), each child becoming a new
/// deferred cell, and kept. hoistFix maps with the source functor and hands nt a layer of
/// (deferred) converted children; nt is held in one shared copy. The target is what nt makes of a
/// layer, unless given: `hoistFix<G>(nt, x)`.
template <class G = internal::Deduce, class NT, class F>
[[nodiscard]] auto hoistFix(NT nt, const Fix<F>& x) {
  using T = internal::TargetOf<G, F, NT>;
  const internal::HoistStep<F, T, NT> step{std::make_shared<const NT>(std::move(nt))};
  return step(x);
}
/// As hoistFix, but nt is handed the unconverted layer and the result is mapped with the target
/// functor.
template <class G = internal::Deduce, class NT, class F>
[[nodiscard]] auto hoistFix_(NT nt, const Fix<F>& x) {
  using T = internal::TargetOf<G, F, NT>;
  const internal::HoistStep_<F, T, NT> step{std::make_shared<const NT>(std::move(nt))};
  return step(x);
}

/// @}
}  // namespace morvet
