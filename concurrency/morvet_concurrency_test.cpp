// Fixed points shared between threads: deferred layers are built once, whoever demands them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "morvet/morvet.hpp"

namespace {

using Nat = morvet::Fix<hs::MaybeTag>;

TEST(Morvet, SharedUnfoldingsAreBuiltOnceAndReadAlikeByManyThreads) {
  std::atomic<int> calls{0};
  constexpr std::int64_t depth = 2000;
  const Nat shared = morvet::unfoldFix(
      [&calls](const std::int64_t& n) -> std::optional<std::int64_t> {
        calls.fetch_add(1, std::memory_order_relaxed);
        if (n == 0) return std::nullopt;
        return n - 1;
      },
      depth);
  const auto nu = morvet::fixToNu(shared);
  const auto count = [](const std::optional<std::int64_t>& l) -> std::int64_t { return l ? *l + 1 : 0; };
  std::vector<std::string> texts(8);
  std::vector<std::int64_t> folds(8), hashes(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      folds[t] = t % 2 == 0 ? morvet::foldFix(count, shared) : morvet::foldNu(count, nu);
      hashes[t] = hs::hash(shared);
      texts[t] = hs::show(shared);
    });
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(calls.load(), depth + 1);
  for (int t = 0; t < 8; ++t) {
    EXPECT_EQ(folds[t], depth);
    EXPECT_EQ(hashes[t], hashes[0]);
    EXPECT_EQ(texts[t], texts[0]);
  }
}

}  // namespace
