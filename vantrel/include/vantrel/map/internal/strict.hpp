// The value-strict map module: the same trie as the map module, with operations that evaluate
// every value before it enters a node. The value-strict interface (vantrel/map/strict.hpp) exposes
// it; the collision helpers and the in-place insert here serve the library's other modules.
#pragma once

#include "vantrel/map/internal/strict/bulk.hpp"
#include "vantrel/map/internal/strict/errors.hpp"
#include "vantrel/map/internal/strict/single.hpp"
#include "vantrel/map/internal/strict/transform.hpp"
#include "vantrel/map/internal/strict/intersection.hpp"
#include "vantrel/map/internal/strict/union.hpp"
