/// \defgroup vantrel_map_lazy vantrel/map/lazy.hpp
/// \ingroup vantrel_vantrel
/// The lazy map interface (vantrel::lazy): values are stored as given, deferred computations stay
/// deferred until a caller demands them. Equality, ordering and hashing are also the operators ==,
/// <=>, <, <=, >, >= and std::hash; text forms, reading, deep evaluation and the other class
/// capabilities are in vantrel/map/show.hpp, vantrel/map/read.hpp and vantrel/map/classes.hpp.
///
/// Costs are stated for n entries. A single-key operation hashes its key once and walks one branch
/// node per level, O(log n) expected; one that changes the map allocates one new node per level of
/// that path (copying the path: each copied level counts up its children once) and the new entry.
/// An operation that changes nothing returns its input map itself.
///
/// A program calls the operations through this namespace: `vantrel::lazy::insert(k, v, m)`.
#pragma once

// The operations are declared in vantrel::internal (vantrel/map/internal/) and exported here with
// using-declarations; the reference shows them here (docs/apifilter.py).

#include "vantrel/map/internal.hpp"

namespace vantrel::lazy {

using vantrel::HashMap;
// What lookupCell answers, and the pair that folds, traversals and iteration hand over.
using internal::CellRef;
using internal::Entry;

using internal::empty;
using internal::singleton;
using internal::null;
using internal::size;

using internal::at;
using internal::find;
using internal::findWithDefault;
using internal::lookup;
using internal::lookupDefault;
using internal::lookupCell;
using internal::member;

using internal::insert;
using internal::insertWith;

using internal::adjust;
using internal::alter;
using internal::alterF;
using internal::erase;
using internal::update;

using internal::fromList;
using internal::fromListWith;
using internal::fromListWithKey;

// Equality, ordering and hashing (==, <=>, <, <=, >, >= and std::hash are the operators).
using internal::liftEq;
using internal::liftEq2;
using internal::compare;
using internal::liftCompare;
using internal::liftCompare2;
using internal::max;
using internal::min;
using internal::hashWithSalt;
using internal::liftHashWithSalt;
using internal::liftHashWithSalt2;
/// \addtogroup vantrel_map_lazy
/// @{
/// \name Comparison and hashing
/// @{

// (internal::hash also names the key hash of the trie, so this one forwards.)
/// The map's hash: hashWithSalt with the default salt; O(n), one hash of each value (forcing it),
/// none of the keys (their stored hashes are mixed in). Allocates only to sort the records of a
/// collision of more than a few keys of one hash.
template <class K, class V>
[[nodiscard]] std::int64_t hash(const HashMap<K, V>& m) {
  return internal::hash(m);
}
/// @}
/// @}

// List conversion (text forms, reading, deep evaluation and the other class capabilities are in
// vantrel/map/show.hpp, vantrel/map/read.hpp and vantrel/map/classes.hpp).
using internal::fromListN;
using internal::toList;

// Union, intersection, difference and submap tests.
using internal::union_;
using internal::unionWith;
using internal::unionWithKey;
using internal::unions;

using internal::intersection;
using internal::intersectionWith;
using internal::intersectionWithKey;

using internal::difference;
using internal::differenceWith;
using internal::isSubmapOf;
using internal::isSubmapOfBy;

// Mapping, folding, traversal, filtering and composition.
using vantrel::HashMapTag;

using internal::map;
using internal::mapWithKey;
using internal::replaceValues;
using internal::mapKeys;

using internal::foldr;
using internal::foldrWithKey;
using internal::foldr_;
using internal::foldrWithKey_;
using internal::foldl;
using internal::foldlWithKey;
using internal::foldl_;
using internal::foldlWithKey_;
using internal::foldMapWithKey;
using internal::foldMap;
using internal::bifoldMap;
using internal::bifoldr;
using internal::bifoldl;

using internal::keys;
using internal::elems;

using internal::traverseWithKey;
using internal::traverse;
using internal::sequenceA;
using internal::mapM;
using internal::sequence;

using internal::filter;
using internal::filterWithKey;
using internal::mapMaybe;
using internal::mapMaybeWithKey;
using internal::compose;

}  // namespace vantrel::lazy
