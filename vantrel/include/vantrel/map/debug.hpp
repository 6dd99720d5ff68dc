/// \defgroup vantrel_map_debug vantrel/map/debug.hpp
/// \ingroup vantrel_vantrel
/// The validity checker (vantrel::debug): `valid(m)` tests a map against the structural invariants
/// of the trie and gives `Valid`, or `Invalid` with the first broken invariant and the hash bits of
/// the path to the offending node. Its results have text forms (hs::Show) and combine as a monoid.
#pragma once

// The checker is declared in vantrel::internal::debug and exported here with using-declarations;
// the reference shows it here (docs/apifilter.py).

#include "vantrel/map/internal/debug.hpp"

namespace vantrel::debug {

using internal::debug::Error;
using internal::debug::lengthInBits;
using internal::debug::partialHash;
using internal::debug::SubHashPath;
using internal::debug::valid;
using internal::debug::Validity;

}  // namespace vantrel::debug
