// Text forms of sets: `fromList` applied to the elements in trie order.
#pragma once

#include <string>
#include <vector>

#include "hs/show.hpp"
#include "vantrel/set/internal/ops.hpp"
#include "vantrel/set/internal/type.hpp"

namespace vantrel::internal::set {

// ---- Text forms ----------------------------------------------------------------------------

namespace detail {

// The elements written with the element type's list writer: a type with a list form of its own
// (characters: a string literal) gets the element list; the others are streamed from the trie.
template <class T>
void showElements(const HashSet<T>& s, std::string& out) {
  if constexpr (requires(const std::vector<T>& xs) { hs::Show<T>::showList(xs, out); })
    hs::showList(set::toList(s), out);
  else
    hs::showListWith([](const T& x, std::string& o) { hs::showsPrec(0, x, o); }, s, out);
}

}  // namespace detail

}  // namespace vantrel::internal::set

/// \addtogroup vantrel_set_show
/// @{

/// The text form: `fromList` and the element list in trie order, in brackets above precedence 10;
/// elements with a list form of their own (characters) are written in it. O(n).
template <class T>
struct hs::Show<vantrel::HashSet<T>> {
  /// \privatesection
  // "fromList " and the element list, in brackets above precedence 10.
  static void showsPrec(int d, const vantrel::HashSet<T>& s, std::string& out) {
    hs::showParen(
        d > 10,
        [&](std::string& o) {
          o.append("fromList ");
          vantrel::internal::set::detail::showElements(s, o);
        },
        out);
  }
};
/// The lifted text form: `fromList` and the element list written by the caller's list writer.
template <class T>
struct hs::Show1<vantrel::HashSet<T>> {
  /// \privatesection
  // The element list written by sl; sp is never called.
  template <class SP, class SL>
  static void liftShowsPrec(SP&&, SL&& sl, int d, const vantrel::HashSet<T>& s, std::string& out) {
    auto elements = [&sl](int, const vantrel::HashSet<T>& x, std::string& o) {
      sl(vantrel::internal::set::toList(x), o);
    };
    hs::showsUnaryWith(elements, "fromList", d, s, out);
  }
};
/// @}
