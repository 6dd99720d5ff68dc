#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "quendle/uuid.hpp"

namespace {

using quendle::UUID;

UUID fromBytes(std::uint8_t v, const std::array<std::uint8_t, 16>& b) {
  return quendle::buildFromBytes(v, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9],
                                 b[10], b[11], b[12], b[13], b[14], b[15]);
}

TEST(Stamping, VersionAndVariantVectors) {
  std::array<std::uint8_t, 16> ones, zeros{};
  ones.fill(0xFF);
  struct Case {
    UUID got;
    const char* want;
  };
  const Case cases[] = {
      {fromBytes(4, ones), "ffffffff-ffff-4fff-bfff-ffffffffffff"},
      {fromBytes(4, zeros), "00000000-0000-4000-8000-000000000000"},
      {fromBytes(0x14, ones), "ffffffff-ffff-4fff-bfff-ffffffffffff"},
      {fromBytes(0x14, zeros), "00000000-0000-4000-8000-000000000000"},
      {quendle::buildFromWords(4, ~0u, ~0u, ~0u, ~0u), "ffffffff-ffff-4fff-bfff-ffffffffffff"},
      {quendle::buildFromWords(4, 0, 0, 0, 0), "00000000-0000-4000-8000-000000000000"},
      // A version above 15 reaches time_mid through the words, not through the bytes.
      {quendle::buildFromWords(0x14, 0, 0, 0, 0), "00000000-0001-4000-8000-000000000000"},
      {quendle::buildFromWords(0xF7, 0, 0, 0, 0), "00000000-000f-7000-8000-000000000000"},
  };
  for (const Case& c : cases) EXPECT_EQ(quendle::toString(c.got), c.want);
}

TEST(Stamping, WordsAndBytesAgreeUpToVersionFifteen) {
  std::mt19937_64 e(5);
  for (std::uint8_t v = 0; v < 16; ++v) {
    const auto w = [&] { return static_cast<std::uint32_t>(e()); };
    const std::uint32_t w0 = w(), w1 = w(), w2 = w(), w3 = w();
    const auto l = quendle::toList(quendle::fromWords(w0, w1, w2, w3));
    std::array<std::uint8_t, 16> b{};
    std::copy(l.begin(), l.end(), b.begin());
    EXPECT_EQ(quendle::buildFromWords(v, w0, w1, w2, w3), fromBytes(v, b)) << int(v);
  }
}

TEST(ByteFeeding, EachSourcePassesItsBytesTopFirst) {
  using B = std::vector<std::uint8_t>;
  const auto take1 = [](std::uint8_t a) { return B{a}; };
  const auto take2 = [](std::uint8_t a, std::uint8_t b) { return B{a, b}; };
  const auto take3 = [](std::uint8_t a, std::uint8_t b, std::uint8_t c) { return B{a, b, c}; };
  const auto take4 = [](std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return B{a, b, c, d};
  };
  const auto take8 = [](std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d,
                        std::uint8_t e, std::uint8_t f, std::uint8_t g, std::uint8_t h) {
    return B{a, b, c, d, e, f, g, h};
  };
  EXPECT_EQ(quendle::feed(take1, std::uint8_t{0xAB}), (B{0xAB}));
  EXPECT_EQ(quendle::feed(take2, std::uint16_t{0x1234}), (B{0x12, 0x34}));
  EXPECT_EQ(quendle::feed(take4, std::uint32_t{0x89ABCDEF}), (B{0x89, 0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(quendle::feed(take8, std::uint64_t{0x0102030405060708}), (B{1, 2, 3, 4, 5, 6, 7, 8}));
  // A machine integer passes its low four bytes, ThreeByte its low three.
  EXPECT_EQ(quendle::feed(take4, std::int64_t{0x1122334455667788}), (B{0x55, 0x66, 0x77, 0x88}));
  EXPECT_EQ(quendle::feed(take4, std::int64_t{-2}), (B{0xFF, 0xFF, 0xFF, 0xFE}));
  EXPECT_EQ(quendle::feed(take3, quendle::ThreeByte(0x7FABCDEF12)), (B{0xCD, 0xEF, 0x12}));
  // Chained sources append: the first word's bytes, then the second's.
  const auto take5 = [](std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d,
                        std::uint8_t e) { return B{a, b, c, d, e}; };
  EXPECT_EQ(quendle::feed(quendle::feed(take5, std::uint16_t{0x0102}), quendle::ThreeByte(0x030405)),
            (B{1, 2, 3, 4, 5}));
  EXPECT_EQ(quendle::feed(quendle::feed(quendle::feed(take5, std::uint8_t{9}), std::uint8_t{8}),
                          quendle::ThreeByte(0x070605)),
            (B{9, 8, 7, 6, 5}));
}

// Hands out the given words and counts the draws.
struct ScriptedGen {
  std::vector<std::uint64_t> words;
  std::size_t draws = 0;
  std::uint64_t uniformWord64() { return words.at(draws++); }
};

bool looksVersion4(UUID u) {
  const std::string s = quendle::toString(u);
  return s[14] == '4' && std::string("89ab").find(s[19]) != std::string::npos;
}

TEST(RandomUUID, TwoDrawsMostSignificantByteFirst) {
  ScriptedGen g{{0x0011223344556677ULL, 0x8899AABBCCDDEEFFULL, 0}};
  const UUID u = hs::uniformM<UUID>(g);
  EXPECT_EQ(g.draws, 2u);
  EXPECT_EQ(quendle::toString(u), "00112233-4455-4677-8899-aabbccddeeff");
  ScriptedGen zeros{{0, 0}}, ones{{~0ULL, ~0ULL}};
  EXPECT_EQ(quendle::toString(hs::uniformM<UUID>(zeros)), "00000000-0000-4000-8000-000000000000");
  EXPECT_EQ(quendle::toString(hs::uniformM<UUID>(ones)), "ffffffff-ffff-4fff-bfff-ffffffffffff");
  // Any full-range word source will do.
  std::mt19937_64 engine(9), copy(9);
  const UUID m = hs::uniformM<UUID>(engine);
  const std::uint64_t a = copy(), b = copy();
  ScriptedGen same{{a, b}};
  EXPECT_EQ(m, hs::uniformM<UUID>(same));
  EXPECT_EQ(engine, copy);
}

TEST(RandomUUID, PureFormsThreadTheGenerator) {
  const hs::StdGen g = hs::mkStdGen(2024);
  const auto [u, next] = hs::random<UUID>(g);
  const auto [u2, next2] = hs::random<UUID>(g);
  EXPECT_EQ(u, u2);
  EXPECT_EQ(next, next2);
  const auto [w1, g1] = g.genWord64();
  const auto [w2, g2] = g1.genWord64();
  EXPECT_EQ(next, g2);
  ScriptedGen scripted{{w1, w2}};
  EXPECT_EQ(u, hs::uniformM<UUID>(scripted));
  // The range is ignored, even an empty one.
  EXPECT_EQ(hs::randomR(std::make_pair(quendle::nil, quendle::nil), g), std::make_pair(u, next));
  EXPECT_EQ(hs::randomR(std::make_pair(UUID(~0ULL, ~0ULL), quendle::nil), g).first, u);
  // Over a split-mix generator directly as well.
  const auto [s, snext] = hs::random<UUID>(hs::mkSMGen(1));
  EXPECT_TRUE(looksVersion4(s));
  EXPECT_EQ(snext, hs::nextWord64(hs::nextWord64(hs::mkSMGen(1)).second).second);
}

// A pure generator that counts its draws.
struct CountingGen {
  hs::SMGen g;
  std::shared_ptr<int> draws;
  std::pair<std::uint64_t, CountingGen> genWord64() const {
    ++*draws;
    const auto [w, next] = g.genWord64();
    return {w, CountingGen{next, draws}};
  }
};

TEST(RandomUUID, EndlessListsDrawOnDemand) {
  const CountingGen g{hs::mkSMGen(8), std::make_shared<int>(0)};
  const hs::List<UUID> xs = hs::randoms<UUID>(g);
  EXPECT_EQ(*g.draws, 0);
  const auto [first, g1] = hs::random<UUID>(hs::mkSMGen(8));
  const auto [second, g2] = hs::random<UUID>(g1);
  EXPECT_EQ(xs.head(), first);
  EXPECT_EQ(*g.draws, 2);  // two words per element, drawn when it is reached
  EXPECT_EQ(xs.tail().head(), second);
  EXPECT_EQ(*g.draws, 4);
  const auto ys = hs::randomRs(std::make_pair(UUID(1, 1), UUID(1, 1)), hs::mkSMGen(8));
  EXPECT_EQ(hs::take(50, ys).toVector(), hs::take(50, hs::randoms<UUID>(hs::mkSMGen(8))).toVector());
  for (const UUID u : hs::take(200, ys)) EXPECT_TRUE(looksVersion4(u));
  (void)g2;
}

TEST(RandomUUID, EveryDrawIsVersion4Variant1) {
  hs::StdGen g = hs::mkStdGen(1);
  std::mt19937_64 engine(1);
  for (int i = 0; i < 500; ++i) {
    auto [u, next] = hs::random<UUID>(g);
    EXPECT_TRUE(looksVersion4(u)) << quendle::toString(u);
    EXPECT_TRUE(looksVersion4(hs::uniformM<UUID>(engine)));
    g = next;
  }
}

}  // namespace
