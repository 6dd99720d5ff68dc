#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

#include "testing/keys.hpp"
#include "testing/trie.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

using testing_support::Key;
using testing_support::key;
namespace I = vantrel::internal;
namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using Map = vantrel::HashMap<Key, int>;

// Threads extending one shared prefix each get an array of their own.
TEST(Traversal, ConcurrentExtensionsOfOnePrefixStayApart) {
  using G = I::detail::Gathered<Map>;
  const Map a = L::insert(key(0, 0), 0, Map());
  for (int round = 0; round < 20; ++round) {
    const G prefix = G::first(2, a);
    std::vector<Map> mine(8);
    for (int t = 0; t < 8; ++t) mine[t] = L::insert(key(t + 1, 1), t, Map());
    std::vector<std::optional<G>> got(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) threads.emplace_back([&, t] { got[t].emplace(prefix.snoc(mine[t])); });
    for (auto& th : threads) th.join();
    for (int t = 0; t < 8; ++t) {
      EXPECT_TRUE(T::same((*got[t])[0], a));
      EXPECT_TRUE(T::same((*got[t])[1], mine[t])) << t;
    }
  }
}

}  // namespace
