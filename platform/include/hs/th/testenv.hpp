/// \defgroup hs_th_testenv hs/th/testenv.hpp
/// \ingroup hsplatform
/// A reflection monad over a registry that a test or a program fills: a model of the compiler's
/// side of compile-time reflection, for building and testing reflective code.
///
/// Declarations are registered as the compiler would report them (declare), or information,
/// kinds and fixities one name at a time. Fresh names come from a counter that recover does not
/// roll back, so runs are deterministic. Every query is logged in order, and any query can be made
/// to fail. One environment serves one thread at a time.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"

namespace hs::th {
/// \addtogroup hs_th_testenv
/// @{

/// The reflection monad over a registry (ordered maps by name: each registration and query costs
/// a logarithmic lookup, and each query appends a line to the log).
class TestEnv final : public Q {
 public:
  /// The kinds of query, for failOn.
  enum class Query : std::uint8_t { Reify, ReifyType, ReifyFixity, NewName };

  /// An empty registry; fresh names are NameU names numbered from firstUnique upwards.
  explicit TestEnv(Uniq firstUnique = 1) : next_(firstUnique) {}

  /// Registers a declaration and what the compiler reports for it:
  /// - data, newtype and type data declarations and type synonyms: TyConI of the declaration;
  ///   classes: ClassI (no instances), and ClassOpI for each method signature;
  /// - data and type families: FamilyI of the family with every instance declared so far or
  ///   later (an instance is filed under the type constructor heading its left-hand side);
  /// - each data constructor: DataConI with its type (quantified over the declaration's binders
  ///   and its own, with its constraints) and its parent (for an instance, the family);
  /// - each record selector: VarI with its type (the declared type to the field's type), no
  ///   declaration;
  /// - a type signature: VarI;
  /// - the kind of a data declaration or data family whose binders are all kinded and do not
  ///   occur in one another's kinds: the binder kinds to the declared kind (or StarT), over the
  ///   kind variables they use.
  ///
  /// Later registrations replace earlier ones for the same name; instances accumulate. The types
  /// are built by walks of the declared types that take any depth memory allows.
  void declare(const Dec& d);
  /// What reify gives for n, replacing what declare registered (but a family registered by
  /// declare is still given as the family).
  void setInfo(const Name& n, Info info);
  /// What reifyType gives for n, before any type registered by declare.
  void setKind(const Name& n, Type kindOrType);
  /// What reifyFixity gives for n.
  void setFixity(const Name& n, Fixity f);
  /// Every later query of that kind on that name fails with the message (for NewName, the name
  /// is the base string as a plain name: Name{base, NameS{}}).
  void failOn(Query query, const Name& n, std::string message);

  /// The queries so far, in order: "reify T", "reifyType T", "reifyFixity +" (the name as
  /// showName writes it), "newName x" (the base asked for). Failed queries are logged too.
  [[nodiscard]] const std::vector<std::string>& log() const noexcept { return log_; }
  /// Empties the log.
  void clearLog() noexcept { log_.clear(); }
  /// The unique the next fresh name gets.
  [[nodiscard]] Uniq nextUnique() const noexcept { return next_; }

  /// The registered family with its instances, else the registered information; fails with
  /// "T is not in scope at a reify" otherwise.
  [[nodiscard]] Info reify(const Name& n) override;
  /// The registered kind, else the type of a registered constructor, method, variable or pattern
  /// synonym; fails with "T has no kind or type at a reifyType" otherwise.
  [[nodiscard]] Type reifyType(const Name& n) override;
  /// The registered fixity; none for any other registered name; fails with "T is not in scope
  /// at a reifyFixity" for an unknown name.
  [[nodiscard]] std::optional<Fixity> reifyFixity(const Name& n) override;
  /// A NameU name with the base and the next unique (logged, and failing as failOn says).
  Name newName(std::string base) override;

 private:
  void query(Query q, const char* what, const Name& n, const std::string& text);
  [[nodiscard]] bool known(const Name& n) const;
  void declareCons(const std::vector<Con>& cons, const Name& parent, const Type& head,
                   const std::vector<TyVarBndrUnit>* binders);

  std::map<Name, Info> info_;
  std::map<Name, Dec> families_;
  std::map<Name, std::vector<Dec>> instances_;
  std::map<Name, Type> kinds_;
  std::map<Name, Fixity> fixities_;
  std::map<std::pair<Query, Name>, std::string> failures_;
  std::vector<std::string> log_;
  Uniq next_;
};

/// @}
}  // namespace hs::th
