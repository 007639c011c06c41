// Shared inside KAVRINLIB: the per-thread environment records, the VM state, text conversions.
#pragma once

#include "JNIHelpers.h"

#include <atomic>
#include <string>
#include <vector>

namespace jni_helpers {
namespace detail {

// One per thread that ever used the library; lives until the thread ends.
struct ThreadRecord {
  JNIEnv* env = nullptr;
  // The VM life the environment belongs to; a record of an earlier life holds no environment.
  unsigned generation = 0;
  // Set when the library attached this thread itself (or created the VM on it): the thread is
  // detached from this VM when it ends.
  JavaVM* attachedTo = nullptr;
  // The JNI version of the environment, asked once: GetVersion may not be called while an
  // exception is pending or a critical region is open.
  jint version = 0;
  // Freed blocks of the size of a reference holder, for the thread's next holders; freed when
  // the thread ends.
  static const int kHolderBlocks = 16;
  void* holderBlocks[kHolderBlocks];
  int holderBlockCount = 0;
};

// The VM the library works with (null until loaded or found), and its life number: each
// unload or destroyJavaVM starts a new life, so environments stored before are not used again.
extern std::atomic<JavaVM*> gVm;
extern std::atomic<unsigned> gGeneration;
// Set once the VM held has been destroyed; no thread is attached to it again.
extern std::atomic<bool> gVmGone;

// The calling thread's record (made on first use); null when the slot is not available.
ThreadRecord* currentRecord();
// The calling thread's environment of the current VM life, or null.
JNIEnv* currentEnv();
// Stores the environment of the calling thread; `attachedTo` marks a thread to detach at its end.
void storeEnv(JNIEnv* env, JavaVM* attachedTo);
// The JNI version of `env` (the calling thread's environment).
jint versionOf(JNIEnv* env);

// A freed holder block the calling thread kept, or null; keeps a freed block for the calling
// thread (false when it keeps no more). Blocks are all of the size of a reference holder.
void* takeHolderBlock() noexcept;
bool keepHolderBlock(void* block) noexcept;

// Registers `count` native methods of `clazz` as JNIEnvHelper::RegisterNatives does (failures
// thrown as JVMException). Those of a class of the boot or the platform loader are registered
// from a class the library defines into that loader, so that the VM does not warn about them.
void registerNatives(jclass clazz, const JNINativeMethod* methods, jint count);

// Deletes a global reference without raising: not at all when the VM is gone; on a thread
// without an environment the thread is attached for the moment of the deletion.
void releaseGlobalRef(jobject ref) noexcept;

// Throws the pending Java exception `thrown` (a local reference, deleted here) as JVMException.
[[noreturn]] void raisePending(JNIEnv* env, jthrowable thrown, int line, const CSmartString& file);

// UTF-8 (invalid sequences become U+FFFD) to UTF-16 and back (unpaired surrogates become U+FFFD).
std::vector<jchar> utf8ToUtf16(const char* text, std::size_t length);
std::string utf16ToUtf8(const jchar* text, std::size_t length);
// UTF-16 to the modified UTF-8 that JNI takes for names, signatures and messages.
std::string utf16ToModifiedUtf8(const jchar* text, std::size_t length);

// The modified UTF-8 form of a string for a JNI call (empty text for a null string).
std::string jniText(const CSmartString& text);

// The UTF-16 units of `string`, a java.lang.String (not null), read inside a critical region.
CSmartString stringUnits(jstring string);

// A local reference of the calling thread, deleted when the holder goes (also while a Java
// exception is pending, as JNI allows).
class LocalRef {
 public:
  LocalRef() = default;
  explicit LocalRef(jobject ref) : m_ref(ref) {}
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  ~LocalRef() { reset(); }

  jobject get() const { return m_ref; }
  operator jobject() const { return m_ref; }
  explicit operator bool() const { return m_ref != nullptr; }
  void reset(jobject ref = nullptr) noexcept {
    if (m_ref != nullptr && m_ref != ref) {
      if (JNIEnv* env = currentEnv()) env->DeleteLocalRef(m_ref);
    }
    m_ref = ref;
  }
  jobject release() {
    jobject ref = m_ref;
    m_ref = nullptr;
    return ref;
  }

 private:
  jobject m_ref = nullptr;
};

// A Java exception the caller left pending is put aside while the holder lives, so that JNI
// calls can be made; when the holder goes, anything those calls left pending is cleared and the
// caller's exception is pending again.
class KeepPending {
 public:
  explicit KeepPending(JNIEnv* env) : m_env(env), m_saved(env->ExceptionOccurred()) {
    if (m_saved != nullptr) m_env->ExceptionClear();
  }
  KeepPending(const KeepPending&) = delete;
  KeepPending& operator=(const KeepPending&) = delete;
  ~KeepPending() {
    m_env->ExceptionClear();
    if (m_saved != nullptr) {
      m_env->Throw(m_saved);
      m_env->DeleteLocalRef(m_saved);
    }
  }

 private:
  JNIEnv* m_env;
  jthrowable m_saved;
};

// What the header of a class file names: the class itself, its super class and its interfaces
// (slash form, UTF-16). An empty super class name stands for none (java/lang/Object).
struct ClassFileBases {
  std::u16string thisClass;
  std::u16string superClass;
  std::vector<std::u16string> interfaces;
};

// Reads the header of a class file up to its interfaces. False, with the reason in `error`,
// when the bytes are not a well-formed class file that far.
bool readClassFileBases(const unsigned char* bytes, std::size_t size, ClassFileBases& bases, std::string& error);

// UTF-16 text as a CSmartString.
CSmartString toSmartString(const std::u16string& text);

// Forgets the classes the library defined (their references died with the VM).
void forgetDefinedClasses() noexcept;

// The classes proxies look up may now be others: cached lookups are made again.
void lookupsChanged() noexcept;
// Lets the classes held for proxies go (deleted while the VM lives, forgotten once it is gone).
void forgetHeldClasses() noexcept;

}  // namespace detail
}  // namespace jni_helpers
