/// \defgroup vantrel_map_strict vantrel/map/strict.hpp
/// \ingroup vantrel_vantrel
/// The value-strict map interface (vantrel::strict): the maps of the lazy interface, with every
/// value that an operation stores evaluated first. A map built only through this interface holds no
/// deferred value, and a failing value surfaces from the operation that stores it. Listed here are
/// the operations that store values; the others (lookups, erase, size, the plain union_,
/// intersection and difference, the submap tests, folds, filter, keys, comparisons, hashes, toList,
/// mapKeys, compose and deep evaluation) are the lazy interface's own, listed under
/// vantrel/map/lazy.hpp, and this namespace exports them too (`vantrel::strict::erase` is
/// `vantrel::lazy::erase`). fromListN stores its values as given and is not part of this
/// interface. Costs are those of the lazy operation of the same name, plus the evaluation of each
/// stored value.
/// A program calls the operations through this namespace: `vantrel::strict::insert(k, v, m)`.
#pragma once

// The operations listed are declared in vantrel::internal::strict and exported here with
// using-declarations; the reference shows them here (docs/apifilter.py).

#include "vantrel/map/internal/strict.hpp"
#include "vantrel/map/lazy.hpp"

namespace vantrel::strict {

using vantrel::HashMap;

using lazy::empty;
using internal::strict::singleton;
using lazy::null;
using lazy::size;

using lazy::at;
using lazy::find;
using lazy::findWithDefault;
using lazy::lookup;
using lazy::lookupDefault;
using lazy::lookupCell;
using lazy::member;

using internal::strict::insert;
using internal::strict::insertWith;

using internal::strict::adjust;
using internal::strict::alter;
using internal::strict::alterF;
using lazy::erase;
using internal::strict::update;

using internal::strict::fromList;
using internal::strict::fromListWith;
using internal::strict::fromListWithKey;

using internal::strict::map;
using internal::strict::mapMaybe;
using internal::strict::mapMaybeWithKey;
using internal::strict::mapWithKey;
using internal::strict::traverseWithKey;

}  // namespace vantrel::strict

namespace vantrel::strict {

// Equality, ordering, hashing (the operators are the map's own) and list conversion store
// nothing. (fromListN stores its values as given, so it stays lazy-only.)
using lazy::compare;
using lazy::hash;
using lazy::hashWithSalt;
using lazy::liftCompare;
using lazy::liftCompare2;
using lazy::liftEq;
using lazy::liftEq2;
using lazy::liftHashWithSalt;
using lazy::liftHashWithSalt2;
using lazy::max;
using lazy::min;
using lazy::toList;

// Union, intersection, difference and submap tests: the plain forms keep the stored values as
// they are; the combining forms evaluate what they combine.
using internal::strict::unionWith;
using internal::strict::unionWithKey;
using lazy::union_;
using lazy::unions;

using internal::strict::intersectionWith;
using internal::strict::intersectionWithKey;
using lazy::intersection;

using internal::strict::differenceWith;
using lazy::difference;
using lazy::isSubmapOf;
using lazy::isSubmapOfBy;

// Folds, lists, filtering, key remapping and composition store no new value: the lazy ones.
using lazy::HashMapTag;
using lazy::compose;
using lazy::elems;
using lazy::filter;
using lazy::filterWithKey;
using lazy::foldl;
using lazy::foldl_;
using lazy::foldlWithKey;
using lazy::foldlWithKey_;
using lazy::foldMap;
using lazy::foldMapWithKey;
using lazy::foldr;
using lazy::foldr_;
using lazy::foldrWithKey;
using lazy::foldrWithKey_;
using lazy::keys;
using lazy::mapKeys;

}  // namespace vantrel::strict
