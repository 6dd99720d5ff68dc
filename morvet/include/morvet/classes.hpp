// Equality, ordering, text forms, reading, hashing and deep evaluation of Fix (one layer at a time,
// through the functor's lifted capabilities), and of Mu and Nu through their Fix forms.
//
// Every walk over a Fix runs over an explicit stack, so values of any depth compare, show, hash
// and evaluate in constant native stack: the lifted operation is handed a stand-in for the holes
// that records them (equality and ordering take a recorded hole as equal and settle it after the
// layer; the writer leaves a gap where a hole goes; deep evaluation visits the recorded holes
// next). Hashing threads the salt through the holes: it nests while the stack has room, and below
// that computes a layer's hash again once per hole, each time with one more hole's hash known.
#pragma once

#include <cstddef>
#include <cstdint>
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

namespace morvet {

namespace internal {

// Reading a layer nests native calls (the reader combinators recurse into the holes), so a
// reader refuses, as no parse, a Fix layer that would start with less than this much of the
// thread's stack left: hostile nesting cannot exhaust the stack, whatever the build's frame sizes.
inline constexpr std::size_t readStackReserve = 256 * 1024;
// The native stack left below the caller's frame on this thread (the largest value when the
// thread's stack cannot be found).
std::size_t stackLeft() noexcept;

template <class T>
hs::ReadPrec<T> nestedReader(hs::ReadPrec<T> p) {
  return hs::ReadPrec<T>([p = std::move(p)](int d, std::string_view s) {
    if (internal::stackLeft() < readStackReserve) return hs::ReadResult<T>{};
    return p(d, s);
  });
}

template <class F>
bool equalFix(const Fix<F>& x, const Fix<F>& y) {
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
hs::Ordering compareFix(const Fix<F>& x, const Fix<F>& y) {
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
        internal::showsPrecFix(q, c, o);
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

// A hole's salt is known only once the holes before it are hashed, so the walk over an explicit
// stack runs a layer's lifted hash once more per hole (k + 1 runs for k holes, quadratic in a wide
// layer). While the thread's stack has room, holes are hashed by nested calls instead (one run per
// layer); the explicit stack takes over below this much stack.
inline constexpr std::size_t hashStackReserve = 256 * 1024;

template <class F>
std::int64_t hashFixOnStack(std::int64_t salt, const Fix<F>& x);

template <class F>
std::int64_t hashFix(std::int64_t salt, const Fix<F>& x) {
  if (internal::stackLeft() < hashStackReserve) return internal::hashFixOnStack(salt, x);
  return hs::liftHashWithSalt([](std::int64_t s, const Fix<F>& c) { return internal::hashFix(s, c); },
                              salt, x.unFix());
}

template <class F>
std::int64_t hashFixOnStack(std::int64_t salt, const Fix<F>& x) {
  struct Frame {
    Fix<F> node;
    std::int64_t salt;
    std::vector<std::int64_t> known;  // the hashes of the first holes, in call order
  };
  std::vector<Frame> frames;
  frames.push_back(Frame{x, salt, {}});
  for (;;) {
    Frame& top = frames.back();
    std::size_t calls = 0;
    std::optional<std::pair<std::int64_t, Fix<F>>> next;
    const auto hole = [&](std::int64_t s, const Fix<F>& c) -> std::int64_t {
      const std::size_t i = calls++;
      if (i < top.known.size()) return top.known[i];
      if (!next) next.emplace(s, c);
      return 0;  // this run's result is discarded
    };
    const std::int64_t h = hs::liftHashWithSalt(hole, top.salt, top.node.unFix());
    if (next) {
      frames.push_back(Frame{std::move(next->second), next->first, {}});
      continue;
    }
    frames.pop_back();
    if (frames.empty()) return h;
    frames.back().known.push_back(h);
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

template <class T, class F, class Make>
hs::ReadPrec<T> readRebuilt(std::string word, Make make) {
  namespace rp = hs::readprec;
  return rp::parens(rp::prec(
      10, rp::then(rp::expectP(hs::Lexeme::Ident(std::move(word))),
                   rp::then(rp::expectP(hs::Lexeme::Ident("unFix")),
                            rp::fmap(std::move(make), rp::step(hs::readPrec<Fix<F>>()))))));
}

}  // namespace internal

// ---- Fix ----------------------------------------------------------------------------------

template <class F>
bool operator==(const Fix<F>& a, const Fix<F>& b) {
  return internal::equalFix(a, b);
}
template <class F>
hs::Ordering compare(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b);
}
template <class F>
bool operator<(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) == hs::LT;
}
template <class F>
bool operator<=(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) != hs::GT;
}
template <class F>
bool operator>(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) == hs::GT;
}
template <class F>
bool operator>=(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) != hs::LT;
}
// The very argument: b unless a is the greater (so b when they are equal).
template <class F>
const Fix<F>& max(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) == hs::GT ? a : b;
}
// The very argument: b when a is the greater, otherwise a (so a when they are equal).
template <class F>
const Fix<F>& min(const Fix<F>& a, const Fix<F>& b) {
  return internal::compareFix(a, b) == hs::GT ? b : a;
}

// ---- Mu and Nu, through their Fix forms ------------------------------------------------------

#define MORVET_REBUILT_ORDERING(T, toFix)                                   \
  template <class F>                                                        \
  bool operator==(const T<F>& a, const T<F>& b) {                           \
    const Fix<F> fa = toFix(a);                                             \
    return internal::equalFix(fa, toFix(b));                                \
  }                                                                         \
  template <class F>                                                        \
  hs::Ordering compare(const T<F>& a, const T<F>& b) {                      \
    const Fix<F> fa = toFix(a);                                             \
    return internal::compareFix(fa, toFix(b));                              \
  }                                                                         \
  template <class F>                                                        \
  bool operator<(const T<F>& a, const T<F>& b) {                            \
    return morvet::compare(b, a) == hs::GT;                                 \
  }                                                                         \
  template <class F>                                                        \
  bool operator<=(const T<F>& a, const T<F>& b) {                           \
    return morvet::compare(a, b) != hs::GT;                                 \
  }                                                                         \
  template <class F>                                                        \
  bool operator>(const T<F>& a, const T<F>& b) {                            \
    return morvet::compare(a, b) == hs::GT;                                 \
  }                                                                         \
  template <class F>                                                        \
  bool operator>=(const T<F>& a, const T<F>& b) {                           \
    return b <= a;                                                          \
  }                                                                         \
  template <class F>                                                        \
  const T<F>& max(const T<F>& a, const T<F>& b) {                           \
    return morvet::compare(a, b) == hs::GT ? a : b;                         \
  }                                                                         \
  template <class F>                                                        \
  const T<F>& min(const T<F>& a, const T<F>& b) {                           \
    return morvet::compare(a, b) == hs::GT ? b : a;                         \
  }

MORVET_REBUILT_ORDERING(Mu, morvet::muToFix)
MORVET_REBUILT_ORDERING(Nu, morvet::nuToFix)
#undef MORVET_REBUILT_ORDERING

}  // namespace morvet

namespace hs {

// "Fix " and the layer at precedence 11, in brackets from precedence 11.
template <class F>
struct Show<morvet::Fix<F>> {
  static void showsPrec(int d, const morvet::Fix<F>& x, std::string& out) {
    morvet::internal::showsPrecFix(d, x, out);
  }
};
template <class F>
struct Show<morvet::Mu<F>> {
  static void showsPrec(int d, const morvet::Mu<F>& x, std::string& out) {
    morvet::internal::showRebuilt("unfoldMu unFix ", d, x, out);
  }
};
template <class F>
struct Show<morvet::Nu<F>> {
  static void showsPrec(int d, const morvet::Nu<F>& x, std::string& out) {
    morvet::internal::showRebuilt("unfoldNu unFix ", d, x, out);
  }
};

// The identifier "Fix", then a layer read at precedence 11; any number of brackets around.
template <class F>
struct Read<morvet::Fix<F>> {
  static ReadPrec<morvet::Fix<F>> readPrec() {
    using Fix = morvet::Fix<F>;
    using Layer = typename Fix::Layer;
    return readprec::readData(readprec::readUnaryWith(
        morvet::internal::nestedReader(
            hs::liftReadPrec<Layer>(hs::readPrec<Fix>(), hs::readListPrec<Fix>())),
        "Fix", [](Layer&& l) { return Fix(std::move(l)); }));
  }
};
// "unfoldMu", "unFix", then a bracketed Fix: the Mu that folds it.
template <class F>
struct Read<morvet::Mu<F>> {
  static ReadPrec<morvet::Mu<F>> readPrec() {
    return morvet::internal::readRebuilt<morvet::Mu<F>, F>(
        "unfoldMu", [](morvet::Fix<F>&& x) { return morvet::fixToMu(x); });
  }
};
template <class F>
struct Read<morvet::Nu<F>> {
  static ReadPrec<morvet::Nu<F>> readPrec() {
    return morvet::internal::readRebuilt<morvet::Nu<F>, F>(
        "unfoldNu", [](morvet::Fix<F>&& x) { return morvet::fixToNu(x); });
  }
};

// The functor's lifted hash of the layer, with Fix's own hash for the holes; nothing of Fix's own.
template <class F>
struct Hashable<morvet::Fix<F>> {
  static std::int64_t hashWithSalt(std::int64_t salt, const morvet::Fix<F>& x) {
    return morvet::internal::hashFix(salt, x);
  }
};

template <class F>
struct NFData<morvet::Fix<F>> {
  static void rnf(const morvet::Fix<F>& x) { morvet::internal::rnfFix(x); }
};

}  // namespace hs

template <class F>
struct std::hash<morvet::Fix<F>> {
  std::size_t operator()(const morvet::Fix<F>& x) const {
    return static_cast<std::size_t>(hs::hash(x));
  }
};
