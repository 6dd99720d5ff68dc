#include "ambrel/package.hpp"

namespace ambrel {

const char* packageId() noexcept { return AMBREL_PACKAGE_ID; }

}  // namespace ambrel
