/// \defgroup hs_th_ppr hs/th/ppr.hpp
/// \ingroup hsplatform
/// The pretty-printer of the reflection library, for messages: types in source syntax.
#pragma once

#include <string>

#include "hs/th/syntax/name.hpp"
#include "hs/th/syntax/type.hpp"

namespace hs::th {
/// \addtogroup hs_th_ppr
/// @{

/// A type as source text, in a new string: "forall (a_1 :: *) . GHC.Show.Show a_1 => a_1 -> [a_1]".
/// Names are written as showName gives them (operators in round brackets where they are applied);
/// applications, arrows, lists, tuples, equalities and promoted lists get their own syntax when
/// fully applied; round brackets appear where precedence needs them and for every ParensT. An
/// explicit-stack walk, so any depth is safe.
[[nodiscard]] std::string pprint(const Type& t);
/// A name as source text: showName (module-qualified for qualified and global names, with its
/// unique for local ones).
[[nodiscard]] std::string pprint(const Name& n);

/// @}
}  // namespace hs::th
