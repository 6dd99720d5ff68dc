#include "sarkel/datatype/infix.hpp"

#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "names.hpp"
#include "sarkel/datatype/syntax.hpp"
#include "walk.hpp"

namespace sarkel {

namespace th = hs::th;

namespace {

template <class F, class... Fs>
inline constexpr bool isAny = (std::is_same_v<F, Fs> || ...);

th::Type operatorType(const th::Name& op, bool promoted) {
  if (promoted) return th::PromotedT{op};
  return th::ConT{op};
}

th::Type applyOperator(const th::Name& op, bool promoted, th::Type left, th::Type right) {
  return th::AppT{th::AppT{operatorType(op, promoted), std::move(left)}, std::move(right)};
}

[[noreturn]] void conflict(th::Q& q, const internal::InfixPending& top, const th::Name& op,
                           const th::Fixity& f) {
  q.fail("Precedence parsing error: cannot mix \xE2\x80\x98" + th::nameBase(top.op) +
         "\xE2\x80\x99 [" + showFixity(top.fixity) + "] and \xE2\x80\x98" + th::nameBase(op) +
         "\xE2\x80\x99 [" + showFixity(f) + "] in the same infix type expression");
}

template <class Flag>
std::vector<th::TyVarBndr<Flag>> rebuiltBinders(const std::vector<th::TyVarBndr<Flag>>& bs,
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

// resolveInfixT over a type. A node whose parts all come back as the same objects comes back
// itself.
class InfixPolicy {
 public:
  using Ctx = internal::NoContext;
  using Scratch = int;
  using Frame = internal::WalkFrame<Ctx, Scratch>;
  using Kids = internal::Children<Ctx, Scratch>;

  explicit InfixPolicy(th::Q& q) : q_(q) {}

  // Forms without parts to resolve are their own result.
  bool leaf(const th::Type& t, Ctx, std::optional<th::Type>& out) const {
    const bool compound = std::visit(
        [](const auto& x) {
          using F = std::decay_t<decltype(x)>;
          return isAny<F, th::ForallT, th::ForallVisT, th::AppT, th::AppKindT, th::SigT, th::InfixT,
                       th::PromotedInfixT, th::UInfixT, th::PromotedUInfixT, th::ParensT,
                       th::ImplicitParamT>;
        },
        t.node());
    if (compound) return false;
    out = t;
    return true;
  }

  internal::Next enter(Frame& f, Kids& kids, std::optional<th::Type>& out) {
    return std::visit(
        [&](const auto& x) {
          using F = std::decay_t<decltype(x)>;
          if constexpr (isAny<F, th::ForallT, th::ForallVisT>) {
            for (const auto& b : x.binders)
              if (const th::Kind* k = b.kind()) kids.add(*k);
            if constexpr (std::is_same_v<F, th::ForallT>)
              for (const th::Pred& p : x.context) kids.add(p);
            kids.add(x.body);
          } else if constexpr (std::is_same_v<F, th::AppT>) {
            kids.add(x.fun);
            kids.add(x.arg);
          } else if constexpr (isAny<F, th::AppKindT, th::SigT>) {
            kids.add(x.type);
            kids.add(x.kind);
          } else if constexpr (isAny<F, th::InfixT, th::PromotedInfixT>) {
            kids.add(x.left);
            kids.add(x.right);
          } else if constexpr (isAny<F, th::UInfixT, th::PromotedUInfixT>) {
            // Grouped first; the grouped type is then resolved as a whole, operands included.
            th::Type grouped =
                internal::reassociateInfixChain(q_, {}, internal::flattenInfixChain(f.input));
            f.input = std::move(grouped);
            return internal::Next::Again;
          } else if constexpr (std::is_same_v<F, th::ParensT>) {
            th::Type inner = x.type;
            f.input = std::move(inner);
            return internal::Next::Again;
          } else if constexpr (std::is_same_v<F, th::ImplicitParamT>) {
            kids.add(x.type);
          } else {
            out = f.input;
            return internal::Next::Done;
          }
          return internal::Next::Children;
        },
        f.input.node());
  }

  internal::Next finish(Frame& f, std::span<th::Type> rs, Kids&, std::optional<th::Type>& out) {
    out = std::visit(
        [&](const auto& x) -> th::Type {
          using F = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<F, th::ForallT>) {
            bool changed = false;
            std::span<th::Type> rest = rs;
            auto binders = rebuiltBinders(x.binders, rest, changed);
            th::Cxt context;
            context.reserve(x.context.size());
            for (std::size_t i = 0; i < x.context.size(); ++i) {
              if (!th::sameObject(rest[i], x.context[i])) changed = true;
              context.push_back(rest[i]);
            }
            const th::Type& body = rest[x.context.size()];
            if (!th::sameObject(body, x.body)) changed = true;
            if (!changed) return f.input;
            return th::ForallT{std::move(binders), std::move(context), body};
          } else if constexpr (std::is_same_v<F, th::ForallVisT>) {
            bool changed = false;
            std::span<th::Type> rest = rs;
            auto binders = rebuiltBinders(x.binders, rest, changed);
            if (!th::sameObject(rest[0], x.body)) changed = true;
            if (!changed) return f.input;
            return th::ForallVisT{std::move(binders), rest[0]};
          } else if constexpr (std::is_same_v<F, th::AppT>) {
            if (th::sameObject(rs[0], x.fun) && th::sameObject(rs[1], x.arg)) return f.input;
            return th::AppT{rs[0], rs[1]};
          } else if constexpr (isAny<F, th::AppKindT, th::SigT>) {
            if (th::sameObject(rs[0], x.type) && th::sameObject(rs[1], x.kind)) return f.input;
            return F{rs[0], rs[1]};
          } else if constexpr (isAny<F, th::InfixT, th::PromotedInfixT>) {
            return applyOperator(x.op, std::is_same_v<F, th::PromotedInfixT>, rs[0], rs[1]);
          } else if constexpr (std::is_same_v<F, th::ImplicitParamT>) {
            if (th::sameObject(rs[0], x.type)) return f.input;
            return th::ImplicitParamT{x.name, rs[0]};
          } else {
            return f.input;
          }
        },
        f.input.node());
    return internal::Next::Done;
  }

 private:
  th::Q& q_;
};

}  // namespace

th::Type resolveInfixT(th::Q& q, const th::Type& t) {
  InfixPolicy policy(q);
  return internal::walkType(policy, t, internal::NoContext{});
}

namespace internal {

InfixList flattenInfixChain(const th::Type& t) {
  // An in-order walk of the ungrouped applications: left side, operator, right side.
  struct Item {
    const th::Type* type;  // null: the operator of an application whose left side is done
    const th::Name* op;
    bool promoted;
  };
  SmallStack<Item> todo;
  todo.push(Item{&t, nullptr, false});
  std::vector<th::Type> operands;
  std::vector<Item> ops;
  while (!todo.empty()) {
    const Item it = todo.pop();
    if (it.type == nullptr) {
      ops.push_back(it);
      continue;
    }
    if (const auto* u = it.type->get_if<th::UInfixT>()) {
      todo.push(Item{&u->right, nullptr, false});
      todo.push(Item{nullptr, &u->op, false});
      todo.push(Item{&u->left, nullptr, false});
    } else if (const auto* p = it.type->get_if<th::PromotedUInfixT>()) {
      todo.push(Item{&p->right, nullptr, false});
      todo.push(Item{nullptr, &p->op, true});
      todo.push(Item{&p->left, nullptr, false});
    } else {
      operands.push_back(*it.type);
    }
  }
  std::vector<InfixCell> cells;
  cells.reserve(ops.size());
  for (std::size_t i = 0; i < ops.size(); ++i)
    cells.push_back(InfixCell{operands[i], *ops[i].op, ops[i].promoted});
  return InfixList{std::move(cells), operands.back()};
}

th::Type reassociateInfixChain(th::Q& q, InfixPendingStack pending, const InfixList& chain) {
  using D = th::FixityDirection;
  for (const InfixCell& cell : chain.cells) {
    const th::Fixity f2 = reifyFixityCompat(q, cell.op).value_or(th::defaultFixity);
    th::Type operand = cell.left;
    // Reduce while the waiting operator binds more tightly than the incoming one.
    while (!pending.empty()) {
      const InfixPending& top = pending.back();
      const th::Fixity& f1 = top.fixity;
      bool reduce;
      if (f1.direction == D::InfixR && f2.direction == D::InfixR) {
        reduce = f1.precedence > f2.precedence;
      } else if (f1.direction == D::InfixL && f2.direction == D::InfixL) {
        reduce = f1.precedence >= f2.precedence;
      } else {
        if (f1.precedence == f2.precedence) conflict(q, top, cell.op, f2);
        reduce = f1.precedence > f2.precedence;
      }
      if (!reduce) break;
      operand = applyOperator(top.op, top.promoted, top.left, std::move(operand));
      pending.pop_back();
    }
    pending.push_back(InfixPending{std::move(operand), cell.op, cell.promoted, f2});
  }
  th::Type acc = chain.last;
  while (!pending.empty()) {
    const InfixPending& top = pending.back();
    acc = applyOperator(top.op, top.promoted, top.left, std::move(acc));
    pending.pop_back();
  }
  return acc;
}

}  // namespace internal

}  // namespace sarkel
