#include "ambrel/ambrel/binary.hpp"
#include "ambrel/ambrel/type.hpp"
#include "ambrel/functor/type.hpp"
#include "hs/error.hpp"

namespace ambrel::internal {

void noHere() { hs::errorWithoutStackTrace("Ambrel.here: That has no first value"); }
void noThere() { hs::errorWithoutStackTrace("Ambrel.there: This has no second value"); }

}  // namespace ambrel::internal

namespace ambrel::internal::one {

void noFPart() { hs::errorWithoutStackTrace("Ambrel1.fPart: That1 has no first part"); }
void noGPart() { hs::errorWithoutStackTrace("Ambrel1.gPart: This1 has no second part"); }

}  // namespace ambrel::internal::one

namespace ambrel::internal {

void invalidIndex(const hs::binary::Input& in) { in.fail("Invalid Ambrel index"); }

}  // namespace ambrel::internal
