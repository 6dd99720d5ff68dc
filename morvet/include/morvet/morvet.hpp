// Fixed points of functors: Fix (layer by layer), Mu (its own fold) and Nu (a step and a seed),
// with folds, unfolds, refolds, their monadic forms, hoists, conversions and class capabilities.
#pragma once

#include "morvet/classes.hpp"
#include "morvet/fix.hpp"
#include "morvet/list_f.hpp"
#include "morvet/mu.hpp"
#include "morvet/nu.hpp"
#include "morvet/package.hpp"
