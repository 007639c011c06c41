// The native methods of runtimetest.InsideJava: the runtime used from inside a Java program,
// in the shape of generated native stubs (the environment comes from Java through init).
#include "EchoProxy.h"

#include <cstdio>
#include <string>
#include <thread>

using namespace jni_helpers;

const char* CPP_Java_Bridge::runtimetest::EchoJNIProxy::_clazzName = "runtimetest/Echo";

namespace {

jint triple(jint value) {
  jclass cls = JNIEnvHelper::FindClass("runtimetest/InsideJava");
  if (cls == 0) throw JVMException("runtimetest/InsideJava not found");
  jmethodID id = JNIEnvHelper::GetStaticMethodID(cls, "triple", "(I)I");
  const jint result = JNIEnvHelper::CallStaticIntMethod(cls, id, value);
  JNIEnvHelper::DeleteLocalRef(cls);
  return result;
}

JStringHelper run(jint value) {
  const jint r = triple(value);
  CPP_Java_Bridge::runtimetest::EchoJNIProxy echo;
  echo.put_i(r - 2);
  if (echo.add(2) != r || echo.get_i() != r - 2) throw JVMException("the proxy disagrees");
  const std::string label = static_cast<const char*>(static_cast<CSmartString>(echo.label(r)));
  if (label != "item" + std::to_string(r))
    throw JVMException(CSmartString("unexpected label ") + CSmartString(label.c_str()));
  if (CPP_Java_Bridge::runtimetest::EchoJNIProxy::describeAll() != -1) throw JVMException("default argument");
  return JStringHelper(CSmartString((std::to_string(r) + " from C++").c_str()));
}

// A thread of the program's own, attached by the library on first use and detached when it
// ends (otherwise the VM would wait for it at exit).
JStringHelper runOnThread(jint value) {
  std::string answer;
  std::string failure;
  std::thread worker([&] {
    try {
      if (JNIEnvHelper::isInitialized()) throw JVMException("a new thread has an environment");
      JStringHelper made(CSmartString((std::to_string(triple(value)) + " on another thread").c_str()));
      answer = static_cast<const char*>(static_cast<CSmartString>(made));
    } catch (const BaseException& e) {
      failure = static_cast<const char*>(e.getMessage());
    }
  });
  worker.join();
  if (!failure.empty()) throw JVMException(failure.c_str());
  return JStringHelper(CSmartString(answer.c_str()));
}

// What a generated native stub does around its body: the helper set up with the environment Java
// passed, and a C++ exception (`Reported`, with its message; any other, as "System Error")
// handed to Java.
template <typename Reported, typename Body>
auto nativeStub(JNIEnv* env, Body body) -> decltype(body()) {
  try {
    if (!JNIEnvHelper::isInitialized()) JNIEnvHelper::init(env);
    return body();
  } catch (Reported e) {
    jni_helpers::JNIEnvHelper::ThrowNew(e.getMessage());
  } catch (...) {
    jni_helpers::JNIEnvHelper::ThrowNew("System Error");
  }
  return decltype(body())();
}

// A wrapper's Java object as the local reference a native method returns.
jstring returned(const JObject_t& wrapper) { return (jstring)jni_helpers::JNIEnvHelper::NewLocalRef((jobject)wrapper); }

}  // namespace

extern "C" {

JNIEXPORT jstring JNICALL Java_runtimetest_InsideJava_run(JNIEnv* env, jclass, jint p0) {
  return nativeStub<JVMException>(env, [&] { return returned(run(p0)); });
}

JNIEXPORT jstring JNICALL Java_runtimetest_InsideJava_runOnThread(JNIEnv* env, jclass, jint p0) {
  return nativeStub<JVMException>(env, [&] { return returned(runOnThread(p0)); });
}

JNIEXPORT void JNICALL Java_runtimetest_InsideJava_throwFromNative(JNIEnv* env, jclass, jstring p0) {
  nativeStub<JVMException>(env, [&] {
    throw ::jni_helpers::JVMException(CSmartString("native: ") +
                                      static_cast<CSmartString>(::jni_helpers::JStringHelper(JObject_t(p0))));
  });
}

JNIEXPORT jstring JNICALL Java_runtimetest_InsideJava_version(JNIEnv* env, jclass) {
  return nativeStub<BaseException>(env, [] {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", JVM::version());
    return returned(JStringHelper(CSmartString(text)));
  });
}

}  // extern "C"
