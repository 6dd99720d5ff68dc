#include "hs/th/ppr.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "hs/show.hpp"
#include "hs/th/internal/work_stack.hpp"

namespace hs::th {

namespace {

// Contexts a type is written in, from loosest to tightest: what needs round brackets grows.
enum Prec : int {
  Top = 0,  // anything
  Res = 1,  // the result of an arrow, a body after "=>": kind signatures bracketed
  Fun = 2,  // the left of an arrow, a context: also quantifiers and arrows bracketed
  Op = 3,   // an operand of a grouped operator: also operator applications bracketed
  App = 4,  // an argument of an application: only atoms bare
};

class Printer {
 public:
  explicit Printer(std::string& out) : out_(out) {}

  void type(int p, const Type& t) { todo_.push(Piece{Piece::TypeK, p, &t, {}}); }

  void run() {
    while (!todo_.empty()) {
      const Piece x = todo_.pop();
      switch (x.kind) {
        case Piece::Text: out_ += x.text; break;
        case Piece::NameInfix:
          out_ += showName_(NameIs::Infix, *static_cast<const Name*>(x.ptr));
          break;
        case Piece::TypeK: expand(x.prec, *static_cast<const Type*>(x.ptr)); break;
        case Piece::UnitBinder: binder(*static_cast<const TyVarBndrUnit*>(x.ptr)); break;
        case Piece::SpecBinder: binder(*static_cast<const TyVarBndrSpec*>(x.ptr)); break;
      }
    }
  }

 private:
  struct Piece {
    enum Kind : std::uint8_t { Text, NameInfix, TypeK, UnitBinder, SpecBinder };
    Kind kind = Text;
    int prec = 0;
    const void* ptr = nullptr;
    std::string_view text;
  };

  // Pieces gathered in writing order, pushed in reverse.
  class Later {
   public:
    explicit Later(Printer& p) : p_(p) {}
    Later(const Later&) = delete;
    Later& operator=(const Later&) = delete;
    void emit() {
      for (std::size_t i = ps_.size(); i-- > 0;) p_.todo_.push(ps_[i]);
    }
    Later& text(std::string_view s) {
      ps_.push(Piece{Piece::Text, 0, nullptr, s});
      return *this;
    }
    Later& infixName(const Name& n) {
      ps_.push(Piece{Piece::NameInfix, 0, &n, {}});
      return *this;
    }
    Later& type(int p, const Type& t) {
      ps_.push(Piece{Piece::TypeK, p, &t, {}});
      return *this;
    }
    Later& binder(const TyVarBndrUnit& b) {
      ps_.push(Piece{Piece::UnitBinder, 0, &b, {}});
      return *this;
    }
    Later& binder(const TyVarBndrSpec& b) {
      ps_.push(Piece{Piece::SpecBinder, 0, &b, {}});
      return *this;
    }

   private:
    Printer& p_;
    detail::WorkStack<Piece, 8> ps_;
  };

  // One element of an application spine: a visible argument, or a kind argument (@k).
  struct Arg {
    bool kind;
    const Type* type;
  };

  void open(bool b) {
    if (b) out_ += '(';
  }

  template <class Flag>
  void binder(const TyVarBndr<Flag>& b) {
    bool inferred = false;
    if constexpr (std::is_same_v<Flag, Specificity>) inferred = b.flag() == InferredSpec;
    const char* openB = inferred ? "{" : "(";
    const char* closeB = inferred ? "}" : ")";
    if (const Kind* k = b.kind()) {
      out_ += openB;
      out_ += showName_(NameIs::Applied, b.name());
      out_ += " :: ";
      Later(*this).type(Top, *k).text(closeB).emit();
    } else if (inferred) {
      out_ += "{" + showName_(NameIs::Applied, b.name()) + "}";
    } else {
      out_ += showName_(NameIs::Applied, b.name());
    }
  }

  template <class Flag>
  void binders(Later& l, const std::vector<TyVarBndr<Flag>>& bs) {
    for (std::size_t i = 0; i < bs.size(); ++i) {
      if (i > 0) l.text(" ");
      l.binder(bs[i]);
    }
  }

  void context(Later& l, const Cxt& c) {
    if (c.empty()) return;
    if (c.size() == 1) {
      l.type(Fun, c.front());
    } else {
      l.text("(");
      for (std::size_t i = 0; i < c.size(); ++i) {
        if (i > 0) l.text(", ");
        l.type(Top, c[i]);
      }
      l.text(")");
    }
    l.text(" => ");
  }

  static void commas(std::string& out, int n, char sep) {
    for (int i = 1; i < n; ++i) out += sep;
  }

  void expand(int p, const Type& t) {
    // Applications first: their spine decides the syntax.
    if (t.is<AppT>() || t.is<AppKindT>()) {
      application(p, t);
      return;
    }
    std::visit([&](const auto& x) { form(p, x); }, t.node());
  }

  void application(int p, const Type& t) {
    std::vector<Arg> args;
    const Type* head = &t;
    while (true) {
      if (const auto* a = head->get_if<AppT>()) {
        args.push_back(Arg{false, &a->arg});
        head = &a->fun;
      } else if (const auto* k = head->get_if<AppKindT>()) {
        args.push_back(Arg{true, &k->kind});
        head = &k->type;
      } else {
        break;
      }
    }
    std::reverse(args.begin(), args.end());
    bool allVisible = true;
    for (const Arg& a : args) allVisible = allVisible && !a.kind;
    const auto n = static_cast<int>(args.size());
    if (allVisible) {
      if (head->is<ArrowT>() && n == 2) {
        open(p >= Fun);
        Later(*this)
            .type(Fun, *args[0].type)
            .text(" -> ")
            .type(Res, *args[1].type)
            .text(p >= Fun ? ")" : "")
            .emit();
        return;
      }
      if (head->is<MulArrowT>() && n == 3) {
        open(p >= Fun);
        Later(*this)
            .type(Fun, *args[1].type)
            .text(" %")
            .type(App, *args[0].type)
            .text(" -> ")
            .type(Res, *args[2].type)
            .text(p >= Fun ? ")" : "")
            .emit();
        return;
      }
      if ((head->is<EqualityT>() || head->is<PromotedConsT>()) && n == 2) {
        open(p >= Op);
        Later(*this)
            .type(Op, *args[0].type)
            .text(head->is<EqualityT>() ? " ~ " : " ': ")
            .type(Op, *args[1].type)
            .text(p >= Op ? ")" : "")
            .emit();
        return;
      }
      if (head->is<ListT>() && n == 1) {
        out_ += '[';
        Later(*this).type(Top, *args[0].type).text("]").emit();
        return;
      }
      const char* openT = nullptr;
      const char* sep = ", ";
      const char* closeT = nullptr;
      int arity = -1;
      if (const auto* tup = head->get_if<TupleT>()) {
        arity = tup->arity, openT = "(", closeT = ")";
      } else if (const auto* ut = head->get_if<UnboxedTupleT>()) {
        arity = ut->arity, openT = "(# ", closeT = " #)";
      } else if (const auto* us = head->get_if<UnboxedSumT>()) {
        arity = us->arity, openT = "(# ", sep = " | ", closeT = " #)";
      } else if (const auto* pt = head->get_if<PromotedTupleT>()) {
        arity = pt->arity, openT = "'(", closeT = ")";
      }
      if (arity == n && arity != 1) {
        out_ += openT;
        Later l(*this);
        for (int i = 0; i < n; ++i) {
          if (i > 0) l.text(sep);
          l.type(Top, *args[static_cast<std::size_t>(i)].type);
        }
        l.text(closeT).emit();
        return;
      }
    }
    open(p >= App);
    Later l(*this);
    l.type(App, *head);
    for (const Arg& a : args) {
      l.text(a.kind ? " @" : " ");
      l.type(App, *a.type);
    }
    if (p >= App) l.text(")");
    l.emit();
  }

  void form(int, const AppT&) {}
  void form(int, const AppKindT&) {}
  void form(int p, const ForallT& x) {
    open(p >= Fun);
    Later l(*this);
    if (!x.binders.empty()) {
      l.text("forall ");
      binders(l, x.binders);
      l.text(" . ");
    }
    context(l, x.context);
    l.type(Res, x.body);
    if (p >= Fun) l.text(")");
    l.emit();
  }
  void form(int p, const ForallVisT& x) {
    open(p >= Fun);
    Later l(*this);
    l.text("forall ");
    binders(l, x.binders);
    l.text(" -> ");
    l.type(Res, x.body);
    if (p >= Fun) l.text(")");
    l.emit();
  }
  void form(int p, const SigT& x) {
    open(p >= Res);
    Later(*this).type(Fun, x.type).text(" :: ").type(Top, x.kind).text(p >= Res ? ")" : "").emit();
  }
  void form(int, const VarT& x) { out_ += showName_(NameIs::Applied, x.name); }
  void form(int, const ConT& x) { out_ += showName_(NameIs::Applied, x.name); }
  void form(int, const PromotedT& x) { out_ += "'" + showName_(NameIs::Applied, x.name); }
  template <class F>
  void infix(int p, const F& x, int operand, const char* tick) {
    open(p >= Op);
    Later(*this)
        .type(operand, x.left)
        .text(" ")
        .text(tick)
        .infixName(x.op)
        .text(" ")
        .type(operand, x.right)
        .text(p >= Op ? ")" : "")
        .emit();
  }
  void form(int p, const InfixT& x) { infix(p, x, Op, ""); }
  void form(int p, const UInfixT& x) { infix(p, x, Fun, ""); }
  void form(int p, const PromotedInfixT& x) { infix(p, x, Op, "'"); }
  void form(int p, const PromotedUInfixT& x) { infix(p, x, Fun, "'"); }
  void form(int, const ParensT& x) {
    out_ += '(';
    Later(*this).type(Top, x.type).text(")").emit();
  }
  void form(int p, const ImplicitParamT& x) {
    open(p >= Res);
    out_ += '?';
    out_ += x.name;
    out_ += " :: ";
    Later(*this).type(Top, x.type).text(p >= Res ? ")" : "").emit();
  }
  void form(int, const TupleT& x) {
    out_ += '(';
    commas(out_, x.arity, ',');
    out_ += ')';
  }
  void form(int, const UnboxedTupleT& x) {
    out_ += "(#";
    commas(out_, x.arity, ',');
    out_ += "#)";
  }
  void form(int, const UnboxedSumT& x) {
    out_ += "(#";
    commas(out_, x.arity, '|');
    out_ += "#)";
  }
  void form(int, const PromotedTupleT& x) {
    out_ += "'(";
    commas(out_, x.arity, ',');
    out_ += ')';
  }
  void form(int, const ArrowT&) { out_ += "(->)"; }
  void form(int, const MulArrowT&) { out_ += "FUN"; }
  void form(int, const EqualityT&) { out_ += "(~)"; }
  void form(int, const ListT&) { out_ += "[]"; }
  void form(int, const PromotedNilT&) { out_ += "'[]"; }
  void form(int, const PromotedConsT&) { out_ += "'(:)"; }
  void form(int, const StarT&) { out_ += '*'; }
  void form(int, const ConstraintT&) { out_ += "Constraint"; }
  void form(int, const WildCardT&) { out_ += '_'; }
  void form(int, const LitT& x) {
    std::visit(
        [&](const auto& v) {
          using V = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<V, NumTyLit>)
            out_ += v.value().text();
          else if constexpr (std::is_same_v<V, StrTyLit>)
            hs::detail::showUtf8Literal(v.value, out_);
          else
            hs::detail::showCharLiteral(v.value, out_);
        },
        x.lit);
  }

  std::string& out_;
  detail::WorkStack<Piece> todo_;
};

}  // namespace

std::string pprint(const Type& t) {
  std::string out;
  Printer p(out);
  p.type(Top, t);
  p.run();
  return out;
}

std::string pprint(const Name& n) { return showName(n); }

}  // namespace hs::th
