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

// A persistent set of hashable elements. Copying a set copies one pointer; every set is immutable
// and safe to share between threads.
template <class T>
class HashSet {
 public:
  using value_type = T;
  using key_type = T;
  using Map = HashMap<T, hs::Unit>;

  HashSet() noexcept = default;
  // The set of the map's keys (the constructor of the representation: the map is the set).
  explicit HashSet(Map m) noexcept : map_(std::move(m)) {}
  // The set of the elements; of equal elements held by a `Leaf` the first stays.
  HashSet(std::initializer_list<T> elements);

  const Map& asMap() const noexcept { return map_; }
  // The set's own map handle, for an operation that takes over a set its caller gives up; the
  // handle stays in the set until that operation moves it out.
  Map&& intoMap() && noexcept { return std::move(map_); }

  [[nodiscard]] bool empty() const noexcept { return map_.empty(); }
  [[nodiscard]] std::int64_t size() const noexcept { return map_.size(); }

  class iterator;
  iterator begin() const;
  iterator end() const;

 private:
  Map map_;
};

// The elements of a set in trie order.
template <class T>
class HashSet<T>::iterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = T;
  using difference_type = std::ptrdiff_t;
  using pointer = const T*;
  using reference = const T&;

  iterator() = default;
  explicit iterator(typename Map::iterator it) : it_(std::move(it)) {}

  reference operator*() const noexcept { return it_->key; }
  pointer operator->() const noexcept { return &it_->key; }
  iterator& operator++() {
    ++it_;
    return *this;
  }
  iterator operator++(int) {
    iterator old = *this;
    ++it_;
    return old;
  }
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

// The set as a type constructor, for the tag-keyed class traits (Foldable).
struct HashSetTag {
  template <class X>
  using apply = HashSet<X>;
};

}  // namespace vantrel

template <class T>
struct hs::TagOf<vantrel::HashSet<T>> {
  using type = vantrel::HashSetTag;
  using value_type = T;
};
