/// \defgroup vantrel_package vantrel/package.hpp
/// \ingroup vantrel_vantrel
/// The library's identity.
#pragma once

namespace vantrel {
/// \addtogroup vantrel_package
/// @{

/// The package identifier of this library (name-version), fixed when the library is built.
const char* packageId() noexcept;

/// @}
}  // namespace vantrel
