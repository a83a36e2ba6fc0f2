#pragma once

#include <QString>

#include <cstdint>
#include <functional>

// The bytes the program may still take: the least of the kernel's estimate
// of the memory that can be taken without swapping (MemAvailable; physical
// memory where that cannot be read) and what the address-space limit of the
// process leaves. Taking more would end in the out-of-memory killer, a
// desktop that swaps, or an allocation that fails half-way, so work that
// knows its size beforehand asks here first and refuses instead.
uint64_t AvailableMemory();
// The address space the process has mapped now (its virtual size).
uint64_t AddressSpaceInUse();
// Where such work asks; AvailableMemory unless a caller (a test) says else.
using TMemoryProbe = std::function<uint64_t()>;

// "12.3 GB", "4.5 MB", "6.7 KB" or "89 bytes", in decimal units.
QString MemoryText(uint64_t Bytes);
