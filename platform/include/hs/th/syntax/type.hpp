/// \defgroup hs_th_syntax_type hs/th/syntax/type.hpp
/// \ingroup hs_th_syntax
/// Types of the reflection syntax tree (kinds and predicates are types too), type literals and
/// type-variable binders.
///
/// A Type is a handle to an immutable, shared node: copying it copies a pointer, `==` compares
/// structure and `sameObject` compares identity (operations that change nothing may return their
/// input itself). Equality, the text forms, the pretty-printer and destruction walk a type with an
/// explicit stack, so arbitrarily deep types are safe for them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/internal/count.hpp"
#include "hs/show.hpp"
#include "hs/th/syntax/exp.hpp"
#include "hs/th/syntax/name.hpp"
#include "hs/unit.hpp"

namespace hs::th {
/// \addtogroup hs_th_syntax_type
/// @{

/// The flag of an invisible binder: written by the user, or inferred by the compiler.
enum class Specificity : std::uint8_t { SpecifiedSpec, InferredSpec };
/// Written by the user.
inline constexpr Specificity SpecifiedSpec = Specificity::SpecifiedSpec;
/// Inferred by the compiler.
inline constexpr Specificity InferredSpec = Specificity::InferredSpec;

/// A type-level natural number, kept as its decimal text.
class NumTyLit {
 public:
  /// The literal of a machine integer.
  template <detail::IntegerValue I>
  explicit NumTyLit(I v) : value_(v) {}
  /// The number.
  [[nodiscard]] const IntegerL& value() const noexcept { return value_; }
  friend bool operator==(const NumTyLit&, const NumTyLit&) = default;

 private:
  IntegerL value_;
};
/// A type-level string.
struct StrTyLit {
  std::string value;  ///< The text, in UTF-8.
  friend bool operator==(const StrTyLit&, const StrTyLit&) = default;
};
/// A type-level character.
struct CharTyLit {
  char32_t value;  ///< The character.
  friend bool operator==(CharTyLit, CharTyLit) = default;
};
/// A type-level literal: a natural number, a string, a character.
using TyLit = std::variant<NumTyLit, StrTyLit, CharTyLit>;

// The forms of a type, in the reflection library's constructor order.
struct ForallT;
struct ForallVisT;
struct AppT;
struct AppKindT;
struct SigT;
struct VarT;
struct ConT;
struct PromotedT;
struct InfixT;
struct UInfixT;
struct PromotedInfixT;
struct PromotedUInfixT;
struct ParensT;
struct TupleT;
struct UnboxedTupleT;
struct UnboxedSumT;
struct ArrowT;
struct MulArrowT;
struct EqualityT;
struct ListT;
struct PromotedTupleT;
struct PromotedNilT;
struct PromotedConsT;
struct StarT;
struct ConstraintT;
struct LitT;
struct WildCardT;
struct ImplicitParamT;

namespace detail {
struct TypeCell;
struct TypeAccess;
template <class C, class V>
struct IsAlternative;
template <class C, class... Ts>
struct IsAlternative<C, std::variant<Ts...>> : std::disjunction<std::is_same<C, Ts>...> {};
template <class C, class V>
struct AlternativeIndex;
template <class C, class... Ts>
struct AlternativeIndex<C, std::variant<Ts...>> {
  static constexpr std::size_t value = [] {
    constexpr bool hits[] = {std::is_same_v<C, Ts>...};
    for (std::size_t i = 0; i < sizeof...(Ts); ++i)
      if (hits[i]) return i;
    return sizeof...(Ts);
  }();
};
}  // namespace detail

/// A type: a handle to one shared, immutable node holding one of the forms below.
class Type {
 public:
  /// The forms of a type, in the reflection library's constructor order.
  using Node =
      std::variant<ForallT, ForallVisT, AppT, AppKindT, SigT, VarT, ConT, PromotedT, InfixT,
                   UInfixT, PromotedInfixT, PromotedUInfixT, ParensT, TupleT, UnboxedTupleT,
                   UnboxedSumT, ArrowT, MulArrowT, EqualityT, ListT, PromotedTupleT, PromotedNilT,
                   PromotedConsT, StarT, ConstraintT, LitT, WildCardT, ImplicitParamT>;

  /// Every form converts to a type: the form is moved or copied into a new node (a failed
  /// allocation leaves it as it was). The forms without fields share one static node each and
  /// allocate nothing.
  template <class C>
  requires detail::IsAlternative<std::remove_cvref_t<C>, Node>::value Type(
      C&& c);  // NOLINT: every form of the syntax is a type

  /// @{
  /// Copying shares the node (an atomic count increment); a moved-from type may only be assigned
  /// or destroyed. None allocates or throws.
  Type(const Type& o) noexcept;
  Type(Type&& o) noexcept : cell_(std::exchange(o.cell_, nullptr)) {}
  Type& operator=(const Type& o) noexcept;
  Type& operator=(Type&& o) noexcept;
  /// @}
  /// Releases the node; the last holder frees it and every node only it kept alive, in a loop.
  ~Type();

  /// The form.
  [[nodiscard]] const Node& node() const noexcept;
  /// The form's fields when the type is built with C, else null.
  template <class C>
  [[nodiscard]] const C* get_if() const noexcept;
  /// Whether the type is built with C.
  template <class C>
  [[nodiscard]] bool is() const noexcept {
    return get_if<C>() != nullptr;
  }

  /// Whether both handles hold the very same node.
  [[nodiscard]] friend bool sameObject(const Type& a, const Type& b) noexcept { return a.cell_ == b.cell_; }
  /// Structural equality, with an explicit stack; subtrees that are the same node are not
  /// walked.
  friend bool operator==(const Type& a, const Type& b);

 private:
  friend struct detail::TypeAccess;
  explicit Type(detail::TypeCell* c) noexcept : cell_(c) {}
  detail::TypeCell* cell_;
};

/// A kind is a type.
using Kind = Type;
/// A predicate (a constraint) is a type.
using Pred = Type;
/// A context: the predicates before `=>`.
using Cxt = std::vector<Pred>;

/// A binder without a kind.
template <class Flag>
struct PlainTV {
  Name name;  ///< The variable.
  Flag flag;  ///< Its flag.
  friend bool operator==(const PlainTV&, const PlainTV&) = default;
};
/// A binder with a kind.
template <class Flag>
struct KindedTV {
  Name name;  ///< The variable.
  Flag flag;  ///< Its flag.
  Kind kind;  ///< Its kind.
  friend bool operator==(const KindedTV&, const KindedTV&) = default;
};
/// The flag type of PlainTV(name, flag) from the flag.
template <class F>
PlainTV(Name, F) -> PlainTV<F>;
/// The flag type of KindedTV(name, flag, kind) from the flag.
template <class F>
KindedTV(Name, F, Kind) -> KindedTV<F>;

/// A type-variable binder with a flag: () for declarations, Specificity for invisible
/// quantifiers. Held by value (a variant of the two forms).
template <class Flag>
class TyVarBndr {
 public:
  /// The forms of a binder.
  using Node = std::variant<PlainTV<Flag>, KindedTV<Flag>>;
  /// @{
  /// A binder form is a binder.
  TyVarBndr(PlainTV<Flag> b) : node_(std::move(b)) {}   // NOLINT: a binder form is a binder
  TyVarBndr(KindedTV<Flag> b) : node_(std::move(b)) {}  // NOLINT
  /// @}

  /// The form.
  [[nodiscard]] const Node& node() const noexcept { return node_; }
  /// The form's fields when the binder is built with C, else null.
  template <class C>
  [[nodiscard]] const C* get_if() const noexcept {
    return std::get_if<C>(&node_);
  }
  /// Whether the binder has a kind.
  [[nodiscard]] bool isKinded() const noexcept { return node_.index() == 1; }
  /// The variable.
  [[nodiscard]] const Name& name() const noexcept {
    return std::visit([](const auto& b) -> const Name& { return b.name; }, node_);
  }
  /// Its flag.
  [[nodiscard]] const Flag& flag() const noexcept {
    return std::visit([](const auto& b) -> const Flag& { return b.flag; }, node_);
  }
  /// The kind of a KindedTV; null for a PlainTV.
  [[nodiscard]] const Kind* kind() const noexcept {
    const auto* k = std::get_if<KindedTV<Flag>>(&node_);
    return k != nullptr ? &k->kind : nullptr;
  }

  friend bool operator==(const TyVarBndr&, const TyVarBndr&) = default;

 private:
  friend struct detail::TypeAccess;
  Node node_;
};
/// A binder of a declaration.
using TyVarBndrUnit = TyVarBndr<Unit>;
/// A binder of an invisible quantifier.
using TyVarBndrSpec = TyVarBndr<Specificity>;

/// An invisible quantifier: forall binders. context => body.
struct ForallT {
  std::vector<TyVarBndrSpec> binders;  ///< The quantified variables.
  Cxt context;                         ///< The constraints.
  Type body;                           ///< The type under them.
};
/// A visible quantifier: forall binders -> body.
struct ForallVisT {
  std::vector<TyVarBndrUnit> binders;  ///< The quantified variables.
  Type body;                           ///< The type under them.
};
/// A type application.
struct AppT {
  Type fun;  ///< The applied type.
  Type arg;  ///< The argument.
};
/// A visible kind application: `type @kind`.
struct AppKindT {
  Type type;  ///< The applied type.
  Kind kind;  ///< The kind argument.
};
/// A kind signature: `type :: kind`.
struct SigT {
  Type type;  ///< The type.
  Kind kind;  ///< Its kind.
};
/// A type variable.
struct VarT {
  Name name;  ///< Its name.
};
/// A type constructor or class.
struct ConT {
  Name name;  ///< Its name.
};
/// A promoted data constructor.
struct PromotedT {
  Name name;  ///< Its name.
};
// Operator applications: grouped (InfixT) or still to be resolved by fixity (UInfixT), of a type
// operator or of a promoted data constructor.

/// A grouped application of a type operator.
struct InfixT {
  Type left;   ///< The left operand.
  Name op;     ///< The operator.
  Type right;  ///< The right operand.
};
/// An application of a type operator still to be resolved by fixity.
struct UInfixT {
  Type left;   ///< The left operand.
  Name op;     ///< The operator.
  Type right;  ///< The right operand.
};
/// A grouped application of a promoted data constructor operator.
struct PromotedInfixT {
  Type left;   ///< The left operand.
  Name op;     ///< The operator.
  Type right;  ///< The right operand.
};
/// An application of a promoted data constructor operator still to be resolved by fixity.
struct PromotedUInfixT {
  Type left;   ///< The left operand.
  Name op;     ///< The operator.
  Type right;  ///< The right operand.
};
/// A type in round brackets, as written.
struct ParensT {
  Type type;  ///< The type inside.
};
/// The tuple type constructor of an arity.
struct TupleT {
  int arity;  ///< The number of components.
};
/// The unboxed tuple type constructor of an arity.
struct UnboxedTupleT {
  int arity;  ///< The number of components.
};
/// The unboxed sum type constructor of an arity.
struct UnboxedSumT {
  int arity;  ///< The number of alternatives.
};
/// The function arrow, ->.
struct ArrowT {};
/// The function arrow with a multiplicity.
struct MulArrowT {};
/// The equality constraint, ~.
struct EqualityT {};
/// The list type constructor, [].
struct ListT {};
/// The promoted tuple constructor of an arity.
struct PromotedTupleT {
  int arity;  ///< The number of components.
};
/// The promoted empty list, '[].
struct PromotedNilT {};
/// The promoted list constructor, '(:).
struct PromotedConsT {};
/// The kind of types, *.
struct StarT {};
/// The kind of constraints.
struct ConstraintT {};
/// A type-level literal.
struct LitT {
  TyLit lit;  ///< The literal.
};
/// A wildcard, _.
struct WildCardT {};
/// An implicit parameter: `?name :: type`.
struct ImplicitParamT {
  std::string name;  ///< The parameter's name, without the ?.
  Type type;         ///< Its type.
};

namespace detail {

struct TypeCell {
  template <class... A>
  explicit TypeCell(bool immortal_, A&&... a) : immortal(immortal_), node(std::forward<A>(a)...) {}
  std::atomic<std::uint32_t> refs{1};
  const bool immortal;
  Type::Node node;
};

// The one shared node of a form without fields, by the form's index.
[[nodiscard]] TypeCell* leafCell(std::size_t index) noexcept;
// Frees a node whose count dropped to zero, and every node only it kept alive, without recursion.
void destroyTypeCell(TypeCell* c) noexcept;
[[nodiscard]] bool equalTypeCells(const TypeCell* a, const TypeCell* b);

inline void retainType(TypeCell* c) noexcept {
  if (c != nullptr && !c->immortal) hs::internal::countUp(c->refs);
}
inline void releaseType(TypeCell* c) noexcept {
  if (c != nullptr && !c->immortal && hs::internal::countDown(c->refs))
    destroyTypeCell(c);
}

}  // namespace detail

// The members and friends of Type declared above, defined (and documented there).
/// \cond
// The node is allocated before the form is moved into it, so a failed allocation leaves the
// form as it was.
template <class C>
requires detail::IsAlternative<std::remove_cvref_t<C>, Type::Node>::value Type::Type(C&& c)
    : cell_(nullptr) {
  using F = std::remove_cvref_t<C>;
  if constexpr (std::is_empty_v<F>)
    cell_ = detail::leafCell(detail::AlternativeIndex<F, Node>::value);
  else
    cell_ = new detail::TypeCell(false, std::in_place_type<F>, std::forward<C>(c));
}

inline Type::Type(const Type& o) noexcept : cell_(o.cell_) { detail::retainType(cell_); }
inline Type& Type::operator=(const Type& o) noexcept {
  detail::retainType(o.cell_);
  detail::releaseType(std::exchange(cell_, o.cell_));
  return *this;
}
inline Type& Type::operator=(Type&& o) noexcept {
  if (this != &o) detail::releaseType(std::exchange(cell_, std::exchange(o.cell_, nullptr)));
  return *this;
}
inline Type::~Type() { detail::releaseType(cell_); }

[[nodiscard]] inline const Type::Node& Type::node() const noexcept { return cell_->node; }
template <class C>
[[nodiscard]] const C* Type::get_if() const noexcept {
  return std::get_if<C>(&cell_->node);
}
[[nodiscard]] bool sameObject(const Type& a, const Type& b) noexcept;
[[nodiscard]] inline bool operator==(const Type& a, const Type& b) {
  return a.cell_ == b.cell_ || detail::equalTypeCells(a.cell_, b.cell_);
}
/// \endcond

// Text forms: the derived text of each constructor ("AppT (ConT GHC.Maybe.Maybe) (VarT a_1)"),
// round brackets around a constructor with fields when d is above 10.

/// Appends the derived text of the type to out ("AppT (ConT GHC.Maybe.Maybe) (VarT a_1)"), in
/// round brackets when d is above 10; an explicit-stack walk.
void showsPrec(int d, const Type& t, std::string& out);
/// Appends the derived text of the literal to out, in round brackets when d is above 10.
void showsPrec(int d, const TyLit& l, std::string& out);
/// Appends the flag's constructor name to out.
void showsPrec(int d, Specificity s, std::string& out);
/// Appends the derived text of the binder to out, in round brackets when d is above 10.
void showsPrec(int d, const TyVarBndrUnit& b, std::string& out);
/// Appends the derived text of the binder to out, in round brackets when d is above 10.
void showsPrec(int d, const TyVarBndrSpec& b, std::string& out);
/// The derived text of the type, in a new string.
[[nodiscard]] std::string show(const Type& t);
/// The derived text of the literal, in a new string.
[[nodiscard]] std::string show(const TyLit& l);
/// The flag's constructor name, in a new string.
[[nodiscard]] std::string show(Specificity s);
/// The derived text of the binder, in a new string.
[[nodiscard]] std::string show(const TyVarBndrUnit& b);
/// The derived text of the binder, in a new string.
[[nodiscard]] std::string show(const TyVarBndrSpec& b);
/// Writes show of the type.
std::ostream& operator<<(std::ostream& os, const Type& t);
/// Writes show of the flag.
std::ostream& operator<<(std::ostream& os, Specificity s);
/// Writes show of the binder.
std::ostream& operator<<(std::ostream& os, const TyVarBndrUnit& b);
/// Writes show of the binder.
std::ostream& operator<<(std::ostream& os, const TyVarBndrSpec& b);

/// @}
}  // namespace hs::th

namespace hs {
/// \addtogroup hs_th_syntax_type
/// @{

// The reflection types join the platform's text-form class.

/// A name's text form: showName.
template <>
struct Show<th::Name> {
  /// \privatesection
  static void showsPrec(int d, const th::Name& n, std::string& out) { th::showsPrec(d, n, out); }
};
/// A type's text form: its derived text (th::showsPrec).
template <>
struct Show<th::Type> {
  /// \privatesection
  static void showsPrec(int d, const th::Type& t, std::string& out) { th::showsPrec(d, t, out); }
};
/// A flag's text form: its constructor's name.
template <>
struct Show<th::Specificity> {
  /// \privatesection
  static void showsPrec(int d, th::Specificity s, std::string& out) { th::showsPrec(d, s, out); }
};
/// A binder's text form: its derived text (th::showsPrec).
template <class Flag>
struct Show<th::TyVarBndr<Flag>> {
  /// \privatesection
  static void showsPrec(int d, const th::TyVarBndr<Flag>& b, std::string& out) {
    th::showsPrec(d, b, out);
  }
};

/// @}
}  // namespace hs
