/// \defgroup hs_th_lib hs/th/lib.hpp
/// \ingroup hsplatform
/// Builders of the reflection syntax tree. The expression builders run in a quotation context and
/// report each node they build to it (Quote::step), one step per builder call; callers that must
/// keep an order of steps call them as separate statements, in that order. The declaration
/// builders run in the reflection monad and run the actions they are given. Each expression
/// builder allocates the one node it builds.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"

namespace hs::th {
/// \addtogroup hs_th_lib
/// @{

/// An integer literal (its decimal text).
template <detail::IntegerValue I>
[[nodiscard]] Lit integerL(I v) {
  return IntegerL(v);
}
/// A character literal.
[[nodiscard]] inline Lit charL(char32_t c) { return CharL{c}; }
/// A string literal (UTF-8).
[[nodiscard]] inline Lit stringL(std::string s) { return StringL{std::move(s)}; }

/// A variable expression; one step.
[[nodiscard]] Exp varE(Quote& q, Name n);
/// A data constructor expression; one step.
[[nodiscard]] Exp conE(Quote& q, Name n);
/// A literal expression; one step.
[[nodiscard]] Exp litE(Quote& q, Lit l);
/// The application of f to x; one step.
[[nodiscard]] Exp appE(Quote& q, Exp f, Exp x);
/// An operator section or application, either operand possibly absent; one step.
[[nodiscard]] Exp infixE(Quote& q, std::optional<Exp> left, Exp op, std::optional<Exp> right);
/// The infix application of op to both operands: InfixE with both present; one step.
[[nodiscard]] Exp infixApp(Quote& q, Exp left, Exp op, Exp right);
/// A list of the elements; one step.
[[nodiscard]] Exp listE(Quote& q, std::vector<Exp> elems);
/// A tuple of all its elements (none absent; they are moved into a new vector); one step.
[[nodiscard]] Exp tupE(Quote& q, std::vector<Exp> elems);

/// A context: the predicate actions run in list order.
[[nodiscard]] Cxt cxt(Q& q, const std::vector<PredQ>& preds);
/// A deriving clause: the predicate actions run in list order.
[[nodiscard]] DerivClause derivClause(Q& q, std::optional<DerivStrategy> strategy,
                        const std::vector<PredQ>& preds);
/// A data declaration. The actions run in argument order: the context, the constructors in list
/// order, the deriving clauses in list order; a failure stops the builder there.
[[nodiscard]] Dec dataD(Q& q, const CxtQ& context, Name name, std::vector<TyVarBndrUnit> binders,
          std::optional<Kind> kind, const std::vector<ConQ>& cons,
          const std::vector<DerivClauseQ>& derivs);
/// A newtype declaration. The actions run in argument order: the context, the constructor, the
/// deriving clauses in list order; a failure stops the builder there.
[[nodiscard]] Dec newtypeD(Q& q, const CxtQ& context, Name name, std::vector<TyVarBndrUnit> binders,
             std::optional<Kind> kind, const ConQ& con, const std::vector<DerivClauseQ>& derivs);

/// @}
}  // namespace hs::th
