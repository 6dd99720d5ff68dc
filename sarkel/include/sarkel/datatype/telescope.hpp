// Kind telescopes: a kind (or a type) as its sequence of quantifiers, contexts and argument kinds
// in front of a result, the operations that split, rebuild and select from it, and the kinds of
// declarations completed through the reflection monad.
#pragma once

#include <optional>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "hs/lazy.hpp"
#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"

namespace sarkel::internal {

// A quantifier: visible and dependent (forall k ->), or invisible (forall k.).
struct ForallVis {
  std::vector<hs::th::TyVarBndrUnit> binders;
};
struct ForallInvis {
  std::vector<hs::th::TyVarBndrSpec> binders;
};
using ForallTelescope = std::variant<ForallVis, ForallInvis>;

// The elements of a telescope: a quantifier, a context, an anonymous argument's kind.
struct FAForalls {
  ForallTelescope telescope;
};
struct FACxt {
  hs::th::Cxt context;
};
struct FAAnon {
  hs::th::Kind kind;
};
using FunArg = std::variant<FAForalls, FACxt, FAAnon>;
// A telescope, outermost element first; its end is the end of the vector.
using FunArgs = std::vector<FunArg>;

// One visible argument: bound by a visible quantifier, or anonymous with its kind.
struct VisFADep {
  hs::th::TyVarBndrUnit binder;
};
struct VisFAAnon {
  hs::th::Kind kind;
};
using VisFunArg = std::variant<VisFADep, VisFAAnon>;

// The telescope of the outermost quantifiers (each ForallT gives its binders, then its context,
// empty or not), visible quantifiers and arrows of t, and the result after them.
[[nodiscard]] std::pair<FunArgs, hs::th::Type> splitFunArgs(const hs::th::Type& t);
// The type a telescope stands for in front of a result: an invisible quantifier and the context
// right after it make one ForallT. funArgsToType of splitFunArgs(t) is t.
[[nodiscard]] hs::th::Type funArgsToType(const FunArgs& args, const hs::th::Type& result);

// Raises the program error of a telescope with fewer visible arguments than items.
[[noreturn]] void tooFewFunArgs();

// One visible argument of the telescope for each item, in order (invisible quantifiers and
// contexts skipped; a visible quantifier gives one argument per binder), and what is left of the
// telescope: a visible quantifier only partly used stays with its remaining binders. A program
// error when the telescope runs out of visible arguments first.
template <class T>
[[nodiscard]] std::pair<std::vector<std::pair<T, VisFunArg>>, FunArgs> filterVisFunArgsUpTo(
    const std::vector<T>& items, const FunArgs& args) {
  std::vector<std::pair<T, VisFunArg>> pairs;
  pairs.reserve(items.size());
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < items.size()) {
    if (j == args.size()) sarkel::internal::tooFewFunArgs();
    const FunArg& a = args[j];
    if (const auto* anon = std::get_if<FAAnon>(&a)) {
      pairs.emplace_back(items[i++], VisFAAnon{anon->kind});
      ++j;
      continue;
    }
    const auto* foralls = std::get_if<FAForalls>(&a);
    const auto* vis = foralls != nullptr ? std::get_if<ForallVis>(&foralls->telescope) : nullptr;
    if (vis == nullptr) {  // an invisible quantifier or a context
      ++j;
      continue;
    }
    std::size_t b = 0;
    while (i < items.size() && b < vis->binders.size())
      pairs.emplace_back(items[i++], VisFADep{vis->binders[b++]});
    ++j;
    if (b < vis->binders.size()) {
      FunArgs rest;
      rest.reserve(args.size() - j + 1);
      rest.push_back(FAForalls{
          ForallVis{{vis->binders.begin() + static_cast<std::ptrdiff_t>(b), vis->binders.end()}}});
      rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(j), args.end());
      return {std::move(pairs), std::move(rest)};
    }
  }
  return {std::move(pairs), FunArgs(args.begin() + static_cast<std::ptrdiff_t>(j), args.end())};
}

// The binders and contexts of the outer quantifiers (outermost first), the argument types of the
// arrows after them, and the result; visible quantifiers are not entered.
std::tuple<std::vector<hs::th::TyVarBndrSpec>, hs::th::Cxt, std::vector<hs::th::Type>, hs::th::Type>
splitArrowTelescope(const hs::th::Type& t);

// VarT of a plain binder's name; SigT of it and the kind for a kinded one.
template <class Flag>
[[nodiscard]] hs::th::Type binderAsType(const hs::th::TyVarBndr<Flag>& b) {
  if (const hs::th::Kind* k = b.kind()) return hs::th::SigT{hs::th::VarT{b.name()}, *k};
  return hs::th::VarT{b.name()};
}
template <class Flag>
[[nodiscard]] std::vector<hs::th::Type> binderAsType(const std::vector<hs::th::TyVarBndr<Flag>>& bs) {
  std::vector<hs::th::Type> out;
  out.reserve(bs.size());
  for (const auto& b : bs) out.push_back(sarkel::internal::binderAsType(b));
  return out;
}

// Every quantifier's binders as types, every context's predicates and every anonymous argument's
// kind, in telescope order.
[[nodiscard]] std::vector<hs::th::Type> funArgsTypes(const FunArgs& args);

// The declaration side and the kind side of matched arguments: a dependent argument pairs the
// declared type with its binder as a type; an anonymous one pairs a declared type's kind
// signature with the argument's kind (a declared type without one gives nothing).
[[nodiscard]] std::pair<std::vector<hs::th::Type>, std::vector<hs::th::Type>> splitVisFunArgPairs(
    const std::vector<std::pair<hs::th::Type, VisFunArg>>& pairs);

// The return kind of a declaration: the declared kind when there is one; otherwise what remains
// of the type constructor's reified kind (queried under recover: absent when there is none) after
// one visible argument per declared argument, its synonyms resolved first and its variables
// renamed to the declaration's where the declared arguments name them. A kind ending in a variable
// takes any number of further arguments (a data family of kind forall k. k); past them the
// remainder is StarT. The remainder is deferred: too few visible arguments before any other
// result raise their program error when the kind is forced.
[[nodiscard]] std::optional<hs::Lazy<hs::th::Kind>> reifyKindMaybe(hs::th::Q& q, const hs::th::Name& name,
                                                     const std::vector<hs::th::Type>& argTypes,
                                                     const std::optional<hs::th::Kind>& kind);

// A fresh kinded binder (base "x", made outermost first) for every anonymous argument, which
// becomes a visible quantifier over it; the binders of visible quantifiers as they are.
[[nodiscard]] std::pair<std::vector<hs::th::TyVarBndrUnit>, FunArgs> freshKindBinders(hs::th::Q& q,
                                                                        const FunArgs& args);

// The argument types of a family instance with kind signatures from the family: the family's
// binders, then fresh binders for the anonymous arguments of its kind (StarT when it has none),
// paired with the types; a bare variable gets its binder's kind. As long as the shorter list.
[[nodiscard]] std::vector<hs::th::Type> repairBinderKinds(hs::th::Q& q,
                                            const std::vector<hs::th::TyVarBndrUnit>& familyBinders,
                                            const std::optional<hs::th::Kind>& familyKind,
                                            const std::vector<hs::th::Type>& types);

}  // namespace sarkel::internal
