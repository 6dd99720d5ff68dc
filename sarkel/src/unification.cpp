#include "sarkel/datatype/unification.hpp"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "sarkel/datatype/syntax.hpp"
#include "walk.hpp"

namespace sarkel {

namespace th = hs::th;

namespace {

template <class F, class... Fs>
inline constexpr bool isAny = (std::is_same_v<F, Fs> || ...);

using Mismatch = std::pair<th::Type, th::Type>;

bool occursFree(const th::Name& n, const th::Type& t) {
  const std::vector<th::Name> vars = sarkel::freeVariables(t);
  return std::find(vars.begin(), vars.end(), n) != vars.end();
}

// ---- Synonym expansion
// ----------------------------------------------------------------------------

const th::Type& argType(const internal::TypeArg& a) {
  if (const auto* n = a.get_if<internal::TANormal>()) return n->type;
  return a.get_if<internal::TyArg>()->kind;
}

// The expansion of c applied to the visible arguments when c is a type synonym with no more
// parameters than there are arguments: the right-hand side with the parameters replaced, applied
// to the arguments left over. The declaration query runs under recover.
std::optional<th::Type> expandSynonym(th::Q& q, const th::Name& c,
                                      const std::vector<th::Type>& visible) {
  using Answer = std::optional<th::Info>;
  const Answer info =
      q.recover([](th::Q&) { return Answer(); }, [&](th::Q& q2) { return Answer(q2.reify(c)); });
  if (!info) return std::nullopt;
  const auto* tc = info->get_if<th::TyConI>();
  if (tc == nullptr) return std::nullopt;
  const auto* syn = tc->dec.get_if<th::TySynD>();
  if (syn == nullptr || visible.size() < syn->binders.size()) return std::nullopt;
  Substitution s;
  for (std::size_t i = 0; i < syn->binders.size(); ++i)
    s.insert_or_assign(syn->binders[i].name(), visible[i]);
  th::Type e = sarkel::applySubstitution(s, syn->rhs);
  for (std::size_t i = syn->binders.size(); i < visible.size(); ++i)
    e = th::AppT{std::move(e), visible[i]};
  return e;
}

struct SynonymScratch {
  std::vector<internal::TypeArg> args;  // the application's arguments, the first applied first
  std::optional<th::Type> spineHead;    // the head as it stands in the input
  std::optional<th::Type> head;         // the head the arguments are applied to again
  bool plainSpine = true;               // no round brackets on the spine
};

class SynonymPolicy {
 public:
  using Ctx = internal::NoContext;
  using Scratch = SynonymScratch;
  using Frame = internal::WalkFrame<Ctx, Scratch>;
  using Kids = internal::Children<Ctx, Scratch>;

  explicit SynonymPolicy(th::Q& q) : q_(q) {}

  internal::Next enter(Frame& f, Kids& kids, std::optional<th::Type>&) {
    Scratch& s = f.scratch;
    s = Scratch{};
    auto [spineHead, args] = internal::typeAppSpine(f.input);
    s.args = std::move(args);
    s.spineHead = std::move(spineHead);
    for (const th::Type* h = &f.input;;) {
      if (const auto* a = h->get_if<th::AppT>()) {
        h = &a->fun;
      } else if (const auto* k = h->get_if<th::AppKindT>()) {
        h = &k->type;
      } else if (const auto* p = h->get_if<th::ParensT>()) {
        s.plainSpine = false;
        h = &p->type;
      } else {
        break;
      }
    }
    const th::Type& head = *s.spineHead;
    return std::visit(
        [&](const auto& x) {
          using F = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<F, th::ConT>) {
            if (auto e = expandSynonym(q_, x.name, visibleArgs(s, {}))) {
              f.input = std::move(*e);
              return internal::Next::Again;
            }
            return defaultTreatment(f, head, kids);
          } else if constexpr (isAny<F, th::InfixT, th::UInfixT, th::PromotedInfixT,
                                     th::PromotedUInfixT>) {
            kids.add(x.left);
            kids.add(x.right);
            f.stage = isAny<F, th::InfixT, th::UInfixT> ? kOperands : kPromoted;
          } else if constexpr (std::is_same_v<F, th::SigT>) {
            kids.add(x.type);
            kids.add(x.kind);
            f.stage = kSig;
          } else if constexpr (isAny<F, th::ForallT, th::ForallVisT>) {
            for (const auto& b : x.binders)
              if (const th::Kind* k = b.kind()) kids.add(*k);
            if constexpr (std::is_same_v<F, th::ForallT>)
              for (const th::Pred& p : x.context) kids.add(p);
            kids.add(x.body);
            f.stage = kQuantified;
          } else if constexpr (std::is_same_v<F, th::ImplicitParamT>) {
            kids.add(x.type);
            f.stage = kImplicit;
          } else {
            return defaultTreatment(f, head, kids);
          }
          return internal::Next::Children;
        },
        head.node());
  }

  internal::Next finish(Frame& f, std::span<th::Type> rs, Kids& kids,
                        std::optional<th::Type>& out) {
    Scratch& s = f.scratch;
    const th::Type& spineHead = *s.spineHead;
    switch (f.stage) {
      case kDefault: {
        bool same = s.plainSpine && th::sameObject(*s.head, spineHead);
        for (std::size_t i = 0; same && i < s.args.size(); ++i)
          same = th::sameObject(rs[i], argType(s.args[i]));
        if (same) {
          out = f.input;
        } else {
          th::Type acc = *s.head;
          for (std::size_t i = 0; i < s.args.size(); ++i) {
            if (s.args[i].get_if<internal::TANormal>() != nullptr)
              acc = th::AppT{std::move(acc), rs[i]};
            else
              acc = th::AppKindT{std::move(acc), rs[i]};
          }
          out = std::move(acc);
        }
        return internal::Next::Done;
      }
      case kOperands: {
        // The operator's operands, resolved, are its first two arguments.
        const th::Name& op = std::visit(
            [](const auto& x) -> const th::Name& {
              if constexpr (requires { x.op; })
                return x.op;
              else
                return nullName();
            },
            spineHead.node());
        if (auto e = expandSynonym(q_, op, visibleArgs(s, {rs[0], rs[1]}))) {
          f.input = std::move(*e);
          return internal::Next::Again;
        }
        return defaultTreatment(f, rebuiltOperands(spineHead, rs), kids);
      }
      case kSig: {
        const auto& x = *spineHead.get_if<th::SigT>();
        th::Type head = th::sameObject(rs[0], x.type) && th::sameObject(rs[1], x.kind)
                            ? spineHead
                            : th::Type(th::SigT{rs[0], rs[1]});
        return defaultTreatment(f, head, kids);
      }
      case kPromoted: out = rebuiltOperands(spineHead, rs); return internal::Next::Done;
      case kImplicit: {
        const auto& x = *spineHead.get_if<th::ImplicitParamT>();
        out =
            th::sameObject(rs[0], x.type) ? spineHead : th::Type(th::ImplicitParamT{x.name, rs[0]});
        return internal::Next::Done;
      }
      default:  // kQuantified: the arguments applied to a quantified type are not kept
        out = rebuiltQuantified(spineHead, rs);
        return internal::Next::Done;
    }
  }

 private:
  enum Stage { kDefault = 1, kOperands, kPromoted, kSig, kQuantified, kImplicit };

  static const th::Name& nullName() {
    static const th::Name n{};
    return n;
  }

  static std::vector<th::Type> visibleArgs(const Scratch& s, std::vector<th::Type> first) {
    for (const internal::TypeArg& a : s.args)
      if (const auto* n = a.get_if<internal::TANormal>()) first.push_back(n->type);
    return first;
  }

  // Every argument resolved, in order, then applied to the head again.
  static internal::Next defaultTreatment(Frame& f, th::Type head, Kids& kids) {
    f.scratch.head = std::move(head);
    for (const internal::TypeArg& a : f.scratch.args) kids.add(argType(a));
    f.stage = kDefault;
    return internal::Next::Children;
  }

  static th::Type rebuiltOperands(const th::Type& h, std::span<th::Type> rs) {
    return std::visit(
        [&](const auto& x) -> th::Type {
          using F = std::decay_t<decltype(x)>;
          if constexpr (requires { x.op; }) {
            if (th::sameObject(rs[0], x.left) && th::sameObject(rs[1], x.right)) return h;
            return F{rs[0], x.op, rs[1]};
          } else {
            return h;
          }
        },
        h.node());
  }

  template <class Flag>
  static std::vector<th::TyVarBndr<Flag>> rebuiltBinders(const std::vector<th::TyVarBndr<Flag>>& bs,
                                                         std::span<th::Type>& rs, bool& changed) {
    std::vector<th::TyVarBndr<Flag>> out;
    out.reserve(bs.size());
    for (const auto& b : bs) {
      if (const th::Kind* k = b.kind()) {
        if (!th::sameObject(rs.front(), *k)) changed = true;
        out.push_back(th::KindedTV<Flag>{b.name(), b.flag(), rs.front()});
        rs = rs.subspan(1);
      } else {
        out.push_back(b);
      }
    }
    return out;
  }

  static th::Type rebuiltQuantified(const th::Type& h, std::span<th::Type> rs) {
    bool changed = false;
    if (const auto* x = h.get_if<th::ForallT>()) {
      auto binders = rebuiltBinders(x->binders, rs, changed);
      th::Cxt context(rs.begin(), rs.begin() + static_cast<std::ptrdiff_t>(x->context.size()));
      for (std::size_t i = 0; i < context.size(); ++i)
        if (!th::sameObject(context[i], x->context[i])) changed = true;
      const th::Type& body = rs[x->context.size()];
      if (!th::sameObject(body, x->body)) changed = true;
      return changed ? th::Type(th::ForallT{std::move(binders), std::move(context), body}) : h;
    }
    const auto& v = *h.get_if<th::ForallVisT>();
    auto binders = rebuiltBinders(v.binders, rs, changed);
    if (!th::sameObject(rs[0], v.body)) changed = true;
    return changed ? th::Type(th::ForallVisT{std::move(binders), rs[0]}) : h;
  }

  th::Q& q_;
};

}  // namespace

hs::Either<std::pair<th::Type, th::Type>, Substitution> unify_(const th::Type& t1,
                                                               const th::Type& t2) {
  // The arguments of the applications entered so far: each waits for its function parts'
  // substitution (second = false), then for its own (second = true).
  struct Frame {
    th::Type x1;
    th::Type x2;
    bool second;
    Substitution s1;
  };
  std::vector<Frame> frames;
  th::Type a = t1;
  th::Type b = t2;
  Substitution result;
  while (true) {
    while (true) {
      if (const auto* va = a.get_if<th::VarT>()) {
        const auto* vb = b.get_if<th::VarT>();
        if (vb != nullptr && vb->name == va->name) {
          result.clear();
        } else if (occursFree(va->name, b)) {
          return hs::Left(Mismatch{a, b});
        } else {
          result = Substitution{{va->name, b}};
        }
        break;
      }
      if (const auto* vb = b.get_if<th::VarT>()) {
        if (occursFree(vb->name, a)) return hs::Left(Mismatch{b, a});
        result = Substitution{{vb->name, a}};
        break;
      }
      const auto* aa = a.get_if<th::AppT>();
      const auto* ba = b.get_if<th::AppT>();
      if (aa != nullptr && ba != nullptr) {
        frames.push_back(Frame{aa->arg, ba->arg, false, {}});
        th::Type f1 = aa->fun;
        th::Type f2 = ba->fun;
        a = std::move(f1);
        b = std::move(f2);
        continue;
      }
      if (const auto* sa = a.get_if<th::SigT>()) {
        th::Type inner = sa->type;
        a = std::move(inner);
        continue;
      }
      if (const auto* sb = b.get_if<th::SigT>()) {
        th::Type inner = sb->type;
        b = std::move(inner);
        continue;
      }
      if (!(a == b)) return hs::Left(Mismatch{a, b});
      result.clear();
      break;
    }
    while (true) {
      if (frames.empty()) return hs::Right(std::move(result));
      Frame& f = frames.back();
      if (!f.second) {
        f.second = true;
        f.s1 = std::move(result);
        a = sarkel::applySubstitution(f.s1, f.x1);
        b = sarkel::applySubstitution(f.s1, f.x2);
        break;
      }
      result = sarkel::combineSubstitutions(f.s1, result);
      frames.pop_back();
    }
  }
}

Substitution unifyTypes(th::Q& q, const std::vector<th::Type>& ts) {
  if (ts.empty()) return {};
  std::vector<th::Type> resolved;
  resolved.reserve(ts.size());
  for (const th::Type& t : ts) resolved.push_back(sarkel::resolveTypeSynonyms(q, t));
  Substitution s;
  for (std::size_t i = 1; i < resolved.size(); ++i) {
    auto r = sarkel::unify_(sarkel::applySubstitution(s, resolved[0]),
                            sarkel::applySubstitution(s, resolved[i]));
    if (r.isLeft()) {
      std::string msg = "Unable to unify types ";
      th::showsPrec(11, r.left().first, msg);
      msg += " and ";
      th::showsPrec(11, r.left().second, msg);
      q.fail(std::move(msg));
    }
    s = sarkel::combineSubstitutions(s, r.right());
  }
  return s;
}

th::Type resolveTypeSynonyms(th::Q& q, const th::Type& t) {
  SynonymPolicy policy(q);
  return internal::walkType(policy, t, internal::NoContext{});
}
th::Kind resolveKindSynonyms(th::Q& q, const th::Kind& k) {
  return sarkel::resolveTypeSynonyms(q, k);
}
th::Pred resolvePredSynonyms(th::Q& q, const th::Pred& p) {
  return sarkel::resolveTypeSynonyms(q, p);
}

}  // namespace sarkel
