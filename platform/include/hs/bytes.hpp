/// \defgroup hs_bytes hs/bytes.hpp
/// \ingroup hsplatform
/// Byte strings: a strict one (an immutable run of bytes in a shared, never-moving buffer) and a
/// lazy one (a list of strict chunks produced on demand, possibly endless).
#pragma once

#include <atomic>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hs/hashable.hpp"
#include "hs/internal/count.hpp"
#include "hs/list.hpp"
#include "hs/show.hpp"
#include "hs/unit.hpp"

namespace hs {
/// \addtogroup hs_bytes
/// @{

namespace detail {

// A buffer's header; its bytes follow it in the same allocation.
struct ByteBuffer {
  std::atomic<std::uint32_t> refs{1};
  [[nodiscard]] std::uint8_t* bytes() noexcept { return reinterpret_cast<std::uint8_t*>(this + 1); }
};
static_assert(alignof(ByteBuffer) <= alignof(std::max_align_t));

[[nodiscard]] ByteBuffer* allocateByteBuffer(std::size_t n);
inline void freeByteBuffer(ByteBuffer* b) noexcept {
  b->~ByteBuffer();
  ::operator delete(static_cast<void*>(b));
}
inline void retainByteBuffer(ByteBuffer* b) noexcept {
  if (b != nullptr) hs::internal::countUp(b->refs);
}
inline void releaseByteBuffer(ByteBuffer* b) noexcept {
  if (b == nullptr) return;
  // A sole holder frees without the read-modify-write: nobody else can take a new reference.
  if (b->refs.load(std::memory_order_acquire) == 1 ||
      hs::internal::countDown(b->refs))
    freeByteBuffer(b);
}

}  // namespace detail

/// A strict byte string: an immutable run of bytes. Up to `inlineCapacity` bytes are held in the
/// object itself (as std::string holds short strings); longer ones view part of a shared buffer
/// that is filled once, before the string exists, and is never written or moved afterwards. Copies
/// and slices of a long string share its buffer (a reference count, safe across threads).
class ByteString {
 public:
  using value_type = std::uint8_t;              ///< A byte.
  using const_iterator = const std::uint8_t*;  ///< A pointer into the bytes.
  /// The longest string held in the object itself, without a buffer.
  static constexpr std::size_t inlineCapacity = 40;

  /// The empty string.
  ByteString() noexcept : rep_{} {}
  /// Copies n bytes from p (into a new buffer when n is above inlineCapacity).
  ByteString(const void* p, std::size_t n) : ByteString(NoInit{}) {
    std::uint8_t* d = allocate(n);
    if (n > 0) std::memcpy(d, p, n);
  }
  /// The characters of s as bytes, copied.
  explicit ByteString(std::string_view s) : ByteString(s.data(), s.size()) {}
  /// @{
  /// The bytes, copied.
  ByteString(std::initializer_list<std::uint8_t> bytes) : ByteString(bytes.begin(), bytes.size()) {}
  explicit ByteString(std::span<const std::uint8_t> bytes)
      : ByteString(bytes.data(), bytes.size()) {}
  /// @}

  /// n bytes, filled by fill(std::uint8_t*) before anyone else can see them (in place: no copy).
  /// If fill throws, nothing is kept.
  template <class F>
  [[nodiscard]] static ByteString create(std::size_t n, F&& fill) {
    ByteString s{NoInit{}};
    std::forward<F>(fill)(s.allocate(n));
    return s;
  }

  /// @{
  /// Copying shares a long string's buffer (one count increment) and copies a short one's bytes;
  /// moving a long string leaves the source empty. None allocates or throws.
  ByteString(const ByteString& o) noexcept : rep_(o.rep_), n_(o.n_) {
    if (!isInline()) detail::retainByteBuffer(rep_.heap.buf);
  }
  ByteString(ByteString&& o) noexcept : rep_(o.rep_), n_(o.n_) {
    if (!isInline()) o.n_ = 0;
  }
  ByteString& operator=(const ByteString& o) noexcept {
    if (this != &o) {
      ByteString copy(o);
      swap(copy);
    }
    return *this;
  }
  ByteString& operator=(ByteString&& o) noexcept {
    if (this != &o) {
      ByteString taken(std::move(o));
      swap(taken);
    }
    return *this;
  }
  /// @}
  /// Frees the buffer when this was its last holder.
  ~ByteString() {
    if (!isInline()) detail::releaseByteBuffer(rep_.heap.buf);
  }

  /// The first byte (valid while the string, or a copy sharing its buffer, lives; a short string's
  /// bytes move with the object).
  [[nodiscard]] const std::uint8_t* data() const noexcept { return isInline() ? rep_.small : rep_.heap.p; }
  /// The number of bytes.
  [[nodiscard]] std::size_t size() const noexcept { return n_; }
  /// Whether there are no bytes.
  [[nodiscard]] bool empty() const noexcept { return n_ == 0; }
  /// Byte i (unchecked).
  [[nodiscard]] std::uint8_t operator[](std::size_t i) const noexcept { return data()[i]; }
  /// @{
  /// The bytes as a range.
  [[nodiscard]] const_iterator begin() const noexcept { return data(); }
  [[nodiscard]] const_iterator end() const noexcept { return data() + n_; }
  /// @}
  /// The bytes as a span.
  [[nodiscard]] std::span<const std::uint8_t> span() const noexcept { return {data(), n_}; }
  /// The bytes as characters.
  [[nodiscard]] std::string_view chars() const noexcept {
    return {reinterpret_cast<const char*>(data()), n_};
  }
  /// The bytes, copied into a new vector.
  [[nodiscard]] std::vector<std::uint8_t> unpack() const { return {begin(), end()}; }

  /// @{
  /// Slices (clamped to the string), in constant time: the first k bytes, all but the first k,
  /// count bytes from from. A long slice of a long string shares its buffer; a short one copies
  /// its bytes into the object. None allocates.
  [[nodiscard]] ByteString take(std::size_t k) const noexcept { return slice(0, k); }
  [[nodiscard]] ByteString drop(std::size_t k) const noexcept { return slice(k, n_); }
  [[nodiscard]] ByteString slice(std::size_t from, std::size_t count) const noexcept {
    if (from > n_) from = n_;
    if (count > n_ - from) count = n_ - from;
    ByteString s{NoInit{}};
    if (count <= inlineCapacity) {
      std::uint8_t* d = s.allocate(count);
      if (count > 0) std::memcpy(d, data() + from, count);
    } else {
      detail::retainByteBuffer(rep_.heap.buf);
      s.rep_.heap = Heap{rep_.heap.buf, rep_.heap.p + from};
      s.n_ = count;
    }
    return s;
  }
  /// @}

  /// True when both view the same shared buffer (one was made from the other without copying).
  [[nodiscard]] bool sharesBufferWith(const ByteString& o) const noexcept {
    return !isInline() && !o.isInline() && rep_.heap.buf == o.rep_.heap.buf;
  }

  // The first n bytes of a buffer allocated with detail::allocateByteBuffer; takes over the
  // caller's reference. (For the platform's writers, which fill buffers before they know the
  // final size; left out of the reference.) Up to inlineCapacity bytes are copied into the object
  // and the buffer is released.
  /// \cond
  [[nodiscard]] static ByteString adoptBuffer(detail::ByteBuffer* b, std::size_t n) noexcept {
    ByteString s{NoInit{}};
    if (n <= inlineCapacity) {
      std::uint8_t* d = s.allocate(n);
      if (n > 0) std::memcpy(d, b->bytes(), n);
      detail::releaseByteBuffer(b);
    } else {
      s.rep_.heap = Heap{b, b->bytes()};
      s.n_ = n;
    }
    return s;
  }
  /// \endcond

  /// Exchanges the two strings' contents.
  void swap(ByteString& o) noexcept {
    std::swap(rep_, o.rep_);
    std::swap(n_, o.n_);
  }

  /// The same bytes (compared with memcmp, in linear time).
  [[nodiscard]] friend bool operator==(const ByteString& a, const ByteString& b) noexcept {
    return a.n_ == b.n_ && (a.n_ == 0 || std::memcmp(a.data(), b.data(), a.n_) == 0);
  }
  /// Lexicographic over the bytes as unsigned numbers; a proper prefix is smaller.
  [[nodiscard]] friend std::strong_ordering operator<=>(const ByteString& a, const ByteString& b) noexcept {
    const std::size_t n = a.n_ < b.n_ ? a.n_ : b.n_;
    const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
    if (c != 0) return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
    return a.n_ <=> b.n_;
  }

 private:
  struct Heap {
    detail::ByteBuffer* buf;
    const std::uint8_t* p;
  };
  struct NoInit {};
  // An empty string whose inline bytes are not yet written: allocate comes next.
  explicit ByteString(NoInit) noexcept : n_(0) {}
  [[nodiscard]] bool isInline() const noexcept { return n_ <= inlineCapacity; }
  // Room for n bytes (the string must be empty); n becomes the size. Inline bytes past n are
  // cleared, so copies never read unwritten bytes.
  [[nodiscard]] std::uint8_t* allocate(std::size_t n) {
    if (n <= inlineCapacity) {
      std::memset(rep_.small + n, 0, inlineCapacity - n);
      n_ = n;
      return rep_.small;
    }
    detail::ByteBuffer* b = detail::allocateByteBuffer(n);
    rep_.heap = Heap{b, b->bytes()};
    n_ = n;
    return b->bytes();
  }

  union Rep {
    Heap heap;
    std::uint8_t small[inlineCapacity];
  };
  Rep rep_;
  std::size_t n_ = 0;
};

/// The strings one after the other, in one new buffer (a single non-empty part is shared).
[[nodiscard]] ByteString concat(std::span<const ByteString> parts);

/// The text form of the base library: a string literal of the bytes taken as Latin-1 characters.
template <>
struct Show<ByteString> {
  /// \privatesection
  static void showsPrec(int, const ByteString& s, std::string& out);
};

/// The bytes, hashed as a std::string of them (hashBytes, in linear time).
template <>
struct Hashable<ByteString> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const ByteString& s) noexcept {
    return hs::hashBytes(salt, s.data(), s.size());
  }
};

// ---------------------------------------------------------------------------------------------
/// A lazy byte string: a list of non-empty strict chunks, each produced when it is first reached,
/// so the string may be endless. Copies share the chunks.
class LazyByteString {
 public:
  /// The empty string.
  LazyByteString() = default;
  /// One chunk (none when it is empty); one list cell.
  explicit LazyByteString(ByteString chunk)
      : chunks_(chunk.empty() ? List<ByteString>()
                              : List<ByteString>::cons(std::move(chunk), List<ByteString>())) {}
  /// The chunks of a list, as the list produces them; empty chunks are left out (the list is not
  /// forced: each chunk is reached on demand, skipping past empty ones).
  [[nodiscard]] static LazyByteString fromChunks(const List<ByteString>& chunks) {
    return LazyByteString(hs::filter([](const ByteString& c) { return !c.empty(); }, chunks));
  }
  /// One chunk, s (none when it is empty).
  [[nodiscard]] static LazyByteString fromStrict(ByteString s) { return LazyByteString(std::move(s)); }
  /// The chunk c (left out when empty), then the chunks of rest (not forced).
  [[nodiscard]] static LazyByteString chunk(ByteString c, LazyByteString rest) {
    if (c.empty()) return rest;
    return LazyByteString(List<ByteString>::cons(std::move(c), std::move(rest.chunks_)));
  }
  /// @{
  /// The bytes copied, in chunks of 32, then of twice as many each time, up to 4080; every chunk
  /// is built now.
  [[nodiscard]] static LazyByteString pack(std::span<const std::uint8_t> bytes);
  [[nodiscard]] static LazyByteString pack(std::initializer_list<std::uint8_t> bytes) {
    return pack(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
  }
  /// @}

  /// The chunks, all non-empty.
  [[nodiscard]] const List<ByteString>& toChunks() const noexcept { return chunks_; }
  /// Every byte in one strict string, in one new buffer (a single chunk is shared); forces every
  /// chunk.
  [[nodiscard]] ByteString toStrict() const;
  /// Whether there are no bytes; forces the first chunk only.
  [[nodiscard]] bool null() const { return chunks_.null(); }
  /// The number of bytes; forces every chunk.
  [[nodiscard]] std::int64_t length() const;
  /// The length compared with n, forcing chunks only until the bytes reached exceed n (so it
  /// answers for an endless string).
  [[nodiscard]] Ordering compareLength(std::int64_t n) const;
  /// Every byte, copied into a new vector; forces every chunk.
  [[nodiscard]] std::vector<std::uint8_t> unpack() const;

  /// Byte by byte, producing chunks as it goes.
  class iterator {
   public:
    /// @{
    /// The standard iterator types.
    using iterator_concept = std::forward_iterator_tag;
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::uint8_t;
    using difference_type = std::ptrdiff_t;
    using reference = std::uint8_t;
    using pointer = void;
    /// @}

    /// A singular iterator (at the empty string).
    iterator() = default;
    /// The iterator at the first byte of the chunks.
    explicit iterator(List<ByteString> at) : at_(std::move(at)) {}
    /// The byte here.
    std::uint8_t operator*() const { return at_.head()[i_]; }
    /// @{
    /// To the next byte; leaving a chunk moves to the next one without forcing it.
    iterator& operator++() {
      if (++i_ == at_.head().size()) {
        List<ByteString> next = at_.tail();
        at_ = std::move(next);
        i_ = 0;
      }
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++*this;
      return before;
    }
    /// @}
    /// Whether both stand at the same byte of the same chunk cell (nothing is forced).
    [[nodiscard]] friend bool operator==(const iterator& a, const iterator& b) noexcept {
      return a.at_.identity() == b.at_.identity() && a.i_ == b.i_;
    }
    /// Whether the string ends here; forces the chunk cell here.
    [[nodiscard]] friend bool operator==(const iterator& a, std::default_sentinel_t) { return a.at_.null(); }

   private:
    List<ByteString> at_;
    std::size_t i_ = 0;
  };
  /// The iterator at the first byte (nothing is forced).
  [[nodiscard]] iterator begin() const { return iterator(chunks_); }
  /// The end sentinel.
  [[nodiscard]] std::default_sentinel_t end() const noexcept { return {}; }

  /// The same bytes, wherever the chunks divide them: byte by byte, forcing chunks only until the
  /// first difference.
  friend bool operator==(const LazyByteString& a, const LazyByteString& b);

 private:
  explicit LazyByteString(List<ByteString> chunks) : chunks_(std::move(chunks)) {}
  List<ByteString> chunks_;
};

/// As the strict string of all its bytes (forces every chunk).
template <>
struct Show<LazyByteString> {
  /// \privatesection
  static void showsPrec(int d, const LazyByteString& s, std::string& out) {
    Show<ByteString>::showsPrec(d, s.toStrict(), out);
  }
};

/// @}
}  // namespace hs
