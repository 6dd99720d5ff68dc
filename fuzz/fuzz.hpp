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
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hs/binary.hpp"
#include "hs/bytes.hpp"
#include "hs/hashable.hpp"
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

// ---- Allocation counting --------------------------------------------------------------------

// Heap allocations made by the process so far, and their bytes (through the sanitizer's hooks).
inline std::atomic<std::int64_t> allocations{0};
inline std::atomic<std::int64_t> allocatedBytes{0};
inline void countAllocation(const volatile void*, std::size_t size) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  allocatedBytes.fetch_add(static_cast<std::int64_t>(size), std::memory_order_relaxed);
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

// Fails when f makes more heap allocations than a fixed share per byte of an input of n bytes:
// a reader or decoder that allocates far beyond its input has gone superlinear.
template <class F>
void checkLinearAllocations(std::size_t n, const char* what, F&& f) {
  constexpr std::int64_t perByte = 64, base = 4096;
  const std::int64_t made = allocationsOf(std::forward<F>(f));
  if (made > perByte * static_cast<std::int64_t>(n) + base)
    fail(what, std::to_string(made) + " allocations for " + std::to_string(n) + " bytes");
}

// Fails when f allocates more heap bytes in all than a share per byte of an input of n bytes,
// plus `base`: a decoder that believes a count its input does not back allocates for the count.
template <class F>
void checkLinearMemory(std::size_t n, std::int64_t base, const char* what, F&& f) {
  constexpr std::int64_t perByte = 1024;
  const std::int64_t before = allocatedBytes.load(std::memory_order_relaxed);
  std::forward<F>(f)();
  const std::int64_t made = allocatedBytes.load(std::memory_order_relaxed) - before;
  if (made > perByte * static_cast<std::int64_t>(n) + base)
    fail(what, std::to_string(made) + " bytes allocated for " + std::to_string(n) + " bytes");
}

// What reading T from any text must give: every rest is a suffix of the text, `readMaybe`
// agrees with the complete parses, a value read back from its shown form shows the same, and
// reading allocates about in proportion to the text. Returns the value when the whole text reads
// as exactly one.
template <class T>
std::optional<T> checkReader(std::string_view text) {
  hs::ReadResult<T> parses;
  checkLinearAllocations(text.size(), "a reader allocates beyond its input",
                         [&] { parses = hs::reads<T>(text); });
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

// A value read back from its shown form, checked against the value first read: equal, comparing
// as equal both ways, and hashing alike, where the type has those.
template <class T>
void checkReadsBackEqual(const T& v) {
  const T back = hs::read<T>(hs::show(v));
  check(back == v && v == back, "a value reads back unequal:", hs::show(v));
  if constexpr (requires { compare(v, back); })
    check(compare(v, back) == hs::EQ && compare(back, v) == hs::EQ && !(v < back) && !(back < v),
          "a value read back does not compare equal:", hs::show(v));
  if constexpr (hs::HashableType<T>)
    check(hs::hash(v) == hs::hash(back) && hs::hashWithSalt(7, v) == hs::hashWithSalt(7, back),
          "a value read back hashes differently:", hs::show(v));
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

// ---- Deep inputs -----------------------------------------------------------------------------

// A copy of a text in a heap block of exactly its size, so that the sanitizer reports a read past
// its end (a std::string has room, and a terminator, after its characters).
class ExactText {
 public:
  ExactText() = default;
  explicit ExactText(std::string_view s)
      : chars_(std::make_unique_for_overwrite<char[]>(s.size())), size_(s.size()) {
    std::copy(s.begin(), s.end(), chars_.get());
  }
  std::string_view view() const noexcept { return {chars_.get(), size_}; }

 private:
  std::unique_ptr<char[]> chars_;
  std::size_t size_ = 0;
};

// A text built from the fuzzer's bytes so that deep nesting and long runs are within its reach.
// When the first byte is at least 0xF0 it and the second give a count n (1 to 4096), and the rest
// splits at bytes 0x01 into a head, a prefix, a middle, a suffix and a tail (missing parts are
// empty): the text is the head, the prefix n times, the middle, the suffix n times, then the
// tail, at most `cap` bytes (n is lowered to fit). Otherwise the bytes are the text as they are.
inline std::string_view deepText(std::span<const std::uint8_t> bytes, ExactText& buffer,
                                 std::size_t cap = 1 << 16) {
  const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (bytes.size() < 2 || bytes[0] < 0xF0) return all;
  std::size_t n = 1 + ((std::size_t{bytes[0]} & 0x0F) << 8 | bytes[1]);
  std::string_view rest = all.substr(2), part[5];
  for (int i = 0; i < 5; ++i) {
    const std::size_t at = i < 4 ? std::min(rest.find('\x01'), rest.size()) : rest.size();
    part[i] = rest.substr(0, at);
    rest = rest.substr(std::min(at + 1, rest.size()));
  }
  const std::size_t fixed = part[0].size() + part[2].size() + part[4].size();
  const std::size_t unit = part[1].size() + part[3].size();
  if (unit > 0 && fixed + n * unit > cap) n = (cap - std::min(cap, fixed)) / unit;
  std::string text(part[0]);
  for (std::size_t i = 0; i < n; ++i) text.append(part[1]);
  text.append(part[2]);
  for (std::size_t i = 0; i < n; ++i) text.append(part[3]);
  text.append(part[4]);
  buffer = ExactText(text);
  return buffer.view();
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
// bytes that decode to an equal value, consuming all of them. Decoding allocates about in
// proportion to the input (in count and in bytes; elements that take no bytes may fill the run's
// allowance, a few times over with the vectors' growth). Returns the value and its offset.
template <class T, class Eq = std::equal_to<>>
std::optional<std::pair<T, std::int64_t>> checkDecoder(std::span<const std::uint8_t> bytes,
                                                       std::uint64_t seed, Eq eq = {}) {
  namespace B = hs::binary;
  const hs::LazyByteString input(hs::ByteString(bytes.data(), bytes.size()));
  std::optional<hs::Either<B::Failed, B::Decoded<T>>> decoded;
  checkLinearMemory(bytes.size(), 4 * static_cast<std::int64_t>(B::noWidthAllowance),
                    "a decoder allocates beyond its input", [&] {
                      checkLinearAllocations(bytes.size(), "a decoder allocates beyond its input",
                                             [&] { decoded.emplace(B::decodeOrFail<T>(input)); });
                    });
  const auto& whole = *decoded;
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
