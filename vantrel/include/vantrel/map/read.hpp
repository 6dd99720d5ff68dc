/// \defgroup vantrel_map_read vantrel/map/read.hpp
/// \ingroup vantrel_vantrel
/// Reading maps (hs::Read, hs::Read1): `fromList` applied to a pair list; a later pair of an equal
/// key wins. Kept apart from the core map headers, which compile without the reader.
#pragma once

#include "vantrel/map/internal/read.hpp"
