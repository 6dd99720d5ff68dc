// Text forms: values written exactly as the Haskell base library's Show instances write them.
// A writer appends its text to `out` (the C++ form of ShowS: "the text, then what follows").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/lazy.hpp"
#include "hs/stack.hpp"
#include "hs/unit.hpp"

namespace hs {

// ---------------------------------------------------------------------------------------------
// Text as code points. std::string holds UTF-8, generalised so that a String's every Char fits:
// a surrogate is written in the three-byte layout and read back from it, and a byte that starts
// no character decodes to U+DC00 + byte, which encodes back to that byte (so the three-byte
// layouts of U+DC80..U+DCFF start no character). Any byte string survives decode-then-encode
// unchanged, and so show-then-read and the serialised form. Code points survive encode-then-
// decode except where characters U+DC80..U+DCFF spell a character: a std::string cannot hold
// those as they are (detail::appendStringChar refuses them), so encodeUtf8 raises a program
// error for them; code points above U+10FFFF encode as U+FFFD. Both linear, one allocation.
[[nodiscard]] std::u32string decodeUtf8(std::string_view s);
[[nodiscard]] std::string encodeUtf8(std::u32string_view s);
void appendUtf8(char32_t c, std::string& out);

namespace detail {
// Decodes the code point at byte position i of s (i < s.size()); returns its length in bytes.
[[nodiscard]] std::size_t decodeUtf8At(std::string_view s, std::size_t i, char32_t& c) noexcept;
// Appends c to the UTF-8 of a String that is being built, when the String holds it as it is:
// false, with out unchanged, for a code point above U+10FFFF and for one of U+DC80..U+DCFF whose
// byte would join the bytes before it into another character (a std::string cannot tell that
// String from the one with that character). Constant time.
[[nodiscard]] bool appendStringChar(char32_t c, std::string& out);

void showSignedInt(int d, std::int64_t x, std::string& out);
void showWord(std::uint64_t x, std::string& out);
void showDouble(int d, double x, std::string& out);
void showFloat(int d, float x, std::string& out);
// A character literal: 'x', '\'', '\n', '\1234'.
void showCharLiteral(char32_t c, std::string& out);
// A string literal over code points, with the \& separators that keep escapes unambiguous.
void showStringLiteral(std::u32string_view s, std::string& out);
// A string literal over UTF-8 text (decoded as decodeUtf8 does).
void showUtf8Literal(std::string_view s, std::string& out);

template <class T>
inline constexpr bool isIntegerType =
    std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
    !std::is_same_v<T, wchar_t> && !std::is_same_v<T, char8_t> && !std::is_same_v<T, char16_t> &&
    !std::is_same_v<T, char32_t>;
}  // namespace detail

// ---------------------------------------------------------------------------------------------
// The class. Specialise with `static void showsPrec(int d, const T& x, std::string& out)` and,
// where a list of T has its own form, `static void showList(const std::vector<T>&, std::string&)`.
template <class T, class Enable = void>
struct Show;

template <class T>
concept ShowType = requires(int d, const T& x, std::string& out) {
  Show<T>::showsPrec(d, x, out);
};

// Values nest through here (a type's writer calls it for its parts), so it is a recursive point.
template <class T>
void showsPrec(int d, const T& x, std::string& out) {
  if constexpr (hs::mayNest<T>)
    hs::withStack([&] { Show<T>::showsPrec(d, x, out); });
  else
    Show<T>::showsPrec(d, x, out);
}
template <class T>
[[nodiscard]] std::string show(const T& x) {
  std::string out;
  hs::showsPrec(0, x, out);
  return out;
}

inline void showString(std::string_view s, std::string& out) { out.append(s); }
inline void showSpace(std::string& out) { out.push_back(' '); }

// body(out) between round brackets when b holds.
template <class F>
void showParen(bool b, F&& body, std::string& out) {
  if (b) out.push_back('(');
  std::forward<F>(body)(out);
  if (b) out.push_back(')');
}

// The standard list writer: "[", the elements separated by ",", "]". showElem(x, out) writes one
// element; xs is any range, so callers can stream elements without building a vector first.
template <class SE, class R>
void showListWith(SE&& showElem, const R& xs, std::string& out) {
  out.push_back('[');
  bool first = true;
  for (const auto& x : xs) {
    if (!first) out.push_back(',');
    first = false;
    showElem(x, out);
  }
  out.push_back(']');
}

template <class T>
void showList(const std::vector<T>& xs, std::string& out) {
  if constexpr (requires { Show<T>::showList(xs, out); })
    hs::withStack([&] { Show<T>::showList(xs, out); });
  else
    hs::showListWith([](const T& x, std::string& o) { hs::showsPrec(0, x, o); }, xs, out);
}

// A unary constructor: the name, a space and the argument at precedence 11, in brackets above 10.
template <class SP, class A>
void showsUnaryWith(SP&& sp, std::string_view name, int d, const A& x, std::string& out) {
  hs::showParen(
      d > 10,
      [&](std::string& o) {
        o.append(name);
        o.push_back(' ');
        sp(11, x, o);
      },
      out);
}

// Callables that write with a type's own Show, for the lifted forms' element writers.
struct ShowsPrec {
  template <class T>
  void operator()(int d, const T& x, std::string& out) const {
    hs::showsPrec(d, x, out);
  }
};
struct ShowList {
  template <class T>
  void operator()(const std::vector<T>& xs, std::string& out) const {
    hs::showList(xs, out);
  }
};

// ---------------------------------------------------------------------------------------------
// Lifted forms. Show1<F<A>> has `liftShowsPrec(sp, sl, d, x, out)` and Show2<F<A, B>> has
// `liftShowsPrec2(sp1, sl1, sp2, sl2, d, x, out)`; sp writes an element, (int, const A&,
// std::string&), and sl a list of elements, (const std::vector<A>&, std::string&). Either may
// also define liftShowList / liftShowList2; the default is the standard list writer.
template <class T, class Enable = void>
struct Show1;
template <class T, class Enable = void>
struct Show2;

template <class SP, class SL, class T>
void liftShowsPrec(SP&& sp, SL&& sl, int d, const T& x, std::string& out) {
  Show1<T>::liftShowsPrec(sp, sl, d, x, out);
}
template <class SP, class SL, class T>
void liftShowList(SP&& sp, SL&& sl, const std::vector<T>& xs, std::string& out) {
  if constexpr (requires { Show1<T>::liftShowList(sp, sl, xs, out); })
    Show1<T>::liftShowList(sp, sl, xs, out);
  else
    hs::showListWith([&](const T& x, std::string& o) { Show1<T>::liftShowsPrec(sp, sl, 0, x, o); },
                     xs, out);
}
template <class SP1, class SL1, class SP2, class SL2, class T>
void liftShowsPrec2(SP1&& sp1, SL1&& sl1, SP2&& sp2, SL2&& sl2, int d, const T& x,
                    std::string& out) {
  Show2<T>::liftShowsPrec2(sp1, sl1, sp2, sl2, d, x, out);
}
template <class SP1, class SL1, class SP2, class SL2, class T>
void liftShowList2(SP1&& sp1, SL1&& sl1, SP2&& sp2, SL2&& sl2, const std::vector<T>& xs,
                   std::string& out) {
  if constexpr (requires { Show2<T>::liftShowList2(sp1, sl1, sp2, sl2, xs, out); })
    Show2<T>::liftShowList2(sp1, sl1, sp2, sl2, xs, out);
  else
    hs::showListWith(
        [&](const T& x, std::string& o) { Show2<T>::liftShowsPrec2(sp1, sl1, sp2, sl2, 0, x, o); },
        xs, out);
}

// ---------------------------------------------------------------------------------------------
// Base instances.

// Signed integers as Int (a negative number is bracketed above precedence 6), unsigned ones as
// Word.
template <class T>
struct Show<T, std::enable_if_t<detail::isIntegerType<T>>> {
  static void showsPrec(int d, T x, std::string& out) {
    if constexpr (std::is_signed_v<T>)
      detail::showSignedInt(d, static_cast<std::int64_t>(x), out);
    else
      detail::showWord(static_cast<std::uint64_t>(x), out);
  }
};

template <>
struct Show<double> {
  static void showsPrec(int d, double x, std::string& out) { detail::showDouble(d, x, out); }
};
template <>
struct Show<float> {
  static void showsPrec(int d, float x, std::string& out) { detail::showFloat(d, x, out); }
};

// Char: char32_t is a code point; char is one byte taken as the code point 0-255 (Latin-1).
template <>
struct Show<char32_t> {
  static void showsPrec(int, char32_t c, std::string& out) { detail::showCharLiteral(c, out); }
  static void showList(const std::vector<char32_t>& xs, std::string& out) {
    detail::showStringLiteral(std::u32string_view(xs.data(), xs.size()), out);
  }
};
template <>
struct Show<char> {
  static void showsPrec(int, char c, std::string& out) {
    detail::showCharLiteral(static_cast<unsigned char>(c), out);
  }
  static void showList(const std::vector<char>& xs, std::string& out) {
    std::u32string cs;
    cs.reserve(xs.size());
    for (char c : xs) cs.push_back(static_cast<unsigned char>(c));
    detail::showStringLiteral(cs, out);
  }
};

// String: UTF-8 text shown as a string literal over its code points.
template <>
struct Show<std::string> {
  static void showsPrec(int, const std::string& s, std::string& out) {
    detail::showUtf8Literal(s, out);
  }
};

template <>
struct Show<bool> {
  static void showsPrec(int, bool b, std::string& out) { out.append(b ? "True" : "False"); }
};
template <>
struct Show<Unit> {
  static void showsPrec(int, Unit, std::string& out) { out.append("()"); }
};
template <>
struct Show<Ordering> {
  static void showsPrec(int, Ordering o, std::string& out) {
    out.append(o == LT ? "LT" : (o == EQ ? "EQ" : "GT"));
  }
};

// Pairs and tuples: "(", the components at precedence 0 separated by ",", ")".
template <class A, class B>
struct Show<std::pair<A, B>> {
  static void showsPrec(int, const std::pair<A, B>& p, std::string& out) {
    out.push_back('(');
    hs::showsPrec(0, p.first, out);
    out.push_back(',');
    hs::showsPrec(0, p.second, out);
    out.push_back(')');
  }
};
template <class... A>
struct Show<std::tuple<A...>, std::enable_if_t<(sizeof...(A) >= 2)>> {
  static void showsPrec(int, const std::tuple<A...>& t, std::string& out) {
    out.push_back('(');
    std::apply(
        [&](const A&... a) {
          bool first = true;
          auto one = [&](const auto& x) {
            if (!first) out.push_back(',');
            first = false;
            hs::showsPrec(0, x, out);
          };
          (one(a), ...);
        },
        t);
    out.push_back(')');
  }
};

// Lists: the element type's list writer (a list of Char is a string literal).
template <class A>
struct Show<std::vector<A>> {
  static void showsPrec(int, const std::vector<A>& xs, std::string& out) { hs::showList(xs, out); }
};

// Maybe: "Nothing", or "Just " and the value at precedence 11, in brackets above 10.
template <class A>
struct Show<std::optional<A>> {
  static void showsPrec(int d, const std::optional<A>& x, std::string& out) {
    if (!x) {
      out.append("Nothing");
      return;
    }
    hs::showsUnaryWith(ShowsPrec{}, "Just", d, *x, out);
  }
};

// A deferred value shows as its value.
template <class A>
struct Show<Lazy<A>> {
  static void showsPrec(int d, const Lazy<A>& x, std::string& out) {
    hs::showsPrec(d, x.force(), out);
  }
};

template <class A>
struct Show1<std::vector<A>> {
  template <class SP, class SL>
  static void liftShowsPrec(SP&&, SL&& sl, int, const std::vector<A>& xs, std::string& out) {
    sl(xs, out);
  }
};
template <class A>
struct Show1<std::optional<A>> {
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&&, int d, const std::optional<A>& x, std::string& out) {
    if (!x) {
      out.append("Nothing");
      return;
    }
    hs::showsUnaryWith(sp, "Just", d, *x, out);
  }
};
template <class A, class B>
struct Show2<std::pair<A, B>> {
  template <class SP1, class SL1, class SP2, class SL2>
  static void liftShowsPrec2(SP1&& sp1, SL1&&, SP2&& sp2, SL2&&, int, const std::pair<A, B>& p,
                             std::string& out) {
    out.push_back('(');
    sp1(0, p.first, out);
    out.push_back(',');
    sp2(0, p.second, out);
    out.push_back(')');
  }
};
// The pair as a functor in its second component.
template <class A, class B>
struct Show1<std::pair<A, B>> {
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&& sl, int d, const std::pair<A, B>& p, std::string& out) {
    Show2<std::pair<A, B>>::liftShowsPrec2(ShowsPrec{}, ShowList{}, sp, sl, d, p, out);
  }
};

}  // namespace hs
