// The array layer under the trie. Every trie node is one reference-counted object; the nodes that
// hold arrays (child arrays of branch nodes, entry arrays of collision nodes) keep their slots
// inline, after a small header, so a node costs one allocation. The same block machinery backs the
// general immutable `Array<T>` of deferred elements and its mutable counterpart `MArray<T>`.
#pragma once

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/error.hpp"
#include "hs/internal/count.hpp"
#include "hs/lazy.hpp"
#include "hs/unit.hpp"

namespace vantrel::internal {

enum class Kind : std::uint8_t { Empty, BitmapIndexed, Leaf, Full, Collision, Array };

// The common prefix of every node and array object. `word` is the bitmap of a branch node (all
// ones for `Full`) and the stored hash of a `Leaf` or `Collision` node. `small` and `offset` are
// the branch node's sub-node count and the byte offset of its records (see nodes.hpp).
struct Object {
  Object(Kind k, std::uint64_t w) noexcept : kind(k), word(w) {}
  std::atomic<std::uint32_t> refs{1};
  Kind kind;
  std::uint8_t small = 0;
  std::uint16_t offset = 0;
  std::uint64_t word;
};

struct ArrayObject : Object {
  ArrayObject(Kind k, std::uint64_t w, std::uint32_t n) noexcept : Object(k, w), len(n), cap(n) {}
  std::uint32_t len;
  // The slots the allocation holds: at least `len`; a walk that owns the object alone may grow it
  // in place up to here.
  std::uint32_t cap;
};

// An object with `len` slots of type S stored inline after the header.
template <class S>
struct Block : ArrayObject {
  static_assert(alignof(S) <= alignof(std::max_align_t), "over-aligned slots are not supported");
  static constexpr std::size_t offset =
      (sizeof(ArrayObject) + alignof(S) - 1) / alignof(S) * alignof(S);

  S* slots() noexcept {
    return std::launder(reinterpret_cast<S*>(reinterpret_cast<std::byte*>(this) + offset));
  }
  const S* slots() const noexcept {
    return std::launder(
        reinterpret_cast<const S*>(reinterpret_cast<const std::byte*>(this) + offset));
  }
  [[nodiscard]] std::uint32_t size() const noexcept { return len; }
  S& operator[](std::size_t i) noexcept { return slots()[i]; }
  const S& operator[](std::size_t i) const noexcept { return slots()[i]; }
  const S* begin() const noexcept { return slots(); }
  const S* end() const noexcept { return slots() + len; }

  // Room for n slots, and for the further slots the allocator's rounding would leave unused
  // anyway (blocks are handed out in 16-byte steps after a one-word header).
  static Block* allocate(Kind k, std::uint64_t w, std::uint32_t n) {
    const std::size_t bytes = offset + sizeof(S) * n;
    const std::size_t usable = (bytes + sizeof(void*) + 15) / 16 * 16 - sizeof(void*);
    const auto cap = static_cast<std::uint32_t>(usable < bytes ? n : (usable - offset) / sizeof(S));
    void* raw = ::operator new(offset + sizeof(S) * cap);
    Block* b = ::new (raw) Block(k, w, 0);
    b->cap = cap;
    return b;
  }
  // Opens slot i by moving the later slots up one, bitwise, and puts x there; the caller owns the
  // block alone and checked that len < cap.
  void insertAt(std::uint32_t i, S&& x) noexcept {
    static_assert(sizeof(S) == sizeof(void*), "only pointer-sized handles move bitwise");
    assert(len < cap && i <= len);
    S* s = slots();
    std::memmove(static_cast<void*>(s + i + 1), static_cast<const void*>(s + i),
                 sizeof(S) * (len - i));
    ::new (static_cast<void*>(s + i)) S(std::move(x));
    ++len;
  }
  // Destroys the slots and frees the object.
  static void destroy(Block* b) noexcept {
    S* s = b->slots();
    for (std::uint32_t i = b->len; i > 0; --i) s[i - 1].~S();
    b->~Block();
    ::operator delete(static_cast<void*>(b));
  }
  // Forgets the slots without destroying them, after they were relocated into another block.
  void abandon() noexcept { len = 0; }
  // Cuts the length in place (the storage is kept).
  void shrink(std::uint32_t n) noexcept {
    assert(n <= len);
    S* s = slots();
    for (std::uint32_t i = len; i > n; --i) s[i - 1].~S();
    len = n;
  }

 private:
  using ArrayObject::ArrayObject;
};

// Fills a freshly allocated block slot by slot; if a slot's construction throws, the slots built
// so far are destroyed and the object freed, so nothing half-built escapes.
template <class S>
class BlockBuilder {
 public:
  BlockBuilder(Kind k, std::uint64_t w, std::uint32_t n)
      : block_(Block<S>::allocate(k, w, n)), capacity_(n) {}
  BlockBuilder(const BlockBuilder&) = delete;
  BlockBuilder& operator=(const BlockBuilder&) = delete;
  ~BlockBuilder() {
    if (block_ != nullptr) Block<S>::destroy(block_);
  }

  template <class... A>
  void emplace(A&&... a) {
    assert(block_->len < capacity_);
    ::new (static_cast<void*>(block_->slots() + block_->len)) S(std::forward<A>(a)...);
    ++block_->len;
  }
  void copy(const S* src, std::uint32_t n) {
    if constexpr (std::is_nothrow_copy_constructible_v<S>) {
      // One length update for the run: a handle's copy counts its object up atomically, which
      // would otherwise make the compiler store the length at every slot.
      assert(block_->len + n <= capacity_);
      S* dst = block_->slots() + block_->len;
      for (std::uint32_t i = 0; i < n; ++i) ::new (static_cast<void*>(dst + i)) S(src[i]);
      block_->len += n;
    } else {
      for (std::uint32_t i = 0; i < n; ++i) emplace(src[i]);
    }
  }
  // Moves n slots of a block that is about to be freed by a bitwise copy, without touching what
  // they refer to; the source block must then be abandoned (see Block::abandon).
  void relocate(S* src, std::uint32_t n) noexcept {
    static_assert(std::is_trivially_destructible_v<S> || sizeof(S) == sizeof(void*),
                  "relocation is only for pointer-sized handles");
    assert(block_->len + n <= capacity_);
    std::memcpy(static_cast<void*>(block_->slots() + block_->len), static_cast<const void*>(src),
                sizeof(S) * n);
    block_->len += n;
  }
  std::uint32_t built() const noexcept { return block_->len; }
  Block<S>* finish() noexcept {
    assert(block_->len == capacity_);
    Block<S>* b = block_;
    block_ = nullptr;
    return b;
  }
  // Finishes a block whose planned length turned out shorter (shrunk before it is frozen).
  Block<S>* finishShort() noexcept {
    Block<S>* b = block_;
    block_ = nullptr;
    return b;
  }

 private:
  Block<S>* block_;
  std::uint32_t capacity_;
};

// The persistent copy-with-one-change operations, shared by every array of the library. Each
// builds a new block with the given header; the input is never changed.
template <class S>
Block<S>* copyBlock(Kind k, std::uint64_t w, const S* src, std::uint32_t n) {
  BlockBuilder<S> b(k, w, n);
  b.copy(src, n);
  return b.finish();
}
template <class S, class X>
Block<S>* copyInsert(Kind k, std::uint64_t w, const S* src, std::uint32_t n, std::uint32_t i,
                     X&& x) {
  assert(i <= n);
  BlockBuilder<S> b(k, w, n + 1);
  b.copy(src, i);
  b.emplace(std::forward<X>(x));
  b.copy(src + i, n - i);
  return b.finish();
}
template <class S>
Block<S>* copyErase(Kind k, std::uint64_t w, const S* src, std::uint32_t n, std::uint32_t i) {
  assert(i < n);
  BlockBuilder<S> b(k, w, n - 1);
  b.copy(src, i);
  b.copy(src + i + 1, n - i - 1);
  return b.finish();
}
template <class S, class X>
Block<S>* copyUpdate(Kind k, std::uint64_t w, const S* src, std::uint32_t n, std::uint32_t i,
                     X&& x) {
  assert(i < n);
  BlockBuilder<S> b(k, w, n);
  b.copy(src, i);
  b.emplace(std::forward<X>(x));
  b.copy(src + i + 1, n - i - 1);
  return b.finish();
}

// Where the placeholder of a fresh array slot stands in the source, for its program error.
hs::SrcLoc undefinedElemSite();

namespace array {

// The placeholder held by every slot of a fresh array until the slot is written; demanding it
// raises the program error "Vantrel.Map.Internal.Array: Undefined element".
template <class T>
const hs::Lazy<T>& undefinedElem() {
  static const hs::Lazy<T> cell = hs::Lazy<T>::defer([]() -> T {
    hs::error("Vantrel.Map.Internal.Array: Undefined element", undefinedElemSite());
  });
  return cell;
}

template <class T>
class MArray;

// An immutable array of (possibly deferred) elements.
template <class T>
class Array {
 public:
  using Slot = hs::Lazy<T>;
  using Storage = Block<Slot>;

  Array(const Array& o) noexcept : b_(o.b_) { retain(); }
  Array(Array&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
  Array& operator=(Array o) noexcept {
    std::swap(b_, o.b_);
    return *this;
  }
  ~Array() { release(); }

  [[nodiscard]] std::uint32_t size() const noexcept { return b_->len; }
  const Slot& slot(std::size_t i) const noexcept { return (*b_)[i]; }
  const Slot* begin() const noexcept { return b_->begin(); }
  const Slot* end() const noexcept { return b_->end(); }
  const void* identity() const noexcept { return b_; }

  // Takes ownership of a block built elsewhere.
  static Array adopt(Storage* b) noexcept { return Array(b); }
  Storage* storage() const noexcept { return b_; }

 private:
  friend class MArray<T>;
  explicit Array(Storage* b) noexcept : b_(b) {}
  void retain() noexcept {
    if (b_) hs::internal::countUp(b_->refs);
  }
  void release() noexcept {
    if (b_ && hs::internal::countDown(b_->refs)) Storage::destroy(b_);
  }
  Storage* b_;
};

// A mutable array, private to one construction until it is frozen. Freezing and thawing in place
// keep the very same object.
template <class T>
class MArray {
 public:
  using Slot = hs::Lazy<T>;
  using Storage = Block<Slot>;

  MArray(const MArray&) = delete;
  MArray& operator=(const MArray&) = delete;
  MArray(MArray&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
  MArray& operator=(MArray&& o) noexcept {
    if (this != &o) {
      reset();
      b_ = std::exchange(o.b_, nullptr);
    }
    return *this;
  }
  ~MArray() { reset(); }

  [[nodiscard]] std::uint32_t size() const noexcept { return b_->len; }
  Slot& slot(std::size_t i) noexcept { return (*b_)[i]; }
  const Slot& slot(std::size_t i) const noexcept { return (*b_)[i]; }
  const void* identity() const noexcept { return b_; }

  static MArray filled(std::uint32_t n, const Slot& x) {
    BlockBuilder<Slot> b(Kind::Array, 0, n);
    for (std::uint32_t i = 0; i < n; ++i) b.emplace(x);
    return MArray(b.finish());
  }
  Array<T> freeze() && noexcept { return Array<T>(std::exchange(b_, nullptr)); }
  static MArray thawInPlace(Array<T>&& a) noexcept { return MArray(std::exchange(a.b_, nullptr)); }
  void shrink(std::uint32_t n) noexcept { b_->shrink(n); }

 private:
  explicit MArray(Storage* b) noexcept : b_(b) {}
  void reset() noexcept {
    if (b_ && hs::internal::countDown(b_->refs)) Storage::destroy(b_);
    b_ = nullptr;
  }
  Storage* b_;
};

// ---- Access and identity -------------------------------------------------------------------

template <class T>
std::int64_t length(const Array<T>& a) noexcept {
  return a.size();
}
template <class T>
std::int64_t lengthM(const MArray<T>& a) noexcept {
  return a.size();
}
// Element i, evaluated.
template <class T>
const T& index(const Array<T>& a, std::int64_t i) {
  return a.slot(static_cast<std::size_t>(i)).force();
}
// Element i as stored, not evaluated.
template <class T>
hs::Lazy<T> indexU(const Array<T>& a, std::int64_t i) {
  return a.slot(static_cast<std::size_t>(i));
}
template <class T>
hs::Lazy<T> indexM(const Array<T>& a, std::int64_t i) {
  return a.slot(static_cast<std::size_t>(i));
}
template <class T>
hs::Lazy<T> read(const MArray<T>& a, std::int64_t i) {
  return a.slot(static_cast<std::size_t>(i));
}
template <class T>
hs::Unit write(MArray<T>& a, std::int64_t i, std::type_identity_t<hs::Lazy<T>> x) {
  a.slot(static_cast<std::size_t>(i)) = std::move(x);
  return hs::unit;
}
template <class T>
bool unsafeSameArray(const Array<T>& a, const Array<T>& b) noexcept {
  return a.identity() == b.identity();
}

// ---- Allocation, freezing and bulk copies --------------------------------------------------

template <class T>
MArray<T> newFilled(std::int64_t n, hs::Lazy<T> x) {
  return MArray<T>::filled(static_cast<std::uint32_t>(n), x);
}
template <class T>
MArray<T> new_(std::int64_t n) {
  return MArray<T>::filled(static_cast<std::uint32_t>(n), array::undefinedElem<T>());
}
template <class T>
MArray<T>& shrink(MArray<T>& a, std::int64_t n) noexcept {
  a.shrink(static_cast<std::uint32_t>(n));
  return a;
}
template <class T>
Array<T> unsafeFreeze(MArray<T>&& a) noexcept {
  return std::move(a).freeze();
}
template <class T>
MArray<T> unsafeThaw(Array<T>&& a) noexcept {
  return MArray<T>::thawInPlace(std::move(a));
}
// Runs a construction that produces a mutable array and freezes that array in place.
template <class F>
auto run(F&& construct) {
  return array::unsafeFreeze(std::forward<F>(construct)());
}
template <class T>
MArray<T> thaw(const Array<T>& a, std::int64_t off, std::int64_t n) {
  MArray<T> m = array::new_<T>(n);
  for (std::int64_t i = 0; i < n; ++i) m.slot(i) = a.slot(off + i);
  return m;
}
template <class T>
MArray<T> cloneM(const MArray<T>& a, std::int64_t off, std::int64_t n) {
  MArray<T> m = array::new_<T>(n);
  for (std::int64_t i = 0; i < n; ++i) m.slot(i) = a.slot(off + i);
  return m;
}
template <class T>
hs::Unit copy(const Array<T>& src, std::int64_t srcOff, MArray<T>& dst, std::int64_t dstOff,
              std::int64_t n) {
  for (std::int64_t i = 0; i < n; ++i) dst.slot(dstOff + i) = src.slot(srcOff + i);
  return hs::unit;
}
template <class T>
hs::Unit copyM(const MArray<T>& src, std::int64_t srcOff, MArray<T>& dst, std::int64_t dstOff,
               std::int64_t n) {
  if (src.identity() == dst.identity() && dstOff > srcOff) {
    for (std::int64_t i = n; i > 0; --i) dst.slot(dstOff + i - 1) = src.slot(srcOff + i - 1);
  } else {
    for (std::int64_t i = 0; i < n; ++i) dst.slot(dstOff + i) = src.slot(srcOff + i);
  }
  return hs::unit;
}
// Overwrites slot i of an array its caller holds exclusively; the array stays frozen.
template <class T>
hs::Unit unsafeUpdateM(const Array<T>& a, std::int64_t i, std::type_identity_t<hs::Lazy<T>> x) {
  a.storage()->slots()[i] = std::move(x);
  return hs::unit;
}

// ---- New arrays from elements or from another array ----------------------------------------

template <class T>
Array<T> singleton(hs::Lazy<T> x) {
  return array::unsafeFreeze(array::newFilled<T>(1, std::move(x)));
}
template <class T>
MArray<T> singletonM(hs::Lazy<T> x) {
  return array::newFilled<T>(1, std::move(x));
}
template <class T>
Array<T> pair(hs::Lazy<T> x, std::type_identity_t<hs::Lazy<T>> y) {
  MArray<T> m = array::newFilled<T>(2, x);
  m.slot(1) = std::move(y);
  return array::unsafeFreeze(std::move(m));
}
// n slots holding the list's elements in order; the list must hold exactly n elements.
template <class T>
Array<T> fromList(std::int64_t n, const std::vector<hs::Lazy<T>>& xs) {
  assert(static_cast<std::int64_t>(xs.size()) <= n && "fromList: list longer than its count");
  MArray<T> m = array::new_<T>(n);
  for (std::size_t i = 0; i < xs.size() && static_cast<std::int64_t>(i) < n; ++i) m.slot(i) = xs[i];
  return array::unsafeFreeze(std::move(m));
}
// As fromList, each element evaluated (in list order) before it is stored.
template <class T>
Array<T> fromList_(std::int64_t n, const std::vector<hs::Lazy<T>>& xs) {
  assert(static_cast<std::int64_t>(xs.size()) <= n && "fromList': list longer than its count");
  MArray<T> m = array::new_<T>(n);
  for (std::size_t i = 0; i < xs.size() && static_cast<std::int64_t>(i) < n; ++i) {
    xs[i].force();
    m.slot(i) = xs[i];
  }
  return array::unsafeFreeze(std::move(m));
}
template <class T>
Array<T> snoc(const Array<T>& a, std::type_identity_t<hs::Lazy<T>> x) {
  const std::uint32_t n = a.size();
  return Array<T>::adopt(internal::copyInsert(Kind::Array, 0, a.begin(), n, n, std::move(x)));
}
template <class T>
Array<T> insert(const Array<T>& a, std::int64_t i, std::type_identity_t<hs::Lazy<T>> x) {
  return Array<T>::adopt(internal::copyInsert(Kind::Array, 0, a.begin(), a.size(),
                                              static_cast<std::uint32_t>(i), std::move(x)));
}
template <class T>
Array<T> insertM(const Array<T>& a, std::int64_t i, std::type_identity_t<hs::Lazy<T>> x) {
  return array::insert(a, i, std::move(x));
}
template <class T>
Array<T> erase(const Array<T>& a, std::int64_t i) {
  return Array<T>::adopt(
      internal::copyErase(Kind::Array, 0, a.begin(), a.size(), static_cast<std::uint32_t>(i)));
}
template <class T>
Array<T> update(const Array<T>& a, std::int64_t i, std::type_identity_t<hs::Lazy<T>> x) {
  return Array<T>::adopt(internal::copyUpdate(Kind::Array, 0, a.begin(), a.size(),
                                              static_cast<std::uint32_t>(i), std::move(x)));
}
// A copy whose slot i holds f of the old element; f's result is evaluated before the copy is made.
template <class T, class F>
Array<T> updateWith_(const Array<T>& a, std::int64_t i, F&& f) {
  hs::Lazy<T> x(std::forward<F>(f)(array::index(a, i)));
  x.force();
  return array::update(a, i, std::move(x));
}
// Slot i holds a deferred f of element i; f is not called here.
template <class F, class T>
auto map(F f, const Array<T>& a) {
  using R = std::remove_cvref_t<std::invoke_result_t<F&, const T&>>;
  MArray<R> m = array::new_<R>(a.size());
  for (std::uint32_t i = 0; i < a.size(); ++i) m.slot(i) = hs::Lazy<R>::apply(f, a.slot(i));
  return array::unsafeFreeze(std::move(m));
}
// Slot i holds f of element i, computed now, slot 0 first.
template <class F, class T>
auto map_(F f, const Array<T>& a) {
  using R = std::remove_cvref_t<std::invoke_result_t<F&, const T&>>;
  MArray<R> m = array::new_<R>(a.size());
  for (std::uint32_t i = 0; i < a.size(); ++i) m.slot(i) = hs::Lazy<R>(f(a.slot(i).force()));
  return array::unsafeFreeze(std::move(m));
}

// ---- Folds and queries ---------------------------------------------------------------------

// Strict left fold from slot 0.
template <class F, class Z, class T>
Z foldl_(F&& f, Z z, const Array<T>& a) {
  for (const auto& x : a) z = f(std::move(z), x.force());
  return z;
}
// Strict right fold from the last slot.
template <class F, class Z, class T>
Z foldr_(F&& f, Z z, const Array<T>& a) {
  for (std::uint32_t i = a.size(); i > 0; --i) z = f(a.slot(i - 1).force(), std::move(z));
  return z;
}
// Lazy right fold: f receives the element and the deferred fold of the rest.
template <class Z, class F, class T>
hs::Lazy<Z> foldrFrom(const F& f, const hs::Lazy<Z>& z, const Array<T>& a, std::uint32_t i) {
  if (i == a.size()) return z;
  return hs::Lazy<Z>::defer(
      [f, z, a, i]() -> Z { return f(a.slot(i).force(), array::foldrFrom<Z>(f, z, a, i + 1)); });
}
template <class F, class Z, class T>
Z foldr(const F& f, Z z, const Array<T>& a) {
  if (a.size() == 0) return z;
  return f(a.slot(0).force(), array::foldrFrom<Z>(f, hs::Lazy<Z>(std::move(z)), a, 1));
}
// Lazy left fold: f receives the deferred fold of all but the last element, and the last element.
template <class Z, class F, class T>
hs::Lazy<Z> foldlUpTo(const F& f, const hs::Lazy<Z>& z, const Array<T>& a, std::uint32_t n) {
  if (n == 0) return z;
  return hs::Lazy<Z>::defer([f, z, a, n]() -> Z {
    return f(array::foldlUpTo<Z>(f, z, a, n - 1), a.slot(n - 1).force());
  });
}
template <class F, class Z, class T>
Z foldl(const F& f, Z z, const Array<T>& a) {
  const std::uint32_t n = a.size();
  if (n == 0) return z;
  return f(array::foldlUpTo<Z>(f, hs::Lazy<Z>(std::move(z)), a, n - 1), a.slot(n - 1).force());
}
template <class P, class T>
bool all(P&& p, const Array<T>& a) {
  for (const auto& x : a)
    if (!p(x.force())) return false;
  return true;
}
template <class T>
std::vector<hs::Lazy<T>> toList(const Array<T>& a) {
  return std::vector<hs::Lazy<T>>(a.begin(), a.end());
}
// Equal lengths and r holding for every slot pair, from slot 0, stopping at the first False.
template <class R, class A, class B>
bool sameArray1(R&& r, const Array<A>& a, const Array<B>& b) {
  if (a.size() != b.size()) return false;
  for (std::uint32_t i = 0; i < a.size(); ++i)
    if (!r(a.slot(i).force(), b.slot(i).force())) return false;
  return true;
}
// Runs f for slot 0 up within the construction, storing each result as returned.
template <class F, class T>
auto traverseST(F&& f, const Array<T>& a) {
  using R = typename std::remove_cvref_t<std::invoke_result_t<F&, const T&>>;
  MArray<R> m = array::new_<R>(a.size());
  for (std::uint32_t i = 0; i < a.size(); ++i) m.slot(i) = hs::Lazy<R>(f(a.slot(i).force()));
  return array::unsafeFreeze(std::move(m));
}
template <class F, class T>
auto traverseIO(F&& f, const Array<T>& a) {
  return array::traverseST(std::forward<F>(f), a);
}

// The elements, evaluated, in slot order.
template <class T>
std::vector<T> values(const Array<T>& a) {
  std::vector<T> out;
  out.reserve(a.size());
  for (const auto& x : a) out.push_back(x.force());
  return out;
}

}  // namespace array

// The package identifier of this library, for the names its embeddings refer to.
const char* packageIdentifier() noexcept;

}  // namespace vantrel::internal
