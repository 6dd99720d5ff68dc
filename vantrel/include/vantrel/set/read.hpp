/// \defgroup vantrel_set_read vantrel/set/read.hpp
/// \ingroup vantrel_vantrel
/// Reading sets (hs::Read): `fromList` applied to an element list; equal elements collapse.
#pragma once

#include "vantrel/set/internal/read.hpp"
