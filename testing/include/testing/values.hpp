// Deferred values for tests: ones that count how often their computation runs, ones that throw a
// recognisable exception.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "hs/lazy.hpp"

namespace testing_support {

struct TestFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A deferred value that counts its runs in *runs.
template <class T>
hs::Lazy<T> counting(T value, std::shared_ptr<int> runs) {
  return hs::Lazy<T>::defer([value, runs]() -> T {
    ++*runs;
    return value;
  });
}
// A deferred value whose computation throws TestFailure(what).
template <class T>
hs::Lazy<T> throwing(std::string what = "deferred failure") {
  return hs::Lazy<T>::defer([what]() -> T { throw TestFailure(what); });
}

}  // namespace testing_support
