/// \defgroup vantrel_set vantrel/set.hpp
/// \ingroup vantrel_vantrel
/// Persistent hash sets: `vantrel::HashSet<T>`, a map from the elements to the one unit value, with
/// its operations in `vantrel::set` (==, <=>, <, <=, >, >= and std::hash are the operators; the
/// text form, reading, deep evaluation, folding and the other platform capabilities are in
/// vantrel/set/show.hpp, vantrel/set/read.hpp and vantrel/set/classes.hpp). Costs are the map's:
/// a single-element operation hashes its element once and walks one branch node per level, O(log n)
/// expected. A program calls the operations through vantrel::set: `vantrel::set::insert(x, s)`.
#pragma once

// The operations are declared in vantrel::internal::set and exported here with using-declarations;
// the reference shows them here (docs/apifilter.py).

#include "vantrel/set/internal.hpp"

namespace vantrel::set {

using vantrel::HashSet;
using vantrel::HashSetTag;

using internal::set::empty;
using internal::set::singleton;
using internal::set::null;
using internal::set::size;
using internal::set::member;
using internal::set::insert;
using internal::set::erase;

using internal::set::toMap;
using internal::set::asMap;
using internal::set::fromMap;
using internal::set::keysSet;

using internal::set::union_;
using internal::set::unions;
using internal::set::difference;
using internal::set::intersection;
using internal::set::isSubsetOf;

using internal::set::filter;
using internal::set::map;
using internal::set::fromList;
using internal::set::toList;

using internal::set::foldr;
using internal::set::foldl;
using internal::set::foldr_;
using internal::set::foldl_;
using internal::set::foldMap;

using internal::set::liftEq;
using internal::set::compare;
using internal::set::liftCompare;
using internal::set::max;
using internal::set::min;
using internal::set::hashWithSalt;
using internal::set::hash;
using internal::set::liftHashWithSalt;

}  // namespace vantrel::set
