// Test keys whose hash the test chooses and whose == compares an id but not a tag, logging the
// tags of both operands of every call; so a test can see which key is on the left and which key
// object a map kept.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "hs/hashable.hpp"

namespace testing_support {

struct Key {
  std::int64_t id = 0;
  std::uint64_t h = 0;
  int tag = 0;
};

// Every == call as (tag of the left operand, tag of the right operand), and every hash call.
struct KeyLog {
  std::vector<std::pair<int, int>> eqCalls;
  int hashCalls = 0;
  void clear() {
    eqCalls.clear();
    hashCalls = 0;
  }
};
inline KeyLog& keyLog() {
  static thread_local KeyLog log;
  return log;
}

inline bool operator==(const Key& a, const Key& b) {
  keyLog().eqCalls.emplace_back(a.tag, b.tag);
  return a.id == b.id;
}
inline std::ostream& operator<<(std::ostream& o, const Key& k) {
  return o << "Key{id=" << k.id << ",h=" << k.h << ",tag=" << k.tag << "}";
}

inline Key key(std::int64_t id, std::uint64_t h, int tag = 0) { return Key{id, h, tag}; }

}  // namespace testing_support

template <>
struct hs::Hashable<testing_support::Key> {
  static std::int64_t hash(const testing_support::Key& k) {
    ++testing_support::keyLog().hashCalls;
    return static_cast<std::int64_t>(k.h);
  }
  static std::int64_t hashWithSalt(std::int64_t salt, const testing_support::Key& k) {
    ++testing_support::keyLog().hashCalls;
    return hs::saltedWordHash(salt, k.h);
  }
};
