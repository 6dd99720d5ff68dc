/// \defgroup morvet_package morvet/package.hpp
/// \ingroup morvet
/// The library's identity.
#pragma once

namespace morvet {
/// \addtogroup morvet_package
/// @{

/// The package identifier of this library (name-version), fixed when the library is built.
[[nodiscard]] const char* packageId() noexcept;

/// @}
}  // namespace morvet
