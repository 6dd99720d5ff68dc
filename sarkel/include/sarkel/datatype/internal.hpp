// Names of built-in type constructors that the datatype module recognises.
#pragma once

#include "hs/th/syntax/name.hpp"

namespace sarkel::internal {

// The type-equality constructor "~" (global, type namespace, package "ghc-prim", module
// "GHC.Types").
[[nodiscard]] const hs::th::Name& eqTypeName();
// The kind "*" (global, type namespace, package "ghc-prim", module "GHC.Prim").
[[nodiscard]] const hs::th::Name& starKindName();

}  // namespace sarkel::internal
