#pragma once

// Bounds and flags of an editor's selection list computed afresh, as the
// editor defines them: the head's bounds, each further one's added unless
// empty; the AND and OR of the flags.

#include "ObjectEditor/ObjectEditor.h"

#include <algorithm>

struct TFreshSummary {
    TRect Bounds;
    uint32_t FlagsAnd = 0xFFFFFFFFu;
    uint32_t FlagsOr = 0;
    int Count = 0;
};

inline TFreshSummary FreshSummary(const TSelectionEntry* List)
{
    TFreshSummary fresh;
    const auto empty = [](const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; };
    for (const TSelectionEntry* e = List; e; e = e->Next.get()) {
        const TRect& b = e->Object->Bounds;
        fresh.FlagsAnd &= e->Object->Flags;
        fresh.FlagsOr |= e->Object->Flags;
        if (e == List || empty(fresh.Bounds))
            fresh.Bounds = e == List || !empty(b) ? b : fresh.Bounds;
        else if (!empty(b))
            fresh.Bounds = Rect(std::min(fresh.Bounds.Left, b.Left), std::min(fresh.Bounds.Top, b.Top),
                                std::max(fresh.Bounds.Right, b.Right), std::max(fresh.Bounds.Bottom, b.Bottom));
        ++fresh.Count;
    }
    return fresh;
}
