// The UUID parsers over arbitrary bytes: the four 36-character parsers against a plain model of
// the text form and against each other, the 16-byte form, the two text readers, and the
// serialised decoder of UUIDs and the base types around them, over input in pieces. The first
// byte chooses the pieces; the rest is the input.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz.hpp"
#include "hs/either.hpp"
#include "quendle/uuid.hpp"

namespace {

using quendle::UUID;

// The text form read one character at a time.
std::optional<UUID> model(std::string_view s) {
  if (s.size() != 36) return std::nullopt;
  std::uint64_t w[2] = {0, 0};
  int digit = 0;
  for (std::size_t i = 0; i < 36; ++i) {
    const char c = s[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return std::nullopt;
      continue;
    }
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      return std::nullopt;
    std::uint64_t& word = w[digit / 16];
    word = (word << 4) | static_cast<std::uint64_t>(v);
    ++digit;
  }
  return UUID(w[0], w[1]);
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

void checkText(std::string_view s, std::span<const std::uint8_t> bytes, std::uint64_t seed) {
  const std::optional<UUID> want = model(s);
  const hs::ByteString strict(bytes.data(), bytes.size());
  const hs::Text text(s);
  const hs::LazyByteString lazy = fuzz::inPieces(bytes, seed);
  std::optional<UUID> got[4];
  const std::int64_t allocated = fuzz::allocationsOf([&] {
    got[0] = quendle::fromString(s);
    got[1] = quendle::fromText(text);
    got[2] = quendle::fromASCIIBytes(strict);
    got[3] = quendle::fromLazyASCIIBytes(lazy);
  });
  fuzz::check(allocated == 0, "a text parser allocates");
  // A text with a character beyond ASCII is no UUID, however it was built.
  for (const auto& g : got) fuzz::check(g == want, "a text parser disagrees with the model:", s);

  // An endless input after the bytes is answered.
  const auto endless = hs::LazyByteString::fromChunks(
      hs::List<hs::ByteString>::cons(strict, hs::repeat(hs::ByteString(std::string_view("0")))));
  fuzz::check(!quendle::fromLazyASCIIBytes(endless).has_value(), "an endless text parses");
  fuzz::check(!quendle::fromByteString(endless).has_value(), "an endless byte string parses");

  if (want) {
    const std::string shown = quendle::toString(*want);
    fuzz::check(shown == lower(s), "a parsed UUID prints as another text:", s);
    fuzz::check(quendle::toText(*want).utf8() == shown &&
                    quendle::toASCIIBytes(*want).chars() == shown &&
                    quendle::toLazyASCIIBytes(*want).toStrict().chars() == shown,
                "the text writers disagree");
    fuzz::check(hs::show(*want) == shown, "show is not the text form");
  }
}

void checkBytes(std::span<const std::uint8_t> bytes, std::uint64_t seed) {
  const hs::LazyByteString lazy = fuzz::inPieces(bytes, seed);
  std::optional<UUID> got;
  fuzz::check(fuzz::allocationsOf([&] { got = quendle::fromByteString(lazy); }) == 0,
              "fromByteString allocates");
  fuzz::check(got.has_value() == (bytes.size() == 16), "fromByteString takes another length");
  if (got) {
    fuzz::check(quendle::toList(*got) == std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
                "fromByteString reads other bytes");
    fuzz::check(quendle::toByteString(*got).unpack() == quendle::toList(*got), "toByteString is not toList");
  }
}

void checkReaders(std::string_view s) {
  const std::optional<UUID> u = fuzz::checkReader<UUID>(s);
  // White space, then the next 36 characters.
  const std::string_view after = hs::skipSpaces(s);
  const std::optional<UUID> want = model(after.substr(0, 36));
  static const hs::ReadPrec<UUID> reader = hs::readPrec<UUID>();
  hs::ReadResult<UUID> parses;
  const std::int64_t allocated = fuzz::allocationsOf([&] { parses = reader(0, s); });
  fuzz::check(parses.size() == (want ? 1u : 0u), "the UUID reader disagrees with the model:", s);
  if (want) {
    fuzz::check(parses[0].first == *want && parses[0].second.size() == after.size() - 36,
                "the UUID reader reads another value");
    if (hs::skipSpaces(parses[0].second).empty())
      fuzz::check(u == want, "readMaybe of a UUID gives another value");
  } else {
    fuzz::check(allocated == 0, "the UUID reader allocates when it rejects:", s);
  }

  if (const auto r = fuzz::checkReader<quendle::UnpackedUUID>(s)) {
    fuzz::check(hs::read<quendle::UnpackedUUID>(hs::show(*r)) == *r, "an UnpackedUUID reads back unequal");
    fuzz::check(quendle::unpack(quendle::pack(*r)) == *r, "unpack . pack is not the identity");
  }
  fuzz::checkReader<std::vector<UUID>>(s);
  fuzz::checkReader<std::pair<UUID, std::optional<UUID>>>(s);
}

void checkDecoders(std::span<const std::uint8_t> bytes, std::uint64_t seed) {
  if (const auto u = fuzz::checkDecoder<UUID>(bytes, seed)) {
    fuzz::check(u->second == 16 && quendle::toList(u->first) ==
                                       std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 16),
                "a serialised UUID is not its 16 bytes");
  } else {
    fuzz::check(bytes.size() < 16, "16 bytes do not decode as a UUID");
  }
  fuzz::checkDecoder<std::vector<UUID>>(bytes, seed);
  fuzz::checkDecoder<std::string>(bytes, seed);
  fuzz::checkDecoder<hs::Either<UUID, std::string>>(bytes, seed);
  fuzz::checkDecoder<std::optional<std::vector<UUID>>>(bytes, seed);
  fuzz::checkDecoder<std::vector<hs::Either<std::optional<UUID>, std::vector<std::string>>>>(bytes, seed);

  // Several reads in one run, to the end of the input.
  namespace B = hs::binary;
  const auto run = [](B::Input& in) {
    const UUID u = hs::get<UUID>(in);
    std::string s = hs::get<std::string>(in);
    const bool empty = in.isEmpty();
    return std::make_pair(std::make_pair(u, std::move(s)), empty);
  };
  const auto whole = B::runGetOrFail(run, hs::LazyByteString(hs::ByteString(bytes.data(), bytes.size())));
  const auto pieces = B::runGetOrFail(run, fuzz::inPieces(bytes, seed));
  fuzz::check(whole.isLeft() == pieces.isLeft(), "a run's outcome depends on the chunks");
  if (whole.isRight()) {
    const auto& a = whole.right();
    const auto& b = pieces.right();
    fuzz::check(a.value == b.value && a.offset == b.offset, "a run reads another value in pieces");
    fuzz::check(a.value.second == (a.offset == static_cast<std::int64_t>(bytes.size())),
                "isEmpty is wrong at the end");
  } else {
    fuzz::check(whole.left().offset == pieces.left().offset, "a run fails elsewhere in pieces");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint64_t seed = data[0];
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  const std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  checkText(s, bytes, seed);
  checkBytes(bytes, seed);
  checkReaders(s);
  checkDecoders(bytes, seed);
  return 0;
}
