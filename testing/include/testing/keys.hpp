// Test keys whose hash the test chooses and whose == compares an id but not a tag, logging the
// tags of both operands of every call; so a test can see which key is on the left and which key
// object a map kept.
#pragma once

#include <cstdint>
#include <ostream>
#include <stdexcept>
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

// A key whose hash the test chooses and whose name lives on the heap, so a key moved away or
// freed shows; == compares ids only.
struct NamedKey {
  std::int64_t id = 0;
  std::uint64_t h = 0;
  std::string name;
  bool operator==(const NamedKey& o) const { return id == o.id; }
};

struct KeyFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A key that fails on demand: == throws KeyFailure when either operand has the id `eqThrowsAt`,
// and the move that brings `movesBeforeThrow` down to zero throws. Its hash is id % 3, so
// collisions are everywhere; `live` counts the objects in existence, so a test sees a key that
// was never destroyed.
struct FailingKey {
  std::int64_t id = 0;
  static inline std::int64_t eqThrowsAt = -1;
  static inline int movesBeforeThrow = -1;
  static inline std::int64_t live = 0;

  FailingKey(std::int64_t i) : id(i) { ++live; }  // NOLINT: implicit, as an integer key reads
  FailingKey(const FailingKey& o) : id(o.id) { ++live; }
  FailingKey(FailingKey&& o) : id(o.id) {
    if (movesBeforeThrow > 0 && --movesBeforeThrow == 0) throw KeyFailure("move");
    ++live;
  }
  FailingKey& operator=(const FailingKey&) = default;
  FailingKey& operator=(FailingKey&&) = default;
  ~FailingKey() { --live; }

  friend bool operator==(const FailingKey& a, const FailingKey& b) {
    if (a.id == eqThrowsAt || b.id == eqThrowsAt) throw KeyFailure("==");
    return a.id == b.id;
  }
};

}  // namespace testing_support

template <>
struct hs::Hashable<testing_support::FailingKey> {
  static std::int64_t hash(const testing_support::FailingKey& k) { return k.id % 3; }
  static std::int64_t hashWithSalt(std::int64_t salt, const testing_support::FailingKey& k) {
    return hs::saltedWordHash(salt, static_cast<std::uint64_t>(hash(k)));
  }
};

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
template <>
struct hs::Hashable<testing_support::NamedKey> {
  static std::int64_t hash(const testing_support::NamedKey& k) { return static_cast<std::int64_t>(k.h); }
  static std::int64_t hashWithSalt(std::int64_t salt, const testing_support::NamedKey& k) {
    return hs::saltedWordHash(salt, k.h);
  }
};
