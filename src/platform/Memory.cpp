#include "platform/Memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace {

uint64_t UnswappedMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t kilobytes = 0;
    std::string unit;
    while (meminfo >> key >> kilobytes >> unit)
        if (key == "MemAvailable:")
            return kilobytes * 1024;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : UINT64_MAX;
}

// The room below the process's address-space limit: with a limit set,
// memory runs out there long before the machine's does.
uint64_t AddressSpaceLeft()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return UINT64_MAX;
    const uint64_t used = AddressSpaceInUse();
    return limit.rlim_cur > used ? uint64_t(limit.rlim_cur) - used : 0;
}

} // namespace

uint64_t AddressSpaceInUse()
{
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return statm >> pages && pageSize > 0 ? pages * uint64_t(pageSize) : 0;
}

uint64_t AvailableMemory()
{
    return std::min(UnswappedMemory(), AddressSpaceLeft());
}

QString MemoryText(uint64_t Bytes)
{
    if (Bytes >= 1000000000)
        return QString::number(double(Bytes) / 1e9, 'f', 1) + QStringLiteral(" GB");
    if (Bytes >= 1000000)
        return QString::number(double(Bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
    if (Bytes >= 1000)
        return QString::number(double(Bytes) / 1e3, 'f', 1) + QStringLiteral(" KB");
    return QString::number(Bytes) + QStringLiteral(" bytes");
}
