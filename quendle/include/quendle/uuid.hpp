// 128-bit UUIDs: the value, its words and fields, its text, byte, serialised and raw-memory
// forms, hashing, ordering and random version-4 generation.
#pragma once

#include "quendle/internal.hpp"
#include "quendle/package.hpp"
