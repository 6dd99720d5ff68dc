// Decoding when memory runs out.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hs/binary.hpp"
#include "testing/alloc.hpp"

namespace {

// Whatever allocation of a run fails, the run gives a failed result, not an exception: its rest
// is the input after its offset, and the next run decodes the value.
TEST(BinaryOutOfMemory, AFailedAllocationIsAFailedResult) {
  std::vector<std::string> words;
  for (int i = 0; i < 40; ++i) words.push_back(std::string(20 + i, static_cast<char>('a' + i % 26)));
  const hs::LazyByteString input = hs::binary::encode(words);
  const std::vector<std::uint8_t> bytes = input.unpack();
  int failures = 0;
  for (std::int64_t k = 0;; ++k) {
    const testing_support::AllocationScope scope;
    testing_support::failAllocation(k);
    std::optional<hs::Either<hs::binary::Failed, hs::binary::Decoded<std::vector<std::string>>>> r;
    EXPECT_NO_THROW(r.emplace(hs::binary::decodeOrFail<std::vector<std::string>>(input)))
        << "failing allocation " << k;
    const bool reached = scope.count() > k;
    testing_support::failAllocation(-1);
    ASSERT_TRUE(r.has_value());
    if (!reached) {
      ASSERT_TRUE(r->isRight());
      EXPECT_EQ(r->right().value, words);
      break;
    }
    ++failures;
    ASSERT_TRUE(r->isLeft()) << "failing allocation " << k;
    const hs::binary::Failed& f = r->left();
    EXPECT_EQ(f.message, "out of memory");
    ASSERT_GE(f.offset, 0);
    ASSERT_LE(static_cast<std::size_t>(f.offset), bytes.size());
    EXPECT_EQ(f.rest.unpack(), std::vector<std::uint8_t>(bytes.begin() + f.offset, bytes.end()));
  }
  EXPECT_GT(failures, 40);
  const auto again = hs::binary::decodeOrFail<std::vector<std::string>>(input);
  ASSERT_TRUE(again.isRight());
  EXPECT_EQ(again.right().value, words);
}

}  // namespace
