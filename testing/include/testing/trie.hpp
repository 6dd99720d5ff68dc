// Building tries by hand (also invalid ones, for the validity checker) and looking inside them.
#pragma once

#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "vantrel/map/internal.hpp"

namespace testing_support::trie {

using vantrel::HashMap;
using vantrel::internal::Kind;

template <class K, class V>
HashMap<K, V> leaf(std::uint64_t h, K k, hs::Lazy<V> v) {
  return vantrel::internal::leafNode<K, V>(h, std::move(k), std::move(v));
}
template <class K, class V>
HashMap<K, V> collision(std::uint64_t h, const std::vector<std::pair<K, hs::Lazy<V>>>& entries) {
  vantrel::internal::EntryBuilder<K, V> a(Kind::Collision, h,
                                          static_cast<std::uint32_t>(entries.size()));
  for (const auto& [k, v] : entries) a.emplace(vantrel::internal::L<K, V>{k, v});
  return vantrel::internal::collisionNode<K, V>(h, a.finish());
}
// Any bitmap with any number of children.
template <class K, class V>
HashMap<K, V> bitmapIndexed(std::uint64_t b, const std::vector<HashMap<K, V>>& children) {
  vantrel::internal::ChildBuilder<K, V> a(Kind::BitmapIndexed, b,
                                          static_cast<std::uint32_t>(children.size()));
  for (const auto& c : children) a.emplace(c);
  return vantrel::internal::bitmapIndexed<K, V>(b, a.finish());
}
// A `Full` node of any number of children.
template <class K, class V>
HashMap<K, V> full(const std::vector<HashMap<K, V>>& children) {
  vantrel::internal::ChildBuilder<K, V> a(Kind::Full, vantrel::internal::fullBitmap,
                                          static_cast<std::uint32_t>(children.size()));
  for (const auto& c : children) a.emplace(c);
  return vantrel::internal::full<K, V>(a.finish());
}

template <class K, class V>
Kind kind(const HashMap<K, V>& m) {
  return vantrel::internal::kindOf(m);
}
// The bitmap of a branch node, the stored hash of a leaf or collision.
template <class K, class V>
std::uint64_t word(const HashMap<K, V>& m) {
  return vantrel::internal::wordOf(m);
}
template <class K, class V>
std::vector<HashMap<K, V>> children(const HashMap<K, V>& m) {
  const auto& a = vantrel::internal::childrenOf(m);
  return std::vector<HashMap<K, V>>(a.begin(), a.end());
}
template <class K, class V>
std::vector<vantrel::internal::L<K, V>> entries(const HashMap<K, V>& m) {
  if (kind(m) == Kind::Leaf) return {vantrel::internal::leafOf(m)};
  const auto& a = vantrel::internal::entriesOf(m);
  return std::vector<vantrel::internal::L<K, V>>(a.begin(), a.end());
}
template <class K, class V>
bool same(const HashMap<K, V>& a, const HashMap<K, V>& b) {
  return vantrel::internal::ptrEq(a, b);
}
// The leaves of the map, and those of them whose value cell shares the leaf's block.
struct LeafCount {
  int leaves = 0;
  int inlineValues = 0;
};
template <class K, class V>
LeafCount leafCount(const HashMap<K, V>& m) {
  LeafCount n;
  std::vector<const HashMap<K, V>*> todo{&m};
  while (!todo.empty()) {
    const HashMap<K, V>* t = todo.back();
    todo.pop_back();
    if (kind(*t) == Kind::Leaf) {
      ++n.leaves;
      n.inlineValues += vantrel::internal::Node::object(*t)->inlineValue ? 1 : 0;
    } else if (kind(*t) == Kind::BitmapIndexed || kind(*t) == Kind::Full) {
      for (const auto& c : vantrel::internal::childrenOf(*t)) todo.push_back(&c);
    }
  }
  return n;
}
// The number of nodes on the leftmost path, the root included.
template <class K, class V>
int depth(const HashMap<K, V>& m) {
  int d = 1;
  const HashMap<K, V>* t = &m;
  while (kind(*t) == Kind::BitmapIndexed || kind(*t) == Kind::Full) {
    t = &vantrel::internal::childrenOf(*t)[0];
    ++d;
  }
  return d;
}

// The number of branch nodes on the path of hash h, down to its leaf or collision, or down to the
// branch without a child for h.
template <class K, class V>
int levelsAbove(const HashMap<K, V>& m, std::uint64_t h) {
  int levels = 0;
  const HashMap<K, V>* t = &m;
  for (int s = 0; kind(*t) == Kind::BitmapIndexed || kind(*t) == Kind::Full; s += 5) {
    ++levels;
    const auto& kids = vantrel::internal::childrenOf(*t);
    if (kind(*t) == Kind::Full) {
      t = &kids[(h >> s) & 31];
    } else {
      const std::uint64_t bit = 1ULL << ((h >> s) & 31), b = word(*t);
      if ((b & bit) == 0) break;
      t = &kids[static_cast<std::size_t>(std::popcount(b & (bit - 1)))];
    }
  }
  return levels;
}

// Whether the branch node on the path of hash h that has no child for h has room for one more
// child in its own allocation (false when the path ends at a leaf or collision).
template <class K, class V>
bool roomFor(const HashMap<K, V>& m, std::uint64_t h) {
  const HashMap<K, V>* t = &m;
  for (int s = 0; kind(*t) == Kind::BitmapIndexed || kind(*t) == Kind::Full; s += 5) {
    const auto& kids = vantrel::internal::childrenOf(*t);
    if (kind(*t) == Kind::Full) {
      t = &kids[(h >> s) & 31];
      continue;
    }
    const std::uint64_t bit = 1ULL << ((h >> s) & 31), b = word(*t);
    if ((b & bit) == 0) return kids.size() < kids.cap;
    t = &kids[static_cast<std::size_t>(std::popcount(b & (bit - 1)))];
  }
  return false;
}

}  // namespace testing_support::trie
