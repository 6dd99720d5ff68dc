// Builders and recognisers of reflection syntax: declaration builders that take one argument
// list whatever the syntax tree's version, predicates, fixity lookup and display, and the split
// of a type application into its head and arguments.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"

namespace sarkel {
/// \addtogroup sarkel_datatype
/// @{

/// A type family instance: the binder actions (when present), then the argument actions left to
/// right, then the right-hand side; the equation's left-hand side is the family applied to the
/// arguments. A failing action stops the builder there.
[[nodiscard]] hs::th::Dec tySynInstDCompat(hs::th::Q& q, const hs::th::Name& family,
                             const std::optional<std::vector<hs::th::TyVarBndrUnitQ>>& binders,
                             const std::vector<hs::th::TypeQ>& args, const hs::th::TypeQ& rhs);
/// A data (newtype) declaration through the reflection library's dataD (newtypeD), without a
/// kind signature; the classes to derive make one deriving clause without a strategy, or none
/// when there are no classes.
[[nodiscard]] hs::th::Dec dataDCompat(hs::th::Q& q, const hs::th::CxtQ& context, hs::th::Name name,
                        std::vector<hs::th::TyVarBndrUnit> binders,
                        const std::vector<hs::th::ConQ>& cons,
                        const std::vector<hs::th::Name>& derive);
/// As dataDCompat, for a newtype of one constructor.
[[nodiscard]] hs::th::Dec newtypeDCompat(hs::th::Q& q, const hs::th::CxtQ& context, hs::th::Name name,
                           std::vector<hs::th::TyVarBndrUnit> binders, const hs::th::ConQ& con,
                           const std::vector<hs::th::Name>& derive);
/// Always present: the action yielding PragmaD (LineP line file). Building it runs nothing.
[[nodiscard]] std::optional<hs::th::DecQ> pragLineDCompat(int line, std::string file);

/// The arrow kind k1 -> k2.
[[nodiscard]] hs::th::Kind arrowKCompat(hs::th::Kind k1, hs::th::Kind k2);

/// The class applied to the types.
[[nodiscard]] hs::th::Pred classPred(hs::th::Name cls, const std::vector<hs::th::Type>& types);
/// The equality a ~ b.
[[nodiscard]] hs::th::Pred equalPred(hs::th::Type a, hs::th::Type b);
/// The two sides of an equality written with EqualityT or the named "~", applied to exactly two
/// types with nothing around them.
[[nodiscard]] std::optional<std::pair<hs::th::Type, hs::th::Type>> asEqualPred(const hs::th::Pred& p);
/// The class and its visible arguments, when the predicate's head is a type constructor other
/// than the equality.
[[nodiscard]] std::optional<std::pair<hs::th::Name, std::vector<hs::th::Type>>> asClassPred(
    const hs::th::Pred& p);

/// The declared fixity; the default fixity when there is no declaration; absent when the query
/// fails (the failure is not reported).
[[nodiscard]] std::optional<hs::th::Fixity> reifyFixityCompat(hs::th::Q& q, const hs::th::Name& n);
/// "infixl 9", "infixr 5", "infix 4".
[[nodiscard]] std::string showFixity(const hs::th::Fixity& f);
/// "infixl", "infixr" or "infix".
[[nodiscard]] std::string showFixityDirection(hs::th::FixityDirection d);

namespace internal {

// One argument of a type application: visible (from AppT) or a kind argument (from AppKindT).
struct TANormal {
  hs::th::Type type;
  friend bool operator==(const TANormal&, const TANormal&) = default;
};
struct TyArg {
  hs::th::Kind kind;
  friend bool operator==(const TyArg&, const TyArg&) = default;
};
class TypeArg {
 public:
  using Node = std::variant<TANormal, TyArg>;
  TypeArg(TANormal a) : node_(std::move(a)) {}  // NOLINT
  TypeArg(TyArg a) : node_(std::move(a)) {}     // NOLINT
  [[nodiscard]] const Node& node() const noexcept { return node_; }
  template <class C>
  [[nodiscard]] const C* get_if() const noexcept {
    return std::get_if<C>(&node_);
  }
  friend bool operator==(const TypeArg&, const TypeArg&) = default;

 private:
  Node node_;
};

// The head of a type application and its arguments, the one applied first first. Round-bracket
// nodes on the spine are looked through; kind signatures and quantifiers are heads.
[[nodiscard]] std::pair<hs::th::Type, std::vector<TypeArg>> typeAppSpine(const hs::th::Type& t);
// The type of a visible argument; absent for a kind argument.
[[nodiscard]] std::optional<hs::th::Type> visibleTypeArg(const TypeArg& a);
// f applied to the argument again: AppT for a visible one, AppKindT for a kind argument.
[[nodiscard]] hs::th::Type reapplyTypeArg(hs::th::Type f, const TypeArg& a);

}  // namespace internal

/// @}
}  // namespace sarkel
