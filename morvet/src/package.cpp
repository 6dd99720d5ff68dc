#include "morvet/package.hpp"

namespace morvet {

const char* packageId() noexcept { return MORVET_PACKAGE_ID; }

}  // namespace morvet
