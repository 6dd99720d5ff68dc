/// \defgroup hs_random hs/random.hpp
/// \ingroup hsplatform
/// Randomness: the split-mix generator, the standard pure generator over it, stateful generators
/// (any source of uniform 64-bit words, such as std::mt19937_64) and the adapter that runs a
/// stateful computation over a pure generator. Types join through the Uniform and Random traits.
///
/// The generators are two words held by value: every step is a few arithmetic operations and
/// allocates nothing; the endless lists of randoms and randomRs allocate one cell per element
/// reached.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <random>
#include <string>
#include <utility>

#include "hs/list.hpp"
#include "hs/show.hpp"

namespace hs {
/// \addtogroup hs_random
/// @{

// ---------------------------------------------------------------------------------------------
// The split-mix generator: a seed advanced by an odd gamma, each state mixed into one output.

/// The gamma added to a seed to derive a new generator's gamma (the golden ratio in 64 bits).
inline constexpr std::uint64_t goldenGamma = 0x9e3779b97f4a7c15ULL;

namespace detail {
[[nodiscard]] constexpr std::uint64_t shiftXorMultiply(int n, std::uint64_t k, std::uint64_t w) noexcept {
  return (w ^ (w >> n)) * k;
}
[[nodiscard]] constexpr std::uint64_t mix64(std::uint64_t z) noexcept {
  const std::uint64_t z1 = shiftXorMultiply(33, 0xff51afd7ed558ccdULL, z);
  const std::uint64_t z2 = shiftXorMultiply(33, 0xc4ceb9fe1a85ec53ULL, z1);
  return z2 ^ (z2 >> 33);
}
[[nodiscard]] constexpr std::uint64_t mix64variant13(std::uint64_t z) noexcept {
  const std::uint64_t z1 = shiftXorMultiply(30, 0xbf58476d1ce4e5b9ULL, z);
  const std::uint64_t z2 = shiftXorMultiply(27, 0x94d049bb133111ebULL, z1);
  return z2 ^ (z2 >> 31);
}
// An odd gamma with enough bit transitions.
[[nodiscard]] constexpr std::uint64_t mixGamma(std::uint64_t z) noexcept {
  const std::uint64_t g = mix64variant13(z) | 1;
  return std::popcount(g ^ (g >> 1)) >= 24 ? g : g ^ 0xaaaaaaaaaaaaaaaaULL;
}
}  // namespace detail

/// The split-mix generator: a seed advanced by an odd gamma, each state mixed into one output.
/// An immutable value; every operation gives a new generator.
class SMGen {
 public:
  /// A generator of the given seed and gamma (the gamma must be odd).
  constexpr SMGen(std::uint64_t seed, std::uint64_t gamma) noexcept : seed_(seed), gamma_(gamma) {}

  /// The current seed.
  [[nodiscard]] constexpr std::uint64_t seed() const noexcept { return seed_; }
  /// The gamma added to the seed at each step.
  [[nodiscard]] constexpr std::uint64_t gamma() const noexcept { return gamma_; }

  /// One output and the generator after it (nextWord64).
  [[nodiscard]] constexpr std::pair<std::uint64_t, SMGen> genWord64() const noexcept;
  /// Two generators whose outputs are independent (splitSMGen).
  [[nodiscard]] constexpr std::pair<SMGen, SMGen> split() const noexcept;

  friend constexpr bool operator==(SMGen, SMGen) noexcept = default;

 private:
  std::uint64_t seed_, gamma_;
};

/// The generator of a seed: the seed mixed, and a gamma derived from it.
[[nodiscard]] constexpr SMGen mkSMGen(std::uint64_t s) noexcept {
  return SMGen(detail::mix64(s), detail::mixGamma(s + goldenGamma));
}
/// One output and the generator after it: the seed advanced by the gamma, and mixed.
[[nodiscard]] constexpr std::pair<std::uint64_t, SMGen> nextWord64(SMGen g) noexcept {
  const std::uint64_t seed = g.seed() + g.gamma();
  return {detail::mix64(seed), SMGen(seed, g.gamma())};
}
/// Two generators whose outputs are independent: the first advanced twice, the second with a new
/// seed and gamma mixed from the two steps.
[[nodiscard]] constexpr std::pair<SMGen, SMGen> splitSMGen(SMGen g) noexcept {
  const std::uint64_t seed1 = g.seed() + g.gamma();
  const std::uint64_t seed2 = seed1 + g.gamma();
  return {SMGen(seed2, g.gamma()), SMGen(detail::mix64(seed1), detail::mixGamma(seed2))};
}
[[nodiscard]] constexpr std::pair<std::uint64_t, SMGen> SMGen::genWord64() const noexcept {
  return nextWord64(*this);
}
[[nodiscard]] constexpr std::pair<SMGen, SMGen> SMGen::split() const noexcept { return splitSMGen(*this); }

// ---------------------------------------------------------------------------------------------
// Pure generators: values that give one uniform 64-bit word and the generator after it.

/// A pure generator: a copyable value whose `genWord64()` gives one uniform 64-bit word and the
/// generator after it.
template <class G>
concept RandomGen = std::copy_constructible<G> && requires(const G& g) {
  { g.genWord64() } -> std::same_as<std::pair<std::uint64_t, G>>;
};

/// The standard pure generator: a split-mix generator whose every word is one of its outputs.
class StdGen {
 public:
  /// The standard generator over g.
  constexpr explicit StdGen(SMGen g) noexcept : g_(g) {}
  /// The split-mix generator inside.
  [[nodiscard]] constexpr SMGen unStdGen() const noexcept { return g_; }

  /// One output of the split-mix generator and the generator after it.
  [[nodiscard]] constexpr std::pair<std::uint64_t, StdGen> genWord64() const noexcept {
    const auto [w, next] = nextWord64(g_);
    return {w, StdGen(next)};
  }
  /// Two generators whose outputs are independent (splitSMGen).
  [[nodiscard]] constexpr std::pair<StdGen, StdGen> split() const noexcept {
    const auto [a, b] = splitSMGen(g_);
    return {StdGen(a), StdGen(b)};
  }

  friend constexpr bool operator==(StdGen, StdGen) noexcept = default;

 private:
  SMGen g_;
};

/// The standard generator of a seed (its bits as an unsigned word, through mkSMGen).
[[nodiscard]] constexpr StdGen mkStdGen(std::int64_t n) noexcept {
  return StdGen(mkSMGen(static_cast<std::uint64_t>(n)));
}

/// "SMGen seed gamma", the words in decimal, in brackets above precedence 10.
template <>
struct Show<SMGen> {
  /// \privatesection
  static void showsPrec(int d, SMGen g, std::string& out) {
    showParen(
        d > 10,
        [&](std::string& o) {
          o.append("SMGen ");
          detail::showWord(g.seed(), o);
          o.push_back(' ');
          detail::showWord(g.gamma(), o);
        },
        out);
  }
};
/// The record form "StdGen {unStdGen = SMGen seed gamma}", in brackets above precedence 10.
template <>
struct Show<StdGen> {
  /// \privatesection
  static void showsPrec(int d, StdGen g, std::string& out) {
    showParen(
        d >= 11,
        [&](std::string& o) {
          o.append("StdGen {unStdGen = ");
          Show<SMGen>::showsPrec(0, g.unStdGen(), o);
          o.push_back('}');
        },
        out);
  }
};

// ---------------------------------------------------------------------------------------------
// Stateful generators: anything that gives uniform 64-bit words when asked, either through a
// member uniformWord64() or as a standard bit generator over the whole 64-bit range.

/// A stateful generator: anything that gives uniform 64-bit words when asked, either through a
/// member uniformWord64() or as a standard bit generator over the whole 64-bit range.
template <class G>
concept StatefulGen =
    requires(G& g) {
      { g.uniformWord64() } -> std::same_as<std::uint64_t>;
    } || (std::uniform_random_bit_generator<G> &&
          std::same_as<typename G::result_type, std::uint64_t> && G::min() == 0 &&
          G::max() == ~std::uint64_t{0});

/// One uniform 64-bit word from a stateful generator, advancing it.
template <StatefulGen G>
std::uint64_t uniformWord64(G& g) {
  if constexpr (requires { g.uniformWord64(); })
    return g.uniformWord64();
  else
    return static_cast<std::uint64_t>(g());
}

/// A stateful generator over a pure one: each draw replaces the held generator by the one after it.
template <RandomGen G>
class StateGen {
 public:
  /// The stateful generator holding g.
  explicit StateGen(G g) : g_(std::move(g)) {}
  /// One word of the held generator; it is replaced by the one after it.
  std::uint64_t uniformWord64() {
    auto [w, next] = g_.genWord64();
    g_ = std::move(next);
    return w;
  }
  /// The generator held now.
  [[nodiscard]] const G& generator() const noexcept { return g_; }

 private:
  G g_;
};

/// f(stateGen) run over g: f's result and the generator after every draw f made.
template <RandomGen G, class F>
[[nodiscard]] auto runStateGen(G g, F&& f)
    -> std::pair<std::remove_cvref_t<std::invoke_result_t<F&, StateGen<G>&>>, G> {
  StateGen<G> s(std::move(g));
  auto a = std::forward<F>(f)(s);
  return {std::move(a), s.generator()};
}

// ---------------------------------------------------------------------------------------------
// The classes.

/// Uniform values drawn from a stateful generator: specialise with
/// `template <StatefulGen G> static T uniformM(G&)`.
template <class T, class Enable = void>
struct Uniform;
/// Random values from a pure generator: specialise with
/// `template <RandomGen G> static std::pair<T, G> random(G)` and
/// `randomR(const std::pair<T, T>& range, G)`, optionally `randoms(g)` and `randomRs(range, g)`
/// (the endless forms default to successive results).
template <class T, class Enable = void>
struct Random;

/// A uniform T drawn from g, by T's Uniform instance.
template <class T, StatefulGen G>
T uniformM(G& g) {
  return Uniform<T>::uniformM(g);
}
/// A random T and the generator after it, by T's Random instance.
template <class T, RandomGen G>
[[nodiscard]] std::pair<T, G> random(G g) {
  return Random<T>::random(std::move(g));
}
/// A random T within the range and the generator after it, by T's Random instance.
template <class T, RandomGen G>
[[nodiscard]] std::pair<T, G> randomR(const std::pair<T, T>& range, G g) {
  return Random<T>::randomR(range, std::move(g));
}
/// The endless list of successive results of random: the first from g, each next one from the
/// generator the one before left. Each element is drawn when its cell is first demanded, one
/// cell per element reached.
template <class T, RandomGen G>
[[nodiscard]] List<T> randoms(G g) {
  if constexpr (requires { Random<T>::randoms(g); })
    return Random<T>::randoms(std::move(g));
  else
    return hs::unfoldr([](const G& at) { return std::optional<std::pair<T, G>>(Random<T>::random(at)); },
                       std::move(g));
}
/// The endless list of successive results of randomR within the range, drawn as randoms draws.
template <class T, RandomGen G>
[[nodiscard]] List<T> randomRs(const std::pair<T, T>& range, G g) {
  if constexpr (requires { Random<T>::randomRs(range, g); })
    return Random<T>::randomRs(range, std::move(g));
  else
    return hs::unfoldr(
        [range](const G& at) {
          return std::optional<std::pair<T, G>>(Random<T>::randomR(range, at));
        },
        std::move(g));
}

/// @}
}  // namespace hs
