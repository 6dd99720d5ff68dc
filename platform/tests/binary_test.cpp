#include "hs/binary.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "testing/binary.hpp"
#include "testing/stacks.hpp"

namespace {

using testing_support::Bytes;
using testing_support::encoded;
using testing_support::PieceSource;
using testing_support::RecordingSink;

template <class T>
T decodedInPieces(const Bytes& b, std::size_t piece) {
  const auto r = testing_support::readInPieces<T>(b, piece);
  EXPECT_TRUE(r.atEnd);
  return r.value.value();
}

TEST(BinaryOutput, AFullBufferIsExchangedBeforeAnythingIsWritten) {
  RecordingSink sink(15);
  hs::binary::Output out(sink.first(), sink);
  out.putWord64be(0x0102030405060708ULL);  // fits: 7 bytes left
  out.putWord64be(0x1112131415161718ULL);  // 7 free: asks for 8 and writes nothing before
  ASSERT_EQ(sink.asks.size(), 1u);
  EXPECT_EQ(sink.asks[0], std::make_pair(std::size_t{8}, std::size_t{8}));
  EXPECT_EQ(sink.buffers[0][8], 0xAA);
  out.putWord32be(0x21222324);  // 7 left in the new buffer
  EXPECT_EQ(sink.asks.size(), 1u);
  const Bytes want{1, 2, 3, 4, 5, 6, 7, 8, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                   0x21, 0x22, 0x23, 0x24};
  EXPECT_EQ(sink.written(out.position()), want);
}

// Hands out a next buffer one byte smaller than asked for.
struct ShortSink : hs::binary::BufferSink {
  Bytes next;
  hs::binary::BufferRange bufferFull(std::size_t minSize, std::uint8_t*) override {
    next.assign(minSize - 1, 0xAA);
    return {next.data(), next.data() + next.size()};
  }
};

TEST(BinaryOutput, AShortNextBufferIsAProgramErrorAndNothingIsWritten) {
  Bytes first(4, 0xAA);
  ShortSink sink;
  hs::binary::Output out({first.data(), first.data() + first.size()}, sink);
  EXPECT_THROW(out.putWord64be(0x0102030405060708ULL), hs::ProgramError);
  EXPECT_EQ(first, Bytes(4, 0xAA));
  EXPECT_EQ(sink.next, Bytes(7, 0xAA));
  EXPECT_EQ(out.position(), first.data());
}

TEST(BinaryOutput, BytesSpanBuffers) {
  RecordingSink sink(4);
  hs::binary::Output out(sink.first(), sink);
  const Bytes data{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  out.putBytes(data.data(), data.size());
  EXPECT_EQ(sink.asks.size(), 1u);
  EXPECT_EQ(sink.asks[0].first, 6u);
  EXPECT_EQ(sink.written(out.position()), data);
}

TEST(Binary, BaseInstanceBytes) {
  using hs::Left, hs::Right;
  using E = hs::Either<std::uint8_t, bool>;
  EXPECT_EQ(encoded(std::int64_t{-2}), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}));
  EXPECT_EQ(encoded(std::uint16_t{0x1234}), (Bytes{0x12, 0x34}));
  EXPECT_EQ(encoded(std::int32_t{-1}), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(encoded(true), (Bytes{1}));
  EXPECT_EQ(encoded(U'a'), (Bytes{0x61}));
  EXPECT_EQ(encoded(U'\u00E9'), (Bytes{0xC3, 0xA9}));
  EXPECT_EQ(encoded(U'\u20AC'), (Bytes{0xE2, 0x82, 0xAC}));
  EXPECT_EQ(encoded(U'\U0001F600'), (Bytes{0xF0, 0x9F, 0x98, 0x80}));
  EXPECT_EQ(encoded(std::string("a\xC3\xA9")), (Bytes{0, 0, 0, 0, 0, 0, 0, 2, 0x61, 0xC3, 0xA9}));
  EXPECT_EQ(encoded(std::vector<std::int16_t>{1, -1}),
            (Bytes{0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0xFF, 0xFF}));
  EXPECT_EQ(encoded(std::vector<bool>{}), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(encoded(std::optional<std::uint8_t>{}), (Bytes{0}));
  EXPECT_EQ(encoded(std::optional<std::uint8_t>{7}), (Bytes{1, 7}));
  EXPECT_EQ(encoded(E(Left(std::uint8_t{9}))), (Bytes{0, 9}));
  EXPECT_EQ(encoded(E(Right(false))), (Bytes{1, 0}));
  EXPECT_EQ(encoded(std::pair<std::uint8_t, hs::Unit>{5, hs::unit}), (Bytes{5}));
  EXPECT_EQ(encoded(std::tuple<bool, std::uint8_t, std::uint8_t>{true, 2, 3}), (Bytes{1, 2, 3}));
  EXPECT_EQ(encoded(hs::ByteString{7, 8}), (Bytes{0, 0, 0, 0, 0, 0, 0, 2, 7, 8}));
}

TEST(Binary, RoundTripsInOneBytePieces) {
  using V = std::tuple<std::int64_t, std::string, std::vector<std::optional<char32_t>>,
                       hs::Either<std::uint32_t, std::pair<bool, std::int8_t>>, hs::ByteString>;
  // The string holds bytes that start no well-formed sequence; they survive too.
  const V v{-123456789, std::string("x\xFFy\xC3\xA9\xED\xA0\x80"),
            {std::nullopt, U'\U0010FFFF', U'\u0800'},
            hs::Right(std::pair<bool, std::int8_t>{true, -5}),
            hs::ByteString{1, 2, 3, 4, 5, 6, 7, 8, 9}};
  for (std::size_t piece : {1u, 3u, 1000u}) EXPECT_EQ(decodedInPieces<V>(encoded(v, 5), piece), v);
}

struct FailureCase {
  const char* name;
  Bytes input;
  std::size_t piece;
  std::string message;
  std::int64_t offset;
  Bytes unread;
};

template <class T>
void expectFailure(const FailureCase& c) {
  SCOPED_TRACE(c.name);
  const auto r = testing_support::readInPieces<T>(c.input, c.piece);
  EXPECT_FALSE(r.value.has_value());
  EXPECT_EQ(r.message, c.message);
  EXPECT_EQ(r.offset, c.offset);
  EXPECT_EQ(r.unread, c.unread);
}

TEST(Binary, FailuresReportTheMessageTheOffsetAndTheUnreadBytes) {
  expectFailure<std::uint64_t>({"short word", {1, 2, 3, 4, 5}, 2, "not enough bytes", 0, {1, 2, 3, 4, 5}});
  expectFailure<std::pair<std::uint32_t, std::uint32_t>>(
      {"second word short", {1, 2, 3, 4, 5, 6}, 4, "not enough bytes", 4, {5, 6}});
  expectFailure<bool>({"bool tag", {2, 9}, 1, "Could not map value 2 to Bool", 1, {}});
  expectFailure<char32_t>({"code point", {0xF7, 0xBF, 0xBF, 0xBF}, 4, "Not a valid Unicode code point!", 4, {}});
  // Hostile counts cost no more than the input that is there.
  expectFailure<std::vector<std::uint64_t>>(
      {"huge count", {0x40, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}, 3, "not enough bytes", 8, {1, 2, 3}});
  expectFailure<hs::ByteString>(
      {"huge length", {0x40, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}, 2, "not enough bytes", 8, {1, 2, 3}});
}

TEST(Binary, NegativeCountsReadAsEmpty) {
  const Bytes minusOne(8, 0xFF);
  EXPECT_TRUE(decodedInPieces<std::vector<std::uint8_t>>(minusOne, 8).empty());
  EXPECT_TRUE(decodedInPieces<hs::ByteString>(minusOne, 8).empty());
}

// An element that takes no input and counts how often it is read. Far past what the runs of a
// test may produce together it throws, so a decoder that believes a forged count fails the test at once instead of
// running (and allocating) for the count.
struct Blank {};
std::int64_t blanksRead = 0;
struct ReadFarTooMany {};

}  // namespace

template <>
struct hs::Binary<Blank> {
  static void put(Blank, binary::Output&) noexcept {}
  static Blank get(binary::Input&) {
    if (++blanksRead > (std::int64_t{1} << 24)) throw ReadFarTooMany{};
    return {};
  }
};

namespace {

Bytes word64(std::uint64_t w) {
  Bytes b(8);
  for (int i = 0; i < 8; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(w >> (56 - 8 * i));
  return b;
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Forged counts of elements that take no input: 2^62 and 10^9 in one count, a count beyond the
// allowance in each of several lists, and lists whose counts share the allowance out.
template <class E>
void expectForgedCountsFail() {
  const std::string tooMany = "too many elements that take no bytes";
  const std::uint64_t allowance = hs::binary::noWidthAllowance / sizeof(E);
  const Bytes huge = word64(std::uint64_t{1} << 62), billion = word64(1000000000);
  expectFailure<std::vector<E>>({"2^62", huge, 3, tooMany, 8, {}});
  expectFailure<std::vector<E>>({"10^9", billion + Bytes{7}, 5, tooMany, 8, {7}});
  expectFailure<std::vector<std::pair<E, E>>>({"pairs", huge, 8, tooMany, 8, {}});
  expectFailure<std::vector<std::vector<E>>>(
      {"nested", word64(2) + huge + huge, 3, tooMany, 16, {0x40, 0}});
  // Half the allowance in each of three lists: the third fails, though each would decode alone.
  Bytes shared = word64(3);
  for (int i = 0; i < 3; ++i) shared = shared + word64(allowance / 2);
  expectFailure<std::vector<std::vector<E>>>({"sharing", shared, 8, tooMany, 32, {}});
  expectFailure<std::tuple<std::vector<E>, std::vector<E>>>(
      {"side by side", word64(allowance) + word64(1), 16, tooMany, 16, {}});
}

TEST(Binary, ForgedCountsOfElementsWithoutBytesFailWithinTheAllowance) {
  blanksRead = 0;
  try {
    expectForgedCountsFail<Blank>();
  } catch (const ReadFarTooMany&) {
    FAIL() << "a forged count was believed: " << blanksRead << " elements read from no input";
  }
  ASSERT_FALSE(HasFailure()) << "(the units are not tried: they would run for the count)";
  expectForgedCountsFail<hs::Unit>();
  // The same forged list cut short after a real element fails for want of bytes as before.
  expectFailure<std::vector<std::uint8_t>>(
      {"backed", word64(std::uint64_t{1} << 62) + Bytes{1, 2}, 1, "not enough bytes", 10, {}});
}

TEST(Binary, ElementsWithoutBytesDecodeUpToTheAllowance) {
  const std::size_t units = hs::binary::noWidthAllowance;
  EXPECT_EQ(decodedInPieces<std::vector<hs::Unit>>(word64(units), 3).size(), units);
  using Nested = std::vector<std::vector<std::pair<hs::Unit, hs::Unit>>>;
  const Nested nested(1000, std::vector<std::pair<hs::Unit, hs::Unit>>(units / 2000));
  EXPECT_EQ(decodedInPieces<Nested>(encoded(nested), 7), nested);
  // One more fails however the bytes arrive, and the failure is a result of the run.
  const auto r = hs::binary::decodeOrFail<std::vector<hs::Unit>>(
      hs::LazyByteString(hs::ByteString(word64(units + 1).data(), 8)));
  ASSERT_TRUE(r.isLeft());
  EXPECT_EQ(r.left().message, "too many elements that take no bytes");
  EXPECT_EQ(r.left().offset, 8);
}

TEST(BinaryInput, ReadsInPlaceAndAsksForMoreOnlyWhenNeeded) {
  PieceSource src(Bytes{9, 10, 11, 12}, 2);
  hs::binary::Input in(hs::ByteString{1, 2, 3, 4, 5, 6, 7, 8, 0}, &src);
  const std::uint8_t* before = in.position();
  std::uint8_t scratch[8];
  EXPECT_EQ(in.readN(8, scratch), before);  // in place
  EXPECT_EQ(src.asked, 0);
  EXPECT_EQ(in.getWord32be(), 0x00090A0Bu);  // gathered over three chunks
  EXPECT_EQ(src.asked, 2);
  EXPECT_EQ(in.bytesRead(), 12);
  EXPECT_FALSE(in.isEmpty());
  EXPECT_EQ(in.getWord8(), 12);
  EXPECT_TRUE(in.isEmpty());
  EXPECT_EQ(src.asked, 3);
  EXPECT_TRUE(in.isEmpty());
  EXPECT_EQ(src.asked, 3);  // the end is final
}

}  // namespace

// A value whose namespace has its own Left and Right, greedy enough to tie with the platform's.
namespace namesakes {
struct Tag {
  std::uint8_t v;
  friend bool operator==(Tag, Tag) = default;
};
template <class T>
int Left(T&&) {
  return 0;
}
template <class T>
int Right(T&&) {
  return 0;
}
}  // namespace namesakes

template <>
struct hs::Binary<namesakes::Tag> {
  static void put(namesakes::Tag t, binary::Output& out) { out.putWord8(t.v); }
  static namesakes::Tag get(binary::Input& in) { return {in.getWord8()}; }
};

namespace {

TEST(Binary, NamesakesInTheValuesNamespaceChangeNothing) {
  using E = hs::Either<namesakes::Tag, namesakes::Tag>;
  const E left = hs::Left(namesakes::Tag{7}), right = hs::Right(namesakes::Tag{8});
  EXPECT_EQ(decodedInPieces<E>(Bytes{0, 7}, 1), left);
  EXPECT_EQ(decodedInPieces<E>(Bytes{1, 8}, 1), right);
  const auto r = hs::binary::decodeOrFail<namesakes::Tag>(hs::LazyByteString(hs::ByteString{5}));
  ASSERT_TRUE(r.isRight());
  EXPECT_EQ(r.right().value.v, 5);
}

// Users' recursive types whose instances write and read their parts through the front doors:
// a link holds the next one itself, a nest holds a list of nests (one here). Their destructors
// walk the chain in a loop: only the serialised form's recursion is under test.
struct Link {
  std::int64_t value = 0;
  std::unique_ptr<Link> next;

  Link() = default;
  Link(Link&&) = default;
  Link& operator=(Link&&) = default;
  ~Link() {
    for (std::unique_ptr<Link> rest = std::move(next); rest;) rest = std::move(rest->next);
  }
  static Link chain(std::int64_t n) {
    Link head;
    Link* last = &head;
    for (std::int64_t i = 1; i < n; ++i) {
      last->next = std::make_unique<Link>();
      last = last->next.get();
      last->value = i;
    }
    return head;
  }
  // The values in order.
  std::vector<std::int64_t> values() const {
    std::vector<std::int64_t> out;
    for (const Link* l = this; l != nullptr; l = l->next.get()) out.push_back(l->value);
    return out;
  }
};
struct Nest {
  std::int64_t value = 0;
  std::vector<Nest> kids;

  Nest() = default;
  Nest(Nest&&) = default;
  Nest& operator=(Nest&&) = default;
  ~Nest() {
    std::vector<Nest> pending = std::move(kids);
    while (!pending.empty()) {
      Nest n = std::move(pending.back());
      pending.pop_back();
      for (Nest& k : n.kids) pending.push_back(std::move(k));
      n.kids.clear();
    }
  }
  static Nest chain(std::int64_t n) {
    Nest head;
    Nest* last = &head;
    for (std::int64_t i = 1; i < n; ++i) {
      last->kids.emplace_back();
      last = &last->kids.back();
      last->value = i;
    }
    return head;
  }
  std::vector<std::int64_t> values() const {
    std::vector<std::int64_t> out;
    for (const Nest* l = this;; l = &l->kids.front()) {
      out.push_back(l->value);
      if (l->kids.empty()) return out;
    }
  }
};

}  // namespace

template <>
struct hs::Binary<Link> {
  static void put(const Link& l, binary::Output& out) {
    hs::put(l.value, out);
    hs::put(l.next != nullptr, out);
    if (l.next) hs::put(*l.next, out);
  }
  static Link get(binary::Input& in) {
    Link l;
    l.value = hs::get<std::int64_t>(in);
    if (hs::get<bool>(in)) l.next = std::make_unique<Link>(hs::get<Link>(in));
    return l;
  }
};
template <>
struct hs::Binary<Nest> {
  static void put(const Nest& n, binary::Output& out) {
    hs::put(n.value, out);
    hs::putList(n.kids, out);
  }
  static Nest get(binary::Input& in) {
    Nest n;
    n.value = hs::get<std::int64_t>(in);
    n.kids = hs::get<std::vector<Nest>>(in);
    return n;
  }
};

namespace {

// A chain of n values, written and read back on a small thread stack, through the runners and
// through the front doors with the input in pieces.
template <class Chain>
void expectDeepChainRoundTrips(std::int64_t n, std::size_t bytesPerLevel) {
  testing_support::onThreadStack(256 * 1024, [&] {
    const Chain chain = Chain::chain(n);
    const std::vector<std::int64_t> values = chain.values();
    const hs::LazyByteString out = hs::binary::encode(chain);
    EXPECT_EQ(out.length(), static_cast<std::int64_t>(bytesPerLevel) * n);
    const auto decoded = hs::binary::decodeOrFail<Chain>(out);
    ASSERT_TRUE(decoded.isRight());
    EXPECT_EQ(decoded.right().value.values(), values);
    const Bytes bytes = encoded(chain, 4096);
    EXPECT_EQ(bytes, out.unpack());
    const auto inPieces = testing_support::readInPieces<Chain>(bytes, 1000);
    ASSERT_TRUE(inPieces.value.has_value()) << inPieces.message;
    EXPECT_EQ(inPieces.value->values(), values);
  });
}

TEST(Binary, UsersRecursiveTypesNestAtAnyDepth) {
  const std::int64_t n = testing_support::fullDepth ? 300000 : 100000;
  expectDeepChainRoundTrips<Link>(n, 8 + 1);
  expectDeepChainRoundTrips<Nest>(n, 8 + 8);
}

TEST(BinaryRun, EncodeCollectsChunksAndDecodeReadsThemBack) {
  std::vector<std::string> words;
  for (int i = 0; i < 3000; ++i) words.push_back("word " + std::to_string(i));
  const hs::LazyByteString out = hs::binary::encode(words);
  EXPECT_GT(out.toChunks().toVector().size(), 3u);  // output spans several buffers
  EXPECT_EQ(out.unpack(), encoded(words));
  EXPECT_EQ(hs::binary::decode<std::vector<std::string>>(out), words);
  EXPECT_EQ(hs::binary::encode(std::uint16_t{0x0102}).toStrict(), (hs::ByteString{1, 2}));
  EXPECT_TRUE(hs::binary::encode(hs::unit).null());
}

TEST(BinaryRun, OutcomesCarryTheRestAndTheOffset) {
  const auto in = hs::LazyByteString::fromChunks(
      hs::List<hs::ByteString>{hs::ByteString{0, 0, 0}, hs::ByteString{5, 6, 7}});
  const auto ok = hs::binary::decodeOrFail<std::uint32_t>(in);
  ASSERT_TRUE(ok.isRight());
  EXPECT_EQ(ok.right().value, 5u);
  EXPECT_EQ(ok.right().offset, 4);
  EXPECT_EQ(ok.right().rest.unpack(), (Bytes{6, 7}));  // the rest of the second chunk
  // A type's own failure leaves the unread chunk and the chunks never asked for.
  const auto bad = hs::binary::decodeOrFail<std::pair<std::uint16_t, bool>>(
      hs::LazyByteString::fromChunks(hs::List<hs::ByteString>{hs::ByteString{1, 2, 3, 4}, hs::ByteString{9}}));
  ASSERT_TRUE(bad.isLeft());
  EXPECT_EQ(bad.left().message, "Could not map value 3 to Bool");
  EXPECT_EQ(bad.left().offset, 3);
  EXPECT_EQ(bad.left().rest.unpack(), (Bytes{4, 9}));
  try {
    (void)hs::binary::decode<std::uint64_t>(in);
    ADD_FAILURE() << "decoded";
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), "Data.Binary.Get.runGet at position 0: not enough bytes");
  }
}

}  // namespace
