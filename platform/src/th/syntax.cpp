#include "hs/th/syntax.hpp"

#include <atomic>
#include <ostream>

#include "hs/th/lib.hpp"
#include "hs/th/lift.hpp"
#include "hs/stack.hpp"

namespace hs::th {

namespace {

bool isAsciiUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
bool isAsciiAlpha(unsigned char c) { return isAsciiUpper(c) || (c >= 'a' && c <= 'z'); }
bool isAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
// Bytes of multi-byte characters count as letters: identifiers beyond ASCII are letters far more
// often than symbols.
bool isIdentChar(unsigned char c) {
  return isAsciiAlpha(c) || isAsciiDigit(c) || c == '_' || c == '\'' || c >= 0x80;
}

// A module path: components separated by single dots, each starting with an upper-case letter
// and made of identifier characters.
bool isModuleName(std::string_view s) {
  while (true) {
    const std::size_t dot = s.find('.');
    const std::string_view part = s.substr(0, dot);
    if (part.empty() || !isAsciiUpper(static_cast<unsigned char>(part.front()))) return false;
    for (char c : part)
      if (!isIdentChar(static_cast<unsigned char>(c))) return false;
    if (dot == std::string_view::npos) return true;
    s.remove_prefix(dot + 1);
  }
}

// Whether a name's text is an identifier (as opposed to an operator): the first character of the
// part after the module qualifiers decides.
bool isIdentifierText(std::string_view s) {
  while (!s.empty()) {
    const auto c = static_cast<unsigned char>(s.front());
    if (!(isAsciiAlpha(c) || c >= 0x80 || c == '_' || c == '[' || c == ']' || c == '(' ||
          c == ')'))
      return false;
    const std::size_t dot = s.find('.');
    if (dot == std::string_view::npos) return true;
    s.remove_prefix(dot + 1);
  }
  return false;
}

// Decodes UTF-8; a malformed sequence gives U+FFFD for its first byte.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  auto cont = [&](std::size_t k) -> int {
    if (i + k >= s.size()) return -1;
    const auto b = static_cast<unsigned char>(s[i + k]);
    return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
  };
  std::size_t len = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (b0 < 0x80) {
    ++i;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  }
  bool ok = len != 0;
  for (std::size_t k = 1; ok && k < len; ++k) {
    const int c = cont(k);
    if (c < 0)
      ok = false;
    else
      cp = (cp << 6) | static_cast<char32_t>(c);
  }
  if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return 0xFFFD;
  }
  i += len;
  return cp;
}

const char* const asciiNames[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                  "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                  "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

// Writes one character of a character or string literal with the escapes of the literal syntax.
// `guard` carries what the previous escape needs separated from it by "\&": a numeric escape
// from a following digit, "\SO" from a following 'H'.
enum class Guard { None, Digit, H };
void litChar(char32_t c, char quote, std::string& out, Guard& guard) {
  if ((guard == Guard::Digit && c >= '0' && c <= '9') || (guard == Guard::H && c == 'H'))
    out += "\\&";
  guard = Guard::None;
  if (c > 0x7F) {
    out += '\\';
    out += detail::decimal(static_cast<std::uint32_t>(c));
    guard = Guard::Digit;
  } else if (c == 0x7F) {
    out += "\\DEL";
  } else if (c == '\\') {
    out += "\\\\";
  } else if (c == static_cast<char32_t>(quote)) {
    out += '\\';
    out += quote;
  } else if (c >= ' ') {
    out += static_cast<char>(c);
  } else {
    switch (c) {
      case '\a': out += "\\a"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\v': out += "\\v"; break;
      default:
        out += '\\';
        out += asciiNames[c];
        if (c == 14) guard = Guard::H;
    }
  }
}

void showChar(char32_t c, std::string& out) {
  Guard g = Guard::None;
  out += '\'';
  litChar(c, '\'', out, g);
  out += '\'';
}

void showString(std::string_view s, std::string& out) {
  Guard g = Guard::None;
  out += '"';
  for (std::size_t i = 0; i < s.size();) litChar(nextCodePoint(s, i), '"', out, g);
  out += '"';
}

void open(int d, std::string& out) {
  if (d > 10) out += '(';
}
void close(int d, std::string& out) {
  if (d > 10) out += ')';
}

void showsMaybe(int d, const std::optional<Exp>& e, std::string& out) {
  if (!e) {
    out += "Nothing";
    return;
  }
  open(d, out);
  out += "Just ";
  showsPrec(11, *e, out);
  close(d, out);
}

template <class T, class F>
void showsList(const std::vector<T>& xs, F&& each, std::string& out) {
  out += '[';
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i > 0) out += ',';
    each(xs[i]);
  }
  out += ']';
}

template <class F>
std::string render(F&& f) {
  std::string out;
  f(out);
  return out;
}

}  // namespace

// Names.

Name mkName(std::string_view text) {
  for (std::size_t i = text.size(); i-- > 0;) {
    if (text[i] == '.' && i + 1 < text.size() && isModuleName(text.substr(0, i)))
      return Name{std::string(text.substr(i + 1)), NameQ{std::string(text.substr(0, i))}};
  }
  return Name{std::string(text), NameS{}};
}
Name mkNameU(std::string occ, Uniq unique) { return Name{std::move(occ), NameU{unique}}; }
Name mkNameG(NameSpace space, std::string package, std::string module, std::string occ) {
  return Name{std::move(occ), NameG{space, std::move(package), std::move(module)}};
}
Name mkNameG_v(std::string package, std::string module, std::string occ) {
  return mkNameG(NameSpace::VarName, std::move(package), std::move(module), std::move(occ));
}
Name mkNameG_d(std::string package, std::string module, std::string occ) {
  return mkNameG(NameSpace::DataName, std::move(package), std::move(module), std::move(occ));
}
Name mkNameG_tc(std::string package, std::string module, std::string occ) {
  return mkNameG(NameSpace::TcClsName, std::move(package), std::move(module), std::move(occ));
}

const std::string& nameBase(const Name& n) noexcept { return n.occ; }

std::string showName(const Name& n) {
  struct V {
    const std::string& occ;
    std::string operator()(const NameS&) const { return occ; }
    std::string operator()(const NameQ& q) const { return q.module + "." + occ; }
    std::string operator()(const NameU& u) const { return occ + "_" + detail::decimal(u.unique); }
    std::string operator()(const NameL& l) const { return occ + "_" + detail::decimal(l.unique); }
    std::string operator()(const NameG& g) const { return g.module + "." + occ; }
  };
  return std::visit(V{n.occ}, n.flavour);
}

std::string showName_(NameIs mode, const Name& n) {
  std::string s = showName(n);
  switch (mode) {
    case NameIs::Alone:
      break;
    case NameIs::Applied:
      if (!isIdentifierText(s)) s = "(" + s + ")";
      break;
    case NameIs::Infix:
      if (isIdentifierText(s)) s = "`" + s + "`";
      break;
  }
  return s;
}

std::string show(const Name& n) { return showName(n); }
void showsPrec(int, const Name& n, std::string& out) { out += showName(n); }
std::ostream& operator<<(std::ostream& os, const Name& n) { return os << showName(n); }

const Name& trueName() {
  static const Name n = mkNameG_d("ghc-prim", "GHC.Types", "True");
  return n;
}
const Name& falseName() {
  static const Name n = mkNameG_d("ghc-prim", "GHC.Types", "False");
  return n;
}
const Name& nothingName() {
  static const Name n = mkNameG_d("base", "GHC.Maybe", "Nothing");
  return n;
}
const Name& justName() {
  static const Name n = mkNameG_d("base", "GHC.Maybe", "Just");
  return n;
}
const Name& detail::unitDataName() {
  static const Name n = mkNameG_d("ghc-prim", "GHC.Tuple", "()");
  return n;
}

// Literals and expressions.

void showsPrec(int d, const Lit& l, std::string& out) {
  open(d, out);
  std::visit(
      [&](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, CharL>) {
          out += "CharL ";
          showChar(v.value, out);
        } else if constexpr (std::is_same_v<V, StringL>) {
          out += "StringL ";
          showString(v.value, out);
        } else {
          out += "IntegerL ";
          if (v.negative()) {
            out += '(';
            out += v.text();
            out += ')';
          } else {
            out += v.text();
          }
        }
      },
      l);
  close(d, out);
}

namespace {
// One layer; the layers inside come back through showsPrec.
[[gnu::noinline]] void showExp(int d, const Exp& e, std::string& out) {
  open(d, out);
  std::visit(
      [&](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, VarE>) {
          out += "VarE ";
          showsPrec(11, v.name, out);
        } else if constexpr (std::is_same_v<V, ConE>) {
          out += "ConE ";
          showsPrec(11, v.name, out);
        } else if constexpr (std::is_same_v<V, LitE>) {
          out += "LitE ";
          showsPrec(11, v.lit, out);
        } else if constexpr (std::is_same_v<V, AppE>) {
          out += "AppE ";
          showsPrec(11, v.fun, out);
          out += ' ';
          showsPrec(11, v.arg, out);
        } else if constexpr (std::is_same_v<V, InfixE>) {
          out += "InfixE ";
          showsMaybe(11, v.left, out);
          out += ' ';
          showsPrec(11, v.op, out);
          out += ' ';
          showsMaybe(11, v.right, out);
        } else if constexpr (std::is_same_v<V, ListE>) {
          out += "ListE ";
          showsList(v.elems, [&](const Exp& x) { showsPrec(0, x, out); }, out);
        } else {
          out += "TupE ";
          showsList(v.elems, [&](const std::optional<Exp>& x) { showsMaybe(0, x, out); }, out);
        }
      },
      e.node());
  close(d, out);
}
}  // namespace

// Both out of line: inlined into each other, they spend the compiler's inlining budget for the
// unit before the appends to the text get theirs.
[[gnu::noinline]] void showsPrec(int d, const Exp& e, std::string& out) {
  hs::withStack([&] { showExp(d, e, out); });
}

std::string show(const Lit& l) {
  return render([&](std::string& out) { showsPrec(0, l, out); });
}
std::string show(const Exp& e) {
  return render([&](std::string& out) { showsPrec(0, e, out); });
}
std::ostream& operator<<(std::ostream& os, const Lit& l) { return os << show(l); }
std::ostream& operator<<(std::ostream& os, const Exp& e) { return os << show(e); }

// The quotation context and the builders.

Name Quote::newName(std::string base) {
  static std::atomic<Uniq> counter{0};
  return mkNameU(std::move(base), counter.fetch_add(1, std::memory_order_relaxed) + 1);
}

Quote& defaultQuote() noexcept {
  static Quote q;
  return q;
}

namespace {
Exp built(Quote& q, Exp e) {
  q.step(e);
  return e;
}
}  // namespace

Exp varE(Quote& q, Name n) { return built(q, VarE{std::move(n)}); }
Exp conE(Quote& q, Name n) { return built(q, ConE{std::move(n)}); }
Exp litE(Quote& q, Lit l) { return built(q, LitE{std::move(l)}); }
Exp appE(Quote& q, Exp f, Exp x) { return built(q, AppE{std::move(f), std::move(x)}); }
Exp infixE(Quote& q, std::optional<Exp> left, Exp op, std::optional<Exp> right) {
  return built(q, InfixE{std::move(left), std::move(op), std::move(right)});
}
Exp infixApp(Quote& q, Exp left, Exp op, Exp right) {
  return infixE(q, std::move(left), std::move(op), std::move(right));
}
Exp listE(Quote& q, std::vector<Exp> elems) { return built(q, ListE{std::move(elems)}); }
Exp tupE(Quote& q, std::vector<Exp> elems) {
  std::vector<std::optional<Exp>> es;
  es.reserve(elems.size());
  for (Exp& e : elems) es.emplace_back(std::move(e));
  return built(q, TupE{std::move(es)});
}

}  // namespace hs::th
