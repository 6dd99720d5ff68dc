// Checks shared by the map and set tests.
#pragma once

#include <gtest/gtest.h>

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

}  // namespace testing_support
