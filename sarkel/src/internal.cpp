#include "sarkel/datatype/internal.hpp"

namespace sarkel::internal {

const hs::th::Name& eqTypeName() {
  static const hs::th::Name n = hs::th::mkNameG_tc("ghc-prim", "GHC.Types", "~");
  return n;
}

const hs::th::Name& starKindName() {
  static const hs::th::Name n = hs::th::mkNameG_tc("ghc-prim", "GHC.Prim", "*");
  return n;
}

}  // namespace sarkel::internal
