// What the programs that call generated classes from Java share: checks that print one "FAIL"
// line each, Java strings from and to narrow text, and the program's frame: start the VM with
// -Xcheck:jni on the fixture jar and the test classes, run the group of checks the argument
// names, end the VM, print "<group>: <n> failure(s)" and exit with the number of failures.
#pragma once

#include "JNIHelpers.h"

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>

namespace calls {

inline int& failureCount() {
  static int count = 0;
  return count;
}

inline void check(bool ok, const std::string& what, int line) {
  if (!ok) {
    ++failureCount();
    std::printf("FAIL line %d: %s\n", line, what.c_str());
  }
}

// The text of a Java string ("null" for none).
inline std::string text(const JObject_t& str) {
  if (str.isNullObject()) return "null";
  const jni_helpers::CSmartString value = jni_helpers::JStringHelper(str);
  const char* narrow = value;
  return narrow ? narrow : "";
}

// A Java string made from narrow text.
inline JObject_t javaString(const std::string& value) {
  return jni_helpers::JStringHelper(jni_helpers::CSmartString(value.c_str()));
}

// The text of a Java object's toString().
inline std::string toJavaString(const JObject_t& object) {
  using jni_helpers::JNIEnvHelper;
  if (object.isNullObject()) return "null";
  jclass cls = JNIEnvHelper::GetObjectClass(object);
  const jmethodID toString = JNIEnvHelper::GetMethodID(cls, "toString", "()Ljava/lang/String;");
  JNIEnvHelper::DeleteLocalRef(cls);
  jobject str = JNIEnvHelper::CallObjectMethod(object, toString);
  const std::string result = text(JObject_t(str));
  JNIEnvHelper::DeleteLocalRef(str);
  return result;
}

// The text of the String result of a static method.
template <typename... Args>
std::string callStaticText(const char* className, const char* name, const char* signature, Args... args) {
  using jni_helpers::JNIEnvHelper;
  jclass cls = JNIEnvHelper::FindClass(className);
  const jmethodID method = JNIEnvHelper::GetStaticMethodID(cls, name, signature);
  jobject result = JNIEnvHelper::CallStaticObjectMethod(cls, method, args...);
  JNIEnvHelper::DeleteLocalRef(cls);
  const std::string value = text(JObject_t(result));
  JNIEnvHelper::DeleteLocalRef(result);
  return value;
}

// The message of an exception of the runtime library as narrow text.
inline std::string messageOf(const jni_helpers::BaseException& e) {
  const jni_helpers::CSmartString message = e.getMessage();
  const char* narrow = message;
  return narrow ? narrow : "";
}

typedef std::map<std::string, std::function<void()>> Groups;

// The program's main function over its groups.
inline int run(int argc, char** argv, const Groups& groups) {
  if (argc != 2 || groups.count(argv[1]) == 0) {
    std::string names;
    for (const auto& group : groups) names += (names.empty() ? "" : "|") + group.first;
    std::fprintf(stderr, "usage: %s %s\n", argc > 0 ? argv[0] : "calls", names.c_str());
    return 255;
  }
  const std::string group = argv[1];
  try {
    jni_helpers::JVM::addOption("-Xcheck:jni");
    jni_helpers::JVM::initClassPath(E2E_CLASS_PATH);
    jni_helpers::JVM::initClassPath(E2E_TEST_CLASSES);
    jni_helpers::JVM::load(jni_helpers::CSmartString(E2E_LIBJVM));
    groups.at(group)();
  } catch (const jni_helpers::BaseException& e) {
    check(false, "uncaught exception: " + messageOf(e), __LINE__);
  }
  // The VM ends before the process does: its threads must not watch the process go down.
  try {
    jni_helpers::JVM::unload();
  } catch (const jni_helpers::BaseException& e) {
    check(false, "the VM did not end: " + messageOf(e), __LINE__);
  }
  std::printf("%s: %d failure(s)\n", group.c_str(), failureCount());
  std::fflush(stdout);
  return failureCount() > 255 ? 255 : failureCount();
}

}  // namespace calls

#define CHECK(cond) ::calls::check((cond), #cond, __LINE__)
#define CHECK_TEXT(actual, expected)     \
  ::calls::check((actual) == (expected), \
                 std::string(#actual) + ": got \"" + (actual) + "\", expected \"" + (expected) + "\"", __LINE__)
