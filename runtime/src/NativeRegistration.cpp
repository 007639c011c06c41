// Registration of the native methods of generated classes. A class of a named module of the boot
// or the platform loader (a generated class under java/ belongs to java.base) gets its natives
// through kavrinlib/NativeRegistrar defined into the same loader: the VM then has no reason to
// warn "Re-registering of platform native method" for each of them. Every other class gets them
// straight from here.
#include "RuntimeInternal.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace jni_helpers {
namespace detail {

extern const unsigned char kRegistrarClassBytes[];
extern const unsigned long kRegistrarClassBytesSize;

namespace {

const char kRegistrarName[] = "kavrinlib/NativeRegistrar";

// What the registrar's native method registers, by address.
struct Request {
  jclass clazz;
  const JNINativeMethod* methods;
  jint count;
  jint result;
};

void JNICALL registerRequest(JNIEnv* env, jclass, jlong address) {
  Request* request = reinterpret_cast<Request*>(static_cast<std::intptr_t>(address));
  request->result = env->RegisterNatives(request->clazz, request->methods, request->count);
}

// The registrar of one loader (null: the boot loader); global references, of one VM life.
struct Registrar {
  jobject loader;
  jclass clazz;
  jmethodID reg;
  unsigned generation;
};

std::mutex& registrarLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

std::vector<Registrar>& registrars() {
  static std::vector<Registrar>* list = new std::vector<Registrar>;
  return *list;
}

// The loader of `clazz` when natives registered from native code would be warned about (the boot
// loader as null, or the platform loader), in `loader` as a local reference; false for any
// other loader. Leaves no exception pending.
bool needsRegistrar(JNIEnv* env, jclass clazz, LocalRef& loader) {
  LocalRef classClass(env->FindClass("java/lang/Class"));
  jmethodID getLoader = classClass ? env->GetMethodID(static_cast<jclass>(classClass.get()), "getClassLoader",
                                                      "()Ljava/lang/ClassLoader;")
                                   : nullptr;
  if (getLoader == nullptr) {
    env->ExceptionClear();
    return false;
  }
  loader.reset(env->CallObjectMethod(clazz, getLoader));
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    return false;
  }
  if (!loader) return true;
  // Java 9 and later: the platform loader's modules are named too.
  LocalRef loaderClass(env->FindClass("java/lang/ClassLoader"));
  jmethodID getPlatform = loaderClass ? env->GetStaticMethodID(static_cast<jclass>(loaderClass.get()),
                                                               "getPlatformClassLoader", "()Ljava/lang/ClassLoader;")
                                      : nullptr;
  if (getPlatform == nullptr) {
    env->ExceptionClear();
    return false;
  }
  LocalRef platform(env->CallStaticObjectMethod(static_cast<jclass>(loaderClass.get()), getPlatform));
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    return false;
  }
  return env->IsSameObject(loader, platform) == JNI_TRUE;
}

// The registrar of `loader`, defined there on first use; null when it cannot be had (no
// exception is left pending then). Called with the lock held.
const Registrar* registrarOf(JNIEnv* env, jobject loader) {
  const unsigned generation = gGeneration.load();
  for (const Registrar& known : registrars()) {
    if (known.generation == generation && env->IsSameObject(known.loader, loader)) return &known;
  }
  LocalRef defined(env->DefineClass(kRegistrarName, loader, reinterpret_cast<const jbyte*>(kRegistrarClassBytes),
                                    static_cast<jsize>(kRegistrarClassBytesSize)));
  if (!defined) {
    env->ExceptionClear();
    return nullptr;
  }
  const JNINativeMethod own[] = {
      {const_cast<char*>("register0"), const_cast<char*>("(J)V"), reinterpret_cast<void*>(&registerRequest)}};
  jclass clazz = static_cast<jclass>(defined.get());
  const jmethodID reg =
      env->RegisterNatives(clazz, own, 1) == JNI_OK ? env->GetStaticMethodID(clazz, "register", "(J)V") : nullptr;
  if (reg == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  Registrar registrar;
  registrar.loader = loader ? env->NewGlobalRef(loader) : nullptr;
  registrar.clazz = static_cast<jclass>(env->NewGlobalRef(clazz));
  registrar.reg = reg;
  registrar.generation = generation;
  if (registrar.clazz == nullptr || (loader != nullptr && registrar.loader == nullptr)) {
    env->ExceptionClear();
    return nullptr;
  }
  registrars().push_back(registrar);
  return &registrars().back();
}

}  // namespace

void registerNatives(jclass clazz, const JNINativeMethod* methods, jint count) {
  JNIEnv* env = JNIEnvHelper::getEnv();
  if (clazz != nullptr && methods != nullptr && count > 0 && !env->ExceptionCheck()) {
    std::lock_guard<std::mutex> lock(registrarLock());
    LocalRef loader;
    const Registrar* registrar = needsRegistrar(env, clazz, loader) ? registrarOf(env, loader) : nullptr;
    if (registrar != nullptr) {
      Request request{clazz, methods, count, JNI_ERR};
      env->CallStaticVoidMethod(registrar->clazz, registrar->reg,
                                static_cast<jlong>(reinterpret_cast<std::intptr_t>(&request)));
      // A method the class lacks is a pending NoSuchMethodError, thrown as JVMException.
      JNIEnvHelper::exceptionCheck(0, CSmartString());
      if (request.result != JNI_OK) throw JVMException("RegisterNatives failed");
      return;
    }
  }
  JNIEnvHelper::RegisterNatives(clazz, methods, count);
}

}  // namespace detail
}  // namespace jni_helpers
