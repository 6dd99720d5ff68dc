/// \defgroup quendle_package quendle/package.hpp
/// \ingroup quendle
/// The library's identity.
#pragma once

namespace quendle {
/// \addtogroup quendle_package
/// @{

/// The package identifier of this library (name-version), fixed when the library is built.
[[nodiscard]] const char* packageId() noexcept;

/// @}
}  // namespace quendle
