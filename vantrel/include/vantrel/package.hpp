#pragma once

namespace vantrel {

// The package identifier of this library (name-version), fixed when the library is built.
const char* packageId() noexcept;

}  // namespace vantrel
