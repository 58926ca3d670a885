// The process heap, the tick count and the module handle.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
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

TEST(ProcessHeap, ServesStaticObjectsAtExit) {
    freedAtExit.block = HeapAlloc(GetProcessHeap(), 0, 32);
    EXPECT_NE(freedAtExit.block, nullptr);
}

TEST(ProcessHeap, AllocatesZeroesOnRequestAndFreesOnce) {
    const HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(GetProcessHeap(), heap);

    auto* zeroed = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 4096));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(zeroed[i], 0) << i;
    std::memset(zeroed, 0xAB, 4096);
    EXPECT_TRUE(HeapFree(heap, 0, zeroed));
    EXPECT_FALSE(HeapFree(heap, 0, zeroed)) << "a second free is refused, not a corruption";

    void* empty = HeapAlloc(heap, 0, 0);
    EXPECT_NE(empty, nullptr) << "a zero-byte block is a block";
    EXPECT_TRUE(HeapFree(heap, 0, empty));

    EXPECT_TRUE(HeapFree(heap, 0, nullptr));
    int local = 0;
    EXPECT_FALSE(HeapFree(heap, 0, &local));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(ProcessHeap, FailsWithNullForAbsurdSizesOtherHeapsAndInjectedFailures) {
    const HANDLE heap = GetProcessHeap();
    EXPECT_EQ(HeapAlloc(heap, 0, ~SIZE_T{0}), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(HeapAlloc(heap, HEAP_GENERATE_EXCEPTIONS, ~SIZE_T{0} / 2), nullptr)
        << "nothing is thrown";
    EXPECT_EQ(HeapAlloc(nullptr, 0, 16), nullptr);
    EXPECT_EQ(HeapAlloc(INVALID_HANDLE_VALUE, 0, 16), nullptr);
    EXPECT_FALSE(HeapFree(nullptr, 0, nullptr));

    int calls = 0;
    platform::SetFaultInjector([&](platform::FaultSite site) {
        return site == platform::FaultSite::HeapAlloc &&
               ++calls == 2;  // the second allocation fails
    });
    void* first = HeapAlloc(heap, 0, 64);
    void* second = HeapAlloc(heap, 0, 64);
    void* third = HeapAlloc(heap, 0, 64);
    platform::SetFaultInjector(nullptr);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    HeapFree(heap, 0, first);
    HeapFree(heap, 0, third);
}

TEST(TickCount, IsTheLow32BitsOfTheLongCountAndMovesOn) {
    // A 32-bit reading taken between two long ones lies between them,
    // counted modulo 2^32, which also holds across the wrap.
    const ULONGLONG before = GetTickCount64();
    const DWORD tick = GetTickCount();
    const ULONGLONG after = GetTickCount64();
    EXPECT_LE(static_cast<DWORD>(tick - static_cast<DWORD>(before)),
              static_cast<DWORD>(after - before));
    // Wait, bounded, for the count to move on.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    DWORD now = tick;
    while (now == tick && std::chrono::steady_clock::now() < deadline)
        now = GetTickCount();
    EXPECT_NE(now, tick);
}

TEST(ModuleHandle, IsTheProgramsInstanceAndNothingElseIsLoaded) {
    const HMODULE instance = GetModuleHandleA(nullptr);
    EXPECT_NE(instance, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), instance);
    EXPECT_EQ(GetModuleHandleA("comctl32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
