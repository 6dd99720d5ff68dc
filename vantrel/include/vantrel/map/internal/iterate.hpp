// Iteration over a map's pairs in trie order: a branch's children by ascending chunk (its records
// and sub-nodes interleaved), each child's subtree before the next, a collision's entries in
// array order. Allocation-free; a pair is handed over as its key and a handle to its value that
// counts nothing (see Entry).
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "vantrel/map/internal/nodes.hpp"

namespace vantrel {

/// The forward iterator over a map's records in trie order; allocation-free, forces no value.
/// \headerfile vantrel/map/lazy.hpp
template <class K, class V>
class HashMap<K, V>::iterator {
 public:
  /// @{
  /// Standard iterator types: an input iterator over (key, value handle) pairs.
  using iterator_category = std::input_iterator_tag;
  using value_type = internal::Entry<K, V>;
  using difference_type = std::ptrdiff_t;
  using reference = internal::Entry<K, V>;
  /// @}

  /// What `it->` reaches: the current pair, held by value.
  /// \headerfile vantrel/map/lazy.hpp
  struct Arrow {
    internal::Entry<K, V> e;  ///< The pair.
    /// The pair's address.
    const internal::Entry<K, V>* operator->() const noexcept { return &e; }
  };

  /// The past-the-end iterator.
  iterator() = default;
  /// The first record of root (past-the-end for the empty map); descends the leftmost path.
  explicit iterator(const HashMap& root) { descend(&root); }

  /// The current pair, valid until the iterator moves on (its value handle lives in the
  /// iterator).
  reference operator*() const noexcept { return {*key_, value_.get()}; }
  /// The current pair, for `it->key` and `it->value`.
  Arrow operator->() const noexcept { return Arrow{**this}; }
  /// The next pair in trie order; O(1) amortised, allocates nothing.
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
    return a.key_ == b.key_;
  }

 private:
  struct Frame {
    const internal::Object* node;
    std::uint32_t rest;  // chunks not visited yet; a collision's next index
    std::uint32_t rec, sub;
  };

  void push(const internal::Object* node, std::uint32_t rest) {
    assert(depth_ < stack_.size() && "trie deeper than any valid trie");
    stack_[depth_++] = Frame{node, rest, 0, 0};
  }
  void setPair(const internal::L<K, V>& p) noexcept {
    key_ = &p.key;
    value_.reset(p.value);
  }
  void descend(const HashMap* node) {
    switch (internal::kindOf(*node)) {
      case internal::Kind::Leaf:
        setPair(internal::leafOf(*node));
        return;
      case internal::Kind::Collision:
        push(internal::Node::object(*node), 1);
        setPair(internal::entriesOf(*node)[0]);
        return;
      case internal::Kind::BitmapIndexed:
      case internal::Kind::Full:
        push(internal::Node::object(*node),
             static_cast<std::uint32_t>(internal::wordOf(*node)));
        advance();
        return;
      default:
        key_ = nullptr;
        return;
    }
  }
  void advance() {
    while (depth_ > 0) {
      Frame& f = stack_[depth_ - 1];
      if (f.node->kind == internal::Kind::Collision) {
        const auto& a = *static_cast<const internal::Entries<K, V>*>(f.node);
        if (f.rest < a.size()) {
          setPair(a[f.rest++]);
          return;
        }
      } else if (f.rest != 0) {
        const auto& a = *static_cast<const internal::Branch<K, V>*>(f.node);
        const std::uint32_t bit = f.rest & (~f.rest + 1);
        f.rest &= f.rest - 1;
        if ((a.data & bit) != 0) {
          const std::uint32_t i = f.rec++;
          const internal::Rec<K, V>& r = a.recs()[i];
          key_ = &r.key;
          value_.reset(r.slot, a.boxedRec(i));
          return;
        }
        const HashMap* sub = a.subs() + f.sub++;
        // The next sibling is fetched while this one is walked: its address is known now, and
        // the walk would otherwise wait on each node in turn.
        if (f.sub < a.nsub()) {
          const auto* next = reinterpret_cast<const char*>(internal::Node::object(sub[1]));
          __builtin_prefetch(next);
          __builtin_prefetch(next + 64);
        }
        descend(sub);
        return;
      }
      --depth_;
    }
    key_ = nullptr;
  }

  std::array<Frame, 16> stack_{};
  std::size_t depth_ = 0;
  const K* key_ = nullptr;
  internal::LazyView<V> value_;
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
