// What the fake VM library records, and the knobs a test turns. The library exports
// `kavrin_fake_jvm()`, which a test finds with dlsym after the runtime has loaded it.
#pragma once

#include <jni.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "FakeJni.h"

struct FakeJvmControl {
  // knobs
  jint createResult = JNI_OK;  // what the next JNI_CreateJavaVM returns
  // records
  int defaultsCalls = 0;
  jint defaultsVersion = 0;  // the version field JNI_GetDefaultJavaVMInitArgs was given
  int createCalls = 0;
  jint createVersion = 0;  // the version field JNI_CreateJavaVM was given
  bool ignoreUnrecognized = true;
  std::vector<std::string> options;  // the option texts of the last creation
  std::string legacyClassPath;       // the class path of a JDK 1.1 creation
  int destroyCalls = 0;
  std::atomic<int> attachCalls{0};
  std::atomic<int> detachCalls{0};
  fakejni::Env* env = nullptr;  // the environment of the fake VM (made on first creation)
  JavaVM* vm = nullptr;         // the fake VM, as an application attaching a thread sees it

  // Back to the state of a VM never created (the environment's records included), for the
  // next case of a test program that runs several in one process.
  void reset() {
    createResult = JNI_OK;
    defaultsCalls = 0;
    defaultsVersion = 0;
    createCalls = 0;
    createVersion = 0;
    ignoreUnrecognized = true;
    options.clear();
    legacyClassPath.clear();
    destroyCalls = 0;
    attachCalls = 0;
    detachCalls = 0;
    if (env != nullptr) {
      env->calls.clear();
      env->registered.clear();
      env->registeredClasses.clear();
      env->liveLocals.clear();
      env->liveGlobals.clear();
      env->pending = nullptr;
      env->errors.clear();
    }
  }
};

typedef FakeJvmControl* (*FakeJvmControlFn)();
