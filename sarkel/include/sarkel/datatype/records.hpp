// The description records: one uniform description of an algebraic data type declaration and of
// each of its constructors, with their equality, ordering and text forms.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/read.hpp"
#include "hs/show.hpp"
#include "hs/th/syntax.hpp"
#include "hs/unit.hpp"

namespace sarkel {
/// \addtogroup sarkel_datatype
/// @{

/// A field's unpack pragma as written.
enum class Unpackedness : std::uint8_t { UnspecifiedUnpackedness, NoUnpack, Unpack };
/// A field's strictness mark as written.
enum class Strictness : std::uint8_t { UnspecifiedStrictness, Lazy, Strict };
/// Which kind of declaration a description describes.
enum class DatatypeVariant : std::uint8_t {
  Datatype,
  Newtype,
  DataInstance,
  NewtypeInstance,
  TypeData
};

/// How a constructor is written: prefix, infix, or as a record with its field selectors.
struct NormalConstructor {
  friend bool operator==(NormalConstructor, NormalConstructor) = default;
  friend std::strong_ordering operator<=>(NormalConstructor, NormalConstructor) = default;
};
/// Written infix, `a :+ b`.
struct InfixConstructor {
  friend bool operator==(InfixConstructor, InfixConstructor) = default;
  friend std::strong_ordering operator<=>(InfixConstructor, InfixConstructor) = default;
};
/// Written as a record, with its field selectors.
struct RecordConstructor {
  std::vector<hs::th::Name> names;  ///< The field selectors, in field order.
  friend bool operator==(const RecordConstructor&, const RecordConstructor&) = default;
  friend std::strong_ordering operator<=>(const RecordConstructor&,
                                          const RecordConstructor&) = default;
};

/// Ordered by constructor (NormalConstructor < InfixConstructor < RecordConstructor), then two
/// records by their selector lists, lexicographically in name order.
class ConstructorVariant {
 public:
  /// The alternatives.
  using Node = std::variant<NormalConstructor, InfixConstructor, RecordConstructor>;
  /// @{
  /// The variant of that alternative.
  ConstructorVariant(NormalConstructor c) : node_(c) {}             // NOLINT
  ConstructorVariant(InfixConstructor c) : node_(c) {}              // NOLINT
  ConstructorVariant(RecordConstructor c) : node_(std::move(c)) {}  // NOLINT
  /// @}

  /// The alternative held.
  [[nodiscard]] const Node& node() const noexcept { return node_; }
  /// The alternative C, or null.
  template <class C>
  [[nodiscard]] const C* get_if() const noexcept {
    return std::get_if<C>(&node_);
  }
  /// Whether the alternative is C.
  template <class C>
  [[nodiscard]] bool is() const noexcept {
    return get_if<C>() != nullptr;
  }

  friend bool operator==(const ConstructorVariant&, const ConstructorVariant&) = default;
  /// The order above: by constructor, then two records by their selector lists.
  friend std::strong_ordering operator<=>(const ConstructorVariant& a,
                                          const ConstructorVariant& b) {
    return a.node_ <=> b.node_;
  }

 private:
  Node node_;
};

/// A field's source annotations (not the strictness finally chosen for it).
struct FieldStrictness {
  Unpackedness fieldUnpackedness;  ///< The unpack pragma.
  Strictness fieldStrictness;      ///< The strictness mark.
  friend bool operator==(const FieldStrictness&, const FieldStrictness&) = default;
  friend std::strong_ordering operator<=>(const FieldStrictness&, const FieldStrictness&) = default;
};

/// No annotation.
inline constexpr FieldStrictness notStrictAnnot{Unpackedness::UnspecifiedUnpackedness,
                                                Strictness::UnspecifiedStrictness};
/// A strictness mark `!`.
inline constexpr FieldStrictness isStrictAnnot{Unpackedness::UnspecifiedUnpackedness,
                                               Strictness::Strict};
/// `{-# UNPACK #-} !`.
inline constexpr FieldStrictness unpackedAnnot{Unpackedness::Unpack, Strictness::Strict};

/// One constructor, normalised: its own binders and context, its field types and annotations.
struct ConstructorInfo {
  hs::th::Name constructorName;  ///< The constructor's name.
  /// Variables bound by the constructor itself (existentials, a GADT constructor's own).
  std::vector<hs::th::TyVarBndrUnit> constructorVars;
  hs::th::Cxt constructorContext;  ///< The constructor's own context.
  std::vector<hs::th::Type> constructorFields;  ///< The field types, in order.
  std::vector<FieldStrictness> constructorStrictness;  ///< One per field.
  ConstructorVariant constructorVariant;  ///< How it is written.
  friend bool operator==(const ConstructorInfo&, const ConstructorInfo&) = default;
};

/// One declaration, normalised: context, name, binders, instance types, variant, return kind and
/// constructors.
struct DatatypeInfo {
  hs::th::Cxt datatypeContext;  ///< The declaration's context.
  /// The type constructor; for a family instance, the family.
  hs::th::Name datatypeName;
  std::vector<hs::th::TyVarBndrUnit> datatypeVars;  ///< The declaration's type variables.
  /// The head's argument types, then one per further argument the kind signature implies.
  std::vector<hs::th::Type> datatypeInstTypes;
  DatatypeVariant datatypeVariant;           ///< Which kind of declaration.
  hs::th::Kind datatypeReturnKind;           ///< The declaration's return kind.
  std::vector<ConstructorInfo> datatypeCons;  ///< The constructors, in declared order.
  friend bool operator==(const DatatypeInfo&, const DatatypeInfo&) = default;
};

/// Selectors, one per field.
[[nodiscard]] inline const hs::th::Cxt& datatypeContext(const DatatypeInfo& i) noexcept {
  return i.datatypeContext;
}
/// The datatypeName field.
[[nodiscard]] inline const hs::th::Name& datatypeName(const DatatypeInfo& i) noexcept { return i.datatypeName; }
/// The datatypeVars field.
[[nodiscard]] inline const std::vector<hs::th::TyVarBndrUnit>& datatypeVars(const DatatypeInfo& i) noexcept {
  return i.datatypeVars;
}
/// The datatypeInstTypes field.
[[nodiscard]] inline const std::vector<hs::th::Type>& datatypeInstTypes(const DatatypeInfo& i) noexcept {
  return i.datatypeInstTypes;
}
/// The datatypeVariant field.
[[nodiscard]] inline DatatypeVariant datatypeVariant(const DatatypeInfo& i) noexcept { return i.datatypeVariant; }
/// The datatypeReturnKind field.
[[nodiscard]] inline const hs::th::Kind& datatypeReturnKind(const DatatypeInfo& i) noexcept {
  return i.datatypeReturnKind;
}
/// The datatypeCons field.
[[nodiscard]] inline const std::vector<ConstructorInfo>& datatypeCons(const DatatypeInfo& i) noexcept {
  return i.datatypeCons;
}
/// The constructorName field.
[[nodiscard]] inline const hs::th::Name& constructorName(const ConstructorInfo& c) noexcept {
  return c.constructorName;
}
/// The constructorVars field.
[[nodiscard]] inline const std::vector<hs::th::TyVarBndrUnit>& constructorVars(
    const ConstructorInfo& c) noexcept {
  return c.constructorVars;
}
/// The constructorContext field.
[[nodiscard]] inline const hs::th::Cxt& constructorContext(const ConstructorInfo& c) noexcept {
  return c.constructorContext;
}
/// The constructorFields field.
[[nodiscard]] inline const std::vector<hs::th::Type>& constructorFields(const ConstructorInfo& c) noexcept {
  return c.constructorFields;
}
/// The constructorStrictness field.
[[nodiscard]] inline const std::vector<FieldStrictness>& constructorStrictness(
    const ConstructorInfo& c) noexcept {
  return c.constructorStrictness;
}
/// The constructorVariant field.
[[nodiscard]] inline const ConstructorVariant& constructorVariant(const ConstructorInfo& c) noexcept {
  return c.constructorVariant;
}
/// The fieldUnpackedness field.
[[nodiscard]] inline Unpackedness fieldUnpackedness(const FieldStrictness& f) noexcept {
  return f.fieldUnpackedness;
}
/// The fieldStrictness field.
[[nodiscard]] inline Strictness fieldStrictness(const FieldStrictness& f) noexcept { return f.fieldStrictness; }

/// The described type applied to its head arguments, one outer kind signature stripped from each.
[[nodiscard]] hs::th::Type datatypeType(const DatatypeInfo& info);

/// The constructor with that name (base string and flavour). A program error when there is none.
[[nodiscard]] ConstructorInfo lookupByConstructorName(const hs::th::Name& name, const DatatypeInfo& info);
/// The first record constructor with a field selector of that name. A program error when none.
[[nodiscard]] ConstructorInfo lookupByRecordName(const hs::th::Name& name, const DatatypeInfo& info);

/// compare of the ordered types, agreeing with <=>.
[[nodiscard]] hs::Ordering compare(Unpackedness a, Unpackedness b) noexcept;
/// compare of strictness marks.
[[nodiscard]] hs::Ordering compare(Strictness a, Strictness b) noexcept;
/// compare of variants.
[[nodiscard]] hs::Ordering compare(DatatypeVariant a, DatatypeVariant b) noexcept;
/// compare of annotations.
[[nodiscard]] hs::Ordering compare(const FieldStrictness& a, const FieldStrictness& b) noexcept;
/// compare of constructor variants.
[[nodiscard]] hs::Ordering compare(const ConstructorVariant& a, const ConstructorVariant& b) noexcept;

/// Text forms: constructor names for the enumerations, "RecordConstructor [x,y]" (bracketed at
/// 11 and above), and record forms "DatatypeInfo {datatypeContext = [], ...}" (bracketed at 11
/// and above) with names in their plain text form and reflection values in their derived form.
void showsPrec(int d, Unpackedness u, std::string& out);
/// Text form of a strictness mark.
void showsPrec(int d, Strictness s, std::string& out);
/// Text form of a variant.
void showsPrec(int d, DatatypeVariant v, std::string& out);
/// Text form of a constructor variant.
void showsPrec(int d, const ConstructorVariant& v, std::string& out);
/// Text form of an annotation.
void showsPrec(int d, const FieldStrictness& f, std::string& out);
/// Text form of a constructor description.
void showsPrec(int d, const ConstructorInfo& c, std::string& out);
/// Text form of a declaration description.
void showsPrec(int d, const DatatypeInfo& i, std::string& out);
/// The text form at precedence 0, in a new string.
template <class T>
requires requires(const T& x, std::string& out) { sarkel::showsPrec(0, x, out); }
[[nodiscard]] std::string show(const T& x) {
  std::string out;
  sarkel::showsPrec(0, x, out);
  return out;
}
/// The text form, written to a stream.
std::ostream& operator<<(std::ostream& os, Unpackedness u);
/// The text form, written to a stream.
std::ostream& operator<<(std::ostream& os, Strictness s);
/// The text form, written to a stream.
std::ostream& operator<<(std::ostream& os, DatatypeVariant v);
/// The text form, written to a stream.
std::ostream& operator<<(std::ostream& os, const ConstructorVariant& v);
/// The text form, written to a stream.
std::ostream& operator<<(std::ostream& os, const FieldStrictness& f);
/// The text form, written to a stream.
std::ostream& operator<<(std::ostream& os, const ConstructorInfo& c);
/// The text form, written to a stream.
std::ostream& operator<<(std::ostream& os, const DatatypeInfo& i);

namespace internal {
// The platform's text-form class over this library's writers.
struct ShowVia {
  template <class T>
  static void showsPrec(int d, const T& x, std::string& out) {
    sarkel::showsPrec(d, x, out);
  }
};
// The reader of DatatypeVariant: one of the five constructor names as a whole identifier, inside
// any number of round brackets, at any precedence.
[[nodiscard]] hs::ReadPrec<DatatypeVariant> readDatatypeVariant();
}  // namespace internal

/// @}
}  // namespace sarkel

namespace hs {
/// \addtogroup sarkel_datatype
/// @{

/// The constructor name: `NoUnpack` (sarkel::showsPrec).
template <>
struct Show<sarkel::Unpackedness> : sarkel::internal::ShowVia {};
/// The constructor name: `Lazy` (sarkel::showsPrec).
template <>
struct Show<sarkel::Strictness> : sarkel::internal::ShowVia {};
/// The constructor name: `Newtype` (sarkel::showsPrec).
template <>
struct Show<sarkel::DatatypeVariant> : sarkel::internal::ShowVia {};
/// `NormalConstructor`, `InfixConstructor` or `RecordConstructor [x,y]`, the last bracketed at
/// precedence 11 and above (sarkel::showsPrec).
template <>
struct Show<sarkel::ConstructorVariant> : sarkel::internal::ShowVia {};
/// The record form `FieldStrictness {fieldUnpackedness = ..., fieldStrictness = ...}`, bracketed
/// at precedence 11 and above (sarkel::showsPrec).
template <>
struct Show<sarkel::FieldStrictness> : sarkel::internal::ShowVia {};
/// The record form `ConstructorInfo {constructorName = ..., ...}`, bracketed at precedence 11 and
/// above; names in their plain text form, reflection values in their derived form
/// (sarkel::showsPrec).
template <>
struct Show<sarkel::ConstructorInfo> : sarkel::internal::ShowVia {};
/// The record form `DatatypeInfo {datatypeContext = ..., ...}`, bracketed at precedence 11 and
/// above; names in their plain text form, reflection values in their derived form
/// (sarkel::showsPrec).
template <>
struct Show<sarkel::DatatypeInfo> : sarkel::internal::ShowVia {};

/// One of the five constructor names as a whole identifier, inside any number of round
/// brackets, at any precedence.
template <>
struct Read<sarkel::DatatypeVariant> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<sarkel::DatatypeVariant> readPrec() {
    return sarkel::internal::readDatatypeVariant();
  }
};

/// @}
}  // namespace hs
