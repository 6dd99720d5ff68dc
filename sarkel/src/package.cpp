#include "sarkel/package.hpp"

namespace sarkel {

const char* packageId() noexcept { return SARKEL_PACKAGE_ID; }

}  // namespace sarkel
