// The set type: a map from the elements to the unit value. The wrapper has no storage of its
// own, so wrapping and unwrapping copy one pointer; every entry that the set operations build
// shares the one unit cell (hs::unitCell()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "hs/functor.hpp"
#include "hs/unit.hpp"
#include "vantrel/map/internal/iterate.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel {

/// \addtogroup vantrel_set
/// @{

/// A persistent set of hashable elements. Copying a set copies one pointer; every set is immutable
/// and safe to share between threads. A set is a map from its elements to the unit value (every
/// entry shares one unit cell), so costs are the map's: one hash per element operated on and one
/// branch node per level, O(log n) expected.
template <class T>
class HashSet {
 public:
  /// The element type.
  using value_type = T;
  /// The element type.
  using key_type = T;
  /// The map representation: the elements as keys of the unit value.
  using Map = HashMap<T, hs::Unit>;

  /// The empty set; allocates nothing.
  HashSet() noexcept = default;
  /// The set of the map's keys (the constructor of the representation: the map is the set).
  /// Copies nothing; O(1).
  explicit HashSet(Map m) noexcept : map_(std::move(m)) {}
  /// The set of the elements, built as fromList: of two equal elements the first stays (the later
  /// one where a different element shares their hash).
  HashSet(std::initializer_list<T> elements);

  /// The set's map (the same handle: the map is the set); O(1).
  const Map& asMap() const noexcept { return map_; }
  /// The set's own map handle, for an operation that takes over a set its caller gives up; the
  /// handle stays in the set until that operation moves it out.
  Map&& intoMap() && noexcept { return std::move(map_); }

  /// Whether the set has no element; O(1).
  [[nodiscard]] bool empty() const noexcept { return map_.empty(); }
  /// The number of elements; O(n), walks every node, allocates nothing.
  [[nodiscard]] std::int64_t size() const noexcept { return map_.size(); }

  class iterator;
  /// The first element in trie order.
  iterator begin() const;
  /// Past the last element.
  iterator end() const;

 private:
  Map map_;
};
/// @}

/// The elements of a set in trie order.
/// Allocation-free; a forward iterator over const elements.
/// \headerfile vantrel/set.hpp
template <class T>
class HashSet<T>::iterator {
 public:
  /// @{
  /// Standard iterator types: a forward iterator over const elements.
  using iterator_category = std::forward_iterator_tag;
  using value_type = T;
  using difference_type = std::ptrdiff_t;
  using pointer = const T*;
  using reference = const T&;
/// @}

  /// The past-the-end iterator.
  iterator() = default;
  /// The iterator over the map's keys from it.
  explicit iterator(typename Map::iterator it) : it_(std::move(it)) {}

  /// The current element.
  reference operator*() const noexcept { return it_->key; }
  /// The current element.
  pointer operator->() const noexcept { return &it_->key; }
  /// The next element in trie order; O(1) amortised, allocates nothing.
  iterator& operator++() {
    ++it_;
    return *this;
  }
  /// The next element; returns the iterator as it was.
  iterator operator++(int) {
    iterator old = *this;
    ++it_;
    return old;
  }
  /// Whether a and b stand at the same element (or are both past the end).
  friend bool operator==(const iterator& a, const iterator& b) noexcept { return a.it_ == b.it_; }

 private:
  typename Map::iterator it_;
};

template <class T>
typename HashSet<T>::iterator HashSet<T>::begin() const {
  return iterator(map_.begin());
}
template <class T>
typename HashSet<T>::iterator HashSet<T>::end() const {
  return iterator(map_.end());
}

/// \addtogroup vantrel_set
/// @{

/// The set as a type constructor, for the tag-keyed class traits (Foldable).
struct HashSetTag {
  /// The set of elements X.
  template <class X>
  using apply = HashSet<X>;
};

/// @}
}  // namespace vantrel

/// \addtogroup vantrel_set
/// @{

/// The functor-level view: a set's type constructor is HashSetTag, its element type T.
template <class T>
struct hs::TagOf<vantrel::HashSet<T>> {
  /// \privatesection
  using type = vantrel::HashSetTag;
  using value_type = T;
};
/// @}
