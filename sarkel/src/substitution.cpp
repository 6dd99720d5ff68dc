#include "sarkel/datatype/substitution.hpp"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <type_traits>
#include <utility>
#include <variant>

#include "names.hpp"
#include "persistent_map.hpp"
#include "sarkel/datatype/tyvarbndr.hpp"
#include "sites.hpp"
#include "walk.hpp"

namespace sarkel {

namespace th = hs::th;

namespace {

template <class F, class... Fs>
inline constexpr bool isAny = (std::is_same_v<F, Fs> || ...);

// ---- Free variables -----------------------------------------------------------------------------

// Walks types in order, collecting the variables they use outside the binders around them. The
// recursive definition (a union of the parts' variables, less a quantifier's binders) lists the
// same names as this one walk: each variable at its first occurrence not under a binder of its
// name.
class FreeVarWalker {
 public:
  void walk(const th::Type& root) {
    todo_.push(Item{&root, nullptr, false});
    while (!todo_.empty()) {
      const Item it = todo_.pop();
      if (it.type == nullptr) {
        if (it.visible)
          unbindAll(static_cast<const th::ForallVisT*>(it.scope)->binders);
        else
          unbindAll(static_cast<const th::ForallT*>(it.scope)->binders);
        continue;
      }
      std::visit([&](const auto& x) { step(x); }, it.type->node());
    }
  }
  void bind(const th::Name& n) { bound_.bind(n); }
  std::vector<th::Name> take() { return out_.take(); }

 private:
  struct Item {
    const th::Type* type;  // null: the end of a quantifier's scope
    const void* scope;
    bool visible;
  };

  void push(const th::Type& t) { todo_.push(Item{&t, nullptr, false}); }
  template <class Flag>
  void unbindAll(const std::vector<th::TyVarBndr<Flag>>& bs) {
    for (const auto& b : bs) bound_.unbind(b.name());
  }
  // The binders' names are bound for their own kinds too; kinds come first, then the context,
  // then the body.
  template <class Flag>
  void enterScope(const void* scope, bool visible, const std::vector<th::TyVarBndr<Flag>>& bs,
                  const th::Cxt* context, const th::Type& body) {
    for (const auto& b : bs) bound_.bind(b.name());
    todo_.push(Item{nullptr, scope, visible});
    push(body);
    if (context != nullptr)
      for (std::size_t i = context->size(); i-- > 0;) push((*context)[i]);
    for (std::size_t i = bs.size(); i-- > 0;)
      if (const th::Kind* k = bs[i].kind()) push(*k);
  }

  template <class F>
  void step(const F& x) {
    if constexpr (std::is_same_v<F, th::VarT>) {
      if (!bound_.contains(x.name)) out_.add(x.name);
    } else if constexpr (std::is_same_v<F, th::AppT>) {
      push(x.arg);
      push(x.fun);
    } else if constexpr (isAny<F, th::AppKindT, th::SigT>) {
      push(x.kind);
      push(x.type);
    } else if constexpr (isAny<F, th::InfixT, th::UInfixT, th::PromotedInfixT,
                               th::PromotedUInfixT>) {
      push(x.right);
      push(x.left);
    } else if constexpr (isAny<F, th::ParensT, th::ImplicitParamT>) {
      push(x.type);
    } else if constexpr (std::is_same_v<F, th::ForallT>) {
      enterScope(&x, false, x.binders, &x.context, x.body);
    } else if constexpr (std::is_same_v<F, th::ForallVisT>) {
      enterScope(&x, true, x.binders, nullptr, x.body);
    }
  }

  internal::SmallStack<Item> todo_;
  internal::BoundNames bound_;
  internal::NameList out_;
};

// ---- Binders under a substitution ---------------------------------------------------------------

// A substitution in effect during a walk: the one given, with the changes the binders around the
// walk's position made to it (an entry deleted by a binder that shadows it, an entry added for a
// binder renamed against capture). The changes are a persistent map, so the substitution of each
// binder shares all but a logarithmic part with the one before it; its keys are numbers given to
// the changed names, shared by every substitution made from the same given one. Whether a
// variable occurs in the substitution's types is a count of the entries that mention it: the
// given entries' counts are made once, when first needed, and each changed substitution keeps
// its difference to them, also persistent and also made when first needed.
class SubstCtx {
 public:
  explicit SubstCtx(const Substitution& m) : base_(&m), size_(m.size()), root_(this) {}
  SubstCtx(const SubstCtx&) = delete;
  SubstCtx& operator=(const SubstCtx&) = delete;

  // The entry of n, or null.
  const th::Type* find(const th::Name& n) const {
    if (!overlay_.empty())
      if (const auto id = idOf(n))
        if (const auto* o = overlay_.find(*id)) return o->has_value() ? &**o : nullptr;
    const auto it = base_->find(n);
    return it != base_->end() ? &it->second : nullptr;
  }
  bool empty() const noexcept { return size_ == 0; }

  // Whether a type of the substitution mentions n.
  bool inRange(const th::Name& n) const {
    std::optional<RangeCounts>& counts = shared().counts;
    if (!counts) {
      RangeCounts made;
      for (const auto& [from, to] : *base_)
        for (const th::Name& m : sarkel::freeVariables(to)) ++made[m];
      counts = std::move(made);
    }
    makeDelta();
    const auto it = counts->find(n);
    std::ptrdiff_t total = it != counts->end() ? it->second : 0;
    if (!delta_->empty())
      if (const auto id = idOf(n))
        if (const std::ptrdiff_t* d = delta_->find(*id)) total += *d;
    return total > 0;
  }

  // This substitution less the entry of n (old is that entry).
  std::unique_ptr<SubstCtx> without(const th::Name& n, const th::Type& old) const {
    return std::unique_ptr<SubstCtx>(new SubstCtx(*this, n, std::nullopt, size_ - 1, old));
  }
  // This substitution with n mapped to the variable m.
  std::unique_ptr<SubstCtx> renamed(const th::Name& n, const th::Name& m) const {
    return std::unique_ptr<SubstCtx>(new SubstCtx(*this, n, th::Type(th::VarT{m}), size_ + 1, m));
  }

  Substitution materialize() const {
    Substitution out = *base_;
    overlay_.forEach([&](std::uint32_t id, const std::optional<th::Type>& entry) {
      const th::Name& n = shared().names[id];
      if (entry)
        out.insert_or_assign(n, *entry);
      else
        out.erase(n);
    });
    return out;
  }

 private:
  using RangeCounts = std::map<th::Name, std::ptrdiff_t>;
  using Delta = internal::PersistentMap<std::uint32_t, std::ptrdiff_t>;
  // What a changed substitution did to the counts: the type of a deleted entry, or the
  // variable of an added one (nothing for the given substitution).
  using Change = std::variant<std::monostate, th::Type, th::Name>;
  struct Shared {
    std::map<th::Name, std::uint32_t> ids;
    std::vector<th::Name> names;  // by number
    std::optional<RangeCounts> counts;
  };

  SubstCtx(const SubstCtx& parent, const th::Name& n, std::optional<th::Type> entry,
           std::size_t size, Change change)
      : base_(parent.base_),
        overlay_(parent.overlay_.with(parent.intern(n), std::move(entry))),
        size_(size),
        root_(parent.root_),
        parent_(&parent),
        change_(std::move(change)) {}

  // What the substitutions made from one given substitution share, kept by the outermost and
  // made when first needed (a substitution without quantifiers allocates none of it).
  Shared& shared() const {
    if (!root_->shared_) root_->shared_ = std::make_unique<Shared>();
    return *root_->shared_;
  }
  std::optional<std::uint32_t> idOf(const th::Name& n) const {
    const Shared& sh = shared();
    const auto it = sh.ids.find(n);
    if (it == sh.ids.end()) return std::nullopt;
    return it->second;
  }
  std::uint32_t intern(const th::Name& n) const {
    Shared& sh = shared();
    if (const auto it = sh.ids.find(n); it != sh.ids.end()) return it->second;
    // The name goes in first: should the index fail to take it, the spare name is never read.
    const auto id = static_cast<std::uint32_t>(sh.names.size());
    sh.names.push_back(n);
    sh.ids.emplace(n, id);
    return id;
  }

  // The differences of this substitution and of those it was made from that lack them, outermost
  // first (a loop: quantifiers nest as deep as the type).
  void makeDelta() const {
    if (delta_) return;
    std::vector<const SubstCtx*> chain;
    for (const SubstCtx* c = this; c != nullptr && !c->delta_; c = c->parent_) chain.push_back(c);
    for (std::size_t i = chain.size(); i-- > 0;) {
      const SubstCtx& c = *chain[i];
      if (c.parent_ == nullptr) {
        c.delta_.emplace();
        continue;
      }
      Delta d = *c.parent_->delta_;
      const auto add = [&](const th::Name& m, std::ptrdiff_t by) {
        const std::uint32_t id = intern(m);
        const std::ptrdiff_t* now = d.find(id);
        d = d.with(id, (now != nullptr ? *now : 0) + by);
      };
      if (const auto* removed = std::get_if<th::Type>(&c.change_))
        for (const th::Name& m : sarkel::freeVariables(*removed)) add(m, -1);
      else
        add(std::get<th::Name>(c.change_), 1);
      c.delta_ = std::move(d);
    }
  }

  const Substitution* base_;
  internal::PersistentMap<std::uint32_t, std::optional<th::Type>> overlay_;
  std::size_t size_;
  const SubstCtx* root_;
  mutable std::unique_ptr<Shared> shared_;  // the outermost's only
  const SubstCtx* parent_ = nullptr;
  Change change_;
  mutable std::optional<Delta> delta_;
};

// What a quantifier's binders do to the substitution: the substitution each binder's kind takes,
// each binder's name afterwards, and the substitution for the quantifier's body.
struct BinderScope {
  std::vector<std::unique_ptr<SubstCtx>> owned;
  std::vector<SubstCtx*> kindSubst;
  std::vector<th::Name> names;
  SubstCtx* after = nullptr;
};

template <class Flag>
void scopeBinders(SubstCtx& s, const std::vector<th::TyVarBndr<Flag>>& bs, BinderScope& out) {
  SubstCtx* cur = &s;
  auto replace = [&](std::unique_ptr<SubstCtx> next) {
    out.owned.push_back(std::move(next));
    cur = out.owned.back().get();
  };
  out.kindSubst.reserve(bs.size());
  out.names.reserve(bs.size());
  for (const auto& b : bs) {
    const th::Name& n = b.name();
    out.kindSubst.push_back(cur);
    if (const th::Type* old = cur->find(n)) {
      // The binder shadows the entry.
      replace(cur->without(n, *old));
      out.names.push_back(n);
      continue;
    }
    if (!cur->inRange(n)) {
      out.names.push_back(n);
      continue;
    }
    // The binder would capture a variable of the substituted types: rename it.
    th::Name m = th::mkName("f" + th::nameBase(n));
    while (cur->inRange(m)) m = th::mkName("f" + th::nameBase(m));
    replace(cur->renamed(n, m));
    out.names.push_back(std::move(m));
  }
  out.after = cur;
}

// The binders with their new names and the results of their kinds, taken in order from rs.
template <class Flag>
std::vector<th::TyVarBndr<Flag>> rebuildBinders(const std::vector<th::TyVarBndr<Flag>>& bs,
                                                const std::vector<th::Name>& names,
                                                std::span<th::Type>& rs, bool& changed) {
  std::vector<th::TyVarBndr<Flag>> out;
  out.reserve(bs.size());
  for (std::size_t i = 0; i < bs.size(); ++i) {
    if (names[i] != bs[i].name()) changed = true;
    if (const th::Kind* k = bs[i].kind()) {
      if (!th::sameObject(rs.front(), *k)) changed = true;
      out.push_back(th::KindedTV<Flag>{names[i], bs[i].flag(), std::move(rs.front())});
      rs = rs.subspan(1);
    } else {
      out.push_back(th::PlainTV<Flag>{names[i], bs[i].flag()});
    }
  }
  return out;
}

th::Cxt takeTypes(std::span<th::Type>& rs, const th::Cxt& old, bool& changed) {
  th::Cxt out;
  out.reserve(old.size());
  for (std::size_t i = 0; i < old.size(); ++i) {
    if (!th::sameObject(rs[i], old[i])) changed = true;
    out.push_back(std::move(rs[i]));
  }
  rs = rs.subspan(old.size());
  return out;
}

// applySubstitution over a type. A node whose parts all come back as the same objects comes
// back itself.
struct SubstPolicy {
  using Ctx = SubstCtx*;
  using Scratch = std::unique_ptr<BinderScope>;
  using Frame = internal::WalkFrame<Ctx, Scratch>;
  using Kids = internal::Children<Ctx, Scratch>;

  // Variables and forms without types inside need no frame.
  bool leaf(const th::Type& t, Ctx ctx, std::optional<th::Type>& out) const {
    if (const auto* x = t.get_if<th::VarT>()) {
      const th::Type* to = ctx->find(x->name);
      out = to != nullptr ? *to : t;
      return true;
    }
    const bool compound = std::visit(
        [](const auto& x) {
          using F = std::decay_t<decltype(x)>;
          return isAny<F, th::ForallT, th::ForallVisT, th::AppT, th::AppKindT, th::SigT, th::InfixT,
                       th::UInfixT, th::PromotedInfixT, th::PromotedUInfixT, th::ParensT,
                       th::ImplicitParamT>;
        },
        t.node());
    if (compound) return false;
    out = t;
    return true;
  }

  internal::Next enter(Frame& f, Kids& kids, std::optional<th::Type>& out) {
    if (f.ctx->empty()) {
      out = f.input;
      return internal::Next::Done;
    }
    return std::visit(
        [&](const auto& x) {
          using F = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<F, th::VarT>) {
            const th::Type* to = f.ctx->find(x.name);
            out = to != nullptr ? *to : f.input;
            return internal::Next::Done;
          } else if constexpr (std::is_same_v<F, th::AppT>) {
            kids.add(x.fun, f.ctx);
            kids.add(x.arg, f.ctx);
          } else if constexpr (isAny<F, th::AppKindT, th::SigT>) {
            kids.add(x.type, f.ctx);
            kids.add(x.kind, f.ctx);
          } else if constexpr (isAny<F, th::InfixT, th::UInfixT, th::PromotedInfixT,
                                     th::PromotedUInfixT>) {
            kids.add(x.left, f.ctx);
            kids.add(x.right, f.ctx);
          } else if constexpr (isAny<F, th::ParensT, th::ImplicitParamT>) {
            kids.add(x.type, f.ctx);
          } else if constexpr (isAny<F, th::ForallT, th::ForallVisT>) {
            auto scope = std::make_unique<BinderScope>();
            scopeBinders(*f.ctx, x.binders, *scope);
            for (std::size_t i = 0; i < x.binders.size(); ++i)
              if (const th::Kind* k = x.binders[i].kind()) kids.add(*k, scope->kindSubst[i]);
            if constexpr (std::is_same_v<F, th::ForallT>)
              for (const th::Pred& p : x.context) kids.add(p, scope->after);
            kids.add(x.body, scope->after);
            f.scratch = std::move(scope);
          } else {
            out = f.input;
            return internal::Next::Done;
          }
          return internal::Next::Children;
        },
        f.input.node());
  }

  internal::Next finish(Frame& f, std::span<th::Type> rs, Kids&, std::optional<th::Type>& out) {
    std::visit(
        [&](const auto& x) {
          using F = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<F, th::AppT>) {
            out = same2(rs, x.fun, x.arg) ? f.input : th::Type(th::AppT{rs[0], rs[1]});
          } else if constexpr (isAny<F, th::AppKindT, th::SigT>) {
            out = same2(rs, x.type, x.kind) ? f.input : th::Type(F{rs[0], rs[1]});
          } else if constexpr (isAny<F, th::InfixT, th::UInfixT, th::PromotedInfixT,
                                     th::PromotedUInfixT>) {
            out = same2(rs, x.left, x.right) ? f.input : th::Type(F{rs[0], x.op, rs[1]});
          } else if constexpr (std::is_same_v<F, th::ParensT>) {
            out = th::sameObject(rs[0], x.type) ? f.input : th::Type(th::ParensT{rs[0]});
          } else if constexpr (std::is_same_v<F, th::ImplicitParamT>) {
            out = th::sameObject(rs[0], x.type) ? f.input
                                                : th::Type(th::ImplicitParamT{x.name, rs[0]});
          } else if constexpr (isAny<F, th::ForallT, th::ForallVisT>) {
            bool changed = false;
            std::span<th::Type> rest = rs;
            auto binders = rebuildBinders(x.binders, f.scratch->names, rest, changed);
            if constexpr (std::is_same_v<F, th::ForallT>) {
              th::Cxt context = takeTypes(rest, x.context, changed);
              if (!th::sameObject(rest.front(), x.body)) changed = true;
              out = changed ? th::Type(th::ForallT{std::move(binders), std::move(context),
                                                   std::move(rest.front())})
                            : f.input;
            } else {
              if (!th::sameObject(rest.front(), x.body)) changed = true;
              out = changed ? th::Type(th::ForallVisT{std::move(binders), std::move(rest.front())})
                            : f.input;
            }
          }
        },
        f.input.node());
    f.scratch.reset();
    return internal::Next::Done;
  }

  static bool same2(std::span<th::Type> rs, const th::Type& a, const th::Type& b) {
    return th::sameObject(rs[0], a) && th::sameObject(rs[1], b);
  }
};

template <class Flag>
std::pair<Substitution, std::vector<th::TyVarBndr<Flag>>> substituteBindersWith(
    const Substitution& s, const std::vector<th::TyVarBndr<Flag>>& bs) {
  SubstCtx root(s);
  BinderScope scope;
  scopeBinders(root, bs, scope);
  std::vector<th::TyVarBndr<Flag>> out;
  out.reserve(bs.size());
  SubstPolicy policy;
  for (std::size_t i = 0; i < bs.size(); ++i) {
    if (const th::Kind* k = bs[i].kind())
      out.push_back(th::KindedTV<Flag>{scope.names[i], bs[i].flag(),
                                       internal::walkType(policy, *k, scope.kindSubst[i])});
    else
      out.push_back(th::PlainTV<Flag>{scope.names[i], bs[i].flag()});
  }
  return {scope.after->materialize(), std::move(out)};
}

// ---- Kinded variables ---------------------------------------------------------------------------

// One walk in order with the first entry of a name kept: the left-biased unions of the parts'
// maps keep the entry met first, an outer signature's entry is met before those inside its kind,
// and a quantifier's deletion of its binders is a skip of the entries under them.
class KindedWalker {
 public:
  void walk(const th::Type& root) {
    todo_.push(Item{&root, nullptr, false});
    while (!todo_.empty()) {
      const Item it = todo_.pop();
      if (it.type == nullptr) {
        if (it.visible)
          for (const auto& b : static_cast<const th::ForallVisT*>(it.scope)->binders)
            bound_.unbind(b.name());
        else
          for (const auto& b : static_cast<const th::ForallT*>(it.scope)->binders)
            bound_.unbind(b.name());
        continue;
      }
      std::visit([&](const auto& x) { step(x); }, it.type->node());
    }
  }
  KindMap take() { return std::move(out_); }

 private:
  struct Item {
    const th::Type* type;
    const void* scope;
    bool visible;
  };
  void push(const th::Type& t) { todo_.push(Item{&t, nullptr, false}); }

  template <class F>
  void step(const F& x) {
    if constexpr (std::is_same_v<F, th::SigT>) {
      if (const auto* v = x.type.template get_if<th::VarT>()) {
        if (!bound_.contains(v->name)) out_.emplace(v->name, x.kind);
        push(x.kind);
      } else {
        push(x.kind);
        push(x.type);
      }
    } else if constexpr (std::is_same_v<F, th::AppT>) {
      push(x.arg);
      push(x.fun);
    } else if constexpr (std::is_same_v<F, th::AppKindT>) {
      push(x.kind);
      push(x.type);
    } else if constexpr (std::is_same_v<F, th::ImplicitParamT>) {
      push(x.type);
    } else if constexpr (std::is_same_v<F, th::ForallT>) {
      for (const auto& b : x.binders) bound_.bind(b.name());
      todo_.push(Item{nullptr, &x, false});
      push(x.body);
      for (std::size_t i = x.context.size(); i-- > 0;) push(x.context[i]);
    } else if constexpr (std::is_same_v<F, th::ForallVisT>) {
      for (const auto& b : x.binders) bound_.bind(b.name());
      todo_.push(Item{nullptr, &x, true});
      push(x.body);
    }
  }

  internal::SmallStack<Item> todo_;
  internal::BoundNames bound_;
  KindMap out_;
};

// ---- Placement order ----------------------------------------------------------------------------

// The order of elements placed one by one, each at the end or right in front of one placed
// earlier, with constant-time comparison of two elements: a linked list whose labels grow along
// it. When a placement finds no free label between its neighbours, the smallest aligned range of
// labels around it that is sparse enough is spread out evenly: amortised logarithmic work per
// placement, one node per element.
class PlacementOrder {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  explicit PlacementOrder(std::size_t capacity) { nodes_.reserve(capacity); }

  // Places the next element (elements are numbered from 0 in placement order) in front of the
  // element `before`, or at the end for npos.
  void insertBefore(std::size_t before) {
    const std::size_t prev = before == npos ? last_ : nodes_[before].prev;
    if (high(before) - low(prev) < 2) spread(prev != npos ? prev : before);
    const std::uint64_t lo = low(prev);
    const std::uint64_t half = (high(before) - lo) / 2;
    // Appending steps a fixed distance, so a run of appends does not use up the labels.
    const std::uint64_t label = lo + (before == npos ? std::min(half, kAppendStep) : half);
    const std::size_t id = nodes_.size();
    nodes_.push_back(Node{label, prev, before});
    (prev == npos ? first_ : nodes_[prev].next) = id;
    (before == npos ? last_ : nodes_[before].prev) = id;
  }
  bool precedes(std::size_t a, std::size_t b) const { return nodes_[a].label < nodes_[b].label; }
  std::size_t front() const noexcept { return first_; }
  std::size_t next(std::size_t i) const { return nodes_[i].next; }

 private:
  static constexpr unsigned kBits = 62;
  static constexpr std::uint64_t kEnd = std::uint64_t{1} << kBits;
  static constexpr std::uint64_t kAppendStep = std::uint64_t{1} << 32;
  // A range of 2^b labels is sparse enough when it holds at most (2 / 1.4)^b elements.
  static constexpr double kGrowth = 2.0 / 1.4;

  struct Node {
    std::uint64_t label;
    std::size_t prev;
    std::size_t next;
  };

  // The labels around a gap: 0 before the first element, kEnd after the last.
  std::uint64_t low(std::size_t prev) const { return prev == npos ? 0 : nodes_[prev].label; }
  std::uint64_t high(std::size_t next) const { return next == npos ? kEnd : nodes_[next].label; }

  // Relabels the smallest sparse enough range around the anchor evenly, leaving a gap of at least
  // two labels on both sides of every element in it.
  void spread(std::size_t anchor) {
    std::size_t first = anchor;
    std::size_t last = anchor;
    std::size_t count = 1;
    double limit = 1.0;
    for (unsigned bits = 1;; ++bits) {
      limit *= kGrowth;
      const std::uint64_t size = std::uint64_t{1} << bits;
      const std::uint64_t base = nodes_[anchor].label & ~(size - 1);
      for (std::size_t p = nodes_[first].prev; p != npos && nodes_[p].label >= base;
           p = nodes_[p].prev, ++count)
        first = p;
      for (std::size_t q = nodes_[last].next; q != npos && nodes_[q].label - base < size;
           q = nodes_[q].next, ++count)
        last = q;
      if (bits == kBits || (count <= size / 4 && static_cast<double>(count) <= limit)) {
        const std::uint64_t step = size / count;
        std::uint64_t label = base + step / 2;
        for (std::size_t i = first;; i = nodes_[i].next, label += step) {
          nodes_[i].label = label;
          if (i == last) return;
        }
      }
    }
  }

  std::vector<Node> nodes_;
  std::size_t first_ = npos;
  std::size_t last_ = npos;
};

}  // namespace

// ---- Substitution capability --------------------------------------------------------------------

th::Type applySubstitution(const Substitution& s, const th::Type& t) {
  if (s.empty()) return t;
  SubstPolicy policy;
  SubstCtx root(s);
  return internal::walkType(policy, t, &root);
}

std::vector<th::Name> freeVariables(const th::Type& t) {
  FreeVarWalker w;
  w.walk(t);
  return w.take();
}

std::vector<th::Type> applySubstitution(const Substitution& s, const std::vector<th::Type>& ts) {
  std::vector<th::Type> out;
  out.reserve(ts.size());
  for (const th::Type& t : ts) out.push_back(sarkel::applySubstitution(s, t));
  return out;
}

std::vector<th::Name> freeVariables(const std::vector<th::Type>& ts) {
  FreeVarWalker w;
  for (const th::Type& t : ts) w.walk(t);
  return w.take();
}

ConstructorInfo applySubstitution(const Substitution& s, const ConstructorInfo& c) {
  // The constructor's variables shadow their entries; they are never renamed.
  std::optional<Substitution> reduced;
  for (const auto& v : c.constructorVars)
    if ((reduced ? *reduced : s).count(v.name()) != 0) {
      if (!reduced) reduced.emplace(s);
      reduced->erase(v.name());
    }
  const Substitution& r = reduced ? *reduced : s;
  ConstructorInfo out = c;
  for (auto& v : out.constructorVars)
    if (const th::Kind* k = v.kind())
      v = th::KindedTV<hs::Unit>{v.name(), v.flag(), sarkel::applySubstitution(r, *k)};
  out.constructorContext = sarkel::applySubstitution(r, c.constructorContext);
  out.constructorFields = sarkel::applySubstitution(r, c.constructorFields);
  return out;
}

std::vector<th::Name> freeVariables(const ConstructorInfo& c) {
  FreeVarWalker w;
  for (const auto& v : c.constructorVars) w.bind(v.name());
  for (const auto& v : c.constructorVars)
    if (const th::Kind* k = v.kind()) w.walk(*k);
  for (const th::Pred& p : c.constructorContext) w.walk(p);
  for (const th::Type& t : c.constructorFields) w.walk(t);
  return w.take();
}

namespace internal {

void appendNewNames(std::vector<th::Name>& acc, const std::vector<th::Name>& more) {
  NameList list(std::move(acc));
  for (const th::Name& n : more) list.add(n);
  acc = list.take();
}

std::pair<Substitution, std::vector<th::TyVarBndrUnit>> substituteBinders(
    const Substitution& s, const std::vector<th::TyVarBndrUnit>& bs) {
  return substituteBindersWith(s, bs);
}
std::pair<Substitution, std::vector<th::TyVarBndrSpec>> substituteBinders(
    const Substitution& s, const std::vector<th::TyVarBndrSpec>& bs) {
  return substituteBindersWith(s, bs);
}

KindMap kindedFreeVariables(const th::Type& t) {
  KindedWalker w;
  w.walk(t);
  return w.take();
}

th::TyVarBndrSpec specifiedBinder(const th::TyVarBndrUnit& b) {
  if (const th::Kind* k = b.kind()) return th::KindedTV{b.name(), th::SpecifiedSpec, *k};
  return th::PlainTV{b.name(), th::SpecifiedSpec};
}

}  // namespace internal

// ---- Built on substitution ----------------------------------------------------------------------

Substitution combineSubstitutions(const Substitution& s1, const Substitution& s2) {
  Substitution out;
  for (const auto& [n, t] : s1) out.emplace_hint(out.end(), n, sarkel::applySubstitution(s2, t));
  for (const auto& entry : s2) out.insert(entry);  // s1's entry stays where both have one
  return out;
}

th::Type freshenFreeVariables(th::Q& q, const th::Type& t) {
  const std::vector<th::Name> vars = sarkel::freeVariables(t);
  // The fresh names are made in ascending order of the variables.
  const std::set<th::Name> ordered(vars.begin(), vars.end());
  Substitution s;
  for (const th::Name& n : ordered)
    s.emplace_hint(s.end(), n, th::Type(th::VarT{q.newName(th::nameBase(n))}));
  return sarkel::applySubstitution(s, t);
}

std::vector<th::TyVarBndrUnit> freeVariablesWellScoped(const std::vector<th::Type>& ts) {
  KindMap kinds;
  for (const th::Type& t : ts)
    for (auto& entry : internal::kindedFreeVariables(t)) kinds.insert(std::move(entry));
  const std::vector<th::Name> vars = sarkel::freeVariables(ts);

  // The scoped sort: each variable goes last, unless the kind of a variable placed earlier
  // mentions it; then it goes right in front of the first such variable in the order so far.
  // The first mentioner of each variable still to come is kept as its kinds are met, so no
  // variable carries the kind variables of those before it.
  constexpr std::size_t none = PlacementOrder::npos;
  std::map<th::Name, std::size_t> index;
  for (std::size_t i = 0; i < vars.size(); ++i) index.emplace(vars[i], i);
  std::vector<std::size_t> firstMentioner(vars.size(), none);
  PlacementOrder order(vars.size());
  for (std::size_t i = 0; i < vars.size(); ++i) {
    order.insertBefore(firstMentioner[i]);
    const auto kind = kinds.find(vars[i]);
    if (kind == kinds.end()) continue;
    for (const th::Name& m : sarkel::freeVariables(kind->second)) {
      const auto it = index.find(m);
      if (it == index.end() || it->second <= i) continue;  // bound, or placed already
      std::size_t& first = firstMentioner[it->second];
      if (first == none || order.precedes(i, first)) first = i;
    }
  }

  std::vector<th::TyVarBndrUnit> out;
  out.reserve(vars.size());
  for (std::size_t i = order.front(); i != none; i = order.next(i)) {
    const th::Name& v = vars[i];
    if (auto it = kinds.find(v); it != kinds.end())
      out.push_back(sarkel::kindedTVInvis(v, it->second));
    else
      out.push_back(sarkel::plainTVInvis(v));
  }
  if (out.size() != vars.size()) hs::error("scopedSort", internal::datatypeSite(2280, 22, 27));
  return out;
}

th::Type quantifyType(const th::Type& t) {
  const std::vector<th::TyVarBndrUnit> vars = sarkel::freeVariablesWellScoped({t});
  if (vars.empty()) return t;
  std::vector<th::TyVarBndrSpec> binders;
  binders.reserve(vars.size());
  for (const auto& v : vars) binders.push_back(internal::specifiedBinder(v));
  if (const auto* f = t.get_if<th::ForallT>()) {
    binders.insert(binders.end(), f->binders.begin(), f->binders.end());
    return th::ForallT{std::move(binders), f->context, f->body};
  }
  return th::ForallT{std::move(binders), {}, t};
}

}  // namespace sarkel
