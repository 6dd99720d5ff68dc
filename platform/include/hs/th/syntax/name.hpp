// Names of the reflection syntax tree: an occurrence name (the base string) and a flavour that
// says how the name is bound.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <variant>

namespace hs::th {

// The name spaces of global names: variables, data constructors, type constructors and classes.
enum class NameSpace : std::uint8_t { VarName, DataName, TcClsName };

using Uniq = std::uint64_t;

// Flavours, in this order: a plain name to be resolved where it is used; a name qualified by a
// module; a fresh local name with a unique (from newName); a local name bound by the compiler;
// a global name with its name space, package and module.
struct NameS {
  friend bool operator==(NameS, NameS) = default;
  friend std::strong_ordering operator<=>(NameS, NameS) = default;
};
struct NameQ {
  std::string module;
  friend bool operator==(const NameQ&, const NameQ&) = default;
  friend std::strong_ordering operator<=>(const NameQ&, const NameQ&) = default;
};
struct NameU {
  Uniq unique;
  friend bool operator==(NameU, NameU) = default;
  friend std::strong_ordering operator<=>(NameU, NameU) = default;
};
struct NameL {
  Uniq unique;
  friend bool operator==(NameL, NameL) = default;
  friend std::strong_ordering operator<=>(NameL, NameL) = default;
};
struct NameG {
  NameSpace space;
  std::string package;
  std::string module;
  friend bool operator==(const NameG&, const NameG&) = default;
  friend std::strong_ordering operator<=>(const NameG&, const NameG&) = default;
};
using NameFlavour = std::variant<NameS, NameQ, NameU, NameL, NameG>;

struct Name {
  std::string occ;
  NameFlavour flavour;

  friend bool operator==(const Name&, const Name&) = default;
  // The flavour decides first (uniques before strings), then the occurrence name.
  [[nodiscard]] friend std::strong_ordering operator<=>(const Name& a, const Name& b) {
    if (auto c = a.flavour <=> b.flavour; c != 0) return c;
    return a.occ <=> b.occ;
  }
};

// A plain name, or a qualified one when the text is a module path, a dot and a non-empty rest
// ("Data.Map.lookup", "Prelude..").
[[nodiscard]] Name mkName(std::string_view text);
[[nodiscard]] Name mkNameU(std::string occ, Uniq unique);
// Global names by package, module and occurrence name.
[[nodiscard]] Name mkNameG(NameSpace space, std::string package, std::string module, std::string occ);
[[nodiscard]] Name mkNameG_v(std::string package, std::string module, std::string occ);
[[nodiscard]] Name mkNameG_d(std::string package, std::string module, std::string occ);
[[nodiscard]] Name mkNameG_tc(std::string package, std::string module, std::string occ);

// The occurrence name without its module.
[[nodiscard]] const std::string& nameBase(const Name& n) noexcept;

// How a name is written in text: on its own; in the function position of an application
// (operators in round brackets); between two operands (identifiers in backquotes).
enum class NameIs : std::uint8_t { Alone, Applied, Infix };

// The text of a name: module-qualified for qualified and global names ("GHC.Base.$!"), with its
// unique for local ones ("x_12"), the occurrence name alone otherwise.
[[nodiscard]] std::string showName(const Name& n);
[[nodiscard]] std::string showName_(NameIs mode, const Name& n);

// The text form of a name is showName at every precedence.
[[nodiscard]] std::string show(const Name& n);
void showsPrec(int d, const Name& n, std::string& out);
std::ostream& operator<<(std::ostream& os, const Name& n);

// The names of the base types' constructors.
[[nodiscard]] const Name& trueName();
[[nodiscard]] const Name& falseName();
[[nodiscard]] const Name& nothingName();
[[nodiscard]] const Name& justName();

}  // namespace hs::th
