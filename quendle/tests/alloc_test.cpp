// Operations on UUIDs that allocate nothing (and the writers that allocate exactly their result).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "quendle/uuid.hpp"
#include "testing/alloc.hpp"

namespace {

using quendle::UUID;
using testing_support::AllocationScope;

// A sink over one fixed buffer (which is never full in these tests).
struct FixedSink : hs::binary::BufferSink {
  hs::binary::BufferRange bufferFull(std::size_t, std::uint8_t*) override { std::abort(); }
};

TEST(UUIDAllocation, ComparingHashingAndSerialisingAllocateNothing) {
  const UUID a(0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL), b(1, 2);
  std::array<std::uint8_t, 64> buf{};
  const hs::ByteString text = quendle::toASCIIBytes(a);
  const hs::ByteString bad(std::string_view("01234567-89ab-cdef-fedc-ba987654321g"));
  const hs::ByteString serial{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const hs::Text asText = quendle::toText(a);
  const std::string asString = quendle::toString(a);
  const std::string t = quendle::toString(a);
  const auto split = hs::LazyByteString::fromChunks(hs::List<hs::ByteString>{
      hs::ByteString(std::string_view(t).substr(0, 20)), hs::ByteString(std::string_view(t).substr(20))});
  const auto tooLong = hs::LazyByteString::chunk(hs::ByteString{'0'}, split);
  const auto bytes = quendle::toByteString(a);
  // Chunks are produced (and their cells allocated) when first reached: reach them first.
  std::int64_t sink = split.length() + tooLong.length();
  AllocationScope scope;
  sink += quendle::fromLazyASCIIBytes(split).has_value() + quendle::fromLazyASCIIBytes(tooLong).has_value();
  sink += quendle::fromByteString(bytes).has_value() + quendle::fromByteString(split).has_value();
  sink += quendle::hash(a) + hs::hashWithSalt(5, b) + static_cast<std::int64_t>(std::hash<UUID>{}(a));
  sink += (a == b) + (a < b) + static_cast<int>(quendle::compare(a, b)) + quendle::null(a);
  FixedSink fixed;
  hs::binary::Output out({buf.data(), buf.data() + buf.size()}, fixed);
  hs::put(a, out);
  hs::binary::Input in(serial);
  sink += static_cast<std::int64_t>(hs::get<UUID>(in).loWord());
  sink += quendle::fromASCIIBytes(text).has_value() + quendle::fromASCIIBytes(bad).has_value();
  sink += quendle::fromString(asString).has_value() + quendle::fromText(asText).has_value();
  sink += quendle::fromString("{01234567-89ab-cdef-fedc-ba9876543210}").has_value();
  hs::poke(buf.data() + 32, a);
  sink += static_cast<std::int64_t>(hs::peek<UUID>(buf.data() + 32).hiWord());
  sink += static_cast<std::int64_t>(quendle::unpack(a).node_5());
  EXPECT_EQ(scope.count(), 0);
  EXPECT_NE(sink, 0);
}

TEST(UUIDAllocation, ByteStringFormAllocatesItsChunkAndCellOnly) {
  const UUID a(0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL);
  AllocationScope scope;
  const auto bytes = quendle::toByteString(a);
  EXPECT_LE(scope.count(), 2);
  EXPECT_EQ(quendle::fromByteString(bytes), a);
}

TEST(UUIDAllocation, RandomUUIDsAllocateNothing) {
  std::mt19937_64 engine(1);
  hs::StdGen g = hs::mkStdGen(3);
  std::uint64_t sink = 0;
  AllocationScope scope;
  for (int i = 0; i < 10; ++i) {
    sink += hs::uniformM<UUID>(engine).hiWord();
    const auto [u, next] = hs::random<UUID>(g);
    sink += u.loWord();
    g = next;
  }
  EXPECT_EQ(scope.count(), 0);
  EXPECT_NE(sink, 0u);
}

TEST(UUIDAllocation, TheByteStringAndTextWritersAllocateNothing) {
  const UUID a(5, 6);
  AllocationScope scope;
  const hs::ByteString s = quendle::toASCIIBytes(a);
  const hs::Text t = quendle::toText(a);
  EXPECT_EQ(scope.count(), 0);
  EXPECT_EQ(s.size() + t.utf8().size(), 72u);
}

}  // namespace
