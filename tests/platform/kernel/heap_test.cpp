// The process heap, the tick count and the module handle.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/internal/faults.h"
#include "platform/win32.h"

namespace {

// Static objects of the program free their heap blocks at process exit,
// after main has returned. A failure aborts the test process.
struct FreedAtExit {
    void* block = nullptr;
    ~FreedAtExit() {
        if (block != nullptr && !HeapFree(GetProcessHeap(), 0, block))
            std::abort();
    }
} freedAtExit;

TEST(ProcessHeap, ZeroesOnRequestFreesOnceAndFailsWithNull) {
    const HANDLE heap = GetProcessHeap();
    freedAtExit.block = HeapAlloc(heap, 0, 32);
    ASSERT_NE(freedAtExit.block, nullptr);
    // A block freed dirty is what the allocator hands out next, so a zeroed
    // request that is not zeroed shows.
    for (int round = 0; round < 4; ++round) {
        auto* block = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 4096));
        ASSERT_NE(block, nullptr);
        for (int i = 0; i < 4096; ++i)
            ASSERT_EQ(block[i], 0) << "round " << round << ", byte " << i;
        std::memset(block, 0xAB, 4096);
        ASSERT_TRUE(HeapFree(heap, 0, block));
        EXPECT_FALSE(HeapFree(heap, 0, block)) << "a second free is refused, not a corruption";
    }
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));

    EXPECT_EQ(HeapAlloc(heap, HEAP_GENERATE_EXCEPTIONS, ~SIZE_T{0}), nullptr) << "nothing thrown";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    int calls = 0;
    platform::SetFaultInjector([&](platform::FaultSite site) {
        return site == platform::FaultSite::HeapAlloc && ++calls == 2;
    });
    void* first = HeapAlloc(heap, 0, 64);
    void* second = HeapAlloc(heap, 0, 64);
    platform::SetFaultInjector(nullptr);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    HeapFree(heap, 0, first);
}

TEST(TickCountAndModule, TheShortCountIsTheLongOnesLowBitsAndMovesOn) {
    // A 32-bit reading taken between two long ones lies between them,
    // counted modulo 2^32, which also holds across the wrap.
    const ULONGLONG before = GetTickCount64();
    const DWORD tick = GetTickCount();
    const ULONGLONG after = GetTickCount64();
    EXPECT_LE(static_cast<DWORD>(tick - static_cast<DWORD>(before)),
              static_cast<DWORD>(after - before));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    DWORD now = tick;
    while (now == tick && std::chrono::steady_clock::now() < deadline)
        now = GetTickCount();
    EXPECT_NE(now, tick);

    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("comctl32.dll"), nullptr) << "nothing else is loaded";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
