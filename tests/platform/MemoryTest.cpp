#include "platform/Memory.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

// Under an address-space limit memory runs out at the limit, however much
// the machine has free.
TEST(Memory, WhatIsAvailableStaysUnderTheAddressSpaceLimit)
{
    if (!ScopedAddressSpaceCap::Supported())
        GTEST_SKIP() << "no address-space cap under a sanitizer";
    const ScopedAddressSpaceCap cap(1ull << 30);
    const uint64_t available = AvailableMemory();
    EXPECT_LE(available, 1ull << 30);
    EXPECT_GT(available, 1ull << 29);
}
