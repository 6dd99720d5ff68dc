/// \defgroup hs_th_syntax_quote hs/th/syntax/quote.hpp
/// \ingroup hs_th_syntax
/// The quotation context and typed expressions.
#pragma once

#include <string>

#include "hs/th/syntax/exp.hpp"
#include "hs/th/syntax/name.hpp"

namespace hs::th {
/// \addtogroup hs_th_syntax_quote
/// @{

/// A quotation context: where expressions are built. Every builder of hs/th/lib.hpp reports the
/// node it has just built to step(), in the order the steps run, so a context can observe the
/// order in which an embedding builds its expression; newName makes fresh local names. The
/// reflection monad extends this interface.
class Quote {
 public:
  /// A context that only builds.
  Quote() = default;
  /// @{
  /// Not copyable: an interface, used through references.
  Quote(const Quote&) = delete;
  Quote& operator=(const Quote&) = delete;
  /// @}
  virtual ~Quote() = default;

  /// A name with the given base, distinct from every other name (NameU with a process-wide atomic
  /// counter unless a context overrides it).
  virtual Name newName(std::string base);
  /// Told each expression node a builder has just built, in order; does nothing unless a context
  /// overrides it.
  virtual void step(const Exp&) {}
};

/// A context that only builds: process-wide, stateless, safe to share between threads.
[[nodiscard]] Quote& defaultQuote() noexcept;

/// An expression marked with the type of the value it rebuilds.
template <class T>
struct TExp {
  Exp unType;  ///< The expression.
  friend bool operator==(const TExp&, const TExp&) = default;
};

/// @}
}  // namespace hs::th
