#pragma once

#include "platform/Object.h"

// Walking up from B's class (B's class first), the first class that is A's
// class or one of its ancestors; TObject when there is no nearer one.
const TClass* CommonAncestorClass(const TObject* A, const TObject* B);
