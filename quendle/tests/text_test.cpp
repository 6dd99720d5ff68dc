#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "quendle/uuid.hpp"

namespace {

using quendle::UUID;

constexpr UUID example(0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL);
const std::string exampleText = "01234567-89ab-cdef-fedc-ba9876543210";

// The text form written the slow way, as the oracle of the fast writer.
std::string reference(UUID u) {
  const auto [a, b, c, d] = quendle::toWords(u);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08x-%04x-%04x-%04x-%04x%08x", a, b >> 16, b & 0xFFFF, c >> 16,
                c & 0xFFFF, d);
  return buf;
}

hs::LazyByteString inChunks(const std::string& s, std::size_t n) {
  std::vector<hs::ByteString> parts;
  for (std::size_t i = 0; i < s.size(); i += n) parts.emplace_back(std::string_view(s).substr(i, n));
  return hs::LazyByteString::fromChunks(hs::List<hs::ByteString>(parts));
}

// Every parser, each on its own carrier.
std::vector<std::pair<const char*, std::function<std::optional<UUID>(const std::string&)>>> parsers() {
  return {
      {"fromString", [](const std::string& s) { return quendle::fromString(s); }},
      {"fromText", [](const std::string& s) { return quendle::fromText(hs::Text(s)); }},
      {"fromASCIIBytes",
       [](const std::string& s) { return quendle::fromASCIIBytes(hs::ByteString(std::string_view(s))); }},
      {"fromLazyASCIIBytes (one chunk)",
       [](const std::string& s) {
         return quendle::fromLazyASCIIBytes(hs::LazyByteString(hs::ByteString(std::string_view(s))));
       }},
      {"fromLazyASCIIBytes (chunks of 5)", [](const std::string& s) { return quendle::fromLazyASCIIBytes(inChunks(s, 5)); }},
      {"fromLazyASCIIBytes (chunks of 1)", [](const std::string& s) { return quendle::fromLazyASCIIBytes(inChunks(s, 1)); }},
  };
}

TEST(UUIDText, EveryWriterWritesLowerCaseGroups) {
  std::mt19937_64 e(7);
  std::vector<UUID> us{quendle::nil, example, UUID(~0ULL, ~0ULL)};
  for (int i = 0; i < 300; ++i) us.emplace_back(e(), e());
  for (UUID u : us) {
    const std::string want = reference(u);
    EXPECT_EQ(quendle::toString(u), want);
    EXPECT_EQ(quendle::toText(u).utf8(), want);
    EXPECT_EQ(quendle::toASCIIBytes(u).chars(), want);
    const hs::LazyByteString lazy = quendle::toLazyASCIIBytes(u);
    EXPECT_EQ(lazy.toChunks().toVector().size(), 1u);
    EXPECT_EQ(lazy.toStrict().chars(), want);
    EXPECT_EQ(hs::show(u), want);
    for (const auto& [name, parse] : parsers()) EXPECT_EQ(parse(want), u) << name << " " << want;
  }
  EXPECT_EQ(quendle::toString(quendle::nil), "00000000-0000-0000-0000-000000000000");
  EXPECT_EQ(quendle::toString(example), exampleText);
}

TEST(UUIDText, ParsersAcceptEitherCase) {
  for (const auto& [name, parse] : parsers()) {
    EXPECT_EQ(parse("01234567-89AB-CDEF-FEDC-BA9876543210"), example) << name;
    EXPECT_EQ(parse("01234567-89aB-CdEf-FEDC-ba9876543210"), example) << name;
  }
  EXPECT_EQ(quendle::toString(*quendle::fromString("ABCDEFAB-CDEF-ABCD-EFAB-CDEFABCDEFAB")),
            "abcdefab-cdef-abcd-efab-cdefabcdefab");
}

TEST(UUIDText, ParsersRejectEveryMalformedForm) {
  std::string movedDash = exampleText;
  std::swap(movedDash[7], movedDash[8]);
  std::string dashAsDigit = exampleText;
  dashAsDigit[13] = 'a';
  std::string fifthDash = exampleText;
  fifthDash[30] = '-';
  const std::string cases[] = {
      "",
      exampleText.substr(0, 35),
      exampleText + "0",
      exampleText.substr(1),
      movedDash,
      dashAsDigit,
      fifthDash,
      exampleText + "-",
      exampleText + std::string(40, '0') + "-",
      "{" + exampleText + "}",
      "urn:uuid:" + exampleText,
      " " + exampleText,
      exampleText + " ",
      "0123456789abcdeffedcba9876543210",
      "01234567-89ab-cdef-fedc-ba987654321\xC3\xA9",  // 37 bytes, 36 characters
      "01234567-89ab-cdef-fedc-ba98765432\xC3\xA9",   // 36 bytes, one character beyond ASCII
      std::string(36, '-'),
  };
  for (const auto& [name, parse] : parsers())
    for (const std::string& c : cases) EXPECT_FALSE(parse(c).has_value()) << name << " [" << c << "]";
}

TEST(UUIDText, EveryByteAtEveryPosition) {
  // Each of the 256 byte values at each of the 36 positions, against the rule itself.
  const auto isHex = [](unsigned c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  };
  for (std::size_t pos = 0; pos < 36; ++pos) {
    const bool dashHere = pos == 8 || pos == 13 || pos == 18 || pos == 23;
    for (unsigned c = 0; c < 256; ++c) {
      std::string s = exampleText;
      s[pos] = static_cast<char>(c);
      const bool valid = dashHere ? c == '-' : isHex(c);
      const auto parsed = quendle::fromString(s);
      ASSERT_EQ(parsed.has_value(), valid) << pos << " " << c;
      ASSERT_EQ(quendle::fromASCIIBytes(hs::ByteString(std::string_view(s))).has_value(), valid);
      if (valid && !dashHere) {
        const unsigned digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        EXPECT_EQ(quendle::toString(*parsed)[pos], "0123456789abcdef"[digit]);
      }
    }
  }
}

TEST(UUIDText, AnEndlessLazyInputIsReadOnlyPastThirtySixBytes) {
  auto produced = std::make_shared<int>(0);
  const auto endless = hs::LazyByteString::fromChunks(hs::unfoldr(
      [produced](int i) -> std::optional<std::pair<hs::ByteString, int>> {
        ++*produced;
        return std::make_pair(hs::ByteString(std::string_view(exampleText).substr(0, 10)), i + 1);
      },
      0));
  EXPECT_FALSE(quendle::fromLazyASCIIBytes(endless).has_value());
  EXPECT_EQ(*produced, 4);
}

TEST(UUIDText, ShowAndRead) {
  std::string out;
  hs::showsPrec(11, example, out);
  EXPECT_EQ(out, exampleText);
  EXPECT_EQ(hs::show(std::vector<UUID>{example, quendle::nil}),
            "[" + exampleText + ",00000000-0000-0000-0000-000000000000]");
  const std::string input = "  " + exampleText + "abc";
  const auto parses = hs::readsPrec<UUID>(11, input);
  ASSERT_EQ(parses.size(), 1u);
  EXPECT_EQ(parses[0].first, example);
  EXPECT_EQ(parses[0].second, "abc");
  EXPECT_TRUE(hs::readsPrec<UUID>(0, "(" + exampleText + ")").empty());
  EXPECT_TRUE(hs::readsPrec<UUID>(0, exampleText.substr(0, 35)).empty());
  EXPECT_TRUE(hs::readsPrec<UUID>(0, "01234567-89ab-cdef-fedc-ba98765432\xC3\xA9").empty());
  EXPECT_EQ(hs::readMaybe<std::vector<UUID>>("[" + exampleText + ", " + exampleText + " ]"),
            (std::vector<UUID>{example, example}));
  EXPECT_EQ(hs::read<UUID>("\t" + exampleText + "\n"), example);
}

TEST(UUIDText, DataNamesTheUUIDByItsText) {
  const hs::data::Constr c = hs::toConstr(example);
  EXPECT_EQ(hs::data::showConstr(c), exampleText);
  const hs::data::DataType dt = hs::dataTypeOf<UUID>();
  EXPECT_EQ(hs::data::dataTypeName(dt), "Data.Quendle.UUID");
  EXPECT_TRUE(std::holds_alternative<hs::data::NoRep>(hs::data::dataTypeRep(dt)));
  EXPECT_EQ(hs::data::dataTypeName(hs::data::constrType(c)), "Data.Quendle.UUID");
  const auto site = [](int line, int col, int endCol) {
    return hs::SrcLoc{"error", quendle::packageId(), "Data.Quendle.Internal",
                      "src/Data/Quendle/Internal", line, col, line, endCol};
  };
  try {
    (void)hs::data::constrFixity(c);
    ADD_FAILURE() << "fixity inspected";
  } catch (const hs::ProgramError& e) {
    EXPECT_EQ(e.message(), "fixity");
    ASSERT_EQ(e.callStack().entries().size(), 1u);
    EXPECT_EQ(e.callStack().entries()[0], site(570, 52, 57));
  }
  try {
    (void)hs::gunfold<UUID>([](auto, auto) { return 0; }, [](auto) { return 0; }, c);
    ADD_FAILURE() << "gunfold returned";
  } catch (const hs::ProgramError& e) {
    EXPECT_EQ(e.message(), "gunfold");
    ASSERT_EQ(e.callStack().entries().size(), 1u);
    EXPECT_EQ(e.callStack().entries()[0], site(571, 20, 25));
  }
}

}  // namespace
