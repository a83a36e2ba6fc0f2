#pragma once

#include <cstdint>

// The program-wide pseudo-random generator: a linear congruential sequence
// seed := seed * 134775813 + 1 (mod 2^32). Random(N) is the upper half of the
// 64-bit product of the new seed and N, that is floor(seed * N / 2^32).
extern int32_t RandSeed;

// A whole number in 0..N-1; 0 for N = 0, and the sequence still advances.
// N is taken unsigned, so callers pass no negative N.
int32_t Random(int32_t N);
// A number in [0, 1): the new seed / 2^32.
double RandomFloat();
// Seeds the generator from the clock.
void Randomize();
