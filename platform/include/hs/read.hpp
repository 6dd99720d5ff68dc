/// \defgroup hs_read hs/read.hpp
/// \ingroup hsplatform
/// Reading text forms back: a backtracking reader over the Haskell lexeme syntax that yields every
/// parse together with the rest of the input, its combinators (hs::readprec), the base library's
/// Read instances on top of it, and the lifted forms for one- and two-parameter types.
///
/// Readers never throw on bad text: no parse is an empty result (hs::read alone raises a program
/// error). Parses are computed when the reader is called, all of them, and each rest views the
/// input, so the input must outlive the result. Readers of nested values call each other through
/// ReadPrec's call, a recursive point of the stack helper, so any depth reads while memory lasts;
/// bracket readers find a run of opening brackets first and never nest per bracket.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/error.hpp"
#include "hs/internal/instance.hpp"
#include "hs/lazy.hpp"
#include "hs/show.hpp"
#include "hs/stack.hpp"
#include "hs/unit.hpp"

namespace hs {
/// \addtogroup hs_read
/// @{

/// Every parse and the rest of the input after it. The rests view the input text, so the input
/// must outlive the result.
template <class T>
using ReadResult = std::vector<std::pair<T, std::string_view>>;

/// A reader that ignores precedence.
template <class T>
using ReadS = std::function<ReadResult<T>(std::string_view)>;

// ---------------------------------------------------------------------------------------------
// Lexemes

/// White space as the base library's isSpace tests it (code points, not bytes).
[[nodiscard]] bool isSpace(char32_t c) noexcept;
/// s without its leading white space; linear in the white space.
[[nodiscard]] std::string_view skipSpaces(std::string_view s) noexcept;

/// A numeric literal: decimal digits with optional fraction and exponent, or an octal (0o) or
/// hexadecimal (0x) integer.
struct Number {
  int base = 10;                         ///< 8, 10 or 16.
  std::string digits;                    ///< The integer digits (hexadecimal ones in lower case).
  std::optional<std::string> fraction;   ///< The digits after '.', decimal only.
  std::optional<std::int64_t> exponent;  ///< Decimal only; saturated far beyond any useful range.
  /// The same base, digits, fraction and exponent.
  friend bool operator==(const Number&, const Number&) = default;
};

/// The value of an integral literal (no fraction, no exponent) modulo 2^64; absent otherwise.
/// Linear in the digits.
[[nodiscard]] std::optional<std::uint64_t> numberToWord(const Number& n);
/// The value correctly rounded to the nearest double: too large is infinity, too small zero, also
/// for exponents beyond any range. Linear in the digits; a decimal literal is copied once for the
/// conversion.
[[nodiscard]] double numberToDouble(const Number& n);
/// The value correctly rounded to the nearest float, as numberToDouble rounds to double.
[[nodiscard]] float numberToFloat(const Number& n);

/// One lexeme of the Haskell syntax, as the base library's lexer gives it.
struct Lexeme {
  /// What the lexeme is.
  enum class Kind : std::uint8_t {
    Char,    ///< A character literal.
    String,  ///< A string literal.
    Punc,    ///< Punctuation, or a reserved operator (`..`, `::`, `=`, `->`, ...).
    Ident,   ///< An identifier.
    Symbol,  ///< An operator symbol.
    Number,  ///< A numeric literal.
    Eof      ///< The end of the input.
  };

  Kind kind = Kind::Eof;   ///< What it is.
  char32_t character = 0;  ///< A Char's character.
  std::u32string string;   ///< A String's characters, as code points.
  std::string text;        ///< A Punc's, Ident's or Symbol's text (UTF-8).
  hs::Number number;       ///< A Number's literal.

  /// @{
  /// The lexeme of that kind.
  [[nodiscard]] static Lexeme Char(char32_t c) {
    Lexeme l;
    l.kind = Kind::Char;
    l.character = c;
    return l;
  }
  [[nodiscard]] static Lexeme String(std::u32string s) {
    Lexeme l;
    l.kind = Kind::String;
    l.string = std::move(s);
    return l;
  }
  [[nodiscard]] static Lexeme Punc(std::string s) { return named(Kind::Punc, std::move(s)); }
  [[nodiscard]] static Lexeme Ident(std::string s) { return named(Kind::Ident, std::move(s)); }
  [[nodiscard]] static Lexeme Symbol(std::string s) { return named(Kind::Symbol, std::move(s)); }
  [[nodiscard]] static Lexeme Number(hs::Number n) {
    Lexeme l;
    l.kind = Kind::Number;
    l.number = std::move(n);
    return l;
  }
  [[nodiscard]] static Lexeme Eof() { return Lexeme{}; }
  /// @}

  /// The same kind and contents.
  friend bool operator==(const Lexeme&, const Lexeme&) = default;

 private:
  [[nodiscard]] static Lexeme named(Kind k, std::string s) {
    Lexeme l;
    l.kind = k;
    l.text = std::move(s);
    return l;
  }
};

namespace detail {
// One lexeme at the very start of s (no white space skipped) and the rest; none when the text
// there is no lexeme. At the end of the input the lexeme is Eof.
[[nodiscard]] std::optional<std::pair<Lexeme, std::string_view>> lexToken(std::string_view s);
// White space skipped, then one lexeme.
[[nodiscard]] std::optional<std::pair<Lexeme, std::string_view>> lexLexeme(std::string_view s);
// The rest after white space and the punctuation character c, if that is what comes next.
[[nodiscard]] std::optional<std::string_view> expectPunc(std::string_view s, char c) noexcept;
}  // namespace detail

namespace detail {
// s, then the rest after each further opening round bracket in a row (white space allowed
// before each).
[[nodiscard]] std::vector<std::string_view> openBrackets(std::string_view s);
// The rest after n closing round brackets, if they come next.
[[nodiscard]] std::optional<std::string_view> closeBrackets(std::string_view s, std::size_t n) noexcept;
}  // namespace detail

/// The one-token lexer: skips white space, then returns the source text of one whole token and
/// the rest (the empty token at the end of the input; no result when no token can be read).
/// Linear in the white space and the token; allocates the token's text.
[[nodiscard]] ReadResult<std::string> lex(std::string_view s);

// ---------------------------------------------------------------------------------------------
// Precedence readers

/// A reader that takes the surrounding precedence and the input and yields every parse with its
/// rest. Copies share the one underlying function (a reference count).
template <class T>
class ReadPrec {
 public:
  using value_type = T;                  ///< What it reads.
  using Result = ReadResult<T>;          ///< Its parses.
  /// The function of precedence and input.
  using Function = std::function<Result(int, std::string_view)>;

  /// The reader that never succeeds (one allocation, for its function).
  ReadPrec()
      : fn_(std::make_shared<const Function>([](int, std::string_view) { return Result{}; })) {}
  /// The reader of the function f(d, s); f is moved into one shared allocation.
  template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, ReadPrec> &&
             std::is_invocable_r_v<Result, const F&, int, std::string_view>)
  explicit ReadPrec(F f) : fn_(std::make_shared<const Function>(std::move(f))) {}

  /// Every parse of s at the surrounding precedence d. Readers of nested values call each other
  /// through here, so it is a recursive point of the stack helper.
  [[nodiscard]] Result operator()(int d, std::string_view s) const {
    if (detail::stackRoom()) [[likely]]
      return (*fn_)(d, s);
    return onSegment(d, s);
  }

  /// The shared function: the same for every copy of this reader.
  [[nodiscard]] const std::shared_ptr<const Function>& function() const noexcept { return fn_; }

 private:
  [[gnu::noinline]] Result onSegment(int d, std::string_view s) const {
    return detail::onSegment([&] { return (*fn_)(d, s); });
  }

  std::shared_ptr<const Function> fn_;
};

namespace detail {
// The parses of readers inside a long run of opening brackets, kept while the bracket reader that
// met the run is at work: readers of nested values meet the same reader at the same position of
// the run again and again (each bracket may be the outer value's or an inner one's), and a reader
// gives the same parses at the same position. Tables nest: a run met inside another run's reading
// gets its own, and the readers there (which read forward from where they start) only ever look
// in the innermost.
class ParseMemo {
 public:
  // Opens the table for `run` (a position, then the rest after each further opening bracket) when
  // the run is long; the opener closes it.
  explicit ParseMemo(const std::vector<std::string_view>& run);
  ParseMemo(const ParseMemo&) = delete;
  ParseMemo& operator=(const ParseMemo&) = delete;
  ~ParseMemo();
  [[nodiscard]] bool opened() const noexcept { return opened_; }
  // Runs of at most this many opening brackets are read without a table.
  static constexpr std::size_t shortRun = 3;

  // Where s stands in the innermost open table's run; -1 when no table is open or s is not such a
  // position.
  [[nodiscard]] static std::ptrdiff_t indexOf(std::string_view s) noexcept;
  // The open table's run.
  static const std::vector<std::string_view>& run() noexcept;
  // What the table keeps of one reader: its parses at each position of the run (null until
  // computed), and from `covered` on, where every position is computed, `next[q]`: the first
  // position from q on with parses (the run's length if none), so later demands skip the rest.
  struct Kept {
    std::shared_ptr<const void> reader;  // kept alive, so no other reader takes its address
    std::vector<std::shared_ptr<const void>> parses;
    std::vector<std::uint32_t> next;
    std::size_t covered = 0;
  };
  [[nodiscard]] static Kept& kept(const std::shared_ptr<const void>& reader);

 private:
  bool opened_ = false;
};
}  // namespace detail

namespace detail {
// The parses of p at 0 inside one, two, ... pairs of brackets at s, each handed to
// sink(x, rest) (x a value to copy when it is kept, else to move). The opening brackets are found
// first, so no call nests per bracket.
template <class T, class Sink>
void parensRun(const ReadPrec<T>& p, std::string_view s, Sink&& sink) {
  if (!detail::expectPunc(s, '(')) return;
  auto direct = [&](const std::string_view* positions, std::size_t count) {
    for (std::size_t q = 1; q < count; ++q) {
      ReadResult<T> xs = p(0, positions[q]);
      for (auto& [x, rest] : xs)
        if (const auto close = detail::closeBrackets(rest, q)) sink(std::move(x), *close);
    }
  };
  std::ptrdiff_t at = ParseMemo::indexOf(s);
  std::vector<std::string_view> own;
  std::optional<ParseMemo> memo;
  if (at < 0) {
    // A short run (the common case: a bracketed value) is walked without a table.
    std::string_view few[ParseMemo::shortRun + 1] = {s};
    std::size_t count = 1;
    while (count <= ParseMemo::shortRun) {
      const auto open = detail::expectPunc(few[count - 1], '(');
      if (!open) break;
      few[count++] = *open;
    }
    if (count <= ParseMemo::shortRun) return direct(few, count);
    own = detail::openBrackets(s);
    memo.emplace(own);
    if (!memo->opened()) return direct(own.data(), own.size());
    at = 0;
  }
  const std::vector<std::string_view>& run = ParseMemo::run();
  const std::size_t from = static_cast<std::size_t>(at), n = run.size();
  ParseMemo::Kept& k = ParseMemo::kept(p.function());
  auto parsesAt = [&](std::size_t q) -> const ReadResult<T>& {
    std::shared_ptr<const void>& slot = k.parses[q];
    if (!slot) slot = std::make_shared<const ReadResult<T>>(p(0, run[q]));
    return *static_cast<const ReadResult<T>*>(slot.get());
  };
  auto give = [&](std::size_t q) {
    for (const auto& [x, rest] : parsesAt(q))
      if (const auto close = detail::closeBrackets(rest, q - from)) sink(x, *close);
  };
  // Positions not yet covered are computed one by one, then the covered ones skipped through.
  const std::size_t covered = std::max(k.covered, from + 1);
  for (std::size_t q = from + 1; q < covered; ++q) give(q);
  if (from + 1 < k.covered) {
    for (std::size_t q = k.covered; q-- > from + 1;)
      k.next[q] = parsesAt(q).empty() ? k.next[q + 1] : static_cast<std::uint32_t>(q);
    k.covered = from + 1;
  }
  for (std::size_t q = k.next[covered]; q < n; q = k.next[q + 1]) give(q);
}

// p at d, then p at 0 inside any number of pairs of brackets.
template <class T>
[[nodiscard]] ReadResult<T> parensAt(const ReadPrec<T>& p, int d, std::string_view s) {
  ReadResult<T> out = p(d, s);
  detail::parensRun(p, s, [&out](auto&& x, std::string_view rest) {
    out.emplace_back(std::forward<decltype(x)>(x), rest);
  });
  return out;
}

// Whether two parses of T can be compared: std::equality_comparable, looked through the standard
// pairs, tuples, vectors and optionals, whose == is declared for any element type (a list of pairs
// whose parts have no == still reads, without comparing).
template <class T>
inline constexpr bool parsesCompare = std::equality_comparable<T>;
template <class A, class B>
inline constexpr bool parsesCompare<std::pair<A, B>> = parsesCompare<A> && parsesCompare<B>;
template <class... A>
inline constexpr bool parsesCompare<std::tuple<A...>> = (parsesCompare<A> && ...);
template <class A>
inline constexpr bool parsesCompare<std::vector<A>> = parsesCompare<A>;
template <class A>
inline constexpr bool parsesCompare<std::optional<A>> = parsesCompare<A>;

// "[", elements read by p at precedence 0 separated by ",", "]", white space allowed around every
// lexeme; no enclosing brackets. A parse of an element given twice (the same value and rest) is
// one parse read ambiguously: it is followed once, and the lists it ends in are given twice, so
// ambiguous elements cost no more than plain ones. (Elements whose values do not compare are
// followed parse by parse.)
template <class T>
[[nodiscard]] ReadPrec<std::vector<T>> listBody(ReadPrec<T> p) {
  return ReadPrec<std::vector<T>>([p = std::move(p)](int, std::string_view s) {
    ReadResult<std::vector<T>> out;
    const auto open = detail::expectPunc(s, '[');
    if (!open) return out;
    if (const auto close = detail::expectPunc(*open, ']'))
      out.emplace_back(std::vector<T>{}, *close);
    // Depth first over (elements so far, rest after them), so that the parses come out in the
    // order of the element readers' alternatives, without recursion per element.
    struct Branch {
      std::vector<T> prefix;
      std::string_view at;
      bool ambiguous;
    };
    std::vector<Branch> todo;
    todo.push_back(Branch{std::vector<T>{}, *open, false});
    std::vector<Branch> next;
    std::vector<char> twice;
    while (!todo.empty()) {
      Branch b = std::move(todo.back());
      todo.pop_back();
      auto xs = p(0, b.at);
      // Each parse given again is dropped, its first copy marked.
      twice.assign(xs.size(), 0);
      std::size_t kept = 0;
      for (std::size_t i = 0; i < xs.size(); ++i) {
        std::size_t k = 0;
        if constexpr (parsesCompare<T>) {
          for (; k < kept; ++k)
            if (xs[k].second.data() == xs[i].second.data() &&
                xs[k].second.size() == xs[i].second.size() && xs[k].first == xs[i].first)
              break;
        } else {
          k = kept;
        }
        if (k < kept) {
          twice[k] = 1;
          continue;
        }
        if (kept != i) xs[kept] = std::move(xs[i]);
        ++kept;
      }
      next.clear();
      for (std::size_t i = 0; i < kept; ++i) {
        std::vector<T> grown = i + 1 == kept ? std::move(b.prefix) : b.prefix;
        grown.push_back(std::move(xs[i].first));
        const std::string_view rest = xs[i].second;
        const bool ambiguous = b.ambiguous || twice[i] != 0;
        if (const auto close = detail::expectPunc(rest, ']')) {
          if (ambiguous) out.emplace_back(grown, *close);
          out.emplace_back(std::move(grown), *close);
        } else if (const auto comma = detail::expectPunc(rest, ',')) {
          next.push_back(Branch{std::move(grown), *comma, ambiguous});
        }
      }
      for (std::size_t i = next.size(); i-- > 0;) todo.push_back(std::move(next[i]));
    }
    return out;
  });
}
}  // namespace detail

/// The reader combinators (hs::read is the function `read`, so they have a namespace of their
/// own). Each builds a new reader at once (a shared allocation for its function) that holds the
/// readers it is built on by their shared handles; nothing is read until the reader is called.
namespace readprec {
/// \addtogroup hs_read
/// @{

/// The reader that consumes nothing and gives x (a copy per parse), at any precedence.
template <class T>
[[nodiscard]] ReadPrec<std::remove_cvref_t<T>> pure(T&& x) {
  using V = std::remove_cvref_t<T>;
  return ReadPrec<V>([x = V(std::forward<T>(x))](int, std::string_view s) {
    return ReadResult<V>{{x, s}};
  });
}
/// The reader that never succeeds.
template <class T>
[[nodiscard]] ReadPrec<T> pfail() {
  return ReadPrec<T>();
}

/// Sequencing: every parse x of p, then every parse of f(x) on the rest, at the same precedence;
/// f runs once per parse of p, when the reader is called.
template <class T, class F>
[[nodiscard]] auto bind(ReadPrec<T> p, F f) -> std::invoke_result_t<const F&, T&&> {
  using R = std::invoke_result_t<const F&, T&&>;
  return R([p = std::move(p), f = std::move(f)](int d, std::string_view s) {
    typename R::Result out;
    for (auto& [x, rest] : p(d, s))
      for (auto& r : f(std::move(x))(d, rest)) out.push_back(std::move(r));
    return out;
  });
}
/// The parses of p, each mapped by f (when the reader is called).
template <class F, class T>
[[nodiscard]] auto fmap(F f, ReadPrec<T> p)
    -> ReadPrec<std::remove_cvref_t<std::invoke_result_t<const F&, T&&>>> {
  using U = std::remove_cvref_t<std::invoke_result_t<const F&, T&&>>;
  return ReadPrec<U>([p = std::move(p), f = std::move(f)](int d, std::string_view s) {
    ReadResult<U> out;
    for (auto& [x, rest] : p(d, s)) out.emplace_back(f(std::move(x)), rest);
    return out;
  });
}
/// p, then q on each of p's rests, keeping q's values.
template <class T, class U>
[[nodiscard]] ReadPrec<U> then(ReadPrec<T> p, ReadPrec<U> q) {
  return readprec::bind(std::move(p), [q = std::move(q)](T&&) { return q; });
}
/// Symmetric choice: the parses of every alternative on the same input, the first alternative's
/// first. The alternatives after the first may be anything a `ReadPrec<T>` is made from.
template <class T, class... More>
[[nodiscard]] ReadPrec<T> alt(ReadPrec<T> p, More... more) {
  std::vector<ReadPrec<T>> ps{std::move(p), ReadPrec<T>(std::move(more))...};
  return ReadPrec<T>([ps = std::move(ps)](int d, std::string_view s) {
    ReadResult<T> out;
    for (const ReadPrec<T>& q : ps)
      for (auto& r : q(d, s)) out.push_back(std::move(r));
    return out;
  });
}
/// A reader from a function of precedence and input that returns a ReadResult.
template <class F>
[[nodiscard]] auto readS_to_Prec(F f) {
  using R = std::invoke_result_t<const F&, int, std::string_view>;
  return ReadPrec<typename R::value_type::first_type>(std::move(f));
}
/// A reader from a precedence-free reader (a function of the input that returns a ReadResult).
template <class F>
[[nodiscard]] auto lift(F f) {
  using R = std::invoke_result_t<const F&, std::string_view>;
  return ReadPrec<typename R::value_type::first_type>(
      [f = std::move(f)](int, std::string_view s) { return f(s); });
}

/// p at precedence n when the surrounding precedence is at most n; otherwise no parse.
template <class T>
[[nodiscard]] ReadPrec<T> prec(int n, ReadPrec<T> p) {
  return ReadPrec<T>([n, p = std::move(p)](int d, std::string_view s) {
    return d <= n ? p(n, s) : ReadResult<T>{};
  });
}
/// p one precedence level higher.
template <class T>
[[nodiscard]] ReadPrec<T> step(ReadPrec<T> p) {
  return ReadPrec<T>([p = std::move(p)](int d, std::string_view s) { return p(d + 1, s); });
}
/// p at precedence 0.
template <class T>
[[nodiscard]] ReadPrec<T> reset(ReadPrec<T> p) {
  return ReadPrec<T>([p = std::move(p)](int, std::string_view s) { return p(0, s); });
}

/// One lexeme, white space before it skipped; no parse where no lexeme can be read.
[[nodiscard]] inline ReadPrec<Lexeme> lexP() {
  return ReadPrec<Lexeme>([](int, std::string_view s) {
    ReadResult<Lexeme> out;
    if (auto l = detail::lexLexeme(s)) out.emplace_back(std::move(l->first), l->second);
    return out;
  });
}
/// Succeeds, consuming one lexeme, exactly when that lexeme is `want`.
[[nodiscard]] inline ReadPrec<Unit> expectP(Lexeme want) {
  return ReadPrec<Unit>([want = std::move(want)](int, std::string_view s) {
    ReadResult<Unit> out;
    if (auto l = detail::lexLexeme(s); l && l->first == want) out.emplace_back(unit, l->second);
    return out;
  });
}

/// p inside one pair of round brackets, at precedence 0 inside.
template <class T>
[[nodiscard]] ReadPrec<T> paren(ReadPrec<T> p) {
  return ReadPrec<T>([p = std::move(p)](int, std::string_view s) {
    ReadResult<T> out;
    const auto open = detail::expectPunc(s, '(');
    if (!open) return out;
    for (auto& [x, rest] : p(0, *open))
      if (const auto close = detail::expectPunc(rest, ')')) out.emplace_back(std::move(x), *close);
    return out;
  });
}

/// p with any number of enclosing pairs of round brackets: p at the surrounding precedence, then
/// p at 0 inside one, two, ... pairs. The opening brackets are found first, so no call nests per
/// bracket; inside a run of four or more, each reader's parses at each position of the run are
/// kept while the run is read, so readers of nested values do not try every way of sharing the
/// brackets out (which would cost a power of the run's length).
template <class T>
[[nodiscard]] ReadPrec<T> parens(ReadPrec<T> p) {
  return ReadPrec<T>(
      [p = std::move(p)](int d, std::string_view s) { return hs::detail::parensAt(p, d, s); });
}

/// The standard list reader: "[", elements read by p at precedence 0 separated by ",", "]"
/// (white space allowed around every lexeme), inside any number of round brackets. A loop over
/// the elements, not a recursion; an element parse given twice (the same value and rest) is
/// followed once and the lists it ends in given twice, so ambiguity costs nothing extra.
template <class T>
[[nodiscard]] ReadPrec<std::vector<T>> list(ReadPrec<T> p) {
  return readprec::parens(detail::listBody(std::move(p)));
}

/// Nullary constructors by name: the next lexeme, an identifier or symbol, picks the readers
/// whose name it equals (at any precedence); the names are compared in order.
template <class T>
[[nodiscard]] ReadPrec<T> choose(std::vector<std::pair<std::string, ReadPrec<T>>> alternatives) {
  return ReadPrec<T>([as = std::move(alternatives)](int d, std::string_view s) {
    ReadResult<T> out;
    const auto l = detail::lexLexeme(s);
    if (!l || (l->first.kind != Lexeme::Kind::Ident && l->first.kind != Lexeme::Kind::Symbol))
      return out;
    for (const auto& [name, p] : as)
      if (l->first.text == name)
        for (auto& r : p(d, l->second)) out.push_back(std::move(r));
    return out;
  });
}

/// A constructor application: optional brackets, and at most precedence 10 outside them.
template <class T>
[[nodiscard]] ReadPrec<T> readData(ReadPrec<T> p) {
  return readprec::parens(readprec::prec(10, std::move(p)));
}
/// The identifier `name`, then an argument read by rp at one level higher, given to cons.
template <class A, class C>
[[nodiscard]] auto readUnaryWith(ReadPrec<A> rp, std::string name, C cons)
    -> ReadPrec<std::remove_cvref_t<std::invoke_result_t<const C&, A&&>>> {
  return readprec::then(expectP(Lexeme::Ident(std::move(name))),
                        readprec::fmap(std::move(cons), readprec::step(std::move(rp))));
}

/// @}
}  // namespace readprec

// ---------------------------------------------------------------------------------------------
// Precedence-free readers over the one-token lexer

namespace detail {
// g (unless brackets are mandatory), then g inside one, two, ... pairs of brackets; the opening
// brackets are found first, so no call nests per bracket.
template <class T, class G>
[[nodiscard]] ReadResult<T> readParenAt(const G& g, bool mandatory, std::string_view s) {
  ReadResult<T> out;
  if (!mandatory) out = g(s);
  if (!detail::expectPunc(s, '(')) return out;
  const std::vector<std::string_view> inner = detail::openBrackets(s);
  for (std::size_t j = 1; j < inner.size(); ++j) {
    ReadResult<T> xs = g(inner[j]);
    for (auto& [x, t] : xs)
      if (const auto u = detail::closeBrackets(t, j)) out.emplace_back(std::move(x), *u);
  }
  return out;
}
}  // namespace detail

/// The precedence-free reader g, inside at least one pair of round brackets when b holds, inside
/// any number otherwise; the opening brackets are found first, so no call nests per bracket.
template <class G>
[[nodiscard]] auto readParen(bool b, G g) {
  using R = std::invoke_result_t<const G&, std::string_view>;
  using T = typename R::value_type::first_type;
  return ReadS<T>(
      [b, g = std::move(g)](std::string_view s) { return detail::readParenAt<T>(g, b, s); });
}
/// A constructor form read with the one-token lexer: brackets required above precedence 10, then
/// the token lex finds given to reader(token, rest), which returns the parses.
template <class F>
[[nodiscard]] auto readsData(F reader, int d) {
  using R = std::invoke_result_t<const F&, const std::string&, std::string_view>;
  return hs::readParen(d > 10, [reader = std::move(reader)](std::string_view r) {
    R out;
    for (auto& [token, rest] : lex(r))
      for (auto& x : reader(token, rest)) out.push_back(std::move(x));
    return out;
  });
}

// ---------------------------------------------------------------------------------------------
/// Reading T: specialise with `static ReadPrec<T> readPrec()` and, where a list of T has its own
/// form, `static ReadPrec<std::vector<T>> readListPrec()`.
template <class T, class Enable = void>
struct Read;

/// A type with a Read instance.
template <class T>
concept ReadType = requires {
  { Read<T>::readPrec() } -> std::convertible_to<ReadPrec<T>>;
};

namespace detail {
// Whether T has a Read instance; where it has none, the build stops at this one message.
template <class T>
constexpr bool requireRead() {
  static_assert(hasInstance<Read<T>>,
                "this type has no reader: specialise hs::Read<T> with "
                "static hs::ReadPrec<T> readPrec() (an example: hs::Read<std::optional<A>> in "
                "platform/include/hs/read.hpp)");
  return hasInstance<Read<T>>;
}
}  // namespace detail

/// T's reader (a type without a Read instance stops the build at one message naming hs::Read).
/// The instance's reader is built on first use and kept for the process, so readers of recursive
/// types may refer to themselves; the call copies a shared handle.
template <class T>
[[nodiscard]] ReadPrec<T> readPrec() {
  if constexpr (!detail::requireRead<T>()) {
    return ReadPrec<T>();
  } else {
    static const ReadPrec<T> p([](int d, std::string_view s) {
      static const ReadPrec<T> built = Read<T>::readPrec();
      return built(d, s);
    });
    return p;
  }
}
/// The reader of a list of T: the type's own readListPrec, or the standard list reader
/// (readprec::list) of T's reader; built on first use and kept, as readPrec.
template <class T>
[[nodiscard]] ReadPrec<std::vector<T>> readListPrec() {
  static const ReadPrec<std::vector<T>> p([](int d, std::string_view s) {
    static const ReadPrec<std::vector<T>> built = [] {
      if constexpr (requires { Read<T>::readListPrec(); })
        return ReadPrec<std::vector<T>>(Read<T>::readListPrec());
      else
        return readprec::list(hs::readPrec<T>());
    }();
    return built(d, s);
  });
  return p;
}

/// Every parse of s by T's reader at precedence d, with its rest.
template <class T>
[[nodiscard]] ReadResult<T> readsPrec(int d, std::string_view s) {
  return hs::readPrec<T>()(d, s);
}
/// Every parse of s by T's reader at precedence 0, with its rest.
template <class T>
[[nodiscard]] ReadResult<T> reads(std::string_view s) {
  return hs::readPrec<T>()(0, s);
}

namespace detail {
// The values of the parses that use the whole input, trailing white space allowed.
template <class T>
[[nodiscard]] std::vector<T> completeParses(std::string_view s) {
  std::vector<T> out;
  for (auto& [x, rest] : hs::readPrec<T>()(0, s))
    if (hs::skipSpaces(rest).empty()) out.push_back(std::move(x));
  return out;
}
}  // namespace detail

/// The one value the whole text reads as (trailing white space allowed); absent when there is
/// none or more than one.
template <class T>
[[nodiscard]] std::optional<T> readMaybe(std::string_view s) {
  auto xs = detail::completeParses<T>(s);
  if (xs.size() != 1) return std::nullopt;
  return std::optional<T>(std::move(xs.front()));
}
/// The one value the whole text reads as (trailing white space allowed); the program error
/// "Prelude.read: no parse" or "Prelude.read: ambiguous parse" (without a call stack) otherwise.
template <class T>
[[nodiscard]] T read(std::string_view s) {
  auto xs = detail::completeParses<T>(s);
  if (xs.empty()) errorWithoutStackTrace("Prelude.read: no parse");
  if (xs.size() > 1) errorWithoutStackTrace("Prelude.read: ambiguous parse");
  return std::move(xs.front());
}

// ---------------------------------------------------------------------------------------------
/// Lifted reading of a one-parameter type `F<A>`: specialise `Read1<F<A>>` with
/// `static ReadPrec<F<A>> liftReadPrec(ReadPrec<A> rp, ReadPrec<std::vector<A>> rl)` and
/// optionally its list form `liftReadListPrec(rp, rl)` (by default the list reader).
template <class T, class Enable = void>
struct Read1;
/// Lifted reading of a two-parameter type `F<A, B>`: specialise `Read2<F<A, B>>` with
/// `liftReadPrec2(rp1, rl1, rp2, rl2)` and optionally `liftReadListPrec2`, as Read1.
template <class T, class Enable = void>
struct Read2;

namespace detail {
// Whether T has a Read1 instance; where it has none, the build stops at this one message.
template <class T>
constexpr bool requireRead1() {
  static_assert(hasInstance<Read1<T>>,
                "this type has no lifted reader: specialise hs::Read1<F<A>> with "
                "static hs::ReadPrec<F<A>> liftReadPrec(hs::ReadPrec<A> rp, "
                "hs::ReadPrec<std::vector<A>> rl), rp reading an element and rl a list of them "
                "(an example: examples/readme/morvet.cpp)");
  return hasInstance<Read1<T>>;
}
}  // namespace detail

/// The reader of T whose elements are read by rp (and lists of them by rl), by T's Read1
/// instance (a type without one stops the build at one message naming hs::Read1).
template <class T, class A>
[[nodiscard]] ReadPrec<T> liftReadPrec(ReadPrec<A> rp, ReadPrec<std::vector<A>> rl) {
  if constexpr (!detail::requireRead1<T>())
    return ReadPrec<T>();
  else
    return Read1<T>::liftReadPrec(std::move(rp), std::move(rl));
}
/// The reader of a list of T: the instance's own liftReadListPrec, else the list reader of
/// liftReadPrec's reader.
template <class T, class A>
[[nodiscard]] ReadPrec<std::vector<T>> liftReadListPrec(ReadPrec<A> rp, ReadPrec<std::vector<A>> rl) {
  if constexpr (!detail::requireRead1<T>())
    return ReadPrec<std::vector<T>>();
  else if constexpr (requires { Read1<T>::liftReadListPrec(rp, rl); })
    return Read1<T>::liftReadListPrec(std::move(rp), std::move(rl));
  else
    return readprec::list(Read1<T>::liftReadPrec(std::move(rp), std::move(rl)));
}
/// The reader of T whose first elements are read by rp1 / rl1 and its second by rp2 / rl2, by
/// T's Read2 instance.
template <class T, class A, class B>
[[nodiscard]] ReadPrec<T> liftReadPrec2(ReadPrec<A> rp1, ReadPrec<std::vector<A>> rl1, ReadPrec<B> rp2,
                          ReadPrec<std::vector<B>> rl2) {
  return Read2<T>::liftReadPrec2(std::move(rp1), std::move(rl1), std::move(rp2), std::move(rl2));
}
/// The reader of a list of T: the instance's own liftReadListPrec2, else the list reader of
/// liftReadPrec2's reader.
template <class T, class A, class B>
[[nodiscard]] ReadPrec<std::vector<T>> liftReadListPrec2(ReadPrec<A> rp1, ReadPrec<std::vector<A>> rl1,
                                           ReadPrec<B> rp2, ReadPrec<std::vector<B>> rl2) {
  if constexpr (requires { Read2<T>::liftReadListPrec2(rp1, rl1, rp2, rl2); })
    return Read2<T>::liftReadListPrec2(std::move(rp1), std::move(rl1), std::move(rp2),
                                       std::move(rl2));
  else
    return readprec::list(
        Read2<T>::liftReadPrec2(std::move(rp1), std::move(rl1), std::move(rp2), std::move(rl2)));
}

// ---------------------------------------------------------------------------------------------
// Base instances

namespace detail {
[[nodiscard]] ReadPrec<std::uint64_t> readIntegerModWord();
[[nodiscard]] ReadPrec<double> readDoubleNumber();
[[nodiscard]] ReadPrec<float> readFloatNumber();
[[nodiscard]] ReadPrec<char32_t> readCharLiteral();
// A string literal, or a bracketed list of character literals.
[[nodiscard]] ReadPrec<std::vector<char32_t>> readCodePointList();
}  // namespace detail

/// Integers read as the base library reads them: an integer literal (decimal, 0o octal or 0x
/// hexadecimal) with an optional minus sign (at any precedence), its value taken modulo 2^bits,
/// inside any number of brackets.
template <class T>
struct Read<T, std::enable_if_t<detail::isIntegerType<T>>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<T> readPrec() {
    return readprec::fmap([](std::uint64_t w) { return static_cast<T>(w); },
                          detail::readIntegerModWord());
  }
};
/// Floating point: any numeric literal (correctly rounded), `NaN` or `Infinity`, with an optional
/// minus sign, inside any number of brackets.
template <>
struct Read<double> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<double> readPrec() { return detail::readDoubleNumber(); }
};
/// As double, rounded to float.
template <>
struct Read<float> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<float> readPrec() { return detail::readFloatNumber(); }
};

/// A character literal; a list of them as a string literal or a bracketed list of character
/// literals.
template <>
struct Read<char32_t> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<char32_t> readPrec() { return detail::readCharLiteral(); }
  [[nodiscard]] static ReadPrec<std::vector<char32_t>> readListPrec() { return detail::readCodePointList(); }
};
/// As char32_t, for the code points 0-255 only; a larger one is no parse.
template <>
struct Read<char> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<char> readPrec() {
    return readprec::bind(detail::readCharLiteral(), [](char32_t c) {
      return c <= 0xFF ? readprec::pure(static_cast<char>(c)) : readprec::pfail<char>();
    });
  }
  [[nodiscard]] static ReadPrec<std::vector<char>> readListPrec() {
    return readprec::bind(detail::readCodePointList(), [](std::vector<char32_t>&& cs) {
      std::vector<char> out;
      for (char32_t c : cs) {
        if (c > 0xFF) return readprec::pfail<std::vector<char>>();
        out.push_back(static_cast<char>(c));
      }
      return readprec::pure(std::move(out));
    });
  }
};
/// A string literal or a bracketed list of character literals, as UTF-8; no parse where
/// characters U+DC80..U+DCFF would join into another character in a std::string.
template <>
struct Read<std::string> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<std::string> readPrec() {
    // No parse for characters a std::string cannot hold as they are (detail::appendStringChar).
    return readprec::bind(detail::readCodePointList(), [](std::vector<char32_t>&& cs) {
      std::string s;
      s.reserve(cs.size());
      for (char32_t c : cs)
        if (!hs::detail::appendStringChar(c, s)) return readprec::pfail<std::string>();
      return readprec::pure(std::move(s));
    });
  }
};

/// `False` or `True`, inside any number of brackets.
template <>
struct Read<bool> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<bool> readPrec() {
    return readprec::parens(
        readprec::choose<bool>({{"False", readprec::pure(false)}, {"True", readprec::pure(true)}}));
  }
};
/// `LT`, `EQ` or `GT`, inside any number of brackets.
template <>
struct Read<Ordering> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<Ordering> readPrec() {
    return readprec::parens(readprec::choose<Ordering>(
        {{"LT", readprec::pure(LT)}, {"EQ", readprec::pure(EQ)}, {"GT", readprec::pure(GT)}}));
  }
};
/// `()`, inside any number of further brackets.
template <>
struct Read<Unit> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<Unit> readPrec() {
    return readprec::parens(readprec::paren(readprec::pure(unit)));
  }
};

/// The element type's list reader (hs::readListPrec).
template <class A>
struct Read<std::vector<A>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<std::vector<A>> readPrec() { return hs::readListPrec<A>(); }
};

/// `Nothing`, or `Just` and a value at precedence 11 (at most precedence 10 outside), inside any
/// number of brackets.
template <class A>
struct Read<std::optional<A>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<std::optional<A>> readPrec() {
    using R = std::optional<A>;
    return readprec::parens(readprec::alt(
        readprec::then(readprec::expectP(Lexeme::Ident("Nothing")), readprec::pure(R())),
        readprec::prec(10, readprec::readUnaryWith(hs::readPrec<A>(), "Just",
                                                   [](A&& x) { return R(std::move(x)); }))));
  }
};

namespace detail {
// Components read at precedence 0 and separated by commas, from just inside the bracket.
template <std::size_t I, class... A>
void readTupleFrom(std::tuple<std::optional<A>...>& acc, std::string_view s,
                   ReadResult<std::tuple<A...>>& out) {
  using E = std::tuple_element_t<I, std::tuple<A...>>;
  if constexpr (I > 0) {
    const auto comma = expectPunc(s, ',');
    if (!comma) return;
    s = *comma;
  }
  for (auto& [x, rest] : hs::readPrec<E>()(0, s)) {
    std::get<I>(acc).emplace(std::move(x));
    if constexpr (I + 1 == sizeof...(A))
      out.emplace_back(std::apply([](const auto&... o) { return std::tuple<A...>(*o...); }, acc),
                       rest);
    else
      detail::readTupleFrom<I + 1, A...>(acc, rest, out);
  }
}
}  // namespace detail

/// "(", the components at precedence 0 separated by ",", ")", inside any number of further
/// brackets.
template <class... A>
struct Read<std::tuple<A...>, std::enable_if_t<(sizeof...(A) >= 2)>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<std::tuple<A...>> readPrec() {
    return readprec::parens(readprec::paren(ReadPrec<std::tuple<A...>>([](int, std::string_view s) {
      ReadResult<std::tuple<A...>> out;
      std::tuple<std::optional<A>...> acc;
      detail::readTupleFrom<0, A...>(acc, s, out);
      return out;
    })));
  }
};
/// As the tuple of two components.
template <class A, class B>
struct Read<std::pair<A, B>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<std::pair<A, B>> readPrec() {
    return readprec::fmap(
        [](std::tuple<A, B>&& t) {
          return std::pair<A, B>(std::move(std::get<0>(t)), std::move(std::get<1>(t)));
        },
        hs::readPrec<std::tuple<A, B>>());
  }
};

/// A deferred value reads as its value, in a new evaluated cell.
template <class A>
struct Read<Lazy<A>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<Lazy<A>> readPrec() {
    return readprec::fmap([](A&& x) { return Lazy<A>(std::move(x)); }, hs::readPrec<A>());
  }
};

/// The list reader rl itself.
template <class A>
struct Read1<std::vector<A>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<std::vector<A>> liftReadPrec(ReadPrec<A>, ReadPrec<std::vector<A>> rl) {
    return rl;
  }
};
/// `Nothing`, or `Just` and a value read by rp at precedence 11, inside any number of brackets.
template <class A>
struct Read1<std::optional<A>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<std::optional<A>> liftReadPrec(ReadPrec<A> rp, ReadPrec<std::vector<A>>) {
    using R = std::optional<A>;
    return readprec::alt(readprec::parens(readprec::then(
                             readprec::expectP(Lexeme::Ident("Nothing")), readprec::pure(R()))),
                         readprec::readData(readprec::readUnaryWith(
                             std::move(rp), "Just", [](A&& x) { return R(std::move(x)); })));
  }
};
/// "(", the first component by rp1, ",", the second by rp2, ")", inside any number of further
/// brackets.
template <class A, class B>
struct Read2<std::pair<A, B>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<std::pair<A, B>> liftReadPrec2(ReadPrec<A> rp1, ReadPrec<std::vector<A>>,
                                                 ReadPrec<B> rp2, ReadPrec<std::vector<B>>) {
    using P = std::pair<A, B>;
    ReadPrec<P> body([rp1 = std::move(rp1), rp2 = std::move(rp2)](int d, std::string_view s) {
      ReadResult<P> out;
      for (auto& [a, r1] : rp1(d, s)) {
        const auto comma = detail::expectPunc(r1, ',');
        if (!comma) continue;
        for (auto& [b, r2] : rp2(d, *comma)) out.emplace_back(P(a, std::move(b)), r2);
      }
      return out;
    });
    return readprec::parens(readprec::paren(std::move(body)));
  }
};
/// The pair as a functor in its second component: the first by its own reader, the second by rp.
template <class A, class B>
struct Read1<std::pair<A, B>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<std::pair<A, B>> liftReadPrec(ReadPrec<B> rp, ReadPrec<std::vector<B>> rl) {
    return Read2<std::pair<A, B>>::liftReadPrec2(hs::readPrec<A>(), hs::readListPrec<A>(),
                                                 std::move(rp), std::move(rl));
  }
};

/// @}
}  // namespace hs
