// The tour's stop at libquendle: UUIDs from text and at random, their words, fields and bytes.
#include <array>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <random>
#include <string>

#include "hs/show.hpp"
#include "quendle/uuid.hpp"

void quendleTour() {
  std::cout << "== quendle: UUIDs\n";
  // Parsers accept either case and answer anything malformed with nothing.
  const auto u = quendle::fromString("01234567-89AB-CDEF-FEDC-BA9876543210");
  std::cout << "parsed: " << hs::show(*u) << ", braces rejected: " << std::boolalpha
            << !quendle::fromString("{01234567-89ab-cdef-fedc-ba9876543210}").has_value() << "\n";
  const auto [w0, w1, w2, w3] = quendle::toWords(*u);
  char words[64];
  std::snprintf(words, sizeof words, "%08x %08x %08x %08x", w0, w1, w2, w3);
  std::cout << "words: " << words << "\n";
  std::cout << "fields: " << hs::show(quendle::unpack(*u)) << "\n";
  std::cout << "hash: " << quendle::hash(*u) << "\n";

  // Random version-4 UUIDs from any source of 64-bit words, or from a pure generator.
  std::mt19937_64 engine(2024);
  std::cout << "from std::mt19937_64: " << hs::show(hs::uniformM<quendle::UUID>(engine)) << "\n";
  const auto [r, next] = hs::random<quendle::UUID>(hs::mkStdGen(7));
  std::cout << "from mkStdGen 7: " << hs::show(r) << ", then "
            << hs::show(hs::random<quendle::UUID>(next).first) << "\n";
  // The endless list of the same draws, taken from as far as needed.
  std::cout << "randoms: " << hs::show(hs::take(3, hs::randoms<quendle::UUID>(hs::mkStdGen(7))))
            << "\n";

  // The serialised form is the 16 bytes; decoding reports what is missing.
  const hs::LazyByteString bytes = hs::binary::encode(*u);
  std::cout << "serialised: " << bytes.length() << " bytes, back: "
            << hs::show(hs::binary::decode<quendle::UUID>(bytes)) << "\n";
  const auto cut = hs::binary::decodeOrFail<quendle::UUID>(
      hs::LazyByteString(bytes.toStrict().take(12)));
  std::cout << "12 bytes: " << cut.left().message << " at " << cut.left().offset << "\n";

  // The raw-memory record keeps the first three fields in host order.
  std::array<std::uint8_t, 16> raw{};
  hs::poke(raw.data(), *u);
  std::cout << "poked:";
  for (std::uint8_t b : raw) std::printf(" %02x", b);
  std::cout << "\n";
}
