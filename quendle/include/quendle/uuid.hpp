/// \defgroup quendle_uuid quendle/uuid.hpp
/// \ingroup quendle
/// 128-bit UUIDs: the value, its words and fields, its text, byte, serialised and raw-memory
/// forms, hashing, ordering and random version-4 generation.
///
/// Every operation on a UUID takes constant time and works on the 16-byte value in place; only
/// those that return a string, byte string or vector allocate, for the result.
#pragma once

#include "quendle/internal.hpp"
#include "quendle/package.hpp"
