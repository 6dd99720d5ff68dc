/// \defgroup morvet_mu morvet/mu.hpp
/// \ingroup morvet_morvet
/// Mu f: a recursive value stored as its own fold, usable with an algebra of any result type.
///
/// A Mu is a handle to a shared, immutable body: copying it copies a pointer. Its fold is
/// polymorphic in the result, which C++ virtual functions are not, so the body folds at one
/// erased result type (std::any): foldMu wraps the caller's algebra, unboxing each layer's results
/// by one more mapping and boxing the algebra's result (a heap allocation where the result does
/// not fit std::any's small buffer, a pointer-sized, nothrow-movable value). Nothing of a fold is
/// kept: each fold runs the Mu's fold anew (an unfoldMu's coalgebra again, a hoist's
/// transformation again); a wrapMu's layer cell, once demanded, stays.
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/stack.hpp"
#include "morvet/fix.hpp"
#include "morvet/internal/engine.hpp"
#include "morvet/internal/traits.hpp"

namespace morvet {
/// \addtogroup morvet_mu
/// @{

template <class F>
class Mu;

namespace internal {

// A Mu's fold is polymorphic in its result. A virtual function cannot be, so the stored folds run
// at one erased result type, std::any (Box); foldMu wraps the caller's algebra into an algebra of
// boxes, which views a layer of boxes as a layer of the caller's results by one mapping.
using Box = std::any;
template <class F>
using BoxLayer = Apply<F, Box>;
template <class F>
using StrictAlgebra = std::function<Box(const BoxLayer<F>&)>;
template <class F>
using LazyAlgebra = std::function<Box(const hs::Lazy<BoxLayer<F>>&)>;
template <class F>
using SharedLazyAlgebra = std::shared_ptr<const LazyAlgebra<F>>;

template <class F>
struct MuBody {
  virtual ~MuBody() = default;
  [[nodiscard]] virtual Box foldStrict(const StrictAlgebra<F>& alg) const = 0;
  [[nodiscard]] virtual Box foldLazy(const SharedLazyAlgebra<F>& alg) const = 0;
  // The layer a wrapMu holds; null for the other kinds.
  [[nodiscard]] virtual const hs::Lazy<Apply<F, Mu<F>>>* wrapped() const noexcept { return nullptr; }
};

template <class F>
[[nodiscard]] Box foldMuStrict(const StrictAlgebra<F>& alg, const Mu<F>& m);
template <class F>
[[nodiscard]] Box foldMuLazy(const SharedLazyAlgebra<F>& alg, const Mu<F>& m);

template <class F, class Fold>
struct UserMu;

template <class A>
[[nodiscard]] A unbox(const Box& b) {
  return *std::any_cast<A>(&b);
}

}  // namespace internal

// The fold function of a Mu, as unMu returns it: given an algebra, the fold with it.
template <class F>
class MuFold;

/// A recursive value of functor F stored as its own fold (see the header's notes on the erased
/// result type). The kinds of body: Mu(fold), unfoldMu, wrapMu, hoistMu.
template <class F>
class Mu {
 public:
  using functor = F;                      ///< The functor's tag.
  using Layer = internal::Apply<F, Mu>;   ///< One layer of Mu values: `F::apply<Mu<F>>`.

  /// The Mu whose fold, given an algebra `alg` (a callable from `F<R>` to R whose member type
  /// `result_type` names R), is fold(alg); fold is called with R the erased std::any. Every fold
  /// calls it anew, and whole: nothing of a Mu made so is deferred, even for an algebra of
  /// deferred layers (unwrapMu runs all of it). Needs no mapping of F; one allocation.
  template <class Fold>
    requires(!std::is_same_v<std::remove_cvref_t<Fold>, Mu> &&
             !std::is_convertible_v<Fold, std::shared_ptr<const internal::MuBody<F>>>)
  explicit Mu(Fold fold)
      : body_(std::make_shared<const internal::UserMu<F, Fold>>(std::move(fold))) {}
  /// \privatesection
  explicit Mu(std::shared_ptr<const internal::MuBody<F>> body) noexcept : body_(std::move(body)) {}

  [[nodiscard]] const internal::MuBody<F>& body() const noexcept { return *body_; }
  /// \publicsection
  /// The body's address: values that share their body are the same value.
  [[nodiscard]] const void* identity() const noexcept { return body_.get(); }

 private:
  std::shared_ptr<const internal::MuBody<F>> body_;
};

/// Whether a and b share their body (then they are the same value); nothing is folded.
template <class F>
[[nodiscard]] bool ptrEq(const Mu<F>& a, const Mu<F>& b) noexcept {
  return a.identity() == b.identity();
}

namespace internal {

// The algebra a Mu's own fold function receives.
template <class F>
struct ErasedAlgebra {
  using result_type = Box;
  StrictAlgebra<F> alg;
  Box operator()(const BoxLayer<F>& layer) const { return alg(layer); }
};

template <class F, class Fold>
struct UserMu final : MuBody<F> {
  explicit UserMu(Fold f) : fold(std::move(f)) {}
  Fold fold;
  [[nodiscard]] Box foldStrict(const StrictAlgebra<F>& alg) const override {
    return Box(fold(ErasedAlgebra<F>{alg}));
  }
  [[nodiscard]] Box foldLazy(const SharedLazyAlgebra<F>& alg) const override {
    const StrictAlgebra<F> strict = [alg](const BoxLayer<F>& l) {
      return (*alg)(hs::Lazy<BoxLayer<F>>(l));
    };
    return Box(fold(ErasedAlgebra<F>{strict}));
  }
};

template <class F, class S, class Coalg>
struct UnfoldMu final : MuBody<F> {
  UnfoldMu(std::shared_ptr<const Coalg> c, S s) : coalg(std::move(c)), seed(std::move(s)) {}
  std::shared_ptr<const Coalg> coalg;
  S seed;
  [[nodiscard]] Box foldStrict(const StrictAlgebra<F>& alg) const override {
    return internal::hyloStrict<F, Box>(alg, *coalg, NoLeaf{}, seed);
  }
  [[nodiscard]] Box foldLazy(const SharedLazyAlgebra<F>& alg) const override {
    auto lazy = [alg](const hs::Lazy<BoxLayer<F>>& l) { return (*alg)(l); };
    auto coalgebra = [c = coalg](const S& s) { return (*c)(s); };
    const LazyRefoldStep<F, Box, S, decltype(lazy), decltype(coalgebra)> step{
        std::make_shared<const std::pair<decltype(lazy), decltype(coalgebra)>>(lazy, coalgebra)};
    return step(seed);
  }
};

template <class F>
struct WrapMu final : MuBody<F> {
  explicit WrapMu(hs::Lazy<Apply<F, Mu<F>>> l) : layer(std::move(l)) {}
  hs::Lazy<Apply<F, Mu<F>>> layer;
  [[nodiscard]] const hs::Lazy<Apply<F, Mu<F>>>* wrapped() const noexcept override { return &layer; }
  // foldMuStrict walks chains of these itself, over an explicit stack, and a functor without a
  // mapping has no wrapMu; so this natively recursive fold is not reached.
  [[nodiscard]] Box foldStrict(const StrictAlgebra<F>& alg) const override {
    return alg(hs::fmap([alg](const Mu<F>& m) { return internal::foldMuStrict(alg, m); },
                        layer.force()));
  }
  [[nodiscard]] Box foldLazy(const SharedLazyAlgebra<F>& alg) const override {
    return (*alg)(hs::Lazy<BoxLayer<F>>::apply(
        [alg](const Apply<F, Mu<F>>& l) {
          return hs::fmap([alg](const Mu<F>& m) { return internal::foldMuLazy(alg, m); }, l);
        },
        layer));
  }
};

template <class G, class F, class NT>
struct HoistMu final : MuBody<G> {
  HoistMu(std::shared_ptr<const NT> n, Mu<F> m) : nt(std::move(n)), inner(std::move(m)) {}
  std::shared_ptr<const NT> nt;
  Mu<F> inner;
  [[nodiscard]] Box foldStrict(const StrictAlgebra<G>& alg) const override {
    const StrictAlgebra<F> composed = [nt = nt, alg](const BoxLayer<F>& l) { return alg((*nt)(l)); };
    return internal::foldMuStrict(composed, inner);
  }
  [[nodiscard]] Box foldLazy(const SharedLazyAlgebra<G>& alg) const override {
    auto composed = std::make_shared<const LazyAlgebra<F>>(
        [alg, nt = nt](const hs::Lazy<BoxLayer<F>>& l) {
          return (*alg)(hs::Lazy<BoxLayer<G>>::apply(
              [nt](const BoxLayer<F>& x) -> BoxLayer<G> { return (*nt)(x); }, l));
        });
    return internal::foldMuLazy(composed, inner);
  }
};

// A chain of wrapMu layers folds over an explicit stack; any other kind folds itself.
template <class F>
struct ExpandWrapped {
  const Apply<F, Mu<F>>& operator()(const Mu<F>& m) const { return m.body().wrapped()->force(); }
};
template <class F>
struct FoldUnwrapped {
  StrictAlgebra<F> alg;
  std::optional<Box> operator()(const Mu<F>& m) const {
    if (m.body().wrapped() != nullptr) return std::nullopt;
    return m.body().foldStrict(alg);
  }
};

// The strict folds hand on copies, not references: a functor whose mapping defers its calls runs
// them after the fold has returned. Without a mapping of F there is no wrapMu of F to walk, so a
// hoist's inner Mu folds itself (hoistMu needs no mapping of its source).
template <class F>
[[nodiscard]] Box foldMuStrict(const StrictAlgebra<F>& alg, const Mu<F>& m) {
  return hs::withStack([&] {
    if constexpr (HasMapping<F>)
      return internal::hyloStrict<F, Box>(alg, ExpandWrapped<F>{}, FoldUnwrapped<F>{alg}, m);
    else
      return m.body().foldStrict(alg);
  });
}

// The caller's algebra as an algebra of boxes: one mapping unboxes the layer, the result is boxed.
// It holds the algebra by address, or owns it where the mapping may call it after foldMu returns.
template <class F, class R, class AlgRef>
struct UnboxingAlgebra {
  AlgRef alg;
  Box operator()(const BoxLayer<F>& boxes) const {
    return Box(R((*alg)(hs::fmap([](const Box& b) { return internal::unbox<R>(b); }, boxes))));
  }
};
template <class F>
[[nodiscard]] Box foldMuLazy(const SharedLazyAlgebra<F>& alg, const Mu<F>& m) {
  return hs::withStack([&] { return m.body().foldLazy(alg); });
}

}  // namespace internal

/// The fold of m with alg, in the three forms of foldFix (a chain of wrapMu layers and an unfoldMu
/// fold over an explicit stack in the layer form; a hoist nests one native call per hoist). Each
/// fold runs m's fold function anew. Beside foldFix's costs, each layer's results are unboxed by
/// one more mapping and each result boxed (std::any), and the algebra is called through a
/// std::function. Needs the functor's mapping.
template <class A = internal::Deduce, class Alg, class F>
[[nodiscard]] internal::ResultOf<A, Alg> foldMu(Alg alg, const Mu<F>& m) {
  using R = internal::ResultOf<A, Alg>;
  using internal::Box;
  constexpr internal::Form form = internal::formOf<F, R, Alg>();
  if constexpr (form == internal::Form::DeferredHoles) {
    return morvet::foldMu<hs::Lazy<R>>(internal::deferResult<R>(std::move(alg)), m).force();
  } else if constexpr (form == internal::Form::DeferredLayer || internal::IsDeferredResult<Alg>::value) {
    auto erased = std::make_shared<const internal::LazyAlgebra<F>>(
        [alg = std::move(alg)](const hs::Lazy<internal::BoxLayer<F>>& l) {
          return Box(R(alg(hs::Lazy<internal::Apply<F, R>>::apply(
              [](const internal::BoxLayer<F>& boxes) {
                return hs::fmap([](const Box& b) { return internal::unbox<R>(b); }, boxes);
              },
              l))));
        });
    return internal::unbox<R>(internal::foldMuLazy(erased, m));
  } else if constexpr (LazyMapping<F>::value) {
    using Own = std::shared_ptr<const Alg>;
    const internal::StrictAlgebra<F> erased =
        internal::UnboxingAlgebra<F, R, Own>{std::make_shared<const Alg>(std::move(alg))};
    return internal::unbox<R>(internal::foldMuStrict(erased, m));
  } else {
    const internal::StrictAlgebra<F> erased = internal::UnboxingAlgebra<F, R, const Alg*>{&alg};
    return internal::unbox<R>(internal::foldMuStrict(erased, m));
  }
}

/// The fold function of a Mu, as unMu returns it: given an algebra, the fold with it.
template <class F>
class MuFold {
 public:
  /// The fold function of m (holds a copy of the handle).
  explicit MuFold(Mu<F> m) : m_(std::move(m)) {}
  /// `foldMu<A>(alg, m)`.
  template <class A = internal::Deduce, class Alg>
  internal::ResultOf<A, Alg> operator()(Alg alg) const {
    return morvet::foldMu<A>(std::move(alg), m_);
  }

 private:
  Mu<F> m_;
};
/// m's fold function: `unMu(m)(alg)` is `foldMu(alg, m)`. Folds nothing itself.
template <class F>
[[nodiscard]] MuFold<F> unMu(const Mu<F>& m) {
  return MuFold<F>(m);
}

/// The Mu whose every fold refolds coalg from seed (the coalgebra runs again on each fold; no
/// layer is kept). Builds one body, holding coalg in one shared copy and the seed; runs nothing.
/// The functor is the tag of what coalg returns, unless given: `unfoldMu<F>(coalg, seed)`.
template <class F = internal::Deduce, class Coalg, class S>
[[nodiscard]] auto unfoldMu(Coalg coalg, S seed) {
  using G = typename internal::TagFor<F, internal::CoalgebraLayer<Coalg, S>>::type;
  return Mu<G>(std::make_shared<const internal::UnfoldMu<G, S, Coalg>>(
      std::make_shared<const Coalg>(std::move(coalg)), std::move(seed)));
}

/// The Mu of a cell of a layer of Mu values (`wrapMu<F>(cell)`): its fold calls the algebra on the
/// layer with each inner Mu folded by the same algebra; the cell is demanded when a fold reaches
/// it (for an algebra of deferred layers, when the algebra demands it), and kept. One body; chains
/// of wrapMu fold over an explicit stack.
template <class F>
[[nodiscard]] Mu<F> wrapMu(hs::Lazy<internal::Apply<F, Mu<F>>> layer) {
  return Mu<F>(std::make_shared<const internal::WrapMu<F>>(std::move(layer)));
}
/// The Mu of a layer of Mu values, its functor the layer's tag: the layer in a new, evaluated cell,
/// then as wrapMu of the cell.
template <class L>
[[nodiscard]] Mu<hs::TagOfT<L>> wrapMu(L layer) {
  using F = hs::TagOfT<L>;
  return morvet::wrapMu<F>(hs::Lazy<internal::Apply<F, Mu<F>>>(std::move(layer)));
}

/// The outermost layer of m, every hole a Mu of its own: the fold of m that rebuilds each layer
/// with wrapMu. wrapMu leaves its layer alone, so each hole's fold is deferred: the outermost layer
/// is computed now, each inner one when its Mu is first folded (and kept). An endless m unwraps.
/// A Mu(fold) is the exception: its fold function runs whole now (only the rebuilding of the
/// inner layers waits).
template <class F>
[[nodiscard]] internal::Apply<F, Mu<F>> unwrapMu(const Mu<F>& m) {
  using Layer = internal::Apply<F, Mu<F>>;
  const auto rewrap = [](const hs::Lazy<internal::Apply<F, hs::Lazy<Layer>>>& layer) -> Layer {
    return hs::fmap([](const hs::Lazy<Layer>& l) { return morvet::wrapMu<F>(l); }, layer.force());
  };
  return morvet::foldMu<Layer>(rewrap, m);
}

/// m with every layer put through the natural transformation nt (at fold time, each fold anew).
/// Builds one body, holding nt in one shared copy and m; needs no mapping of F.
template <class G = internal::Deduce, class NT, class F>
[[nodiscard]] auto hoistMu(NT nt, const Mu<F>& m) {
  using T = internal::TargetOf<G, F, NT>;
  return Mu<T>(std::make_shared<const internal::HoistMu<T, F, NT>>(
      std::make_shared<const NT>(std::move(nt)), m));
}

/// m as a Fix. The conversion is deferred: m is folded when the outermost layer is first demanded,
/// and (as far as m's kind allows: a Mu(fold) runs whole at the first demand) each layer below
/// when it is; the layers are kept in the Fix.
template <class F>
[[nodiscard]] Fix<F> muToFix(const Mu<F>& m) {
  using Layer = typename Fix<F>::Layer;
  return Fix<F>(hs::Lazy<Layer>::defer([m]() -> Layer {
    return morvet::foldMu<Fix<F>>([](const hs::Lazy<Layer>& layer) { return Fix<F>(layer); }, m)
        .unFix();
  }));
}
/// x as a Mu: the unfoldMu of x's layers. Builds nothing; each fold walks x anew (demanding its
/// layers).
template <class F>
[[nodiscard]] Mu<F> fixToMu(const Fix<F>& x) {
  return morvet::unfoldMu<F>(internal::ExpandFix<F>{}, x);
}

/// @}
}  // namespace morvet
