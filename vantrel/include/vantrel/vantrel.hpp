// Everything of the library: both map interfaces, sets, every class capability and the validity
// checker. Each part has a header of its own for clients that want only that part.
#pragma once

#include "vantrel/map/classes.hpp"
#include "vantrel/map/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/read.hpp"
#include "vantrel/map/show.hpp"
#include "vantrel/map/strict.hpp"
#include "vantrel/package.hpp"
#include "vantrel/set.hpp"
#include "vantrel/set/classes.hpp"
#include "vantrel/set/read.hpp"
#include "vantrel/set/show.hpp"
