// The lazy map interface: values are stored as given, deferred computations stay deferred until a
// caller demands them.
#pragma once

#include "vantrel/map/internal.hpp"

namespace vantrel::lazy {

using vantrel::HashMap;

using internal::empty;
using internal::singleton;
using internal::null;
using internal::size;

using internal::at;
using internal::find;
using internal::findWithDefault;
using internal::lookup;
using internal::lookupDefault;
using internal::member;

using internal::insert;
using internal::insertWith;

using internal::adjust;
using internal::alter;
using internal::erase;
using internal::update;

using internal::fromList;
using internal::fromListWith;
using internal::fromListWithKey;

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

}  // namespace vantrel::lazy
