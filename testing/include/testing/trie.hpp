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
// A branch node of any kind, bitmap and number of children, every child kept as a node of its
// own (a leaf too: the walks read a leaf node in a branch as they read a record).
template <class K, class V>
HashMap<K, V> branch(Kind kind, std::uint64_t b, const std::vector<HashMap<K, V>>& children) {
  const auto n = static_cast<std::uint32_t>(children.size());
  auto* a = vantrel::internal::allocateBranch<K, V>(kind, b, 0, n, 0);
  for (std::uint32_t i = 0; i < n; ++i) ::new (static_cast<void*>(a->subs() + i)) HashMap<K, V>(children[i]);
  return vantrel::internal::Node::adopt<K, V>(a);
}
// Any bitmap with any number of children.
template <class K, class V>
HashMap<K, V> bitmapIndexed(std::uint64_t b, const std::vector<HashMap<K, V>>& children) {
  return trie::branch<K, V>(Kind::BitmapIndexed, b, children);
}
// A `Full` node of any number of children.
template <class K, class V>
HashMap<K, V> full(const std::vector<HashMap<K, V>>& children) {
  return trie::branch<K, V>(Kind::Full, vantrel::internal::fullBitmap, children);
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
// The children of a branch node in chunk order, each a map of its own: a sub-node as it is, a
// record as a new leaf node of its pair.
template <class K, class V>
std::vector<HashMap<K, V>> children(const HashMap<K, V>& m) {
  std::vector<HashMap<K, V>> out;
  vantrel::internal::forEachChild(vantrel::internal::branchOf(m),
                                  [&](std::uint64_t, const vantrel::internal::Ref<K, V>& c) {
                                    out.push_back(vantrel::internal::leafNodeOf(c));
                                    return true;
                                  });
  return out;
}
// Maps as a node array of child maps, each slot an evaluated cell.
template <class K, class V>
vantrel::internal::ChildArray<K, V> arrayOf(const std::vector<HashMap<K, V>>& maps) {
  const std::vector<hs::Lazy<HashMap<K, V>>> cells(maps.begin(), maps.end());
  return vantrel::internal::array::fromList<HashMap<K, V>>(static_cast<std::int64_t>(cells.size()),
                                                           cells);
}
// The children of a branch node (see children) as a node array.
template <class K, class V>
vantrel::internal::ChildArray<K, V> childArray(const HashMap<K, V>& m) {
  return trie::arrayOf(trie::children(m));
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
// Whether two handles give the same value object: the same cell, or the same value held in place
// by each (such a value has no identity, so copies of it are one).
template <class V>
bool sameValue(const hs::Lazy<V>& a, const hs::Lazy<V>& b) {
  if (a.isUnboxed() || b.isUnboxed()) return a.isUnboxed() && b.isUnboxed() && a.force() == b.force();
  return hs::ptrEq(a, b);
}
// Whether two children (see children) are one: the same node, or, for leaves, which a branch may
// keep as records that are copied with it, the same stored hash, key and value (the same cell,
// or the same value held in place).
template <class K, class V>
bool sameChild(const HashMap<K, V>& a, const HashMap<K, V>& b) {
  if (same(a, b)) return true;
  if (kind(a) != Kind::Leaf || kind(b) != Kind::Leaf || word(a) != word(b)) return false;
  const auto& x = vantrel::internal::leafOf(a);
  const auto& y = vantrel::internal::leafOf(b);
  return x.key == y.key && sameValue(x.value, y.value);
}
// The leaves of the map, and those of them kept as records of their branch nodes.
struct LeafCount {
  int leaves = 0;
  int records = 0;
};
template <class K, class V>
void countLeaves(const vantrel::internal::Ref<K, V>& t, LeafCount& n) {
  if (t.kind() == Kind::Leaf) {
    ++n.leaves;
    n.records += t.isRecord() ? 1 : 0;
  } else if (t.kind() == Kind::BitmapIndexed || t.kind() == Kind::Full) {
    vantrel::internal::forEachChild(vantrel::internal::branchOf(*t.node),
                                    [&](std::uint64_t, const vantrel::internal::Ref<K, V>& c) {
                                      countLeaves(c, n);
                                      return true;
                                    });
  }
}
template <class K, class V>
LeafCount leafCount(const HashMap<K, V>& m) {
  LeafCount n;
  countLeaves(vantrel::internal::Ref<K, V>::of(m), n);
  return n;
}
// The node blocks of the map: branches, collisions and leaf nodes (records live in their branch).
template <class K, class V>
std::int64_t blocks(const HashMap<K, V>& m) {
  if (kind(m) == Kind::Empty) return 0;
  std::int64_t n = 1;
  if (kind(m) == Kind::BitmapIndexed || kind(m) == Kind::Full)
    vantrel::internal::forEachChild(vantrel::internal::branchOf(m),
                                    [&](std::uint64_t, const vantrel::internal::Ref<K, V>& c) {
                                      if (!c.isRecord()) n += blocks(*c.node);
                                      return true;
                                    });
  return n;
}
// The number of nodes on the leftmost path, the root included (a record counts as a node).
template <class K, class V>
int depth(const HashMap<K, V>& m) {
  int d = 1;
  vantrel::internal::Ref<K, V> t = vantrel::internal::Ref<K, V>::of(m);
  while (t.kind() == Kind::BitmapIndexed || t.kind() == Kind::Full) {
    t = vantrel::internal::nthChild(vantrel::internal::branchOf(*t.node), 0);
    ++d;
  }
  return d;
}

// The number of branch nodes on the path of hash h, down to its leaf or collision, or down to the
// branch without a child for h.
template <class K, class V>
int levelsAbove(const HashMap<K, V>& m, std::uint64_t h) {
  int levels = 0;
  vantrel::internal::Ref<K, V> t = vantrel::internal::Ref<K, V>::of(m);
  for (int s = 0; t.kind() == Kind::BitmapIndexed || t.kind() == Kind::Full; s += 5) {
    ++levels;
    const auto& a = vantrel::internal::branchOf(*t.node);
    const std::uint64_t bit = 1ULL << ((h >> s) & 31);
    if ((a.word & bit) == 0) break;
    t = vantrel::internal::childAt(a, bit);
  }
  return levels;
}

// Whether the branch node on the path of hash h that has no child for h has room for one more
// record in its own allocation (false when the path ends at a leaf or collision).
template <class K, class V>
bool roomFor(const HashMap<K, V>& m, std::uint64_t h) {
  vantrel::internal::Ref<K, V> t = vantrel::internal::Ref<K, V>::of(m);
  for (int s = 0; t.kind() == Kind::BitmapIndexed || t.kind() == Kind::Full; s += 5) {
    const auto& a = vantrel::internal::branchOf(*t.node);
    const std::uint64_t bit = 1ULL << ((h >> s) & 31);
    if ((a.word & bit) == 0) return a.roomForRecord();
    t = vantrel::internal::childAt(a, bit);
  }
  return false;
}

}  // namespace testing_support::trie
