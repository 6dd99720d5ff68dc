// Support shared by the fuzz targets: a check that reports through the fuzzer, and the checks
// every text reader must pass whatever its input.
#pragma once

#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hs/binary.hpp"
#include "hs/bytes.hpp"
#include "hs/list.hpp"
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

// The parses of a reader at a precedence, each as its shown value and the length of its rest.
template <class T>
std::vector<std::pair<std::string, std::size_t>> shownParses(const hs::ReadPrec<T>& p, int d,
                                                             std::string_view text) {
  std::vector<std::pair<std::string, std::size_t>> out;
  for (const auto& [x, rest] : p(d, text)) out.emplace_back(hs::show(x), rest.size());
  return out;
}

// Two readers of one type that must give the same parses, in the same order.
template <class T>
void checkSameParses(const hs::ReadPrec<T>& a, const hs::ReadPrec<T>& b, std::string_view text) {
  for (int d : {0, 10, 11})
    check(shownParses(a, d, text) == shownParses(b, d, text), "two readers disagree on:", text);
}

// ---- Allocation counting --------------------------------------------------------------------

// Heap allocations made by the process so far (through the sanitizer's hooks).
inline std::atomic<std::int64_t> allocations{0};
inline void countAllocation(const volatile void*, std::size_t) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
}
inline const int allocationHooks =
    __sanitizer_install_malloc_and_free_hooks(countAllocation, nullptr);

// The number of heap allocations f makes.
template <class F>
std::int64_t allocationsOf(F&& f) {
  const std::int64_t before = allocations.load(std::memory_order_relaxed);
  f();
  return allocations.load(std::memory_order_relaxed) - before;
}

// ---- Input in pieces -------------------------------------------------------------------------

// The bytes as a lazy string whose chunk sizes (1 to 40) come from the seed; every chunk is
// already produced, so walking the string allocates nothing.
inline hs::LazyByteString inPieces(std::span<const std::uint8_t> bytes, std::uint64_t seed) {
  std::vector<hs::ByteString> chunks;
  for (std::size_t at = 0; at < bytes.size();) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const std::size_t n = std::min<std::size_t>(bytes.size() - at, 1 + (seed >> 33) % 40);
    chunks.emplace_back(bytes.data() + at, n);
    at += n;
  }
  hs::List<hs::ByteString> list;
  for (std::size_t i = chunks.size(); i > 0; --i)
    list = hs::List<hs::ByteString>::cons(std::move(chunks[i - 1]), std::move(list));
  hs::LazyByteString out = hs::LazyByteString::fromChunks(list);
  (void)out.length();
  return out;
}

// What decoding T from any bytes must give, whatever pieces they come in: the same outcome as
// over one chunk, an offset within the input and the rest after it; a value decoded encodes to
// bytes that decode to an equal value, consuming all of them. Returns the value and its offset.
template <class T, class Eq = std::equal_to<>>
std::optional<std::pair<T, std::int64_t>> checkDecoder(std::span<const std::uint8_t> bytes,
                                                       std::uint64_t seed, Eq eq = {}) {
  namespace B = hs::binary;
  const auto whole = B::decodeOrFail<T>(hs::LazyByteString(hs::ByteString(bytes.data(), bytes.size())));
  const auto pieces = B::decodeOrFail<T>(inPieces(bytes, seed));
  check(whole.isLeft() == pieces.isLeft(), "a decoder's outcome depends on the chunks");
  const auto restOk = [&](const hs::LazyByteString& rest, std::int64_t offset) {
    if (offset < 0 || static_cast<std::size_t>(offset) > bytes.size()) return false;
    const std::vector<std::uint8_t> r = rest.unpack();
    return r == std::vector<std::uint8_t>(bytes.begin() + offset, bytes.end());
  };
  if (whole.isLeft()) {
    const B::Failed& a = whole.left();
    const B::Failed& b = pieces.left();
    check(a.offset == b.offset && a.message == b.message,
          "a decoder fails differently in pieces:", a.message + " / " + b.message);
    check(restOk(a.rest, a.offset) && restOk(b.rest, b.offset), "a failure's rest is not the input after its offset");
    return std::nullopt;
  }
  const B::Decoded<T>& a = whole.right();
  const B::Decoded<T>& b = pieces.right();
  check(a.offset == b.offset && eq(a.value, b.value), "a decoder reads another value in pieces");
  check(restOk(a.rest, a.offset) && restOk(b.rest, b.offset), "a value's rest is not the input after it");
  const hs::LazyByteString again = B::encode(a.value);
  const auto back = B::decodeOrFail<T>(again);
  check(back.isRight(), "an encoded value does not decode");
  check(eq(back.right().value, a.value), "an encoded value decodes to another");
  check(back.right().offset == again.length() && back.right().rest.null(),
        "an encoded value is not read to its end");
  return std::make_pair(a.value, a.offset);
}

}  // namespace fuzz
