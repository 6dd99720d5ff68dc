#include "sites.hpp"

#include "sarkel/package.hpp"

namespace sarkel::internal {

hs::SrcLoc datatypeSite(int line, int startCol, int endCol) {
  return hs::SrcLoc{"error", packageId(), "Sarkel.Datatype", "src/Sarkel/Datatype", line, startCol,
                    line,    endCol};
}

}  // namespace sarkel::internal
