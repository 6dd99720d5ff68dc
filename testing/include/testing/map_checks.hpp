// Checks shared by the map and set tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "testing/keys.hpp"
#include "vantrel/map/internal/debug.hpp"

namespace testing_support {

// The validity checker on m, failing the test with the broken invariant and its path.
template <class K, class V>
void expectValid(const vantrel::HashMap<K, V>& m, const std::string& what = "") {
  const auto v = vantrel::internal::debug::valid(m);
  EXPECT_TRUE(v.isValid()) << what << (what.empty() ? "" : ": ") << "invariant "
                           << (v.isValid() ? 0 : static_cast<int>(v.error().tag) + 1)
                           << " broken at path " << v.path().partialHash << "/"
                           << v.path().lengthInBits;
}

// The (key tag, value) pairs of a map of test keys, in trie order.
template <class V>
std::vector<std::pair<int, V>> pairsOf(const vantrel::HashMap<Key, V>& m) {
  std::vector<std::pair<int, V>> out;
  for (const auto& r : m) out.emplace_back(r.key.tag, *r.value);
  return out;
}

// How the model tests give their integer keys a hash: a tiny space (collisions everywhere), hashes
// differing only in high bits (deep chains of one-child nodes), and well spread hashes.
struct HashSpace {
  const char* name;
  std::function<std::uint64_t(std::int64_t)> of;
};
inline const HashSpace tinyHashes{"tiny",
                                  [](std::int64_t id) { return static_cast<std::uint64_t>(id % 5); }};
inline const HashSpace highBitHashes{"highBits", [](std::int64_t id) {
                                       return static_cast<std::uint64_t>(id % 7) << 60 |
                                              static_cast<std::uint64_t>(id % 3) << 57;
                                     }};
inline const HashSpace spreadHashes{"spread", [](std::int64_t id) {
                                      return static_cast<std::uint64_t>(id) * 0x9E3779B97F4A7C15ULL;
                                    }};
inline std::string hashSpaceName(const ::testing::TestParamInfo<HashSpace>& info) {
  return info.param.name;
}

}  // namespace testing_support
