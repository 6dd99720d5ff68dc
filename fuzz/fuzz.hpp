// Support shared by the fuzz targets: a check that reports through the fuzzer, and the checks
// every text reader must pass whatever its input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "hs/read.hpp"
#include "hs/show.hpp"

namespace fuzz {

// Aborts with the message, which the fuzzer reports as a crash with its input.
[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "fuzz check failed: %s %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}
inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) fail(what, detail);
}

// What reading T from any text must give: every rest is a suffix of the text, `readMaybe`
// agrees with the complete parses, and a value read back from its shown form shows the same.
// Returns the value when the whole text reads as exactly one.
template <class T>
std::optional<T> checkReader(std::string_view text) {
  const hs::ReadResult<T> parses = hs::reads<T>(text);
  std::size_t complete = 0;
  for (const auto& [x, rest] : parses) {
    check(rest.data() >= text.data() && rest.data() + rest.size() == text.data() + text.size(),
          "a rest that is not a suffix of the input");
    if (hs::skipSpaces(rest).empty()) ++complete;
  }
  std::optional<T> value = hs::readMaybe<T>(text);
  check(value.has_value() == (complete == 1), "readMaybe disagrees with the parses");
  if (value) {
    const std::string shown = hs::show(*value);
    const std::optional<T> back = hs::readMaybe<T>(shown);
    check(back.has_value(), "a shown value does not read back:", shown);
    check(hs::show(*back) == shown, "a shown value reads back as another:", shown);
  }
  return value;
}

}  // namespace fuzz
