// Checks of the programs built from generated proxies. Each failed check prints one "FAIL" line;
// the program's exit status is the number of failures. The tests that run the programs also fail
// on any warning of the VM's JNI checks in their output.
#pragma once

#include "defproxies.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

namespace e2e {

inline int& failures() {
  static int count = 0;
  return count;
}

// A Java string of the text, for the arguments of generated calls.
inline jni_helpers::JStringHelper str(const char* text) {
  return jni_helpers::JStringHelper(jni_helpers::CSmartString(text));
}

inline std::string text(const jni_helpers::CSmartString& s) {
  const char* p = s;
  return p ? std::string(p) : std::string("<null>");
}

// The text of a Java string held by a wrapper (or by any JObject_t that holds a String).
inline std::string text(const JObject_t& str) {
  if (str.isNullObject()) return "<null>";
  return text(jni_helpers::CSmartString(jni_helpers::JStringHelper(str)));
}

template <typename T>
std::string show(const T& value) {
  std::ostringstream out;
  out.precision(17);
  out << value;
  return out.str();
}
inline std::string show(const std::string& value) { return "\"" + value + "\""; }
inline std::string show(jbyte value) { return std::to_string(static_cast<int>(value)); }
inline std::string show(jboolean value) { return value ? "true" : "false"; }
inline std::string show(jchar value) { return std::to_string(static_cast<unsigned>(value)); }

template <typename A, typename E>
void checkEqual(const char* what, const A& actual, const E& expected, int line) {
  if (!(actual == expected)) {
    ++failures();
    std::printf("FAIL line %d: %s: got %s, expected %s\n", line, what, show(actual).c_str(),
                show(static_cast<A>(expected)).c_str());
  }
}

inline void checkTrue(const char* what, bool value, int line) {
  if (!value) {
    ++failures();
    std::printf("FAIL line %d: %s\n", line, what);
  }
}

// The message of the JVMException that f throws, or "<nothing thrown>".
template <typename F>
std::string thrownMessage(F f) {
  try {
    f();
  } catch (const jni_helpers::JVMException& e) {
    return text(e.getMessage());
  }
  return "<nothing thrown>";
}

inline bool contains(const std::string& textValue, const std::string& part) {
  return textValue.find(part) != std::string::npos;
}

// Starts the VM with the JNI checks and the given class path, from the VM library's path.
inline void startVm(const char* classPath, const char* libjvm) {
  jni_helpers::JVM::addOption("-Xcheck:jni");
  jni_helpers::JVM::initClassPath(classPath);
  jni_helpers::JVM::load(jni_helpers::CSmartString(libjvm));
}

// Runs one group of checks, turning an escaped exception into a failure; returns the exit status.
template <typename F>
int runGroup(const char* name, F group) {
  try {
    group();
  } catch (const jni_helpers::BaseException& e) {
    ++failures();
    std::printf("FAIL %s: uncaught exception: %s\n", name, text(e.getMessage()).c_str());
  }
  std::printf("%s: %d failure(s)\n", name, failures());
  std::fflush(stdout);
  return failures() > 255 ? 255 : failures();
}

// Starts the VM through `start`, then runs one group of checks; returns the exit status (100 when
// the VM does not start).
template <typename F, typename Start>
int runInVm(const char* name, F group, Start start) {
  try {
    start();
  } catch (const jni_helpers::BaseException& e) {
    std::printf("FAIL cannot start the VM: %s\n", text(e.getMessage()).c_str());
    return 100;
  }
  return runGroup(name, group);
}

#ifdef E2E_CLASS_PATH
// The same with the JNI checks and the program's own class path.
template <typename F>
int runInVm(const char* name, F group) {
  return runInVm(name, group, [] { startVm(E2E_CLASS_PATH, E2E_LIBJVM); });
}
#endif

}  // namespace e2e

#define CHECK_EQ(actual, expected) ::e2e::checkEqual(#actual, (actual), (expected), __LINE__)
#define CHECK_TEXT(actual, expected) ::e2e::checkEqual(#actual, ::e2e::text(actual), std::string(expected), __LINE__)
#define CHECK_TRUE(value) ::e2e::checkTrue(#value, (value), __LINE__)
