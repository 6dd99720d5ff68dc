#include "sarkel/datatype/constructor.hpp"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>

#include "sarkel/datatype/syntax.hpp"
#include "sarkel/datatype/tyvarbndr.hpp"
#include "sarkel/datatype/unification.hpp"

namespace sarkel::internal {

namespace th = hs::th;

namespace {

Unpackedness unpackednessOf(th::SourceUnpackedness u) noexcept {
  switch (u) {
    case th::SourceUnpackedness::NoSourceUnpackedness:
      return Unpackedness::UnspecifiedUnpackedness;
    case th::SourceUnpackedness::SourceNoUnpack:
      return Unpackedness::NoUnpack;
    case th::SourceUnpackedness::SourceUnpack:
      return Unpackedness::Unpack;
  }
  return Unpackedness::UnspecifiedUnpackedness;
}

Strictness strictnessOf(th::SourceStrictness s) noexcept {
  switch (s) {
    case th::SourceStrictness::NoSourceStrictness:
      return Strictness::UnspecifiedStrictness;
    case th::SourceStrictness::SourceLazy:
      return Strictness::Lazy;
    case th::SourceStrictness::SourceStrict:
      return Strictness::Strict;
  }
  return Strictness::UnspecifiedStrictness;
}

std::vector<FieldStrictness> strictnessOfBangs(const std::vector<th::Bang>& bangs) {
  std::vector<FieldStrictness> out;
  out.reserve(bangs.size());
  for (const th::Bang& b : bangs) out.push_back(fieldStrictnessOfBang(b));
  return out;
}

// The curried function type of the fields ending in the result.
th::Type curried(const std::vector<th::Type>& fields, th::Type result) {
  for (std::size_t i = fields.size(); i-- > 0;)
    result = th::AppT{th::AppT{th::ArrowT{}, fields[i]}, std::move(result)};
  return result;
}

// The binders of a GADT-style constructor and its fields, as the walk hands them over.
struct GadtInput {
  const std::vector<th::Name>& names;
  std::vector<th::Type> fields;
  std::vector<FieldStrictness> strictness;
  const th::Type& result;
  const std::vector<th::VarBangType>* recordFields;  // null for a prefix GADT constructor
};

std::vector<ConstructorInfo> normalizeGadtC(th::Q& q, const th::Name& typeName,
                                            const std::vector<th::TyVarBndrUnit>& vars,
                                            const std::vector<th::Type>& instTypes,
                                            const th::Kind& returnKind, const GadtInput& in,
                                            const std::vector<th::TyVarBndrUnit>& binders,
                                            const th::Cxt& context) {
  // The signature's implicit binders (well-scoped), then its explicit ones.
  std::vector<th::TyVarBndrSpec> specified;
  specified.reserve(binders.size());
  for (const auto& b : binders) specified.push_back(specifiedBinder(b));
  std::vector<th::TyVarBndrUnit> all = sarkel::freeVariablesWellScoped(
      {th::ForallT{std::move(specified), context, curried(in.fields, in.result)}});
  all.insert(all.end(), binders.begin(), binders.end());

  // One fresh name per distinct name, made in ascending name order.
  std::map<th::Name, th::QAction<th::Name>> actions;
  for (auto& [n, make] : freshenBinderNames(all)) actions.emplace(std::move(n), std::move(make));
  Renaming fresh;
  for (const auto& [n, make] : actions) fresh.emplace_hint(fresh.end(), n, make(q));
  const Substitution renameFresh = varSubstitution(fresh);

  std::vector<th::TyVarBndrUnit> renamed;
  renamed.reserve(all.size());
  for (const auto& b : all) {
    const th::Name& to = fresh.at(b.name());
    if (const th::Kind* k = b.kind())
      renamed.push_back(th::KindedTV{to, hs::unit, sarkel::applySubstitution(renameFresh, *k)});
    else
      renamed.push_back(th::PlainTV{to, hs::unit});
  }
  const th::Cxt ownContext = sarkel::applySubstitution(renameFresh, context);
  const std::vector<th::Type> fields = sarkel::applySubstitution(renameFresh, in.fields);
  const th::Type result =
      sarkel::resolveTypeSynonyms(q, sarkel::applySubstitution(renameFresh, in.result));

  // The result must be the declared type constructor applied, under at most one kind signature.
  const th::Type* applied = &result;
  const th::Kind* resultKind = nullptr;
  if (const auto* s = result.get_if<th::SigT>()) {
    applied = &s->type;
    resultKind = &s->kind;
  }
  auto [head, args] = typeAppSpine(*applied);
  std::vector<th::Type> inner;
  if (resultKind != nullptr) inner.push_back(*resultKind);
  bool headOk = false;
  if (const auto* c = head.get_if<th::ConT>()) {
    headOk = c->name == typeName;
  } else if (const auto* op = head.get_if<th::InfixT>()) {
    // The declared type operator between its two operands is that operator applied to them.
    headOk = op->op == typeName;
    if (headOk) {
      inner.push_back(op->left);
      inner.push_back(op->right);
    }
  }
  if (!headOk) q.fail("normalizeGadtC: Expected type constructor application");
  for (const TypeArg& a : args)
    if (auto t = visibleTypeArg(a)) inner.push_back(std::move(*t));
  std::vector<th::Type> outer;
  outer.reserve(instTypes.size() + 1);
  if (resultKind != nullptr) outer.push_back(returnKind);
  outer.insert(outer.end(), instTypes.begin(), instTypes.end());

  std::vector<hs::Lazy<KindMap>> declMaps;
  declMaps.reserve(vars.size());
  for (const auto& b : vars) declMaps.push_back(binderKindMap(b));
  std::vector<hs::Lazy<KindMap>> conMaps;
  conMaps.reserve(renamed.size());
  for (const auto& b : renamed) conMaps.push_back(binderKindMap(b));
  const auto [identified, equalities] =
      closeRenamingOverKinds(unionKindMaps(declMaps, KindMap{}), unionKindMaps(conMaps, KindMap{}),
                             matchGadtResultArgLists(outer, inner));
  const Substitution toDecl = varSubstitution(identified);

  std::vector<th::TyVarBndrUnit> conVars;
  for (const auto& b : renamed) {
    if (identified.count(b.name()) != 0) continue;
    if (const th::Kind* k = b.kind())
      conVars.push_back(th::KindedTV{b.name(), hs::unit, sarkel::applySubstitution(toDecl, *k)});
    else
      conVars.push_back(b);
  }
  th::Cxt conContext;
  conContext.reserve(equalities.size() + ownContext.size());
  for (const th::Pred& p : equalities) conContext.push_back(sarkel::applySubstitution(toDecl, p));
  for (const th::Pred& p : ownContext) conContext.push_back(sarkel::applySubstitution(toDecl, p));
  const std::vector<th::Type> conFields = sarkel::applySubstitution(toDecl, fields);

  std::optional<ConstructorVariant> record;
  if (in.recordFields != nullptr)
    record.emplace(RecordConstructor{recordFieldNames(*in.recordFields)});
  std::vector<ConstructorInfo> out;
  out.reserve(in.names.size());
  for (const th::Name& n : in.names)
    out.push_back(ConstructorInfo{n, conVars, conContext, conFields, in.strictness,
                                  record ? *record : gadtConUsesInfix(q, in.fields, n)});
  return out;
}

// The types without later duplicates (structural equality). Long lists are grouped by text form
// first, so that only types of the same text are compared.
th::Cxt withoutDuplicates(th::Cxt ts) {
  th::Cxt unique;
  unique.reserve(ts.size());
  if (ts.size() <= 8) {
    for (th::Pred& p : ts)
      if (std::find(unique.begin(), unique.end(), p) == unique.end())
        unique.push_back(std::move(p));
    return unique;
  }
  std::unordered_map<std::string, std::vector<std::size_t>> byText;
  for (th::Pred& p : ts) {
    std::vector<std::size_t>& same = byText[th::show(p)];
    if (std::any_of(same.begin(), same.end(), [&](std::size_t i) { return unique[i] == p; }))
      continue;
    same.push_back(unique.size());
    unique.push_back(std::move(p));
  }
  return unique;
}

}  // namespace

FieldStrictness fieldStrictnessOfBang(const th::Bang& b) noexcept {
  return FieldStrictness{unpackednessOf(b.unpackedness), strictnessOf(b.strictness)};
}

std::pair<std::vector<th::Bang>, std::vector<th::Type>> splitBangTypes(
    const std::vector<th::BangType>& fields) {
  std::vector<th::Bang> bangs;
  std::vector<th::Type> types;
  bangs.reserve(fields.size());
  types.reserve(fields.size());
  for (const auto& [b, t] : fields) {
    bangs.push_back(b);
    types.push_back(t);
  }
  return {std::move(bangs), std::move(types)};
}

std::vector<th::Name> recordFieldNames(const std::vector<th::VarBangType>& fields) {
  std::vector<th::Name> out;
  out.reserve(fields.size());
  for (const auto& f : fields) out.push_back(std::get<0>(f));
  return out;
}
std::vector<th::Type> recordFieldTypes(const std::vector<th::VarBangType>& fields) {
  std::vector<th::Type> out;
  out.reserve(fields.size());
  for (const auto& f : fields) out.push_back(std::get<2>(f));
  return out;
}
std::vector<FieldStrictness> recordFieldStrictness(const std::vector<th::VarBangType>& fields) {
  std::vector<FieldStrictness> out;
  out.reserve(fields.size());
  for (const auto& f : fields) out.push_back(fieldStrictnessOfBang(std::get<1>(f)));
  return out;
}

th::TyVarBndrUnit starKindedBinder(bool fromReify, const th::TyVarBndrUnit& b) {
  if (fromReify && !b.isKinded()) return th::KindedTV{b.name(), hs::unit, th::Kind(th::StarT{})};
  return b;
}

ConstructorVariant gadtConUsesInfix(th::Q& q, const std::vector<th::Type>& fields,
                                    const th::Name& n) {
  using Answer = std::optional<th::Fixity>;
  const Answer fixity =
      q.recover([](th::Q&) { return Answer(); }, [&](th::Q& q2) { return q2.reifyFixity(n); });
  const std::string& base = th::nameBase(n);
  if (!base.empty() && base.front() == ':' && fields.size() == 2 && fixity)
    return InfixConstructor{};
  return NormalConstructor{};
}

std::vector<std::pair<th::Name, th::QAction<th::Name>>> freshenBinderNames(
    const std::vector<th::TyVarBndrUnit>& binders) {
  std::vector<std::pair<th::Name, th::QAction<th::Name>>> out;
  auto add = [&out](const th::Name& n) {
    out.emplace_back(n, [base = th::nameBase(n)](th::Q& q) { return q.newName(base); });
  };
  for (const auto& b : binders) {
    add(b.name());
    if (const th::Kind* k = b.kind())
      for (const th::Name& v : sarkel::freeVariables(*k)) add(v);
  }
  return out;
}

std::pair<Renaming, th::Cxt> closeRenamingOverKinds(const hs::Lazy<KindMap>& declKinds,
                                                    const hs::Lazy<KindMap>& conKinds,
                                                    std::pair<Renaming, th::Cxt> start) {
  Renaming all = std::move(start.first);
  th::Cxt constraints = std::move(start.second);
  // Each round matches the kinds of the pairs the previous round identified. A round whose
  // renaming was already a round's input would only repeat what is gathered (a kind that
  // mentions its own variable does that forever), so the rounds stop there.
  std::set<Renaming> seen{all};
  Renaming round = all;
  while (!round.empty()) {
    std::vector<th::Type> declSide;
    std::vector<th::Type> conSide;
    for (const auto& [d, r] : round) {
      const KindMap& g = conKinds.force();
      const auto gi = g.find(d);
      if (gi == g.end()) continue;
      const KindMap& dm = declKinds.force();
      const auto di = dm.find(r);
      if (di == dm.end()) continue;
      conSide.push_back(gi->second);
      declSide.push_back(di->second);
    }
    auto [next, more] = matchGadtResultArgLists(declSide, conSide);
    constraints.insert(constraints.end(), more.begin(), more.end());
    all.insert(next.begin(), next.end());  // earlier entries win
    if (next.empty() || !seen.insert(next).second) break;
    round = std::move(next);
  }
  return {std::move(all), withoutDuplicates(std::move(constraints))};
}

std::vector<ConstructorInfo> normalizeConFor(th::Q& q, bool fromReify, const th::Name& typeName,
                                             const std::vector<th::TyVarBndrUnit>& vars,
                                             const std::vector<th::Type>& instTypes,
                                             const th::Kind& returnKind, const th::Con& con) {
  // Peel the quantifier layers; the innermost layer's binders and constraints come first.
  std::vector<const th::ForallC*> layers;
  const th::Con* c = &con;
  while (const auto* f = c->get_if<th::ForallC>()) {
    layers.push_back(f);
    c = &f->con;
  }
  std::vector<th::TyVarBndrUnit> binders;
  th::Cxt context;
  for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
    for (const auto& b : sarkel::changeTVFlags(hs::unit, (*it)->binders)) binders.push_back(b);
    context.insert(context.end(), (*it)->context.begin(), (*it)->context.end());
  }
  const bool underForall = !layers.empty();

  std::vector<ConstructorInfo> out = std::visit(
      [&](const auto& x) -> std::vector<ConstructorInfo> {
        using X = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<X, th::NormalC>) {
          auto [bangs, types] = splitBangTypes(x.fields);
          ConstructorVariant variant = underForall ? gadtConUsesInfix(q, types, x.name)
                                                   : ConstructorVariant(NormalConstructor{});
          return {ConstructorInfo{x.name, binders, context, std::move(types),
                                  strictnessOfBangs(bangs), std::move(variant)}};
        } else if constexpr (std::is_same_v<X, th::RecC>) {
          return {ConstructorInfo{x.name, binders, context, recordFieldTypes(x.fields),
                                  recordFieldStrictness(x.fields),
                                  RecordConstructor{recordFieldNames(x.fields)}}};
        } else if constexpr (std::is_same_v<X, th::InfixC>) {
          return {ConstructorInfo{
              x.name,
              binders,
              context,
              {x.left.second, x.right.second},
              {fieldStrictnessOfBang(x.left.first), fieldStrictnessOfBang(x.right.first)},
              InfixConstructor{}}};
        } else if constexpr (std::is_same_v<X, th::GadtC>) {
          auto [bangs, types] = splitBangTypes(x.fields);
          return normalizeGadtC(
              q, typeName, vars, instTypes, returnKind,
              GadtInput{x.names, std::move(types), strictnessOfBangs(bangs), x.result, nullptr},
              binders, context);
        } else if constexpr (std::is_same_v<X, th::RecGadtC>) {
          return normalizeGadtC(q, typeName, vars, instTypes, returnKind,
                                GadtInput{x.names, recordFieldTypes(x.fields),
                                          recordFieldStrictness(x.fields), x.result, &x.fields},
                                binders, context);
        } else {
          static_assert(std::is_same_v<X, th::ForallC>);
          return {};  // peeled above
        }
      },
      c->node());
  for (ConstructorInfo& info : out)
    for (auto& b : info.constructorVars) b = starKindedBinder(fromReify, b);
  return out;
}

}  // namespace sarkel::internal
