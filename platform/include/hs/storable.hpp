// Raw memory: values laid out at caller-supplied addresses for foreign code. The caller supplies
// an address at which the value's bytes may be read or written; nothing is checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace hs {

// Specialise with
//   static constexpr std::size_t sizeOf(), alignment();
//   static T peekByteOff(const void* p, std::ptrdiff_t off);
//   static void pokeByteOff(void* p, std::ptrdiff_t off, const T& x);
// and, where element i is not at byte offset i * sizeOf(), peekElemOff / pokeElemOff.
template <class T, class Enable = void>
struct Storable;

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

template <class T>
[[nodiscard]] constexpr std::size_t sizeOf() {
  return Storable<T>::sizeOf();
}
template <class T>
[[nodiscard]] constexpr std::size_t sizeOf(const T&) {
  return Storable<T>::sizeOf();
}
template <class T>
[[nodiscard]] constexpr std::size_t alignment() {
  return Storable<T>::alignment();
}
template <class T>
[[nodiscard]] constexpr std::size_t alignment(const T&) {
  return Storable<T>::alignment();
}

template <class T>
[[nodiscard]] T peekByteOff(const void* p, std::ptrdiff_t off) {
  return Storable<T>::peekByteOff(p, off);
}
template <class T>
void pokeByteOff(void* p, std::ptrdiff_t off, const T& x) {
  Storable<T>::pokeByteOff(p, off, x);
}
// Element i of an array of T at p.
template <class T>
[[nodiscard]] T peekElemOff(const void* p, std::ptrdiff_t i) {
  if constexpr (requires { Storable<T>::peekElemOff(p, i); })
    return Storable<T>::peekElemOff(p, i);
  else
    return Storable<T>::peekByteOff(p, i * static_cast<std::ptrdiff_t>(Storable<T>::sizeOf()));
}
template <class T>
void pokeElemOff(void* p, std::ptrdiff_t i, const T& x) {
  if constexpr (requires { Storable<T>::pokeElemOff(p, i, x); })
    Storable<T>::pokeElemOff(p, i, x);
  else
    Storable<T>::pokeByteOff(p, i * static_cast<std::ptrdiff_t>(Storable<T>::sizeOf()), x);
}
template <class T>
[[nodiscard]] T peek(const void* p) {
  return hs::peekByteOff<T>(p, 0);
}
template <class T>
void poke(void* p, const T& x) {
  hs::pokeByteOff(p, 0, x);
}

// Machine integers, characters and floating point: their own bytes, in host order, at their own
// size and alignment.
template <class T>
struct Storable<T, std::enable_if_t<std::is_arithmetic_v<T>>> {
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

}  // namespace hs
