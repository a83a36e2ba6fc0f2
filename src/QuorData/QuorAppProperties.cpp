#include "QuorData/QuorAppProperties.h"

#include "platform/Exceptions.h"

TQuorAppProperties::TQuorAppProperties()
    : ValueColors{
          RGB(153, 153, 51), RGB(255, 102, 0),  RGB(51, 102, 204), RGB(204, 51, 255),
          RGB(255, 0, 102),  RGB(153, 102, 51), RGB(51, 204, 153), RGB(153, 0, 0),
          RGB(153, 0, 153),  RGB(102, 153, 102), RGB(0, 0, 255),   RGB(0, 255, 0),
          RGB(255, 51, 153), RGB(0, 255, 255),  RGB(255, 0, 0),    RGB(54, 53, 49),
      }
{
}

TColor TQuorAppProperties::GetValueColor(int Index) const
{
    const int count = ValueColorCount();
    QUOR_ASSERT(count > 0, "GetValueColor: the value colour table is empty");
    const int i = ((Index % count) + count) % count;
    return ValueColors[static_cast<size_t>(i)];
}
