#include "hs/foldable.hpp"

namespace hs {

void foldr1Empty() { errorWithoutStackTrace("foldr1: empty structure"); }
void foldl1Empty() { errorWithoutStackTrace("foldl1: empty structure"); }
void maximumEmpty() { errorWithoutStackTrace("maximum: empty structure"); }
void minimumEmpty() { errorWithoutStackTrace("minimum: empty structure"); }

}  // namespace hs
