// The reflection monad: the compiler's side of compile-time reflection, as an interface that
// every reflective operation receives by reference. Sequencing is ordinary C++ sequencing; a
// failure is the exception QFailure, which only recover catches.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "hs/th/syntax.hpp"

namespace hs::th {

// A failure in the reflection monad: reported as a compile-time error unless a recover
// catches it.
class QFailure : public std::exception {
 public:
  explicit QFailure(std::string message) : message_(std::move(message)) {}
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }
  [[nodiscard]] const std::string& message() const noexcept { return message_; }

 private:
  std::string message_;
};

class Q : public Quote {
 public:
  // What the compiler knows about a name; fails when the name is not in scope.
  [[nodiscard]] virtual Info reify(const Name& n) = 0;
  // The kind of a type constructor, or the type of a value; fails when there is none.
  [[nodiscard]] virtual Type reifyType(const Name& n) = 0;
  // The declared fixity of a name; absent when it has no fixity declaration. May fail.
  [[nodiscard]] virtual std::optional<Fixity> reifyFixity(const Name& n) = 0;
  // newName(base), from Quote: a fresh local name with that base, distinct from every other.

  // Aborts the computation with a message.
  [[noreturn]] void fail(std::string message) { throw QFailure(std::move(message)); }

  // Runs action(*this); when it fails, the failure is dropped unreported and handler(*this)
  // runs instead. Only QFailure is caught: program errors and every other exception pass
  // through. Effects of the failed action (queries, fresh names) are not undone.
  template <class H, class A>
  auto recover(H&& handler, A&& action) -> std::invoke_result_t<A&, Q&> {
    try {
      return std::forward<A>(action)(*this);
    } catch (const QFailure&) {
    }
    return std::forward<H>(handler)(*this);
  }
};

// An action: a computation in the reflection monad, run when it is called.
template <class T>
using QAction = std::function<T(Q&)>;
using TypeQ = QAction<Type>;
using KindQ = QAction<Kind>;
using PredQ = QAction<Pred>;
using CxtQ = QAction<Cxt>;
using ConQ = QAction<Con>;
using DecQ = QAction<Dec>;
using DerivClauseQ = QAction<DerivClause>;
using TyVarBndrUnitQ = QAction<TyVarBndrUnit>;

// The action that yields x and does nothing else.
template <class T>
[[nodiscard]] QAction<std::decay_t<T>> pureQ(T&& x) {
  return [v = std::forward<T>(x)](Q&) { return v; };
}

}  // namespace hs::th
