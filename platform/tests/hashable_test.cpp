#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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

TEST(Hashable, CompositesDependOnEveryPart) {
  EXPECT_NE(hs::hash(std::string("ab")), hs::hash(std::string("ba")));
  EXPECT_NE(hs::hash(std::string("")), hs::hash(std::string(std::string(1, '\0'))));
  EXPECT_NE(hs::hash(std::string(8, 'x')), hs::hash(std::string(9, 'x')));
  EXPECT_NE(hs::hash(std::vector<int>{1, 2}), hs::hash(std::vector<int>{2, 1}));
  EXPECT_NE(hs::hash(std::optional<int>{}), hs::hash(std::optional<int>{0}));
  EXPECT_EQ(hs::hash(std::pair<int, int>{1, 2}), hs::hashWithSalt(1, 2));
}

}  // namespace
