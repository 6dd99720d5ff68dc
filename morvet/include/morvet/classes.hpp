/// \defgroup morvet_classes morvet/classes.hpp
/// \ingroup morvet_morvet
/// Equality, ordering, text forms, reading, hashing and deep evaluation of Fix (one layer at a
/// time, through the functor's lifted capabilities), and equality, ordering and text forms of Mu
/// and Nu through their Fix forms.
///
/// Each needs its own instance of the layer type: hs::Eq1, Ord1, Show1, Read1, Hashable1 or
/// NFData1 (morvet/list_f.hpp has them all for ListF; examples/readme/morvet.cpp writes Show1 and
/// Read1). == and the ordering operators are declared only where the layer has hs::Eq1 and
/// hs::Ord1, so that concepts such as std::equality_comparable tell the truth; the other uses stop
/// the build at one message naming the instance the layer lacks.
///
/// Every walk over a Fix runs over an explicit stack, so values of any depth compare, show, hash
/// and evaluate in constant native stack: the lifted operation is handed a stand-in for the holes
/// that records them (equality and ordering take a recorded hole as equal and settle it after the
/// layer, so they rely on lawful lifted comparisons; the writer leaves a gap where a hole goes;
/// deep evaluation visits the recorded holes next). Hashing threads the salt through the holes: it
/// nests near the root, and deeper down a layer's last hole takes the explicit stack, the others
/// nested calls. Reading a deep text reads the layers from the innermost out, each hole found
/// among the layers read already. The walks demand the layers they reach; the work stacks grow
/// with the depth and the holes waiting.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "hs/classes1.hpp"
#include "hs/hashable.hpp"
#include "hs/nfdata.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "hs/unit.hpp"
#include "morvet/fix.hpp"
#include "morvet/mu.hpp"
#include "morvet/nu.hpp"

/// \addtogroup morvet_classes
/// @{

namespace morvet {
/// \addtogroup morvet_classes
/// @{

namespace internal {

template <class F>
[[nodiscard]] bool equalFix(const Fix<F>& x, const Fix<F>& y) {
  std::vector<std::pair<Fix<F>, Fix<F>>> todo, found;
  todo.emplace_back(x, y);
  while (!todo.empty()) {
    const std::pair<Fix<F>, Fix<F>> p = std::move(todo.back());
    todo.pop_back();
    found.clear();
    const auto hole = [&found](const Fix<F>& a, const Fix<F>& b) {
      found.emplace_back(a, b);
      return true;
    };
    // The left layer is demanded first (the order of function arguments is unspecified).
    const auto& left = p.first.unFix();
    if (!hs::liftEq(hole, left, p.second.unFix())) return false;
    for (std::size_t i = found.size(); i-- > 0;) todo.push_back(std::move(found[i]));
  }
  return true;
}

// A layer's order is decided by its first unequal position; the recorded holes come before the
// position where the lifted comparison stopped, so they are settled first, in order, each with
// its own holes before the next.
template <class F>
[[nodiscard]] hs::Ordering compareFix(const Fix<F>& x, const Fix<F>& y) {
  struct Frame {
    std::size_t begin, next, end;
    hs::Ordering shape;
  };
  std::vector<std::pair<Fix<F>, Fix<F>>> holes;
  std::vector<Frame> frames;
  const auto open = [&](const Fix<F>& a, const Fix<F>& b) {
    const std::size_t begin = holes.size();
    const auto hole = [&holes](const Fix<F>& c, const Fix<F>& d) {
      holes.emplace_back(c, d);
      return hs::EQ;
    };
    const auto& left = a.unFix();  // the left layer first
    const hs::Ordering shape = hs::liftCompare(hole, left, b.unFix());
    frames.push_back(Frame{begin, begin, holes.size(), shape});
  };
  open(x, y);
  while (!frames.empty()) {
    Frame& top = frames.back();
    if (top.next < top.end) {
      const std::pair<Fix<F>, Fix<F>> p = holes[top.next++];
      open(p.first, p.second);
      continue;
    }
    if (top.shape != hs::EQ) return top.shape;
    holes.erase(holes.begin() + static_cast<std::ptrdiff_t>(top.begin), holes.end());
    frames.pop_back();
  }
  return hs::EQ;
}

template <class F>
void showsPrecFix(int d, const Fix<F>& x, std::string& out) {
  struct Hole {
    std::size_t at;
    int prec;
    Fix<F> x;
  };
  using Item = std::variant<std::string, std::pair<int, Fix<F>>>;
  std::vector<Item> todo;
  std::vector<Hole> holes;
  std::string seg;
  todo.emplace_back(std::pair<int, Fix<F>>(d, x));
  while (!todo.empty()) {
    Item item = std::move(todo.back());
    todo.pop_back();
    if (const std::string* text = std::get_if<std::string>(&item)) {
      out.append(*text);
      continue;
    }
    const auto& [prec, v] = std::get<1>(item);
    const bool bracket = prec >= 11;
    if (bracket) out.push_back('(');
    out.append("Fix ");
    seg.clear();
    holes.clear();
    // A writer that uses a buffer of its own gets the hole written in place (recursively).
    const auto sp = [&](int q, const Fix<F>& c, std::string& o) {
      if (&o == &seg)
        holes.push_back(Hole{o.size(), q, c});
      else
        hs::withStack([&] { internal::showsPrecFix(q, c, o); });
    };
    const auto sl = [&](const std::vector<Fix<F>>& cs, std::string& o) {
      o.push_back('[');
      for (std::size_t i = 0; i < cs.size(); ++i) {
        if (i > 0) o.push_back(',');
        sp(0, cs[i], o);
      }
      o.push_back(']');
    };
    hs::liftShowsPrec(sp, sl, 11, v.unFix(), seg);
    if (bracket) todo.emplace_back(std::string(")"));
    std::size_t end = seg.size();
    for (std::size_t i = holes.size(); i-- > 0;) {
      if (holes[i].at < end) todo.emplace_back(seg.substr(holes[i].at, end - holes[i].at));
      todo.emplace_back(std::pair<int, Fix<F>>(holes[i].prec, std::move(holes[i].x)));
      end = holes[i].at;
    }
    out.append(seg, 0, end);
  }
}

// A hole's salt is known only once the holes before it are hashed. The holes of the layers near
// the root are hashed by nested calls (through hs::withStack), one run of the lifted hash per
// layer. Deeper down, an explicit stack takes over: a first run of a layer's lifted hash counts its
// holes, a second (when there are several) hashes every hole but the last by a nested call and
// stops at the last, which the stack takes (so a chain of layers, whose depth is in its last holes,
// hashes in constant native stack), and a last, with every hole's hash known, gives the layer's.
// Either way a layer of k holes costs at most three runs and k hashes of holes.
inline constexpr std::size_t hashNestingDepth = 1024;

template <class F>
[[nodiscard]] std::int64_t hashFix(std::int64_t salt, const Fix<F>& x, std::size_t depth = 0) {
  if (depth < hashNestingDepth)
    return hs::withStack([&] {
      return hs::liftHashWithSalt(
          [depth](std::int64_t s, const Fix<F>& c) { return internal::hashFix(s, c, depth + 1); }, salt,
          x.unFix());
    });
  constexpr std::size_t uncounted = static_cast<std::size_t>(-1);
  struct Frame {
    Fix<F> node;
    std::int64_t salt;
    std::size_t holes, knownFrom;  // the frame's hashes of holes, in call order, are known[knownFrom..]
  };
  std::vector<Frame> frames;
  std::vector<std::int64_t> known;
  frames.push_back(Frame{x, salt, uncounted, 0});
  for (;;) {
    Frame& top = frames.back();
    const auto& layer = top.node.unFix();
    std::int64_t h = 0;
    if (top.holes == uncounted) {
      std::size_t n = 0;
      std::optional<std::pair<std::int64_t, Fix<F>>> last;  // a lone hole is its layer's last
      h = hs::liftHashWithSalt(
          [&](std::int64_t s, const Fix<F>& c) {
            if (n++ == 0) last.emplace(s, c);
            return std::int64_t{0};
          },
          top.salt, layer);
      top.holes = n;
      if (n > 1) {
        last.reset();
        std::size_t calls = 0;
        (void)hs::liftHashWithSalt(
            [&](std::int64_t s, const Fix<F>& c) -> std::int64_t {
              const std::size_t i = calls++;
              if (i + 1 < n) {
                const std::int64_t r = hs::withStack([&] { return internal::hashFix(s, c, depth + 1); });
                known.push_back(r);
                return r;
              }
              if (i + 1 == n) last.emplace(s, c);
              return 0;  // this run's result is discarded
            },
            top.salt, layer);
      }
      if (last) {
        frames.push_back(Frame{std::move(last->second), last->first, uncounted, known.size()});
        continue;
      }
    }
    if (top.holes > 0) {
      std::size_t i = top.knownFrom;
      h = hs::liftHashWithSalt(
          [&](std::int64_t, const Fix<F>&) { return i < known.size() ? known[i++] : std::int64_t{0}; },
          top.salt, layer);
    }
    known.resize(top.knownFrom);
    frames.pop_back();
    if (frames.empty()) return h;
    known.push_back(h);
  }
}

template <class F>
void rnfFix(const Fix<F>& x) {
  std::vector<Fix<F>> todo{x}, found;
  while (!todo.empty()) {
    const Fix<F> v = std::move(todo.back());
    todo.pop_back();
    found.clear();
    hs::liftRnf([&found](const Fix<F>& c) { found.push_back(c); }, v.unFix());
    for (std::size_t i = found.size(); i-- > 0;) todo.push_back(std::move(found[i]));
  }
}

template <class T>
void showRebuilt(std::string_view words, int d, const T& x, std::string& out) {
  const bool bracket = d >= 11;
  if (bracket) out.push_back('(');
  out.append(words);
  if constexpr (requires { morvet::muToFix(x); })
    internal::showsPrecFix(11, morvet::muToFix(x), out);
  else
    internal::showsPrecFix(11, morvet::nuToFix(x), out);
  if (bracket) out.push_back(')');
}

// Reading a Fix text nests the readers once per layer (a layer's reader reads its holes with the
// Fix reader). A reader this many layers deep reads ahead instead: it finds the "Fix" tokens from
// where it stands to the end of the bracket group around it, reads each of them, the innermost
// first, with the holes found among the layers read already, and keeps them while the outermost
// Fix reader is at work. So a text of any depth reads in the native stack of a few dozen layers,
// in time and memory linear in the text.
inline constexpr int readAheadDepth = 64;

template <class F>
struct FixReadTable {
  const char* end;  // of the input, which every position read here shares
  std::vector<const char*> at;  // where the "Fix" tokens start, in text order
  std::vector<hs::ReadResult<Fix<F>>> parses;
  std::size_t readFrom;  // parses[i] is read for i >= readFrom
  [[nodiscard]] const hs::ReadResult<Fix<F>>* find(std::string_view s) const noexcept {
    if (s.data() + s.size() != end) return nullptr;
    const auto it = std::lower_bound(at.begin(), at.end(), s.data(), std::less<const char*>());
    if (it == at.end() || *it != s.data()) return nullptr;
    const auto i = static_cast<std::size_t>(it - at.begin());
    return i >= readFrom ? &parses[i] : nullptr;
  }
};
template <class F>
struct FixReadState {
  int depth;  // of the Fix readers at work by nesting
  bool reading;  // a table is being read
  FixReadTable<F>* table;
};
template <class F>
[[nodiscard]] FixReadState<F>& fixReadState() noexcept {
  static constinit thread_local FixReadState<F> state{0, false, nullptr};
  return state;
}

// Whether c may continue an identifier (bytes of UTF-8 sequences included).
[[nodiscard]] inline bool identChar(char ch) noexcept {
  const auto c = static_cast<unsigned char>(ch);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '\'' || c >= 0x80;
}

// The starts of the "Fix" tokens of s up to its first unmatched closing bracket (a Fix read at s
// ends before it), or up to a literal that does not lex. Only brackets, identifiers and literals
// matter here, so the scan steps over everything else a byte at a time; where it could take
// something for a "Fix" token that the lexer would not, the table merely holds a parse nobody
// asks for.
[[nodiscard]] inline std::vector<const char*> fixTokens(std::string_view s) {
  std::vector<const char*> at;
  std::size_t open = 0, i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == '(' || c == '[' || c == '{') {
      ++open;
      ++i;
    } else if (c == ')' || c == ']' || c == '}') {
      if (open == 0) break;
      --open;
      ++i;
    } else if (c == '"' || c == '\'') {
      const auto l = hs::detail::lexToken(s.substr(i));
      if (!l) break;
      i = s.size() - l->second.size();
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80) {
      std::size_t j = i + 1;
      while (j < s.size() && internal::identChar(s[j])) ++j;
      if (s.substr(i, j - i) == "Fix") at.push_back(s.data() + i);
      i = j;
    } else {
      ++i;
    }
  }
  return at;
}

// The layer form `layer` (at precedence 10 or below) read at t, which starts with "Fix", with a
// table of the layers ahead.
template <class F>
[[nodiscard]] hs::ReadResult<Fix<F>> readAhead(const hs::ReadPrec<Fix<F>>& layer, std::string_view t) {
  FixReadState<F>& st = internal::fixReadState<F>();
  auto* mine = new FixReadTable<F>{t.data() + t.size(), internal::fixTokens(t), {}, 0};
  struct Restore {
    FixReadState<F>& st;
    FixReadTable<F>* mine;
    FixReadTable<F>* outer;
    bool reading;
    bool done = false;
    ~Restore() {
      st.reading = reading;
      // A table read inside another's reading serves its own read only; otherwise it stays
      // for the readers that come next (later holes of the layers around).
      if (done && !reading) {
        delete outer;
      } else {
        st.table = outer;
        delete mine;
      }
    }
  } restore{st, mine, st.table, st.reading};
  mine->parses.resize(mine->at.size());
  mine->readFrom = mine->at.size();
  st.table = mine;
  st.reading = true;
  for (std::size_t i = mine->at.size(); i-- > 0;) {
    mine->parses[i] = layer(10, std::string_view(mine->at[i], static_cast<std::size_t>(mine->end - mine->at[i])));
    mine->readFrom = i;
  }
  hs::ReadResult<Fix<F>> out = mine->parses.empty() ? hs::ReadResult<Fix<F>>{} : mine->parses.front();
  restore.done = true;
  return out;
}

// `layer`, the form "Fix" and a layer, as the Fix reader inside the brackets (at precedence 10 or
// below): layers found in the table are not read again, and a reader deep in the nesting reads
// ahead.
template <class F>
[[nodiscard]] hs::ReadPrec<Fix<F>> deepFixReader(hs::ReadPrec<Fix<F>> layer) {
  return hs::ReadPrec<Fix<F>>([layer = std::move(layer)](int d, std::string_view s) -> hs::ReadResult<Fix<F>> {
    if (d > 10) return {};
    FixReadState<F>& st = internal::fixReadState<F>();
    if (st.table != nullptr || st.depth >= readAheadDepth) {
      const std::string_view t = hs::skipSpaces(s);
      if (st.table != nullptr)
        if (const hs::ReadResult<Fix<F>>* hit = st.table->find(t)) return *hit;
      if (st.depth >= readAheadDepth && t.starts_with("Fix") && (t.size() == 3 || !internal::identChar(t[3])))
        return internal::readAhead(layer, t);
    }
    struct Nest {
      FixReadState<F>& st;
      ~Nest() {
        if (--st.depth == 0 && !st.reading) {
          delete st.table;
          st.table = nullptr;
        }
      }
    } nest{st};
    ++st.depth;
    return layer(10, s);
  });
}

template <class T, class F, class Make>
[[nodiscard]] hs::ReadPrec<T> readRebuilt(std::string word, Make make) {
  namespace rp = hs::readprec;
  return rp::parens(rp::prec(
      10, rp::then(rp::expectP(hs::Lexeme::Ident(std::move(word))),
                   rp::then(rp::expectP(hs::Lexeme::Ident("unFix")),
                            rp::fmap(std::move(make), rp::step(hs::readPrec<Fix<F>>()))))));
}

}  // namespace internal

// ---- Fix ----------------------------------------------------------------------------------

/// The same layers all the way down, by the functor's lifted equality: the left layer is demanded
/// first, a layer's own contents are compared before its holes, and the walk stops at the first
/// difference. Linear in the part compared; constant native stack. Declared only where the layer
/// has an hs::Eq1 instance, so std::equality_comparable (which the readers test) holds exactly
/// when a Fix can be compared.
template <class F>
  requires hs::Eq1Type<typename Fix<F>::Layer>
[[nodiscard]] bool operator==(const Fix<F>& a, const Fix<F>& b) {
  return internal::equalFix(a, b);
}
/// The lexicographic order by the functor's lifted ordering: a layer's first unequal position
/// decides, its holes before it settled first, in order, each with its own holes before the next;
/// the left layer is demanded first. Linear in the part compared; constant native stack. Needs the
/// layer's hs::Ord1 instance (a layer without one stops the build at one message naming it).
template <class F>
[[nodiscard]] hs::Ordering compare(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b);
}
/// `compare(a, b) == LT`; declared only where the layer has an hs::Ord1 instance, as the other
/// orderings are.
template <class F>
  requires hs::Ord1Type<typename Fix<F>::Layer>
[[nodiscard]] bool operator<(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) == hs::LT;
}
/// `compare(a, b) != GT`.
template <class F>
  requires hs::Ord1Type<typename Fix<F>::Layer>
[[nodiscard]] bool operator<=(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) != hs::GT;
}
/// `compare(a, b) == GT`.
template <class F>
  requires hs::Ord1Type<typename Fix<F>::Layer>
[[nodiscard]] bool operator>(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) == hs::GT;
}
/// `compare(a, b) != LT`.
template <class F>
  requires hs::Ord1Type<typename Fix<F>::Layer>
[[nodiscard]] bool operator>=(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) != hs::LT;
}
/// The very argument: b unless a is the greater (so b when they are equal).
template <class F>
[[nodiscard]] const Fix<F>& max(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) == hs::GT ? a : b;
}
/// The very argument: b when a is the greater, otherwise a (so a when they are equal).
template <class F>
[[nodiscard]] const Fix<F>& min(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) == hs::GT ? b : a;
}

// ---- Mu and Nu, through their Fix forms ------------------------------------------------------

// The reference expands this macro (docs/Doxyfile.in), so its documentation comments are block
// comments: a line comment would swallow the rest of the definition.
#define MORVET_REBUILT_ORDERING(T, toFix)                                   \
  /** Equality of the Fix forms, built by toFix as the walk goes; left first. \
      Declared only where the layer has an hs::Eq1 instance. */             \
  template <class F>                                                        \
    requires hs::Eq1Type<typename Fix<F>::Layer>                            \
  bool operator==(const T<F>& a, const T<F>& b) {                           \
    const Fix<F> fa = toFix(a);                                             \
    return internal::equalFix(fa, toFix(b));                                \
  }                                                                         \
  /** The order of the Fix forms, built by toFix as the walk goes; left first. */ \
  template <class F>                                                        \
  hs::Ordering compare(const T<F>& a, const T<F>& b) {                      \
    const Fix<F> fa = toFix(a);                                             \
    return internal::compareFix(fa, toFix(b));                              \
  }                                                                         \
  /** `compare(b, a) == GT`: the right operand first. Declared only where   \
      the layer has an hs::Ord1 instance, as the other orderings are. */    \
  template <class F>                                                        \
    requires hs::Ord1Type<typename Fix<F>::Layer>                            \
  bool operator<(const T<F>& a, const T<F>& b) {                            \
    return morvet::compare(b, a) == hs::GT;                                 \
  }                                                                         \
  /** `compare(a, b) != GT`. */                                             \
  template <class F>                                                        \
    requires hs::Ord1Type<typename Fix<F>::Layer>                            \
  bool operator<=(const T<F>& a, const T<F>& b) {                           \
    return morvet::compare(a, b) != hs::GT;                                 \
  }                                                                         \
  /** `compare(a, b) == GT`. */                                             \
  template <class F>                                                        \
    requires hs::Ord1Type<typename Fix<F>::Layer>                            \
  bool operator>(const T<F>& a, const T<F>& b) {                            \
    return morvet::compare(a, b) == hs::GT;                                 \
  }                                                                         \
  /** `b <= a`: the right operand first. */                                 \
  template <class F>                                                        \
    requires hs::Ord1Type<typename Fix<F>::Layer>                            \
  bool operator>=(const T<F>& a, const T<F>& b) {                           \
    return b <= a;                                                          \
  }                                                                         \
  /** The very argument: b unless a is the greater (b when they are equal). */ \
  template <class F>                                                        \
  const T<F>& max(const T<F>& a, const T<F>& b) {                           \
    return morvet::compare(a, b) == hs::GT ? a : b;                         \
  }                                                                         \
  /** The very argument: b when a is the greater, otherwise a. */            \
  template <class F>                                                        \
  const T<F>& min(const T<F>& a, const T<F>& b) {                           \
    return morvet::compare(a, b) == hs::GT ? b : a;                         \
  }

MORVET_REBUILT_ORDERING(Mu, morvet::muToFix)
MORVET_REBUILT_ORDERING(Nu, morvet::nuToFix)
#undef MORVET_REBUILT_ORDERING

/// @}
}  // namespace morvet

namespace hs {
/// \addtogroup morvet_classes
/// @{

/// "Fix " and the layer at precedence 11, in brackets from precedence 11, by the functor's lifted
/// writer (the layer's hs::Show1 instance). Over an explicit stack: the writer leaves a gap per hole, filled next; a writer that
/// writes a hole into a buffer of its own gets it written in place (recursively, through the stack
/// helper). Linear in the text; each layer's text is copied once more on its way to out.
template <class F>
struct Show<morvet::Fix<F>> {
  /// \privatesection
  static void showsPrec(int d, const morvet::Fix<F>& x, std::string& out) {
    morvet::internal::showsPrecFix(d, x, out);
  }
};
/// "unfoldMu unFix " and the Fix form at precedence 11, in brackets from precedence 11: the text
/// that reads back as a Mu of the same value. Folds the Mu (lazily, as muToFix).
template <class F>
struct Show<morvet::Mu<F>> {
  /// \privatesection
  static void showsPrec(int d, const morvet::Mu<F>& x, std::string& out) {
    morvet::internal::showRebuilt("unfoldMu unFix ", d, x, out);
  }
};
/// "unfoldNu unFix " and the Fix form at precedence 11, in brackets from precedence 11; runs the
/// steps (as nuToFix).
template <class F>
struct Show<morvet::Nu<F>> {
  /// \privatesection
  static void showsPrec(int d, const morvet::Nu<F>& x, std::string& out) {
    morvet::internal::showRebuilt("unfoldNu unFix ", d, x, out);
  }
};

/// The identifier "Fix", then a layer read at precedence 11 by the functor's lifted reader (the
/// layer's hs::Read1 instance; no equality is needed); any number of brackets around. A reader 64 layers deep reads ahead: it reads the layers of the
/// bracket group around it from the innermost out, so a text of any depth reads in the native
/// stack of 64 layers, in time and memory linear in the text. The layers read are evaluated cells.
template <class F>
struct Read<morvet::Fix<F>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<morvet::Fix<F>> readPrec() {
    using Fix = morvet::Fix<F>;
    using Layer = typename Fix::Layer;
    return readprec::parens(morvet::internal::deepFixReader<F>(readprec::readUnaryWith(
        hs::liftReadPrec<Layer>(hs::readPrec<Fix>(), hs::readListPrec<Fix>()), "Fix",
        [](Layer&& l) { return Fix(std::move(l)); })));
  }
};
/// "unfoldMu", "unFix", then a bracketed Fix: the Mu that folds it (fixToMu).
template <class F>
struct Read<morvet::Mu<F>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<morvet::Mu<F>> readPrec() {
    return morvet::internal::readRebuilt<morvet::Mu<F>, F>(
        "unfoldMu", [](morvet::Fix<F>&& x) { return morvet::fixToMu(x); });
  }
};
/// "unfoldNu", "unFix", then a bracketed Fix: the Nu that unfolds it (fixToNu).
template <class F>
struct Read<morvet::Nu<F>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<morvet::Nu<F>> readPrec() {
    return morvet::internal::readRebuilt<morvet::Nu<F>, F>(
        "unfoldNu", [](morvet::Fix<F>&& x) { return morvet::fixToNu(x); });
  }
};

/// The functor's lifted hash of the layer (its hs::Hashable1 instance), with Fix's own hash for
/// the holes; nothing of Fix's own.
/// One run of the lifted hash per layer for the first 1024 layers down (nested through the stack
/// helper), at most three below (a chain in constant native stack); linear in the value.
template <class F>
struct Hashable<morvet::Fix<F>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const morvet::Fix<F>& x) {
    return morvet::internal::hashFix(salt, x);
  }
};

/// Every layer demanded and deep-evaluated by the functor's lifted deep evaluation (the layer's
/// hs::NFData1 instance), the holes visited next, over an explicit stack.
template <class F>
struct NFData<morvet::Fix<F>> {
  /// \privatesection
  static void rnf(const morvet::Fix<F>& x) { morvet::internal::rnfFix(x); }
};

/// @}
}  // namespace hs

/// hs::hash of the value, so a Fix keys a std::unordered_map.
template <class F>
struct std::hash<morvet::Fix<F>> {
  /// \privatesection
  std::size_t operator()(const morvet::Fix<F>& x) const {
    return static_cast<std::size_t>(hs::hash(x));
  }
};

/// @}
