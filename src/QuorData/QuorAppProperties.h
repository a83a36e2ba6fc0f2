#pragma once

#include "platform/Color.h"
#include "platform/Object.h"

#include <vector>

using TValueColors = std::vector<TColor>;

// Application-wide properties: the value colours data items are drawn in,
// the colour index new data items start with, and two display switches that
// parallel coordinates take over. The main window makes one and hands it to
// the client manager.
class TQuorAppProperties : public TObject {
public:
    TQuorAppProperties();

    // Entry Index, wrapping around the table; a negative index wraps the same
    // way (-1 is the last entry), so a bad index read from a file still
    // gives one of the table's colours.
    TColor GetValueColor(int Index) const;
    int ValueColorCount() const { return static_cast<int>(ValueColors.size()); }

    TValueColors ValueColors;
    int DefaultColorIndex = 15;
    bool DoubleBuffered = true;
    bool LiveTracking = true;
};
