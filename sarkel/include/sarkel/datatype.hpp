/// \defgroup sarkel_datatype sarkel/datatype.hpp
/// \ingroup sarkel
/// The datatype module: uniform descriptions of algebraic data type declarations as the
/// reflection library reports them, and the operations over reflection syntax they rest on.
#pragma once

#include "sarkel/datatype/constructor.hpp"   // IWYU pragma: export
#include "sarkel/datatype/data.hpp"          // IWYU pragma: export
#include "sarkel/datatype/declaration.hpp"   // IWYU pragma: export
#include "sarkel/datatype/infix.hpp"         // IWYU pragma: export
#include "sarkel/datatype/matching.hpp"      // IWYU pragma: export
#include "sarkel/datatype/records.hpp"       // IWYU pragma: export
#include "sarkel/datatype/reify.hpp"         // IWYU pragma: export
#include "sarkel/datatype/substitution.hpp"  // IWYU pragma: export
#include "sarkel/datatype/syntax.hpp"        // IWYU pragma: export
#include "sarkel/datatype/telescope.hpp"     // IWYU pragma: export
#include "sarkel/datatype/unification.hpp"   // IWYU pragma: export
