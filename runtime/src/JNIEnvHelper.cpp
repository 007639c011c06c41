// JNIEnvHelper: the checked JNI family and the exception check that renders Java stack traces.
#include "RuntimeInternal.h"

#include <string>
#include <type_traits>

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
    for (int i = m_count - 1; i >= 0; --i) m_env->DeleteLocalRef(m_refs[i]);
  }
  template <typename T>
  T add(T ref) {
    if (ref != nullptr) m_refs[m_count++] = ref;
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
  jmethodID printStackTrace = JNIEnvHelper::GetMethodID(throwableClass, "printStackTrace", "(Ljava/io/PrintWriter;)V");
  jmethodID getBuffer = JNIEnvHelper::GetMethodID(writerClass, "getBuffer", "()Ljava/lang/StringBuffer;");
  jmethodID toString = JNIEnvHelper::GetMethodID(bufferClass, "toString", "()Ljava/lang/String;");
  jobject writer = refs.add(JNIEnvHelper::NewObject(writerClass, writerInit));
  jobject printer = refs.add(JNIEnvHelper::NewObject(printerClass, printerInit, writer));
  JNIEnvHelper::CallVoidMethod(thrown, printStackTrace, printer);
  jobject buffer = refs.add(JNIEnvHelper::CallObjectMethod(writer, getBuffer));
  jstring text = refs.add(JNIEnvHelper::CallStringMethod(buffer, toString));
  if (text == nullptr) return CSmartString("");
  return stringUnits(text);
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
  if (tRenderDepth >= 2) throw JVMException(kUnreadableTrace, held);
  CSmartString trace;
  {
    DepthGuard depth;
    trace = renderTrace(thrown, refs);
  }
  if (line == 0) throw JVMException(trace, held);
  CSmartString message(file);
  message += CSmartString((":" + std::to_string(line) + "\n").c_str());
  message += trace;
  throw JVMException(message, held);
}

}  // namespace detail

// What every checked call runs stays inline in each member, whatever the compiler's budget for
// the file: a call per check would tax every JNI call made through the helper.
#if defined(__GNUC__)
#define KAVRIN_HOT inline __attribute__((always_inline))
#else
#define KAVRIN_HOT inline
#endif

namespace {

using detail::jniText;

KAVRIN_HOT JNIEnv* env() { return JNIEnvHelper::getEnv(); }

KAVRIN_HOT bool isVersion11(JNIEnv* e) { return detail::versionOf(e) == JNI_VERSION_1_1; }

// After every checked call: a pending Java exception becomes JVMException. ExceptionCheck
// makes no reference; a JNI 1.1 VM has only ExceptionOccurred.
KAVRIN_HOT void check(JNIEnv* e) {
  if (!isVersion11(e) && !e->ExceptionCheck()) return;
  if (jthrowable thrown = e->ExceptionOccurred()) detail::raisePending(e, thrown, 0, CSmartString());
}

[[noreturn]] void refuse(const char* member, const char* what) {
  throw JVMException((std::string(member) + what).c_str());
}

// What a member refuses before it calls JNI, told apart by type: a null class, object or member
// ID, and (kJni12) a JNI 1.1 VM for the members such a VM does not have.
struct Jni12 {};
constexpr Jni12 kJni12{};

KAVRIN_HOT void need(JNIEnv* e, const char* member, Jni12) {
  if (isVersion11(e)) refuse(member, " is not implemented");
}

KAVRIN_HOT void need(JNIEnv*, const char* member, jclass clazz) {
  if (clazz == nullptr) refuse(member, ": the class is null");
}

KAVRIN_HOT void need(JNIEnv*, const char* member, jobject obj) {
  if (obj == nullptr) refuse(member, ": the object is null");
}

KAVRIN_HOT void needID(const char* member, const void* id) {
  if (id == nullptr) refuse(member, ": the member ID is null");
}

KAVRIN_HOT void need(JNIEnv*, const char* member, jmethodID id) { needID(member, id); }

KAVRIN_HOT void need(JNIEnv*, const char* member, jfieldID id) { needID(member, id); }

// The calling thread's environment for `member`, once `needs` are met (checked in their order;
// the first not met is refused naming the member).
template <typename... Needs>
KAVRIN_HOT JNIEnv* envFor(const char* member, Needs... needs) {
  JNIEnv* e = env();
  (need(e, member, needs), ...);
  return e;
}

// Makes `call`, a JNI call on `e`, and throws what it left pending; gives the call's result.
template <typename Call>
KAVRIN_HOT auto checked(JNIEnv* e, Call call) -> decltype(call()) {
  if constexpr (std::is_void<decltype(call())>::value) {
    call();
    check(e);
  } else {
    auto result = call();
    check(e);
    return result;
  }
}

// The result of a call held until the variadic arguments are ended (none for a void call).
template <typename T>
struct Held {
  T value;
  T get() const { return value; }
};

template <>
struct Held<void> {
  void get() const {}
};

template <typename Call>
KAVRIN_HOT auto hold(Call call) -> Held<decltype(call())> {
  if constexpr (std::is_void<decltype(call())>::value) {
    call();
    return {};
  } else {
    return {call()};
  }
}

}  // namespace

// The variadic form collects its arguments and calls the V form.
#define KAVRIN_VARIADIC(Ret, Head, Last, VCall)        \
  Ret JNIEnvHelper::Head {                             \
    va_list args;                                      \
    va_start(args, Last);                              \
    try {                                              \
      const auto result = hold([&] { return VCall; }); \
      va_end(args);                                    \
      return result.get();                             \
    } catch (...) {                                    \
      va_end(args);                                    \
      throw;                                           \
    }                                                  \
  }

void JNIEnvHelper::exceptionCheck(int line, CSmartString file) {
  JNIEnv* e = env();
  if (jthrowable thrown = e->ExceptionOccurred()) detail::raisePending(e, thrown, line, file);
}

// --- Version, classes, exceptions ---------------------------------------------------------

jint JNIEnvHelper::GetVersion() { return env()->GetVersion(); }

jclass JNIEnvHelper::DefineClass(CSmartString name, jobject loader, const jbyte* buf, jsize len) {
  JNIEnv* e = env();
  if ((buf == nullptr && len > 0) || len < 0) return nullptr;
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
        if (c == '/') c = '.';
      dotted = e->NewStringUTF(name.c_str());
      if (dotted)
        found = static_cast<jclass>(e->CallStaticObjectMethod(classClass, forName, dotted, JNI_FALSE, loader));
    }
  }
  e->ExceptionClear();
  for (jobject ref :
       {static_cast<jobject>(dotted), loader, static_cast<jobject>(classClass), static_cast<jobject>(loaderClass)})
    if (ref) e->DeleteLocalRef(ref);
  return found;
}

}  // namespace

// JNI's FindClass searches with the loader of the class whose native method is running: inside
// the native method of a class of the boot loader (a C++ implementation of a java.* interface
// called from Java) it cannot see the application's classes. What it does not find there is
// looked up with the system class loader, as FindClass does outside any native method.
jclass JNIEnvHelper::FindClass(CSmartString name) {
  JNIEnv* e = env();
  if (!name) return nullptr;
  const std::string text = jniText(name);
  jclass clazz = e->FindClass(text.c_str());
  if (clazz) return clazz;
  e->ExceptionClear();
  return systemLoaderClass(e, text);
}

jmethodID JNIEnvHelper::FromReflectedMethod(jobject method) {
  JNIEnv* e = envFor("FromReflectedMethod", kJni12, method);
  return checked(e, [&] { return e->FromReflectedMethod(method); });
}

jfieldID JNIEnvHelper::FromReflectedField(jobject field) {
  JNIEnv* e = envFor("FromReflectedField", kJni12, field);
  return checked(e, [&] { return e->FromReflectedField(field); });
}

jobject JNIEnvHelper::ToReflectedMethod(jclass cls, jmethodID methodID, jboolean isStatic) {
  JNIEnv* e = envFor("ToReflectedMethod", kJni12, cls, methodID);
  return checked(e, [&] { return e->ToReflectedMethod(cls, methodID, isStatic); });
}

jclass JNIEnvHelper::GetSuperclass(jclass sub) {
  JNIEnv* e = envFor("GetSuperclass", sub);
  return checked(e, [&] { return e->GetSuperclass(sub); });
}

jboolean JNIEnvHelper::IsAssignableFrom(jclass sub, jclass sup) {
  JNIEnv* e = envFor("IsAssignableFrom", sub, sup);
  return checked(e, [&] { return e->IsAssignableFrom(sub, sup); });
}

jobject JNIEnvHelper::ToReflectedField(jclass cls, jfieldID fieldID, jboolean isStatic) {
  JNIEnv* e = envFor("ToReflectedField", kJni12, cls, fieldID);
  return checked(e, [&] { return e->ToReflectedField(cls, fieldID, isStatic); });
}

jint JNIEnvHelper::Throw(jthrowable obj) {
  JNIEnv* e = env();
  if (obj == nullptr) return JNI_ERR;
  return e->Throw(obj);
}

jint JNIEnvHelper::ThrowNew(jclass clazz, CSmartString msg) {
  JNIEnv* e = env();
  if (clazz == nullptr) return JNI_ERR;
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
  if (clazz == nullptr) clazz = FindClass("java/lang/RuntimeException");
  if (clazz == nullptr) return JNI_ERR;
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
    if (pending == nullptr) return JNI_FALSE;
    e->DeleteLocalRef(pending);
    return JNI_TRUE;
  }
  return e->ExceptionCheck();
}

// --- References and frames ----------------------------------------------------------------

jint JNIEnvHelper::PushLocalFrame(jint capacity) {
  JNIEnv* e = envFor("PushLocalFrame", kJni12);
  return checked(e, [&] { return e->PushLocalFrame(capacity); });
}

jobject JNIEnvHelper::PopLocalFrame(jobject result) {
  JNIEnv* e = envFor("PopLocalFrame", kJni12);
  return checked(e, [&] { return e->PopLocalFrame(result); });
}

jobject JNIEnvHelper::NewGlobalRef(jobject lobj) {
  JNIEnv* e = env();
  jobject ref = lobj != nullptr ? e->NewGlobalRef(lobj) : nullptr;
  if (jthrowable thrown = e->ExceptionOccurred()) {
    // The reference would be lost with the result.
    if (ref != nullptr) e->DeleteGlobalRef(ref);
    detail::raisePending(e, thrown, 0, CSmartString());
  }
  return ref;
}

void JNIEnvHelper::DeleteGlobalRef(jobject gref) {
  if (gref != nullptr) env()->DeleteGlobalRef(gref);
}

void JNIEnvHelper::DeleteLocalRef(jobject obj) {
  if (obj != nullptr) env()->DeleteLocalRef(obj);
}

jboolean JNIEnvHelper::IsSameObject(jobject obj1, jobject obj2) {
  JNIEnv* e = env();
  return checked(e, [&] { return e->IsSameObject(obj1, obj2); });
}

jobject JNIEnvHelper::NewLocalRef(jobject ref) {
  JNIEnv* e = envFor("NewLocalRef", kJni12);
  return checked(e, [&] { return e->NewLocalRef(ref); });
}

jint JNIEnvHelper::EnsureLocalCapacity(jint capacity) {
  JNIEnv* e = envFor("EnsureLocalCapacity", kJni12);
  return checked(e, [&] { return e->EnsureLocalCapacity(capacity); });
}

jweak JNIEnvHelper::NewWeakGlobalRef(jobject obj) {
  JNIEnv* e = envFor("NewWeakGlobalRef", kJni12);
  return checked(e, [&] { return e->NewWeakGlobalRef(obj); });
}

void JNIEnvHelper::DeleteWeakGlobalRef(jweak ref) {
  JNIEnv* e = envFor("DeleteWeakGlobalRef", kJni12);
  if (ref != nullptr) e->DeleteWeakGlobalRef(ref);
}

// --- Objects ------------------------------------------------------------------------------

jobject JNIEnvHelper::AllocObject(jclass clazz) {
  JNIEnv* e = envFor("AllocObject", clazz);
  return checked(e, [&] { return e->AllocObject(clazz); });
}

jobject JNIEnvHelper::NewObjectV(jclass clazz, jmethodID methodID, va_list args) {
  JNIEnv* e = envFor("NewObject", clazz, methodID);
  return checked(e, [&] { return e->NewObjectV(clazz, methodID, args); });
}

KAVRIN_VARIADIC(jobject, NewObject(jclass clazz, jmethodID methodID, ...), methodID, NewObjectV(clazz, methodID, args))

jobject JNIEnvHelper::NewObjectA(jclass clazz, jmethodID methodID, const jvalue* args) {
  JNIEnv* e = envFor("NewObjectA", clazz, methodID);
  return checked(e, [&] { return e->NewObjectA(clazz, methodID, args); });
}

jclass JNIEnvHelper::GetObjectClass(jobject obj) {
  JNIEnv* e = envFor("GetObjectClass", obj);
  return checked(e, [&] { return e->GetObjectClass(obj); });
}

jboolean JNIEnvHelper::IsInstanceOf(const JObject_t& obj, jclass clazz) {
  JNIEnv* e = envFor("IsInstanceOf", clazz);
  return checked(e, [&] { return e->IsInstanceOf(static_cast<jobject>(obj), clazz); });
}

// --- Member IDs ---------------------------------------------------------------------------

#define KAVRIN_ID_LOOKUP(Member, IdType)                                                              \
  IdType JNIEnvHelper::Member(jclass clazz, CSmartString name, CSmartString sig) {                    \
    JNIEnv* e = envFor(#Member, clazz);                                                               \
    return checked(e, [&] { return e->Member(clazz, jniText(name).c_str(), jniText(sig).c_str()); }); \
  }

KAVRIN_ID_LOOKUP(GetMethodID, jmethodID)
KAVRIN_ID_LOOKUP(GetFieldID, jfieldID)
KAVRIN_ID_LOOKUP(GetStaticMethodID, jmethodID)
KAVRIN_ID_LOOKUP(GetStaticFieldID, jfieldID)
#undef KAVRIN_ID_LOOKUP

// --- Method calls -------------------------------------------------------------------------

// Call<T>Method, CallNonvirtual<T>Method and CallStatic<T>Method, each in its V, A and variadic
// form (the V form's refusals name the variadic one).
#define KAVRIN_CALLS(Type, jtype)                                                                                    \
  jtype JNIEnvHelper::Call##Type##MethodV(jobject obj, jmethodID methodID, va_list args) {                           \
    JNIEnv* e = envFor("Call" #Type "Method", obj, methodID);                                                        \
    return checked(e, [&] { return e->Call##Type##MethodV(obj, methodID, args); });                                  \
  }                                                                                                                  \
  jtype JNIEnvHelper::Call##Type##MethodA(jobject obj, jmethodID methodID, const jvalue* args) {                     \
    JNIEnv* e = envFor("Call" #Type "MethodA", obj, methodID);                                                       \
    return checked(e, [&] { return e->Call##Type##MethodA(obj, methodID, args); });                                  \
  }                                                                                                                  \
  KAVRIN_VARIADIC(jtype, Call##Type##Method(jobject obj, jmethodID methodID, ...), methodID,                         \
                  Call##Type##MethodV(obj, methodID, args))                                                          \
  jtype JNIEnvHelper::CallNonvirtual##Type##MethodV(jobject obj, jclass clazz, jmethodID methodID, va_list args) {   \
    JNIEnv* e = envFor("CallNonvirtual" #Type "Method", obj, clazz, methodID);                                       \
    return checked(e, [&] { return e->CallNonvirtual##Type##MethodV(obj, clazz, methodID, args); });                 \
  }                                                                                                                  \
  jtype JNIEnvHelper::CallNonvirtual##Type##MethodA(jobject obj, jclass clazz, jmethodID methodID,                   \
                                                    const jvalue* args) {                                            \
    JNIEnv* e = envFor("CallNonvirtual" #Type "MethodA", obj, clazz, methodID);                                      \
    return checked(e, [&] { return e->CallNonvirtual##Type##MethodA(obj, clazz, methodID, args); });                 \
  }                                                                                                                  \
  KAVRIN_VARIADIC(jtype, CallNonvirtual##Type##Method(jobject obj, jclass clazz, jmethodID methodID, ...), methodID, \
                  CallNonvirtual##Type##MethodV(obj, clazz, methodID, args))                                         \
  jtype JNIEnvHelper::CallStatic##Type##MethodV(jclass clazz, jmethodID methodID, va_list args) {                    \
    JNIEnv* e = envFor("CallStatic" #Type "Method", clazz, methodID);                                                \
    return checked(e, [&] { return e->CallStatic##Type##MethodV(clazz, methodID, args); });                          \
  }                                                                                                                  \
  jtype JNIEnvHelper::CallStatic##Type##MethodA(jclass clazz, jmethodID methodID, const jvalue* args) {              \
    JNIEnv* e = envFor("CallStatic" #Type "MethodA", clazz, methodID);                                               \
    return checked(e, [&] { return e->CallStatic##Type##MethodA(clazz, methodID, args); });                          \
  }                                                                                                                  \
  KAVRIN_VARIADIC(jtype, CallStatic##Type##Method(jclass clazz, jmethodID methodID, ...), methodID,                  \
                  CallStatic##Type##MethodV(clazz, methodID, args))

KAVRIN_CALLS(Object, jobject)
KAVRIN_JNI_PRIMITIVES(KAVRIN_CALLS)
KAVRIN_CALLS(Void, void)
#undef KAVRIN_CALLS

// The Class and String names of the Object calls.
KAVRIN_VARIADIC(jclass, CallClassMethod(jobject obj, jmethodID methodID, ...), methodID,
                static_cast<jclass>(CallObjectMethodV(obj, methodID, args)))
KAVRIN_VARIADIC(jstring, CallStringMethod(jobject obj, jmethodID methodID, ...), methodID,
                static_cast<jstring>(CallObjectMethodV(obj, methodID, args)))
KAVRIN_VARIADIC(jclass, CallNonvirtualClassMethod(jobject obj, jclass clazz, jmethodID methodID, ...), methodID,
                static_cast<jclass>(CallNonvirtualObjectMethodV(obj, clazz, methodID, args)))
KAVRIN_VARIADIC(jstring, CallNonvirtualStringMethod(jobject obj, jclass clazz, jmethodID methodID, ...), methodID,
                static_cast<jstring>(CallNonvirtualObjectMethodV(obj, clazz, methodID, args)))
KAVRIN_VARIADIC(jclass, CallStaticClassMethod(jclass clazz, jmethodID methodID, ...), methodID,
                static_cast<jclass>(CallStaticObjectMethodV(clazz, methodID, args)))
KAVRIN_VARIADIC(jstring, CallStaticStringMethod(jclass clazz, jmethodID methodID, ...), methodID,
                static_cast<jstring>(CallStaticObjectMethodV(clazz, methodID, args)))
#undef KAVRIN_VARIADIC

// --- Fields -------------------------------------------------------------------------------

#define KAVRIN_FIELDS(Type, jtype)                                                         \
  jtype JNIEnvHelper::Get##Type##Field(jobject obj, jfieldID fieldID) {                    \
    JNIEnv* e = envFor("Get" #Type "Field", obj, fieldID);                                 \
    return checked(e, [&] { return e->Get##Type##Field(obj, fieldID); });                  \
  }                                                                                        \
  void JNIEnvHelper::Set##Type##Field(jobject obj, jfieldID fieldID, jtype val) {          \
    JNIEnv* e = envFor("Set" #Type "Field", obj, fieldID);                                 \
    checked(e, [&] { e->Set##Type##Field(obj, fieldID, val); });                           \
  }                                                                                        \
  jtype JNIEnvHelper::GetStatic##Type##Field(jclass clazz, jfieldID fieldID) {             \
    JNIEnv* e = envFor("GetStatic" #Type "Field", clazz, fieldID);                         \
    return checked(e, [&] { return e->GetStatic##Type##Field(clazz, fieldID); });          \
  }                                                                                        \
  void JNIEnvHelper::SetStatic##Type##Field(jclass clazz, jfieldID fieldID, jtype value) { \
    JNIEnv* e = envFor("SetStatic" #Type "Field", clazz, fieldID);                         \
    checked(e, [&] { e->SetStatic##Type##Field(clazz, fieldID, value); });                 \
  }

KAVRIN_FIELDS(Object, jobject)
KAVRIN_JNI_PRIMITIVES(KAVRIN_FIELDS)
#undef KAVRIN_FIELDS

// --- Strings ------------------------------------------------------------------------------

namespace {

// A null text gives an empty string.
KAVRIN_HOT jstring newString(const jchar* unicode, jsize len) {
  JNIEnv* e = env();
  static const jchar none = 0;
  return checked(e, [&] { return e->NewString(unicode != nullptr ? unicode : &none, unicode != nullptr ? len : 0); });
}

}  // namespace

jstring JNIEnvHelper::NewString(const jchar* unicode, jsize len) { return newString(unicode, len); }

jstring JNIEnvHelper::NewString(CSmartString text) {
  const unsigned short* units = text;
  return newString(units, static_cast<jsize>(text.length()));
}

namespace {

// A string's length, its characters and their release are asked alike in UTF-16 units and in
// modified UTF-8: a null string has length 0 and no characters, and nothing is released for it.
template <auto Length>
KAVRIN_HOT jsize lengthOf(jstring str) {
  JNIEnv* e = env();
  if (str == nullptr) return 0;
  return checked(e, [&] { return (e->*Length)(str); });
}

template <auto Chars>
KAVRIN_HOT auto charsOf(jstring str, jboolean* isCopy) {
  JNIEnv* e = env();
  return checked(e, [&] { return str != nullptr ? (e->*Chars)(str, isCopy) : nullptr; });
}

template <auto Release, typename Char>
KAVRIN_HOT void releaseChars(jstring str, const Char* chars) {
  if (str != nullptr && chars != nullptr) (env()->*Release)(str, chars);
}

}  // namespace

jsize JNIEnvHelper::GetStringLength(jstring str) { return lengthOf<&JNIEnv::GetStringLength>(str); }

const jchar* JNIEnvHelper::GetStringChars(jstring str, jboolean* isCopy) {
  return charsOf<&JNIEnv::GetStringChars>(str, isCopy);
}

void JNIEnvHelper::ReleaseStringChars(jstring str, const jchar* chars) {
  releaseChars<&JNIEnv::ReleaseStringChars>(str, chars);
}

jstring JNIEnvHelper::NewStringUTF(const char* utf) {
  JNIEnv* e = env();
  if (utf == nullptr) return nullptr;
  return checked(e, [&] { return e->NewStringUTF(utf); });
}

jsize JNIEnvHelper::GetStringUTFLength(jstring str) { return lengthOf<&JNIEnv::GetStringUTFLength>(str); }

const char* JNIEnvHelper::GetStringUTFChars(jstring str, jboolean* isCopy) {
  return charsOf<&JNIEnv::GetStringUTFChars>(str, isCopy);
}

void JNIEnvHelper::ReleaseStringUTFChars(jstring str, const char* chars) {
  releaseChars<&JNIEnv::ReleaseStringUTFChars>(str, chars);
}

void JNIEnvHelper::GetStringRegion(jstring str, jsize start, jsize len, jchar* buf) {
  JNIEnv* e = envFor("GetStringRegion", kJni12, str);
  checked(e, [&] { e->GetStringRegion(str, start, len, buf); });
}

void JNIEnvHelper::GetStringUTFRegion(jstring str, jsize start, jsize len, char* buf) {
  JNIEnv* e = envFor("GetStringUTFRegion", kJni12, str);
  checked(e, [&] { e->GetStringUTFRegion(str, start, len, buf); });
}

const jchar* JNIEnvHelper::GetStringCritical(jstring string, jboolean* isCopy) {
  JNIEnv* e = envFor("GetStringCritical", string);
  if (isVersion11(e)) {
    // The string's monitor stands for the critical region.
    MonitorEnter(string);
    return GetStringChars(string, isCopy);
  }
  const jchar* chars = e->GetStringCritical(string, isCopy);
  // No JNI call may follow while the region is open: only a failure is checked.
  if (chars == nullptr) check(e);
  return chars;
}

void JNIEnvHelper::ReleaseStringCritical(jstring string, const jchar* cstring) {
  if (string == nullptr || cstring == nullptr) return;
  JNIEnv* e = env();
  if (isVersion11(e)) {
    checked(e, [&] { e->ReleaseStringChars(string, cstring); });
    MonitorExit(string);
    return;
  }
  checked(e, [&] { e->ReleaseStringCritical(string, cstring); });
}

// --- Arrays -------------------------------------------------------------------------------

jsize JNIEnvHelper::GetArrayLength(jarray array) {
  JNIEnv* e = envFor("GetArrayLength", array);
  return checked(e, [&] { return e->GetArrayLength(array); });
}

jobjectArray JNIEnvHelper::NewObjectArray(jsize len, jclass clazz, jobject init) {
  JNIEnv* e = envFor("NewObjectArray", clazz);
  return checked(e, [&] { return e->NewObjectArray(len, clazz, init); });
}

jobject JNIEnvHelper::GetObjectArrayElement(jobjectArray array, jsize index) {
  JNIEnv* e = envFor("GetObjectArrayElement", array);
  return checked(e, [&] { return e->GetObjectArrayElement(array, index); });
}

void JNIEnvHelper::SetObjectArrayElement(jobjectArray array, jsize index, jobject val) {
  JNIEnv* e = envFor("SetObjectArrayElement", array);
  checked(e, [&] { e->SetObjectArrayElement(array, index, val); });
}

#define KAVRIN_ARRAYS(Type, jtype)                                                                          \
  jtype##Array JNIEnvHelper::New##Type##Array(jsize len) {                                                  \
    JNIEnv* e = env();                                                                                      \
    return checked(e, [&] { return e->New##Type##Array(len); });                                            \
  }                                                                                                         \
  jtype* JNIEnvHelper::Get##Type##ArrayElements(jtype##Array array, jboolean* isCopy) {                     \
    JNIEnv* e = envFor("Get" #Type "ArrayElements", array);                                                 \
    return checked(e, [&] { return e->Get##Type##ArrayElements(array, isCopy); });                          \
  }                                                                                                         \
  void JNIEnvHelper::Release##Type##ArrayElements(jtype##Array array, jtype* elems, jint mode) {            \
    if (array != nullptr && elems != nullptr) env()->Release##Type##ArrayElements(array, elems, mode);      \
  }                                                                                                         \
  void JNIEnvHelper::Get##Type##ArrayRegion(jtype##Array array, jsize start, jsize len, jtype* buf) {       \
    JNIEnv* e = envFor("Get" #Type "ArrayRegion", array);                                                   \
    checked(e, [&] { e->Get##Type##ArrayRegion(array, start, len, buf); });                                 \
  }                                                                                                         \
  void JNIEnvHelper::Set##Type##ArrayRegion(jtype##Array array, jsize start, jsize len, const jtype* buf) { \
    JNIEnv* e = envFor("Set" #Type "ArrayRegion", array);                                                   \
    checked(e, [&] { e->Set##Type##ArrayRegion(array, start, len, buf); });                                 \
  }

KAVRIN_JNI_PRIMITIVES(KAVRIN_ARRAYS)
#undef KAVRIN_ARRAYS

void* JNIEnvHelper::GetPrimitiveArrayCritical(jarray array, jboolean* isCopy) {
  JNIEnv* e = envFor("GetPrimitiveArrayCritical", kJni12, array);
  void* result = e->GetPrimitiveArrayCritical(array, isCopy);
  // No JNI call may follow while the region is open: only a failure is checked.
  if (result == nullptr) check(e);
  return result;
}

void JNIEnvHelper::ReleasePrimitiveArrayCritical(jarray array, void* carray, jint mode) {
  JNIEnv* e = envFor("ReleasePrimitiveArrayCritical", kJni12);
  if (array != nullptr && carray != nullptr) e->ReleasePrimitiveArrayCritical(array, carray, mode);
}

// --- Natives, monitors, VM ----------------------------------------------------------------

jint JNIEnvHelper::RegisterNatives(jclass clazz, const JNINativeMethod* methods, jint nMethods) {
  JNIEnv* e = envFor("RegisterNatives", clazz);
  if (methods == nullptr && nMethods > 0) refuse("RegisterNatives", ": the method table is null");
  return checked(e, [&] { return e->RegisterNatives(clazz, methods, nMethods); });
}

jint JNIEnvHelper::UnregisterNatives(jclass clazz) {
  JNIEnv* e = envFor("UnregisterNatives", clazz);
  return checked(e, [&] { return e->UnregisterNatives(clazz); });
}

jint JNIEnvHelper::MonitorEnter(jobject obj) {
  JNIEnv* e = envFor("MonitorEnter", obj);
  return checked(e, [&] { return e->MonitorEnter(obj); });
}

// A monitor the thread does not own leaves an IllegalMonitorStateException pending.
jint JNIEnvHelper::MonitorExit(jobject obj) {
  JNIEnv* e = envFor("MonitorExit", obj);
  return checked(e, [&] { return e->MonitorExit(obj); });
}

jint JNIEnvHelper::GetJavaVM(JavaVM** vm) {
  JNIEnv* e = env();
  return checked(e, [&] { return e->GetJavaVM(vm); });
}

}  // namespace jni_helpers
