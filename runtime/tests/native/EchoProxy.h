// A proxy of runtimetest.Echo written in the shape the generator gives its proxies: derived
// from JObject_t, exported through __declspec, caching IDs, turning every failure into
// JVMException, passing wrappers as jobject.
#pragma once

#include "JNIHelpers.h"

namespace CPP_Java_Bridge {
using namespace ::jni_helpers;
namespace runtimetest {
#ifdef __JNIHDLL
class __declspec(dllexport) EchoJNIProxy : public JObject_t {
#elif __USEDLL
class __declspec(dllimport) EchoJNIProxy : public JObject_t {
#else
class EchoJNIProxy : public JObject_t {
#endif
 public:
  static const char* _clazzName;
  jclass clazz;
  jfieldID i_ID;
  jmethodID add_ID;
  jmethodID _init_ID;

  // The class through the library's class loader first, as generated code looks it up;
  // the library linked here does not carry the loader yet, so only a header check
  // (KAVRIN_HEADER_CHECK) compiles that path.
  static jclass findClass() {
#ifdef KAVRIN_HEADER_CHECK
    jclass found = ::jni_helpers::_simple_class_loader::getClass(_clazzName);
    if (found == 0) found = reinterpret_cast<jclass>(::jni_helpers::JNIEnvHelper::FindClass(_clazzName));
    return found;
#else
    return reinterpret_cast<jclass>(::jni_helpers::JNIEnvHelper::FindClass(_clazzName));
#endif
  }

  void Echo_init() {
    i_ID = 0;
    add_ID = 0;
    _init_ID = 0;
  }

  EchoJNIProxy(const jobject _peerObj) : JObject_t(_peerObj), clazz(0) {
    try {
      jclass tmpclazz = findClass();
      clazz = reinterpret_cast<jclass>(jni_helpers::JNIEnvHelper::NewGlobalRef(tmpclazz));
      Echo_init();
      jni_helpers::JNIEnvHelper::DeleteLocalRef(tmpclazz);
    } catch (::jni_helpers::JVMException e) {
      throw ::jni_helpers::JVMException(jni_helpers::CSmartString("EchoJNIProxy:\n") + e.getMessage());
    } catch (...) {
      throw ::jni_helpers::JVMException("EchoJNIProxy: System Error");
    }
  }

  EchoJNIProxy() : clazz(0) {
    try {
      jobject tmpclazz = findClass();
      clazz = reinterpret_cast<jclass>(::jni_helpers::JNIEnvHelper::NewGlobalRef(tmpclazz));
      Echo_init();
      if (_init_ID == 0) _init_ID = ::jni_helpers::JNIEnvHelper::GetMethodID(clazz, "<init>", "()V");
      jobject tmpobj = ::jni_helpers::JNIEnvHelper::NewObject(clazz, _init_ID);
      Assign(tmpobj);
      if (tmpobj) ::jni_helpers::JNIEnvHelper::DeleteLocalRef(tmpobj);
      ::jni_helpers::JNIEnvHelper::DeleteLocalRef(tmpclazz);
    } catch (::jni_helpers::JVMException e) {
      throw ::jni_helpers::JVMException(jni_helpers::CSmartString("EchoJNIProxy:\n") + e.getMessage());
    } catch (...) {
      throw ::jni_helpers::JVMException("EchoJNIProxy: System Error");
    }
  }

  EchoJNIProxy(const EchoJNIProxy& o) : JObject_t(o), clazz(0) {
    clazz = reinterpret_cast<jclass>(jni_helpers::JNIEnvHelper::NewGlobalRef(o.clazz));
    Echo_init();
  }

  virtual ~EchoJNIProxy() {
    try {
      if (clazz != 0) jni_helpers::JNIEnvHelper::DeleteGlobalRef(clazz);
    } catch (::jni_helpers::JVMException e) {
    } catch (...) {
    }
  }

  EchoJNIProxy& operator=(const EchoJNIProxy& o) {
    Assign(o);
    return *this;
  }
  EchoJNIProxy& operator=(const jobject o) {
    Assign(o);
    return *this;
  }
  EchoJNIProxy& operator=(const JObject_t& o) {
    Assign(o);
    return *this;
  }
  bool isNullObject() const { return JObject_t::isNullObject(); }

  jint get_i() {
    try {
      jint result;
      if (i_ID == 0) i_ID = ::jni_helpers::JNIEnvHelper::GetFieldID(clazz, "i", "I");
      result = ::jni_helpers::JNIEnvHelper::GetIntField(*this, i_ID);
      return result;
    } catch (::jni_helpers::JVMException e) {
      throw ::jni_helpers::JVMException(jni_helpers::CSmartString("EchoJNIProxy::get_i:\n") + e.getMessage());
    } catch (...) {
      throw ::jni_helpers::JVMException("EchoJNIProxy::get_i: System Error");
    }
  }

  void put_i(jint p) {
    try {
      if (i_ID == 0) i_ID = ::jni_helpers::JNIEnvHelper::GetFieldID(clazz, "i", "I");
      ::jni_helpers::JNIEnvHelper::SetIntField(*this, i_ID, p);
    } catch (::jni_helpers::JVMException e) {
      throw ::jni_helpers::JVMException(jni_helpers::CSmartString("EchoJNIProxy::put_i:\n") + e.getMessage());
    } catch (...) {
      throw ::jni_helpers::JVMException("EchoJNIProxy::put_i: System Error");
    }
  }

  jint add(jint p0) {
    try {
      jint result;
      if (add_ID == 0) add_ID = ::jni_helpers::JNIEnvHelper::GetMethodID(clazz, "add", "(I)I");
      result = ::jni_helpers::JNIEnvHelper::CallIntMethod(*this, add_ID, p0);
      return result;
    } catch (::jni_helpers::JVMException e) {
      throw ::jni_helpers::JVMException(jni_helpers::CSmartString("EchoJNIProxy::add:\n") + e.getMessage());
    } catch (...) {
      throw ::jni_helpers::JVMException("EchoJNIProxy::add: System Error");
    }
  }

  static ::jni_helpers::JStringHelper label(jint p0) {
    try {
      ::jni_helpers::JStringHelper result;
      jclass clazz = findClass();
      jmethodID label_ID = ::jni_helpers::JNIEnvHelper::GetStaticMethodID(clazz, "label", "(I)Ljava/lang/String;");
      jobject tmpobject = ::jni_helpers::JNIEnvHelper::CallStaticObjectMethod(clazz, label_ID, p0);
      result = tmpobject;
      if (tmpobject) ::jni_helpers::JNIEnvHelper::DeleteLocalRef(tmpobject);
      if (clazz != 0) ::jni_helpers::JNIEnvHelper::DeleteLocalRef(clazz);
      return result;
    } catch (::jni_helpers::JVMException e) {
      throw ::jni_helpers::JVMException(jni_helpers::CSmartString("EchoJNIProxy::label:\n") + e.getMessage());
    } catch (...) {
      throw ::jni_helpers::JVMException("EchoJNIProxy::label: System Error");
    }
  }

  static jint describeAll(::jni_helpers::JStringArrayHelper p0 = ::jni_helpers::JStringArrayHelper(0L)) {
    return p0.isNullObject() ? -1 : p0.length();
  }
};
}  // namespace runtimetest
};  // namespace CPP_Java_Bridge
