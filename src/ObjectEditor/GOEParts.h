#pragma once

#include <QFlags>

// The parts of an object editor's picture that painting, copying and printing
// may include.
enum TGOEPart : int {
    goepObjects = 1,
    goepBackground = 2,
    goepSelection = 4,
    goepHandles = 8,
};
Q_DECLARE_FLAGS(TGOEParts, TGOEPart)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGOEParts)

constexpr TGOEParts AllGOEParts = TGOEParts::fromInt(15);
