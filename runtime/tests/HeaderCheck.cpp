// Compiled alone against the public headers with g++ and clang++ as C++14 and C++17: the
// constructs that generated proxies, native stubs, interface implementations and delegators use.
#include "JNIInteface.h"
#include "native/EchoProxy.h"

const char* CPP_Java_Bridge::runtimetest::EchoJNIProxy::_clazzName = "runtimetest/Echo";

namespace CPP_Java_Bridge {
using namespace ::jni_helpers;
namespace runtimetest {
// What "defproxies.h" declares for a Java type: JObject_t is a virtual base.
class Runnable : public virtual JObject_t {
 public:
  Runnable() {}
  Runnable(const JObject_t& o) : JObject_t(o) {}
};

// An interface implementation and a delegator as the generator writes them.
class __declspec(dllexport) RunnableJNIImpl : public ::jni_helpers::JNIInterface, public Runnable {
 public:
  RunnableJNIImpl() {
    static JNINativeMethod methods[] = {{(char*)"native0run", (char*)"(J)V", (void*)&RunnableJNIImpl::thunk}};
    static const signed char bytes[] = {(signed char)0xca, (signed char)0xfe, 0x00, 0x01};
    JNIInterface::init("runtimetest/JNIImplementationOfRunnable", methods, sizeof(methods) / sizeof(JNINativeMethod),
                       bytes, sizeof(bytes));
  }
  RunnableJNIImpl(const RunnableJNIImpl& o) : JObject_t(o), JNIInterface(o), Runnable(o) {}
  virtual void run() {}
  static void JNICALL thunk(JNIEnv* env, jobject, jlong peer) {
    if (!::jni_helpers::JNIEnvHelper::isInitialized()) ::jni_helpers::JNIEnvHelper::init(env);
    try {
      ::jni_helpers::JNIInterface::Receiver receiver(peer);
      if (!receiver) {
        ::jni_helpers::JNIEnvHelper::ThrowNew("gone", "java/lang/IllegalStateException");
        return;
      }
      ((RunnableJNIImpl*)receiver.get())->run();
    } catch (const ::jni_helpers::JVMException& e) {
      if (::jni_helpers::JNIEnvHelper::Throw(e.getThrowable()) != JNI_OK)
        ::jni_helpers::JNIEnvHelper::ThrowNew(e.getMessage());
    } catch (...) {
      ::jni_helpers::JNIEnvHelper::ThrowNew("An error in the native code.");
    }
  }
};

// A call whose argument is the parameter's own type through a base class, beside an
// overload whose parameter converts from every JObject_t.
inline int takes(int, const Runnable&) { return 1; }
inline int takes(int, const JStringHelper&) { return 2; }
inline int exactType(RunnableJNIImpl& impl) { return takes(0, impl); }

class __declspec(dllimport) ListJNIDelegator : public jni_helpers::JNIInterface {
 public:
  ListJNIDelegator(JObject_t delegate) {
    static JNINativeMethod methods[] = {{(char*)"native0size", (char*)"(J)I", (void*)0}};
    static const signed char bytes[] = {0x01};
    jvalue args[1];
    args[0].i = 4;
    JNIInterface::init(delegate, "runtimetest/DelegatorList", methods, 1, bytes, 1, "(I)V", args);
  }
  jint size() {
    JObject_t target = getDelegator();
    return target.isNullObject() ? 0 : 1;
  }
};
}  // namespace runtimetest
};  // namespace CPP_Java_Bridge

// Every wrapper type converts from 0L, from a jobject and from a JObject_t, and back to jobject.
template <typename W>
jobject roundTrip(jobject obj, const JObject_t& held) {
  W none(0L);
  W fromObject(obj);
  W fromHeld(held);
  W copy(fromHeld);
  copy = fromObject;
  return (jobject)copy;
}

jobject allWrappers(jobject obj, const JObject_t& held) {
  roundTrip<jni_helpers::JStringHelper>(obj, held);
  roundTrip<jni_helpers::JIntArray>(obj, held);
  roundTrip<jni_helpers::JByteArray>(obj, held);
  roundTrip<jni_helpers::JCharArray>(obj, held);
  roundTrip<jni_helpers::JDoubleArray>(obj, held);
  roundTrip<jni_helpers::JFloatArray>(obj, held);
  roundTrip<jni_helpers::JLongArray>(obj, held);
  roundTrip<jni_helpers::JShortArray>(obj, held);
  roundTrip<jni_helpers::JBooleanArray>(obj, held);
  char* stack = (char*)_alloca(16);
  stack[0] = 0;
  return roundTrip<jni_helpers::JStringArrayHelper>(obj, held);
}

// A native stub, with JNIEnvHelper named without its namespace.
extern "C" JNIEXPORT jint JNICALL Java_runtimetest_Echo_nativeTwice(JNIEnv* env, jclass clazz, jint p0) {
  try {
    if (!JNIEnvHelper::isInitialized()) JNIEnvHelper::init(env);
    CPP_Java_Bridge::runtimetest::EchoJNIProxy jniObj(clazz);
    return jniObj.add(p0) + CPP_Java_Bridge::runtimetest::EchoJNIProxy::describeAll();
  } catch (::jni_helpers::JVMException e) {
    jni_helpers::JNIEnvHelper::ThrowNew(e.getMessage());
  } catch (...) {
    jni_helpers::JNIEnvHelper::ThrowNew("System Error");
  }
  return 0;
}
