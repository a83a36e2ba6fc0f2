#include "QuorData/QuorData.h"
