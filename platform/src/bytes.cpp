#include "hs/bytes.hpp"

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
