#include "sarkel/datatype/matching.hpp"

#include <algorithm>
#include <utility>

#include "names.hpp"
#include "sites.hpp"

namespace sarkel::internal {

namespace th = hs::th;

namespace {

// Matches one pair into the renaming; constraints are appended to `reversed`, which holds the
// constraint list back to front (appending there is putting in front).
void matchInto(const th::Type& outer0, const th::Type& inner0, Renaming& renaming,
               th::Cxt& reversed) {
  SmallStack<std::pair<const th::Type*, const th::Type*>> todo;
  todo.push({&outer0, &inner0});
  while (!todo.empty()) {
    auto [outer, inner] = todo.pop();
    while (true) {
      if (const auto* s = outer->get_if<th::SigT>()) {
        outer = &s->type;
        continue;
      }
      if (const auto* ov = outer->get_if<th::VarT>()) {
        if (const auto* iv = inner->get_if<th::VarT>()) {
          if (iv->name == ov->name) break;
          auto it = renaming.find(iv->name);
          if (it == renaming.end()) {
            renaming.emplace(iv->name, ov->name);
            break;
          }
          if (it->second == ov->name) break;
        }
        reversed.push_back(th::AppT{th::AppT{th::EqualityT{}, *outer}, *inner});
        break;
      }
      const auto* oa = outer->get_if<th::AppT>();
      const auto* ia = inner->get_if<th::AppT>();
      if (oa != nullptr && ia != nullptr) {
        // The function parts first, then the arguments.
        todo.push({&oa->arg, &ia->arg});
        todo.push({&oa->fun, &ia->fun});
        break;
      }
      if (const auto* s = inner->get_if<th::SigT>()) {
        inner = &s->type;
        continue;
      }
      break;
    }
  }
}

class PatternKindWalker {
 public:
  KindMap walk(const th::Type& root) {
    KindMap out;
    SmallStack<const th::Type*> todo;
    todo.push(&root);
    while (!todo.empty()) {
      const th::Type* t = todo.pop();
      if (const auto* a = t->get_if<th::AppT>()) {
        todo.push(&a->arg);
        todo.push(&a->fun);
      } else if (const auto* s = t->get_if<th::SigT>()) {
        if (const auto* v = s->type.get_if<th::VarT>()) {
          out.emplace(v->name, s->kind);
          todo.push(&s->kind);
        } else {
          todo.push(&s->kind);
          todo.push(&s->type);
        }
      } else if (t->is<th::ForallT>() || t->is<th::ForallVisT>()) {
        hs::error("`forall` type used in data family pattern", datatypeSite(1520, 19, 24));
      }
    }
    return out;
  }
};

hs::Lazy<KindMap> kindedBinderMap(const th::Name& n, const th::Kind& k) {
  return hs::Lazy<KindMap>::defer([n, k] {
    KindMap m = familyPatternVarKinds(k).force();
    m.insert_or_assign(n, k);
    return m;
  });
}

}  // namespace

std::pair<Renaming, th::Cxt> matchGadtResultArgs(const th::Type& outer, const th::Type& inner,
                                                 Renaming renaming, th::Cxt constraints) {
  std::reverse(constraints.begin(), constraints.end());
  matchInto(outer, inner, renaming, constraints);
  std::reverse(constraints.begin(), constraints.end());
  return {std::move(renaming), std::move(constraints)};
}

std::pair<Renaming, th::Cxt> matchGadtResultArgLists(const std::vector<th::Type>& outers,
                                                     const std::vector<th::Type>& inners) {
  Renaming renaming;
  th::Cxt reversed;
  for (std::size_t i = std::min(outers.size(), inners.size()); i-- > 0;)
    matchInto(outers[i], inners[i], renaming, reversed);
  std::reverse(reversed.begin(), reversed.end());
  return {std::move(renaming), std::move(reversed)};
}

Substitution varSubstitution(const Renaming& renaming) {
  Substitution s;
  for (const auto& [from, to] : renaming) s.emplace_hint(s.end(), from, th::Type(th::VarT{to}));
  return s;
}

hs::Lazy<KindMap> familyPatternVarKinds(const th::Type& t) {
  return hs::Lazy<KindMap>::defer([t] { return PatternKindWalker().walk(t); });
}

hs::Lazy<KindMap> binderKindMap(const th::TyVarBndrUnit& b) {
  if (const th::Kind* k = b.kind()) return kindedBinderMap(b.name(), *k);
  return KindMap{{b.name(), th::Type(th::StarT{})}};
}
hs::Lazy<KindMap> binderKindMap(const th::TyVarBndrSpec& b) {
  if (const th::Kind* k = b.kind()) return kindedBinderMap(b.name(), *k);
  return KindMap{{b.name(), th::Type(th::StarT{})}};
}

hs::Lazy<KindMap> unionKindMaps(const std::vector<hs::Lazy<KindMap>>& maps,
                                hs::Lazy<KindMap> start) {
  return hs::Lazy<KindMap>::defer([maps, start] {
    KindMap acc = start.force();
    for (const hs::Lazy<KindMap>& m : maps) acc.insert(m.force().begin(), m.force().end());
    return acc;
  });
}

}  // namespace sarkel::internal
