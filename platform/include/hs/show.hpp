/// \defgroup hs_show hs/show.hpp
/// \ingroup hsplatform
/// Text forms: values written exactly as the Haskell base library's Show instances write them,
/// the lifted forms for one- and two-parameter types, and the UTF-8 conversions of String.
///
/// A writer appends its text to `out` (the C++ form of ShowS: "the text, then what follows"), so
/// writing a value allocates only as `out` grows, unless said otherwise. Writers of values that
/// nest go through the stack helper, so their depth is bounded by memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/internal/instance.hpp"
#include "hs/lazy.hpp"
#include "hs/stack.hpp"
#include "hs/unit.hpp"

namespace hs {
/// \addtogroup hs_show
/// @{

// ---------------------------------------------------------------------------------------------
// Text as code points. std::string holds UTF-8, generalised so that a String's every Char fits:
// a surrogate is written in the three-byte layout and read back from it, and a byte that starts
// no character decodes to U+DC00 + byte, which encodes back to that byte (so the three-byte
// layouts of U+DC80..U+DCFF start no character). Any byte string survives decode-then-encode
// unchanged, and so show-then-read and the serialised form. Code points survive encode-then-
// decode except where characters U+DC80..U+DCFF spell a character: a std::string cannot hold
// those as they are (detail::appendStringChar refuses them).

/// The code points of generalised UTF-8 text: a byte that starts no character becomes
/// U+DC00 + byte, a surrogate in the three-byte layout is read as itself. Linear; one allocation
/// of a code point per byte.
[[nodiscard]] std::u32string decodeUtf8(std::string_view s);
/// The generalised UTF-8 of code points, the inverse of decodeUtf8: U+DC80..U+DCFF as the byte
/// each stands for, a surrogate in the three-byte layout, a code point above U+10FFFF as U+FFFD.
/// A program error where characters U+DC80..U+DCFF would join into another character. Linear;
/// reserves a byte per code point and grows where characters take more.
[[nodiscard]] std::string encodeUtf8(std::u32string_view s);
/// Appends c in the layout of encodeUtf8, without its check: a character U+DC80..U+DCFF is
/// appended as its byte even where that byte joins the bytes before it.
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
/// The text form of T: specialise with `static void showsPrec(int d, const T& x, std::string& out)`
/// and, where a list of T has its own form, `static void showList(const std::vector<T>&,
/// std::string&)`. d is the precedence of the surrounding context (0 to 11): a form that binds
/// looser than d is written in brackets.
template <class T, class Enable = void>
struct Show;

/// A type with a Show instance.
template <class T>
concept ShowType = requires(int d, const T& x, std::string& out) {
  Show<T>::showsPrec(d, x, out);
};

namespace detail {
// Whether T has a Show instance; where it has none, the build stops at this one message.
template <class T>
constexpr bool requireShow() {
  static_assert(hasInstance<Show<T>>,
                "this type has no text form: specialise hs::Show<T> with "
                "static void showsPrec(int d, const T&, std::string& out) (an example: "
                "hs::Show<std::pair<A, B>> in platform/include/hs/show.hpp)");
  return hasInstance<Show<T>>;
}
}  // namespace detail

/// Appends the text form of x at precedence d, by T's Show instance (a type without one stops the
/// build at one message naming hs::Show). Values nest through here (a type's writer calls it for
/// its parts), so for a type that may nest it is a recursive point.
template <class T>
void showsPrec(int d, const T& x, std::string& out) {
  if constexpr (!detail::requireShow<T>())
    return;
  else if constexpr (hs::mayNest<T>)
    hs::withStack([&] { Show<T>::showsPrec(d, x, out); });
  else
    Show<T>::showsPrec(d, x, out);
}
/// The text form of x at precedence 0, in a new string.
template <class T>
[[nodiscard]] std::string show(const T& x) {
  std::string out;
  hs::showsPrec(0, x, out);
  return out;
}

/// Appends s as it is.
inline void showString(std::string_view s, std::string& out) { out.append(s); }
/// Appends one space.
inline void showSpace(std::string& out) { out.push_back(' '); }

/// body(out) between round brackets when b holds.
template <class F>
void showParen(bool b, F&& body, std::string& out) {
  if (b) out.push_back('(');
  std::forward<F>(body)(out);
  if (b) out.push_back(')');
}

/// The standard list writer: "[", the elements separated by ",", "]". showElem(x, out) writes one
/// element; xs is any range, so callers can stream elements without building a vector first.
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

/// Appends the list form of xs: the element type's own showList where it has one (a list of
/// characters is a string literal), else the standard list writer with each element at
/// precedence 0.
template <class T>
void showList(const std::vector<T>& xs, std::string& out) {
  if constexpr (requires { Show<T>::showList(xs, out); })
    hs::withStack([&] { Show<T>::showList(xs, out); });
  else
    hs::showListWith([](const T& x, std::string& o) { hs::showsPrec(0, x, o); }, xs, out);
}

/// A unary constructor: the name, a space and the argument written by sp at precedence 11, in
/// brackets above 10.
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

/// The element writer of the lifted forms that writes with the element type's own Show.
struct ShowsPrec {
  /// hs::showsPrec(d, x, out).
  template <class T>
  void operator()(int d, const T& x, std::string& out) const {
    hs::showsPrec(d, x, out);
  }
};
/// The list writer of the lifted forms that writes with the element type's own Show.
struct ShowList {
  /// hs::showList(xs, out).
  template <class T>
  void operator()(const std::vector<T>& xs, std::string& out) const {
    hs::showList(xs, out);
  }
};

// ---------------------------------------------------------------------------------------------
/// The lifted text form of a one-parameter type `F<A>`: specialise `Show1<F<A>>` with
/// `liftShowsPrec(sp, sl, d, x, out)`, where sp writes an element, `(int, const A&,
/// std::string&)`, and sl a list of elements, `(const std::vector<A>&, std::string&)`; optionally
/// `liftShowList(sp, sl, xs, out)` (by default the standard list writer).
template <class T, class Enable = void>
struct Show1;
/// The lifted text form of a two-parameter type `F<A, B>`: specialise `Show2<F<A, B>>` with
/// `liftShowsPrec2(sp1, sl1, sp2, sl2, d, x, out)` and optionally `liftShowList2`, as Show1.
template <class T, class Enable = void>
struct Show2;

namespace detail {
// Whether T has a Show1 instance; where it has none, the build stops at this one message.
template <class T>
constexpr bool requireShow1() {
  static_assert(hasInstance<Show1<T>>,
                "this type has no lifted text form: specialise hs::Show1<F<A>> with "
                "static void liftShowsPrec(sp, sl, int d, const F<A>&, std::string& out), sp "
                "writing an element and sl a list of them (an example: examples/readme/morvet.cpp)");
  return hasInstance<Show1<T>>;
}
}  // namespace detail

/// Appends x at precedence d with its elements written by sp and sl, by T's Show1 instance (a
/// type without one stops the build at one message naming hs::Show1).
template <class SP, class SL, class T>
void liftShowsPrec(SP&& sp, SL&& sl, int d, const T& x, std::string& out) {
  if constexpr (detail::requireShow1<T>()) Show1<T>::liftShowsPrec(sp, sl, d, x, out);
}
/// Appends the list form of xs, each x written as liftShowsPrec writes it at precedence 0 (or by
/// the instance's own liftShowList).
template <class SP, class SL, class T>
void liftShowList(SP&& sp, SL&& sl, const std::vector<T>& xs, std::string& out) {
  if constexpr (!detail::requireShow1<T>())
    return;
  else if constexpr (requires { Show1<T>::liftShowList(sp, sl, xs, out); })
    Show1<T>::liftShowList(sp, sl, xs, out);
  else
    hs::showListWith([&](const T& x, std::string& o) { Show1<T>::liftShowsPrec(sp, sl, 0, x, o); },
                     xs, out);
}
/// Appends x at precedence d with its first elements written by sp1 / sl1 and its second by
/// sp2 / sl2, by T's Show2 instance.
template <class SP1, class SL1, class SP2, class SL2, class T>
void liftShowsPrec2(SP1&& sp1, SL1&& sl1, SP2&& sp2, SL2&& sl2, int d, const T& x,
                    std::string& out) {
  Show2<T>::liftShowsPrec2(sp1, sl1, sp2, sl2, d, x, out);
}
/// Appends the list form of xs, each x written as liftShowsPrec2 writes it at precedence 0 (or by
/// the instance's own liftShowList2).
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

/// Signed integers as Int (a negative number is bracketed above precedence 6), unsigned ones as
/// Word, in decimal.
template <class T>
struct Show<T, std::enable_if_t<detail::isIntegerType<T>>> {
  /// \privatesection
  static void showsPrec(int d, T x, std::string& out) {
    if constexpr (std::is_signed_v<T>)
      detail::showSignedInt(d, static_cast<std::int64_t>(x), out);
    else
      detail::showWord(static_cast<std::uint64_t>(x), out);
  }
};

/// The shortest digits that identify the double, generated as the base library generates them
/// and in its layout (`0.1`, `1.0e-2`, `1.0e7`, `-0.0`, `Infinity`, `NaN`); a negative number is
/// bracketed above precedence 6.
template <>
struct Show<double> {
  /// \privatesection
  static void showsPrec(int d, double x, std::string& out) { detail::showDouble(d, x, out); }
};
/// As double, with the shortest digits that identify the float.
template <>
struct Show<float> {
  /// \privatesection
  static void showsPrec(int d, float x, std::string& out) { detail::showFloat(d, x, out); }
};

/// A code point as a character literal (<code>'x'</code>, <code>'\\n'</code>,
/// <code>'\\1234'</code>); a list of them as a string literal.
template <>
struct Show<char32_t> {
  /// \privatesection
  static void showsPrec(int, char32_t c, std::string& out) { detail::showCharLiteral(c, out); }
  static void showList(const std::vector<char32_t>& xs, std::string& out) {
    detail::showStringLiteral(std::u32string_view(xs.data(), xs.size()), out);
  }
};
/// One byte taken as the code point 0-255 (Latin-1), as a character literal; a list of them as a
/// string literal (through a copy as code points).
template <>
struct Show<char> {
  /// \privatesection
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

/// UTF-8 text as a string literal over its code points (those decodeUtf8 finds); linear,
/// through a temporary copy as code points.
template <>
struct Show<std::string> {
  /// \privatesection
  static void showsPrec(int, const std::string& s, std::string& out) {
    detail::showUtf8Literal(s, out);
  }
};

/// `True` or `False`.
template <>
struct Show<bool> {
  /// \privatesection
  static void showsPrec(int, bool b, std::string& out) { out.append(b ? "True" : "False"); }
};
/// `()`.
template <>
struct Show<Unit> {
  /// \privatesection
  static void showsPrec(int, Unit, std::string& out) { out.append("()"); }
};
/// `LT`, `EQ` or `GT`.
template <>
struct Show<Ordering> {
  /// \privatesection
  static void showsPrec(int, Ordering o, std::string& out) {
    out.append(o == LT ? "LT" : (o == EQ ? "EQ" : "GT"));
  }
};

/// "(", the components at precedence 0 separated by ",", ")".
template <class A, class B>
struct Show<std::pair<A, B>> {
  /// \privatesection
  static void showsPrec(int, const std::pair<A, B>& p, std::string& out) {
    out.push_back('(');
    hs::showsPrec(0, p.first, out);
    out.push_back(',');
    hs::showsPrec(0, p.second, out);
    out.push_back(')');
  }
};
/// A tuple of two or more components as a pair is written.
template <class... A>
struct Show<std::tuple<A...>, std::enable_if_t<(sizeof...(A) >= 2)>> {
  /// \privatesection
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

/// The element type's list writer (hs::showList: a list of characters is a string literal).
template <class A>
struct Show<std::vector<A>> {
  /// \privatesection
  static void showsPrec(int, const std::vector<A>& xs, std::string& out) { hs::showList(xs, out); }
};

/// `Nothing`, or `Just ` and the value at precedence 11, in brackets above 10.
template <class A>
struct Show<std::optional<A>> {
  /// \privatesection
  static void showsPrec(int d, const std::optional<A>& x, std::string& out) {
    if (!x) {
      out.append("Nothing");
      return;
    }
    hs::showsUnaryWith(ShowsPrec{}, "Just", d, *x, out);
  }
};

/// A deferred value as its value; forces the cell.
template <class A>
struct Show<Lazy<A>> {
  /// \privatesection
  static void showsPrec(int d, const Lazy<A>& x, std::string& out) {
    hs::showsPrec(d, x.force(), out);
  }
};

/// The list by the list writer sl (sp is not used).
template <class A>
struct Show1<std::vector<A>> {
  /// \privatesection
  template <class SP, class SL>
  static void liftShowsPrec(SP&&, SL&& sl, int, const std::vector<A>& xs, std::string& out) {
    sl(xs, out);
  }
};
/// `Nothing`, or `Just ` and the value written by sp at precedence 11, in brackets above 10.
template <class A>
struct Show1<std::optional<A>> {
  /// \privatesection
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&&, int d, const std::optional<A>& x, std::string& out) {
    if (!x) {
      out.append("Nothing");
      return;
    }
    hs::showsUnaryWith(sp, "Just", d, *x, out);
  }
};
/// "(", the first component by sp1 and the second by sp2, both at precedence 0, ")".
template <class A, class B>
struct Show2<std::pair<A, B>> {
  /// \privatesection
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
/// The pair as a functor in its second component: the first by its own Show, the second by sp.
template <class A, class B>
struct Show1<std::pair<A, B>> {
  /// \privatesection
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&& sl, int d, const std::pair<A, B>& p, std::string& out) {
    Show2<std::pair<A, B>>::liftShowsPrec2(ShowsPrec{}, ShowList{}, sp, sl, d, p, out);
  }
};

/// @}
}  // namespace hs
