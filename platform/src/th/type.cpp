#include "hs/th/syntax/type.hpp"

#include <new>
#include <ostream>
#include <string_view>

#include "hs/show.hpp"
#include "hs/internal/count.hpp"
#include "type_access.hpp"
#include "hs/th/internal/work_stack.hpp"

namespace hs::th {

namespace detail {

// ---- Nodes ------------------------------------------------------------------------------------

namespace {

template <class C>
TypeCell* staticCell() {
  // Never freed: handles to it may be released by other statics during process exit.
  static TypeCell* const c = new TypeCell(true, std::in_place_type<C>);
  return c;
}

}  // namespace

TypeCell* leafCell(std::size_t index) noexcept {
  switch (index) {
    case variantIndex<ArrowT>: return staticCell<ArrowT>();
    case variantIndex<MulArrowT>: return staticCell<MulArrowT>();
    case variantIndex<EqualityT>: return staticCell<EqualityT>();
    case variantIndex<ListT>: return staticCell<ListT>();
    case variantIndex<PromotedNilT>: return staticCell<PromotedNilT>();
    case variantIndex<PromotedConsT>: return staticCell<PromotedConsT>();
    case variantIndex<StarT>: return staticCell<StarT>();
    case variantIndex<ConstraintT>: return staticCell<ConstraintT>();
    default: return staticCell<WildCardT>();
  }
}

void destroyTypeCell(TypeCell* first) noexcept {
  WorkStack<TypeCell*> dead;
  TypeCell* c = first;
  while (true) {
    // Take over the children's references: a child whose count drops to zero is freed by this
    // loop, not by the destructor of its parent.
    TypeAccess::eachChild(c->node, [&](Type& child) {
      TypeCell* k = TypeAccess::take(child);
      if (k == nullptr || k->immortal || !hs::internal::countDown(k->refs))
        return;
      try {
        dead.push(k);
      } catch (const std::bad_alloc&) {
        destroyTypeCell(k);  // no memory for the stack: free this subtree by recursion
      }
    });
    delete c;
    if (dead.empty()) return;
    c = dead.pop();
  }
}

bool equalTypeCells(const TypeCell* a0, const TypeCell* b0) {
  WorkStack<std::pair<const TypeCell*, const TypeCell*>> todo;
  todo.push({a0, b0});
  while (!todo.empty()) {
    const auto pair = todo.pop();
    const TypeCell* a = pair.first;
    const TypeCell* b = pair.second;
    if (a == b) continue;
    if (a->node.index() != b->node.index()) return false;
    bool same = true;
    auto types = [&](const Type& x, const Type& y) {
      todo.push({TypeAccess::cell(x), TypeAccess::cell(y)});
    };
    auto binders = [&](const auto& xs, const auto& ys) {
      if (xs.size() != ys.size()) return false;
      for (std::size_t i = 0; i < xs.size(); ++i) {
        if (xs[i].isKinded() != ys[i].isKinded() || xs[i].name() != ys[i].name() ||
            !(xs[i].flag() == ys[i].flag()))
          return false;
        if (xs[i].isKinded()) types(*xs[i].kind(), *ys[i].kind());
      }
      return true;
    };
    auto typeLists = [&](const Cxt& xs, const Cxt& ys) {
      if (xs.size() != ys.size()) return false;
      for (std::size_t i = 0; i < xs.size(); ++i) types(xs[i], ys[i]);
      return true;
    };
    std::visit(
        [&](const auto& x) {
          using F = std::decay_t<decltype(x)>;
          const F& y = std::get<F>(b->node);
          if constexpr (std::is_same_v<F, ForallT>) {
            same = binders(x.binders, y.binders) && typeLists(x.context, y.context);
            types(x.body, y.body);
          } else if constexpr (std::is_same_v<F, ForallVisT>) {
            same = binders(x.binders, y.binders);
            types(x.body, y.body);
          } else if constexpr (std::is_same_v<F, AppT>) {
            types(x.fun, y.fun);
            types(x.arg, y.arg);
          } else if constexpr (std::is_same_v<F, AppKindT> || std::is_same_v<F, SigT>) {
            types(x.type, y.type);
            types(x.kind, y.kind);
          } else if constexpr (std::is_same_v<F, VarT> || std::is_same_v<F, ConT> ||
                               std::is_same_v<F, PromotedT>) {
            same = x.name == y.name;
          } else if constexpr (std::is_same_v<F, InfixT> || std::is_same_v<F, UInfixT> ||
                               std::is_same_v<F, PromotedInfixT> ||
                               std::is_same_v<F, PromotedUInfixT>) {
            same = x.op == y.op;
            types(x.left, y.left);
            types(x.right, y.right);
          } else if constexpr (std::is_same_v<F, ParensT>) {
            types(x.type, y.type);
          } else if constexpr (std::is_same_v<F, ImplicitParamT>) {
            same = x.name == y.name;
            types(x.type, y.type);
          } else if constexpr (std::is_same_v<F, TupleT> || std::is_same_v<F, UnboxedTupleT> ||
                               std::is_same_v<F, UnboxedSumT> ||
                               std::is_same_v<F, PromotedTupleT>) {
            same = x.arity == y.arity;
          } else if constexpr (std::is_same_v<F, LitT>) {
            same = x.lit == y.lit;
          }
        },
        a->node);
    if (!same) return false;
  }
  return true;
}

}  // namespace detail

// ---- Text forms -------------------------------------------------------------------------------

namespace {

void showFlag(Unit, std::string& out) { out += "()"; }
void showFlag(Specificity s, std::string& out) {
  out += s == Specificity::SpecifiedSpec ? "SpecifiedSpec" : "InferredSpec";
}

// The derived text of types, with an explicit stack of pieces still to write.
class TypeWriter {
 public:
  explicit TypeWriter(std::string& out) : out_(out) {}

  void type(int d, const Type& t) { todo_.push(Piece::ofType(d, t)); }
  template <class Flag>
  void binder(int d, const TyVarBndr<Flag>& b) {
    todo_.push(Piece::ofBinder(d, b));
  }

  void run() {
    while (!todo_.empty()) {
      const Piece p = todo_.pop();
      switch (p.kind) {
        case Piece::Text: out_ += p.text; break;
        case Piece::NameK: out_ += showName(*static_cast<const Name*>(p.ptr)); break;
        case Piece::TypeK: expand(p.prec, *static_cast<const Type*>(p.ptr)); break;
        case Piece::UnitBinder:
          expandBinder(p.prec, *static_cast<const TyVarBndrUnit*>(p.ptr));
          break;
        case Piece::SpecBinder:
          expandBinder(p.prec, *static_cast<const TyVarBndrSpec*>(p.ptr));
          break;
      }
    }
  }

 private:
  struct Piece {
    enum Kind : std::uint8_t { Text, NameK, TypeK, UnitBinder, SpecBinder };
    Kind kind = Text;
    int prec = 0;
    const void* ptr = nullptr;
    std::string_view text;

    static Piece ofText(std::string_view s) { return Piece{Text, 0, nullptr, s}; }
    static Piece ofName(const Name& n) { return Piece{NameK, 0, &n, {}}; }
    static Piece ofType(int d, const Type& t) { return Piece{TypeK, d, &t, {}}; }
    static Piece ofBinder(int d, const TyVarBndrUnit& b) { return Piece{UnitBinder, d, &b, {}}; }
    static Piece ofBinder(int d, const TyVarBndrSpec& b) { return Piece{SpecBinder, d, &b, {}}; }
  };

  // Pieces are gathered in writing order, then pushed in reverse.
  class Later {
   public:
    void text(std::string_view s) { ps_.push(Piece::ofText(s)); }
    void name(const Name& n) { ps_.push(Piece::ofName(n)); }
    void type(int d, const Type& t) { ps_.push(Piece::ofType(d, t)); }
    template <class Flag>
    void binder(int d, const TyVarBndr<Flag>& b) {
      ps_.push(Piece::ofBinder(d, b));
    }
    template <class Flag>
    void binders(const std::vector<TyVarBndr<Flag>>& bs) {
      text("[");
      for (std::size_t i = 0; i < bs.size(); ++i) {
        if (i > 0) text(",");
        binder(0, bs[i]);
      }
      text("]");
    }
    void types(const std::vector<Type>& ts) {
      text("[");
      for (std::size_t i = 0; i < ts.size(); ++i) {
        if (i > 0) text(",");
        type(0, ts[i]);
      }
      text("]");
    }
    void pushTo(detail::WorkStack<Piece>& s) {
      for (std::size_t i = ps_.size(); i-- > 0;) s.push(ps_[i]);
    }

   private:
    detail::WorkStack<Piece, 8> ps_;
  };

  template <class Flag>
  void expandBinder(int d, const TyVarBndr<Flag>& b) {
    const bool paren = d > 10;
    if (paren) out_ += '(';
    out_ += b.isKinded() ? "KindedTV " : "PlainTV ";
    out_ += showName(b.name());
    out_ += ' ';
    showFlag(b.flag(), out_);
    if (const Kind* k = b.kind()) {
      out_ += ' ';
      Later l;
      l.type(11, *k);
      if (paren) l.text(")");
      l.pushTo(todo_);
    } else if (paren) {
      out_ += ')';
    }
  }

  void expand(int d, const Type& t) {
    std::visit([&](const auto& x) { form(d, x); }, t.node());
  }

  // Forms without fields.
  void bare(const char* name) { out_ += name; }
  void form(int, const ArrowT&) { bare("ArrowT"); }
  void form(int, const MulArrowT&) { bare("MulArrowT"); }
  void form(int, const EqualityT&) { bare("EqualityT"); }
  void form(int, const ListT&) { bare("ListT"); }
  void form(int, const PromotedNilT&) { bare("PromotedNilT"); }
  void form(int, const PromotedConsT&) { bare("PromotedConsT"); }
  void form(int, const StarT&) { bare("StarT"); }
  void form(int, const ConstraintT&) { bare("ConstraintT"); }
  void form(int, const WildCardT&) { bare("WildCardT"); }

  // Forms whose fields hold no types: written at once.
  void open(int d, const char* name) {
    if (d > 10) out_ += '(';
    out_ += name;
  }
  void close(int d) {
    if (d > 10) out_ += ')';
  }
  void arity(int d, const char* name, int n) {
    open(d, name);
    hs::showsPrec(11, n, out_);
    close(d);
  }
  void form(int d, const TupleT& x) { arity(d, "TupleT ", x.arity); }
  void form(int d, const UnboxedTupleT& x) { arity(d, "UnboxedTupleT ", x.arity); }
  void form(int d, const UnboxedSumT& x) { arity(d, "UnboxedSumT ", x.arity); }
  void form(int d, const PromotedTupleT& x) { arity(d, "PromotedTupleT ", x.arity); }
  void named(int d, const char* name, const Name& n) {
    open(d, name);
    out_ += showName(n);
    close(d);
  }
  void form(int d, const VarT& x) { named(d, "VarT ", x.name); }
  void form(int d, const ConT& x) { named(d, "ConT ", x.name); }
  void form(int d, const PromotedT& x) { named(d, "PromotedT ", x.name); }
  void form(int d, const LitT& x) {
    open(d, "LitT ");
    th::showsPrec(11, x.lit, out_);
    close(d);
  }

  // Forms with types inside: the rest goes on the stack.
  void form(int d, const ForallT& x) {
    open(d, "ForallT ");
    Later l;
    l.binders(x.binders);
    l.text(" ");
    l.types(x.context);
    l.text(" ");
    l.type(11, x.body);
    finish(d, l);
  }
  void form(int d, const ForallVisT& x) {
    open(d, "ForallVisT ");
    Later l;
    l.binders(x.binders);
    l.text(" ");
    l.type(11, x.body);
    finish(d, l);
  }
  void two(int d, const char* name, const Type& a, const Type& b) {
    open(d, name);
    Later l;
    l.type(11, a);
    l.text(" ");
    l.type(11, b);
    finish(d, l);
  }
  void form(int d, const AppT& x) { two(d, "AppT ", x.fun, x.arg); }
  void form(int d, const AppKindT& x) { two(d, "AppKindT ", x.type, x.kind); }
  void form(int d, const SigT& x) { two(d, "SigT ", x.type, x.kind); }
  template <class F>
  void infix(int d, const char* name, const F& x) {
    open(d, name);
    Later l;
    l.type(11, x.left);
    l.text(" ");
    l.name(x.op);
    l.text(" ");
    l.type(11, x.right);
    finish(d, l);
  }
  void form(int d, const InfixT& x) { infix(d, "InfixT ", x); }
  void form(int d, const UInfixT& x) { infix(d, "UInfixT ", x); }
  void form(int d, const PromotedInfixT& x) { infix(d, "PromotedInfixT ", x); }
  void form(int d, const PromotedUInfixT& x) { infix(d, "PromotedUInfixT ", x); }
  void form(int d, const ParensT& x) {
    open(d, "ParensT ");
    Later l;
    l.type(11, x.type);
    finish(d, l);
  }
  void form(int d, const ImplicitParamT& x) {
    open(d, "ImplicitParamT ");
    hs::showsPrec(11, x.name, out_);
    out_ += ' ';
    Later l;
    l.type(11, x.type);
    finish(d, l);
  }
  void finish(int d, Later& l) {
    if (d > 10) l.text(")");
    l.pushTo(todo_);
  }

  std::string& out_;
  detail::WorkStack<Piece> todo_;
};

template <class F>
std::string render(F&& f) {
  std::string out;
  f(out);
  return out;
}

}  // namespace

void showsPrec(int d, const Type& t, std::string& out) {
  TypeWriter w(out);
  w.type(d, t);
  w.run();
}
void showsPrec(int d, const TyVarBndrUnit& b, std::string& out) {
  TypeWriter w(out);
  w.binder(d, b);
  w.run();
}
void showsPrec(int d, const TyVarBndrSpec& b, std::string& out) {
  TypeWriter w(out);
  w.binder(d, b);
  w.run();
}
void showsPrec(int, Specificity s, std::string& out) { showFlag(s, out); }
void showsPrec(int d, const TyLit& l, std::string& out) {
  if (d > 10) out += '(';
  std::visit(
      [&](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, NumTyLit>) {
          out += "NumTyLit ";
          if (v.value().negative()) {
            out += '(';
            out += v.value().text();
            out += ')';
          } else {
            out += v.value().text();
          }
        } else if constexpr (std::is_same_v<V, StrTyLit>) {
          out += "StrTyLit ";
          hs::detail::showUtf8Literal(v.value, out);
        } else {
          out += "CharTyLit ";
          hs::detail::showCharLiteral(v.value, out);
        }
      },
      l);
  if (d > 10) out += ')';
}

std::string show(const Type& t) {
  return render([&](std::string& o) { showsPrec(0, t, o); });
}
std::string show(const TyLit& l) {
  return render([&](std::string& o) { showsPrec(0, l, o); });
}
std::string show(Specificity s) {
  return render([&](std::string& o) { showsPrec(0, s, o); });
}
std::string show(const TyVarBndrUnit& b) {
  return render([&](std::string& o) { showsPrec(0, b, o); });
}
std::string show(const TyVarBndrSpec& b) {
  return render([&](std::string& o) { showsPrec(0, b, o); });
}
std::ostream& operator<<(std::ostream& os, const Type& t) { return os << show(t); }
std::ostream& operator<<(std::ostream& os, Specificity s) { return os << show(s); }
std::ostream& operator<<(std::ostream& os, const TyVarBndrUnit& b) { return os << show(b); }
std::ostream& operator<<(std::ostream& os, const TyVarBndrSpec& b) { return os << show(b); }

}  // namespace hs::th
