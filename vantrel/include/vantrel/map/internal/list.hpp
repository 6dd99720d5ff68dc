// Comparing two lists as collections without order: the records of two collision nodes, whose
// order only reflects the order in which their keys were inserted.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "hs/unit.hpp"

namespace vantrel::internal::list {

// qs less its first element q with g(p, q); none when no element matches.
template <class G, class P, class Q>
std::optional<std::vector<Q>> deleteBy(G&& g, const P& p, const std::vector<Q>& qs) {
  for (std::size_t i = 0; i < qs.size(); ++i) {
    if (g(p, qs[i])) {
      std::vector<Q> rest;
      rest.reserve(qs.size() - 1);
      rest.insert(rest.end(), qs.begin(), qs.begin() + static_cast<std::ptrdiff_t>(i));
      rest.insert(rest.end(), qs.begin() + static_cast<std::ptrdiff_t>(i) + 1, qs.end());
      return rest;
    }
  }
  return std::nullopt;
}

// Whether the lists hold matching elements regardless of order; f always receives an element of
// xs first. Greedy: matching heads pair up, otherwise each head pairs with the first later element
// of the other list that it matches.
template <class F, class A, class B>
bool isPermutationBy(F&& f, std::vector<A> xs, std::vector<B> ys) {
  std::size_t x = 0, y = 0;  // heads of the remaining lists
  for (;;) {
    if (x == xs.size()) return y == ys.size();
    if (y == ys.size()) return false;
    if (f(xs[x], ys[y])) {
      ++x;
      ++y;
      continue;
    }
    // The first later a of xs with f(a, head of ys), then the first later b of ys with
    // f(head of xs, b); both are removed with the heads.
    std::size_t a = x + 1;
    while (a < xs.size() && !f(xs[a], ys[y])) ++a;
    if (a == xs.size()) return false;
    std::size_t b = y + 1;
    while (b < ys.size() && !f(xs[x], ys[b])) ++b;
    if (b == ys.size()) return false;
    xs.erase(xs.begin() + static_cast<std::ptrdiff_t>(a));
    ys.erase(ys.begin() + static_cast<std::ptrdiff_t>(b));
    ++x;
    ++y;
  }
}

// An order of two lists that does not depend on the order of their elements. Each element is
// keyed by how many elements of the other list it exceeds and, negated, how many exceed it; both
// lists are sorted stably by their keys and then compared element by element.
template <class C, class A, class B>
hs::Ordering unorderedCompare(C&& c, const std::vector<A>& as, const std::vector<B>& bs) {
  using Key = std::pair<std::int64_t, std::int64_t>;
  std::vector<Key> ka(as.size()), kb(bs.size());
  // Computing every element's key once gives the order that recomputing keys at each comparison
  // of the sort would give.
  for (std::size_t j = 0; j < bs.size(); ++j) {
    std::int64_t lt = 0, gt = 0;
    for (const A& a : as) {
      const hs::Ordering o = c(a, bs[j]);
      lt += o == hs::LT;
      gt += o == hs::GT;
    }
    kb[j] = {lt, -gt};
  }
  for (std::size_t i = 0; i < as.size(); ++i) {
    std::int64_t gt = 0, lt = 0;
    for (const B& b : bs) {
      const hs::Ordering o = c(as[i], b);
      gt += o == hs::GT;
      lt += o == hs::LT;
    }
    ka[i] = {gt, -lt};
  }
  auto order = [](const std::vector<Key>& keys) {
    std::vector<std::size_t> idx(keys.size());
    for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = i;
    std::stable_sort(idx.begin(), idx.end(),
                     [&](std::size_t l, std::size_t r) { return keys[l] < keys[r]; });
    return idx;
  };
  const std::vector<std::size_t> ia = order(ka), ib = order(kb);
  for (std::size_t i = 0;; ++i) {
    if (i == ia.size()) return i == ib.size() ? hs::EQ : hs::LT;
    if (i == ib.size()) return hs::GT;
    const hs::Ordering o = c(as[ia[i]], bs[ib[i]]);
    if (o != hs::EQ) return o;
  }
}

}  // namespace vantrel::internal::list
