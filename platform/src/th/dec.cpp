#include "hs/th/syntax/dec.hpp"

#include <new>
#include <ostream>
#include <string_view>

#include "hs/show.hpp"
#include "hs/stack.hpp"

namespace hs::th {

namespace {

// ---- Writers of the derived text forms -------------------------------------------------------

void put(int d, const Name& n, std::string& out) { th::showsPrec(d, n, out); }
void put(int d, const Type& t, std::string& out) { th::showsPrec(d, t, out); }
void put(int d, const TyVarBndrUnit& b, std::string& out) { th::showsPrec(d, b, out); }
void put(int d, const TyVarBndrSpec& b, std::string& out) { th::showsPrec(d, b, out); }
void put(int d, const Bang& b, std::string& out) { th::showsPrec(d, b, out); }
void put(int d, const Con& c, std::string& out) { th::showsPrec(d, c, out); }
void put(int d, const Dec& x, std::string& out) { th::showsPrec(d, x, out); }
void put(int d, const DerivClause& c, std::string& out) { th::showsPrec(d, c, out); }
void put(int d, const TySynEqn& e, std::string& out) { th::showsPrec(d, e, out); }
void put(int d, int n, std::string& out) { hs::showsPrec(d, n, out); }
void put(int, bool b, std::string& out) { out += b ? "True" : "False"; }
void put(int, const std::string& s, std::string& out) { hs::detail::showUtf8Literal(s, out); }
void put(int d, const FunDep& f, std::string& out);
void put(int d, const DerivStrategy& s, std::string& out);
void put(int d, const TypeFamilyHead& h, std::string& out);
void put(int d, const FamilyResultSig& s, std::string& out);
void put(int d, const InjectivityAnn& a, std::string& out);
template <class T>
void put(int, const std::vector<T>& xs, std::string& out);
template <class T>
void put(int d, const std::optional<T>& x, std::string& out);
template <class A, class B>
void put(int, const std::pair<A, B>& p, std::string& out);
template <class A, class B, class C>
void put(int, const std::tuple<A, B, C>& t, std::string& out);

template <class T>
void put(int, const std::vector<T>& xs, std::string& out) {
  out += '[';
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i > 0) out += ',';
    put(0, xs[i], out);
  }
  out += ']';
}
template <class T>
void put(int d, const std::optional<T>& x, std::string& out) {
  if (!x) {
    out += "Nothing";
    return;
  }
  if (d > 10) out += '(';
  out += "Just ";
  put(11, *x, out);
  if (d > 10) out += ')';
}
template <class A, class B>
void put(int, const std::pair<A, B>& p, std::string& out) {
  out += '(';
  put(0, p.first, out);
  out += ',';
  put(0, p.second, out);
  out += ')';
}
template <class A, class B, class C>
void put(int, const std::tuple<A, B, C>& t, std::string& out) {
  out += '(';
  put(0, std::get<0>(t), out);
  out += ',';
  put(0, std::get<1>(t), out);
  out += ',';
  put(0, std::get<2>(t), out);
  out += ')';
}

// A constructor and its fields, each at precedence 11; brackets above 10 when it has fields.
template <class... F>
void ctor(int d, std::string_view name, std::string& out, const F&... fields) {
  const bool paren = d > 10 && sizeof...(F) > 0;
  if (paren) out += '(';
  out += name;
  ((out += ' ', put(11, fields, out)), ...);
  if (paren) out += ')';
}

void put(int d, const FunDep& f, std::string& out) { ctor(d, "FunDep", out, f.from, f.to); }
void put(int d, const DerivStrategy& s, std::string& out) {
  std::visit(
      [&](const auto& x) {
        using X = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<X, StockStrategy>) ctor(d, "StockStrategy", out);
        if constexpr (std::is_same_v<X, AnyclassStrategy>) ctor(d, "AnyclassStrategy", out);
        if constexpr (std::is_same_v<X, NewtypeStrategy>) ctor(d, "NewtypeStrategy", out);
        if constexpr (std::is_same_v<X, ViaStrategy>) ctor(d, "ViaStrategy", out, x.via);
      },
      s);
}
void put(int d, const FamilyResultSig& s, std::string& out) {
  std::visit(
      [&](const auto& x) {
        using X = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<X, NoSig>) ctor(d, "NoSig", out);
        if constexpr (std::is_same_v<X, KindSig>) ctor(d, "KindSig", out, x.kind);
        if constexpr (std::is_same_v<X, TyVarSig>) ctor(d, "TyVarSig", out, x.binder);
      },
      s);
}
void put(int d, const InjectivityAnn& a, std::string& out) {
  ctor(d, "InjectivityAnn", out, a.result, a.determined);
}
void put(int d, const TypeFamilyHead& h, std::string& out) {
  ctor(d, "TypeFamilyHead", out, h.name, h.binders, h.result, h.injectivity);
}

template <class F>
std::string render(F&& f) {
  std::string out;
  f(out);
  return out;
}

}  // namespace

void showsPrec(int, SourceUnpackedness u, std::string& out) {
  switch (u) {
    case SourceUnpackedness::NoSourceUnpackedness: out += "NoSourceUnpackedness"; break;
    case SourceUnpackedness::SourceNoUnpack: out += "SourceNoUnpack"; break;
    case SourceUnpackedness::SourceUnpack: out += "SourceUnpack"; break;
  }
}
void showsPrec(int, SourceStrictness s, std::string& out) {
  switch (s) {
    case SourceStrictness::NoSourceStrictness: out += "NoSourceStrictness"; break;
    case SourceStrictness::SourceLazy: out += "SourceLazy"; break;
    case SourceStrictness::SourceStrict: out += "SourceStrict"; break;
  }
}
void showsPrec(int d, const Bang& b, std::string& out) {
  if (d > 10) out += '(';
  out += "Bang ";
  showsPrec(11, b.unpackedness, out);
  out += ' ';
  showsPrec(11, b.strictness, out);
  if (d > 10) out += ')';
}

void showsPrec(int d, const Con& c, std::string& out) {
  hs::withStack([&] {
    std::visit(
        [&](const auto& x) {
          using X = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<X, NormalC>) ctor(d, "NormalC", out, x.name, x.fields);
          if constexpr (std::is_same_v<X, RecC>) ctor(d, "RecC", out, x.name, x.fields);
          if constexpr (std::is_same_v<X, InfixC>) ctor(d, "InfixC", out, x.left, x.name, x.right);
          if constexpr (std::is_same_v<X, ForallC>)
            ctor(d, "ForallC", out, x.binders, x.context, x.con);
          if constexpr (std::is_same_v<X, GadtC>)
            ctor(d, "GadtC", out, x.names, x.fields, x.result);
          if constexpr (std::is_same_v<X, RecGadtC>)
            ctor(d, "RecGadtC", out, x.names, x.fields, x.result);
        },
        c.node());
  });
}

void showsPrec(int d, const DerivClause& c, std::string& out) {
  ctor(d, "DerivClause", out, c.strategy, c.classes);
}
void showsPrec(int d, const TySynEqn& e, std::string& out) {
  ctor(d, "TySynEqn", out, e.binders, e.lhs, e.rhs);
}

void showsPrec(int d, const Dec& dec, std::string& out) {
  hs::withStack([&] {
    std::visit(
        [&](const auto& x) {
          using X = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<X, DataD>)
            ctor(d, "DataD", out, x.context, x.name, x.binders, x.kind, x.cons, x.derivs);
          if constexpr (std::is_same_v<X, NewtypeD>)
            ctor(d, "NewtypeD", out, x.context, x.name, x.binders, x.kind, x.con, x.derivs);
          if constexpr (std::is_same_v<X, TypeDataD>)
            ctor(d, "TypeDataD", out, x.name, x.binders, x.kind, x.cons);
          if constexpr (std::is_same_v<X, DataInstD>)
            ctor(d, "DataInstD", out, x.context, x.binders, x.head, x.kind, x.cons, x.derivs);
          if constexpr (std::is_same_v<X, NewtypeInstD>)
            ctor(d, "NewtypeInstD", out, x.context, x.binders, x.head, x.kind, x.con, x.derivs);
          if constexpr (std::is_same_v<X, DataFamilyD>)
            ctor(d, "DataFamilyD", out, x.name, x.binders, x.kind);
          if constexpr (std::is_same_v<X, TySynD>) ctor(d, "TySynD", out, x.name, x.binders, x.rhs);
          if constexpr (std::is_same_v<X, TySynInstD>) ctor(d, "TySynInstD", out, x.eqn);
          if constexpr (std::is_same_v<X, PragmaD>) {
            if (d > 10) out += '(';
            out += "PragmaD ";
            ctor(11, "LineP", out, x.pragma.line, x.pragma.file);
            if (d > 10) out += ')';
          }
          if constexpr (std::is_same_v<X, ClassD>)
            ctor(d, "ClassD", out, x.context, x.name, x.binders, x.funDeps, x.decs);
          if constexpr (std::is_same_v<X, OpenTypeFamilyD>) ctor(d, "OpenTypeFamilyD", out, x.head);
          if constexpr (std::is_same_v<X, ClosedTypeFamilyD>)
            ctor(d, "ClosedTypeFamilyD", out, x.head, x.eqns);
          if constexpr (std::is_same_v<X, SigD>) ctor(d, "SigD", out, x.name, x.type);
        },
        dec.node());
  });
}

void showsPrec(int, FixityDirection dir, std::string& out) {
  switch (dir) {
    case FixityDirection::InfixL: out += "InfixL"; break;
    case FixityDirection::InfixR: out += "InfixR"; break;
    case FixityDirection::InfixN: out += "InfixN"; break;
  }
}
void showsPrec(int d, const Fixity& f, std::string& out) {
  if (d > 10) out += '(';
  out += "Fixity ";
  hs::showsPrec(11, f.precedence, out);
  out += ' ';
  showsPrec(11, f.direction, out);
  if (d > 10) out += ')';
}

void showsPrec(int d, const Info& i, std::string& out) {
  std::visit(
      [&](const auto& x) {
        using X = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<X, ClassI>) ctor(d, "ClassI", out, x.dec, x.instances);
        if constexpr (std::is_same_v<X, ClassOpI>)
          ctor(d, "ClassOpI", out, x.name, x.type, x.parent);
        if constexpr (std::is_same_v<X, TyConI>) ctor(d, "TyConI", out, x.dec);
        if constexpr (std::is_same_v<X, FamilyI>) ctor(d, "FamilyI", out, x.dec, x.instances);
        if constexpr (std::is_same_v<X, PrimTyConI>)
          ctor(d, "PrimTyConI", out, x.name, x.arity, x.unlifted);
        if constexpr (std::is_same_v<X, DataConI>)
          ctor(d, "DataConI", out, x.name, x.type, x.parent);
        if constexpr (std::is_same_v<X, PatSynI>) ctor(d, "PatSynI", out, x.name, x.type);
        if constexpr (std::is_same_v<X, VarI>) ctor(d, "VarI", out, x.name, x.type, x.dec);
        if constexpr (std::is_same_v<X, TyVarI>) ctor(d, "TyVarI", out, x.name, x.type);
      },
      i.node());
}

std::string show(const Bang& b) {
  return render([&](std::string& o) { showsPrec(0, b, o); });
}
std::string show(const Con& c) {
  return render([&](std::string& o) { showsPrec(0, c, o); });
}
std::string show(const Dec& d) {
  return render([&](std::string& o) { showsPrec(0, d, o); });
}
std::string show(const Fixity& f) {
  return render([&](std::string& o) { showsPrec(0, f, o); });
}
std::string show(const Info& i) {
  return render([&](std::string& o) { showsPrec(0, i, o); });
}
std::ostream& operator<<(std::ostream& os, const Bang& b) { return os << show(b); }
std::ostream& operator<<(std::ostream& os, const Con& c) { return os << show(c); }
std::ostream& operator<<(std::ostream& os, const Dec& d) { return os << show(d); }
std::ostream& operator<<(std::ostream& os, FixityDirection dir) {
  std::string s;
  showsPrec(0, dir, s);
  return os << s;
}
std::ostream& operator<<(std::ostream& os, const Fixity& f) { return os << show(f); }
std::ostream& operator<<(std::ostream& os, const Info& i) { return os << show(i); }

}  // namespace hs::th
