/// \defgroup hs_th_syntax_exp hs/th/syntax/exp.hpp
/// \ingroup hs_th_syntax
/// Literals and expressions of the reflection syntax tree. Expressions are immutable values over
/// shared nodes: copying one copies a handle, and equality is structural. Equality, the text forms
/// and destruction are safe at any nesting depth memory allows.
#pragma once

#include <concepts>
#include <iosfwd>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/stack.hpp"
#include "hs/th/internal/node_ref.hpp"
#include "hs/th/syntax/name.hpp"

namespace hs::th {
/// \addtogroup hs_th_syntax_exp
/// @{

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

/// A character literal.
struct CharL {
  char32_t value;  ///< The character.
  friend bool operator==(CharL, CharL) = default;
};
/// A string literal.
struct StringL {
  std::string value;  ///< The text, in UTF-8.
  friend bool operator==(const StringL&, const StringL&) = default;
};
/// An integer literal of arbitrary size; it keeps its canonical decimal text.
class IntegerL {
 public:
  /// The literal of a machine integer (any integral type but bool and the character types).
  template <detail::IntegerValue I>
  explicit IntegerL(I v) : text_(detail::decimal(v)) {}
  /// The decimal text, with a leading '-' when negative.
  [[nodiscard]] const std::string& text() const noexcept { return text_; }
  /// Whether the value is negative.
  [[nodiscard]] bool negative() const noexcept { return text_.front() == '-'; }
  friend bool operator==(const IntegerL&, const IntegerL&) = default;

 private:
  std::string text_;
};
/// A literal.
using Lit = std::variant<CharL, StringL, IntegerL>;

struct VarE;
struct ConE;
struct LitE;
struct AppE;
struct InfixE;
struct ListE;
struct TupE;

/// An expression: a handle to one shared, immutable node holding one of the forms below. Copying
/// shares the node; the last holder frees it and every node only it kept alive, in a loop.
class Exp {
 public:
  /// The forms of an expression.
  using Node = std::variant<VarE, ConE, LitE, AppE, InfixE, ListE, TupE>;

  /// Every form converts to an expression; the form is moved or copied into a new node.
  template <class C>
    requires(std::disjunction_v<std::is_same<std::remove_cvref_t<C>, VarE>,
                                std::is_same<std::remove_cvref_t<C>, ConE>,
                                std::is_same<std::remove_cvref_t<C>, LitE>,
                                std::is_same<std::remove_cvref_t<C>, AppE>,
                                std::is_same<std::remove_cvref_t<C>, InfixE>,
                                std::is_same<std::remove_cvref_t<C>, ListE>,
                                std::is_same<std::remove_cvref_t<C>, TupE>>)
  Exp(C&& c)  // NOLINT: every constructor of the syntax is an expression
      : node_(std::in_place, std::forward<C>(c)) {}

  /// The form.
  [[nodiscard]] const Node& node() const noexcept;
  /// The constructor's fields when the expression is built with C, else null.
  template <class C>
  [[nodiscard]] const C* get_if() const noexcept;

  /// The same node, or equal forms compared structurally; nested nodes go through hs::withStack,
  /// so any depth is compared.
  friend bool operator==(const Exp& a, const Exp& b);

 private:
  detail::NodeRef<Node> node_;
};

/// A variable.
struct VarE {
  Name name;  ///< Its name.
  friend bool operator==(const VarE&, const VarE&) = default;
};
/// A data constructor.
struct ConE {
  Name name;  ///< Its name.
  friend bool operator==(const ConE&, const ConE&) = default;
};
/// A literal.
struct LitE {
  Lit lit;  ///< The literal.
  friend bool operator==(const LitE&, const LitE&) = default;
};
/// An application.
struct AppE {
  Exp fun;  ///< The function.
  Exp arg;  ///< The argument.
  friend bool operator==(const AppE&, const AppE&) = default;
};
/// An operator section or application: either operand may be absent.
struct InfixE {
  std::optional<Exp> left;   ///< The left operand, if any.
  Exp op;                    ///< The operator.
  std::optional<Exp> right;  ///< The right operand, if any.
  friend bool operator==(const InfixE&, const InfixE&) = default;
};
/// A list.
struct ListE {
  std::vector<Exp> elems;  ///< The elements.
  friend bool operator==(const ListE&, const ListE&) = default;
};
/// A tuple, or a tuple section where an element is absent.
struct TupE {
  std::vector<std::optional<Exp>> elems;  ///< The elements; absent in a section's gaps.
  friend bool operator==(const TupE&, const TupE&) = default;
};

// The members and friends of Exp declared above, defined (and documented there).
/// \cond
[[nodiscard]] inline const Exp::Node& Exp::node() const noexcept { return *node_; }
template <class C>
[[nodiscard]] const C* Exp::get_if() const noexcept {
  return std::get_if<C>(node_.get());
}

namespace detail {
// Compares two forms, through hs::withStack.
[[nodiscard]] bool equalForms(const Exp::Node& a, const Exp::Node& b);
}  // namespace detail
[[nodiscard]] inline bool operator==(const Exp& a, const Exp& b) {
  return a.node_.get() == b.node_.get() || detail::equalForms(*a.node_, *b.node_);
}
/// \endcond

// Text forms: the derived text of each constructor ("AppE (VarE M.f) (LitE (IntegerL 3))"),
// round brackets around a constructor with fields when d is above 10.

/// Appends the derived text of the literal to out ("IntegerL (-3)", "CharL 'x'"), in round
/// brackets when d is above 10.
void showsPrec(int d, const Lit& l, std::string& out);
/// Appends the derived text of the expression to out ("AppE (VarE M.f) (LitE (IntegerL 3))"), in
/// round brackets when d is above 10; nested expressions go through hs::withStack.
void showsPrec(int d, const Exp& e, std::string& out);
/// The derived text of the literal, in a new string.
[[nodiscard]] std::string show(const Lit& l);
/// The derived text of the expression, in a new string.
[[nodiscard]] std::string show(const Exp& e);
/// Writes show of the literal.
std::ostream& operator<<(std::ostream& os, const Lit& l);
/// Writes show of the expression.
std::ostream& operator<<(std::ostream& os, const Exp& e);

/// @}
}  // namespace hs::th
