/// \defgroup hs_islist hs/islist.hpp
/// \ingroup hsplatform
/// Conversion between a structure and the list of its items.
#pragma once

#include <cstdint>
#include <vector>

namespace hs {
/// \addtogroup hs_islist
/// @{

/// Specialise with `using Item = ...;`, `static T fromList(const std::vector<Item>&)`,
/// `static std::vector<Item> toList(const T&)` and optionally `fromListN(n, items)`.
template <class T, class Enable = void>
struct IsList;

/// The structure of the items, by its IsList specialisation.
template <class T>
[[nodiscard]] T fromList(const std::vector<typename IsList<T>::Item>& items) {
  return IsList<T>::fromList(items);
}
/// The count is a hint only: the items decide.
template <class T>
[[nodiscard]] T fromListN(std::int64_t n, const std::vector<typename IsList<T>::Item>& items) {
  if constexpr (requires { IsList<T>::fromListN(n, items); })
    return IsList<T>::fromListN(n, items);
  else
    return IsList<T>::fromList(items);
}
/// The items of the structure, in a new vector.
template <class T>
[[nodiscard]] std::vector<typename IsList<T>::Item> toItems(const T& x) {
  return IsList<T>::toList(x);
}

/// @}
}  // namespace hs
