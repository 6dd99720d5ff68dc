// Declarations, data constructors, reified information and fixities of the reflection syntax
// tree. Con, Dec and Info are immutable values over shared nodes, built implicitly from their
// forms and compared structurally.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/th/syntax/name.hpp"
#include "hs/th/syntax/type.hpp"

namespace hs::th {

namespace detail {
// The node of a syntax value: a shared, immutable variant of its forms.
template <class Derived, class V>
class SyntaxNode {
 public:
  using Node = V;
  template <class C>
  requires IsAlternative<std::remove_cvref_t<C>, V>::value SyntaxNode(
      C&& c)  // NOLINT: every form converts to its value
      : node_(Derived::allocate(std::in_place_type<std::remove_cvref_t<C>>, std::forward<C>(c))) {}

  template <class... A>
  [[nodiscard]] static std::shared_ptr<const V> allocate(A&&... a) {
    return std::make_shared<const V>(std::forward<A>(a)...);
  }

  [[nodiscard]] const V& node() const noexcept { return *node_; }
  template <class C>
  [[nodiscard]] const C* get_if() const noexcept {
    return std::get_if<C>(node_.get());
  }
  template <class C>
  [[nodiscard]] bool is() const noexcept {
    return get_if<C>() != nullptr;
  }
  // The node's address: two values are the same object when they hold the same node.
  [[nodiscard]] const void* identity() const noexcept { return node_.get(); }
  [[nodiscard]] friend bool operator==(const Derived& a, const Derived& b) {
    return a.node_ == b.node_ || *a.node_ == *b.node_;
  }

 protected:
  std::shared_ptr<const V> node_;
};
}  // namespace detail

// ---- Fields of data constructors ---------------------------------------------------------------

enum class SourceUnpackedness : std::uint8_t { NoSourceUnpackedness, SourceNoUnpack, SourceUnpack };
enum class SourceStrictness : std::uint8_t { NoSourceStrictness, SourceLazy, SourceStrict };

// A field's annotations as written: an unpack pragma and a strictness mark.
struct Bang {
  SourceUnpackedness unpackedness = SourceUnpackedness::NoSourceUnpackedness;
  SourceStrictness strictness = SourceStrictness::NoSourceStrictness;
  friend bool operator==(const Bang&, const Bang&) = default;
};
using BangType = std::pair<Bang, Type>;
using VarBangType = std::tuple<Name, Bang, Type>;

// ---- Data constructors -------------------------------------------------------------------------

struct NormalC;
struct RecC;
struct InfixC;
struct ForallC;
struct GadtC;
struct RecGadtC;

class Con
    : public detail::SyntaxNode<Con,
                                std::variant<NormalC, RecC, InfixC, ForallC, GadtC, RecGadtC>> {
 public:
  using SyntaxNode::SyntaxNode;

  // Nodes are freed through freeCon, so that a long chain of nested ForallC layers is freed in a
  // loop rather than by recursion.
  template <class... A>
  [[nodiscard]] static std::shared_ptr<const Node> allocate(A&&... a);

 private:
  static void freeCon(const Node* n) noexcept;
};

struct NormalC {
  Name name;
  std::vector<BangType> fields;
  friend bool operator==(const NormalC&, const NormalC&) = default;
};
struct RecC {
  Name name;
  std::vector<VarBangType> fields;
  friend bool operator==(const RecC&, const RecC&) = default;
};
struct InfixC {
  BangType left;
  Name name;
  BangType right;
  friend bool operator==(const InfixC&, const InfixC&) = default;
};
struct ForallC {
  std::vector<TyVarBndrSpec> binders;
  Cxt context;
  Con con;
  friend bool operator==(const ForallC&, const ForallC&) = default;
};
// A GADT-style constructor: one or more names sharing one signature ending in the result type.
struct GadtC {
  std::vector<Name> names;
  std::vector<BangType> fields;
  Type result;
  friend bool operator==(const GadtC&, const GadtC&) = default;
};
struct RecGadtC {
  std::vector<Name> names;
  std::vector<VarBangType> fields;
  Type result;
  friend bool operator==(const RecGadtC&, const RecGadtC&) = default;
};

template <class... A>
[[nodiscard]] std::shared_ptr<const Con::Node> Con::allocate(A&&... a) {
  return std::shared_ptr<const Node>(new Node(std::forward<A>(a)...), &freeCon);
}

// ---- Pieces of declarations --------------------------------------------------------------------

struct StockStrategy {
  friend bool operator==(StockStrategy, StockStrategy) = default;
};
struct AnyclassStrategy {
  friend bool operator==(AnyclassStrategy, AnyclassStrategy) = default;
};
struct NewtypeStrategy {
  friend bool operator==(NewtypeStrategy, NewtypeStrategy) = default;
};
struct ViaStrategy {
  Type via;
  friend bool operator==(const ViaStrategy&, const ViaStrategy&) = default;
};
using DerivStrategy = std::variant<StockStrategy, AnyclassStrategy, NewtypeStrategy, ViaStrategy>;

// One deriving clause: an optional strategy and the classes derived.
struct DerivClause {
  std::optional<DerivStrategy> strategy;
  Cxt classes;
  friend bool operator==(const DerivClause&, const DerivClause&) = default;
};

// One equation of a type family: optional explicit binders, left-hand side, right-hand side.
struct TySynEqn {
  std::optional<std::vector<TyVarBndrUnit>> binders;
  Type lhs;
  Type rhs;
  friend bool operator==(const TySynEqn&, const TySynEqn&) = default;
};

// The one pragma modelled: a line pragma (line number, file name).
struct LineP {
  int line;
  std::string file;
  friend bool operator==(const LineP&, const LineP&) = default;
};
using Pragma = LineP;

struct FunDep {
  std::vector<Name> from;
  std::vector<Name> to;
  friend bool operator==(const FunDep&, const FunDep&) = default;
};

struct NoSig {
  friend bool operator==(NoSig, NoSig) = default;
};
struct KindSig {
  Kind kind;
  friend bool operator==(const KindSig&, const KindSig&) = default;
};
struct TyVarSig {
  TyVarBndrUnit binder;
  friend bool operator==(const TyVarSig&, const TyVarSig&) = default;
};
using FamilyResultSig = std::variant<NoSig, KindSig, TyVarSig>;

struct InjectivityAnn {
  Name result;
  std::vector<Name> determined;
  friend bool operator==(const InjectivityAnn&, const InjectivityAnn&) = default;
};

struct TypeFamilyHead {
  Name name;
  std::vector<TyVarBndrUnit> binders;
  FamilyResultSig result;
  std::optional<InjectivityAnn> injectivity;
  friend bool operator==(const TypeFamilyHead&, const TypeFamilyHead&) = default;
};

// ---- Declarations ------------------------------------------------------------------------------

struct DataD;
struct NewtypeD;
struct TypeDataD;
struct DataInstD;
struct NewtypeInstD;
struct DataFamilyD;
struct TySynD;
struct TySynInstD;
struct PragmaD;
struct ClassD;
struct OpenTypeFamilyD;
struct ClosedTypeFamilyD;
struct SigD;

class Dec
    : public detail::SyntaxNode<
          Dec,
          std::variant<DataD, NewtypeD, TypeDataD, DataInstD, NewtypeInstD, DataFamilyD, TySynD,
                       TySynInstD, PragmaD, ClassD, OpenTypeFamilyD, ClosedTypeFamilyD, SigD>> {
 public:
  using SyntaxNode::SyntaxNode;
};

struct DataD {
  Cxt context;
  Name name;
  std::vector<TyVarBndrUnit> binders;
  std::optional<Kind> kind;
  std::vector<Con> cons;
  std::vector<DerivClause> derivs;
  friend bool operator==(const DataD&, const DataD&) = default;
};
struct NewtypeD {
  Cxt context;
  Name name;
  std::vector<TyVarBndrUnit> binders;
  std::optional<Kind> kind;
  Con con;
  std::vector<DerivClause> derivs;
  friend bool operator==(const NewtypeD&, const NewtypeD&) = default;
};
struct TypeDataD {
  Name name;
  std::vector<TyVarBndrUnit> binders;
  std::optional<Kind> kind;
  std::vector<Con> cons;
  friend bool operator==(const TypeDataD&, const TypeDataD&) = default;
};
// A data family instance: the head is the family applied to the instance's argument patterns.
struct DataInstD {
  Cxt context;
  std::optional<std::vector<TyVarBndrUnit>> binders;
  Type head;
  std::optional<Kind> kind;
  std::vector<Con> cons;
  std::vector<DerivClause> derivs;
  friend bool operator==(const DataInstD&, const DataInstD&) = default;
};
struct NewtypeInstD {
  Cxt context;
  std::optional<std::vector<TyVarBndrUnit>> binders;
  Type head;
  std::optional<Kind> kind;
  Con con;
  std::vector<DerivClause> derivs;
  friend bool operator==(const NewtypeInstD&, const NewtypeInstD&) = default;
};
struct DataFamilyD {
  Name name;
  std::vector<TyVarBndrUnit> binders;
  std::optional<Kind> kind;
  friend bool operator==(const DataFamilyD&, const DataFamilyD&) = default;
};
struct TySynD {
  Name name;
  std::vector<TyVarBndrUnit> binders;
  Type rhs;
  friend bool operator==(const TySynD&, const TySynD&) = default;
};
struct TySynInstD {
  TySynEqn eqn;
  friend bool operator==(const TySynInstD&, const TySynInstD&) = default;
};
struct PragmaD {
  Pragma pragma;
  friend bool operator==(const PragmaD&, const PragmaD&) = default;
};
struct ClassD {
  Cxt context;
  Name name;
  std::vector<TyVarBndrUnit> binders;
  std::vector<FunDep> funDeps;
  std::vector<Dec> decs;
  friend bool operator==(const ClassD&, const ClassD&) = default;
};
struct OpenTypeFamilyD {
  TypeFamilyHead head;
  friend bool operator==(const OpenTypeFamilyD&, const OpenTypeFamilyD&) = default;
};
struct ClosedTypeFamilyD {
  TypeFamilyHead head;
  std::vector<TySynEqn> eqns;
  friend bool operator==(const ClosedTypeFamilyD&, const ClosedTypeFamilyD&) = default;
};
// A type signature.
struct SigD {
  Name name;
  Type type;
  friend bool operator==(const SigD&, const SigD&) = default;
};

// ---- Fixities ----------------------------------------------------------------------------------

enum class FixityDirection : std::uint8_t { InfixL, InfixR, InfixN };

struct Fixity {
  int precedence;
  FixityDirection direction;
  friend constexpr bool operator==(const Fixity&, const Fixity&) = default;
};

inline constexpr int maxPrecedence = 9;
// The fixity of an operator without a fixity declaration: left-associative at the highest
// precedence, as the language gives it.
inline constexpr Fixity defaultFixity{maxPrecedence, FixityDirection::InfixL};

// ---- Reified information -----------------------------------------------------------------------

// A class: its declaration and its instances.
struct ClassI {
  Dec dec;
  std::vector<Dec> instances;
  friend bool operator==(const ClassI&, const ClassI&) = default;
};
// A class method: its name, its type and its class.
struct ClassOpI {
  Name name;
  Type type;
  Name parent;
  friend bool operator==(const ClassOpI&, const ClassOpI&) = default;
};
// A type constructor (data, newtype, type data or synonym) with its declaration.
struct TyConI {
  Dec dec;
  friend bool operator==(const TyConI&, const TyConI&) = default;
};
// A type or data family: its declaration and its instances.
struct FamilyI {
  Dec dec;
  std::vector<Dec> instances;
  friend bool operator==(const FamilyI&, const FamilyI&) = default;
};
// A primitive type constructor: its name, arity and whether it is unlifted.
struct PrimTyConI {
  Name name;
  int arity;
  bool unlifted;
  friend bool operator==(const PrimTyConI&, const PrimTyConI&) = default;
};
// A data constructor: its name, its type and the type constructor it belongs to (for a data
// family instance, the family).
struct DataConI {
  Name name;
  Type type;
  Name parent;
  friend bool operator==(const DataConI&, const DataConI&) = default;
};
struct PatSynI {
  Name name;
  Type type;
  friend bool operator==(const PatSynI&, const PatSynI&) = default;
};
// A value (a function, a record selector): its name, its type and maybe its declaration.
struct VarI {
  Name name;
  Type type;
  std::optional<Dec> dec;
  friend bool operator==(const VarI&, const VarI&) = default;
};
struct TyVarI {
  Name name;
  Type type;
  friend bool operator==(const TyVarI&, const TyVarI&) = default;
};

class Info
    : public detail::SyntaxNode<Info, std::variant<ClassI, ClassOpI, TyConI, FamilyI, PrimTyConI,
                                                   DataConI, PatSynI, VarI, TyVarI>> {
 public:
  using SyntaxNode::SyntaxNode;
};

// Whether both values hold the very same node.
[[nodiscard]] inline bool sameObject(const Con& a, const Con& b) noexcept { return a.identity() == b.identity(); }
[[nodiscard]] inline bool sameObject(const Dec& a, const Dec& b) noexcept { return a.identity() == b.identity(); }
[[nodiscard]] inline bool sameObject(const Info& a, const Info& b) noexcept {
  return a.identity() == b.identity();
}

// ---- Text forms --------------------------------------------------------------------------------

// The derived text of each constructor, round brackets around a constructor with fields when d
// is above 10.
void showsPrec(int d, SourceUnpackedness u, std::string& out);
void showsPrec(int d, SourceStrictness s, std::string& out);
void showsPrec(int d, const Bang& b, std::string& out);
void showsPrec(int d, const Con& c, std::string& out);
void showsPrec(int d, const DerivClause& c, std::string& out);
void showsPrec(int d, const TySynEqn& e, std::string& out);
void showsPrec(int d, const Dec& dec, std::string& out);
void showsPrec(int d, FixityDirection dir, std::string& out);
void showsPrec(int d, const Fixity& f, std::string& out);
void showsPrec(int d, const Info& i, std::string& out);
[[nodiscard]] std::string show(const Bang& b);
[[nodiscard]] std::string show(const Con& c);
[[nodiscard]] std::string show(const Dec& d);
[[nodiscard]] std::string show(const Fixity& f);
[[nodiscard]] std::string show(const Info& i);
std::ostream& operator<<(std::ostream& os, const Bang& b);
std::ostream& operator<<(std::ostream& os, const Con& c);
std::ostream& operator<<(std::ostream& os, const Dec& d);
std::ostream& operator<<(std::ostream& os, FixityDirection dir);
std::ostream& operator<<(std::ostream& os, const Fixity& f);
std::ostream& operator<<(std::ostream& os, const Info& i);

}  // namespace hs::th

namespace hs {

template <>
struct Show<th::Con> {
  static void showsPrec(int d, const th::Con& c, std::string& out) { th::showsPrec(d, c, out); }
};
template <>
struct Show<th::Dec> {
  static void showsPrec(int d, const th::Dec& x, std::string& out) { th::showsPrec(d, x, out); }
};
template <>
struct Show<th::Info> {
  static void showsPrec(int d, const th::Info& i, std::string& out) { th::showsPrec(d, i, out); }
};
template <>
struct Show<th::Fixity> {
  static void showsPrec(int d, const th::Fixity& f, std::string& out) { th::showsPrec(d, f, out); }
};

}  // namespace hs
