#include "hs/error.hpp"

namespace hs {

std::string prettyCallStack(const CallStack& s) {
  std::string out = "CallStack (from HasCallStack):";
  for (const SrcLoc& e : s.entries()) {
    out.append("\n  ").append(e.function).append(", called at ").append(e.file).append(":");
    out.append(std::to_string(e.startLine)).append(":").append(std::to_string(e.startCol));
    out.append(" in ").append(e.package).append(":").append(e.module);
  }
  return out;
}

void error(std::string message, SrcLoc site, const CallStack& caller) {
  throw ProgramError(std::move(message), caller.pushed(std::move(site)));
}

void errorWithoutStackTrace(std::string message) { throw ProgramError(std::move(message)); }

}  // namespace hs
