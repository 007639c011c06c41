// Critical sections, interlocked counters, thread-local slots and the per-thread last error.
#include "Win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(Threads, CriticalSectionIsRecursiveAndExcludesOthers) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // the owner enters again without blocking
  ASSERT_TRUE(TryEnterCriticalSection(&cs));

  BOOL otherGot = TRUE;
  std::thread([&] { otherGot = TryEnterCriticalSection(&cs); }).join();
  EXPECT_FALSE(otherGot);

  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  std::thread([&] { otherGot = TryEnterCriticalSection(&cs); }).join();
  EXPECT_FALSE(otherGot);  // still held once
  LeaveCriticalSection(&cs);
  std::thread([&] {
    otherGot = TryEnterCriticalSection(&cs);
    if (otherGot) LeaveCriticalSection(&cs);
  }).join();
  EXPECT_TRUE(otherGot);
  DeleteCriticalSection(&cs);
  EXPECT_EQ(cs.impl, nullptr);
}

TEST(Threads, CriticalSectionGuardsSharedCounter) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        EnterCriticalSection(&cs);
        ++counter;
        LeaveCriticalSection(&cs);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 40000);
  DeleteCriticalSection(&cs);
}

TEST(Threads, InterlockedUnderThreads) {
  volatile LONG count = 0;
  volatile LONG total = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        InterlockedIncrement(&count);
        InterlockedIncrement(&total);
        InterlockedDecrement(&total);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(count, 160000);
  EXPECT_EQ(total, 0);

  volatile LONG v = 5;
  EXPECT_EQ(InterlockedIncrement(&v), 6);
  EXPECT_EQ(InterlockedDecrement(&v), 5);
  EXPECT_EQ(InterlockedExchange(&v, 9), 5);
  EXPECT_EQ(v, 9);
  EXPECT_EQ(InterlockedCompareExchange(&v, 1, 3), 9);  // no match: unchanged
  EXPECT_EQ(v, 9);
  EXPECT_EQ(InterlockedCompareExchange(&v, 1, 9), 9);
  EXPECT_EQ(v, 1);
}

TEST(Threads, SlotsHoldOneValuePerThread) {
  const DWORD slot = TlsAlloc();
  ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
  int mine = 1;
  int theirs = 2;
  ASSERT_TRUE(TlsSetValue(slot, &mine));
  void* seenBefore = &mine;
  void* seenAfter = nullptr;
  std::thread([&] {
    seenBefore = TlsGetValue(slot);  // a new thread starts empty
    TlsSetValue(slot, &theirs);
    seenAfter = TlsGetValue(slot);
  }).join();
  EXPECT_EQ(seenBefore, nullptr);
  EXPECT_EQ(seenAfter, &theirs);
  EXPECT_EQ(TlsGetValue(slot), &mine);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(TlsFree(slot));
  EXPECT_FALSE(TlsFree(slot));
  EXPECT_EQ(TlsGetValue(slot), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(TlsSetValue(TLS_OUT_OF_INDEXES, &mine));
}

namespace {
std::atomic<int> gDestroyed{0};
std::atomic<void*> gDestroyedValue{nullptr};
void onThreadExit(void* value) {
  gDestroyed.fetch_add(1);
  gDestroyedValue.store(value);
}
}  // namespace

TEST(Threads, SlotDestructorRunsAtThreadExitWithLastValue) {
  const DWORD slot = win32::tlsAllocWithDestructor(&onThreadExit);
  ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
  int first = 1;
  int last = 2;
  gDestroyed = 0;
  std::thread([&] {
    TlsSetValue(slot, &first);
    TlsSetValue(slot, &last);
  }).join();
  EXPECT_EQ(gDestroyed.load(), 1);
  EXPECT_EQ(gDestroyedValue.load(), &last);

  // A thread that left its slot empty is not reported.
  std::thread([&] { TlsSetValue(slot, nullptr); }).join();
  EXPECT_EQ(gDestroyed.load(), 1);
  EXPECT_TRUE(TlsFree(slot));
}

TEST(Threads, LastErrorAndThreadIdArePerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD otherBefore = 99;
  DWORD otherId = 0;
  std::thread([&] {
    otherBefore = GetLastError();
    SetLastError(ERROR_BADDB);
    otherId = GetCurrentThreadId();
  }).join();
  EXPECT_EQ(otherBefore, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_NE(otherId, GetCurrentThreadId());
  EXPECT_NE(GetCurrentThreadId(), 0u);
}
