// Byte strings: a strict one (an immutable run of bytes in a shared, never-moving buffer) and a
// lazy one (a list of strict chunks produced on demand, possibly endless).
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
#include "hs/show.hpp"

namespace hs {

namespace detail {

// A buffer's header; its bytes follow it in the same allocation.
struct ByteBuffer {
  std::atomic<std::uint32_t> refs{1};
  std::uint8_t* bytes() noexcept { return reinterpret_cast<std::uint8_t*>(this + 1); }
};
static_assert(alignof(ByteBuffer) <= alignof(std::max_align_t));

ByteBuffer* allocateByteBuffer(std::size_t n);
inline void freeByteBuffer(ByteBuffer* b) noexcept {
  b->~ByteBuffer();
  ::operator delete(static_cast<void*>(b));
}
inline void retainByteBuffer(ByteBuffer* b) noexcept {
  if (b != nullptr) b->refs.fetch_add(1, std::memory_order_relaxed);
}
inline void releaseByteBuffer(ByteBuffer* b) noexcept {
  if (b == nullptr) return;
  // A sole holder frees without the read-modify-write: nobody else can take a new reference.
  if (b->refs.load(std::memory_order_acquire) == 1 ||
      b->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
    freeByteBuffer(b);
}

}  // namespace detail

// A strict byte string: a view of part of a shared buffer that is filled once, before the string
// exists, and never written or moved afterwards. Copies and slices share the buffer.
class ByteString {
 public:
  using value_type = std::uint8_t;
  using const_iterator = const std::uint8_t*;

  ByteString() noexcept = default;
  // Copies n bytes from p.
  ByteString(const void* p, std::size_t n) {
    if (n == 0) return;
    buf_ = detail::allocateByteBuffer(n);
    std::memcpy(buf_->bytes(), p, n);
    p_ = buf_->bytes();
    n_ = n;
  }
  // The characters of s as bytes.
  explicit ByteString(std::string_view s) : ByteString(s.data(), s.size()) {}
  ByteString(std::initializer_list<std::uint8_t> bytes) : ByteString(bytes.begin(), bytes.size()) {}
  explicit ByteString(std::span<const std::uint8_t> bytes)
      : ByteString(bytes.data(), bytes.size()) {}

  // A new buffer of n bytes, filled by fill(std::uint8_t*) before anyone else can see it. If fill
  // throws, the buffer is freed.
  template <class F>
  static ByteString create(std::size_t n, F&& fill) {
    ByteString s;
    if (n == 0) return s;
    s.buf_ = detail::allocateByteBuffer(n);
    s.p_ = s.buf_->bytes();
    s.n_ = n;
    std::forward<F>(fill)(s.buf_->bytes());
    return s;
  }

  ByteString(const ByteString& o) noexcept : buf_(o.buf_), p_(o.p_), n_(o.n_) {
    detail::retainByteBuffer(buf_);
  }
  ByteString(ByteString&& o) noexcept : buf_(o.buf_), p_(o.p_), n_(o.n_) {
    o.buf_ = nullptr;
    o.p_ = nullptr;
    o.n_ = 0;
  }
  ByteString& operator=(const ByteString& o) noexcept {
    detail::retainByteBuffer(o.buf_);
    detail::releaseByteBuffer(buf_);
    buf_ = o.buf_;
    p_ = o.p_;
    n_ = o.n_;
    return *this;
  }
  ByteString& operator=(ByteString&& o) noexcept {
    if (this != &o) {
      detail::releaseByteBuffer(buf_);
      buf_ = std::exchange(o.buf_, nullptr);
      p_ = std::exchange(o.p_, nullptr);
      n_ = std::exchange(o.n_, 0);
    }
    return *this;
  }
  ~ByteString() { detail::releaseByteBuffer(buf_); }

  const std::uint8_t* data() const noexcept { return p_; }
  std::size_t size() const noexcept { return n_; }
  bool empty() const noexcept { return n_ == 0; }
  std::uint8_t operator[](std::size_t i) const noexcept { return p_[i]; }
  const_iterator begin() const noexcept { return p_; }
  const_iterator end() const noexcept { return p_ + n_; }
  std::span<const std::uint8_t> span() const noexcept { return {p_, n_}; }
  std::string_view chars() const noexcept {
    return {reinterpret_cast<const char*>(p_), n_};
  }
  std::vector<std::uint8_t> unpack() const { return {begin(), end()}; }

  // Slices that share the buffer (clamped to the string).
  ByteString take(std::size_t k) const noexcept { return slice(0, k); }
  ByteString drop(std::size_t k) const noexcept { return slice(k, n_); }
  ByteString slice(std::size_t from, std::size_t count) const noexcept {
    if (from > n_) from = n_;
    if (count > n_ - from) count = n_ - from;
    if (count == 0) return ByteString();
    detail::retainByteBuffer(buf_);
    return ByteString(buf_, p_ + from, count);
  }

  // True when both view the same buffer (one was made from the other without copying).
  bool sharesBufferWith(const ByteString& o) const noexcept {
    return buf_ != nullptr && buf_ == o.buf_;
  }

  friend bool operator==(const ByteString& a, const ByteString& b) noexcept {
    return a.n_ == b.n_ && (a.n_ == 0 || std::memcmp(a.p_, b.p_, a.n_) == 0);
  }
  // Lexicographic over the bytes as unsigned numbers; a proper prefix is smaller.
  friend std::strong_ordering operator<=>(const ByteString& a, const ByteString& b) noexcept {
    const std::size_t n = a.n_ < b.n_ ? a.n_ : b.n_;
    const int c = n == 0 ? 0 : std::memcmp(a.p_, b.p_, n);
    if (c != 0) return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
    return a.n_ <=> b.n_;
  }

 private:
  ByteString(detail::ByteBuffer* b, const std::uint8_t* p, std::size_t n) noexcept
      : buf_(b), p_(p), n_(n) {}

  detail::ByteBuffer* buf_ = nullptr;
  const std::uint8_t* p_ = nullptr;
  std::size_t n_ = 0;
};

// The strings one after the other, in one new buffer (a single non-empty part is shared).
ByteString concat(std::span<const ByteString> parts);

// The text form of the base library: a string literal of the bytes taken as Latin-1 characters.
template <>
struct Show<ByteString> {
  static void showsPrec(int, const ByteString& s, std::string& out);
};

// The bytes eight at a time, then the length (as for std::string).
template <>
struct Hashable<ByteString> {
  static std::int64_t hashWithSalt(std::int64_t salt, const ByteString& s) noexcept {
    return hashBytesWithSalt(salt, s.data(), s.size());
  }
};

}  // namespace hs
