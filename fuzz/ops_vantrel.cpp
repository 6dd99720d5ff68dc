// Random operation sequences over lazy maps, value-strict maps and sets whose keys fall in tiny
// hash spaces (collisions and long one-child chains everywhere). After every step each structure
// passes the validity checker and holds exactly what a model holds.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/strict.hpp"
#include "vantrel/set.hpp"

namespace {

struct Id {
  std::int64_t v;
  friend bool operator==(const Id&, const Id&) = default;
};

// The hash space of the current input, chosen by its first byte.
int hashSpace = 0;
std::uint64_t hashOf(std::int64_t v) {
  const auto u = static_cast<std::uint64_t>(v);
  switch (hashSpace % 5) {
    case 0:
      return u % 3;
    case 1:
      return 0;  // every key collides
    case 2:
      return (u % 5) << 59 | (u % 2) << 30;  // deep chains of one-child nodes
    case 3:
      return u & 0x21;
    default:
      return u * 0x9E3779B97F4A7C15ULL;
  }
}

}  // namespace

template <>
struct hs::Hashable<Id> {
  static std::int64_t hash(const Id& k) { return static_cast<std::int64_t>(hashOf(k.v)); }
  static std::int64_t hashWithSalt(std::int64_t s, const Id& k) {
    return hs::saltedWordHash(s, hashOf(k.v));
  }
};

namespace {

namespace L = vantrel::lazy;
namespace S = vantrel::strict;
namespace Set = vantrel::set;
using Map = vantrel::HashMap<Id, std::int64_t>;
using Model = std::map<std::int64_t, std::int64_t>;
constexpr std::int64_t keySpace = 48;

// Reads the next byte of the input, 0 past its end.
struct Bytes {
  const std::uint8_t* p;
  std::size_t n;
  bool more() const { return n > 0; }
  std::int64_t next() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
};

void expectMap(const Map& m, const Model& model, const char* what) {
  fuzz::check(vantrel::internal::debug::valid(m).isValid(), "an invalid map after", what);
  fuzz::check(L::size(m) == static_cast<std::int64_t>(model.size()), "a wrong size after", what);
  for (std::int64_t k = 0; k < keySpace; ++k) {
    const auto cell = L::lookup(Id{k}, m);
    const auto it = model.find(k);
    fuzz::check(cell.has_value() == (it != model.end()), "a wrong key set after", what);
    if (cell) fuzz::check(cell->force() == it->second, "a wrong value after", what);
  }
}
void expectSet(const vantrel::HashSet<Id>& s, const std::set<std::int64_t>& model,
               const char* what) {
  fuzz::check(vantrel::internal::debug::valid(s.asMap()).isValid(), "an invalid set after", what);
  fuzz::check(Set::size(s) == static_cast<std::int64_t>(model.size()), "a wrong set size after",
              what);
  for (std::int64_t k = 0; k < keySpace; ++k)
    fuzz::check(Set::member(Id{k}, s) == (model.count(k) != 0), "a wrong element after", what);
}

// A second operand: the keys from k on, a few, with their own values.
std::vector<std::pair<Id, std::int64_t>> otherPairs(std::int64_t k, std::int64_t v) {
  std::vector<std::pair<Id, std::int64_t>> out;
  for (std::int64_t i = 0; i <= v % 12; ++i) out.push_back({Id{(k + i * 5) % keySpace}, (k + i) % 97});
  return out;
}
Model modelOf(const std::vector<std::pair<Id, std::int64_t>>& pairs) {
  Model out;
  for (const auto& [k, v] : pairs) out[k.v] = v;
  return out;
}

// One step on a map of either interface and on its model.
template <bool Strict>
const char* stepMap(Map& m, Model& model, std::int64_t op, std::int64_t k, std::int64_t v) {
#define OP(name)                                                          \
  [](auto&&... a) {                                                       \
    if constexpr (Strict)                                                 \
      return vantrel::strict::name(std::forward<decltype(a)>(a)...);      \
    else                                                                  \
      return vantrel::lazy::name(std::forward<decltype(a)>(a)...);        \
  }
  const Id key{k};
  const auto other = otherPairs(k, v);
  const Model otherModel = modelOf(other);
  switch (op % 16) {
    case 0:
      // An odd value is handed over, so its leaf is built before the walk.
      m = v % 2 ? OP(insert)(key, std::int64_t{v}, m) : OP(insert)(key, v, m);
      model[k] = v;
      return "insert";
    case 1:
      if (v % 2) {
        Id given = key;
        m = OP(insert)(std::move(given), std::int64_t{v}, std::move(m));
      } else {
        m = OP(insert)(key, v, std::move(m));
      }
      model[k] = v;
      return "insert in place";
    case 2:
      m = OP(insertWith)([](std::int64_t n, std::int64_t o) { return (n + o) % 1000; }, key, v, m);
      model[k] = model.count(k) ? (v + model[k]) % 1000 : v;
      return "insertWith";
    case 3:
      // An odd value erases from the map given up (in place where nothing else holds it).
      m = v % 2 ? OP(erase)(key, std::move(m)) : OP(erase)(key, m);
      model.erase(k);
      return v % 2 ? "erase in place" : "erase";
    case 4:
      m = OP(adjust)([](std::int64_t x) { return (x * 3 + 1) % 1000; }, key, m);
      if (model.count(k)) model[k] = (model[k] * 3 + 1) % 1000;
      return "adjust";
    case 5: {
      auto f = [v](std::optional<std::int64_t> x) -> std::optional<std::int64_t> {
        if (!x) return v;
        if (*x % 2 == 0) return std::nullopt;
        return *x + 1;
      };
      m = OP(alter)(f, key, m);
      const auto r = f(model.count(k) ? std::optional<std::int64_t>(model[k]) : std::nullopt);
      if (r)
        model[k] = *r;
      else
        model.erase(k);
      return "alter";
    }
    case 6: {
      auto f = [](std::int64_t x) -> std::optional<std::int64_t> {
        if (x % 3 == 0) return std::nullopt;
        return x - 1;
      };
      m = OP(update)(f, key, m);
      if (model.count(k)) {
        if (const auto r = f(model[k]))
          model[k] = *r;
        else
          model.erase(k);
      }
      return "update";
    }
    case 7:
      m = OP(union_)(m, OP(fromList)(other));
      for (const auto& [ok, ov] : otherModel) model.emplace(ok, ov);
      return "union";
    case 8:
      m = OP(unionWith)([](std::int64_t a, std::int64_t b) { return (a * 2 + b) % 1000; }, m,
                        OP(fromList)(other));
      for (const auto& [ok, ov] : otherModel)
        model[ok] = model.count(ok) ? (model[ok] * 2 + ov) % 1000 : ov;
      return "unionWith";
    case 9: {
      m = OP(intersection)(m, OP(fromList)(other));
      Model kept;
      for (const auto& [mk, mv] : model)
        if (otherModel.count(mk)) kept[mk] = mv;
      model = kept;
      return "intersection";
    }
    case 10: {
      m = OP(intersectionWith)([](std::int64_t a, std::int64_t b) { return (a + 1000 - b) % 1000; },
                               m, OP(fromList)(other));
      Model kept;
      for (const auto& [mk, mv] : model)
        if (otherModel.count(mk)) kept[mk] = (mv + 1000 - otherModel.at(mk)) % 1000;
      model = kept;
      return "intersectionWith";
    }
    case 11:
      m = OP(difference)(m, OP(fromList)(other));
      for (const auto& [ok, ov] : otherModel) model.erase(ok);
      return "difference";
    case 12:
      m = OP(filter)([v](std::int64_t x) { return (x + v) % 3 != 0; }, m);
      std::erase_if(model, [v](const auto& p) { return (p.second + v) % 3 == 0; });
      return "filter";
    case 13: {
      auto f = [](std::int64_t x) -> std::optional<std::int64_t> {
        if (x % 5 == 0) return std::nullopt;
        return (x + 7) % 1000;
      };
      m = OP(mapMaybe)(f, m);
      Model kept;
      for (const auto& [mk, mv] : model)
        if (const auto r = f(mv)) kept[mk] = *r;
      model = kept;
      return "mapMaybe";
    }
    case 14:
      m = OP(map)([](std::int64_t x) { return (x * 7 + 3) % 1000; }, m);
      for (auto& [mk, mv] : model) mv = (mv * 7 + 3) % 1000;
      return "map";
    default: {
      // Rebuilt from the model in another order: equal, with equal hashes.
      std::vector<std::pair<Id, std::int64_t>> pairs;
      for (auto it = model.rbegin(); it != model.rend(); ++it) pairs.push_back({Id{it->first}, it->second});
      const Map rebuilt = OP(fromList)(pairs);
      fuzz::check(rebuilt == m, "a map unequal to its own pairs");
      fuzz::check(L::hash(rebuilt) == L::hash(m), "equal maps with different hashes");
      return "fromList";
    }
  }
#undef OP
}

const char* stepSet(vantrel::HashSet<Id>& s, std::set<std::int64_t>& model, std::int64_t op,
                    std::int64_t k, std::int64_t v) {
  std::vector<Id> other;
  std::set<std::int64_t> otherModel;
  for (std::int64_t i = 0; i <= v % 10; ++i) {
    other.push_back(Id{(k + i * 7) % keySpace});
    otherModel.insert((k + i * 7) % keySpace);
  }
  switch (op % 7) {
    case 0:
      s = v % 2 ? Set::insert(Id{k}, std::move(s)) : Set::insert(Id{k}, s);
      model.insert(k);
      return v % 2 ? "set insert in place" : "set insert";
    case 1:
      s = v % 2 ? Set::erase(Id{k}, std::move(s)) : Set::erase(Id{k}, s);
      model.erase(k);
      return v % 2 ? "set erase in place" : "set erase";
    case 2:
      s = Set::union_(s, Set::fromList(other));
      model.insert(otherModel.begin(), otherModel.end());
      return "set union";
    case 3: {
      s = Set::intersection(s, Set::fromList(other));
      std::set<std::int64_t> kept;
      for (std::int64_t x : model)
        if (otherModel.count(x)) kept.insert(x);
      model = kept;
      return "set intersection";
    }
    case 4:
      s = Set::difference(s, Set::fromList(other));
      for (std::int64_t x : otherModel) model.erase(x);
      return "set difference";
    case 5:
      s = Set::filter([v](const Id& x) { return (x.v + v) % 4 != 0; }, s);
      std::erase_if(model, [v](std::int64_t x) { return (x + v) % 4 == 0; });
      return "set filter";
    default: {
      s = Set::map([](const Id& x) { return Id{x.v / 2}; }, s);
      std::set<std::int64_t> halved;
      for (std::int64_t x : model) halved.insert(x / 2);
      model = halved;
      return "set map";
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in{data, size};
  hashSpace = static_cast<int>(in.next());
  Map lazyMap, strictMap;
  Model lazyModel, strictModel;
  vantrel::HashSet<Id> set;
  std::set<std::int64_t> setModel;
  std::vector<Map> history;  // earlier versions stay intact whatever happens later
  std::vector<Model> historyModels;
  while (in.more()) {
    const std::int64_t op = in.next(), k = in.next() % keySpace, v = in.next();
    const char* what;
    switch (op % 3) {
      case 0:
        what = stepMap<false>(lazyMap, lazyModel, op / 3, k, v);
        expectMap(lazyMap, lazyModel, what);
        break;
      case 1:
        what = stepMap<true>(strictMap, strictModel, op / 3, k, v);
        expectMap(strictMap, strictModel, what);
        break;
      default:
        what = stepSet(set, setModel, op / 3, k, v);
        expectSet(set, setModel, what);
        break;
    }
    if (v % 8 == 0) {
      history.push_back(lazyMap);
      historyModels.push_back(lazyModel);
    }
  }
  for (std::size_t i = 0; i < history.size(); ++i)
    expectMap(history[i], historyModels[i], "later steps (a kept version changed)");
  return 0;
}
