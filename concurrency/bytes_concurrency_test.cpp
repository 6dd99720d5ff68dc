#include <gtest/gtest.h>

#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "hs/bytes.hpp"

namespace {

// Threads copy, slice and drop handles to one shared buffer; the last holder frees it (ASan and
// ThreadSanitizer see a double free or a race on the count).
TEST(ByteStringConcurrency, ThreadsShareAndReleaseOneBuffer) {
  const std::string text(200, 'q');
  for (int round = 0; round < 40; ++round) {
    std::vector<hs::ByteString> handles(8, hs::ByteString(text));
    for (std::size_t i = 1; i < handles.size(); ++i) handles[i] = handles[0].drop(i);
    std::barrier start(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
      threads.emplace_back([&, t] {
        hs::ByteString mine = std::move(handles[static_cast<std::size_t>(t)]);
        start.arrive_and_wait();
        for (int k = 0; k < 20; ++k) {
          const hs::ByteString copy = mine.drop(static_cast<std::size_t>(k));
          EXPECT_EQ(copy[0], 'q');
        }
      });
    for (auto& th : threads) th.join();
  }
}

}  // namespace
