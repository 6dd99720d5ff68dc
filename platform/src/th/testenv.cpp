#include "hs/th/testenv.hpp"

#include <algorithm>

#include "hs/stack.hpp"

namespace hs::th {

namespace {

// ---- Type walks for the registry (recursive, through hs::withStack) ---------------------------

void addOnce(std::vector<Name>& xs, const Name& n) {
  if (std::find(xs.begin(), xs.end(), n) == xs.end()) xs.push_back(n);
}

// The variables a type uses without binding them, in first-occurrence order.
void freeVars(const Type& t, std::vector<Name>& bound, std::vector<Name>& out);

template <class Flag>
void freeVarsUnder(const std::vector<TyVarBndr<Flag>>& bs, const std::vector<const Type*>& inner,
                   std::vector<Name>& bound, std::vector<Name>& out) {
  const std::size_t mark = bound.size();
  for (const auto& b : bs) {
    if (const Kind* k = b.kind()) freeVars(*k, bound, out);
    bound.push_back(b.name());
  }
  for (const Type* t : inner) freeVars(*t, bound, out);
  bound.resize(mark);
}

void freeVars(const Type& t, std::vector<Name>& bound, std::vector<Name>& out) {
  hs::withStack([&] {
    std::visit(
        [&](const auto& x) {
          using X = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<X, VarT>) {
            if (std::find(bound.begin(), bound.end(), x.name) == bound.end()) addOnce(out, x.name);
          } else if constexpr (std::is_same_v<X, ForallT>) {
            std::vector<const Type*> inner;
            for (const Type& p : x.context) inner.push_back(&p);
            inner.push_back(&x.body);
            freeVarsUnder(x.binders, inner, bound, out);
          } else if constexpr (std::is_same_v<X, ForallVisT>) {
            freeVarsUnder(x.binders, {&x.body}, bound, out);
          } else if constexpr (std::is_same_v<X, AppT>) {
            freeVars(x.fun, bound, out);
            freeVars(x.arg, bound, out);
          } else if constexpr (std::is_same_v<X, AppKindT> || std::is_same_v<X, SigT>) {
            freeVars(x.type, bound, out);
            freeVars(x.kind, bound, out);
          } else if constexpr (requires { x.left; }) {
            freeVars(x.left, bound, out);
            freeVars(x.right, bound, out);
          } else if constexpr (std::is_same_v<X, ParensT> || std::is_same_v<X, ImplicitParamT>) {
            freeVars(x.type, bound, out);
          }
        },
        t.node());
  });
}

std::vector<Name> freeVarsOf(const std::vector<const Type*>& ts) {
  std::vector<Name> bound;
  std::vector<Name> out;
  for (const Type* t : ts) freeVars(*t, bound, out);
  return out;
}

Type arrow(Type a, Type b) { return AppT{AppT{ArrowT{}, std::move(a)}, std::move(b)}; }

// forall binders. context => body; the body alone when there is neither. Without binders the
// type is quantified over its free variables.
Type quantified(std::vector<TyVarBndrSpec> binders, Cxt context, Type body) {
  if (binders.empty()) {
    std::vector<const Type*> all;
    for (const Type& p : context) all.push_back(&p);
    all.push_back(&body);
    for (const Name& v : freeVarsOf(all)) binders.push_back(PlainTV<Specificity>{v, SpecifiedSpec});
  }
  if (binders.empty() && context.empty()) return body;
  return ForallT{std::move(binders), std::move(context), std::move(body)};
}

std::vector<TyVarBndrSpec> specified(const std::vector<TyVarBndrUnit>& bs) {
  std::vector<TyVarBndrSpec> out;
  for (const auto& b : bs) {
    if (const Kind* k = b.kind())
      out.push_back(KindedTV<Specificity>{b.name(), SpecifiedSpec, *k});
    else
      out.push_back(PlainTV<Specificity>{b.name(), SpecifiedSpec});
  }
  return out;
}

// The kind of a declaration whose binders are all kinded and independent of one another.
std::optional<Kind> declaredKind(const std::vector<TyVarBndrUnit>& bs,
                                 const std::optional<Kind>& result) {
  Kind k = result ? *result : Kind(StarT{});
  std::vector<const Type*> kinds;
  for (const auto& b : bs) {
    if (!b.isKinded()) return std::nullopt;
    kinds.push_back(b.kind());
  }
  kinds.push_back(&k);
  const std::vector<Name> vars = freeVarsOf(kinds);
  for (const auto& b : bs)
    if (std::find(vars.begin(), vars.end(), b.name()) != vars.end()) return std::nullopt;
  for (std::size_t i = bs.size(); i-- > 0;) k = arrow(*bs[i].kind(), std::move(k));
  std::vector<TyVarBndrSpec> over;
  for (const Name& v : vars) over.push_back(PlainTV<Specificity>{v, SpecifiedSpec});
  if (over.empty()) return k;
  return Kind(ForallT{std::move(over), {}, std::move(k)});
}

Type applied(const Name& tc, const std::vector<TyVarBndrUnit>& bs) {
  Type t = ConT{tc};
  for (const auto& b : bs) t = AppT{std::move(t), VarT{b.name()}};
  return t;
}

// The type constructor heading an application, if it is one.
std::optional<Name> headName(const Type& t) {
  const Type* h = &t;
  while (true) {
    if (const auto* a = h->get_if<AppT>())
      h = &a->fun;
    else if (const auto* k = h->get_if<AppKindT>())
      h = &k->type;
    else if (const auto* p = h->get_if<ParensT>())
      h = &p->type;
    else if (const auto* s = h->get_if<SigT>())
      h = &s->type;
    else
      break;
  }
  if (const auto* c = h->get_if<ConT>()) return c->name;
  return std::nullopt;
}

std::string nameText(const Name& n) { return showName(n); }

const char* queryWord(TestEnv::Query q) {
  switch (q) {
    case TestEnv::Query::Reify: return "reify";
    case TestEnv::Query::ReifyType: return "reifyType";
    case TestEnv::Query::ReifyFixity: return "reifyFixity";
    case TestEnv::Query::NewName: return "newName";
  }
  return "";
}

}  // namespace

// ---- Registry ---------------------------------------------------------------------------------

void TestEnv::declareCons(const std::vector<Con>& cons, const Name& parent, const Type& head,
                          const std::vector<TyVarBndrUnit>* binders) {
  for (const Con& con : cons) {
    std::vector<TyVarBndrSpec> own;
    Cxt context;
    const Con* c = &con;
    while (const auto* f = c->get_if<ForallC>()) {
      own.insert(own.end(), f->binders.begin(), f->binders.end());
      context.insert(context.end(), f->context.begin(), f->context.end());
      c = &f->con;
    }
    std::vector<Name> names;
    std::vector<Type> fields;
    std::vector<std::pair<Name, Type>> selectors;
    const Type* result = &head;
    bool gadt = false;
    std::visit(
        [&](const auto& x) {
          using X = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<X, NormalC>) {
            names.push_back(x.name);
            for (const auto& [b, t] : x.fields) fields.push_back(t);
          } else if constexpr (std::is_same_v<X, RecC>) {
            names.push_back(x.name);
            for (const auto& [n, b, t] : x.fields) {
              fields.push_back(t);
              selectors.emplace_back(n, t);
            }
          } else if constexpr (std::is_same_v<X, InfixC>) {
            names.push_back(x.name);
            fields.push_back(x.left.second);
            fields.push_back(x.right.second);
          } else if constexpr (std::is_same_v<X, GadtC>) {
            names = x.names;
            for (const auto& [b, t] : x.fields) fields.push_back(t);
            result = &x.result;
            gadt = true;
          } else if constexpr (std::is_same_v<X, RecGadtC>) {
            names = x.names;
            for (const auto& [n, b, t] : x.fields) {
              fields.push_back(t);
              selectors.emplace_back(n, t);
            }
            result = &x.result;
            gadt = true;
          }
        },
        c->node());
    std::vector<TyVarBndrSpec> over;
    if (!gadt && binders != nullptr) over = specified(*binders);
    over.insert(over.end(), own.begin(), own.end());
    Type body = *result;
    for (std::size_t i = fields.size(); i-- > 0;) body = arrow(fields[i], std::move(body));
    const Type type = quantified(over, context, std::move(body));
    for (const Name& n : names) info_.insert_or_assign(n, Info(DataConI{n, type, parent}));
    for (const auto& [sel, fieldType] : selectors) {
      std::vector<TyVarBndrSpec> outer;
      if (!gadt && binders != nullptr) outer = specified(*binders);
      info_.insert_or_assign(
          sel, Info(VarI{sel, quantified(std::move(outer), {}, arrow(*result, fieldType)),
                         std::nullopt}));
    }
  }
}

void TestEnv::declare(const Dec& d) {
  std::visit(
      [&](const auto& x) {
        using X = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<X, DataD> || std::is_same_v<X, TypeDataD>) {
          info_.insert_or_assign(x.name, Info(TyConI{d}));
          if (auto k = declaredKind(x.binders, x.kind)) kinds_.insert_or_assign(x.name, *k);
          declareCons(x.cons, x.name, applied(x.name, x.binders), &x.binders);
        } else if constexpr (std::is_same_v<X, NewtypeD>) {
          info_.insert_or_assign(x.name, Info(TyConI{d}));
          if (auto k = declaredKind(x.binders, x.kind)) kinds_.insert_or_assign(x.name, *k);
          declareCons({x.con}, x.name, applied(x.name, x.binders), &x.binders);
        } else if constexpr (std::is_same_v<X, DataInstD> || std::is_same_v<X, NewtypeInstD>) {
          const std::optional<Name> family = headName(x.head);
          if (!family) return;
          instances_[*family].push_back(d);
          const std::vector<TyVarBndrUnit>* bs = x.binders ? &*x.binders : nullptr;
          if constexpr (std::is_same_v<X, DataInstD>)
            declareCons(x.cons, *family, x.head, bs);
          else
            declareCons({x.con}, *family, x.head, bs);
        } else if constexpr (std::is_same_v<X, DataFamilyD>) {
          families_.insert_or_assign(x.name, d);
          if (auto k = declaredKind(x.binders, x.kind)) kinds_.insert_or_assign(x.name, *k);
        } else if constexpr (std::is_same_v<X, OpenTypeFamilyD> ||
                             std::is_same_v<X, ClosedTypeFamilyD>) {
          families_.insert_or_assign(x.head.name, d);
        } else if constexpr (std::is_same_v<X, TySynInstD>) {
          if (const auto family = headName(x.eqn.lhs)) instances_[*family].push_back(d);
        } else if constexpr (std::is_same_v<X, TySynD>) {
          info_.insert_or_assign(x.name, Info(TyConI{d}));
        } else if constexpr (std::is_same_v<X, ClassD>) {
          info_.insert_or_assign(x.name, Info(ClassI{d, {}}));
          for (const Dec& m : x.decs)
            if (const auto* sig = m.template get_if<SigD>())
              info_.insert_or_assign(sig->name, Info(ClassOpI{sig->name, sig->type, x.name}));
        } else if constexpr (std::is_same_v<X, SigD>) {
          info_.insert_or_assign(x.name, Info(VarI{x.name, x.type, std::nullopt}));
        }
      },
      d.node());
}

void TestEnv::setInfo(const Name& n, Info info) { info_.insert_or_assign(n, std::move(info)); }
void TestEnv::setKind(const Name& n, Type kindOrType) {
  kinds_.insert_or_assign(n, std::move(kindOrType));
}
void TestEnv::setFixity(const Name& n, Fixity f) { fixities_.insert_or_assign(n, f); }
void TestEnv::failOn(Query query, const Name& n, std::string message) {
  failures_.insert_or_assign(std::pair(query, n), std::move(message));
}

bool TestEnv::known(const Name& n) const {
  return info_.count(n) != 0 || families_.count(n) != 0 || kinds_.count(n) != 0 ||
         fixities_.count(n) != 0;
}

// ---- Queries ----------------------------------------------------------------------------------

void TestEnv::query(Query q, const char* what, const Name& n, const std::string& text) {
  log_.push_back(std::string(what) + " " + text);
  const auto f = failures_.find(std::pair(q, n));
  if (f != failures_.end()) fail(f->second);
}

Info TestEnv::reify(const Name& n) {
  query(Query::Reify, queryWord(Query::Reify), n, nameText(n));
  if (const auto f = families_.find(n); f != families_.end()) {
    const auto i = instances_.find(n);
    return FamilyI{f->second, i == instances_.end() ? std::vector<Dec>{} : i->second};
  }
  if (const auto i = info_.find(n); i != info_.end()) return i->second;
  fail(nameText(n) + " is not in scope at a reify");
}

Type TestEnv::reifyType(const Name& n) {
  query(Query::ReifyType, queryWord(Query::ReifyType), n, nameText(n));
  if (const auto k = kinds_.find(n); k != kinds_.end()) return k->second;
  if (const auto i = info_.find(n); i != info_.end()) {
    const Type* t = std::visit(
        [](const auto& x) -> const Type* {
          if constexpr (requires { x.type; })
            return &x.type;
          else
            return nullptr;
        },
        i->second.node());
    if (t != nullptr) return *t;
  }
  fail(nameText(n) + " has no kind or type at a reifyType");
}

std::optional<Fixity> TestEnv::reifyFixity(const Name& n) {
  query(Query::ReifyFixity, queryWord(Query::ReifyFixity), n, nameText(n));
  if (const auto f = fixities_.find(n); f != fixities_.end()) return f->second;
  if (known(n)) return std::nullopt;
  fail(nameText(n) + " is not in scope at a reifyFixity");
}

Name TestEnv::newName(std::string base) {
  query(Query::NewName, queryWord(Query::NewName), Name{base, NameS{}}, base);
  return mkNameU(std::move(base), next_++);
}

}  // namespace hs::th
