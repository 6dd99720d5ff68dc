// The map module: the trie representation and every operation over it. The lazy interface
// (vantrel/map/lazy.hpp) exposes it; the workers here that take a precomputed hash or trust an
// earlier lookup serve the library's other modules.
#pragma once

#include "vantrel/map/internal/array.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/delete.hpp"
#include "vantrel/map/internal/insert.hpp"
#include "vantrel/map/internal/iterate.hpp"
#include "vantrel/map/internal/lookup.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/map/internal/child_array.hpp"
#include "vantrel/map/internal/compare.hpp"
#include "vantrel/map/internal/hashing.hpp"
#include "vantrel/map/internal/union.hpp"
#include "vantrel/map/internal/intersection.hpp"
#include "vantrel/map/internal/difference.hpp"
#include "vantrel/map/internal/transform.hpp"
#include "vantrel/map/internal/fold.hpp"
#include "vantrel/map/internal/traverse.hpp"
#include "vantrel/map/internal/filter.hpp"
