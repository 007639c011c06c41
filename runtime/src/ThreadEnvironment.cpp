// The per-thread JNI environment, the library's entry point and the thread-exit hook.
#include "RuntimeInternal.h"

#include "Win32.h"

#include <cstdio>
#include <new>

namespace jni_helpers {
namespace detail {

std::atomic<JavaVM*> gVm{nullptr};
std::atomic<unsigned> gGeneration{1};
std::atomic<bool> gVmGone{false};

namespace {

// The thread-local slot of the environment records; allocated when the library is loaded.
std::atomic<DWORD> gSlot{TLS_OUT_OF_INDEXES};

// The calling thread's record as the slot holds it, kept at hand for the calls of the wrappers.
thread_local ThreadRecord* tRecord __attribute__((tls_model("initial-exec"))) = nullptr;

// Runs when a thread that used the library ends. A thread the library attached to the VM is
// detached, unless the VM it was attached to is gone: DestroyJavaVM waits for every attached
// thread. Threads whose environment came from Java are left alone.
void threadEnds(void* value) {
  ThreadRecord* record = static_cast<ThreadRecord*>(value);
  if (tRecord == record) tRecord = nullptr;
  JavaVM* vm = record->attachedTo;
  if (vm != nullptr && record->env != nullptr && vm == gVm.load() && !gVmGone.load() &&
      record->generation == gGeneration.load()) {
    vm->DetachCurrentThread();
  }
  for (int i = 0; i < record->holderBlockCount; ++i) ::operator delete(record->holderBlocks[i]);
  delete record;
}

ThreadRecord* existingRecord() {
  if (ThreadRecord* record = tRecord) return record;
  const DWORD slot = gSlot.load(std::memory_order_acquire);
  if (slot == TLS_OUT_OF_INDEXES) return nullptr;
  ThreadRecord* record = static_cast<ThreadRecord*>(TlsGetValue(slot));
  tRecord = record;
  return record;
}

// The library's entry point: the slot exists while the library is loaded.
__attribute__((constructor)) void libraryLoaded() {
  const DWORD slot = win32::tlsAllocWithDestructor(threadEnds);
  if (slot == TLS_OUT_OF_INDEXES) {
    std::fprintf(stderr, "KAVRINLIB: no thread-local slot is available; Java cannot be used\n");
    return;
  }
  gSlot.store(slot, std::memory_order_release);
}

__attribute__((destructor)) void libraryUnloaded() {
  const DWORD slot = gSlot.exchange(TLS_OUT_OF_INDEXES);
  if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
  tRecord = nullptr;
}

}  // namespace

ThreadRecord* currentRecord() {
  if (ThreadRecord* record = existingRecord()) return record;
  const DWORD slot = gSlot.load(std::memory_order_acquire);
  if (slot == TLS_OUT_OF_INDEXES) return nullptr;
  ThreadRecord* record = new (std::nothrow) ThreadRecord;
  if (record == nullptr) return nullptr;
  if (!TlsSetValue(slot, record)) {
    delete record;
    return nullptr;
  }
  tRecord = record;
  return record;
}

JNIEnv* currentEnv() {
  ThreadRecord* record = existingRecord();
  if (record == nullptr || record->env == nullptr || record->generation != gGeneration.load(std::memory_order_relaxed))
    return nullptr;
  return record->env;
}

void storeEnv(JNIEnv* env, JavaVM* attachedTo) {
  if (ThreadRecord* record = currentRecord()) {
    record->env = env;
    record->generation = gGeneration.load();
    record->attachedTo = attachedTo;
    record->version = env->GetVersion();
  }
}

jint versionOf(JNIEnv* env) {
  ThreadRecord* record = existingRecord();
  if (record != nullptr && record->env == env && record->version != 0) return record->version;
  return env->GetVersion();
}

void* takeHolderBlock() noexcept {
  ThreadRecord* record = existingRecord();
  if (record == nullptr || record->holderBlockCount == 0) return nullptr;
  return record->holderBlocks[--record->holderBlockCount];
}

bool keepHolderBlock(void* block) noexcept {
  ThreadRecord* record = existingRecord();
  if (record == nullptr || record->holderBlockCount == ThreadRecord::kHolderBlocks) return false;
  record->holderBlocks[record->holderBlockCount++] = block;
  return true;
}

void releaseGlobalRef(jobject ref) noexcept {
  if (ref == nullptr || gVmGone.load()) return;
  if (JNIEnv* env = currentEnv()) {
    env->DeleteGlobalRef(ref);
    return;
  }
  // A thread without an environment of the library's is attached for the deletion only; a
  // thread the application attached itself stays attached.
  if (JVM::attachCurrentThread() != JNI_OK) return;
  ThreadRecord* record = existingRecord();
  if (JNIEnv* env = currentEnv()) env->DeleteGlobalRef(ref);
  if (record != nullptr && record->attachedTo != nullptr)
    JVM::detachCurrentThread();
  else if (record != nullptr)
    record->env = nullptr;  // the thread is left as it was found
}

}  // namespace detail

void JNIEnvHelper::init(JNIEnv* env) {
  if (env == nullptr || detail::currentEnv() != nullptr) return;
  detail::storeEnv(env, nullptr);
}

void JNIEnvHelper::deinit() {
  if (detail::ThreadRecord* record = detail::currentRecord()) {
    record->env = nullptr;
    record->attachedTo = nullptr;
  }
}

bool JNIEnvHelper::isInitialized() { return detail::currentEnv() != nullptr; }

JNIEnv* JNIEnvHelper::getEnv() {
  if (JNIEnv* env = detail::currentEnv()) return env;
  JVM::attachCurrentThread();
  if (JNIEnv* env = detail::currentEnv()) return env;
  throw EnvironmentNotInitializedException("Environment not initialized");
}

}  // namespace jni_helpers
