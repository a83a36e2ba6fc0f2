#include "platform/Parallel.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <system_error>
#include <type_traits>
#include <vector>

namespace {

// A thread that cannot be started, for the reason Failure says.
template <class Failure>
struct TUnstartableThread : std::thread {
    template <class Fn>
    explicit TUnstartableThread(Fn&&)
    {
        if constexpr (std::is_same_v<Failure, std::system_error>)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        else
            throw Failure();
    }
};

template <class Thread>
std::vector<int> IndexesRun(int Count, int Threads, int Failing = -1)
{
    std::vector<int> run;
    try {
        ParallelFor<Thread>(Count, Threads, [&](int i) {
            run.push_back(i);
            if (i == Failing)
                throw std::runtime_error("index " + std::to_string(i));
        });
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), "index " + std::to_string(Failing));
    }
    return run;
}

} // namespace

TEST(ParallelFor, RunsEveryIndexOnTheCallerWhenNoThreadStarts)
{
    const std::vector<int> all{0, 1, 2, 3, 4};
    EXPECT_EQ(IndexesRun<TUnstartableThread<std::system_error>>(5, 4), all);
    EXPECT_EQ(IndexesRun<TUnstartableThread<std::bad_alloc>>(5, 4), all);
}

TEST(ParallelFor, StartsNoIndexAfterAFailure)
{
    EXPECT_EQ(IndexesRun<std::thread>(6, 1, 2), (std::vector<int>{0, 1, 2}));
}
