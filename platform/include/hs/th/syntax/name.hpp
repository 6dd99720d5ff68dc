/// \defgroup hs_th_syntax_name hs/th/syntax/name.hpp
/// \ingroup hs_th_syntax
/// Names of the reflection syntax tree: an occurrence name (the base string) and a flavour that
/// says how the name is bound. Names are plain values (strings held by value).
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <variant>

namespace hs::th {
/// \addtogroup hs_th_syntax_name
/// @{

/// The name spaces of global names: variables, data constructors, type constructors and classes.
enum class NameSpace : std::uint8_t { VarName, DataName, TcClsName };

/// The unique of a local name.
using Uniq = std::uint64_t;

// Flavours, in this order: a plain name to be resolved where it is used; a name qualified by a
// module; a fresh local name with a unique (from newName); a local name bound by the compiler;
// a global name with its name space, package and module.

/// The flavour of a plain name, resolved where it is used.
struct NameS {
  friend bool operator==(NameS, NameS) = default;
  friend std::strong_ordering operator<=>(NameS, NameS) = default;
};
/// The flavour of a name qualified by a module.
struct NameQ {
  std::string module;  ///< The module, as written ("Data.Map").
  friend bool operator==(const NameQ&, const NameQ&) = default;
  friend std::strong_ordering operator<=>(const NameQ&, const NameQ&) = default;
};
/// The flavour of a fresh local name (from newName).
struct NameU {
  Uniq unique;  ///< What tells it from other names of the same base.
  friend bool operator==(NameU, NameU) = default;
  friend std::strong_ordering operator<=>(NameU, NameU) = default;
};
/// The flavour of a local name bound by the compiler.
struct NameL {
  Uniq unique;  ///< What tells it from other names of the same base.
  friend bool operator==(NameL, NameL) = default;
  friend std::strong_ordering operator<=>(NameL, NameL) = default;
};
/// The flavour of a global name.
struct NameG {
  NameSpace space;      ///< Its name space.
  std::string package;  ///< The package that defines it.
  std::string module;   ///< The module that defines it.
  friend bool operator==(const NameG&, const NameG&) = default;
  friend std::strong_ordering operator<=>(const NameG&, const NameG&) = default;
};
/// How a name is bound; flavours order in this order (NameS first).
using NameFlavour = std::variant<NameS, NameQ, NameU, NameL, NameG>;

/// A name: its occurrence name and its flavour.
struct Name {
  std::string occ;      ///< The occurrence name, without module (UTF-8).
  NameFlavour flavour;  ///< How it is bound.

  friend bool operator==(const Name&, const Name&) = default;
  /// The flavour decides first (its unique, module or package before the occurrence name), then
  /// the occurrence name.
  [[nodiscard]] friend std::strong_ordering operator<=>(const Name& a, const Name& b) {
    if (auto c = a.flavour <=> b.flavour; c != 0) return c;
    return a.occ <=> b.occ;
  }
};

/// A plain name, or a qualified one when the text is a module path, a dot and a non-empty rest
/// ("Data.Map.lookup", "Prelude.."): the last such dot splits it. The dots are tried from the
/// last, each try scanning the text before it.
[[nodiscard]] Name mkName(std::string_view text);
/// A fresh local name with the given unique.
[[nodiscard]] Name mkNameU(std::string occ, Uniq unique);
/// A global name by name space, package, module and occurrence name.
[[nodiscard]] Name mkNameG(NameSpace space, std::string package, std::string module, std::string occ);
/// A global variable name.
[[nodiscard]] Name mkNameG_v(std::string package, std::string module, std::string occ);
/// A global data constructor name.
[[nodiscard]] Name mkNameG_d(std::string package, std::string module, std::string occ);
/// A global type constructor or class name.
[[nodiscard]] Name mkNameG_tc(std::string package, std::string module, std::string occ);

/// The occurrence name without its module.
[[nodiscard]] const std::string& nameBase(const Name& n) noexcept;

/// How a name is written in text: on its own; in the function position of an application
/// (operators in round brackets); between two operands (identifiers in backquotes).
enum class NameIs : std::uint8_t { Alone, Applied, Infix };

/// The text of a name, in a new string: module-qualified for qualified and global names
/// ("GHC.Base.$!"), with its unique for local ones ("x_12"), the occurrence name alone otherwise.
[[nodiscard]] std::string showName(const Name& n);
/// showName, with an operator in round brackets when Applied and an identifier in backquotes when
/// Infix.
[[nodiscard]] std::string showName_(NameIs mode, const Name& n);

/// The text form of a name: showName (at every precedence).
[[nodiscard]] std::string show(const Name& n);
/// Appends showName of n to out, at every precedence d.
void showsPrec(int d, const Name& n, std::string& out);
/// Writes showName of n.
std::ostream& operator<<(std::ostream& os, const Name& n);

/// The global name of the constructor True (one shared value, made on first use).
[[nodiscard]] const Name& trueName();
/// The global name of the constructor False (one shared value, made on first use).
[[nodiscard]] const Name& falseName();
/// The global name of the constructor Nothing (one shared value, made on first use).
[[nodiscard]] const Name& nothingName();
/// The global name of the constructor Just (one shared value, made on first use).
[[nodiscard]] const Name& justName();

/// @}
}  // namespace hs::th
