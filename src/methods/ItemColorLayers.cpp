#include "methods/ItemColorLayers.h"

#include "QuorData/QuorAppProperties.h"
#include "QuorData/QuorData.h"

void ItemColorLayers(const TData& Data, const TQuorAppProperties& Props, int Item, bool WithSelection,
                     TColor SelectionColor, std::vector<TColor>& Layers)
{
    Layers.clear();
    Layers.push_back(Props.GetValueColor(Data.GetPointColor(Item)));
    for (int d : Data.DimsInSliderRange(Item))
        Layers.push_back(Props.GetValueColor(Data.GetDimPerm(d) % Props.ValueColorCount()));
    if (WithSelection && Data.IsPointSelected(Item))
        Layers.push_back(SelectionColor);
}
