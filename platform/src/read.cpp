#include "hs/read.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <functional>
#include <memory>
#include <system_error>
#include <unordered_map>

namespace hs {

// ---------------------------------------------------------------------------------------------
// Character classes. The base library classifies by Unicode general category; we carry the
// categories of ASCII and Latin-1 only, so above U+00FF nothing but white space is classified
// (such characters are read inside character and string literals only).

bool isSpace(char32_t c) noexcept {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

namespace {

bool isDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool isAlpha(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == 0xAA || c == 0xB5 || c == 0xBA ||
         (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7);
}
bool isAlphaNum(char32_t c) {
  return isAlpha(c) || isDigit(c) || c == 0xB2 || c == 0xB3 || c == 0xB9 ||
         (c >= 0xBC && c <= 0xBE);
}
bool isPuncChar(char32_t c) {
  return c < 0x80 &&
         std::string_view(",;()[]{}`").find(static_cast<char>(c)) != std::string_view::npos;
}
bool isSymbolChar(char32_t c) {
  if (c < 0x80)
    return std::string_view("!#$%&*+./<=>?@\\^|-~:").find(static_cast<char>(c)) !=
           std::string_view::npos;
  // Latin-1 symbols and punctuation other than quotes: currency, math, modifier and other
  // symbols, and the other-punctuation marks.
  return (c >= 0xA1 && c <= 0xA9) || c == 0xAC || (c >= 0xAE && c <= 0xB1) || c == 0xB4 ||
         (c >= 0xB6 && c <= 0xB8) || c == 0xBF || c == 0xD7 || c == 0xF7;
}

struct Decoded {
  char32_t c;
  std::size_t len;
};
Decoded at(std::string_view s, std::size_t i) {
  char32_t c;
  const std::size_t n = detail::decodeUtf8At(s, i, c);
  return {c, n};
}

int digitValue(char32_t c, int base) {
  int v;
  if (c >= '0' && c <= '9')
    v = static_cast<int>(c - '0');
  else if (c >= 'a' && c <= 'f')
    v = static_cast<int>(c - 'a') + 10;
  else if (c >= 'A' && c <= 'F')
    v = static_cast<int>(c - 'A') + 10;
  else
    return -1;
  return v < base ? v : -1;
}

// The digits of `base` starting at i (maximal munch).
std::size_t munchDigits(std::string_view s, std::size_t i, int base) {
  std::size_t j = i;
  while (j < s.size() && digitValue(static_cast<unsigned char>(s[j]), base) >= 0) ++j;
  return j;
}

constexpr std::int64_t exponentLimit = 1000000000000000000;  // far beyond any float's range

// One character of a literal: a plain character or an escape. Yields the character, whether it
// was escaped, and the position after it.
struct LitChar {
  char32_t c;
  bool escaped;
  std::size_t next;
};

constexpr const char* asciiEscapes[] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",  "VT",
    "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
    "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US",  "SP",  "DEL"};

std::optional<LitChar> lexCharE(std::string_view s, std::size_t i) {
  if (i >= s.size()) return std::nullopt;
  const Decoded d = at(s, i);
  if (d.c != '\\') return LitChar{d.c, false, i + d.len};
  ++i;
  if (i >= s.size()) return std::nullopt;
  const char e = s[i];
  switch (e) {
    case 'a':
      return LitChar{'\a', true, i + 1};
    case 'b':
      return LitChar{'\b', true, i + 1};
    case 'f':
      return LitChar{'\f', true, i + 1};
    case 'n':
      return LitChar{'\n', true, i + 1};
    case 'r':
      return LitChar{'\r', true, i + 1};
    case 't':
      return LitChar{'\t', true, i + 1};
    case 'v':
      return LitChar{'\v', true, i + 1};
    case '\\':
      return LitChar{'\\', true, i + 1};
    case '"':
      return LitChar{'"', true, i + 1};
    case '\'':
      return LitChar{'\'', true, i + 1};
    default:
      break;
  }
  // Numeric: decimal, \o octal or \x hexadecimal; all the digits, at most U+10FFFF.
  int base = 0;
  std::size_t start = i;
  if (e == 'o' || e == 'O') {
    base = 8;
    start = i + 1;
  } else if (e == 'x' || e == 'X') {
    base = 16;
    start = i + 1;
  } else if (isDigit(static_cast<unsigned char>(e))) {
    base = 10;
  }
  if (base != 0) {
    const std::size_t end = munchDigits(s, start, base);
    if (end == start) return std::nullopt;
    std::uint32_t v = 0;
    for (std::size_t k = start; k < end; ++k) {
      v = v * static_cast<std::uint32_t>(base) +
          static_cast<std::uint32_t>(digitValue(static_cast<unsigned char>(s[k]), base));
      if (v > 0x10FFFF) return std::nullopt;
    }
    return LitChar{v, true, end};
  }
  if (e == '^') {
    if (i + 1 >= s.size()) return std::nullopt;
    const char c = s[i + 1];
    if (c >= '@' && c <= '_') return LitChar{static_cast<char32_t>(c - '@'), true, i + 2};
    return std::nullopt;
  }
  // The ASCII names; SOH before SO (maximal munch).
  const std::string_view rest = s.substr(i);
  if (rest.starts_with("SOH")) return LitChar{0x01, true, i + 3};
  for (std::size_t k = 0; k < std::size(asciiEscapes); ++k) {
    const std::string_view name = asciiEscapes[k];
    if (rest.starts_with(name)) {
      const char32_t c = k == 32 ? 0x20 : (k == 33 ? 0x7F : static_cast<char32_t>(k));
      return LitChar{c, true, i + name.size()};
    }
  }
  return std::nullopt;
}

using Token = std::optional<std::pair<Lexeme, std::size_t>>;  // the lexeme and its length

Token lexCharLiteral(std::string_view s) {
  const auto c = lexCharE(s, 1);
  if (!c || (!c->escaped && c->c == '\'')) return std::nullopt;
  if (c->next >= s.size() || s[c->next] != '\'') return std::nullopt;
  return Token{{Lexeme::Char(c->c), c->next + 1}};
}

Token lexStringLiteral(std::string_view s) {
  std::u32string out;
  std::size_t i = 1;
  for (;;) {
    if (i >= s.size()) return std::nullopt;
    if (s[i] == '\\' && i + 1 < s.size()) {
      // The empty escape \& and the gap: backslash, white space, backslash.
      if (s[i + 1] == '&') {
        i += 2;
        continue;
      }
      const Decoded w = at(s, i + 1);
      if (isSpace(w.c)) {
        std::size_t j = i + 1;
        while (j < s.size()) {
          const Decoded x = at(s, j);
          if (!isSpace(x.c)) break;
          j += x.len;
        }
        if (j >= s.size() || s[j] != '\\') return std::nullopt;
        i = j + 1;
        continue;
      }
    }
    const auto c = lexCharE(s, i);
    if (!c) return std::nullopt;
    i = c->next;
    if (c->c == '"' && !c->escaped) return Token{{Lexeme::String(std::move(out)), i}};
    out.push_back(c->c);
  }
}

Token lexNumber(std::string_view s) {
  Number n;
  if (s.size() >= 2 && s[0] == '0') {
    const char b = s[1];
    const int base = (b == 'o' || b == 'O') ? 8 : ((b == 'x' || b == 'X') ? 16 : 0);
    if (base != 0) {
      const std::size_t end = munchDigits(s, 2, base);
      if (end > 2) {
        n.base = base;
        for (std::size_t k = 2; k < end; ++k)
          n.digits.push_back(
              static_cast<char>(s[k] >= 'A' && s[k] <= 'F' ? s[k] - 'A' + 'a' : s[k]));
        return Token{{Lexeme::Number(std::move(n)), end}};
      }
    }
  }
  std::size_t i = munchDigits(s, 0, 10);
  n.digits.assign(s.substr(0, i));
  if (i + 1 < s.size() && s[i] == '.' && isDigit(static_cast<unsigned char>(s[i + 1]))) {
    const std::size_t end = munchDigits(s, i + 1, 10);
    n.fraction = std::string(s.substr(i + 1, end - i - 1));
    i = end;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    bool negative = false;
    if (j < s.size() && (s[j] == '-' || s[j] == '+')) {
      negative = s[j] == '-';
      ++j;
    }
    const std::size_t end = munchDigits(s, j, 10);
    if (end > j) {
      std::int64_t v = 0;
      for (std::size_t k = j; k < end; ++k)
        v = v >= exponentLimit / 10 ? exponentLimit : v * 10 + (s[k] - '0');
      n.exponent = negative ? -v : v;
      i = end;
    }
  }
  return Token{{Lexeme::Number(std::move(n)), i}};
}

Token lexAt(std::string_view s) {
  if (s.empty()) return Token{{Lexeme::Eof(), 0}};
  const Decoded first = at(s, 0);
  const char32_t c = first.c;
  if (c == '\'') return lexCharLiteral(s);
  if (c == '"') return lexStringLiteral(s);
  if (isPuncChar(c)) return Token{{Lexeme::Punc(std::string(1, static_cast<char>(c))), 1}};
  if (isSymbolChar(c)) {
    std::size_t i = 0;
    while (i < s.size()) {
      const Decoded d = at(s, i);
      if (!isSymbolChar(d.c)) break;
      i += d.len;
    }
    std::string text(s.substr(0, i));
    static constexpr std::string_view reserved[] = {"..", "::", "=", "\\", "|",
                                                    "<-", "->", "@", "~",  "=>"};
    for (std::string_view r : reserved)
      if (text == r) return Token{{Lexeme::Punc(std::move(text)), i}};
    return Token{{Lexeme::Symbol(std::move(text)), i}};
  }
  if (isAlpha(c) || c == '_') {
    std::size_t i = first.len;
    while (i < s.size()) {
      const Decoded d = at(s, i);
      if (!isAlphaNum(d.c) && d.c != '_' && d.c != '\'') break;
      i += d.len;
    }
    return Token{{Lexeme::Ident(std::string(s.substr(0, i))), i}};
  }
  if (isDigit(c)) return lexNumber(s);
  return std::nullopt;
}

}  // namespace

std::string_view skipSpaces(std::string_view s) noexcept {
  std::size_t i = 0;
  while (i < s.size()) {
    const Decoded d = at(s, i);
    if (!isSpace(d.c)) break;
    i += d.len;
  }
  return s.substr(i);
}

std::optional<std::pair<Lexeme, std::string_view>> detail::lexToken(std::string_view s) {
  Token t = lexAt(s);
  if (!t) return std::nullopt;
  return std::pair<Lexeme, std::string_view>(std::move(t->first), s.substr(t->second));
}

std::optional<std::pair<Lexeme, std::string_view>> detail::lexLexeme(std::string_view s) {
  return lexToken(skipSpaces(s));
}

std::optional<std::string_view> detail::expectPunc(std::string_view s, char c) noexcept {
  s = skipSpaces(s);
  if (s.empty() || s.front() != c) return std::nullopt;
  return s.substr(1);
}

namespace {
struct MemoTable {
  std::vector<std::string_view> run;
  MemoTable* outer;
  std::unordered_map<const void*, detail::ParseMemo::Kept> byReader;
};
// The innermost open table of this thread; owned by the ParseMemo that opened it.
constinit thread_local MemoTable* openMemo = nullptr;
}  // namespace

detail::ParseMemo::ParseMemo(const std::vector<std::string_view>& run) {
  if (run.size() <= shortRun + 1) return;
  openMemo = new MemoTable{run, openMemo, {}};
  opened_ = true;
}
detail::ParseMemo::~ParseMemo() {
  if (!opened_) return;
  MemoTable* const outer = openMemo->outer;
  delete openMemo;
  openMemo = outer;
}
std::ptrdiff_t detail::ParseMemo::indexOf(std::string_view s) noexcept {
  if (openMemo == nullptr) return -1;
  const std::vector<std::string_view>& run = openMemo->run;
  // The positions of a run stand in increasing order in one text.
  const auto it = std::lower_bound(
      run.begin(), run.end(), s.data(),
      [](std::string_view a, const char* b) { return std::less<const char*>()(a.data(), b); });
  if (it == run.end() || it->data() != s.data() || it->size() != s.size()) return -1;
  return it - run.begin();
}
const std::vector<std::string_view>& detail::ParseMemo::run() noexcept { return openMemo->run; }
detail::ParseMemo::Kept& detail::ParseMemo::kept(const std::shared_ptr<const void>& reader) {
  Kept& k = openMemo->byReader[reader.get()];
  if (!k.reader) {
    const std::size_t n = openMemo->run.size();
    k.reader = reader;
    k.parses.resize(n);
    k.next.assign(n + 1, static_cast<std::uint32_t>(n));
    k.covered = n;
  }
  return k;
}

std::vector<std::string_view> detail::openBrackets(std::string_view s) {
  std::vector<std::string_view> inner{s};
  for (;;) {
    const auto open = expectPunc(inner.back(), '(');
    if (!open) break;
    inner.push_back(*open);
  }
  return inner;
}

std::optional<std::string_view> detail::closeBrackets(std::string_view s, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    const auto close = expectPunc(s, ')');
    if (!close) return std::nullopt;
    s = *close;
  }
  return s;
}

ReadResult<std::string> lex(std::string_view s) {
  s = skipSpaces(s);
  ReadResult<std::string> out;
  if (Token t = lexAt(s))
    out.emplace_back(std::string(s.substr(0, t->second)), s.substr(t->second));
  return out;
}

// ---------------------------------------------------------------------------------------------
// Numbers

std::optional<std::uint64_t> numberToWord(const Number& n) {
  if (n.base == 10 && (n.fraction || n.exponent)) return std::nullopt;
  std::uint64_t w = 0;
  for (char c : n.digits)
    w = w * static_cast<std::uint64_t>(n.base) +
        static_cast<std::uint64_t>(digitValue(static_cast<unsigned char>(c), n.base));
  return w;
}

namespace {

// An octal or hexadecimal integer, rounded once: its leading 64 bits with every lower bit folded
// into the last one, converted, then scaled by the dropped bits.
template <class T>
T integerToFloating(const Number& n) {
  const int bitsPerDigit = n.base == 8 ? 3 : 4;
  std::uint64_t top = 0;
  int dropped = 0;
  bool sticky = false;
  for (char c : n.digits) {
    const int v = digitValue(static_cast<unsigned char>(c), n.base);
    for (int b = bitsPerDigit - 1; b >= 0; --b) {
      const bool bit = ((v >> b) & 1) != 0;
      if ((top >> 63) == 0) {
        top = (top << 1) | (bit ? 1 : 0);
      } else {
        ++dropped;
        sticky = sticky || bit;
      }
    }
  }
  const T x = static_cast<T>(top | (sticky ? 1 : 0));
  return dropped == 0 ? x : std::ldexp(x, dropped);
}

template <class T>
T decimalToFloating(const Number& n) {
  constexpr T inf = std::numeric_limits<T>::infinity();
  // Where the first significant digit stands relative to the point: beyond the type's range
  // the value is infinite or zero whatever the other digits are.
  std::int64_t first;
  if (const std::size_t lead = n.digits.find_first_not_of('0'); lead != std::string::npos) {
    first = static_cast<std::int64_t>(n.digits.size() - lead);
  } else if (n.fraction && n.fraction->find_first_not_of('0') != std::string::npos) {
    first = -static_cast<std::int64_t>(n.fraction->find_first_not_of('0'));
  } else {
    return T(0);
  }
  const std::int64_t exp = n.exponent.value_or(0);
  const std::int64_t point = first + exp;
  constexpr std::int64_t maxPoint = sizeof(T) == 8 ? 310 : 40;
  constexpr std::int64_t minPoint = sizeof(T) == 8 ? -330 : -50;
  if (point > maxPoint) return inf;
  if (point < minPoint) return T(0);
  std::string text = n.digits;
  if (n.fraction) {
    text.push_back('.');
    text.append(*n.fraction);
  }
  if (exp != 0) {
    text.push_back('e');
    text.append(std::to_string(exp));
  }
  T value{};
  const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec == std::errc::result_out_of_range) return point > 0 ? inf : T(0);
  return value;
}

template <class T>
T numberToFloating(const Number& n) {
  return n.base == 10 ? decimalToFloating<T>(n) : integerToFloating<T>(n);
}

// A number, optionally preceded by a minus sign (accepted at any precedence, as the base
// library does), inside any number of brackets.
template <class T, class Convert, class Negate>
ReadPrec<T> readNumber(Convert convert, Negate negate) {
  return readprec::parens(ReadPrec<T>([convert, negate](int, std::string_view s) {
    ReadResult<T> out;
    auto l = detail::lexLexeme(s);
    if (!l) return out;
    if (l->first.kind == Lexeme::Kind::Symbol && l->first.text == "-") {
      auto l2 = detail::lexLexeme(l->second);
      if (!l2) return out;
      if (std::optional<T> v = convert(l2->first)) out.emplace_back(negate(*v), l2->second);
    } else if (std::optional<T> v = convert(l->first)) {
      out.emplace_back(*v, l->second);
    }
    return out;
  }));
}

template <class T>
ReadPrec<T> readFloating() {
  return readNumber<T>(
      [](const Lexeme& l) -> std::optional<T> {
        if (l.kind == Lexeme::Kind::Ident && l.text == "NaN")
          return std::numeric_limits<T>::quiet_NaN();
        if (l.kind == Lexeme::Kind::Ident && l.text == "Infinity")
          return std::numeric_limits<T>::infinity();
        if (l.kind == Lexeme::Kind::Number) return numberToFloating<T>(l.number);
        return std::nullopt;
      },
      [](T x) { return -x; });
}

}  // namespace

double numberToDouble(const Number& n) { return numberToFloating<double>(n); }
float numberToFloat(const Number& n) { return numberToFloating<float>(n); }

// ---------------------------------------------------------------------------------------------
// Base readers

ReadPrec<std::uint64_t> detail::readIntegerModWord() {
  return readNumber<std::uint64_t>(
      [](const Lexeme& l) -> std::optional<std::uint64_t> {
        if (l.kind != Lexeme::Kind::Number) return std::nullopt;
        return numberToWord(l.number);
      },
      [](std::uint64_t w) { return 0 - w; });
}

ReadPrec<double> detail::readDoubleNumber() { return readFloating<double>(); }
ReadPrec<float> detail::readFloatNumber() { return readFloating<float>(); }

ReadPrec<char32_t> detail::readCharLiteral() {
  return readprec::parens(ReadPrec<char32_t>([](int, std::string_view s) {
    ReadResult<char32_t> out;
    if (auto l = lexLexeme(s); l && l->first.kind == Lexeme::Kind::Char)
      out.emplace_back(l->first.character, l->second);
    return out;
  }));
}

ReadPrec<std::vector<char32_t>> detail::readCodePointList() {
  // A string literal (false) or a list of character literals (true).
  using Tagged = std::pair<bool, std::vector<char32_t>>;
  const ReadPrec<std::vector<char32_t>> elements = listBody(hs::readPrec<char32_t>());
  const ReadPrec<Tagged> either([elements](int, std::string_view s) {
    ReadResult<Tagged> out;
    if (auto l = lexLexeme(s); l && l->first.kind == Lexeme::Kind::String) {
      out.emplace_back(Tagged(false, {l->first.string.begin(), l->first.string.end()}), l->second);
      return out;
    }
    for (auto& [x, rest] : elements(0, s)) out.emplace_back(Tagged(true, std::move(x)), rest);
    return out;
  });
  // Either inside any number of brackets. The list reader takes brackets of its own, so a list
  // inside brackets has one derivation per way of sharing them out: it reads ambiguously, and its
  // parse is given twice, not once per way.
  return ReadPrec<std::vector<char32_t>>([either](int d, std::string_view s) {
    ReadResult<std::vector<char32_t>> out;
    for (auto& [x, rest] : either(d, s)) out.emplace_back(std::move(x.second), rest);
    parensRun(either, s, [&out](auto&& x, std::string_view rest) {
      if (x.first) out.emplace_back(x.second, rest);
      out.emplace_back(std::forward<decltype(x)>(x).second, rest);
    });
    return out;
  });
}

}  // namespace hs
