#include "QuorData/Utility.h"

const TClass* CommonAncestorClass(const TObject* A, const TObject* B)
{
    const TClass* a = A->ClassType();
    for (const TClass* c = B->ClassType(); c; c = c->Parent())
        if (a->InheritsFrom(c))
            return c;
    return TObject::StaticClass();
}
