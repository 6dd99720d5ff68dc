// Hashes recomputed from saltedWordHash and the fields' own hashers, and deep evaluation.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ambrel/ambrel.hpp"
#include "hs/hashable.hpp"
#include "hs/nfdata.hpp"
#include "testing/values.hpp"

namespace {

using ambrel::Ambrel;
using ambrel::That;
using ambrel::This;
using testing_support::TestFailure;
using Int = std::int64_t;
using IS = Ambrel<Int, std::string>;

TEST(Hashing, TheIndexEntersTheSaltThenTheFieldsInOrder) {
  const std::string y = "why";
  for (std::int64_t s : {std::int64_t{0}, std::int64_t{42}, hs::defaultSalt}) {
    EXPECT_EQ(hs::hashWithSalt(s, IS(This(Int{7}))), hs::hashWithSalt(hs::saltedWordHash(s, 0), Int{7}));
    EXPECT_EQ(hs::hashWithSalt(s, IS(That(y))), hs::hashWithSalt(hs::saltedWordHash(s, 1), y));
    EXPECT_EQ(hs::hashWithSalt(s, IS(7, y)),
              hs::hashWithSalt(hs::hashWithSalt(hs::saltedWordHash(s, 2), Int{7}), y));
  }
  EXPECT_EQ(hs::hash(IS(7, y)), hs::hashWithSalt(hs::defaultSalt, IS(7, y)));
  EXPECT_EQ(std::hash<IS>{}(IS(7, y)), static_cast<std::size_t>(hs::hash(IS(7, y))));
  using II = Ambrel<Int, Int>;
  EXPECT_NE(hs::hash(II(This(Int{3}))), hs::hash(II(That(Int{3}))));
  // The lifted forms put the caller's hashers where the rules say.
  auto h1 = [](std::int64_t s, Int x) { return s ^ (x << 8); };
  auto h2 = [](std::int64_t s, const std::string& x) { return s ^ static_cast<std::int64_t>(x.size()); };
  const std::int64_t s1 = hs::saltedWordHash(5, 2);
  EXPECT_EQ(hs::liftHashWithSalt2(h1, h2, 5, IS(7, y)), (s1 ^ (7 << 8)) ^ 3);
  EXPECT_EQ(hs::liftHashWithSalt(h2, 5, IS(7, y)), hs::hashWithSalt(s1, Int{7}) ^ 3);
  EXPECT_EQ(hs::liftHashWithSalt(h2, 5, IS(This(Int{7}))), hs::hashWithSalt(hs::saltedWordHash(5, 0), Int{7}));
}

TEST(DeepEvaluation, ForcesThePresentValuesFirstBeforeSecond) {
  using Deep = Ambrel<std::vector<hs::Lazy<Int>>, hs::Lazy<Int>>;
  std::string order;
  const hs::Lazy<Int> a = hs::Lazy<Int>::defer([&order] {
    order += "a";
    return Int{1};
  });
  const hs::Lazy<Int> b = hs::Lazy<Int>::defer([&order] {
    order += "b";
    return Int{2};
  });
  hs::rnf(Deep(std::vector<hs::Lazy<Int>>{a}, b));
  EXPECT_EQ(order, "ab");
  EXPECT_THROW(hs::rnf(Deep(std::vector<hs::Lazy<Int>>{testing_support::throwing<Int>()}, b)), TestFailure);
  EXPECT_NO_THROW(hs::rnf(Deep(That(b))));
  // This never touches a second value; a failing first value stops before the second.
  const hs::Lazy<Int> untouched = hs::Lazy<Int>::defer([] { return Int{3}; });
  EXPECT_THROW(hs::rnf(Ambrel<Int, Int>(testing_support::throwing<Int>(), untouched)), TestFailure);
  EXPECT_FALSE(untouched.settled());
  // The lifted forms call the caller's functions on the values.
  std::vector<Int> seen;
  auto r = [&seen](Int x) { seen.push_back(x); };
  hs::liftRnf(r, Ambrel<Int, Int>(5, 6));
  hs::liftRnf2(r, r, Ambrel<Int, Int>(7, 8));
  hs::liftRnf2(r, r, Ambrel<Int, Int>(This(Int{9})));
  EXPECT_EQ(seen, (std::vector<Int>{6, 7, 8, 9}));
}

}  // namespace
