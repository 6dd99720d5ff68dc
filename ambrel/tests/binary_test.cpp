// The tagged serialised form: the bytes of each constructor, the bad index failure, lists, and
// reading back over input delivered in pieces.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "ambrel/ambrel.hpp"
#include "hs/binary.hpp"
#include "testing/binary.hpp"

namespace {

using ambrel::Ambrel;
using ambrel::That;
using ambrel::This;
using testing_support::Bytes;
using testing_support::encoded;
using Int = std::int64_t;
using IS = Ambrel<Int, std::string>;

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes index(std::uint8_t i) { return {0, 0, 0, 0, 0, 0, 0, i}; }

TEST(Serialised, TheIndexThenThePresentValues) {
  const std::string y = "why";
  EXPECT_EQ(encoded(IS(This(Int{5}))), cat({index(0), encoded(Int{5})}));
  EXPECT_EQ(encoded(IS(That(y))), cat({index(1), encoded(y)}));
  EXPECT_EQ(encoded(IS(5, y)), cat({index(2), encoded(Int{5}), encoded(y)}));
  EXPECT_EQ(encoded(std::vector<IS>{}), index(0));
  EXPECT_EQ(encoded(std::vector<IS>{IS(This(Int{5}))}), cat({index(1), encoded(IS(This(Int{5})))}));
  // The list's count goes to a new buffer when fewer than 8 bytes are free.
  testing_support::RecordingSink sink(4);
  hs::binary::Output out(sink.first(), sink);
  hs::put(std::vector<IS>{IS(That(y))}, out);
  ASSERT_FALSE(sink.asks.empty());
  EXPECT_EQ(sink.asks[0], std::make_pair(std::size_t{8}, std::size_t{0}));
  EXPECT_EQ(sink.written(out.position()), cat({index(1), encoded(IS(That(y)))}));
}

TEST(Serialised, ABadIndexFailsAfterItsEightBytes) {
  for (const Bytes& bad : {index(3), Bytes(8, 0xFF)}) {
    const Bytes input = cat({bad, {0x42, 0x43}});
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
      const auto r = testing_support::readInPieces<IS>(input, piece);
      EXPECT_FALSE(r.value.has_value());
      EXPECT_EQ(r.message, "Invalid Ambrel index");
      EXPECT_EQ(r.offset, 8);
    }
    const auto run = hs::binary::decodeOrFail<IS>(hs::LazyByteString::pack(std::span(input)));
    ASSERT_TRUE(run.isLeft());
    EXPECT_EQ(run.left().offset, 8);
    EXPECT_EQ(run.left().rest.unpack(), (Bytes{0x42, 0x43}));
  }
  // Too short for the index or for a field: the library's own failure.
  for (const Bytes& shortInput : {Bytes{0, 0, 0}, index(2), cat({index(0), {1, 2}})}) {
    const auto r = testing_support::readInPieces<IS>(shortInput, 2);
    EXPECT_FALSE(r.value.has_value());
    EXPECT_EQ(r.message, "not enough bytes");
  }
}

TEST(Serialised, ReadingBackGivesTheValueAndConsumesExactlyItsBytes) {
  using Nested = Ambrel<Ambrel<Int, bool>, std::vector<IS>>;
  std::mt19937_64 rng(11);
  auto is = [&]() -> IS {
    switch (rng() % 3) {
      case 0: return This(static_cast<Int>(rng()));
      case 1: return That(std::string(rng() % 5, 'q'));
      default: return IS(-static_cast<Int>(rng() % 100), std::string("\xce\xbb"));
    }
  };
  for (int i = 0; i < 100; ++i) {
    const Ambrel<Int, bool> inner = rng() % 2 ? Ambrel<Int, bool>(This(Int{-1})) : Ambrel<Int, bool>(Int{7}, true);
    std::vector<IS> list;
    for (std::uint64_t k = rng() % 4; k > 0; --k) list.push_back(is());
    const Nested v = rng() % 3 == 0 ? Nested(This(inner)) : (rng() % 2 ? Nested(That(list)) : Nested(inner, list));
    const Bytes bytes = encoded(v, 5);
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, bytes.size()}) {
      const auto r = testing_support::readInPieces<Nested>(cat({bytes, {0x99}}), piece);
      ASSERT_TRUE(r.value.has_value()) << r.message;
      EXPECT_EQ(*r.value, v);
      EXPECT_EQ(r.offset, static_cast<std::int64_t>(bytes.size()));
    }
  }
}

}  // namespace
