/// \defgroup hs_binary hs/binary.hpp
/// \ingroup hsplatform
/// The serialised form: values written as big-endian bytes into output buffers and read back from
/// chunked input, in the layout of the platform's binary library. A type joins through the Binary
/// trait.
///
/// Output: an Output writes into the current buffer range. When a write needs more bytes than are
/// free, it asks its BufferSink for the next buffer (the buffer-full exchange: the size the write
/// needs and the position up to which the current buffer is filled); the write then goes to the
/// start of the new buffer, which holds at least the size asked for. Encoding is eager: a writer
/// runs to the end when it is called.
///
/// Input: an Input reads from its current chunk in place and asks its ChunkSource for the next
/// chunk when a read needs more bytes than the chunk holds. A read that runs out of input, or a
/// `fail` of the type's own, throws DecoderFailure; the runners turn it into a result that carries
/// the message, the number of bytes consumed and the unread rest of the input. A decoder believes
/// a count only as far as the input backs it: nothing is reserved ahead of the elements read.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/bytes.hpp"
#include "hs/either.hpp"
#include "hs/error.hpp"
#include "hs/internal/instance.hpp"
#include "hs/lazy.hpp"
#include "hs/stack.hpp"
#include "hs/unit.hpp"

namespace hs {
/// \addtogroup hs_binary
/// @{

/// A decoder's failure: the input does not hold a value of the type read.
class DecoderFailure : public std::exception {
 public:
  /// The failure with its message.
  explicit DecoderFailure(std::string message) : message_(std::move(message)) {}
  /// @{
  /// The message.
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }
  [[nodiscard]] const std::string& message() const noexcept { return message_; }
  /// @}

 private:
  std::string message_;
};

/// The writers and readers of the serialised form and the runners over lazy byte strings.
namespace binary {
/// \addtogroup hs_binary
/// @{

/// The memory that elements taking no bytes (hs::Unit, pairs of units, a user's empty types) may
/// fill in one decoding run. Their count is backed by no input at all, so it is believed only this
/// far: a list of them that would need more fails ("too many elements that take no bytes") rather
/// than run, and allocate, for its count. A count of 2^62 units is the encoding of a list that no
/// memory can hold; a fixed allowance, not one that grows with the input read, keeps a decoded
/// value decodable after encoding it again (its encoding may be shorter). 1 MiB: a million units.
inline constexpr std::size_t noWidthAllowance = std::size_t{1} << 20;

// ---------------------------------------------------------------------------------------------
// Output

/// The free bytes of an output buffer: from `next` up to `end`.
struct BufferRange {
  std::uint8_t* next = nullptr;  ///< The first free byte.
  std::uint8_t* end = nullptr;   ///< One past the last.
};

/// Where an Output's buffers come from and where its filled ones go.
class BufferSink {
 public:
  /// The buffer is full up to `filled`; the result is the next buffer, with at least `minSize`
  /// free bytes (an Output given fewer raises a program error). Called only when a write needs
  /// more than is free, so its calls are the output's buffer-full signals.
  virtual BufferRange bufferFull(std::size_t minSize, std::uint8_t* filled) = 0;

 protected:
  ~BufferSink() = default;
};

namespace detail {
inline void storeBE64(std::uint8_t* p, std::uint64_t w) noexcept {
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
  std::memcpy(p, &w, 8);
}
inline void storeBE32(std::uint8_t* p, std::uint32_t w) noexcept {
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
  std::memcpy(p, &w, 4);
}
inline void storeBE16(std::uint8_t* p, std::uint16_t w) noexcept {
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap16(w);
  std::memcpy(p, &w, 2);
}
[[nodiscard]] inline std::uint64_t loadBE64(const std::uint8_t* p) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
  return w;
}
[[nodiscard]] inline std::uint32_t loadBE32(const std::uint8_t* p) noexcept {
  std::uint32_t w;
  std::memcpy(&w, p, 4);
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
  return w;
}
[[nodiscard]] inline std::uint16_t loadBE16(const std::uint8_t* p) noexcept {
  std::uint16_t w;
  std::memcpy(&w, p, 2);
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap16(w);
  return w;
}
}  // namespace detail

/// Writes bytes into the current buffer, and asks its sink for the next one when a write needs
/// more than is free. Each write takes constant time (putBytes: linear) and allocates nothing of
/// its own; the sink's exchange may.
class Output {
 public:
  /// Output into r, with the next buffers from sink (which must outlive it).
  Output(BufferRange r, BufferSink& sink) noexcept : next_(r.next), end_(r.end), sink_(&sink) {}
  /// @{
  /// Not copyable: one writer per position in the sink's buffers.
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  /// @}

  /// Where the next byte goes.
  [[nodiscard]] std::uint8_t* position() const noexcept { return next_; }
  /// The free bytes left in the current buffer.
  [[nodiscard]] std::size_t available() const noexcept { return static_cast<std::size_t>(end_ - next_); }

  /// Room for n contiguous bytes at the position, after a buffer-full exchange when fewer are
  /// free. Write them, then advance(n).
  std::uint8_t* reserve(std::size_t n) {
    if (n > available()) exchange(n);
    return next_;
  }
  /// Moves the position past n written bytes (which reserve made room for).
  void advance(std::size_t n) noexcept { next_ += n; }

  /// @{
  /// The word at its width, big-endian.
  void putWord8(std::uint8_t w) {
    *reserve(1) = w;
    advance(1);
  }
  void putWord16be(std::uint16_t w) {
    detail::storeBE16(reserve(2), w);
    advance(2);
  }
  void putWord32be(std::uint32_t w) {
    detail::storeBE32(reserve(4), w);
    advance(4);
  }
  void putWord64be(std::uint64_t w) {
    detail::storeBE64(reserve(8), w);
    advance(8);
  }
  void putInt64be(std::int64_t i) { putWord64be(static_cast<std::uint64_t>(i)); }
  /// @}
  /// n bytes copied from p: what fits into the current buffer, the rest after one exchange.
  void putBytes(const void* p, std::size_t n);

 private:
  void exchange(std::size_t n);

  std::uint8_t* next_;
  std::uint8_t* end_;
  BufferSink* sink_;
};

// ---------------------------------------------------------------------------------------------
// Input

/// Where an Input's chunks come from.
class ChunkSource {
 public:
  /// The next chunk of input, or nothing at the end of the input (after which it is not asked
  /// again). Empty chunks are skipped.
  virtual std::optional<ByteString> more() = 0;

 protected:
  ~ChunkSource() = default;
};

/// Reads bytes from the current chunk in place and asks its source for the next chunk when a read
/// needs more. A read that runs out of input throws DecoderFailure "not enough bytes". Reads take
/// constant time (getByteString: linear) and allocate nothing but the values they return.
class Input {
 public:
  /// Input that starts with `first` and continues with the chunks of `rest` (none: first is all),
  /// which must outlive it.
  explicit Input(ByteString first, ChunkSource* rest = nullptr) noexcept
      : chunk_(std::move(first)), at_(chunk_.data()), end_(at_ + chunk_.size()), source_(rest) {}
  /// @{
  /// Not copyable: it points into the chunk it holds.
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  /// @}

  /// The first unread byte of the current chunk.
  [[nodiscard]] const std::uint8_t* position() const noexcept { return at_; }
  /// The unread bytes of the current chunk.
  [[nodiscard]] std::size_t available() const noexcept { return static_cast<std::size_t>(end_ - at_); }
  /// The number of bytes consumed so far.
  [[nodiscard]] std::int64_t bytesRead() const noexcept {
    return consumedBefore_ + static_cast<std::int64_t>(at_ - chunk_.data());
  }
  /// The unread part of the current chunk (the rest is still with the source); shares the chunk.
  [[nodiscard]] ByteString unreadChunk() const noexcept {
    return chunk_.drop(static_cast<std::size_t>(at_ - chunk_.data()));
  }

  /// The next n bytes, consumed: in place when the current chunk holds them, otherwise gathered
  /// across chunks into scratch (at least n bytes). Throws "not enough bytes" when the input ends
  /// first; the bytes gathered so far are then the unread input.
  const std::uint8_t* readN(std::size_t n, std::uint8_t* scratch) {
    if (n <= available()) {
      const std::uint8_t* p = at_;
      at_ += n;
      return p;
    }
    gather(n, scratch);
    return scratch;
  }

  /// @{
  /// The next word at its width, big-endian.
  std::uint8_t getWord8() {
    std::uint8_t s[1];
    return *readN(1, s);
  }
  std::uint16_t getWord16be() {
    std::uint8_t s[2];
    return detail::loadBE16(readN(2, s));
  }
  std::uint32_t getWord32be() {
    std::uint8_t s[4];
    return detail::loadBE32(readN(4, s));
  }
  std::uint64_t getWord64be() {
    std::uint8_t s[8];
    return detail::loadBE64(readN(8, s));
  }
  std::int64_t getInt64be() { return static_cast<std::int64_t>(getWord64be()); }
  /// @}
  /// n bytes as a byte string: shared with the input when one chunk holds them, else the pieces
  /// kept as they arrive and joined once (so a hostile n costs no more than the input there is).
  ByteString getByteString(std::size_t n);
  /// True when no input is left (asks the source for more when the current chunk is used up).
  [[nodiscard]] bool isEmpty();

  /// Fails the decoding with a message (throws DecoderFailure).
  [[noreturn]] void fail(std::string message) const { throw DecoderFailure(std::move(message)); }
  /// Charges an element that took no bytes, and holds `size` bytes, to the run's allowance
  /// (noWidthAllowance); fails when that is spent.
  void chargeNoWidth(std::size_t size) {
    if (size > noWidthLeft_) fail("too many elements that take no bytes");
    noWidthLeft_ -= size;
  }

 private:
  void gather(std::size_t n, std::uint8_t* scratch);
  bool nextChunk();
  [[noreturn]] void notEnough(std::int64_t readBefore, ByteString unread);

  ByteString chunk_;
  const std::uint8_t* at_;
  const std::uint8_t* end_;
  std::int64_t consumedBefore_ = 0;
  ChunkSource* source_;
  std::size_t noWidthLeft_ = noWidthAllowance;
};

/// @}
}  // namespace binary

// ---------------------------------------------------------------------------------------------
/// The serialised form of T: specialise with `static void put(const T&, binary::Output&)` and
/// `static T get(binary::Input&)` (which fails with DecoderFailure, by Input::fail or a read that
/// runs out), and, where a list of T has its own form,
/// `static void putList(const std::vector<T>&, binary::Output&)`.
template <class T, class Enable = void>
struct Binary;

/// A type with a Binary instance.
template <class T>
concept BinaryType = requires(const T& x, binary::Output& out, binary::Input& in) {
  Binary<T>::put(x, out);
  { Binary<T>::get(in) } -> std::convertible_to<T>;
};

namespace detail {
// Whether T has a Binary instance; where it has none, the build stops at this one message.
template <class T>
constexpr bool requireBinary() {
  static_assert(hasInstance<Binary<T>>,
                "this type has no serialised form: specialise hs::Binary<T> with "
                "static void put(const T&, hs::binary::Output&) and "
                "static T get(hs::binary::Input&) (an example: hs::Binary<std::pair<A, B>> in "
                "platform/include/hs/binary.hpp)");
  return hasInstance<Binary<T>>;
}
}  // namespace detail

/// Writes x, by T's Binary instance (a type without one stops the build at one message naming
/// hs::Binary). Values nest through here (a type's put calls it for its parts), so for a type that
/// may nest it is a recursive point of the stack helper.
template <class T>
void put(const T& x, binary::Output& out) {
  if constexpr (!detail::requireBinary<T>())
    return;
  else if constexpr (hs::mayNest<T>)
    hs::withStack([&] { Binary<T>::put(x, out); });
  else
    Binary<T>::put(x, out);
}
/// Reads a T, by its Binary instance (a type without one stops the build at one message naming
/// hs::Binary); throws DecoderFailure where the input holds none. Values nest through here (a
/// type's get calls it for its parts), so for a type that may nest it is a recursive point of the
/// stack helper.
template <class T>
T get(binary::Input& in) {
  if constexpr (!detail::requireBinary<T>())
    in.fail("no serialised form");  // not built: the build stops at requireBinary's message
  else if constexpr (hs::mayNest<T>)
    return hs::withStack([&] { return Binary<T>::get(in); });
  else
    return Binary<T>::get(in);
}

namespace binary {
/// \addtogroup hs_binary
/// @{

/// The default list form: the count as an 8-byte big-endian Int, then every element.
template <class T>
void defaultPutList(const std::vector<T>& xs, Output& out) {
  out.putInt64be(static_cast<std::int64_t>(xs.size()));
  for (const T& x : xs) hs::put(x, out);
}
/// n elements read one after the other (none when n is not positive). Nothing is reserved ahead,
/// so a hostile count costs no more than the input that is actually there; elements that take no
/// bytes are charged to the run's allowance instead (Input::chargeNoWidth).
template <class T>
std::vector<T> getMany(std::int64_t n, Input& in) {
  std::vector<T> xs;
  for (std::int64_t i = 0; i < n; ++i) {
    const std::int64_t before = in.bytesRead();
    xs.push_back(hs::get<T>(in));
    if (in.bytesRead() == before) in.chargeNoWidth(sizeof(T));
  }
  return xs;
}

/// @}
}  // namespace binary

/// Writes the list form of xs: the element type's own putList where it has one (a recursive point
/// of the stack helper, as put is), else the default list form.
template <class T>
void putList(const std::vector<T>& xs, binary::Output& out) {
  if constexpr (requires { Binary<T>::putList(xs, out); })
    hs::withStack([&] { Binary<T>::putList(xs, out); });
  else
    binary::defaultPutList(xs, out);
}

// ---------------------------------------------------------------------------------------------
// Base instances

/// Machine integers: their width, big-endian, two's complement.
template <class T>
struct Binary<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                  !std::is_same_v<T, char> && !std::is_same_v<T, char32_t> &&
                                  !std::is_same_v<T, wchar_t> && !std::is_same_v<T, char8_t> &&
                                  !std::is_same_v<T, char16_t>>> {
  /// \privatesection
  using U = std::make_unsigned_t<T>;
  static void put(T x, binary::Output& out) {
    const auto u = static_cast<U>(x);
    if constexpr (sizeof(T) == 1)
      out.putWord8(static_cast<std::uint8_t>(u));
    else if constexpr (sizeof(T) == 2)
      out.putWord16be(static_cast<std::uint16_t>(u));
    else if constexpr (sizeof(T) == 4)
      out.putWord32be(static_cast<std::uint32_t>(u));
    else
      out.putWord64be(static_cast<std::uint64_t>(u));
  }
  static T get(binary::Input& in) {
    if constexpr (sizeof(T) == 1)
      return static_cast<T>(in.getWord8());
    else if constexpr (sizeof(T) == 2)
      return static_cast<T>(in.getWord16be());
    else if constexpr (sizeof(T) == 4)
      return static_cast<T>(in.getWord32be());
    else
      return static_cast<T>(in.getWord64be());
  }
};

/// One byte, 0 or 1; any other byte fails "Could not map value N to Bool".
template <>
struct Binary<bool> {
  /// \privatesection
  static void put(bool b, binary::Output& out) { out.putWord8(b ? 1 : 0); }
  static bool get(binary::Input& in);
};

/// The code point in one to four bytes in the UTF-8 layout, surrogates too; the lead byte says
/// how many follow and continuation bytes are taken as they are. Writing a code point above
/// U+10FFFF is a program error, reading one fails "Not a valid Unicode code point!".
template <>
struct Binary<char32_t> {
  /// \privatesection
  static void put(char32_t c, binary::Output& out);
  static char32_t get(binary::Input& in);
};

/// UTF-8 text as a list of Char: the count of characters, then each character. The characters
/// are those decodeUtf8 finds (a byte that starts no character is U+DC00 + byte), so every
/// std::string round-trips; writing decodes the text twice (to count, then to write). Reading
/// fails "characters U+DC80..U+DCFF that join into another character" where they would spell
/// another character in a std::string, rather than change them.
template <>
struct Binary<std::string> {
  /// \privatesection
  static void put(const std::string& s, binary::Output& out);
  static std::string get(binary::Input& in);
};

/// No bytes.
template <>
struct Binary<Unit> {
  /// \privatesection
  static void put(Unit, binary::Output&) noexcept {}
  static Unit get(binary::Input&) noexcept { return unit; }
};

/// The element type's list form; read back as the 8-byte count, then the elements (binary::getMany:
/// nothing reserved ahead, a count below 1 the empty list).
template <class A>
struct Binary<std::vector<A>> {
  /// \privatesection
  static void put(const std::vector<A>& xs, binary::Output& out) { hs::putList(xs, out); }
  static std::vector<A> get(binary::Input& in) {
    const std::int64_t n = in.getInt64be();
    return binary::getMany<A>(n, in);
  }
};

/// A tag byte (0 absent, 1 present), then the value; any tag but 0 reads as present.
template <class A>
struct Binary<std::optional<A>> {
  /// \privatesection
  static void put(const std::optional<A>& x, binary::Output& out) {
    if (!x) {
      out.putWord8(0);
      return;
    }
    out.putWord8(1);
    hs::put(*x, out);
  }
  static std::optional<A> get(binary::Input& in) {
    if (in.getWord8() == 0) return std::nullopt;
    return std::optional<A>(hs::get<A>(in));
  }
};

/// A tag byte (0 Left, 1 Right), then the payload; any tag but 0 reads as Right.
template <class A, class B>
struct Binary<Either<A, B>> {
  /// \privatesection
  static void put(const Either<A, B>& e, binary::Output& out) {
    if (e.isLeft()) {
      out.putWord8(0);
      hs::put(e.left(), out);
    } else {
      out.putWord8(1);
      hs::put(e.right(), out);
    }
  }
  static Either<A, B> get(binary::Input& in) {
    if (in.getWord8() == 0) return hs::Left(hs::get<A>(in));
    return hs::Right(hs::get<B>(in));
  }
};

/// The components in order.
template <class A, class B>
struct Binary<std::pair<A, B>> {
  /// \privatesection
  static void put(const std::pair<A, B>& p, binary::Output& out) {
    hs::put(p.first, out);
    hs::put(p.second, out);
  }
  static std::pair<A, B> get(binary::Input& in) {
    A a = hs::get<A>(in);
    B b = hs::get<B>(in);
    return {std::move(a), std::move(b)};
  }
};
/// The components in order.
template <class... A>
struct Binary<std::tuple<A...>> {
  /// \privatesection
  static void put(const std::tuple<A...>& t, binary::Output& out) {
    std::apply([&](const A&... a) { (hs::put(a, out), ...); }, t);
  }
  static std::tuple<A...> get(binary::Input& in) {
    // Braced initialisation reads the components left to right.
    return std::tuple<A...>{hs::get<A>(in)...};
  }
};

/// A deferred value is written as its value (forcing the cell) and read back into a new evaluated
/// cell.
template <class A>
struct Binary<Lazy<A>> {
  /// \privatesection
  static void put(const Lazy<A>& x, binary::Output& out) { hs::put(x.force(), out); }
  static Lazy<A> get(binary::Input& in) { return Lazy<A>(hs::get<A>(in)); }
};

/// The length as an 8-byte Int, then the bytes; read back sharing the input's chunk where one
/// holds them (a length below 1 reads as the empty string).
template <>
struct Binary<ByteString> {
  /// \privatesection
  static void put(const ByteString& s, binary::Output& out) {
    out.putInt64be(static_cast<std::int64_t>(s.size()));
    out.putBytes(s.data(), s.size());
  }
  static ByteString get(binary::Input& in);
};


// ---------------------------------------------------------------------------------------------
// Running writers and readers over lazy byte strings

namespace binary {
/// \addtogroup hs_binary
/// @{

/// Collects output in chunks: buffers of 256 bytes first, then twice as many each time up to
/// 32 KiB (or the size a write needs). A filled part becomes the chunk with its buffer, unless it
/// is short (40 bytes or fewer) or under half its buffer: then it is copied and the buffer used
/// again.
class ChunkCollector : public BufferSink {
 public:
  /// A collector with no buffer yet.
  ChunkCollector() = default;
  /// @{
  /// Not copyable: it owns the buffer it fills.
  ChunkCollector(const ChunkCollector&) = delete;
  ChunkCollector& operator=(const ChunkCollector&) = delete;
  /// @}
  /// Frees the buffer it holds.
  ~ChunkCollector();

  /// The first buffer (256 bytes), for the Output.
  [[nodiscard]] BufferRange first();
  /// Keeps the filled part as a chunk and gives the next buffer.
  BufferRange bufferFull(std::size_t minSize, std::uint8_t* filled) override;
  /// The chunks, given the position the output reached in the last buffer; one list cell each.
  LazyByteString finish(std::uint8_t* filled);

 private:
  BufferRange fresh(std::size_t minSize);
  void keep(std::uint8_t* filled);

  std::vector<ByteString> chunks_;
  hs::detail::ByteBuffer* buf_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t next_ = 256;
};

/// The output of f(Output&), as a lazy byte string: f runs now, to the end, and the chunks are
/// collected by a ChunkCollector.
template <class F>
[[nodiscard]] LazyByteString runPut(F&& f) {
  ChunkCollector collector;
  Output out(collector.first(), collector);
  std::forward<F>(f)(out);
  return collector.finish(out.position());
}
/// The serialised form of x, by T's Binary instance (runPut of its put; a type without one stops
/// the build at one message naming hs::Binary).
template <class T>
[[nodiscard]] LazyByteString encode(const T& x) {
  return binary::runPut([&](Output& out) {
    if constexpr (hs::detail::requireBinary<T>()) Binary<T>::put(x, out);
  });
}

/// The chunks of a list, one at a time: each is produced when the Input first asks for it.
class ListSource : public ChunkSource {
 public:
  /// The source of the chunks (not forced).
  explicit ListSource(List<ByteString> chunks) : rest_(std::move(chunks)) {}
  /// The next chunk; forces one list cell.
  std::optional<ByteString> more() override {
    auto next = rest_.uncons();
    if (!next) return std::nullopt;
    rest_ = std::move(next->second);
    return std::move(next->first);
  }
  /// The chunks not asked for yet.
  [[nodiscard]] const List<ByteString>& rest() const noexcept { return rest_; }

 private:
  List<ByteString> rest_;
};

/// A failed run: the unread rest of the input, the bytes consumed, and the failure's message.
struct Failed {
  LazyByteString rest;  ///< The unread input (for a read that ran out, from where it started).
  std::int64_t offset;  ///< The bytes consumed (the offset of a read that ran out).
  std::string message;  ///< What failed.
};
/// A successful run: the unread rest of the input, the bytes consumed, and the value.
template <class T>
struct Decoded {
  LazyByteString rest;  ///< The input after the value.
  std::int64_t offset;  ///< The bytes the value took.
  T value;              ///< The value.
};

/// get(Input&) run over the input, whose chunks are produced only as far as the decoder reads.
/// Nothing but the result leaves it: a DecoderFailure is a failed result with its message, and so
/// is running out of memory ("out of memory", at the offset reached; the message fits in the
/// string's own storage). Only when the failed result cannot be built either does std::bad_alloc
/// propagate. Other exceptions of a type's own get propagate.
template <class G>
[[nodiscard]] auto runGetOrFail(G&& get, const LazyByteString& input)
    -> Either<Failed, Decoded<std::remove_cvref_t<std::invoke_result_t<G&, Input&>>>> {
  using T = std::remove_cvref_t<std::invoke_result_t<G&, Input&>>;
  ListSource source(input.toChunks());
  Input in(ByteString(), &source);
  const auto rest = [&] {
    return LazyByteString::chunk(in.unreadChunk(), LazyByteString::fromChunks(source.rest()));
  };
  std::optional<T> value;
  try {
    try {
      value.emplace(get(in));
    } catch (const DecoderFailure& f) {
      return hs::Left(Failed{rest(), in.bytesRead(), f.message()});
    }
    return hs::Right(Decoded<T>{rest(), in.bytesRead(), std::move(*value)});
  } catch (const std::bad_alloc&) {
    return hs::Left(Failed{rest(), in.bytesRead(), "out of memory"});
  }
}
/// T's decoder run over the input, as runGetOrFail runs it (a type without a Binary instance
/// stops the build at one message naming hs::Binary).
template <class T>
[[nodiscard]] Either<Failed, Decoded<T>> decodeOrFail(const LazyByteString& input) {
  return binary::runGetOrFail(
      [](Input& in) -> T {
        if constexpr (!hs::detail::requireBinary<T>())
          in.fail("no serialised form");  // not built: the build stops at requireBinary's message
        else
          return Binary<T>::get(in);
      },
      input);
}
/// The value; a program error ("Data.Binary.Get.runGet at position N: message", without a call
/// stack) when the input does not hold one. Input after the value is ignored.
template <class T>
[[nodiscard]] T decode(const LazyByteString& input) {
  auto r = binary::decodeOrFail<T>(input);
  if (r.isLeft())
    hs::errorWithoutStackTrace("Data.Binary.Get.runGet at position " +
                           std::to_string(r.left().offset) + ": " + r.left().message);
  return std::move(r.right().value);
}

/// @}
}  // namespace binary

/// @}
}  // namespace hs
