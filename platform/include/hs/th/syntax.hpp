/// \defgroup hs_th_syntax hs/th/syntax.hpp
/// \ingroup hsplatform
/// The reflection library's syntax tree: names, literals, expressions, types, declarations,
/// reified information, the quotation context. This header includes the five parts below; each
/// may also be included on its own.
///
/// The tree's values are immutable. Expressions, types, constructors, declarations and
/// information are handles to shared nodes: copying one copies a pointer, building one allocates
/// its node, and `==` compares structure (at once when both hold the same node).
#pragma once

#include "hs/th/syntax/dec.hpp"    // IWYU pragma: export
#include "hs/th/syntax/exp.hpp"    // IWYU pragma: export
#include "hs/th/syntax/name.hpp"   // IWYU pragma: export
#include "hs/th/syntax/quote.hpp"  // IWYU pragma: export
#include "hs/th/syntax/type.hpp"   // IWYU pragma: export
