#include "hs/random.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <type_traits>

#include "hs/hashable.hpp"

namespace {

TEST(SplitMix, MixersAndSeeding) {
  // The output mixer is the 64-bit finaliser; the gamma mixer's first step is the variant whose
  // value at the golden gamma is the well-known first output of the split-mix 64 sequence.
  for (std::uint64_t z : {0ULL, 1ULL, 0x0123456789ABCDEFULL, ~0ULL})
    EXPECT_EQ(hs::detail::mix64(z), hs::fmix64(z));
  EXPECT_EQ(hs::detail::mix64variant13(hs::goldenGamma), 0xe220a8397b1dcdafULL);
  const hs::SMGen g = hs::mkSMGen(42);
  EXPECT_EQ(hs::show(g), "SMGen 9297814886316923340 13679457532755275413");
  EXPECT_EQ(g.gamma() & 1, 1u);
  EXPECT_EQ(hs::show(hs::mkStdGen(42)), "StdGen {unStdGen = SMGen 9297814886316923340 13679457532755275413}");
}

TEST(SplitMix, NextAndSplitAdvanceTheSeedByTheGamma) {
  const hs::SMGen g(100, 7);
  const auto [w, g1] = hs::nextWord64(g);
  EXPECT_EQ(w, hs::detail::mix64(107));
  EXPECT_EQ(g1, hs::SMGen(107, 7));
  const auto [left, right] = hs::splitSMGen(g);
  EXPECT_EQ(left, hs::SMGen(114, 7));
  EXPECT_EQ(right, hs::SMGen(hs::detail::mix64(107), hs::detail::mixGamma(114)));
  // Every gamma that comes out of the gamma mixer is odd.
  for (std::uint64_t z = 0; z < 64; ++z) EXPECT_EQ(hs::detail::mixGamma(z * 0x9E37ULL) & 1, 1u);
}

TEST(StdGen, OneWordIsOneSplitMixOutput) {
  const hs::StdGen g = hs::mkStdGen(-7);
  const auto [w, next] = g.genWord64();
  const auto [sw, snext] = hs::nextWord64(g.unStdGen());
  EXPECT_EQ(w, sw);
  EXPECT_EQ(next, hs::StdGen(snext));
}

TEST(StatefulGen, StateAdapterThreadsThePureGenerator) {
  const hs::StdGen g = hs::mkStdGen(3);
  const auto [words, after] = hs::runStateGen(g, [](hs::StateGen<hs::StdGen>& s) {
    const std::uint64_t a = hs::uniformWord64(s);
    return std::make_pair(a, hs::uniformWord64(s));
  });
  const auto [a, g1] = g.genWord64();
  const auto [b, g2] = g1.genWord64();
  EXPECT_EQ(words, std::make_pair(a, b));
  EXPECT_EQ(after, g2);
}

TEST(StatefulGen, ResultReturnedByReferenceComesBackAsAValue) {
  std::uint64_t last = 0;
  auto draw = [&](hs::StateGen<hs::StdGen>& s) -> const std::uint64_t& {
    last = hs::uniformWord64(s);
    return last;
  };
  auto [word, after] = hs::runStateGen(hs::mkStdGen(3), draw);
  static_assert(std::is_same_v<decltype(word), std::uint64_t>);
  const std::uint64_t drawn = last;
  last = 0;
  EXPECT_EQ(word, drawn);
  EXPECT_EQ(after, hs::mkStdGen(3).genWord64().second);
}

TEST(StatefulGen, AnyFullRangeWordSourceQualifies) {
  static_assert(hs::StatefulGen<std::mt19937_64>);
  static_assert(hs::StatefulGen<hs::StateGen<hs::SMGen>>);
  static_assert(!hs::StatefulGen<std::mt19937>);  // 32-bit words
  static_assert(!hs::StatefulGen<std::minstd_rand>);
  static_assert(hs::RandomGen<hs::StdGen> && hs::RandomGen<hs::SMGen>);
  std::mt19937_64 e(5), copy(5);
  EXPECT_EQ(hs::uniformWord64(e), copy());
}

}  // namespace
