#include "hs/error.hpp"
#include "ambrel/ambrel/type.hpp"

namespace ambrel::internal {

void noHere() { hs::errorWithoutStackTrace("Ambrel.here: That has no first value"); }
void noThere() { hs::errorWithoutStackTrace("Ambrel.there: This has no second value"); }

}  // namespace ambrel::internal
