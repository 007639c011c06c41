// The start-up structure of a JDK 1.1 VM (JDK1_1InitArgs), which JNI_GetDefaultJavaVMInitArgs fills
// and JNI_CreateJavaVM reads when its version field is JNI_VERSION_1_1.
#pragma once

#include <jni.h>

#include <cstdarg>
#include <cstdio>

struct LegacyInitArgs {
  jint version;
  char** properties;
  jint checkSource;
  jint nativeStackSize;
  jint javaStackSize;
  jint minHeapSize;
  jint maxHeapSize;
  jint verifyMode;
  char* classpath;
  jint(JNICALL* vfprintf)(FILE* fp, const char* format, va_list args);
  void(JNICALL* exit)(jint code);
  void(JNICALL* abort)(void);
  jint enableClassGC;
  jint enableVerboseGC;
  jint disableAsyncGC;
  jint verbose;
  jboolean debugging;
  jint debugPort;
};
