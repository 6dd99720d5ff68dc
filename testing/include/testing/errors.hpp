// Test support for program errors: the message a call raises, so a table of cases can compare it.
#pragma once

#include <string>

#include "hs/error.hpp"

namespace testing_support {

// The message of the program error f() raises; "no error" when it returns.
template <class F>
std::string programError(F&& f) {
  try {
    f();
  } catch (const hs::ProgramError& e) {
    return e.message();
  }
  return "no error";
}

}  // namespace testing_support
