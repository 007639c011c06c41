// Critical sections, interlocked counters, thread-local slots and thread helpers.
#include "Internal.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

std::recursive_mutex* mutexOf(CRITICAL_SECTION* cs) {
  return cs != nullptr ? static_cast<std::recursive_mutex*>(cs->impl) : nullptr;
}

// Slot numbers are the dynamic linker's thread keys; this table tells which are ours and live.
constexpr unsigned kMaxSlots = PTHREAD_KEYS_MAX;
std::atomic<bool> gSlotLive[kMaxSlots];

DWORD allocSlot(void (*destructor)(void*)) {
  pthread_key_t key;
  if (pthread_key_create(&key, destructor) != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return TLS_OUT_OF_INDEXES;
  }
  if (key >= kMaxSlots) {
    pthread_key_delete(key);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return TLS_OUT_OF_INDEXES;
  }
  gSlotLive[key].store(true, std::memory_order_release);
  return static_cast<DWORD>(key);
}

bool slotLive(DWORD index) { return index < kMaxSlots && gSlotLive[index].load(std::memory_order_acquire); }

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* cs) {
  if (cs != nullptr) cs->impl = new std::recursive_mutex();
}

void EnterCriticalSection(CRITICAL_SECTION* cs) {
  if (auto* m = mutexOf(cs)) m->lock();
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs) {
  auto* m = mutexOf(cs);
  return m != nullptr && m->try_lock() ? TRUE : FALSE;
}

void LeaveCriticalSection(CRITICAL_SECTION* cs) {
  if (auto* m = mutexOf(cs)) m->unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION* cs) {
  if (cs == nullptr) return;
  delete mutexOf(cs);
  cs->impl = nullptr;
}

LONG InterlockedIncrement(volatile LONG* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedDecrement(volatile LONG* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedExchange(volatile LONG* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
  // On failure the builtin stores the value found into `comparand`; on success the value
  // found equals `comparand`. Either way it is the initial value.
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}

DWORD TlsAlloc() { return allocSlot(nullptr); }

LPVOID TlsGetValue(DWORD index) {
  if (!slotLive(index)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return pthread_getspecific(static_cast<pthread_key_t>(index));
}

BOOL TlsSetValue(DWORD index, LPVOID value) {
  if (!slotLive(index)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (pthread_setspecific(static_cast<pthread_key_t>(index), value) != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}

BOOL TlsFree(DWORD index) {
  if (!slotLive(index)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  gSlotLive[index].store(false, std::memory_order_release);
  pthread_key_delete(static_cast<pthread_key_t>(index));
  return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

namespace win32 {

DWORD tlsAllocWithDestructor(void (*destructor)(void*)) { return allocSlot(destructor); }

}  // namespace win32
