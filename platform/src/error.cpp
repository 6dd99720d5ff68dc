#include "hs/error.hpp"

namespace hs {

std::string prettyCallStack(const CallStack& s) {
  std::string out = "CallStack (from HasCallStack):";
  for (const SrcLoc& e : s.entries()) {
    out += "\n  " + e.function + ", called at " + e.file + ":" + std::to_string(e.startLine) +
           ":" + std::to_string(e.startCol) + " in " + e.package + ":" + e.module;
  }
  return out;
}

void error(std::string message, SrcLoc site, const CallStack& caller) {
  throw ProgramError(std::move(message), caller.pushed(std::move(site)));
}

void errorWithoutStackTrace(std::string message) { throw ProgramError(std::move(message)); }

}  // namespace hs
