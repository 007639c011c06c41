// JNIInterface: a C++ object as the peer of a Java object of a generated class whose methods
// forward to native methods. The class is found, or defined from the bytes the generated C++
// class carries; its natives are registered while at least one C++ object uses it.
#include "RuntimeInternal.h"

#include "JNIInteface.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace jni_helpers {

namespace {

using detail::KeepPending;
using detail::LocalRef;

// One lock for the counts, the classes defined and every set-up. Recursive: the Java
// constructor of a delegator may make another JNIInterface on the same thread.
std::recursive_mutex& instanceLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

// How many live objects use each class (by name); a name not there counts as 0.
std::map<std::string, long>& instanceCounts() {
    static std::map<std::string, long>* counts = new std::map<std::string, long>;
    return *counts;
}

// The classes this library defined, by name (global references). A class defined into a class
// loader of its own cannot be found with FindClass, and cannot be defined twice.
std::map<std::string, jclass>& definedClasses() {
    static std::map<std::string, jclass>* classes = new std::map<std::string, jclass>;
    return *classes;
}

const char kCreating[] = "Creating Interface Implementation:\r\n";

// Rethrows the exception being handled as a failure to set an object up.
[[noreturn]] void rethrowAsCreationFailure() {
    try {
        throw;
    } catch (const JVMException& e) {
        throw JVMException(CSmartString(kCreating) + e.getMessage());
    } catch (...) {
        throw JVMException("JNIInterface: System Error");
    }
}

// A new global reference of the class `found` (`name`, whose key is `key`) for one more user,
// counted. Throws when there is no class.
jclass countedClass(jobject found, const std::string& key, const CSmartString& name) {
    if (found == nullptr)
        throw JVMException(CSmartString("The class ") + name + CSmartString(" was neither found nor defined"));
    jclass held = static_cast<jclass>(JNIEnvHelper::NewGlobalRef(found));
    ++instanceCounts()[key];
    return held;
}

// The class `key` as the library defined it before, or as the VM finds it; a local reference
// or null (nothing left pending).
jclass knownClass(const std::string& key, const CSmartString& name) {
    const auto defined = definedClasses().find(key);
    if (defined != definedClasses().end())
        return static_cast<jclass>(JNIEnvHelper::NewLocalRef(defined->second));
    return JNIEnvHelper::FindClass(name);
}

// A base class or interface named in generated class bytes, found as proxies find their
// classes: through the library's loader first, then the VM's.
jclass findBase(const CSmartString& name) {
    if (jclass found = _simple_class_loader::getClass(name))
        return found;
    return JNIEnvHelper::FindClass(name);
}

// The class loader to define the class of `bytes` into: the loader of its super class or of
// an interface, whichever is not a boot class, the super class first (the generated class
// must see what it extends or implements). Null for the boot loader: classes under java/, and
// classes whose bases are all boot classes or cannot be found. A local reference.
jobject loaderFor(const std::string& key, const signed char* bytes, int byteCount) {
    if (key.compare(0, 5, "java/") == 0 || bytes == nullptr || byteCount <= 0)
        return nullptr;
    detail::ClassFileBases bases;
    std::string error;
    if (!detail::readClassFileBases(reinterpret_cast<const unsigned char*>(bytes), static_cast<std::size_t>(byteCount),
                                    bases, error))
        return nullptr;  // DefineClass reports what is wrong with the bytes
    std::vector<std::u16string> candidates;
    if (!bases.superClass.empty())
        candidates.push_back(bases.superClass);
    candidates.insert(candidates.end(), bases.interfaces.begin(), bases.interfaces.end());

    LocalRef classClass(JNIEnvHelper::FindClass("java/lang/Class"));
    if (!classClass)
        return nullptr;
    const jmethodID getClassLoader =
        JNIEnvHelper::GetMethodID(static_cast<jclass>(classClass.get()), "getClassLoader", "()Ljava/lang/ClassLoader;");
    for (const std::u16string& candidate : candidates) {
        LocalRef base(findBase(detail::toSmartString(candidate)));
        if (!base)
            continue;
        if (jobject loader = JNIEnvHelper::CallObjectMethod(base, getClassLoader))
            return loader;
    }
    return nullptr;
}

// Takes a new global reference of `clazz` for one more user of the class `name`. Never throws:
// null when there is no class or no reference could be made.
jclass takeClass(jclass clazz, const CSmartString& name) noexcept {
    if (clazz == nullptr)
        return nullptr;
    try {
        std::lock_guard<std::recursive_mutex> lock(instanceLock());
        JNIEnv* env = JNIEnvHelper::getEnv();
        jclass taken;
        {
            KeepPending keep(env);
            taken = static_cast<jclass>(env->NewGlobalRef(clazz));
        }
        if (taken != nullptr)
            ++instanceCounts()[detail::jniText(name)];
        return taken;
    } catch (...) {
        return nullptr;
    }
}

// Gives up one user's global reference of the class `name`; the last user unregisters the
// class's natives. Never throws; `clazz` is null afterwards.
void releaseClass(jclass& clazz, const CSmartString& name) noexcept {
    if (clazz == nullptr)
        return;
    try {
        std::lock_guard<std::recursive_mutex> lock(instanceLock());
        long& count = instanceCounts()[detail::jniText(name)];
        const bool last = count == 1;
        if (count > 0)
            --count;
        if (!detail::gVmGone.load()) {
            // A thread without an environment is attached and stays attached until it ends.
            JNIEnv* env = JNIEnvHelper::getEnv();
            if (last) {
                KeepPending keep(env);
                env->UnregisterNatives(clazz);
            }
            env->DeleteGlobalRef(clazz);
        }
    } catch (...) {
        // No environment: the reference is forgotten.
    }
    clazz = nullptr;
}

// The long field "peer" of `clazz`; null when there is none (the caller has put any pending
// exception aside and clears what this leaves).
jfieldID peerField(JNIEnv* env, jclass clazz) {
    jfieldID field = env->GetFieldID(clazz, "peer", "J");
    return env->ExceptionCheck() ? nullptr : field;
}

jlong addressOf(const void* peer) { return static_cast<jlong>(reinterpret_cast<std::intptr_t>(peer)); }

// The C++ objects that share each Java object (by the global reference they share), in the order
// in which they took its calls: the last one receives them. A Java object whose list empties is
// cut off: its "peer" field goes back to 0, so that it never calls into freed memory (the
// generated native stubs check for 0).
std::map<jobject, std::vector<const void*>>& sharers() {
    static std::map<jobject, std::vector<const void*>>* lists = new std::map<jobject, std::vector<const void*>>;
    return *lists;
}

// The Java object each C++ object shares.
std::map<const void*, jobject>& sharedObjects() {
    static std::map<const void*, jobject>* objects = new std::map<const void*, jobject>;
    return *objects;
}

// Points the "peer" field of `object` (of `clazz`) at `peer` (0 for none). Never throws; any
// pending exception is kept.
void pointPeerAt(jobject object, jclass clazz, const void* peer) noexcept {
    if (object == nullptr || clazz == nullptr || detail::gVmGone.load())
        return;
    try {
        JNIEnv* env = JNIEnvHelper::getEnv();
        KeepPending keep(env);
        if (jfieldID field = peerField(env, clazz))
            env->SetLongField(object, field, addressOf(peer));
    } catch (...) {
        // No environment: nothing can call the object either.
    }
}

// `peer` shares the Java object `object` (of `clazz`) from now on. With `takeCalls` it receives
// the object's calls; otherwise it receives them once those that joined before it have gone.
// Never throws.
void joinSharers(const void* peer, jobject object, jclass clazz, bool takeCalls) noexcept {
    if (object == nullptr || clazz == nullptr)
        return;
    try {
        std::lock_guard<std::recursive_mutex> lock(instanceLock());
        std::vector<const void*>& list = sharers()[object];
        if (takeCalls)
            list.push_back(peer);
        else
            list.insert(list.begin(), peer);
        sharedObjects()[peer] = object;
        pointPeerAt(object, clazz, list.back());
    } catch (...) {
    }
}

// `peer` no longer shares its Java object (of `clazz`): the object's calls go to the sharer that
// took them before, or nowhere when none is left. Never throws.
void leaveSharers(const void* peer, jclass clazz) noexcept {
    try {
        std::lock_guard<std::recursive_mutex> lock(instanceLock());
        const auto shared = sharedObjects().find(peer);
        if (shared == sharedObjects().end())
            return;
        const jobject object = shared->second;
        sharedObjects().erase(shared);
        const auto entry = sharers().find(object);
        if (entry == sharers().end())
            return;
        std::vector<const void*>& list = entry->second;
        const auto position = std::find(list.begin(), list.end(), peer);
        if (position == list.end())
            return;
        const bool receivedCalls = position + 1 == list.end();
        list.erase(position);
        const void* next = list.empty() ? nullptr : list.back();
        if (list.empty())
            sharers().erase(entry);
        if (receivedCalls)
            pointPeerAt(object, clazz, next);
    } catch (...) {
    }
}

}  // namespace

namespace detail {

void forgetDefinedClasses() noexcept {
    try {
        std::lock_guard<std::recursive_mutex> lock(instanceLock());
        for (auto& entry : definedClasses())
            releaseGlobalRef(entry.second);
        definedClasses().clear();
    } catch (...) {
    }
}

}  // namespace detail

JNIInterface::JNIInterface() : m_clazz(nullptr), m_ctorID(nullptr) {}

JNIInterface::JNIInterface(const JNIInterface& other)
    : JObject_t(other), m_clazz(nullptr), m_ctorID(other.m_ctorID), m_delegate(other.m_delegate) {
    try {
        m_className = other.m_className;
    } catch (...) {
    }
    m_clazz = takeClass(other.m_clazz, other.m_className);
    if (m_clazz != nullptr)
        joinSharers(this, *this, m_clazz, true);
}

JNIInterface& JNIInterface::operator=(const JNIInterface& other) {
    if (this == &other)
        return *this;
    // The new class part is taken before the old one goes, so that a class both use keeps
    // its natives.
    jclass taken = takeClass(other.m_clazz, other.m_className);
    leaveSharers(this, m_clazz);
    releaseClass(m_clazz, m_className);
    m_clazz = taken;
    m_className = other.m_className;
    m_ctorID = other.m_ctorID;
    m_delegate = other.m_delegate;
    JObject_t::operator=(other);
    // The object it now shares keeps calling the object that receives its calls.
    if (m_clazz != nullptr)
        joinSharers(this, *this, m_clazz, false);
    return *this;
}

JNIInterface::~JNIInterface() {
    leaveSharers(this, m_clazz);
    releaseClass(m_clazz, m_className);
}

void JNIInterface::init(CSmartString className, const JNINativeMethod* methods, int methodCount,
                        const signed char* classBytes, int byteCount) {
    std::lock_guard<std::recursive_mutex> lock(instanceLock());
    try {
        leaveSharers(this, m_clazz);
        releaseClass(m_clazz, m_className);
        m_className = className;
        const std::string key = detail::jniText(className);
        LocalRef found(knownClass(key, className));
        if (!found)
            found.reset(getClass(className, classBytes, byteCount));
        JNIEnvHelper::exceptionCheck(0, CSmartString());
        m_clazz = countedClass(found, key, className);

        m_ctorID = JNIEnvHelper::GetMethodID(m_clazz, "<init>", "()V");
        const jfieldID peer = JNIEnvHelper::GetFieldID(m_clazz, "peer", "J");
        detail::registerNatives(m_clazz, methods, methodCount);
        LocalRef object(JNIEnvHelper::NewObject(m_clazz, m_ctorID));
        JNIEnvHelper::SetLongField(object, peer, addressOf(this));
        Assign(object.get());
        joinSharers(this, *this, m_clazz, true);
    } catch (...) {
        rethrowAsCreationFailure();
    }
}

void JNIInterface::init(JObject_t delegate, CSmartString className, const JNINativeMethod* methods,
                        int methodCount, const signed char* classBytes, int byteCount,
                        CSmartString ctorSignature, jvalue* ctorArgs) {
    std::lock_guard<std::recursive_mutex> lock(instanceLock());
    try {
        JNIEnvHelper::getEnv();  // a thread without an environment is attached
        if (delegate.isNullObject())
            return;
        leaveSharers(this, m_clazz);
        releaseClass(m_clazz, m_className);
        m_delegate = delegate;
        m_className = className;
        const std::string key = detail::jniText(className);
        LocalRef found(knownClass(key, className));
        // Natives stay registered while another object uses the class.
        const auto counted = instanceCounts().find(key);
        bool registered = found && counted != instanceCounts().end() && counted->second != 0;
        if (!found) {
            found.reset(getClass(className, classBytes, byteCount));
            JNIEnvHelper::exceptionCheck(0, CSmartString());
        }
        m_clazz = countedClass(found, key, className);
        if (!registered)
            detail::registerNatives(m_clazz, methods, methodCount);

        LocalRef object;
        if (ctorArgs != nullptr) {
            m_ctorID = JNIEnvHelper::GetMethodID(m_clazz, "<init>", ctorSignature);
            object.reset(JNIEnvHelper::NewObjectA(m_clazz, m_ctorID, ctorArgs));
        } else {
            m_ctorID = JNIEnvHelper::GetMethodID(m_clazz, "<init>", "()V");
            object.reset(JNIEnvHelper::NewObject(m_clazz, m_ctorID));
        }
        const jfieldID peer = JNIEnvHelper::GetFieldID(m_clazz, "peer", "J");
        JNIEnvHelper::SetLongField(object, peer, addressOf(this));
        Assign(object.get());
        joinSharers(this, *this, m_clazz, true);
    } catch (...) {
        rethrowAsCreationFailure();
    }
}

JObject_t JNIInterface::getDelegator() { return m_delegate; }

jclass JNIInterface::getClass(CSmartString name, const signed char* classBytes, int byteCount) {
    std::lock_guard<std::recursive_mutex> lock(instanceLock());
    const std::string key = detail::jniText(name);
    LocalRef loader(loaderFor(key, classBytes, byteCount));
    LocalRef defined(JNIEnvHelper::DefineClass(name, loader, classBytes, byteCount));
    if (defined) {
        jclass kept = static_cast<jclass>(JNIEnvHelper::NewGlobalRef(defined));
        if (kept != nullptr)
            definedClasses()[key] = kept;
        // Proxies of the class may find it now.
        detail::lookupsChanged();
    }
    return static_cast<jclass>(defined.release());
}

}  // namespace jni_helpers
