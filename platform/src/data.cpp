#include "hs/data.hpp"

#include <ostream>

namespace hs::data {

struct DataTypeAccess {
  static DataType make(std::string name, detail::RepKind kind,
                       std::vector<detail::ConstrNode> constrs = {}) {
    return DataType(std::make_shared<const detail::DataTypeNode>(
        detail::DataTypeNode{std::move(name), kind, std::move(constrs)}));
  }
  static const detail::DataTypeNode& node(const DataType& dt) noexcept { return *dt.node_; }
  static const detail::ConstrNode& node(const Constr& c) noexcept { return *c.node_; }
  static const DataType& type(const Constr& c) noexcept { return c.type_; }
  // The i-th (from 0) constructor listed by an algebraic data type; shares the type's node.
  static Constr listed(const DataType& dt, std::size_t i) {
    return Constr(std::shared_ptr<const detail::ConstrNode>(dt.node_, &dt.node_->constrs[i]), dt);
  }
  static Constr standalone(const DataType& dt, detail::ConstrNode n) {
    return Constr(std::make_shared<const detail::ConstrNode>(std::move(n)), dt);
  }
};

namespace {

using A = DataTypeAccess;

[[noreturn]] void notAlgebraic(const char* function, const DataType& dt) {
  errorWithoutStackTrace(std::string("Data.Data.") + function + " is not supported for " +
                         dataTypeName(dt) + ", as it is not an algebraic data type.");
}

template <class T>
Lazy<T> failing(std::string message) {
  return Lazy<T>::defer([message = std::move(message)]() -> T { errorWithoutStackTrace(message); });
}

}  // namespace

DataType mkDataType(std::string name, std::vector<ConstrSpec> constrs) {
  std::vector<detail::ConstrNode> nodes;
  nodes.reserve(constrs.size());
  ConIndex i = 0;
  for (ConstrSpec& s : constrs)
    nodes.push_back(detail::ConstrNode{ConstrRep(AlgConstr{++i}), std::move(s.name),
                                       std::move(s.fields), s.fixity});
  return A::make(std::move(name), detail::RepKind::Alg, std::move(nodes));
}
DataType mkIntType(std::string name) { return A::make(std::move(name), detail::RepKind::Int); }
DataType mkFloatType(std::string name) { return A::make(std::move(name), detail::RepKind::Float); }
DataType mkCharType(std::string name) { return A::make(std::move(name), detail::RepKind::Char); }
DataType mkNoRepType(std::string name) { return A::make(std::move(name), detail::RepKind::No); }

Constr mkConstr(const DataType& dt, Lazy<std::string> name, Lazy<std::vector<std::string>> fields,
                Lazy<Fixity> fixity) {
  Lazy<ConstrRep> rep = Lazy<ConstrRep>::defer([dt, name]() -> ConstrRep {
    const detail::DataTypeNode& n = A::node(dt);
    if (n.kind != detail::RepKind::Alg) notAlgebraic("dataTypeConstrs", dt);
    for (std::size_t i = 0; i < n.constrs.size(); ++i)
      if (n.constrs[i].name.force() == name.force())
        return AlgConstr{static_cast<ConIndex>(i + 1)};
    errorWithoutStackTrace("Data.Data.mkConstr: couldn't find constructor " + name.force() +
                           " of " + n.name);
  });
  return A::standalone(dt, detail::ConstrNode{std::move(rep), std::move(name), std::move(fields),
                                              std::move(fixity)});
}

Constr mkIntegralConstr(const DataType& dt, std::int64_t value) {
  if (A::node(dt).kind != detail::RepKind::Int)
    errorWithoutStackTrace("Data.Data.mkIntegralConstr is not supported for " + dataTypeName(dt) +
                           ", as it is not an Integral data type.");
  return A::standalone(dt, detail::ConstrNode{ConstrRep(IntConstr{value}), std::to_string(value),
                                              failing<std::vector<std::string>>("Data.Data.confields"),
                                              failing<Fixity>("Data.Data.confixity")});
}

Constr mkCharConstr(const DataType& dt, char32_t value) {
  if (A::node(dt).kind != detail::RepKind::Char)
    errorWithoutStackTrace("Data.Data.mkCharConstr is not supported for " + dataTypeName(dt) +
                           ", as it is not an Char data type.");
  std::string name;
  hs::detail::showCharLiteral(value, name);
  return A::standalone(dt, detail::ConstrNode{ConstrRep(CharConstr{value}), std::move(name),
                                              failing<std::vector<std::string>>("Data.Data.confields"),
                                              failing<Fixity>("Data.Data.confixity")});
}

const std::string& dataTypeName(const DataType& dt) noexcept { return A::node(dt).name; }

DataRep dataTypeRep(const DataType& dt) {
  switch (A::node(dt).kind) {
    case detail::RepKind::Alg:
      return AlgRep{dataTypeConstrs(dt)};
    case detail::RepKind::Int:
      return IntRep{};
    case detail::RepKind::Float:
      return FloatRep{};
    case detail::RepKind::Char:
      return CharRep{};
    case detail::RepKind::No:
      break;
  }
  return NoRep{};
}

std::vector<Constr> dataTypeConstrs(const DataType& dt) {
  const detail::DataTypeNode& n = A::node(dt);
  if (n.kind != detail::RepKind::Alg) notAlgebraic("dataTypeConstrs", dt);
  std::vector<Constr> cs;
  cs.reserve(n.constrs.size());
  for (std::size_t i = 0; i < n.constrs.size(); ++i) cs.push_back(A::listed(dt, i));
  return cs;
}

Constr indexConstr(const DataType& dt, ConIndex index) {
  const detail::DataTypeNode& n = A::node(dt);
  if (n.kind != detail::RepKind::Alg) notAlgebraic("indexConstr", dt);
  if (index < 1 || static_cast<std::size_t>(index) > n.constrs.size())
    errorWithoutStackTrace("Data.Data.indexConstr: " + n.name + " has no constructor of index " +
                           std::to_string(index));
  return A::listed(dt, static_cast<std::size_t>(index - 1));
}

const ConstrRep& constrRep(const Constr& c) { return A::node(c).rep.force(); }

ConIndex constrIndex(const Constr& c) {
  if (const auto* a = std::get_if<AlgConstr>(&constrRep(c))) return a->index;
  notAlgebraic("constrIndex", A::type(c));
}

const std::string& showConstr(const Constr& c) { return A::node(c).name.force(); }
const std::vector<std::string>& constrFields(const Constr& c) { return A::node(c).fields.force(); }
Fixity constrFixity(const Constr& c) { return A::node(c).fixity.force(); }
DataType constrType(const Constr& c) { return A::type(c); }

bool operator==(const Constr& a, const Constr& b) {
  return dataTypeName(A::type(a)) == dataTypeName(A::type(b)) && constrRep(a) == constrRep(b);
}

std::ostream& operator<<(std::ostream& os, const Constr& c) { return os << showConstr(c); }

namespace detail {

const DataType& intDataType() {
  static const DataType t = mkIntType("Prelude.Int");
  return t;
}
const DataType& charDataType() {
  static const DataType t = mkCharType("Prelude.Char");
  return t;
}
const DataType& unitDataType() {
  static const DataType t = mkDataType("Prelude.()", {{"()"}});
  return t;
}
const DataType& listDataType() {
  static const DataType t = mkDataType("Prelude.[]", {{"[]"}, {"(:)", {}, Infix}});
  return t;
}
const DataType& tuple2DataType() {
  static const DataType t = mkDataType("Prelude.(,)", {{"(,)", {}, Infix}});
  return t;
}

}  // namespace detail

}  // namespace hs::data
