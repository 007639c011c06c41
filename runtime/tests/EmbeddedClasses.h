// Class files compiled with the tests and carried as bytes, as generated C++ classes carry the
// classes the generator builds (made at build time from impl/ under java/).
#pragma once

namespace runtime_test {

// runtimetest/JNIImplementationOfShape: implements runtimetest.Shape (application class path).
extern const unsigned char kShapeImplementationClass[];
extern const unsigned long kShapeImplementationClassSize;
// hidden/JNIImplementationOfSecret: implements hidden.Secret (seen only by the runtime's loader).
extern const unsigned char kSecretImplementationClass[];
extern const unsigned long kSecretImplementationClassSize;
// java/lang/JNIImplementationOfRunnable: implements java.lang.Runnable.
extern const unsigned char kRunnableImplementationClass[];
extern const unsigned long kRunnableImplementationClassSize;
// runtimetest/DelegatorCounter: extends runtimetest.Counter.
extern const unsigned char kCounterDelegatorClass[];
extern const unsigned long kCounterDelegatorClassSize;

inline const signed char* classBytes(const unsigned char* bytes) { return reinterpret_cast<const signed char*>(bytes); }

}  // namespace runtime_test
