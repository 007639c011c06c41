// C++ delegators of Java classes, built on the generated "JNIDelegator" classes, passed to Java:
// the program starts the VM (with -Xcheck:jni) on the fixture jar and runs one group of checks,
// named by its argument. Each failed check prints one "FAIL" line; the exit status is the number
// of failures.
//
//   target        fixtures.delegate.DelegateCaller calls every method of a C++ delegator of
//                 DelegateTarget made over a Java DelegateTarget: C++ overrides are reached, the
//                 other forwarded methods reach the delegated object, the rest the Java object's own
//   constructors  every generated constructor passes its arguments to the class's constructor; a
//                 copy shares the Java object
//   interface     a delegator of the interface Greeter beside a C++ implementation of it; a
//                 delegator of an interface that narrows the result of an inherited method; an
//                 implementation and a delegator passed to the overload of their own type
//   eager         a constructor of the delegated class that calls a forwarded method runs the
//                 Java method, before the object has its C++ peer
//   exceptions    C++ exceptions reach Java as RuntimeExceptions, exceptions of the delegated
//                 object as themselves; the delegator works on afterwards
//   library       delegators of java.util.TreeMap (methods with nested types reach the delegate),
//                 of java.util.TimerTask (its constructor is protected), of java.util.ArrayList
//                 (a Java caller catches the list's IndexOutOfBoundsException) and of a class
//                 whose super class's toString is final while it implements Runnable
#include "CallsSupport.h"
#include "defproxies.h"

#include <memory>
#include <stdexcept>
#include <string>

using namespace CPP_Java_Bridge;
using calls::javaString;
using calls::text;
using calls::toJavaString;
using jni_helpers::CSmartString;
using jni_helpers::JNIEnvHelper;
using jni_helpers::JStringHelper;

namespace {

// A new Java object of a class, made with the constructor of the signature.
template <typename... Args>
JObject_t newObject(const char* className, const char* signature, Args... args) {
  jclass cls = JNIEnvHelper::FindClass(className);
  const jmethodID constructor = JNIEnvHelper::GetMethodID(cls, "<init>", signature);
  jobject object = JNIEnvHelper::NewObject(cls, constructor, args...);
  JNIEnvHelper::DeleteLocalRef(cls);
  JObject_t held(object);
  JNIEnvHelper::DeleteLocalRef(object);
  return held;
}

jmethodID methodOf(const char* className, const char* name, const char* signature) {
  jclass cls = JNIEnvHelper::FindClass(className);
  const jmethodID method = JNIEnvHelper::GetMethodID(cls, name, signature);
  JNIEnvHelper::DeleteLocalRef(cls);
  return method;
}

// The text of a String result of a Java method called on an object.
template <typename... Args>
std::string callText(const JObject_t& object, const char* className, const char* name, const char* signature,
                     Args... args) {
  jobject result = JNIEnvHelper::CallObjectMethod(object, methodOf(className, name, signature), args...);
  const std::string value = text(JObject_t(result));
  JNIEnvHelper::DeleteLocalRef(result);
  return value;
}

// The text of a String result of a static method of DelegateCaller.
template <typename... Args>
std::string callCaller(const char* name, const char* signature, Args... args) {
  return calls::callStaticText("fixtures/delegate/DelegateCaller", name, signature, args...);
}

// The value of a String field of an object, as the class declares it.
std::string stringField(const JObject_t& object, const char* className, const char* field) {
  jclass cls = JNIEnvHelper::FindClass(className);
  const jfieldID id = JNIEnvHelper::GetFieldID(cls, field, "Ljava/lang/String;");
  JNIEnvHelper::DeleteLocalRef(cls);
  jobject value = JNIEnvHelper::GetObjectField(object, id);
  const std::string result = text(JObject_t(value));
  JNIEnvHelper::DeleteLocalRef(value);
  return result;
}

jint intField(const JObject_t& object, const char* className, const char* field) {
  jclass cls = JNIEnvHelper::FindClass(className);
  const jfieldID id = JNIEnvHelper::GetFieldID(cls, field, "I");
  JNIEnvHelper::DeleteLocalRef(cls);
  return JNIEnvHelper::GetIntField(object, id);
}

const char* const kTarget = "fixtures/delegate/DelegateTarget";

JObject_t newTarget(const std::string& name, jint count) {
  return newObject(kTarget, "(Ljava/lang/String;I)V", (jobject)javaString(name), count);
}

// A delegator of DelegateTarget whose Java object is made with ("peer", 7), overriding some
// methods in C++.
class Target : public fixtures::delegate::DelegateTargetJNIDelegator {
 public:
  explicit Target(JObject_t delegate) : DelegateTargetJNIDelegator(delegate, JStringHelper(CSmartString("peer")), 7) {}
  JStringHelper greet(JStringHelper who) override { return javaString("Hello " + text(who) + " from C++"); }
  JStringHelper overridden() override { return javaString("C++"); }
  using DelegateTargetJNIDelegator::compute;
  jint compute(jint x) override { return x * 100; }
  fixtures::delegate::DelegateTarget self() override { return *this; }
};

// The lines of DelegateCaller.callAll for a Target over DelegateTarget("delegate", 3).
const char* const kTargetLines[] = {
    "greet(Ann)=Hello Ann from C++\n",                   // C++
    "overridden=C++\n",                                  // C++
    "middleOverridden=target\n",                         // the delegate's
    "rootMethod=root:delegate-root\n",                   // the delegate's (the Java object's own: peer-root)
    "rootFinal=rootFinal\n",                             // final: the Java object's own
    "rootProtected(1)=101\n",                            // protected: the Java object's own
    "middleMethod(6,7)=42\n",                            // the delegate's
    "middleFinal=1\n",                                   // final
    "compute(3)=300\n",                                  // C++
    "compute(3L)=6\n",                                   // the delegate's count 3 (the Java object's: 7)
    "compute(1.5,2.0)=3.0\n",                            // the delegate's
    "compute(s)=s3\n",                                   // the delegate's
    "protectedMethod(p)=protected:p\n",                  // protected
    "packageMethod=package\n",                           // package-private
    "callsPrivate=5\n",                                  // the delegate's
    "finalMethod=final\n",                               // final
    "nativeMethod(2)!java.lang.UnsatisfiedLinkError: ",  // native: the Java object's own, unbound
    "remember+last=kept\n",                              // both the delegate's
    "flag=true\n",                                       // the delegate's
    "initial=d\n",                                       // the delegate's name (the Java object's: peer)
    "ratio=0.75\n",                                      // the delegate's 3 / 4
    "counts(3)=[0, 3, 6]\n",                             // an int[] of the delegate
    "names=[delegate, delegate-root]\n",                 // a String[] of the delegate
    "object=3\n",                                        // an Integer of the delegate
    "self==t=true\n",                                    // C++: the delegator itself
};

void target() {
  const JObject_t delegate = newTarget("delegate", 3);
  Target target(delegate);
  const std::string summary =
      callCaller("callAll", "(Lfixtures/delegate/DelegateTarget;)Ljava/lang/String;", (jobject)target);
  for (const char* line : kTargetLines)
    calls::check(summary.find(line) != std::string::npos, std::string("callAll has ") + line, __LINE__);

  // What the delegator forwarded changed the delegate, not the Java object.
  CHECK_TEXT(callText(delegate, kTarget, "last", "()Ljava/lang/String;"), std::string("kept"));
  CHECK_TEXT(callText(target, kTarget, "last", "()Ljava/lang/String;"), std::string("kept"));
  CHECK_TEXT(stringField(target, kTarget, "last"), std::string(""));
  // Methods of java.lang.Object are forwarded too.
  CHECK_TEXT(toJavaString(target), toJavaString(delegate));
  const jmethodID equals = methodOf("java/lang/Object", "equals", "(Ljava/lang/Object;)Z");
  CHECK(JNIEnvHelper::CallBooleanMethod(target, equals, (jobject)delegate));
  // The default C++ methods call the delegate: String, array and object results arrive intact.
  CHECK_TEXT(text(target.last()), std::string("kept"));
  CHECK_TEXT(text(target.rootMethod()), std::string("root:delegate-root"));
  CHECK(target.counts(4).isNullObject() == false);
  jintArray counts = (jintArray)JNIEnvHelper::NewLocalRef(target.counts(4));
  jint values[4] = {};
  JNIEnvHelper::GetIntArrayRegion(counts, 0, 4, values);
  JNIEnvHelper::DeleteLocalRef(counts);
  CHECK(values[0] == 0 && values[3] == 9);
  CHECK_TEXT(toJavaString(target.object()), std::string("3"));
  CHECK(JNIEnvHelper::IsSameObject(target.self(), target));
  CHECK(target.compute(static_cast<jlong>(10)) == 13);
  CHECK(target.ratio() == 0.75f);
  CHECK(target.initial() == 'd');
  std::printf("%s", summary.c_str());
}

void constructors() {
  using fixtures::delegate::DelegateTargetJNIDelegator;
  const JObject_t delegate = newTarget("delegate", 3);
  const jmethodID compute = methodOf(kTarget, "compute", "(J)J");

  DelegateTargetJNIDelegator plain(delegate);
  CHECK_TEXT(stringField(plain, kTarget, "name"), std::string("target"));
  CHECK(intField(plain, kTarget, "count") == 1);

  DelegateTargetJNIDelegator named(delegate, JStringHelper(CSmartString("peer")), 7);
  CHECK_TEXT(stringField(named, kTarget, "name"), std::string("peer"));
  CHECK(intField(named, kTarget, "count") == 7);
  CHECK_TEXT(stringField(named, "fixtures/delegate/DelegateRoot", "rootName"), std::string("peer-root"));

  const CSmartString tags[] = {CSmartString("a"), CSmartString("b")};
  DelegateTargetJNIDelegator tagged(delegate, 5000000000LL, 1.5,
                                    java::lang::StringArray1D(jni_helpers::JStringArrayHelper(tags, 2)));
  CHECK_TEXT(stringField(tagged, kTarget, "name"), std::string("tags2"));
  CHECK(intField(tagged, kTarget, "count") == 6);

  // Whatever the constructor, the forwarded methods reach the delegate (count 3).
  for (const DelegateTargetJNIDelegator* d : {&plain, &named, &tagged})
    CHECK(JNIEnvHelper::CallLongMethod(*d, compute, static_cast<jlong>(3)) == 6);

  // A copy shares the Java object, whose calls stay with the original.
  Target original(delegate);
  const jmethodID computeInt = methodOf(kTarget, "compute", "(I)I");
  {
    Target copy(original);
    CHECK(JNIEnvHelper::IsSameObject(copy, original));
    CHECK(JNIEnvHelper::CallIntMethod(copy, computeInt, 2) == 200);
  }
  CHECK(JNIEnvHelper::CallIntMethod(original, computeInt, 2) == 200);
}

class Narrowing : public classgentest::NarrowingJNIDelegator {
 public:
  explicit Narrowing(JObject_t delegate) : NarrowingJNIDelegator(delegate) {}
};

class OwnValue : public classgentest::NarrowingJNIDelegator {
 public:
  explicit OwnValue(JObject_t delegate) : NarrowingJNIDelegator(delegate) {}
  JStringHelper value() override { return javaString("C++ value"); }
};

// Narrowing narrows Widening's value()Object to value()String: both reach the one C++ method.
void covariant() {
  const JObject_t delegate = newObject("classgentest/NarrowValue", "()V");
  Narrowing narrowing(delegate);
  OwnValue own(delegate);
  for (const char* declarer : {"classgentest/Widening", "classgentest/Narrowing"}) {
    const char* signature = declarer[13] == 'W' ? "()Ljava/lang/Object;" : "()Ljava/lang/String;";
    CHECK_TEXT(callText(narrowing, declarer, "value", signature), std::string("narrow value"));
    CHECK_TEXT(callText(own, declarer, "value", signature), std::string("C++ value"));
  }
}

class Greeter : public fixtures::delegate::GreeterJNIDelegator {
 public:
  explicit Greeter(JObject_t delegate) : GreeterJNIDelegator(delegate) {}
};

class LoudGreeter : public fixtures::delegate::GreeterJNIDelegator {
 public:
  explicit LoudGreeter(JObject_t delegate) : GreeterJNIDelegator(delegate) {}
  JStringHelper greet(JStringHelper who) override { return javaString("HELLO " + text(who)); }
};

class GreeterImpl : public fixtures::delegate::GreeterJNIImpl {
 public:
  JObject_t greet(JStringHelper who) override { return javaString("implemented for " + text(who)); }
};

void interface() {
  const char* signature = "(Lfixtures/delegate/Greeter;Ljava/lang/String;)Ljava/lang/String;";
  const JObject_t delegate = newTarget("delegate", 3);
  Greeter greeter(delegate);
  LoudGreeter loud(delegate);
  GreeterImpl implementation;
  CHECK_TEXT(callCaller("callGreeter", signature, (jobject)greeter, (jobject)javaString("Bo")),
             std::string("Hello Bo from delegate"));
  CHECK_TEXT(callCaller("callGreeter", signature, (jobject)loud, (jobject)javaString("Bo")), std::string("HELLO Bo"));
  CHECK_TEXT(callCaller("callGreeter", signature, (jobject)implementation, (jobject)javaString("Bo")),
             std::string("implemented for Bo"));

  // The delegator's Java class implements the interface over java.lang.Object.
  jclass greeterClass = JNIEnvHelper::FindClass("fixtures/delegate/Greeter");
  CHECK(JNIEnvHelper::IsInstanceOf(greeter, greeterClass));
  JNIEnvHelper::DeleteLocalRef(greeterClass);
  jclass own = JNIEnvHelper::GetObjectClass(greeter);
  jclass base = JNIEnvHelper::GetSuperclass(own);
  jclass object = JNIEnvHelper::FindClass("java/lang/Object");
  CHECK(JNIEnvHelper::IsSameObject(base, object));
  CHECK_TEXT(callText(JObject_t(own), "java/lang/Class", "getName", "()Ljava/lang/String;"),
             std::string("fixtures.delegate.DelegatorGreeter"));
  JNIEnvHelper::DeleteLocalRef(object);
  JNIEnvHelper::DeleteLocalRef(base);
  JNIEnvHelper::DeleteLocalRef(own);
  CHECK_TEXT(toJavaString(greeter), toJavaString(delegate));
  covariant();

  // An implementation or a delegator is its Java type's own class: passed where that type is
  // expected it picks the overload without being named.
  classgentest::PickerJNIDelegator picker(newObject("classgentest/Picker", "()V"));
  java::lang::RunnableJNIImpl runnable;
  classgentest::NarrowingJNIImpl narrowingImpl;
  Narrowing narrowingDelegator(newObject("classgentest/NarrowValue", "()V"));
  CHECK_TEXT(text(picker.pick(1, runnable)), std::string("runnable 1"));
  CHECK_TEXT(text(picker.pick(2, narrowingImpl)), std::string("narrowing 2"));
  CHECK_TEXT(text(picker.pick(3, narrowingDelegator)), std::string("narrowing 3"));
}

const char* const kEager = "classgentest/EagerStart";

class Relabeling : public classgentest::EagerStartJNIDelegator {
 public:
  Relabeling(JObject_t delegate) : EagerStartJNIDelegator(delegate, JStringHelper(CSmartString("peer"))) {}
  void relabel(JStringHelper label) override { relabels += text(label) + ";"; }
  std::string relabels;
};

void eager() {
  const JObject_t delegate = newObject(kEager, "(Ljava/lang/String;)V", (jobject)javaString("delegate"));
  const char* relabelSignature = "(Ljava/lang/String;)V";

  classgentest::EagerStartJNIDelegator eager(delegate, JStringHelper(CSmartString("peer")));
  // The constructor's call ran the Java method on the Java object itself.
  CHECK_TEXT(stringField(eager, kEager, "label"), std::string("peer"));
  CHECK_TEXT(callText(eager, kEager, "label", "()Ljava/lang/String;"), std::string("delegate"));
  JNIEnvHelper::CallVoidMethod(eager, methodOf(kEager, "relabel", relabelSignature), (jobject)javaString("moved"));
  CHECK_TEXT(stringField(delegate, kEager, "label"), std::string("moved"));
  CHECK_TEXT(stringField(eager, kEager, "label"), std::string("peer"));

  // An override is not reached from the constructor, only afterwards.
  Relabeling relabeling(delegate);
  CHECK_TEXT(relabeling.relabels, std::string(""));
  JNIEnvHelper::CallVoidMethod(relabeling, methodOf(kEager, "relabel", relabelSignature), (jobject)javaString("x"));
  CHECK_TEXT(relabeling.relabels, std::string("x;"));
  CHECK_TEXT(stringField(relabeling, kEager, "label"), std::string("peer"));

  // Once the C++ object has ended, its Java object runs the class's own Java methods.
  std::unique_ptr<Relabeling> ended(new Relabeling(delegate));
  const JObject_t kept(static_cast<jobject>(*ended));
  ended.reset();
  JNIEnvHelper::CallVoidMethod(kept, methodOf(kEager, "relabel", relabelSignature), (jobject)javaString("late"));
  CHECK_TEXT(stringField(kept, kEager, "label"), std::string("late"));
  CHECK_TEXT(relabeling.relabels, std::string("x;"));
}

class Failing : public Target {
 public:
  explicit Failing(JObject_t delegate) : Target(delegate) {}
  jboolean flag() override { throw std::runtime_error("flag failed"); }
};

void exceptions() {
  const JObject_t delegate = newTarget("delegate", 3);
  Failing failing(delegate);
  const std::string summary =
      callCaller("callAll", "(Lfixtures/delegate/DelegateTarget;)Ljava/lang/String;", (jobject)failing);
  CHECK(summary.find("flag!java.lang.RuntimeException: An error in the native code.\n") != std::string::npos);
  CHECK(summary.find("compute(3)=300\n") != std::string::npos);

  // The delegate fails: a C++ caller of the default method gets the Java exception ...
  bool thrown = false;
  try {
    failing.counts(-1);
  } catch (const jni_helpers::JVMException& e) {
    thrown = calls::messageOf(e).find("NegativeArraySizeException") != std::string::npos;
  }
  CHECK(thrown);
  // ... a Java caller the same Java exception from the thunk.
  thrown = false;
  try {
    jobject result = JNIEnvHelper::CallObjectMethod(failing, methodOf(kTarget, "counts", "(I)[I"), -1);
    JNIEnvHelper::DeleteLocalRef(result);
  } catch (const jni_helpers::JVMException& e) {
    thrown = calls::messageOf(e).find("java.lang.NegativeArraySizeException") == 0;
  }
  CHECK(thrown);
  CHECK(JNIEnvHelper::CallIntMethod(failing, methodOf(kTarget, "compute", "(I)I"), 4) == 400);
}

// Counts its runs in C++ besides the delegate's.
class CountedTask : public java::util::TimerTaskJNIDelegator {
 public:
  explicit CountedTask(JObject_t delegate) : TimerTaskJNIDelegator(delegate) {}
  void run() override {
    ++runs;
    TimerTaskJNIDelegator::run();
  }
  int runs = 0;
};

class Sealed : public classgentest::SealedAcrossInterfacesJNIDelegator {
 public:
  explicit Sealed(JObject_t delegate) : SealedAcrossInterfacesJNIDelegator(delegate) {}
  void run() override { ++runs; }
  int runs = 0;
};

void library() {
  using calls::callStaticText;
  const char* calls = "classgentest/LibraryCalls";
  // The entries of a TreeMap (Map$Entry results) come from the delegate, not from the
  // delegator's own, empty map.
  jclass callsClass = JNIEnvHelper::FindClass(calls);
  jobject numbers = JNIEnvHelper::CallStaticObjectMethod(
      callsClass, JNIEnvHelper::GetStaticMethodID(callsClass, "numbers", "()Ljava/util/TreeMap;"));
  const JObject_t map(numbers);
  JNIEnvHelper::DeleteLocalRef(numbers);
  java::util::TreeMapJNIDelegator delegator(map);
  CHECK_TEXT(callStaticText(calls, "entries", "(Ljava/util/TreeMap;)Ljava/lang/String;", (jobject)delegator),
             std::string("one,two,2"));
  CHECK_TEXT(toJavaString(delegator.firstEntry()), std::string("1=one"));

  // TimerTask's constructor is protected.
  const JObject_t countdown = newObject("classgentest/Countdown", "()V");
  CountedTask task(countdown);
  const jmethodID runTwice =
      JNIEnvHelper::GetStaticMethodID(callsClass, "runTwiceAndCancel", "(Ljava/util/TimerTask;)Z");
  CHECK(JNIEnvHelper::CallStaticBooleanMethod(callsClass, runTwice, (jobject)task) == JNI_FALSE);
  CHECK(task.runs == 2);
  CHECK(intField(countdown, "classgentest/Countdown", "runs") == 2);

  // The list's own IndexOutOfBoundsException reaches the Java caller through the delegator.
  const JObject_t list = newObject("java/util/ArrayList", "()V");
  const jmethodID add = methodOf("java/util/ArrayList", "add", "(Ljava/lang/Object;)Z");
  JNIEnvHelper::CallBooleanMethod(list, add, (jobject)javaString("a"));
  JNIEnvHelper::CallBooleanMethod(list, add, (jobject)javaString("b"));
  java::util::ArrayListJNIDelegator listDelegator(list);
  const char* get = "(Ljava/util/List;I)Ljava/lang/String;";
  CHECK_TEXT(callStaticText(calls, "get", get, (jobject)listDelegator, 1), std::string("b"));
  const std::string outOfBounds = callStaticText(calls, "get", get, (jobject)listDelegator, 5);
  CHECK_TEXT(outOfBounds, std::string("out of bounds: Index 5 out of bounds for length 2"));

  // The VM defines the delegator only if it leaves the final toString alone.
  Sealed sealed(newObject("classgentest/SealedAcrossInterfaces", "()V"));
  const std::string described =
      callStaticText(calls, "runAndDescribe", "(Ljava/lang/Runnable;)Ljava/lang/String;", (jobject)sealed);
  CHECK_TEXT(described, std::string("sealed"));
  CHECK(sealed.runs == 1);
  JNIEnvHelper::DeleteLocalRef(callsClass);
}

}  // namespace

int main(int argc, char** argv) {
  return calls::run(argc, argv,
                    {{"target", target},
                     {"constructors", constructors},
                     {"interface", interface},
                     {"eager", eager},
                     {"exceptions", exceptions},
                     {"library", library}});
}
