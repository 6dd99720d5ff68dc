#include "sarkel/datatype/declaration.hpp"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "hs/th/ppr.hpp"
#include "names.hpp"
#include "sarkel/datatype/constructor.hpp"
#include "sarkel/datatype/substitution.hpp"
#include "sarkel/datatype/syntax.hpp"
#include "sarkel/datatype/telescope.hpp"
#include "sarkel/datatype/unification.hpp"

namespace sarkel::internal {

namespace th = hs::th;

namespace {

// What a declaration says, before any query.
struct Classified {
  th::Cxt context;
  th::Name name;
  std::vector<th::TyVarBndrUnit> binders;
  std::vector<th::Type> argTypes;
  DatatypeVariant variant;
  std::vector<th::Con> cons;
  std::optional<th::Kind> kind;
};

template <class D>
Classified plain(const D& d, th::Cxt context, std::vector<th::Con> cons, DatatypeVariant variant) {
  return Classified{std::move(context), d.name, d.binders, binderAsType(d.binders), variant,
                    std::move(cons),    d.kind};
}

template <class D>
Classified instance(th::Q& q, const D& d, std::vector<th::Con> cons, DatatypeVariant variant,
                    const char* word) {
  auto [head, args] = typeAppSpine(d.head);
  const auto* c = head.template get_if<th::ConT>();
  if (c == nullptr)
    q.fail(std::string("Unexpected ") + word + " instance head: " + th::pprint(d.head));
  std::vector<th::Type> argTypes;
  argTypes.reserve(args.size());
  for (const TypeArg& a : args)
    if (auto t = visibleTypeArg(a)) argTypes.push_back(std::move(*t));
  std::vector<th::TyVarBndrUnit> binders =
      d.binders ? *d.binders : sarkel::freeVariablesWellScoped(argTypes);
  return Classified{d.context,       c->name, std::move(binders), std::move(argTypes), variant,
                    std::move(cons), d.kind};
}

Classified classify(th::Q& q, const th::Dec& dec) {
  if (const auto* d = dec.get_if<th::DataD>())
    return plain(*d, d->context, d->cons, DatatypeVariant::Datatype);
  if (const auto* d = dec.get_if<th::NewtypeD>())
    return plain(*d, d->context, {d->con}, DatatypeVariant::Newtype);
  if (const auto* d = dec.get_if<th::TypeDataD>())
    return plain(*d, {}, d->cons, DatatypeVariant::TypeData);
  if (const auto* d = dec.get_if<th::DataInstD>())
    return instance(q, *d, d->cons, DatatypeVariant::DataInstance, "data");
  if (const auto* d = dec.get_if<th::NewtypeInstD>())
    return instance(q, *d, {d->con}, DatatypeVariant::NewtypeInstance, "newtype");
  q.fail("normalizeDecFor: DataD or NewtypeD required");
}

}  // namespace

th::Type starKindedType(bool fromReify, const th::Type& t) {
  if (fromReify && t.is<th::VarT>()) return th::SigT{t, th::StarT{}};
  return t;
}

DatatypeInfo normalizeDecFor(th::Q& q, bool fromReify, const th::Dec& dec) {
  Classified d = classify(q, dec);

  const std::optional<hs::Lazy<th::Kind>> kind = reifyKindMaybe(q, d.name, d.argTypes, d.kind);
  const th::Kind full =
      sarkel::resolveKindSynonyms(q, kind ? kind->force() : th::Kind(th::StarT{}));
  auto [telescope, returnKind] = splitFunArgs(full);
  auto [extra, rewritten] = freshKindBinders(q, telescope);

  std::vector<th::Type> mentioned = binderAsType(d.binders);
  for (th::Type& t : funArgsTypes(rewritten)) mentioned.push_back(std::move(t));
  mentioned.push_back(returnKind);
  std::vector<th::TyVarBndrUnit> vars = sarkel::freeVariablesWellScoped(mentioned);

  std::vector<th::Type> instTypes = std::move(d.argTypes);
  for (const auto& b : extra) instTypes.push_back(binderAsType(b));

  std::vector<ConstructorInfo> cons;
  cons.reserve(d.cons.size());
  for (const th::Con& c : d.cons)
    for (ConstructorInfo& info :
         normalizeConFor(q, fromReify, d.name, vars, instTypes, returnKind, c))
      cons.push_back(std::move(info));

  for (auto& b : vars) b = starKindedBinder(fromReify, b);
  for (auto& t : instTypes) t = starKindedType(fromReify, t);
  DatatypeInfo info{std::move(d.context), std::move(d.name), std::move(vars),
                    std::move(instTypes), d.variant,         std::move(returnKind),
                    std::move(cons)};
  if (fromReify && (info.datatypeVariant == DatatypeVariant::DataInstance ||
                    info.datatypeVariant == DatatypeVariant::NewtypeInstance))
    return repairInstanceVariables(q, info);
  return info;
}

DatatypeInfo repairInstanceVariables(th::Q& q, const DatatypeInfo& info) {
  // The head's variables by base name, in binding order.
  std::map<std::string, std::vector<th::Name>> byBase;
  NameList bound;
  for (const auto& b : info.datatypeVars) {
    bound.add(b.name());
    byBase[th::nameBase(b.name())].push_back(b.name());
  }
  NameList used;
  for (const ConstructorInfo& c : info.datatypeCons)
    for (const th::Name& n : sarkel::freeVariables(c)) used.add(n);
  std::set<th::Name> free;
  for (const th::Name& n : used.names())
    if (!bound.contains(n)) free.insert(n);
  if (free.empty()) return info;

  Substitution s;
  for (const th::Name& u : free) {
    const auto it = byBase.find(th::nameBase(u));
    if (it == byBase.end())
      q.fail("Impossible free variable: " + th::showName_(th::NameIs::Alone, u));
    if (it->second.size() != 1)
      q.fail("Ambiguous free variable: " + th::showName_(th::NameIs::Alone, u));
    s.emplace_hint(s.end(), u, th::Type(th::VarT{it->second.front()}));
  }
  DatatypeInfo out = info;
  for (ConstructorInfo& c : out.datatypeCons) c = sarkel::applySubstitution(s, c);
  return out;
}

}  // namespace sarkel::internal
