#include "hs/bytes.hpp"

#include <algorithm>
#include <limits>

namespace hs {

detail::ByteBuffer* detail::allocateByteBuffer(std::size_t n) {
  if (n > std::numeric_limits<std::size_t>::max() - sizeof(ByteBuffer)) throw std::bad_alloc();
  void* raw = ::operator new(sizeof(ByteBuffer) + n);
  return ::new (raw) ByteBuffer();
}

ByteString concat(std::span<const ByteString> parts) {
  std::size_t total = 0;
  const ByteString* only = nullptr;
  std::size_t nonEmpty = 0;
  for (const ByteString& p : parts) {
    if (p.empty()) continue;
    total += p.size();
    only = &p;
    ++nonEmpty;
  }
  if (nonEmpty == 0) return ByteString();
  if (nonEmpty == 1) return *only;
  return ByteString::create(total, [&](std::uint8_t* out) {
    for (const ByteString& p : parts) {
      if (p.empty()) continue;
      std::memcpy(out, p.data(), p.size());
      out += p.size();
    }
  });
}

void Show<ByteString>::showsPrec(int, const ByteString& s, std::string& out) {
  std::u32string cs;
  cs.reserve(s.size());
  for (std::uint8_t b : s) cs.push_back(b);
  detail::showStringLiteral(cs, out);
}

}  // namespace hs

namespace hs {

LazyByteString LazyByteString::pack(std::span<const std::uint8_t> bytes) {
  std::vector<ByteString> parts;
  std::size_t size = 32;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t n = std::min(size, bytes.size() - at);
    parts.emplace_back(bytes.data() + at, n);
    at += n;
    size = std::min<std::size_t>(size * 2, 4080);
  }
  List<ByteString> chunks;
  for (std::size_t i = parts.size(); i > 0; --i)
    chunks = List<ByteString>::cons(std::move(parts[i - 1]), std::move(chunks));
  return LazyByteString(std::move(chunks));
}

ByteString LazyByteString::toStrict() const {
  std::vector<ByteString> parts;
  for (const ByteString& c : chunks_) parts.push_back(c);
  return concat(parts);
}

std::int64_t LazyByteString::length() const {
  std::int64_t n = 0;
  for (const ByteString& c : chunks_) n += static_cast<std::int64_t>(c.size());
  return n;
}

Ordering LazyByteString::compareLength(std::int64_t n) const {
  if (n < 0) return GT;
  std::int64_t seen = 0;
  for (const ByteString& c : chunks_) {
    seen += static_cast<std::int64_t>(c.size());
    if (seen > n) return GT;
  }
  return seen == n ? EQ : LT;
}

std::vector<std::uint8_t> LazyByteString::unpack() const {
  std::vector<std::uint8_t> out;
  for (const ByteString& c : chunks_) out.insert(out.end(), c.begin(), c.end());
  return out;
}

bool operator==(const LazyByteString& a, const LazyByteString& b) {
  LazyByteString::iterator i = a.begin(), j = b.begin();
  for (;;) {
    const bool ai = i == std::default_sentinel, bj = j == std::default_sentinel;
    if (ai || bj) return ai && bj;
    if (*i != *j) return false;
    ++i;
    ++j;
  }
}

}  // namespace hs
