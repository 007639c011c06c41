// JNIInterface: a C++ object as the peer of a Java object of a generated class whose methods
// forward to native methods. The class is found, or defined from the bytes the generated C++
// class carries; its natives are registered while at least one C++ object uses it.
#include "RuntimeInternal.h"

#include "JNIInteface.h"

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

// Points the Java object's "peer" field at `peer`; false when the field cannot be set (the
// caller has put any pending exception aside and clears what this leaves).
bool pointPeerAt(JNIEnv* env, jobject object, jclass clazz, const void* peer) {
    if (object == nullptr || clazz == nullptr)
        return false;
    jfieldID field = peerField(env, clazz);
    if (field == nullptr)
        return false;
    env->SetLongField(object, field, addressOf(peer));
    return !env->ExceptionCheck();
}

// A new Java object of `clazz`, made with its constructor without arguments, whose "peer"
// field points at `peer`: a local reference, or null when none can be made (the caller has put
// any pending exception aside and clears what this leaves).
jobject newPeerObject(JNIEnv* env, jclass clazz, const void* peer) {
    jmethodID construct = env->GetMethodID(clazz, "<init>", "()V");
    if (construct == nullptr || env->ExceptionCheck())
        return nullptr;
    LocalRef object(env->NewObject(clazz, construct));
    if (!object || env->ExceptionCheck() || !pointPeerAt(env, object, clazz, peer))
        return nullptr;
    return object.release();
}

// Cuts the Java object `object` (of `clazz`) off from the C++ object `peer`: its "peer" field
// is set to 0 when it still holds `peer`, so that a Java object that outlives its C++ object
// never calls into freed memory (the generated native stubs check for 0). Never throws; any
// pending exception is kept.
void detachPeer(jobject object, jclass clazz, const void* peer) noexcept {
    if (object == nullptr || clazz == nullptr || detail::gVmGone.load())
        return;
    try {
        JNIEnv* env = JNIEnvHelper::getEnv();
        KeepPending keep(env);
        jfieldID field = peerField(env, clazz);
        if (field != nullptr && env->GetLongField(object, field) == addressOf(peer))
            env->SetLongField(object, field, 0);
    } catch (...) {
        // No environment: nothing can call the object either.
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
    takeOwnPeer();
}

JNIInterface& JNIInterface::operator=(const JNIInterface& other) {
    if (this == &other)
        return *this;
    // The new class part is taken before the old one goes, so that a class both use keeps
    // its natives.
    jclass taken = takeClass(other.m_clazz, other.m_className);
    // The Java object this one had no longer reaches it.
    detachPeer(*this, m_clazz, this);
    releaseClass(m_clazz, m_className);
    m_clazz = taken;
    m_className = other.m_className;
    m_ctorID = other.m_ctorID;
    m_delegate = other.m_delegate;
    JObject_t::operator=(other);
    takeOwnPeer();
    return *this;
}

void JNIInterface::takeOwnPeer() noexcept {
    if (m_clazz == nullptr || isNullObject())
        return;
    try {
        JNIEnv* env = JNIEnvHelper::getEnv();
        KeepPending keep(env);
        LocalRef own(newPeerObject(env, m_clazz, this));
        env->ExceptionClear();
        if (own) {
            Assign(own.get());
        } else {
            // A class without a constructor to call: the shared Java object calls this object.
            pointPeerAt(env, *this, m_clazz, this);
        }
    } catch (...) {
    }
}

JNIInterface::~JNIInterface() {
    detachPeer(*this, m_clazz, this);
    releaseClass(m_clazz, m_className);
}

void JNIInterface::init(CSmartString className, const JNINativeMethod* methods, int methodCount,
                        const signed char* classBytes, int byteCount) {
    std::lock_guard<std::recursive_mutex> lock(instanceLock());
    try {
        detachPeer(*this, m_clazz, this);
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
        JNIEnvHelper::RegisterNatives(m_clazz, methods, methodCount);
        LocalRef object(JNIEnvHelper::NewObject(m_clazz, m_ctorID));
        JNIEnvHelper::SetLongField(object, peer, addressOf(this));
        Assign(object.get());
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
        detachPeer(*this, m_clazz, this);
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
            JNIEnvHelper::RegisterNatives(m_clazz, methods, methodCount);

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
    }
    return static_cast<jclass>(defined.release());
}

}  // namespace jni_helpers
