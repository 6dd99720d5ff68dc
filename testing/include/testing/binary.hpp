// Test support for the serialised form: an output sink that records every buffer-full exchange,
// and an input source that delivers the bytes in pieces of a chosen size.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/binary.hpp"

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// Hands out buffers of a fixed size (larger when a write asks for more), filled with 0xAA so that
// untouched bytes show, and records each exchange as (size asked for, bytes filled).
class RecordingSink : public hs::binary::BufferSink {
 public:
  explicit RecordingSink(std::size_t size) : size_(size) {}

  // The first buffer.
  hs::binary::BufferRange first() { return fresh(size_); }
  hs::binary::BufferRange bufferFull(std::size_t minSize, std::uint8_t* filled) override {
    asks.emplace_back(minSize, static_cast<std::size_t>(filled - buffers.back().data()));
    filledUpTo_.push_back(filled);
    return fresh(std::max(size_, minSize));
  }
  // Everything written, given the output's final position.
  Bytes written(const std::uint8_t* end) const {
    Bytes out;
    for (std::size_t i = 0; i < buffers.size(); ++i) {
      const std::uint8_t* stop = i + 1 < buffers.size() ? filledUpTo_[i] : end;
      out.insert(out.end(), buffers[i].data(), stop);
    }
    return out;
  }

  std::vector<std::pair<std::size_t, std::size_t>> asks;
  std::deque<Bytes> buffers;

 private:
  hs::binary::BufferRange fresh(std::size_t n) {
    buffers.emplace_back(n, 0xAA);
    return {buffers.back().data(), buffers.back().data() + n};
  }
  std::size_t size_;
  std::vector<std::uint8_t*> filledUpTo_;
};

// The serialised form of x, written into buffers of the given size.
template <class T>
Bytes encoded(const T& x, std::size_t bufferSize = 64) {
  RecordingSink sink(bufferSize);
  hs::binary::Output out(sink.first(), sink);
  hs::put(x, out);
  return sink.written(out.position());
}

// Delivers bytes in pieces of a given size and counts how often it is asked.
class PieceSource : public hs::binary::ChunkSource {
 public:
  PieceSource(Bytes b, std::size_t piece) : bytes_(std::move(b)), piece_(piece) {}
  std::optional<hs::ByteString> more() override {
    ++asked;
    if (at_ >= bytes_.size()) return std::nullopt;
    const std::size_t n = std::min(piece_, bytes_.size() - at_);
    hs::ByteString s(bytes_.data() + at_, n);
    at_ += n;
    return s;
  }
  int asked = 0;

 private:
  Bytes bytes_;
  std::size_t piece_, at_ = 0;
};

// What reading a T from bytes delivered in pieces gives: the value, or the failure's message,
// with the bytes consumed and the unread bytes of the current piece.
template <class T>
struct ReadOutcome {
  std::optional<T> value;
  std::string message;
  std::int64_t offset = 0;
  Bytes unread;
  bool atEnd = false;
};
template <class T>
ReadOutcome<T> readInPieces(const Bytes& b, std::size_t piece) {
  PieceSource src(b, piece);
  hs::binary::Input in(hs::ByteString(), &src);
  ReadOutcome<T> r;
  try {
    r.value.emplace(hs::get<T>(in));
  } catch (const hs::DecoderFailure& f) {
    r.message = f.message();
  }
  r.offset = in.bytesRead();
  r.unread = in.unreadChunk().unpack();
  if (r.value) r.atEnd = in.isEmpty();
  return r;
}

}  // namespace testing_support
