// Feeding the bytes of machine words, most significant first, to a function that takes bytes
// one argument at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace quendle {
/// \addtogroup quendle_uuid
/// @{

/// A machine integer of which only the low three bytes are fed.
struct ThreeByte {
  /// The integer whose low three bytes are fed.
  constexpr explicit ThreeByte(std::int64_t v) noexcept : value(v) {}
  std::int64_t value;  ///< The integer; its higher bytes are ignored.
};

/// How feed splits a W into bytes: `size`, the number of bytes fed, and `bytes(w)`, those
/// bytes, first to last, in a `std::array` (no allocation).
template <class W>
struct ByteSource;

namespace internal {
template <std::size_t N, class W, std::size_t... I>
[[nodiscard]] constexpr std::array<std::uint8_t, N> topFirst(W w, std::index_sequence<I...>) noexcept {
  return {static_cast<std::uint8_t>(static_cast<std::uint64_t>(w) >> (8 * (N - 1 - I)))...};
}
// The low N bytes of w, most significant first.
template <std::size_t N, class W>
[[nodiscard]] constexpr std::array<std::uint8_t, N> topFirst(W w) noexcept {
  return topFirst<N>(w, std::make_index_sequence<N>{});
}
}  // namespace internal

/// One byte.
template <>
struct ByteSource<std::uint8_t> {
  /// \privatesection
  static constexpr std::size_t size = 1;
  [[nodiscard]] static constexpr std::array<std::uint8_t, 1> bytes(std::uint8_t w) noexcept { return {w}; }
};
/// Two bytes, most significant first.
template <>
struct ByteSource<std::uint16_t> {
  /// \privatesection
  static constexpr std::size_t size = 2;
  [[nodiscard]] static constexpr auto bytes(std::uint16_t w) noexcept { return internal::topFirst<2>(w); }
};
/// Four bytes, most significant first.
template <>
struct ByteSource<std::uint32_t> {
  /// \privatesection
  static constexpr std::size_t size = 4;
  [[nodiscard]] static constexpr auto bytes(std::uint32_t w) noexcept { return internal::topFirst<4>(w); }
};
/// Eight bytes, most significant first.
template <>
struct ByteSource<std::uint64_t> {
  /// \privatesection
  static constexpr std::size_t size = 8;
  [[nodiscard]] static constexpr auto bytes(std::uint64_t w) noexcept { return internal::topFirst<8>(w); }
};
/// A machine integer: its low four bytes, most significant first.
template <>
struct ByteSource<std::int64_t> {
  /// \privatesection
  static constexpr std::size_t size = 4;
  [[nodiscard]] static constexpr auto bytes(std::int64_t w) noexcept { return internal::topFirst<4>(w); }
};
/// The low three bytes, most significant first.
template <>
struct ByteSource<ThreeByte> {
  /// \privatesection
  static constexpr std::size_t size = 3;
  [[nodiscard]] static constexpr auto bytes(ThreeByte w) noexcept { return internal::topFirst<3>(w.value); }
};

/// @}

namespace internal {

template <class F, class Seq, class... Rest>
struct TakesBytes;
template <class F, std::size_t... I, class... Rest>
struct TakesBytes<F, std::index_sequence<I...>, Rest...>
    : std::bool_constant<
          std::is_invocable_v<const F&, decltype((void)I, std::uint8_t{})..., Rest...>> {};
template <class F, std::size_t N, class... Rest>
inline constexpr bool takesBytes = TakesBytes<F, std::make_index_sequence<N>, Rest...>::value;

// f with N bytes given: called with them, then with whatever arguments follow.
template <class F, std::size_t N>
class Fed {
 public:
  constexpr Fed(F f, std::array<std::uint8_t, N> b) : f_(std::move(f)), b_(b) {}

  template <class... Rest>
    requires takesBytes<F, N, Rest...>
  constexpr decltype(auto) operator()(Rest&&... rest) const {
    return call(std::make_index_sequence<N>{}, std::forward<Rest>(rest)...);
  }

 private:
  template <std::size_t... I, class... Rest>
  [[nodiscard]] constexpr decltype(auto) call(std::index_sequence<I...>, Rest&&... rest) const {
    return f_(b_[I]..., std::forward<Rest>(rest)...);
  }
  F f_;
  std::array<std::uint8_t, N> b_;
};

template <class F, std::size_t... I, std::size_t N>
[[nodiscard]] constexpr decltype(auto) applyBytes(const F& f, const std::array<std::uint8_t, N>& b,
                                    std::index_sequence<I...>) {
  return f(b[I]...);
}

}  // namespace internal

/// \addtogroup quendle_uuid
/// @{

/// f fed with the bytes of w, most significant first: f's result when those are all the bytes f
/// takes, otherwise f waiting for the bytes that follow (chained feeds append). The waiting
/// function holds f and the bytes by value; nothing is allocated.
template <class F, class W>
[[nodiscard]] constexpr decltype(auto) feed(F f, W w) {
  using S = ByteSource<std::remove_cvref_t<W>>;
  const auto b = S::bytes(w);
  if constexpr (internal::takesBytes<F, S::size>)
    return internal::applyBytes(f, b, std::make_index_sequence<S::size>{});
  else
    return internal::Fed<F, S::size>(std::move(f), b);
}

/// @}
}  // namespace quendle
