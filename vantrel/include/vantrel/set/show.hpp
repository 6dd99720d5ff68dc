/// \defgroup vantrel_set_show vantrel/set/show.hpp
/// \ingroup vantrel_vantrel
/// The text form of sets (hs::Show, hs::Show1): `fromList` applied to the elements in trie order.
#pragma once

#include "vantrel/set/internal/text.hpp"
