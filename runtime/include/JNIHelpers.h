// KAVRINLIB: the runtime interface that generated proxies, interface implementations and
// delegators compile against.
//
//   JObject_t          a Java object held through one shared global reference
//   jni_helpers::      CSmartString, the exception classes, JVM (loading the VM, threads),
//                      JNIEnvHelper (checked JNI calls), JStringHelper, JArrayHelper and the
//                      array wrappers, _simple_class_loader
//
// The header compiles as C++14 and C++17. On compilers other than MSVC, __declspec(dllexport)
// and __declspec(dllimport) become visibility attributes and _alloca is alloca.
#ifndef KAVRIN_JNIHELPERS_H
#define KAVRIN_JNIHELPERS_H

#include <jni.h>

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <exception>

#if !defined(_MSC_VER)
#include <alloca.h>
#ifndef _alloca
#define _alloca alloca
#endif
#ifndef __declspec
#define __declspec(kind) KAVRIN_DECLSPEC_##kind
#define KAVRIN_DECLSPEC_dllexport __attribute__((visibility("default")))
#define KAVRIN_DECLSPEC_dllimport __attribute__((visibility("default")))
#endif
#endif

#if defined(KAVRINLIB_EXPORTS)
#define KAVRIN_API __declspec(dllexport)
#else
#define KAVRIN_API __declspec(dllimport)
#endif

// The primitive types of Java as JNI names them, X(Type, jtype) each: the helper's families of
// calls, fields and arrays are declared and defined over this one list.
#define KAVRIN_JNI_PRIMITIVES(X) \
  X(Boolean, jboolean)           \
  X(Byte, jbyte)                 \
  X(Char, jchar)                 \
  X(Short, jshort)               \
  X(Int, jint)                   \
  X(Long, jlong)                 \
  X(Float, jfloat)               \
  X(Double, jdouble)

namespace jni_helpers {
class GlobalRefHolder;
}

// A Java object held through one JNI global reference. Copies share the reference (the share
// count changes atomically, no JNI call); the last copy to go deletes it, attaching its thread
// to the VM for that moment when the thread has no environment. Base of every generated proxy.
class KAVRIN_API JObject_t {
 public:
  JObject_t();
  // Holds a new global reference to `obj` (null gives an empty object). The caller keeps its
  // own reference. Throws jni_helpers::JVMException when the reference cannot be made.
  JObject_t(const jobject obj);
  JObject_t(const JObject_t& other);
  virtual ~JObject_t();

  JObject_t& operator=(const JObject_t& other);

  // The held global reference (null when empty). It belongs to this object: do not delete it.
  operator jobject() const;

  virtual bool isNullObject() const;

  // Forgets the global reference without deleting it; this object becomes empty.
  void clear();

  // Holds the object of `local`, a local reference that a checked call has just returned (so
  // that no Java exception is pending), and deletes `local`. Null gives an empty object.
  // Generated code keeps its object results this way.
  void AssignResult(jobject local);

 protected:
  void Assign(const JObject_t& other);
  void Assign(const jobject obj);

 private:
  void release();

  jni_helpers::GlobalRefHolder* m_pHolder;
};

namespace jni_helpers {

// A string of UTF-16 units with a narrow (UTF-8) copy made on the first narrow read. Copies are
// deep and keep every unit, zero units included. A default-constructed string is a null string:
// it is empty, `!` gives true, and it orders before every other string.
class KAVRIN_API CSmartString {
 public:
  CSmartString();
  CSmartString(const CSmartString& other);
  // Narrow (UTF-8) text up to its terminating zero; null gives a null string.
  CSmartString(const char* text);
  // Wide text up to its first zero unit; null gives a null string.
  CSmartString(const unsigned short* text);
  // `length` units of wide text, zero units included.
  CSmartString(const unsigned short* text, unsigned int length);
  // Length-prefixed wide text (see AllocBSTR). With `copy` the text is copied; otherwise the
  // string takes the buffer over and frees it.
  CSmartString(unsigned short* bstr, bool copy);
  virtual ~CSmartString();

  CSmartString& operator=(const CSmartString& other);
  CSmartString& operator=(const char* text);
  CSmartString& operator=(const unsigned short* text);
  // Replaces the text with a copy of the length-prefixed text (null gives a null string).
  void Assign(unsigned short* bstr);

  CSmartString& operator+=(const CSmartString& other);
  CSmartString operator+(const CSmartString& other) const;

  // The wide text, zero-terminated; null for a null string. Valid while the string is unchanged.
  operator const unsigned short*() const;
  operator unsigned short*();
  // The narrow (UTF-8) text, zero-terminated; null for a null string. Valid while the string is
  // unchanged. Unpaired surrogates become U+FFFD.
  operator const char*() const;
  operator char*();

  // Number of UTF-16 units.
  unsigned int length() const;
  // A new length-prefixed copy of the text that the caller frees with FreeBSTR; null for a null
  // string. The argument has no effect.
  unsigned short* copy(bool ignored = true) const;
  bool operator!() const;

  // Ordered by UTF-16 units, as unsigned numbers; a null string orders before the empty one.
  bool operator==(const CSmartString& other) const;
  bool operator!=(const CSmartString& other) const;
  bool operator<(const CSmartString& other) const;
  bool operator>(const CSmartString& other) const;
  bool operator<=(const CSmartString& other) const;
  bool operator>=(const CSmartString& other) const;

  // Length-prefixed wide text ("BSTR"): a 32-bit byte count, the units and a zero unit; the
  // pointer addresses the first unit.
  static unsigned short* AllocBSTR(const unsigned short* text, unsigned int length);
  static void FreeBSTR(unsigned short* bstr);

 private:
  struct Text;
  int compare(const CSmartString& other) const;

  Text* m_pText;
};

// Errors of the runtime library, thrown and caught by value.
class KAVRIN_API BaseException {
 public:
  BaseException(const CSmartString& message) : m_message(message) {}
  BaseException(const char* message) : m_message(message) {}
  CSmartString getMessage() const { return m_message; }

 private:
  CSmartString m_message;
};

// A Java exception (its message is the Java stack trace), a JNI 1.2 function called on a
// JNI 1.1 VM, or a call that cannot be made (a null class, object or ID). An exception made of a
// Java exception keeps that Java object beside the text: copies share one global reference, and
// the last copy to go deletes it. Generated native methods hand it back to Java as it was thrown.
class KAVRIN_API JVMException : public BaseException {
 public:
  using BaseException::BaseException;
  // `message` with the Java exception `throwable` (null for none).
  JVMException(const CSmartString& message, const JObject_t& throwable)
      : BaseException(message), m_throwable(throwable) {}
  // `message` with the Java exception of `cause`, if any: for a text that adds to the cause's.
  JVMException(const CSmartString& message, const JVMException& cause)
      : BaseException(message), m_throwable(cause.m_throwable) {}

  // The Java exception (a global reference that belongs to the exception), or null when the
  // failure was not a Java exception.
  jthrowable getThrowable() const { return static_cast<jthrowable>(static_cast<jobject>(m_throwable)); }

 private:
  JObject_t m_throwable;
};

// No VM could be found, loaded or created.
class KAVRIN_API InitializationException : public BaseException {
 public:
  using BaseException::BaseException;
};

// The calling thread has no JNI environment and none could be attached.
class KAVRIN_API EnvironmentNotInitializedException : public BaseException {
 public:
  using BaseException::BaseException;
};

// Which registered Java runtime `JVM::load` looks for.
enum EnumInstalledJRE {
  JRE_DEFAULT = 0,   // vendor key JavaSoft; then the JavaSoft mirror, then the IBM mirror
  JRE_SUN = 1,       // vendor key JavaSoft; then the JavaSoft mirror
  JRE_IBM = 2,       // vendor key IBM; then the IBM mirror
  JRE_MICROSOFT = 3  // no registry: library "msjava.dll", version 1.1
};

// Native methods announced before the VM exists; registered when it is created.
class KAVRIN_API NativeMethodData {
 public:
  NativeMethodData(const CSmartString& className, const JNINativeMethod* methods, int count);
  virtual ~NativeMethodData();

  const CSmartString& className() const { return m_className; }
  const JNINativeMethod* methods() const { return m_pMethods; }
  int count() const { return m_count; }

 private:
  NativeMethodData(const NativeMethodData&);
  NativeMethodData& operator=(const NativeMethodData&);

  CSmartString m_className;
  JNINativeMethod* m_pMethods;  // private copy of the entries; their texts are not copied
  int m_count;
};

// The Java VM of the process: finding and loading it, its class path and options, and threads.
// Configure (class path, options, natives) and load on one thread before other threads use Java.
class KAVRIN_API JVM {
 public:
  // The runtime type used by the last successful registry lookup.
  static EnumInstalledJRE jreTypeLoaded;

  // Finds the VM library through the registry (JRE_DEFAULT, CurrentVersion) and loads it.
  static void load();
  // Finds the VM library of `type` whose version subkey begins with `version` (empty: the
  // key's CurrentVersion) and loads it.
  static void load(EnumInstalledJRE type, CSmartString version);
  // Loads the VM library at `path` and creates the VM. Throws InitializationException when a
  // VM is already held or cannot be created; a failed creation leaves no VM held.
  static void load(const CSmartString& path);
  // The JNI version to use with the VM.
  static long version();
  // Destroys the VM (when held) and forgets the announced natives.
  static void unload();

  // Adds a path to the class path (seeded from CLASSPATH while the class path is empty).
  static void initClassPath(const CSmartString& path);
  static void clearClassPath();
  // Adds a VM option such as -Xmx256m; options reach the VM sorted and once each. Empty text is
  // ignored.
  static void addOption(CSmartString option);
  static void clearOptions();
  // Announces native methods of a class (slash form), registered by the next VM creation.
  static void registerNatives(const CSmartString& className, const JNINativeMethod* methods, int count);

  // Attaches the calling thread; the library detaches it when the thread ends. Returns the VM's
  // result, or -1 when no VM is found or the thread already has an environment.
  static long attachCurrentThread();
  // Forgets the calling thread's environment and detaches the thread from the VM.
  //
  // The rule: a thread that has used the library detaches here, never through the VM's own
  // DetachCurrentThread. The library keeps each thread's environment until this call (asking the
  // VM on every call whether it still holds would cost a tenth of a call and more), so a thread
  // that the VM detached behind its back would make its next call with an environment that is
  // gone, which the VM answers with a fatal error. Attaching a thread through the VM's own
  // AttachCurrentThread is fine.
  static long detachCurrentThread();
  static long destroyJavaVM();

  JVM& operator=(const JVM&) { return *this; }
};

// The checked JNI family: one static member per JNI function, working on the calling thread's
// environment (attached on demand). After each call a pending Java exception is cleared and
// thrown as JVMException with the Java stack trace as its message. FindClass returns null for a
// class that cannot be found (a class the running native method's loader cannot see is looked up
// with the system class loader); the delete and release members never check; a null class, object
// or member ID is refused with JVMException naming the member.
class KAVRIN_API JNIEnvHelper {
  friend class JVM;

 public:
  // Stores `env` as the calling thread's environment unless one is already stored.
  static void init(JNIEnv* env);
  static bool isInitialized();
  // The calling thread's environment, attaching the thread when it has none.
  static JNIEnv* getEnv();
  // Throws the pending Java exception, if any, as JVMException; a non-zero line puts
  // "file:line\n" in front of the trace.
  static void exceptionCheck(int line, CSmartString file);

  // AWT interop; a native window is an X11 window id here. The component (a local reference)
  // of a window, or null (also for 0 and for a window of no component, with nothing left
  // pending); null while AWT is not loaded.
  static jobject getComponentFromNative(long hwnd);
  // The window of a displayable component, or 0 (also for null, without entering a monitor,
  // and for a component that has no window yet).
  static long getNativeFromComponent(jobject component);

  // Version, classes, exceptions
  static jint GetVersion();
  static jclass DefineClass(CSmartString name, jobject loader, const jbyte* buf, jsize len);
  static jclass FindClass(CSmartString name);
  static jmethodID FromReflectedMethod(jobject method);
  static jfieldID FromReflectedField(jobject field);
  static jobject ToReflectedMethod(jclass cls, jmethodID methodID, jboolean isStatic);
  static jclass GetSuperclass(jclass sub);
  static jboolean IsAssignableFrom(jclass sub, jclass sup);
  static jobject ToReflectedField(jclass cls, jfieldID fieldID, jboolean isStatic);
  static jint Throw(jthrowable obj);
  static jint ThrowNew(jclass clazz, CSmartString msg);
  // Finds `className` and throws a new exception of it with `msg`, left pending for Java.
  static jint ThrowNew(CSmartString msg, CSmartString className = "java/lang/RuntimeException");
  static jthrowable ExceptionOccurred();
  static void ExceptionDescribe();
  static void ExceptionClear();
  static void FatalError(CSmartString msg);
  static jboolean ExceptionCheck();

  // References and frames
  static jint PushLocalFrame(jint capacity);
  static jobject PopLocalFrame(jobject result);
  static jobject NewGlobalRef(jobject lobj);
  static void DeleteGlobalRef(jobject gref);
  static void DeleteLocalRef(jobject obj);
  static jboolean IsSameObject(jobject obj1, jobject obj2);
  static jobject NewLocalRef(jobject ref);
  static jint EnsureLocalCapacity(jint capacity);
  static jweak NewWeakGlobalRef(jobject obj);
  static void DeleteWeakGlobalRef(jweak ref);

  // Objects
  static jobject AllocObject(jclass clazz);
  static jobject NewObject(jclass clazz, jmethodID methodID, ...);
  static jobject NewObjectV(jclass clazz, jmethodID methodID, va_list args);
  static jobject NewObjectA(jclass clazz, jmethodID methodID, const jvalue* args);
  static jclass GetObjectClass(jobject obj);
  static jboolean IsInstanceOf(const JObject_t& obj, jclass clazz);

  // Member IDs
  static jmethodID GetMethodID(jclass clazz, CSmartString name, CSmartString sig);
  static jfieldID GetFieldID(jclass clazz, CSmartString name, CSmartString sig);
  static jmethodID GetStaticMethodID(jclass clazz, CSmartString name, CSmartString sig);
  static jfieldID GetStaticFieldID(jclass clazz, CSmartString name, CSmartString sig);

#define KAVRIN_CALL_MEMBERS(Type, jtype)                                                                         \
  static jtype Call##Type##Method(jobject obj, jmethodID methodID, ...);                                         \
  static jtype Call##Type##MethodV(jobject obj, jmethodID methodID, va_list args);                               \
  static jtype Call##Type##MethodA(jobject obj, jmethodID methodID, const jvalue* args);                         \
  static jtype CallNonvirtual##Type##Method(jobject obj, jclass clazz, jmethodID methodID, ...);                 \
  static jtype CallNonvirtual##Type##MethodV(jobject obj, jclass clazz, jmethodID methodID, va_list args);       \
  static jtype CallNonvirtual##Type##MethodA(jobject obj, jclass clazz, jmethodID methodID, const jvalue* args); \
  static jtype CallStatic##Type##Method(jclass clazz, jmethodID methodID, ...);                                  \
  static jtype CallStatic##Type##MethodV(jclass clazz, jmethodID methodID, va_list args);                        \
  static jtype CallStatic##Type##MethodA(jclass clazz, jmethodID methodID, const jvalue* args);

  // Method calls: Call<T>Method, CallNonvirtual<T>Method, CallStatic<T>Method with their V and
  // A forms
  KAVRIN_CALL_MEMBERS(Object, jobject)
  KAVRIN_JNI_PRIMITIVES(KAVRIN_CALL_MEMBERS)
  KAVRIN_CALL_MEMBERS(Void, void)
#undef KAVRIN_CALL_MEMBERS
  // CallObjectMethod under the result types jclass and jstring
  static jclass CallClassMethod(jobject obj, jmethodID methodID, ...);
  static jstring CallStringMethod(jobject obj, jmethodID methodID, ...);
  static jclass CallNonvirtualClassMethod(jobject obj, jclass clazz, jmethodID methodID, ...);
  static jstring CallNonvirtualStringMethod(jobject obj, jclass clazz, jmethodID methodID, ...);
  static jclass CallStaticClassMethod(jclass clazz, jmethodID methodID, ...);
  static jstring CallStaticStringMethod(jclass clazz, jmethodID methodID, ...);

#define KAVRIN_FIELD_MEMBERS(Type, jtype)                                 \
  static jtype Get##Type##Field(jobject obj, jfieldID fieldID);           \
  static void Set##Type##Field(jobject obj, jfieldID fieldID, jtype val); \
  static jtype GetStatic##Type##Field(jclass clazz, jfieldID fieldID);    \
  static void SetStatic##Type##Field(jclass clazz, jfieldID fieldID, jtype value);

  // Fields: Get<T>Field, Set<T>Field, GetStatic<T>Field, SetStatic<T>Field
  KAVRIN_FIELD_MEMBERS(Object, jobject)
  KAVRIN_JNI_PRIMITIVES(KAVRIN_FIELD_MEMBERS)
#undef KAVRIN_FIELD_MEMBERS

  // Strings
  static jstring NewString(const jchar* unicode, jsize len);
  static jstring NewString(CSmartString text);
  static jsize GetStringLength(jstring str);
  static const jchar* GetStringChars(jstring str, jboolean* isCopy);
  static void ReleaseStringChars(jstring str, const jchar* chars);
  static jstring NewStringUTF(const char* utf);
  static jsize GetStringUTFLength(jstring str);
  static const char* GetStringUTFChars(jstring str, jboolean* isCopy);
  static void ReleaseStringUTFChars(jstring str, const char* chars);
  static void GetStringRegion(jstring str, jsize start, jsize len, jchar* buf);
  static void GetStringUTFRegion(jstring str, jsize start, jsize len, char* buf);
  static const jchar* GetStringCritical(jstring string, jboolean* isCopy);
  static void ReleaseStringCritical(jstring string, const jchar* cstring);

  // Arrays
  static jsize GetArrayLength(jarray array);
  static jobjectArray NewObjectArray(jsize len, jclass clazz, jobject init);
  static jobject GetObjectArrayElement(jobjectArray array, jsize index);
  static void SetObjectArrayElement(jobjectArray array, jsize index, jobject val);

#define KAVRIN_ARRAY_MEMBERS(Type, jtype)                                                     \
  static jtype##Array New##Type##Array(jsize len);                                            \
  static jtype* Get##Type##ArrayElements(jtype##Array array, jboolean* isCopy);               \
  static void Release##Type##ArrayElements(jtype##Array array, jtype* elems, jint mode);      \
  static void Get##Type##ArrayRegion(jtype##Array array, jsize start, jsize len, jtype* buf); \
  static void Set##Type##ArrayRegion(jtype##Array array, jsize start, jsize len, const jtype* buf);

  // New<P>Array, Get/Release<P>ArrayElements, Get/Set<P>ArrayRegion
  KAVRIN_JNI_PRIMITIVES(KAVRIN_ARRAY_MEMBERS)
#undef KAVRIN_ARRAY_MEMBERS
  static void* GetPrimitiveArrayCritical(jarray array, jboolean* isCopy);
  static void ReleasePrimitiveArrayCritical(jarray array, void* carray, jint mode);

  // Natives, monitors, VM
  static jint RegisterNatives(jclass clazz, const JNINativeMethod* methods, jint nMethods);
  static jint UnregisterNatives(jclass clazz);
  static jint MonitorEnter(jobject obj);
  static jint MonitorExit(jobject obj);
  static jint GetJavaVM(JavaVM** vm);

  JNIEnvHelper& operator=(const JNIEnvHelper&) { return *this; }

 private:
  // Clears the calling thread's environment.
  static void deinit();

  static void* _hAWT;  // the library of the AWT native interface, once found
};

// The text of the java.lang.String `str` (a null string gives an empty text). Throws JVMException
// when `str` is not a String.
KAVRIN_API CSmartString javaStringText(jobject str);

namespace detail {

// Calls `use`, then deletes the local reference `ref`; also when `use` throws.
template <typename Use>
void usingLocalRef(jobject ref, Use use) {
  try {
    use();
  } catch (...) {
    JNIEnvHelper::DeleteLocalRef(ref);
    throw;
  }
  JNIEnvHelper::DeleteLocalRef(ref);
}

}  // namespace detail

// A java.lang.String held as a JObject_t, convertible to and from CSmartString.
class JStringHelper : public JObject_t {
 public:
  JStringHelper() {}
  // A new Java string with the text's UTF-16 units (a null string gives an empty one).
  JStringHelper(CSmartString text) {
    jstring str = JNIEnvHelper::NewString(text);
    detail::usingLocalRef(str, [&] { Assign(str); });
  }
  JStringHelper(jobject str) : JObject_t(str) {}
  JStringHelper(const JObject_t& obj) : JObject_t(obj) {}
  JStringHelper(const JStringHelper& other) : JObject_t(other), m_text(other.m_text) {}
  virtual ~JStringHelper() {}

  JStringHelper& operator=(const JStringHelper& other) {
    JObject_t::operator=(other);
    m_text = other.m_text;
    return *this;
  }

  // Hold `str` (null gives an empty helper); the text is read again on the next conversion.
  JStringHelper& operator=(jobject str) {
    Assign(str);
    m_text = CSmartString();
    return *this;
  }
  JStringHelper& operator=(const JObject_t& obj) {
    JObject_t::operator=(obj);
    m_text = CSmartString();
    return *this;
  }

  // The text of the held string, read from Java once (empty for an empty helper). Throws
  // JVMException when the held object is not a java.lang.String.
  operator CSmartString() const {
    jobject str = *this;
    if (!m_text && str != 0) m_text = javaStringText(str);
    return m_text;
  }

 private:
  mutable CSmartString m_text;
};

// How JArrayHelper reaches the JNI functions of one array type.
template <typename ArrayType>
struct JArrayTraits;

#define KAVRIN_PRIMITIVE_ARRAY_TRAITS(Type, jtype)                                          \
  template <>                                                                               \
  struct JArrayTraits<jtype##Array> {                                                       \
    static jtype##Array newArray(jsize len) { return JNIEnvHelper::New##Type##Array(len); } \
    static void getRegion(jtype##Array a, jsize start, jsize len, jtype* buf) {             \
      JNIEnvHelper::Get##Type##ArrayRegion(a, start, len, buf);                             \
    }                                                                                       \
    static void setRegion(jtype##Array a, jsize start, jsize len, const jtype* buf) {       \
      JNIEnvHelper::Set##Type##ArrayRegion(a, start, len, buf);                             \
    }                                                                                       \
  };
KAVRIN_JNI_PRIMITIVES(KAVRIN_PRIMITIVE_ARRAY_TRAITS)
#undef KAVRIN_PRIMITIVE_ARRAY_TRAITS

// A Java array held as a JObject_t. Primitive arrays read and write ranges of elements; object
// arrays read and write single elements.
template <typename Element, typename ArrayType>
class JArrayHelper : public JObject_t {
 public:
  JArrayHelper() {}
  JArrayHelper(jobject array) : JObject_t(array) {}
  JArrayHelper(const JObject_t& obj) : JObject_t(obj) {}
  JArrayHelper(const JArrayHelper& other) : JObject_t(other) {}
  // A new primitive array holding a copy of `count` values.
  JArrayHelper(const Element* values, jsize count) {
    ArrayType array = JArrayTraits<ArrayType>::newArray(count);
    detail::usingLocalRef(array, [&] {
      if (count > 0) JArrayTraits<ArrayType>::setRegion(array, 0, count, values);
      Assign(array);
    });
  }
  // A new object array of `count` null elements of the class `elementClass` (slash form).
  JArrayHelper(jsize count, CSmartString elementClass) {
    jclass clazz = JNIEnvHelper::FindClass(elementClass);
    detail::usingLocalRef(clazz, [&] {
      if (clazz == 0) throw JVMException(CSmartString("JArrayHelper: class not found: ") + elementClass);
      jobjectArray array = JNIEnvHelper::NewObjectArray(count, clazz, 0);
      detail::usingLocalRef(array, [&] { Assign(array); });
    });
  }
  virtual ~JArrayHelper() {}

  JArrayHelper& operator=(const JArrayHelper& other) {
    JObject_t::operator=(other);
    return *this;
  }

  // The number of elements (0 for an empty helper).
  jsize length() const {
    jobject array = *this;
    return array != 0 ? JNIEnvHelper::GetArrayLength(static_cast<jarray>(array)) : 0;
  }

  // Primitive arrays: copy `len` elements from `start` out of or into the Java array.
  void getRegion(jsize start, jsize len, Element* buf) const {
    JArrayTraits<ArrayType>::getRegion(static_cast<ArrayType>(jobject(*this)), start, len, buf);
  }
  void setRegion(jsize start, jsize len, const Element* buf) {
    JArrayTraits<ArrayType>::setRegion(static_cast<ArrayType>(jobject(*this)), start, len, buf);
  }

  // Object arrays: one element as a new local reference, or store one element.
  jobject getElement(jsize index) const {
    return JNIEnvHelper::GetObjectArrayElement(static_cast<jobjectArray>(jobject(*this)), index);
  }
  void setElement(jsize index, jobject value) {
    JNIEnvHelper::SetObjectArrayElement(static_cast<jobjectArray>(jobject(*this)), index, value);
  }
};

// JBooleanArray, JByteArray, ... JDoubleArray.
#define KAVRIN_PRIMITIVE_ARRAY_HELPER(Type, jtype) typedef JArrayHelper<jtype, jtype##Array> J##Type##Array;
KAVRIN_JNI_PRIMITIVES(KAVRIN_PRIMITIVE_ARRAY_HELPER)
#undef KAVRIN_PRIMITIVE_ARRAY_HELPER
typedef JArrayHelper<jobject, jobjectArray> JObjectArrayHelper;

// A java.lang.String[] held as a JObject_t.
class JStringArrayHelper : public JObjectArrayHelper {
 public:
  JStringArrayHelper() {}
  JStringArrayHelper(jobject array) : JObjectArrayHelper(array) {}
  JStringArrayHelper(const JObject_t& obj) : JObjectArrayHelper(obj) {}
  JStringArrayHelper(const JStringArrayHelper& other) : JObjectArrayHelper(other) {}
  // A new String[] holding Java strings of `count` texts (a null text gives a null element).
  JStringArrayHelper(const CSmartString* texts, jsize count) : JObjectArrayHelper(count, "java/lang/String") {
    for (jsize i = 0; i < count; ++i) {
      if (!!texts[i]) setString(i, texts[i]);
    }
  }
  virtual ~JStringArrayHelper() {}

  JStringArrayHelper& operator=(const JStringArrayHelper& other) {
    JObjectArrayHelper::operator=(other);
    return *this;
  }

  // The text of one element (a null element gives a null string).
  CSmartString getString(jsize index) const {
    jobject element = getElement(index);
    if (element == 0) return CSmartString();
    CSmartString text;
    detail::usingLocalRef(element, [&] { text = JStringHelper(element); });
    return text;
  }
  void setString(jsize index, CSmartString text) { setElement(index, JStringHelper(text)); }
};

// The library's own class loader, through which generated code looks its classes up first: a
// java.net.URLClassLoader that looks in its own class path entries before its parent. Set it up
// (init, addClassPath, deinit) on the thread that loaded the VM; getClass works on any thread.
class KAVRIN_API _simple_class_loader {
 public:
  // Makes the loader over the entries given so far ("." when none were), defining its class in
  // the VM from the bytes the library carries. True when a loader exists afterwards; a second
  // call changes nothing. A Java failure is reported in a "Class Loader Error" message box and
  // thrown as JVMException.
  static bool init();
  // Adopts a loader made elsewhere (global references are taken); true when both are given.
  static bool init(jclass loaderClass, jobject loaderObject);
  // Forgets the loader (called by JVM::unload).
  static void deinit();
  static bool isInitialized();
  static jclass getLoaderClass();
  static jobject getLoaderObject();
  // Adds class path entries (directories, jars), separated by ';' or ':'. Before init they
  // wait for the loader; afterwards the loader takes them at once.
  static void addClassPath(CSmartString pathList);
  // The class loaded by the loader (a local reference), or null with nothing pending; null
  // without touching the VM while there is no loader. '/' and '.' separators both work.
  static jclass getClass(CSmartString className);

  _simple_class_loader& operator=(const _simple_class_loader&) { return *this; }

 private:
  static bool init(CSmartString className, const jbyte* bytes, long length);
};

// What one place in generated code looked up, kept for its next run: a class, or a member ID
// together with the class it belongs to. Declare it static at that place; it is constant-
// initialised and needs no set-up.
class LookupSite {
 public:
  constexpr LookupSite() : m_record(nullptr) {}
  LookupSite(const LookupSite&) = delete;
  LookupSite& operator=(const LookupSite&) = delete;

 private:
  friend class ProxyLookup;
  std::atomic<const void*> m_record;
};

// The lookups of generated proxies, each cached at its place in the generated code.
//
// A proxy's class is looked up as proxies always look classes up (through the library's class
// loader first, then FindClass) and then held by the library for the life of the VM: callers use
// it and never delete it. It is looked up again once the class loader changed (set up, given
// class path entries, forgotten) or the library defined a class, so the class that wins is the one
// an uncached lookup would find. Member IDs are looked up once per class and place. Names are
// UTF-8 text. Everything here may be used from any thread.
class KAVRIN_API ProxyLookup {
 public:
  // The class `className` (slash form), or null when it cannot be found (nothing is left
  // pending).
  static jclass proxyClass(LookupSite& site, const char* className);
  // A static member of the class `className`: sets `clazz` to the class and returns the ID.
  // Throws JVMException as GetStaticMethodID and GetStaticFieldID do, and one naming the class
  // when it cannot be found.
  static jmethodID staticMethod(LookupSite& site, const char* className, const char* name, const char* signature,
                                jclass& clazz);
  static jfieldID staticField(LookupSite& site, const char* className, const char* name, const char* signature,
                              jclass& clazz);
  // A member of `clazz`, a class proxyClass gave. Throws JVMException as GetMethodID and
  // GetFieldID do.
  static jmethodID method(LookupSite& site, jclass clazz, const char* name, const char* signature);
  static jfieldID field(LookupSite& site, jclass clazz, const char* name, const char* signature);

  ProxyLookup& operator=(const ProxyLookup&) { return *this; }
};

}  // namespace jni_helpers

// Generated native functions name the helper without its namespace.
using jni_helpers::JNIEnvHelper;

#endif  // KAVRIN_JNIHELPERS_H
