#include "sarkel/datatype/telescope.hpp"

#include <utility>

#include "sarkel/datatype/matching.hpp"
#include "sarkel/datatype/substitution.hpp"
#include "sarkel/datatype/tyvarbndr.hpp"
#include "sarkel/datatype/unification.hpp"
#include "sites.hpp"

namespace sarkel::internal {

namespace th = hs::th;

namespace {

th::Type arrow(th::Type a, th::Type r) {
  return th::AppT{th::AppT{th::ArrowT{}, std::move(a)}, std::move(r)};
}

// The argument of an arrow a -> r, and its result.
const th::AppT* arrowParts(const th::Type& t, const th::Type*& arg) {
  const auto* outer = t.get_if<th::AppT>();
  if (outer == nullptr) return nullptr;
  const auto* inner = outer->fun.get_if<th::AppT>();
  if (inner == nullptr || !inner->fun.is<th::ArrowT>()) return nullptr;
  arg = &inner->arg;
  return outer;
}

// The number of visible arguments a telescope takes.
std::size_t visibleArgCount(const FunArgs& args) {
  std::size_t count = 0;
  for (const FunArg& a : args) {
    if (std::holds_alternative<FAAnon>(a)) {
      ++count;
    } else if (const auto* f = std::get_if<FAForalls>(&a)) {
      if (const auto* vis = std::get_if<ForallVis>(&f->telescope)) count += vis->binders.size();
    }
  }
  return count;
}

}  // namespace

std::pair<FunArgs, th::Type> splitFunArgs(const th::Type& t) {
  FunArgs args;
  const th::Type* cur = &t;
  while (true) {
    if (const auto* f = cur->get_if<th::ForallT>()) {
      args.push_back(FAForalls{ForallInvis{f->binders}});
      args.push_back(FACxt{f->context});
      cur = &f->body;
    } else if (const auto* v = cur->get_if<th::ForallVisT>()) {
      args.push_back(FAForalls{ForallVis{v->binders}});
      cur = &v->body;
    } else if (const th::Type* a = nullptr; const th::AppT* app = arrowParts(*cur, a)) {
      args.push_back(FAAnon{*a});
      cur = &app->arg;
    } else {
      break;
    }
  }
  return {std::move(args), *cur};
}

th::Type funArgsToType(const FunArgs& args, const th::Type& result) {
  // Built from the inside out; a context takes the invisible quantifier right before it.
  th::Type acc = result;
  for (std::size_t j = args.size(); j-- > 0;) {
    const FunArg& a = args[j];
    if (const auto* anon = std::get_if<FAAnon>(&a)) {
      acc = arrow(anon->kind, std::move(acc));
    } else if (const auto* c = std::get_if<FACxt>(&a)) {
      const ForallInvis* invis = nullptr;
      if (j > 0)
        if (const auto* prev = std::get_if<FAForalls>(&args[j - 1]))
          invis = std::get_if<ForallInvis>(&prev->telescope);
      if (invis != nullptr) {
        acc = th::ForallT{invis->binders, c->context, std::move(acc)};
        --j;
      } else {
        acc = th::ForallT{{}, c->context, std::move(acc)};
      }
    } else {
      const auto& tele = std::get<FAForalls>(a).telescope;
      if (const auto* vis = std::get_if<ForallVis>(&tele))
        acc = th::ForallVisT{vis->binders, std::move(acc)};
      else
        acc = th::ForallT{std::get<ForallInvis>(tele).binders, {}, std::move(acc)};
    }
  }
  return acc;
}

void tooFewFunArgs() {
  hs::error("filterVisFunArgsUpTo.go_fun_args: Too few FunArgs", datatypeSite(1962, 7, 12));
}

std::tuple<std::vector<th::TyVarBndrSpec>, th::Cxt, std::vector<th::Type>, th::Type>
splitArrowTelescope(const th::Type& t) {
  std::vector<th::TyVarBndrSpec> binders;
  th::Cxt context;
  std::vector<th::Type> args;
  const th::Type* cur = &t;
  while (true) {
    if (const auto* f = cur->get_if<th::ForallT>()) {
      binders.insert(binders.end(), f->binders.begin(), f->binders.end());
      context.insert(context.end(), f->context.begin(), f->context.end());
      cur = &f->body;
    } else if (const th::Type* a = nullptr; const th::AppT* app = arrowParts(*cur, a)) {
      args.push_back(*a);
      cur = &app->arg;
    } else {
      break;
    }
  }
  return {std::move(binders), std::move(context), std::move(args), *cur};
}

std::vector<th::Type> funArgsTypes(const FunArgs& args) {
  std::vector<th::Type> out;
  for (const FunArg& a : args) {
    if (const auto* anon = std::get_if<FAAnon>(&a)) {
      out.push_back(anon->kind);
    } else if (const auto* c = std::get_if<FACxt>(&a)) {
      out.insert(out.end(), c->context.begin(), c->context.end());
    } else {
      const auto& tele = std::get<FAForalls>(a).telescope;
      if (const auto* vis = std::get_if<ForallVis>(&tele))
        for (const auto& b : vis->binders) out.push_back(binderAsType(b));
      else
        for (const auto& b : std::get<ForallInvis>(tele).binders) out.push_back(binderAsType(b));
    }
  }
  return out;
}

std::pair<std::vector<th::Type>, std::vector<th::Type>> splitVisFunArgPairs(
    const std::vector<std::pair<th::Type, VisFunArg>>& pairs) {
  std::vector<th::Type> declared;
  std::vector<th::Type> kinds;
  for (const auto& [t, v] : pairs) {
    if (const auto* dep = std::get_if<VisFADep>(&v)) {
      declared.push_back(t);
      kinds.push_back(binderAsType(dep->binder));
    } else if (const auto* sig = t.get_if<th::SigT>()) {
      declared.push_back(sig->kind);
      kinds.push_back(std::get<VisFAAnon>(v).kind);
    }
  }
  return {std::move(declared), std::move(kinds)};
}

std::optional<hs::Lazy<th::Kind>> reifyKindMaybe(th::Q& q, const th::Name& name,
                                                 const std::vector<th::Type>& argTypes,
                                                 const std::optional<th::Kind>& kind) {
  if (kind) return hs::Lazy<th::Kind>(*kind);
  using Answer = std::optional<th::Kind>;
  const Answer reified = q.recover([](th::Q&) { return Answer(); },
                                   [&](th::Q& q2) { return Answer(q2.reifyType(name)); });
  if (!reified) return std::nullopt;
  th::Kind k = sarkel::resolveTypeSynonyms(q, *reified);
  // What is left after the declared arguments, with the kind's variables renamed to the
  // declaration's: the declared side is the outer one of the match, so the renaming runs from
  // the kind's names to the declaration's.
  return hs::Lazy<th::Kind>::defer([k = std::move(k), argTypes] {
    auto [args, result] = splitFunArgs(k);
    // A result that is a variable stands for further arrows: a family declared with kind
    // forall k. k has instances with arguments. Past all of them an instance is of kind Type,
    // the kind of a declaration whose kind is unknown.
    if (result.is<th::VarT>() && visibleArgCount(args) < argTypes.size()) return th::Kind(th::StarT{});
    auto [pairs, rest] = filterVisFunArgsUpTo(argTypes, args);
    auto [declared, kinds] = splitVisFunArgPairs(pairs);
    const Renaming renaming = matchGadtResultArgLists(declared, kinds).first;
    return sarkel::applySubstitution(varSubstitution(renaming), funArgsToType(rest, result));
  });
}

std::pair<std::vector<th::TyVarBndrUnit>, FunArgs> freshKindBinders(th::Q& q, const FunArgs& args) {
  std::vector<th::TyVarBndrUnit> binders;
  FunArgs rewritten;
  rewritten.reserve(args.size());
  for (const FunArg& a : args) {
    if (const auto* anon = std::get_if<FAAnon>(&a)) {
      th::TyVarBndrUnit b = sarkel::kindedTVInvis(q.newName("x"), anon->kind);
      binders.push_back(b);
      rewritten.push_back(FAForalls{ForallVis{{std::move(b)}}});
      continue;
    }
    if (const auto* f = std::get_if<FAForalls>(&a))
      if (const auto* vis = std::get_if<ForallVis>(&f->telescope))
        binders.insert(binders.end(), vis->binders.begin(), vis->binders.end());
    rewritten.push_back(a);
  }
  return {std::move(binders), std::move(rewritten)};
}

std::vector<th::Type> repairBinderKinds(th::Q& q,
                                        const std::vector<th::TyVarBndrUnit>& familyBinders,
                                        const std::optional<th::Kind>& familyKind,
                                        const std::vector<th::Type>& types) {
  const th::Kind k =
      sarkel::resolveTypeSynonyms(q, familyKind ? *familyKind : th::Kind(th::StarT{}));
  std::vector<th::TyVarBndrUnit> refs = familyBinders;
  std::vector<th::TyVarBndrUnit> extra = freshKindBinders(q, splitFunArgs(k).first).first;
  refs.insert(refs.end(), extra.begin(), extra.end());
  std::vector<th::Type> out;
  const std::size_t n = std::min(refs.size(), types.size());
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (types[i].is<th::VarT>())
      out.push_back(th::SigT{types[i], sarkel::tvKind(refs[i])});
    else
      out.push_back(types[i]);
  }
  return out;
}

}  // namespace sarkel::internal
