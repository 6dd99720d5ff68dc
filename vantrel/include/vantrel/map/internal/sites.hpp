// Where the library's own program errors stand: the call-site records they carry.
#pragma once

#include "hs/error.hpp"

namespace vantrel::internal {

// The site of an `error` call in the map module, from (line, col) to (endLine, endCol).
hs::SrcLoc mapSite(int line, int col, int endLine, int endCol);
// The same in the named module and source path.
hs::SrcLoc siteIn(const char* module, const char* file, int line, int col, int endLine,
                  int endCol);

}  // namespace vantrel::internal
