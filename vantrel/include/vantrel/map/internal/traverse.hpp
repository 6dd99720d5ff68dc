// Traversals: a caller's applicative action on every value, in trie order, the map rebuilt in the
// same shape inside the applicative; the map's Traversable capability.
//
// The applicative is the one of the caller's function's result type (hs::TagOf). Each node array
// is gathered slot by slot with liftA2 from slot 0 up, so effects run in trie order, each child's
// whole subtree before its next sibling, and an applicative that stops (an absent optional) never
// runs the rest.
#pragma once

#include <atomic>
#include <cassert>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/map/internal/transform.hpp"

namespace vantrel::internal::detail {

// A node array being gathered inside an applicative: one block allocated at the array's final
// length, of which the first len slots are written. Extending writes the next slot in place when
// no other extension of the same prefix got there first (claimed by a compare-and-swap on the
// block's length) and copies the prefix into a new block otherwise, so an applicative that
// delivers several results (lists) or runs a result twice (state) gives each its own array.
template <class S>
class Gathered {
  static_assert(std::is_nothrow_copy_constructible_v<S>, "slots are written after they are claimed");

 public:
  Gathered(const Gathered& o) noexcept : b_(o.b_), len_(o.len_), cap_(o.cap_) {
    hs::internal::countUp(b_->refs);
  }
  Gathered(Gathered&& o) noexcept
      : b_(std::exchange(o.b_, nullptr)), len_(o.len_), cap_(o.cap_) {}
  Gathered& operator=(Gathered o) noexcept {
    std::swap(b_, o.b_);
    len_ = o.len_;
    cap_ = o.cap_;
    return *this;
  }
  ~Gathered() {
    if (b_ != nullptr && hs::internal::countDown(b_->refs))
      Block<S>::destroy(b_);
  }

  // The first slot of an array of cap slots.
  static Gathered first(std::uint32_t cap, const S& x) {
    BlockBuilder<S> b(Kind::Array, 0, cap);
    b.emplace(x);
    return Gathered(b.finishShort(), 1, cap);
  }
  // This prefix and one more slot.
  Gathered snoc(const S& x) const {
    assert(len_ < cap_);
    std::uint32_t expected = len_;
    if (std::atomic_ref<std::uint32_t>(b_->len)
            .compare_exchange_strong(expected, len_ + 1, std::memory_order_acq_rel)) {
      ::new (static_cast<void*>(b_->slots() + len_)) S(x);
      hs::internal::countUp(b_->refs);
      return Gathered(b_, len_ + 1, cap_);
    }
    BlockBuilder<S> b(Kind::Array, 0, cap_);
    b.copy(b_->slots(), len_);
    b.emplace(x);
    return Gathered(b.finishShort(), len_ + 1, cap_);
  }

  const S& operator[](std::uint32_t i) const noexcept { return b_->slots()[i]; }
  [[nodiscard]] std::uint32_t size() const noexcept { return len_; }

 private:
  Gathered(Block<S>* b, std::uint32_t len, std::uint32_t cap) noexcept : b_(b), len_(len), cap_(cap) {}
  Block<S>* b_;
  std::uint32_t len_, cap_;
};

// The traversal of every node below a root. elem(record) is the caller's action for one pair.
template <class K, class V, class E>
class Traversal {
 public:
  using FX = std::remove_cvref_t<std::invoke_result_t<E&, const Entry<K, V>&>>;
  using G = hs::TagOfT<FX>;
  using X = hs::ElementOf<FX>;
  using W = typename StripLazy<X>::type;
  using Out = HashMap<K, W>;
  using Result = typename G::template apply<Out>;

  explicit Traversal(E& elem) noexcept : elem_(elem) {}

  // The functions handed to fmap and liftA2 capture by value: an applicative may run them later.
  Result node(const Ref<K, V>& t) const {
    switch (t.kind()) {
      case Kind::Empty:
        return hs::pure<G>(Out());
      case Kind::Leaf:
        return internal::withEntry(t, [&](const Entry<K, V>& r) {
          return hs::fmap(
              [h = t.hash(), k = r.key](const X& x) { return internal::resultLeaf<K, W>(h, k, x); },
              elem_(r));
        });
      case Kind::Collision:
        return collision(*t.node);
      default:
        return branch(*t.node);
    }
  }

 private:
  // The children are gathered as maps of their own; the node is built from them once they are
  // all there (a leaf becomes a record of the node where it can).
  Result branch(const HashMap<K, V>& t) const {
    const Branch<K, V>& a = internal::branchOf(t);
    const std::uint32_t n = a.size();
    const std::uint64_t word = a.word;
    auto build = [word](const Out* kids, std::uint32_t len) {
      Child<K, W> cs[maxChildren];
      // More children only in tries built invalid on purpose.
      const std::uint32_t n = len < maxChildren ? len : static_cast<std::uint32_t>(maxChildren);
      for (std::uint32_t i = 0; i < n; ++i) cs[i] = Child<K, W>(kids[i]);
      return internal::branchOf<K, W>(word, cs, n);
    };
    if (n == 0) return hs::pure<G>(build(nullptr, 0));
    using Acc = Gathered<Out>;
    auto acc = hs::fmap([n](const Out& c) { return Acc::first(n, c); }, node(internal::nthChild(a, 0)));
    for (std::uint32_t i = 1; i < n; ++i)
      acc = hs::liftA2([](const Acc& g, const Out& c) { return g.snoc(c); }, acc,
                       [&] { return node(internal::nthChild(a, i)); });
    return hs::fmap([build](const Acc& g) { return build(&g[0], g.size()); }, acc);
  }

  Result collision(const HashMap<K, V>& t) const {
    const Entries<K, V>& a = internal::entriesOf(t);
    const std::uint32_t n = a.size();
    auto build = [t](const Gathered<hs::Lazy<W>>* g) {
      const Entries<K, V>& src = internal::entriesOf(t);
      EntryBuilder<K, W> out(Kind::Collision, internal::wordOf(t), src.size());
      for (std::uint32_t i = 0; i < src.size(); ++i) out.emplace(L<K, W>{src[i].key, (*g)[i]});
      return internal::collisionNode<K, W>(internal::wordOf(t), out.finish());
    };
    if (n == 0) return hs::pure<G>(build(nullptr));
    using Acc = Gathered<hs::Lazy<W>>;
    auto acc = hs::fmap([n](const X& x) { return Acc::first(n, hs::toCell<W>(x)); }, elem_(a[0]));
    for (std::uint32_t i = 1; i < n; ++i)
      acc = hs::liftA2([](const Acc& g, const X& x) { return g.snoc(hs::toCell<W>(x)); }, acc,
                       [&] { return elem_(a[i]); });
    return hs::fmap([build](const Acc& g) { return build(&g); }, acc);
  }

  E& elem_;
};

template <class K, class V, class E>
auto traverseRecords(E elem, const HashMap<K, V>& m) {
  return Traversal<K, V, E>(elem).node(Ref<K, V>::of(m));
}

}  // namespace vantrel::internal::detail

namespace vantrel::internal {

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Folds and traversals
/// @{

/// f(key, value) for every pair in trie order; the map of the delivered values, in f's applicative.
/// f receives the key and the forced value (the cell under hs::onCells); effects run in trie order,
/// and an applicative that stops (an absent optional) runs no more. O(n) calls of f; each node of
/// the result is gathered in a block allocated at its final size (one per node for the identity,
/// optional, writer and state applicatives). Delivered values are stored as they come.
template <class F, class K, class V>
auto traverseWithKey(F f, const HashMap<K, V>& m) {
  return detail::traverseRecords<K, V>(
      [&f](const auto& r) { return hs::call(f, r.key, r.value); }, m);
}
/// As traverseWithKey, f receiving the value alone.
template <class F, class K, class V>
auto traverse(F f, const HashMap<K, V>& m) {
  return detail::traverseRecords<K, V>([&f](const auto& r) { return hs::call(f, r.value); }, m);
}
/// A map of actions run in trie order.
/// Costs as traverse.
template <class K, class V>
auto sequenceA(const HashMap<K, V>& m) {
  return internal::traverse([](const V& action) { return action; }, m);
}
/// The monadic forms: a monad's traversal is its applicative's.
/// mapM is traverse.
template <class F, class K, class V>
auto mapM(F f, const HashMap<K, V>& m) {
  return internal::traverse(std::move(f), m);
}
/// sequence is sequenceA.
template <class K, class V>
auto sequence(const HashMap<K, V>& m) {
  return internal::sequenceA(m);
}
/// @}
/// @}

}  // namespace vantrel::internal

/// \addtogroup vantrel_map_lazy
/// @{

/// Traversal (hs::traverse): the map's traverse.
template <class K>
struct hs::Traversable<vantrel::HashMapTag<K>> {
  /// \privatesection
  template <class F, class V>
  static auto traverse(F&& f, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::traverse(std::forward<F>(f), m);
  }
};
/// @}
