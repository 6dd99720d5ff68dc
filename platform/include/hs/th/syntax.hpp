// The reflection library's syntax tree: names, literals, expressions, the quotation context.
#pragma once

#include "hs/th/syntax/exp.hpp"    // IWYU pragma: export
#include "hs/th/syntax/name.hpp"   // IWYU pragma: export
#include "hs/th/syntax/quote.hpp"  // IWYU pragma: export
