// Whether a class trait has an instance for a type, for the front doors that stop a build at one
// message naming the trait a type lacks. The traits' primary templates are declared and never
// defined, so a trait has an instance exactly where a specialisation makes it a complete type.
#pragma once

namespace hs::detail {

// Whether Trait (a trait applied to a type, e.g. Show1<F<A>>) is a specialisation that exists.
// An instance must be declared before its first use, as any specialisation must. (A constant, not
// a concept: a static_assert on it reports only its own message.)
template <class Trait>
inline constexpr bool hasInstance = requires { sizeof(Trait); };

// Declared and never defined: the result, of the type its caller expects, of a front door whose
// instance is missing. The build has stopped at the message already; the caller compiles on
// without errors of its own, so the message stays the only one.
template <class T>
T rejected() noexcept;

}  // namespace hs::detail
