#include "vantrel/package.hpp"

namespace vantrel {

const char* packageId() noexcept { return VANTREL_PACKAGE_ID; }

}  // namespace vantrel
