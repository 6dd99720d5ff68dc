// Types of the reflection syntax tree (kinds and predicates are types too), type literals and
// type-variable binders.
//
// A Type is a handle to an immutable, shared node: copying it copies a pointer, `==` compares
// structure and `sameObject` compares identity (operations that change nothing may return their
// input itself). Equality, the text forms, the pretty-printer and destruction walk a type with an
// explicit stack, so arbitrarily deep types are safe for them.
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

#include "hs/show.hpp"
#include "hs/th/syntax/exp.hpp"
#include "hs/th/syntax/name.hpp"
#include "hs/unit.hpp"

namespace hs::th {

// The flag of an invisible binder: written by the user, or inferred by the compiler.
enum class Specificity : std::uint8_t { SpecifiedSpec, InferredSpec };
inline constexpr Specificity SpecifiedSpec = Specificity::SpecifiedSpec;
inline constexpr Specificity InferredSpec = Specificity::InferredSpec;

// Type-level literals: a natural number (kept as its decimal text), a string, a character.
class NumTyLit {
 public:
  template <detail::IntegerValue I>
  explicit NumTyLit(I v) : value_(v) {}
  [[nodiscard]] const IntegerL& value() const noexcept { return value_; }
  friend bool operator==(const NumTyLit&, const NumTyLit&) = default;

 private:
  IntegerL value_;
};
struct StrTyLit {
  std::string value;  // UTF-8
  friend bool operator==(const StrTyLit&, const StrTyLit&) = default;
};
struct CharTyLit {
  char32_t value;
  friend bool operator==(CharTyLit, CharTyLit) = default;
};
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

class Type {
 public:
  using Node =
      std::variant<ForallT, ForallVisT, AppT, AppKindT, SigT, VarT, ConT, PromotedT, InfixT,
                   UInfixT, PromotedInfixT, PromotedUInfixT, ParensT, TupleT, UnboxedTupleT,
                   UnboxedSumT, ArrowT, MulArrowT, EqualityT, ListT, PromotedTupleT, PromotedNilT,
                   PromotedConsT, StarT, ConstraintT, LitT, WildCardT, ImplicitParamT>;

  // Every form converts to a type. The forms without fields share one static node each.
  template <class C>
  requires detail::IsAlternative<std::remove_cvref_t<C>, Node>::value Type(
      C&& c);  // NOLINT: every form of the syntax is a type

  Type(const Type& o) noexcept;
  Type(Type&& o) noexcept : cell_(std::exchange(o.cell_, nullptr)) {}
  Type& operator=(const Type& o) noexcept;
  Type& operator=(Type&& o) noexcept;
  ~Type();

  [[nodiscard]] const Node& node() const noexcept;
  // The form's fields when the type is built with C, else null.
  template <class C>
  [[nodiscard]] const C* get_if() const noexcept;
  template <class C>
  [[nodiscard]] bool is() const noexcept {
    return get_if<C>() != nullptr;
  }

  // Whether both handles hold the very same node.
  [[nodiscard]] friend bool sameObject(const Type& a, const Type& b) noexcept { return a.cell_ == b.cell_; }
  friend bool operator==(const Type& a, const Type& b);

 private:
  friend struct detail::TypeAccess;
  explicit Type(detail::TypeCell* c) noexcept : cell_(c) {}
  detail::TypeCell* cell_;
};

using Kind = Type;
using Pred = Type;
using Cxt = std::vector<Pred>;

// Type-variable binders with a flag: () for declarations, Specificity for invisible quantifiers.
template <class Flag>
struct PlainTV {
  Name name;
  Flag flag;
  friend bool operator==(const PlainTV&, const PlainTV&) = default;
};
template <class Flag>
struct KindedTV {
  Name name;
  Flag flag;
  Kind kind;
  friend bool operator==(const KindedTV&, const KindedTV&) = default;
};
template <class F>
PlainTV(Name, F) -> PlainTV<F>;
template <class F>
KindedTV(Name, F, Kind) -> KindedTV<F>;

template <class Flag>
class TyVarBndr {
 public:
  using Node = std::variant<PlainTV<Flag>, KindedTV<Flag>>;
  TyVarBndr(PlainTV<Flag> b) : node_(std::move(b)) {}   // NOLINT: a binder form is a binder
  TyVarBndr(KindedTV<Flag> b) : node_(std::move(b)) {}  // NOLINT

  [[nodiscard]] const Node& node() const noexcept { return node_; }
  template <class C>
  [[nodiscard]] const C* get_if() const noexcept {
    return std::get_if<C>(&node_);
  }
  [[nodiscard]] bool isKinded() const noexcept { return node_.index() == 1; }
  [[nodiscard]] const Name& name() const noexcept {
    return std::visit([](const auto& b) -> const Name& { return b.name; }, node_);
  }
  [[nodiscard]] const Flag& flag() const noexcept {
    return std::visit([](const auto& b) -> const Flag& { return b.flag; }, node_);
  }
  // The kind of a KindedTV; null for a PlainTV.
  [[nodiscard]] const Kind* kind() const noexcept {
    const auto* k = std::get_if<KindedTV<Flag>>(&node_);
    return k != nullptr ? &k->kind : nullptr;
  }

  friend bool operator==(const TyVarBndr&, const TyVarBndr&) = default;

 private:
  friend struct detail::TypeAccess;
  Node node_;
};
using TyVarBndrUnit = TyVarBndr<Unit>;
using TyVarBndrSpec = TyVarBndr<Specificity>;

struct ForallT {
  std::vector<TyVarBndrSpec> binders;
  Cxt context;
  Type body;
};
struct ForallVisT {
  std::vector<TyVarBndrUnit> binders;
  Type body;
};
struct AppT {
  Type fun;
  Type arg;
};
struct AppKindT {
  Type type;
  Kind kind;
};
struct SigT {
  Type type;
  Kind kind;
};
struct VarT {
  Name name;
};
struct ConT {
  Name name;
};
struct PromotedT {
  Name name;
};
// Operator applications: grouped (InfixT) or still to be resolved by fixity (UInfixT), of a type
// operator or of a promoted data constructor.
struct InfixT {
  Type left;
  Name op;
  Type right;
};
struct UInfixT {
  Type left;
  Name op;
  Type right;
};
struct PromotedInfixT {
  Type left;
  Name op;
  Type right;
};
struct PromotedUInfixT {
  Type left;
  Name op;
  Type right;
};
struct ParensT {
  Type type;
};
struct TupleT {
  int arity;
};
struct UnboxedTupleT {
  int arity;
};
struct UnboxedSumT {
  int arity;
};
struct ArrowT {};
struct MulArrowT {};
struct EqualityT {};
struct ListT {};
struct PromotedTupleT {
  int arity;
};
struct PromotedNilT {};
struct PromotedConsT {};
struct StarT {};
struct ConstraintT {};
struct LitT {
  TyLit lit;
};
struct WildCardT {};
struct ImplicitParamT {
  std::string name;
  Type type;
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
  if (c != nullptr && !c->immortal) c->refs.fetch_add(1, std::memory_order_relaxed);
}
inline void releaseType(TypeCell* c) noexcept {
  if (c != nullptr && !c->immortal && c->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
    destroyTypeCell(c);
}

}  // namespace detail

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

// Text forms: the derived text of each constructor ("AppT (ConT GHC.Maybe.Maybe) (VarT a_1)"),
// round brackets around a constructor with fields when d is above 10.
void showsPrec(int d, const Type& t, std::string& out);
void showsPrec(int d, const TyLit& l, std::string& out);
void showsPrec(int d, Specificity s, std::string& out);
void showsPrec(int d, const TyVarBndrUnit& b, std::string& out);
void showsPrec(int d, const TyVarBndrSpec& b, std::string& out);
[[nodiscard]] std::string show(const Type& t);
[[nodiscard]] std::string show(const TyLit& l);
[[nodiscard]] std::string show(Specificity s);
[[nodiscard]] std::string show(const TyVarBndrUnit& b);
[[nodiscard]] std::string show(const TyVarBndrSpec& b);
std::ostream& operator<<(std::ostream& os, const Type& t);
std::ostream& operator<<(std::ostream& os, Specificity s);
std::ostream& operator<<(std::ostream& os, const TyVarBndrUnit& b);
std::ostream& operator<<(std::ostream& os, const TyVarBndrSpec& b);

}  // namespace hs::th

namespace hs {

// The reflection types join the platform's text-form class.
template <>
struct Show<th::Name> {
  static void showsPrec(int d, const th::Name& n, std::string& out) { th::showsPrec(d, n, out); }
};
template <>
struct Show<th::Type> {
  static void showsPrec(int d, const th::Type& t, std::string& out) { th::showsPrec(d, t, out); }
};
template <>
struct Show<th::Specificity> {
  static void showsPrec(int d, th::Specificity s, std::string& out) { th::showsPrec(d, s, out); }
};
template <class Flag>
struct Show<th::TyVarBndr<Flag>> {
  static void showsPrec(int d, const th::TyVarBndr<Flag>& b, std::string& out) {
    th::showsPrec(d, b, out);
  }
};

}  // namespace hs
