#pragma once

#include "platform/Color.h"

#include <vector>

class TData;
class TQuorAppProperties;

// The colours a data item is drawn in, innermost first: its own value
// colour, the value colour of every visible dimension whose active slider
// holds the item (by the dimension's source index), and, when WithSelection
// and the item is selected, SelectionColor. The plots draw them from the
// outermost layer inward, each narrower than the one before.
void ItemColorLayers(const TData& Data, const TQuorAppProperties& Props, int Item, bool WithSelection,
                     TColor SelectionColor, std::vector<TColor>& Layers);
