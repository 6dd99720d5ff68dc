#include "hs/binary.hpp"

#include <algorithm>
#include <stdexcept>

namespace hs {

namespace binary {

void Output::exchange(std::size_t n) {
  const BufferRange r = sink_->bufferFull(n, next_);
  if (static_cast<std::size_t>(r.end - r.next) < n)
    errorWithoutStackTrace("hs::binary::Output: the next buffer is smaller than the size asked for");
  next_ = r.next;
  end_ = r.end;
}

void Output::putBytes(const void* p, std::size_t n) {
  if (n == 0) return;
  const auto* src = static_cast<const std::uint8_t*>(p);
  const std::size_t k = std::min(n, available());
  if (k > 0) std::memcpy(next_, src, k);
  next_ += k;
  if (k == n) return;
  exchange(n - k);
  std::memcpy(next_, src + k, n - k);
  next_ += n - k;
}

bool Input::nextChunk() {
  while (source_ != nullptr) {
    std::optional<ByteString> c = source_->more();
    if (!c) {
      // The end of the input is final: the source is not asked again.
      source_ = nullptr;
      break;
    }
    if (c->empty()) continue;
    consumedBefore_ += static_cast<std::int64_t>(chunk_.size());
    chunk_ = std::move(*c);
    at_ = chunk_.data();
    end_ = at_ + chunk_.size();
    return true;
  }
  return false;
}

void Input::notEnough(std::int64_t readBefore, ByteString unread) {
  // What was gathered is unread again: the failure reports it as the rest of the input.
  chunk_ = std::move(unread);
  at_ = chunk_.data();
  end_ = at_ + chunk_.size();
  consumedBefore_ = readBefore;
  throw DecoderFailure("not enough bytes");
}

void Input::gather(std::size_t n, std::uint8_t* scratch) {
  const std::int64_t before = bytesRead();
  std::size_t got = 0;
  for (;;) {
    const std::size_t take = std::min(n - got, available());
    if (take > 0) std::memcpy(scratch + got, at_, take);
    at_ += take;
    got += take;
    if (got == n) return;
    if (!nextChunk()) notEnough(before, ByteString(scratch, got));
  }
}

ByteString Input::getByteString(std::size_t n) {
  if (n <= available()) {
    ByteString s = chunk_.slice(static_cast<std::size_t>(at_ - chunk_.data()), n);
    at_ += n;
    return s;
  }
  // Pieces are kept as they arrive, so a hostile length costs no more than the input there is.
  const std::int64_t before = bytesRead();
  std::vector<ByteString> pieces;
  std::size_t got = 0;
  for (;;) {
    const std::size_t take = std::min(n - got, available());
    if (take > 0) pieces.push_back(chunk_.slice(static_cast<std::size_t>(at_ - chunk_.data()), take));
    at_ += take;
    got += take;
    if (got == n) return concat(pieces);
    if (!nextChunk()) notEnough(before, concat(pieces));
  }
}

bool Input::isEmpty() { return available() == 0 && !nextChunk(); }

}  // namespace binary

bool Binary<bool>::get(binary::Input& in) {
  const std::uint8_t w = in.getWord8();
  if (w == 0) return false;
  if (w == 1) return true;
  in.fail("Could not map value " + std::to_string(w) + " to Bool");
}

void Binary<char32_t>::put(char32_t c, binary::Output& out) {
  const auto b = [](std::uint32_t x) { return static_cast<std::uint8_t>(x); };
  if (c <= 0x7F) {
    out.putWord8(b(c));
  } else if (c <= 0x7FF) {
    std::uint8_t* p = out.reserve(2);
    p[0] = b(0xC0 | (c >> 6));
    p[1] = b(0x80 | (c & 0x3F));
    out.advance(2);
  } else if (c <= 0xFFFF) {
    std::uint8_t* p = out.reserve(3);
    p[0] = b(0xE0 | (c >> 12));
    p[1] = b(0x80 | ((c >> 6) & 0x3F));
    p[2] = b(0x80 | (c & 0x3F));
    out.advance(3);
  } else if (c <= 0x10FFFF) {
    std::uint8_t* p = out.reserve(4);
    p[0] = b(0xF0 | (c >> 18));
    p[1] = b(0x80 | ((c >> 12) & 0x3F));
    p[2] = b(0x80 | ((c >> 6) & 0x3F));
    p[3] = b(0x80 | (c & 0x3F));
    out.advance(4);
  } else {
    errorWithoutStackTrace("Not a valid Unicode code point");
  }
}

char32_t Binary<char32_t>::get(binary::Input& in) {
  // The lead byte says how many bytes follow; continuation bytes are taken as they are.
  const auto next = [&] { return static_cast<std::uint32_t>(in.getWord8()) ^ 0x80; };
  const std::uint32_t w = in.getWord8();
  std::uint32_t r;
  if (w < 0x80) {
    r = w;
  } else if (w < 0xE0) {
    const std::uint32_t x = next();
    r = x | ((w ^ 0xC0) << 6);
  } else if (w < 0xF0) {
    const std::uint32_t x = next();
    const std::uint32_t y = next();
    r = y | ((x | ((w ^ 0xE0) << 6)) << 6);
  } else {
    const std::uint32_t x = next();
    const std::uint32_t y = next();
    const std::uint32_t z = next();
    r = z | ((y | ((x | ((w ^ 0xF0) << 6)) << 6)) << 6);
  }
  if (r > 0x10FFFF) in.fail("Not a valid Unicode code point!");
  return r;
}

void Binary<std::string>::put(const std::string& s, binary::Output& out) {
  std::int64_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++n) {
    char32_t c;
    i += hs::detail::decodeUtf8At(s, i, c);
  }
  out.putInt64be(n);
  for (std::size_t i = 0; i < s.size();) {
    char32_t c;
    i += hs::detail::decodeUtf8At(s, i, c);
    Binary<char32_t>::put(c, out);
  }
}

std::string Binary<std::string>::get(binary::Input& in) {
  const std::int64_t n = in.getInt64be();
  std::string s;
  for (std::int64_t i = 0; i < n; ++i)
    if (!hs::detail::appendStringChar(Binary<char32_t>::get(in), s))
      in.fail("characters U+DC80..U+DCFF that join into another character");
  return s;
}

ByteString Binary<ByteString>::get(binary::Input& in) {
  const std::int64_t n = in.getInt64be();
  if (n <= 0) return ByteString();
  return in.getByteString(static_cast<std::size_t>(n));
}

}  // namespace hs

namespace hs::binary {

ChunkCollector::~ChunkCollector() {
  if (buf_ != nullptr) hs::detail::releaseByteBuffer(buf_);
}

BufferRange ChunkCollector::fresh(std::size_t minSize) {
  if (buf_ != nullptr && capacity_ >= minSize) return {buf_->bytes(), buf_->bytes() + capacity_};
  if (buf_ != nullptr) hs::detail::releaseByteBuffer(std::exchange(buf_, nullptr));
  capacity_ = std::max(next_, minSize);
  next_ = std::min<std::size_t>(next_ * 2, 32 * 1024);
  buf_ = hs::detail::allocateByteBuffer(capacity_);
  return {buf_->bytes(), buf_->bytes() + capacity_};
}

BufferRange ChunkCollector::first() { return fresh(1); }

void ChunkCollector::keep(std::uint8_t* filled) {
  const auto n = static_cast<std::size_t>(filled - buf_->bytes());
  if (n == 0) return;
  if (n <= ByteString::inlineCapacity || n * 2 < capacity_) {
    chunks_.emplace_back(buf_->bytes(), n);  // copied to its size; the buffer is used again
    return;
  }
  chunks_.push_back(ByteString::adoptBuffer(std::exchange(buf_, nullptr), n));
}

BufferRange ChunkCollector::bufferFull(std::size_t minSize, std::uint8_t* filled) {
  keep(filled);
  return fresh(minSize);
}

LazyByteString ChunkCollector::finish(std::uint8_t* filled) {
  keep(filled);
  List<ByteString> chunks;
  for (std::size_t i = chunks_.size(); i > 0; --i)
    chunks = List<ByteString>::cons(std::move(chunks_[i - 1]), std::move(chunks));
  chunks_.clear();
  return LazyByteString::fromChunks(chunks);
}

}  // namespace hs::binary
