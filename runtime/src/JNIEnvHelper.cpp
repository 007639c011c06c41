// JNIEnvHelper: the checked JNI family and the exception check that renders Java stack traces.
#include "RuntimeInternal.h"

#include <string>

namespace jni_helpers {

namespace detail {

namespace {

// How deep the calling thread is in rendering stack traces: a failure while rendering is
// rendered once more; a failure while rendering that one gets a fixed text.
thread_local int tRenderDepth = 0;

const char kUnreadableTrace[] = "A Java exception was thrown; its stack trace could not be read";

// Local references made while rendering; all of them are deleted at the end.
class LocalRefs {
public:
    explicit LocalRefs(JNIEnv* env) : m_env(env) {}
    LocalRefs(const LocalRefs&) = delete;
    LocalRefs& operator=(const LocalRefs&) = delete;
    ~LocalRefs() {
        for (int i = m_count - 1; i >= 0; --i)
            m_env->DeleteLocalRef(m_refs[i]);
    }
    template <typename T>
    T add(T ref) {
        if (ref != nullptr)
            m_refs[m_count++] = ref;
        return ref;
    }

private:
    JNIEnv* m_env;
    jobject m_refs[12];
    int m_count = 0;
};

class DepthGuard {
public:
    DepthGuard() { ++tRenderDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    ~DepthGuard() { --tRenderDepth; }
};

// The stack trace of `thrown` as printStackTrace writes it.
CSmartString renderTrace(jthrowable thrown, LocalRefs& refs) {
    jclass throwableClass = refs.add(JNIEnvHelper::GetObjectClass(thrown));
    jclass writerClass = refs.add(JNIEnvHelper::FindClass("java/io/StringWriter"));
    jclass printerClass = refs.add(JNIEnvHelper::FindClass("java/io/PrintWriter"));
    jclass bufferClass = refs.add(JNIEnvHelper::FindClass("java/lang/StringBuffer"));
    jmethodID writerInit = JNIEnvHelper::GetMethodID(writerClass, "<init>", "()V");
    jmethodID printerInit = JNIEnvHelper::GetMethodID(printerClass, "<init>", "(Ljava/io/Writer;)V");
    jmethodID printStackTrace =
        JNIEnvHelper::GetMethodID(throwableClass, "printStackTrace", "(Ljava/io/PrintWriter;)V");
    jmethodID getBuffer = JNIEnvHelper::GetMethodID(writerClass, "getBuffer", "()Ljava/lang/StringBuffer;");
    jmethodID toString = JNIEnvHelper::GetMethodID(bufferClass, "toString", "()Ljava/lang/String;");
    jobject writer = refs.add(JNIEnvHelper::NewObject(writerClass, writerInit));
    jobject printer = refs.add(JNIEnvHelper::NewObject(printerClass, printerInit, writer));
    JNIEnvHelper::CallVoidMethod(thrown, printStackTrace, printer);
    jobject buffer = refs.add(JNIEnvHelper::CallObjectMethod(writer, getBuffer));
    jstring text = refs.add(JNIEnvHelper::CallStringMethod(buffer, toString));
    if (text == nullptr)
        return CSmartString("");
    const jsize length = JNIEnvHelper::GetStringLength(text);
    const jchar* chars = JNIEnvHelper::GetStringCritical(text, nullptr);
    CSmartString trace;
    try {
        trace = CSmartString(chars, static_cast<unsigned int>(length));
    } catch (...) {
        JNIEnvHelper::ReleaseStringCritical(text, chars);
        throw;
    }
    JNIEnvHelper::ReleaseStringCritical(text, chars);
    return trace;
}

}  // namespace

void raisePending(JNIEnv* env, jthrowable thrown, int line, const CSmartString& file) {
    env->ExceptionClear();
    LocalRefs refs(env);
    refs.add(thrown);
    // The exception keeps the Java object, for Java code that the failure reaches again; without a
    // reference it still carries the text.
    JObject_t held;
    try {
        held = JObject_t(thrown);
    } catch (const BaseException&) {
        env->ExceptionClear();
    }
    if (tRenderDepth >= 2)
        throw JVMException(kUnreadableTrace, held);
    CSmartString trace;
    {
        DepthGuard depth;
        trace = renderTrace(thrown, refs);
    }
    if (line == 0)
        throw JVMException(trace, held);
    CSmartString message(file);
    message += CSmartString((":" + std::to_string(line) + "\n").c_str());
    message += trace;
    throw JVMException(message, held);
}

}  // namespace detail

namespace {

using detail::jniText;

inline JNIEnv* env() { return JNIEnvHelper::getEnv(); }

// After every checked call: a pending Java exception becomes JVMException. ExceptionCheck
// makes no reference; a JNI 1.1 VM has only ExceptionOccurred.
inline void check(JNIEnv* e) {
    if (detail::versionOf(e) != JNI_VERSION_1_1 && !e->ExceptionCheck())
        return;
    if (jthrowable thrown = e->ExceptionOccurred())
        detail::raisePending(e, thrown, 0, CSmartString());
}

[[noreturn]] void refuse(const char* member, const char* what) {
    throw JVMException((std::string(member) + what).c_str());
}

inline void needClass(jclass clazz, const char* member) {
    if (clazz == nullptr)
        refuse(member, ": the class is null");
}

inline void needObject(jobject obj, const char* member) {
    if (obj == nullptr)
        refuse(member, ": the object is null");
}

inline void needID(const void* id, const char* member) {
    if (id == nullptr)
        refuse(member, ": the member ID is null");
}

// Members that a JNI 1.1 VM does not have.
inline void needVersion12(JNIEnv* e, const char* member) {
    if (detail::versionOf(e) == JNI_VERSION_1_1)
        refuse(member, " is not implemented");
}

inline bool isVersion11(JNIEnv* e) { return detail::versionOf(e) == JNI_VERSION_1_1; }

}  // namespace

void JNIEnvHelper::exceptionCheck(int line, CSmartString file) {
    JNIEnv* e = env();
    if (jthrowable thrown = e->ExceptionOccurred())
        detail::raisePending(e, thrown, line, file);
}

// --- Version, classes, exceptions ---------------------------------------------------------

jint JNIEnvHelper::GetVersion() { return env()->GetVersion(); }

jclass JNIEnvHelper::DefineClass(CSmartString name, jobject loader, const jbyte* buf, jsize len) {
    JNIEnv* e = env();
    if ((buf == nullptr && len > 0) || len < 0)
        return nullptr;
    const std::string text = jniText(name);
    return e->DefineClass(!name ? nullptr : text.c_str(), loader, buf, len);
}

namespace {

// The class `name` ("a/b/C", modified UTF-8) as the system class loader loads it: a local
// reference, or null with nothing pending.
jclass systemLoaderClass(JNIEnv* e, std::string name) {
    jclass loaderClass = e->FindClass("java/lang/ClassLoader");
    jclass classClass = loaderClass ? e->FindClass("java/lang/Class") : nullptr;
    jobject loader = nullptr;
    jstring dotted = nullptr;
    jclass found = nullptr;
    if (classClass) {
        const jmethodID systemLoader =
            e->GetStaticMethodID(loaderClass, "getSystemClassLoader", "()Ljava/lang/ClassLoader;");
        const jmethodID forName =
            e->GetStaticMethodID(classClass, "forName", "(Ljava/lang/String;ZLjava/lang/ClassLoader;)Ljava/lang/Class;");
        loader = systemLoader ? e->CallStaticObjectMethod(loaderClass, systemLoader) : nullptr;
        if (loader && forName && !e->ExceptionCheck()) {
            for (char& c : name)
                if (c == '/')
                    c = '.';
            dotted = e->NewStringUTF(name.c_str());
            if (dotted)
                found = static_cast<jclass>(e->CallStaticObjectMethod(classClass, forName, dotted, JNI_FALSE, loader));
        }
    }
    e->ExceptionClear();
    for (jobject ref : {static_cast<jobject>(dotted), loader, static_cast<jobject>(classClass),
                        static_cast<jobject>(loaderClass)})
        if (ref)
            e->DeleteLocalRef(ref);
    return found;
}

}  // namespace

// JNI's FindClass searches with the loader of the class whose native method is running: inside
// the native method of a class of the boot loader (a C++ implementation of a java.* interface
// called from Java) it cannot see the application's classes. What it does not find there is
// looked up with the system class loader, as FindClass does outside any native method.
jclass JNIEnvHelper::FindClass(CSmartString name) {
    JNIEnv* e = env();
    if (!name)
        return nullptr;
    const std::string text = jniText(name);
    jclass clazz = e->FindClass(text.c_str());
    if (clazz)
        return clazz;
    e->ExceptionClear();
    return systemLoaderClass(e, text);
}

jmethodID JNIEnvHelper::FromReflectedMethod(jobject method) {
    JNIEnv* e = env();
    needVersion12(e, "FromReflectedMethod");
    needObject(method, "FromReflectedMethod");
    jmethodID id = e->FromReflectedMethod(method);
    check(e);
    return id;
}

jfieldID JNIEnvHelper::FromReflectedField(jobject field) {
    JNIEnv* e = env();
    needVersion12(e, "FromReflectedField");
    needObject(field, "FromReflectedField");
    jfieldID id = e->FromReflectedField(field);
    check(e);
    return id;
}

jobject JNIEnvHelper::ToReflectedMethod(jclass cls, jmethodID methodID, jboolean isStatic) {
    JNIEnv* e = env();
    needVersion12(e, "ToReflectedMethod");
    needClass(cls, "ToReflectedMethod");
    needID(methodID, "ToReflectedMethod");
    jobject result = e->ToReflectedMethod(cls, methodID, isStatic);
    check(e);
    return result;
}

jclass JNIEnvHelper::GetSuperclass(jclass sub) {
    JNIEnv* e = env();
    needClass(sub, "GetSuperclass");
    jclass result = e->GetSuperclass(sub);
    check(e);
    return result;
}

jboolean JNIEnvHelper::IsAssignableFrom(jclass sub, jclass sup) {
    JNIEnv* e = env();
    needClass(sub, "IsAssignableFrom");
    needClass(sup, "IsAssignableFrom");
    jboolean result = e->IsAssignableFrom(sub, sup);
    check(e);
    return result;
}

jobject JNIEnvHelper::ToReflectedField(jclass cls, jfieldID fieldID, jboolean isStatic) {
    JNIEnv* e = env();
    needVersion12(e, "ToReflectedField");
    needClass(cls, "ToReflectedField");
    needID(fieldID, "ToReflectedField");
    jobject result = e->ToReflectedField(cls, fieldID, isStatic);
    check(e);
    return result;
}

jint JNIEnvHelper::Throw(jthrowable obj) {
    JNIEnv* e = env();
    if (obj == nullptr)
        return JNI_ERR;
    return e->Throw(obj);
}

jint JNIEnvHelper::ThrowNew(jclass clazz, CSmartString msg) {
    JNIEnv* e = env();
    if (clazz == nullptr)
        return JNI_ERR;
    const std::string text = jniText(msg);
    return e->ThrowNew(clazz, !msg ? nullptr : text.c_str());
}

jint JNIEnvHelper::ThrowNew(CSmartString msg, CSmartString className) {
    JNIEnv* e = env();
    // The new exception takes the place of one already pending.
    if (jthrowable pending = e->ExceptionOccurred()) {
        e->ExceptionClear();
        e->DeleteLocalRef(pending);
    }
    jclass clazz = FindClass(className);
    if (clazz == nullptr)
        clazz = FindClass("java/lang/RuntimeException");
    if (clazz == nullptr)
        return JNI_ERR;
    const std::string text = jniText(msg);
    const jint result = e->ThrowNew(clazz, !msg ? nullptr : text.c_str());
    e->DeleteLocalRef(clazz);
    return result;
}

jthrowable JNIEnvHelper::ExceptionOccurred() { return env()->ExceptionOccurred(); }

void JNIEnvHelper::ExceptionDescribe() { env()->ExceptionDescribe(); }

void JNIEnvHelper::ExceptionClear() { env()->ExceptionClear(); }

void JNIEnvHelper::FatalError(CSmartString msg) { env()->FatalError(jniText(msg).c_str()); }

jboolean JNIEnvHelper::ExceptionCheck() {
    JNIEnv* e = env();
    if (isVersion11(e)) {
        jthrowable pending = e->ExceptionOccurred();
        if (pending == nullptr)
            return JNI_FALSE;
        e->DeleteLocalRef(pending);
        return JNI_TRUE;
    }
    return e->ExceptionCheck();
}

// --- References and frames ----------------------------------------------------------------

jint JNIEnvHelper::PushLocalFrame(jint capacity) {
    JNIEnv* e = env();
    needVersion12(e, "PushLocalFrame");
    jint result = e->PushLocalFrame(capacity);
    check(e);
    return result;
}

jobject JNIEnvHelper::PopLocalFrame(jobject result) {
    JNIEnv* e = env();
    needVersion12(e, "PopLocalFrame");
    jobject ref = e->PopLocalFrame(result);
    check(e);
    return ref;
}

jobject JNIEnvHelper::NewGlobalRef(jobject lobj) {
    JNIEnv* e = env();
    jobject ref = lobj != nullptr ? e->NewGlobalRef(lobj) : nullptr;
    if (jthrowable thrown = e->ExceptionOccurred()) {
        // The reference would be lost with the result.
        if (ref != nullptr)
            e->DeleteGlobalRef(ref);
        detail::raisePending(e, thrown, 0, CSmartString());
    }
    return ref;
}

void JNIEnvHelper::DeleteGlobalRef(jobject gref) {
    if (gref != nullptr)
        env()->DeleteGlobalRef(gref);
}

void JNIEnvHelper::DeleteLocalRef(jobject obj) {
    if (obj != nullptr)
        env()->DeleteLocalRef(obj);
}

jboolean JNIEnvHelper::IsSameObject(jobject obj1, jobject obj2) {
    JNIEnv* e = env();
    jboolean result = e->IsSameObject(obj1, obj2);
    check(e);
    return result;
}

jobject JNIEnvHelper::NewLocalRef(jobject ref) {
    JNIEnv* e = env();
    needVersion12(e, "NewLocalRef");
    jobject result = e->NewLocalRef(ref);
    check(e);
    return result;
}

jint JNIEnvHelper::EnsureLocalCapacity(jint capacity) {
    JNIEnv* e = env();
    needVersion12(e, "EnsureLocalCapacity");
    jint result = e->EnsureLocalCapacity(capacity);
    check(e);
    return result;
}

jweak JNIEnvHelper::NewWeakGlobalRef(jobject obj) {
    JNIEnv* e = env();
    needVersion12(e, "NewWeakGlobalRef");
    jweak result = e->NewWeakGlobalRef(obj);
    check(e);
    return result;
}

void JNIEnvHelper::DeleteWeakGlobalRef(jweak ref) {
    JNIEnv* e = env();
    needVersion12(e, "DeleteWeakGlobalRef");
    if (ref != nullptr)
        e->DeleteWeakGlobalRef(ref);
}

// --- Objects ------------------------------------------------------------------------------

jobject JNIEnvHelper::AllocObject(jclass clazz) {
    JNIEnv* e = env();
    needClass(clazz, "AllocObject");
    jobject result = e->AllocObject(clazz);
    check(e);
    return result;
}

jobject JNIEnvHelper::NewObjectV(jclass clazz, jmethodID methodID, va_list args) {
    JNIEnv* e = env();
    needClass(clazz, "NewObject");
    needID(methodID, "NewObject");
    jobject result = e->NewObjectV(clazz, methodID, args);
    check(e);
    return result;
}

jobject JNIEnvHelper::NewObject(jclass clazz, jmethodID methodID, ...) {
    va_list args;
    va_start(args, methodID);
    jobject result;
    try {
        result = NewObjectV(clazz, methodID, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return result;
}

jobject JNIEnvHelper::NewObjectA(jclass clazz, jmethodID methodID, const jvalue* args) {
    JNIEnv* e = env();
    needClass(clazz, "NewObjectA");
    needID(methodID, "NewObjectA");
    jobject result = e->NewObjectA(clazz, methodID, args);
    check(e);
    return result;
}

jclass JNIEnvHelper::GetObjectClass(jobject obj) {
    JNIEnv* e = env();
    needObject(obj, "GetObjectClass");
    jclass result = e->GetObjectClass(obj);
    check(e);
    return result;
}

jboolean JNIEnvHelper::IsInstanceOf(const JObject_t& obj, jclass clazz) {
    JNIEnv* e = env();
    needClass(clazz, "IsInstanceOf");
    jboolean result = e->IsInstanceOf(static_cast<jobject>(obj), clazz);
    check(e);
    return result;
}

// --- Member IDs ---------------------------------------------------------------------------

#define KAVRIN_ID_LOOKUP(Member, IdType)                                              \
    IdType JNIEnvHelper::Member(jclass clazz, CSmartString name, CSmartString sig) { \
        JNIEnv* e = env();                                                            \
        needClass(clazz, #Member);                                                    \
        IdType id = e->Member(clazz, jniText(name).c_str(), jniText(sig).c_str());    \
        check(e);                                                                     \
        return id;                                                                    \
    }

KAVRIN_ID_LOOKUP(GetMethodID, jmethodID)
KAVRIN_ID_LOOKUP(GetFieldID, jfieldID)
KAVRIN_ID_LOOKUP(GetStaticMethodID, jmethodID)
KAVRIN_ID_LOOKUP(GetStaticFieldID, jfieldID)
#undef KAVRIN_ID_LOOKUP

// --- Method calls -------------------------------------------------------------------------

// The variadic form collects its arguments and calls the V form.
#define KAVRIN_VARIADIC(Ret, Head, Last, VCall)  \
    Ret JNIEnvHelper::Head {                     \
        va_list args;                            \
        va_start(args, Last);                    \
        try {                                    \
            Ret result = VCall;                  \
            va_end(args);                        \
            return result;                       \
        } catch (...) {                          \
            va_end(args);                        \
            throw;                               \
        }                                        \
    }

#define KAVRIN_VARIADIC_VOID(Head, Last, VCall) \
    void JNIEnvHelper::Head {                   \
        va_list args;                           \
        va_start(args, Last);                   \
        try {                                   \
            VCall;                              \
        } catch (...) {                         \
            va_end(args);                       \
            throw;                              \
        }                                       \
        va_end(args);                           \
    }

#define KAVRIN_CALLS(Type, jtype)                                                                    \
    jtype JNIEnvHelper::Call##Type##MethodV(jobject obj, jmethodID methodID, va_list args) {       \
        JNIEnv* e = env();                                                                          \
        needObject(obj, "Call" #Type "Method");                                                     \
        needID(methodID, "Call" #Type "Method");                                                    \
        jtype result = e->Call##Type##MethodV(obj, methodID, args);                                \
        check(e);                                                                                   \
        return result;                                                                              \
    }                                                                                               \
    jtype JNIEnvHelper::Call##Type##MethodA(jobject obj, jmethodID methodID, const jvalue* args) { \
        JNIEnv* e = env();                                                                          \
        needObject(obj, "Call" #Type "MethodA");                                                    \
        needID(methodID, "Call" #Type "MethodA");                                                   \
        jtype result = e->Call##Type##MethodA(obj, methodID, args);                                \
        check(e);                                                                                   \
        return result;                                                                              \
    }                                                                                               \
    KAVRIN_VARIADIC(jtype, Call##Type##Method(jobject obj, jmethodID methodID, ...), methodID,     \
                    Call##Type##MethodV(obj, methodID, args))                                       \
    jtype JNIEnvHelper::CallNonvirtual##Type##MethodV(jobject obj, jclass clazz, jmethodID methodID, \
                                                      va_list args) {                               \
        JNIEnv* e = env();                                                                          \
        needObject(obj, "CallNonvirtual" #Type "Method");                                           \
        needClass(clazz, "CallNonvirtual" #Type "Method");                                          \
        needID(methodID, "CallNonvirtual" #Type "Method");                                          \
        jtype result = e->CallNonvirtual##Type##MethodV(obj, clazz, methodID, args);               \
        check(e);                                                                                   \
        return result;                                                                              \
    }                                                                                               \
    jtype JNIEnvHelper::CallNonvirtual##Type##MethodA(jobject obj, jclass clazz, jmethodID methodID, \
                                                      const jvalue* args) {                         \
        JNIEnv* e = env();                                                                          \
        needObject(obj, "CallNonvirtual" #Type "MethodA");                                          \
        needClass(clazz, "CallNonvirtual" #Type "MethodA");                                         \
        needID(methodID, "CallNonvirtual" #Type "MethodA");                                         \
        jtype result = e->CallNonvirtual##Type##MethodA(obj, clazz, methodID, args);               \
        check(e);                                                                                   \
        return result;                                                                              \
    }                                                                                               \
    KAVRIN_VARIADIC(jtype, CallNonvirtual##Type##Method(jobject obj, jclass clazz, jmethodID methodID, ...), \
                    methodID, CallNonvirtual##Type##MethodV(obj, clazz, methodID, args))            \
    jtype JNIEnvHelper::CallStatic##Type##MethodV(jclass clazz, jmethodID methodID, va_list args) { \
        JNIEnv* e = env();                                                                          \
        needClass(clazz, "CallStatic" #Type "Method");                                              \
        needID(methodID, "CallStatic" #Type "Method");                                              \
        jtype result = e->CallStatic##Type##MethodV(clazz, methodID, args);                        \
        check(e);                                                                                   \
        return result;                                                                              \
    }                                                                                               \
    jtype JNIEnvHelper::CallStatic##Type##MethodA(jclass clazz, jmethodID methodID, const jvalue* args) { \
        JNIEnv* e = env();                                                                          \
        needClass(clazz, "CallStatic" #Type "MethodA");                                             \
        needID(methodID, "CallStatic" #Type "MethodA");                                             \
        jtype result = e->CallStatic##Type##MethodA(clazz, methodID, args);                        \
        check(e);                                                                                   \
        return result;                                                                              \
    }                                                                                               \
    KAVRIN_VARIADIC(jtype, CallStatic##Type##Method(jclass clazz, jmethodID methodID, ...), methodID, \
                    CallStatic##Type##MethodV(clazz, methodID, args))

KAVRIN_CALLS(Object, jobject)
KAVRIN_CALLS(Boolean, jboolean)
KAVRIN_CALLS(Byte, jbyte)
KAVRIN_CALLS(Char, jchar)
KAVRIN_CALLS(Short, jshort)
KAVRIN_CALLS(Int, jint)
KAVRIN_CALLS(Long, jlong)
KAVRIN_CALLS(Float, jfloat)
KAVRIN_CALLS(Double, jdouble)
#undef KAVRIN_CALLS

void JNIEnvHelper::CallVoidMethodV(jobject obj, jmethodID methodID, va_list args) {
    JNIEnv* e = env();
    needObject(obj, "CallVoidMethod");
    needID(methodID, "CallVoidMethod");
    e->CallVoidMethodV(obj, methodID, args);
    check(e);
}

void JNIEnvHelper::CallVoidMethodA(jobject obj, jmethodID methodID, const jvalue* args) {
    JNIEnv* e = env();
    needObject(obj, "CallVoidMethodA");
    needID(methodID, "CallVoidMethodA");
    e->CallVoidMethodA(obj, methodID, args);
    check(e);
}

KAVRIN_VARIADIC_VOID(CallVoidMethod(jobject obj, jmethodID methodID, ...), methodID,
                     CallVoidMethodV(obj, methodID, args))

void JNIEnvHelper::CallNonvirtualVoidMethodV(jobject obj, jclass clazz, jmethodID methodID, va_list args) {
    JNIEnv* e = env();
    needObject(obj, "CallNonvirtualVoidMethod");
    needClass(clazz, "CallNonvirtualVoidMethod");
    needID(methodID, "CallNonvirtualVoidMethod");
    e->CallNonvirtualVoidMethodV(obj, clazz, methodID, args);
    check(e);
}

void JNIEnvHelper::CallNonvirtualVoidMethodA(jobject obj, jclass clazz, jmethodID methodID, const jvalue* args) {
    JNIEnv* e = env();
    needObject(obj, "CallNonvirtualVoidMethodA");
    needClass(clazz, "CallNonvirtualVoidMethodA");
    needID(methodID, "CallNonvirtualVoidMethodA");
    e->CallNonvirtualVoidMethodA(obj, clazz, methodID, args);
    check(e);
}

KAVRIN_VARIADIC_VOID(CallNonvirtualVoidMethod(jobject obj, jclass clazz, jmethodID methodID, ...), methodID,
                     CallNonvirtualVoidMethodV(obj, clazz, methodID, args))

void JNIEnvHelper::CallStaticVoidMethodV(jclass clazz, jmethodID methodID, va_list args) {
    JNIEnv* e = env();
    needClass(clazz, "CallStaticVoidMethod");
    needID(methodID, "CallStaticVoidMethod");
    e->CallStaticVoidMethodV(clazz, methodID, args);
    check(e);
}

void JNIEnvHelper::CallStaticVoidMethodA(jclass clazz, jmethodID methodID, const jvalue* args) {
    JNIEnv* e = env();
    needClass(clazz, "CallStaticVoidMethodA");
    needID(methodID, "CallStaticVoidMethodA");
    e->CallStaticVoidMethodA(clazz, methodID, args);
    check(e);
}

KAVRIN_VARIADIC_VOID(CallStaticVoidMethod(jclass clazz, jmethodID methodID, ...), methodID,
                     CallStaticVoidMethodV(clazz, methodID, args))

// The Class and String names of the Object calls.
KAVRIN_VARIADIC(jclass, CallClassMethod(jobject obj, jmethodID methodID, ...), methodID,
                static_cast<jclass>(CallObjectMethodV(obj, methodID, args)))
KAVRIN_VARIADIC(jstring, CallStringMethod(jobject obj, jmethodID methodID, ...), methodID,
                static_cast<jstring>(CallObjectMethodV(obj, methodID, args)))
KAVRIN_VARIADIC(jclass, CallNonvirtualClassMethod(jobject obj, jclass clazz, jmethodID methodID, ...), methodID,
                static_cast<jclass>(CallNonvirtualObjectMethodV(obj, clazz, methodID, args)))
KAVRIN_VARIADIC(jstring, CallNonvirtualStringMethod(jobject obj, jclass clazz, jmethodID methodID, ...),
                methodID, static_cast<jstring>(CallNonvirtualObjectMethodV(obj, clazz, methodID, args)))
KAVRIN_VARIADIC(jclass, CallStaticClassMethod(jclass clazz, jmethodID methodID, ...), methodID,
                static_cast<jclass>(CallStaticObjectMethodV(clazz, methodID, args)))
KAVRIN_VARIADIC(jstring, CallStaticStringMethod(jclass clazz, jmethodID methodID, ...), methodID,
                static_cast<jstring>(CallStaticObjectMethodV(clazz, methodID, args)))
#undef KAVRIN_VARIADIC
#undef KAVRIN_VARIADIC_VOID

// --- Fields -------------------------------------------------------------------------------

#define KAVRIN_FIELDS(Type, jtype)                                                         \
    jtype JNIEnvHelper::Get##Type##Field(jobject obj, jfieldID fieldID) {                  \
        JNIEnv* e = env();                                                                 \
        needObject(obj, "Get" #Type "Field");                                              \
        needID(fieldID, "Get" #Type "Field");                                              \
        jtype result = e->Get##Type##Field(obj, fieldID);                                 \
        check(e);                                                                          \
        return result;                                                                     \
    }                                                                                      \
    void JNIEnvHelper::Set##Type##Field(jobject obj, jfieldID fieldID, jtype val) {        \
        JNIEnv* e = env();                                                                 \
        needObject(obj, "Set" #Type "Field");                                              \
        needID(fieldID, "Set" #Type "Field");                                              \
        e->Set##Type##Field(obj, fieldID, val);                                           \
        check(e);                                                                          \
    }                                                                                      \
    jtype JNIEnvHelper::GetStatic##Type##Field(jclass clazz, jfieldID fieldID) {           \
        JNIEnv* e = env();                                                                 \
        needClass(clazz, "GetStatic" #Type "Field");                                       \
        needID(fieldID, "GetStatic" #Type "Field");                                        \
        jtype result = e->GetStatic##Type##Field(clazz, fieldID);                         \
        check(e);                                                                          \
        return result;                                                                     \
    }                                                                                      \
    void JNIEnvHelper::SetStatic##Type##Field(jclass clazz, jfieldID fieldID, jtype value) { \
        JNIEnv* e = env();                                                                 \
        needClass(clazz, "SetStatic" #Type "Field");                                       \
        needID(fieldID, "SetStatic" #Type "Field");                                        \
        e->SetStatic##Type##Field(clazz, fieldID, value);                                 \
        check(e);                                                                          \
    }

KAVRIN_FIELDS(Object, jobject)
KAVRIN_FIELDS(Boolean, jboolean)
KAVRIN_FIELDS(Byte, jbyte)
KAVRIN_FIELDS(Char, jchar)
KAVRIN_FIELDS(Short, jshort)
KAVRIN_FIELDS(Int, jint)
KAVRIN_FIELDS(Long, jlong)
KAVRIN_FIELDS(Float, jfloat)
KAVRIN_FIELDS(Double, jdouble)
#undef KAVRIN_FIELDS

// --- Strings ------------------------------------------------------------------------------

jstring JNIEnvHelper::NewString(const jchar* unicode, jsize len) {
    JNIEnv* e = env();
    static const jchar none = 0;
    jstring result = e->NewString(unicode != nullptr ? unicode : &none, unicode != nullptr ? len : 0);
    check(e);
    return result;
}

jstring JNIEnvHelper::NewString(CSmartString text) {
    const unsigned short* units = text;
    return NewString(units, static_cast<jsize>(text.length()));
}

jsize JNIEnvHelper::GetStringLength(jstring str) {
    JNIEnv* e = env();
    if (str == nullptr)
        return 0;
    jsize result = e->GetStringLength(str);
    check(e);
    return result;
}

const jchar* JNIEnvHelper::GetStringChars(jstring str, jboolean* isCopy) {
    JNIEnv* e = env();
    const jchar* result = str != nullptr ? e->GetStringChars(str, isCopy) : nullptr;
    check(e);
    return result;
}

void JNIEnvHelper::ReleaseStringChars(jstring str, const jchar* chars) {
    if (str != nullptr && chars != nullptr)
        env()->ReleaseStringChars(str, chars);
}

jstring JNIEnvHelper::NewStringUTF(const char* utf) {
    JNIEnv* e = env();
    if (utf == nullptr)
        return nullptr;
    jstring result = e->NewStringUTF(utf);
    check(e);
    return result;
}

jsize JNIEnvHelper::GetStringUTFLength(jstring str) {
    JNIEnv* e = env();
    if (str == nullptr)
        return 0;
    jsize result = e->GetStringUTFLength(str);
    check(e);
    return result;
}

const char* JNIEnvHelper::GetStringUTFChars(jstring str, jboolean* isCopy) {
    JNIEnv* e = env();
    const char* result = str != nullptr ? e->GetStringUTFChars(str, isCopy) : nullptr;
    check(e);
    return result;
}

void JNIEnvHelper::ReleaseStringUTFChars(jstring str, const char* chars) {
    if (str != nullptr && chars != nullptr)
        env()->ReleaseStringUTFChars(str, chars);
}

void JNIEnvHelper::GetStringRegion(jstring str, jsize start, jsize len, jchar* buf) {
    JNIEnv* e = env();
    needVersion12(e, "GetStringRegion");
    needObject(str, "GetStringRegion");
    e->GetStringRegion(str, start, len, buf);
    check(e);
}

void JNIEnvHelper::GetStringUTFRegion(jstring str, jsize start, jsize len, char* buf) {
    JNIEnv* e = env();
    needVersion12(e, "GetStringUTFRegion");
    needObject(str, "GetStringUTFRegion");
    e->GetStringUTFRegion(str, start, len, buf);
    check(e);
}

const jchar* JNIEnvHelper::GetStringCritical(jstring string, jboolean* isCopy) {
    JNIEnv* e = env();
    needObject(string, "GetStringCritical");
    if (isVersion11(e)) {
        // The string's monitor stands for the critical region.
        MonitorEnter(string);
        return GetStringChars(string, isCopy);
    }
    const jchar* chars = e->GetStringCritical(string, isCopy);
    // No JNI call may follow while the region is open: only a failure is checked.
    if (chars == nullptr)
        check(e);
    return chars;
}

void JNIEnvHelper::ReleaseStringCritical(jstring string, const jchar* cstring) {
    if (string == nullptr || cstring == nullptr)
        return;
    JNIEnv* e = env();
    if (isVersion11(e)) {
        e->ReleaseStringChars(string, cstring);
        check(e);
        MonitorExit(string);
        return;
    }
    e->ReleaseStringCritical(string, cstring);
    check(e);
}

// --- Arrays -------------------------------------------------------------------------------

jsize JNIEnvHelper::GetArrayLength(jarray array) {
    JNIEnv* e = env();
    needObject(array, "GetArrayLength");
    jsize result = e->GetArrayLength(array);
    check(e);
    return result;
}

jobjectArray JNIEnvHelper::NewObjectArray(jsize len, jclass clazz, jobject init) {
    JNIEnv* e = env();
    needClass(clazz, "NewObjectArray");
    jobjectArray result = e->NewObjectArray(len, clazz, init);
    check(e);
    return result;
}

jobject JNIEnvHelper::GetObjectArrayElement(jobjectArray array, jsize index) {
    JNIEnv* e = env();
    needObject(array, "GetObjectArrayElement");
    jobject result = e->GetObjectArrayElement(array, index);
    check(e);
    return result;
}

void JNIEnvHelper::SetObjectArrayElement(jobjectArray array, jsize index, jobject val) {
    JNIEnv* e = env();
    needObject(array, "SetObjectArrayElement");
    e->SetObjectArrayElement(array, index, val);
    check(e);
}

#define KAVRIN_ARRAYS(Type, jtype)                                                                       \
    jtype##Array JNIEnvHelper::New##Type##Array(jsize len) {                                             \
        JNIEnv* e = env();                                                                               \
        jtype##Array result = e->New##Type##Array(len);                                                  \
        check(e);                                                                                        \
        return result;                                                                                   \
    }                                                                                                    \
    jtype* JNIEnvHelper::Get##Type##ArrayElements(jtype##Array array, jboolean* isCopy) {               \
        JNIEnv* e = env();                                                                               \
        needObject(array, "Get" #Type "ArrayElements");                                                  \
        jtype* result = e->Get##Type##ArrayElements(array, isCopy);                                     \
        check(e);                                                                                        \
        return result;                                                                                   \
    }                                                                                                    \
    void JNIEnvHelper::Release##Type##ArrayElements(jtype##Array array, jtype* elems, jint mode) {       \
        if (array != nullptr && elems != nullptr)                                                        \
            env()->Release##Type##ArrayElements(array, elems, mode);                                    \
    }                                                                                                    \
    void JNIEnvHelper::Get##Type##ArrayRegion(jtype##Array array, jsize start, jsize len, jtype* buf) {  \
        JNIEnv* e = env();                                                                               \
        needObject(array, "Get" #Type "ArrayRegion");                                                    \
        e->Get##Type##ArrayRegion(array, start, len, buf);                                              \
        check(e);                                                                                        \
    }                                                                                                    \
    void JNIEnvHelper::Set##Type##ArrayRegion(jtype##Array array, jsize start, jsize len,               \
                                              const jtype* buf) {                                        \
        JNIEnv* e = env();                                                                               \
        needObject(array, "Set" #Type "ArrayRegion");                                                    \
        e->Set##Type##ArrayRegion(array, start, len, buf);                                              \
        check(e);                                                                                        \
    }

KAVRIN_ARRAYS(Boolean, jboolean)
KAVRIN_ARRAYS(Byte, jbyte)
KAVRIN_ARRAYS(Char, jchar)
KAVRIN_ARRAYS(Short, jshort)
KAVRIN_ARRAYS(Int, jint)
KAVRIN_ARRAYS(Long, jlong)
KAVRIN_ARRAYS(Float, jfloat)
KAVRIN_ARRAYS(Double, jdouble)
#undef KAVRIN_ARRAYS

void* JNIEnvHelper::GetPrimitiveArrayCritical(jarray array, jboolean* isCopy) {
    JNIEnv* e = env();
    needVersion12(e, "GetPrimitiveArrayCritical");
    needObject(array, "GetPrimitiveArrayCritical");
    void* result = e->GetPrimitiveArrayCritical(array, isCopy);
    // No JNI call may follow while the region is open: only a failure is checked.
    if (result == nullptr)
        check(e);
    return result;
}

void JNIEnvHelper::ReleasePrimitiveArrayCritical(jarray array, void* carray, jint mode) {
    JNIEnv* e = env();
    needVersion12(e, "ReleasePrimitiveArrayCritical");
    if (array != nullptr && carray != nullptr)
        e->ReleasePrimitiveArrayCritical(array, carray, mode);
}

// --- Natives, monitors, VM ----------------------------------------------------------------

jint JNIEnvHelper::RegisterNatives(jclass clazz, const JNINativeMethod* methods, jint nMethods) {
    JNIEnv* e = env();
    needClass(clazz, "RegisterNatives");
    if (methods == nullptr && nMethods > 0)
        refuse("RegisterNatives", ": the method table is null");
    jint result = e->RegisterNatives(clazz, methods, nMethods);
    check(e);
    return result;
}

jint JNIEnvHelper::UnregisterNatives(jclass clazz) {
    JNIEnv* e = env();
    needClass(clazz, "UnregisterNatives");
    jint result = e->UnregisterNatives(clazz);
    check(e);
    return result;
}

jint JNIEnvHelper::MonitorEnter(jobject obj) {
    JNIEnv* e = env();
    needObject(obj, "MonitorEnter");
    jint result = e->MonitorEnter(obj);
    check(e);
    return result;
}

jint JNIEnvHelper::MonitorExit(jobject obj) {
    JNIEnv* e = env();
    needObject(obj, "MonitorExit");
    jint result = e->MonitorExit(obj);
    // A monitor the thread does not own leaves an IllegalMonitorStateException pending.
    check(e);
    return result;
}

jint JNIEnvHelper::GetJavaVM(JavaVM** vm) {
    JNIEnv* e = env();
    jint result = e->GetJavaVM(vm);
    check(e);
    return result;
}

}  // namespace jni_helpers
