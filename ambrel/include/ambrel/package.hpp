/// \defgroup ambrel_package ambrel/package.hpp
/// \ingroup ambrel
/// The library's identity.
#pragma once

namespace ambrel {
/// \addtogroup ambrel_package
/// @{

/// The package identifier of this library (name-version), fixed when the library is built.
[[nodiscard]] const char* packageId() noexcept;

/// @}
}  // namespace ambrel
