#include "platform/Random.h"

#include <QDateTime>

int32_t RandSeed = 0;

namespace {
uint32_t NextSeed()
{
    const uint32_t next = static_cast<uint32_t>(RandSeed) * 134775813u + 1u;
    RandSeed = static_cast<int32_t>(next);
    return next;
}
} // namespace

int32_t Random(int32_t N)
{
    const uint64_t seed = NextSeed();
    // The product is taken as unsigned 32 by 32 bits, as the classic
    // generator does; a negative N therefore wraps, which callers never pass.
    return static_cast<int32_t>((seed * static_cast<uint32_t>(N)) >> 32);
}

double RandomFloat()
{
    return static_cast<double>(NextSeed()) / 4294967296.0;
}

void Randomize()
{
    RandSeed = static_cast<int32_t>(QDateTime::currentMSecsSinceEpoch());
}
