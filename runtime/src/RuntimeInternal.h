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

}  // namespace detail
}  // namespace jni_helpers
