/// \defgroup vantrel_set_classes vantrel/set/classes.hpp
/// \ingroup vantrel_vantrel
/// The set's other class capabilities: deep evaluation (`rnf`, `liftRnf` and hs::NFData,
/// NFData1), folding (hs::Foldable), lifted equality and ordering (hs::Eq1, hs::Ord1), list
/// embedding (hs::IsList) and the generic view (hs::Data).
#pragma once

#include "vantrel/set.hpp"
#include "vantrel/set/internal/classes.hpp"

namespace vantrel::set {

using internal::set::rnf;
using internal::set::liftRnf;

}  // namespace vantrel::set
