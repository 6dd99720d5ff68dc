/// \defgroup morvet_nu morvet/nu.hpp
/// \ingroup morvet_morvet
/// Nu f: a recursive value stored as a step function and a seed, its layers produced on demand.
///
/// A Nu is a handle to one shared cell (hs::Lazy) of {step, seed}: the seed's type is hidden (a
/// std::any) and the step erased behind a virtual call that unboxes the seed and boxes each child
/// seed (one mapping per layer, and an allocation per child seed that does not fit std::any's
/// small buffer). Layers are not kept: each unwrap or fold runs the steps again.
#pragma once

#include <any>
#include <memory>
#include <type_traits>
#include <utility>

#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/stack.hpp"
#include "morvet/fix.hpp"
#include "morvet/internal/engine.hpp"
#include "morvet/internal/traits.hpp"

namespace morvet {
/// \addtogroup morvet_nu
/// @{

template <class F>
class Nu;

namespace internal {

// The seed's type is hidden: a cell holds the step, erased behind a virtual call that takes the
// seed as a std::any and gives the layer of child seeds as std::any values, and the seed itself.
template <class F>
struct NuStep {
  virtual ~NuStep() = default;
  virtual Apply<F, std::any> step(const std::any& seed) const = 0;
};

template <class F>
struct NuCell {
  std::shared_ptr<const NuStep<F>> step;
  std::any seed;
};

// A seed is stored as given: a plain value, or a deferred one (an hs::Lazy), demanded when the
// step first needs it. Child seeds are plain values.
template <class S>
[[nodiscard]] const S& seedValue(const std::any& seed) {
  if (const S* s = std::any_cast<S>(&seed)) return *s;
  return std::any_cast<const hs::Lazy<S>&>(seed).force();
}
template <class G, class S>
[[nodiscard]] decltype(auto) callStep(const G& g, const S& s) {
  if constexpr (hs::IsLazy<G>::value)
    return g.force()(s);
  else
    return g(s);
}

template <class F, class S, class G>
struct TypedStep final : NuStep<F> {
  explicit TypedStep(G g) : fn(std::move(g)) {}
  G fn;
  Apply<F, std::any> step(const std::any& seed) const override {
    return hs::fmap([](const S& child) { return std::any(child); },
                    internal::callStep(fn, internal::seedValue<S>(seed)));
  }
};

template <class G, class F, class NT>
struct HoistedStep final : NuStep<G> {
  HoistedStep(std::shared_ptr<const NuStep<F>> i, std::shared_ptr<const NT> n)
      : inner(std::move(i)), nt(std::move(n)) {}
  std::shared_ptr<const NuStep<F>> inner;
  std::shared_ptr<const NT> nt;
  Apply<G, std::any> step(const std::any& seed) const override {
    return hs::withStack([&] { return (*nt)(inner->step(seed)); });
  }
};

template <class F>
struct ExpandNu {
  std::shared_ptr<const NuStep<F>> step;  // owned: a mapping may call it after the fold returns
  Apply<F, std::any> operator()(const std::any& seed) const { return step->step(seed); }
};

template <class X>
struct StepType {
  using type = X;
};
template <class X>
struct StepType<hs::Lazy<X>> {
  using type = X;
};

}  // namespace internal

/// A recursive value of functor F stored as a step and a seed (see the header's notes).
template <class F>
class Nu {
 public:
  using functor = F;  ///< The functor's tag.
  /// \privatesection
  using Cell = internal::NuCell<F>;

  explicit Nu(hs::Lazy<Cell> cell) noexcept : cell_(std::move(cell)) {}
  /// \publicsection
  /// A Nu whose cell is that of the Nu f() returns, computed when first demanded (f runs at most
  /// once; if it throws, every demand fails with its exception).
  template <class Fn>
  [[nodiscard]] static Nu defer(Fn f) {
    return Nu(hs::Lazy<Cell>::defer([f = std::move(f)]() -> Cell { return f().cell_.force(); }));
  }

  /// \privatesection
  // Demands the cell.
  [[nodiscard]] const Cell& cell() const { return cell_.force(); }
  [[nodiscard]] const hs::Lazy<Cell>& lazyCell() const noexcept { return cell_; }
  /// \publicsection
  /// The cell's address: values that share their cell are the same value.
  [[nodiscard]] const void* identity() const noexcept { return cell_.identity(); }

 private:
  hs::Lazy<Cell> cell_;
};

/// Whether a and b share their cell (then they are the same value); nothing is demanded.
template <class F>
[[nodiscard]] bool ptrEq(const Nu<F>& a, const Nu<F>& b) noexcept {
  return a.identity() == b.identity();
}

/// The Nu of a step (a callable from S to `F<S>`) and a seed; either may be an hs::Lazy, and
/// nothing is evaluated (a deferred seed is demanded when the step first needs it). One evaluated
/// cell, the step in one shared allocation, the seed in a std::any. The functor is the tag of what
/// the step returns, unless given: `unfoldNu<F>(...)`.
template <class F = internal::Deduce, class G, class S>
[[nodiscard]] auto unfoldNu(G step, S seed) {
  using Seed = typename internal::StepType<S>::type;
  using Fn = typename internal::StepType<G>::type;
  using T = typename internal::TagFor<F, internal::CoalgebraLayer<Fn, Seed>>::type;
  using Cell = internal::NuCell<T>;
  return Nu<T>(hs::Lazy<Cell>(Cell{std::make_shared<const internal::TypedStep<T, Seed, G>>(std::move(step)),
                                   std::any(std::move(seed))}));
}

/// The outermost layer, every hole a Nu of the same step and a child seed (a new evaluated cell
/// each). Demands the cell, then runs the step once; the layer is not kept.
template <class F>
[[nodiscard]] internal::Apply<F, Nu<F>> unwrapNu(const Nu<F>& n) {
  using Cell = internal::NuCell<F>;
  const Cell& c = n.cell();
  return hs::fmap(
      [step = c.step](const std::any& child) { return Nu<F>(hs::Lazy<Cell>(Cell{step, child})); },
      c.step->step(c.seed));
}

/// The Nu whose seed is the layer itself and whose step unwraps each inner Nu: unwrapping it runs
/// the step of every Nu in the layer once, a layer ahead of what the holes need.
template <class F>
[[nodiscard]] Nu<F> wrapNu(internal::Apply<F, Nu<F>> layer) {
  using Layer = internal::Apply<F, Nu<F>>;
  auto step = [](const Layer& l) { return hs::fmap([](const Nu<F>& n) { return morvet::unwrapNu(n); }, l); };
  return morvet::unfoldNu<F>(std::move(step), std::move(layer));
}
/// wrapNu with the functor the layer's tag.
template <class L>
[[nodiscard]] auto wrapNu(L layer) -> Nu<hs::TagOfT<L>> {
  return morvet::wrapNu<hs::TagOfT<L>>(std::move(layer));
}

/// The fold of n's layers with alg, in the three forms of foldFix (the layer form over an explicit
/// stack, each step run as its layer is reached; the deferred forms run a step when the algebra
/// demands its layer). Demands the cell before anything else; each fold runs the steps anew.
template <class A = internal::Deduce, class Alg, class F>
[[nodiscard]] internal::ResultOf<A, Alg> foldNu(Alg alg, const Nu<F>& n) {
  using R = internal::ResultOf<A, Alg>;
  constexpr internal::Form form = internal::formOf<F, R, Alg>();
  if constexpr (form == internal::Form::DeferredHoles) {
    return morvet::foldNu<hs::Lazy<R>>(internal::deferResult<R>(std::move(alg)), n).force();
  } else {
    const internal::NuCell<F>& c = n.cell();
    if constexpr (form == internal::Form::DeferredLayer || internal::IsDeferredResult<Alg>::value) {
      auto coalg = [step = c.step](const std::any& s) { return step->step(s); };
      const internal::LazyRefoldStep<F, R, std::any, Alg, decltype(coalg)> step{
          std::make_shared<const std::pair<Alg, decltype(coalg)>>(std::move(alg), std::move(coalg))};
      return step(c.seed);
    } else {
      return internal::hyloStrict<F, R>(alg, internal::ExpandNu<F>{c.step}, internal::NoLeaf{},
                                        c.seed);
    }
  }
}

/// n with the natural transformation nt after its step; the same seed. Demands the cell; one new
/// evaluated cell, nt in one shared copy. A step of a hoist of a hoist nests one native call per
/// hoist, through the stack helper.
template <class G = internal::Deduce, class NT, class F>
[[nodiscard]] auto hoistNu(NT nt, const Nu<F>& n) {
  using T = internal::TargetOf<G, F, NT>;
  using Cell = internal::NuCell<T>;
  const internal::NuCell<F>& c = n.cell();
  return Nu<T>(hs::Lazy<Cell>(
      Cell{std::make_shared<const internal::HoistedStep<T, F, NT>>(c.step, std::make_shared<const NT>(std::move(nt))),
           c.seed}));
}

/// n as a Fix. The conversion is deferred: n's cell is evaluated when the outermost layer is first
/// demanded, and each layer below is built, by one run of the step, when it is demanded; the
/// layers are kept in the Fix.
template <class F>
[[nodiscard]] Fix<F> nuToFix(const Nu<F>& n) {
  using Layer = typename Fix<F>::Layer;
  return Fix<F>(hs::Lazy<Layer>::apply(
      [](const internal::NuCell<F>& c) -> Layer {
        const auto wrap = [](const hs::Lazy<Layer>& layer) { return Fix<F>(layer); };
        const auto coalg = [step = c.step](const std::any& s) { return step->step(s); };
        const internal::LazyRefoldStep<F, Fix<F>, std::any, decltype(wrap), decltype(coalg)> step{
            std::make_shared<const std::pair<decltype(wrap), decltype(coalg)>>(wrap, coalg)};
        // The outermost layer of foldNu wrapFix: each hole the refold of a child seed.
        return hs::fmap(step, c.step->step(c.seed));
      },
      n.lazyCell()));
}
/// x as a Nu: the unfoldNu whose step is unFix and whose seed is x. Evaluates nothing; each
/// unwrap demands the layer it reaches.
template <class F>
[[nodiscard]] Nu<F> fixToNu(const Fix<F>& x) {
  return morvet::unfoldNu<F>(internal::ExpandFix<F>{}, x);
}

/// @}
}  // namespace morvet
