// A VM library without a VM: the invocation functions the runtime looks up, recording what
// they are given, over a fake JNI environment.
#include "FakeJni.h"
#include "FakeJvmControl.h"
#include "LegacyInitArgs.h"

namespace {

FakeJvmControl gControl;
JNIInvokeInterface_ gInvoke;
JavaVM_ gVm;

// Whether the calling thread is attached to the fake VM (GetEnv answers only then).
thread_local bool tAttached = false;

jint JNICALL destroyVm(JavaVM*) {
  ++gControl.destroyCalls;
  return JNI_OK;
}

jint JNICALL attachThread(JavaVM*, void** penv, void*) {
  ++gControl.attachCalls;
  tAttached = true;
  *penv = gControl.env->jni();
  return JNI_OK;
}

jint JNICALL detachThread(JavaVM*) {
  ++gControl.detachCalls;
  tAttached = false;
  return JNI_OK;
}

jint JNICALL getEnv(JavaVM*, void** penv, jint) {
  *penv = tAttached ? gControl.env->jni() : nullptr;
  return tAttached ? JNI_OK : JNI_EDETACHED;
}

}  // namespace

extern "C" {

JNIEXPORT FakeJvmControl* kavrin_fake_jvm() { return &gControl; }

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) {
  ++gControl.defaultsCalls;
  gControl.defaultsVersion = *static_cast<jint*>(args);
  return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
  ++gControl.createCalls;
  gControl.createVersion = *static_cast<jint*>(args);
  gControl.options.clear();
  if (gControl.createVersion == JNI_VERSION_1_1) {
    const LegacyInitArgs* legacy = static_cast<const LegacyInitArgs*>(args);
    gControl.legacyClassPath = legacy->classpath != nullptr ? legacy->classpath : "<null>";
  } else {
    const JavaVMInitArgs* init = static_cast<const JavaVMInitArgs*>(args);
    gControl.ignoreUnrecognized = init->ignoreUnrecognized != JNI_FALSE;
    for (jint i = 0; i < init->nOptions; ++i) gControl.options.push_back(init->options[i].optionString);
  }
  if (gControl.createResult != JNI_OK) return gControl.createResult;
  if (gControl.env == nullptr) {
    gControl.env = new fakejni::Env();
    gInvoke.DestroyJavaVM = destroyVm;
    gInvoke.AttachCurrentThread = attachThread;
    gInvoke.DetachCurrentThread = detachThread;
    gInvoke.GetEnv = getEnv;
    gVm.functions = &gInvoke;
    gControl.vm = &gVm;
  }
  tAttached = true;
  *pvm = &gVm;
  *penv = gControl.env->jni();
  return JNI_OK;
}

}  // extern "C"
