// The UUID parsers over arbitrary bytes: the four 36-character parsers against a plain model of
// the text form and against each other, the 16-byte form, the word, field and raw-memory forms,
// the two text readers, and the serialised decoder of UUIDs and the base types around them, over
// input in pieces. The first
// byte chooses the pieces; the rest is the input.
#include <algorithm>
#include <compare>
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

// The bytes 0 to 15 of u as the big-endian words and fields say.
std::vector<std::uint8_t> bytesOfWords(UUID u) {
  const auto [a, b, c, d] = quendle::toWords(u);
  std::vector<std::uint8_t> out;
  for (const std::uint32_t w : {a, b, c, d})
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(w >> shift));
  return out;
}

// The word, field and raw-memory forms of the UUIDs of the first 32 bytes (zero-padded): each
// gives back the UUID, they agree with the byte order, and comparing UUIDs compares their bytes.
void checkWords(std::span<const std::uint8_t> bytes) {
  std::uint8_t raw[32] = {};
  std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 32), raw);
  UUID u[2];
  for (int i = 0; i < 2; ++i) {
    const hs::LazyByteString l(hs::ByteString(raw + 16 * i, 16));
    const std::optional<UUID> got = quendle::fromByteString(l);
    fuzz::check(got.has_value(), "16 bytes are no UUID");
    u[i] = *got;
    const std::vector<std::uint8_t> list(raw + 16 * i, raw + 16 * i + 16);
    fuzz::check(bytesOfWords(u[i]) == list, "the 32-bit words are not the bytes");
    const auto [a, b, c, d] = quendle::toWords(u[i]);
    const auto [hi, lo] = quendle::toWords64(u[i]);
    fuzz::check(quendle::fromWords(a, b, c, d) == u[i] && quendle::fromWords64(hi, lo) == u[i] &&
                    hi == u[i].hiWord() && lo == u[i].loWord(),
                "a word form does not give the UUID back");
    fuzz::check(quendle::null(u[i]) == (list == std::vector<std::uint8_t>(16, 0)), "null is wrong");

    const quendle::UnpackedUUID f = quendle::unpack(u[i]);
    fuzz::check(quendle::pack(f) == u[i], "pack . unpack is not the identity");
    fuzz::check(f.time_low() == a && f.time_mid() == (b >> 16) && f.time_hi_and_version() == (b & 0xFFFF) &&
                    f.clock_seq_hi_res() == list[8] && f.clock_seq_low() == list[9] &&
                    f.node_0() == list[10] && f.node_5() == list[15],
                "the fields are not the bytes");

    // Stored in memory at an odd offset and read back.
    alignas(16) std::uint8_t cell[40] = {};
    hs::Storable<UUID>::pokeByteOff(cell, 3 + i, u[i]);
    fuzz::check(hs::Storable<UUID>::peekByteOff(cell, 3 + i) == u[i], "a stored UUID reads back as another");
    fuzz::check(std::equal(cell + 3 + i + 8, cell + 3 + i + 16, list.begin() + 8),
                "the stored node bytes are not in order");
    hs::Storable<UUID>::pokeElemOff(cell, 1, u[i]);
    fuzz::check(hs::Storable<UUID>::peekElemOff(cell, 1) == u[i] &&
                    hs::Storable<UUID>::peekByteOff(cell, 16) == u[i],
                "a stored element reads back as another");
  }
  const auto l0 = quendle::toList(u[0]), l1 = quendle::toList(u[1]);
  fuzz::check((u[0] < u[1]) == (l0 < l1) && (u[0] == u[1]) == (l0 == l1) &&
                  quendle::compare(u[0], u[1]) == hs::toOrdering(l0 <=> l1),
              "comparing UUIDs is not comparing their bytes");
  if (u[0] == u[1]) fuzz::check(quendle::hash(u[0]) == quendle::hash(u[1]), "equal UUIDs hash apart");
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
  checkWords(bytes);
  checkReaders(s);
  checkDecoders(bytes, seed);
  return 0;
}
