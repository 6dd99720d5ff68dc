// The platform's serialised decoders over arbitrary bytes in pieces: integers, Bool, Char,
// String, byte strings, lists (of units, pairs of units and nested unit lists too, whose elements
// take no bytes), optional values, Either and tuples. The first byte chooses the type, the second
// the pieces; the rest is the input. Every decoder goes through fuzz::checkDecoder, which also
// holds its allocations to its input.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fuzz.hpp"
#include "hs/binary.hpp"
#include "hs/bytes.hpp"
#include "hs/either.hpp"
#include "hs/unit.hpp"

namespace {

using hs::Unit;
using Units = std::vector<Unit>;

template <class T>
void decodes(std::span<const std::uint8_t> bytes, std::uint64_t seed) {
  (void)fuzz::checkDecoder<T>(bytes, seed);
}

using Check = void (*)(std::span<const std::uint8_t>, std::uint64_t);
// Type 0 is the units, 3 the strings: the seeds in corpus/decode_platform/ name them so.
constexpr Check checks[] = {
    decodes<Units>,
    decodes<std::vector<std::pair<Unit, Unit>>>,
    decodes<std::vector<Units>>,
    decodes<std::string>,
    decodes<char32_t>,
    decodes<std::vector<char32_t>>,
    decodes<hs::ByteString>,
    decodes<std::vector<hs::ByteString>>,
    decodes<std::vector<std::string>>,
    decodes<std::tuple<Units, std::string, std::vector<std::tuple<Unit, Unit, Unit>>>>,
    decodes<std::vector<std::optional<hs::Either<bool, std::int16_t>>>>,
    decodes<std::pair<std::vector<std::vector<std::pair<Unit, std::uint8_t>>>, std::vector<Units>>>,
    decodes<std::tuple<std::int64_t, std::uint32_t, std::int8_t, bool>>,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  checks[data[0] % std::size(checks)](std::span(data + 2, size - 2), data[1]);
  return 0;
}
