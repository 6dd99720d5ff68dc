// Small helpers of the library's own walks: a stack whose first entries live inline, and lists
// of names without duplicates that keep an index once they grow.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "hs/th/internal/work_stack.hpp"
#include "hs/th/syntax/name.hpp"

namespace sarkel::internal {

// A stack for walks over types: the walks of small types allocate nothing.
template <class T, std::size_t N = 32>
using SmallStack = hs::th::detail::WorkStack<T, N>;

// A list of names without duplicates, in the order they were first added. Lists are searched
// directly while short; a longer one keeps an ordered index, so a type with very many variables
// stays n log n.
class NameList {
 public:
  NameList() = default;
  explicit NameList(std::vector<hs::th::Name> names) : names_(std::move(names)) {
    if (names_.size() > kShort) makeIndex();
  }
  bool contains(const hs::th::Name& n) const {
    if (indexed_) return index_.count(n) != 0;
    return std::find(names_.begin(), names_.end(), n) != names_.end();
  }
  // Appends n unless it is there already.
  void add(const hs::th::Name& n) {
    if (contains(n)) return;
    names_.push_back(n);
    if (indexed_)
      index_.insert(n);
    else if (names_.size() > kShort)
      makeIndex();
  }
  const std::vector<hs::th::Name>& names() const noexcept { return names_; }
  std::vector<hs::th::Name> take() { return std::move(names_); }

 private:
  static constexpr std::size_t kShort = 16;
  void makeIndex() {
    index_.insert(names_.begin(), names_.end());
    indexed_ = true;
  }
  std::vector<hs::th::Name> names_;
  // An empty set allocates nothing; it is filled once the list grows past kShort.
  std::set<hs::th::Name> index_;
  bool indexed_ = false;
};

// The names bound around the point a walk has reached, with their multiplicity (a name may be
// bound again inside its own scope).
class BoundNames {
 public:
  bool empty() const noexcept { return counts_.empty(); }
  bool contains(const hs::th::Name& n) const { return !counts_.empty() && counts_.count(n) != 0; }
  void bind(const hs::th::Name& n) { ++counts_[n]; }
  void unbind(const hs::th::Name& n) {
    auto it = counts_.find(n);
    if (it != counts_.end() && --it->second == 0) counts_.erase(it);
  }

 private:
  std::map<hs::th::Name, std::size_t> counts_;
};

}  // namespace sarkel::internal
