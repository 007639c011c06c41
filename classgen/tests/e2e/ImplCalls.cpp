// C++ implementations of Java interfaces, built on the generated "JNIImpl" classes, called from
// Java: the program starts the VM (with -Xcheck:jni) on the fixture jar and runs one group of
// checks, named by its argument. Each failed check prints one "FAIL" line; the exit status is the
// number of failures.
//
//   everything   fixtures.impl.EverythingCaller.check holds a C++ implementation through the
//                interface type, calls every method and compares with the Java reference
//   exceptions   a C++ exception in an override reaches Java as a RuntimeException
//   thread       a C++ java.lang.Runnable run by a java.lang.Thread
//   inheritance  methods of a super-interface, a one-method interface, an empty interface and a
//                method redeclared with a narrower result
//   lifetimes    copies of an implementation sharing its Java object; a thread the program
//                attached itself; a string helper over another object; a monitor not owned
//   race         threads that make and drop copies of a Runnable while a Java thread runs it
//   defaults     a C++ java.util.Comparator and java.util.Iterator: the interfaces' default methods
//                and java.lang.Object's methods run their Java code, from Java and from C++,
//                unless the C++ class overrides them (the Java exception of Iterator's remove
//                reaches the Java caller as it was thrown); inside its compare, called by Java,
//                the C++ class finds the application's classes
#include "CallsSupport.h"
#include "defproxies.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace CPP_Java_Bridge;
using calls::javaString;
using calls::text;
using calls::toJavaString;
using jni_helpers::CSmartString;
using jni_helpers::JNIEnvHelper;
using jni_helpers::JStringHelper;

namespace {

// A float or double as Java's toString writes the values used here.
std::string javaDecimal(double value) {
  std::ostringstream out;
  out << value;
  std::string s = out.str();
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

// Mirrors fixtures.impl.EverythingJava.
class Everything : public fixtures::impl::EverythingJNIImpl {
 public:
  void reset() override { m_calls = 0; }
  void touch(jint times) override { m_calls += times; }
  jint calls() override { return m_calls; }
  jboolean isPositive(jint x) override { return x > 0; }
  jbyte toByte(jint x) override { return static_cast<jbyte>(x); }
  jchar toChar(jint x) override { return static_cast<jchar>('a' + x); }
  jshort toShort(jint x) override { return static_cast<jshort>(x * 3); }
  jint add(jint a, jint b) override { return a + b; }
  jint add(jint a, jint b, jint c) override { return a + b + c; }
  jlong add(jlong a, jlong b) override { return a + b; }
  jfloat half(jfloat x) override { return x / 2; }
  jdouble twice(jdouble x) override { return x * 2; }
  JObject_t greet(JStringHelper name) override {
    const std::string who = text(name);
    if (who == "boom") throw std::runtime_error("boom");
    if (who == "jvm") throw jni_helpers::JVMException("thrown in C++");
    return javaString("Hello, " + who);
  }
  JObject_t greet(JStringHelper name, jint times) override {
    std::string all;
    for (jint i = 0; i < times; ++i) all += "Hello, " + text(name);
    return javaString(all);
  }
  jintArray range(jint n) override {
    std::vector<jint> values(static_cast<std::size_t>(n));
    for (jint i = 0; i < n; ++i) values[static_cast<std::size_t>(i)] = i;
    jintArray array = JNIEnvHelper::NewIntArray(n);
    JNIEnvHelper::SetIntArrayRegion(array, 0, n, values.data());
    return array;  // a local reference, handed to Java by the thunk
  }
  jdoubleArray scale(JDoubleArray1D values, jdouble factor) override {
    jdoubleArray in = static_cast<jdoubleArray>(static_cast<jobject>(values));
    const jsize n = JNIEnvHelper::GetArrayLength(in);
    std::vector<jdouble> buffer(static_cast<std::size_t>(n));
    JNIEnvHelper::GetDoubleArrayRegion(in, 0, n, buffer.data());
    for (jdouble& v : buffer) v *= factor;
    jdoubleArray out = JNIEnvHelper::NewDoubleArray(n);
    JNIEnvHelper::SetDoubleArrayRegion(out, 0, n, buffer.data());
    return out;
  }
  jobjectArray split(JStringHelper textValue) override {
    std::vector<std::string> parts;
    std::istringstream in(text(textValue));
    std::string part;
    while (std::getline(in, part, ',')) parts.push_back(part);
    jclass stringClass = JNIEnvHelper::FindClass("java/lang/String");
    jobjectArray array = JNIEnvHelper::NewObjectArray(static_cast<jsize>(parts.size()), stringClass, 0);
    JNIEnvHelper::DeleteLocalRef(stringClass);
    for (std::size_t i = 0; i < parts.size(); ++i)
      JNIEnvHelper::SetObjectArrayElement(array, static_cast<jsize>(i), javaString(parts[i]));
    return array;
  }
  JObject_t identity(java::lang::Object o) override { return o; }
  JObject_t self() override { return *this; }
  JObject_t describe(jboolean z, jbyte b, jchar c, jshort s, jint i, jlong j, jfloat f, jdouble d, JStringHelper str,
                     java::lang::Object o) override {
    std::ostringstream out;
    out << (z ? "true" : "false") << "," << static_cast<int>(b) << "," << static_cast<char>(c) << "," << s << "," << i
        << "," << static_cast<long long>(j) << "," << javaDecimal(f) << "," << javaDecimal(d) << "," << text(str) << ","
        << toJavaString(o);
    return javaString(out.str());
  }

 private:
  jint m_calls = 0;
};

class Task : public java::lang::RunnableJNIImpl {
 public:
  void run() override {
    ++runs;
    thread = std::this_thread::get_id();
  }
  int runs = 0;
  std::thread::id thread;
};

class Child : public fixtures::impl::ChildJNIImpl {
 public:
  JObject_t id() override { return javaString("child-7"); }
  jint depth() override { return 2; }
};

class Counter : public fixtures::impl::CounterJNIImpl {
 public:
  jint next() override { return ++m_value; }

 private:
  jint m_value = 0;
};

class Marker : public fixtures::impl::MarkerJNIImpl {};

// One C++ method for value()Ljava/lang/String; and its bridge value()Ljava/lang/Object;.
class Narrowing : public classgentest::NarrowingJNIImpl {
 public:
  JObject_t value() override { return javaString("narrow"); }
};

// A static String method of EverythingCaller called with the arguments.
template <typename... Args>
std::string callCaller(const char* name, const char* signature, Args... args) {
  return calls::callStaticText("fixtures/impl/EverythingCaller", name, signature, args...);
}

void everything() {
  Everything impl;
  const std::string summary = callCaller("check", "(Lfixtures/impl/Everything;)Ljava/lang/String;", (jobject)impl);
  CHECK(summary.find("calls=5\n") != std::string::npos);
  CHECK(summary.find("describe=true,-1,z,2,3,6442450944,0.5,0.25,s,o\n") != std::string::npos);
  CHECK(summary.find("self()==this=true\n") != std::string::npos);
  CHECK(summary.find("split(a,b,c)=[a, b, c]\n") != std::string::npos);
  std::printf("%s", summary.c_str());
}

void exceptions() {
  Everything impl;
  const char* signature = "(Lfixtures/impl/Everything;Ljava/lang/String;)Ljava/lang/String;";
  CHECK_TEXT(callCaller("catching", signature, (jobject)impl, (jobject)javaString("Ann")), std::string("Hello, Ann"));
  // Java sees the C++ exception's message.
  CHECK_TEXT(callCaller("catching", signature, (jobject)impl, (jobject)javaString("boom")),
             std::string("java.lang.RuntimeException: An error in the native code.\nboom"));
  CHECK_TEXT(callCaller("catching", signature, (jobject)impl, (jobject)javaString("jvm")),
             std::string("java.lang.RuntimeException: An error in the native code.\nthrown in C++"));
  // The implementation works on after an exception.
  CHECK_TEXT(callCaller("catching", signature, (jobject)impl, (jobject)javaString("Bo")), std::string("Hello, Bo"));

  // A Java object that outlives its C++ object gets an IllegalStateException, not a call
  // into freed memory.
  std::unique_ptr<Everything> ended(new Everything);
  const JObject_t kept(static_cast<jobject>(*ended));
  ended.reset();
  CHECK_TEXT(callCaller("catching", signature, (jobject)kept, (jobject)javaString("Ann")),
             std::string("java.lang.IllegalStateException: The C++ object of this Java object no longer exists."));
  CHECK_TEXT(callCaller("catching", signature, (jobject)impl, (jobject)javaString("Cy")), std::string("Hello, Cy"));
}

void thread() {
  Task task;
  jclass caller = JNIEnvHelper::FindClass("fixtures/impl/EverythingCaller");
  const jmethodID run = JNIEnvHelper::GetStaticMethodID(caller, "runOnThread", "(Ljava/lang/Runnable;)V");
  JNIEnvHelper::CallStaticVoidMethod(caller, run, (jobject)task);
  JNIEnvHelper::CallStaticVoidMethod(caller, run, (jobject)task);
  JNIEnvHelper::DeleteLocalRef(caller);
  CHECK(task.runs == 2);
  CHECK(task.thread != std::thread::id());
  CHECK(task.thread != std::this_thread::get_id());
}

void inheritance() {
  Child child;
  jclass identified = JNIEnvHelper::FindClass("fixtures/impl/Identified");
  const jmethodID id = JNIEnvHelper::GetMethodID(identified, "id", "()Ljava/lang/String;");
  jobject idValue = JNIEnvHelper::CallObjectMethod(child, id);
  CHECK_TEXT(text(JObject_t(idValue)), std::string("child-7"));
  JNIEnvHelper::DeleteLocalRef(idValue);
  CHECK(JNIEnvHelper::IsInstanceOf(child, identified));
  JNIEnvHelper::DeleteLocalRef(identified);
  jclass childClass = JNIEnvHelper::FindClass("fixtures/impl/Child");
  CHECK(JNIEnvHelper::CallIntMethod(child, JNIEnvHelper::GetMethodID(childClass, "depth", "()I")) == 2);
  JNIEnvHelper::DeleteLocalRef(childClass);

  Counter counter;
  jclass counterClass = JNIEnvHelper::FindClass("fixtures/impl/Counter");
  const jmethodID next = JNIEnvHelper::GetMethodID(counterClass, "next", "()I");
  CHECK(JNIEnvHelper::CallIntMethod(counter, next) == 1);
  CHECK(JNIEnvHelper::CallIntMethod(counter, next) == 2);
  JNIEnvHelper::DeleteLocalRef(counterClass);

  Marker marker;
  jclass markerClass = JNIEnvHelper::FindClass("fixtures/impl/Marker");
  CHECK(!marker.isNullObject());
  CHECK(JNIEnvHelper::IsInstanceOf(marker, markerClass));
  JNIEnvHelper::DeleteLocalRef(markerClass);

  Narrowing narrowing;
  for (const char* signature : {"()Ljava/lang/Object;", "()Ljava/lang/String;"}) {
    jclass widening = JNIEnvHelper::FindClass("classgentest/Widening");
    jclass narrowingClass = JNIEnvHelper::FindClass("classgentest/Narrowing");
    const bool wide = signature[3] == 'O';
    const jmethodID value = JNIEnvHelper::GetMethodID(wide ? widening : narrowingClass, "value", signature);
    jobject result = JNIEnvHelper::CallObjectMethod(narrowing, value);
    CHECK_TEXT(text(JObject_t(result)), std::string("narrow"));
    JNIEnvHelper::DeleteLocalRef(result);
    JNIEnvHelper::DeleteLocalRef(widening);
    JNIEnvHelper::DeleteLocalRef(narrowingClass);
  }
}

// Whether a Java call through `counter` fails with a JVMException naming `error`.
bool callFailsWith(const JObject_t& counter, jmethodID next, const std::string& error) {
  try {
    JNIEnvHelper::CallIntMethod(counter, next);
  } catch (const jni_helpers::JVMException& e) {
    return calls::messageOf(e).find(error) != std::string::npos;
  }
  return false;
}

void lifetimes() {
  jclass counterClass = JNIEnvHelper::FindClass("fixtures/impl/Counter");
  const jmethodID next = JNIEnvHelper::GetMethodID(counterClass, "next", "()I");
  JNIEnvHelper::DeleteLocalRef(counterClass);
  Counter keeper;  // keeps the class's natives registered throughout

  // Copies share the Java object; its calls stay with the original, then reach the oldest copy.
  std::unique_ptr<Counter> original(new Counter);
  const JObject_t java(static_cast<jobject>(*original));
  CHECK(JNIEnvHelper::CallIntMethod(java, next) == 1);
  {
    Counter copy(*original);
    CHECK(JNIEnvHelper::IsSameObject(copy, java));
    CHECK(JNIEnvHelper::CallIntMethod(java, next) == 2);
    CHECK(JNIEnvHelper::CallIntMethod(copy, next) == 3);
  }
  CHECK(JNIEnvHelper::CallIntMethod(java, next) == 4);
  std::unique_ptr<Counter> last(new Counter(*original));
  original.reset();
  CHECK(JNIEnvHelper::CallIntMethod(java, next) == 5);  // the copy outlives the original
  last.reset();
  CHECK(callFailsWith(java, next, "java.lang.IllegalStateException"));

  // A thread the program attached itself: the last release of a reference and calls made on it
  // leave it attached, for the program to detach.
  JavaVM* vm = nullptr;
  JNIEnvHelper::GetJavaVM(&vm);
  JObject_t* held = new JObject_t(javaString("released on another thread"));
  bool attachedAfterRelease = false;
  bool attachedAfterCalls = false;
  jint detached = JNI_ERR;
  std::thread own([&] {
    JNIEnv* env = nullptr;
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return;
    delete held;
    attachedAfterRelease = vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2) == JNI_OK;
    try {
      JNIEnvHelper::CallIntMethod(keeper, next);
    } catch (const jni_helpers::BaseException&) {
    }
    attachedAfterCalls = vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2) == JNI_OK;
    detached = vm->DetachCurrentThread();
  });
  own.join();
  CHECK(attachedAfterRelease);
  CHECK(attachedAfterCalls);
  CHECK(detached == JNI_OK);

  // An object that is not a String read as one, and a monitor not owned: Java errors thrown at
  // once, the VM unharmed, the next call unaffected.
  try {
    const CSmartString read = JStringHelper(static_cast<jobject>(keeper));
    CHECK(!"a non-String was read as a String");
  } catch (const jni_helpers::JVMException& e) {
    CHECK_TEXT(calls::messageOf(e), std::string("JStringHelper: the object is not a java.lang.String"));
  }
  try {
    JNIEnvHelper::MonitorExit(keeper);
    CHECK(!"leaving a monitor not owned succeeded");
  } catch (const jni_helpers::JVMException& e) {
    CHECK(calls::messageOf(e).find("java.lang.IllegalMonitorStateException") == 0);
  }
  CHECK(!JNIEnvHelper::ExceptionCheck());
  CHECK(JNIEnvHelper::CallIntMethod(keeper, next) == 2);
}

// Strings by length; only compare is C++.
class ByLength : public java::util::ComparatorJNIImpl {
 public:
  jint compare(java::lang::Object a, java::lang::Object b) override {
    // Java calls this through a class of the boot loader, which cannot see the fixture jar.
    if (jclass own = JNIEnvHelper::FindClass("classgentest/LibraryCalls")) {
      ++foundOwnClass;
      JNIEnvHelper::DeleteLocalRef(own);
    }
    return static_cast<jint>(toJavaString(a).size()) - static_cast<jint>(toJavaString(b).size());
  }
  int foundOwnClass = 0;
};

// The letters of a text, one String each; remove() only where the C++ class has its own.
class Letters : public java::util::IteratorJNIImpl {
 public:
  explicit Letters(const std::string& letters) : m_letters(letters) {}
  jboolean hasNext() override { return m_next < m_letters.size(); }
  JObject_t next() override { return javaString(m_letters.substr(m_next++, 1)); }

 private:
  std::string m_letters;
  std::size_t m_next = 0;
};

class RemovingLetters : public Letters {
 public:
  using Letters::Letters;
  void remove() override { ++removed; }
  int removed = 0;
};

void defaults() {
  using calls::callStaticText;
  const char* calls = "classgentest/LibraryCalls";
  ByLength byLength;
  // Comparator's reversed() and thenComparing() run Java's code over the C++ compare.
  CHECK_TEXT(callStaticText(calls, "sortReversed", "(Ljava/util/Comparator;)Ljava/lang/String;", (jobject)byLength),
             std::string("ccc,bb,a"));
  CHECK_TEXT(callStaticText(calls, "sortThenNatural", "(Ljava/util/Comparator;)Ljava/lang/String;", (jobject)byLength),
             std::string("c,aa,bb"));
  CHECK(byLength.foundOwnClass > 0);
  // The same default called from C++.
  const JObject_t reversed = byLength.reversed();
  CHECK(!reversed.isNullObject());
  CHECK_TEXT(callStaticText(calls, "sort", "(Ljava/util/Comparator;Ljava/lang/String;)Ljava/lang/String;",
                            (jobject)reversed, (jobject)javaString("a,ccc,bb")),
             std::string("ccc,bb,a"));
  // equals and hashCode, declared again by Comparator, are java.lang.Object's.
  jclass callsClass = JNIEnvHelper::FindClass(calls);
  const jmethodID equalsOnlyItself =
      JNIEnvHelper::GetStaticMethodID(callsClass, "equalsOnlyItself", "(Ljava/util/Comparator;)Z");
  CHECK(JNIEnvHelper::CallStaticBooleanMethod(callsClass, equalsOnlyItself, (jobject)byLength) == JNI_TRUE);
  JNIEnvHelper::DeleteLocalRef(callsClass);

  // Iterator's forEachRemaining calls the C++ hasNext and next; its remove throws unless the
  // C++ class has its own.
  // (Each call once: CHECK_TEXT evaluates its first argument twice.)
  Letters letters("abc");
  const std::string first = text(letters.next());
  CHECK_TEXT(first, std::string("a"));
  const std::string rest = callStaticText(calls, "drain", "(Ljava/util/Iterator;)Ljava/lang/String;", (jobject)letters);
  CHECK_TEXT(rest, std::string("bc"));
  const std::string refused =
      callStaticText(calls, "remove", "(Ljava/util/Iterator;)Ljava/lang/String;", (jobject)letters);
  CHECK_TEXT(refused, std::string("unsupported: remove at java.util.Iterator.remove"));
  RemovingLetters removing("xy");
  const std::string removed =
      callStaticText(calls, "remove", "(Ljava/util/Iterator;)Ljava/lang/String;", (jobject)removing);
  CHECK_TEXT(removed, std::string("removed"));
  CHECK(removing.removed == 1);
  const std::string all = callStaticText(calls, "drain", "(Ljava/util/Iterator;)Ljava/lang/String;", (jobject)removing);
  CHECK_TEXT(all, std::string("xy"));
}

// Counts the runs that reach the object Java holds and those that reach a copy.
class Spinner : public java::lang::RunnableJNIImpl {
 public:
  Spinner() = default;
  Spinner(const Spinner& other) : RunnableJNIImpl(other), m_copy(true) {}
  void run() override { ++(m_copy ? copyRuns : runs); }

  static std::atomic<long> runs;
  static std::atomic<long> copyRuns;

 private:
  bool m_copy = false;
};
std::atomic<long> Spinner::runs{0};
std::atomic<long> Spinner::copyRuns{0};

void race() {
  Spinner spinner;
  const char* calls = "classgentest/LibraryCalls";
  jclass callsClass = JNIEnvHelper::FindClass(calls);
  jobject started = JNIEnvHelper::CallStaticObjectMethod(
      callsClass,
      JNIEnvHelper::GetStaticMethodID(callsClass, "startRunning",
                                      "(Ljava/lang/Runnable;)Lclassgentest/LibraryCalls$Runner;"),
      (jobject)spinner);
  const JObject_t runner(started);
  JNIEnvHelper::DeleteLocalRef(started);
  JNIEnvHelper::DeleteLocalRef(callsClass);

  std::atomic<bool> stop{false};
  std::atomic<long> copies{0};
  std::vector<std::thread> copiers;
  for (int t = 0; t < 4; ++t) {
    copiers.emplace_back([&] {
      while (!stop) {
        Spinner c(spinner);
        Spinner d(c);
        copies += 2;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::seconds(3));
  stop = true;
  for (std::thread& copier : copiers) copier.join();
  jclass runnerClass = JNIEnvHelper::GetObjectClass(runner);
  jobject result =
      JNIEnvHelper::CallObjectMethod(runner, JNIEnvHelper::GetMethodID(runnerClass, "finish", "()Ljava/lang/String;"));
  const std::string finished = text(JObject_t(result));
  JNIEnvHelper::DeleteLocalRef(result);
  JNIEnvHelper::DeleteLocalRef(runnerClass);
  CHECK_TEXT(finished.substr(0, 5), std::string("runs="));
  CHECK(Spinner::runs > 0);
  CHECK(Spinner::copyRuns == 0);
  CHECK(copies > 0);
  std::printf("%ld copies made while Java ran the original %ld times\n", copies.load(), Spinner::runs.load());
}

}  // namespace

int main(int argc, char** argv) {
  return calls::run(argc, argv,
                    {{"everything", everything},
                     {"exceptions", exceptions},
                     {"thread", thread},
                     {"inheritance", inheritance},
                     {"lifetimes", lifetimes},
                     {"race", race},
                     {"defaults", defaults}});
}
