// The inclusive-or readers over arbitrary text, deep brackets and long lists included (see
// fuzz::deepText): the plain and lifted readers of a nested Ambrel
// agree and what they read reads back equal, as do both readers of Ambrel1; and the serialised
// decoder of a nested Ambrel holding a list of Ambrels, over arbitrary bytes in pieces (the
// first byte chooses the pieces).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ambrel/ambrel.hpp"
#include "ambrel/functor.hpp"
#include "fuzz.hpp"

namespace {

using Int = std::int64_t;
using Inner = ambrel::Ambrel<std::string, Int>;
using Nested = ambrel::Ambrel<Int, Inner>;
using One = ambrel::Ambrel1<hs::MaybeTag, hs::ListTag, Int>;
using Serial = ambrel::Ambrel<ambrel::Ambrel<Int, bool>, std::vector<ambrel::Ambrel<Int, std::string>>>;

template <class T>
void readsBackEqual(std::string_view text) {
  if (const std::optional<T> v = fuzz::checkReader<T>(text)) fuzz::checkReadsBackEqual(*v);
}

void checkText(std::string_view text) {
  static const hs::ReadPrec<Nested> plain = hs::readPrec<Nested>();
  static const hs::ReadPrec<Nested> lifted1 =
      hs::liftReadPrec<Nested>(hs::readPrec<Inner>(), hs::readListPrec<Inner>());
  static const hs::ReadPrec<Nested> lifted2 = hs::liftReadPrec2<Nested>(
      hs::readPrec<Int>(), hs::readListPrec<Int>(), hs::readPrec<Inner>(), hs::readListPrec<Inner>());
  readsBackEqual<Nested>(text);
  fuzz::checkSameParses(plain, lifted1, text);
  fuzz::checkSameParses(plain, lifted2, text);
  readsBackEqual<std::vector<Nested>>(text);

  static const hs::ReadPrec<One> plainOne = hs::readPrec<One>();
  static const hs::ReadPrec<One> liftedOne =
      hs::liftReadPrec<One>(hs::readPrec<Int>(), hs::readListPrec<Int>());
  readsBackEqual<One>(text);
  fuzz::checkSameParses(plainOne, liftedOne, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ExactText buffer;
  checkText(fuzz::deepText(std::span(data, size), buffer));
  if (size > 0) fuzz::checkDecoder<Serial>(std::span(data + 1, size - 1), data[0]);
  return 0;
}
