// Call-site records of the program errors raised by the datatype module.
#pragma once

#include "hs/error.hpp"

namespace sarkel::internal {

// A site in the datatype module's source: the error function called at that line and columns.
hs::SrcLoc datatypeSite(int line, int startCol, int endCol);

}  // namespace sarkel::internal
