#include "quendle/package.hpp"

namespace quendle {

const char* packageId() noexcept { return QUENDLE_PACKAGE_ID; }

}  // namespace quendle
