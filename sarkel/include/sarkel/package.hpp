/// \defgroup sarkel_package sarkel/package.hpp
/// \ingroup sarkel
/// The library's identity.
#pragma once

namespace sarkel {
/// \addtogroup sarkel_package
/// @{

/// The package identifier of this library (name-version), fixed when the library is built.
[[nodiscard]] const char* packageId() noexcept;

/// @}
}  // namespace sarkel
