// The text form of sets (hs::Show, hs::Show1): `fromList` applied to the elements in trie order.
#pragma once

#include "vantrel/set/internal/text.hpp"
