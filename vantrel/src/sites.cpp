#include "vantrel/map/internal/sites.hpp"

#include "vantrel/map/internal/delete.hpp"
#include "vantrel/package.hpp"

namespace vantrel::internal {

namespace {
Object theEmpty(Kind::Empty, 0);
}  // namespace
Object* const emptyObject = &theEmpty;

const char* packageIdentifier() noexcept { return packageId(); }

hs::SrcLoc siteIn(const char* module, const char* file, int line, int col, int endLine,
                  int endCol) {
  return hs::SrcLoc{"error", packageId(), module, file, line, col, endLine, endCol};
}

hs::SrcLoc mapSite(int line, int col, int endLine, int endCol) {
  return siteIn("Vantrel.Map.Internal", "./Vantrel/Map/Internal", line, col, endLine, endCol);
}

hs::SrcLoc undefinedElemSite() {
  return siteIn("Vantrel.Map.Internal.Array", "./Vantrel/Map/Internal/Array", 432, 17, 432, 22);
}

}  // namespace vantrel::internal

namespace vantrel::internal {

void keyNotFound(const hs::CallStack& caller) {
  hs::error("Vantrel.Map.Internal.(!): key not found", mapSite(774, 16, 774, 21), caller);
}

}  // namespace vantrel::internal

namespace vantrel::internal {

void testBottomError() {
  hs::error("Vantrel.Map.alterF internal error: hit test_bottom", mapSite(1349, 15, 1349, 20));
}
void bogusError() {
  hs::error("Vantrel.Map.alterF internal error: hit bogus#", mapSite(1354, 12, 1354, 17));
}

}  // namespace vantrel::internal

#include "vantrel/map/internal/strict/errors.hpp"

namespace vantrel::internal::strict {

namespace {
hs::SrcLoc strictSite(int line, int col, int endCol) {
  return siteIn("Vantrel.Map.Internal.Strict", "./Vantrel/Map/Internal/Strict", line, col, line,
                endCol);
}
}  // namespace

void testBottomError() {
  hs::error("Vantrel.Map.alterF internal error: hit test_bottom", strictSite(353, 15, 20));
}
void bogusError() {
  hs::error("Vantrel.Map.alterF internal error: hit bogus#", strictSite(356, 12, 17));
}
void impossibleAdjustError() {
  hs::error("Vantrel.Map.alterF internal error: impossible adjust", strictSite(359, 20, 25));
}

}  // namespace vantrel::internal::strict

namespace vantrel::internal::strict {

void leafHashCodeError() { hs::error("leafHashCode", strictSite(529, 22, 27)); }
void unionNoMatchError() {
  throw hs::PatternMatchFail("Vantrel/Map/Internal/Strict:(461,5)-(525,20)|function go");
}

}  // namespace vantrel::internal::strict
