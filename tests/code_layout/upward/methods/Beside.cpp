#include "methods/Fine.h"
#include "clustering/Beside.h"
#include "platform/Fine.h"
