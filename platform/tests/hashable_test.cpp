#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "hs/hashable.hpp"

namespace {

TEST(Hashable, SaltedWordHashCheckValues) {
  struct Case {
    std::uint64_t salt, word, expected;
  };
  const Case cases[] = {
      {0, 1, 0xe01f8b1e4cad3696ULL},
      {1, 0, 0xb456bcfc34c2cb2cULL},
      {~0ULL, ~0ULL, 0xaa3bfbb05a0636c2ULL},
      {12345, 0xFFFFFFFFULL, 0x31d1b7b01571635aULL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<std::uint64_t>(hs::saltedWordHash(static_cast<std::int64_t>(c.salt), c.word)),
              c.expected)
        << c.salt << " " << c.word;
  }
}

TEST(Hashable, MachineWords) {
  EXPECT_EQ(hs::defaultSalt, -3750763034362895579LL);
  EXPECT_EQ(hs::hash(std::int64_t{-42}), -42);
  EXPECT_EQ(hs::hash(std::uint64_t{7}), 7);
  EXPECT_EQ(hs::hashWithSalt(99, std::int64_t{5}), hs::saltedWordHash(99, 5));
  EXPECT_EQ(hs::hashWithSalt(99, std::uint32_t{0xFFFFFFFF}), hs::saltedWordHash(99, 0xFFFFFFFFULL));
  EXPECT_EQ(hs::hash(0.0), hs::hash(-0.0));
}

// Long doubles that round to the same double hash apart; equal ones (both zeros, a value whatever
// its padding bytes hold) hash alike.
TEST(Hashable, LongDoublesHashEveryBitOfTheirValue) {
  using Limits = std::numeric_limits<long double>;
  if constexpr (Limits::digits == 53) GTEST_SKIP() << "long double is double here";
  const long double big = std::ldexp(1.0L, 2000);     // beyond double's range
  const long double tiny = std::ldexp(1.0L, -1100);   // below double's smallest
  const long double pairs[][2] = {
      {1.0L, std::nextafter(1.0L, 2.0L)},
      {0.1L, std::nextafter(0.1L, 1.0L)},
      {-3.0L, std::nextafter(-3.0L, 0.0L)},
      {big, std::nextafter(big, Limits::infinity())},
      {tiny, std::nextafter(tiny, 1.0L)},
  };
  for (const auto& [a, b] : pairs) {
    ASSERT_NE(a, b);
    ASSERT_EQ(static_cast<double>(a), static_cast<double>(b));
    EXPECT_NE(hs::hash(a), hs::hash(b)) << a;
    EXPECT_NE(hs::hashWithSalt(7, a), hs::hashWithSalt(7, b)) << a;
  }
  EXPECT_EQ(hs::hash(0.0L), hs::hash(-0.0L));
  EXPECT_EQ(hs::hashWithSalt(7, 0.0L), hs::hashWithSalt(7, -0.0L));

  const std::size_t valueBytes = Limits::digits == 64 ? 10 : sizeof(long double);
  const auto over = [&](long double x, unsigned char fill) {
    unsigned char bytes[sizeof(long double)];
    std::memset(bytes, fill, sizeof bytes);
    std::memcpy(bytes, &x, valueBytes);
    long double y;
    std::memcpy(&y, bytes, sizeof y);
    return y;
  };
  for (const long double x : {1.0L, -0.1L, big, Limits::infinity()}) {
    const long double zeros = over(x, 0x00);
    const long double other = over(x, 0xA5);
    ASSERT_EQ(zeros, other);
    EXPECT_EQ(hs::hash(zeros), hs::hash(other)) << x;
  }
}

TEST(Hashable, CompositesDependOnEveryPart) {
  EXPECT_NE(hs::hash(std::string("ab")), hs::hash(std::string("ba")));
  EXPECT_NE(hs::hash(std::string("")), hs::hash(std::string(std::string(1, '\0'))));
  EXPECT_NE(hs::hash(std::string(8, 'x')), hs::hash(std::string(9, 'x')));
  EXPECT_NE(hs::hash(std::vector<int>{1, 2}), hs::hash(std::vector<int>{2, 1}));
  EXPECT_NE(hs::hash(std::optional<int>{}), hs::hash(std::optional<int>{0}));
  EXPECT_EQ(hs::hash(std::pair<int, int>{1, 2}), hs::hashWithSalt(1, 2));
}

// The hash is the same on every platform and run: values for each length class of the prefixes
// of "abc...zabc...", with the default salt and another one.
TEST(Hashable, ByteStringCheckValues) {
  struct Case {
    std::size_t length;
    std::uint64_t byDefault, salted12345;
  };
  const Case cases[] = {
      {0, 0x936ae1d0b1c35547ULL, 0x0c88949eeec53d4cULL},   {3, 0x29ae241ba14fdc6bULL, 0x923956ff6d08da3cULL},
      {7, 0x51229abba396e13dULL, 0x00bd085ae849c138ULL},   {9, 0x9ee5ef3ae03df4c2ULL, 0xda7e274688ae4f3eULL},
      {17, 0x837707256b35aeceULL, 0xa6b52d2bb267963fULL},  {33, 0x76bd70c7dddf0f73ULL, 0x3469cb72a5618f3fULL},
      {100, 0xcef413e7aaa2d8a8ULL, 0xfeecafccaf5736ffULL},
  };
  for (const Case& c : cases) {
    std::string s;
    for (std::size_t i = 0; i < c.length; ++i) s += static_cast<char>('a' + i % 26);
    EXPECT_EQ(static_cast<std::uint64_t>(hs::hash(s)), c.byDefault) << c.length;
    EXPECT_EQ(static_cast<std::uint64_t>(hs::hashWithSalt(12345, s)), c.salted12345) << c.length;
  }
}

// Families of similar keys: no two distinct keys share a 64-bit hash, and every 5-bit chunk the
// trie reads (levels 0 to 11) spreads a family over the 32 buckets, each getting between a quarter
// and four times its share.
TEST(Hashable, ByteStringHashesSpreadSimilarKeys) {
  std::vector<std::string> numeric, prefixed, repeated, zeros;
  for (int i = 0; i < 100000; ++i) numeric.push_back(std::to_string(i));
  for (std::size_t len : {0, 3, 7, 8, 15, 16, 23, 31, 40})
    for (int last = 0; last < 256; ++last)
      prefixed.push_back(std::string("users/profile/settings/display/colour/").substr(0, len) +
                         static_cast<char>(last));
  repeated.emplace_back();
  for (std::size_t len = 1; len <= 64; ++len)
    for (int c = 0; c < 256; ++c) repeated.emplace_back(len, static_cast<char>(c));
  for (std::size_t len = 0; len < 1024; ++len) zeros.emplace_back(len, '\0');

  const std::vector<std::string>* families[] = {&numeric, &prefixed, &repeated, &zeros};
  std::set<std::string> distinct;
  for (const auto* family : families) {
    distinct.insert(family->begin(), family->end());
    for (int level = 0; level < 12; ++level) {
      std::array<std::size_t, 32> buckets{};
      for (const std::string& k : *family)
        ++buckets[(static_cast<std::uint64_t>(hs::hash(k)) >> (5 * level)) & 31];
      const double share = static_cast<double>(family->size()) / 32;
      const auto [fewest, most] = std::minmax_element(buckets.begin(), buckets.end());
      EXPECT_GE(static_cast<double>(*fewest), share / 4) << family->front() << " level " << level;
      EXPECT_LE(static_cast<double>(*most), share * 4) << family->front() << " level " << level;
    }
  }
  std::vector<std::int64_t> hashes;
  for (const std::string& k : distinct) hashes.push_back(hs::hash(k));
  std::sort(hashes.begin(), hashes.end());
  EXPECT_EQ(std::adjacent_find(hashes.begin(), hashes.end()), hashes.end());
}

// A word that zeroes a step's multiplication (the block key itself, or the running state) must
// not make the hash forget what came before it or the other word of its step.
TEST(Hashable, ByteStringStepsKeepWhatAZeroFactorWouldLose) {
  auto put = [](std::string& s, std::size_t at, std::uint64_t w) {
    for (int i = 0; i < 8; ++i) s[at + i] = static_cast<char>(w >> (8 * i));
  };
  const std::uint64_t key = hs::detail::bytesKey1;
  for (std::int64_t salt : {std::int64_t{0}, std::int64_t{1}, std::int64_t{12345}, hs::defaultSalt}) {
    // The block key at the start of a middle step: the bytes before it still count.
    std::string a(48, 'x'), b(48, 'x');
    put(a, 16, key);
    put(b, 16, key);
    b[3] = 'y';
    EXPECT_NE(hs::hashWithSalt(salt, a), hs::hashWithSalt(salt, b)) << salt;
    // ... and so does the other word of that step, and of the last step.
    std::string c = a;
    c[27] = 'y';
    EXPECT_NE(hs::hashWithSalt(salt, a), hs::hashWithSalt(salt, c)) << salt;
    std::string d(32, 'x'), e(32, 'x');
    put(d, 16, key);
    put(e, 16, key);
    e[30] = 'y';
    EXPECT_NE(hs::hashWithSalt(salt, d), hs::hashWithSalt(salt, e)) << salt;
    // The last step's second word equal to the running state: its first word still counts.
    std::string f(16, 'x'), g(16, 'x');
    const std::uint64_t state = hs::detail::bytesState(salt, 16);
    put(f, 8, state);
    put(g, 8, state);
    g[2] = 'y';
    EXPECT_NE(hs::hashWithSalt(salt, f), hs::hashWithSalt(salt, g)) << salt;
  }
}

// Every length class (the short forms, one and several 16-byte steps): the salt changes the hash,
// and a string, its view and the exported function agree.
TEST(Hashable, ByteStringHashesTakeTheSaltAndAgreeAcrossForms) {
  const std::int64_t salts[] = {0, 1, -1, hs::defaultSalt, 0x100000000LL};
  for (std::size_t len : {0, 1, 2, 3, 4, 7, 8, 9, 16, 17, 31, 32, 33, 48, 100}) {
    std::string s;
    for (std::size_t i = 0; i < len; ++i) s += static_cast<char>('a' + i % 26);
    std::set<std::int64_t> seen;
    for (std::int64_t salt : salts) {
      const std::int64_t h = hs::hashWithSalt(salt, s);
      seen.insert(h);
      EXPECT_EQ(hs::hashWithSalt(salt, std::string_view(s)), h) << len;
      EXPECT_EQ(hs::hashBytesWithSalt(salt, s.data(), s.size()), h) << len;
    }
    EXPECT_EQ(seen.size(), std::size(salts)) << len;
  }
}

// A type with std::hash and no hs::Hashable hashes through the salted mix of std::hash's result;
// where both exist, hs::Hashable decides (so no existing hash changes); with neither, the type is
// not hashable (hs::hash would stop compiling with one message).
struct StdOnly {
  std::uint64_t v;
};
struct Both {
  std::uint64_t v;
};
struct Neither {};

}  // namespace

template <>
struct std::hash<StdOnly> {
  std::size_t operator()(const StdOnly& x) const noexcept { return x.v * 3; }
};
template <>
struct std::hash<Both> {
  std::size_t operator()(const Both&) const noexcept { return 0; }
};
template <>
struct hs::Hashable<Both> {
  static std::int64_t hash(const Both& x) { return static_cast<std::int64_t>(x.v); }
  static std::int64_t hashWithSalt(std::int64_t salt, const Both& x) { return salt ^ static_cast<std::int64_t>(x.v); }
};

namespace {

static_assert(hs::HashableType<StdOnly> && hs::HashableType<Both> && !hs::HashableType<Neither>);

TEST(Hashable, StdHashFallbackIsTheSaltedMixAndNeverOverrides) {
  for (std::uint64_t v : {0ULL, 1ULL, 0x123456789ULL}) {
    EXPECT_EQ(hs::hashWithSalt(99, StdOnly{v}), hs::saltedWordHash(99, v * 3)) << v;
    EXPECT_EQ(hs::hash(StdOnly{v}), hs::saltedWordHash(hs::defaultSalt, v * 3)) << v;
    EXPECT_EQ(hs::hash(Both{v}), static_cast<std::int64_t>(v)) << v;
    EXPECT_EQ(hs::hashWithSalt(99, Both{v}), 99 ^ static_cast<std::int64_t>(v)) << v;
  }
  // Types of the platform that also have a std::hash keep their own hash.
  EXPECT_EQ(hs::hash(std::int64_t{5}), 5);
  EXPECT_EQ(hs::hash(std::optional<int>{}), hs::saltedWordHash(hs::defaultSalt, 0));
  EXPECT_EQ(hs::hash(std::string("ab")), hs::hashBytes(hs::defaultSalt, "ab", 2));
}

}  // namespace
