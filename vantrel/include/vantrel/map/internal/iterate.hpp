// Iteration over a map's records in trie order: children from slot 0 upward, each child's subtree
// before the next, a collision's records in array order. Allocation-free.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "vantrel/map/internal/nodes.hpp"

namespace vantrel {

/// The forward iterator over a map's records in trie order; allocation-free, forces no value.
template <class K, class V>
class HashMap<K, V>::iterator {
 public:
  /// @{
  /// Standard iterator types: a forward iterator over const records.
  using iterator_category = std::forward_iterator_tag;
  using value_type = internal::L<K, V>;
  using difference_type = std::ptrdiff_t;
  using pointer = const value_type*;
  using reference = const value_type&;
  /// @}

  /// The past-the-end iterator.
  iterator() = default;
  /// The first record of root (past-the-end for the empty map); descends the leftmost path.
  explicit iterator(const HashMap& root) { descend(&root); }

  /// The current record.
  reference operator*() const noexcept { return *current_; }
  /// The current record.
  pointer operator->() const noexcept { return current_; }
  /// The next record in trie order; O(1) amortised, allocates nothing.
  iterator& operator++() {
    advance();
    return *this;
  }
  /// The next record; returns the iterator as it was.
  iterator operator++(int) {
    iterator old = *this;
    advance();
    return old;
  }
  /// Whether a and b stand at the same record (or are both past the end).
  friend bool operator==(const iterator& a, const iterator& b) noexcept {
    return a.current_ == b.current_;
  }

 private:
  struct Frame {
    const HashMap* node;
    std::uint32_t next;
  };

  void push(const HashMap* node) {
    assert(depth_ < stack_.size() && "trie deeper than any valid trie");
    stack_[depth_++] = Frame{node, 0};
  }
  void descend(const HashMap* node) {
    for (;;) {
      switch (internal::kindOf(*node)) {
        case internal::Kind::Leaf:
          current_ = &internal::leafOf(*node);
          return;
        case internal::Kind::Collision:
          push(node);
          current_ = &internal::entriesOf(*node)[0];
          return;
        case internal::Kind::BitmapIndexed:
        case internal::Kind::Full:
          push(node);
          node = &internal::childrenOf(*node)[0];
          break;
        default:
          current_ = nullptr;
          return;
      }
    }
  }
  void advance() {
    while (depth_ > 0) {
      Frame& f = stack_[depth_ - 1];
      ++f.next;
      if (internal::kindOf(*f.node) == internal::Kind::Collision) {
        const auto& a = internal::entriesOf(*f.node);
        if (f.next < a.size()) {
          current_ = &a[f.next];
          return;
        }
      } else {
        const auto& a = internal::childrenOf(*f.node);
        if (f.next < a.size()) {
          descend(&a[f.next]);
          return;
        }
      }
      --depth_;
    }
    current_ = nullptr;
  }

  std::array<Frame, 16> stack_{};
  std::size_t depth_ = 0;
  const value_type* current_ = nullptr;
};

template <class K, class V>
typename HashMap<K, V>::iterator HashMap<K, V>::begin() const {
  return iterator(*this);
}
template <class K, class V>
typename HashMap<K, V>::iterator HashMap<K, V>::end() const {
  return iterator();
}

}  // namespace vantrel
