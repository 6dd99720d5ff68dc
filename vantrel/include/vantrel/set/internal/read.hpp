// Reading sets: `fromList` applied to an element list.
#pragma once

#include <vector>

#include "hs/read.hpp"
#include "vantrel/set/internal/ops.hpp"
#include "vantrel/set/internal/type.hpp"

/// \addtogroup vantrel_set_read
/// @{

/// Reading: any number of brackets, `fromList` (at most precedence 10 outside them) and the element
/// type's list form, built with fromList (equal elements collapse). Linear in the input, plus one
/// hash per element.
template <class T>
struct hs::Read<vantrel::HashSet<T>> {
  /// \privatesection
  // Any number of enclosing brackets; outside them at most precedence 10; the identifier
  // "fromList", then the element type's list reader. Equal elements collapse, the first staying.
  [[nodiscard]] static hs::ReadPrec<vantrel::HashSet<T>> readPrec() {
    namespace rp = hs::readprec;
    return rp::parens(rp::prec(
        10,
        rp::then(rp::expectP(hs::Lexeme::Ident("fromList")),
                 rp::fmap([](std::vector<T>&& xs) { return vantrel::internal::set::fromList(xs); },
                          hs::readListPrec<T>()))));
  }
};
/// @}
