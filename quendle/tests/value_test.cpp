#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <unordered_set>

#include "quendle/uuid.hpp"
#include "testing/values.hpp"

namespace {

using quendle::UUID;
using quendle::UnpackedUUID;

constexpr UUID example(0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL);

std::string at(int d, const UnpackedUUID& r) {
  std::string out;
  hs::showsPrec(d, r, out);
  return out;
}

UUID randomUUID(std::mt19937_64& e) { return UUID(e(), e()); }

TEST(UUIDValue, WordsOfTheExample) {
  EXPECT_EQ(quendle::toWords(example),
            std::make_tuple(0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u));
  EXPECT_EQ(quendle::fromWords(0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u), example);
  EXPECT_EQ(quendle::toWords64(example),
            std::make_pair(std::uint64_t{0x0123456789ABCDEF}, std::uint64_t{0xFEDCBA9876543210}));
  EXPECT_EQ(quendle::fromWords64(0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL), example);
  EXPECT_TRUE(quendle::null(quendle::nil));
  EXPECT_TRUE(quendle::null(UUID()));
  EXPECT_FALSE(quendle::null(UUID(0, 1)));
  EXPECT_FALSE(quendle::null(UUID(1, 0)));
}

TEST(UUIDValue, FieldsOfTheExample) {
  const UnpackedUUID r = quendle::unpack(example);
  const std::uint32_t want[] = {19088743, 35243, 52719, 254, 220, 186, 152, 118, 84, 50, 16};
  for (std::size_t i = 0; i < quendle::unpackedFieldCount; ++i) EXPECT_EQ(r.field(i), want[i]) << i;
  EXPECT_EQ(r.time_low(), 19088743u);
  EXPECT_EQ(r.node_5(), 16u);
  EXPECT_EQ(at(0, r),
            "UnpackedUUID {time_low = 19088743, time_mid = 35243, time_hi_and_version = 52719, "
            "clock_seq_hi_res = 254, clock_seq_low = 220, node_0 = 186, node_1 = 152, node_2 = 118, "
            "node_3 = 84, node_4 = 50, node_5 = 16}");
  EXPECT_EQ(at(11, r), "(" + at(10, r) + ")");
  EXPECT_EQ(at(10, r), at(0, r));
}

// Past the last field is the caller's bug, reported as a program error rather than read from
// beyond the record.
TEST(UUIDValue, FieldPastTheLastIsAProgramError) {
  const UnpackedUUID r = quendle::unpack(example);
  for (std::size_t i : {std::size_t{11}, std::size_t{16}, ~std::size_t{0}}) {
    try {
      (void)r.field(i);
      ADD_FAILURE() << "field " << i << " read";
    } catch (const hs::ProgramError& e) {
      EXPECT_EQ(e.message(), "quendle::UnpackedUUID::field: no field " + std::to_string(i) +
                                 " (the fields are 0 to 10)");
    }
  }
}

TEST(UUIDValue, PackAndUnpackAreInverses) {
  std::mt19937_64 e(1);
  for (int i = 0; i < 200; ++i) {
    const UUID u = randomUUID(e);
    EXPECT_EQ(quendle::pack(quendle::unpack(u)), u);
    const UnpackedUUID r(static_cast<std::uint32_t>(e()), static_cast<std::uint16_t>(e()),
                         static_cast<std::uint16_t>(e()), static_cast<std::uint8_t>(e()),
                         static_cast<std::uint8_t>(e()), static_cast<std::uint8_t>(e()),
                         static_cast<std::uint8_t>(e()), static_cast<std::uint8_t>(e()),
                         static_cast<std::uint8_t>(e()), static_cast<std::uint8_t>(e()),
                         static_cast<std::uint8_t>(e()));
    EXPECT_EQ(quendle::unpack(quendle::pack(r)), r);
  }
}

TEST(UUIDValue, HashFormulas) {
  EXPECT_EQ(static_cast<std::uint64_t>(quendle::hash(example)), 0x423A4FB0BEAC5335ULL);
  EXPECT_EQ(hs::hash(example), quendle::hash(example));
  EXPECT_EQ(std::hash<UUID>{}(example), 0x423A4FB0BEAC5335ULL);
  EXPECT_EQ(quendle::hash(quendle::nil), 0);
  EXPECT_EQ(quendle::hashWithSalt(0, quendle::nil), 0);
  // hash starts from word 0, not from the default salt.
  EXPECT_NE(quendle::hash(example), quendle::hashWithSalt(hs::defaultSalt, example));
  const std::int64_t s = 77;
  EXPECT_EQ(hs::hashWithSalt(s, example),
            hs::saltedWordHash(hs::saltedWordHash(hs::saltedWordHash(hs::saltedWordHash(s, 0x01234567u),
                                                                     0x89ABCDEFu),
                                                  0xFEDCBA98u),
                               0x76543210u));
  std::unordered_set<UUID> set{example, quendle::nil, example};
  EXPECT_EQ(set.size(), 2u);
}

TEST(UUIDValue, OrderIsUnsignedHiWordFirst) {
  const UUID topBit(0x8000000000000000ULL, 0), below(0x7FFFFFFFFFFFFFFFULL, ~0ULL);
  EXPECT_LT(below, topBit);
  EXPECT_EQ(quendle::compare(topBit, below), hs::GT);
  EXPECT_EQ(quendle::compare(UUID(1, 2), UUID(1, 3)), hs::LT);
  EXPECT_EQ(quendle::compare(UUID(1, ~0ULL), UUID(1, 0)), hs::GT);
  EXPECT_EQ(quendle::compare(example, example), hs::EQ);
  EXPECT_TRUE(UUID(1, 2) <= UUID(1, 2) && UUID(1, 2) >= UUID(1, 2));
  // Of equal values max gives its second argument and min its first, the very objects.
  const UUID a = example, b = example;
  EXPECT_EQ(&quendle::max(a, b), &b);
  EXPECT_EQ(&quendle::min(a, b), &a);
  EXPECT_EQ(&quendle::max(topBit, below), &topBit);
  EXPECT_EQ(&quendle::min(topBit, below), &below);
}

UnpackedUUID record(std::uint8_t node5, quendle::Field<std::uint8_t> node1 = 1) {
  return UnpackedUUID(1, 2, 3, 4, 5, 6, node1, 8, 9, 10, node5);
}

TEST(UnpackedRecord, ComparisonStopsAtTheFirstDifference) {
  const auto boom = testing_support::throwing<std::uint8_t>();
  // Fields after a difference stay unforced; an equal prefix reaches the failing field.
  const UnpackedUUID x(1, 2, 3, 4, 5, 6, boom, 8, 9, 10, 11), y(1, 2, 3, 4, 5, 7, boom, 8, 9, 10, 11);
  EXPECT_FALSE(x == y);
  EXPECT_TRUE(x < y);
  EXPECT_EQ(quendle::compare(y, x), hs::GT);
  EXPECT_FALSE(boom.settled());
  EXPECT_THROW((void)(x == x), testing_support::TestFailure);
  // At each field the left record's value is forced before the right one's.
  const UnpackedUUID l = record(1, testing_support::throwing<std::uint8_t>("left")),
                     r = record(1, testing_support::throwing<std::uint8_t>("right"));
  const auto firstFailure = [](auto op) -> std::string {
    try {
      op();
    } catch (const testing_support::TestFailure& e) {
      return e.what();
    }
    return "none";
  };
  EXPECT_EQ(firstFailure([&] { (void)(l == r); }), "left");
  EXPECT_EQ(firstFailure([&] { (void)(l != r); }), "left");
  EXPECT_EQ(firstFailure([&] { (void)(l < r); }), "left");
  EXPECT_EQ(firstFailure([&] { (void)quendle::compare(l, r); }), "left");
  EXPECT_EQ(firstFailure([&] { (void)(r == l); }), "right");
  EXPECT_EQ(quendle::compare(record(3), record(4)), hs::LT);
  EXPECT_TRUE(record(200) > record(100));  // unsigned
  const UnpackedUUID p = record(9), q = record(9);
  EXPECT_EQ(&quendle::max(p, q), &q);
  EXPECT_EQ(&quendle::min(p, q), &p);
  EXPECT_TRUE(p <= q && p >= q && !(p < q) && !(p > q));
}

TEST(UnpackedRecord, DeferredFieldsAreForcedOnDemand) {
  const auto runs = std::make_shared<int>(0);
  const UnpackedUUID r(testing_support::counting<std::uint32_t>(7, runs), 0, 0, 0, 0, 0, 0, 0, 0,
                       0, 0);
  EXPECT_EQ(*runs, 0);
  EXPECT_EQ(quendle::pack(r).hiWord(), 7ULL << 32);
  EXPECT_EQ(r.time_low(), 7u);
  EXPECT_EQ(*runs, 1);
}

TEST(UnpackedRecord, ReadsTheRecordForm) {
  const std::string text =
      "UnpackedUUID {time_low = 1, time_mid = 2, time_hi_and_version = 3, clock_seq_hi_res = 4, "
      "clock_seq_low = 5, node_0 = 6, node_1 = 7, node_2 = 8, node_3 = 9, node_4 = 10, node_5 = 11}";
  const UnpackedUUID want(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);
  const auto one = hs::readsPrec<UnpackedUUID>(11, text);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].first, want);
  EXPECT_EQ(one[0].second, "");
  EXPECT_TRUE(hs::readsPrec<UnpackedUUID>(12, text).empty());
  EXPECT_EQ(hs::readsPrec<UnpackedUUID>(12, "((" + text + "))").size(), 1u);
  EXPECT_EQ(hs::readMaybe<UnpackedUUID>(at(0, quendle::unpack(example))), quendle::unpack(example));
  // White space between lexemes, a field value kept to its width, and the list form.
  std::string loose = text;
  loose.replace(loose.find("node_0 = 6"), 10, "node_0=\n256");
  EXPECT_EQ(hs::readMaybe<UnpackedUUID>(" " + loose + " ")->node_0(), 0u);
  const auto list = hs::readMaybe<std::vector<UnpackedUUID>>("[" + text + "," + text + "]");
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->size(), 2u);
  std::string shown;
  hs::showList(std::vector<UnpackedUUID>{want, want}, shown);
  EXPECT_EQ(shown, "[" + at(0, want) + "," + at(0, want) + "]");
  // Fields out of order, missing, or a missing brace: no parse.
  for (const std::string& bad :
       {std::string("UnpackedUUID {time_mid = 2, time_low = 1}"), text.substr(0, text.size() - 1),
        std::string("UnpackedUUID {time_low = 1}"), std::string("Unpacked {time_low = 1}")})
    EXPECT_TRUE(hs::readsPrec<UnpackedUUID>(0, bad).empty()) << bad;
}

}  // namespace
