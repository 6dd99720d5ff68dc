// Literals and expressions of the reflection syntax tree. Expressions are immutable values over
// shared nodes: copying one copies a handle, and equality is structural.
#pragma once

#include <concepts>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/th/syntax/name.hpp"

namespace hs::th {

namespace detail {
template <class I>
concept IntegerValue = std::integral<I> && !std::same_as<I, bool> && !std::same_as<I, char> &&
                       !std::same_as<I, wchar_t> && !std::same_as<I, char8_t> &&
                       !std::same_as<I, char16_t> && !std::same_as<I, char32_t>;

// The decimal text of an integer, with a leading '-' when negative.
template <IntegerValue I>
[[nodiscard]] std::string decimal(I v) {
  using U = std::make_unsigned_t<I>;
  bool negative = false;
  if constexpr (std::is_signed_v<I>) negative = v < 0;
  U m = negative ? static_cast<U>(U(0) - static_cast<U>(v)) : static_cast<U>(v);
  std::string s;
  do {
    s.insert(s.begin(), static_cast<char>('0' + m % 10));
    m /= 10;
  } while (m != 0);
  if (negative) s.insert(s.begin(), '-');
  return s;
}
}  // namespace detail

// Literals. An integer literal has arbitrary size; it keeps its canonical decimal text.
struct CharL {
  char32_t value;
  friend bool operator==(CharL, CharL) = default;
};
struct StringL {
  std::string value;  // UTF-8
  friend bool operator==(const StringL&, const StringL&) = default;
};
class IntegerL {
 public:
  template <detail::IntegerValue I>
  explicit IntegerL(I v) : text_(detail::decimal(v)) {}
  [[nodiscard]] const std::string& text() const noexcept { return text_; }
  [[nodiscard]] bool negative() const noexcept { return text_.front() == '-'; }
  friend bool operator==(const IntegerL&, const IntegerL&) = default;

 private:
  std::string text_;
};
using Lit = std::variant<CharL, StringL, IntegerL>;

struct VarE;
struct ConE;
struct LitE;
struct AppE;
struct InfixE;
struct ListE;
struct TupE;

class Exp {
 public:
  using Node = std::variant<VarE, ConE, LitE, AppE, InfixE, ListE, TupE>;

  template <class C>
    requires(std::disjunction_v<std::is_same<std::remove_cvref_t<C>, VarE>,
                                std::is_same<std::remove_cvref_t<C>, ConE>,
                                std::is_same<std::remove_cvref_t<C>, LitE>,
                                std::is_same<std::remove_cvref_t<C>, AppE>,
                                std::is_same<std::remove_cvref_t<C>, InfixE>,
                                std::is_same<std::remove_cvref_t<C>, ListE>,
                                std::is_same<std::remove_cvref_t<C>, TupE>>)
  Exp(C&& c)  // NOLINT: every constructor of the syntax is an expression
      : node_(std::make_shared<const Node>(std::forward<C>(c))) {}

  [[nodiscard]] const Node& node() const noexcept;
  // The constructor's fields when the expression is built with C, else null.
  template <class C>
  [[nodiscard]] const C* get_if() const noexcept;

  friend bool operator==(const Exp& a, const Exp& b);

 private:
  std::shared_ptr<const Node> node_;
};

struct VarE {
  Name name;
  friend bool operator==(const VarE&, const VarE&) = default;
};
struct ConE {
  Name name;
  friend bool operator==(const ConE&, const ConE&) = default;
};
struct LitE {
  Lit lit;
  friend bool operator==(const LitE&, const LitE&) = default;
};
struct AppE {
  Exp fun;
  Exp arg;
  friend bool operator==(const AppE&, const AppE&) = default;
};
// An operator section or application: either operand may be absent.
struct InfixE {
  std::optional<Exp> left;
  Exp op;
  std::optional<Exp> right;
  friend bool operator==(const InfixE&, const InfixE&) = default;
};
struct ListE {
  std::vector<Exp> elems;
  friend bool operator==(const ListE&, const ListE&) = default;
};
// A tuple, or a tuple section where an element is absent.
struct TupE {
  std::vector<std::optional<Exp>> elems;
  friend bool operator==(const TupE&, const TupE&) = default;
};

[[nodiscard]] inline const Exp::Node& Exp::node() const noexcept { return *node_; }
template <class C>
[[nodiscard]] const C* Exp::get_if() const noexcept {
  return std::get_if<C>(node_.get());
}

[[nodiscard]] inline bool operator==(const Exp& a, const Exp& b) {
  return a.node_ == b.node_ || *a.node_ == *b.node_;
}

// Text forms: the derived text of each constructor ("AppE (VarE M.f) (LitE (IntegerL 3))"),
// round brackets around a constructor with fields when d is above 10.
void showsPrec(int d, const Lit& l, std::string& out);
void showsPrec(int d, const Exp& e, std::string& out);
[[nodiscard]] std::string show(const Lit& l);
[[nodiscard]] std::string show(const Exp& e);
std::ostream& operator<<(std::ostream& os, const Lit& l);
std::ostream& operator<<(std::ostream& os, const Exp& e);

}  // namespace hs::th
