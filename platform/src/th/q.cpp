#include "hs/th/q.hpp"

#include "hs/th/lib.hpp"

namespace hs::th {

namespace {
template <class T>
std::vector<T> runAll(Q& q, const std::vector<QAction<T>>& actions) {
  std::vector<T> out;
  out.reserve(actions.size());
  for (const auto& a : actions) out.push_back(a(q));
  return out;
}
}  // namespace

Cxt cxt(Q& q, const std::vector<PredQ>& preds) { return runAll(q, preds); }

DerivClause derivClause(Q& q, std::optional<DerivStrategy> strategy,
                        const std::vector<PredQ>& preds) {
  return DerivClause{std::move(strategy), runAll(q, preds)};
}

Dec dataD(Q& q, const CxtQ& context, Name name, std::vector<TyVarBndrUnit> binders,
          std::optional<Kind> kind, const std::vector<ConQ>& cons,
          const std::vector<DerivClauseQ>& derivs) {
  Cxt c = context(q);
  std::vector<Con> cs = runAll(q, cons);
  std::vector<DerivClause> ds = runAll(q, derivs);
  return DataD{std::move(c),    std::move(name), std::move(binders),
               std::move(kind), std::move(cs),   std::move(ds)};
}

Dec newtypeD(Q& q, const CxtQ& context, Name name, std::vector<TyVarBndrUnit> binders,
             std::optional<Kind> kind, const ConQ& con, const std::vector<DerivClauseQ>& derivs) {
  Cxt c = context(q);
  Con k = con(q);
  std::vector<DerivClause> ds = runAll(q, derivs);
  return NewtypeD{std::move(c),    std::move(name), std::move(binders),
                  std::move(kind), std::move(k),    std::move(ds)};
}

}  // namespace hs::th
