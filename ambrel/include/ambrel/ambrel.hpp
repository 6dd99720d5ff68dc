/// \defgroup ambrel_ambrel ambrel/ambrel.hpp
/// \ingroup ambrel
/// The inclusive-or value `Ambrel<A, B>`: only a first value (This a), only a second value
/// (That b), or both (Ambrel a b); its eliminators, partitions and distributions, and its class
/// capabilities (mapping, folding, traversal, combination, application, sequencing, swap and
/// re-association, equality, ordering, text forms, the tagged serialised form, hashing and deep
/// evaluation).
#pragma once

#include "ambrel/ambrel/binary.hpp"
#include "ambrel/ambrel/hashing.hpp"
#include "ambrel/ambrel/ops.hpp"
#include "ambrel/ambrel/structure.hpp"
#include "ambrel/ambrel/text.hpp"
#include "ambrel/ambrel/type.hpp"
