// The array's class capabilities: monoidal folding, traversal in an applicative, deep evaluation,
// the text form and the embedding into generated code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/nfdata.hpp"
#include "hs/semigroup.hpp"
#include "hs/show.hpp"
#include "hs/th/lift.hpp"
#include "hs/lazy.hpp"
#include "hs/unit.hpp"
#include "vantrel/map/internal/array.hpp"

namespace vantrel::internal::array {

// f of each element combined from the right, f x0 <> (f x1 <> (...)): mempty only when empty.
template <class M, class F, class T>
M foldMap(F&& f, const Array<T>& a) {
  const std::uint32_t n = a.size();
  if (n == 0) return hs::mempty<M>();
  // f runs in slot order; the combination nests to the right.
  std::vector<M> parts;
  parts.reserve(n);
  for (const auto& x : a) parts.push_back(f(x.force()));
  M acc = std::move(parts.back());
  for (std::size_t i = parts.size() - 1; i > 0; --i) acc = hs::mappend<M>(parts[i - 1], acc);
  return acc;
}

// f of every element with the effects combined from slot 0 up in the applicative of f's result;
// every result of that applicative holds an array of its own.
template <class F, class T>
auto traverse(F&& f, const Array<T>& a) {
  std::vector<T> xs;
  xs.reserve(a.size());
  for (const auto& x : a) xs.push_back(x.force());
  using FB = std::remove_cvref_t<std::invoke_result_t<F&, const T&>>;
  using B = hs::ElementOf<FB>;
  return hs::fmap(
      [](const std::vector<B>& bs) {
        MArray<B> m = array::new_<B>(static_cast<std::int64_t>(bs.size()));
        for (std::size_t i = 0; i < bs.size(); ++i) m.slot(i) = hs::Lazy<B>(bs[i]);
        return array::unsafeFreeze(std::move(m));
      },
      hs::traverseVector(std::forward<F>(f), xs));
}
// As traverse; results are values already, so nothing is left to evaluate before storing.
template <class F, class T>
auto traverse_(F&& f, const Array<T>& a) {
  return array::traverse(std::forward<F>(f), a);
}

// Deep evaluation of every element from slot 0 up.
template <class T>
hs::Unit rnfArray(const Array<T>& a) {
  for (const auto& x : a) hs::rnf(x);
  return hs::unit;
}
template <class R, class T>
hs::Unit liftRnfArray(R&& r, const Array<T>& a) {
  for (const auto& x : a) r(x.force());
  return hs::unit;
}

}  // namespace vantrel::internal::array

// An array shows exactly as the list of its elements, whatever the precedence.
template <class T>
struct hs::Show<vantrel::internal::array::Array<T>> {
  static void showsPrec(int, const vantrel::internal::array::Array<T>& a, std::string& out) {
    hs::showList(vantrel::internal::array::values(a), out);
  }
};

template <class T>
struct hs::NFData<vantrel::internal::array::Array<T>> {
  static void rnf(const vantrel::internal::array::Array<T>& a) {
    vantrel::internal::array::rnfArray(a);
  }
};
template <class T>
struct hs::NFData1<vantrel::internal::array::Array<T>> {
  template <class R>
  static void liftRnf(R&& r, const vantrel::internal::array::Array<T>& a) {
    vantrel::internal::array::liftRnfArray(std::forward<R>(r), a);
  }
};

// An array embeds as `fromList' n [elements]`; the steps run in this order: the function name,
// the length literal, their application, the element list, the final application.
template <class T>
struct hs::Lift<vantrel::internal::array::Array<T>> {
  static th::Exp lift(th::Quote& q, const vantrel::internal::array::Array<T>& a) {
    th::Exp f = th::varE(q, th::mkNameG_v(vantrel::internal::packageIdentifier(),
                                          "Vantrel.Map.Internal.Array", "fromList'"));
    th::Exp n = th::litE(q, th::integerL(static_cast<std::int64_t>(a.size())));
    th::Exp applied = th::appE(q, std::move(f), std::move(n));
    std::vector<th::Exp> elems;
    elems.reserve(a.size());
    for (const auto& x : a) elems.push_back(th::lift(q, x.force()));
    th::Exp list = th::listE(q, std::move(elems));
    return th::appE(q, std::move(applied), std::move(list));
  }
  static th::TExp<vantrel::internal::array::Array<T>> liftTyped(
      th::Quote& q, const vantrel::internal::array::Array<T>& a) {
    return {lift(q, a)};
  }
};
