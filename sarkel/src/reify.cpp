#include "sarkel/datatype/reify.hpp"

#include <algorithm>
#include <utility>
#include <variant>

#include "sarkel/datatype/constructor.hpp"
#include "sarkel/datatype/declaration.hpp"
#include "sarkel/datatype/syntax.hpp"
#include "sarkel/datatype/telescope.hpp"

namespace sarkel {

namespace th = hs::th;

namespace internal {

namespace {

bool hasConstructor(const DatatypeInfo& info, const th::Name& n) {
  return std::any_of(info.datatypeCons.begin(), info.datatypeCons.end(),
                     [&](const ConstructorInfo& c) { return c.constructorName == n; });
}

bool hasSelector(const DatatypeInfo& info, const th::Name& n) {
  return std::any_of(
      info.datatypeCons.begin(), info.datatypeCons.end(), [&](const ConstructorInfo& c) {
        const auto* r = c.constructorVariant.get_if<RecordConstructor>();
        return r != nullptr && std::find(r->names.begin(), r->names.end(), n) != r->names.end();
      });
}

[[noreturn]] void notSelector(th::Q& q, const th::VarI& v) {
  q.fail("reifyRecordType: Not a record selector type: " + th::nameBase(v.name) +
         " :: " + th::show(v.type));
}

[[noreturn]] void refuse(th::Q& q, const std::string& entry, const char* text) {
  q.fail(entry + text);
}

DatatypeInfo selectorParent(th::Q& q, const th::VarI& v) {
  const std::vector<th::Type> args = std::get<2>(splitArrowTelescope(v.type));
  if (args.empty()) notSelector(q, v);
  const auto head = typeAppSpine(args.front()).first;
  const auto* c = head.get_if<th::ConT>();
  if (c == nullptr) notSelector(q, v);
  const th::Name selector = v.name;
  return reifyParentDatatype(
      q, "reifyRecordType", [selector](const DatatypeInfo& i) { return hasSelector(i, selector); },
      c->name);
}

// Rebuilds an instance with another head.
th::Dec withHead(const th::DataInstD& d, th::Type head) {
  return th::DataInstD{d.context, d.binders, std::move(head), d.kind, d.cons, d.derivs};
}
th::Dec withHead(const th::NewtypeInstD& d, th::Type head) {
  return th::NewtypeInstD{d.context, d.binders, std::move(head), d.kind, d.con, d.derivs};
}

}  // namespace

DatatypeInfo normalizeInfo_(th::Q& q, const std::string& entry, bool fromReify,
                            const th::Info& info) {
  return std::visit(
      [&](const auto& x) -> DatatypeInfo {
        using X = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<X, th::ClassI>) {
          refuse(q, entry, ": Class not supported");
        } else if constexpr (std::is_same_v<X, th::TyConI>) {
          return normalizeDecFor(q, fromReify, x.dec);
        } else if constexpr (std::is_same_v<X, th::FamilyI>) {
          if (x.dec.template is<th::DataFamilyD>())
            refuse(q, entry, ": Use a value constructor to reify a data family instance");
          refuse(q, entry, ": Type families not supported");
        } else if constexpr (std::is_same_v<X, th::PrimTyConI>) {
          return normalizeDecFor(q, fromReify, th::DataD{{}, x.name, {}, std::nullopt, {}, {}});
        } else if constexpr (std::is_same_v<X, th::DataConI>) {
          const th::Name con = x.name;
          return reifyParentDatatype(
              q, "reifyParent", [con](const DatatypeInfo& i) { return hasConstructor(i, con); },
              x.parent);
        } else if constexpr (std::is_same_v<X, th::VarI>) {
          return selectorParent(q, x);
        } else {
          static_assert(std::is_same_v<X, th::ClassOpI> || std::is_same_v<X, th::PatSynI> ||
                        std::is_same_v<X, th::TyVarI>);
          refuse(q, entry, ": Expected a type constructor");
        }
      },
      info.node());
}

DatatypeInfo reifyParentDatatype(th::Q& q, const std::string& prefix,
                                 const std::function<bool(const DatatypeInfo&)>& holds,
                                 const th::Name& parent) {
  const th::Info info = q.reify(parent);
  if (const auto* t = info.get_if<th::TyConI>()) return normalizeDecFor(q, true, t->dec);
  const auto* f = info.get_if<th::FamilyI>();
  if (f == nullptr) q.fail("PANIC: " + prefix + " unexpected parent");
  // Every instance is repaired, then every one normalised, before the search.
  std::vector<th::Dec> repaired;
  repaired.reserve(f->instances.size());
  for (const th::Dec& inst : f->instances)
    repaired.push_back(repairFamilyInstance(q, f->dec, inst));
  std::vector<DatatypeInfo> described;
  described.reserve(repaired.size());
  for (const th::Dec& inst : repaired) described.push_back(normalizeDecFor(q, true, inst));
  for (DatatypeInfo& d : described)
    if (holds(d)) return std::move(d);
  q.fail("PANIC: " + prefix + " lost the instance");
}

th::Dec repairFamilyInstance(th::Q& q, const th::Dec& family, const th::Dec& instance) {
  const auto* fam = family.get_if<th::DataFamilyD>();
  if (fam == nullptr) return instance;
  const auto repaired = [&](const th::Type& head) {
    auto [h, args] = typeAppSpine(head);
    std::vector<th::Type> visible;
    visible.reserve(args.size());
    for (const TypeArg& a : args)
      if (auto t = visibleTypeArg(a)) visible.push_back(std::move(*t));
    th::Type out = std::move(h);
    for (th::Type& t : repairBinderKinds(q, fam->binders, fam->kind, visible))
      out = th::AppT{std::move(out), std::move(t)};
    return out;
  };
  if (const auto* d = instance.get_if<th::DataInstD>()) return withHead(*d, repaired(d->head));
  if (const auto* d = instance.get_if<th::NewtypeInstD>()) return withHead(*d, repaired(d->head));
  return instance;
}

}  // namespace internal

DatatypeInfo reifyDatatype(th::Q& q, const th::Name& n) {
  const th::Info info = q.reify(n);
  return internal::normalizeInfo_(q, "reifyDatatype", true, info);
}

hs::Lazy<ConstructorInfo> reifyConstructor(th::Q& q, const th::Name& n) {
  return hs::Lazy<ConstructorInfo>::defer(
      [info = reifyDatatype(q, n), n] { return lookupByConstructorName(n, info); });
}

hs::Lazy<ConstructorInfo> reifyRecord(th::Q& q, const th::Name& n) {
  return hs::Lazy<ConstructorInfo>::defer(
      [info = reifyDatatype(q, n), n] { return lookupByRecordName(n, info); });
}

DatatypeInfo normalizeInfo(th::Q& q, const th::Info& info) {
  return internal::normalizeInfo_(q, "normalizeInfo", false, info);
}

DatatypeInfo normalizeDec(th::Q& q, const th::Dec& dec) {
  return internal::normalizeDecFor(q, false, dec);
}

std::vector<ConstructorInfo> normalizeCon(th::Q& q, const th::Name& typeName,
                                          const std::vector<th::TyVarBndrUnit>& vars,
                                          const std::vector<th::Type>& instTypes,
                                          const th::Kind& returnKind, DatatypeVariant,
                                          const th::Con& con) {
  return internal::normalizeConFor(q, false, typeName, vars, instTypes, returnKind, con);
}

}  // namespace sarkel
