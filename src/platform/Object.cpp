#include "platform/Object.h"

bool TClass::InheritsFrom(const TClass* other) const
{
    for (const TClass* c = this; c; c = c->FParent)
        if (c == other)
            return true;
    return false;
}

const TClass* TObject::StaticClass()
{
    static const TClass cls("TObject", nullptr, []() -> TObject* { return new TObject(); });
    return &cls;
}
