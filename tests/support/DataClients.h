#pragma once

// Data clients for tests and benchmarks. Header-only, so that the benchmarks
// can use it without linking the test support library.

#include "QuorData/QuorData.h"

// The no-op data client is TQuorNoOpDataClient (QuorData.h): derive from it
// together with TObject and override only the notices a test watches.
