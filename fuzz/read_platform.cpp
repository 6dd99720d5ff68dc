// The platform's base readers (integers, floating point, characters, strings, lists, tuples,
// optional values, Either, unit) over arbitrary text, and the one reader of the datatype
// descriptions.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "fuzz.hpp"
#include "hs/either.hpp"
#include "hs/read.hpp"
#include "hs/unit.hpp"
#include "sarkel/datatype/records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)hs::lex(text);
  fuzz::checkReader<std::int64_t>(text);
  fuzz::checkReader<std::uint8_t>(text);
  fuzz::checkReader<double>(text);
  fuzz::checkReader<float>(text);
  fuzz::checkReader<char32_t>(text);
  fuzz::checkReader<char>(text);
  fuzz::checkReader<bool>(text);
  fuzz::checkReader<hs::Unit>(text);
  fuzz::checkReader<std::string>(text);
  fuzz::checkReader<std::vector<std::int64_t>>(text);
  fuzz::checkReader<std::vector<std::string>>(text);
  fuzz::checkReader<std::vector<std::vector<double>>>(text);
  fuzz::checkReader<std::pair<std::int64_t, std::string>>(text);
  fuzz::checkReader<std::tuple<bool, std::optional<std::int64_t>, std::vector<char32_t>>>(text);
  fuzz::checkReader<std::pair<std::pair<std::int64_t, std::int64_t>, std::int64_t>>(text);
  fuzz::checkReader<std::optional<std::int64_t>>(text);
  fuzz::checkReader<std::optional<std::optional<std::string>>>(text);
  fuzz::checkReader<hs::Either<std::int64_t, std::string>>(text);
  fuzz::checkReader<std::vector<hs::Either<std::optional<double>, std::pair<char, bool>>>>(text);
  if (const auto v = fuzz::checkReader<sarkel::DatatypeVariant>(text)) fuzz::checkReadsBackEqual(*v);
  fuzz::checkReader<std::vector<sarkel::DatatypeVariant>>(text);
  return 0;
}
