/// \defgroup hs_th_syntax_dec hs/th/syntax/dec.hpp
/// \ingroup hs_th_syntax
/// Declarations, data constructors, reified information and fixities of the reflection syntax
/// tree. Con, Dec and Info are immutable values over shared nodes, built implicitly from their
/// forms and compared structurally (at once for the same node). Equality, the text forms and
/// destruction are safe at any nesting depth memory allows: the last holder of a node frees it
/// and every node only it kept alive in a loop, and nested values are compared and written
/// through hs::withStack.
///
/// Each of the three reads its form with `node()`, `get_if<C>()` (the form's fields when built
/// with C, else null) and `is<C>()`; `identity()` is its node's address. Building one allocates
/// its node; copying one copies a pointer.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/stack.hpp"
#include "hs/th/internal/node_ref.hpp"
#include "hs/th/syntax/name.hpp"
#include "hs/th/syntax/type.hpp"

namespace hs::th {
/// \addtogroup hs_th_syntax_dec
/// @{

namespace detail {
// The node of a syntax value: a shared, immutable variant of its forms, freed in a loop.
template <class Derived, class V>
class SyntaxNode {
 public:
  using Node = V;
  template <class C>
  requires IsAlternative<std::remove_cvref_t<C>, V>::value SyntaxNode(
      C&& c)  // NOLINT: every form converts to its value
      : node_(std::in_place, std::in_place_type<std::remove_cvref_t<C>>, std::forward<C>(c)) {}

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
  // Nested values are compared through hs::withStack, so any depth is compared.
  [[nodiscard]] friend bool operator==(const Derived& a, const Derived& b) {
    return a.node_.get() == b.node_.get() || hs::withStack([&] { return *a.node_ == *b.node_; });
  }

 protected:
  NodeRef<V> node_;
};
}  // namespace detail

// ---- Fields of data constructors ---------------------------------------------------------------

/// A field's unpack pragma as written: none, NOUNPACK or UNPACK.
enum class SourceUnpackedness : std::uint8_t { NoSourceUnpackedness, SourceNoUnpack, SourceUnpack };
/// A field's strictness mark as written: none, ~ or !.
enum class SourceStrictness : std::uint8_t { NoSourceStrictness, SourceLazy, SourceStrict };

/// A field's annotations as written: an unpack pragma and a strictness mark.
struct Bang {
  SourceUnpackedness unpackedness = SourceUnpackedness::NoSourceUnpackedness;  ///< The pragma.
  SourceStrictness strictness = SourceStrictness::NoSourceStrictness;          ///< The mark.
  friend bool operator==(const Bang&, const Bang&) = default;
};
/// A positional field: its annotations and type.
using BangType = std::pair<Bang, Type>;
/// A record field: its name, annotations and type.
using VarBangType = std::tuple<Name, Bang, Type>;

// ---- Data constructors -------------------------------------------------------------------------

struct NormalC;
struct RecC;
struct InfixC;
struct ForallC;
struct GadtC;
struct RecGadtC;

/// A data constructor: a handle to one shared node holding one of the forms below.
class Con
    : public detail::SyntaxNode<Con,
                                std::variant<NormalC, RecC, InfixC, ForallC, GadtC, RecGadtC>> {
 public:
  /// Every form converts to a constructor: the form is moved or copied into a new node.
  using SyntaxNode::SyntaxNode;
};

/// A constructor with positional fields.
struct NormalC {
  Name name;                     ///< The constructor.
  std::vector<BangType> fields;  ///< Its fields, in order.
  friend bool operator==(const NormalC&, const NormalC&) = default;
};
/// A record constructor.
struct RecC {
  Name name;                        ///< The constructor.
  std::vector<VarBangType> fields;  ///< Its named fields, in order.
  friend bool operator==(const RecC&, const RecC&) = default;
};
/// A constructor written between its two fields.
struct InfixC {
  BangType left;   ///< The left field.
  Name name;       ///< The constructor.
  BangType right;  ///< The right field.
  friend bool operator==(const InfixC&, const InfixC&) = default;
};
/// A constructor with its own quantified variables and constraints.
struct ForallC {
  std::vector<TyVarBndrSpec> binders;  ///< The quantified variables.
  Cxt context;                         ///< The constraints.
  Con con;                             ///< The constructor under them.
  friend bool operator==(const ForallC&, const ForallC&) = default;
};
/// A GADT-style constructor: one or more names sharing one signature ending in the result type.
struct GadtC {
  std::vector<Name> names;       ///< The constructors.
  std::vector<BangType> fields;  ///< The fields, in order.
  Type result;                   ///< The result type.
  friend bool operator==(const GadtC&, const GadtC&) = default;
};
/// A GADT-style record constructor: one or more names sharing one signature.
struct RecGadtC {
  std::vector<Name> names;          ///< The constructors.
  std::vector<VarBangType> fields;  ///< The named fields, in order.
  Type result;                      ///< The result type.
  friend bool operator==(const RecGadtC&, const RecGadtC&) = default;
};

// ---- Pieces of declarations --------------------------------------------------------------------

/// Deriving by the compiler's own instances.
struct StockStrategy {
  friend bool operator==(StockStrategy, StockStrategy) = default;
};
/// Deriving as an empty instance with the class's defaults.
struct AnyclassStrategy {
  friend bool operator==(AnyclassStrategy, AnyclassStrategy) = default;
};
/// Deriving through the newtype's underlying type.
struct NewtypeStrategy {
  friend bool operator==(NewtypeStrategy, NewtypeStrategy) = default;
};
/// Deriving through another type of the same representation.
struct ViaStrategy {
  Type via;  ///< The type derived through.
  friend bool operator==(const ViaStrategy&, const ViaStrategy&) = default;
};
/// How a deriving clause derives.
using DerivStrategy = std::variant<StockStrategy, AnyclassStrategy, NewtypeStrategy, ViaStrategy>;

/// One deriving clause: an optional strategy and the classes derived.
struct DerivClause {
  std::optional<DerivStrategy> strategy;  ///< The strategy, if written.
  Cxt classes;                            ///< The classes derived.
  friend bool operator==(const DerivClause&, const DerivClause&) = default;
};

/// One equation of a type family: optional explicit binders, left-hand side, right-hand side.
struct TySynEqn {
  std::optional<std::vector<TyVarBndrUnit>> binders;  ///< The explicit binders, if written.
  Type lhs;                                           ///< The family applied to its patterns.
  Type rhs;                                           ///< What it stands for.
  friend bool operator==(const TySynEqn&, const TySynEqn&) = default;
};

/// The one pragma modelled: a line pragma (line number, file name).
struct LineP {
  int line;          ///< The line number.
  std::string file;  ///< The file name.
  friend bool operator==(const LineP&, const LineP&) = default;
};
/// A pragma: a line pragma.
using Pragma = LineP;

/// A functional dependency of a class: from -> to.
struct FunDep {
  std::vector<Name> from;  ///< The determining variables.
  std::vector<Name> to;    ///< The variables they determine.
  friend bool operator==(const FunDep&, const FunDep&) = default;
};

/// A family result without a signature.
struct NoSig {
  friend bool operator==(NoSig, NoSig) = default;
};
/// A family result with a kind signature.
struct KindSig {
  Kind kind;  ///< The result kind.
  friend bool operator==(const KindSig&, const KindSig&) = default;
};
/// A family result named by a binder (for an injectivity annotation).
struct TyVarSig {
  TyVarBndrUnit binder;  ///< The result variable.
  friend bool operator==(const TyVarSig&, const TyVarSig&) = default;
};
/// The result signature of a type family.
using FamilyResultSig = std::variant<NoSig, KindSig, TyVarSig>;

/// An injectivity annotation: result -> determined.
struct InjectivityAnn {
  Name result;                   ///< The result variable.
  std::vector<Name> determined;  ///< The arguments it determines.
  friend bool operator==(const InjectivityAnn&, const InjectivityAnn&) = default;
};

/// The head of a type family declaration.
struct TypeFamilyHead {
  Name name;                                  ///< The family.
  std::vector<TyVarBndrUnit> binders;         ///< Its parameters.
  FamilyResultSig result;                     ///< Its result signature.
  std::optional<InjectivityAnn> injectivity;  ///< Its injectivity annotation, if any.
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

/// A declaration: a handle to one shared node holding one of the forms below.
class Dec
    : public detail::SyntaxNode<
          Dec,
          std::variant<DataD, NewtypeD, TypeDataD, DataInstD, NewtypeInstD, DataFamilyD, TySynD,
                       TySynInstD, PragmaD, ClassD, OpenTypeFamilyD, ClosedTypeFamilyD, SigD>> {
 public:
  /// Every form converts to a declaration: the form is moved or copied into a new node.
  using SyntaxNode::SyntaxNode;
};

/// A data declaration.
struct DataD {
  Cxt context;                         ///< The datatype context.
  Name name;                           ///< The type constructor.
  std::vector<TyVarBndrUnit> binders;  ///< Its parameters.
  std::optional<Kind> kind;            ///< Its result kind, if written.
  std::vector<Con> cons;               ///< The constructors.
  std::vector<DerivClause> derivs;     ///< The deriving clauses.
  friend bool operator==(const DataD&, const DataD&) = default;
};
/// A newtype declaration.
struct NewtypeD {
  Cxt context;                         ///< The datatype context.
  Name name;                           ///< The type constructor.
  std::vector<TyVarBndrUnit> binders;  ///< Its parameters.
  std::optional<Kind> kind;            ///< Its result kind, if written.
  Con con;                             ///< The one constructor.
  std::vector<DerivClause> derivs;     ///< The deriving clauses.
  friend bool operator==(const NewtypeD&, const NewtypeD&) = default;
};
/// A type data declaration (constructors at the type level only).
struct TypeDataD {
  Name name;                           ///< The type constructor.
  std::vector<TyVarBndrUnit> binders;  ///< Its parameters.
  std::optional<Kind> kind;            ///< Its result kind, if written.
  std::vector<Con> cons;               ///< The constructors.
  friend bool operator==(const TypeDataD&, const TypeDataD&) = default;
};
/// A data family instance: the head is the family applied to the instance's argument patterns.
struct DataInstD {
  Cxt context;                                        ///< The datatype context.
  std::optional<std::vector<TyVarBndrUnit>> binders;  ///< The explicit binders, if written.
  Type head;                                          ///< The family applied to the patterns.
  std::optional<Kind> kind;                           ///< The result kind, if written.
  std::vector<Con> cons;                              ///< The constructors.
  std::vector<DerivClause> derivs;                    ///< The deriving clauses.
  friend bool operator==(const DataInstD&, const DataInstD&) = default;
};
/// A newtype instance of a data family.
struct NewtypeInstD {
  Cxt context;                                        ///< The datatype context.
  std::optional<std::vector<TyVarBndrUnit>> binders;  ///< The explicit binders, if written.
  Type head;                                          ///< The family applied to the patterns.
  std::optional<Kind> kind;                           ///< The result kind, if written.
  Con con;                                            ///< The one constructor.
  std::vector<DerivClause> derivs;                    ///< The deriving clauses.
  friend bool operator==(const NewtypeInstD&, const NewtypeInstD&) = default;
};
/// A data family declaration.
struct DataFamilyD {
  Name name;                           ///< The family.
  std::vector<TyVarBndrUnit> binders;  ///< Its parameters.
  std::optional<Kind> kind;            ///< Its result kind, if written.
  friend bool operator==(const DataFamilyD&, const DataFamilyD&) = default;
};
/// A type synonym.
struct TySynD {
  Name name;                           ///< The synonym.
  std::vector<TyVarBndrUnit> binders;  ///< Its parameters.
  Type rhs;                            ///< What it stands for.
  friend bool operator==(const TySynD&, const TySynD&) = default;
};
/// An instance of an open type family.
struct TySynInstD {
  TySynEqn eqn;  ///< Its equation.
  friend bool operator==(const TySynInstD&, const TySynInstD&) = default;
};
/// A pragma.
struct PragmaD {
  Pragma pragma;  ///< The pragma.
  friend bool operator==(const PragmaD&, const PragmaD&) = default;
};
/// A class declaration.
struct ClassD {
  Cxt context;                         ///< The superclasses.
  Name name;                           ///< The class.
  std::vector<TyVarBndrUnit> binders;  ///< Its parameters.
  std::vector<FunDep> funDeps;         ///< Its functional dependencies.
  std::vector<Dec> decs;               ///< Its body: method signatures and the rest.
  friend bool operator==(const ClassD&, const ClassD&) = default;
};
/// An open type family declaration.
struct OpenTypeFamilyD {
  TypeFamilyHead head;  ///< Its head.
  friend bool operator==(const OpenTypeFamilyD&, const OpenTypeFamilyD&) = default;
};
/// A closed type family declaration.
struct ClosedTypeFamilyD {
  TypeFamilyHead head;         ///< Its head.
  std::vector<TySynEqn> eqns;  ///< Its equations, in order.
  friend bool operator==(const ClosedTypeFamilyD&, const ClosedTypeFamilyD&) = default;
};
/// A type signature.
struct SigD {
  Name name;  ///< The name given the type.
  Type type;  ///< The type.
  friend bool operator==(const SigD&, const SigD&) = default;
};

// ---- Fixities ----------------------------------------------------------------------------------

/// How an operator associates: to the left, to the right, or not at all.
enum class FixityDirection : std::uint8_t { InfixL, InfixR, InfixN };

/// An operator's fixity.
struct Fixity {
  int precedence;             ///< From 0 to maxPrecedence.
  FixityDirection direction;  ///< How it associates.
  friend constexpr bool operator==(const Fixity&, const Fixity&) = default;
};

/// The highest precedence.
inline constexpr int maxPrecedence = 9;
/// The fixity of an operator without a fixity declaration: left-associative at the highest
/// precedence, as the language gives it.
inline constexpr Fixity defaultFixity{maxPrecedence, FixityDirection::InfixL};

// ---- Reified information -----------------------------------------------------------------------

/// A class: its declaration and its instances.
struct ClassI {
  Dec dec;                     ///< The class declaration.
  std::vector<Dec> instances;  ///< Its instances.
  friend bool operator==(const ClassI&, const ClassI&) = default;
};
/// A class method: its name, its type and its class.
struct ClassOpI {
  Name name;    ///< The method.
  Type type;    ///< Its type.
  Name parent;  ///< Its class.
  friend bool operator==(const ClassOpI&, const ClassOpI&) = default;
};
/// A type constructor (data, newtype, type data or synonym) with its declaration.
struct TyConI {
  Dec dec;  ///< The declaration.
  friend bool operator==(const TyConI&, const TyConI&) = default;
};
/// A type or data family: its declaration and its instances.
struct FamilyI {
  Dec dec;                     ///< The family declaration.
  std::vector<Dec> instances;  ///< Its instances.
  friend bool operator==(const FamilyI&, const FamilyI&) = default;
};
/// A primitive type constructor: its name, arity and whether it is unlifted.
struct PrimTyConI {
  Name name;      ///< The type constructor.
  int arity;      ///< Its number of parameters.
  bool unlifted;  ///< Whether its values are unlifted.
  friend bool operator==(const PrimTyConI&, const PrimTyConI&) = default;
};
/// A data constructor: its name, its type and the type constructor it belongs to (for a data
/// family instance, the family).
struct DataConI {
  Name name;    ///< The constructor.
  Type type;    ///< Its type.
  Name parent;  ///< Its type constructor or family.
  friend bool operator==(const DataConI&, const DataConI&) = default;
};
/// A pattern synonym: its name and its type.
struct PatSynI {
  Name name;  ///< The pattern synonym.
  Type type;  ///< Its type.
  friend bool operator==(const PatSynI&, const PatSynI&) = default;
};
/// A value (a function, a record selector): its name, its type and maybe its declaration.
struct VarI {
  Name name;               ///< The value.
  Type type;               ///< Its type.
  std::optional<Dec> dec;  ///< Its declaration, when known.
  friend bool operator==(const VarI&, const VarI&) = default;
};
/// A type variable in scope: its name and what it stands for.
struct TyVarI {
  Name name;  ///< The variable.
  Type type;  ///< The type it is bound to.
  friend bool operator==(const TyVarI&, const TyVarI&) = default;
};

/// What the compiler knows about a name: a handle to one shared node holding one of the forms
/// above.
class Info
    : public detail::SyntaxNode<Info, std::variant<ClassI, ClassOpI, TyConI, FamilyI, PrimTyConI,
                                                   DataConI, PatSynI, VarI, TyVarI>> {
 public:
  /// Every form converts to information: the form is moved or copied into a new node.
  using SyntaxNode::SyntaxNode;
};

/// Whether both constructors hold the very same node.
[[nodiscard]] inline bool sameObject(const Con& a, const Con& b) noexcept { return a.identity() == b.identity(); }
/// Whether both declarations hold the very same node.
[[nodiscard]] inline bool sameObject(const Dec& a, const Dec& b) noexcept { return a.identity() == b.identity(); }
/// Whether both pieces of information hold the very same node.
[[nodiscard]] inline bool sameObject(const Info& a, const Info& b) noexcept {
  return a.identity() == b.identity();
}

// ---- Text forms --------------------------------------------------------------------------------

// The derived text of each constructor ("Fixity 9 InfixL"), in round brackets around a
// constructor with fields when d is above 10. Nested declarations and constructors are written
// through hs::withStack.

/// Appends the derived text of the unpack pragma to out.
void showsPrec(int d, SourceUnpackedness u, std::string& out);
/// Appends the derived text of the strictness mark to out.
void showsPrec(int d, SourceStrictness s, std::string& out);
/// Appends the derived text of the annotations to out, in round brackets when d is above 10.
void showsPrec(int d, const Bang& b, std::string& out);
/// Appends the derived text of the constructor to out, in round brackets when d is above 10.
void showsPrec(int d, const Con& c, std::string& out);
/// Appends the derived text of the deriving clause to out, in round brackets when d is above 10.
void showsPrec(int d, const DerivClause& c, std::string& out);
/// Appends the derived text of the equation to out, in round brackets when d is above 10.
void showsPrec(int d, const TySynEqn& e, std::string& out);
/// Appends the derived text of the declaration to out, in round brackets when d is above 10.
void showsPrec(int d, const Dec& dec, std::string& out);
/// Appends the derived text of the direction to out.
void showsPrec(int d, FixityDirection dir, std::string& out);
/// Appends the derived text of the fixity to out, in round brackets when d is above 10.
void showsPrec(int d, const Fixity& f, std::string& out);
/// Appends the derived text of the information to out, in round brackets when d is above 10.
void showsPrec(int d, const Info& i, std::string& out);
/// The derived text of the annotations, in a new string.
[[nodiscard]] std::string show(const Bang& b);
/// The derived text of the constructor, in a new string.
[[nodiscard]] std::string show(const Con& c);
/// The derived text of the declaration, in a new string.
[[nodiscard]] std::string show(const Dec& d);
/// The derived text of the fixity, in a new string.
[[nodiscard]] std::string show(const Fixity& f);
/// The derived text of the information, in a new string.
[[nodiscard]] std::string show(const Info& i);
/// Writes show of the annotations.
std::ostream& operator<<(std::ostream& os, const Bang& b);
/// Writes show of the constructor.
std::ostream& operator<<(std::ostream& os, const Con& c);
/// Writes show of the declaration.
std::ostream& operator<<(std::ostream& os, const Dec& d);
/// Writes the derived text of the direction.
std::ostream& operator<<(std::ostream& os, FixityDirection dir);
/// Writes show of the fixity.
std::ostream& operator<<(std::ostream& os, const Fixity& f);
/// Writes show of the information.
std::ostream& operator<<(std::ostream& os, const Info& i);

/// @}
}  // namespace hs::th

namespace hs {
/// \addtogroup hs_th_syntax_dec
/// @{

/// A constructor's text form: its derived text (th::showsPrec).
template <>
struct Show<th::Con> {
  /// \privatesection
  static void showsPrec(int d, const th::Con& c, std::string& out) { th::showsPrec(d, c, out); }
};
/// A declaration's text form: its derived text (th::showsPrec).
template <>
struct Show<th::Dec> {
  /// \privatesection
  static void showsPrec(int d, const th::Dec& x, std::string& out) { th::showsPrec(d, x, out); }
};
/// Information's text form: its derived text (th::showsPrec).
template <>
struct Show<th::Info> {
  /// \privatesection
  static void showsPrec(int d, const th::Info& i, std::string& out) { th::showsPrec(d, i, out); }
};
/// A fixity's text form: its derived text ("Fixity 9 InfixL").
template <>
struct Show<th::Fixity> {
  /// \privatesection
  static void showsPrec(int d, const th::Fixity& f, std::string& out) { th::showsPrec(d, f, out); }
};

/// @}
}  // namespace hs
