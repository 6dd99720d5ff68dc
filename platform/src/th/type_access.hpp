// Access to the nodes behind type handles, for the walks of the reflection library's own code.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>
#include <variant>

#include "hs/th/syntax/type.hpp"

namespace hs::th::detail {

// The position of a form among the type forms, for switches over a node's index.
template <class C>
inline constexpr std::size_t variantIndex = AlternativeIndex<C, Type::Node>::value;

struct TypeAccess {
  static const TypeCell* cell(const Type& t) noexcept { return t.cell_; }
  // Takes the handle's reference away from it, leaving the handle empty.
  static TypeCell* take(Type& t) noexcept { return std::exchange(t.cell_, nullptr); }

  // Calls f on every type handle held directly by the node, binder kinds included.
  template <class F>
  static void eachChild(Type::Node& node, F&& f) {
    auto binders = [&](auto& bs) {
      for (auto& b : bs)
        std::visit(
            [&](auto& form) {
              if constexpr (requires { form.kind; }) f(form.kind);
            },
            b.node_);
    };
    std::visit(
        [&](auto& x) {
          using X = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<X, ForallT>) {
            binders(x.binders);
            for (Type& p : x.context) f(p);
            f(x.body);
          } else if constexpr (std::is_same_v<X, ForallVisT>) {
            binders(x.binders);
            f(x.body);
          } else if constexpr (std::is_same_v<X, AppT>) {
            f(x.fun);
            f(x.arg);
          } else if constexpr (std::is_same_v<X, AppKindT> || std::is_same_v<X, SigT>) {
            f(x.type);
            f(x.kind);
          } else if constexpr (requires { x.left; }) {
            f(x.left);
            f(x.right);
          } else if constexpr (std::is_same_v<X, ParensT> || std::is_same_v<X, ImplicitParamT>) {
            f(x.type);
          }
        },
        node);
  }
};

}  // namespace hs::th::detail
