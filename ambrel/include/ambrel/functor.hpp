/// \defgroup ambrel_functor ambrel/functor.hpp
/// \ingroup ambrel
/// The functor-level inclusive-or `Ambrel1<F, G, A>`: an `F<A>` part, a `G<A>` part, or both;
/// mapping, folding, non-empty folding, traversal and deep evaluation through the inner functors,
/// and its equality, ordering and text forms, plain and lifted.
#pragma once

#include "ambrel/functor/classes.hpp"
#include "ambrel/functor/text.hpp"
#include "ambrel/functor/type.hpp"
