// The set module: the set type as a map to the unit value, its operations and its class
// capabilities. The public interface (vantrel/set.hpp) exposes it.
#pragma once

#include "vantrel/set/internal/type.hpp"
#include "vantrel/set/internal/ops.hpp"
#include "vantrel/set/internal/algebra.hpp"
#include "vantrel/set/internal/compare.hpp"
