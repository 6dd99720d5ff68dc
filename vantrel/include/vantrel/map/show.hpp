/// \defgroup vantrel_map_show vantrel/map/show.hpp
/// \ingroup vantrel_vantrel
/// The text form of maps (hs::Show, hs::Show1, hs::Show2): `fromList` applied to the pairs in trie
/// order. Kept apart from the core map headers, which compile without the text vocabulary.
#pragma once

#include "vantrel/map/internal/text.hpp"
