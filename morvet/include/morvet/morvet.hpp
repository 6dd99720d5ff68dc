/// \defgroup morvet_morvet morvet/morvet.hpp
/// \ingroup morvet
/// Fixed points of functors: Fix (layer by layer), Mu (its own fold) and Nu (a step and a seed),
/// with folds, unfolds, refolds, their monadic forms, hoists, conversions and class capabilities.
/// This header includes the parts below; each may also be included on its own.
///
/// A functor is one of the platform's type-constructor tags (`hs::MaybeTag`, `hs::ListTag`,
/// `morvet::ListFTag<A>`, ...) with an hs::Functor instance. C++ mappings call the mapped function
/// at once, so the laziness of a fold is chosen by the parameter type of the caller's algebra:
/// `F<A>` (the layer of the children's results: the walk runs over an explicit stack, children
/// first, and is done when the fold returns), `hs::Lazy<F<A>>` (the algebra runs at once and the
/// children are folded when it demands the layer) or `hs::Lazy<F<hs::Lazy<A>>>` (each child
/// folded when its hole is demanded). The unfoldings, hoists and conversions to Fix return at once
/// and build each layer when it is first demanded.
///
/// Depth is bounded by memory, not the native stack: the layer-form walks, comparisons, text
/// forms, hashing and deep evaluation use explicit stacks, and what recurses by nature (deferred
/// algebras that demand all the way down, the monadic schemes, nested hoists) goes through the
/// stack helper (hs::withStack). A caller's algebra that recurses on its own is the caller's.
#pragma once

#include "morvet/classes.hpp"
#include "morvet/fix.hpp"
#include "morvet/list_f.hpp"
#include "morvet/mu.hpp"
#include "morvet/nu.hpp"
#include "morvet/package.hpp"
