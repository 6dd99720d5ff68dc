/// \defgroup hs_th_q hs/th/q.hpp
/// \ingroup hsplatform
/// The reflection monad: the compiler's side of compile-time reflection, as an interface that
/// every reflective operation receives by reference. Sequencing is ordinary C++ sequencing; a
/// failure is the exception QFailure, which only recover catches.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "hs/th/syntax.hpp"

namespace hs::th {
/// \addtogroup hs_th_q
/// @{

/// A failure in the reflection monad: reported as a compile-time error unless a recover
/// catches it.
class QFailure : public std::exception {
 public:
  /// The failure with its message.
  explicit QFailure(std::string message) : message_(std::move(message)) {}
  /// The message.
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }
  /// The message.
  [[nodiscard]] const std::string& message() const noexcept { return message_; }

 private:
  std::string message_;
};

/// The reflection monad: a quotation context (its newName gives a fresh local name with the base
/// asked for, distinct from every other) that also answers queries about names.
class Q : public Quote {
 public:
  /// What the compiler knows about a name; fails when the name is not in scope.
  [[nodiscard]] virtual Info reify(const Name& n) = 0;
  /// The kind of a type constructor, or the type of a value; fails when there is none.
  [[nodiscard]] virtual Type reifyType(const Name& n) = 0;
  /// The declared fixity of a name; absent when it has no fixity declaration. May fail.
  [[nodiscard]] virtual std::optional<Fixity> reifyFixity(const Name& n) = 0;
  // newName(base), from Quote: a fresh local name with that base, distinct from every other.

  /// Aborts the computation with a message (throws QFailure).
  [[noreturn]] void fail(std::string message) { throw QFailure(std::move(message)); }

  /// Runs action(*this); when it fails, the failure is dropped unreported and handler(*this)
  /// runs instead. Only QFailure is caught: program errors and every other exception pass
  /// through. Effects of the failed action (queries, fresh names) are not undone.
  template <class H, class A>
  auto recover(H&& handler, A&& action) -> std::invoke_result_t<A&, Q&> {
    try {
      return std::forward<A>(action)(*this);
    } catch (const QFailure&) {
    }
    return std::forward<H>(handler)(*this);
  }
};

/// An action: a computation in the reflection monad, run when it is called (each call runs it
/// again).
template <class T>
using QAction = std::function<T(Q&)>;
/// An action giving a type.
using TypeQ = QAction<Type>;
/// An action giving a kind.
using KindQ = QAction<Kind>;
/// An action giving a predicate.
using PredQ = QAction<Pred>;
/// An action giving a context.
using CxtQ = QAction<Cxt>;
/// An action giving a data constructor.
using ConQ = QAction<Con>;
/// An action giving a declaration.
using DecQ = QAction<Dec>;
/// An action giving a deriving clause.
using DerivClauseQ = QAction<DerivClause>;
/// An action giving a declaration's binder.
using TyVarBndrUnitQ = QAction<TyVarBndrUnit>;

/// The action that yields a copy of x (held in the action) and does nothing else.
template <class T>
[[nodiscard]] QAction<std::decay_t<T>> pureQ(T&& x) {
  return [v = std::forward<T>(x)](Q&) { return v; };
}

/// @}
}  // namespace hs::th
