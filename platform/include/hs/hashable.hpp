/// \defgroup hs_hashable hs/hashable.hpp
/// \ingroup hsplatform
/// Hashing: salted 64-bit hashes of values, the lifted forms for one- and two-parameter types,
/// the word mix and the byte-string hash every library uses.
///
/// The hashes of the base instances are the same on every platform and in every run (there is no
/// random seed), take time linear in the value and allocate nothing (a deferred value is forced,
/// though). Hashing values that nest goes through the stack helper, so its depth is bounded by
/// memory.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/internal/instance.hpp"
#include "hs/stack.hpp"
#include "hs/unit.hpp"

namespace hs {
/// \addtogroup hs_hashable
/// @{

/// The salt hs::hash uses.
inline constexpr std::int64_t defaultSalt = -3750763034362895579;

/// The 64-bit finaliser of MurmurHash3: a bijection of 64-bit words that spreads every bit.
[[nodiscard]] constexpr std::uint64_t fmix64(std::uint64_t z) noexcept {
  z ^= z >> 33;
  z *= 0xff51afd7ed558ccdULL;
  z ^= z >> 33;
  z *= 0xc4ceb9fe1a85ec53ULL;
  z ^= z >> 33;
  return z;
}

namespace detail {
// The compilers' 128-bit integer; `__extension__` keeps -Wpedantic quiet in every user's build.
__extension__ using UInt128 = unsigned __int128;
}  // namespace detail

/// The salted hash of one machine word, the one mixing step every library uses: a 128-bit
/// product and the finaliser, in constant time.
[[nodiscard]] constexpr std::int64_t saltedWordHash(std::int64_t salt, std::uint64_t x) noexcept {
  const auto s = static_cast<std::uint64_t>(salt);
  const detail::UInt128 p = static_cast<detail::UInt128>(s) * x;
  const auto hi = static_cast<std::uint64_t>(p >> 64);
  const auto lo = static_cast<std::uint64_t>(p);
  return static_cast<std::int64_t>(fmix64(s + __builtin_bswap64(x) + (hi ^ lo)));
}

/// A type is hashed by its Hashable specialisation: specialise it with
/// `static std::int64_t hashWithSalt(std::int64_t, const T&)` and, where `hash` is not
/// `hashWithSalt` with the default salt, `static std::int64_t hash(const T&)`.
template <class T, class Enable = void>
struct Hashable;

/// A type with an enabled `std::hash<T>`. One with no Hashable specialisation (a key type of
/// one's own that already works in std::unordered_map) hashes through std::hash:
/// `hashWithSalt(salt, x)` is `saltedWordHash(salt, std::hash<T>{}(x))` and `hash(x)` is
/// `hashWithSalt(defaultSalt, x)`. The mix spreads std::hash's result over all 64 bits, which the
/// trie reads 5 at a time (std::hash of an integer is the integer itself in libstdc++). A Hashable
/// specialisation always wins.
template <class T>
concept StdHashable = requires(const T& x) {
  { std::hash<T>{}(x) } -> std::convertible_to<std::size_t>;
};

namespace detail {
template <class T>
concept OwnHashable = requires(const T& x, std::int64_t s) {
  { Hashable<T>::hashWithSalt(s, x) } -> std::convertible_to<std::int64_t>;
};
template <class T>
inline constexpr bool noHash = false;
}  // namespace detail

/// Whether hs::hash and hs::hashWithSalt accept T: its own Hashable, or else std::hash.
template <class T>
concept HashableType = detail::OwnHashable<T> || StdHashable<T>;

/// The salted hash of x, by T's Hashable instance, else through std::hash (a type with neither
/// stops the build at one static_assert naming both ways). Cost: that of the type's hash;
/// allocates nothing of its own. Values nest through here (a type's hash calls it for its parts),
/// so for a type that may nest it is a recursive point of the stack helper.
template <class T>
[[nodiscard]] std::int64_t hashWithSalt(std::int64_t salt, const T& x) {
  if constexpr (detail::OwnHashable<T>) {
    if constexpr (hs::mayNest<T>)
      return hs::withStack([&] { return Hashable<T>::hashWithSalt(salt, x); });
    else
      return Hashable<T>::hashWithSalt(salt, x);
  } else if constexpr (StdHashable<T>) {
    return hs::saltedWordHash(salt, static_cast<std::uint64_t>(std::hash<T>{}(x)));
  } else {
    // The one place a type without a hash is reported (hs::hash comes here too).
    static_assert(detail::noHash<T>,
                  "this type has no hash: specialise hs::Hashable<T> with "
                  "static std::int64_t hashWithSalt(std::int64_t salt, const T&), or specialise "
                  "std::hash<T> (keys are then hashed as "
                  "hs::saltedWordHash(salt, std::hash<T>{}(x))); examples/readme/keys.cpp shows both");
    return 0;
  }
}
/// The hash of x: the type's own `hash` where it has one, else hashWithSalt with the default salt.
template <class T>
[[nodiscard]] std::int64_t hash(const T& x) {
  if constexpr (detail::OwnHashable<T> && requires { Hashable<T>::hash(x); })
    return Hashable<T>::hash(x);
  else
    return hs::hashWithSalt(defaultSalt, x);
}

/// Lifted hashing of a one-parameter type `F<A>`: specialise `Hashable1<F<A>>` with
/// `static std::int64_t liftHashWithSalt(H h, std::int64_t salt, const F<A>&)`; h receives
/// (salt, element) and returns a hash.
template <class T, class Enable = void>
struct Hashable1;
/// Lifted hashing of a two-parameter type `F<A, B>`: specialise `Hashable2<F<A, B>>` with
/// `liftHashWithSalt2(H1 h1, H2 h2, salt, x)`, h1 for the first kind of element, h2 for the second.
template <class T, class Enable = void>
struct Hashable2;

namespace detail {
// Whether T has a Hashable1 instance; where it has none, the build stops at this one message.
template <class T>
constexpr bool requireHashable1() {
  static_assert(hasInstance<Hashable1<T>>,
                "this type has no lifted hash: specialise hs::Hashable1<F<A>> with "
                "static std::int64_t liftHashWithSalt(h, std::int64_t salt, const F<A>&), h "
                "hashing an element with a salt (an example: hs::Hashable1<morvet::ListF<A, R>> in "
                "morvet/include/morvet/list_f.hpp)");
  return hasInstance<Hashable1<T>>;
}
}  // namespace detail

/// The salted hash of x with its elements hashed by h, by T's Hashable1 instance (a type without
/// one stops the build at one message naming hs::Hashable1).
template <class H, class T>
[[nodiscard]] std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const T& x) {
  if constexpr (detail::requireHashable1<T>())
    return Hashable1<T>::liftHashWithSalt(std::forward<H>(h), salt, x);
  else
    return 0;
}
/// The salted hash of x with its first elements hashed by h1 and its second by h2, by T's
/// Hashable2 instance.
template <class H1, class H2, class T>
[[nodiscard]] std::int64_t liftHashWithSalt2(H1&& h1, H2&& h2, std::int64_t salt, const T& x) {
  return Hashable2<T>::liftHashWithSalt2(std::forward<H1>(h1), std::forward<H2>(h2), salt, x);
}

/// The element hash of the lifted forms that hashes with the element type's own Hashable.
struct HashWithSalt {
  /// hs::hashWithSalt(salt, x).
  template <class T>
  std::int64_t operator()(std::int64_t salt, const T& x) const {
    return hs::hashWithSalt(salt, x);
  }
};

/// Machine integers (and bool and the character types): `hash` is the value itself
/// (sign-extended for signed types, zero-extended for unsigned ones), `hashWithSalt` mixes that
/// word with saltedWordHash.
template <class T>
struct Hashable<T, std::enable_if_t<std::is_integral_v<T>>> {
  /// \privatesection
  [[nodiscard]] static std::uint64_t word(T x) noexcept {
    if constexpr (std::is_signed_v<T>)
      return static_cast<std::uint64_t>(static_cast<std::int64_t>(x));
    else
      return static_cast<std::uint64_t>(x);
  }
  [[nodiscard]] static std::int64_t hash(T x) noexcept { return static_cast<std::int64_t>(word(x)); }
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, T x) noexcept {
    return hs::saltedWordHash(salt, word(x));
  }
};
/// Enumerations as their underlying integer.
template <class T>
struct Hashable<T, std::enable_if_t<std::is_enum_v<T>>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hash(T x) noexcept {
    return Hashable<std::underlying_type_t<T>>::hash(static_cast<std::underlying_type_t<T>>(x));
  }
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, T x) noexcept {
    return Hashable<std::underlying_type_t<T>>::hashWithSalt(
        salt, static_cast<std::underlying_type_t<T>>(x));
  }
};

/// float and double (and narrower types, as the float they widen to): the bit pattern as a word
/// (`hash` is that word), with both zeros hashed alike (they compare equal); NaNs by their bits.
template <class T>
struct Hashable<T, std::enable_if_t<std::is_floating_point_v<T>>> {
  /// \privatesection
  [[nodiscard]] static std::uint64_t word(T x) noexcept {
    if (x == T(0)) return 0;
    if constexpr (sizeof(T) == 8)
      return std::bit_cast<std::uint64_t>(x);
    else
      return std::bit_cast<std::uint32_t>(static_cast<float>(x));
  }
  [[nodiscard]] static std::int64_t hash(T x) noexcept { return static_cast<std::int64_t>(word(x)); }
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, T x) noexcept {
    return hs::saltedWordHash(salt, word(x));
  }
};
/// long double: every bit that carries its value (the x87 format's padding bytes left out), as
/// two words mixed one after the other, so distinct values hash apart even where they round to
/// the same double; both zeros hash alike, NaNs by their bits. `hash` is hashWithSalt with the
/// default salt. Where long double is double, it hashes as double.
template <>
struct Hashable<long double> {
  /// \privatesection
  using Limits = std::numeric_limits<long double>;
  static_assert(Limits::digits == 53 || Limits::digits == 64 || Limits::digits == 113,
                "hs::Hashable<long double>: a format other than binary64, x87 extended or binary128");
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, long double x) noexcept {
    if constexpr (Limits::digits == 53) {
      return Hashable<double>::hashWithSalt(salt, static_cast<double>(x));
    } else {
      std::uint64_t low = 0;
      std::uint64_t high = 0;
      if (x != 0.0L) {
        // x87: the 64-bit significand, then sign and exponent in 16 bits, then padding;
        // binary128: all 16 bytes.
        constexpr std::size_t highBytes = Limits::digits == 64 ? 2 : 8;
        unsigned char bytes[sizeof(long double)];
        std::memcpy(bytes, &x, sizeof bytes);
        std::memcpy(&low, bytes, 8);
        std::memcpy(&high, bytes + 8, highBytes);
      }
      return hs::saltedWordHash(hs::saltedWordHash(salt, low), high);
    }
  }
  [[nodiscard]] static std::int64_t hash(long double x) noexcept { return hashWithSalt(defaultSalt, x); }
};

/// `hash` is 0; `hashWithSalt` mixes the word 0.
template <>
struct Hashable<Unit> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hash(Unit) noexcept { return 0; }
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, Unit) noexcept {
    return saltedWordHash(salt, 0);
  }
};
/// `hash` is 0, 1 or 2 for LT, EQ, GT; `hashWithSalt` mixes that word.
template <>
struct Hashable<Ordering> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hash(Ordering o) noexcept { return static_cast<std::int64_t>(o) + 1; }
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, Ordering o) noexcept {
    return saltedWordHash(salt, static_cast<std::uint64_t>(hash(o)));
  }
};

/// The salted hash of n bytes at data, linear (one 128-bit product per 16 bytes). The state starts
/// as the salt plus the length times an odd constant; while more than 16 bytes remain, a 16-byte
/// block (two words x, y) sets state = mix(state, x, y); the last up to 16 bytes become two words
/// a, b, and the hash is fold(mix(state, a, b) ^ k2, k3), where mix(s, x, y) =
/// fold(x ^ k1, y ^ s) + (s ^ x) + rotl(y, 32) and fold(x, y) is the exclusive or of the two
/// halves of the 128-bit product. Words are read little-endian on every machine, so a hash does
/// not depend on the platform.
[[nodiscard]] std::int64_t hashBytesWithSalt(std::int64_t salt, const void* data, std::size_t n) noexcept;

namespace detail {

inline constexpr std::uint64_t bytesKey0 = 0x8dd08eaed5044877ULL;
// Its bytes include control and high bytes, so no text's word cancels it (a zero factor).
inline constexpr std::uint64_t bytesKey1 = 0x7bf221de4d00f4a1ULL;
inline constexpr std::uint64_t bytesKey2 = 0x1bdf953a48f33781ULL;
inline constexpr std::uint64_t bytesKey3 = 0xb28742e8b7db8e09ULL;

[[nodiscard]] inline std::uint64_t foldMultiply(std::uint64_t x, std::uint64_t y) noexcept {
  const UInt128 p = static_cast<UInt128>(x) * y;
  return static_cast<std::uint64_t>(p) ^ static_cast<std::uint64_t>(p >> 64);
}
[[nodiscard]] inline std::uint64_t load64le(const unsigned char* p) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}
[[nodiscard]] inline std::uint64_t load32le(const unsigned char* p) noexcept {
  std::uint32_t w;
  std::memcpy(&w, p, 4);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
  return w;
}
[[nodiscard]] inline std::uint64_t bytesState(std::int64_t salt, std::size_t n) noexcept {
  return static_cast<std::uint64_t>(salt) + static_cast<std::uint64_t>(n) * bytesKey0;
}
// One step over two words. The product mixes well but is zero when either factor is (a word
// equal to k1, or the second word equal to the state); the two sums keep the state
// and both words in the result then.
[[nodiscard]] inline std::uint64_t bytesMix(std::uint64_t state, std::uint64_t x,
                                            std::uint64_t y) noexcept {
  return foldMultiply(x ^ bytesKey1, y ^ state) + (state ^ x) + std::rotl(y, 32);
}
[[nodiscard]] inline std::uint64_t bytesBlock(std::uint64_t state, const unsigned char* p) noexcept {
  return detail::bytesMix(state, load64le(p), load64le(p + 8));
}
// The last 16 bytes of a string longer than 16.
[[nodiscard]] inline std::int64_t bytesTail(std::uint64_t state, const unsigned char* end) noexcept {
  const std::uint64_t h = detail::bytesMix(state, load64le(end - 16), load64le(end - 8));
  return static_cast<std::int64_t>(foldMultiply(h ^ bytesKey2, bytesKey3));
}
// Up to 16 bytes as two words, overlapping when fewer than 16: for a given length, every byte
// lands in a word, so different strings of one length give different words.
[[nodiscard]] inline std::int64_t bytesShort(std::uint64_t state, const unsigned char* p,
                                             std::size_t n) noexcept {
  std::uint64_t a = 0, b = 0;
  if (n >= 8) {
    a = load64le(p);
    b = load64le(p + n - 8);
  } else if (n >= 4) {
    a = load32le(p);
    b = load32le(p + n - 4);
  } else if (n > 0) {
    a = std::uint64_t{p[0]} << 16 | std::uint64_t{p[n >> 1]} << 8 | std::uint64_t{p[n - 1]};
  }
  const std::uint64_t h = detail::bytesMix(state, a, b);
  return static_cast<std::int64_t>(foldMultiply(h ^ bytesKey2, bytesKey3));
}

}  // namespace detail

/// hashBytesWithSalt, with strings of up to 32 bytes hashed in the caller: most keys are short,
/// and the call would add about a third to their hash.
[[nodiscard]] inline std::int64_t hashBytes(std::int64_t salt, const void* data, std::size_t n) noexcept {
  const auto* p = static_cast<const unsigned char*>(data);
  const std::uint64_t state = detail::bytesState(salt, n);
  if (n <= 16) return detail::bytesShort(state, p, n);
  if (n <= 32) return detail::bytesTail(detail::bytesBlock(state, p), p + n);
  return hashBytesWithSalt(salt, data, n);
}

/// The bytes, by hashBytes.
template <>
struct Hashable<std::string_view> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, std::string_view s) noexcept {
    return hs::hashBytes(salt, s.data(), s.size());
  }
};
/// The bytes, by hashBytes (as the string_view of them).
template <>
struct Hashable<std::string> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const std::string& s) noexcept {
    return hs::hashBytes(salt, s.data(), s.size());
  }
};

/// The components in order, each with the previous result as salt; `hash` starts from the first
/// component's own hash.
template <class A, class B>
struct Hashable<std::pair<A, B>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hash(const std::pair<A, B>& p) {
    return hs::hashWithSalt(hs::hash(p.first), p.second);
  }
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const std::pair<A, B>& p) {
    return hs::hashWithSalt(hs::hashWithSalt(salt, p.first), p.second);
  }
};
/// The components in order, each with the previous result as salt (`hash` is hashWithSalt with
/// the default salt).
template <class... A>
struct Hashable<std::tuple<A...>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const std::tuple<A...>& t) {
    std::apply([&](const A&... a) { ((salt = hs::hashWithSalt(salt, a)), ...); }, t);
    return salt;
  }
};

/// The elements by h in order, each with the previous result as salt, then the length mixed in.
template <class A>
struct Hashable1<std::vector<A>> {
  /// \privatesection
  template <class H>
  [[nodiscard]] static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const std::vector<A>& xs) {
    for (const A& x : xs) salt = h(salt, x);
    return hs::saltedWordHash(salt, xs.size());
  }
};
/// The elements in order, then the length (as Hashable1).
template <class A>
struct Hashable<std::vector<A>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const std::vector<A>& xs) {
    return Hashable1<std::vector<A>>::liftHashWithSalt(HashWithSalt{}, salt, xs);
  }
};

/// A tag word (0 absent, 1 present), then the value by h.
template <class A>
struct Hashable1<std::optional<A>> {
  /// \privatesection
  template <class H>
  [[nodiscard]] static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const std::optional<A>& x) {
    if (!x) return saltedWordHash(salt, 0);
    return h(saltedWordHash(salt, 1), *x);
  }
};
/// A tag word (0 absent, 1 present), then the value.
template <class A>
struct Hashable<std::optional<A>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const std::optional<A>& x) {
    return Hashable1<std::optional<A>>::liftHashWithSalt(HashWithSalt{}, salt, x);
  }
};

/// A deferred value hashes as its value; forces the cell.
template <class A>
struct Hashable<Lazy<A>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hash(const Lazy<A>& x) { return hs::hash(x.force()); }
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const Lazy<A>& x) {
    return hs::hashWithSalt(salt, x.force());
  }
};

/// @}
}  // namespace hs
