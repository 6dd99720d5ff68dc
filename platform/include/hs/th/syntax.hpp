// The reflection library's syntax tree: names, literals, expressions, types, declarations,
// reified information, the quotation context.
#pragma once

#include "hs/th/syntax/dec.hpp"    // IWYU pragma: export
#include "hs/th/syntax/exp.hpp"    // IWYU pragma: export
#include "hs/th/syntax/name.hpp"   // IWYU pragma: export
#include "hs/th/syntax/quote.hpp"  // IWYU pragma: export
#include "hs/th/syntax/type.hpp"   // IWYU pragma: export
