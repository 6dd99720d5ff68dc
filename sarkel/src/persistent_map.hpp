// A persistent ordered map for the library's own walks: `with` gives a new map and leaves the old
// one as it was, the two sharing every node but those on one path. A treap with random
// priorities, so its height is logarithmic whatever the keys; every operation loops. Nodes are
// counted references without atomics: a map and the maps made from it stay on one thread.
#pragma once

#include <cstdint>
#include <utility>

#include "hs/th/internal/work_stack.hpp"

namespace sarkel::internal {

template <class K, class V>
class PersistentMap {
 public:
  PersistentMap() = default;
  PersistentMap(const PersistentMap& o) noexcept : root_(retain(o.root_)) {}
  PersistentMap(PersistentMap&& o) noexcept : root_(std::exchange(o.root_, nullptr)) {}
  PersistentMap& operator=(PersistentMap o) noexcept {
    std::swap(root_, o.root_);
    return *this;
  }
  ~PersistentMap() { release(root_); }

  [[nodiscard]] bool empty() const noexcept { return root_ == nullptr; }

  // The value of k, or null. Logarithmic.
  [[nodiscard]] const V* find(const K& k) const {
    for (const Node* n = root_; n != nullptr;) {
      if (k < n->key)
        n = n->left;
      else if (n->key < k)
        n = n->right;
      else
        return &n->value;
    }
    return nullptr;
  }

  // This map with k mapped to v. Logarithmic; allocates the nodes of one path.
  [[nodiscard]] PersistentMap with(const K& k, V v) const {
    // The nodes on the way down, and whether the way went left from each.
    hs::th::detail::WorkStack<std::pair<const Node*, bool>, 48> path;
    const Node* at = root_;
    while (at != nullptr && (k < at->key || at->key < k)) {
      const bool left = k < at->key;
      path.push({at, left});
      at = left ? at->left : at->right;
    }
    // The new nodes hang from `made` from the start, so a failed allocation frees those made.
    PersistentMap made;
    bool rising = at == nullptr;  // a new key rises above the nodes of lower priority
    if (at != nullptr)
      made.root_ = new Node{at->key, std::move(v), at->priority, 1, retain(at->left), retain(at->right)};
    else
      made.root_ = new Node{k, std::move(v), nextPriority(), 1, nullptr, nullptr};
    for (std::size_t i = path.size(); i-- > 0;) {
      const Node* p = path[i].first;
      const bool left = path[i].second;
      Node* sub = made.root_;
      if (rising && sub->priority > p->priority) {
        // sub is this call's own node: it takes a copy of p as its child.
        if (left)
          sub->right = new Node{p->key, p->value, p->priority, 1, sub->right, retain(p->right)};
        else
          sub->left = new Node{p->key, p->value, p->priority, 1, retain(p->left), sub->left};
        continue;
      }
      rising = false;
      made.root_ = left ? new Node{p->key, p->value, p->priority, 1, sub, retain(p->right)}
                        : new Node{p->key, p->value, p->priority, 1, retain(p->left), sub};
    }
    return made;
  }

  // Calls f(key, value) for every entry, in ascending key order.
  template <class F>
  void forEach(F&& f) const {
    hs::th::detail::WorkStack<const Node*, 48> stack;
    const Node* n = root_;
    while (n != nullptr || !stack.empty()) {
      for (; n != nullptr; n = n->left) stack.push(n);
      n = stack.pop();
      f(n->key, n->value);
      n = n->right;
    }
  }

 private:
  struct Node {
    K key;
    V value;
    std::uint32_t priority;
    std::uint32_t refs;
    Node* left;
    Node* right;
  };

  static Node* retain(Node* n) noexcept {
    if (n != nullptr) ++n->refs;
    return n;
  }
  // Drops one reference, freeing the nodes no map holds any more: one child in the loop, the
  // other by recursion, as deep as the treap is high (logarithmic).
  static void release(Node* n) noexcept {
    while (n != nullptr && --n->refs == 0) {
      Node* l = n->left;
      Node* r = n->right;
      delete n;
      release(r);
      n = l;
    }
  }

  // A per-thread xorshift sequence: the shape is a matter of speed only.
  static std::uint32_t nextPriority() noexcept {
    thread_local std::uint32_t state = 0x9e3779b9u;
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }

  Node* root_ = nullptr;
};

}  // namespace sarkel::internal
