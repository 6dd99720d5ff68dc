#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "quendle/uuid.hpp"
#include "testing/binary.hpp"

namespace {

using quendle::UUID;
using testing_support::Bytes;

constexpr UUID example(0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL);
const Bytes exampleBytes{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                         0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};

TEST(UUIDBytes, NetworkOrder) {
  EXPECT_EQ(quendle::toList(example), exampleBytes);
  EXPECT_EQ(testing_support::encoded(example), exampleBytes);
}

hs::LazyByteString inChunks(const Bytes& b, std::size_t n) {
  std::vector<hs::ByteString> parts;
  for (std::size_t i = 0; i < b.size(); i += n) parts.emplace_back(b.data() + i, std::min(n, b.size() - i));
  return hs::LazyByteString::fromChunks(hs::List<hs::ByteString>(parts));
}

TEST(UUIDBytes, LazyByteForm) {
  const hs::LazyByteString l = quendle::toByteString(example);
  EXPECT_EQ(l.toChunks().toVector().size(), 1u);
  EXPECT_EQ(l.unpack(), exampleBytes);
  EXPECT_EQ(quendle::fromByteString(l), example);
  for (std::size_t piece : {1u, 5u, 15u}) EXPECT_EQ(quendle::fromByteString(inChunks(exampleBytes, piece)), example);
  Bytes longer = exampleBytes;
  longer.push_back(0);
  EXPECT_FALSE(quendle::fromByteString(inChunks(longer, 4)).has_value());
  EXPECT_FALSE(quendle::fromByteString(inChunks(Bytes(exampleBytes.begin(), exampleBytes.end() - 1), 4)).has_value());
  EXPECT_FALSE(quendle::fromByteString(hs::LazyByteString()).has_value());
  // An endless input of one-byte chunks: exactly 17 chunks are produced.
  auto produced = std::make_shared<int>(0);
  const auto endless = hs::LazyByteString::fromChunks(hs::unfoldr(
      [produced](int i) -> std::optional<std::pair<hs::ByteString, int>> {
        ++*produced;
        return std::make_pair(hs::ByteString{0x42}, i + 1);
      },
      0));
  EXPECT_FALSE(quendle::fromByteString(endless).has_value());
  EXPECT_EQ(*produced, 17);
}

TEST(UUIDSerialised, EncodeAndDecodeOverLazyInput) {
  EXPECT_EQ(hs::binary::encode(example).unpack(), exampleBytes);
  EXPECT_EQ(hs::binary::decode<UUID>(inChunks(exampleBytes, 5)), example);
  const auto shortInput = hs::binary::decodeOrFail<UUID>(inChunks(Bytes(exampleBytes.begin(), exampleBytes.end() - 1), 5));
  ASSERT_TRUE(shortInput.isLeft());
  EXPECT_EQ(shortInput.left().message, "not enough bytes");
  EXPECT_EQ(shortInput.left().offset, 8);
  EXPECT_EQ(shortInput.left().rest.unpack(), Bytes(exampleBytes.begin() + 8, exampleBytes.end() - 1));
  Bytes more = exampleBytes;
  more.push_back(0x99);
  const auto ok = hs::binary::decodeOrFail<UUID>(inChunks(more, 5));
  ASSERT_TRUE(ok.isRight());
  EXPECT_EQ(ok.right().value, example);
  EXPECT_EQ(ok.right().rest.unpack(), Bytes{0x99});
}

TEST(UUIDSerialised, RoundTripsWhateverThePieces) {
  std::mt19937_64 e(11);
  for (int i = 0; i < 50; ++i) {
    const UUID u(e(), e());
    for (std::size_t piece : {1u, 5u, 7u, 16u}) {
      const auto r = testing_support::readInPieces<UUID>(testing_support::encoded(u, 20), piece);
      EXPECT_EQ(r.value, u);
      EXPECT_TRUE(r.atEnd);
      EXPECT_EQ(r.offset, 16);
    }
  }
}

TEST(UUIDSerialised, ShortInputFailsWithNotEnoughBytes) {
  struct Case {
    std::size_t length, piece;
    Bytes unread;
  };
  const Bytes tail7(exampleBytes.begin() + 8, exampleBytes.begin() + 15);
  const Bytes tail4(exampleBytes.begin() + 8, exampleBytes.begin() + 12);
  // The first word is read; the second runs out, and what it gathered is the unread rest.
  for (const Case& c : {Case{15, 15, tail7}, Case{15, 5, tail7}, Case{12, 5, tail4}, Case{12, 12, tail4}}) {
    const Bytes input(exampleBytes.begin(), exampleBytes.begin() + static_cast<std::ptrdiff_t>(c.length));
    const auto r = testing_support::readInPieces<UUID>(input, c.piece);
    EXPECT_FALSE(r.value.has_value());
    EXPECT_EQ(r.message, "not enough bytes");
    EXPECT_EQ(r.offset, 8);
    EXPECT_EQ(r.unread, c.unread) << c.length << " in pieces of " << c.piece;
  }
  const auto r = testing_support::readInPieces<UUID>(Bytes(exampleBytes.begin(), exampleBytes.begin() + 7), 5);
  EXPECT_EQ(r.message, "not enough bytes");
  EXPECT_EQ(r.offset, 0);
}

TEST(UUIDSerialised, AFullBufferAsksForSixteenBytesAndWritesNothing) {
  testing_support::RecordingSink exact(15);
  hs::binary::Output tight(exact.first(), exact);
  hs::put(example, tight);
  ASSERT_EQ(exact.asks.size(), 1u);
  EXPECT_EQ(exact.asks[0], std::make_pair(std::size_t{16}, std::size_t{0}));
  EXPECT_EQ(exact.buffers[0], Bytes(15, 0xAA));  // untouched
  EXPECT_EQ(exact.written(tight.position()), exampleBytes);
  testing_support::RecordingSink roomy(16);
  hs::binary::Output inPlace(roomy.first(), roomy);
  hs::put(example, inPlace);
  EXPECT_TRUE(roomy.asks.empty());
  EXPECT_EQ(roomy.buffers[0], exampleBytes);
  EXPECT_EQ(inPlace.available(), 0u);
}

TEST(UUIDSerialised, ListFormHasTheCountFirst) {
  const std::vector<UUID> us{example, quendle::nil};
  Bytes want{0, 0, 0, 0, 0, 0, 0, 2};
  want.insert(want.end(), exampleBytes.begin(), exampleBytes.end());
  want.insert(want.end(), 16, 0);
  EXPECT_EQ(testing_support::encoded(us, 10), want);
  EXPECT_EQ(testing_support::readInPieces<std::vector<UUID>>(want, 5).value, us);
}

TEST(UUIDRawMemory, FieldsInHostOrder) {
  EXPECT_EQ(hs::sizeOf<UUID>(), 16u);
  EXPECT_EQ(hs::alignment<UUID>(), 4u);
  alignas(4) std::array<std::uint8_t, 64> mem{};
  hs::poke(mem.data(), example);
  const std::uint8_t* m = mem.data();
  const std::uint32_t timeLow = 0x01234567;
  const std::uint16_t timeMid = 0x89AB, timeHi = 0xCDEF;
  EXPECT_EQ(std::memcmp(m, &timeLow, 4), 0);
  EXPECT_EQ(std::memcmp(m + 4, &timeMid, 2), 0);
  EXPECT_EQ(std::memcmp(m + 6, &timeHi, 2), 0);
  EXPECT_EQ(Bytes(m + 8, m + 16), Bytes(exampleBytes.begin() + 8, exampleBytes.end()));
  if constexpr (std::endian::native == std::endian::little) {
    const Bytes le{0x67, 0x45, 0x23, 0x01, 0xAB, 0x89, 0xEF, 0xCD,
                   0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
    EXPECT_EQ(Bytes(m, m + 16), le);
    std::array<std::uint8_t, 16> raw{};
    std::memcpy(raw.data(), le.data(), 16);
    EXPECT_EQ(hs::peek<UUID>(raw.data()), example);
  }
  EXPECT_EQ(hs::peek<UUID>(mem.data()), example);
  // Element 2 lies at byte 32; nothing else is written.
  hs::pokeElemOff(mem.data(), 2, UUID(~0ULL, ~0ULL));
  EXPECT_EQ(Bytes(m + 16, m + 32), Bytes(16, 0));
  EXPECT_EQ(Bytes(m + 32, m + 48), Bytes(16, 0xFF));
  EXPECT_EQ(Bytes(m + 48, m + 64), Bytes(16, 0));
  EXPECT_EQ(hs::peekElemOff<UUID>(mem.data(), 2), UUID(~0ULL, ~0ULL));
  EXPECT_EQ(hs::peekByteOff<UUID>(mem.data(), 32), UUID(~0ULL, ~0ULL));
  std::mt19937_64 e(3);
  for (int i = 0; i < 50; ++i) {
    const UUID u(e(), e());
    hs::pokeByteOff(mem.data(), 20, u);
    EXPECT_EQ(hs::peekByteOff<UUID>(mem.data(), 20), u);
  }
}

}  // namespace
