/// \defgroup vantrel_map_classes vantrel/map/classes.hpp
/// \ingroup vantrel_vantrel
/// The map's other class capabilities: deep evaluation (`rnf`, `liftRnf`, `liftRnf2` and
/// hs::NFData, NFData1, NFData2), list embedding (hs::IsList), the generic view (hs::Data) and the
/// embedding into generated code (hs::Lift). Kept apart from the core map headers, which compile
/// without that vocabulary. The same operations serve vantrel::lazy and vantrel::strict.
#pragma once

#include "vantrel/map/internal/classes.hpp"

namespace vantrel::lazy {

using internal::rnf;
using internal::liftRnf;
using internal::liftRnf2;

}  // namespace vantrel::lazy

namespace vantrel::strict {

// Deep evaluation stores nothing: the lazy interface's own.
using internal::rnf;
using internal::liftRnf;
using internal::liftRnf2;

}  // namespace vantrel::strict
