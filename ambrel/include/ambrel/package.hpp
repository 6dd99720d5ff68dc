#pragma once

namespace ambrel {

// The package identifier of this library (name-version), fixed when the library is built.
[[nodiscard]] const char* packageId() noexcept;

}  // namespace ambrel
