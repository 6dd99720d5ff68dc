// The UUID module whole: the value and every operation over it.
#pragma once

#include "quendle/internal/builder.hpp"
#include "quendle/internal/bytes.hpp"
#include "quendle/internal/random.hpp"
#include "quendle/internal/text.hpp"
#include "quendle/internal/value.hpp"
