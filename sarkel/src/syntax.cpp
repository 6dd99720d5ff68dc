#include "sarkel/datatype/syntax.hpp"

#include "hs/th/lib.hpp"
#include "sarkel/datatype/internal.hpp"

namespace sarkel {

namespace th = hs::th;

th::Dec tySynInstDCompat(th::Q& q, const th::Name& family,
                         const std::optional<std::vector<th::TyVarBndrUnitQ>>& binders,
                         const std::vector<th::TypeQ>& args, const th::TypeQ& rhs) {
  std::optional<std::vector<th::TyVarBndrUnit>> bs;
  if (binders) {
    bs.emplace();
    bs->reserve(binders->size());
    for (const auto& b : *binders) bs->push_back(b(q));
  }
  th::Type lhs = th::ConT{family};
  for (const auto& a : args) lhs = th::AppT{std::move(lhs), a(q)};
  th::Type r = rhs(q);
  return th::TySynInstD{th::TySynEqn{std::move(bs), std::move(lhs), std::move(r)}};
}

namespace {
std::vector<th::DerivClauseQ> derivingClauses(const std::vector<th::Name>& classes) {
  if (classes.empty()) return {};
  std::vector<th::PredQ> preds;
  preds.reserve(classes.size());
  for (const th::Name& c : classes) preds.push_back(th::pureQ(th::Type(th::ConT{c})));
  return {[preds = std::move(preds)](th::Q& q) {
    return th::DerivClause{std::nullopt, th::cxt(q, preds)};
  }};
}
}  // namespace

th::Dec dataDCompat(th::Q& q, const th::CxtQ& context, th::Name name,
                    std::vector<th::TyVarBndrUnit> binders, const std::vector<th::ConQ>& cons,
                    const std::vector<th::Name>& derive) {
  return th::dataD(q, context, std::move(name), std::move(binders), std::nullopt, cons,
                   derivingClauses(derive));
}

th::Dec newtypeDCompat(th::Q& q, const th::CxtQ& context, th::Name name,
                       std::vector<th::TyVarBndrUnit> binders, const th::ConQ& con,
                       const std::vector<th::Name>& derive) {
  return th::newtypeD(q, context, std::move(name), std::move(binders), std::nullopt, con,
                      derivingClauses(derive));
}

std::optional<th::DecQ> pragLineDCompat(int line, std::string file) {
  return th::DecQ([line, file = std::move(file)](th::Q&) {
    return th::Dec(th::PragmaD{th::LineP{line, file}});
  });
}

th::Kind arrowKCompat(th::Kind k1, th::Kind k2) {
  return th::AppT{th::AppT{th::ArrowT{}, std::move(k1)}, std::move(k2)};
}

th::Pred classPred(th::Name cls, const std::vector<th::Type>& types) {
  th::Type t = th::ConT{std::move(cls)};
  for (const th::Type& x : types) t = th::AppT{std::move(t), x};
  return t;
}

th::Pred equalPred(th::Type a, th::Type b) {
  return th::AppT{th::AppT{th::EqualityT{}, std::move(a)}, std::move(b)};
}

std::optional<std::pair<th::Type, th::Type>> asEqualPred(const th::Pred& p) {
  const auto* outer = p.get_if<th::AppT>();
  if (outer == nullptr) return std::nullopt;
  const auto* inner = outer->fun.get_if<th::AppT>();
  if (inner == nullptr) return std::nullopt;
  const th::Type& h = inner->fun;
  const auto* c = h.get_if<th::ConT>();
  if (h.is<th::EqualityT>() || (c != nullptr && c->name == internal::eqTypeName()))
    return std::pair(inner->arg, outer->arg);
  return std::nullopt;
}

std::optional<std::pair<th::Name, std::vector<th::Type>>> asClassPred(const th::Pred& p) {
  auto [head, args] = internal::typeAppSpine(p);
  const auto* c = head.get_if<th::ConT>();
  if (c == nullptr || c->name == internal::eqTypeName()) return std::nullopt;
  std::vector<th::Type> visible;
  for (const internal::TypeArg& a : args)
    if (auto t = internal::visibleTypeArg(a)) visible.push_back(std::move(*t));
  return std::pair(c->name, std::move(visible));
}

std::optional<th::Fixity> reifyFixityCompat(th::Q& q, const th::Name& n) {
  using Answer = std::optional<std::optional<th::Fixity>>;
  const Answer a = q.recover([](th::Q&) { return Answer(); },
                             [&](th::Q& q2) { return Answer(q2.reifyFixity(n)); });
  if (!a) return std::nullopt;
  return a->value_or(th::defaultFixity);
}

std::string showFixityDirection(th::FixityDirection d) {
  switch (d) {
    case th::FixityDirection::InfixL: return "infixl";
    case th::FixityDirection::InfixR: return "infixr";
    case th::FixityDirection::InfixN: return "infix";
  }
  return "";
}

std::string showFixity(const th::Fixity& f) {
  return showFixityDirection(f.direction) + " " + std::to_string(f.precedence);
}

namespace internal {

std::pair<th::Type, std::vector<TypeArg>> typeAppSpine(const th::Type& t) {
  // The spine is walked from the outermost application inwards; the arguments are then listed
  // in application order.
  struct Step {
    bool kind;
    const th::Type* arg;
  };
  std::vector<Step> steps;
  const th::Type* h = &t;
  while (true) {
    if (const auto* a = h->get_if<th::AppT>()) {
      steps.push_back(Step{false, &a->arg});
      h = &a->fun;
    } else if (const auto* k = h->get_if<th::AppKindT>()) {
      steps.push_back(Step{true, &k->kind});
      h = &k->type;
    } else if (const auto* p = h->get_if<th::ParensT>()) {
      h = &p->type;
    } else {
      break;
    }
  }
  std::vector<TypeArg> args;
  args.reserve(steps.size());
  for (std::size_t i = steps.size(); i-- > 0;) {
    if (steps[i].kind)
      args.emplace_back(TyArg{*steps[i].arg});
    else
      args.emplace_back(TANormal{*steps[i].arg});
  }
  return {*h, std::move(args)};
}

std::optional<th::Type> visibleTypeArg(const TypeArg& a) {
  if (const auto* n = a.get_if<TANormal>()) return n->type;
  return std::nullopt;
}

th::Type reapplyTypeArg(th::Type f, const TypeArg& a) {
  if (const auto* n = a.get_if<TANormal>()) return th::AppT{std::move(f), n->type};
  return th::AppKindT{std::move(f), a.get_if<TyArg>()->kind};
}

}  // namespace internal

}  // namespace sarkel
