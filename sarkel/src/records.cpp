#include "sarkel/datatype/records.hpp"

#include <algorithm>
#include <ostream>

#include "sites.hpp"

namespace sarkel {

hs::th::Type datatypeType(const DatatypeInfo& info) {
  hs::th::Type t = hs::th::ConT{info.datatypeName};
  for (const hs::th::Type& arg : info.datatypeInstTypes) {
    const auto* sig = arg.get_if<hs::th::SigT>();
    t = hs::th::AppT{std::move(t), sig != nullptr ? sig->type : arg};
  }
  return t;
}

ConstructorInfo lookupByConstructorName(const hs::th::Name& name, const DatatypeInfo& info) {
  for (const ConstructorInfo& c : info.datatypeCons)
    if (c.constructorName == name) return c;
  hs::error("Datatype " + hs::th::nameBase(info.datatypeName) +
                " does not have a constructor named " + hs::th::nameBase(name),
            internal::datatypeSite(425, 21, 26));
}

ConstructorInfo lookupByRecordName(const hs::th::Name& name, const DatatypeInfo& info) {
  for (const ConstructorInfo& c : info.datatypeCons) {
    const auto* rec = c.constructorVariant.get_if<RecordConstructor>();
    if (rec != nullptr && std::find(rec->names.begin(), rec->names.end(), name) != rec->names.end())
      return c;
  }
  hs::error("Datatype " + hs::th::nameBase(info.datatypeName) +
                " does not have any constructors with a record selector named " +
                hs::th::nameBase(name),
            internal::datatypeSite(436, 21, 26));
}

hs::Ordering compare(Unpackedness a, Unpackedness b) noexcept { return hs::toOrdering(a <=> b); }
hs::Ordering compare(Strictness a, Strictness b) noexcept { return hs::toOrdering(a <=> b); }
hs::Ordering compare(DatatypeVariant a, DatatypeVariant b) noexcept {
  return hs::toOrdering(a <=> b);
}
hs::Ordering compare(const FieldStrictness& a, const FieldStrictness& b) noexcept {
  return hs::toOrdering(a <=> b);
}
hs::Ordering compare(const ConstructorVariant& a, const ConstructorVariant& b) noexcept {
  return hs::toOrdering(a <=> b);
}

// ---- Text forms -------------------------------------------------------------------------------

namespace {

const char* text(Unpackedness u) {
  switch (u) {
    case Unpackedness::UnspecifiedUnpackedness: return "UnspecifiedUnpackedness";
    case Unpackedness::NoUnpack: return "NoUnpack";
    case Unpackedness::Unpack: return "Unpack";
  }
  return "";
}
const char* text(Strictness s) {
  switch (s) {
    case Strictness::UnspecifiedStrictness: return "UnspecifiedStrictness";
    case Strictness::Lazy: return "Lazy";
    case Strictness::Strict: return "Strict";
  }
  return "";
}
const char* text(DatatypeVariant v) {
  switch (v) {
    case DatatypeVariant::Datatype: return "Datatype";
    case DatatypeVariant::Newtype: return "Newtype";
    case DatatypeVariant::DataInstance: return "DataInstance";
    case DatatypeVariant::NewtypeInstance: return "NewtypeInstance";
    case DatatypeVariant::TypeData: return "TypeData";
  }
  return "";
}

// "[x,y]" with each element written by w at precedence 0.
template <class T, class W>
void list(const std::vector<T>& xs, W&& w, std::string& out) {
  out += '[';
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i > 0) out += ',';
    w(xs[i], out);
  }
  out += ']';
}
void names(const std::vector<hs::th::Name>& ns, std::string& out) {
  list(
      ns, [](const hs::th::Name& n, std::string& o) { o += hs::th::showName(n); }, out);
}
void types(const std::vector<hs::th::Type>& ts, std::string& out) {
  list(
      ts, [](const hs::th::Type& t, std::string& o) { hs::th::showsPrec(0, t, o); }, out);
}
void binders(const std::vector<hs::th::TyVarBndrUnit>& bs, std::string& out) {
  list(
      bs, [](const hs::th::TyVarBndrUnit& b, std::string& o) { hs::th::showsPrec(0, b, o); }, out);
}

}  // namespace

void showsPrec(int, Unpackedness u, std::string& out) { out += text(u); }
void showsPrec(int, Strictness s, std::string& out) { out += text(s); }
void showsPrec(int, DatatypeVariant v, std::string& out) { out += text(v); }

void showsPrec(int d, const ConstructorVariant& v, std::string& out) {
  if (v.is<NormalConstructor>()) {
    out += "NormalConstructor";
  } else if (v.is<InfixConstructor>()) {
    out += "InfixConstructor";
  } else {
    if (d >= 11) out += '(';
    out += "RecordConstructor ";
    names(v.get_if<RecordConstructor>()->names, out);
    if (d >= 11) out += ')';
  }
}

void showsPrec(int d, const FieldStrictness& f, std::string& out) {
  if (d >= 11) out += '(';
  out += "FieldStrictness {fieldUnpackedness = ";
  out += text(f.fieldUnpackedness);
  out += ", fieldStrictness = ";
  out += text(f.fieldStrictness);
  out += '}';
  if (d >= 11) out += ')';
}

void showsPrec(int d, const ConstructorInfo& c, std::string& out) {
  if (d >= 11) out += '(';
  out += "ConstructorInfo {constructorName = ";
  out += hs::th::showName(c.constructorName);
  out += ", constructorVars = ";
  binders(c.constructorVars, out);
  out += ", constructorContext = ";
  types(c.constructorContext, out);
  out += ", constructorFields = ";
  types(c.constructorFields, out);
  out += ", constructorStrictness = ";
  list(
      c.constructorStrictness, [](const FieldStrictness& f, std::string& o) { showsPrec(0, f, o); },
      out);
  out += ", constructorVariant = ";
  showsPrec(0, c.constructorVariant, out);
  out += '}';
  if (d >= 11) out += ')';
}

void showsPrec(int d, const DatatypeInfo& i, std::string& out) {
  if (d >= 11) out += '(';
  out += "DatatypeInfo {datatypeContext = ";
  types(i.datatypeContext, out);
  out += ", datatypeName = ";
  out += hs::th::showName(i.datatypeName);
  out += ", datatypeVars = ";
  binders(i.datatypeVars, out);
  out += ", datatypeInstTypes = ";
  types(i.datatypeInstTypes, out);
  out += ", datatypeVariant = ";
  out += text(i.datatypeVariant);
  out += ", datatypeReturnKind = ";
  hs::th::showsPrec(0, i.datatypeReturnKind, out);
  out += ", datatypeCons = ";
  list(
      i.datatypeCons, [](const ConstructorInfo& c, std::string& o) { showsPrec(0, c, o); }, out);
  out += '}';
  if (d >= 11) out += ')';
}

std::ostream& operator<<(std::ostream& os, Unpackedness u) { return os << text(u); }
std::ostream& operator<<(std::ostream& os, Strictness s) { return os << text(s); }
std::ostream& operator<<(std::ostream& os, DatatypeVariant v) { return os << text(v); }
std::ostream& operator<<(std::ostream& os, const ConstructorVariant& v) { return os << show(v); }
std::ostream& operator<<(std::ostream& os, const FieldStrictness& f) { return os << show(f); }
std::ostream& operator<<(std::ostream& os, const ConstructorInfo& c) { return os << show(c); }
std::ostream& operator<<(std::ostream& os, const DatatypeInfo& i) { return os << show(i); }

hs::ReadPrec<DatatypeVariant> internal::readDatatypeVariant() {
  namespace R = hs::readprec;
  using V = DatatypeVariant;
  std::vector<std::pair<std::string, hs::ReadPrec<V>>> names;
  for (V v : {V::Datatype, V::Newtype, V::DataInstance, V::NewtypeInstance, V::TypeData})
    names.emplace_back(text(v), R::pure(v));
  return R::parens(R::choose<V>(std::move(names)));
}

}  // namespace sarkel
