// The runtime library against JDK 17's VM, found through the registry. Each case runs in a
// process of its own (a process hosts one VM), with -Xcheck:jni.
#include "JvmSupport.h"

#include <atomic>
#include <filesystem>
#include <climits>
#include <cmath>
#include <thread>

using jni_helpers::CSmartString;
using jni_helpers::JStringHelper;
using jni_helpers::JVM;
using jni_helpers::JVMException;

namespace {

jclass echoClass() {
  jclass cls = JNIEnvHelper::FindClass("runtimetest/Echo");
  EXPECT_NE(cls, nullptr);
  return cls;
}

std::string systemProperty(const char* name) {
  jclass system = JNIEnvHelper::FindClass("java/lang/System");
  jmethodID get = JNIEnvHelper::GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
  JStringHelper key{CSmartString(name)};
  std::string value = javaText(JNIEnvHelper::CallStaticObjectMethod(system, get, static_cast<jobject>(key)));
  JNIEnvHelper::DeleteLocalRef(system);
  return value;
}

std::string toString(jobject obj) {
  jclass object = JNIEnvHelper::FindClass("java/lang/Object");
  jmethodID toString = JNIEnvHelper::GetMethodID(object, "toString", "()Ljava/lang/String;");
  std::string value = javaText(JNIEnvHelper::CallObjectMethod(obj, toString));
  JNIEnvHelper::DeleteLocalRef(object);
  return value;
}

// Whether the object behind a weak reference has been collected, after asking for a collection.
bool collected(jweak weak) {
  jclass system = JNIEnvHelper::FindClass("java/lang/System");
  jmethodID gc = JNIEnvHelper::GetStaticMethodID(system, "gc", "()V");
  bool gone = false;
  for (int i = 0; i < 20 && !gone; ++i) {
    JNIEnvHelper::CallStaticVoidMethod(system, gc);
    gone = JNIEnvHelper::IsSameObject(weak, nullptr) == JNI_TRUE;
  }
  JNIEnvHelper::DeleteLocalRef(system);
  return gone;
}

jint JNICALL nativeTwice(JNIEnv*, jclass, jint value) { return 2 * value; }

}  // namespace

TEST_F(JvmTest, ClassPathAndSortedOptionsReachTheVm) {
  kavrin_test::ScopedEnv classPath("CLASSPATH", std::string("/seed/classes"));
  JVM::initClassPath(RUNTIME_TEST_CLASSES);
  JVM::addOption("-Dkavrin.z=last");
  JVM::addOption("-Dkavrin.a=first");
  JVM::addOption("-Dkavrin.a=first");
  JVM::addOption("");
  JVM::addOption("-Xcheck:jni");
  JVM::load();

  EXPECT_EQ(systemProperty("java.class.path"), std::string("/seed/classes:") + RUNTIME_TEST_CLASSES);
  EXPECT_EQ(systemProperty("kavrin.a"), "first");
  EXPECT_EQ(systemProperty("kavrin.z"), "last");

  // The VM's own list of its arguments: each option once, in sorted order.
  jclass factory = JNIEnvHelper::FindClass("java/lang/management/ManagementFactory");
  ASSERT_NE(factory, nullptr);
  jmethodID getBean =
      JNIEnvHelper::GetStaticMethodID(factory, "getRuntimeMXBean", "()Ljava/lang/management/RuntimeMXBean;");
  jobject bean = JNIEnvHelper::CallStaticObjectMethod(factory, getBean);
  jclass beanClass = JNIEnvHelper::FindClass("java/lang/management/RuntimeMXBean");
  jmethodID getArgs = JNIEnvHelper::GetMethodID(beanClass, "getInputArguments", "()Ljava/util/List;");
  jobject args = JNIEnvHelper::CallObjectMethod(bean, getArgs);
  const std::string list = toString(args);
  deleteLocalRefs(args, beanClass, bean, factory);
  const std::size_t a = list.find("-Dkavrin.a=first");
  const std::size_t z = list.find("-Dkavrin.z=last");
  const std::size_t x = list.find("-Xcheck:jni");
  ASSERT_NE(a, std::string::npos) << list;
  EXPECT_LT(a, z) << list;
  EXPECT_LT(z, x) << list;
  EXPECT_EQ(list.find("-Dkavrin.a=first", a + 1), std::string::npos) << list;
}

TEST_F(JvmTest, ClassPathWildcardsReachTheVmAsTheJarsOfTheFolder) {
  // The VM does not expand "dir/*" itself; the java launcher does, and so does the library.
  kavrin_test::TempDir dir("kavrin-wildcard");
  const std::string jar = dir.file("jars/tests.jar");
  std::filesystem::create_directories(dir.file("jars"));
  ASSERT_EQ(kavrin_test::runCommand({kavrin_test::kJar, "cf", jar, "-C", RUNTIME_TEST_CLASSES, "runtimetest"}).exitCode,
            0);
  kavrin_test::ScopedEnv classPath("CLASSPATH", dir.file("jars") + "/*");
  JVM::addOption("-Xcheck:jni");
  JVM::initClassPath(CSmartString(dir.file("none/*").c_str()));
  JVM::load();
  EXPECT_EQ(systemProperty("java.class.path"), jar);
  jclass echo = echoClass();
  JNIEnvHelper::DeleteLocalRef(echo);
}

TEST_F(JvmTest, NativesAnnouncedBeforeLoadAreCallableFromJava) {
  JNINativeMethod method = {const_cast<char*>("nativeTwice"), const_cast<char*>("(I)I"),
                            reinterpret_cast<void*>(&nativeTwice)};
  JVM::registerNatives("runtimetest/Echo", &method, 1);
  startVm();
  jclass echo = echoClass();
  jmethodID callNative = JNIEnvHelper::GetStaticMethodID(echo, "callNative", "(I)I");
  EXPECT_EQ(JNIEnvHelper::CallStaticIntMethod(echo, callNative, 20), 41);
  JNIEnvHelper::DeleteLocalRef(echo);
}

TEST_F(JvmTest, VersionOfTheLoadedVm) {
  startVm();
  EXPECT_EQ(JVM::jreTypeLoaded, jni_helpers::JRE_DEFAULT);
  EXPECT_EQ(JVM::version(), JNI_VERSION_1_2);  // "17" is newer than 1.6: treated as JNI 1.2
  EXPECT_GE(JNIEnvHelper::GetVersion(), JNI_VERSION_1_8);
  JavaVM* vm = nullptr;
  EXPECT_EQ(JNIEnvHelper::GetJavaVM(&vm), JNI_OK);
  EXPECT_NE(vm, nullptr);
}

TEST_F(JvmTest, GetEnvAttachesANewThread) {
  startVm();
  JNIEnv* mainEnv = JNIEnvHelper::getEnv();
  JavaVM* vm = nullptr;
  JNIEnvHelper::GetJavaVM(&vm);
  std::thread worker([&] {
    EXPECT_FALSE(JNIEnvHelper::isInitialized());
    JNIEnv* env = JNIEnvHelper::getEnv();
    EXPECT_NE(env, mainEnv);
    EXPECT_TRUE(JNIEnvHelper::isInitialized());
    void* vmEnv = nullptr;
    EXPECT_EQ(vm->GetEnv(&vmEnv, JNI_VERSION_1_2), JNI_OK);
    EXPECT_EQ(vmEnv, env);
    jclass echo = echoClass();
    jmethodID twice = JNIEnvHelper::GetStaticMethodID(echo, "twice", "(I)I");
    EXPECT_EQ(JNIEnvHelper::CallStaticIntMethod(echo, twice, 21), 42);
    JNIEnvHelper::DeleteLocalRef(echo);
    EXPECT_EQ(JVM::attachCurrentThread(), -1);  // attached already
  });
  worker.join();
}

TEST_F(JvmTest, JavaExceptionBecomesJVMExceptionWithTheStackTrace) {
  startVm();
  jclass echo = echoClass();
  jmethodID failDeep = JNIEnvHelper::GetStaticMethodID(echo, "failDeep", "(I)V");
  jclass illegalState = JNIEnvHelper::FindClass("java/lang/IllegalStateException");
  try {
    JNIEnvHelper::CallStaticVoidMethod(echo, failDeep, 2);
    ADD_FAILURE() << "nothing thrown";
  } catch (const JVMException& e) {
    const std::string message = text(e.getMessage());
    EXPECT_EQ(message.rfind("java.lang.IllegalStateException: deep failure\n", 0), 0u) << message;
    EXPECT_NE(message.find("\tat runtimetest.Echo.fail(Echo.java:"), std::string::npos) << message;
    EXPECT_NE(message.find("\tat runtimetest.Echo.failDeep(Echo.java:"), std::string::npos) << message;
    // The Java exception itself is kept; a copy, and an exception that adds to the text,
    // share it; thrown again it is the one pending.
    ASSERT_NE(e.getThrowable(), nullptr);
    EXPECT_TRUE(JNIEnvHelper::IsInstanceOf(JObject_t(e.getThrowable()), illegalState));
    const JVMException copy(e);
    const JVMException wrapped(CSmartString("context:\n") + e.getMessage(), e);
    EXPECT_EQ(copy.getThrowable(), e.getThrowable());
    EXPECT_EQ(wrapped.getThrowable(), e.getThrowable());
    EXPECT_EQ(JNIEnvHelper::Throw(wrapped.getThrowable()), JNI_OK);
    jthrowable pending = JNIEnvHelper::ExceptionOccurred();
    JNIEnvHelper::ExceptionClear();
    EXPECT_TRUE(JNIEnvHelper::IsSameObject(pending, e.getThrowable()));
    JNIEnvHelper::DeleteLocalRef(pending);
  }
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  EXPECT_EQ(JVMException("made in C++").getThrowable(), nullptr);
  JNIEnvHelper::DeleteLocalRef(illegalState);

  try {
    JNIEnvHelper::GetMethodID(echo, "absent", "()V");
    ADD_FAILURE() << "nothing thrown";
  } catch (const JVMException& e) {
    const std::string message = text(e.getMessage());
    EXPECT_EQ(message.rfind("java.lang.NoSuchMethodError", 0), 0u) << message;
  }

  JNIEnvHelper::ThrowNew("with a place", "java/lang/Error");
  try {
    JNIEnvHelper::exceptionCheck(42, "Foo.cpp");
    ADD_FAILURE() << "nothing thrown";
  } catch (const JVMException& e) {
    EXPECT_EQ(text(e.getMessage()).rfind("Foo.cpp:42\njava.lang.Error: with a place\n", 0), 0u);
  }
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  JNIEnvHelper::DeleteLocalRef(echo);
}

TEST_F(JvmTest, FindClassOfAMissingClassGivesNullWithNothingPending) {
  startVm();
  EXPECT_EQ(JNIEnvHelper::FindClass("no/such/Missing"), nullptr);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  EXPECT_EQ(JNIEnvHelper::FindClass(CSmartString()), nullptr);
}

TEST_F(JvmTest, TwoTextThrowNewLeavesExactlyThatExceptionPending) {
  startVm();
  EXPECT_EQ(JNIEnvHelper::ThrowNew("bad value", "java/lang/IllegalArgumentException"), JNI_OK);
  ASSERT_TRUE(JNIEnvHelper::ExceptionCheck());
  jthrowable thrown = JNIEnvHelper::ExceptionOccurred();
  JNIEnvHelper::ExceptionClear();
  jclass iae = JNIEnvHelper::FindClass("java/lang/IllegalArgumentException");
  jclass thrownClass = JNIEnvHelper::GetObjectClass(thrown);
  EXPECT_TRUE(JNIEnvHelper::IsSameObject(thrownClass, iae));
  jmethodID getMessage = JNIEnvHelper::GetMethodID(iae, "getMessage", "()Ljava/lang/String;");
  EXPECT_EQ(javaText(JNIEnvHelper::CallObjectMethod(thrown, getMessage)), "bad value");

  // With the message alone: a java.lang.RuntimeException.
  JNIEnvHelper::ThrowNew("only a message");
  jthrowable second = JNIEnvHelper::ExceptionOccurred();
  JNIEnvHelper::ExceptionClear();
  EXPECT_EQ(toString(second), "java.lang.RuntimeException: only a message");
  deleteLocalRefs(second, thrownClass, iae, thrown);
}

TEST_F(JvmTest, EveryPrimitiveTypeRoundTripsThroughTheVariadicForms) {
  startVm();
  jclass echo = echoClass();
  jclass child = JNIEnvHelper::FindClass("runtimetest/EchoChild");
  ASSERT_NE(child, nullptr);
  jobject kid = JNIEnvHelper::NewObject(child, JNIEnvHelper::GetMethodID(child, "<init>", "()V"));

  const jboolean z = JNI_TRUE;
  const jbyte b = -128;
  const jchar c = 0xFFFF;
  const jshort s = -32768;
  const jint i = INT_MIN;
  const jlong j = LLONG_MIN;
  const jfloat f = -1.5e-38f;
  const jdouble d = 1.0e300;

  auto sid = [&](const char* name, const char* sig) { return JNIEnvHelper::GetStaticMethodID(echo, name, sig); };
  auto mid = [&](const char* name, const char* sig) { return JNIEnvHelper::GetMethodID(echo, name, sig); };

  // Static
  EXPECT_EQ(JNIEnvHelper::CallStaticBooleanMethod(echo, sid("sechoZ", "(Z)Z"), z), z);
  EXPECT_EQ(JNIEnvHelper::CallStaticByteMethod(echo, sid("sechoB", "(B)B"), b), b);
  EXPECT_EQ(JNIEnvHelper::CallStaticCharMethod(echo, sid("sechoC", "(C)C"), c), c);
  EXPECT_EQ(JNIEnvHelper::CallStaticShortMethod(echo, sid("sechoS", "(S)S"), s), s);
  EXPECT_EQ(JNIEnvHelper::CallStaticIntMethod(echo, sid("sechoI", "(I)I"), i), i);
  EXPECT_EQ(JNIEnvHelper::CallStaticLongMethod(echo, sid("sechoJ", "(J)J"), j), j);
  EXPECT_EQ(JNIEnvHelper::CallStaticFloatMethod(echo, sid("sechoF", "(F)F"), f), f);
  EXPECT_EQ(JNIEnvHelper::CallStaticDoubleMethod(echo, sid("sechoD", "(D)D"), d), d);
  jobject same =
      JNIEnvHelper::CallStaticObjectMethod(echo, sid("sechoL", "(Ljava/lang/Object;)Ljava/lang/Object;"), kid);
  EXPECT_TRUE(JNIEnvHelper::IsSameObject(same, kid));
  JNIEnvHelper::DeleteLocalRef(same);
  JNIEnvHelper::CallStaticVoidMethod(echo, sid("sstore", "(I)V"), 77);
  EXPECT_EQ(JNIEnvHelper::GetStaticIntField(echo, JNIEnvHelper::GetStaticFieldID(echo, "si", "I")), 77);
  EXPECT_EQ(javaText(JNIEnvHelper::CallStaticStringMethod(echo, sid("label", "(I)Ljava/lang/String;"), 3)), "item3");
  EXPECT_EQ(javaText(JNIEnvHelper::CallStaticObjectMethod(echo, sid("describe", "(ZBCSIJFD)Ljava/lang/String;"), z, b,
                                                          c, s, i, j, 2.5f, -0.125)),
            "true,-128,65535,-32768,-2147483648,-9223372036854775808,2.5,-0.125");

  // Virtual calls reach the subclass; non-virtual ones the class named.
  EXPECT_EQ(JNIEnvHelper::CallBooleanMethod(kid, mid("echoZ", "(Z)Z"), z), JNI_FALSE);
  EXPECT_EQ(JNIEnvHelper::CallNonvirtualBooleanMethod(kid, echo, mid("echoZ", "(Z)Z"), z), z);
  EXPECT_EQ(JNIEnvHelper::CallByteMethod(kid, mid("echoB", "(B)B"), b), b + 1);
  EXPECT_EQ(JNIEnvHelper::CallNonvirtualByteMethod(kid, echo, mid("echoB", "(B)B"), b), b);
  EXPECT_EQ(JNIEnvHelper::CallCharMethod(kid, mid("echoC", "(C)C"), jchar(0x41)), 0x42);
  EXPECT_EQ(JNIEnvHelper::CallNonvirtualCharMethod(kid, echo, mid("echoC", "(C)C"), c), c);
  EXPECT_EQ(JNIEnvHelper::CallShortMethod(kid, mid("echoS", "(S)S"), s), s + 1);
  EXPECT_EQ(JNIEnvHelper::CallNonvirtualShortMethod(kid, echo, mid("echoS", "(S)S"), s), s);
  EXPECT_EQ(JNIEnvHelper::CallIntMethod(kid, mid("echoI", "(I)I"), i), i + 1);
  EXPECT_EQ(JNIEnvHelper::CallNonvirtualIntMethod(kid, echo, mid("echoI", "(I)I"), i), i);
  EXPECT_EQ(JNIEnvHelper::CallLongMethod(kid, mid("echoJ", "(J)J"), j), j + 1);
  EXPECT_EQ(JNIEnvHelper::CallNonvirtualLongMethod(kid, echo, mid("echoJ", "(J)J"), j), j);
  EXPECT_EQ(JNIEnvHelper::CallFloatMethod(kid, mid("echoF", "(F)F"), 2.5f), 3.5f);
  EXPECT_EQ(JNIEnvHelper::CallNonvirtualFloatMethod(kid, echo, mid("echoF", "(F)F"), f), f);
  EXPECT_EQ(JNIEnvHelper::CallDoubleMethod(kid, mid("echoD", "(D)D"), 2.5), 3.5);
  EXPECT_EQ(JNIEnvHelper::CallNonvirtualDoubleMethod(kid, echo, mid("echoD", "(D)D"), d), d);
  EXPECT_EQ(JNIEnvHelper::CallObjectMethod(kid, mid("echoL", "(Ljava/lang/Object;)Ljava/lang/Object;"), kid), nullptr);
  same =
      JNIEnvHelper::CallNonvirtualObjectMethod(kid, echo, mid("echoL", "(Ljava/lang/Object;)Ljava/lang/Object;"), kid);
  EXPECT_TRUE(JNIEnvHelper::IsSameObject(same, kid));
  JNIEnvHelper::DeleteLocalRef(same);
  jfieldID fi = JNIEnvHelper::GetFieldID(echo, "i", "I");
  JNIEnvHelper::CallVoidMethod(kid, mid("store", "(I)V"), 7);
  EXPECT_EQ(JNIEnvHelper::GetIntField(kid, fi), 8);
  JNIEnvHelper::CallNonvirtualVoidMethod(kid, echo, mid("store", "(I)V"), 7);
  EXPECT_EQ(JNIEnvHelper::GetIntField(kid, fi), 7);

  // A constructor with every type, and the fields it set.
  jobject full = JNIEnvHelper::NewObject(echo, mid("<init>", "(ZBCSIJFDLjava/lang/String;)V"), z, b, c, s, i, j, 2.5f,
                                         -0.125, static_cast<jobject>(JStringHelper(CSmartString("txt"))));
  EXPECT_EQ(javaText(JNIEnvHelper::CallObjectMethod(full, mid("describeFields", "()Ljava/lang/String;"))),
            "true,-128,65535,-32768,-2147483648,-9223372036854775808,2.5,-0.125,txt");
  EXPECT_EQ(JNIEnvHelper::GetBooleanField(full, JNIEnvHelper::GetFieldID(echo, "z", "Z")), z);
  EXPECT_EQ(JNIEnvHelper::GetByteField(full, JNIEnvHelper::GetFieldID(echo, "b", "B")), b);
  EXPECT_EQ(JNIEnvHelper::GetCharField(full, JNIEnvHelper::GetFieldID(echo, "c", "C")), c);
  EXPECT_EQ(JNIEnvHelper::GetShortField(full, JNIEnvHelper::GetFieldID(echo, "s", "S")), s);
  EXPECT_EQ(JNIEnvHelper::GetLongField(full, JNIEnvHelper::GetFieldID(echo, "j", "J")), j);
  EXPECT_EQ(JNIEnvHelper::GetFloatField(full, JNIEnvHelper::GetFieldID(echo, "f", "F")), 2.5f);
  EXPECT_EQ(JNIEnvHelper::GetDoubleField(full, JNIEnvHelper::GetFieldID(echo, "d", "D")), -0.125);

  // Field setters of every type, instance and static.
  JNIEnvHelper::SetBooleanField(full, JNIEnvHelper::GetFieldID(echo, "z", "Z"), JNI_FALSE);
  JNIEnvHelper::SetByteField(full, JNIEnvHelper::GetFieldID(echo, "b", "B"), 127);
  JNIEnvHelper::SetCharField(full, JNIEnvHelper::GetFieldID(echo, "c", "C"), 0x20AC);
  JNIEnvHelper::SetShortField(full, JNIEnvHelper::GetFieldID(echo, "s", "S"), 32767);
  JNIEnvHelper::SetIntField(full, fi, INT_MAX);
  JNIEnvHelper::SetLongField(full, JNIEnvHelper::GetFieldID(echo, "j", "J"), LLONG_MAX);
  JNIEnvHelper::SetFloatField(full, JNIEnvHelper::GetFieldID(echo, "f", "F"), 0.25f);
  JNIEnvHelper::SetDoubleField(full, JNIEnvHelper::GetFieldID(echo, "d", "D"), -1e-300);
  JNIEnvHelper::SetObjectField(full, JNIEnvHelper::GetFieldID(echo, "text", "Ljava/lang/String;"), nullptr);
  EXPECT_EQ(javaText(JNIEnvHelper::CallObjectMethod(full, mid("describeFields", "()Ljava/lang/String;"))),
            "false,127,8364,32767,2147483647,9223372036854775807,0.25,-1.0E-300,null");
  JNIEnvHelper::SetStaticBooleanField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sz", "Z"), JNI_TRUE);
  JNIEnvHelper::SetStaticByteField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sb", "B"), b);
  JNIEnvHelper::SetStaticCharField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sc", "C"), c);
  JNIEnvHelper::SetStaticShortField(echo, JNIEnvHelper::GetStaticFieldID(echo, "ss", "S"), s);
  JNIEnvHelper::SetStaticLongField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sj", "J"), j);
  JNIEnvHelper::SetStaticFloatField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sf", "F"), f);
  JNIEnvHelper::SetStaticDoubleField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sd", "D"), d);
  JNIEnvHelper::SetStaticObjectField(echo, JNIEnvHelper::GetStaticFieldID(echo, "stext", "Ljava/lang/String;"),
                                     static_cast<jobject>(JStringHelper(CSmartString("static"))));
  EXPECT_EQ(JNIEnvHelper::GetStaticBooleanField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sz", "Z")), JNI_TRUE);
  EXPECT_EQ(JNIEnvHelper::GetStaticByteField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sb", "B")), b);
  EXPECT_EQ(JNIEnvHelper::GetStaticCharField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sc", "C")), c);
  EXPECT_EQ(JNIEnvHelper::GetStaticShortField(echo, JNIEnvHelper::GetStaticFieldID(echo, "ss", "S")), s);
  EXPECT_EQ(JNIEnvHelper::GetStaticLongField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sj", "J")), j);
  EXPECT_EQ(JNIEnvHelper::GetStaticFloatField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sf", "F")), f);
  EXPECT_EQ(JNIEnvHelper::GetStaticDoubleField(echo, JNIEnvHelper::GetStaticFieldID(echo, "sd", "D")), d);
  EXPECT_EQ(javaText(JNIEnvHelper::GetStaticObjectField(
                echo, JNIEnvHelper::GetStaticFieldID(echo, "stext", "Ljava/lang/String;"))),
            "static");

  // The A forms take the same values as a jvalue array.
  jvalue value;
  value.j = j;
  EXPECT_EQ(JNIEnvHelper::CallStaticLongMethodA(echo, sid("sechoJ", "(J)J"), &value), j);
  value.d = d;
  EXPECT_EQ(JNIEnvHelper::CallDoubleMethodA(kid, mid("echoD", "(D)D"), &value), d + 1);

  deleteLocalRefs(full, kid, child, echo);
}

namespace {
std::atomic<int> gNewGlobalRefs{0};
std::atomic<int> gDeleteGlobalRefs{0};
const JNINativeInterface_* gRealFunctions = nullptr;
}  // namespace

TEST_F(JvmTest, ObjectCopiesShareOneGlobalReference) {
  startVm();
  jclass echo = echoClass();
  jobject local = JNIEnvHelper::NewObject(echo, JNIEnvHelper::GetMethodID(echo, "<init>", "()V"));
  jweak weak = JNIEnvHelper::NewWeakGlobalRef(local);

  // Count this thread's global references by routing two of its JNI functions through counters.
  JNIEnv* env = JNIEnvHelper::getEnv();
  gRealFunctions = env->functions;
  JNINativeInterface_ counting = *env->functions;
  counting.NewGlobalRef = [](JNIEnv* e, jobject o) -> jobject {
    ++gNewGlobalRefs;
    return gRealFunctions->NewGlobalRef(e, o);
  };
  counting.DeleteGlobalRef = [](JNIEnv* e, jobject o) {
    ++gDeleteGlobalRefs;
    gRealFunctions->DeleteGlobalRef(e, o);
  };
  env->functions = &counting;
  {
    JObject_t first(local);
    JNIEnvHelper::DeleteLocalRef(local);
    JObject_t second(first);
    JObject_t third;
    third = second;
    JObject_t* fourth = new JObject_t(third);
    *fourth = first;
    EXPECT_EQ(static_cast<jobject>(*fourth), static_cast<jobject>(first));
    EXPECT_EQ(gNewGlobalRefs, 1);
    delete fourth;
    { JObject_t fifth = second; }
    EXPECT_EQ(gDeleteGlobalRefs, 0);
    EXPECT_FALSE(collected(weak));  // still held
  }
  EXPECT_EQ(gNewGlobalRefs, 1);
  EXPECT_EQ(gDeleteGlobalRefs, 1);
  env->functions = gRealFunctions;
  EXPECT_TRUE(collected(weak));

  // The last copy released on a thread that has no environment: attached for the moment.
  local = JNIEnvHelper::NewObject(echo, JNIEnvHelper::GetMethodID(echo, "<init>", "()V"));
  jweak weak2 = JNIEnvHelper::NewWeakGlobalRef(local);
  JObject_t* held = new JObject_t(local);
  JNIEnvHelper::DeleteLocalRef(local);
  std::thread releaser([&] {
    delete held;
    EXPECT_FALSE(JNIEnvHelper::isInitialized());  // detached again
  });
  releaser.join();
  EXPECT_TRUE(collected(weak2));
  JNIEnvHelper::DeleteWeakGlobalRef(weak2);
  JNIEnvHelper::DeleteWeakGlobalRef(weak);
  JNIEnvHelper::DeleteLocalRef(echo);
}

TEST_F(JvmTest, StringsAndArraysThroughTheHelpers) {
  startVm();
  const unsigned short units[] = {'a', 0, 0x20AC, 0xD834, 0xDD1E};
  CSmartString source(units, 5);
  JStringHelper helper(source);
  EXPECT_EQ(JNIEnvHelper::GetStringLength(static_cast<jstring>(static_cast<jobject>(helper))), 5);
  EXPECT_EQ(static_cast<CSmartString>(helper), source);
  JStringHelper empty(CSmartString(""));
  EXPECT_FALSE(empty.isNullObject());
  EXPECT_EQ(static_cast<CSmartString>(empty), CSmartString(""));

  const jint values[] = {1, -2, INT_MAX};
  jni_helpers::JIntArray ints(values, 3);
  EXPECT_EQ(ints.length(), 3);
  jint back[3] = {};
  ints.getRegion(0, 3, back);
  EXPECT_EQ(back[2], INT_MAX);
  EXPECT_THROW(ints.getRegion(2, 5, back), JVMException);  // ArrayIndexOutOfBoundsException
  jni_helpers::JIntArray copy(static_cast<const JObject_t&>(ints));
  EXPECT_EQ(copy.length(), 3);
  EXPECT_EQ(jni_helpers::JIntArray(0L).length(), 0);

  const CSmartString texts[] = {CSmartString("one"), CSmartString(), CSmartString("three")};
  jni_helpers::JStringArrayHelper strings(texts, 3);
  EXPECT_EQ(strings.length(), 3);
  EXPECT_EQ(text(strings.getString(0)), "one");
  EXPECT_TRUE(!strings.getString(1));
  EXPECT_EQ(text(strings.getString(2)), "three");
  jni_helpers::JStringArrayHelper none(0L);
  EXPECT_TRUE(none.isNullObject());
  EXPECT_EQ(toString(static_cast<jobject>(strings)).rfind("[Ljava.lang.String;", 0), 0u);
}

TEST_F(JvmTest, UnloadAfterAThreadThatAttachedAndEndedReturns) {
  startVm();
  std::thread worker([] {
    jclass echo = echoClass();
    jmethodID twice = JNIEnvHelper::GetStaticMethodID(echo, "twice", "(I)I");
    EXPECT_EQ(JNIEnvHelper::CallStaticIntMethod(echo, twice, 4), 8);
    JNIEnvHelper::DeleteLocalRef(echo);
  });
  worker.join();
  jclass echo = echoClass();
  JObject_t* held = new JObject_t(echo);
  JNIEnvHelper::DeleteLocalRef(echo);

  // DestroyJavaVM waits for every attached thread; a thread left attached would hang it.
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 600 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!done) {
      std::fprintf(stderr, "unload did not return within 60 seconds\n");
      std::_Exit(3);
    }
  });
  JVM::unload();
  done = true;
  watchdog.join();
  EXPECT_FALSE(JNIEnvHelper::isInitialized());
  EXPECT_EQ(JVM::destroyJavaVM(), 0);
  delete held;  // released after the VM is gone: not touched
  EXPECT_THROW(JNIEnvHelper::getEnv(), jni_helpers::EnvironmentNotInitializedException);
}
