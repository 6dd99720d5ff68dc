/// \defgroup vantrel_vantrel vantrel/vantrel.hpp
/// \ingroup vantrel
/// Everything of the library: both map interfaces, sets, every class capability and the validity
/// checker. This header includes the parts below; each may also be included on its own.
///
/// A map `vantrel::HashMap<K, V>` is persistent: every operation leaves its inputs as they were and
/// returns a new map sharing all it did not change, so copying a map copies one pointer and maps
/// are safe to share between threads. Its values are stored as cells (hs::Lazy<V>): the lazy
/// interface (vantrel::lazy) stores them as given, deferred computations included, while the
/// value-strict one (vantrel::strict) evaluates every value it stores. A key's hash is computed
/// once per operation on it and its == runs only against keys of equal hash; a single-key operation
/// walks one branch node per level, O(log n) expected, and copies that path (one new node per
/// level) when it changes something. A caller's function receives forced values, or the cells when
/// wrapped with hs::onCells.
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
