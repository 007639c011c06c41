// A library that has the default-arguments function of a VM library and nothing else.
#include <jni.h>

extern "C" JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void*) { return JNI_OK; }
