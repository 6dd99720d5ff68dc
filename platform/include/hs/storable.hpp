/// \defgroup hs_storable hs/storable.hpp
/// \ingroup hsplatform
/// Raw memory: values laid out at caller-supplied addresses for foreign code. The caller supplies
/// an address at which the value's bytes may be read or written; nothing is checked. The
/// platform's instances copy the value's bytes and allocate nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace hs {
/// \addtogroup hs_storable
/// @{

/// A raw-memory layout: specialise with `static constexpr std::size_t sizeOf(), alignment();`,
/// `static T peekByteOff(const void* p, std::ptrdiff_t off);`,
/// `static void pokeByteOff(void* p, std::ptrdiff_t off, const T& x);` and, where element i is
/// not at byte offset i * sizeOf(), `peekElemOff` / `pokeElemOff`.
template <class T, class Enable = void>
struct Storable;

/// A type with a complete Storable instance.
template <class T>
concept StorableType = requires(const void* cp, void* p, const T& x) {
  { Storable<T>::sizeOf() } -> std::convertible_to<std::size_t>;
  { Storable<T>::alignment() } -> std::convertible_to<std::size_t>;
  { Storable<T>::peekByteOff(cp, std::ptrdiff_t{0}) } -> std::convertible_to<T>;
  Storable<T>::pokeByteOff(p, std::ptrdiff_t{0}, x);
};

namespace detail {
[[nodiscard]] inline const void* byteOffset(const void* p, std::ptrdiff_t off) noexcept {
  return static_cast<const unsigned char*>(p) + off;
}
[[nodiscard]] inline void* byteOffset(void* p, std::ptrdiff_t off) noexcept {
  return static_cast<unsigned char*>(p) + off;
}
}  // namespace detail

/// The number of bytes a T takes in raw memory.
template <class T>
[[nodiscard]] constexpr std::size_t sizeOf() {
  return Storable<T>::sizeOf();
}
/// The number of bytes a T takes in raw memory (the argument only names the type).
template <class T>
[[nodiscard]] constexpr std::size_t sizeOf(const T&) {
  return Storable<T>::sizeOf();
}
/// The alignment a T needs in raw memory.
template <class T>
[[nodiscard]] constexpr std::size_t alignment() {
  return Storable<T>::alignment();
}
/// The alignment a T needs in raw memory (the argument only names the type).
template <class T>
[[nodiscard]] constexpr std::size_t alignment(const T&) {
  return Storable<T>::alignment();
}

/// The T whose bytes lie at off bytes past p.
template <class T>
[[nodiscard]] T peekByteOff(const void* p, std::ptrdiff_t off) {
  return Storable<T>::peekByteOff(p, off);
}
/// Writes x's bytes at off bytes past p.
template <class T>
void pokeByteOff(void* p, std::ptrdiff_t off, const T& x) {
  Storable<T>::pokeByteOff(p, off, x);
}
/// Element i of an array of T at p (by default at byte offset i * sizeOf).
template <class T>
[[nodiscard]] T peekElemOff(const void* p, std::ptrdiff_t i) {
  if constexpr (requires { Storable<T>::peekElemOff(p, i); })
    return Storable<T>::peekElemOff(p, i);
  else
    return Storable<T>::peekByteOff(p, i * static_cast<std::ptrdiff_t>(Storable<T>::sizeOf()));
}
/// Writes x as element i of an array of T at p (by default at byte offset i * sizeOf).
template <class T>
void pokeElemOff(void* p, std::ptrdiff_t i, const T& x) {
  if constexpr (requires { Storable<T>::pokeElemOff(p, i, x); })
    Storable<T>::pokeElemOff(p, i, x);
  else
    Storable<T>::pokeByteOff(p, i * static_cast<std::ptrdiff_t>(Storable<T>::sizeOf()), x);
}
/// The T whose bytes lie at p.
template <class T>
[[nodiscard]] T peek(const void* p) {
  return hs::peekByteOff<T>(p, 0);
}
/// Writes x's bytes at p.
template <class T>
void poke(void* p, const T& x) {
  hs::pokeByteOff(p, 0, x);
}

/// Machine integers, characters and floating point: their own bytes, in host order, at their own
/// size and alignment; any address will do for reading and writing (the bytes are copied).
template <class T>
struct Storable<T, std::enable_if_t<std::is_arithmetic_v<T>>> {
  /// \privatesection
  [[nodiscard]] static constexpr std::size_t sizeOf() noexcept { return sizeof(T); }
  [[nodiscard]] static constexpr std::size_t alignment() noexcept { return alignof(T); }
  [[nodiscard]] static T peekByteOff(const void* p, std::ptrdiff_t off) noexcept {
    T x;
    std::memcpy(&x, detail::byteOffset(p, off), sizeof(T));
    return x;
  }
  static void pokeByteOff(void* p, std::ptrdiff_t off, T x) noexcept {
    std::memcpy(detail::byteOffset(p, off), &x, sizeof(T));
  }
};

/// @}
}  // namespace hs
